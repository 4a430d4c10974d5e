// RTF to plain text and back.
#include <string>

#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"
#include "rtfwriter.h"

namespace orba {
namespace {

class PlainTextReader : public TVoRTFReader {
 public:
  using TVoRTFReader::TVoRTFReader;
  WideString text;

 protected:
  void Characters(std::u16string_view chars, const TVoRTFGroupState& state) override {
    if (state.Destination == TVoRTFDestination::Text) text.append(chars);
  }
};

}  // namespace

WideString VoRTFToPlainText(std::string_view rtf) {
  PlainTextReader reader(rtf);
  reader.Read();
  return std::move(reader.text);
}

AnsiString VoPlainTextToRTF(std::u16string_view text, uint32_t codePage) {
  TVoRTFTextWriter writer(codePage);
  AnsiString rtf = "{\\rtf1\\ansi\\ansicpg" + std::to_string(writer.CodePage()) + "\\deff0{\\fonttbl{\\f0\\fnil";
  if (const int32_t charset = VoRTFCodePageCharset(writer.CodePage()); charset >= 0)
    rtf += "\\fcharset" + std::to_string(charset);
  rtf += " Courier New;}}\r\n\\uc1\\pard\\f0\\fs20 ";
  while (!text.empty()) {
    const size_t end = text.find_first_of(u"\r\n");
    writer.Append(text.substr(0, end), rtf);
    if (end == std::u16string_view::npos) break;
    rtf += "\\par\r\n";
    text.remove_prefix(end + (text.substr(end, 2) == u"\r\n" ? 2 : 1));
  }
  rtf += '}';
  return rtf;
}

}  // namespace orba
