// Orba Store's transport: what becomes of a message its client submits.
//
// Recipients who are mailboxes of the organisation (found in the directory by their
// "EX" DN or "SMTP" address) get a copy at once in the receive folder of their store,
// one transaction per mailbox, with the published delivery properties and a new-mail
// notification for every session that has that mailbox open in this process. The
// other recipients wait in the sender's outgoing queue until a transport marks the
// message sent (or failed). Once nothing is left to send, the sender's copy goes to
// its PR_SENTMAIL_ENTRYID folder, is deleted (PR_DELETE_AFTER_SUBMIT), or stays.
// The sender's store changes in one transaction, after the deliveries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "mapiobjects/message.h"
#include "mapiobjects/openstore.h"
#include "storage/storeengine.h"

namespace orba::store {

// Submits a message of store. Throws TMapiError (nothing delivered when the message
// changed or was deleted meanwhile, or names a bad PR_SENTMAIL_ENTRYID). Returns the
// notifications to raise, for the caller to run once it holds no locks.
std::function<void()> SubmitMessage(const std::shared_ptr<TOpenStore>& store, TMessageSubmission submission);

// For a transport that takes messages from the outgoing queue: a queued message was
// sent (it finishes as if nothing had been queued), or could not be (it leaves the
// queue unsent), with the store's notifications. MAPI_E_NOT_IN_QUEUE when it is not
// queued.
void MarkQueuedMessageSent(const std::shared_ptr<TOpenStore>& store, int64_t messageId);
void MarkQueuedMessageFailed(const std::shared_ptr<TOpenStore>& store, int64_t messageId);
// IMsgStore::AbortSubmit: the message leaves the queue, MSGFLAG_SUBMIT cleared.
void AbortSubmittedMessage(const std::shared_ptr<TOpenStore>& store, int64_t messageId);

}  // namespace orba::store
