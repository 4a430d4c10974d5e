#include "orba/common/bodies/rtfreader.h"

#include <algorithm>
#include <array>
#include <limits>

#include "orba/common/encoding.h"
#include "rtfcodepage.h"

namespace orba {
namespace {

// Groups nested deeper than this are skipped with their text: documents nest a few dozen
// levels, and every level kept holds its parent's state.
constexpr size_t kMaxGroupDepth = 4096;

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// The bytes that end a run of text: a table, since text is most of an RTF document.
constexpr std::array<bool, 256> kEndsText = [] {
  std::array<bool, 256> ends{};
  for (char c : std::string_view("{}\\\r\n")) ends[uint8_t(c)] = true;
  return ends;
}();

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The control words the reader acts on, sorted: destinations that give no text,
// words that stand for text, and words that change the reader's state.
struct Keyword {
  enum Kind : uint8_t {
    kSkip,
    kText,
    kFontTable,
    kUnicode,
    kFont,
    kCharset,
    kFontCodePage,
    kUnicodeSkip,
    kHtmlRtf,
    kPlain,
    kDefaultFont,
    kAnsiCodePage,
    kCharacterSet,  // \ansi, \mac, \pc, \pca: the document's code page unless \ansicpg gives one
  };
  std::string_view word;
  Kind kind;
  std::u16string_view text = {};
  uint32_t codePage = 0;
};
constexpr Keyword kKeywords[] = {
    {"aftncn", Keyword::kSkip},
    {"aftnsep", Keyword::kSkip},
    {"aftnsepc", Keyword::kSkip},
    {"annotation", Keyword::kSkip},
    {"ansi", Keyword::kCharacterSet, {}, 1252},
    {"ansicpg", Keyword::kAnsiCodePage},
    {"atnauthor", Keyword::kSkip},
    {"atndate", Keyword::kSkip},
    {"atnicn", Keyword::kSkip},
    {"atnid", Keyword::kSkip},
    {"atnparent", Keyword::kSkip},
    {"atnref", Keyword::kSkip},
    {"atntime", Keyword::kSkip},
    {"atrfend", Keyword::kSkip},
    {"atrfstart", Keyword::kSkip},
    {"author", Keyword::kSkip},
    {"bkmkend", Keyword::kSkip},
    {"bkmkstart", Keyword::kSkip},
    {"bullet", Keyword::kText, u"\u2022"},
    {"cell", Keyword::kText, u"\t"},
    {"colortbl", Keyword::kSkip},
    {"comment", Keyword::kSkip},
    {"cpg", Keyword::kFontCodePage},
    {"datafield", Keyword::kSkip},
    {"datastore", Keyword::kSkip},
    {"deff", Keyword::kDefaultFont},
    {"do", Keyword::kSkip},
    {"docvar", Keyword::kSkip},
    {"emdash", Keyword::kText, u"\u2014"},
    {"emspace", Keyword::kText, u"\u2003"},
    {"endash", Keyword::kText, u"\u2013"},
    {"enspace", Keyword::kText, u"\u2002"},
    {"f", Keyword::kFont},
    {"falt", Keyword::kSkip},
    {"fchars", Keyword::kSkip},
    {"fcharset", Keyword::kCharset},
    {"filetbl", Keyword::kSkip},
    {"fldinst", Keyword::kSkip},
    {"fonttbl", Keyword::kFontTable},
    {"footer", Keyword::kSkip},
    {"footerf", Keyword::kSkip},
    {"footerl", Keyword::kSkip},
    {"footerr", Keyword::kSkip},
    {"footnote", Keyword::kSkip},
    {"ftncn", Keyword::kSkip},
    {"ftnsep", Keyword::kSkip},
    {"ftnsepc", Keyword::kSkip},
    {"generator", Keyword::kSkip},
    {"header", Keyword::kSkip},
    {"headerf", Keyword::kSkip},
    {"headerl", Keyword::kSkip},
    {"headerr", Keyword::kSkip},
    {"htmlrtf", Keyword::kHtmlRtf},
    {"info", Keyword::kSkip},
    {"keywords", Keyword::kSkip},
    {"lchars", Keyword::kSkip},
    {"ldblquote", Keyword::kText, u"\u201C"},
    {"line", Keyword::kText, u"\r\n"},
    {"listoverridetable", Keyword::kSkip},
    {"listtable", Keyword::kSkip},
    {"lquote", Keyword::kText, u"\u2018"},
    {"ltrmark", Keyword::kText, u"\u200E"},
    {"mac", Keyword::kCharacterSet, {}, 10000},
    {"nonshppict", Keyword::kSkip},
    {"objclass", Keyword::kSkip},
    {"objdata", Keyword::kSkip},
    {"objname", Keyword::kSkip},
    {"operator", Keyword::kSkip},
    {"panose", Keyword::kSkip},
    {"par", Keyword::kText, u"\r\n"},
    {"pc", Keyword::kCharacterSet, {}, 437},
    {"pca", Keyword::kCharacterSet, {}, 850},
    {"pict", Keyword::kSkip},
    {"plain", Keyword::kPlain},
    {"pn", Keyword::kSkip},
    {"private", Keyword::kSkip},
    {"qmspace", Keyword::kText, u"\u2005"},
    {"rdblquote", Keyword::kText, u"\u201D"},
    {"revtbl", Keyword::kSkip},
    {"row", Keyword::kText, u"\r\n"},
    {"rquote", Keyword::kText, u"\u2019"},
    {"rsidtbl", Keyword::kSkip},
    {"rtlmark", Keyword::kText, u"\u200F"},
    {"rxe", Keyword::kSkip},
    {"stylesheet", Keyword::kSkip},
    {"subject", Keyword::kSkip},
    {"tab", Keyword::kText, u"\t"},
    {"tc", Keyword::kSkip},
    {"template", Keyword::kSkip},
    {"title", Keyword::kSkip},
    {"u", Keyword::kUnicode},
    {"uc", Keyword::kUnicodeSkip},
    {"xe", Keyword::kSkip},
    {"zwj", Keyword::kText, u"\u200D"},
    {"zwnj", Keyword::kText, u"\u200C"},
};
static_assert(std::ranges::is_sorted(kKeywords, {}, &Keyword::word));

const Keyword* FindKeyword(std::string_view word) {
  const auto hit = std::ranges::lower_bound(kKeywords, word, {}, &Keyword::word);
  return hit != std::end(kKeywords) && hit->word == word ? hit : nullptr;
}

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
        size_t end = pos_ + 1;
        while (end < rtf_.size() && !kEndsText[uint8_t(rtf_[end])]) ++end;
        token.Type = TVoRTFTokenType::Text;
        token.Data = rtf_.substr(pos_, end - pos_);
        pos_ = end;
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
TVoRTFReader::~TVoRTFReader() = default;

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
      if (groups_.size() > kMaxGroupDepth) skipDepth_ = 1;
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

void TVoRTFReader::ControlWord(const TVoRTFToken& token) {
  if (state_.Ignorable) {
    // The word after \*: a destination the reader knows, or one to skip.
    state_.Ignorable = false;
    if (token.Word == "htmltag")
      state_.Destination = TVoRTFDestination::HtmlTag;
    else
      skipDepth_ = 1;
    return;
  }
  const Keyword* keyword = FindKeyword(token.Word);
  if (!keyword) return;
  const int32_t n = token.Parameter;
  const bool inFontTable = state_.Destination == TVoRTFDestination::FontTable;
  switch (keyword->kind) {
    case Keyword::kSkip: skipDepth_ = 1; break;
    case Keyword::kText: AddText(keyword->text); break;
    case Keyword::kFontTable: state_.Destination = TVoRTFDestination::FontTable; break;
    case Keyword::kUnicode:
      if (!token.HasParameter) break;
      {
        const char16_t unit = char16_t(n < 0 ? n + 65536 : n);
        AddText(std::u16string_view(&unit, 1));
        fallbackLeft_ = state_.UnicodeSkip;
      }
      break;
    case Keyword::kFont:
      if (!token.HasParameter) break;
      (inFontTable ? fontDefined_ : state_.Font) = n;
      break;
    case Keyword::kCharset:
    case Keyword::kFontCodePage: {
      const uint32_t codePage = keyword->kind == Keyword::kFontCodePage ? uint32_t(n) : VoRTFCharsetCodePage(n);
      if (inFontTable && fontDefined_ != TVoRTFGroupState::kDefaultFont && VoRTFIsUsableCodePage(codePage))
        fontCodePages_[fontDefined_] = codePage;
      break;
    }
    case Keyword::kUnicodeSkip:
      if (token.HasParameter) state_.UnicodeSkip = uint8_t(std::clamp(n, 0, 255));
      break;
    case Keyword::kHtmlRtf: state_.HtmlRtf = !token.HasParameter || n != 0; break;
    case Keyword::kPlain: state_.Font = TVoRTFGroupState::kDefaultFont; break;
    case Keyword::kDefaultFont:
      if (token.HasParameter) defaultFont_ = n;
      break;
    case Keyword::kAnsiCodePage:
      if (VoRTFIsUsableCodePage(n)) documentCodePage_ = uint32_t(n), explicitCodePage_ = true;
      break;
    case Keyword::kCharacterSet:
      if (!explicitCodePage_) documentCodePage_ = keyword->codePage;
      break;
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
  auto& codePage = codePages_[bytesCodePage_];
  if (!codePage) codePage = std::make_unique<TVoRTFCodePage>(bytesCodePage_);
  WideString text;
  codePage->Decode(bytes_, text);
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
