// Stored section properties as MAPI property values.
#pragma once

#include "memory/mapimemory.h"
#include "storage/profiledb.h"

namespace orba::store {

// One MAPI buffer holding the decoded properties followed by extraSlots zeroed values
// for the caller to fill (row keys and the like).
TMapiBuffer<SPropValue> DecodeSection(const TStoredProps& props, size_t extraSlots = 0);

}  // namespace orba::store
