// The named-property map of one store, kept in its database so that every process
// using the store sees one mapping: a name missing from this process's cache is
// looked up in the database, and a new identifier is taken inside a write
// transaction (the next free one after the highest in use).
#pragma once

#include <map>
#include <memory>

#include "props/namemap.h"

namespace orba::store {

struct StoreConnection;

class TStoreNameMap : public NameMap {
 public:
  explicit TStoreNameMap(std::shared_ptr<StoreConnection> connection) : conn_(std::move(connection)) {}

  ULONG GetId(const PropName& name, bool create) override;
  std::optional<PropName> GetName(ULONG propId) const override;
  std::vector<std::pair<ULONG, PropName>> All() const override;

 private:
  ULONG Lookup(const PropName& name) const;
  void Remember(ULONG propId, const PropName& name) const;

  std::shared_ptr<StoreConnection> conn_;
  // Mappings never change once made, so the cache needs no invalidation.
  mutable std::map<PropName, ULONG> ids_;
  mutable std::map<ULONG, PropName> names_;
};

}  // namespace orba::store
