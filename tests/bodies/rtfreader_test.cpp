// The RTF reader: decoded text, destinations, and input that is not well-formed.
#include "orba/common/bodies/rtfreader.h"

#include "bodiestesting.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

std::string Text(std::string_view rtf) { return ToUtf8(VoRTFToPlainText(rtf)); }

// The document's text: its characters decoded, destinations that are not text left out,
// and sound text from input that is not well-formed.
TEST(RTFReader, DecodesTheDocumentsText) {
  const struct {
    std::string rtf;
    std::string text;
  } cases[] = {
      {"{\\rtf1 one\\par two\\line three\\tab four\\par}", "one\r\ntwo\r\nthree\tfour\r\n"},
      {"{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80}", "café €"},
      {"{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}", "あい"},
      {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Cyr;}}\\f1\\'c0{\\f0\\'c0}\\'c1}", "АÀБ"},
      {"{\\rtf1\\ansicpg1252{\\fonttbl{\\f1\\cpg1253 G;}}\\f1\\'e1\\plain\\'e1}", "αá"},
      {"{\\rtf1\\ansi\\ansicpg99999 \\'e9}", "é"},  // an unknown code page: the default
      {"{\\rtf1 \\u233?\\u-3913?\\u8364\\'80}", "é\uf0b7€"},
      {"{\\rtf1\\uc2 \\u233??x\\uc0\\u233 y}", "éxéy"},
      {"{\\rtf1 \\u55357?\\u56832?}", "\U0001F600"},
      {"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}", "—–•‘’“”"},
      {"{\\rtf1 x\x01y\tz}", "xy\tz"},  // control characters of the file are not text; tabs are
      {"{\\rtf1 a\\cell b\\row c}", "a\tb\r\nc"},
      // Destinations give no text.
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{Normal;}}a}", "a"},
      {"{\\rtf1{\\pict\\wmetafile8\\bin4 {}}}}c}", "c"},
      {"{\\rtf1{\\*\\unknown x{y}z}d}", "d"},
      {"{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} text}", "link text"},
      {"{\\rtf1{\\* x}h}", "h"},  // \* before text: the group is skipped
      // Input that is not well-formed.
      {"}}}{\\rtf1 a}}}b", "ab"},
      {"{\\rtf1 a\\bin100 xyz", "a"},
      {"{\\rtf1 a\\'4", "a4"},
      {"{\\rtf1 \\uc2147483647\\u233 abc}", "é"},
      {"{\\rtf1\\ansicpg932 \\'82}", "\xef\xbf\xbd"},  // a lead byte alone
      {std::string(4000, '{') + "deep" + std::string(4000, '}'), "deep"},
      // Groups nested beyond some thousand levels are skipped with their text.
      {"a" + std::string(100000, '{') + "too deep" + std::string(100000, '}') + "b", "ab"},
      {"a" + std::string(100000, '{') + "unclosed", "a"},
      {"{\\*" + std::string(100000, '{') + "x", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.rtf), c.text) << c.rtf.substr(0, 40);
  EXPECT_EQ(VoRTFToPlainText("{\\rtf1 \\'01\\'00}"), WideString(u"\x01\0", 2));
}

TEST(RTFReader, RecognisesEncapsulatedHTMLInTheHeaderOnly) {
  for (std::string_view rtf :
       {"{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl}{\\*\\htmltag64}}",
        "{\\rtf1\\ansi{\\fonttbl{\\f0 A;}}\\fromhtml1{\\*\\htmltag0 <p>}}", "{\\rtf1\\fromhtml1}"})
    EXPECT_TRUE(VoRTFIsHTMLEncapsulated(rtf)) << rtf;
  for (std::string_view rtf :
       {"{\\rtf1\\fromhtml}", "{\\rtf1\\fromhtml0}", "{\\rtf1\\fromtext \\fbidis}", "{\\rtf1 text\\fromhtml1}",
        "{\\rtf1\\'41\\fromhtml1}", "{\\rtf1{\\*\\htmltag0 <p>}\\fromhtml1}", "{\\rtf1{\\fonttbl\\fromhtml1}}",
        "{\\pict\\fromhtml1}", "\\fromhtml1", ""})
    EXPECT_FALSE(VoRTFIsHTMLEncapsulated(rtf)) << rtf;
}

}  // namespace
}  // namespace orba::test
