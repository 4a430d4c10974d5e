// UTF-8 <-> UTF-16 conversion for callers, tests and diagnostics.
#pragma once

#include <string>
#include <string_view>

#include "orba/common/types.h"

namespace orba {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
WideString FromUtf8(std::string_view text);

}  // namespace orba
