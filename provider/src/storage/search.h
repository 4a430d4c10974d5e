// A store's search folders (FOLDER_SEARCH): their criteria, the folders they search
// and the results a stopped search keeps. Matching messages against the criteria is the
// tables' work (mapiobjects/searchrows.h); the store keeps what was asked for.
//
// Thread-safe: every method runs in one transaction of the store (a read in one
// snapshot). Failures raise TMapiError: MAPI_E_NOT_FOUND for a missing folder,
// MAPI_E_NO_SUPPORT for one that is not a search folder. Invariants: a search never
// searches itself; a copy of a search folder gets its criteria.
#pragma once

#include <optional>
#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

class IStoreSearch {
 public:
  virtual ~IStoreSearch() = default;

  // A search folder's criteria, nullopt before any were set.
  virtual std::optional<TSearchCriteria> Criteria(int64_t folderId) = 0;
  // Replaces a search folder's criteria; a stopped search keeps the messages of kept
  // as its results. The listed folders must exist (MAPI_E_NOT_FOUND) and must not be
  // the search folder itself (MAPI_E_INVALID_PARAMETER).
  virtual void SetCriteria(int64_t folderId, const TSearchCriteria& criteria, const std::vector<int64_t>& kept) = 0;
  // The folders criteria search now: the listed ones that still exist and, when
  // recursive, every folder below them; never a search folder. In id order.
  virtual std::vector<int64_t> Scope(const TSearchCriteria& criteria) = 0;
  // The messages a stopped search keeps that still exist (in any folder).
  virtual std::vector<int64_t> KeptResults(int64_t folderId) = 0;
};

}  // namespace orba::store
