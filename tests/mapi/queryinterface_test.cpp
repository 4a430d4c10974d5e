// The seam's interfaces declare their published parents. TVoComObject answers
// QueryInterface along exactly these chains (its mechanism is tested with the common
// COM objects), so an object implementing IMessage answers IMAPIProp and no folder.
#include <gtest/gtest.h>

#include "mapi/acctmgmt.h"
#include "mapi/edkmdb.h"
#include "mapi/mapix.h"

namespace {

TEST(MapiQueryInterface, TraitsFollowThePublishedParents) {
  for (const IID* iid : {&IID_IUnknown, &IID_IMAPIProp, &IID_IMessage})
    EXPECT_TRUE(orba::InterfaceChainHas<IMessage>(*iid));
  for (const IID* iid : {&IID_IMAPIFolder, &IID_IAttachment, &IID_IMAPIContainer, &IID_IMAPITable})
    EXPECT_FALSE(orba::InterfaceChainHas<IMessage>(*iid));
  EXPECT_TRUE(orba::InterfaceChainHas<IMAPIFolder>(IID_IMAPIContainer));
  EXPECT_TRUE(orba::InterfaceChainHas<IMAPIFolder>(IID_IMAPIProp));
  EXPECT_TRUE(orba::InterfaceChainHas<IDistList>(IID_IMAPIContainer));
  EXPECT_FALSE(orba::InterfaceChainHas<IMsgStore>(IID_IMAPIContainer));
  EXPECT_TRUE(orba::InterfaceChainHas<IAddrBook>(IID_IMAPIProp));
  EXPECT_EQ(orba::IidOf<IAttach>(), IID_IAttachment);
  EXPECT_TRUE(orba::InterfaceChainHas<IOlkAccount>(IID_IOlkErrorUnknown));
  EXPECT_TRUE(orba::InterfaceChainHas<IExchangeManageStore5>(IID_IExchangeManageStore));
  EXPECT_FALSE(orba::InterfaceChainHas<IExchangeManageStoreEx>(IID_IExchangeManageStore2));
}

}  // namespace
