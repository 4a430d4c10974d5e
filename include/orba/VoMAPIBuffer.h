// Owners of what MAPI hands out, so that an exception never leaks it: TVoMAPIBuffer
// frees a buffer with MAPIFreeBuffer, TVoMAPIRows a row set with FreeProws.
#pragma once

#include <utility>

#include "orba/VoMAPIEntryPoints.h"

namespace orba {

// Owns a T* that MAPI handed out and releases it with Free.
template <class T, void (*Free)(T*)>
class TVoMAPIOwned {
 public:
  TVoMAPIOwned() = default;
  explicit TVoMAPIOwned(T* Owned) : owned_(Owned) {}
  TVoMAPIOwned(TVoMAPIOwned&& Other) noexcept : owned_(std::exchange(Other.owned_, nullptr)) {}
  TVoMAPIOwned(const TVoMAPIOwned&) = delete;
  TVoMAPIOwned& operator=(const TVoMAPIOwned&) = delete;
  ~TVoMAPIOwned() {
    // A failing release cannot be reported from a destructor; MAPI's own do not fail.
    try {
      Reset();
    } catch (...) {
    }
  }

  T* get() const { return owned_; }
  T* operator->() const { return owned_; }
  // The address MAPI writes a new one to; the old one is released first.
  T** Out() {
    Reset();
    return &owned_;
  }
  void Reset() {
    if (T* owned = std::exchange(owned_, nullptr)) Free(owned);
  }
  T* Detach() { return std::exchange(owned_, nullptr); }

 private:
  T* owned_ = nullptr;
};

template <class T>
void VoMAPIFreeBuffer(T* Buffer) {
  MAPIFreeBuffer(Buffer);
}

// A buffer of MAPI memory.
template <class T>
using TVoMAPIBuffer = TVoMAPIOwned<T, VoMAPIFreeBuffer<T>>;

// A row set of QueryRows and its kin (rows and their values).
class TVoMAPIRows : public TVoMAPIOwned<SRowSet, FreeProws> {
 public:
  // The number of rows (0 without a row set) and one of them.
  ULONG Count() const { return get() ? get()->cRows : 0; }
  const SRow& operator[](ULONG Index) const { return get()->aRow[Index]; }
};

}  // namespace orba
