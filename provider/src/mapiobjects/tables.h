// The row sources of a store's tables: a folder's contents (normal or
// folder-associated messages) and its hierarchy (subfolders, or the whole subtree with
// CONVENIENT_DEPTH and PR_DEPTH). Both read through the store engine (the contents
// through its contents queries, which take the restrictions and sort orders the engine
// accepts; the table engine applies the others) and follow the store's change events
// with row notifications.
#pragma once

#include <memory>

#include "mapiobjects/openstore.h"
#include "table/tablesource.h"

namespace orba::store {

std::shared_ptr<TTableRowSource> CreateContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                      bool associated);
std::shared_ptr<TTableRowSource> CreateHierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                       bool convenientDepth);

// A message's row as the contents tables of store show it; parentEntryId is the entry ID
// of its folder (made once by callers that read many rows of one folder).
TRowPtr ContentsTableRow(const TOpenStore& store, const TContentsRow& message, const Bytes& parentEntryId);

}  // namespace orba::store
