// The header in front of every block of MAPI memory and of the default allocator,
// shared by the two allocators' sources.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "mapi/mapidefs.h"

namespace orba::store {

inline constexpr uint64_t kBufferMagic = 0x4D41504942554631ull;  // "MAPIBUF1"
inline constexpr uint64_t kMoreMagic = 0x4D4150494D4F5245ull;    // "MAPIMORE"
inline constexpr uint64_t kMallocMagic = 0x4D4150494D4C4F43ull;  // "MAPIMLOC"

struct alignas(16) BlockHeader {
  uint64_t magic = 0;
  size_t size = 0;                           // bytes asked for
  BlockHeader* owner = nullptr;              // chained block: its buffer
  BlockHeader* next = nullptr;               // chained block: the next one of the buffer
  std::atomic<BlockHeader*> chain{nullptr};  // buffer: its chained blocks
};
static_assert(sizeof(BlockHeader) % 16 == 0);

// The header of p when p is a live block with the given magic value, else null.
BlockHeader* HeaderOf(const void* p, uint64_t magic) noexcept;

SCODE AllocateBufferCode(size_t cb, void** out) noexcept;
SCODE AllocateMoreCode(size_t cb, void* parent, void** out) noexcept;
ULONG FreeBufferCode(void* p) noexcept;
BlockHeader* NewMallocBlock(size_t cb) noexcept;
void DeleteMallocBlock(BlockHeader* header) noexcept;

}  // namespace orba::store
