#include <algorithm>
#include <string>

#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"
#include "rtfwriter.h"

namespace orba {
namespace {

class HtmlReader : public TVoRTFReader {
 public:
  using TVoRTFReader::TVoRTFReader;
  WideString html;

 protected:
  void Characters(std::u16string_view chars, const TVoRTFGroupState& state) override {
    if (state.Destination == TVoRTFDestination::HtmlTag ||
        (state.Destination == TVoRTFDestination::Text && !state.HtmlRtf))
      html.append(chars);
  }
};

// The opening of an htmltag group for markup (0: no flags).
constexpr std::string_view kTagGroup = "\r\n{\\*\\htmltag0 ";

char16_t Upper(char16_t c) { return c >= 'a' && c <= 'z' ? char16_t(c - 'a' + 'A') : c; }

bool IsBlank(char16_t c) { return c <= ' '; }

// Finds what (upper-case ASCII) in text from position from on, ignoring case.
size_t FindNoCase(std::u16string_view text, std::u16string_view what, size_t from) {
  const auto hit = std::search(text.begin() + from, text.end(), what.begin(), what.end(),
                               [](char16_t a, char16_t b) { return Upper(a) == b; });
  return hit == text.end() ? std::u16string_view::npos : size_t(hit - text.begin());
}

// The length of the line end at the start of text: 2 for CR LF, 1 for a lone CR or
// LF, 0 for none.
size_t LineEnd(std::u16string_view text) {
  if (text.empty() || (text[0] != '\r' && text[0] != '\n')) return 0;
  return text.starts_with(u"\r\n") ? 2 : 1;
}

// Writes HTML as RTF that encapsulates it. The HTML's markup (tags, entities, text
// outside the body, blank runs) goes into htmltag groups, its body text into the RTF
// after \htmlrtf0; RTF meant only for readers of the RTF (a line break for <br/>, a
// paragraph after </p> and </div>) stands between \htmlrtf and \htmlrtf0. Every
// character of the HTML is written so that de-encapsulation gives it back.
class Encapsulator {
 public:
  Encapsulator(std::u16string_view html, uint32_t codePage) : html_(html), writer_(codePage) {}

  AnsiString Run() {
    out_ = "{\\rtf1\\ansi\\ansicpg" + std::to_string(writer_.CodePage()) +
           "\\fromhtml1 \\deff0{\\fonttbl\r\n"
           "{\\f0\\fswiss Arial;}\r\n"
           "{\\f1\\fmodern Courier New;}\r\n"
           "{\\f2\\fnil\\fcharset2 Symbol;}\r\n"
           "{\\f3\\fmodern\\fcharset0 Courier New;}\r\n"
           "{\\f4\\fswiss Arial;}}\r\n"
           "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
           "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24";
    out_.reserve(html_.size() + 1024);
    while (pos_ < html_.size()) {
      if (html_[pos_] == '<')
        Tag();
      else if (html_[pos_] == '&')
        Entity();
      else if (inBody_ && !afterBody_)
        BodyText();
      else
        Group(kTagGroup, Until(u'<'));
    }
    if (!pendingBlank_.empty()) Group(kTagGroup, {});
    out_ += '}';
    return std::move(out_);
  }

 private:
  // The HTML from the position up to (not including) the next c, or to the end.
  std::u16string_view Until(char16_t c) {
    const size_t end = std::min(html_.find(c, pos_), html_.size());
    const std::u16string_view text = html_.substr(pos_, end - pos_);
    pos_ = end;
    return text;
  }

  // An htmltag group: opening, the blank run waiting for it, content, closing brace.
  void Group(std::string_view opening, std::u16string_view content, std::string_view closing = "}") {
    out_ += opening;
    AppendMarkup(pendingBlank_);
    pendingBlank_.clear();
    AppendMarkup(content);
    out_ += closing;
  }

  // Markup inside an htmltag group: CR LF as \par, everything else escaped.
  void AppendMarkup(std::u16string_view text) {
    for (size_t crlf; (crlf = text.find(u"\r\n")) != std::u16string_view::npos; text.remove_prefix(crlf + 2)) {
      writer_.Append(text.substr(0, crlf), out_);
      out_ += "\\par ";
    }
    writer_.Append(text, out_);
  }

  void Tag() {
    const size_t close = html_.find('>', pos_);
    const size_t end = close == std::u16string_view::npos ? html_.size() : close + 1;
    const std::u16string_view tag = html_.substr(pos_, end - pos_);
    pos_ = end;
    Group(kTagGroup, tag);
    // The name: up to the first blank or ">", upper-case, and what ended it.
    WideString name;
    size_t i = 1;
    for (; i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>'; ++i) name += Upper(tag[i]);
    const char16_t ender = i < tag.size() ? (IsBlank(tag[i]) ? u' ' : tag[i]) : u'\0';
    const bool closed = ender == '>', nameEnds = closed || ender == ' ';
    if (name == u"STYLE" && nameEnds && !inBody_) {
      Style();
    } else if (name == u"BODY" && nameEnds) {
      out_ += "{\\*\\htmltag64}";
      inBody_ = true;
      ControlRun();
    } else if (name == u"/BODY" && nameEnds) {
      afterBody_ = true;
      ControlRun();
    } else if (name == u"BR/" && closed) {
      out_ += "\\htmlrtf \\line\r\n\\htmlrtf0\r\n";
    } else if ((name == u"/P" || name == u"/DIV") && closed) {
      out_ += "\r\n\\htmlrtf \\par\r\n\\htmlrtf0\r\n";
    }
  }

  // A style sheet goes whole into an htmltag241 group, its closing tag into an
  // htmltag249 group.
  void Style() {
    const size_t close = FindNoCase(html_, u"</STYLE", pos_);
    const size_t end = std::min(close, html_.size());
    Group("\r\n{\\*\\htmltag241 ", html_.substr(pos_, end - pos_));
    pos_ = end;
    if (close == std::u16string_view::npos) return;
    const size_t closeEnd = std::min(html_.find('>', pos_), html_.size() - 1) + 1;
    Group("\r\n{\\*\\htmltag249 ", html_.substr(pos_, closeEnd - pos_));
    pos_ = closeEnd;
  }

  // Control characters after a body tag belong to the markup.
  void ControlRun() {
    const size_t start = pos_;
    while (pos_ < html_.size() && html_[pos_] < 32) ++pos_;
    if (pos_ > start) Group(kTagGroup, html_.substr(start, pos_ - start));
  }

  // An entity runs to its ";" (which it includes), or up to the next markup character
  // or control character when it has none.
  void Entity() {
    size_t end = pos_ + 1;
    while (end < html_.size() && html_[end] >= 32 && html_[end] != ';' && html_[end] != '<' && html_[end] != '&') ++end;
    if (end < html_.size() && html_[end] == ';') ++end;
    const std::u16string_view entity = html_.substr(pos_, end - pos_);
    pos_ = end;
    Group("{\\*\\htmltag0 ", entity, "}\r\n");
  }

  // Body text up to the next tag: a blank run waits for the next group; other text is
  // written as the document's text, with its line ends in htmltag groups.
  void BodyText() {
    std::u16string_view text = Until(u'<');
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
      pendingBlank_.append(text);
      return;
    }
    if (!pendingBlank_.empty()) Group(kTagGroup, {});
    out_ += "\\htmlrtf0 ";
    while (!text.empty()) {
      const size_t end = std::min(text.find_first_of(u"\r\n"), text.size());
      writer_.Append(text.substr(0, end), out_);
      text.remove_prefix(end);
      const size_t lineEnd = LineEnd(text);
      if (lineEnd == 0) break;
      out_ += "\r\n{\\*\\htmltag4 ";
      AppendMarkup(text.substr(0, lineEnd));
      out_ += '}';
      text.remove_prefix(lineEnd);
    }
  }

  std::u16string_view html_;
  size_t pos_ = 0;
  TVoRTFTextWriter writer_;
  AnsiString out_;
  WideString pendingBlank_;
  bool inBody_ = false, afterBody_ = false;
};

}  // namespace

std::optional<TVoDecapsulatedHTML> VoDecapsulateHTML(std::string_view rtf) {
  if (!VoRTFIsHTMLEncapsulated(rtf)) return std::nullopt;
  HtmlReader reader(rtf);
  reader.Read();
  return TVoDecapsulatedHTML{std::move(reader.html), reader.DocumentCodePage()};
}

AnsiString VoEncapsulateHTML(std::u16string_view html, uint32_t codePage) {
  return Encapsulator(html, codePage == 0 ? 1252 : codePage).Run();
}

}  // namespace orba
