// The folders of a store: the tree and its operations, the special folders and the
// receive folders.
//
// Thread-safe: every method runs in one transaction of the store (a read in one
// snapshot), serialised with the store's other work. Failures raise TMapiError with the
// MAPI code to answer. Invariants: folder names are unique among siblings regardless of
// case; the folders of the standard set are never moved or deleted; a search folder
// (FOLDER_SEARCH) has no subfolders; every create, change and move of a folder takes a
// new change number, and a move or delete leaves a tombstone in the folder it left.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

class IStoreFolders {
 public:
  virtual ~IStoreFolders() = default;

  // MAPI_E_NOT_FOUND when the store has no such folder.
  virtual int64_t SpecialFolderId(TSpecialFolder folder) = 0;
  // MAPI_E_NOT_FOUND for a missing folder.
  virtual TFolderRecord Get(int64_t id) = 0;
  virtual TStoredProps Props(int64_t id) = 0;
  // In id order.
  virtual std::vector<TFolderRecord> Children(int64_t parentId) = 0;
  virtual std::optional<int64_t> FindChild(int64_t parentId, const std::u16string& name) = 0;
  // A new subfolder; a sibling of the same name (case-insensitive) gives
  // MAPI_E_COLLISION, or its id when openIfExists is set.
  virtual int64_t Create(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props,
                         bool openIfExists) = 0;
  // Changes a folder's properties; a new PR_DISPLAY_NAME is a rename (collision
  // checked).
  virtual void ChangeProps(int64_t id, const TStoredProps& set, const std::vector<ULONG>& deletedIds) = 0;
  // Moves a folder under newParent (newName: renamed on the way). MAPI_E_FOLDER_CYCLE
  // when newParent is the folder or below it, MAPI_E_COLLISION on a name clash,
  // MAPI_E_NO_ACCESS for a folder of the standard set.
  virtual void Move(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName) = 0;
  // Copies a folder (its properties and messages, its subfolders when asked) under
  // newParent; returns the copy's id. Same errors as Move.
  virtual int64_t Copy(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName,
                       bool subfolders) = 0;
  // Reads a folder (with its subfolders when asked) in one snapshot, for a copy into
  // another store.
  virtual TFolderImage Export(int64_t id, bool subfolders) = 0;
  // Creates a copy of image under parentId, named name; returns its id. MAPI_E_COLLISION
  // on a name clash.
  virtual int64_t Import(int64_t parentId, const std::u16string& name, const TFolderImage& image) = 0;
  // Whether a folder belongs to the standard set.
  virtual bool IsOfStandardSet(int64_t id) = 0;
  // Deletes a folder: MAPI_E_HAS_FOLDERS / MAPI_E_HAS_MESSAGES unless allowed;
  // MAPI_E_NO_ACCESS for a folder of the standard set. With unchangedSince (a move that
  // copied the folder first), MAPI_E_OBJECT_CHANGED when a folder or message of the tree
  // changed after that change number: the copy lacks the change.
  virtual void Delete(int64_t id, bool withMessages, bool withFolders,
                      std::optional<int64_t> unchangedSince = std::nullopt) = 0;
  // Deletes every message (and folder-associated ones when asked) and subfolder,
  // except subfolders of the standard set.
  virtual void Empty(int64_t id, bool associatedToo) = 0;
  virtual TFolderCounts Counts(int64_t id) = 0;
  // MAPI_E_CORRUPT_DATA when the folder's ancestors loop (a damaged store): a walk of
  // its subtree would never end. The subtree operations above check this themselves.
  virtual void CheckTree(int64_t id) = 0;

  // Receive folders. A public folders store receives no mail: these answer
  // MAPI_E_NO_SUPPORT there.
  virtual TReceiveFolder GetReceiveFolder(const std::string& messageClass) = 0;
  // folderId 0 removes the class's entry (the default class cannot be removed).
  virtual void SetReceiveFolder(const std::string& messageClass, int64_t folderId) = 0;
  virtual std::vector<TReceiveFolder> ReceiveFolders() = 0;
};

}  // namespace orba::store
