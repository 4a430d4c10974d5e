// Feeds arbitrary bytes to the RTF reader: the tokenizer must stay within the input,
// the plain text must come back from its own RTF, and encapsulated HTML must come back
// unchanged from RTF that encapsulates it again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"

namespace {

// Line ends as the RTF gives them back: CR LF, LF and CR each become CR LF.
orba::WideString WithCrLf(std::u16string_view text) {
  orba::WideString result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      result += u"\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  orba::TVoRTFTokenizer tokenizer(rtf);
  while (tokenizer.Next().Type != orba::TVoRTFTokenType::End)
    if (tokenizer.Position() > size) std::abort();

  const orba::WideString text = orba::VoRTFToPlainText(rtf);
  if (orba::VoRTFToPlainText(orba::VoPlainTextToRTF(text, 1252)) != WithCrLf(text)) std::abort();

  if (auto html = orba::VoDecapsulateHTML(rtf)) {
    auto again = orba::VoDecapsulateHTML(orba::VoEncapsulateHTML(html->Html, html->CodePage));
    if (!again || again->Html != html->Html || again->CodePage != html->CodePage) std::abort();
  }
  return 0;
}
