// OLE structured storage: the storage, element enumerator and byte array interfaces in
// the published method order of OBJIDL.H (streams, STATSTG, the STGM_/STGC_/STGTY_
// constants and the STG_E_ codes are COM basics, in com.h), and compound files (MS-CFB)
// behind them: the stand-ins for StgCreateDocfile, StgOpenStorage, the ...OnILockBytes
// forms, WriteClassStg and ReadClassStg.
//
// Compound files are read and written by the support layer itself. The distribution's
// compound-file library (libgsf) was weighed and set aside: its writer (GsfOutfileMSOle)
// produces a new file sequentially, child after child, and its reader (GsfInfileMSOle)
// only reads, so neither can open a file for update, write a stream at random
// positions, grow a stream across the mini-stream cutoff in place, keep a transaction
// with Commit and Revert, or set state bits; an IStorage over it would have to hold the
// whole file in memory and rewrite it at every commit, which rules out 100 MB streams.
// Our own reader and writer keep only the allocation tables and the directory in memory
// and read and write stream data in place, so a stream of any size passes through
// without being held whole.
//
// What the files support: versions 3 and 4 (512- and 4096-byte sectors), the FAT with
// DIFAT chains beyond the header's 109 entries, the mini FAT and mini stream below the
// 4,096-byte cutoff (streams move across it as they grow or shrink), directory trees
// written as red-black trees, class identifiers, state bits and storage times.
// Modes: STGM_READ, STGM_WRITE, STGM_READWRITE, STGM_CREATE, STGM_DELETEONRELEASE and
// STGM_TRANSACTED or direct mode; the STGM_SHARE_ flags are accepted (one process, no
// locks). A transaction belongs to the root storage: data written meanwhile goes to
// sectors the last committed state does not use, so Commit writes the new tables and
// then the header, and Revert (or a release without Commit) forgets the changes and
// leaves the file as it was. Sub-storages take part in their root's transaction: their
// Commit answers S_OK and their Revert STG_E_UNIMPLEMENTEDFUNCTION. In direct mode data
// is written at once and the tables at every Commit and when the last object of the
// file is released. LockRegion and UnlockRegion answer STG_E_INVALIDFUNCTION.
//
// A damaged file answers STG_E_FILEALREADYEXISTS (not a compound file),
// STG_E_INVALIDHEADER (an unusable header) or STG_E_DOCFILECORRUPT (chains that loop,
// cross or leave the file, directory trees that cycle, sizes the chains do not cover);
// the whole structure is checked when the file is opened.
#pragma once

#include <memory>

#include "orba/common/comobject.h"
#include "orba/common/comptr.h"
#include "orba/common/streams.h"

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

// Creates a compound file (version 3) named pwcsName; a null name creates a temporary
// file that is deleted on release. An existing file is replaced with STGM_CREATE and
// answers STG_E_FILEALREADYEXISTS without it.
HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);
// Opens the compound file pwcsName. pstgPriority and snbExclude must be null.
HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD reserved,
                       IStorage** ppstgOpen);
// Creates a new compound file (version 3) on a byte array, replacing its contents.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);
// Opens the compound file held by a byte array.
HRESULT StgOpenStorageOnILockBytes(ILockBytes* plkbyt, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                                   DWORD reserved, IStorage** ppstgOpen);
// Writes / reads the class identifier of a storage.
HRESULT WriteClassStg(IStorage* pStg, REFCLSID rclsid);
HRESULT ReadClassStg(IStorage* pStg, CLSID* pclsid);

namespace orba {

// StgCreateDocfileOnILockBytes with a choice of sector size: 512 (version 3) or 4096
// (version 4); any other size answers STG_E_INVALIDPARAMETER.
HRESULT VoStgCreateDocfileOnILockBytes(ILockBytes* lockBytes, DWORD grfMode, ULONG sectorSize, IStorage** storage);

// A byte array over a stream of the support layer: a TVoMemoryStream (memory the caller
// can read back), a TVoFileStream, or a TVoOleStream over an IStream (an embedded
// message saved into a stream). Null raises E_POINTER.
ComPtr<ILockBytes> VoCreateLockBytes(std::shared_ptr<TVoStream> stream);
// A byte array over an IStream.
ComPtr<ILockBytes> VoCreateLockBytesOnIStream(ComPtr<IStream> stream);

}  // namespace orba
