// A store's change log, which incremental synchronisation reads: every create, change,
// move, delete and read-state change of a folder or message takes the next change number
// of the store (and a new change key and predecessor list); hard deletes and moves
// leave tombstones in the folder the object left.
//
// Thread-safe: every query reads one snapshot of the store. Failures raise TMapiError
// (MAPI_E_NOT_FOUND for a missing folder).
#pragma once

#include "storage/storetypes.h"

namespace orba::store {

class IChangeLog {
 public:
  virtual ~IChangeLog() = default;

  // The last change number handed out.
  virtual int64_t CurrentChangeNumber() = 0;
  // What changed in a folder's contents after a change number.
  virtual TContentChanges ContentChangesSince(int64_t folderId, int64_t changeNumber) = 0;
  // What changed below a folder (its whole subtree) after a change number.
  virtual THierarchyChanges HierarchyChangesSince(int64_t folderId, int64_t changeNumber) = 0;
};

}  // namespace orba::store
