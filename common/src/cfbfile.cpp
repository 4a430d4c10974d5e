#include "cfbfile.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <system_error>

#include "orba/common/casefold.h"
#include "orba/common/exceptions.h"

namespace orba::cfb {

namespace {

constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kMiniSectorSize = 64;
constexpr size_t kHeaderSize = 512;
constexpr size_t kHeaderDifat = 109;
constexpr size_t kEntrySize = 128;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kIoChunk = 1 << 20;
constexpr size_t kBlockSize = 4096;
// Version 3 stream sizes are 32-bit.
constexpr uint64_t kMaxStreamSizeV3 = 0x80000000;

[[noreturn]] void Fail(HRESULT code, std::u16string_view what) {
  throw EVoException(u"Compound file error: " + WideString(what), code);
}
[[noreturn]] void Corrupt(std::u16string_view what) { Fail(STG_E_DOCFILECORRUPT, what); }

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | uint64_t(Le32(p + 4)) << 32; }
void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) { Put32(p, uint32_t(v)), Put32(p + 4, uint32_t(v >> 32)); }

// Reads count bytes at offset; bytes past the end of the array read as zeros (the last
// sector of a file need not be whole).
void ReadLockBytes(ILockBytes* lockBytes, uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (count) {
    ULONG want = ULONG(std::min<size_t>(count, kIoChunk)), got = 0;
    ULARGE_INTEGER at;
    at.QuadPart = offset;
    if (HRESULT hr = lockBytes->ReadAt(at, out, want, &got); FAILED(hr)) Fail(hr, u"cannot read the file");
    got = std::min(got, want);
    if (got == 0) {
      std::memset(out, 0, count);
      return;
    }
    out += got, offset += got, count -= got;
  }
}

CLSID ReadGuid(const uint8_t* p) {
  CLSID g{Le32(p), Le16(p + 4), Le16(p + 6), {}};
  std::memcpy(g.Data4, p + 8, 8);
  return g;
}
void PutGuid(uint8_t* p, const CLSID& g) {
  Put32(p, g.Data1), Put16(p + 4, g.Data2), Put16(p + 6, g.Data3);
  std::memcpy(p + 8, g.Data4, 8);
}

uint64_t Units(uint64_t size, uint32_t unit) { return (size + unit - 1) / unit; }

uint64_t FileTimeNow() {
  using namespace std::chrono;
  auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  return uint64_t(since1970) + 116444736000000000ULL;
}
uint64_t FromFileTime(const FILETIME& t) { return t.dwLowDateTime | uint64_t(t.dwHighDateTime) << 32; }

// Follows a chain through table from start, claiming each sector: a sector claimed twice
// (a loop, or two chains sharing it) or outside the table is corruption. With needed,
// exactly that many sectors are taken (a longer chain is cut, a shorter one is corrupt);
// without it the chain runs to its end mark.
std::vector<uint32_t> Walk(const std::vector<uint32_t>& table, uint32_t start, std::vector<bool>& claimed,
                           std::optional<uint64_t> needed) {
  std::vector<uint32_t> chain;
  for (uint32_t s = start; needed ? chain.size() < *needed : s != kEndOfChain; s = table[s]) {
    if (s >= table.size() || claimed[s]) Corrupt(u"a sector chain loops, crosses another or leaves the file");
    claimed[s] = true;
    chain.push_back(s);
  }
  return chain;
}

// Calls f(position, done, n) for each run of consecutive units of chain that holds the
// bytes [offset, offset + count): position counts from the start of the first unit.
template <class F>
void ForEachRun(const std::vector<uint32_t>& chain, uint32_t unit, uint64_t offset, size_t count, F&& f) {
  size_t done = 0;
  while (done < count) {
    uint64_t index = offset / unit, within = offset % unit;
    if (index >= chain.size()) Corrupt(u"a stream is longer than its sectors");
    uint64_t last = index;
    size_t n = std::min<uint64_t>(count - done, unit - within);
    while (done + n < count && last + 1 < chain.size() && chain[last + 1] == chain[last] + 1) {
      ++last;
      n += std::min<uint64_t>(count - done - n, unit);
    }
    f(uint64_t(chain[index]) * unit + within, done, n);
    done += n;
    offset += n;
  }
}

// Lays out the sorted elements [lo, hi) of a storage as a balanced tree whose deepest
// level is red: every path then passes the same number of black nodes, and no red node
// has a red child, so the tree is a valid red-black tree. Returns the subtree's root.
uint32_t BuildTree(const std::vector<uint32_t>& ids, size_t lo, size_t hi, int depth, int redDepth,
                   std::vector<uint32_t>& left, std::vector<uint32_t>& right, std::vector<uint8_t>& black) {
  if (lo >= hi) return kNoStream;
  size_t mid = lo + (hi - lo) / 2;
  uint32_t id = ids[mid];
  left[id] = BuildTree(ids, lo, mid, depth + 1, redDepth, left, right, black);
  right[id] = BuildTree(ids, mid + 1, hi, depth + 1, redDepth, left, right, black);
  black[id] = depth == redDepth ? 0 : 1;
  return id;
}

}  // namespace

int CompareNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = VoFoldChar(a[i]), y = VoFoldChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

TVoCfbFile::TVoCfbFile(ComPtr<ILockBytes> lockBytes, uint32_t sectorSize, bool writable)
    : lockBytes_(std::move(lockBytes)), sectorSize_(sectorSize), writable_(writable) {
  if (!lockBytes_) Fail(STG_E_INVALIDPOINTER, u"no byte array");
}

TVoCfbFile::~TVoCfbFile() {
  try {
    if (dirty_ && Transacted())
      Forget();
    else if (dirty_)
      Commit();
  } catch (...) {
    // A destructor cannot report; callers that care call Commit first.
  }
  lockBytes_ = nullptr;
  if (deleteOnRelease_) {
    std::error_code ignored;
    std::filesystem::remove(*deleteOnRelease_, ignored);
  }
}

// --- opening ---

std::shared_ptr<TVoCfbFile> TVoCfbFile::Open(ComPtr<ILockBytes> lockBytes, bool writable, bool transacted) {
  if (!lockBytes) Fail(STG_E_INVALIDPOINTER, u"no byte array");
  STATSTG stat{};
  if (HRESULT hr = lockBytes->Stat(&stat, STATFLAG_NONAME); FAILED(hr)) Fail(hr, u"cannot read the byte array");
  uint64_t fileSize = stat.cbSize.QuadPart;
  uint8_t header[kHeaderSize] = {};
  if (fileSize < kHeaderSize) Fail(STG_E_FILEALREADYEXISTS, u"the file is not a compound file");
  ReadLockBytes(lockBytes.get(), 0, header, kHeaderSize);
  if (std::memcmp(header, kSignature, sizeof kSignature) != 0)
    Fail(STG_E_FILEALREADYEXISTS, u"the file is not a compound file");
  uint16_t major = Le16(header + 26), shift = Le16(header + 30);
  if (Le16(header + 28) != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12)) ||
      Le16(header + 32) != 6 || Le32(header + 56) != kMiniStreamCutoff)
    Fail(STG_E_INVALIDHEADER, u"the header is not valid");
  auto file = std::shared_ptr<TVoCfbFile>(new TVoCfbFile(std::move(lockBytes), 1u << shift, writable));
  file->Load(header, fileSize);
  if (transacted) file->snapshot_ = file->model_;
  return file;
}

void TVoCfbFile::Load(const uint8_t* header, uint64_t fileSize) {
  const uint32_t perSector = sectorSize_ / 4;
  uint64_t sectors = fileSize > sectorSize_ ? Units(fileSize - sectorSize_, sectorSize_) : 0;
  if (sectors > uint64_t(kMaxRegSect) + 1) Fail(STG_E_DOCFILETOOLARGE, u"the file is too large");
  const uint32_t sectorCount = uint32_t(sectors);
  std::vector<bool> claimed(sectorCount);
  auto claim = [&](uint32_t s) {
    if (s >= sectorCount || claimed[s]) Corrupt(u"a table sector is outside the file or used twice");
    claimed[s] = true;
  };
  std::vector<uint8_t> buffer(sectorSize_);
  auto readSector = [&](uint32_t s) { ReadBytes(SectorOffset(s), buffer.data(), sectorSize_); };

  // The FAT's sectors: the header's 109, then the DIFAT chain.
  Model m;
  uint32_t fatCount = Le32(header + 44);
  if (fatCount > sectorCount) Corrupt(u"the FAT is larger than the file");
  for (size_t i = 0; i < std::min<size_t>(fatCount, kHeaderDifat); ++i) {
    claim(Le32(header + 76 + 4 * i));
    m.fatSectors.push_back(Le32(header + 76 + 4 * i));
  }
  for (uint32_t next = Le32(header + 68); m.fatSectors.size() < fatCount;) {
    claim(next);
    m.difatSectors.push_back(next);
    readSector(next);
    for (uint32_t j = 0; j + 1 < perSector && m.fatSectors.size() < fatCount; ++j) {
      claim(Le32(&buffer[4 * j]));
      m.fatSectors.push_back(Le32(&buffer[4 * j]));
    }
    next = Le32(&buffer[4 * (perSector - 1)]);
  }
  std::vector<uint32_t> fat(sectorCount, kFreeSect);
  for (size_t k = 0; k < m.fatSectors.size(); ++k) {
    readSector(m.fatSectors[k]);
    for (uint32_t j = 0; j < perSector && k * perSector + j < sectorCount; ++j)
      fat[k * perSector + j] = Le32(&buffer[4 * j]);
  }

  // The directory.
  m.dirSectors = Walk(fat, Le32(header + 48), claimed, std::nullopt);
  if (m.dirSectors.empty()) Corrupt(u"the directory is empty");
  std::vector<uint8_t> dir(m.dirSectors.size() * sectorSize_);
  for (size_t k = 0; k < m.dirSectors.size(); ++k)
    ReadBytes(SectorOffset(m.dirSectors[k]), &dir[k * sectorSize_], sectorSize_);
  const size_t entryCount = dir.size() / kEntrySize;
  auto raw = [&](size_t id) { return &dir[id * kEntrySize]; };
  if (EntryType(raw(0)[66]) != EntryType::Root) Corrupt(u"the first directory entry is not the root");

  // The mini FAT and the mini stream (the root's data).
  m.miniFatSectors = Walk(fat, Le32(header + 60), claimed, std::nullopt);
  std::vector<uint32_t> miniFat;
  for (uint32_t s : m.miniFatSectors) {
    readSector(s);
    for (uint32_t j = 0; j < perSector; ++j) miniFat.push_back(Le32(&buffer[4 * j]));
  }
  const bool v3 = sectorSize_ == 512;
  auto sizeOf = [&](const uint8_t* p) { return v3 ? uint64_t(Le32(p + 120)) : Le64(p + 120); };
  m.entries.resize(entryCount);
  Entry& root = m.entries[kRootId];
  root.type = EntryType::Root;
  root.size = sizeOf(raw(0));
  root.sectors = Walk(fat, Le32(raw(0) + 116), claimed, Units(root.size, sectorSize_));
  miniFat.resize(root.size / kMiniSectorSize, kFreeSect);
  std::vector<bool> miniClaimed(miniFat.size());

  // The tree: every storage's elements, each reached once.
  std::vector<bool> reached(entryCount);
  reached[kRootId] = true;
  std::vector<uint32_t> storages{kRootId}, pending;
  while (!storages.empty()) {
    uint32_t parent = storages.back();
    storages.pop_back();
    Entry& p = m.entries[parent];
    for (pending.assign(1, Le32(raw(parent) + 76)); !pending.empty();) {
      uint32_t id = pending.back();
      pending.pop_back();
      if (id == kNoStream) continue;
      if (id >= entryCount || reached[id]) Corrupt(u"the directory tree cycles or leaves the directory");
      reached[id] = true;
      const uint8_t* r = raw(id);
      EntryType type = EntryType(r[66]);
      uint16_t nameBytes = Le16(r + 64);
      if ((type != EntryType::Storage && type != EntryType::Stream) || nameBytes < 2 || nameBytes > 64 || nameBytes % 2)
        Corrupt(u"a directory entry is not valid");
      Entry& e = m.entries[id];
      for (size_t i = 0; i + 1 < nameBytes / 2u && Le16(r + 2 * i); ++i) e.name.push_back(char16_t(Le16(r + 2 * i)));
      e.type = type;
      e.parent = parent;
      p.children.push_back(id);
      pending.push_back(Le32(r + 68));
      pending.push_back(Le32(r + 72));
      if (type == EntryType::Storage) {
        storages.push_back(id);
      } else {
        e.size = sizeOf(r);
        bool mini = e.size < kMiniStreamCutoff;
        e.sectors = mini ? Walk(miniFat, Le32(r + 116), miniClaimed, Units(e.size, kMiniSectorSize))
                         : Walk(fat, Le32(r + 116), claimed, Units(e.size, sectorSize_));
      }
    }
    auto less = [&](uint32_t a, uint32_t b) { return CompareNames(m.entries[a].name, m.entries[b].name) < 0; };
    std::sort(p.children.begin(), p.children.end(), less);
    for (size_t i = 1; i < p.children.size(); ++i)
      if (!less(p.children[i - 1], p.children[i])) Corrupt(u"two elements of a storage have one name");
  }
  for (uint32_t id = 0; id < entryCount; ++id) {
    if (!reached[id]) continue;
    Entry& e = m.entries[id];
    const uint8_t* r = raw(id);
    if (id == kRootId) e.name = u"Root Entry";
    e.clsid = ReadGuid(r + 80);
    e.stateBits = Le32(r + 96);
    e.ctime = Le64(r + 100);
    e.mtime = Le64(r + 108);
    e.serial = nextSerial_++;
  }

  // A sector the file's FAT marks as used stays so until the next commit rewrites the
  // tables, so that a transaction never overwrites what the committed state may use.
  m.sectorCount = sectorCount;
  m.used.resize(sectorCount);
  for (uint32_t s = 0; s < sectorCount; ++s) m.used[s] = claimed[s] || fat[s] != kFreeSect;
  m.miniUsed = miniClaimed;
  model_ = std::move(m);
}

// --- creating ---

std::shared_ptr<TVoCfbFile> TVoCfbFile::Create(ComPtr<ILockBytes> lockBytes, uint32_t sectorSize, bool transacted) {
  if (sectorSize != 512 && sectorSize != 4096) Fail(STG_E_INVALIDPARAMETER, u"the sector size must be 512 or 4096");
  auto file = std::shared_ptr<TVoCfbFile>(new TVoCfbFile(std::move(lockBytes), sectorSize, true));
  file->SetFileSize(0);
  Entry root;
  root.name = u"Root Entry";
  root.type = EntryType::Root;
  root.serial = file->nextSerial_++;
  file->model_.entries.push_back(std::move(root));
  file->dirty_ = true;
  file->Commit();
  if (transacted) file->snapshot_ = file->model_;
  return file;
}

// --- elements ---

bool TVoCfbFile::Alive(uint32_t id, uint64_t serial) const {
  return id < model_.entries.size() && model_.entries[id].type != EntryType::Unused &&
         model_.entries[id].serial == serial;
}

uint32_t TVoCfbFile::Find(uint32_t storage, std::u16string_view name) const {
  const auto& children = At(storage).children;
  auto it = std::lower_bound(children.begin(), children.end(), name,
                             [&](uint32_t id, std::u16string_view n) { return CompareNames(At(id).name, n) < 0; });
  return it != children.end() && CompareNames(At(*it).name, name) == 0 ? *it : kNoStream;
}

bool TVoCfbFile::IsWithin(uint32_t id, uint32_t storage) const {
  for (; id != kNoStream; id = At(id).parent)
    if (id == storage) return true;
  return false;
}

Entry& TVoCfbFile::Mutable(uint32_t id) {
  if (!writable_) Fail(STG_E_ACCESSDENIED, u"the file is open for reading only");
  dirty_ = true;
  return model_.entries.at(id);
}

void TVoCfbFile::InsertChild(uint32_t storage, uint32_t id) {
  auto& children = Mutable(storage).children;
  auto it = std::lower_bound(children.begin(), children.end(), id,
                             [&](uint32_t a, uint32_t b) { return CompareNames(At(a).name, At(b).name) < 0; });
  children.insert(it, id);
  Mutable(id).parent = storage;
}

void TVoCfbFile::RemoveChild(uint32_t id) {
  auto& children = Mutable(At(id).parent).children;
  children.erase(std::find(children.begin(), children.end(), id));
}

uint32_t TVoCfbFile::Create(uint32_t storage, const WideString& name, EntryType type) {
  Mutable(storage);
  auto& entries = model_.entries;
  auto slot =
      std::find_if(entries.begin() + 1, entries.end(), [](const Entry& e) { return e.type == EntryType::Unused; });
  uint32_t id = uint32_t(slot - entries.begin());
  if (slot == entries.end()) {
    if (entries.size() > kMaxRegSect) Fail(STG_E_DOCFILETOOLARGE, u"the directory is full");
    entries.emplace_back();
  }
  Entry& e = entries[id];
  e = Entry{};
  e.name = name;
  e.type = type;
  if (type == EntryType::Storage) e.ctime = e.mtime = FileTimeNow();
  e.serial = nextSerial_++;
  InsertChild(storage, id);
  return id;
}

void TVoCfbFile::Destroy(uint32_t id) {
  RemoveChild(id);
  for (std::vector<uint32_t> pending{id}; !pending.empty();) {
    Entry& e = Mutable(pending.back());
    pending.pop_back();
    pending.insert(pending.end(), e.children.begin(), e.children.end());
    ResizeChain(e.sectors, 0, IsMini(e, e.size));
    e = Entry{};
  }
}

void TVoCfbFile::Rename(uint32_t id, const WideString& name) {
  RemoveChild(id);
  Mutable(id).name = name;
  InsertChild(At(id).parent, id);
}

void TVoCfbFile::SetClass(uint32_t id, const CLSID& clsid) { Mutable(id).clsid = clsid; }

void TVoCfbFile::SetStateBits(uint32_t id, uint32_t bits, uint32_t mask) {
  Entry& e = Mutable(id);
  e.stateBits = (e.stateBits & ~mask) | (bits & mask);
}

void TVoCfbFile::SetTimes(uint32_t id, const FILETIME* ctime, const FILETIME* mtime) {
  Entry& e = Mutable(id);
  if (e.type == EntryType::Stream) return;  // the format keeps no times for streams
  if (ctime && e.type != EntryType::Root) e.ctime = FromFileTime(*ctime);
  if (mtime) e.mtime = FromFileTime(*mtime);
}

// --- stream data ---

bool TVoCfbFile::IsMini(const Entry& e, uint64_t size) const {
  return e.type == EntryType::Stream && size < kMiniStreamCutoff;
}

size_t TVoCfbFile::Read(uint32_t id, uint64_t offset, void* buffer, size_t count) {
  const Entry& e = At(id);
  if (offset >= e.size) return 0;
  count = size_t(std::min<uint64_t>(count, e.size - offset));
  ReadChain(e.sectors, IsMini(e, e.size), offset, static_cast<uint8_t*>(buffer), count);
  return count;
}

void TVoCfbFile::Write(uint32_t id, uint64_t offset, const void* buffer, size_t count) {
  if (count == 0) return;
  Entry& e = Mutable(id);
  uint64_t old = e.size, end = offset + count;
  if (end < offset || (sectorSize_ == 512 && end > kMaxStreamSizeV3))
    Fail(STG_E_MEDIUMFULL, u"the stream is too large");
  if (end > old) Resize(e, end);
  if (offset > old) ZeroChain(e.sectors, IsMini(e, e.size), old, offset - old);
  WriteChain(e.sectors, IsMini(e, e.size), offset, static_cast<const uint8_t*>(buffer), count);
}

void TVoCfbFile::SetSize(uint32_t id, uint64_t size) {
  Entry& e = Mutable(id);
  if (sectorSize_ == 512 && size > kMaxStreamSizeV3) Fail(STG_E_MEDIUMFULL, u"the stream is too large");
  uint64_t old = e.size;
  Resize(e, size);
  if (size > old) ZeroChain(e.sectors, IsMini(e, size), old, size - old);
}

void TVoCfbFile::Resize(Entry& e, uint64_t size) {
  bool wasMini = IsMini(e, e.size), mini = IsMini(e, size);
  uint64_t count = Units(size, mini ? kMiniSectorSize : sectorSize_);
  if (wasMini == mini) {
    ResizeChain(e.sectors, count, mini);
  } else {
    // One side is below the cutoff, so at most 4 KiB move.
    std::vector<uint8_t> kept(std::min(e.size, size));
    ReadChain(e.sectors, wasMini, 0, kept.data(), kept.size());
    ResizeChain(e.sectors, 0, wasMini);
    ResizeChain(e.sectors, count, mini);
    WriteChain(e.sectors, mini, 0, kept.data(), kept.size());
  }
  e.size = size;
}

void TVoCfbFile::ReadChain(const std::vector<uint32_t>& chain, bool mini, uint64_t offset, uint8_t* buffer,
                           size_t count) {
  ForEachRun(chain, mini ? kMiniSectorSize : sectorSize_, offset, count, [&](uint64_t pos, size_t done, size_t n) {
    if (mini)
      ReadChain(model_.entries[kRootId].sectors, false, pos, buffer + done, n);
    else
      ReadBytes(pos + sectorSize_, buffer + done, n);
  });
}

void TVoCfbFile::WriteChain(std::vector<uint32_t>& chain, bool mini, uint64_t offset, const uint8_t* buffer,
                            size_t count) {
  if (count == 0) return;
  // Mini sectors need no copies of their own: the mini stream's sectors get them.
  if (!mini) CopyOnWrite(chain, offset, count);
  ForEachRun(chain, mini ? kMiniSectorSize : sectorSize_, offset, count, [&](uint64_t pos, size_t done, size_t n) {
    if (mini)
      WriteChain(model_.entries[kRootId].sectors, false, pos, buffer + done, n);
    else
      WriteBytes(pos + sectorSize_, buffer + done, n);
  });
}

void TVoCfbFile::ZeroChain(std::vector<uint32_t>& chain, bool mini, uint64_t offset, uint64_t count) {
  std::vector<uint8_t> zeros(size_t(std::min<uint64_t>(count, kIoChunk)));
  for (uint64_t done = 0; done < count; done += zeros.size()) {
    size_t n = size_t(std::min<uint64_t>(count - done, zeros.size()));
    WriteChain(chain, mini, offset + done, zeros.data(), n);
  }
}

void TVoCfbFile::CopyOnWrite(std::vector<uint32_t>& chain, uint64_t offset, size_t count) {
  if (!snapshot_) return;
  std::vector<uint8_t> copy;
  for (uint64_t i = offset / sectorSize_; i <= (offset + count - 1) / sectorSize_ && i < chain.size(); ++i) {
    uint32_t old = chain[i];
    if (!Protected(old)) continue;
    uint32_t fresh = Allocate();
    bool whole = offset <= i * sectorSize_ && offset + count >= (i + 1) * sectorSize_;
    if (!whole) {
      copy.resize(sectorSize_);
      ReadBytes(SectorOffset(old), copy.data(), sectorSize_);
      WriteBytes(SectorOffset(fresh), copy.data(), sectorSize_);
    }
    chain[i] = fresh;
    Free(old);
  }
}

// --- sectors ---

bool TVoCfbFile::Protected(uint32_t sector) const {
  return snapshot_ && sector < snapshot_->sectorCount && snapshot_->used[sector];
}

uint32_t TVoCfbFile::Allocate() {
  auto& m = model_;
  for (uint32_t s = freeHint_; s < m.sectorCount; ++s) {
    if (!m.used[s] && !Protected(s)) {
      m.used[s] = true;
      freeHint_ = s + 1;
      return s;
    }
  }
  if (m.sectorCount > kMaxRegSect) Fail(STG_E_DOCFILETOOLARGE, u"the file is too large");
  m.used.push_back(true);
  freeHint_ = m.sectorCount + 1;
  return m.sectorCount++;
}

void TVoCfbFile::Free(uint32_t sector) {
  model_.used[sector] = false;
  freeHint_ = std::min(freeHint_, sector);
}

uint32_t TVoCfbFile::AllocateMini() {
  auto& used = model_.miniUsed;
  for (uint32_t s = miniFreeHint_; s < used.size(); ++s) {
    if (!used[s]) {
      used[s] = true;
      miniFreeHint_ = s + 1;
      return s;
    }
  }
  uint32_t s = uint32_t(used.size());
  used.push_back(true);
  miniFreeHint_ = s + 1;
  Entry& root = model_.entries[kRootId];
  root.size = uint64_t(s + 1) * kMiniSectorSize;
  ResizeChain(root.sectors, Units(root.size, sectorSize_), false);
  return s;
}

void TVoCfbFile::FreeMini(uint32_t sector) {
  model_.miniUsed[sector] = false;
  miniFreeHint_ = std::min(miniFreeHint_, sector);
}

void TVoCfbFile::ResizeChain(std::vector<uint32_t>& chain, size_t count, bool mini) {
  for (; chain.size() > count; chain.pop_back()) mini ? FreeMini(chain.back()) : Free(chain.back());
  while (chain.size() < count) chain.push_back(mini ? AllocateMini() : Allocate());
}

// --- the byte array ---

void TVoCfbFile::ReadBytes(uint64_t offset, void* buffer, size_t count) {
  uint64_t block = offset - offset % kBlockSize;
  if (offset + count > block + kBlockSize) return ReadLockBytes(lockBytes_.get(), offset, buffer, count);
  if (block != blockOffset_) {
    block_.resize(kBlockSize);
    blockOffset_ = UINT64_MAX;  // not valid until the read succeeds
    ReadLockBytes(lockBytes_.get(), block, block_.data(), kBlockSize);
    blockOffset_ = block;
  }
  std::memcpy(buffer, &block_[offset - block], count);
}

void TVoCfbFile::SetFileSize(uint64_t size) {
  blockOffset_ = UINT64_MAX;
  ULARGE_INTEGER newSize;
  newSize.QuadPart = size;
  if (HRESULT hr = lockBytes_->SetSize(newSize); FAILED(hr)) Fail(hr, u"cannot set the size of the file");
}

void TVoCfbFile::WriteBytes(uint64_t offset, const void* buffer, size_t count) {
  if (blockOffset_ != UINT64_MAX && offset < blockOffset_ + kBlockSize && blockOffset_ < offset + count)
    blockOffset_ = UINT64_MAX;
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (count) {
    ULONG want = ULONG(std::min<size_t>(count, kIoChunk)), put = 0;
    ULARGE_INTEGER at;
    at.QuadPart = offset;
    if (HRESULT hr = lockBytes_->WriteAt(at, in, want, &put); FAILED(hr)) Fail(hr, u"cannot write the file");
    if (put == 0) Fail(STG_E_MEDIUMFULL, u"cannot write the file");
    put = std::min(put, want);
    in += put, offset += put, count -= put;
  }
}

// --- committing ---

void TVoCfbFile::Commit() {
  if (!writable_ || !dirty_) return;
  Model& m = model_;
  TrimMiniStream();
  // What is in use is counted afresh from the chains: the old tables' sectors and any
  // the file marked used without a chain become free.
  std::fill(m.used.begin(), m.used.end(), false);
  for (const Entry& e : m.entries)
    if (e.type != EntryType::Unused && !IsMini(e, e.size))
      for (uint32_t s : e.sectors) m.used[s] = true;
  for (auto* list : {&m.fatSectors, &m.difatSectors, &m.dirSectors, &m.miniFatSectors}) list->clear();
  freeHint_ = 0;
  while (m.sectorCount > 0 && !m.used[m.sectorCount - 1] && !Protected(m.sectorCount - 1)) --m.sectorCount;
  m.used.resize(m.sectorCount);
  WriteMiniFat();
  WriteDirectory();
  WriteFat();
  SetFileSize(SectorOffset(m.sectorCount));
  WriteHeader();
  if (HRESULT hr = lockBytes_->Flush(); FAILED(hr)) Fail(hr, u"cannot flush the file");
  if (snapshot_) snapshot_ = m;
  freeHint_ = miniFreeHint_ = 0;
  dirty_ = false;
}

void TVoCfbFile::Revert() {
  if (!snapshot_) return;
  Forget();
  model_ = *snapshot_;
  for (uint32_t id = 1; id < model_.entries.size(); ++id)
    if (model_.entries[id].type != EntryType::Unused) model_.entries[id].serial = nextSerial_++;
  freeHint_ = miniFreeHint_ = 0;
  dirty_ = false;
}

void TVoCfbFile::Forget() {
  // Copies written during the transaction lie beyond the committed file or in its free
  // sectors; cutting the file back leaves it as it was.
  SetFileSize(SectorOffset(snapshot_->sectorCount));
}

void TVoCfbFile::TrimMiniStream() {
  auto& used = model_.miniUsed;
  while (!used.empty() && !used.back()) used.pop_back();
  miniFreeHint_ = std::min<uint32_t>(miniFreeHint_, uint32_t(used.size()));
  Entry& root = model_.entries[kRootId];
  root.size = uint64_t(used.size()) * kMiniSectorSize;
  ResizeChain(root.sectors, Units(root.size, sectorSize_), false);
}

void TVoCfbFile::WriteMiniFat() {
  std::vector<uint8_t> table(Units(model_.miniUsed.size() * 4, sectorSize_) * sectorSize_, 0xFF);
  for (const Entry& e : model_.entries) {
    if (!IsMini(e, e.size)) continue;
    for (size_t i = 0; i < e.sectors.size(); ++i)
      Put32(&table[4 * e.sectors[i]], i + 1 < e.sectors.size() ? e.sectors[i + 1] : kEndOfChain);
  }
  ResizeChain(model_.miniFatSectors, table.size() / sectorSize_, false);
  for (size_t k = 0; k < model_.miniFatSectors.size(); ++k)
    WriteBytes(SectorOffset(model_.miniFatSectors[k]), &table[k * sectorSize_], sectorSize_);
}

void TVoCfbFile::WriteDirectory() {
  auto& entries = model_.entries;
  while (entries.size() > 1 && entries.back().type == EntryType::Unused) entries.pop_back();
  const size_t n = entries.size();
  std::vector<uint32_t> left(n, kNoStream), right(n, kNoStream), child(n, kNoStream);
  std::vector<uint8_t> black(n, 1);
  for (uint32_t id = 0; id < n; ++id) {
    const auto& kids = entries[id].children;
    if (kids.empty()) continue;
    int redDepth = std::bit_width(kids.size()) - 1;  // the deepest level
    child[id] = BuildTree(kids, 0, kids.size(), 0, redDepth == 0 ? -1 : redDepth, left, right, black);
  }
  std::vector<uint8_t> dir(Units(n * kEntrySize, sectorSize_) * sectorSize_, 0);
  for (size_t id = 0; id < dir.size() / kEntrySize; ++id) {
    uint8_t* r = &dir[id * kEntrySize];
    Put32(r + 68, id < n ? left[id] : kNoStream);
    Put32(r + 72, id < n ? right[id] : kNoStream);
    Put32(r + 76, id < n ? child[id] : kNoStream);
    if (id >= n || entries[id].type == EntryType::Unused) continue;
    const Entry& e = entries[id];
    for (size_t i = 0; i < e.name.size(); ++i) Put16(r + 2 * i, e.name[i]);
    Put16(r + 64, uint16_t((e.name.size() + 1) * 2));
    r[66] = uint8_t(e.type);
    r[67] = black[id];
    PutGuid(r + 80, e.clsid);
    Put32(r + 96, e.stateBits);
    Put64(r + 100, e.ctime);
    Put64(r + 108, e.mtime);
    if (e.type != EntryType::Storage) {
      Put32(r + 116, e.sectors.empty() ? kEndOfChain : e.sectors[0]);
      Put64(r + 120, e.size);
    }
  }
  ResizeChain(model_.dirSectors, dir.size() / sectorSize_, false);
  for (size_t k = 0; k < model_.dirSectors.size(); ++k)
    WriteBytes(SectorOffset(model_.dirSectors[k]), &dir[k * sectorSize_], sectorSize_);
}

void TVoCfbFile::WriteFat() {
  Model& m = model_;
  const uint32_t perSector = sectorSize_ / 4;
  // The FAT covers its own sectors and the DIFAT's, so allocate until both suffice.
  for (;;) {
    uint64_t fatNeeded = Units(m.sectorCount, perSector);
    uint64_t difatNeeded = fatNeeded > kHeaderDifat ? Units(fatNeeded - kHeaderDifat, perSector - 1) : 0;
    if (m.fatSectors.size() < fatNeeded)
      m.fatSectors.push_back(Allocate());
    else if (m.difatSectors.size() < difatNeeded)
      m.difatSectors.push_back(Allocate());
    else
      break;
  }
  std::vector<uint32_t> fat(m.fatSectors.size() * perSector, kFreeSect);
  auto link = [&](const std::vector<uint32_t>& chain) {
    for (size_t i = 0; i < chain.size(); ++i) fat[chain[i]] = i + 1 < chain.size() ? chain[i + 1] : kEndOfChain;
  };
  for (const Entry& e : m.entries)
    if (e.type != EntryType::Unused && !IsMini(e, e.size)) link(e.sectors);
  link(m.dirSectors);
  link(m.miniFatSectors);
  for (uint32_t s : m.fatSectors) fat[s] = kFatSect;
  for (uint32_t s : m.difatSectors) fat[s] = kDifSect;

  std::vector<uint8_t> sector(sectorSize_);
  for (size_t k = 0; k < m.fatSectors.size(); ++k) {
    for (uint32_t j = 0; j < perSector; ++j) Put32(&sector[4 * j], fat[k * perSector + j]);
    WriteBytes(SectorOffset(m.fatSectors[k]), sector.data(), sectorSize_);
  }
  for (size_t k = 0; k < m.difatSectors.size(); ++k) {
    for (uint32_t j = 0; j + 1 < perSector; ++j) {
      size_t index = kHeaderDifat + k * (perSector - 1) + j;
      Put32(&sector[4 * j], index < m.fatSectors.size() ? m.fatSectors[index] : kFreeSect);
    }
    Put32(&sector[4 * (perSector - 1)], k + 1 < m.difatSectors.size() ? m.difatSectors[k + 1] : kEndOfChain);
    WriteBytes(SectorOffset(m.difatSectors[k]), sector.data(), sectorSize_);
  }
}

void TVoCfbFile::WriteHeader() {
  const Model& m = model_;
  uint8_t h[kHeaderSize] = {};
  std::memcpy(h, kSignature, sizeof kSignature);
  Put16(h + 24, 0x003E);
  Put16(h + 26, sectorSize_ == 512 ? 3 : 4);
  Put16(h + 28, 0xFFFE);
  Put16(h + 30, sectorSize_ == 512 ? 9 : 12);
  Put16(h + 32, 6);
  Put32(h + 40, sectorSize_ == 512 ? 0 : uint32_t(m.dirSectors.size()));
  Put32(h + 44, uint32_t(m.fatSectors.size()));
  Put32(h + 48, m.dirSectors.front());
  Put32(h + 56, uint32_t(kMiniStreamCutoff));
  Put32(h + 60, m.miniFatSectors.empty() ? kEndOfChain : m.miniFatSectors.front());
  Put32(h + 64, uint32_t(m.miniFatSectors.size()));
  Put32(h + 68, m.difatSectors.empty() ? kEndOfChain : m.difatSectors.front());
  Put32(h + 72, uint32_t(m.difatSectors.size()));
  for (size_t i = 0; i < kHeaderDifat; ++i)
    Put32(h + 76 + 4 * i, i < m.fatSectors.size() ? m.fatSectors[i] : kFreeSect);
  WriteBytes(0, h, kHeaderSize);
}

}  // namespace orba::cfb
