// GUIDs as text in the registry form "{00020329-0000-0000-C000-000000000046}".
#pragma once

#include <string_view>

#include "orba/common/com.h"
#include "orba/common/types.h"

namespace orba {

// The 38-character form: braces, hyphens, upper-case hexadecimal digits.
WideString GUIDToString(const GUID& guid);
// Reads the 38-character form (digits of either case). Anything else raises EConvertError
// "'%s' is not a valid GUID value" with the text.
GUID StringToGUID(std::u16string_view text);

}  // namespace orba
