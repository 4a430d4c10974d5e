// The wrapper kit: text in both widths, the retry on MAPI_E_BAD_CHARWIDTH, a method's
// own result texts, tag arrays, entry ID arguments and row columns.
#include "kit/VoMAPIKit.h"

#include <gtest/gtest.h>

#include <cstring>

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
  EXPECT_EQ(kit::MapiText(nullptr, true), u"");

  kit::MapiString empty(u"", false);
  EXPECT_STREQ(empty.Ptr(), "");
  EXPECT_EQ(empty.OrNull(), nullptr);
  EXPECT_NE(narrow.OrNull(), nullptr);
}

TEST(CallWithCharWidth, RepeatsOnceWithTheOtherWidth) {
  std::vector<bool> widths;
  bool unicode = true;
  HRESULT hr = kit::CallWithCharWidth(unicode, [&](bool u) {
    widths.push_back(u);
    return MAPI_E_BAD_CHARWIDTH;
  });
  EXPECT_EQ(hr, MAPI_E_BAD_CHARWIDTH);  // the second answer is final
  EXPECT_EQ(widths, (std::vector<bool>{true, false}));
  EXPECT_FALSE(unicode);

  widths.clear();
  hr = kit::CallWithCharWidth(unicode, [&](bool u) {
    widths.push_back(u);
    return S_OK;
  });
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(widths, (std::vector<bool>{false}));
}

TEST(RaiseResultText, RaisesTheMethodsTextWithTheResultsClass) {
  constexpr kit::TResultText texts[] = {{MAPI_E_NOT_FOUND, u"%s.OpenEntry failed!\r\nNot there."}};
  kit::RaiseResultText(S_OK, texts, u"TSession");
  kit::RaiseResultText(MAPI_E_CALL_FAILED, texts, u"TSession");  // left to CheckMAPIResult
  try {
    kit::RaiseResultText(MAPI_E_NOT_FOUND, texts, u"TSession");
    FAIL() << "no exception";
  } catch (const EMAPI_NOT_FOUND& e) {
    EXPECT_EQ(e.Code(), MAPI_E_NOT_FOUND);
    EXPECT_EQ(e.Message(), u"TSession.OpenEntry failed!\r\nNot there.");
  }
}

TEST(Arguments, TagArraysEntryIDsAndColumns) {
  kit::TPropTagArray tags{0x0037001F, 0x0FFF0102};
  ASSERT_EQ(tags.get()->cValues, 2u);
  EXPECT_EQ(tags.get()->aulPropTag[1], 0x0FFF0102u);
  EXPECT_EQ(kit::TPropTagArray(std::vector<ULONG>()).get()->cValues, 0u);

  kit::TEntryIDArg id(TVoVariant(TVoVariant::ByteArray{0, 0, 0, 0, 7}));
  EXPECT_EQ(id.Size(), 5u);
  EXPECT_EQ(id.get()->ab[0], 7);
  EXPECT_TRUE(kit::TEntryIDArg(TVoVariant::Null()).Empty());

  SPropValue values[2]{};
  values[0].ulPropTag = 0x3001001F;
  values[1].ulPropTag = 0x3400000B;
  values[1].Value.b = 1;
  SRow row{0, 2, values};
  EXPECT_EQ(kit::FindColumn(row, 0x3400000B), &values[1]);
  EXPECT_EQ(kit::FindColumn(row, 0x3400000A), nullptr);  // the type is part of the tag
}

TEST(MapiErrorRecord, TextsInTheWidthTheyWereAskedFor) {
  char error[] = "Disk full", component[] = "Store";
  MAPIERROR mapiError{MAPI_ERROR_VERSION, error, component, 7, 9};
  TVoMAPIError record = kit::MapiErrorRecord(mapiError, false);
  EXPECT_EQ(record.Error, u"Disk full");
  EXPECT_EQ(record.Component, u"Store");
  EXPECT_EQ(record.LowLevelError, 7u);
  EXPECT_EQ(record.Context, 9u);
}

}  // namespace
}  // namespace orba
