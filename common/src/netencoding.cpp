#include "orba/common/netencoding.h"

#include <string>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

WideString Number(size_t n) { return FromUtf8(std::to_string(n)); }

[[noreturn]] void BadUULine(size_t line, const char16_t* reason) {
  throw EVoException(u"Invalid uuencoded data in line " + Number(line) + u": " + reason, E_INVALIDARG);
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Splits text into lines without their line ends; one call per line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line) {
    if (done_) return false;
    const size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (end == std::string_view::npos)
      done_ = true;
    else
      rest_.remove_prefix(end + 1);
    ++number_;
    return true;
  }
  size_t Number() const { return number_; }

 private:
  std::string_view rest_;
  size_t number_ = 0;
  bool done_ = false;
};

// Appends the bytes of one body line; false for the zero-length line that ends the data.
bool DecodeUULine(std::string_view line, size_t lineNumber, std::vector<uint8_t>& out) {
  auto value = [&](char c) -> unsigned {
    if (c < 0x20 || c > 0x60) BadUULine(lineNumber, u"invalid character");
    return (static_cast<unsigned>(c) - 0x20) & 0x3F;
  };
  const size_t length = value(line[0]);
  if (length == 0) return false;
  const std::string_view data = line.substr(1);
  if (data.size() < (length * 4 + 2) / 3) BadUULine(lineNumber, u"line too short");
  for (size_t done = 0, pos = 0; done < length; pos += 4) {
    unsigned c[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && pos + i < data.size(); ++i) c[i] = value(data[pos + i]);
    const uint8_t bytes[3] = {static_cast<uint8_t>(c[0] << 2 | c[1] >> 4), static_cast<uint8_t>(c[1] << 4 | c[2] >> 2),
                              static_cast<uint8_t>(c[2] << 6 | c[3])};
    for (size_t i = 0; i < 3 && done < length; ++i, ++done) out.push_back(bytes[i]);
  }
  return true;
}

}  // namespace

WideString TVoNetEncoding::GetHexEncoding(const void* data, size_t size) {
  if (!data && size) throw EVoException(u"GetHexEncoding: no buffer given", E_POINTER);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  WideString text(size * 2, u'0');
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = kHexDigits[bytes[i] >> 4];
    text[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
  }
  return text;
}

WideString TVoNetEncoding::GetHexEncoding(const std::vector<uint8_t>& bytes) {
  return GetHexEncoding(bytes.data(), bytes.size());
}

std::vector<uint8_t> TVoNetEncoding::GetHexDecoding(std::u16string_view text) {
  if (text.size() % 2)
    throw EVoException(u"Invalid hexadecimal text: the length " + Number(text.size()) + u" is odd", E_INVALIDARG);
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const int digit = HexValue(text[i]);
    if (digit < 0)
      throw EVoException(u"Invalid hexadecimal text: position " + Number(i + 1) + u" holds no hexadecimal digit",
                         E_INVALIDARG);
    bytes[i / 2] = static_cast<uint8_t>(bytes[i / 2] << 4 | digit);
  }
  return bytes;
}

std::vector<uint8_t> VoUUDecode(std::string_view text) {
  std::vector<uint8_t> out;
  LineReader lines(text);
  std::string_view line;
  bool first = true, sawBegin = false, inData = true;
  while (lines.Next(line)) {
    const std::string_view trimmed = TrimRight(line);
    if (first && trimmed.empty()) continue;  // blank lines before the data
    if (first && trimmed.substr(0, 6) == "begin ") {
      first = false;
      sawBegin = true;
      continue;
    }
    first = false;
    if (trimmed == "end") return out;
    if (trimmed.empty()) inData = false;  // the data is over; wait for "end"
    if (inData) inData = DecodeUULine(line, lines.Number(), out);
  }
  if (sawBegin) throw EVoException(u"Invalid uuencoded data: the \"end\" line is missing", E_INVALIDARG);
  return out;
}

}  // namespace orba
