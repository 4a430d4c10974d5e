// Owners of what MAPI hands out, so that an exception never leaks it: TVoMAPIBuffer
// frees a buffer with MAPIFreeBuffer, TVoMAPIRows a row set with FreeProws.
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

// A row set of QueryRows and its kin, freed with FreeProws (rows and their values).
class TVoMAPIRows {
 public:
  TVoMAPIRows() = default;
  TVoMAPIRows(const TVoMAPIRows&) = delete;
  TVoMAPIRows& operator=(const TVoMAPIRows&) = delete;
  ~TVoMAPIRows() {
    try {
      Reset();
    } catch (...) {
    }
  }

  // The address MAPI writes a new row set to; the old one is freed first.
  LPSRowSet* Out() {
    Reset();
    return &rows_;
  }
  void Reset() {
    if (LPSRowSet rows = std::exchange(rows_, nullptr)) FreeProws(rows);
  }
  // The number of rows (0 without a row set) and one of them.
  ULONG Count() const { return rows_ ? rows_->cRows : 0; }
  const SRow& operator[](ULONG Index) const { return rows_->aRow[Index]; }

 private:
  LPSRowSet rows_ = nullptr;
};

}  // namespace orba
