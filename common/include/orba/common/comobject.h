// Implementing COM-style interfaces: interface traits (identifier and parent of every
// interface), TVoComObject, which answers QueryInterface along each implemented
// interface's parent chain, and MakeComObject.
#pragma once

#include <atomic>
#include <tuple>
#include <type_traits>
#include <utility>

#include "orba/common/com.h"
#include "orba/common/comptr.h"

namespace orba {

// Specialised for every interface through ORBA_DECLARE_INTERFACE.
template <class I>
struct InterfaceTraits;

template <>
struct InterfaceTraits<IUnknown> {
  static constexpr const IID& Iid() { return IID_IUnknown; }
  using Base = void;
};

// Declares interface I with identifier IID_I and parent interface BASE. Use at global
// scope, after the interface's declaration.
#define ORBA_DECLARE_INTERFACE(I, BASE, IID_I)          \
  template <>                                           \
  struct orba::InterfaceTraits<I> {                     \
    static constexpr const IID& Iid() { return IID_I; } \
    using Base = BASE;                                  \
  }

}  // namespace orba

// The base interfaces of com.h.
ORBA_DECLARE_INTERFACE(IMalloc, IUnknown, IID_IMalloc);
ORBA_DECLARE_INTERFACE(ISequentialStream, IUnknown, IID_ISequentialStream);
ORBA_DECLARE_INTERFACE(IStream, ISequentialStream, IID_IStream);

namespace orba {

// The identifier of interface I.
template <class I>
constexpr const IID& IidOf() {
  return InterfaceTraits<I>::Iid();
}

// True when iid names I or one of its ancestors.
template <class I>
constexpr bool InterfaceChainHas(REFIID iid) {
  if (iid == InterfaceTraits<I>::Iid()) return true;
  if constexpr (std::is_void_v<typename InterfaceTraits<I>::Base>)
    return false;
  else
    return InterfaceChainHas<typename InterfaceTraits<I>::Base>(iid);
}

// Reference counting shared by every object of the code base. Objects start with no
// reference; MakeComObject hands out the first one.
class TVoRefCounted {
 public:
  TVoRefCounted() = default;
  TVoRefCounted(const TVoRefCounted&) = delete;
  TVoRefCounted& operator=(const TVoRefCounted&) = delete;
  virtual ~TVoRefCounted() = default;

  ULONG DoAddRef() { return ++refCount_; }
  // Adds a reference unless the last one is already gone: for a caller on another thread
  // that holds a plain pointer and must not revive an object being released.
  bool TryAddRef() {
    ULONG count = refCount_.load();
    while (count != 0)
      if (refCount_.compare_exchange_weak(count, count + 1)) return true;
    return false;
  }
  // The last release runs BeforeDestruction under a guard reference (so that objects
  // it notifies may AddRef/Release this one without a second deletion), then deletes.
  ULONG DoRelease() {
    ULONG left = --refCount_;
    if (left == 0) {
      refCount_ = 1;
      BeforeDestruction();
      delete this;
    }
    return left;
  }
  ULONG RefCount() const { return refCount_; }

 protected:
  // Runs while the object is still complete (virtual calls reach the most derived class).
  virtual void BeforeDestruction() {}
  // The interfaces a COM object answers beyond the ones its class lists (TVoComObject
  // answers through this when an implementation base is itself a COM object).
  virtual HRESULT QueryExtraInterface(REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> refCount_{0};
};

// Implements IUnknown for a class that implements Interfaces... (each may be a
// leaf of a chain: asking for any ancestor answers that interface's pointer).
// Base is the implementation base (TVoRefCounted or a class derived from it).
template <class Base, class... Interfaces>
class TVoComObject : public Base, public Interfaces... {
  static_assert(std::is_base_of_v<TVoRefCounted, Base>);

 public:
  using Base::Base;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) {
      *out = static_cast<IUnknown*>(FirstInterface());
    } else if (!((InterfaceChainHas<Interfaces>(iid) && (*out = static_cast<Interfaces*>(this), true)) || ...)) {
      return QueryExtraInterface(iid, out);
    }
    this->DoAddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return this->DoAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return this->DoRelease(); }

 protected:
  // Interfaces answered beyond the static list; must AddRef what it returns. By default
  // the implementation base answers the interfaces it implements itself, when it has a
  // QueryBaseInterface(iid, out) of that contract.
  HRESULT QueryExtraInterface(REFIID iid, void** out) override {
    if constexpr (requires(Base & base) { base.QueryBaseInterface(iid, out); })
      return Base::QueryBaseInterface(iid, out);
    else
      return E_NOINTERFACE;
  }

 private:
  using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  First* FirstInterface() { return static_cast<First*>(this); }
};

// Creates T and returns the first reference to it as a ComPtr<T>.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace orba
