// The SQLite backend's search folders: see storage/search.h.
#pragma once

#include "storage/search.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TSearch final : public IStoreSearch {
 public:
  explicit TSearch(TStoreDatabase& store) : store_(store) {}

  std::optional<TSearchCriteria> Criteria(int64_t folderId) override;
  void SetCriteria(int64_t folderId, const TSearchCriteria& criteria, const std::vector<int64_t>& kept) override;
  std::vector<int64_t> Scope(const TSearchCriteria& criteria) override;
  std::vector<int64_t> KeptResults(int64_t folderId) override;

  // Step. REQUIRES: the store lock is held and a write transaction is open.
  // Gives the folder copy the criteria of the search folder source, if it has any.
  void CopyCriteria(int64_t source, int64_t copy);

 private:
  // REQUIRES: the store lock is held. MAPI_E_NO_SUPPORT for a folder that is not a
  // search folder.
  TFolderRecord SearchFolder(int64_t id);

  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
