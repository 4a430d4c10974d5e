// Named properties: the map from names (a property set GUID with a number or a
// string) to the identifiers 0x8000-0xFFFE of one store. INameMap is what property
// objects call; TMemoryNameMap is the in-memory implementation, which tells an
// optional INameMapStorage about every mapping it creates so that a store can keep
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

struct TPropName {
  GUID guid{};
  ULONG kind = MNID_ID;  // MNID_ID or MNID_STRING
  LONG id = 0;           // MNID_ID
  std::u16string name;   // MNID_STRING

  static TPropName FromId(const GUID& guid, LONG id) { return {guid, MNID_ID, id, {}}; }
  static TPropName FromString(const GUID& guid, std::u16string name) { return {guid, MNID_STRING, 0, std::move(name)}; }
  // Throws TMapiError(MAPI_E_INVALID_PARAMETER) for a null GUID pointer, an unknown
  // kind or a null string.
  static TPropName FromMapi(const MAPINAMEID& name);
  bool operator<(const TPropName& other) const;
  bool operator==(const TPropName& other) const;
};

class INameMap {
 public:
  virtual ~INameMap() = default;
  // The identifier of name; when it has none, a new one if create is set, else 0.
  // Throws TMapiError(MAPI_E_NOT_ENOUGH_RESOURCES) when the identifiers run out.
  virtual ULONG GetId(const TPropName& name, bool create) = 0;
  // The name of a named identifier, if mapped.
  virtual std::optional<TPropName> GetName(ULONG propId) const = 0;
  // Every mapping, in identifier order.
  virtual std::vector<std::pair<ULONG, TPropName>> All() const = 0;
};

// Keeps the mappings a TMemoryNameMap creates; Added runs before the new identifier
// is handed out, and a throw from it cancels the mapping.
class INameMapStorage {
 public:
  virtual ~INameMapStorage() = default;
  virtual void Added(ULONG propId, const TPropName& name) = 0;
};

// Thread-safe.
class TMemoryNameMap : public INameMap {
 public:
  explicit TMemoryNameMap(INameMapStorage* storage = nullptr) : storage_(storage) {}
  // Restores a kept mapping (no call to the storage). Throws TMapiError
  // (MAPI_E_INVALID_PARAMETER) for an identifier outside the named range or a clash.
  void Load(ULONG propId, const TPropName& name);

  ULONG GetId(const TPropName& name, bool create) override;
  std::optional<TPropName> GetName(ULONG propId) const override;
  std::vector<std::pair<ULONG, TPropName>> All() const override;

 private:
  INameMapStorage* storage_;
  mutable std::mutex mutex_;
  std::map<TPropName, ULONG> ids_;
  std::map<ULONG, TPropName> names_;
  ULONG next_ = kFirstNamedId;
};

}  // namespace orba::store
