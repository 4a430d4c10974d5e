// TVoMAPIBuffer: owns a buffer MAPI handed out and frees it with MAPIFreeBuffer, so an
// exception never leaks it.
#pragma once

#include <utility>

#include "orba/VoMAPIEntryPoints.h"

namespace orba {

template <class T>
class TVoMAPIBuffer {
 public:
  TVoMAPIBuffer() = default;
  explicit TVoMAPIBuffer(T* Buffer) : buffer_(Buffer) {}
  TVoMAPIBuffer(TVoMAPIBuffer&& Other) noexcept : buffer_(std::exchange(Other.buffer_, nullptr)) {}
  TVoMAPIBuffer(const TVoMAPIBuffer&) = delete;
  TVoMAPIBuffer& operator=(const TVoMAPIBuffer&) = delete;
  ~TVoMAPIBuffer() {
    // A failing free cannot be reported from a destructor; MAPI's own buffers do not fail.
    try {
      Reset();
    } catch (...) {
    }
  }

  T* get() const { return buffer_; }
  T* operator->() const { return buffer_; }
  // The address MAPI writes a new buffer to; the old one is freed first.
  T** Out() {
    Reset();
    return &buffer_;
  }
  void Reset() {
    if (T* buffer = std::exchange(buffer_, nullptr)) MAPIFreeBuffer(buffer);
  }
  T* Detach() { return std::exchange(buffer_, nullptr); }

 private:
  T* buffer_ = nullptr;
};

}  // namespace orba
