// The converter and account manager declarations: identifiers, the account value
// layout, and virtual table slots that placeholders must keep in place.
#include <cstddef>

#include <gtest/gtest.h>

#include "mapi/acctmgmt.h"
#include "mapi/mimeole.h"

namespace {

TEST(ConverterSeam, IdentifiersAndFlags) {
  EXPECT_EQ(CLSID_IConverterSession.Data1, 0x4E3A7680u);
  EXPECT_EQ(IID_IConverterSession.Data1, 0x4B401570u);
  EXPECT_EQ(CCSF_SMTP | CCSF_INCLUDE_BCC | CCSF_USE_RTF, 0xA2u);
}

TEST(AccountSeam, VariantLayoutAndTags) {
  EXPECT_EQ(sizeof(ACCT_VARIANT), 24u);
  EXPECT_EQ(offsetof(ACCT_VARIANT, Val), 8u);
  EXPECT_EQ(acctmgmt::PROP_ACCT_NAME, 0x0002001Fu);
  EXPECT_EQ(acctmgmt::PROP_ACCT_IS_EXCH, 0x00140003u);
}

TEST(AccountSeam, InterfacesAreDistinctAndChained) {
  EXPECT_TRUE(orba::InterfaceChainHas<IOlkAccountManager>(IID_IOlkErrorUnknown));
  EXPECT_TRUE(orba::InterfaceChainHas<IOlkAccount>(IID_IOlkErrorUnknown));
  EXPECT_FALSE(orba::InterfaceChainHas<IOlkEnum>(IID_IOlkErrorUnknown));
}

}  // namespace
