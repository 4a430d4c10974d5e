// Byte arrays (ILockBytes) over the support layer's streams.
#include <algorithm>

#include "comguard.h"
#include "orba/common/olestream.h"
#include "orba/common/storage.h"

namespace orba {

namespace {

// Reads and writes go to the stream's positions; region locking is not offered
// (STG_E_INVALIDFUNCTION), as with memory arrays.
class TVoLockBytes : public TVoComObject<TVoRefCounted, ILockBytes> {
 public:
  explicit TVoLockBytes(std::shared_ptr<TVoStream> stream) : stream_(std::move(stream)) {
    if (!stream_) throw EVoException(u"TVoLockBytes needs a stream", E_POINTER);
  }

  HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    return VoGuardHResult(STG_E_READFAULT, [&] {
      ULONG n = 0;
      if (ulOffset.QuadPart < ULONGLONG(stream_->Size())) {
        stream_->SetPosition(int64_t(ulOffset.QuadPart));
        n = ULONG(stream_->Read(pv, cb));
      }
      if (pcbRead) *pcbRead = n;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (ulOffset.QuadPart > ULONGLONG(INT64_MAX - cb)) return STG_E_MEDIUMFULL;
    return VoGuardHResult(STG_E_WRITEFAULT, [&] {
      stream_->SetPosition(int64_t(ulOffset.QuadPart));
      ULONG n = ULONG(stream_->Write(pv, cb));
      if (pcbWritten) *pcbWritten = n;
      return n == cb ? S_OK : STG_E_MEDIUMFULL;
    });
  }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER cb) override {
    if (cb.QuadPart > ULONGLONG(INT64_MAX)) return STG_E_MEDIUMFULL;
    return VoGuardHResult(STG_E_MEDIUMFULL, [&] {
      stream_->SetSize(int64_t(cb.QuadPart));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (grfStatFlag & ~DWORD(STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
    return VoGuardHResult(STG_E_INVALIDFUNCTION, [&] {
      *pstatstg = STATSTG{};
      pstatstg->type = STGTY_LOCKBYTES;
      pstatstg->cbSize.QuadPart = ULONGLONG(stream_->Size());
      pstatstg->grfMode = STGM_READWRITE;
      return S_OK;
    });
  }

 private:
  std::shared_ptr<TVoStream> stream_;
};

}  // namespace

ComPtr<ILockBytes> VoCreateLockBytes(std::shared_ptr<TVoStream> stream) {
  return MakeComObject<TVoLockBytes>(std::move(stream));
}

ComPtr<ILockBytes> VoCreateLockBytesOnIStream(ComPtr<IStream> stream) {
  return VoCreateLockBytes(std::make_shared<TVoOleStream>(std::move(stream)));
}

}  // namespace orba
