#include "orba/common/textparser.h"

#include <algorithm>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"

namespace orba {

namespace {

char16_t FoldCase(char16_t c) {
  bool upperAscii = c >= u'A' && c <= u'Z';
  bool upperLatin1 = c >= 0xC0 && c <= 0xDE && c != 0xD7;
  return upperAscii || upperLatin1 ? static_cast<char16_t>(c + 0x20) : c;
}

bool InSet(std::u16string_view chars, char16_t c) { return chars.find(c) != std::u16string_view::npos; }

}  // namespace

void TVoTextParser::SetPosition(size_t position) {
  if (position > text_.size()) throw EVoException(u"TVoTextParser position beyond the end of the text", E_INVALIDARG);
  position_ = position;
}

char16_t TVoTextParser::NextChar() {
  if (Eof()) return 0;
  return text_[position_++];
}

void TVoTextParser::Skip(size_t count) { position_ += std::min(count, text_.size() - position_); }

char16_t TVoTextParser::PeekChar(std::ptrdiff_t offset) const {
  if (offset < 0 && static_cast<size_t>(-offset) > position_) return 0;
  size_t index = position_ + offset;  // wraps only for negative offsets checked above
  return index < text_.size() ? text_[index] : 0;
}

WideString TVoTextParser::PeekString(size_t count) const {
  return text_.substr(position_, std::min(count, text_.size() - position_));
}

size_t TVoTextParser::SkipWhile(const TCharPredicate& match) {
  size_t start = position_;
  while (!Eof() && match(text_[position_])) ++position_;
  return position_ - start;
}

size_t TVoTextParser::SkipWhile(std::u16string_view chars) {
  return SkipWhile([chars](char16_t c) { return InSet(chars, c); });
}

size_t TVoTextParser::SkipUntil(const TCharPredicate& match) {
  return SkipWhile([&match](char16_t c) { return !match(c); });
}

size_t TVoTextParser::SkipUntil(std::u16string_view chars) {
  return SkipWhile([chars](char16_t c) { return !InSet(chars, c); });
}

bool TVoTextParser::NextIs(std::u16string_view text) const {
  if (text.size() > text_.size() - position_) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (FoldCase(text_[position_ + i]) != FoldCase(text[i])) return false;
  return true;
}

bool TVoTextParser::SkipText(std::u16string_view text) {
  if (!NextIs(text)) return false;
  position_ += text.size();
  return true;
}

WideString TVoTextParser::Selected() const {
  if (!mark_) return {};
  size_t from = std::min(*mark_, position_), to = std::max(*mark_, position_);
  return text_.substr(from, to - from);
}

}  // namespace orba
