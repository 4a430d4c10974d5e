// The IStream OpenProperty hands out over a binary or string property: it works on
// a copy of the value and writes it back into its object on Commit, or on its
// final Release when it was changed and never committed.
#pragma once

#include <vector>

#include "mapi/mapidefs.h"
#include "mapi/storage.h"
#include "props/propobject.h"

namespace orba::store {

class TPropertyStream : public TVoComObject<TVoRefCounted, IStream> {
 public:
  TPropertyStream(TPropObjectBase* owner, ULONG tag, std::vector<BYTE> data, bool writable, bool dirty);
  ~TPropertyStream() override;

  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override;
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
  STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) override;
  STDMETHOD(CopyTo)(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override;
  STDMETHOD(Commit)(DWORD grfCommitFlags) override;
  STDMETHOD(Revert)() override;
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) override;
  STDMETHOD(Clone)(IStream** ppstm) override;

 private:
  TPropObjectBase* owner_;  // holds a reference
  ULONG tag_;
  std::vector<BYTE> data_;
  size_t position_ = 0;
  bool writable_;
  bool dirty_;
};

}  // namespace orba::store
