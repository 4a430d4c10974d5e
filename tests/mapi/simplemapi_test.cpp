// Simple MAPI's descriptors have the published 64-bit layout, and its result codes
// stay apart from Extended MAPI's.
#include <cstddef>

#include <gtest/gtest.h>

#include "mapi/simplemapi.h"

namespace {

TEST(SimpleMapi, DescriptorLayout) {
  EXPECT_EQ(sizeof(MapiMessage), 96u);
  EXPECT_EQ(offsetof(MapiMessage, lpszSubject), 8u);
  EXPECT_EQ(offsetof(MapiMessage, flFlags), 48u);
  EXPECT_EQ(offsetof(MapiMessage, lpOriginator), 56u);
  EXPECT_EQ(offsetof(MapiMessage, nRecipCount), 64u);
  EXPECT_EQ(offsetof(MapiMessage, lpFiles), 88u);
  EXPECT_EQ(sizeof(MapiMessageW), sizeof(MapiMessage));
  EXPECT_EQ(sizeof(MapiRecipDesc), 40u);
  EXPECT_EQ(offsetof(MapiRecipDesc, ulEIDSize), 24u);
  EXPECT_EQ(sizeof(MapiFileDesc), 40u);
  EXPECT_EQ(offsetof(MapiFileDesc, lpszPathName), 16u);
  EXPECT_EQ(sizeof(MapiFileTagExt), 32u);
}

TEST(SimpleMapi, CodesAreSmallIntegersApartFromExtendedMapiAndSharedFlagsKeepTheirValues) {
  EXPECT_EQ(simplemapi::MAPI_E_FAILURE, 2u);
  EXPECT_EQ(simplemapi::MAPI_E_NOT_SUPPORTED, 26u);
  EXPECT_EQ(simplemapi::MAPI_E_AMBIG_RECIP, simplemapi::MAPI_E_AMBIGUOUS_RECIPIENT);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_NOT_FOUND), 0x8004010Fu);  // the extended one is untouched
  EXPECT_EQ(MAPI_LOGON_UI, 0x1u);
  EXPECT_EQ(MAPI_DIALOG_MODELESS, 0xCu);
}

}  // namespace
