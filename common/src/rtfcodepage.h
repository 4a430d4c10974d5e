// The characters of one code page for the RTF reader and writers, converted with the
// results kept: RTF holds text as many short runs, too many for a conversion each.
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
  // The bytes of c, or nullptr when the code page lacks it.
  const std::string* Encode(char16_t c);

 private:
  uint32_t codePage_;
  bool singleByte_;
  std::array<char16_t, 128> high_{};  // single-byte code pages: the characters of 0x80 to 0xFF
  std::unordered_map<char16_t, std::string> encoded_;
};

}  // namespace orba
