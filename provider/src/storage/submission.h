// A store's side of submission: saving a submitted message, the outgoing queue of
// messages that wait for a transport, and what becomes of a message once it is sent
// (moved to its PR_SENTMAIL_ENTRYID folder, deleted for PR_DELETE_AFTER_SUBMIT, or kept).
//
// Thread-safe: every method runs in one transaction of the store. Failures raise
// TMapiError. Invariants: a queued message has MSGFLAG_SUBMIT and MSGFLAG_UNSENT; a
// message leaves the queue sent (finished as above) or unsent (MSGFLAG_SUBMIT cleared,
// where it is); each of these changes is a change of the message (a new change number).
#pragma once

#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

class ISubmissionQueue {
 public:
  virtual ~ISubmissionQueue() = default;

  // The folder PR_SENTMAIL_ENTRYID names among props, 0 when there is none;
  // MAPI_E_INVALID_ENTRYID when it does not name a folder of this store.
  virtual int64_t SentMailFolder(const TStoredProps& props) = 0;
  // Saves and submits a message in one transaction (errors as IStoreMessages' Create
  // and Save, plus MAPI_E_INVALID_ENTRYID for a bad PR_SENTMAIL_ENTRYID).
  virtual TSubmitOutcome Submit(const TSubmitRequest& request) = 0;
  // The queue in submission order (messages soft-deleted meanwhile left out).
  virtual std::vector<TQueuedMessage> Queue() = 0;
  // A transport delivered a queued message: it leaves the queue and finishes as its
  // PR_SENTMAIL_ENTRYID / PR_DELETE_AFTER_SUBMIT say. MAPI_E_NOT_IN_QUEUE otherwise.
  virtual TSubmitOutcome MarkSent(int64_t messageId) = 0;
  // A queued message leaves the queue unsent: the client withdrew it (AbortSubmit) or a
  // transport gave up on it (MarkFailed). MAPI_E_NOT_IN_QUEUE when it is not queued.
  virtual void AbortSubmit(int64_t messageId) = 0;
  virtual void MarkFailed(int64_t messageId) = 0;
};

}  // namespace orba::store
