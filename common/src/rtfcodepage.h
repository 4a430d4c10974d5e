// The characters of one code page for the RTF reader and writers, with the work of
// converting kept: RTF holds text as many short runs, too many for a conversion each.
// Single-byte code pages are converted through tables made once; multi-byte ones
// through the support layer's conversions, single characters remembered.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "orba/common/types.h"

namespace orba {

class TVoRTFCodePage {
 public:
  explicit TVoRTFCodePage(uint32_t codePage);
  uint32_t Id() const { return codePage_; }

  // Appends the text of bytes (invalid bytes as U+FFFD).
  void Decode(std::string_view bytes, WideString& text) const;
  // Appends the bytes of text and returns true, or returns false (appending nothing)
  // when the code page lacks one of its characters.
  bool Encode(std::u16string_view text, std::string& bytes);

 private:
  uint32_t codePage_;
  bool singleByte_;
  std::array<char16_t, 128> high_{};                   // single-byte: the characters of 0x80 to 0xFF
  std::unordered_map<char16_t, char> byteOf_;          // single-byte: the byte of each of them
  std::unordered_map<char16_t, std::string> encoded_;  // multi-byte: characters met ("" when lacking)
};

}  // namespace orba
