// A row of property values as the table engine and restriction evaluation see it,
// and the lookup of one property in it.
#pragma once

#include <span>

#include "mapi/mapidefs.h"
#include "orba/common/types.h"

namespace orba::store {

// The values of one row (or of one object's properties); not owned.
using TPropRow = std::span<const SPropValue>;

// The row's value for a tag, or null when the row lacks it or holds an error value:
// PT_UNSPECIFIED matches any type, a multi-value-instance flag is ignored, and a
// string tag also finds the value of the other width (PT_STRING8 for PT_UNICODE and
// back, multi-valued likewise), which the caller converts.
const SPropValue* FindProp(TPropRow row, ULONG tag);

// A string value as UTF-16 (8-bit values are converted from the system code page).
WideString WideText(ULONG type, const __UPV& value);

}  // namespace orba::store
