// The wrapper kit's text in both widths (the retry on MAPI_E_BAD_CHARWIDTH, result
// texts, tag arrays and entry ID arguments are covered through the property objects'
// and the session's tests).
#include "kit/VoMAPIKit.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(MapiString, UnicodeOrSystemCodePageByTheObjectsMode) {
  kit::MapiString wide(u"K\u00F6ln", true), narrow(u"K\u00F6ln", false);
  EXPECT_EQ(wide.Flags(), MAPI_UNICODE);
  EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(wide.Ptr())), u"K\u00F6ln");
  EXPECT_EQ(narrow.Flags(), 0u);
  EXPECT_STREQ(narrow.Ptr(), "K\xF6ln");  // code page 1252
  EXPECT_EQ(kit::MapiText(wide.Ptr(), true), u"K\u00F6ln");
  EXPECT_EQ(kit::MapiText(narrow.Ptr(), false), u"K\u00F6ln");

  kit::MapiString empty(u"", false);
  EXPECT_STREQ(empty.Ptr(), "");
  EXPECT_EQ(empty.OrNull(), nullptr);
}

}  // namespace
}  // namespace orba
