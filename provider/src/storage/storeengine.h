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
// Failures raise TMapiError with the MAPI code to answer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/sqlite.h"
#include "mapi/mapidefs.h"
#include "props/namemap.h"
#include "props/propcodec.h"
#include "storage/storekeys.h"

namespace orba::store {

// What a store is: a mailbox of the organisation ("MSEMS"), a personal store file
// ("MSPST MS"), or the organisation's public folders.
enum class TStoreKind { Mailbox = 1, PersonalFile = 2, PublicFolders = 3 };

// The identity and change state every folder and message has.
struct TChangeState {
  Bytes sourceKey;     // XID: store GUID + global counter, kept for life
  Bytes changeKey;     // XID: store GUID + change number of the last change
  Bytes predecessors;  // predecessor change list
  int64_t changeNumber = 0;
};

struct TFolderRecord {
  int64_t id = 0;
  int64_t parentId = 0;  // 0 for the root folder
  ULONG folderType = FOLDER_GENERIC;
  std::u16string name;
  std::u16string containerClass;
  int64_t creationTime = 0;      // FILETIME
  int64_t modificationTime = 0;  // FILETIME
  TChangeState change;
};

struct TMessageRecord {
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
  TChangeState change;
};

struct TMessageImage;

struct TRecipientImage {
  ULONG rowId = 0;
  TStoredProps props;
};

struct TAttachmentImage {
  ULONG num = 0;  // PR_ATTACH_NUM
  TStoredProps props;
  std::shared_ptr<TMessageImage> embedded;  // the message of PR_ATTACH_DATA_OBJ, if any
};

// Everything a message holds, as SaveMessage writes it and LoadMessage reads it.
// Props are the client's properties: identity, flags, size and times are the
// record's (a PR_MESSAGE_FLAGS in props gives the initial flags of a new message,
// PR_CREATION_TIME and PR_LAST_MODIFICATION_TIME its times). The image of an
// embedded message read back carries its record's flags and times among its props.
// A save after the first clears MSGFLAG_UNMODIFIED.
struct TMessageImage {
  TStoredProps props;
  std::vector<TRecipientImage> recipients;
  std::vector<TAttachmentImage> attachments;
};

// A folder and what it holds (messages with their records, subfolders), as copied
// from one store into another.
struct TFolderImage {
  std::u16string name;
  ULONG folderType = FOLDER_GENERIC;
  TStoredProps props;
  std::vector<std::pair<TMessageRecord, TMessageImage>> messages;  // normal and associated
  std::vector<TFolderImage> subfolders;
  int64_t changeNumber = 0;  // the store's change number when it was read (top image)
};

struct TFolderCounts {
  ULONG contents = 0;
  ULONG unread = 0;
  ULONG associated = 0;
  ULONG subfolders = 0;
};

// A deletion (or a move out) recorded for synchronisation.
struct TTombstone {
  Bytes sourceKey;
  int64_t changeNumber = 0;
  bool soft = false;
  bool associated = false;
};

// What changed in a folder's contents after a change number.
struct TContentChanges {
  std::vector<TMessageRecord> changed;      // created, changed or moved in
  std::vector<TMessageRecord> readChanged;  // read state changed only
  std::vector<TTombstone> deleted;          // deleted or moved out
};

// What changed below a folder (its whole subtree) after a change number.
struct THierarchyChanges {
  std::vector<TFolderRecord> changed;
  std::vector<TTombstone> deleted;
};

// A message handed to the store's transport: saved (or, new, created) with
// MSGFLAG_SUBMIT and MSGFLAG_UNSENT, then queued or finished.
struct TSubmitRequest {
  int64_t messageId = 0;  // 0: a new message, created in folderId
  int64_t folderId = 0;
  TMessageImage image;                          // PR_MESSAGE_FLAGS among its props is ignored
  std::optional<int64_t> expectedChangeNumber;  // as SaveMessage's
  int64_t submitTime = 0;                       // FILETIME
  ULONG submitFlags = 0;                        // PR_SUBMIT_FLAGS
  // The PR_ROWIDs of the recipients a transport still has to reach; none: the message
  // is sent already and finishes at once.
  std::vector<ULONG> queuedRecipients;
};

// Where a submitted message went.
enum class TSubmitFate {
  Queued,   // waits in the outgoing queue
  Moved,    // sent, moved to its PR_SENTMAIL_ENTRYID folder
  Deleted,  // sent, deleted (PR_DELETE_AFTER_SUBMIT)
  Kept,     // sent, left where it was
};

struct TSubmitOutcome {
  int64_t messageId = 0;
  int64_t folderId = 0;  // the folder it was in when submitted or marked sent
  bool created = false;  // the submission saved a new message
  TSubmitFate fate = TSubmitFate::Queued;
  int64_t sentFolderId = 0;  // Moved: the folder it is in now
  bool associated = false;
};

// A message of the outgoing queue.
struct TQueuedMessage {
  int64_t messageId = 0;
  int64_t submitTime = 0;  // FILETIME
  ULONG submitFlags = 0;
  std::vector<ULONG> recipients;  // PR_ROWIDs still to reach
};

// What a search folder searches for and where.
struct TSearchCriteria {
  Bytes restriction;             // in the restriction codec's encoding
  std::vector<int64_t> folders;  // the folders searched, as listed
  bool recursive = false;        // and every folder below them
  bool foreground = false;       // FOREGROUND_SEARCH was asked for
  bool running = true;           // false: stopped, the results are the ones kept
};

// A special folder of the standard set (stored by number: new ones go at the end).
// A public folders store has only the root, the IPM subtree and the last two.
enum class TSpecialFolder {
  Root,
  IpmSubtree,
  Inbox,
  Outbox,
  SentItems,
  DeletedItems,
  Drafts,
  Contacts,
  Calendar,
  Journal,
  Notes,
  Tasks,
  JunkEmail,
  SyncIssues,
  Conflicts,
  LocalFailures,
  ServerFailures,
  SearchRoot,
  CommonViews,
  PersonalViews,
  NonIpmSubtree,
  EformsRegistry
};

// The engine's database connection and the lock that serialises its use; shared
// with the store's name map, which may outlive the engine.
struct TStoreConnection;

class TStoreEngine {
 public:
  // Creates a new store at path (the file must not exist: MAPI_E_COLLISION) with
  // the standard folder set of its kind (a mailbox's or personal file's, or a public
  // folders store's), displayName as the store's PR_DISPLAY_NAME.
  static std::shared_ptr<TStoreEngine> Create(const std::string& path, TStoreKind kind,
                                              const std::u16string& displayName);
  // Opens an existing store (MAPI_E_NOT_FOUND when there is none, MAPI_E_CORRUPT_DATA
  // when the file is not a store).
  static std::shared_ptr<TStoreEngine> Open(const std::string& path);
  ~TStoreEngine();
  TStoreEngine(const TStoreEngine&) = delete;
  TStoreEngine& operator=(const TStoreEngine&) = delete;

  // --- the store ---
  TStoreKind Kind() const { return kind_; }
  const GUID& StoreGuid() const { return guid_; }
  const MAPIUID& ProviderUid() const { return uid_; }
  // PR_STORE_SUPPORT_MASK: what this store does.
  ULONG SupportMask() const;
  // PR_MDB_PROVIDER: the Exchange private or public store identifier, or Orba
  // Store's own for personal files.
  MAPIUID MdbProvider() const;
  Bytes EntryId(TObjectKind kind, int64_t id) const { return MakeEntryId(uid_, kind, id); }
  TParsedEntryId ParseEntryId(const void* data, size_t size) const;
  TStoredProps StoreProps();
  void ChangeStoreProps(const TStoredProps& set, const std::vector<ULONG>& deletedIds);
  std::shared_ptr<INameMap> Names() const { return names_; }
  // The last change number handed out.
  int64_t CurrentChangeNumber();

  // --- receive folders: the folder for a message class (the longest matching
  // class prefix wins; "" is the default class). A public folders store receives
  // no mail: all three answer MAPI_E_NO_SUPPORT there. ---
  struct TReceiveFolder {
    std::string messageClass;  // the class that matched
    int64_t folderId = 0;
  };
  TReceiveFolder GetReceiveFolder(const std::string& messageClass);
  // folderId 0 removes the class's entry (the default class cannot be removed).
  void SetReceiveFolder(const std::string& messageClass, int64_t folderId);
  std::vector<TReceiveFolder> ReceiveFolders();

  // --- folders ---
  int64_t SpecialFolderId(TSpecialFolder folder);
  // MAPI_E_NOT_FOUND for a missing or soft-deleted folder.
  TFolderRecord Folder(int64_t id);
  TStoredProps FolderProps(int64_t id);
  std::vector<TFolderRecord> ChildFolders(int64_t parentId);
  std::optional<int64_t> FindChildFolder(int64_t parentId, const std::u16string& name);
  // A new subfolder; a sibling of the same name (case-insensitive) gives
  // MAPI_E_COLLISION, or its id when openIfExists is set.
  int64_t CreateFolder(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props,
                       bool openIfExists);
  // Changes a folder's properties; a new PR_DISPLAY_NAME is a rename (collision
  // checked), PR_CONTAINER_CLASS kept as a column.
  void ChangeFolderProps(int64_t id, const TStoredProps& set, const std::vector<ULONG>& deletedIds);
  // Moves a folder under newParent (newName: renamed on the way). MAPI_E_FOLDER_CYCLE
  // when newParent is the folder or below it, MAPI_E_COLLISION on a name clash,
  // MAPI_E_NO_ACCESS for a folder of the standard set.
  void MoveFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName);
  // Copies a folder (its properties and messages, its subfolders when asked) under
  // newParent; returns the copy's id. Same errors as MoveFolder.
  int64_t CopyFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName, bool subfolders);
  // Reads a folder (with its subfolders when asked) in one snapshot, for a copy into
  // another store.
  TFolderImage ExportFolder(int64_t id, bool subfolders);
  // Creates a copy of image under parentId, named name, in one transaction; returns its
  // id. MAPI_E_COLLISION on a name clash.
  int64_t ImportFolder(int64_t parentId, const std::u16string& name, const TFolderImage& image);
  // Whether a folder belongs to the standard set (which cannot be moved or deleted).
  bool IsOfStandardSet(int64_t id);
  // Deletes a folder: MAPI_E_HAS_FOLDERS / MAPI_E_HAS_MESSAGES unless allowed;
  // the folders of the standard set cannot be deleted (MAPI_E_NO_ACCESS). With
  // unchangedSince (a move that copied the folder first), MAPI_E_OBJECT_CHANGED when a
  // folder or message of the tree changed after that change number: it was not copied.
  void DeleteFolder(int64_t id, bool withMessages, bool withFolders, std::optional<int64_t> unchangedSince = {});
  // Deletes every message (and folder-associated ones when asked) and subfolder,
  // except subfolders of the standard set.
  void EmptyFolder(int64_t id, bool associatedToo);
  TFolderCounts Counts(int64_t folderId);
  // MAPI_E_CORRUPT_DATA when the folder's ancestors loop (a damaged store): a walk of
  // its subtree would never end. Subtree operations of the engine check this themselves.
  void CheckFolderTree(int64_t id);

  // --- messages ---
  // A new message in folderId; returns its id. created (if given) receives the new
  // message's record as this transaction wrote it.
  int64_t CreateMessage(int64_t folderId, bool associated, const TMessageImage& image,
                        TMessageRecord* created = nullptr);
  // Replaces a message's properties, recipients and attachments and returns its record
  // as this transaction wrote it (so that a saver knows exactly the change number its
  // own save produced). With expectedChangeNumber set, a message changed since (by
  // anyone) gives MAPI_E_OBJECT_CHANGED. MAPI_E_OBJECT_DELETED when the message is gone.
  TMessageRecord SaveMessage(int64_t id, const TMessageImage& image, std::optional<int64_t> expectedChangeNumber = {});
  TMessageRecord Message(int64_t id);
  TMessageImage LoadMessage(int64_t id);
  std::vector<int64_t> MessageIds(int64_t folderId, bool associated);
  // Sets or clears MSGFLAG_READ; returns whether the state changed.
  bool SetReadState(int64_t id, bool read);
  // Applies SetReadFlag's flags (readflags.h) to the message's stored flags; returns
  // its flags before and after. A change is a read-state change (stamped as one).
  struct TReadFlagChange {
    ULONG before = 0;
    ULONG after = 0;
    bool Changed() const { return before != after; }
  };
  TReadFlagChange ApplyReadFlags(int64_t id, ULONG readFlags);
  // Changes the status bits of mask to those of status; returns the old status.
  ULONG SetMessageStatus(int64_t id, ULONG status, ULONG mask);
  int64_t CopyMessage(int64_t id, int64_t destFolderId);
  // A copy in folderId of a message of another store: origin's client flags, status and
  // search key, image's contents, a new identity of this store.
  int64_t ImportMessage(int64_t folderId, const TMessageRecord& origin, const TMessageImage& image);
  void MoveMessage(int64_t id, int64_t destFolderId);
  // soft: kept with a deleted flag (hidden from the folder, recoverable by sync).
  void DeleteMessage(int64_t id, bool soft);

  // --- submission and the outgoing queue ---
  // The folder PR_SENTMAIL_ENTRYID names among props, 0 when there is none;
  // MAPI_E_INVALID_ENTRYID when it does not name a folder of this store.
  int64_t SentMailFolder(const TStoredProps& props);
  // Saves and submits a message in one transaction (errors as CreateMessage and
  // SaveMessage, plus MAPI_E_INVALID_ENTRYID for a bad PR_SENTMAIL_ENTRYID).
  TSubmitOutcome Submit(const TSubmitRequest& request);
  // The queue in submission order (messages soft-deleted meanwhile left out).
  std::vector<TQueuedMessage> OutgoingQueue();
  // A transport delivered a queued message: it leaves the queue and finishes as its
  // PR_SENTMAIL_ENTRYID / PR_DELETE_AFTER_SUBMIT say. MAPI_E_NOT_IN_QUEUE otherwise.
  TSubmitOutcome MarkSent(int64_t messageId);
  // A queued message leaves the queue unsent (MSGFLAG_SUBMIT cleared, MSGFLAG_UNSENT
  // kept, where it is): the client withdrew it (AbortSubmit) or a transport gave up
  // on it (MarkFailed). MAPI_E_NOT_IN_QUEUE when it is not queued.
  void AbortSubmit(int64_t messageId);
  void MarkFailed(int64_t messageId);

  // --- search folders (FOLDER_SEARCH: they hold no messages of their own) ---
  // A search folder's criteria, nullopt before any were set. MAPI_E_NOT_FOUND for a
  // missing folder, MAPI_E_NO_SUPPORT for one that is not a search folder.
  std::optional<TSearchCriteria> GetSearchCriteria(int64_t folderId);
  // Replaces a search folder's criteria; a stopped search keeps the messages of kept
  // as its results. The listed folders must exist (MAPI_E_NOT_FOUND) and must not be
  // the search folder itself (MAPI_E_INVALID_PARAMETER).
  void SetSearchCriteria(int64_t folderId, const TSearchCriteria& criteria, const std::vector<int64_t>& kept);
  // The folders criteria search now: the listed ones that still exist and, when
  // recursive, every folder below them; never a search folder. In id order.
  std::vector<int64_t> SearchScope(const TSearchCriteria& criteria);
  // The messages a stopped search keeps that still exist (in any folder).
  std::vector<int64_t> KeptSearchResults(int64_t folderId);

  // --- change tracking ---
  TContentChanges ContentChangesSince(int64_t folderId, int64_t changeNumber);
  THierarchyChanges HierarchyChangesSince(int64_t folderId, int64_t changeNumber);

  // Engine internals shared by its implementation files.
  struct Impl;

 private:
  explicit TStoreEngine(std::shared_ptr<TStoreConnection> connection);
  std::unique_lock<std::recursive_mutex> Lock() const;
  TSqlDatabase& Db() const;
  void LoadIdentity();
  // Tables later versions added, created in stores made before them.
  void AddMissingTables();
  // MAPI_E_NO_SUPPORT for a store without receive folders.
  void CheckReceivesMail() const;

  std::shared_ptr<TStoreConnection> conn_;
  TStoreKind kind_ = TStoreKind::PersonalFile;
  GUID guid_{};
  MAPIUID uid_{};
  std::shared_ptr<INameMap> names_;
};

}  // namespace orba::store
