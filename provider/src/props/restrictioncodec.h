// Lossless byte encoding of MAPI restrictions, for keeping a search folder's
// criteria in its store. Every restriction type is kept with all of its fields (also
// the reserved ones), property values in the property codec's encoding, so that a
// decoded restriction is the one that was encoded.
#pragma once

#include <span>

#include "mapi/mapidefs.h"
#include "props/propcodec.h"

namespace orba::store {

// Encodes a restriction. A malformed one (a null pointer with a count, an unknown
// type, nesting deeper than kMaxRestrictionDepth) raises TMapiError with
// MAPI_E_INVALID_PARAMETER or MAPI_E_TOO_COMPLEX; a value the property codec cannot
// store MAPI_E_INVALID_TYPE.
Bytes EncodeRestriction(const SRestriction& restriction);

// Decodes bytes written by EncodeRestriction into out, every block it needs chained
// to the MAPI buffer parent. Bytes that are not such an encoding raise TMapiError with
// MAPI_E_CORRUPT_DATA; nothing is read beyond the span.
void DecodeRestriction(std::span<const uint8_t> bytes, SRestriction& out, void* parent);

}  // namespace orba::store
