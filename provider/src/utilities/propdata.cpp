// CreateIProp's property data object (IPropData): the property object engine
// (props/propobject.h) kept in memory and not transacted, with an access level for the
// whole object and one for each property, and each property's state (clean or dirty).
//
// A read-only object refuses every change with MAPI_E_NO_ACCESS; a read-only property
// is reported with MAPI_E_NO_ACCESS in the problem array of SetProps and DeleteProps
// while the other properties change. A property becomes dirty when it is set or deleted;
// HrSetPropAccess sets both its access and its state. Memory the object hands out comes
// from the allocators given to CreateIProp.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "base/export.h"
#include "base/lasterror.h"
#include "mapi/mapiexports.h"
#include "props/propobject.h"
#include "props/valuecopy.h"

namespace orba::store {

namespace {

constexpr ULONG kAccessLevels = IPROP_READONLY | IPROP_READWRITE;
constexpr ULONG kStates = IPROP_CLEAN | IPROP_DIRTY;

// The allocators of the caller; memory made with Orba Store's own is handed over
// unchanged, otherwise it is copied into the caller's and ours is freed.
class TCallerMemory {
 public:
  TCallerMemory(LPALLOCATEBUFFER buffer, LPALLOCATEMORE more, LPFREEBUFFER free)
      : buffer_(buffer),
        more_(more),
        free_(free),
        own_(buffer == &MAPIAllocateBuffer && more == &MAPIAllocateMore && free == &MAPIFreeBuffer) {}

  // A new buffer of bytes from the caller's allocator (zero-filled).
  void* Allocate(size_t bytes) const {
    if (own_) return AllocateBuffer(bytes);
    void* block = nullptr;
    SCODE sc = bytes <= ULONG_MAX ? buffer_(static_cast<ULONG>(bytes), &block) : MAPI_E_NOT_ENOUGH_MEMORY;
    if (FAILED(sc) || !block) throw TMapiError(FAILED(sc) ? sc : MAPI_E_NOT_ENOUGH_MEMORY, "AllocateBuffer failed");
    std::memset(block, 0, bytes);
    return block;
  }

  // A structure of bytes without pointers, handed over in the caller's memory.
  template <class T>
  T* Flat(T* ours, size_t bytes) const {
    TMapiBuffer<T> holder(ours);
    if (own_ || !ours) return holder.Release();
    void* copy = Allocate(bytes);
    std::memcpy(copy, ours, bytes);
    return static_cast<T*>(copy);
  }

  LPSPropValue Values(LPSPropValue ours, ULONG count) const {
    TMapiBuffer<SPropValue> holder(ours);
    if (own_ || !ours) return holder.Release();
    return Deep<SPropValue>(sizeof(SPropValue) * count, [&](LPSPropValue copy, TCopySpace& space) {
      for (ULONG i = 0; i < count; ++i) CopyPropValue(ours[i], copy[i], space);
    });
  }

  LPMAPIERROR Error(LPMAPIERROR ours, bool unicode) const {
    TMapiBuffer<MAPIERROR> holder(ours);
    if (own_ || !ours) return holder.Release();
    return Deep<MAPIERROR>(sizeof(MAPIERROR),
                           [&](LPMAPIERROR copy, TCopySpace& space) { CopyMapiError(*ours, *copy, unicode, space); });
  }

 private:
  // A new buffer of bytes from the caller's allocator that fill(buffer, space) fills,
  // chaining what else it needs with the caller's AllocateMore; when that fails partway,
  // the buffer goes back to the caller's FreeBuffer.
  template <class T, class Fill>
  T* Deep(size_t bytes, Fill fill) const {
    auto* copy = static_cast<T*>(Allocate(bytes));
    try {
      TCopySpace space(copy, more_);
      fill(copy, space);
    } catch (...) {
      free_(copy);
      throw;
    }
    return copy;
  }

  LPALLOCATEBUFFER buffer_;
  LPALLOCATEMORE more_;
  LPFREEBUFFER free_;
  bool own_;
};

class TPropData final : public TPropObject<IPropData> {
 public:
  explicit TPropData(TCallerMemory memory)
      : TPropObject<IPropData>(TPropObjectOptions{TAccessMode::ReadWrite, false, nullptr}), memory_(memory) {}

  // --- IMAPIProp: the engine's, with the results in the caller's memory ---
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override {
    return Handed(DoGetLastError(hResult, ulFlags, lppMAPIError), lppMAPIError,
                  [&](LPMAPIERROR error) { return memory_.Error(error, (ulFlags & MAPI_UNICODE) != 0); });
  }
  STDMETHOD(GetProps)
  (LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray) override {
    return Handed(DoGetProps(lpPropTagArray, ulFlags, lpcValues, lppPropArray), lppPropArray,
                  [&](LPSPropValue values) { return memory_.Values(values, *lpcValues); });
  }
  STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) override {
    return Handed(DoGetPropList(ulFlags, lppPropTagArray), lppPropTagArray,
                  [&](LPSPropTagArray tags) { return memory_.Flat(tags, CbSPropTagArray(tags)); });
  }
  STDMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) override {
    return HandedProblems(DoSetProps(cValues, lpPropArray, lppProblems), lppProblems);
  }
  STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) override {
    return HandedProblems(DoDeleteProps(lpPropTagArray, lppProblems), lppProblems);
  }
  STDMETHOD(CopyTo)
  (ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
   LPSPropProblemArray* lppProblems) override {
    return HandedProblems(DoCopyTo(ciidExclude, rgiidExclude, lpExcludeProps, ulUIParam, lpProgress, lpInterface,
                                   lpDestObj, ulFlags, lppProblems),
                          lppProblems);
  }
  STDMETHOD(CopyProps)
  (LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
   ULONG ulFlags, LPSPropProblemArray* lppProblems) override {
    return HandedProblems(
        DoCopyProps(lpIncludeProps, ulUIParam, lpProgress, lpInterface, lpDestObj, ulFlags, lppProblems), lppProblems);
  }

  // --- IPropData ---
  STDMETHOD(HrSetObjAccess)(ULONG ulAccess) override {
    if (ulAccess != IPROP_READONLY && ulAccess != IPROP_READWRITE)
      return Fail(MAPI_E_INVALID_PARAMETER, "HrSetObjAccess: IPROP_READONLY or IPROP_READWRITE expected");
    auto lock = Lock();
    SetAccess(ulAccess == IPROP_READONLY ? TAccessMode::ReadOnly : TAccessMode::ReadWrite);
    return S_OK;
  }

  STDMETHOD(HrSetPropAccess)(LPSPropTagArray lpPropTagArray, ULONG* rgulAccess) override {
    if (!lpPropTagArray || !rgulAccess) return Fail(MAPI_E_INVALID_PARAMETER, "HrSetPropAccess: invalid parameter");
    return Guarded(LastError(), "HrSetPropAccess", [&] {
      auto lock = Lock();
      if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the object is read-only");
      for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        ULONG access = rgulAccess[i];
        if ((access & ~(kAccessLevels | kStates)) || (access & kAccessLevels) == kAccessLevels ||
            (access & kAccessLevels) == 0 || (access & kStates) == kStates)
          throw TMapiError(MAPI_E_INVALID_PARAMETER, "an invalid combination of flags");
      }
      for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        TPropState& state = states_[PROP_ID(lpPropTagArray->aulPropTag[i])];
        if (!state.tag) state.tag = lpPropTagArray->aulPropTag[i];
        state.access = rgulAccess[i] & kAccessLevels;
        if (rgulAccess[i] & kStates) state.dirty = (rgulAccess[i] & IPROP_DIRTY) != 0;
      }
      return S_OK;
    });
  }

  STDMETHOD(HrGetPropAccess)(LPSPropTagArray* lppPropTagArray, ULONG** lprgulAccess) override {
    if (!lppPropTagArray || !lprgulAccess) return Fail(MAPI_E_INVALID_PARAMETER, "HrGetPropAccess: invalid parameter");
    return Guarded(LastError(), "HrGetPropAccess", [&] {
      auto lock = Lock();
      LPSPropTagArray tags = *lppPropTagArray;
      TMapiBuffer<SPropTagArray> listed;
      if (!tags) {
        listed.Reset(AllTags());
        tags = listed.get();
      }
      auto* access = static_cast<ULONG*>(memory_.Allocate(sizeof(ULONG) * std::max<ULONG>(tags->cValues, 1)));
      for (ULONG i = 0; i < tags->cValues; ++i) access[i] = AccessOf(PROP_ID(tags->aulPropTag[i]));
      if (listed) *lppPropTagArray = memory_.Flat(listed.Release(), CbSPropTagArray(tags));
      *lprgulAccess = access;
      return S_OK;
    });
  }

  STDMETHOD(HrAddObjProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) override {
    if (!lpPropTagArray) return Fail(MAPI_E_INVALID_PARAMETER, "HrAddObjProps: invalid parameter");
    if (lppProblems) *lppProblems = nullptr;
    return Guarded(LastError(), "HrAddObjProps", [&] {
      auto lock = Lock();
      if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the object is read-only");
      for (ULONG i = 0; i < lpPropTagArray->cValues; ++i)
        if (PROP_TYPE(lpPropTagArray->aulPropTag[i]) != PT_OBJECT)
          throw TMapiError(MAPI_E_INVALID_TYPE, "a property type other than PT_OBJECT");
      for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        SPropValue value{};
        value.ulPropTag = lpPropTagArray->aulPropTag[i];
        Load(value);
        MarkChanged(value.ulPropTag, false);
      }
      return S_OK;
    });
  }

 protected:
  // Not transacted: every change arrives here at once.
  void Persist(const TPropChanges& changes, ULONG) override {
    for (ULONG id : changes.changed) MarkChanged(Bag().Find(id)->ulPropTag, false);
    for (ULONG id : changes.deleted) MarkChanged(PROP_TAG(PT_UNSPECIFIED, id), true);
  }
  HRESULT PropertyWriteAccess(ULONG propId) const override {
    auto found = states_.find(propId);
    return found != states_.end() && found->second.access == IPROP_READONLY ? MAPI_E_NO_ACCESS : S_OK;
  }

 private:
  struct TPropState {
    ULONG tag = 0;
    ULONG access = IPROP_READWRITE;
    bool dirty = false;
    bool deleted = false;
  };

  void MarkChanged(ULONG tag, bool deleted) {
    TPropState& state = states_[PROP_ID(tag)];
    if (!deleted) state.tag = tag;
    state.dirty = true;
    state.deleted = deleted;
  }

  // The flags HrGetPropAccess reports: a deleted property 0, a changed one IPROP_DIRTY,
  // any other its access level.
  ULONG AccessOf(ULONG propId) const {
    auto found = states_.find(propId);
    if (found == states_.end()) return IPROP_READWRITE;
    if (found->second.deleted) return 0;
    return found->second.dirty ? IPROP_DIRTY : found->second.access;
  }

  // The object's properties and those deleted from it.
  LPSPropTagArray AllTags() const {
    std::vector<ULONG> tags = Bag().Tags();
    for (const auto& [id, state] : states_)
      if (state.deleted && state.tag) tags.push_back(state.tag);
    auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
    list->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), list->aulPropTag);
    return list.Release();
  }

  // A result the engine made in Orba Store's memory, handed to the caller in theirs.
  template <class T, class Rehome>
  HRESULT Handed(HRESULT hr, T** out, Rehome rehome) {
    if (FAILED(hr) || !out || !*out) return hr;
    return Guarded(LastError(), nullptr, [&] {
      T* ours = std::exchange(*out, nullptr);
      *out = rehome(ours);
      return hr;
    });
  }
  HRESULT HandedProblems(HRESULT hr, LPSPropProblemArray* out) {
    return Handed(hr, out,
                  [&](LPSPropProblemArray problems) { return memory_.Flat(problems, CbSPropProblemArray(problems)); });
  }

  TCallerMemory memory_;
  std::map<ULONG, TPropState> states_;
};

}  // namespace

}  // namespace orba::store

ORBASTORE_EXPORT SCODE CreateIProp(LPCIID lpInterface, ALLOCATEBUFFER* lpAllocateBuffer, ALLOCATEMORE* lpAllocateMore,
                                   FREEBUFFER* lpFreeBuffer, LPVOID /*lpvReserved*/, LPPROPDATA* lppPropData) {
  using namespace orba::store;
  if (!lppPropData || !lpAllocateBuffer || !lpAllocateMore || !lpFreeBuffer) return MAPI_E_INVALID_PARAMETER;
  *lppPropData = nullptr;
  if (lpInterface && *lpInterface != IID_IMAPIPropData) return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return Guarded([&] {
    *lppPropData =
        orba::MakeComObject<TPropData>(TCallerMemory(lpAllocateBuffer, lpAllocateMore, lpFreeBuffer)).Detach();
    return S_OK;
  });
}
