// The library's body conversion functions: what they hand on and how they fail.
#include "orba/VoMAPIUtils.h"

#include "bodiestesting.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

TEST(BodyConversion, EncapsulatedHTMLTravelsThroughStringStreams) {
  const WideString html = u"<html><body><p>Gr\u00fc\u00dfe \u4e2d</p></body></html>";
  TVoStringStream rtf = CreateRTFEncodedHTMLStream(html, 932);
  EXPECT_EQ(rtf.CodePage(), 932u);
  EXPECT_TRUE(rtf.GetAsString().starts_with(u"{\\rtf1\\ansi\\ansicpg932\\fromhtml1 "));
  TVoMemoryStream rtfBytes(rtf.GetAsBytes());
  TVoStringStream out(65001);
  out.Add(u"kept:");
  EXPECT_TRUE(ConvertRTFStreamToHTMLStream(rtfBytes, out));
  EXPECT_EQ(out.GetAsString(), u"kept:" + html);
  EXPECT_EQ(out.CodePage(), 932u);
  EXPECT_EQ(CreateRTFEncodedHTMLStream(html, 0).CodePage(), 1252u);
}

TEST(BodyConversion, RTFWithoutHTMLLeavesTheHTMLStreamAsItWas) {
  TVoMemoryStream rtf(AsBytes("{\\rtf1\\ansi\\ansicpg1251 text}"));
  TVoStringStream html(65001);
  EXPECT_FALSE(ConvertRTFStreamToHTMLStream(rtf, html));
  EXPECT_EQ(html.GetAsString(), u"");
  EXPECT_EQ(html.CodePage(), 65001u);
}

TEST(BodyConversion, PlainTextRTFAndHTML) {
  const WideString text = u"Line one\r\n\ttabbed {braces} \\ \u20ac \u4e2d\r\nend";
  const AnsiString rtf = ConvertPlainTextToRTF(text);
  EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
  EXPECT_EQ(ConvertRTFToPlainText(rtf), text);
  EXPECT_EQ(ConvertHTMLToPlainText(u"<p>a &amp; b</p><p>c</p>"), u"a & b\r\n\r\nc");
  WideString plain, html;
  DecodeMimeMultiPartText(
      u"This is a multi-part message in MIME format.\r\n\r\n------=_Part\r\nContent-Type: text/plain\r\n\r\n"
      u"hello\r\n------=_Part\r\nContent-Type: text/html\r\n\r\n<b>hello</b>\r\n------=_Part--\r\n",
      plain, html);
  EXPECT_EQ(plain, u"hello");
  EXPECT_EQ(html, u"<b>hello</b>");
}

// Random texts come back from RTF with their line ends as CR LF.
TEST(BodyConversion, PlainTextRoundTripsThroughRTF) {
  std::mt19937 rng(99);
  for (int i = 0; i < 300; ++i) {
    const WideString text = RandomText(rng, rng() % 300, i % 2 == 0);
    WideString expected;
    for (size_t k = 0; k < text.size(); ++k) {
      if (text[k] == '\r' || text[k] == '\n') {
        expected += u"\r\n";
        if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
      } else {
        expected += text[k];
      }
    }
    ASSERT_EQ(ConvertRTFToPlainText(ConvertPlainTextToRTF(text)), expected) << i;
  }
}

TEST(BodyConversion, FailuresAreTheLibrarysExceptions) {
  try {
    CreateRTFEncodedHTMLStream(u"<p>", 1200);
    FAIL();
  } catch (const EMAPI_INVALID_PARAMETER& e) {
    EXPECT_EQ(e.Message(), u"CreateRTFEncodedHTMLStream failed!\r\nRTF cannot be written in the code page 1200");
    EXPECT_EQ(e.Code(), int32_t(0x80070057));
  }
  // A stream that fails to read fails the conversion.
  struct FailingStream : TVoMemoryStream {
    size_t Read(void*, size_t) override { throw EVoException(u"Stream read error", int32_t(0x8003001E)); }
  } failing;
  TVoStringStream html;
  try {
    ConvertRTFStreamToHTMLStream(failing, html);
    FAIL();
  } catch (const EVoMAPIException& e) {
    EXPECT_EQ(e.Message(), u"ConvertRTFStreamToHTMLStream failed!\r\nStream read error");
    EXPECT_EQ(e.Code(), int32_t(0x8003001E));
  }
}

}  // namespace
}  // namespace orba::test
