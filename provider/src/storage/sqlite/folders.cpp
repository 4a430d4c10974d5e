// The SQLite backend's folders: the tree, its operations and their change stamps, and
// the receive folders.
#include "storage/sqlite/folders.h"

#include <set>

#include "base/filetime.h"
#include "base/maperror.h"
#include "orba/common/utf8.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

void CheckName(const std::u16string& name) {
  if (name.empty()) throw TMapiError(MAPI_E_INVALID_PARAMETER, "A folder needs a name.");
}

std::optional<int64_t> FindChildIn(TSqlDatabase& db, int64_t parentId, const std::u16string& name) {
  auto stmt = db.Prepare("SELECT id FROM folders WHERE parent_id=? AND name_key=?");
  stmt.Bind(1, parentId).Bind(2, FoldKey(name));
  if (!stmt.Step()) return std::nullopt;
  return stmt.Int(0);
}

void CheckNoCollision(TSqlDatabase& db, int64_t parentId, const std::u16string& name, int64_t except = 0) {
  auto found = FindChildIn(db, parentId, name);
  if (found && *found != except) throw TMapiError(MAPI_E_COLLISION, "A folder with this name exists already.");
}

// Calls visit for id and each of its ancestors up to the root; MAPI_E_CORRUPT_DATA
// when they loop (a damaged store). A folder whose ancestors reach the root has none
// of that loop below it either, so walking its subtree ends.
template <class Visit>
void WalkUp(TSqlDatabase& db, int64_t id, Visit&& visit) {
  auto stmt = db.Prepare("SELECT coalesce(parent_id, 0) FROM folders WHERE id=?");
  std::set<int64_t> seen;
  for (int64_t at = id; at != 0;) {
    visit(at);
    if (!seen.insert(at).second) throw TMapiError(MAPI_E_CORRUPT_DATA, "The store's folder tree loops.");
    stmt.Bind(1, at);
    at = stmt.Step() ? stmt.Int(0) : 0;
    stmt.Reset();
  }
}

// MAPI_E_FOLDER_CYCLE when target is folderId or lies below it.
void CheckNoCycle(TSqlDatabase& db, int64_t folderId, int64_t target) {
  WalkUp(db, target, [&](int64_t at) {
    if (at == folderId) throw TMapiError(MAPI_E_FOLDER_CYCLE, "The folder contains the destination folder.");
  });
}

// Checks, before a walk of id's subtree, that the walk ends.
void CheckRooted(TSqlDatabase& db, int64_t id) {
  WalkUp(db, id, [](int64_t) {});
}

// Search folders show messages of other folders and have no subfolders of their own.
void CheckCanHoldFolders(const TFolderRecord& parent) {
  if (parent.folderType == FOLDER_SEARCH) throw TMapiError(MAPI_E_NO_SUPPORT, "A search folder has no subfolders.");
}

bool IsStandardFolder(TSqlDatabase& db, int64_t id) {
  auto special = db.Prepare("SELECT 1 FROM special_folders WHERE folder_id=?");
  special.Bind(1, id);
  return special.Step();
}

std::vector<int64_t> ChildIds(TSqlDatabase& db, int64_t parentId) {
  auto stmt = db.Prepare("SELECT id FROM folders WHERE parent_id=? ORDER BY id");
  stmt.Bind(1, parentId);
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

// Nothing undecodable is carried into another store.
void CheckImageTree(const TFolderImage& image) {
  CheckProps(image.props);
  for (const auto& message : image.messages) TMessages::CheckImage(message.second);
  for (const TFolderImage& child : image.subfolders) CheckImageTree(child);
}

}  // namespace

const char* const TFolders::kColumns =
    "id, coalesce(parent_id, 0), folder_type, name, container_class, creation_time, modification_time, source_key, "
    "change_key, predecessors, change_number";

TFolderRecord TFolders::RecordFrom(const TSqlStatement& stmt) {
  TFolderRecord folder;
  folder.id = stmt.Int(0);
  folder.parentId = stmt.Int(1);
  folder.folderType = static_cast<ULONG>(stmt.Int(2));
  folder.name = FromUtf8(stmt.Text(3));
  folder.containerClass = FromUtf8(stmt.Text(4));
  folder.creationTime = stmt.Int(5);
  folder.modificationTime = stmt.Int(6);
  folder.change.sourceKey = stmt.Blob(7);
  folder.change.changeKey = stmt.Blob(8);
  folder.change.predecessors = stmt.Blob(9);
  folder.change.changeNumber = stmt.Int(10);
  return folder;
}

// --- steps ----------------------------------------------------------------------------

TFolderRecord TFolders::Read(int64_t id) {
  auto stmt = store_.Db().Prepare(std::string("SELECT ") + kColumns + " FROM folders WHERE id=?");
  stmt.Bind(1, id);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such folder.");
  return RecordFrom(stmt);
}

int64_t TFolders::Insert(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props) {
  CheckName(name);
  TSqlDatabase& db = store_.Db();
  if (parentId != 0) {
    CheckCanHoldFolders(Read(parentId));
    CheckNoCollision(db, parentId, name);
  }
  std::u16string containerClass;
  if (const TStoredProp* cls = FindStored(props, PROP_ID(tags::kContainerClassW)))
    containerClass = StoredText(*cls).value_or(u"");
  TChangeState change = store_.changes.NewObject();
  int64_t now = NowFileTime();
  auto insert = db.Prepare(
      "INSERT INTO folders(parent_id, folder_type, name, name_key, container_class, creation_time, "
      "modification_time, source_key, change_key, predecessors, change_number) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
  if (parentId == 0)
    insert.BindNull(1);
  else
    insert.Bind(1, parentId);
  insert.Bind(2, int64_t{folderType})
      .Bind(3, ToUtf8(name))
      .Bind(4, FoldKey(name))
      .Bind(5, ToUtf8(containerClass))
      .Bind(6, now)
      .Bind(7, now)
      .Bind(8, change.sourceKey)
      .Bind(9, change.changeKey)
      .Bind(10, change.predecessors)
      .Bind(11, change.changeNumber)
      .Run();
  int64_t id = db.LastInsertId();
  TStoredProps all;
  for (const auto& prop : props)
    if (PROP_ID(prop.tag) != PROP_ID(tags::kDisplayNameW)) all.push_back(prop);
  all.push_back(Stored(TextValue(tags::kDisplayNameW, name)));
  WriteProps(db, "folder_props", "folder_id", id, all);
  return id;
}

void TFolders::SetSpecialFolder(TSpecialFolder folder, int64_t id) {
  store_.Db()
      .Prepare("INSERT INTO special_folders(kind, folder_id) VALUES(?,?)")
      .Bind(1, int64_t{static_cast<int>(folder)})
      .Bind(2, id)
      .Run();
}

void TFolders::DeleteTree(const TFolderRecord& folder) {
  TSqlDatabase& db = store_.Db();
  for (int64_t child : ChildIds(db, folder.id)) DeleteTree(Read(child));
  for (int64_t message : store_.messages.LiveIds(folder.id, std::nullopt))
    store_.messages.DeleteRow(store_.messages.Read(message), false);
  int64_t cn = store_.changes.NextChangeNumber();
  store_.changes.AddTombstone(folder.parentId, TObjectKind::Folder, folder.change.sourceKey, cn, false, false);
  // Classes received here fall back to shorter prefixes; the default class, which must
  // always have a folder, goes back to the Inbox.
  db.Prepare(
        "UPDATE receive_folders SET folder_id=(SELECT folder_id FROM special_folders WHERE kind=?) "
        "WHERE folder_id=? AND message_class=''")
      .Bind(1, int64_t{static_cast<int>(TSpecialFolder::Inbox)})
      .Bind(2, folder.id)
      .Run();
  db.Prepare("DELETE FROM receive_folders WHERE folder_id=?").Bind(1, folder.id).Run();
  db.Prepare("DELETE FROM folders WHERE id=?").Bind(1, folder.id).Run();
}

int64_t TFolders::Stamp(const TFolderRecord& folder) {
  TChangeState next = store_.changes.NewChange(folder.change);
  store_.Db()
      .Prepare("UPDATE folders SET change_key=?, predecessors=?, change_number=?, modification_time=? WHERE id=?")
      .Bind(1, next.changeKey)
      .Bind(2, next.predecessors)
      .Bind(3, next.changeNumber)
      .Bind(4, NowFileTime())
      .Bind(5, folder.id)
      .Run();
  return next.changeNumber;
}

int64_t TFolders::CopyTree(int64_t sourceId, int64_t parentId, const std::u16string& name, bool subfolders) {
  TSqlDatabase& db = store_.Db();
  TFolderRecord source = Read(sourceId);
  int64_t copy = Insert(parentId, name, source.folderType, ReadProps(db, "folder_props", "folder_id", sourceId));
  store_.search.CopyCriteria(sourceId, copy);
  for (int64_t message : store_.messages.LiveIds(sourceId, std::nullopt)) {
    TMessageRecord record = store_.messages.Read(message);
    store_.messages.Insert(copy, 0, record.associated, store_.messages.ReadImage(message), &record);
  }
  if (subfolders)
    for (int64_t child : ChildIds(db, sourceId)) CopyTree(child, copy, Read(child).name, true);
  return copy;
}

TFolderImage TFolders::ExportTree(int64_t id, bool subfolders) {
  TSqlDatabase& db = store_.Db();
  TFolderRecord folder = Read(id);
  TFolderImage image;
  image.name = folder.name;
  image.folderType = folder.folderType;
  image.props = ReadProps(db, "folder_props", "folder_id", id);
  for (int64_t message : store_.messages.LiveIds(id, std::nullopt))
    image.messages.emplace_back(store_.messages.Read(message), store_.messages.ReadImage(message));
  if (subfolders)
    for (int64_t child : ChildIds(db, id)) image.subfolders.push_back(ExportTree(child, true));
  return image;
}

int64_t TFolders::ImportTree(int64_t parentId, const std::u16string& name, const TFolderImage& image) {
  int64_t copy = Insert(parentId, name, image.folderType, image.props);
  for (const auto& [record, content] : image.messages)
    store_.messages.Insert(copy, 0, record.associated, content, &record);
  for (const TFolderImage& child : image.subfolders) ImportTree(copy, child.name, child);
  return copy;
}

// --- the interface --------------------------------------------------------------------

int64_t TFolders::SpecialFolderId(TSpecialFolder folder) {
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare("SELECT folder_id FROM special_folders WHERE kind=?");
  stmt.Bind(1, int64_t{static_cast<int>(folder)});
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "The store has no such special folder.");
  return stmt.Int(0);
}

TFolderRecord TFolders::Get(int64_t id) {
  auto lock = store_.Lock();
  return Read(id);
}

TStoredProps TFolders::Props(int64_t id) {
  auto lock = store_.Lock();
  TSqlReadSnapshot snapshot(store_.Db());
  Read(id);
  return ReadProps(store_.Db(), "folder_props", "folder_id", id);
}

std::vector<TFolderRecord> TFolders::Children(int64_t parentId) {
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare(std::string("SELECT ") + kColumns + " FROM folders WHERE parent_id=? ORDER BY id");
  stmt.Bind(1, parentId);
  std::vector<TFolderRecord> folders;
  while (stmt.Step()) folders.push_back(RecordFrom(stmt));
  return folders;
}

std::optional<int64_t> TFolders::FindChild(int64_t parentId, const std::u16string& name) {
  auto lock = store_.Lock();
  return FindChildIn(store_.Db(), parentId, name);
}

int64_t TFolders::Create(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props,
                         bool openIfExists) {
  if (folderType != FOLDER_GENERIC && folderType != FOLDER_SEARCH)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "Unknown folder type.");
  CheckName(name);
  CheckProps(props);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  Read(parentId);
  if (auto existing = FindChildIn(store_.Db(), parentId, name)) {
    if (openIfExists) return *existing;
    throw TMapiError(MAPI_E_COLLISION, "A folder with this name exists already.");
  }
  int64_t id = Insert(parentId, name, folderType, props);
  tx.Commit();
  return id;
}

void TFolders::ChangeProps(int64_t id, const TStoredProps& set, const std::vector<ULONG>& deletedIds) {
  CheckProps(set);
  for (ULONG propId : deletedIds)
    if (propId == PROP_ID(tags::kDisplayNameW)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder cannot lose its name.");
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  TFolderRecord folder = Read(id);
  if (const TStoredProp* name = FindStored(set, PROP_ID(tags::kDisplayNameW))) {
    std::u16string newName = StoredText(*name).value_or(u"");
    CheckName(newName);
    if (folder.parentId != 0) CheckNoCollision(db, folder.parentId, newName, id);
    db.Prepare("UPDATE folders SET name=?, name_key=? WHERE id=?")
        .Bind(1, ToUtf8(newName))
        .Bind(2, FoldKey(newName))
        .Bind(3, id)
        .Run();
  }
  for (ULONG propId : deletedIds)
    if (propId == PROP_ID(tags::kContainerClassW))
      db.Prepare("UPDATE folders SET container_class='' WHERE id=?").Bind(1, id).Run();
  if (const TStoredProp* cls = FindStored(set, PROP_ID(tags::kContainerClassW)))
    db.Prepare("UPDATE folders SET container_class=? WHERE id=?")
        .Bind(1, ToUtf8(StoredText(*cls).value_or(u"")))
        .Bind(2, id)
        .Run();
  WriteProps(db, "folder_props", "folder_id", id, set, deletedIds);
  Stamp(folder);
  tx.Commit();
}

void TFolders::Move(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  TFolderRecord folder = Read(id);
  CheckCanHoldFolders(Read(newParentId));
  if (IsStandardFolder(db, id)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be moved.");
  CheckNoCycle(db, id, newParentId);
  std::u16string name = newName.value_or(folder.name);
  CheckName(name);
  CheckNoCollision(db, newParentId, name, id);
  db.Prepare("UPDATE folders SET parent_id=?, name=?, name_key=? WHERE id=?")
      .Bind(1, newParentId)
      .Bind(2, ToUtf8(name))
      .Bind(3, FoldKey(name))
      .Bind(4, id)
      .Run();
  if (newName) WriteProps(db, "folder_props", "folder_id", id, {Stored(TextValue(tags::kDisplayNameW, name))});
  int64_t cn = Stamp(folder);
  if (newParentId != folder.parentId)
    store_.changes.AddTombstone(folder.parentId, TObjectKind::Folder, folder.change.sourceKey, cn, false, false);
  tx.Commit();
}

int64_t TFolders::Copy(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName, bool subfolders) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  TFolderRecord folder = Read(id);
  Read(newParentId);
  CheckRooted(db, id);
  CheckNoCycle(db, id, newParentId);
  std::u16string name = newName.value_or(folder.name);
  CheckName(name);
  CheckNoCollision(db, newParentId, name);
  int64_t copy = CopyTree(id, newParentId, name, subfolders);
  tx.Commit();
  return copy;
}

TFolderImage TFolders::Export(int64_t id, bool subfolders) {
  auto lock = store_.Lock();
  TSqlReadSnapshot snapshot(store_.Db());
  CheckRooted(store_.Db(), id);
  TFolderImage image = ExportTree(id, subfolders);
  image.changeNumber = store_.changes.CurrentChangeNumber();
  return image;
}

int64_t TFolders::Import(int64_t parentId, const std::u16string& name, const TFolderImage& image) {
  CheckImageTree(image);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  int64_t copy = ImportTree(parentId, name, image);
  tx.Commit();
  return copy;
}

bool TFolders::IsOfStandardSet(int64_t id) {
  auto lock = store_.Lock();
  return IsStandardFolder(store_.Db(), id);
}

void TFolders::Delete(int64_t id, bool withMessages, bool withFolders, std::optional<int64_t> unchangedSince) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  TFolderRecord folder = Read(id);
  if (IsStandardFolder(db, id)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be deleted.");
  CheckRooted(db, id);
  if (!withFolders && !ChildIds(db, id).empty()) throw TMapiError(MAPI_E_HAS_FOLDERS, "The folder has subfolders.");
  if (!withMessages) {
    // Messages anywhere in the tree that would go with it.
    auto count = db.Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
        "SELECT count(*) FROM messages WHERE deleted=0 AND folder_id IN tree");
    count.Bind(1, id);
    count.Step();
    if (count.Int(0) > 0) throw TMapiError(MAPI_E_HAS_MESSAGES, "The folder has messages.");
  }
  if (unchangedSince) {
    auto changed = db.Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
        "SELECT EXISTS(SELECT 1 FROM folders WHERE id IN tree AND change_number>?2) OR "
        "EXISTS(SELECT 1 FROM messages WHERE folder_id IN tree AND deleted=0 "
        "AND (change_number>?2 OR read_change_number>?2))");
    changed.Bind(1, id).Bind(2, *unchangedSince);
    if (changed.Step() && changed.Int(0))
      throw TMapiError(MAPI_E_OBJECT_CHANGED, "The folder changed after it was copied.");
  }
  DeleteTree(folder);
  tx.Commit();
}

void TFolders::Empty(int64_t id, bool associatedToo) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  Read(id);
  CheckRooted(db, id);
  for (int64_t message : store_.messages.LiveIds(id, associatedToo ? std::nullopt : std::optional<bool>(false)))
    store_.messages.DeleteRow(store_.messages.Read(message), false);
  // The standard folders stay where they are (emptying the IPM subtree keeps the Inbox).
  for (int64_t child : ChildIds(db, id))
    if (!IsStandardFolder(db, child)) DeleteTree(Read(child));
  tx.Commit();
}

TFolderCounts TFolders::Counts(int64_t id) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  Read(id);
  auto stmt = db.Prepare(
      "SELECT coalesce(sum(associated=0), 0), coalesce(sum(associated=0 AND (flags & 1)=0), 0), "
      "coalesce(sum(associated=1), 0) FROM messages WHERE folder_id=? AND deleted=0");
  stmt.Bind(1, id);
  stmt.Step();
  TFolderCounts counts;
  counts.contents = static_cast<ULONG>(stmt.Int(0));
  counts.unread = static_cast<ULONG>(stmt.Int(1));
  counts.associated = static_cast<ULONG>(stmt.Int(2));
  counts.subfolders = static_cast<ULONG>(ChildIds(db, id).size());
  return counts;
}

void TFolders::CheckTree(int64_t id) {
  auto lock = store_.Lock();
  TSqlReadSnapshot snapshot(store_.Db());
  Read(id);
  CheckRooted(store_.Db(), id);
}

// --- receive folders ------------------------------------------------------------------

void TFolders::CheckReceivesMail() const {
  if (store_.kind == TStoreKind::PublicFolders)
    throw TMapiError(MAPI_E_NO_SUPPORT, "The public folders store has no receive folders.");
}

TReceiveFolder TFolders::GetReceiveFolder(const std::string& messageClass) {
  CheckReceivesMail();
  auto lock = store_.Lock();
  // The longest registered class that is messageClass or a dot-separated prefix of it.
  auto stmt = store_.Db().Prepare(
      "SELECT message_class, folder_id FROM receive_folders WHERE message_class='' "
      "OR lower(?1)=lower(message_class) OR lower(substr(?1, 1, length(message_class)+1))=lower(message_class||'.') "
      "ORDER BY length(message_class) DESC LIMIT 1");
  stmt.Bind(1, messageClass);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no receive folder.");
  return {stmt.Text(0), stmt.Int(1)};
}

void TFolders::SetReceiveFolder(const std::string& messageClass, int64_t folderId) {
  CheckReceivesMail();
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  if (folderId == 0) {
    if (messageClass.empty())
      throw TMapiError(MAPI_E_CALL_FAILED, "The receive folder of the default class cannot be removed.");
    db.Prepare("DELETE FROM receive_folders WHERE message_class=?").Bind(1, messageClass).Run();
  } else {
    Read(folderId);
    db.Prepare("INSERT OR REPLACE INTO receive_folders(message_class, folder_id) VALUES(?,?)")
        .Bind(1, messageClass)
        .Bind(2, folderId)
        .Run();
  }
  tx.Commit();
}

std::vector<TReceiveFolder> TFolders::ReceiveFolders() {
  CheckReceivesMail();
  auto lock = store_.Lock();
  auto stmt = store_.Db().Prepare("SELECT message_class, folder_id FROM receive_folders ORDER BY message_class");
  std::vector<TReceiveFolder> folders;
  while (stmt.Step()) folders.push_back({stmt.Text(0), stmt.Int(1)});
  return folders;
}

}  // namespace orba::store::sqlite
