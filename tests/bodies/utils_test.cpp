// The library's body conversion functions: what they hand on and how they fail.
#include "orba/VoMAPIUtils.h"

#include "bodiestesting.h"
#include "common/mapierror.h"
#include "orba/VoMAPIExceptions.h"

namespace orba::test {
namespace {

TEST(BodyConversion, EncapsulatedHTMLTravelsThroughStringStreams) {
  const WideString html = u"<html><body><p>Gr\u00fc\u00dfe \u4e2d</p></body></html>";
  TVoStringStream rtf = CreateRTFEncodedHTMLStream(html, 932);
  EXPECT_EQ(rtf.CodePage(), 932u);
  EXPECT_TRUE(rtf.GetAsString().starts_with(u"{\\rtf1\\ansi\\ansicpg932\\fromhtml1 "));
  EXPECT_EQ(CreateRTFEncodedHTMLStream(html, 0).CodePage(), 1252u);
  // The HTML is added to what the stream holds, and the stream takes the RTF's code page.
  TVoMemoryStream rtfBytes(rtf.GetAsBytes());
  TVoStringStream out(65001);
  out.Add(u"kept:");
  EXPECT_TRUE(ConvertRTFStreamToHTMLStream(rtfBytes, out));
  EXPECT_EQ(out.GetAsString(), u"kept:" + html);
  EXPECT_EQ(out.CodePage(), 932u);
  // RTF without HTML leaves the stream as it was.
  TVoMemoryStream plainRtf(AsBytes("{\\rtf1\\ansi\\ansicpg1251 text}"));
  TVoStringStream untouched(65001);
  EXPECT_FALSE(ConvertRTFStreamToHTMLStream(plainRtf, untouched));
  EXPECT_EQ(untouched.GetAsString(), u"");
  EXPECT_EQ(untouched.CodePage(), 65001u);
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

TEST(BodyConversion, FailuresAreTheLibrarysExceptions) {
  EXPECT_RAISES(CreateRTFEncodedHTMLStream(u"<p>", 1200), EMAPI_INVALID_PARAMETER, E_INVALIDARG,
                u"CreateRTFEncodedHTMLStream failed!\r\nRTF cannot be written in the code page 1200");
  // A stream that fails to read fails the conversion.
  struct FailingStream : TVoMemoryStream {
    size_t Read(void*, size_t) override { throw EVoException(u"Stream read error", int32_t(0x8003001E)); }
  } failing;
  TVoStringStream html;
  EXPECT_RAISES(ConvertRTFStreamToHTMLStream(failing, html), EVoMAPIException, 0x8003001E,
                u"ConvertRTFStreamToHTMLStream failed!\r\nStream read error");
}

}  // namespace
}  // namespace orba::test
