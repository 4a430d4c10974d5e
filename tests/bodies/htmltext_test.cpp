// HTML to plain text through libxml2's HTML parser.
#include "orba/common/bodies/htmltext.h"

#include "bodiestesting.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

std::string Text(std::string_view html) { return ToUtf8(VoHTMLToPlainText(FromUtf8(html))); }

TEST(HTMLText, ShowsTheTextAsABrowserDoes) {
  const struct {
    const char* html;
    const char* text;
  } cases[] = {
      {"<html><body><p>One</p><p>Two</p></body></html>", "One\r\n\r\nTwo"},
      {"<div>a</div><div>b</div>c<span>d</span>", "a\r\nb\r\ncd"},
      {"<pre>  kept\n\tas  is</pre>after", "  kept\r\n\tas  is\r\nafter"},
      {"<ul><li>one<li>two<ul><li>inner</ul></ul>", "\u2022 one\r\n\u2022 two\r\n  \u2022 inner"},
      {"<table><tr><td>a</td><td>b</td><td></td><td>d</td></tr><tr><th>e</th><td>f</td></tr></table>",
       "a\tb\t\td\r\ne\tf"},
      {"<head><title>T</title><style>p{}</style><script>x()</script></head><body>shown<script>y</script>"
       "<noscript>n</noscript></body>",
       "shown"},
      {"&lt;tag&gt; &amp; &quot;q&quot; &eacute;&#233;&#x20AC;&nbsp;x &unknown;", "<tag> & \"q\" éé€\u00a0x &unknown;"},
      {"<p>unclosed <b>bold <i>both</p>after", "unclosed bold both\r\n\r\nafter"},
      {"<br>a<br><br>", "a"},
      // The parser reads the UTF-16 text it is given, whatever the document declares.
      {"<meta charset=\"iso-8859-1\"><body>\xc3\xa9</body>", "é"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.html;
  // libxml2 reads NUL as a blank and drops the other control characters; an unpaired
  // surrogate becomes U+FFFD.
  EXPECT_EQ(VoHTMLToPlainText(std::u16string_view(u"a\0b\x01"
                                                  u"c",
                                                  5)),
            u"a bc");
  EXPECT_EQ(VoHTMLToPlainText(u"x\xd800y"), u"x\ufffdy");
}

// Large and deep documents: time and memory grow with the size, and nothing breaks.
TEST(HTMLText, LargeAndDeepDocuments) {
  WideString html = u"<html><body>";
  const WideString block = u"<div class=\"c\"><p>Some <b>text</b> &amp; <a href=\"x\">a link</a></p><br></div>\n";
  while (html.size() < 50'000'000) html += block;
  html += u"</body></html>";
  const WideString text = VoHTMLToPlainText(html);
  // Each block: its paragraph, the empty line after it, and the line of the <br>.
  const std::u16string_view line = u"Some text & a link\r\n\r\n\r\n";
  EXPECT_TRUE(text.starts_with(line));
  EXPECT_EQ(text.size(), (html.size() / block.size()) * line.size() - 6);
  // Huge nodes and deep nesting.
  const WideString longText(20'000'000, u'x');
  EXPECT_EQ(VoHTMLToPlainText(u"<p>" + longText + u"</p>").size(), longText.size());
  WideString deep;
  for (int i = 0; i < 100000; ++i) deep += u"<div>";
  deep += u"deep";
  EXPECT_EQ(VoHTMLToPlainText(deep), u"deep");
  EXPECT_EQ(VoHTMLToPlainText(u"<!--" + WideString(20'000'000, u'-')), u"");
}

}  // namespace
}  // namespace orba::test
