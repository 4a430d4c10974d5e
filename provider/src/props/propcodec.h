// Lossless byte encoding of single MAPI property values, for storing property bags
// in SQLite. The type comes from the tag, so the bytes hold only the value; integers
// are little-endian, strings are stored without their terminator (8-bit bytes as
// given, UTF-16 code units), multi-valued properties as a count and their elements.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mapi/mapidefs.h"

namespace orba::store {

using Bytes = std::vector<uint8_t>;

// One stored property: its full tag and its value in this encoding. Lists of them
// hold one value per property identifier.
struct TStoredProp {
  ULONG tag = 0;
  Bytes value;
};
using TStoredProps = std::vector<TStoredProp>;

// Allocates memory for the variable parts of a decoded value (strings, binaries,
// arrays); it lives as long as the caller's allocation chain. Must not return null
// (throw std::bad_alloc instead).
using TPropAllocator = std::function<void*(size_t)>;

// Whether values of this property type can be stored: every fixed, string, binary
// and multi-valued type; not PT_UNSPECIFIED, PT_OBJECT, PT_PTR, nor the Exchange
// restriction and rule-action types, which are process-local structures.
bool IsStorablePropType(ULONG propType);

// Encodes value; a type that cannot be stored raises TMapiError with
// MAPI_E_INVALID_TYPE, a malformed value (null string or array pointer with a
// non-zero count) MAPI_E_INVALID_PARAMETER.
Bytes EncodePropValue(const SPropValue& value);

// Decodes bytes written by EncodePropValue for tag into out (out.ulPropTag = tag);
// bytes that do not fit the type raise TMapiError with MAPI_E_CORRUPT_DATA.
void DecodePropValue(ULONG tag, std::span<const uint8_t> bytes, const TPropAllocator& allocate, SPropValue& out);

}  // namespace orba::store
