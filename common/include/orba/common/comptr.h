// ComPtr<T>: the owning smart pointer of reference-counted interfaces.
#pragma once

#include <utility>

#include "orba/common/com.h"

namespace orba {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) : ptr_(p) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.ptr_) {}
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) {
    ComPtr result;
    result.ptr_ = p;
    return result;
  }
  // Gives up ownership without releasing.
  T* Detach() { return std::exchange(ptr_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(ptr_, nullptr)) p->Release();
  }
  // Releases the current reference and returns the slot for an out-parameter.
  T** Out() {
    Reset();
    return &ptr_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

  // QueryInterface for iid, typed as U; empty when the object lacks the interface.
  template <class U>
  ComPtr<U> Query(REFIID iid) const {
    ComPtr<U> result;
    if (ptr_) ptr_->QueryInterface(iid, result.OutVoid());
    return result;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.ptr_ == b.ptr_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.ptr_ == nullptr; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace orba
