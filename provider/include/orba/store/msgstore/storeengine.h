// The message store engine: one SQLite database per store holding its folders,
// messages (normal, folder-associated and embedded), recipients, attachments, the
// named-property map and the change log that incremental synchronisation reads.
//
// Every public method is one transaction (a write takes the database's write lock
// at once, so concurrent processes wait for each other), serialised within the
// process by the engine's own lock. Properties are kept losslessly in property
// tables with the codec's encoding; the properties tables sort and filter on most
// (message class, subject, times, flags, size...) are also kept as real columns.
// Every create, change, move, delete and read-state change takes a new change
// number; hard deletes and moves leave tombstones in the folder they left.
// Failures raise MapiError with the MAPI code to answer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mapi/mapidefs.h"
#include "orba/store/msgstore/storekeys.h"
#include "orba/store/namemap.h"
#include "orba/store/propcodec.h"
#include "orba/store/sqlite.h"

namespace orba::store {

// What a store is: a mailbox of the organisation ("MSEMS"), a personal store file
// ("MSPST MS"), or the organisation's public folders.
enum class StoreKind { Mailbox = 1, PersonalFile = 2, PublicFolders = 3 };

// One stored property: its tag and its value in the codec's encoding.
struct StoredProp {
  ULONG tag = 0;
  Bytes value;
};
using StoredProps = std::vector<StoredProp>;

// The identity and change state every folder and message has.
struct ChangeState {
  Bytes sourceKey;     // XID: store GUID + global counter, kept for life
  Bytes changeKey;     // XID: store GUID + change number of the last change
  Bytes predecessors;  // predecessor change list
  int64_t changeNumber = 0;
};

struct FolderRecord {
  int64_t id = 0;
  int64_t parentId = 0;  // 0 for the root folder
  ULONG folderType = FOLDER_GENERIC;
  std::u16string name;
  std::u16string containerClass;
  int64_t creationTime = 0;      // FILETIME
  int64_t modificationTime = 0;  // FILETIME
  ChangeState change;
};

struct MessageRecord {
  int64_t id = 0;
  int64_t folderId = 0;      // 0 for an embedded message
  int64_t attachmentId = 0;  // the attachment an embedded message belongs to
  bool associated = false;
  ULONG flags = 0;   // PR_MESSAGE_FLAGS
  ULONG status = 0;  // GetMessageStatus
  ULONG size = 0;    // PR_MESSAGE_SIZE
  Bytes searchKey;
  int64_t creationTime = 0;
  int64_t modificationTime = 0;
  int64_t readChangeNumber = 0;  // of the last read-state change
  bool deleted = false;          // soft-deleted
  ChangeState change;
};

struct MessageImage;

struct RecipientImage {
  ULONG rowId = 0;
  StoredProps props;
};

struct AttachmentImage {
  ULONG num = 0;  // PR_ATTACH_NUM
  StoredProps props;
  std::shared_ptr<MessageImage> embedded;  // the message of PR_ATTACH_DATA_OBJ, if any
};

// Everything a message holds, as SaveMessage writes it and LoadMessage reads it.
// Props are the client's properties: identity, flags, size and times are the
// record's (a PR_MESSAGE_FLAGS in props gives the initial flags of a new message,
// PR_CREATION_TIME and PR_LAST_MODIFICATION_TIME its times). The image of an
// embedded message read back carries its record's flags and times among its props.
// A save after the first clears MSGFLAG_UNMODIFIED.
struct MessageImage {
  StoredProps props;
  std::vector<RecipientImage> recipients;
  std::vector<AttachmentImage> attachments;
};

struct FolderCounts {
  ULONG contents = 0;
  ULONG unread = 0;
  ULONG associated = 0;
  ULONG subfolders = 0;
};

// A deletion (or a move out) recorded for synchronisation.
struct Tombstone {
  Bytes sourceKey;
  int64_t changeNumber = 0;
  bool soft = false;
  bool associated = false;
};

// What changed in a folder's contents after a change number.
struct ContentChanges {
  std::vector<MessageRecord> changed;      // created, changed or moved in
  std::vector<MessageRecord> readChanged;  // read state changed only
  std::vector<Tombstone> deleted;          // deleted or moved out
};

// What changed below a folder (its whole subtree) after a change number.
struct HierarchyChanges {
  std::vector<FolderRecord> changed;
  std::vector<Tombstone> deleted;
};

// A special folder of the standard set.
enum class SpecialFolder {
  Root, IpmSubtree, Inbox, Outbox, SentItems, DeletedItems, Drafts, Contacts, Calendar, Journal, Notes, Tasks,
  JunkEmail, SyncIssues, Conflicts, LocalFailures, ServerFailures, SearchRoot, CommonViews, PersonalViews
};

// The engine's database connection and the lock that serialises its use; shared
// with the store's name map, which may outlive the engine.
struct StoreConnection;

class TStoreEngine {
 public:
  // Creates a new store at path (the file must not exist: MAPI_E_COLLISION) with
  // the standard folder set, displayName as the IPM subtree's owner name.
  static std::shared_ptr<TStoreEngine> Create(const std::string& path, StoreKind kind,
                                              const std::u16string& displayName);
  // Opens an existing store (MAPI_E_NOT_FOUND when there is none, MAPI_E_CORRUPT_DATA
  // when the file is not a store).
  static std::shared_ptr<TStoreEngine> Open(const std::string& path);
  ~TStoreEngine();
  TStoreEngine(const TStoreEngine&) = delete;
  TStoreEngine& operator=(const TStoreEngine&) = delete;

  // --- the store ---
  StoreKind Kind() const { return kind_; }
  const GUID& StoreGuid() const { return guid_; }
  const MAPIUID& ProviderUid() const { return uid_; }
  // PR_STORE_SUPPORT_MASK: what this store does.
  ULONG SupportMask() const;
  // PR_MDB_PROVIDER: the Exchange private or public store identifier, or Orba
  // Store's own for personal files.
  MAPIUID MdbProvider() const;
  Bytes EntryId(ObjectKind kind, int64_t id) const { return MakeEntryId(uid_, kind, id); }
  ParsedEntryId ParseEntryId(const void* data, size_t size) const;
  StoredProps StoreProps();
  void ChangeStoreProps(const StoredProps& set, const std::vector<ULONG>& deletedIds);
  std::shared_ptr<NameMap> Names() const { return names_; }
  // The last change number handed out.
  int64_t CurrentChangeNumber();

  // --- receive folders: the folder for a message class (the longest matching
  // class prefix wins; "" is the default class) ---
  struct ReceiveFolder {
    std::string messageClass;  // the class that matched
    int64_t folderId = 0;
  };
  ReceiveFolder GetReceiveFolder(const std::string& messageClass);
  // folderId 0 removes the class's entry (the default class cannot be removed).
  void SetReceiveFolder(const std::string& messageClass, int64_t folderId);
  std::vector<ReceiveFolder> ReceiveFolders();

  // --- folders ---
  int64_t SpecialFolderId(SpecialFolder folder);
  // MAPI_E_NOT_FOUND for a missing or soft-deleted folder.
  FolderRecord Folder(int64_t id);
  StoredProps FolderProps(int64_t id);
  std::vector<FolderRecord> ChildFolders(int64_t parentId);
  std::optional<int64_t> FindChildFolder(int64_t parentId, const std::u16string& name);
  // A new subfolder; a sibling of the same name (case-insensitive) gives
  // MAPI_E_COLLISION, or its id when openIfExists is set.
  int64_t CreateFolder(int64_t parentId, const std::u16string& name, ULONG folderType, const StoredProps& props,
                       bool openIfExists);
  // Changes a folder's properties; a new PR_DISPLAY_NAME is a rename (collision
  // checked), PR_CONTAINER_CLASS kept as a column.
  void ChangeFolderProps(int64_t id, const StoredProps& set, const std::vector<ULONG>& deletedIds);
  // Moves a folder under newParent (newName: renamed on the way). MAPI_E_FOLDER_CYCLE
  // when newParent is the folder or below it, MAPI_E_COLLISION on a name clash,
  // MAPI_E_NO_ACCESS for a folder of the standard set.
  void MoveFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName);
  // Copies a folder (its properties and messages, its subfolders when asked) under
  // newParent; returns the copy's id. Same errors as MoveFolder.
  int64_t CopyFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName,
                     bool subfolders);
  // Deletes a folder: MAPI_E_HAS_FOLDERS / MAPI_E_HAS_MESSAGES unless allowed;
  // the folders of the standard set cannot be deleted (MAPI_E_NO_ACCESS).
  void DeleteFolder(int64_t id, bool withMessages, bool withFolders);
  // Deletes every message (and folder-associated ones when asked) and subfolder,
  // except subfolders of the standard set.
  void EmptyFolder(int64_t id, bool associatedToo);
  FolderCounts Counts(int64_t folderId);

  // --- messages ---
  // A new message in folderId; returns its id. created (if given) receives the new
  // message's record as this transaction wrote it.
  int64_t CreateMessage(int64_t folderId, bool associated, const MessageImage& image,
                        MessageRecord* created = nullptr);
  // Replaces a message's properties, recipients and attachments and returns its record
  // as this transaction wrote it (so that a saver knows exactly the change number its
  // own save produced). With expectedChangeNumber set, a message changed since (by
  // anyone) gives MAPI_E_OBJECT_CHANGED. MAPI_E_OBJECT_DELETED when the message is gone.
  MessageRecord SaveMessage(int64_t id, const MessageImage& image, std::optional<int64_t> expectedChangeNumber = {});
  MessageRecord Message(int64_t id);
  MessageImage LoadMessage(int64_t id);
  std::vector<int64_t> MessageIds(int64_t folderId, bool associated);
  // Sets or clears MSGFLAG_READ; returns whether the state changed.
  bool SetReadState(int64_t id, bool read);
  // Applies SetReadFlag's flags (readflags.h) to the message's stored flags; returns
  // its flags before and after. A change is a read-state change (stamped as one).
  struct ReadFlagChange {
    ULONG before = 0;
    ULONG after = 0;
    bool Changed() const { return before != after; }
  };
  ReadFlagChange ApplyReadFlags(int64_t id, ULONG readFlags);
  // Changes the status bits of mask to those of status; returns the old status.
  ULONG SetMessageStatus(int64_t id, ULONG status, ULONG mask);
  int64_t CopyMessage(int64_t id, int64_t destFolderId);
  void MoveMessage(int64_t id, int64_t destFolderId);
  // soft: kept with a deleted flag (hidden from the folder, recoverable by sync).
  void DeleteMessage(int64_t id, bool soft);

  // --- change tracking ---
  ContentChanges ContentChangesSince(int64_t folderId, int64_t changeNumber);
  HierarchyChanges HierarchyChangesSince(int64_t folderId, int64_t changeNumber);

  // Engine internals shared by its implementation files.
  struct Impl;

 private:
  explicit TStoreEngine(std::shared_ptr<StoreConnection> connection);
  std::unique_lock<std::recursive_mutex> Lock() const;
  TSqlDatabase& Db() const;
  void LoadIdentity();

  std::shared_ptr<StoreConnection> conn_;
  StoreKind kind_ = StoreKind::PersonalFile;
  GUID guid_{};
  MAPIUID uid_{};
  std::shared_ptr<NameMap> names_;
};

}  // namespace orba::store
