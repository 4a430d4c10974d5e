#include "memory/memoryprobe.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "memory/memoryblock.h"

namespace orba::store {

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kMaxProbes = 64;  // pages asked about in one call

enum class TKernelRead { Read, Unreadable, Refused };

// process_vm_readv on this process, expecting size bytes. Only EFAULT (or a short read)
// says the memory cannot be read; a kernel or sandbox refusing the call itself (EPERM,
// ENOSYS under seccomp, ...) says nothing about it.
TKernelRead ReadSelf(const iovec* local, const iovec* remote, size_t remoteCount, size_t size) noexcept {
  ssize_t read = process_vm_readv(getpid(), local, 1, remote, remoteCount, 0);
  if (read == static_cast<ssize_t>(size)) return TKernelRead::Read;
  return read >= 0 || errno == EFAULT ? TKernelRead::Unreadable : TKernelRead::Refused;
}

// Copies size bytes at p into out through the kernel: false where that cannot be done.
bool ReadThroughKernel(const void* p, void* out, size_t size) noexcept {
  iovec local{out, size};
  iovec remote{const_cast<void*>(p), size};
  return ReadSelf(&local, &remote, 1, size) == TKernelRead::Read;
}

// Whether every page of [p, p + size) is readable (one byte of each page is enough).
bool PagesReadable(uintptr_t first, size_t size) noexcept {
  if (size == 0) return true;
  if (first + size < first) return false;
  uintptr_t page = first & ~(kPage - 1), last = (first + size - 1) & ~(kPage - 1);
  BYTE sink[kMaxProbes];
  iovec local{sink, 0};
  iovec remote[kMaxProbes];
  while (page <= last) {
    size_t count = 0;
    for (; count < kMaxProbes && page <= last; ++count, page += kPage)
      remote[count] = {reinterpret_cast<void*>(std::max(page, first)), 1};
    local.iov_len = count;
    TKernelRead read = ReadSelf(&local, remote, count, count);
    if (read == TKernelRead::Refused) return true;  // nothing known: taken as readable
    if (read == TKernelRead::Unreadable) return false;
    if (page == 0) break;  // wrapped past the end of the address space
  }
  return true;
}

template <class Char>
std::optional<size_t> TextLength(const Char* p, size_t maxLength) noexcept {
  if (!p || reinterpret_cast<uintptr_t>(p) % alignof(Char) != 0) return std::nullopt;
  // Inside a block of MAPI memory the text must end within the block.
  size_t limit = maxLength;
  if (std::optional<size_t> block = MapiBlockSize(p)) limit = std::min(limit, *block / sizeof(Char));
  auto address = reinterpret_cast<uintptr_t>(p);
  size_t length = 0;
  while (length < limit) {
    // The characters up to the end of this page, read once the page is known readable.
    uintptr_t at = address + length * sizeof(Char);
    size_t onPage = (kPage - at % kPage) / sizeof(Char);
    if (!PagesReadable(at, sizeof(Char))) return std::nullopt;
    size_t n = std::min(onPage, limit - length);
    const Char* chunk = p + length;
    const Char* end = std::char_traits<Char>::find(chunk, n, Char{});
    if (end) return length + static_cast<size_t>(end - chunk);
    length += n;
  }
  return std::nullopt;
}

// The size of the block p starts when its header holds one of magics.
std::optional<size_t> ProbedBlockSize(const void* p, std::initializer_list<uint64_t> magics) noexcept {
  auto address = reinterpret_cast<uintptr_t>(p);
  if (!p || address % alignof(BlockHeader) != 0 || address < sizeof(BlockHeader)) return std::nullopt;
  // The header is copied, never read in place: p may be anybody's pointer.
  alignas(BlockHeader) BYTE copy[sizeof(BlockHeader)];
  if (!ReadThroughKernel(reinterpret_cast<const BlockHeader*>(p) - 1, copy, sizeof(copy))) return std::nullopt;
  // The magic value and the size lead the header.
  uint64_t magic = 0;
  size_t size = 0;
  std::memcpy(&magic, copy, sizeof(magic));
  std::memcpy(&size, copy + sizeof(magic), sizeof(size));
  if (std::find(magics.begin(), magics.end(), magic) == magics.end()) return std::nullopt;
  return size;
}

}  // namespace

std::optional<size_t> MapiBlockSize(const void* p) noexcept {
  return ProbedBlockSize(p, {kBufferMagic, kMoreMagic, kMallocMagic});
}

std::optional<size_t> DefaultMallocBlockSize(const void* p) noexcept { return ProbedBlockSize(p, {kMallocMagic}); }

bool IsReadableRange(const void* p, size_t size) noexcept {
  if (size == 0) return true;
  if (!p) return false;
  if (std::optional<size_t> block = MapiBlockSize(p)) return size <= *block;
  return PagesReadable(reinterpret_cast<uintptr_t>(p), size);
}

std::optional<size_t> ReadableTextLength(const char* p, size_t maxLength) noexcept { return TextLength(p, maxLength); }

std::optional<size_t> ReadableTextLength(const char16_t* p, size_t maxLength) noexcept {
  return TextLength(p, maxLength);
}

}  // namespace orba::store
