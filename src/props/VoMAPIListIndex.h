// The index error of the library's lists.
#pragma once

#include <cstdint>

namespace orba {

// Raises EVoException "List index out of bounds (%d)" with E_INVALIDARG.
[[noreturn]] void VoListIndexError(int64_t Index);

}  // namespace orba
