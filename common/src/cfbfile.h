// The compound-file engine behind the storage objects: one per open file, shared by
// every storage and stream opened in it. It keeps the allocation of sectors, the
// directory and every element's sector list in memory (a few bytes per sector) and reads
// and writes stream data in place through the byte array. Failures raise EVoException
// with an STG_E_ code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "orba/common/storage.h"
#include "orba/common/types.h"

namespace orba::cfb {

inline constexpr uint32_t kNoStream = 0xFFFFFFFF;
inline constexpr uint32_t kRootId = 0;
inline constexpr uint64_t kMiniStreamCutoff = 4096;
inline constexpr size_t kMaxNameLength = 31;  // UTF-16 units, without the terminator

enum class EntryType : uint8_t { Unused = 0, Storage = 1, Stream = 2, Root = 5 };

// One element of the directory.
struct Entry {
  WideString name;
  EntryType type = EntryType::Unused;
  CLSID clsid = GUID_NULL;
  uint32_t stateBits = 0;
  uint64_t ctime = 0, mtime = 0;  // FILETIME values
  uint64_t size = 0;
  // The sectors holding the data: mini sectors for a stream below the cutoff, regular
  // sectors otherwise (for the root: the mini stream).
  std::vector<uint32_t> sectors;
  std::vector<uint32_t> children;  // storages: their elements in directory order
  uint32_t parent = kNoStream;
  uint64_t serial = 0;  // tells a live handle from one whose element was destroyed or reverted
};

// The order of names in a storage: shorter names first, then by upper-case code units.
int CompareNames(std::u16string_view a, std::u16string_view b);

class TVoCfbFile {
 public:
  // Reads and checks the whole structure of the file in lockBytes.
  static std::shared_ptr<TVoCfbFile> Open(ComPtr<ILockBytes> lockBytes, bool writable, bool transacted);
  // Writes a new empty file (sectorSize 512 or 4096) over the contents of lockBytes.
  static std::shared_ptr<TVoCfbFile> Create(ComPtr<ILockBytes> lockBytes, uint32_t sectorSize, bool transacted);
  // Direct mode writes its tables here; a transaction not committed is forgotten.
  ~TVoCfbFile();
  TVoCfbFile(const TVoCfbFile&) = delete;
  TVoCfbFile& operator=(const TVoCfbFile&) = delete;

  bool Writable() const { return writable_; }
  bool Transacted() const { return snapshot_.has_value(); }
  uint32_t SectorSize() const { return sectorSize_; }
  // The file is deleted when the engine goes.
  void DeleteOnRelease(std::filesystem::path path) { deleteOnRelease_ = std::move(path); }

  const Entry& At(uint32_t id) const { return model_.entries.at(id); }
  // Whether a handle (id, serial) still names its element.
  bool Alive(uint32_t id, uint64_t serial) const;
  // The element named name in storage, or kNoStream.
  uint32_t Find(uint32_t storage, std::u16string_view name) const;
  // Whether id is storage or lies beneath it.
  bool IsWithin(uint32_t id, uint32_t storage) const;

  // Structure changes; names must have been checked by the caller.
  uint32_t Create(uint32_t storage, const WideString& name, EntryType type);
  void Destroy(uint32_t id);
  void Rename(uint32_t id, const WideString& name);
  void SetClass(uint32_t id, const CLSID& clsid);
  void SetStateBits(uint32_t id, uint32_t bits, uint32_t mask);
  void SetTimes(uint32_t id, const FILETIME* ctime, const FILETIME* mtime);

  // Stream data. Reads stop at the end; writes beyond it grow the stream, the gap reading
  // as zeros, as does a stream grown by SetSize.
  size_t Read(uint32_t id, uint64_t offset, void* buffer, size_t count);
  void Write(uint32_t id, uint64_t offset, const void* buffer, size_t count);
  void SetSize(uint32_t id, uint64_t size);

  // Writes the tables, the directory and the header: a transaction's new state becomes
  // the committed one.
  void Commit();
  // Returns to the last committed state (transacted files only); every handle but the
  // root's goes stale.
  void Revert();

 private:
  // Everything a transaction may change, so that Revert can return to a copy.
  struct Model {
    uint32_t sectorCount = 0;
    std::vector<bool> used;      // regular sectors in use
    std::vector<bool> miniUsed;  // mini sectors in use
    std::vector<Entry> entries;
    std::vector<uint32_t> fatSectors, difatSectors, dirSectors, miniFatSectors;
  };
  TVoCfbFile(ComPtr<ILockBytes> lockBytes, uint32_t sectorSize, bool writable);
  // Reads the tables and the directory of an opened file and checks them.
  void Load(const uint8_t* header, uint64_t fileSize);

  // Sectors.
  uint64_t SectorOffset(uint32_t sector) const { return (uint64_t(sector) + 1) * sectorSize_; }
  bool Protected(uint32_t sector) const;
  uint32_t Allocate();
  void Free(uint32_t sector);
  uint32_t AllocateMini();
  void FreeMini(uint32_t sector);
  // Resizes a chain to count sectors of its kind.
  void ResizeChain(std::vector<uint32_t>& chain, size_t count, bool mini);

  // Data of a chain of regular sectors, or of mini sectors within the mini stream.
  void ReadChain(const std::vector<uint32_t>& chain, bool mini, uint64_t offset, uint8_t* buffer, size_t count);
  void WriteChain(std::vector<uint32_t>& chain, bool mini, uint64_t offset, const uint8_t* buffer, size_t count);
  void ZeroChain(std::vector<uint32_t>& chain, bool mini, uint64_t offset, uint64_t count);
  // Before bytes [offset, offset + count) of a chain are written, gives the sectors that
  // the committed state uses fresh copies, so that the committed state stays intact.
  void CopyOnWrite(std::vector<uint32_t>& chain, uint64_t offset, size_t count);
  bool IsMini(const Entry& e, uint64_t size) const;
  // Changes the size without filling; data up to the smaller size is kept.
  void Resize(Entry& e, uint64_t size);

  // The byte array. Small reads are served from one cached block: the mini streams and
  // the directory are read in pieces far smaller than a read of the array costs.
  void ReadBytes(uint64_t offset, void* buffer, size_t count);
  void WriteBytes(uint64_t offset, const void* buffer, size_t count);
  void SetFileSize(uint64_t size);

  // Commit's parts.
  void TrimMiniStream();
  void WriteDirectory();
  void WriteMiniFat();
  void WriteFat();
  void WriteHeader();
  void Forget();
  Entry& Mutable(uint32_t id);
  void InsertChild(uint32_t storage, uint32_t id);
  void RemoveChild(uint32_t id);

  ComPtr<ILockBytes> lockBytes_;
  uint32_t sectorSize_;
  bool writable_;
  Model model_;
  std::optional<Model> snapshot_;  // the committed state of a transacted file
  uint32_t freeHint_ = 0, miniFreeHint_ = 0;
  uint64_t nextSerial_ = 1;
  bool dirty_ = false;          // changes not yet written (direct) or committed (transacted)
  std::vector<uint8_t> block_;  // the cached block of the byte array
  uint64_t blockOffset_ = UINT64_MAX;
  std::optional<std::filesystem::path> deleteOnRelease_;
};

}  // namespace orba::cfb
