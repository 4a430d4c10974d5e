// MAPI memory for the engines: buffers allocated with MAPIAllocateBuffer, further
// blocks chained to them with MAPIAllocateMore (freed together with their buffer),
// and an owning holder so that an exception never leaks a buffer.
#pragma once

#include <cstddef>
#include <utility>

#include "mapi/mapidefs.h"

namespace orba::store {

// A new MAPI buffer of cb bytes (zero-filled); throws std::bad_alloc.
void* AllocateBuffer(size_t cb);
// A block of cb bytes (zero-filled) chained to the buffer parent; throws std::bad_alloc.
// parent may also be a block chained to a buffer: the block joins that buffer's chain.
void* AllocateMore(size_t cb, void* parent);
// Frees a MAPI buffer and every block chained to it (null is fine).
void FreeBuffer(void* p);
// True when p is the head of a live MAPI buffer (not a chained block).
bool IsMapiBuffer(const void* p);

// Typed forms: count elements of T.
template <class T>
T* AllocateBufferOf(size_t count = 1) {
  return static_cast<T*>(AllocateBuffer(count * sizeof(T)));
}
template <class T>
T* AllocateMoreOf(size_t count, void* parent) {
  return static_cast<T*>(AllocateMore(count * sizeof(T), parent));
}

// Owns one MAPI buffer (and so everything chained to it); frees it with
// MAPIFreeBuffer unless Release() handed it to a caller.
template <class T>
class TMapiBuffer {
 public:
  TMapiBuffer() = default;
  // Takes ownership of a buffer from MAPIAllocateBuffer (or null).
  explicit TMapiBuffer(T* p) : ptr_(p) {}
  TMapiBuffer(const TMapiBuffer&) = delete;
  TMapiBuffer& operator=(const TMapiBuffer&) = delete;
  TMapiBuffer(TMapiBuffer&& other) noexcept : ptr_(other.Release()) {}
  TMapiBuffer& operator=(TMapiBuffer&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~TMapiBuffer() { Reset(); }

  // A new zero-filled buffer sized for T (or for bytes, when given).
  static TMapiBuffer Allocate(size_t bytes = sizeof(T)) { return TMapiBuffer(static_cast<T*>(AllocateBuffer(bytes))); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Gives the buffer up to the caller (who frees it with MAPIFreeBuffer).
  T* Release() { return std::exchange(ptr_, nullptr); }
  void Reset(T* p = nullptr) {
    if (T* old = std::exchange(ptr_, p)) FreeBuffer(old);
  }
  // Frees the current buffer and returns the slot for an out-parameter.
  T** Out() {
    Reset();
    return &ptr_;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace orba::store
