// Streams across the COM boundary, both ways: TVoOleStream is a TVoStream over an
// IStream; TVoStreamAdapter is an IStream over a TVoStream (VoCreateIStream).
#pragma once

#include <memory>

#include "orba/common/com.h"
#include "orba/common/comobject.h"
#include "orba/common/comptr.h"
#include "orba/common/streams.h"

namespace orba {

// A TVoStream over a COM IStream; a failing call raises EVoException with its HRESULT
// ("IStream.Read failed (0x80030103)").
class TVoOleStream : public TVoStream {
 public:
  // Raises E_POINTER for a null stream.
  explicit TVoOleStream(ComPtr<IStream> stream);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TVoSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  const ComPtr<IStream>& Stream() const { return stream_; }

 private:
  ComPtr<IStream> stream_;
};

// An IStream over a TVoStream, behaving as the system's memory streams do: readable and
// writable, not transacted (Commit and Revert do nothing), no region locking
// (STG_E_INVALIDFUNCTION). Clones share the stream, each with its own position. Bad
// arguments give STG_E_INVALIDPOINTER and the like; no exception leaves a method.
class TVoStreamAdapter : public TVoComObject<TVoRefCounted, IStream> {
 public:
  // name is what Stat reports (none when empty).
  TVoStreamAdapter(std::shared_ptr<TVoStream> stream, WideString name = {}, int64_t position = 0);

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

  const std::shared_ptr<TVoStream>& Stream() const { return stream_; }

 private:
  std::shared_ptr<TVoStream> stream_;
  WideString name_;
  int64_t position_;
};

// An IStream over stream (null raises E_POINTER).
ComPtr<IStream> VoCreateIStream(std::shared_ptr<TVoStream> stream, WideString name = {});
// An IStream over a memory buffer that starts with bytes.
ComPtr<IStream> VoCreateIStream(TVoBytes bytes = {});

}  // namespace orba
