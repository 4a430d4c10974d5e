#include "orba/common/encoding.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"

namespace {

using namespace orba;

TEST(CodePage, DefaultsFromTheEnvironmentAndCanBeSet) {
  // The test runner sets ORBA_ACP=1252; a direct run has no setting: 1252 as well.
  EXPECT_EQ(VoCodePage(), 1252u);
  VoSetCodePage(1251);
  EXPECT_EQ(VoCodePage(), 1251u);
  EXPECT_EQ(TVoEncoding::ConvertW("\xC0"), u"\u0410");  // Cyrillic A
  EXPECT_EQ(TVoEncoding::ConvertA(u"\u0410", CP_ACP), "\xC0");
  VoSetCodePage(1252);
  EXPECT_EQ(TVoEncoding::ConvertW("\xC0"), u"\u00C0");
  EXPECT_RAISES(VoSetCodePage(4711), EVoException, E_INVALIDARG, u"The code page 4711 is not supported");
  EXPECT_THROW(VoSetCodePage(CP_ACP), EVoException);
  EXPECT_EQ(VoCodePage(), 1252u);
}

TEST(ConvertA, Windows1252WithQuestionMarksForTheUnmappable) {
  EXPECT_EQ(TVoEncoding::ConvertA(u"Gr\u00FC\u00DF \u20AC", 1252), "Gr\xFC\xDF \x80");
  EXPECT_EQ(TVoEncoding::ConvertA(std::u16string(u"a\0b", 3), 1252), std::string("a\0b", 3));
  EXPECT_EQ(TVoEncoding::ConvertA(u"a\u4E2Db\U0001F600c", 1252), "a?b?c");
  EXPECT_EQ(TVoEncoding::ConvertA(u"\u20AC", 28591), "?");
  // Unpaired surrogates are one unmappable character each.
  EXPECT_EQ(TVoEncoding::ConvertA(std::u16string{u'x', char16_t(0xD800)}, 1252), "x?");
  EXPECT_EQ(TVoEncoding::ConvertA(std::u16string{char16_t(0xDC00), u'y'}, 65001), "?y");
}

TEST(ConvertW, InvalidBytesBecomeReplacementCharactersAndNeverCrash) {
  EXPECT_EQ(TVoEncoding::ConvertW("a\xC3(b", 65001), u"a\uFFFD(b");
  EXPECT_EQ(TVoEncoding::ConvertW("ab\x82", 932), u"ab\uFFFD");  // truncated lead byte
  EXPECT_EQ(TVoEncoding::ConvertW("\xFF\xFF", 932).size(), 2u);
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (uint32_t cp : {932u, 936u, 949u, 950u, 50220u, 51932u, 65001u, 65000u, 1200u, 54936u}) {
    const std::u16string text = TVoEncoding::ConvertW(all + all, cp);
    EXPECT_FALSE(text.empty()) << cp;
    TVoEncoding::ConvertA(text, cp);
  }
}

TEST(ConvertA, MultiByteAndStatefulCodePages) {
  const std::u16string japanese = u"\u65E5\u672C\u8A9E";  // 日本語
  EXPECT_EQ(TVoEncoding::ConvertA(japanese, 932), "\x93\xFA\x96\x7B\x8C\xEA");
  EXPECT_EQ(TVoEncoding::ConvertA(japanese, 51932), "\xC6\xFC\xCB\xDC\xB8\xEC");
  const std::u16string chinese = u"\u4E2D\u6587";  // 中文
  EXPECT_EQ(TVoEncoding::ConvertA(chinese, 936), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(TVoEncoding::ConvertW(TVoEncoding::ConvertA(u"\uD55C\uAE00", 949), 949), u"\uD55C\uAE00");
  EXPECT_EQ(TVoEncoding::ConvertA(u"a\u00E9\uD55C", 932), "a??");
  const std::string jis = TVoEncoding::ConvertA(u"a\u65E5b", 50220);
  EXPECT_EQ(jis, "a\x1B$BF|\x1B(Bb");
  EXPECT_EQ(TVoEncoding::ConvertW(jis, 50220), u"a\u65E5b");
  // The replacement of an unmappable character is written in the current state.
  const std::string mixed = TVoEncoding::ConvertA(u"\u65E5\u00E9", 50220);
  EXPECT_EQ(TVoEncoding::ConvertW(mixed, 50220), u"\u65E5?");
  EXPECT_EQ(mixed.substr(mixed.size() - 4), "\x1B(B?");
}

TEST(ConvertA, Utf8Utf16AndKoi8AndNoUnknownCodePage) {
  EXPECT_EQ(TVoEncoding::ConvertA(u"\u00E9\U0001F600", 65001), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(TVoEncoding::ConvertA(u"A\u00E9", 1200), std::string("A\0\xE9\0", 4));
  EXPECT_EQ(TVoEncoding::ConvertW(std::string("A\0\xE9\0", 4), 1200), u"A\u00E9");
  EXPECT_EQ(TVoEncoding::ConvertW(std::string("A\0B", 3), 1200), u"A\uFFFD");
  EXPECT_EQ(TVoEncoding::ConvertA(u"\u041F", 20866), "\xF0");
  EXPECT_RAISES(TVoEncoding::ConvertA(u"x", 12345), EVoException, E_INVALIDARG,
                u"The code page 12345 is not supported");
  EXPECT_THROW(TVoEncoding::ConvertW("x", 12345), EVoException);
  EXPECT_FALSE(VoIsCodePageSupported(12345));
}

TEST(Charset, NamesAndCodePages) {
  EXPECT_EQ(CodePageFromCharset("windows-1252"), 1252u);
  EXPECT_EQ(CodePageFromCharset("UTF-8"), 65001u);
  EXPECT_EQ(CodePageFromCharset("ISO-8859-1"), 28591u);
  EXPECT_EQ(CodePageFromCharset("\"Shift_JIS\""), 932u);
  EXPECT_EQ(CodePageFromCharset("iso-2022-jp"), 50220u);
  EXPECT_EQ(CodePageFromCharset("x-unknown"), 0u);
  EXPECT_EQ(CharsetFromCodePage(1252), "windows-1252");
  EXPECT_EQ(CharsetFromCodePage(932), "shift_jis");
  EXPECT_EQ(CharsetFromCodePage(12345), "");
}

}  // namespace
