#include "orba/common/bodies/multipart.h"

#include <algorithm>
#include <optional>
#include <string>

#include "orba/common/encoding.h"
#include "orba/common/texttrim.h"

namespace orba {
namespace {

char16_t Lower(char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c - 'A' + 'a') : c; }

WideString LowerCase(std::u16string_view text) {
  WideString result(text);
  std::transform(result.begin(), result.end(), result.begin(), Lower);
  return result;
}

// The lines of a text, with their line ends (CR LF or LF) kept apart.
class Lines {
 public:
  explicit Lines(std::u16string_view text) : text_(text) {}
  bool Next(std::u16string_view& line, size_t& start) {
    if (pos_ >= text_.size()) return false;
    start = pos_;
    const size_t end = std::min(text_.find(u'\n', pos_), text_.size());
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    return true;
  }

 private:
  std::u16string_view text_;
  size_t pos_ = 0;
};

struct Part {
  WideString type = u"text/plain", charset, boundary, encoding;
  bool attachment = false;
  std::u16string_view body;
};

// The value of parameter name (lower case) in a header value such as
// text/html; charset="utf-8".
WideString Parameter(std::u16string_view value, std::u16string_view name) {
  const WideString lower = LowerCase(value);
  for (size_t at = lower.find(name); at != WideString::npos; at = lower.find(name, at + 1)) {
    if (at > 0 && lower[at - 1] != ';' && lower[at - 1] > ' ') continue;
    size_t p = at + name.size();
    while (p < value.size() && value[p] <= ' ') ++p;
    if (p >= value.size() || value[p] != '=') continue;
    ++p;
    while (p < value.size() && value[p] <= ' ') ++p;
    if (p < value.size() && value[p] == '"') {
      const size_t end = std::min(value.find(u'"', p + 1), value.size());
      return WideString(value.substr(p + 1, end - p - 1));
    }
    const size_t end = std::min(value.find_first_of(u"; \t\r\n", p), value.size());
    return WideString(value.substr(p, end - p));
  }
  return {};
}

// Reads the headers at the start of text (up to the first empty line) into part and
// returns where its body starts; text without headers is all body.
size_t ReadHeaders(std::u16string_view text, Part& part) {
  Lines lines(text);
  std::u16string_view line;
  size_t start = 0;
  WideString header;
  auto apply = [&] {
    const size_t colon = header.find(u':');
    if (colon == WideString::npos) return;
    const WideString name = LowerCase(VoTrimmed(std::u16string_view(header).substr(0, colon)));
    const std::u16string_view value = VoTrimmed(std::u16string_view(header).substr(colon + 1));
    if (name == u"content-type") {
      part.type = LowerCase(VoTrimmed(value.substr(0, std::min(value.find(u';'), value.size()))));
      part.charset = Parameter(value, u"charset");
      part.boundary = Parameter(value, u"boundary");
    } else if (name == u"content-transfer-encoding") {
      part.encoding = LowerCase(value);
    } else if (name == u"content-disposition") {
      part.attachment = LowerCase(value).starts_with(u"attachment");
    }
  };
  while (lines.Next(line, start)) {
    if (line.empty()) {
      apply();
      return std::min(start + (text[start] == '\r' ? 2 : 1), text.size());
    }
    if (line.front() == ' ' || line.front() == '\t') {
      header.append(line);
      continue;
    }
    if (line.find(u':') == std::u16string_view::npos) return 0;  // not a header: no headers at all
    apply();
    header.assign(line);
  }
  apply();
  return text.size();
}

std::string DecodeBase64(std::u16string_view text) {
  std::string bytes;
  uint32_t buffer = 0;
  int bits = 0;
  for (char16_t c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else if (c == '=')
      break;
    else
      continue;
    buffer = buffer << 6 | uint32_t(v);
    if ((bits += 6) >= 8) {
      bits -= 8;
      bytes += char(buffer >> bits);
    }
  }
  return bytes;
}

int Hex(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQuotedPrintable(std::u16string_view text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != '=') {
      bytes += char(c);
      continue;
    }
    if (i + 1 == text.size() || text[i + 1] == '\n') {
      ++i;  // a soft line break (at the very end too)
    } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
      bytes += char(Hex(text[i + 1]) << 4 | Hex(text[i + 2]));
      i += 2;
    } else {
      bytes += '=';
    }
  }
  return bytes;
}

WideString DecodeBody(const Part& part) {
  std::string bytes;
  if (part.encoding == u"base64")
    bytes = DecodeBase64(part.body);
  else if (part.encoding == u"quoted-printable")
    bytes = DecodeQuotedPrintable(part.body);
  else
    return WideString(part.body);
  std::string charset;
  for (char16_t c : part.charset) charset += char(c < 0x80 ? c : '?');
  const uint32_t codePage = CodePageFromCharset(charset);
  return TVoEncoding::ConvertW(bytes, codePage != 0 && VoIsCodePageSupported(codePage) ? codePage : CP_ACP);
}

// The boundary of text whose headers give none: the first line starting with "--".
std::optional<WideString> FindBoundary(std::u16string_view text) {
  Lines lines(text);
  std::u16string_view line;
  size_t start;
  while (lines.Next(line, start))
    if (line.starts_with(u"--") && VoTrimmed(line).size() > 2) return WideString(VoTrimmed(line.substr(2)));
  return std::nullopt;
}

void Split(std::u16string_view text, std::u16string_view boundary, TVoMultipartText& result, int depth);

void Take(std::u16string_view text, TVoMultipartText& result, int depth) {
  Part part;
  part.body = text.substr(ReadHeaders(text, part));
  if (part.type.starts_with(u"multipart/")) {
    const auto boundary = part.boundary.empty() ? FindBoundary(part.body) : std::optional<WideString>(part.boundary);
    if (boundary) Split(part.body, *boundary, result, depth + 1);
  } else if (!part.attachment && part.type == u"text/plain" && result.Plain.empty()) {
    result.Plain = DecodeBody(part);
  } else if (!part.attachment && part.type == u"text/html" && result.Html.empty()) {
    result.Html = DecodeBody(part);
  }
}

// The parts between the boundary lines; the line end before a boundary line belongs
// to the boundary.
void Split(std::u16string_view text, std::u16string_view boundary, TVoMultipartText& result, int depth) {
  if (depth > 32) return;  // deeper nesting is no message body
  const WideString delimiter = u"--" + WideString(boundary);
  Lines lines(text);
  std::u16string_view line;
  size_t start, partStart = std::u16string_view::npos;
  while (lines.Next(line, start)) {
    if (!line.starts_with(delimiter)) continue;
    const std::u16string_view rest = VoTrimmed(line.substr(delimiter.size()));
    if (!rest.empty() && rest != u"--") continue;
    if (partStart != std::u16string_view::npos) {
      size_t end = start;
      if (end > partStart && text[end - 1] == '\n') --end;
      if (end > partStart && text[end - 1] == '\r') --end;
      Take(text.substr(partStart, end - partStart), result, depth);
    }
    if (rest == u"--") return;
    partStart =
        std::min(start + line.size() + (text.substr(start + line.size()).starts_with(u"\r\n") ? 2 : 1), text.size());
  }
  if (partStart != std::u16string_view::npos) Take(text.substr(partStart), result, depth);
}

}  // namespace

TVoMultipartText VoDecodeMimeMultipartText(std::u16string_view text) {
  TVoMultipartText result;
  Part outer;
  const size_t bodyStart = ReadHeaders(text, outer);
  std::optional<WideString> boundary;
  if (!outer.boundary.empty())
    boundary = outer.boundary;
  else
    boundary = FindBoundary(text.substr(bodyStart));
  if (!boundary) {
    result.Plain = WideString(text);
    return result;
  }
  Split(text.substr(bodyStart), *boundary, result, 0);
  return result;
}

}  // namespace orba
