// Feeds arbitrary text to the HTML-to-text conversion and the MIME multipart splitter:
// both must give a result for any input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orba/common/bodies/htmltext.h"
#include "orba/common/bodies/multipart.h"
#include "orba/common/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orba::WideString text = orba::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  orba::VoHTMLToPlainText(text);
  orba::VoDecodeMimeMultipartText(text);
  return 0;
}
