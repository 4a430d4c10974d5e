// The SQLite backend's submission and outgoing queue: see storage/submission.h.
#pragma once

#include "storage/submission.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TSubmissionQueue final : public ISubmissionQueue {
 public:
  explicit TSubmissionQueue(TStoreDatabase& store) : store_(store) {}

  int64_t SentMailFolder(const TStoredProps& props) override;
  TSubmitOutcome Submit(const TSubmitRequest& request) override;
  std::vector<TQueuedMessage> Queue() override;
  TSubmitOutcome MarkSent(int64_t messageId) override;
  void AbortSubmit(int64_t messageId) override;
  void MarkFailed(int64_t messageId) override;

 private:
  // REQUIRES: the store lock is held and a write transaction is open.
  bool IsQueued(int64_t messageId);
  // The sent message's end: moved to its sent-mail folder (read), deleted, or kept
  // where it is; in every case no longer queued, submitted or unsent.
  TSubmitOutcome Finish(int64_t messageId);
  // Takes a queued message out of the queue unsent.
  void Unqueue(int64_t messageId);

  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
