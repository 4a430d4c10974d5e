#include "props/propertystream.h"
#include "base/lasterror.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/maperror.h"

namespace orba::store {

namespace {

// A property value's size is a ULONG.
constexpr uint64_t kMaxStreamSize = std::numeric_limits<ULONG>::max();

}  // namespace

TPropertyStream::TPropertyStream(TPropObjectBase* owner, ULONG tag, std::vector<BYTE> data, bool writable, bool dirty)
    : owner_(owner), tag_(tag), data_(std::move(data)), writable_(writable), dirty_(dirty) {
  owner_->DoAddRef();
}

TPropertyStream::~TPropertyStream() {
  // Released without Commit: MAPI's streams keep what was written.
  if (dirty_) Commit(STGC_DEFAULT);
  owner_->DoRelease();
}

HRESULT TPropertyStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (!pv && cb) return STG_E_INVALIDPOINTER;
  size_t n = position_ < data_.size() ? std::min<size_t>(cb, data_.size() - position_) : 0;
  if (n) std::memcpy(pv, data_.data() + position_, n);
  position_ += n;
  if (pcbRead) *pcbRead = static_cast<ULONG>(n);
  return S_OK;
}

HRESULT TPropertyStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (!writable_) return STG_E_ACCESSDENIED;
  if (!pv && cb) return STG_E_INVALIDPOINTER;
  if (position_ + cb > kMaxStreamSize) return STG_E_MEDIUMFULL;
  try {
    if (position_ + cb > data_.size()) data_.resize(position_ + cb);
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  if (cb) std::memcpy(data_.data() + position_, pv, cb);
  position_ += cb;
  dirty_ = dirty_ || cb > 0;
  if (pcbWritten) *pcbWritten = cb;
  return S_OK;
}

HRESULT TPropertyStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  int64_t base = 0;
  switch (dwOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
    case STREAM_SEEK_END: base = static_cast<int64_t>(data_.size()); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  int64_t target = base + dlibMove.QuadPart;
  if (target < 0) return STG_E_INVALIDFUNCTION;
  position_ = static_cast<size_t>(target);
  if (plibNewPosition) plibNewPosition->QuadPart = position_;
  return S_OK;
}

HRESULT TPropertyStream::SetSize(ULARGE_INTEGER libNewSize) {
  if (!writable_) return STG_E_ACCESSDENIED;
  if (libNewSize.QuadPart > kMaxStreamSize) return STG_E_MEDIUMFULL;
  try {
    data_.resize(static_cast<size_t>(libNewSize.QuadPart));
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  dirty_ = true;
  return S_OK;
}

HRESULT TPropertyStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (!pstm) return STG_E_INVALIDPOINTER;
  uint64_t available = position_ < data_.size() ? data_.size() - position_ : 0;
  uint64_t n = std::min<uint64_t>(cb.QuadPart, available);
  uint64_t written = 0;
  HRESULT hr = S_OK;
  while (written < n && SUCCEEDED(hr)) {
    ULONG chunk = static_cast<ULONG>(std::min<uint64_t>(n - written, 1u << 20));
    ULONG done = 0;
    hr = pstm->Write(data_.data() + position_ + written, chunk, &done);
    written += done;
    if (SUCCEEDED(hr) && done < chunk) hr = STG_E_MEDIUMFULL;
  }
  position_ += static_cast<size_t>(n);
  if (pcbRead) pcbRead->QuadPart = n;
  if (pcbWritten) pcbWritten->QuadPart = written;
  return hr;
}

HRESULT TPropertyStream::Commit(DWORD /*grfCommitFlags*/) {
  if (!writable_ || !dirty_) return S_OK;
  HRESULT hr = Guarded([&] {
    owner_->StoreStreamValue(tag_, data_);
    return S_OK;
  });
  if (SUCCEEDED(hr)) dirty_ = false;
  return hr;
}

HRESULT TPropertyStream::Revert() {
  if (!dirty_) return S_OK;
  return Guarded([&] {
    // Back to the property's current value (none: an empty stream).
    try {
      data_ = owner_->ReadStreamValue(tag_);
    } catch (const TMapiError& e) {
      if (e.Code() != MAPI_E_NOT_FOUND) throw;
      data_.clear();
    }
    position_ = std::min(position_, data_.size());
    dirty_ = false;
    return S_OK;
  });
}

HRESULT TPropertyStream::Stat(STATSTG* pstatstg, DWORD /*grfStatFlag*/) {
  if (!pstatstg) return STG_E_INVALIDPOINTER;
  *pstatstg = {};
  pstatstg->type = STGTY_STREAM;
  pstatstg->cbSize.QuadPart = data_.size();
  pstatstg->grfMode = writable_ ? STGM_READWRITE : STGM_READ;
  return S_OK;
}

HRESULT TPropertyStream::Clone(IStream** ppstm) {
  if (!ppstm) return STG_E_INVALIDPOINTER;
  *ppstm = nullptr;
  // A clone reads the same bytes from the same position; it never writes back.
  return Guarded([&] {
    auto clone = MakeComObject<TPropertyStream>(owner_, tag_, data_, false, false);
    clone->position_ = position_;
    *ppstm = clone.Detach();
    return S_OK;
  });
}

}  // namespace orba::store
