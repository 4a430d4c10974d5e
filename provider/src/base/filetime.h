// FILETIME values as Orba Store computes with them: 100-nanosecond intervals since
// 1601-01-01 UTC in one 64-bit number (stored as a signed number in the databases;
// the bits are the same).
#pragma once

#include <cstdint>

#include "mapi/mapitypes.h"

namespace orba::store {

// The current time.
int64_t NowFileTime();
// A FILETIME as one number, and back.
uint64_t FileTimeBits(const FILETIME& time);
FILETIME ToFileTime(uint64_t bits);

}  // namespace orba::store
