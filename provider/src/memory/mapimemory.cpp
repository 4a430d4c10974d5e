// MAPI memory. Every block starts with a 48-byte header (a multiple of 16, so the
// caller's pointer keeps malloc's 16-byte alignment) whose magic value tells a MAPI
// buffer from a chained block, from a default-allocator block and from anything
// else. Chained blocks hang off their buffer in a lock-free list, so that several
// threads may allocate more on one buffer at once.
#include "memory/mapimemory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/export.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/memoryblock.h"

namespace orba::store {

namespace {

constexpr uint64_t kFreedMagic = 0;

// malloc's blocks are aligned for every fundamental type, which is the 16 bytes the
// header keeps (plain malloc is much cheaper than aligned_alloc).
static_assert(alignof(std::max_align_t) >= alignof(BlockHeader));

BlockHeader* NewBlock(size_t cb, uint64_t magic) noexcept {
  if (cb > SIZE_MAX - sizeof(BlockHeader) - 15) return nullptr;
  size_t total = sizeof(BlockHeader) + ((cb + 15) & ~size_t{15});
  void* raw = std::malloc(total);
  if (!raw) return nullptr;
  auto* header = new (raw) BlockHeader;
  header->magic = magic;
  header->size = cb;
  std::memset(static_cast<void*>(header + 1), 0, total - sizeof(BlockHeader));
  return header;
}

void DeleteBlock(BlockHeader* header) noexcept {
  header->magic = kFreedMagic;
  header->~BlockHeader();
  std::free(header);
}

}  // namespace

BlockHeader* HeaderOf(const void* p, uint64_t magic) noexcept {
  // A pointer that is not 16-byte aligned, or too low to have a header, was never
  // handed out here: do not read in front of it.
  auto address = reinterpret_cast<uintptr_t>(p);
  if (!p || (address & 15) != 0 || address < sizeof(BlockHeader)) return nullptr;
  auto* header = reinterpret_cast<BlockHeader*>(const_cast<void*>(p)) - 1;
  return header->magic == magic ? header : nullptr;
}

BlockHeader* NewMallocBlock(size_t cb) noexcept { return NewBlock(cb, kMallocMagic); }
void DeleteMallocBlock(BlockHeader* header) noexcept { DeleteBlock(header); }

SCODE AllocateBufferCode(size_t cb, void** out) noexcept {
  if (!out) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  BlockHeader* header = NewBlock(cb, kBufferMagic);
  if (!header) return MAPI_E_NOT_ENOUGH_MEMORY;
  *out = header + 1;
  return S_OK;
}

SCODE AllocateMoreCode(size_t cb, void* parent, void** out) noexcept {
  if (!out) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  BlockHeader* owner = HeaderOf(parent, kBufferMagic);
  if (!owner) {
    // A chained block stands for its buffer.
    if (BlockHeader* chained = HeaderOf(parent, kMoreMagic)) owner = chained->owner;
  }
  if (!owner) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = NewBlock(cb, kMoreMagic);
  if (!header) return MAPI_E_NOT_ENOUGH_MEMORY;
  header->owner = owner;
  BlockHeader* head = owner->chain.load(std::memory_order_relaxed);
  do {
    header->next = head;
  } while (!owner->chain.compare_exchange_weak(head, header, std::memory_order_release, std::memory_order_relaxed));
  *out = header + 1;
  return S_OK;
}

ULONG FreeBufferCode(void* p) noexcept {
  if (!p) return S_OK;
  BlockHeader* header = HeaderOf(p, kBufferMagic);
  // Chained blocks are freed with their buffer; anything else is not ours to free.
  if (!header) return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
  // Most buffers have no chained blocks: a plain load spares them the atomic exchange.
  BlockHeader* chained = header->chain.load(std::memory_order_acquire);
  if (chained) chained = header->chain.exchange(nullptr, std::memory_order_acquire);
  while (chained) {
    BlockHeader* next = chained->next;
    DeleteBlock(chained);
    chained = next;
  }
  DeleteBlock(header);
  return S_OK;
}

void* AllocateBuffer(size_t cb) {
  void* p = nullptr;
  if (FAILED(AllocateBufferCode(cb, &p))) throw std::bad_alloc();
  return p;
}

void* AllocateMore(size_t cb, void* parent) {
  void* p = nullptr;
  HRESULT hr = AllocateMoreCode(cb, parent, &p);
  if (hr == MAPI_E_INVALID_PARAMETER) throw TMapiError(hr, "not a MAPI buffer");
  if (FAILED(hr)) throw std::bad_alloc();
  return p;
}

void FreeBuffer(void* p) { FreeBufferCode(p); }

bool IsMapiBuffer(const void* p) { return HeaderOf(p, kBufferMagic) != nullptr; }

}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  return AllocateBufferCode(cbSize, lppBuffer);
}

ORBASTORE_EXPORT SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  return AllocateMoreCode(cbSize, lpObject, lppBuffer);
}

ORBASTORE_EXPORT ULONG MAPIFreeBuffer(LPVOID lpBuffer) { return FreeBufferCode(lpBuffer); }
