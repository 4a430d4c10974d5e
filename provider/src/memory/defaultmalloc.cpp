// MAPIGetDefaultMalloc: one process-wide IMalloc. Its blocks carry the same kind of
// header as MAPI buffers (with their own magic value), so that GetSize and DidAlloc
// can answer for them.
#include <algorithm>
#include <cstring>
#include <optional>

#include "base/export.h"
#include "mapi/mapiexports.h"
#include "memory/memoryblock.h"
#include "memory/memoryprobe.h"

namespace orba::store {

namespace {

class TDefaultMalloc final : public IMalloc {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IMalloc) return E_NOINTERFACE;
    *out = static_cast<IMalloc*>(this);
    AddRef();
    return S_OK;
  }
  // The singleton lives as long as the library: references are not counted.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  void* STDMETHODCALLTYPE Alloc(size_t cb) override {
    BlockHeader* header = NewMallocBlock(cb);
    return header ? header + 1 : nullptr;
  }
  void* STDMETHODCALLTYPE Realloc(void* pv, size_t cb) override {
    if (!pv) return Alloc(cb);
    BlockHeader* old = HeaderOf(pv, kMallocMagic);
    if (!old) return nullptr;
    if (cb == 0) {
      DeleteMallocBlock(old);
      return nullptr;
    }
    void* fresh = Alloc(cb);
    if (!fresh) return nullptr;  // the old block stays valid, as realloc's does
    std::memcpy(fresh, pv, std::min(cb, old->size));
    DeleteMallocBlock(old);
    return fresh;
  }
  void STDMETHODCALLTYPE Free(void* pv) override {
    if (BlockHeader* header = HeaderOf(pv, kMallocMagic)) DeleteMallocBlock(header);
  }
  // Asked about any pointer: its header is read only through the memory probe.
  size_t STDMETHODCALLTYPE GetSize(void* pv) override {
    std::optional<size_t> size = DefaultMallocBlockSize(pv);
    return size ? *size : static_cast<size_t>(-1);
  }
  int STDMETHODCALLTYPE DidAlloc(void* pv) override {
    if (!pv) return -1;
    return DefaultMallocBlockSize(pv) ? 1 : 0;
  }
  void STDMETHODCALLTYPE HeapMinimize() override {}
};

}  // namespace

}  // namespace orba::store

ORBASTORE_EXPORT LPMALLOC MAPIGetDefaultMalloc() {
  static orba::store::TDefaultMalloc instance;
  return &instance;
}
