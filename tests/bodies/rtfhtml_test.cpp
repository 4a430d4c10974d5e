// HTML encapsulated in RTF: the RTF the generator writes, de-encapsulation of the
// published format's features, and round trips (plain text through RTF too).
#include "bodiestesting.h"
#include "common/mapierror.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/com.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n"
    "{\\f0\\fswiss Arial;}\r\n"
    "{\\f1\\fmodern Courier New;}\r\n"
    "{\\f2\\fnil\\fcharset2 Symbol;}\r\n"
    "{\\f3\\fmodern\\fcharset0 Courier New;}\r\n"
    "{\\f4\\fswiss Arial;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
    "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24";

std::optional<std::string> Decapsulated(std::string_view rtf) {
  const auto html = VoDecapsulateHTML(rtf);
  return html ? std::optional(ToUtf8(html->Html)) : std::nullopt;
}

// The header, a group per tag, the style sheet and its closing tag in groups of their
// own, htmltag64 after the body tag, text after \htmlrtf0, an entity in a group; a line
// break in the RTF for <BR/> (any case) but not for <br> or <br />.
TEST(EncapsulatedHTML, GeneratorWritesTheMarkupInGroupsAndTheTextAsRTF) {
  const std::string html =
      "<html><head><style>p {x}</style></head><body><p>Hi</p>&nbsp;a<BR/>b<br>c<br />d<br/>e</body></html>";
  EXPECT_EQ(VoEncapsulateHTML(FromUtf8(html)),
            std::string(kHeader) +
                "\r\n{\\*\\htmltag0 <html>}"
                "\r\n{\\*\\htmltag0 <head>}"
                "\r\n{\\*\\htmltag0 <style>}"
                "\r\n{\\*\\htmltag241 p \\{x\\}}"
                "\r\n{\\*\\htmltag249 </style>}"
                "\r\n{\\*\\htmltag0 </head>}"
                "\r\n{\\*\\htmltag0 <body>}{\\*\\htmltag64}"
                "\r\n{\\*\\htmltag0 <p>}\\htmlrtf0 Hi"
                "\r\n{\\*\\htmltag0 </p>}\r\n\\htmlrtf \\par\r\n\\htmlrtf0\r\n"
                "{\\*\\htmltag0 &nbsp;}\r\n\\htmlrtf0 a"
                "\r\n{\\*\\htmltag0 <BR/>}\\htmlrtf \\line\r\n\\htmlrtf0\r\n\\htmlrtf0 b"
                "\r\n{\\*\\htmltag0 <br>}\\htmlrtf0 c"
                "\r\n{\\*\\htmltag0 <br />}\\htmlrtf0 d"
                "\r\n{\\*\\htmltag0 <br/>}\\htmlrtf \\line\r\n\\htmlrtf0\r\n\\htmlrtf0 e"
                "\r\n{\\*\\htmltag0 </body>}"
                "\r\n{\\*\\htmltag0 </html>}}");
  EXPECT_EQ(Decapsulated(VoEncapsulateHTML(FromUtf8(html))), html);
  // What a reader of the RTF shows: the text with its paragraph and line breaks.
  EXPECT_EQ(VoRTFToPlainText(VoEncapsulateHTML(FromUtf8(html))), u"Hi\r\na\r\nbcd\r\ne");
}

TEST(EncapsulatedHTML, CodePageOfTheRTF) {
  EXPECT_TRUE(VoEncapsulateHTML(u"<p>", 932).starts_with("{\\rtf1\\ansi\\ansicpg932\\fromhtml1 "));
  EXPECT_NE(VoEncapsulateHTML(u"<body>\u4e2d", 932).find("\\'92\\'86"), std::string::npos);
  EXPECT_NE(VoEncapsulateHTML(u"<body>\u4e2d", 1252).find("\\u20013?"), std::string::npos);
  for (uint32_t bad : {1200u, 12345u, 50220u})
    EXPECT_MAPI_ERROR(VoEncapsulateHTML(u"<p>", bad), E_INVALIDARG,
                      "RTF cannot be written in the code page " + std::to_string(bad));
}

// HTML whose every character must come back: line ends of every kind, text after the
// body, markup characters of RTF, entities without ";", unclosed tags and style sheets,
// blank runs at the end, characters the code page lacks.
TEST(EncapsulatedHTML, EveryHTMLComesBackUnchanged) {
  const char* cases[] = {
      "",
      "<html>\n<head>\r\n<title>T</title>\r</head>\n<body>\n\tline\r\none\rtwo\n</body>\n</html>\n",
      "<html><body>text</body> after the body \n<!-- c --></html>trailing",
      "<body>{braces} \\back\\slash\\ <a href=\"{x}\\y\">link</a></body>",
      "<body>AT&T &amp &#65 &#x42; & ; &<b>bold</b>&</body>",
      "<body><p>unclosed <b",
      "<head><STYLE type=\"text/css\">a{}</Style ><style>b{}</style></head>",
      "<body>  &nbsp;  <p>",
      "<body>\x01\x02\x1f\x7f</body>",
      "<body>caf\xc3\xa9 \xe2\x82\xac \xe4\xb8\xad \xf0\x9f\x98\x80</body>",
      "<BODY\nclass=x>a</DIV></P></body\t>",
  };
  for (const char* html : cases)
    for (uint32_t codePage : {1252u, 932u, 1251u, 65001u}) {
      const std::string rtf = VoEncapsulateHTML(FromUtf8(html), codePage);
      EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char c) { return uint8_t(c) < 0x80; })) << html;
      EXPECT_EQ(Decapsulated(rtf), html) << html << " in " << codePage;
    }
}

// Random texts through the conversions meant to be lossless: HTML through encapsulating
// RTF, plain text through RTF (its line ends come back as CR LF).
TEST(EncapsulatedHTML, RandomTextsComeBackUnchanged) {
  std::mt19937 rng(20240613);
  const uint32_t codePages[] = {1252, 932, 936, 1251, 1253, 65001};
  for (int i = 0; i < 300; ++i) {
    const WideString text = RandomText(rng, 1 + rng() % 400, i % 3 == 0);
    const uint32_t codePage = codePages[size_t(i) % std::size(codePages)];
    const auto back = VoDecapsulateHTML(VoEncapsulateHTML(text, codePage));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Html, text) << i;
    EXPECT_EQ(back->CodePage, codePage);
    WideString withCrLf;
    for (size_t k = 0; k < text.size(); ++k) {
      const bool lineEnd = text[k] == '\r' || text[k] == '\n';
      withCrLf += lineEnd ? u"\r\n" : WideString(1, text[k]);
      if (text.substr(k, 2) == u"\r\n") ++k;
    }
    ASSERT_EQ(VoRTFToPlainText(VoPlainTextToRTF(text, codePage)), withCrLf) << i;
  }
}

// Bodies after the header of an encapsulating document, well-formed or not.
TEST(EncapsulatedHTML, DecapsulationFollowsThePublishedFormat) {
  const struct {
    std::string body;
    const char* html;
  } cases[] = {
      // \htmlrtf suppresses RTF-only text; a group restores the state it entered with.
      {"{\\*\\htmltag84 &nbsp;}\\htmlrtf \\'a0\\htmlrtf0 x", "&nbsp;x"},
      {"\\htmlrtf {\\htmlrtf0 in}out\\htmlrtf1 no\\htmlrtf0 yes", "inyes"},
      // The tag's parameter and the blank after it are not content; a second blank is.
      {"{\\*\\htmltag148 <font>}{\\*\\htmltag <p>}{\\*\\htmltag0  <i>}", "<font><p> <i>"},
      // Inside tags: \par, \tab, escapes, Unicode, the special characters.
      {"{\\*\\htmltag0 <a\\par\\tab b=\"\\{\\}\\\\\">}", "<a\r\n\tb=\"{}\\\">"},
      {"{\\*\\htmltag0 \\'e9\\u8364?\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash\\~\\_}",
       "é€‘’“”•–—\u00a0\u00ad"},
      // Other destinations inside and outside tags give nothing.
      {"{\\*\\htmltag0 <a{\\*\\x y}>}{\\*\\mhtmltag0 <b>}{\\pntext 1.}", "<a>1."},
      // Text outside tags: \par and \line give CR LF, \tab a tab; RTF line breaks are not text.
      {"a\\par b\\line c\\tab d\r\ne", "a\r\nb\r\nc\tde"},
      // Escapes in tags are in the document's code page; text outside them in its font's.
      {"\\ansicpg932{\\fonttbl{\\f0\\fswiss MS PGothic;}{\\f3\\fmodern\\fcharset0 Courier New;}}\\f0{\\*\\htmltag0 "
       "\\'82\\'a0}\\'82\\'a2{\\f3\\'e9{\\*\\htmltag0 \\'82\\'a4}}",
       "あいéう"},
      // Malformed: what the document holds up to the damage.
      {"{\\*\\htmltag0 <p\\'4", "<p4"},
      {"{\\*\\htmltag0 a\\bin99 b}", "a"},
      {std::string(4000, '{') + "{\\*\\htmltag0 deep}", "deep"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Decapsulated("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0 " + c.body), c.html) << c.body.substr(0, 60);
}

}  // namespace
}  // namespace orba::test
