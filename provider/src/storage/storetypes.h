// The values the store engine's interface speaks in: records of folders and
// messages, the images a message or a folder tree is read and written as, the change
// log's entries, submission and search folder state. Nothing here knows how a backend
// keeps them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapi/mapidefs.h"
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

// A receive folder: the folder for a message class (the longest matching class prefix
// wins; "" is the default class).
struct TReceiveFolder {
  std::string messageClass;  // the class that matched
  int64_t folderId = 0;
};

// A message's flags before and after a read-state change.
struct TReadFlagChange {
  ULONG before = 0;
  ULONG after = 0;
  bool Changed() const { return before != after; }
};

// The size of a message as the store counts it (PR_MESSAGE_SIZE): each value of the
// message, its recipients and attachments, and of its embedded messages, with its tag.
uint64_t ImageSize(const TMessageImage& image);
// A size as PR_MESSAGE_SIZE holds it (at most 0x7FFFFFFF).
ULONG SizeValue(uint64_t size);

}  // namespace orba::store
