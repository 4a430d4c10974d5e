// The store's named-property map: see namedprops.h.
#include "storage/sqlite/namedprops.h"

#include <cstring>

#include "base/maperror.h"
#include "orba/common/utf8.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

std::span<const uint8_t> GuidBytes(const GUID& guid) { return {reinterpret_cast<const uint8_t*>(&guid), sizeof(GUID)}; }

TPropName NameFrom(const TSqlStatement& stmt, int first) {
  Bytes guidBytes = stmt.Blob(first);
  if (guidBytes.size() != sizeof(GUID)) throw TMapiError(MAPI_E_CORRUPT_DATA, "A named property is damaged.");
  GUID guid;
  std::memcpy(&guid, guidBytes.data(), sizeof(GUID));
  if (stmt.Int(first + 1) == MNID_ID) return TPropName::FromId(guid, static_cast<LONG>(stmt.Int(first + 2)));
  return TPropName::FromString(guid, FromUtf8(stmt.Text(first + 3)));
}

}  // namespace

void TNameMap::Remember(ULONG propId, const TPropName& name) const {
  ids_[name] = propId;
  names_[propId] = name;
}

ULONG TNameMap::Lookup(const TPropName& name) const {
  if (auto it = ids_.find(name); it != ids_.end()) return it->second;
  auto stmt = store_.Db().Prepare("SELECT prop_id FROM named_props WHERE guid=? AND kind=? AND lid=? AND name=?");
  stmt.Bind(1, GuidBytes(name.guid))
      .Bind(2, int64_t{name.kind})
      .Bind(3, int64_t{name.kind == MNID_ID ? name.id : 0})
      .Bind(4, name.kind == MNID_STRING ? ToUtf8(name.name) : std::string());
  if (!stmt.Step()) return 0;
  auto propId = static_cast<ULONG>(stmt.Int(0));
  Remember(propId, name);
  return propId;
}

ULONG TNameMap::GetId(const TPropName& name, bool create) {
  auto lock = store_.Lock();
  if (ULONG known = Lookup(name); known != 0 || !create) return known;
  TSqlTransaction tx(store_.Db());
  // Another process may have mapped the name since the lookup.
  if (ULONG known = Lookup(name)) return known;
  auto next = store_.Db().Prepare("SELECT coalesce(max(prop_id) + 1, ?) FROM named_props");
  next.Bind(1, int64_t{kFirstNamedId});
  next.Step();
  int64_t propId = next.Int(0);
  if (propId > kLastNamedId) throw TMapiError(MAPI_E_NOT_ENOUGH_RESOURCES, "no named property identifiers left");
  store_.Db()
      .Prepare("INSERT INTO named_props(prop_id, guid, kind, lid, name) VALUES(?,?,?,?,?)")
      .Bind(1, propId)
      .Bind(2, GuidBytes(name.guid))
      .Bind(3, int64_t{name.kind})
      .Bind(4, int64_t{name.kind == MNID_ID ? name.id : 0})
      .Bind(5, name.kind == MNID_STRING ? ToUtf8(name.name) : std::string())
      .Run();
  tx.Commit();
  Remember(static_cast<ULONG>(propId), name);
  return static_cast<ULONG>(propId);
}

std::optional<TPropName> TNameMap::GetName(ULONG propId) const {
  auto lock = store_.Lock();
  if (auto it = names_.find(propId); it != names_.end()) return it->second;
  auto stmt = store_.Db().Prepare("SELECT guid, kind, lid, name FROM named_props WHERE prop_id=?");
  stmt.Bind(1, int64_t{propId});
  if (!stmt.Step()) return std::nullopt;
  TPropName name = NameFrom(stmt, 0);
  Remember(propId, name);
  return name;
}

std::vector<std::pair<ULONG, TPropName>> TNameMap::All() const {
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare("SELECT prop_id, guid, kind, lid, name FROM named_props ORDER BY prop_id");
  std::vector<std::pair<ULONG, TPropName>> all;
  while (stmt.Step()) all.emplace_back(static_cast<ULONG>(stmt.Int(0)), NameFrom(stmt, 1));
  return all;
}

}  // namespace orba::store::sqlite
