// TVoTextParser: a character cursor over UTF-16 text with a mark, for hand-written
// parsers (message bodies, HTML, RTF). Every read is bounds-safe: beyond the text a
// character reads as 0 and a string comes back shorter.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "orba/common/types.h"

namespace orba {

class TVoTextParser {
 public:
  using TCharPredicate = std::function<bool(char16_t)>;

  explicit TVoTextParser(WideString text = {}) : text_(std::move(text)) {}

  const WideString& Text() const { return text_; }
  size_t Length() const { return text_.size(); }
  bool Eof() const { return position_ >= text_.size(); }

  size_t Position() const { return position_; }
  // Raises E_INVALIDARG beyond the end of the text.
  void SetPosition(size_t position);

  // The character at the cursor; 0 at the end.
  char16_t Current() const { return PeekChar(0); }
  // Returns the character at the cursor and moves past it; 0 (and no move) at the end.
  char16_t NextChar();
  // Moves past up to count characters (stops at the end).
  void Skip(size_t count = 1);
  // The character offset places from the cursor (negative looks back); 0 outside the text.
  char16_t PeekChar(std::ptrdiff_t offset = 1) const;
  // Up to count characters from the cursor.
  WideString PeekString(size_t count) const;

  // Moves past characters while they match; returns how many were passed.
  size_t SkipWhile(const TCharPredicate& match);
  size_t SkipWhile(std::u16string_view chars);
  // Moves to the first character that matches (or to the end); returns how many were passed.
  size_t SkipUntil(const TCharPredicate& match);
  size_t SkipUntil(std::u16string_view chars);

  // Whether the text at the cursor starts with text, ignoring the case of ASCII and
  // Latin-1 letters. SkipText also moves past it when it does.
  bool NextIs(std::u16string_view text) const;
  bool SkipText(std::u16string_view text);

  // The mark remembers a position; Selected is the text between it and the cursor.
  void SetMark() { mark_ = position_; }
  void ClearMark() { mark_.reset(); }
  bool HasMark() const { return mark_.has_value(); }
  // Empty without a mark; in text order when the cursor went back before the mark.
  WideString Selected() const;

 private:
  WideString text_;
  size_t position_ = 0;
  std::optional<size_t> mark_;
};

}  // namespace orba
