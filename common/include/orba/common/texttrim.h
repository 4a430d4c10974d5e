// Text without the blanks and control characters around it (every code unit up to the
// space), as names, paths and header fields are compared.
#pragma once

#include <string_view>

namespace orba {

inline std::u16string_view VoTrimmed(std::u16string_view text) {
  while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
  return text;
}

}  // namespace orba
