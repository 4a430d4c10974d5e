// The messages of a store: normal and folder-associated messages of its folders, with
// their recipients, attachments and embedded messages.
//
// Thread-safe: every method runs in one transaction of the store (a read in one
// snapshot), serialised with the store's other work. Failures raise TMapiError with the
// MAPI code to answer. Invariants: a message's flags, status, size, times and keys are
// its record's, never among its properties; recipients' PR_ROWIDs and attachments'
// PR_ATTACH_NUMs are unique within a message; every create, save, move, delete and
// read-state change takes a new change number (read-state changes as such), and a
// delete or move leaves a tombstone in the folder the message left.
#pragma once

#include <optional>
#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

class IStoreMessages {
 public:
  virtual ~IStoreMessages() = default;

  // A new message in folderId; returns its id. created (if given) receives the new
  // message's record as this transaction wrote it.
  virtual int64_t Create(int64_t folderId, bool associated, const TMessageImage& image,
                         TMessageRecord* created = nullptr) = 0;
  // Replaces a message's properties, recipients and attachments and returns its record
  // as this transaction wrote it (so that a saver knows exactly the change number its
  // own save produced). With expectedChangeNumber set, a message changed since (by
  // anyone) gives MAPI_E_OBJECT_CHANGED. MAPI_E_OBJECT_DELETED when the message is gone.
  virtual TMessageRecord Save(int64_t id, const TMessageImage& image,
                              std::optional<int64_t> expectedChangeNumber = std::nullopt) = 0;
  // A message of a folder (not soft-deleted); MAPI_E_NOT_FOUND otherwise.
  virtual TMessageRecord Get(int64_t id) = 0;
  virtual TMessageImage Load(int64_t id) = 0;
  // The stored values of a message for the property identifiers propIds (those it has),
  // for the values a contents row leaves out.
  virtual TStoredProps Values(int64_t id, const std::vector<ULONG>& propIds) = 0;
  // The messages of a folder, in id order.
  virtual std::vector<int64_t> Ids(int64_t folderId, bool associated) = 0;
  // Applies SetReadFlag's flags (readflags.h) to the message's stored flags; returns
  // its flags before and after.
  virtual TReadFlagChange ApplyReadFlags(int64_t id, ULONG readFlags) = 0;
  // Changes the status bits of mask to those of status; returns the old status.
  virtual ULONG SetStatus(int64_t id, ULONG status, ULONG mask) = 0;
  virtual int64_t Copy(int64_t id, int64_t destFolderId) = 0;
  // A copy in folderId of a message of another store: origin's client flags, status and
  // search key, image's contents, a new identity of this store.
  virtual int64_t Import(int64_t folderId, const TMessageRecord& origin, const TMessageImage& image) = 0;
  virtual void Move(int64_t id, int64_t destFolderId) = 0;
  // soft: kept with a deleted flag (hidden from the folder, recoverable by sync).
  virtual void Delete(int64_t id, bool soft) = 0;
};

}  // namespace orba::store
