// Packed copies of property value arrays, as ScCopyProps lays them out: the values at
// the head of one block, their data after them, each block of data starting on a
// multiple of kPackedAlignment (props/valuecopy.h). ScRelocProps relies on that layout.
#pragma once

#include <cstddef>

#include "mapi/mapidefs.h"

namespace orba::store {

// The bytes a packed copy of count values takes. Throws TMapiError
// (MAPI_E_INVALID_PARAMETER) for an array that cannot be read, a value FBadProp refuses,
// an identifier PROP_ID_NULL or PROP_ID_INVALID, or a nested restriction or rule action.
size_t PackedPropsSize(int count, const SPropValue* values);
// Copies count values into the size bytes (PackedPropsSize) at destination.
void CopyPropsPacked(int count, const SPropValue* values, void* destination, size_t size);

}  // namespace orba::store
