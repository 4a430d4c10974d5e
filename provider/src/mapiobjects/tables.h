// The row sources of a store's tables: a folder's contents (normal or
// folder-associated messages) and its hierarchy (subfolders, or the whole subtree with
// CONVENIENT_DEPTH and PR_DEPTH). Both read the engine's database directly, push the
// restrictions and sort orders they can into SQL (the engine applies the others), and
// follow the store's change events with row notifications.
#pragma once

#include <memory>

#include "mapiobjects/openstore.h"
#include "table/tablesource.h"

namespace orba::store {

std::shared_ptr<TTableRowSource> CreateContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                      bool associated);
std::shared_ptr<TTableRowSource> CreateHierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                       bool convenientDepth);

}  // namespace orba::store
