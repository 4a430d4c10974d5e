// The body conversions of uVoMAPIUtils: the support layer does the work; here its
// failures become the library's exceptions.
#include <exception>
#include <string>

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIUtils.h"
#include "orba/common/bodies/htmltext.h"
#include "orba/common/bodies/multipart.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/format.h"

namespace orba {
namespace {

// Runs work; a failure of the support layer is raised again as the library's
// exception of its code, its text led by the function's name.
template <class Work>
auto Convert(const char16_t* function, Work work) -> decltype(work()) {
  try {
    return work();
  } catch (const EVoMAPIException&) {
    throw;
  } catch (const EVoException& e) {
    std::rethrow_exception(CreateVoMAPIException(e.Code(), u"%s failed!\r\n%s", {function, e.Message()}));
  }
}

}  // namespace

TVoStringStream CreateRTFEncodedHTMLStream(const WideString& html, uint32_t codePage) {
  return Convert(u"CreateRTFEncodedHTMLStream", [&] {
    const AnsiString rtf = VoEncapsulateHTML(html, codePage);
    TVoStringStream stream(codePage == 0 ? 1252 : codePage);
    stream.Add(WideString(rtf.begin(), rtf.end()));
    return stream;
  });
}

bool ConvertRTFStreamToHTMLStream(TVoStream& rtfStream, TVoStringStream& htmlStream) {
  return Convert(u"ConvertRTFStreamToHTMLStream", [&] {
    AnsiString rtf;
    char chunk[4096];
    for (size_t got; (got = rtfStream.Read(chunk, sizeof chunk)) > 0;) rtf.append(chunk, got);
    auto html = VoDecapsulateHTML(rtf);
    if (!html) return false;
    htmlStream.Add(html->Html);
    htmlStream.SetCodePage(html->CodePage);
    return true;
  });
}

WideString ConvertRTFToPlainText(const AnsiString& rtf) {
  return Convert(u"ConvertRTFToPlainText", [&] { return VoRTFToPlainText(rtf); });
}

AnsiString ConvertPlainTextToRTF(const WideString& text) {
  return Convert(u"ConvertPlainTextToRTF", [&] { return VoPlainTextToRTF(text); });
}

WideString ConvertHTMLToPlainText(const WideString& html) {
  return Convert(u"ConvertHTMLToPlainText", [&] { return VoHTMLToPlainText(html); });
}

void DecodeMimeMultiPartText(const WideString& text, WideString& plain, WideString& html) {
  TVoMultipartText parts = Convert(u"DecodeMimeMultiPartText", [&] { return VoDecodeMimeMultipartText(text); });
  plain = std::move(parts.Plain);
  html = std::move(parts.Html);
}

}  // namespace orba
