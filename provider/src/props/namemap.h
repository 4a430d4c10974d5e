// Named properties: the map from names (a property set GUID with a number or a
// string) to the identifiers 0x8000-0xFFFE of one store. NameMap is what property
// objects call; MemoryNameMap is the in-memory implementation, which tells an
// optional NameMapStorage about every mapping it creates so that a store can keep
// them (and loads the kept ones back with Load).
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mapi/mapidefs.h"

namespace orba::store {

inline constexpr ULONG kFirstNamedId = 0x8000;
inline constexpr ULONG kLastNamedId = 0xFFFE;

struct PropName {
  GUID guid{};
  ULONG kind = MNID_ID;  // MNID_ID or MNID_STRING
  LONG id = 0;           // MNID_ID
  std::u16string name;   // MNID_STRING

  static PropName FromId(const GUID& guid, LONG id) { return {guid, MNID_ID, id, {}}; }
  static PropName FromString(const GUID& guid, std::u16string name) { return {guid, MNID_STRING, 0, std::move(name)}; }
  // Throws MapiError(MAPI_E_INVALID_PARAMETER) for a null GUID pointer, an unknown
  // kind or a null string.
  static PropName FromMapi(const MAPINAMEID& name);
  bool operator<(const PropName& other) const;
  bool operator==(const PropName& other) const;
};

class NameMap {
 public:
  virtual ~NameMap() = default;
  // The identifier of name; when it has none, a new one if create is set, else 0.
  // Throws MapiError(MAPI_E_NOT_ENOUGH_RESOURCES) when the identifiers run out.
  virtual ULONG GetId(const PropName& name, bool create) = 0;
  // The name of a named identifier, if mapped.
  virtual std::optional<PropName> GetName(ULONG propId) const = 0;
  // Every mapping, in identifier order.
  virtual std::vector<std::pair<ULONG, PropName>> All() const = 0;
};

// Keeps the mappings a MemoryNameMap creates; Added runs before the new identifier
// is handed out, and a throw from it cancels the mapping.
class NameMapStorage {
 public:
  virtual ~NameMapStorage() = default;
  virtual void Added(ULONG propId, const PropName& name) = 0;
};

// Thread-safe.
class MemoryNameMap : public NameMap {
 public:
  explicit MemoryNameMap(NameMapStorage* storage = nullptr) : storage_(storage) {}
  // Restores a kept mapping (no call to the storage). Throws MapiError
  // (MAPI_E_INVALID_PARAMETER) for an identifier outside the named range or a clash.
  void Load(ULONG propId, const PropName& name);

  ULONG GetId(const PropName& name, bool create) override;
  std::optional<PropName> GetName(ULONG propId) const override;
  std::vector<std::pair<ULONG, PropName>> All() const override;

 private:
  NameMapStorage* storage_;
  mutable std::mutex mutex_;
  std::map<PropName, ULONG> ids_;
  std::map<ULONG, PropName> names_;
  ULONG next_ = kFirstNamedId;
};

}  // namespace orba::store
