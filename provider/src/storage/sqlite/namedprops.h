// The named-property map of one store, kept in its database so that every process
// using the store sees one mapping: a name missing from this process's cache is
// looked up in the database, and a new identifier is taken inside a write
// transaction (the next free one after the highest in use).
#pragma once

#include <map>
#include <memory>

#include "props/namemap.h"

namespace orba::store {

struct TStoreConnection;

class TStoreNameMap : public INameMap {
 public:
  explicit TStoreNameMap(std::shared_ptr<TStoreConnection> connection) : conn_(std::move(connection)) {}

  ULONG GetId(const TPropName& name, bool create) override;
  std::optional<TPropName> GetName(ULONG propId) const override;
  std::vector<std::pair<ULONG, TPropName>> All() const override;

 private:
  ULONG Lookup(const TPropName& name) const;
  void Remember(ULONG propId, const TPropName& name) const;

  std::shared_ptr<TStoreConnection> conn_;
  // Mappings never change once made, so the cache needs no invalidation.
  mutable std::map<TPropName, ULONG> ids_;
  mutable std::map<ULONG, TPropName> names_;
};

}  // namespace orba::store
