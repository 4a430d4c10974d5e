// Search folders of a store (FOLDER_SEARCH): their criteria, set and read through
// IMAPIContainer's SetSearchCriteria / GetSearchCriteria, and their results: the
// messages of the searched folders that satisfy the restriction, shown by the
// folder's contents table (with each real message's entry ID and PR_PARENT_ENTRYID)
// and counted by its PR_CONTENT_COUNT / PR_CONTENT_UNREAD.
//
// A search runs when SetSearchCriteria is called and is complete when it returns.
// A running search follows every change of the store (its contents table raises row
// events); a stopped one (STOP_SEARCH) keeps the results it had.
#pragma once

#include <memory>
#include <vector>

#include "mapiobjects/openstore.h"
#include "table/tablesource.h"

namespace orba::store {

// SetSearchCriteria of the search folder folderId: checks the arguments, runs the
// search, keeps the criteria in the store and raises fnevSearchComplete. Throws
// TMapiError: MAPI_E_NO_SUPPORT (not a search folder), MAPI_E_UNKNOWN_FLAGS,
// MAPI_E_INVALID_PARAMETER (contradicting flags, a first search without restriction
// or folders, the search folder among its folders), MAPI_E_TOO_COMPLEX,
// MAPI_E_INVALID_ENTRYID / MAPI_E_UNKNOWN_ENTRYID (entry IDs that are not this store's
// folders), MAPI_E_NOT_FOUND (a folder that does not exist).
void SetSearchCriteria(const std::shared_ptr<TOpenStore>& store, int64_t folderId, const SRestriction* restriction,
                       const ENTRYLIST* folders, ULONG flags);

// GetSearchCriteria: each answer asked for in a MAPI buffer of its own (null
// out-pointers are skipped). MAPI_E_NOT_INITIALIZED before any criteria were set.
void GetSearchCriteria(const std::shared_ptr<TOpenStore>& store, int64_t folderId, ULONG flags,
                       LPSRestriction* restriction, LPENTRYLIST* folders, ULONG* state);

// The contents table source of a search folder.
std::shared_ptr<TTableRowSource> CreateSearchSource(std::shared_ptr<TOpenStore> store, int64_t folderId);

// One message a search folder shows.
struct TSearchResult {
  int64_t id = 0;
  int64_t folderId = 0;  // the folder that holds it
  ULONG flags = 0;       // PR_MESSAGE_FLAGS
};
// The messages a search folder shows now (none before criteria were set).
std::vector<TSearchResult> SearchResults(const std::shared_ptr<TOpenStore>& store, int64_t folderId);
// A search folder's counts: its results (contents, unread), its own associated messages.
TFolderCounts SearchFolderCounts(const std::shared_ptr<TOpenStore>& store, int64_t folderId);

}  // namespace orba::store
