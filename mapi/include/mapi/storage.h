// OLE structured storage: storages, their element enumerator and byte arrays, in the
// published method order of OBJIDL.H. Streams are declared with the COM base types.
#pragma once

#include "orba/common/comobject.h"

struct IStorage;
struct IEnumSTATSTG;
struct ILockBytes;
using LPSTORAGE = IStorage*;
using LPENUMSTATSTG = IEnumSTATSTG*;
using LPLOCKBYTES = ILockBytes*;

// A block of element names to leave out, terminated by a null pointer.
using SNB = LPOLESTR*;

// MoveElementTo.
enum STGMOVE : DWORD { STGMOVE_MOVE = 0, STGMOVE_COPY = 1, STGMOVE_SHALLOWCOPY = 2 };

// Enumerates the elements of a storage.
struct IEnumSTATSTG : IUnknown {
  STDMETHOD(Next)(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) PURE;
  STDMETHOD(Skip)(ULONG celt) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumSTATSTG** ppenum) PURE;
};

// A storage: a directory of streams and sub-storages.
struct IStorage : IUnknown {
  STDMETHOD(CreateStream)
  (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2, IStream** ppstm) PURE;
  STDMETHOD(OpenStream)(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2, IStream** ppstm) PURE;
  STDMETHOD(CreateStorage)
  (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2, IStorage** ppstg) PURE;
  STDMETHOD(OpenStorage)
  (const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD reserved,
   IStorage** ppstg) PURE;
  STDMETHOD(CopyTo)(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) PURE;
  STDMETHOD(MoveElementTo)
  (const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName, DWORD grfFlags) PURE;
  STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
  STDMETHOD(Revert)() PURE;
  STDMETHOD(EnumElements)(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) PURE;
  STDMETHOD(DestroyElement)(const OLECHAR* pwcsName) PURE;
  STDMETHOD(RenameElement)(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) PURE;
  STDMETHOD(SetElementTimes)
  (const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime, const FILETIME* pmtime) PURE;
  STDMETHOD(SetClass)(REFCLSID clsid) PURE;
  STDMETHOD(SetStateBits)(DWORD grfStateBits, DWORD grfMask) PURE;
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
};

// A byte array beneath a compound file (memory, a file, a stream).
struct ILockBytes : IUnknown {
  STDMETHOD(ReadAt)(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) PURE;
  STDMETHOD(WriteAt)(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) PURE;
  STDMETHOD(Flush)() PURE;
  STDMETHOD(SetSize)(ULARGE_INTEGER cb) PURE;
  STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
};

ORBA_DECLARE_INTERFACE(IEnumSTATSTG, IUnknown, IID_IEnumSTATSTG);
ORBA_DECLARE_INTERFACE(IStorage, IUnknown, IID_IStorage);
ORBA_DECLARE_INTERFACE(ILockBytes, IUnknown, IID_ILockBytes);
