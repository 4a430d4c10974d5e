// The storage, stream and enumerator objects over a compound file, and the functions that
// open and create compound files.
#include <algorithm>
#include <filesystem>

#include "cfbfile.h"
#include "comguard.h"
#include "orba/common/files.h"
#include "orba/common/storage.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

using cfb::EntryType;
using cfb::kNoStream;
using cfb::kRootId;
using cfb::TVoCfbFile;

constexpr size_t kCopyChunk = 1 << 20;

[[noreturn]] void Raise(HRESULT code) { throw EVoException(u"Structured storage error", code); }

void Check(HRESULT hr) {
  if (FAILED(hr)) Raise(hr);
}

// The access a mode asks for; 3 is no access mode.
DWORD AccessOf(DWORD mode) {
  DWORD access = mode & 3;
  if (access == 3) Raise(STG_E_INVALIDFLAG);
  return access;
}

// An element name as callers give it: 1 to 31 characters, none of them \ / : !
WideString CheckedName(const OLECHAR* name) {
  if (!name) Raise(STG_E_INVALIDPOINTER);
  WideString text(name);
  if (text.empty() || text.size() > cfb::kMaxNameLength || text.find_first_of(u"\\/:!") != WideString::npos)
    Raise(STG_E_INVALIDNAME);
  return text;
}

FILETIME ToFileTime(uint64_t t) { return FILETIME{DWORD(t), DWORD(t >> 32)}; }

// What a storage or stream object holds: the file, the element and the handle's serial,
// the mode it was opened with.
class TVoCfbElement : public TVoRefCounted {
 public:
  TVoCfbElement(std::shared_ptr<TVoCfbFile> file, uint32_t id, DWORD mode)
      : file_(std::move(file)), id_(id), serial_(file_->At(id).serial), mode_(mode) {}

  const std::shared_ptr<TVoCfbFile>& File() const { return file_; }
  uint32_t Id() const { return id_; }

 protected:
  // Runs body for a live element; a destroyed or reverted one answers STG_E_REVERTED.
  template <class F>
  HRESULT Run(F&& body) {
    return VoGuardHResult(STG_E_INVALIDFUNCTION, [&] {
      if (!file_->Alive(id_, serial_)) Raise(STG_E_REVERTED);
      return body();
    });
  }
  void CheckWrite() const {
    if (AccessOf(mode_) == STGM_READ || !file_->Writable()) Raise(STG_E_ACCESSDENIED);
  }
  // A child may not be opened for writing beneath an element that is not.
  void CheckChildMode(DWORD mode) const {
    if (AccessOf(mode) != STGM_READ) CheckWrite();
  }
  void FillStat(STATSTG& stat, uint32_t id, DWORD flag, DWORD mode) const {
    const cfb::Entry& e = file_->At(id);
    stat = STATSTG{};
    stat.type = e.type == EntryType::Stream ? STGTY_STREAM : STGTY_STORAGE;
    stat.cbSize.QuadPart = e.type == EntryType::Stream ? e.size : 0;
    stat.ctime = ToFileTime(e.ctime);
    stat.mtime = ToFileTime(e.mtime);
    stat.grfMode = mode;
    stat.clsid = e.clsid;
    stat.grfStateBits = e.stateBits;
    if (!(flag & STATFLAG_NONAME)) stat.pwcsName = VoTaskMemString(e.name);
  }

  std::shared_ptr<TVoCfbFile> file_;
  uint32_t id_;
  uint64_t serial_;
  DWORD mode_;
};

class TVoCfbStream : public TVoComObject<TVoCfbElement, IStream> {
 public:
  TVoCfbStream(std::shared_ptr<TVoCfbFile> file, uint32_t id, DWORD mode, uint64_t position = 0)
      : TVoComObject(std::move(file), id, mode), position_(position) {}

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    return Run([&] {
      ULONG n = ULONG(file_->Read(id_, position_, pv, cb));
      position_ += n;
      if (pcbRead) *pcbRead = n;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    return Run([&] {
      CheckWrite();
      file_->Write(id_, position_, pv, cb);
      position_ += cb;
      if (pcbWritten) *pcbWritten = cb;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    return Run([&] {
      int64_t base = dwOrigin == STREAM_SEEK_SET   ? 0
                     : dwOrigin == STREAM_SEEK_CUR ? int64_t(position_)
                     : dwOrigin == STREAM_SEEK_END ? int64_t(file_->At(id_).size)
                                                   : -1;
      int64_t target;
      if (base < 0 || __builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0)
        Raise(STG_E_INVALIDFUNCTION);
      position_ = uint64_t(target);
      if (plibNewPosition) plibNewPosition->QuadPart = position_;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
    return Run([&] {
      CheckWrite();
      file_->SetSize(id_, libNewSize.QuadPart);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!pstm) return STG_E_INVALIDPOINTER;
    return Run([&] {
      std::vector<uint8_t> chunk;
      for (uint64_t left = cb.QuadPart; left > 0;) {
        chunk.resize(size_t(std::min<uint64_t>(left, kCopyChunk)));
        // Read before written: the target may be a clone of this stream.
        size_t got = file_->Read(id_, position_, chunk.data(), chunk.size());
        if (got == 0) break;
        position_ += got, left -= got;
        if (pcbRead) pcbRead->QuadPart += got;
        ULONG put = 0;
        Check(pstm->Write(chunk.data(), ULONG(got), &put));
        if (pcbWritten) pcbWritten->QuadPart += put;
        if (put < got) Raise(STG_E_MEDIUMFULL);
      }
      return S_OK;
    });
  }
  // Streams are not transacted; a commit in direct mode writes the file's tables.
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
    return Run([&] {
      if (!file_->Transacted()) file_->Commit();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    return Run([&] {
      FillStat(*pstatstg, id_, grfStatFlag, mode_);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    return Run([&] {
      *ppstm = MakeComObject<TVoCfbStream>(file_, id_, mode_, position_).Detach();
      return S_OK;
    });
  }

 private:
  uint64_t position_;
};

// Enumerates a storage's elements as they were when the enumerator was made.
class TVoCfbEnum : public TVoComObject<TVoRefCounted, IEnumSTATSTG> {
 public:
  struct Item {
    WideString name;
    STATSTG stat;  // without a name
  };
  explicit TVoCfbEnum(std::shared_ptr<const std::vector<Item>> items, size_t next = 0)
      : items_(std::move(items)), next_(next) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) override {
    if (pceltFetched) *pceltFetched = 0;
    if (!rgelt || (celt > 1 && !pceltFetched)) return STG_E_INVALIDPOINTER;
    ULONG fetched = 0;
    HRESULT hr = VoGuardHResult(STG_E_INSUFFICIENTMEMORY, [&] {
      for (; fetched < celt && next_ < items_->size(); ++fetched, ++next_) {
        rgelt[fetched] = (*items_)[next_].stat;
        rgelt[fetched].pwcsName = VoTaskMemString((*items_)[next_].name);
      }
      return S_OK;
    });
    if (FAILED(hr)) {
      for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(rgelt[i].pwcsName);
      next_ -= fetched;
      return hr;
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    size_t left = items_->size() - next_;
    next_ += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumSTATSTG** ppenum) override {
    if (!ppenum) return STG_E_INVALIDPOINTER;
    return VoGuardHResult(STG_E_INSUFFICIENTMEMORY, [&] {
      *ppenum = MakeComObject<TVoCfbEnum>(items_, next_).Detach();
      return S_OK;
    });
  }

 private:
  std::shared_ptr<const std::vector<Item>> items_;
  size_t next_;
};

class TVoCfbStorage : public TVoComObject<TVoCfbElement, IStorage> {
 public:
  // name is what Stat reports for a root opened from a named file.
  TVoCfbStorage(std::shared_ptr<TVoCfbFile> file, uint32_t id, DWORD mode, WideString name = {})
      : TVoComObject(std::move(file), id, mode), name_(std::move(name)) {}

  HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD,
                                         IStream** ppstm) override {
    return Answer<TVoCfbStream>(ppstm, grfMode, [&] { return CreateElement(pwcsName, grfMode, EntryType::Stream); });
  }
  HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD,
                                       IStream** ppstm) override {
    return Answer<TVoCfbStream>(ppstm, grfMode, [&] {
      if (reserved1) Raise(STG_E_INVALIDPARAMETER);
      return OpenElement(pwcsName, grfMode, EntryType::Stream);
    });
  }
  HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD,
                                          IStorage** ppstg) override {
    return Answer<TVoCfbStorage>(ppstg, grfMode, [&] { return CreateElement(pwcsName, grfMode, EntryType::Storage); });
  }
  // Priority opening and exclusions on open are not supported (STG_E_INVALIDFUNCTION).
  HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                                        DWORD, IStorage** ppstg) override {
    return Answer<TVoCfbStorage>(ppstg, grfMode, [&] {
      if (pstgPriority || snbExclude) Raise(STG_E_INVALIDFUNCTION);
      return OpenElement(pwcsName, grfMode, EntryType::Storage);
    });
  }
  HRESULT STDMETHODCALLTYPE CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude,
                                   IStorage* pstgDest) override {
    if (!pstgDest || (ciidExclude && !rgiidExclude)) return STG_E_INVALIDPOINTER;
    return Run([&] {
      CheckNotWithin(pstgDest);
      Exclusions skip;
      for (DWORD i = 0; i < ciidExclude; ++i) {
        skip.storages |= rgiidExclude[i] == IID_IStorage;
        skip.streams |= rgiidExclude[i] == IID_IStream;
      }
      for (SNB name = snbExclude; name && *name; ++name) skip.names.emplace_back(*name);
      CopyContents(id_, pstgDest, skip);
      CopyAttributes(file_->At(id_), pstgDest);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName,
                                          DWORD grfFlags) override {
    if (!pstgDest) return STG_E_INVALIDPOINTER;
    if (grfFlags != STGMOVE_MOVE && grfFlags != STGMOVE_COPY) return STG_E_INVALIDFLAG;
    return Run([&] {
      uint32_t id = Existing(CheckedName(pwcsName));
      WideString newName = CheckedName(pwcsNewName);
      if (grfFlags == STGMOVE_MOVE) CheckWrite();
      auto* dest = dynamic_cast<TVoCfbStorage*>(pstgDest);
      bool sameFile = dest && dest->file_ == file_;
      if (sameFile &&
          (file_->IsWithin(dest->id_, id) || (dest->id_ == id_ && cfb::CompareNames(newName, file_->At(id).name) == 0)))
        Raise(STG_E_ACCESSDENIED);
      CopyElement(id, pstgDest, newName);
      if (grfFlags == STGMOVE_MOVE) file_->Destroy(id);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override {
    return Run([&] {
      // Beneath the root of a transaction the changes already belong to that transaction.
      if (id_ == kRootId || !file_->Transacted()) file_->Commit();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Revert() override {
    return Run([&] {
      if (!file_->Transacted()) return S_OK;  // nothing to revert in direct mode
      if (id_ != kRootId) return (mode_ & STGM_TRANSACTED) ? STG_E_UNIMPLEMENTEDFUNCTION : S_OK;
      file_->Revert();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE EnumElements(DWORD, void* reserved2, DWORD, IEnumSTATSTG** ppenum) override {
    if (!ppenum) return STG_E_INVALIDPOINTER;
    *ppenum = nullptr;
    if (reserved2) return STG_E_INVALIDPARAMETER;
    return Run([&] {
      auto items = std::make_shared<std::vector<TVoCfbEnum::Item>>();
      for (uint32_t child : file_->At(id_).children) {
        TVoCfbEnum::Item item{file_->At(child).name, {}};
        FillStat(item.stat, child, STATFLAG_NONAME, 0);
        items->push_back(std::move(item));
      }
      *ppenum = MakeComObject<TVoCfbEnum>(std::move(items)).Detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* pwcsName) override {
    return Run([&] {
      uint32_t id = Existing(CheckedName(pwcsName));
      CheckWrite();
      file_->Destroy(id);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) override {
    return Run([&] {
      uint32_t id = Existing(CheckedName(pwcsOldName));
      WideString newName = CheckedName(pwcsNewName);
      CheckWrite();
      if (uint32_t other = file_->Find(id_, newName); other != kNoStream && other != id) Raise(STG_E_FILEALREADYEXISTS);
      file_->Rename(id, newName);
      return S_OK;
    });
  }
  // A null name sets the times of this storage itself.
  HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME*,
                                            const FILETIME* pmtime) override {
    return Run([&] {
      uint32_t id = pwcsName ? Existing(CheckedName(pwcsName)) : id_;
      CheckWrite();
      file_->SetTimes(id, pctime, pmtime);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override {
    return Run([&] {
      CheckWrite();
      file_->SetClass(id_, clsid);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SetStateBits(DWORD grfStateBits, DWORD grfMask) override {
    return Run([&] {
      CheckWrite();
      file_->SetStateBits(id_, grfStateBits, grfMask);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (grfStatFlag & ~DWORD(STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
    return Run([&] {
      FillStat(*pstatstg, id_, grfStatFlag | (name_.empty() ? DWORD(0) : DWORD(STATFLAG_NONAME)), mode_);
      if (!name_.empty() && !(grfStatFlag & STATFLAG_NONAME)) pstatstg->pwcsName = VoTaskMemString(name_);
      return S_OK;
    });
  }

 private:
  struct Exclusions {
    bool storages = false, streams = false;
    std::vector<WideString> names;
  };

  // Answers in out a new object of type Object for the element that find gives.
  template <class Object, class I, class F>
  HRESULT Answer(I** out, DWORD mode, F&& find) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    return Run([&] {
      uint32_t id = find();
      *out = MakeComObject<Object>(file_, id, mode).Detach();
      return S_OK;
    });
  }
  uint32_t Existing(const WideString& name) const {
    uint32_t id = file_->Find(id_, name);
    if (id == kNoStream) Raise(STG_E_FILENOTFOUND);
    return id;
  }
  uint32_t OpenElement(const OLECHAR* name, DWORD mode, EntryType type) const {
    uint32_t id = Existing(CheckedName(name));
    if (file_->At(id).type != type) Raise(STG_E_FILENOTFOUND);
    CheckChildMode(mode);
    return id;
  }
  // A new element; one of the same name is replaced with STGM_CREATE.
  uint32_t CreateElement(const OLECHAR* name, DWORD mode, EntryType type) {
    WideString text = CheckedName(name);
    AccessOf(mode);
    CheckWrite();
    if (uint32_t existing = file_->Find(id_, text); existing != kNoStream) {
      if (!(mode & STGM_CREATE)) Raise(STG_E_FILEALREADYEXISTS);
      file_->Destroy(existing);
    }
    return file_->Create(id_, text, type);
  }
  // Copying this storage into itself or one of its own storages would never end.
  void CheckNotWithin(IStorage* dest) const {
    auto* ours = dynamic_cast<TVoCfbStorage*>(dest);
    if (ours && ours->file_ == file_ && file_->IsWithin(ours->id_, id_)) Raise(STG_E_ACCESSDENIED);
  }

  // Copies the elements of storage into dest: streams replace streams of the same name,
  // storages merge with storages of the same name.
  void CopyContents(uint32_t storage, IStorage* dest, const Exclusions& skip) {
    std::vector<uint32_t> children = file_->At(storage).children;
    for (uint32_t child : children) {
      // Copies, not references: creating elements in the same file moves the directory.
      WideString name = file_->At(child).name;
      bool isStorage = file_->At(child).type == EntryType::Storage;
      if ((isStorage && skip.storages) || (!isStorage && skip.streams) ||
          std::any_of(skip.names.begin(), skip.names.end(),
                      [&](const WideString& n) { return cfb::CompareNames(n, name) == 0; }))
        continue;
      CopyElement(child, dest, name);
    }
  }
  void CopyElement(uint32_t id, IStorage* dest, const WideString& name) {
    constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (file_->At(id).type == EntryType::Stream) {
      ComPtr<IStream> out;
      Check(dest->CreateStream(name.c_str(), kMode | STGM_CREATE, 0, 0, out.Out()));
      uint64_t size = file_->At(id).size;
      std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(size, kCopyChunk)));
      for (uint64_t at = 0; at < size;) {
        size_t got = file_->Read(id, at, chunk.data(), chunk.size());
        Check(out->Write(chunk.data(), ULONG(got), nullptr));
        at += got;
      }
      return;
    }
    ComPtr<IStorage> out;
    HRESULT hr = dest->CreateStorage(name.c_str(), kMode, 0, 0, out.Out());
    if (hr == STG_E_FILEALREADYEXISTS && FAILED(dest->OpenStorage(name.c_str(), nullptr, kMode, nullptr, 0, out.Out())))
      hr = dest->CreateStorage(name.c_str(), kMode | STGM_CREATE, 0, 0, out.Out());
    else if (hr == STG_E_FILEALREADYEXISTS)
      hr = S_OK;
    Check(hr);
    CopyContents(id, out.get(), Exclusions{});
    CopyAttributes(file_->At(id), out.get());
  }
  static void CopyAttributes(const cfb::Entry& e, IStorage* dest) {
    Check(dest->SetClass(e.clsid));
    Check(dest->SetStateBits(e.stateBits, ~DWORD(0)));
  }

  WideString name_;
};

ComPtr<IStorage> OpenRoot(std::shared_ptr<TVoCfbFile> file, DWORD mode, WideString name = {}) {
  return MakeComObject<TVoCfbStorage>(std::move(file), kRootId, mode, std::move(name));
}

// The codes of a failed file operation as structured storage reports them: a Win32
// error (0x8007xxxx) becomes the STG_E_ code of the same number (0x8003xxxx).
HRESULT StorageCode(HRESULT hr) {
  return (uint32_t(hr) & 0xFFFF0000u) == 0x80070000u ? HRESULT(0x80030000u | (uint32_t(hr) & 0xFFFF)) : hr;
}

HRESULT CheckRootMode(DWORD mode) {
  if ((mode & 3) == 3 || (mode & STGM_CONVERT)) return STG_E_INVALIDFLAG;
  return S_OK;
}

HRESULT CreateOn(ILockBytes* lockBytes, DWORD mode, ULONG sectorSize, IStorage** out, WideString name = {},
                 std::filesystem::path deleteOnRelease = {}) {
  if (!out) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!lockBytes) return STG_E_INVALIDPOINTER;
  if (HRESULT hr = CheckRootMode(mode); FAILED(hr)) return hr;
  if ((mode & 3) == STGM_READ) return STG_E_INVALIDFLAG;
  return VoGuardHResult(STG_E_WRITEFAULT, [&] {
    auto file = TVoCfbFile::Create(ComPtr<ILockBytes>(lockBytes), sectorSize, mode & STGM_TRANSACTED);
    if (!deleteOnRelease.empty()) file->DeleteOnRelease(deleteOnRelease);
    *out = OpenRoot(file, mode, std::move(name)).Detach();
    return S_OK;
  });
}

HRESULT OpenOn(ComPtr<ILockBytes> lockBytes, DWORD mode, IStorage** out, WideString name = {},
               std::filesystem::path deleteOnRelease = {}) {
  return VoGuardHResult(STG_E_READFAULT, [&] {
    auto file = TVoCfbFile::Open(std::move(lockBytes), (mode & 3) != STGM_READ, mode & STGM_TRANSACTED);
    if (!deleteOnRelease.empty()) file->DeleteOnRelease(deleteOnRelease);
    *out = OpenRoot(file, mode, std::move(name)).Detach();
    return S_OK;
  });
}

std::filesystem::path PathOf(const OLECHAR* name) { return std::filesystem::path(ToUtf8(WideString(name))); }

}  // namespace

HRESULT VoStgCreateDocfileOnILockBytes(ILockBytes* lockBytes, DWORD grfMode, ULONG sectorSize, IStorage** storage) {
  if (sectorSize != 512 && sectorSize != 4096) {
    if (storage) *storage = nullptr;
    return STG_E_INVALIDPARAMETER;
  }
  return CreateOn(lockBytes, grfMode, sectorSize, storage);
}

}  // namespace orba

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD, IStorage** ppstgOpen) {
  return orba::CreateOn(plkbyt, grfMode, 512, ppstgOpen);
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* plkbyt, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD,
                                   IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (!plkbyt) return STG_E_INVALIDPOINTER;
  if (pstgPriority || snbExclude) return STG_E_INVALIDFUNCTION;
  if (HRESULT hr = orba::CheckRootMode(grfMode); FAILED(hr)) return hr;
  return orba::OpenOn(orba::ComPtr<ILockBytes>(plkbyt), grfMode, ppstgOpen);
}

HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (HRESULT hr = orba::CheckRootMode(grfMode); FAILED(hr)) return hr;
  return orba::VoGuardHResult(STG_E_WRITEFAULT, [&] {
    std::filesystem::path path;
    if (pwcsName) {
      path = orba::PathOf(pwcsName);
      if (std::filesystem::exists(path) && !(grfMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    } else {
      path = orba::PathOf(orba::VoGetTempFileName(u"stg", u".tmp").c_str());
      grfMode |= STGM_DELETEONRELEASE;
    }
    std::shared_ptr<orba::TVoStream> stream;
    try {
      stream = std::make_shared<orba::TVoFileStream>(path, orba::fmCreate);
    } catch (const orba::EVoException& e) {
      return orba::StorageCode(e.Code());
    }
    auto lockBytes = orba::VoCreateLockBytes(std::move(stream));
    return orba::CreateOn(lockBytes.get(), grfMode, 512, ppstgOpen, orba::FromUtf8(path.string()),
                          (grfMode & STGM_DELETEONRELEASE) ? path : std::filesystem::path());
  });
}

HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD,
                       IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (!pwcsName) return STG_E_INVALIDNAME;
  if (pstgPriority || snbExclude) return STG_E_INVALIDFUNCTION;
  if (HRESULT hr = orba::CheckRootMode(grfMode); FAILED(hr)) return hr;
  return orba::VoGuardHResult(STG_E_READFAULT, [&] {
    std::filesystem::path path = orba::PathOf(pwcsName);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return STG_E_FILENOTFOUND;
    if (std::filesystem::is_directory(path, error)) return STG_E_ACCESSDENIED;
    std::shared_ptr<orba::TVoStream> stream;
    try {
      stream = std::make_shared<orba::TVoFileStream>(
          path, (grfMode & 3) == STGM_READ ? orba::fmOpenRead : orba::fmOpenReadWrite);
    } catch (const orba::EVoException& e) {
      return orba::StorageCode(e.Code());
    }
    return orba::OpenOn(orba::VoCreateLockBytes(std::move(stream)), grfMode, ppstgOpen, orba::WideString(pwcsName),
                        (grfMode & STGM_DELETEONRELEASE) ? path : std::filesystem::path());
  });
}

HRESULT WriteClassStg(IStorage* pStg, REFCLSID rclsid) {
  if (!pStg) return STG_E_INVALIDPOINTER;
  return pStg->SetClass(rclsid);
}

HRESULT ReadClassStg(IStorage* pStg, CLSID* pclsid) {
  if (!pStg || !pclsid) return STG_E_INVALIDPOINTER;
  STATSTG stat{};
  HRESULT hr = pStg->Stat(&stat, STATFLAG_NONAME);
  *pclsid = SUCCEEDED(hr) ? stat.clsid : GUID_NULL;
  return hr;
}
