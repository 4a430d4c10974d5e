// Deep copies of MAPI's property structures into MAPI memory: every block a copy
// needs is allocated "more" on a parent buffer, so the copy is freed with it.
// Malformed input (a null pointer with a non-zero count, an unknown property type,
// restrictions nested deeper than kMaxRestrictionDepth) throws MapiError
// (MAPI_E_INVALID_PARAMETER, MAPI_E_INVALID_TYPE, MAPI_E_TOO_COMPLEX) and never
// reads through a bad pointer it can detect.
#pragma once

#include "mapi/edkmdb.h"
#include "mapi/mapidefs.h"
#include "orba/store/mapimemory.h"

namespace orba::store {

inline constexpr unsigned kMaxRestrictionDepth = 256;

// Copies one value: scalars by value, strings, binaries, GUIDs, multi-valued
// arrays, restrictions (PT_SRESTRICTION) and rule actions (PT_ACTIONS) deeply.
void CopyPropValue(const SPropValue& src, SPropValue& dst, void* parent);
// Copies count values into dst (an array the caller owns, e.g. in parent).
void CopyPropsInto(void* parent, ULONG count, const SPropValue* src, SPropValue* dst);
// A new array of count values allocated on parent.
SPropValue* CopyPropArray(void* parent, ULONG count, const SPropValue* src);
// A new buffer holding a copy of count values (the array is the buffer's head).
MapiBuffer<SPropValue> DuplicatePropArray(ULONG count, const SPropValue* src);

void CopyRestriction(const SRestriction& src, SRestriction& dst, void* parent);
MapiBuffer<SRestriction> DuplicateRestriction(const SRestriction& src);
void CopyActions(const ACTIONS& src, ACTIONS& dst, void* parent);

// Tag arrays (a null source gives null).
LPSPropTagArray CopyTagArray(void* parent, const SPropTagArray* src);
MapiBuffer<SPropTagArray> DuplicateTagArray(const SPropTagArray* src);

// The bytes of a value's variable part (string with terminator, binary, array
// elements and their data); 0 for fixed-size types. Used for size limits.
size_t PropValueDataSize(const SPropValue& value);

// True when type is one of MAPI's property types (with or without MV_FLAG where
// multi-valued forms exist).
bool IsKnownPropType(ULONG type);

}  // namespace orba::store
