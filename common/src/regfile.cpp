#include "orba/common/regfile.h"

#include <cstdio>

#include "orba/common/casefold.h"
#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::u16string_view TrimRight(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Parses 1 to maxDigits hexadecimal digits making up the whole text.
bool ParseHex(std::u16string_view text, size_t maxDigits, uint32_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char16_t c : text) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

// The script as UTF-16 text: UTF-16LE after its byte order mark, else UTF-8.
WideString DecodeScript(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    WideString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (bytes.size() % 2) text += u'\uFFFD';  // a dangling half character
    return text;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return FromUtf8(bytes);
}

// 8-bit text data of REGEDIT4 (zero-separated) re-encoded as UTF-16LE.
std::vector<uint8_t> Widen8BitData(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> wide;
  std::string run;
  auto flush = [&] {
    for (char16_t c : FromUtf8(run)) {
      wide.push_back(static_cast<uint8_t>(c & 0xFF));
      wide.push_back(static_cast<uint8_t>(c >> 8));
    }
    run.clear();
  };
  for (uint8_t b : bytes) {
    if (b != 0) {
      run += static_cast<char>(b);
      continue;
    }
    flush();
    wide.push_back(0);
    wide.push_back(0);
  }
  flush();
  return wide;
}

class Parser {
 public:
  Parser(std::string_view bytes, const WideString& sourceName) : source_(sourceName) {
    WideString text = DecodeScript(bytes);
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find(u'\n', pos);
      if (end == WideString::npos) end = text.size();
      WideString line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      lines_.push_back(std::move(line));
      pos = end + 1;
    }
  }

  TVoRegScript Parse() {
    ParseHeader();
    TVoRegScript script;
    for (; index_ < lines_.size(); ++index_) {
      std::u16string_view line = TrimLeft(lines_[index_]);
      if (line.empty() || line.front() == u';') continue;
      if (line.front() == u'[') {
        script.push_back(ParseSection(line));
      } else if (line.front() == u'"' || line.front() == u'@') {
        if (script.empty()) Fail(u"value outside of a key section");
        if (script.back().Delete) Fail(u"value inside a key deletion section");
        if (script.back().Key.size() < 2) Fail(u"values cannot be stored in a root key");
        script.back().Entries.push_back(ParseValue(line));
      } else {
        Fail(u"unexpected text \"" + WideString(line) + u"\"");
      }
    }
    return script;
  }

 private:
  [[noreturn]] void Fail(const WideString& reason) const {
    throw EVoException(
        u"Malformed registry script " + source_ + u", line " + FromUtf8(std::to_string(index_ + 1)) + u": " + reason,
        E_FAIL);
  }

  void ParseHeader() {
    for (; index_ < lines_.size(); ++index_) {
      std::u16string_view line = TrimRight(TrimLeft(lines_[index_]));
      if (line.empty()) continue;
      if (line == kHeader5 || line == kHeader4) {
        regedit4_ = line == kHeader4;
        ++index_;
        return;
      }
      break;
    }
    if (index_ == lines_.size()) index_ = 0;
    Fail(u"missing the header \"" + WideString(kHeader5) + u"\"");
  }

  // Only blanks or a comment may follow a complete item.
  void CheckRest(std::u16string_view rest) const {
    rest = TrimLeft(rest);
    if (!rest.empty() && rest.front() != u';') Fail(u"unexpected text after the item: \"" + WideString(rest) + u"\"");
  }

  TVoRegSection ParseSection(std::u16string_view line) {
    TVoRegSection section;
    section.Line = static_cast<int>(index_ + 1);
    size_t close = line.rfind(u']');
    if (close == std::u16string_view::npos) Fail(u"missing \"]\" after the key name");
    CheckRest(line.substr(close + 1));
    std::u16string_view name = line.substr(1, close - 1);
    if (!name.empty() && name.front() == u'-') {
      section.Delete = true;
      name.remove_prefix(1);
    }
    section.Key = VoSplitKeyPath(name);
    if (section.Key.empty()) Fail(u"empty key name");
    WideString& root = section.Key.front();
    if (VoSameText(root, HKCU_NAME) || VoSameText(root, u"HKCU"))
      root = HKCU_NAME;
    else if (VoSameText(root, HKLM_NAME) || VoSameText(root, u"HKLM"))
      root = HKLM_NAME;
    else
      Fail(u"unknown root key \"" + root + u"\"");
    if (section.Delete && section.Key.size() < 2) Fail(u"a root key cannot be deleted");
    return section;
  }

  // Reads a quoted text starting at line[pos] == '"'; returns the position after it.
  size_t ReadQuoted(std::u16string_view line, size_t pos, WideString& text) const {
    for (++pos; pos < line.size(); ++pos) {
      char16_t c = line[pos];
      if (c == u'"') return pos + 1;
      if (c == u'\\') {
        if (pos + 1 >= line.size() || (line[pos + 1] != u'\\' && line[pos + 1] != u'"'))
          Fail(u"invalid escape sequence in a quoted text (only \\\\ and \\\" are allowed)");
        c = line[++pos];
      }
      text += c;
    }
    Fail(u"missing closing quotation mark");
  }

  TVoRegSection::Entry ParseValue(std::u16string_view line) {
    TVoRegSection::Entry entry;
    size_t pos = line.front() == u'@' ? 1 : ReadQuoted(line, 0, entry.Name);
    std::u16string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != u'=') Fail(u"missing \"=\" after the value name");
    rest = TrimLeft(rest.substr(1));
    if (!rest.empty() && rest.front() == u'"') {
      WideString text;
      size_t end = ReadQuoted(rest, 0, text);
      CheckRest(rest.substr(end));
      entry.Value = TVoRegValue::String(text);
    } else if (!rest.empty() && rest.front() == u'-') {
      CheckRest(rest.substr(1));
    } else if (rest.size() >= 6 && VoSameText(rest.substr(0, 6), u"dword:")) {
      rest = rest.substr(6);
      size_t end = rest.find_first_of(u" \t;");
      uint32_t number;
      if (!ParseHex(rest.substr(0, end), 8, number)) Fail(u"invalid dword data (1 to 8 hexadecimal digits expected)");
      if (end != std::u16string_view::npos) CheckRest(rest.substr(end));
      entry.Value = TVoRegValue::DWord(number);
    } else if (rest.size() >= 3 && VoSameText(rest.substr(0, 3), u"hex")) {
      entry.Value = ParseHexValue(rest.substr(3));
    } else {
      Fail(u"unrecognised value data \"" + WideString(rest) + u"\"");
    }
    return entry;
  }

  // "hex:..." or "hex(N):..." after "hex", with "\" continuing the data on the next line.
  TVoRegValue ParseHexValue(std::u16string_view rest) {
    uint32_t type = REG_BINARY;
    if (!rest.empty() && rest.front() == u'(') {
      size_t close = rest.find(u')');
      if (close == std::u16string_view::npos || !ParseHex(rest.substr(1, close - 1), 8, type))
        Fail(u"invalid value type in \"hex(...)\"");
      rest = rest.substr(close + 1);
    }
    if (rest.empty() || rest.front() != u':') Fail(u"missing \":\" after \"hex\"");
    WideString data(TrimRight(rest.substr(1)));
    while (!data.empty() && data.back() == u'\\') {
      data.pop_back();
      if (index_ + 1 >= lines_.size()) Fail(u"hex data continues past the end of the script");
      ++index_;
      data += TrimRight(TrimLeft(lines_[index_]));
    }
    std::vector<uint8_t> bytes;
    std::u16string_view list = TrimRight(data);
    size_t pos = 0;
    while (!list.empty() && pos <= list.size()) {
      size_t comma = list.find(u',', pos);
      if (comma == std::u16string_view::npos) comma = list.size();
      std::u16string_view item = TrimRight(TrimLeft(list.substr(pos, comma - pos)));
      uint32_t byte;
      if (!ParseHex(item, 2, byte)) Fail(u"invalid hex byte \"" + WideString(item) + u"\"");
      bytes.push_back(static_cast<uint8_t>(byte));
      pos = comma + 1;
    }
    if (regedit4_ && (type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) bytes = Widen8BitData(bytes);
    return TVoRegValue::Binary(std::move(bytes), type);
  }

  const WideString& source_;
  std::vector<WideString> lines_;
  size_t index_ = 0;
  bool regedit4_ = false;
};

std::string Quote(const WideString& text) {
  std::string quoted = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// Whether a REG_SZ value can be written as a quoted text and read back unchanged.
bool IsPlainString(const TVoRegValue& value) {
  if (value.Type != REG_SZ) return false;
  WideString text = value.AsString();
  return text.find_first_of(u"\r\n") == WideString::npos && TVoRegValue::String(text).Data == value.Data;
}

std::string FormatData(const TVoRegValue& value, size_t prefixLength) {
  char buffer[16];
  if (IsPlainString(value)) return Quote(value.AsString());
  if (value.Type == REG_DWORD && value.Data.size() == 4) {
    uint32_t number =
        value.Data[0] | (value.Data[1] << 8) | (value.Data[2] << 16) | (static_cast<uint32_t>(value.Data[3]) << 24);
    std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
    return buffer;
  }
  std::string out = "hex";
  if (value.Type != REG_BINARY) {
    std::snprintf(buffer, sizeof buffer, "(%x)", value.Type);
    out += buffer;
  }
  out += ':';
  // Wrap as the registry editor does: lines of about 80 characters, "\" at the end.
  size_t lineLength = prefixLength + out.size();
  for (size_t i = 0; i < value.Data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", value.Data[i]);
    out += buffer;
    lineLength += 2;
    if (i + 1 < value.Data.size()) {
      out += ',';
      ++lineLength;
      if (lineLength >= 76) {
        out += "\\\n  ";
        lineLength = 2;
      }
    }
  }
  return out;
}

void ExportKey(const TVoRegKey& key, std::vector<WideString>& path, TVoRegScript& script) {
  TVoRegSection section;
  section.Key = path;
  for (const auto& [folded, named] : key.Values()) section.Entries.push_back({named.Name, named.Value});
  script.push_back(std::move(section));
  for (const auto& [folded, sub] : key.SubKeys()) {
    path.push_back(sub->Name());
    ExportKey(*sub, path, script);
    path.pop_back();
  }
}

}  // namespace

TVoRegScript VoParseRegScript(std::string_view bytes, const WideString& sourceName) {
  return Parser(bytes, sourceName).Parse();
}

std::string VoWriteRegScript(const TVoRegScript& script) {
  std::string out = ToUtf8(kHeader5) + "\n";
  for (const auto& section : script) {
    out += "\n[";
    if (section.Delete) out += '-';
    out += ToUtf8(VoJoinKeyPath(section.Key)) + "]\n";
    for (const auto& entry : section.Entries) {
      std::string line = entry.Name.empty() ? "@" : Quote(entry.Name);
      line += '=';
      line += entry.Value ? FormatData(*entry.Value, line.size()) : "-";
      out += line + "\n";
    }
  }
  return out;
}

void VoApplyRegScript(const TVoRegScript& script, TVoRegKey& tree) {
  for (const auto& section : script) {
    if (section.Delete) {
      tree.Delete(section.Key);
      continue;
    }
    TVoRegKey& key = tree.Create(section.Key);
    for (const auto& entry : section.Entries) {
      if (entry.Value)
        key.SetValue(entry.Name, *entry.Value);
      else
        key.DeleteValue(entry.Name);
    }
  }
}

TVoRegScript VoExportRegTree(const TVoRegKey& tree, const std::vector<WideString>& path) {
  TVoRegScript script;
  std::vector<WideString> names;
  const TVoRegKey* key = &tree;
  for (const auto& name : path) {
    if (!(key = key->SubKey(name))) return script;
    names.push_back(key->Name());
  }
  ExportKey(*key, names, script);
  return script;
}

}  // namespace orba
