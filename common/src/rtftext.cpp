#include <string>

#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"
#include "orba/common/com.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"
#include "rtfcodepage.h"
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

constexpr char kHex[] = "0123456789abcdef";

bool IsPlainAscii(char16_t c) { return c >= 0x20 && c < 0x7F; }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// \uN (N signed, as RTF writes it) and "?" for readers without Unicode.
void AppendUnicode(char16_t c, AnsiString& rtf) {
  rtf += "\\u";
  rtf += std::to_string(c < 0x8000 ? int(c) : int(c) - 0x10000);
  rtf += '?';
}

void AppendHex(uint8_t byte, AnsiString& rtf) {
  rtf += "\\'";
  rtf += kHex[byte >> 4];
  rtf += kHex[byte & 0xF];
}

// Checks the code page before it is used.
uint32_t WritableCodePage(uint32_t codePage) {
  if (codePage == 0) codePage = VoCodePage();
  if (!VoRTFIsUsableCodePage(codePage))
    throw EVoException(u"RTF cannot be written in the code page " + FromUtf8(std::to_string(codePage)), E_INVALIDARG);
  return codePage;
}

}  // namespace

TVoRTFTextWriter::TVoRTFTextWriter(uint32_t codePage) : codePage_(WritableCodePage(codePage)) {}

void TVoRTFTextWriter::Append(std::u16string_view text, AnsiString& rtf) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == '\\' || c == '{' || c == '}') {
      rtf += '\\';
      rtf += char(c);
    } else if (c == '\t') {
      rtf += "\\tab ";
    } else if (IsPlainAscii(c)) {
      rtf += char(c);
    } else if (c < 0x80) {
      AppendHex(uint8_t(c), rtf);
    } else {
      size_t end = i;
      while (end < text.size() && text[end] >= 0x80) ++end;
      AppendOther(text.substr(i, end - i), rtf);
      i = end - 1;
    }
  }
}

// A run of characters beyond ASCII: in the code page when it has them all; else each
// character (a surrogate pair as one) in the code page or as Unicode escapes.
void TVoRTFTextWriter::AppendOther(std::u16string_view run, AnsiString& rtf) {
  std::string bytes;
  if (codePage_.Encode(run, bytes)) {
    for (char b : bytes) AppendHex(uint8_t(b), rtf);
    return;
  }
  for (size_t i = 0; i < run.size(); ++i) {
    const size_t length = IsHighSurrogate(run[i]) && i + 1 < run.size() && IsLowSurrogate(run[i + 1]) ? 2 : 1;
    const std::u16string_view character = run.substr(i, length);
    bytes.clear();
    if (codePage_.Encode(character, bytes))
      for (char b : bytes) AppendHex(uint8_t(b), rtf);
    else
      for (char16_t unit : character) AppendUnicode(unit, rtf);
    i += length - 1;
  }
}

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
