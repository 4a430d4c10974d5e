// Exchange's rule and table structures have the published 64-bit layout; the
// synchronisation codes and a sample of identifiers have their published values.
#include <cstddef>

#include <gtest/gtest.h>

#include "mapi/edkmdb.h"

namespace {

TEST(ExchangeSeam, RuleActionLayout) {
  EXPECT_EQ(sizeof(ACTION), 64u);
  EXPECT_EQ(offsetof(ACTION, lpRes), 8u);
  EXPECT_EQ(offsetof(ACTION, ulFlags), 24u);
  EXPECT_EQ(offsetof(ACTION, actMoveCopy), 32u);
  EXPECT_EQ(offsetof(ACTION, propTag), 32u);
  EXPECT_EQ(sizeof(ACTIONS), 16u);
  EXPECT_EQ(offsetof(ACTIONS, lpAction), 8u);
  EXPECT_EQ(sizeof(ROWENTRY), sizeof(ADRENTRY));
  EXPECT_EQ(offsetof(ROWLIST, aEntries), 8u);
}

TEST(ExchangeSeam, SynchronisationCodes) {
  EXPECT_EQ(static_cast<uint32_t>(SYNC_E_IGNORE), 0x80040801u);
  EXPECT_EQ(static_cast<uint32_t>(SYNC_E_CONFLICT), 0x80040802u);
  EXPECT_EQ(SYNC_W_PROGRESS, 0x00040820);
}

TEST(ExchangeSeam, VersionedInterfacesExtendTheirPredecessors) {
  EXPECT_TRUE(orba::InterfaceChainHas<IExchangeManageStore5>(IID_IExchangeManageStore));
  EXPECT_TRUE(orba::InterfaceChainHas<IExchangeExportChanges3>(IID_IExchangeExportChanges));
  EXPECT_FALSE(orba::InterfaceChainHas<IExchangeManageStoreEx>(IID_IExchangeManageStore2));
}

}  // namespace
