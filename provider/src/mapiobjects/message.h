// IMessage over the message store engine: the message objects a folder creates
// (CreateMessage) and a store or folder opens (OpenEntry).
//
// A message is transacted: its properties, recipients and attachments change in
// memory and reach the store in one engine transaction at SaveChanges. A new
// message exists in its folder only once saved. A save of a message another
// session changed since it was opened (or since its own last save) answers
// MAPI_E_OBJECT_CHANGED (unless FORCE_SAVE), of one another session deleted
// MAPI_E_OBJECT_DELETED.
//
// PR_MESSAGE_FLAGS is the client's to give until the first save (read, unsent,
// from-me, resend, unmodified and pending receipt flags; the others are computed) and
// the store's afterwards (SetProps: MAPI_E_COMPUTED). CopyTo and CopyProps hand
// recipients, attachments and embedded messages to any IMessage, of this store or
// another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "mapi/mapidefs.h"
#include "orba/common/comptr.h"
#include "props/propobject.h"
#include "storage/storeengine.h"

namespace orba::store {

// What a save did to a message of a folder.
enum class TMessageSaveKind {
  Created,   // the first save of a new message: it now exists in its folder
  Modified,  // a later save
};

// Called after a message's SaveChanges committed (outside the message's lock), so
// that the store can raise its notifications and update its tables. Not called for
// embedded messages (they are saved with their attachment).
using TMessageSavedCallback = std::function<void(int64_t messageId, int64_t folderId, TMessageSaveKind kind)>;

// What SubmitMessage hands to the store's transport.
struct TMessageSubmission {
  int64_t messageId = 0;  // 0: a message not saved yet
  int64_t folderId = 0;
  std::optional<int64_t> expectedChangeNumber;  // the change the message was opened at
  TMessageImage image;                          // the message with its unsaved changes
};

// Submits a message (throws TMapiError; nothing submitted then) and returns what is to
// run once the message's lock is released (the store's notifications).
using TMessageSubmitCallback = std::function<std::function<void()>(TMessageSubmission)>;

struct TMessageObjectOptions {
  // ReadOnly: every write answers MAPI_E_NO_ACCESS.
  TAccessMode access = TAccessMode::ReadWrite;
  // PR_STORE_ENTRYID as the store answers it; empty: the engine's own store entry ID.
  Bytes storeEntryId;
  TMessageSavedCallback saved;
  // None: SubmitMessage answers MAPI_E_NO_SUPPORT.
  TMessageSubmitCallback submit;
};

// PR_DISPLAY_TO, PR_DISPLAY_CC or PR_DISPLAY_BCC: the names of the recipients of one
// type (MAPI_TO, MAPI_CC, MAPI_BCC), separated by "; ".
std::u16string RecipientDisplayList(const std::vector<TRecipientImage>& recipients, ULONG recipientType);

// A new, unsaved message in folderId (normal, or folder-associated). Throws TMapiError
// (MAPI_E_NOT_FOUND when the folder does not exist).
ComPtr<IMessage> CreateMessageObject(std::shared_ptr<TStoreEngine> engine, int64_t folderId, bool associated,
                                     TMessageObjectOptions options = {});

// The saved message messageId. Throws TMapiError (MAPI_E_NOT_FOUND when there is no
// such message in a folder).
ComPtr<IMessage> OpenMessageObject(std::shared_ptr<TStoreEngine> engine, int64_t messageId,
                                   TMessageObjectOptions options = {});

}  // namespace orba::store
