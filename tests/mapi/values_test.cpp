// A sample of identifiers, result codes and property tags against their published
// values; the tag helpers round-trip.
#include <gtest/gtest.h>

#include "mapi/mapix.h"

namespace {

constexpr GUID Ole(uint32_t l) { return GUID{l, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

TEST(MapiValues, InterfaceIdentifiersAndResultCodes) {
  EXPECT_EQ(IID_IMAPISession, Ole(0x00020300));
  EXPECT_EQ(IID_IMAPIProp, Ole(0x00020303));
  EXPECT_EQ(IID_IMAPIFolder, Ole(0x0002030C));
  EXPECT_EQ(PS_PUBLIC_STRINGS, Ole(0x00020329));
  EXPECT_EQ(PS_INTERNET_HEADERS, Ole(0x00020386));
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_NOT_FOUND), 0x8004010Fu);
  EXPECT_EQ(static_cast<uint32_t>(MAPI_E_AMBIGUOUS_RECIP), 0x80040700u);
  EXPECT_EQ(MAPI_W_ERRORS_RETURNED, 0x00040380);
  EXPECT_EQ(MAPI_E_CALL_FAILED, E_FAIL);
  EXPECT_EQ(MAPI_E_NO_ACCESS, E_ACCESSDENIED);
}

TEST(MapiValues, PropertyTagsRoundTrip) {
  constexpr ULONG tag = PROP_TAG(PT_UNICODE, 0x0037);
  static_assert(tag == 0x0037001F);
  EXPECT_EQ(PROP_TYPE(tag), PT_UNICODE);
  EXPECT_EQ(CHANGE_PROP_TYPE(tag, PT_STRING8), 0x0037001Eu);
  EXPECT_EQ(PROP_TAG(PROP_TYPE(0x8001101F), PROP_ID(0x8001101F)), 0x8001101Fu);
  EXPECT_EQ(MVI_PROP(PROP_TAG(PT_LONG, 0x8000)), 0x80003003u);
  EXPECT_EQ(PROP_TYPE(MVI_PROP(PROP_TAG(PT_LONG, 0x8000))) & ~MVI_FLAG, PT_LONG);
}

}  // namespace
