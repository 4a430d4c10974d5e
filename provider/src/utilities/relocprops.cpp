// ScRelocProps: the pointers of a property value array packed by ScCopyProps, moved
// from one base address to another (a block copied elsewhere, or written to a file with
// pointers relative to 0 and read back). The array itself lies at one of the two bases,
// where its data can be read; every pointer must lead into that block, after the array,
// and the data it leads to must lie inside the block (a MAPI buffer's size bounds it;
// elsewhere the readable pages do). The array is checked whole before any pointer
// changes, so a bad array is answered with MAPI_E_INVALID_PARAMETER and left as it was.
#include <cstdint>
#include <optional>
#include <string>

#include "base/export.h"
#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/memoryprobe.h"
#include "props/valuecopy.h"

namespace orba::store {

namespace {

[[noreturn]] void Refuse(const char* why) { throw TMapiError(MAPI_E_INVALID_PARAMETER, why); }

size_t Rounded(size_t bytes) { return (bytes + kPackedAlignment - 1) & ~(kPackedAlignment - 1); }

class TRelocation {
 public:
  TRelocation(SPropValue* values, size_t count, uintptr_t oldBase, uintptr_t newBase)
      : values_(values),
        count_(count),
        old_(oldBase),
        new_(newBase),
        live_(reinterpret_cast<uintptr_t>(values)),
        arrayBytes_(count * sizeof(SPropValue)),
        bound_(MapiBlockSize(values)) {
    if (live_ != old_ && live_ != new_) Refuse("the values lie at neither base");
    if (live_ % alignof(SPropValue)) Refuse("misaligned values");
    if (!IsReadableRange(values, arrayBytes_)) Refuse("the values cannot be read");
  }

  // Checks every pointer (apply false), then moves them (apply true); the bytes of the
  // array and its data.
  size_t Walk(bool apply) {
    apply_ = apply;
    size_ = arrayBytes_;
    for (size_t i = 0; i < count_; ++i) Value(values_[i]);
    return size_;
  }

 private:
  // Where the data a pointer of the array leads to lies now, after checking that size
  // bytes from there are inside the block, after the values.
  uintptr_t Live(uintptr_t pointer, size_t size) const {
    uintptr_t offset = pointer - old_;
    if (pointer < old_ || offset < arrayBytes_ || offset + size < offset) Refuse("a pointer outside the block");
    if (bound_ ? offset + size > *bound_ : !IsReadableRange(reinterpret_cast<void*>(live_ + offset), size))
      Refuse("data past the end of the block");
    return live_ + offset;
  }

  // A block of size bytes at *slot: checked and counted, then moved.
  template <class T>
  T* Block(T*& slot, size_t size) {
    if (!slot) {
      if (size) Refuse("a null pointer with data");
      return nullptr;
    }
    uintptr_t address = Live(reinterpret_cast<uintptr_t>(slot), size);
    if (address % alignof(T)) Refuse("a misaligned pointer");
    auto* live = reinterpret_cast<T*>(address);
    size_ += Rounded(size);
    if (apply_) slot = reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(slot) - old_ + new_);
    return live;
  }

  template <class Char>
  void Text(Char*& slot) {
    if (!slot) Refuse("a null text");
    uintptr_t address = Live(reinterpret_cast<uintptr_t>(slot), sizeof(Char));
    if (address % alignof(Char)) Refuse("a misaligned text");
    auto* live = reinterpret_cast<const Char*>(address);
    size_t room = bound_ ? (*bound_ - (reinterpret_cast<uintptr_t>(live) - live_)) / sizeof(Char) : SIZE_MAX;
    std::optional<size_t> length = ReadableTextLength(live, room);
    if (!length) Refuse("a text without its terminator");
    Block(slot, (*length + 1) * sizeof(Char));
  }

  template <class Element>
  void Array(Element*& slot, ULONG count) {
    Block(slot, size_t{count} * sizeof(Element));
  }

  void Value(SPropValue& value) {
    __UPV& v = value.Value;
    ULONG type = PROP_TYPE(value.ulPropTag) & ~MV_INSTANCE;
    if (IsFixedSizeType(type)) return;
    switch (type) {
      case PT_STRING8: Text(v.lpszA); break;
      case PT_UNICODE: Text(v.lpszW); break;
      case PT_BINARY:
      case PT_SVREID: Array(v.bin.lpb, v.bin.cb); break;
      case PT_CLSID: Array(v.lpguid, 1); break;
      case PT_MV_I2: Array(v.MVi.lpi, v.MVi.cValues); break;
      case PT_MV_LONG: Array(v.MVl.lpl, v.MVl.cValues); break;
      case PT_MV_R4: Array(v.MVflt.lpflt, v.MVflt.cValues); break;
      case PT_MV_DOUBLE: Array(v.MVdbl.lpdbl, v.MVdbl.cValues); break;
      case PT_MV_CURRENCY: Array(v.MVcur.lpcur, v.MVcur.cValues); break;
      case PT_MV_APPTIME: Array(v.MVat.lpat, v.MVat.cValues); break;
      case PT_MV_SYSTIME: Array(v.MVft.lpft, v.MVft.cValues); break;
      case PT_MV_CLSID: Array(v.MVguid.lpguid, v.MVguid.cValues); break;
      case PT_MV_I8: Array(v.MVli.lpli, v.MVli.cValues); break;
      case PT_MV_BINARY: {
        ULONG count = v.MVbin.cValues;
        SBinary* items = Block(v.MVbin.lpbin, size_t{count} * sizeof(SBinary));
        for (ULONG i = 0; i < count; ++i) Array(items[i].lpb, items[i].cb);
        break;
      }
      case PT_MV_STRING8: Texts(v.MVszA.lppszA, v.MVszA.cValues); break;
      case PT_MV_UNICODE: Texts(v.MVszW.lppszW, v.MVszW.cValues); break;
      default: Refuse("a property type that cannot be relocated");
    }
  }

  template <class Char>
  void Texts(Char**& slot, ULONG count) {
    Char** items = Block(slot, size_t{count} * sizeof(Char*));
    for (ULONG i = 0; i < count; ++i) Text(items[i]);
  }

  SPropValue* values_;
  size_t count_;
  uintptr_t old_, new_, live_;
  size_t arrayBytes_;
  std::optional<size_t> bound_;
  bool apply_ = false;
  size_t size_ = 0;
};

}  // namespace

}  // namespace orba::store

ORBASTORE_EXPORT SCODE ScRelocProps(int cValues, LPSPropValue lpPropArray, LPVOID lpvBaseOld, LPVOID lpvBaseNew,
                                    ULONG* lpcb) {
  if (cValues < 0 || (cValues > 0 && !lpPropArray)) return MAPI_E_INVALID_PARAMETER;
  if (cValues == 0) {
    if (lpcb) *lpcb = 0;
    return S_OK;
  }
  return orba::store::Guarded([&] {
    orba::store::TRelocation relocation(lpPropArray, static_cast<size_t>(cValues),
                                        reinterpret_cast<uintptr_t>(lpvBaseOld),
                                        reinterpret_cast<uintptr_t>(lpvBaseNew));
    relocation.Walk(false);
    size_t size = relocation.Walk(true);
    if (lpcb) *lpcb = static_cast<ULONG>(size);
    return S_OK;
  });
}
