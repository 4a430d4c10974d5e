#include "orba/common/bodies/rtfreader.h"

#include <algorithm>
#include <array>
#include <limits>

#include "orba/common/encoding.h"

namespace orba {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Destinations whose text is not part of the document's text, sorted.
constexpr std::string_view kSkippedDestinations[] = {
    "aftncn",
    "aftnsep",
    "aftnsepc",
    "annotation",
    "atnauthor",
    "atndate",
    "atnicn",
    "atnid",
    "atnparent",
    "atnref",
    "atntime",
    "atrfend",
    "atrfstart",
    "author",
    "bkmkend",
    "bkmkstart",
    "colortbl",
    "comment",
    "datafield",
    "datastore",
    "do",
    "docvar",
    "falt",
    "fchars",
    "filetbl",
    "fldinst",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "footnote",
    "ftncn",
    "ftnsep",
    "ftnsepc",
    "generator",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "info",
    "keywords",
    "lchars",
    "listoverridetable",
    "listtable",
    "nonshppict",
    "objclass",
    "objdata",
    "objname",
    "operator",
    "panose",
    "pict",
    "pn",
    "private",
    "revtbl",
    "rsidtbl",
    "rxe",
    "stylesheet",
    "subject",
    "tc",
    "template",
    "title",
    "xe",
};
static_assert(std::ranges::is_sorted(kSkippedDestinations));

bool IsSkippedDestination(std::string_view word) { return std::ranges::binary_search(kSkippedDestinations, word); }

// Control words that stand for text.
struct SpecialWord {
  std::string_view word;
  std::u16string_view text;
};
constexpr SpecialWord kSpecialWords[] = {
    {"par", u"\r\n"},       {"line", u"\r\n"},      {"row", u"\r\n"},         {"tab", u"\t"},
    {"cell", u"\t"},        {"emdash", u"\u2014"},  {"endash", u"\u2013"},    {"bullet", u"\u2022"},
    {"lquote", u"\u2018"},  {"rquote", u"\u2019"},  {"ldblquote", u"\u201C"}, {"rdblquote", u"\u201D"},
    {"emspace", u"\u2003"}, {"enspace", u"\u2002"}, {"qmspace", u"\u2005"},   {"zwj", u"\u200D"},
    {"zwnj", u"\u200C"},    {"ltrmark", u"\u200E"}, {"rtlmark", u"\u200F"},
};

}  // namespace

bool VoRTFIsUsableCodePage(int64_t codePage) {
  switch (codePage) {
    case 1200:
    case 1201:
    case 50220:
    case 50225:
    case 65000: return false;
    default:
      return codePage > 0 && codePage <= std::numeric_limits<uint16_t>::max() &&
             VoIsCodePageSupported(uint32_t(codePage));
  }
}

namespace {

struct CharsetCodePage {
  int32_t charset;
  uint32_t codePage;
};
// The symbol character set is read as 1252: its bytes name glyphs, not characters.
constexpr CharsetCodePage kCharsets[] = {
    {0, 1252},   {2, 1252},   {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},
    {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850},
};

}  // namespace

uint32_t VoRTFCharsetCodePage(int32_t charset) {
  for (const auto& c : kCharsets)
    if (c.charset == charset) return c.codePage;
  return 0;
}

int32_t VoRTFCodePageCharset(uint32_t codePage) {
  if (codePage == 1252) return 0;
  for (const auto& c : kCharsets)
    if (c.codePage == codePage && c.charset != 2) return c.charset;
  return -1;
}

// ---- tokenizer ----

TVoRTFToken TVoRTFTokenizer::Next() {
  TVoRTFToken token;
  while (pos_ < rtf_.size()) {
    const char c = rtf_[pos_];
    switch (c) {
      case '{':
        ++pos_;
        token.Type = TVoRTFTokenType::GroupStart;
        return token;
      case '}':
        ++pos_;
        token.Type = TVoRTFTokenType::GroupEnd;
        return token;
      case '\\':
        if (pos_ + 1 >= rtf_.size()) {  // a lone backslash at the end means nothing
          pos_ = rtf_.size();
          return token;
        }
        return ReadControl();
      case '\r':
      case '\n': ++pos_; continue;
      default: {
        const size_t end = rtf_.find_first_of("{}\\\r\n", pos_);
        token.Type = TVoRTFTokenType::Text;
        token.Data = rtf_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
        pos_ += token.Data.size();
        return token;
      }
    }
  }
  return token;
}

TVoRTFToken TVoRTFTokenizer::ReadControl() {
  TVoRTFToken token;
  const size_t start = ++pos_;  // past the backslash
  if (!IsLetter(rtf_[start])) {
    ++pos_;
    if (rtf_[start] == '\'') {
      const int high = pos_ < rtf_.size() ? HexValue(rtf_[pos_]) : -1;
      const int low = pos_ + 1 < rtf_.size() ? HexValue(rtf_[pos_ + 1]) : -1;
      if (high >= 0 && low >= 0) {
        pos_ += 2;
        token.Type = TVoRTFTokenType::HexByte;
        token.Byte = uint8_t(high << 4 | low);
        return token;
      }
    }
    token.Type = TVoRTFTokenType::ControlSymbol;
    token.Word = rtf_.substr(start, 1);
    return token;
  }
  while (pos_ < rtf_.size() && IsLetter(rtf_[pos_])) ++pos_;
  token.Type = TVoRTFTokenType::ControlWord;
  token.Word = rtf_.substr(start, pos_ - start);
  const bool negative = pos_ + 1 < rtf_.size() && rtf_[pos_] == '-' && IsDigit(rtf_[pos_ + 1]);
  if (negative) ++pos_;
  if (pos_ < rtf_.size() && IsDigit(rtf_[pos_])) {
    int64_t value = 0;
    for (; pos_ < rtf_.size() && IsDigit(rtf_[pos_]); ++pos_)
      value = std::min<int64_t>(value * 10 + (rtf_[pos_] - '0'), int64_t(std::numeric_limits<int32_t>::max()) + 1);
    token.HasParameter = true;
    token.Parameter = int32_t(std::clamp<int64_t>(negative ? -value : value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
  }
  if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;
  if (token.Word == "bin" && token.HasParameter && token.Parameter > 0) {
    const size_t length = std::min<size_t>(size_t(token.Parameter), rtf_.size() - pos_);
    token.Type = TVoRTFTokenType::Binary;
    token.Data = rtf_.substr(pos_, length);
    pos_ += length;
  }
  return token;
}

// ---- reader ----

TVoRTFReader::TVoRTFReader(std::string_view rtf) : tokenizer_(rtf) {}

uint32_t TVoRTFReader::CodePage() const {
  if (state_.Destination == TVoRTFDestination::Text) {
    auto font = fontCodePages_.find(state_.Font == TVoRTFGroupState::kDefaultFont ? defaultFont_ : state_.Font);
    if (font != fontCodePages_.end()) return font->second;
  }
  return documentCodePage_;
}

void TVoRTFReader::Read() {
  for (TVoRTFToken token = tokenizer_.Next(); token.Type != TVoRTFTokenType::End; token = tokenizer_.Next()) {
    if (token.Type == TVoRTFTokenType::GroupStart) {
      fallbackLeft_ = 0;
      if (skipDepth_ > 0 || state_.Ignorable) {
        // Inside a skipped group, or a group opened where \* awaits its word.
        skipDepth_ += state_.Ignorable && skipDepth_ == 0 ? 2 : 1;
        continue;
      }
      Flush();
      groups_.push_back(state_);
      state_.Ignorable = false;
      continue;
    }
    if (token.Type == TVoRTFTokenType::GroupEnd) {
      fallbackLeft_ = 0;
      if (skipDepth_ > 0 && --skipDepth_ > 0) continue;
      Flush();
      if (groups_.empty()) continue;  // an unbalanced closing brace
      state_ = groups_.back();
      groups_.pop_back();
      continue;
    }
    if (skipDepth_ > 0) continue;
    if (state_.Ignorable && token.Type != TVoRTFTokenType::ControlWord) {
      // \* followed by anything but a control word: skip the group.
      Flush();
      skipDepth_ = 1;
      continue;
    }
    switch (token.Type) {
      case TVoRTFTokenType::ControlWord:
        Flush();
        if (!SkipFallback()) ControlWord(token);
        break;
      case TVoRTFTokenType::ControlSymbol:
        if (!SkipFallback()) ControlSymbol(token.Word[0]);
        break;
      case TVoRTFTokenType::HexByte:
        if (!SkipFallback()) AddBytes(std::string_view(reinterpret_cast<const char*>(&token.Byte), 1));
        break;
      case TVoRTFTokenType::Binary: SkipFallback(); break;
      case TVoRTFTokenType::Text: {
        std::string_view text = token.Data;
        const size_t skipped = std::min(fallbackLeft_, text.size());
        fallbackLeft_ -= skipped;
        text.remove_prefix(skipped);
        // Control characters of the RTF itself are not text (tabs are).
        while (!text.empty()) {
          const auto bad =
              std::find_if(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x20 && c != '\t'; });
          AddBytes(text.substr(0, size_t(bad - text.begin())));
          text.remove_prefix(std::min(text.size(), size_t(bad - text.begin()) + 1));
        }
        break;
      }
      default: break;
    }
  }
  Flush();
}

bool TVoRTFReader::SkipFallback() {
  if (fallbackLeft_ == 0) return false;
  --fallbackLeft_;
  return true;
}

void TVoRTFReader::Destination(std::string_view word) {
  if (state_.Ignorable) {
    state_.Ignorable = false;
    if (word == "htmltag") {
      state_.Destination = TVoRTFDestination::HtmlTag;
      return;
    }
  } else if (word == "fonttbl") {
    state_.Destination = TVoRTFDestination::FontTable;
    return;
  } else if (!IsSkippedDestination(word)) {
    return;
  }
  skipDepth_ = 1;
}

void TVoRTFReader::ControlWord(const TVoRTFToken& token) {
  const std::string_view word = token.Word;
  const int32_t n = token.Parameter;
  if (state_.Ignorable || IsSkippedDestination(word) || word == "fonttbl") {
    Destination(word);
    return;
  }
  if (word == "u" && token.HasParameter) {
    const char16_t unit = char16_t(n < 0 ? n + 65536 : n);
    AddText(std::u16string_view(&unit, 1));
    fallbackLeft_ = state_.UnicodeSkip;
    return;
  }
  for (const SpecialWord& special : kSpecialWords)
    if (special.word == word) return AddText(special.text);
  if (word == "f" && token.HasParameter) {
    if (state_.Destination == TVoRTFDestination::FontTable)
      fontDefined_ = n;
    else
      state_.Font = n;
  } else if ((word == "fcharset" || word == "cpg") && state_.Destination == TVoRTFDestination::FontTable) {
    const uint32_t codePage = word == "cpg" ? uint32_t(n) : VoRTFCharsetCodePage(n);
    if (fontDefined_ != TVoRTFGroupState::kDefaultFont && VoRTFIsUsableCodePage(codePage))
      fontCodePages_[fontDefined_] = codePage;
  } else if (word == "uc" && token.HasParameter) {
    state_.UnicodeSkip = uint8_t(std::clamp(n, 0, 255));
  } else if (word == "htmlrtf") {
    state_.HtmlRtf = !token.HasParameter || n != 0;
  } else if (word == "plain") {
    state_.Font = TVoRTFGroupState::kDefaultFont;
  } else if (word == "deff" && token.HasParameter) {
    defaultFont_ = n;
  } else if (word == "ansicpg" && VoRTFIsUsableCodePage(n)) {
    documentCodePage_ = uint32_t(n);
    explicitCodePage_ = true;
  } else if (!explicitCodePage_ && (word == "ansi" || word == "mac" || word == "pc" || word == "pca")) {
    documentCodePage_ = word == "ansi" ? 1252 : word == "mac" ? 10000 : word == "pc" ? 437 : 850;
  }
}

void TVoRTFReader::ControlSymbol(char symbol) {
  switch (symbol) {
    case '*': state_.Ignorable = true; break;
    case '\\':
    case '{':
    case '}': AddBytes(std::string_view(&symbol, 1)); break;
    case '~': AddText(u"\u00A0"); break;
    case '_': AddText(u"\u00AD"); break;
    case '\r':
    case '\n':  // a backslash before a line break is a paragraph mark
      AddText(u"\r\n");
      break;
    default:  // \- (optional hyphen), \| and \: (formulas and index entries) show nothing
      break;
  }
}

void TVoRTFReader::AddBytes(std::string_view bytes) {
  if (bytes.empty() || state_.Destination == TVoRTFDestination::FontTable) return;
  const uint32_t codePage = CodePage();
  if (!bytes_.empty() && codePage != bytesCodePage_) Flush();
  bytesCodePage_ = codePage;
  bytes_.append(bytes);
}

void TVoRTFReader::AddText(std::u16string_view text) {
  Flush();
  if (state_.Destination == TVoRTFDestination::Text || state_.Destination == TVoRTFDestination::HtmlTag)
    Characters(text, state_);
}

void TVoRTFReader::Flush() {
  if (bytes_.empty()) return;
  WideString text;
  if (std::all_of(bytes_.begin(), bytes_.end(), [](char c) { return uint8_t(c) < 0x80; }))
    text.assign(bytes_.begin(), bytes_.end());
  else
    text = TVoEncoding::ConvertW(bytes_, bytesCodePage_);
  bytes_.clear();
  if (state_.Destination == TVoRTFDestination::Text || state_.Destination == TVoRTFDestination::HtmlTag)
    Characters(text, state_);
}

// ---- encapsulation check ----

bool VoRTFIsHTMLEncapsulated(std::string_view rtf) {
  TVoRTFTokenizer tokenizer(rtf);
  if (tokenizer.Next().Type != TVoRTFTokenType::GroupStart) return false;
  TVoRTFToken token = tokenizer.Next();
  if (token.Type != TVoRTFTokenType::ControlWord || token.Word != "rtf") return false;
  size_t depth = 1;
  bool groupOpened = false, ignorable = false;
  while ((token = tokenizer.Next()).Type != TVoRTFTokenType::End) {
    switch (token.Type) {
      case TVoRTFTokenType::GroupStart:
        ++depth;
        groupOpened = true;
        continue;
      case TVoRTFTokenType::GroupEnd:
        if (--depth == 0) return false;
        break;
      case TVoRTFTokenType::ControlSymbol:
        ignorable = groupOpened && depth == 2 && token.Word == "*";
        groupOpened = false;
        continue;
      case TVoRTFTokenType::ControlWord:
        if (ignorable && token.Word == "htmltag") return false;
        if (depth == 1 && token.Word == "fromhtml") return token.HasParameter && token.Parameter == 1;
        break;
      case TVoRTFTokenType::Text:
        if (depth == 1 && token.Data.find_first_not_of(' ') != std::string_view::npos) return false;
        break;
      case TVoRTFTokenType::HexByte:
        if (depth == 1) return false;
        break;
      default: break;
    }
    groupOpened = ignorable = false;
  }
  return false;
}

}  // namespace orba
