// The SQLite backend's submission and outgoing queue: see submission.h.
#include "storage/sqlite/submission.h"

#include "base/maperror.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {

bool TSubmissionQueue::IsQueued(int64_t messageId) {
  auto stmt = store_.Db().Prepare("SELECT 1 FROM outgoing_queue WHERE message_id=?");
  stmt.Bind(1, messageId);
  return stmt.Step();
}

TSubmitOutcome TSubmissionQueue::Finish(int64_t messageId) {
  TSqlDatabase& db = store_.Db();
  TMessageRecord record = store_.messages.Live(messageId);
  db.Prepare("DELETE FROM outgoing_queue WHERE message_id=?").Bind(1, messageId).Run();
  TSubmitOutcome outcome;
  outcome.messageId = messageId;
  outcome.folderId = record.folderId;
  outcome.associated = record.associated;
  TStoredProps props = ReadProps(db, "message_props", "message_id", messageId);
  const TStoredProp* deleteAfter = FindStored(props, PROP_ID(tags::kDeleteAfterSubmit));
  if (deleteAfter && deleteAfter->tag == tags::kDeleteAfterSubmit && StoredNumber(*deleteAfter).value_or(0)) {
    store_.messages.DeleteRow(record, false);
    outcome.fate = TSubmitFate::Deleted;
    return outcome;
  }
  int64_t sentFolder = 0;
  try {
    sentFolder = SentMailFolder(props);
  } catch (const TMapiError&) {
    // The folder went away while the message waited: the message stays where it is.
  }
  ULONG flags = record.flags & ~(MSGFLAG_SUBMIT | MSGFLAG_UNSENT);
  if (sentFolder) {
    store_.messages.StampFlags(record, flags | MSGFLAG_READ, sentFolder);
    outcome.fate = TSubmitFate::Moved;
    outcome.sentFolderId = sentFolder;
  } else {
    store_.messages.StampFlags(record, flags, record.folderId);
    outcome.fate = TSubmitFate::Kept;
  }
  return outcome;
}

void TSubmissionQueue::Unqueue(int64_t messageId) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  if (!IsQueued(messageId)) throw TMapiError(MAPI_E_NOT_IN_QUEUE, "The message is not in the outgoing queue.");
  TMessageRecord record = store_.messages.Live(messageId);
  db.Prepare("DELETE FROM outgoing_queue WHERE message_id=?").Bind(1, messageId).Run();
  store_.messages.StampFlags(record, record.flags & ~MSGFLAG_SUBMIT, record.folderId);
  tx.Commit();
}

int64_t TSubmissionQueue::SentMailFolder(const TStoredProps& props) {
  const TStoredProp* prop = FindStored(props, PROP_ID(tags::kSentMailEntryId));
  if (!prop) return 0;
  if (prop->tag != tags::kSentMailEntryId)
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID is not a binary value.");
  auto value = DecodeStored({*prop});
  const SBinary& bin = value->Value.bin;
  TParsedEntryId target;
  try {
    target = ParseEntryId(store_.uid, bin.lpb, bin.cb);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID does not name a folder of this store.");
  }
  if (target.kind != TObjectKind::Folder)
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID does not name a folder.");
  auto lock = store_.Lock();
  try {
    store_.folders.Read(target.id);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "The folder PR_SENTMAIL_ENTRYID names does not exist.");
  }
  return target.id;
}

TSubmitOutcome TSubmissionQueue::Submit(const TSubmitRequest& request) {
  TMessages::CheckImage(request.image);
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  SentMailFolder(request.image.props);
  // The flags are the record's: a submitted message is unsent and marked for sending.
  TMessageImage image = request.image;
  std::erase_if(image.props, [](const TStoredProp& p) { return PROP_ID(p.tag) == PROP_ID(tags::kMessageFlags); });
  int64_t id = request.messageId;
  ULONG flags = MSGFLAG_SUBMIT | MSGFLAG_UNSENT;
  if (id == 0) {
    store_.folders.Read(request.folderId);
    const TStoredProp* given = FindStored(request.image.props, PROP_ID(tags::kMessageFlags));
    if (given) flags |= static_cast<ULONG>(StoredNumber(*given).value_or(0));
    image.props.push_back(Stored(LongValue(tags::kMessageFlags, flags)));
    id = store_.messages.Insert(request.folderId, 0, false, image, nullptr);
  } else {
    store_.messages.Rewrite(id, image, request.expectedChangeNumber);
    TMessageRecord saved = store_.messages.Read(id);
    db.Prepare("UPDATE messages SET flags=? WHERE id=?").Bind(1, int64_t{saved.flags | flags}).Bind(2, id).Run();
  }
  TSubmitOutcome outcome;
  if (request.queuedRecipients.empty()) {
    outcome = Finish(id);
  } else {
    TMessageRecord record = store_.messages.Read(id);
    db.Prepare("INSERT OR REPLACE INTO outgoing_queue(message_id, submit_time, submit_flags) VALUES(?,?,?)")
        .Bind(1, id)
        .Bind(2, request.submitTime)
        .Bind(3, int64_t{request.submitFlags})
        .Run();
    auto recipient = db.Prepare("INSERT OR IGNORE INTO outgoing_recipients(message_id, row_id) VALUES(?,?)");
    for (ULONG row : request.queuedRecipients) {
      recipient.Bind(1, id).Bind(2, int64_t{row});
      recipient.Run();
      recipient.Reset();
    }
    outcome.messageId = id;
    outcome.folderId = record.folderId;
    outcome.associated = record.associated;
    outcome.fate = TSubmitFate::Queued;
  }
  outcome.created = request.messageId == 0;
  tx.Commit();
  return outcome;
}

std::vector<TQueuedMessage> TSubmissionQueue::Queue() {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  auto stmt = db.Prepare(
      "SELECT q.message_id, q.submit_time, q.submit_flags FROM outgoing_queue q JOIN messages m ON m.id=q.message_id "
      "WHERE m.deleted=0 ORDER BY q.submit_time, q.message_id");
  auto rows = db.Prepare("SELECT row_id FROM outgoing_recipients WHERE message_id=? ORDER BY row_id");
  std::vector<TQueuedMessage> queue;
  while (stmt.Step()) {
    TQueuedMessage message{stmt.Int(0), stmt.Int(1), static_cast<ULONG>(stmt.Int(2)), {}};
    rows.Bind(1, message.messageId);
    while (rows.Step()) message.recipients.push_back(static_cast<ULONG>(rows.Int(0)));
    rows.Reset();
    queue.push_back(std::move(message));
  }
  return queue;
}

TSubmitOutcome TSubmissionQueue::MarkSent(int64_t messageId) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  if (!IsQueued(messageId)) throw TMapiError(MAPI_E_NOT_IN_QUEUE, "The message is not in the outgoing queue.");
  TSubmitOutcome outcome = Finish(messageId);
  tx.Commit();
  return outcome;
}

void TSubmissionQueue::AbortSubmit(int64_t messageId) { Unqueue(messageId); }
void TSubmissionQueue::MarkFailed(int64_t messageId) { Unqueue(messageId); }

}  // namespace orba::store::sqlite
