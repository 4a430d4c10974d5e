// A sample of identifiers, result codes and property tags against their published
// values; the tag helpers round-trip.
#include <gtest/gtest.h>

#include "mapi/mapix.h"

namespace {

constexpr GUID Ole(uint32_t l) { return GUID{l, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

TEST(MapiValues, InterfaceIdentifiersAndResultCodes) {
  EXPECT_EQ(IID_IMAPISession, Ole(0x00020300));
  EXPECT_EQ(IID_IMAPITable, Ole(0x00020301));
  EXPECT_EQ(IID_IMAPIProp, Ole(0x00020303));
  EXPECT_EQ(IID_IMessage, Ole(0x00020307));
  EXPECT_EQ(IID_IAttachment, Ole(0x00020308));
  EXPECT_EQ(IID_IMAPIFolder, Ole(0x0002030C));
  EXPECT_EQ(IID_IProfAdmin, Ole(0x0002031C));
  EXPECT_EQ(IID_IProviderAdmin, Ole(0x00020325));
  EXPECT_EQ(PS_PUBLIC_STRINGS, Ole(0x00020329));
  EXPECT_EQ(PS_INTERNET_HEADERS, Ole(0x00020386));
  EXPECT_FALSE(IID_IMessage == IID_IMAPIProp);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_NOT_FOUND), 0x8004010Fu);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_NO_SUPPORT), 0x80040102u);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_BAD_CHARWIDTH), 0x80040103u);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_USER_CANCEL), 0x80040113u);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_COLLISION), 0x80040604u);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_AMBIGUOUS_RECIP), 0x80040700u);
  EXPECT_EQ(MAPI_W_ERRORS_RETURNED, 0x00040380);
  EXPECT_EQ(MAPI_E_CALL_FAILED, E_FAIL);
  EXPECT_EQ(MAPI_E_NO_ACCESS, E_ACCESSDENIED);
  EXPECT_TRUE(FAILED(MAPI_E_END_OF_SESSION));
  EXPECT_TRUE(SUCCEEDED(MAPI_W_PARTIAL_COMPLETION));
}

TEST(MapiValues, PropertyTagsRoundTrip) {
  constexpr ULONG tag = PROP_TAG(PT_UNICODE, 0x0037);
  static_assert(tag == 0x0037001F);
  EXPECT_EQ(PROP_TYPE(tag), PT_UNICODE);
  EXPECT_EQ(PROP_ID(tag), 0x0037u);
  EXPECT_EQ(CHANGE_PROP_TYPE(tag, PT_STRING8), 0x0037001Eu);
  EXPECT_EQ(PROP_TAG(PROP_TYPE(0x8001101F), PROP_ID(0x8001101F)), 0x8001101Fu);
  EXPECT_EQ(PROP_TYPE(0x8001101F), PT_MV_UNICODE);
  EXPECT_EQ(MVI_PROP(PROP_TAG(PT_LONG, 0x8000)), 0x80003003u);
  EXPECT_EQ(PROP_TYPE(MVI_PROP(PROP_TAG(PT_LONG, 0x8000))) & ~MVI_FLAG, PT_LONG);
  EXPECT_EQ(PT_MV_BINARY, 0x1102u);
}

}  // namespace
