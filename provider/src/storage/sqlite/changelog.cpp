// The SQLite backend's change log: see changelog.h.
#include "storage/sqlite/changelog.h"

#include "base/maperror.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {

int64_t TChangeLog::CurrentChangeNumber() {
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare("SELECT change_number FROM store_info WHERE id=1");
  if (!stmt.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store has no identity.");
  return stmt.Int(0);
}

TContentChanges TChangeLog::ContentChangesSince(int64_t folderId, int64_t changeNumber) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  store_.folders.Read(folderId);
  TContentChanges changes;
  auto changed =
      db.Prepare(std::string("SELECT ") + TMessages::kColumns +
                 " FROM messages WHERE folder_id=? AND deleted=0 AND change_number>? ORDER BY change_number");
  changed.Bind(1, folderId).Bind(2, changeNumber);
  while (changed.Step()) changes.changed.push_back(TMessages::RecordFrom(changed));
  auto read = db.Prepare(std::string("SELECT ") + TMessages::kColumns +
                         " FROM messages WHERE folder_id=? AND deleted=0 AND change_number<=?2 "
                         "AND read_change_number>?2 ORDER BY read_change_number");
  read.Bind(1, folderId).Bind(2, changeNumber);
  while (read.Step()) changes.readChanged.push_back(TMessages::RecordFrom(read));
  auto deleted = db.Prepare(
      "SELECT source_key, change_number, soft, associated FROM tombstones WHERE folder_id=? AND kind=? "
      "AND change_number>? ORDER BY change_number");
  deleted.Bind(1, folderId).Bind(2, int64_t{static_cast<uint16_t>(TObjectKind::Message)}).Bind(3, changeNumber);
  while (deleted.Step())
    changes.deleted.push_back({deleted.Blob(0), deleted.Int(1), deleted.Int(2) != 0, deleted.Int(3) != 0});
  return changes;
}

THierarchyChanges TChangeLog::HierarchyChangesSince(int64_t folderId, int64_t changeNumber) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  store_.folders.Read(folderId);
  THierarchyChanges changes;
  auto changed =
      db.Prepare(std::string("WITH RECURSIVE tree(id) AS (SELECT id FROM folders WHERE parent_id=?1 UNION "
                             "SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) SELECT ") +
                 TFolders::kColumns + " FROM folders WHERE id IN tree AND change_number>?2 ORDER BY change_number");
  changed.Bind(1, folderId).Bind(2, changeNumber);
  while (changed.Step()) changes.changed.push_back(TFolders::RecordFrom(changed));
  auto deleted = db.Prepare(
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
      "SELECT source_key, change_number, soft FROM tombstones WHERE kind=?3 AND folder_id IN tree "
      "AND change_number>?2 ORDER BY change_number");
  deleted.Bind(1, folderId).Bind(2, changeNumber).Bind(3, int64_t{static_cast<uint16_t>(TObjectKind::Folder)});
  while (deleted.Step()) changes.deleted.push_back({deleted.Blob(0), deleted.Int(1), deleted.Int(2) != 0, false});
  return changes;
}

int64_t TChangeLog::NextCounter(std::string_view column) {
  TSqlDatabase& db = store_.Db();
  std::string name(column);
  // An UPDATE of the one row by its key needs no statement journal, which an UPDATE ...
  // RETURNING sets up (and tears down) on every call: the read comes separately.
  db.Prepare("UPDATE store_info SET " + name + "=" + name + "+1 WHERE id=1").Run();
  if (db.Changes() != 1) throw TMapiError(MAPI_E_CORRUPT_DATA, "The store has no identity.");
  auto stmt = db.Prepare("SELECT " + name + " FROM store_info WHERE id=1");
  stmt.Step();
  int64_t value = stmt.Int(0);
  if (value > kMaxXidCounter) throw TMapiError(MAPI_E_CALL_FAILED, "The store's change counter overflowed.");
  return value;
}

int64_t TChangeLog::NextChangeNumber() { return NextCounter("change_number"); }

TChangeState TChangeLog::NewChange(const TChangeState& previous) {
  TChangeState next;
  next.sourceKey = previous.sourceKey;
  next.changeNumber = NextChangeNumber();
  next.changeKey = MakeXid(store_.guid, next.changeNumber);
  next.predecessors = MergePredecessors(previous.predecessors, next.changeKey);
  return next;
}

TChangeState TChangeLog::NewObject() {
  TChangeState first;
  first.sourceKey = MakeXid(store_.guid, NextCounter("global_counter"));
  return NewChange(first);
}

void TChangeLog::AddTombstone(int64_t folderId, TObjectKind kind, const Bytes& sourceKey, int64_t changeNumber,
                              bool soft, bool associated) {
  store_.Db()
      .Prepare(
          "INSERT INTO tombstones(folder_id, kind, source_key, change_number, soft, associated) "
          "VALUES(?,?,?,?,?,?)")
      .Bind(1, folderId)
      .Bind(2, int64_t{static_cast<uint16_t>(kind)})
      .Bind(3, sourceKey)
      .Bind(4, changeNumber)
      .Bind(5, int64_t{soft})
      .Bind(6, int64_t{associated})
      .Run();
}

}  // namespace orba::store::sqlite
