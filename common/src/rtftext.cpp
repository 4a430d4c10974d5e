#include <string>

#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"
#include "orba/common/com.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"
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

}  // namespace

void VoAppendRTFHex(uint8_t byte, AnsiString& rtf) {
  rtf += "\\'";
  rtf += kHex[byte >> 4];
  rtf += kHex[byte & 0xF];
}

TVoRTFTextWriter::TVoRTFTextWriter(uint32_t codePage) : codePage_(codePage == 0 ? VoCodePage() : codePage) {
  if (!VoRTFIsUsableCodePage(codePage_))
    throw EVoException(u"RTF cannot be written in the code page " + FromUtf8(std::to_string(codePage_)), E_INVALIDARG);
}

void TVoRTFTextWriter::Append(std::u16string_view text, AnsiString& rtf) const {
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == '\\' || c == '{' || c == '}') {
      rtf += '\\';
      rtf += char(c);
      ++i;
    } else if (c == '\t') {
      rtf += "\\tab ";
      ++i;
    } else if (IsPlainAscii(c)) {
      rtf += char(c);
      ++i;
    } else if (c < 0x80) {
      VoAppendRTFHex(uint8_t(c), rtf);
      ++i;
    } else {
      size_t end = i;
      while (end < text.size() && text[end] >= 0x80) ++end;
      AppendOther(text.substr(i, end - i), rtf);
      i = end;
    }
  }
}

// A run of characters beyond ASCII: in the code page as far as it has them, else as
// Unicode escapes. One conversion usually settles a run; a run with characters the
// code page lacks is settled character by character when the code page has one byte
// per character, else split in halves until the halves convert or are single
// characters.
void TVoRTFTextWriter::AppendOther(std::u16string_view run, AnsiString& rtf) const {
  const AnsiString bytes = TVoEncoding::ConvertA(run, codePage_);
  const WideString back = TVoEncoding::ConvertW(bytes, codePage_);
  if (back == run) {
    for (char b : bytes) VoAppendRTFHex(uint8_t(b), rtf);
  } else if (bytes.size() == run.size() && back.size() == run.size()) {
    for (size_t i = 0; i < run.size(); ++i)
      if (back[i] == run[i])
        VoAppendRTFHex(uint8_t(bytes[i]), rtf);
      else
        AppendUnicode(run[i], rtf);
  } else if (run.size() == 1 || (run.size() == 2 && IsHighSurrogate(run[0]) && IsLowSurrogate(run[1]))) {
    for (char16_t c : run) AppendUnicode(c, rtf);
  } else {
    size_t half = run.size() / 2;
    if (IsLowSurrogate(run[half]) && IsHighSurrogate(run[half - 1])) ++half;
    AppendOther(run.substr(0, half), rtf);
    AppendOther(run.substr(half), rtf);
  }
}

WideString VoRTFToPlainText(std::string_view rtf) {
  PlainTextReader reader(rtf);
  reader.Read();
  return std::move(reader.text);
}

AnsiString VoPlainTextToRTF(std::u16string_view text, uint32_t codePage) {
  const TVoRTFTextWriter writer(codePage);
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
