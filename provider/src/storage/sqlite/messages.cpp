// The SQLite backend's messages: their rows, properties, recipients, attachments and
// embedded messages, and the change stamps of every change.
#include "storage/sqlite/messages.h"

#include <set>

#include "base/filetime.h"
#include "base/maperror.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/profiledb.h"
#include "storage/readflags.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

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

// Binds the columns the tables sort and filter on, taken from the properties, to
// parameters first.. of stmt: message class, subject, normalized subject, sender
// name, delivery time, submit time, importance.
void BindColumns(TSqlStatement& stmt, int first, const TStoredProps& props) {
  const ULONG textIds[] = {PROP_ID(tags::kMessageClassW), PROP_ID(tags::kSubjectW), PROP_ID(tags::kNormalizedSubjectW),
                           PROP_ID(tags::kSenderNameW)};
  int index = first;
  for (ULONG propId : textIds) {
    const TStoredProp* prop = FindStored(props, propId);
    auto text = prop ? StoredText(*prop) : std::nullopt;
    if (text)
      stmt.Bind(index, FoldKey(*text));
    else
      stmt.BindNull(index);
    ++index;
  }
  // Numbers of another type than the property's own are not the value tables compare.
  const ULONG intTags[] = {tags::kMessageDeliveryTime, tags::kClientSubmitTime, tags::kImportance};
  for (ULONG tag : intTags) {
    const TStoredProp* prop = FindStored(props, PROP_ID(tag));
    auto value = prop && prop->tag == tag ? StoredNumber(*prop) : std::nullopt;
    if (value)
      stmt.Bind(index, *value);
    else
      stmt.BindNull(index);
    ++index;
  }
}

}  // namespace

const char* const TMessages::kColumns =
    "id, coalesce(folder_id, 0), coalesce(attachment_id, 0), associated, flags, status, size, search_key, "
    "creation_time, last_modification_time, read_change_number, deleted, source_key, change_key, predecessors, "
    "change_number";

TMessageRecord TMessages::RecordFrom(const TSqlStatement& stmt) {
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

void TMessages::CheckImage(const TMessageImage& image) {
  CheckProps(image.props);
  std::set<ULONG> rows;
  for (const auto& recipient : image.recipients) {
    if (!rows.insert(recipient.rowId).second)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "Two recipients have the same PR_ROWID.");
    CheckProps(recipient.props);
  }
  std::set<ULONG> nums;
  for (const auto& attachment : image.attachments) {
    if (!nums.insert(attachment.num).second)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "Two attachments have the same PR_ATTACH_NUM.");
    CheckProps(attachment.props);
    if (attachment.embedded) CheckImage(*attachment.embedded);
  }
}

// --- steps ----------------------------------------------------------------------------

TMessageRecord TMessages::Read(int64_t id) {
  auto stmt = store_.Db().Prepare(std::string("SELECT ") + kColumns + " FROM messages WHERE id=?");
  stmt.Bind(1, id);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such message.");
  return RecordFrom(stmt);
}

TMessageRecord TMessages::Live(int64_t id) {
  TMessageRecord record = Read(id);
  if (record.deleted || record.folderId == 0) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such message.");
  return record;
}

std::vector<int64_t> TMessages::LiveIds(int64_t folderId, std::optional<bool> associated) {
  auto stmt = store_.Db().Prepare(
      associated ? "SELECT id FROM messages WHERE folder_id=? AND deleted=0 AND associated=? ORDER BY id"
                 : "SELECT id FROM messages WHERE folder_id=? AND deleted=0 ORDER BY id");
  stmt.Bind(1, folderId);
  if (associated) stmt.Bind(2, int64_t{*associated});
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

void TMessages::WriteContent(int64_t id, const TMessageImage& image) {
  TSqlDatabase& db = store_.Db();
  WriteProps(db, "message_props", "message_id", id, ClientProps(image.props));
  auto recipient = db.Prepare("INSERT INTO recipients(message_id, row_id, props) VALUES(?,?,?)");
  for (const auto& row : image.recipients) {
    recipient.Bind(1, id).Bind(2, int64_t{row.rowId}).Bind(3, EncodePropList(row.props));
    recipient.Run();
    recipient.Reset();
  }
  for (const auto& attachment : image.attachments) {
    db.Prepare("INSERT INTO attachments(message_id, attach_num) VALUES(?,?)")
        .Bind(1, id)
        .Bind(2, int64_t{attachment.num})
        .Run();
    int64_t attachmentId = db.LastInsertId();
    WriteProps(db, "attachment_props", "attachment_id", attachmentId, attachment.props);
    if (attachment.embedded) Insert(0, attachmentId, false, *attachment.embedded, nullptr);
  }
}

int64_t TMessages::Insert(int64_t folderId, int64_t attachmentId, bool associated, const TMessageImage& image,
                          const TMessageRecord* origin) {
  TSqlDatabase& db = store_.Db();
  ULONG flags = 0;
  if (origin) {
    flags = origin->flags & kClientFlags;
  } else if (const TStoredProp* given = FindStored(image.props, PROP_ID(tags::kMessageFlags))) {
    flags = static_cast<ULONG>(StoredNumber(*given).value_or(0)) & kClientFlags;
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
  TChangeState change = store_.changes.NewObject();
  // Times given with the image (an embedded message's own) are kept.
  auto givenTime = [&image](ULONG tag) -> std::optional<int64_t> {
    const TStoredProp* given = FindStored(image.props, PROP_ID(tag));
    return given && given->tag == tag ? StoredNumber(*given) : std::nullopt;
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
  WriteContent(id, image);
  return id;
}

TMessageImage TMessages::ReadImage(int64_t id) {
  TSqlDatabase& db = store_.Db();
  TMessageImage image;
  image.props = ReadProps(db, "message_props", "message_id", id);
  auto recipients = db.Prepare("SELECT row_id, props FROM recipients WHERE message_id=? ORDER BY row_id");
  recipients.Bind(1, id);
  while (recipients.Step())
    image.recipients.push_back({static_cast<ULONG>(recipients.Int(0)), DecodePropList(recipients.Blob(1))});
  auto attachments = db.Prepare(
      "SELECT a.id, a.attach_num, m.id FROM attachments a LEFT JOIN messages m ON m.attachment_id=a.id "
      "WHERE a.message_id=? ORDER BY a.attach_num");
  attachments.Bind(1, id);
  while (attachments.Step()) {
    TAttachmentImage attachment;
    attachment.num = static_cast<ULONG>(attachments.Int(1));
    attachment.props = ReadProps(db, "attachment_props", "attachment_id", attachments.Int(0));
    if (!attachments.IsNull(2)) {
      // An embedded message's flags and times travel among its properties: it has no
      // record of its own outside the store.
      int64_t embeddedId = attachments.Int(2);
      TMessageRecord record = Read(embeddedId);
      attachment.embedded = std::make_shared<TMessageImage>(ReadImage(embeddedId));
      auto& props = attachment.embedded->props;
      props.push_back(Stored(LongValue(tags::kMessageFlags, record.flags)));
      props.push_back(Stored(TimeValue(tags::kCreationTime, record.creationTime)));
      props.push_back(Stored(TimeValue(tags::kLastModificationTime, record.modificationTime)));
    }
    image.attachments.push_back(std::move(attachment));
  }
  return image;
}

void TMessages::Rewrite(int64_t id, const TMessageImage& image, std::optional<int64_t> expectedChangeNumber) {
  TSqlDatabase& db = store_.Db();
  TMessageRecord record;
  try {
    record = Live(id);
  } catch (const TMapiError&) {
    throw TMapiError(MAPI_E_OBJECT_DELETED, "The message has been deleted.");
  }
  if (expectedChangeNumber && *expectedChangeNumber != record.change.changeNumber)
    throw TMapiError(MAPI_E_OBJECT_CHANGED, "The message has been changed since it was opened.");
  db.Prepare("DELETE FROM message_props WHERE message_id=?").Bind(1, id).Run();
  db.Prepare("DELETE FROM recipients WHERE message_id=?").Bind(1, id).Run();
  db.Prepare("DELETE FROM attachments WHERE message_id=?").Bind(1, id).Run();
  WriteContent(id, image);
  TChangeState next = store_.changes.NewChange(record.change);
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

void TMessages::DeleteRow(const TMessageRecord& message, bool soft) {
  TSqlDatabase& db = store_.Db();
  int64_t cn = store_.changes.NextChangeNumber();
  store_.changes.AddTombstone(message.folderId, TObjectKind::Message, message.change.sourceKey, cn, soft,
                              message.associated);
  if (soft)
    db.Prepare("UPDATE messages SET deleted=1, change_number=? WHERE id=?").Bind(1, cn).Bind(2, message.id).Run();
  else
    db.Prepare("DELETE FROM messages WHERE id=?").Bind(1, message.id).Run();
}

void TMessages::StampFlags(const TMessageRecord& record, ULONG flags, int64_t folderId) {
  TChangeState next = store_.changes.NewChange(record.change);
  if (folderId != record.folderId)
    store_.changes.AddTombstone(record.folderId, TObjectKind::Message, record.change.sourceKey, next.changeNumber,
                                false, record.associated);
  store_.Db()
      .Prepare("UPDATE messages SET folder_id=?, flags=?, change_key=?, predecessors=?, change_number=? WHERE id=?")
      .Bind(1, folderId)
      .Bind(2, int64_t{flags})
      .Bind(3, next.changeKey)
      .Bind(4, next.predecessors)
      .Bind(5, next.changeNumber)
      .Bind(6, record.id)
      .Run();
}

bool TMessages::ChangeReadFlags(const TMessageRecord& record, ULONG flags) {
  if (flags == record.flags) return false;
  int64_t cn = store_.changes.NextChangeNumber();
  store_.Db()
      .Prepare("UPDATE messages SET flags=?, read_change_number=? WHERE id=?")
      .Bind(1, int64_t{flags})
      .Bind(2, cn)
      .Bind(3, record.id)
      .Run();
  return true;
}

// --- the interface --------------------------------------------------------------------

int64_t TMessages::Create(int64_t folderId, bool associated, const TMessageImage& image, TMessageRecord* created) {
  CheckImage(image);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  store_.folders.Read(folderId);
  int64_t id = Insert(folderId, 0, associated, image, nullptr);
  if (created) *created = Read(id);
  tx.Commit();
  return id;
}

TMessageRecord TMessages::Save(int64_t id, const TMessageImage& image, std::optional<int64_t> expectedChangeNumber) {
  CheckImage(image);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  Rewrite(id, image, expectedChangeNumber);
  TMessageRecord saved = Read(id);
  tx.Commit();
  return saved;
}

TMessageRecord TMessages::Get(int64_t id) {
  auto lock = store_.Lock();
  return Live(id);
}

TMessageImage TMessages::Load(int64_t id) {
  auto lock = store_.Lock();
  TSqlReadSnapshot snapshot(store_.Db());
  Live(id);
  return ReadImage(id);
}

TStoredProps TMessages::Values(int64_t id, const std::vector<ULONG>& propIds) {
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare("SELECT tag, value FROM message_props WHERE message_id=? AND prop_id=?");
  TStoredProps props;
  for (ULONG propId : propIds) {
    stmt.Bind(1, id).Bind(2, int64_t{propId});
    if (stmt.Step()) props.push_back({static_cast<ULONG>(stmt.Int(0)), stmt.Blob(1)});
    stmt.Reset();
  }
  return props;
}

std::vector<int64_t> TMessages::Ids(int64_t folderId, bool associated) {
  auto lock = store_.Lock();
  return LiveIds(folderId, associated);
}

TReadFlagChange TMessages::ApplyReadFlags(int64_t id, ULONG readFlags) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  TMessageRecord record = Live(id);
  TReadFlagChange change{record.flags, FlagsAfterSetReadFlag(record.flags, readFlags)};
  if (ChangeReadFlags(record, change.after)) tx.Commit();
  return change;
}

ULONG TMessages::SetStatus(int64_t id, ULONG status, ULONG mask) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  TMessageRecord record = Live(id);
  ULONG next = (record.status & ~mask) | (status & mask);
  store_.Db().Prepare("UPDATE messages SET status=? WHERE id=?").Bind(1, int64_t{next}).Bind(2, id).Run();
  tx.Commit();
  return record.status;
}

int64_t TMessages::Copy(int64_t id, int64_t destFolderId) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  TMessageRecord record = Live(id);
  store_.folders.Read(destFolderId);
  int64_t copy = Insert(destFolderId, 0, record.associated, ReadImage(id), &record);
  tx.Commit();
  return copy;
}

int64_t TMessages::Import(int64_t folderId, const TMessageRecord& origin, const TMessageImage& image) {
  CheckImage(image);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  store_.folders.Read(folderId);
  int64_t copy = Insert(folderId, 0, origin.associated, image, &origin);
  tx.Commit();
  return copy;
}

void TMessages::Move(int64_t id, int64_t destFolderId) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  TMessageRecord record = Live(id);
  store_.folders.Read(destFolderId);
  if (destFolderId == record.folderId) return;
  StampFlags(record, record.flags, destFolderId);
  tx.Commit();
}

void TMessages::Delete(int64_t id, bool soft) {
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  DeleteRow(Live(id), soft);
  tx.Commit();
}

}  // namespace orba::store::sqlite
