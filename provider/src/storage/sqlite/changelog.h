// The SQLite backend's change log: see storage/changelog.h. Besides the queries, the
// steps that stamp changes, which the other collaborators call.
#pragma once

#include <string_view>

#include "storage/changelog.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TChangeLog final : public IChangeLog {
 public:
  explicit TChangeLog(TStoreDatabase& store) : store_(store) {}

  int64_t CurrentChangeNumber() override;
  TContentChanges ContentChangesSince(int64_t folderId, int64_t changeNumber) override;
  THierarchyChanges HierarchyChangesSince(int64_t folderId, int64_t changeNumber) override;

  // Steps. REQUIRES: the store lock is held and a write transaction is open.
  // The next change number.
  int64_t NextChangeNumber();
  // A new change on an object: the next change number, its change key and the
  // predecessor list merged with it.
  TChangeState NewChange(const TChangeState& previous);
  // A new object's change state: a new source key and a first change.
  TChangeState NewObject();
  // Records a deletion (or a move out) of an object of folderId.
  void AddTombstone(int64_t folderId, TObjectKind kind, const Bytes& sourceKey, int64_t changeNumber, bool soft,
                    bool associated);

 private:
  // The next value of a counter of the store ("change_number" or "global_counter").
  int64_t NextCounter(std::string_view column);

  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
