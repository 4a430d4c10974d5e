// Bitness of a process or a library file.
#pragma once

#include <cstdint>

namespace orba {

enum TVoBitness : int32_t { bt32 = 0, bt64 = 1 };

// The bitness of the running process.
constexpr TVoBitness VoProcessBitness() { return sizeof(void*) == 8 ? bt64 : bt32; }

}  // namespace orba
