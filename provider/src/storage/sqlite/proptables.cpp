// Property values in a store's database: see proptables.h.
#include "storage/sqlite/proptables.h"

#include "base/maperror.h"
#include "orba/common/casefold.h"
#include "props/propvalues.h"

namespace orba::store::sqlite {
namespace {

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
  }
  DecodeStored(props);
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

}  // namespace orba::store::sqlite
