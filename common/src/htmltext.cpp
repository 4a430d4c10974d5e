#include "orba/common/bodies/htmltext.h"

#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

bool IsHtmlSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Collects text with the line breaks blocks ask for: a break is only written when
// text follows it, and breaks already written count towards it.
class TextBuilder {
 public:
  WideString text;

  void Text(std::u16string_view chars, bool preformatted) {
    for (char16_t c : chars) {
      if (preformatted) {
        if (c == '\n')
          LineBreak();
        else if (c != '\r')
          Emit(c);
      } else if (IsHtmlSpace(c)) {
        pendingSpace_ = lineHasText_;
      } else {
        Emit(c);
      }
    }
  }
  // Asks for count line breaks before the next text (2: an empty line between).
  void Break(int count) {
    pendingBreaks_ = std::max(pendingBreaks_, count);
    pendingSpace_ = false;
  }
  void LineBreak() {
    FlushBreaks();
    text += u"\r\n";
    ++trailingBreaks_;
    pendingSpace_ = lineHasText_ = false;
  }
  void Tab() {
    FlushBreaks();
    text += u'\t';
    pendingSpace_ = false;
    lineHasText_ = true;
  }
  void Prefix(std::u16string_view prefix) {
    for (char16_t c : prefix) Emit(c);
    pendingSpace_ = false;
  }

 private:
  void FlushBreaks() {
    if (!text.empty())
      for (int i = trailingBreaks_; i < pendingBreaks_; ++i) {
        text += u"\r\n";
        ++trailingBreaks_;
        lineHasText_ = pendingSpace_ = false;
      }
    pendingBreaks_ = 0;
  }
  void Emit(char16_t c) {
    FlushBreaks();
    if (pendingSpace_) text += u' ';
    text += c;
    pendingSpace_ = false;
    lineHasText_ = true;
    trailingBreaks_ = 0;
  }

  int pendingBreaks_ = 0, trailingBreaks_ = 0;
  bool pendingSpace_ = false, lineHasText_ = false;
};

enum class Kind { Inline, Hidden, Block, Paragraph, LineBreak, ListItem, List, OrderedList, Table, Row, Cell, Pre };

struct ElementKind {
  const char* name;
  Kind kind;
};
constexpr ElementKind kElements[] = {
    {"address", Kind::Block},    {"article", Kind::Block},   {"aside", Kind::Block},     {"blockquote", Kind::Block},
    {"body", Kind::Block},       {"br", Kind::LineBreak},    {"caption", Kind::Block},   {"center", Kind::Block},
    {"dd", Kind::Block},         {"details", Kind::Block},   {"dialog", Kind::Block},    {"dir", Kind::List},
    {"div", Kind::Block},        {"dl", Kind::Block},        {"dt", Kind::Block},        {"fieldset", Kind::Block},
    {"figcaption", Kind::Block}, {"figure", Kind::Block},    {"footer", Kind::Block},    {"form", Kind::Block},
    {"h1", Kind::Paragraph},     {"h2", Kind::Paragraph},    {"h3", Kind::Paragraph},    {"h4", Kind::Paragraph},
    {"h5", Kind::Paragraph},     {"h6", Kind::Paragraph},    {"head", Kind::Hidden},     {"header", Kind::Block},
    {"hgroup", Kind::Block},     {"hr", Kind::Block},        {"html", Kind::Block},      {"iframe", Kind::Hidden},
    {"legend", Kind::Block},     {"li", Kind::ListItem},     {"listing", Kind::Pre},     {"main", Kind::Block},
    {"menu", Kind::List},        {"nav", Kind::Block},       {"noscript", Kind::Hidden}, {"ol", Kind::OrderedList},
    {"p", Kind::Paragraph},      {"plaintext", Kind::Pre},   {"pre", Kind::Pre},         {"script", Kind::Hidden},
    {"section", Kind::Block},    {"style", Kind::Hidden},    {"summary", Kind::Block},   {"table", Kind::Table},
    {"td", Kind::Cell},          {"template", Kind::Hidden}, {"textarea", Kind::Pre},    {"th", Kind::Cell},
    {"title", Kind::Hidden},     {"tr", Kind::Row},          {"ul", Kind::List},         {"xmp", Kind::Pre},
};

Kind KindOf(const xmlChar* name) {
  const auto* n = reinterpret_cast<const char*>(name);
  const auto hit = std::lower_bound(std::begin(kElements), std::end(kElements), n,
                                    [](const ElementKind& e, const char* v) { return std::strcmp(e.name, v) < 0; });
  return hit != std::end(kElements) && std::strcmp(hit->name, n) == 0 ? hit->kind : Kind::Inline;
}

// The parser's events, turned into text.
struct Converter {
  TextBuilder out;
  int hidden = 0, preformatted = 0;
  std::vector<int> lists;  // per open list: the last item number (-1: unordered)
  std::vector<int> cells;  // per open table: the cells of its current row

  void Start(const xmlChar* name) {
    const Kind kind = KindOf(name);
    if (kind == Kind::Hidden) ++hidden;
    if (hidden > 0) return;
    switch (kind) {
      case Kind::Block: out.Break(1); break;
      case Kind::Paragraph: out.Break(2); break;
      case Kind::LineBreak: out.LineBreak(); break;
      case Kind::List: lists.push_back(-1), out.Break(1); break;
      case Kind::OrderedList: lists.push_back(0), out.Break(1); break;
      case Kind::ListItem: {
        out.Break(1);
        const size_t depth = std::max<size_t>(lists.size(), 1);
        WideString marker(2 * (depth - 1), u' ');
        if (!lists.empty() && lists.back() >= 0)
          marker += FromUtf8(std::to_string(++lists.back()) + ". ");
        else
          marker += u"\u2022 ";
        out.Prefix(marker);
        break;
      }
      case Kind::Table: cells.push_back(0), out.Break(1); break;
      case Kind::Row:
        if (!cells.empty()) cells.back() = 0;
        out.Break(1);
        break;
      case Kind::Cell:
        if (!cells.empty() && cells.back()++ > 0) out.Tab();
        break;
      case Kind::Pre: ++preformatted, out.Break(1); break;
      default: break;
    }
  }

  void End(const xmlChar* name) {
    const Kind kind = KindOf(name);
    if (kind == Kind::Hidden) {
      hidden = std::max(hidden - 1, 0);
      return;
    }
    if (hidden > 0) return;
    switch (kind) {
      case Kind::Block:
      case Kind::ListItem:
      case Kind::Row: out.Break(1); break;
      case Kind::Paragraph: out.Break(2); break;
      case Kind::List:
      case Kind::OrderedList:
        if (!lists.empty()) lists.pop_back();
        out.Break(1);
        break;
      case Kind::Table:
        if (!cells.empty()) cells.pop_back();
        out.Break(1);
        break;
      case Kind::Pre:
        preformatted = std::max(preformatted - 1, 0);
        out.Break(1);
        break;
      default: break;
    }
  }

  void Characters(const xmlChar* chars, int length) {
    if (hidden > 0 || length <= 0) return;
    out.Text(FromUtf8(std::string_view(reinterpret_cast<const char*>(chars), size_t(length))), preformatted > 0);
  }
};

Converter& Of(void* converter) { return *static_cast<Converter*>(converter); }
void OnStart(void* context, const xmlChar* name, const xmlChar**) { Of(context).Start(name); }
void OnEnd(void* context, const xmlChar* name) { Of(context).End(name); }
void OnCharacters(void* context, const xmlChar* chars, int length) { Of(context).Characters(chars, length); }
// The parser reports what it had to repair; the text is what a browser shows anyway.
void OnError(void*, const char*, ...) {}
void OnStructuredError(void*, xmlErrorPtr) {}

struct ContextDeleter {
  void operator()(htmlParserCtxtPtr context) const { htmlFreeParserCtxt(context); }
};

}  // namespace

WideString VoHTMLToPlainText(std::u16string_view html) {
  const std::string utf8 = ToUtf8(html);
  if (utf8.size() > size_t(INT_MAX))
    throw EVoException(u"The HTML is too large to be turned into text (more than 2 GB)", E_INVALIDARG);
  if (utf8.empty()) return {};
  xmlInitParser();
  std::unique_ptr<htmlParserCtxt, ContextDeleter> context(htmlCreateMemoryParserCtxt(utf8.data(), int(utf8.size())));
  if (!context || !context->sax) throw EVoException(u"The HTML parser could not be started", E_OUTOFMEMORY);
  // Only the events below: no document tree is built, so memory stays small.
  std::memset(context->sax, 0, sizeof(*context->sax));
  context->sax->startElement = OnStart;
  context->sax->endElement = OnEnd;
  context->sax->characters = OnCharacters;
  context->sax->cdataBlock = OnCharacters;
  context->sax->ignorableWhitespace = OnCharacters;
  context->sax->warning = OnError;
  context->sax->error = OnError;
  context->sax->fatalError = OnError;
  context->sax->serror = OnStructuredError;
  context->sax->initialized = XML_SAX2_MAGIC;
  Converter converter;
  context->userData = &converter;
  htmlCtxtUseOptions(context.get(), HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
  xmlSwitchEncoding(context.get(), XML_CHAR_ENCODING_UTF8);
  htmlParseDocument(context.get());
  if (context->myDoc) xmlFreeDoc(context->myDoc);
  context->myDoc = nullptr;
  WideString& text = converter.out.text;
  const size_t end = text.find_last_not_of(u"\r\n");
  text.erase(end == WideString::npos ? 0 : end + 1);
  text.erase(0, std::min(text.find_first_not_of(u"\r\n"), text.size()));
  return std::move(text);
}

}  // namespace orba
