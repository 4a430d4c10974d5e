// The SQLite backend's contents queries: see storage/contents.h. Restrictions and sort
// orders on the columns the messages table keeps go into the SQL (contentsql.h).
#pragma once

#include "storage/contents.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TContents final : public IFolderContents {
 public:
  explicit TContents(TStoreDatabase& store) : store_(store) {}

  bool AcceptsRestriction(const SRestriction& restriction) const override;
  bool AcceptsSort(const SSortOrderSet& sort) const override;
  bool IsExact(const SRestriction& restriction) const override;
  bool Query(const TContentsQuery& query, const TContentsRowSink& each) override;
  std::optional<TContentsRow> Row(int64_t folderId, bool associated, int64_t messageId) override;
  std::vector<TContentsRow> Rows(const std::vector<int64_t>& messageIds) override;

 private:
  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
