#include "orba/common/olestream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "comguard.h"
#include "orba/common/exceptions.h"

namespace orba {

namespace {

constexpr ULONG kChunk = 64 * 1024;

void Check(HRESULT hr, const char16_t* method) {
  if (SUCCEEDED(hr)) return;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  throw EVoException(
      u"IStream." + WideString(method) + u" failed (" + WideString(code, code + std::strlen(code)) + u")", hr);
}

}  // namespace

// --- TVoOleStream ---

TVoOleStream::TVoOleStream(ComPtr<IStream> stream) : stream_(std::move(stream)) {
  if (!stream_) throw EVoException(u"TVoOleStream needs a stream", E_POINTER);
}

size_t TVoOleStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ULONG want = static_cast<ULONG>(std::min<size_t>(count - done, kChunk)), got = 0;
    Check(stream_->Read(static_cast<uint8_t*>(buffer) + done, want, &got), u"Read");
    done += std::min(got, want);
    if (got < want) break;
  }
  return done;
}

size_t TVoOleStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ULONG want = static_cast<ULONG>(std::min<size_t>(count - done, kChunk)), put = 0;
    Check(stream_->Write(static_cast<const uint8_t*>(buffer) + done, want, &put), u"Write");
    done += std::min(put, want);
    if (put < want) break;
  }
  return done;
}

int64_t TVoOleStream::Seek(int64_t offset, TVoSeekOrigin origin) {
  LARGE_INTEGER move;
  move.QuadPart = offset;
  ULARGE_INTEGER position{};
  Check(stream_->Seek(move, static_cast<DWORD>(origin), &position), u"Seek");
  return static_cast<int64_t>(position.QuadPart);
}

int64_t TVoOleStream::Size() {
  STATSTG stat{};
  Check(stream_->Stat(&stat, STATFLAG_NONAME), u"Stat");
  return static_cast<int64_t>(stat.cbSize.QuadPart);
}

void TVoOleStream::SetSize(int64_t size) {
  if (size < 0) throw EVoException(u"Stream seek error", STG_E_INVALIDFUNCTION);
  ULARGE_INTEGER newSize;
  newSize.QuadPart = static_cast<ULONGLONG>(size);
  Check(stream_->SetSize(newSize), u"SetSize");
}

// --- TVoStreamAdapter ---

TVoStreamAdapter::TVoStreamAdapter(std::shared_ptr<TVoStream> stream, WideString name, int64_t position)
    : stream_(std::move(stream)), name_(std::move(name)), position_(position) {
  if (!stream_) throw EVoException(u"TVoStreamAdapter needs a stream", E_POINTER);
}

HRESULT TVoStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead) *pcbRead = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  return VoGuardHResult(STG_E_READFAULT, [&] {
    stream_->SetPosition(position_);
    ULONG n = static_cast<ULONG>(stream_->Read(pv, cb));
    position_ += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  });
}

HRESULT TVoStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  return VoGuardHResult(STG_E_WRITEFAULT, [&] {
    stream_->SetPosition(position_);
    ULONG n = static_cast<ULONG>(stream_->Write(pv, cb));
    position_ += n;
    if (pcbWritten) *pcbWritten = n;
    return n == cb ? S_OK : STG_E_MEDIUMFULL;
  });
}

HRESULT TVoStreamAdapter::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  int64_t base;
  switch (dwOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = position_; break;
    case STREAM_SEEK_END:
      if (HRESULT hr = VoGuardHResult(STG_E_INVALIDFUNCTION,
                                      [&] {
                                        base = stream_->Size();
                                        return S_OK;
                                      });
          FAILED(hr))
        return hr;
      break;
    default: return STG_E_INVALIDFUNCTION;
  }
  int64_t target;
  if (__builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
  position_ = target;
  if (plibNewPosition) plibNewPosition->QuadPart = static_cast<ULONGLONG>(target);
  return S_OK;
}

HRESULT TVoStreamAdapter::SetSize(ULARGE_INTEGER libNewSize) {
  if (libNewSize.QuadPart > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max())) return STG_E_MEDIUMFULL;
  return VoGuardHResult(STG_E_MEDIUMFULL, [&] {
    stream_->SetSize(static_cast<int64_t>(libNewSize.QuadPart));
    return S_OK;
  });
}

HRESULT TVoStreamAdapter::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                 ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (!pstm) return STG_E_INVALIDPOINTER;
  ULONGLONG totalRead = 0, totalWritten = 0;
  HRESULT hr = VoGuardHResult(STG_E_READFAULT, [&] {
    TVoBytes chunk;
    while (totalRead < cb.QuadPart) {
      chunk.resize(static_cast<size_t>(std::min<ULONGLONG>(cb.QuadPart - totalRead, kChunk)));
      stream_->SetPosition(position_);
      ULONG got = static_cast<ULONG>(stream_->Read(chunk.data(), chunk.size()));
      position_ += got;
      totalRead += got;
      if (got == 0) break;
      ULONG put = 0;
      // Read before written: a clone of this stream may be the target.
      HRESULT written = pstm->Write(chunk.data(), got, &put);
      totalWritten += std::min(put, got);
      if (FAILED(written)) return written;
      if (put < got) return STG_E_MEDIUMFULL;
    }
    return S_OK;
  });
  if (pcbRead) pcbRead->QuadPart = totalRead;
  if (pcbWritten) pcbWritten->QuadPart = totalWritten;
  return hr;
}

HRESULT TVoStreamAdapter::Commit(DWORD) { return S_OK; }

HRESULT TVoStreamAdapter::Revert() { return S_OK; }

HRESULT TVoStreamAdapter::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TVoStreamAdapter::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TVoStreamAdapter::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (!pstatstg) return STG_E_INVALIDPOINTER;
  if (grfStatFlag & ~DWORD(STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
  STATSTG stat{};
  stat.type = STGTY_STREAM;
  stat.grfMode = STGM_READWRITE;
  stat.clsid = GUID_NULL;
  HRESULT hr = VoGuardHResult(STG_E_INVALIDFUNCTION, [&] {
    stat.cbSize.QuadPart = static_cast<ULONGLONG>(stream_->Size());
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  if (!(grfStatFlag & STATFLAG_NONAME) && !name_.empty()) {
    hr = VoGuardHResult(STG_E_INSUFFICIENTMEMORY, [&] {
      stat.pwcsName = VoTaskMemString(name_);
      return S_OK;
    });
    if (FAILED(hr)) return hr;
  }
  *pstatstg = stat;
  return S_OK;
}

HRESULT TVoStreamAdapter::Clone(IStream** ppstm) {
  if (!ppstm) return STG_E_INVALIDPOINTER;
  *ppstm = nullptr;
  return VoGuardHResult(STG_E_INSUFFICIENTMEMORY, [&] {
    *ppstm = MakeComObject<TVoStreamAdapter>(stream_, name_, position_).Detach();
    return S_OK;
  });
}

ComPtr<IStream> VoCreateIStream(std::shared_ptr<TVoStream> stream, WideString name) {
  return MakeComObject<TVoStreamAdapter>(std::move(stream), std::move(name));
}

ComPtr<IStream> VoCreateIStream(TVoBytes bytes) {
  return VoCreateIStream(std::make_shared<TVoMemoryStream>(std::move(bytes)));
}

}  // namespace orba
