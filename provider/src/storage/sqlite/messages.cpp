// The store engine's messages: their rows, properties, recipients, attachments and
// embedded messages, and the change stamps of every change.
#include <algorithm>
#include <set>

#include "base/filetime.h"
#include "base/maperror.h"
#include "props/tags.h"
#include "storage/profiledb.h"
#include "storage/readflags.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {
namespace {

constexpr const char* kMessageColumns =
    "id, coalesce(folder_id, 0), coalesce(attachment_id, 0), associated, flags, status, size, search_key, "
    "creation_time, last_modification_time, read_change_number, deleted, source_key, change_key, predecessors, "
    "change_number";

// Flags a client may give a new message; the others are the store's.
constexpr ULONG kClientFlags = MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_SUBMIT | MSGFLAG_UNSENT | MSGFLAG_FROMME |
                               MSGFLAG_RESEND | MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING;

// Properties the record holds (identity, flags, size, times): never kept as properties.
bool IsRecordProperty(ULONG propId) {
  static const std::set<ULONG> kIds = {PROP_ID(tags::kEntryId),
                                       PROP_ID(tags::kRecordKey),
                                       PROP_ID(tags::kInstanceKey),
                                       PROP_ID(tags::kObjectType),
                                       PROP_ID(tags::kMessageFlags),
                                       PROP_ID(tags::kMessageSize),
                                       PROP_ID(tags::kHasAttach),
                                       PROP_ID(tags::kCreationTime),
                                       PROP_ID(tags::kLastModificationTime),
                                       PROP_ID(tags::kParentEntryId),
                                       PROP_ID(tags::kMsgStatus),
                                       PROP_ID(tags::kStoreEntryId),
                                       PROP_ID(tags::kSearchKey),
                                       PROP_ID(tags::kSourceKey),
                                       PROP_ID(tags::kChangeKey),
                                       PROP_ID(tags::kPredecessorChangeList)};
  return kIds.count(propId) != 0;
}

TStoredProps ClientProps(const TStoredProps& props) {
  TStoredProps kept;
  for (const auto& prop : props)
    if (!IsRecordProperty(PROP_ID(prop.tag))) kept.push_back(prop);
  return kept;
}

TMessageRecord MessageFrom(const TSqlStatement& stmt) {
  TMessageRecord m;
  m.id = stmt.Int(0);
  m.folderId = stmt.Int(1);
  m.attachmentId = stmt.Int(2);
  m.associated = stmt.Int(3) != 0;
  m.flags = static_cast<ULONG>(stmt.Int(4));
  m.status = static_cast<ULONG>(stmt.Int(5));
  m.size = static_cast<ULONG>(stmt.Int(6));
  m.searchKey = stmt.Blob(7);
  m.creationTime = stmt.Int(8);
  m.modificationTime = stmt.Int(9);
  m.readChangeNumber = stmt.Int(10);
  m.deleted = stmt.Int(11) != 0;
  m.change.sourceKey = stmt.Blob(12);
  m.change.changeKey = stmt.Blob(13);
  m.change.predecessors = stmt.Blob(14);
  m.change.changeNumber = stmt.Int(15);
  return m;
}

uint64_t ImageSize(const TMessageImage& image) {
  uint64_t size = detail::SizeOf(image.props);
  for (const auto& recipient : image.recipients) size += detail::SizeOf(recipient.props);
  for (const auto& attachment : image.attachments)
    size += detail::SizeOf(attachment.props) + (attachment.embedded ? ImageSize(*attachment.embedded) : 0);
  return size;
}

// Binds the columns the tables sort and filter on, taken from the properties, to
// parameters first.. of stmt: message class, subject, normalized subject, sender
// name, delivery time, submit time, importance.
void BindColumns(TSqlStatement& stmt, int first, const TStoredProps& props) {
  const ULONG textIds[] = {PROP_ID(tags::kMessageClassW), PROP_ID(tags::kSubjectW), PROP_ID(tags::kNormalizedSubjectW),
                           PROP_ID(tags::kSenderNameW)};
  int index = first;
  for (ULONG propId : textIds) {
    const TStoredProp* prop = detail::FindProp(props, propId);
    auto text = prop ? detail::TextValue(*prop) : std::nullopt;
    if (text)
      stmt.Bind(index, detail::FoldKey(*text));
    else
      stmt.BindNull(index);
    ++index;
  }
  // Numbers of another type than the property's own are not the value tables compare.
  const ULONG intTags[] = {tags::kMessageDeliveryTime, tags::kClientSubmitTime, tags::kImportance};
  for (ULONG tag : intTags) {
    const TStoredProp* prop = detail::FindProp(props, PROP_ID(tag));
    auto value = prop && prop->tag == tag ? detail::IntValue(*prop) : std::nullopt;
    if (value)
      stmt.Bind(index, *value);
    else
      stmt.BindNull(index);
    ++index;
  }
}

void WriteContent(TStoreEngine& engine, TSqlDatabase& db, int64_t id, const TMessageImage& image) {
  detail::WriteProps(db, "message_props", "message_id", id, ClientProps(image.props));
  auto recipient = db.Prepare("INSERT INTO recipients(message_id, row_id, props) VALUES(?,?,?)");
  for (const auto& row : image.recipients) {
    recipient.Bind(1, id).Bind(2, int64_t{row.rowId}).Bind(3, detail::EncodePropList(row.props));
    recipient.Run();
    recipient.Reset();
  }
  for (const auto& attachment : image.attachments) {
    db.Prepare("INSERT INTO attachments(message_id, attach_num) VALUES(?,?)")
        .Bind(1, id)
        .Bind(2, int64_t{attachment.num})
        .Run();
    int64_t attachmentId = db.LastInsertId();
    detail::WriteProps(db, "attachment_props", "attachment_id", attachmentId, attachment.props);
    if (attachment.embedded)
      TStoreEngine::Impl::InsertMessage(engine, 0, attachmentId, false, *attachment.embedded, nullptr);
  }
}

ULONG SizeValue(uint64_t size) { return static_cast<ULONG>(std::min<uint64_t>(size, 0x7FFFFFFF)); }

}  // namespace

void TStoreEngine::Impl::CheckImage(const TMessageImage& image) {
  detail::CheckProps(image.props);
  std::set<ULONG> rows;
  for (const auto& recipient : image.recipients) {
    if (!rows.insert(recipient.rowId).second)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "Two recipients have the same PR_ROWID.");
    detail::CheckProps(recipient.props);
  }
  std::set<ULONG> nums;
  for (const auto& attachment : image.attachments) {
    if (!nums.insert(attachment.num).second)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "Two attachments have the same PR_ATTACH_NUM.");
    detail::CheckProps(attachment.props);
    if (attachment.embedded) CheckImage(*attachment.embedded);
  }
}

TMessageRecord TStoreEngine::Impl::ReadMessage(TStoreEngine& engine, int64_t id) {
  auto stmt = engine.Db().Prepare(std::string("SELECT ") + kMessageColumns + " FROM messages WHERE id=?");
  stmt.Bind(1, id);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such message.");
  return MessageFrom(stmt);
}

int64_t TStoreEngine::Impl::InsertMessage(TStoreEngine& engine, int64_t folderId, int64_t attachmentId, bool associated,
                                          const TMessageImage& image, const TMessageRecord* origin) {
  TSqlDatabase& db = engine.Db();
  ULONG flags = 0;
  if (origin) {
    flags = origin->flags & kClientFlags;
  } else if (const TStoredProp* given = detail::FindProp(image.props, PROP_ID(tags::kMessageFlags))) {
    flags = static_cast<ULONG>(detail::IntValue(*given).value_or(0)) & kClientFlags;
  }
  if (associated) flags |= MSGFLAG_ASSOCIATED;
  if (!image.attachments.empty()) flags |= MSGFLAG_HASATTACH;
  Bytes searchKey;
  if (origin) {
    searchKey = origin->searchKey;
  } else {
    MAPIUID fresh = NewMapiUid();
    searchKey.assign(fresh.ab, fresh.ab + sizeof(fresh.ab));
  }
  TChangeState change = detail::NewObject(db, engine.guid_);
  // Times given with the image (an embedded message's own) are kept.
  auto givenTime = [&image](ULONG tag) -> std::optional<int64_t> {
    const TStoredProp* given = detail::FindProp(image.props, PROP_ID(tag));
    return given && given->tag == tag ? detail::IntValue(*given) : std::nullopt;
  };
  int64_t now = NowFileTime();
  int64_t created = givenTime(tags::kCreationTime).value_or(now);
  int64_t modified = givenTime(tags::kLastModificationTime).value_or(created);
  auto insert = db.Prepare(
      "INSERT INTO messages(folder_id, attachment_id, associated, message_class, subject, normalized_subject, "
      "sender_name, delivery_time, submit_time, importance, creation_time, last_modification_time, flags, status, "
      "size, has_attach, search_key, source_key, change_key, predecessors, change_number) "
      "VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?21,?12,?13,?14,?15,?16,?17,?18,?19,?20)");
  if (folderId)
    insert.Bind(1, folderId);
  else
    insert.BindNull(1);
  if (attachmentId)
    insert.Bind(2, attachmentId);
  else
    insert.BindNull(2);
  insert.Bind(3, int64_t{associated});
  BindColumns(insert, 4, image.props);
  insert.Bind(11, created)
      .Bind(12, int64_t{flags})
      .Bind(13, int64_t{origin ? origin->status : 0})
      .Bind(14, int64_t{SizeValue(ImageSize(image))})
      .Bind(15, int64_t{!image.attachments.empty()})
      .Bind(16, searchKey)
      .Bind(17, change.sourceKey)
      .Bind(18, change.changeKey)
      .Bind(19, change.predecessors)
      .Bind(20, change.changeNumber)
      .Bind(21, modified)
      .Run();
  int64_t id = db.LastInsertId();
  WriteContent(engine, db, id, image);
  return id;
}

TMessageImage TStoreEngine::Impl::ReadImage(TStoreEngine& engine, int64_t id) {
  TSqlDatabase& db = engine.Db();
  TMessageImage image;
  image.props = detail::ReadProps(db, "message_props", "message_id", id);
  auto recipients = db.Prepare("SELECT row_id, props FROM recipients WHERE message_id=? ORDER BY row_id");
  recipients.Bind(1, id);
  while (recipients.Step())
    image.recipients.push_back({static_cast<ULONG>(recipients.Int(0)), detail::DecodePropList(recipients.Blob(1))});
  auto attachments = db.Prepare(
      "SELECT a.id, a.attach_num, m.id FROM attachments a LEFT JOIN messages m ON m.attachment_id=a.id "
      "WHERE a.message_id=? ORDER BY a.attach_num");
  attachments.Bind(1, id);
  while (attachments.Step()) {
    TAttachmentImage attachment;
    attachment.num = static_cast<ULONG>(attachments.Int(1));
    attachment.props = detail::ReadProps(db, "attachment_props", "attachment_id", attachments.Int(0));
    if (!attachments.IsNull(2)) {
      // An embedded message's flags and times travel among its properties: it has no
      // record of its own outside the store.
      int64_t embeddedId = attachments.Int(2);
      TMessageRecord record = ReadMessage(engine, embeddedId);
      attachment.embedded = std::make_shared<TMessageImage>(ReadImage(engine, embeddedId));
      attachment.embedded->props.push_back(detail::LongProp(tags::kMessageFlags, record.flags));
      attachment.embedded->props.push_back(detail::TimeProp(tags::kCreationTime, record.creationTime));
      attachment.embedded->props.push_back(detail::TimeProp(tags::kLastModificationTime, record.modificationTime));
    }
    image.attachments.push_back(std::move(attachment));
  }
  return image;
}

void TStoreEngine::Impl::DeleteMessageRow(TStoreEngine& engine, const TMessageRecord& message, bool soft) {
  TSqlDatabase& db = engine.Db();
  int64_t cn = detail::NextCounter(db, "change_number");
  detail::AddTombstone(db, message.folderId, TObjectKind::Message, message.change.sourceKey, cn, soft,
                       message.associated);
  if (soft)
    db.Prepare("UPDATE messages SET deleted=1, change_number=? WHERE id=?").Bind(1, cn).Bind(2, message.id).Run();
  else
    db.Prepare("DELETE FROM messages WHERE id=?").Bind(1, message.id).Run();
}

TMessageRecord TStoreEngine::Impl::LiveMessage(TStoreEngine& engine, int64_t id) {
  TMessageRecord record = ReadMessage(engine, id);
  if (record.deleted || record.folderId == 0) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such message.");
  return record;
}

namespace {

TMessageRecord LiveMessage(TStoreEngine& engine, int64_t id) { return TStoreEngine::Impl::LiveMessage(engine, id); }

// Stores a message's new read state and pending receipt flags, stamped as a
// read-state change; false when nothing changes.
bool ChangeReadFlags(TStoreEngine& engine, const TMessageRecord& record, ULONG flags) {
  if (flags == record.flags) return false;
  TSqlDatabase& db = TStoreEngine::Impl::Database(engine);
  int64_t cn = detail::NextCounter(db, "change_number");
  db.Prepare("UPDATE messages SET flags=?, read_change_number=? WHERE id=?")
      .Bind(1, int64_t{flags})
      .Bind(2, cn)
      .Bind(3, record.id)
      .Run();
  return true;
}

}  // namespace

int64_t TStoreEngine::CreateMessage(int64_t folderId, bool associated, const TMessageImage& image,
                                    TMessageRecord* created) {
  Impl::CheckImage(image);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::ReadFolder(*this, folderId);
  int64_t id = Impl::InsertMessage(*this, folderId, 0, associated, image, nullptr);
  if (created) *created = Impl::ReadMessage(*this, id);
  tx.Commit();
  return id;
}

TMessageRecord TStoreEngine::SaveMessage(int64_t id, const TMessageImage& image,
                                         std::optional<int64_t> expectedChangeNumber) {
  Impl::CheckImage(image);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::RewriteMessage(*this, id, image, expectedChangeNumber);
  TMessageRecord saved = Impl::ReadMessage(*this, id);
  tx.Commit();
  return saved;
}

void TStoreEngine::Impl::RewriteMessage(TStoreEngine& engine, int64_t id, const TMessageImage& image,
                                        std::optional<int64_t> expectedChangeNumber) {
  TSqlDatabase& db = engine.Db();
  TMessageRecord record;
  try {
    record = LiveMessage(engine, id);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_OBJECT_DELETED, "The message has been deleted.");
  }
  if (expectedChangeNumber && *expectedChangeNumber != record.change.changeNumber)
    throw TMapiError(MAPI_E_OBJECT_CHANGED, "The message has been changed since it was opened.");
  db.Prepare("DELETE FROM message_props WHERE message_id=?").Bind(1, id).Run();
  db.Prepare("DELETE FROM recipients WHERE message_id=?").Bind(1, id).Run();
  db.Prepare("DELETE FROM attachments WHERE message_id=?").Bind(1, id).Run();
  WriteContent(engine, db, id, image);
  TChangeState next = detail::NewChange(db, engine.guid_, record.change);
  // A save after the first one modifies the message.
  ULONG flags =
      (record.flags & ~(MSGFLAG_HASATTACH | MSGFLAG_UNMODIFIED)) | (image.attachments.empty() ? 0 : MSGFLAG_HASATTACH);
  auto update = db.Prepare(
      "UPDATE messages SET message_class=?1, subject=?2, normalized_subject=?3, sender_name=?4, delivery_time=?5, "
      "submit_time=?6, importance=?7, last_modification_time=?8, flags=?9, size=?10, has_attach=?11, "
      "change_key=?12, predecessors=?13, change_number=?14 WHERE id=?15");
  BindColumns(update, 1, image.props);
  update.Bind(8, NowFileTime())
      .Bind(9, int64_t{flags})
      .Bind(10, int64_t{SizeValue(ImageSize(image))})
      .Bind(11, int64_t{!image.attachments.empty()})
      .Bind(12, next.changeKey)
      .Bind(13, next.predecessors)
      .Bind(14, next.changeNumber)
      .Bind(15, id)
      .Run();
}

TMessageRecord TStoreEngine::Message(int64_t id) {
  auto lock = Lock();
  return LiveMessage(*this, id);
}

TMessageImage TStoreEngine::LoadMessage(int64_t id) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  LiveMessage(*this, id);
  return Impl::ReadImage(*this, id);
}

std::vector<int64_t> TStoreEngine::MessageIds(int64_t folderId, bool associated) {
  auto lock = Lock();
  auto stmt = Db().Prepare("SELECT id FROM messages WHERE folder_id=? AND associated=? AND deleted=0 ORDER BY id");
  stmt.Bind(1, folderId).Bind(2, int64_t{associated});
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

bool TStoreEngine::SetReadState(int64_t id, bool read) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TMessageRecord record = LiveMessage(*this, id);
  ULONG flags = read ? (record.flags | MSGFLAG_READ) : (record.flags & ~MSGFLAG_READ);
  if (!ChangeReadFlags(*this, record, flags)) return false;
  tx.Commit();
  return true;
}

TStoreEngine::TReadFlagChange TStoreEngine::ApplyReadFlags(int64_t id, ULONG readFlags) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TMessageRecord record = LiveMessage(*this, id);
  TReadFlagChange change{record.flags, FlagsAfterSetReadFlag(record.flags, readFlags)};
  if (ChangeReadFlags(*this, record, change.after)) tx.Commit();
  return change;
}

ULONG TStoreEngine::SetMessageStatus(int64_t id, ULONG status, ULONG mask) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TMessageRecord record = LiveMessage(*this, id);
  ULONG next = (record.status & ~mask) | (status & mask);
  Db().Prepare("UPDATE messages SET status=? WHERE id=?").Bind(1, int64_t{next}).Bind(2, id).Run();
  tx.Commit();
  return record.status;
}

int64_t TStoreEngine::CopyMessage(int64_t id, int64_t destFolderId) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TMessageRecord record = LiveMessage(*this, id);
  Impl::ReadFolder(*this, destFolderId);
  int64_t copy = Impl::InsertMessage(*this, destFolderId, 0, record.associated, Impl::ReadImage(*this, id), &record);
  tx.Commit();
  return copy;
}

int64_t TStoreEngine::ImportMessage(int64_t folderId, const TMessageRecord& origin, const TMessageImage& image) {
  Impl::CheckImage(image);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::ReadFolder(*this, folderId);
  int64_t copy = Impl::InsertMessage(*this, folderId, 0, origin.associated, image, &origin);
  tx.Commit();
  return copy;
}

void TStoreEngine::MoveMessage(int64_t id, int64_t destFolderId) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TMessageRecord record = LiveMessage(*this, id);
  Impl::ReadFolder(*this, destFolderId);
  if (destFolderId == record.folderId) return;
  TChangeState next = detail::NewChange(Db(), guid_, record.change);
  detail::AddTombstone(Db(), record.folderId, TObjectKind::Message, record.change.sourceKey, next.changeNumber, false,
                       record.associated);
  Db().Prepare("UPDATE messages SET folder_id=?, change_key=?, predecessors=?, change_number=? WHERE id=?")
      .Bind(1, destFolderId)
      .Bind(2, next.changeKey)
      .Bind(3, next.predecessors)
      .Bind(4, next.changeNumber)
      .Bind(5, id)
      .Run();
  tx.Commit();
}

void TStoreEngine::DeleteMessage(int64_t id, bool soft) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::DeleteMessageRow(*this, LiveMessage(*this, id), soft);
  tx.Commit();
}

TContentChanges TStoreEngine::ContentChangesSince(int64_t folderId, int64_t changeNumber) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  Impl::ReadFolder(*this, folderId);
  TContentChanges changes;
  auto changed =
      Db().Prepare(std::string("SELECT ") + kMessageColumns +
                   " FROM messages WHERE folder_id=? AND deleted=0 AND change_number>? ORDER BY change_number");
  changed.Bind(1, folderId).Bind(2, changeNumber);
  while (changed.Step()) changes.changed.push_back(MessageFrom(changed));
  auto read = Db().Prepare(std::string("SELECT ") + kMessageColumns +
                           " FROM messages WHERE folder_id=? AND deleted=0 AND change_number<=?2 "
                           "AND read_change_number>?2 ORDER BY read_change_number");
  read.Bind(1, folderId).Bind(2, changeNumber);
  while (read.Step()) changes.readChanged.push_back(MessageFrom(read));
  auto deleted = Db().Prepare(
      "SELECT source_key, change_number, soft, associated FROM tombstones WHERE folder_id=? AND kind=? "
      "AND change_number>? ORDER BY change_number");
  deleted.Bind(1, folderId).Bind(2, int64_t{static_cast<uint16_t>(TObjectKind::Message)}).Bind(3, changeNumber);
  while (deleted.Step())
    changes.deleted.push_back({deleted.Blob(0), deleted.Int(1), deleted.Int(2) != 0, deleted.Int(3) != 0});
  return changes;
}

}  // namespace orba::store
