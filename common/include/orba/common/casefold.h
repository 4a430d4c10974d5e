// Case-insensitive comparison of UTF-16 text the way Windows compares registry key names
// and file names: simple upper-case folding of the Latin, Greek and Cyrillic letters.
#pragma once

#include <string_view>

#include "orba/common/types.h"

namespace orba {

// The upper-case form of one UTF-16 code unit (unchanged when it has none).
char16_t VoFoldChar(char16_t c);
// The upper-case form of a text.
WideString VoFoldCase(std::u16string_view text);
// Whether two texts are equal ignoring case.
bool VoSameText(std::u16string_view a, std::u16string_view b);
// Whether a name matches a wildcard mask ("*" any run, "?" one character), ignoring case.
bool VoMatchesMask(std::u16string_view name, std::u16string_view mask);

}  // namespace orba
