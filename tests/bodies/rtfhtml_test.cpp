// HTML encapsulated in RTF: the RTF the generator writes, de-encapsulation of the
// published format's features, round trips, and the corpus.
#include "bodiestesting.h"
#include "orba/common/bodies/compressedrtf.h"
#include "orba/common/bodies/htmltext.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"
#include "orba/common/exceptions.h"
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

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() <= ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() <= ' ') text.remove_suffix(1);
  return text;
}

std::optional<std::string> Decapsulated(std::string_view rtf) {
  auto html = VoDecapsulateHTML(rtf);
  if (!html) return std::nullopt;
  return ToUtf8(html->Html);
}

// The header, a group per tag, the style sheet and its closing tag in groups of their
// own, htmltag64 after the body tag, text after \htmlrtf0, an entity in a group.
TEST(EncapsulatedHTML, GeneratorWritesTheMarkupInGroupsAndTheTextAsRTF) {
  const std::string html = "<html><head><style>p {x}</style></head><body><p>Hi</p>&nbsp;</body></html>";
  EXPECT_EQ(VoEncapsulateHTML(FromUtf8(html)), std::string(kHeader) +
                                                   "\r\n{\\*\\htmltag0 <html>}"
                                                   "\r\n{\\*\\htmltag0 <head>}"
                                                   "\r\n{\\*\\htmltag0 <style>}"
                                                   "\r\n{\\*\\htmltag241 p \\{x\\}}"
                                                   "\r\n{\\*\\htmltag249 </style>}"
                                                   "\r\n{\\*\\htmltag0 </head>}"
                                                   "\r\n{\\*\\htmltag0 <body>}{\\*\\htmltag64}"
                                                   "\r\n{\\*\\htmltag0 <p>}\\htmlrtf0 Hi"
                                                   "\r\n{\\*\\htmltag0 </p>}\r\n\\htmlrtf \\par\r\n\\htmlrtf0\r\n"
                                                   "{\\*\\htmltag0 &nbsp;}\r\n"
                                                   "\r\n{\\*\\htmltag0 </body>}"
                                                   "\r\n{\\*\\htmltag0 </html>}}");
  EXPECT_EQ(Decapsulated(VoEncapsulateHTML(FromUtf8(html))), html);
  // What a reader of the RTF shows: the text with its paragraph break.
  EXPECT_EQ(VoRTFToPlainText(VoEncapsulateHTML(FromUtf8(html))), u"Hi\r\n");
}

TEST(EncapsulatedHTML, OnlyAClosedBrTagWithoutBlankBreaksTheRTFLine) {
  const struct {
    const char* html;
    bool lineBreak;
  } cases[] = {{"<body>a<BR/>b", true}, {"<body>a<br/>b", true}, {"<body>a<br>b", false}, {"<body>a<br />b", false}};
  for (const auto& c : cases) {
    const std::string rtf = VoEncapsulateHTML(FromUtf8(c.html));
    EXPECT_EQ(rtf.find("\\htmlrtf \\line") != std::string::npos, c.lineBreak) << c.html;
    EXPECT_EQ(ToUtf8(VoRTFToPlainText(rtf)), c.lineBreak ? "a\r\nb" : "ab") << c.html;
  }
}

TEST(EncapsulatedHTML, CodePageOfTheRTF) {
  EXPECT_TRUE(VoEncapsulateHTML(u"<p>", 0).starts_with("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 "));
  EXPECT_TRUE(VoEncapsulateHTML(u"<p>", 932).starts_with("{\\rtf1\\ansi\\ansicpg932\\fromhtml1 "));
  EXPECT_NE(VoEncapsulateHTML(u"<body>\u4e2d", 932).find("\\'92\\'86"), std::string::npos);
  EXPECT_NE(VoEncapsulateHTML(u"<body>\u4e2d", 1252).find("\\u20013?"), std::string::npos);
  for (uint32_t bad : {1200u, 12345u, 50220u}) {
    try {
      VoEncapsulateHTML(u"<p>", bad);
      ADD_FAILURE() << bad;
    } catch (const EVoException& e) {
      EXPECT_EQ(e.Code(), int32_t(0x80070057));
      EXPECT_EQ(e.Message(), u"RTF cannot be written in the code page " + FromUtf8(std::to_string(bad)));
    }
  }
}

// HTML whose every character must come back: line ends of every kind, text after the
// body, markup characters of RTF, entities without ";", unclosed tags and style sheets,
// blank runs at the end, characters the code page lacks.
TEST(EncapsulatedHTML, EveryHTMLComesBackUnchanged) {
  const char* cases[] = {
      "",
      "plain text, no markup",
      "<html>\n<head>\r\n<title>T</title>\r</head>\n<body>\n\tline\r\none\rtwo\n</body>\n</html>\n",
      "<html><body>text</body> after the body \n<!-- c --></html>trailing",
      "<body>{braces} \\back\\slash\\ <a href=\"{x}\\y\">link</a></body>",
      "<body>AT&T &amp &#65 &#x42; & ; &<b>bold</b>&</body>",
      "<body><p>unclosed <b",
      "<style>\np { a: b }\r\n</style>",
      "<head><STYLE type=\"text/css\">a{}</Style ><style>b{}</style></head>",
      "<body><style>in the body</style></body>",
      "<body>   </body>   ",
      "<body>text   ",
      "<body>  &nbsp;  <p>",
      "<body>\x01\x02\x1f\x7f</body>",
      "<body>caf\xc3\xa9 \xe2\x82\xac \xe4\xb8\xad \xf0\x9f\x98\x80</body>",
      "<body>\t<br/>\t<BR/>\n</BODY >\n",
      "<BODY\nclass=x>a</DIV></P></body\t>",
      "<<<>>>&&&;;;",
      "<body>?\xc3\xa9?",
  };
  for (const char* html : cases)
    for (uint32_t codePage : {1252u, 932u, 1251u, 65001u}) {
      const std::string rtf = VoEncapsulateHTML(FromUtf8(html), codePage);
      EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char c) { return uint8_t(c) < 0x80; })) << html;
      EXPECT_EQ(Decapsulated(rtf), html) << html << " in " << codePage;
    }
}

TEST(EncapsulatedHTML, RandomTextsComeBackUnchanged) {
  std::mt19937 rng(20240613);
  const uint32_t codePages[] = {1252, 932, 936, 1251, 1253, 65001};
  for (int i = 0; i < 300; ++i) {
    const WideString html = RandomText(rng, 1 + rng() % 400, i % 3 == 0);
    const uint32_t codePage = codePages[size_t(i) % std::size(codePages)];
    const auto back = VoDecapsulateHTML(VoEncapsulateHTML(html, codePage));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Html, html) << i;
    EXPECT_EQ(back->CodePage, codePage);
  }
}

TEST(EncapsulatedHTML, DecapsulationFollowsThePublishedFormat) {
  const struct {
    std::string_view body;  // after the header of an encapsulating document
    const char* html;
  } cases[] = {
      // \htmlrtf suppresses RTF-only text; a group restores the state it entered with.
      {"{\\*\\htmltag84 &nbsp;}\\htmlrtf \\'a0\\htmlrtf0 x", "&nbsp;x"},
      {"\\htmlrtf {\\htmlrtf0 in}out\\htmlrtf1 no\\htmlrtf0 yes", "inyes"},
      {"{\\htmlrtf a}b", "b"},
      // The tag's parameter and the blank after it are not content; a second blank is.
      {"{\\*\\htmltag148 <font>}{\\*\\htmltag <p>}{\\*\\htmltag0  <i>}", "<font><p> <i>"},
      // Inside tags: \par, \tab, escapes, Unicode, the special characters.
      {"{\\*\\htmltag0 <a\\par\\tab b=\"\\{\\}\\\\\">}", "<a\r\n\tb=\"{}\\\">"},
      {"{\\*\\htmltag0 \\'e9\\u8364?\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash\\~\\_}",
       "é€‘’“”•–—\u00a0\u00ad"},
      {"{\\*\\htmltag0 <a{\\b b}c>}", "<abc>"},
      // Other destinations inside and outside tags give nothing.
      {"{\\*\\htmltag0 <a{\\*\\x y}>}{\\*\\mhtmltag0 <b>}{\\pntext 1.}", "<a>1."},
      // Text outside tags: \par and \line give CR LF, \tab a tab; RTF line breaks are not text.
      {"a\\par b\\line c\\tab d\r\ne", "a\r\nb\r\nc\tde"},
      {"\\uc2 \\u233\\'3f\\'3fx", "éx"},
  };
  for (const auto& c : cases) {
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0 " + std::string(c.body) + "}";
    EXPECT_EQ(Decapsulated(rtf), c.html) << c.body;
  }
}

// Escapes in tags are in the document's code page; text outside them in its font's.
TEST(EncapsulatedHTML, EscapesFollowTheCodePageOfTheirPlace) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg932\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss MS PGothic;}{\\f3\\fmodern\\fcharset0 "
      "Courier New;}}\\f0{\\*\\htmltag0 \\'82\\'a0}\\'82\\'a2{\\f3\\'e9{\\*\\htmltag0 \\'82\\'a4}}}";
  auto html = VoDecapsulateHTML(rtf);
  ASSERT_TRUE(html);
  EXPECT_EQ(html->Html, u"あいéう");
  EXPECT_EQ(html->CodePage, 932u);
}

TEST(EncapsulatedHTML, RTFWithoutFromHtmlIsNotDecapsulated) {
  for (std::string_view rtf : {"{\\rtf1\\ansi{\\*\\htmltag0 <p>}}", "{\\rtf1\\fromtext x}", "no rtf", ""})
    EXPECT_FALSE(VoDecapsulateHTML(rtf)) << rtf;
}

TEST(EncapsulatedHTML, MalformedEncapsulationGivesWhatItHolds) {
  const struct {
    std::string rtf;
    std::string html;
  } cases[] = {
      {"{\\rtf1\\fromhtml1 {\\*\\htmltag0 <p", "<p"},
      {"{\\rtf1\\fromhtml1 {\\*\\htmltag0 <p\\'", "<p"},
      {"{\\rtf1\\fromhtml1 {\\*\\htmltag0 <p\\'4", "<p4"},
      {"{\\rtf1\\fromhtml1 }}}{\\*\\htmltag0 a}", "a"},
      {"{\\rtf1\\fromhtml1 {\\*\\htmltag0 a\\bin99 b}", "a"},
      {"{\\rtf1\\fromhtml1 " + std::string(100000, '{') + "{\\*\\htmltag0 deep}", "deep"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decapsulated(c.rtf), c.html) << c.rtf.substr(0, 60);
}

// The corpus: every HTML body de-encapsulates to a whole HTML document, whose text is
// the plain body the independent reader gives; encapsulated again, it comes back.
TEST(EncapsulatedHTML, CorpusBodiesDecapsulateToTheirDocuments) {
  size_t encapsulated = 0;
  for (const auto& file : CompressedBodies()) {
    SCOPED_TRACE(file.filename().string());
    const std::string stream = ReadFileBytes(file);
    const std::string rtf = AsString(VoDecompressRTF(stream.data(), stream.size()));
    const auto html = VoDecapsulateHTML(rtf);
    EXPECT_EQ(html.has_value(), rtf.find("\\fromhtml1") != std::string::npos);
    if (!html) continue;
    ++encapsulated;
    EXPECT_EQ(html->CodePage, 932u);
    // Nothing of the RTF is left, and a document comes back whole (a fragment stays one).
    for (const char16_t* rtfOnly : {u"\\htmltag", u"\\htmlrtf", u"\\par", u"{\\*", u"\\'"})
      EXPECT_EQ(html->Html.find(rtfOnly), WideString::npos) << ToUtf8(rtfOnly);
    const std::u16string_view trimmed = Trimmed(html->Html);
    if (rtf.find("<html") != std::string::npos) {
      EXPECT_TRUE(trimmed.starts_with(u"<html") || trimmed.starts_with(u"<!DOCTYPE html>")) << file;
      EXPECT_TRUE(trimmed.ends_with(u"</html>")) << file;
    } else {
      EXPECT_FALSE(trimmed.empty());
    }
    const auto again = VoDecapsulateHTML(VoEncapsulateHTML(html->Html, html->CodePage));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Html, html->Html);
  }
  EXPECT_GE(encapsulated, 15u);
}

// Outlook's plain bodies turn no-break spaces into spaces; a rich-edit control, and so
// the conversions here, keep them.
std::string WithPlainSpaces(WideString text) {
  std::replace(text.begin(), text.end(), u'\u00a0', u' ');
  return ToUtf8(text);
}

TEST(EncapsulatedHTML, CorpusTextMatchesTheOraclesPlainBodies) {
  size_t compared = 0;
  for (const auto& file : CompressedBodies()) {
    const auto json = OracleFile(file, ".json");
    if (!std::filesystem::exists(json) || !std::filesystem::exists(OracleFile(file, ".rtf"))) continue;
    SCOPED_TRACE(file.filename().string());
    const std::string stream = ReadFileBytes(file);
    const std::string rtf = AsString(VoDecompressRTF(stream.data(), stream.size()));
    const std::string body = OracleBody(json);
    // RTF to text gives the body whole: what an RTF reader shows is what Outlook kept.
    EXPECT_EQ(WithPlainSpaces(VoRTFToPlainText(rtf)), body);
    // The HTML's text is the body's text; trailing line ends are the RTF's own.
    if (auto html = VoDecapsulateHTML(rtf)) {
      std::string text = WithPlainSpaces(VoHTMLToPlainText(html->Html)), trimmed = body;
      while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) trimmed.pop_back();
      while (!trimmed.empty() && (trimmed.front() == '\n' || trimmed.front() == '\r')) trimmed.erase(0, 1);
      EXPECT_EQ(text, trimmed);
    }
    ++compared;
  }
  EXPECT_EQ(compared, 10u);
}

}  // namespace
}  // namespace orba::test
