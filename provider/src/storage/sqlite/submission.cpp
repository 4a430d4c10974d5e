// The store engine's side of submission: saving a submitted message, the outgoing
// queue, and what becomes of a message once it is sent (PR_SENTMAIL_ENTRYID,
// PR_DELETE_AFTER_SUBMIT).
#include "base/maperror.h"
#include "props/tags.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {
namespace {

using Impl = TStoreEngine::Impl;

// The message's flags column set to flags, as a change of its own (change number,
// change key, predecessors), optionally moved to another folder on the way.
void StampFlags(TStoreEngine& engine, const TMessageRecord& record, ULONG flags, int64_t folderId) {
  TSqlDatabase& db = Impl::Database(engine);
  TChangeState next = detail::NewChange(db, engine.StoreGuid(), record.change);
  if (folderId != record.folderId)
    detail::AddTombstone(db, record.folderId, TObjectKind::Message, record.change.sourceKey, next.changeNumber, false,
                         record.associated);
  db.Prepare("UPDATE messages SET folder_id=?, flags=?, change_key=?, predecessors=?, change_number=? WHERE id=?")
      .Bind(1, folderId)
      .Bind(2, int64_t{flags})
      .Bind(3, next.changeKey)
      .Bind(4, next.predecessors)
      .Bind(5, next.changeNumber)
      .Bind(6, record.id)
      .Run();
}

bool IsQueued(TSqlDatabase& db, int64_t messageId) {
  auto stmt = db.Prepare("SELECT 1 FROM outgoing_queue WHERE message_id=?");
  stmt.Bind(1, messageId);
  return stmt.Step();
}

// The sent message's end: moved to its sent-mail folder (read), deleted, or kept where
// it is; in every case no longer queued, submitted or unsent.
TSubmitOutcome Finish(TStoreEngine& engine, int64_t messageId) {
  TSqlDatabase& db = Impl::Database(engine);
  TMessageRecord record = Impl::LiveMessage(engine, messageId);
  db.Prepare("DELETE FROM outgoing_queue WHERE message_id=?").Bind(1, messageId).Run();
  TSubmitOutcome outcome;
  outcome.messageId = messageId;
  outcome.folderId = record.folderId;
  outcome.associated = record.associated;
  TStoredProps props = detail::ReadProps(db, "message_props", "message_id", messageId);
  const TStoredProp* deleteAfter = detail::FindProp(props, PROP_ID(tags::kDeleteAfterSubmit));
  if (deleteAfter && deleteAfter->tag == tags::kDeleteAfterSubmit && detail::IntValue(*deleteAfter).value_or(0)) {
    Impl::DeleteMessageRow(engine, record, false);
    outcome.fate = TSubmitFate::Deleted;
    return outcome;
  }
  int64_t sentFolder = 0;
  try {
    sentFolder = engine.SentMailFolder(props);
  } catch (const TMapiError&) {
    // The folder went away while the message waited: the message stays where it is.
  }
  ULONG flags = record.flags & ~(MSGFLAG_SUBMIT | MSGFLAG_UNSENT);
  if (sentFolder) {
    StampFlags(engine, record, flags | MSGFLAG_READ, sentFolder);
    outcome.fate = TSubmitFate::Moved;
    outcome.sentFolderId = sentFolder;
  } else {
    StampFlags(engine, record, flags, record.folderId);
    outcome.fate = TSubmitFate::Kept;
  }
  return outcome;
}

// Takes a queued message out of the queue unsent.
void Unqueue(TStoreEngine& engine, int64_t messageId) {
  auto lock = Impl::Locked(engine);
  TSqlDatabase& db = Impl::Database(engine);
  TSqlTransaction tx(db);
  if (!IsQueued(db, messageId)) throw TMapiError(MAPI_E_NOT_IN_QUEUE, "The message is not in the outgoing queue.");
  TMessageRecord record = Impl::LiveMessage(engine, messageId);
  db.Prepare("DELETE FROM outgoing_queue WHERE message_id=?").Bind(1, messageId).Run();
  StampFlags(engine, record, record.flags & ~MSGFLAG_SUBMIT, record.folderId);
  tx.Commit();
}

}  // namespace

int64_t TStoreEngine::SentMailFolder(const TStoredProps& props) {
  const TStoredProp* prop = detail::FindProp(props, PROP_ID(tags::kSentMailEntryId));
  if (!prop) return 0;
  if (prop->tag != tags::kSentMailEntryId)
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID is not a binary value.");
  TMapiBuffer<SPropValue> holder;
  const SBinary& bin = detail::Decode(*prop, holder).Value.bin;
  TParsedEntryId target;
  try {
    target = ParseEntryId(bin.lpb, bin.cb);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID does not name a folder of this store.");
  }
  if (target.kind != TObjectKind::Folder)
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "PR_SENTMAIL_ENTRYID does not name a folder.");
  auto lock = Lock();
  try {
    Impl::ReadFolder(*this, target.id);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_INVALID_ENTRYID, "The folder PR_SENTMAIL_ENTRYID names does not exist.");
  }
  return target.id;
}

TSubmitOutcome TStoreEngine::Submit(const TSubmitRequest& request) {
  Impl::CheckImage(request.image);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  SentMailFolder(request.image.props);
  // The flags are the record's: a submitted message is unsent and marked for sending.
  TMessageImage image = request.image;
  std::erase_if(image.props, [](const TStoredProp& p) { return PROP_ID(p.tag) == PROP_ID(tags::kMessageFlags); });
  int64_t id = request.messageId;
  ULONG flags = MSGFLAG_SUBMIT | MSGFLAG_UNSENT;
  if (id == 0) {
    Impl::ReadFolder(*this, request.folderId);
    const TStoredProp* given = detail::FindProp(request.image.props, PROP_ID(tags::kMessageFlags));
    if (given) flags |= static_cast<ULONG>(detail::IntValue(*given).value_or(0));
    image.props.push_back(detail::LongProp(tags::kMessageFlags, flags));
    id = Impl::InsertMessage(*this, request.folderId, 0, false, image, nullptr);
  } else {
    Impl::RewriteMessage(*this, id, image, request.expectedChangeNumber);
    TMessageRecord saved = Impl::ReadMessage(*this, id);
    Db().Prepare("UPDATE messages SET flags=? WHERE id=?").Bind(1, int64_t{saved.flags | flags}).Bind(2, id).Run();
  }
  TSubmitOutcome outcome;
  if (request.queuedRecipients.empty()) {
    outcome = Finish(*this, id);
  } else {
    TMessageRecord record = Impl::ReadMessage(*this, id);
    Db().Prepare("INSERT OR REPLACE INTO outgoing_queue(message_id, submit_time, submit_flags) VALUES(?,?,?)")
        .Bind(1, id)
        .Bind(2, request.submitTime)
        .Bind(3, int64_t{request.submitFlags})
        .Run();
    auto recipient = Db().Prepare("INSERT OR IGNORE INTO outgoing_recipients(message_id, row_id) VALUES(?,?)");
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

std::vector<TQueuedMessage> TStoreEngine::OutgoingQueue() {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  auto stmt = Db().Prepare(
      "SELECT q.message_id, q.submit_time, q.submit_flags FROM outgoing_queue q JOIN messages m ON m.id=q.message_id "
      "WHERE m.deleted=0 ORDER BY q.submit_time, q.message_id");
  auto rows = Db().Prepare("SELECT row_id FROM outgoing_recipients WHERE message_id=? ORDER BY row_id");
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

TSubmitOutcome TStoreEngine::MarkSent(int64_t messageId) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  if (!IsQueued(Db(), messageId)) throw TMapiError(MAPI_E_NOT_IN_QUEUE, "The message is not in the outgoing queue.");
  TSubmitOutcome outcome = Finish(*this, messageId);
  tx.Commit();
  return outcome;
}

void TStoreEngine::AbortSubmit(int64_t messageId) { Unqueue(*this, messageId); }
void TStoreEngine::MarkFailed(int64_t messageId) { Unqueue(*this, messageId); }

}  // namespace orba::store
