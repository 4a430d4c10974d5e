// Checks on memory a caller hands over without saying how large it is: the validation
// functions and ScRelocProps must answer bad structures with an error, not a crash.
// A pointer that starts a block of MAPI memory is bounded by that block's size; any
// other pointer by the readable pages of the process, as the kernel reports them
// (process_vm_readv on the process itself, so that nothing here faults, and memory is
// never read in front of a pointer that is not ours). Where the kernel refuses that call
// (a sandbox forbidding it), nothing can be known: every pointer counts as readable,
// none as the start of a block.
#pragma once

#include <cstddef>
#include <optional>

namespace orba::store {

// The size asked for when p starts a MAPI buffer, a block chained to one or a block of
// the default allocator; nullopt for any other pointer (without reading it directly).
std::optional<size_t> MapiBlockSize(const void* p) noexcept;
// The same for blocks of the default allocator (MAPIGetDefaultMalloc) alone.
std::optional<size_t> DefaultMallocBlockSize(const void* p) noexcept;

// Whether the bytes [p, p + size) can be read: all inside p's block when p starts a
// block of MAPI memory, else on readable pages. Nothing to read (size 0) is fine.
bool IsReadableRange(const void* p, size_t size) noexcept;

// The length of the zero-terminated text at p (without its terminator) when it and its
// terminator can be read and the length is below maxLength; else nullopt.
std::optional<size_t> ReadableTextLength(const char* p, size_t maxLength) noexcept;
std::optional<size_t> ReadableTextLength(const char16_t* p, size_t maxLength) noexcept;

}  // namespace orba::store
