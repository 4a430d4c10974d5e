#include "props/namemap.h"

#include <cstring>
#include <tuple>

#include "base/maperror.h"

namespace orba::store {

TPropName TPropName::FromMapi(const MAPINAMEID& name) {
  if (!name.lpguid) throw TMapiError(MAPI_E_INVALID_PARAMETER, "a property name without a property set");
  if (name.ulKind == MNID_ID) return FromId(*name.lpguid, name.Kind.lID);
  if (name.ulKind == MNID_STRING && name.Kind.lpwstrName) return FromString(*name.lpguid, name.Kind.lpwstrName);
  throw TMapiError(MAPI_E_INVALID_PARAMETER, "malformed property name");
}

bool TPropName::operator<(const TPropName& other) const {
  int guidOrder = std::memcmp(&guid, &other.guid, sizeof(GUID));
  if (guidOrder != 0) return guidOrder < 0;
  return std::tie(kind, id, name) < std::tie(other.kind, other.id, other.name);
}

bool TPropName::operator==(const TPropName& other) const { return !(*this < other) && !(other < *this); }

void TMemoryNameMap::Load(ULONG propId, const TPropName& name) {
  std::lock_guard lock(mutex_);
  if (propId < kFirstNamedId || propId > kLastNamedId)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "not a named property identifier");
  auto known = ids_.find(name);
  if (names_.count(propId) || (known != ids_.end() && known->second != propId))
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "conflicting named property mapping");
  ids_[name] = propId;
  names_[propId] = name;
  if (propId >= next_) next_ = propId + 1;
}

ULONG TMemoryNameMap::GetId(const TPropName& name, bool create) {
  std::lock_guard lock(mutex_);
  if (auto it = ids_.find(name); it != ids_.end()) return it->second;
  if (!create) return 0;
  // Identifiers are handed out in order; gaps left by Load are not reused.
  if (next_ > kLastNamedId) throw TMapiError(MAPI_E_NOT_ENOUGH_RESOURCES, "no named property identifiers left");
  ULONG id = next_;
  if (storage_) storage_->Added(id, name);
  ids_[name] = id;
  names_[id] = name;
  ++next_;
  return id;
}

std::optional<TPropName> TMemoryNameMap::GetName(ULONG propId) const {
  std::lock_guard lock(mutex_);
  auto it = names_.find(propId);
  if (it == names_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::pair<ULONG, TPropName>> TMemoryNameMap::All() const {
  std::lock_guard lock(mutex_);
  return {names_.begin(), names_.end()};
}

}  // namespace orba::store
