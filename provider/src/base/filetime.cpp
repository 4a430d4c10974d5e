// FILETIME values: see filetime.h.
#include "base/filetime.h"

#include <chrono>

namespace orba::store {
namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;

}  // namespace

int64_t NowFileTime() {
  auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpochAsFileTime + std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnixEpoch).count() / 100;
}

uint64_t FileTimeBits(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

FILETIME ToFileTime(uint64_t bits) { return {static_cast<DWORD>(bits & 0xFFFFFFFFu), static_cast<DWORD>(bits >> 32)}; }

}  // namespace orba::store
