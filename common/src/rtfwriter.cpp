#include "rtfwriter.h"

#include <string>

#include "orba/common/bodies/rtfreader.h"
#include "orba/common/com.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

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

}  // namespace orba
