// Value helpers, property tables and change stamping of the store engine.
#include <cstring>

#include "base/filetime.h"
#include "base/maperror.h"
#include "memory/mapimemory.h"
#include "orba/common/casefold.h"
#include "storage/sqlite/storeinternal.h"
#include "table/propcompare.h"

namespace orba::store {

TSqlReadSnapshot::TSqlReadSnapshot(TSqlDatabase& db) : db_(db) { db_.Execute("BEGIN"); }
TSqlReadSnapshot::~TSqlReadSnapshot() {
  try {
    db_.Execute("COMMIT");
  } catch (...) {
    // A read transaction has nothing to lose; the next BEGIN reports a real failure.
  }
}

namespace detail {
namespace {

Bytes Encode(const SPropValue& value) { return EncodePropValue(value); }

void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(std::span<const uint8_t> bytes, size_t& pos) {
  if (bytes.size() - pos < 4) throw TMapiError(MAPI_E_CORRUPT_DATA, "A stored property list is damaged.");
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{bytes[pos + i]} << (8 * i);
  pos += 4;
  return v;
}

}  // namespace

const SPropValue& Decode(const TStoredProp& prop, TMapiBuffer<SPropValue>& holder) {
  holder = TMapiBuffer<SPropValue>::Allocate();
  void* parent = holder.get();
  DecodePropValue(
      prop.tag, prop.value, [parent](size_t cb) { return AllocateMore(cb, parent); }, *holder);
  return *holder;
}

const TStoredProp* FindProp(const TStoredProps& props, ULONG propId) {
  for (const auto& prop : props)
    if (PROP_ID(prop.tag) == propId) return &prop;
  return nullptr;
}

std::optional<int64_t> IntValue(const TStoredProp& prop) {
  ULONG type = PROP_TYPE(prop.tag);
  if (type != PT_LONG && type != PT_BOOLEAN && type != PT_I8 && type != PT_SYSTIME) return std::nullopt;
  TMapiBuffer<SPropValue> holder;
  const SPropValue& value = Decode(prop, holder);
  switch (type) {
    case PT_LONG: return value.Value.l;
    case PT_BOOLEAN: return value.Value.b ? 1 : 0;
    case PT_I8: return value.Value.li.QuadPart;
    default: return static_cast<int64_t>(FileTimeBits(value.Value.ft));
  }
}

TStoredProp TextProp(ULONG tag, std::u16string_view text) {
  std::u16string copy(text);
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(copy.data());
  return {tag, Encode(value)};
}

TStoredProp LongProp(ULONG tag, ULONG v) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.ul = v;
  return {tag, Encode(value)};
}

TStoredProp BinaryProp(ULONG tag, const Bytes& bytes) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.bin.cb = static_cast<ULONG>(bytes.size());
  value.Value.bin.lpb = const_cast<LPBYTE>(bytes.data());
  return {tag, Encode(value)};
}

TStoredProp TimeProp(ULONG tag, int64_t fileTime) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.ft = ToFileTime(static_cast<uint64_t>(fileTime));
  return {tag, Encode(value)};
}

Bytes FoldKey(std::u16string_view text) {
  Bytes key;
  key.reserve(text.size() * 2);
  for (char16_t c : text) {
    char16_t folded = VoFoldChar(c);
    key.push_back(static_cast<uint8_t>(folded >> 8));
    key.push_back(static_cast<uint8_t>(folded));
  }
  return key;
}

Bytes EncodePropList(const TStoredProps& props) {
  Bytes out;
  PutU32(out, static_cast<uint32_t>(props.size()));
  for (const auto& prop : props) {
    PutU32(out, prop.tag);
    PutU32(out, static_cast<uint32_t>(prop.value.size()));
    out.insert(out.end(), prop.value.begin(), prop.value.end());
  }
  return out;
}

TStoredProps DecodePropList(std::span<const uint8_t> bytes) {
  size_t pos = 0;
  uint32_t count = GetU32(bytes, pos);
  TStoredProps props;
  for (uint32_t i = 0; i < count; ++i) {
    TStoredProp prop;
    prop.tag = GetU32(bytes, pos);
    uint32_t size = GetU32(bytes, pos);
    if (bytes.size() - pos < size) throw TMapiError(MAPI_E_CORRUPT_DATA, "A stored property list is damaged.");
    prop.value.assign(bytes.begin() + static_cast<ptrdiff_t>(pos), bytes.begin() + static_cast<ptrdiff_t>(pos + size));
    pos += size;
    props.push_back(std::move(prop));
  }
  if (pos != bytes.size()) throw TMapiError(MAPI_E_CORRUPT_DATA, "A stored property list is damaged.");
  return props;
}

void CheckProps(const TStoredProps& props) {
  for (const auto& prop : props) {
    if (!IsStorablePropType(PROP_TYPE(prop.tag)))
      throw TMapiError(MAPI_E_INVALID_TYPE, "A property of this type cannot be stored.");
    TMapiBuffer<SPropValue> holder;
    Decode(prop, holder);
  }
}

uint64_t SizeOf(const TStoredProps& props) {
  uint64_t size = 0;
  for (const auto& prop : props) size += 4 + prop.value.size();
  return size;
}

TStoredProps ReadProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id) {
  auto stmt = db.Prepare("SELECT tag, value FROM " + std::string(table) + " WHERE " + std::string(owner) +
                         "=? ORDER BY prop_id");
  stmt.Bind(1, id);
  TStoredProps props;
  while (stmt.Step()) props.push_back({static_cast<ULONG>(stmt.Int(0)), stmt.Blob(1)});
  return props;
}

void WriteProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id, const TStoredProps& set,
                const std::vector<ULONG>& deletedIds) {
  if (!deletedIds.empty()) {
    auto remove = db.Prepare("DELETE FROM " + std::string(table) + " WHERE " + std::string(owner) + "=? AND prop_id=?");
    for (ULONG propId : deletedIds) {
      remove.Bind(1, id).Bind(2, int64_t{propId});
      remove.Run();
      remove.Reset();
    }
  }
  if (set.empty()) return;
  auto insert = db.Prepare("INSERT OR REPLACE INTO " + std::string(table) + "(" + std::string(owner) +
                           ", prop_id, tag, value) VALUES(?,?,?,?)");
  for (const auto& prop : set) {
    insert.Bind(1, id).Bind(2, int64_t{PROP_ID(prop.tag)}).Bind(3, int64_t{prop.tag}).Bind(4, prop.value);
    insert.Run();
    insert.Reset();
  }
}

int64_t NextCounter(TSqlDatabase& db, std::string_view column) {
  std::string name(column);
  // An UPDATE of the one row by its key needs no statement journal, which an UPDATE ...
  // RETURNING sets up (and tears down) on every call: the read comes separately.
  db.Prepare("UPDATE store_info SET " + name + "=" + name + "+1 WHERE id=1").Run();
  if (db.Changes() != 1) throw TMapiError(MAPI_E_CORRUPT_DATA, "The store has no identity.");
  auto stmt = db.Prepare("SELECT " + name + " FROM store_info WHERE id=1");
  stmt.Step();
  int64_t value = stmt.Int(0);
  if (value > kMaxXidCounter) throw TMapiError(MAPI_E_CALL_FAILED, "The store's change counter overflowed.");
  return value;
}

TChangeState NewChange(TSqlDatabase& db, const GUID& guid, const TChangeState& previous) {
  TChangeState next;
  next.sourceKey = previous.sourceKey;
  next.changeNumber = NextCounter(db, "change_number");
  next.changeKey = MakeXid(guid, next.changeNumber);
  next.predecessors = MergePredecessors(previous.predecessors, next.changeKey);
  return next;
}

TChangeState NewObject(TSqlDatabase& db, const GUID& guid) {
  TChangeState first;
  first.sourceKey = MakeXid(guid, NextCounter(db, "global_counter"));
  return NewChange(db, guid, first);
}

void AddTombstone(TSqlDatabase& db, int64_t folderId, TObjectKind kind, const Bytes& sourceKey, int64_t changeNumber,
                  bool soft, bool associated) {
  db.Prepare(
        "INSERT INTO tombstones(folder_id, kind, source_key, change_number, soft, associated) "
        "VALUES(?,?,?,?,?,?)")
      .Bind(1, folderId)
      .Bind(2, int64_t{static_cast<uint16_t>(kind)})
      .Bind(3, sourceKey)
      .Bind(4, changeNumber)
      .Bind(5, int64_t{soft})
      .Bind(6, int64_t{associated})
      .Run();
}

}  // namespace detail
}  // namespace orba::store
