// The named-property map of one store, kept in its database so that every process
// using the store sees one mapping: a name missing from this process's cache is
// looked up in the database, and a new identifier is taken inside a write
// transaction (the next free one after the highest in use).
//
// Thread-safe: every method takes the store lock. Invariant: a mapping, once made,
// never changes, so the cache needs no invalidation.
#pragma once

#include <map>

#include "props/namemap.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TNameMap final : public INameMap {
 public:
  explicit TNameMap(TStoreDatabase& store) : store_(store) {}

  ULONG GetId(const TPropName& name, bool create) override;
  std::optional<TPropName> GetName(ULONG propId) const override;
  std::vector<std::pair<ULONG, TPropName>> All() const override;

 private:
  // REQUIRES: the store lock is held.
  ULONG Lookup(const TPropName& name) const;
  void Remember(ULONG propId, const TPropName& name) const;

  TStoreDatabase& store_;
  mutable std::map<TPropName, ULONG> ids_;
  mutable std::map<ULONG, TPropName> names_;
};

}  // namespace orba::store::sqlite
