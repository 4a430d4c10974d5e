// Search folder criteria: see searchfolder.h.
//
// A null restriction or folder list (or an empty list) keeps the previous search's;
// flags that are not given keep the previous choice (a first search is shallow, runs
// and is not in the foreground). There is no content index, so NON_CONTENT_INDEXED_SEARCH
// changes nothing; SEARCH_REBUILD is never reported, as every search is complete when
// SetSearchCriteria returns.
#include "mapiobjects/searchfolder.h"

#include <cstring>

#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapiobjects/searchrows.h"
#include "memory/mapimemory.h"
#include "props/restrictioncodec.h"
#include "table/restriction.h"

namespace orba::store {
namespace {

constexpr ULONG kSearchFlags = STOP_SEARCH | RESTART_SEARCH | RECURSIVE_SEARCH | SHALLOW_SEARCH | FOREGROUND_SEARCH |
                               BACKGROUND_SEARCH | NON_CONTENT_INDEXED_SEARCH;

void CheckNotBoth(ULONG flags, ULONG one, ULONG other, const char* text) {
  Check((flags & (one | other)) != (one | other), MAPI_E_INVALID_PARAMETER, text);
}

// The folder ids of an entry list of this store's folders.
std::vector<int64_t> FolderIds(const TStoreEngine& engine, const ENTRYLIST& list) {
  Check(list.lpbin != nullptr, MAPI_E_INVALID_PARAMETER, "The folder list has no entries.");
  std::vector<int64_t> ids;
  for (ULONG i = 0; i < list.cValues; ++i) {
    const SBinary& entry = list.lpbin[i];
    Check(entry.lpb != nullptr || entry.cb == 0, MAPI_E_INVALID_PARAMETER, "A folder entry ID is null.");
    TParsedEntryId parsed = engine.ParseEntryId(entry.lpb, entry.cb);
    Check(parsed.kind == TObjectKind::Folder, MAPI_E_INVALID_ENTRYID, "An entry ID of the list is not a folder's.");
    ids.push_back(parsed.id);
  }
  return ids;
}

}  // namespace

void SetSearchCriteria(const std::shared_ptr<TOpenStore>& store, int64_t folderId, const SRestriction* restriction,
                       const ENTRYLIST* folders, ULONG flags) {
  CheckFlags(flags, kSearchFlags);
  CheckNotBoth(flags, STOP_SEARCH, RESTART_SEARCH, "STOP_SEARCH and RESTART_SEARCH contradict each other.");
  CheckNotBoth(flags, RECURSIVE_SEARCH, SHALLOW_SEARCH, "RECURSIVE_SEARCH and SHALLOW_SEARCH contradict each other.");
  CheckNotBoth(flags, FOREGROUND_SEARCH, BACKGROUND_SEARCH,
               "FOREGROUND_SEARCH and BACKGROUND_SEARCH contradict each other.");
  TStoreEngine& engine = store->Engine();
  std::optional<TSearchCriteria> previous = engine.Search().Criteria(folderId);
  TSearchCriteria next = previous.value_or(TSearchCriteria{});
  if (restriction) {
    ValidateRestriction(*restriction, true);
    next.restriction = EncodeRestriction(*restriction);
  } else {
    Check(previous.has_value(), MAPI_E_INVALID_PARAMETER, "The first search of a folder needs a restriction.");
  }
  if (folders && folders->cValues) {
    next.folders = FolderIds(engine, *folders);
  } else {
    Check(previous.has_value(), MAPI_E_INVALID_PARAMETER, "The first search of a folder needs folders to search.");
  }
  if (flags & (RECURSIVE_SEARCH | SHALLOW_SEARCH)) next.recursive = (flags & RECURSIVE_SEARCH) != 0;
  if (flags & (FOREGROUND_SEARCH | BACKGROUND_SEARCH)) next.foreground = (flags & FOREGROUND_SEARCH) != 0;
  if (flags & (STOP_SEARCH | RESTART_SEARCH)) next.running = (flags & RESTART_SEARCH) != 0;
  // A stopped search keeps the messages that match now.
  std::vector<int64_t> kept;
  if (!next.running)
    for (const TRowPtr& row : TSearchEvaluator(store, next).Rows()) kept.push_back(RowMessageId(row->Values()));
  engine.Search().SetCriteria(folderId, next, kept);
  store->Changed({fnevSearchComplete, TObjectKind::Folder, folderId, engine.Folders().Get(folderId).parentId});
}

void GetSearchCriteria(const std::shared_ptr<TOpenStore>& store, int64_t folderId, ULONG flags,
                       LPSRestriction* restriction, LPENTRYLIST* folders, ULONG* state) {
  CheckFlags(flags, MAPI_UNICODE);
  std::optional<TSearchCriteria> criteria = store->Engine().Search().Criteria(folderId);
  Check(criteria.has_value(), MAPI_E_NOT_INITIALIZED, "No search criteria were set for the folder.");
  TMapiBuffer<SRestriction> decoded;
  if (restriction) {
    decoded = TMapiBuffer<SRestriction>::Allocate();
    DecodeRestriction(criteria->restriction, *decoded, decoded.get());
  }
  TMapiBuffer<ENTRYLIST> list;
  if (folders) {
    list = TMapiBuffer<ENTRYLIST>::Allocate();
    list->cValues = static_cast<ULONG>(criteria->folders.size());
    list->lpbin = AllocateMoreOf<SBinary>(criteria->folders.size(), list.get());
    for (size_t i = 0; i < criteria->folders.size(); ++i) {
      Bytes entryId = store->EntryId(TObjectKind::Folder, criteria->folders[i]);
      auto* bytes = static_cast<BYTE*>(AllocateMore(entryId.size(), list.get()));
      std::memcpy(bytes, entryId.data(), entryId.size());
      list->lpbin[i] = {static_cast<ULONG>(entryId.size()), bytes};
    }
  }
  if (restriction) *restriction = decoded.Release();
  if (folders) *folders = list.Release();
  if (state)
    *state = (criteria->running ? SEARCH_RUNNING : 0) | (criteria->recursive ? SEARCH_RECURSIVE : 0) |
             (criteria->foreground ? SEARCH_FOREGROUND : 0);
}

}  // namespace orba::store
