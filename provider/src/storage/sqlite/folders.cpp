// The store engine's folders: the tree, its operations and their change stamps.
#include <set>

#include "base/filetime.h"
#include "base/maperror.h"
#include "orba/common/utf8.h"
#include "props/tags.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {
namespace {

constexpr const char* kFolderColumns =
    "id, coalesce(parent_id, 0), folder_type, name, container_class, creation_time, modification_time, source_key, "
    "change_key, predecessors, change_number";

TFolderRecord FolderFrom(const TSqlStatement& stmt) {
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

using detail::FoldKey;

void CheckName(const std::u16string& name) {
  if (name.empty()) throw TMapiError(MAPI_E_INVALID_PARAMETER, "A folder needs a name.");
}

std::optional<int64_t> FindChild(TSqlDatabase& db, int64_t parentId, const std::u16string& name) {
  auto stmt = db.Prepare("SELECT id FROM folders WHERE parent_id=? AND name_key=?");
  stmt.Bind(1, parentId).Bind(2, FoldKey(name));
  if (!stmt.Step()) return std::nullopt;
  return stmt.Int(0);
}

void CheckNoCollision(TSqlDatabase& db, int64_t parentId, const std::u16string& name, int64_t except = 0) {
  auto found = FindChild(db, parentId, name);
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

std::vector<int64_t> Children(TSqlDatabase& db, int64_t parentId) {
  auto stmt = db.Prepare("SELECT id FROM folders WHERE parent_id=? ORDER BY id");
  stmt.Bind(1, parentId);
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

std::vector<int64_t> LiveMessages(TSqlDatabase& db, int64_t folderId, std::optional<bool> associated) {
  auto stmt =
      db.Prepare(associated ? "SELECT id FROM messages WHERE folder_id=? AND deleted=0 AND associated=? ORDER BY id"
                            : "SELECT id FROM messages WHERE folder_id=? AND deleted=0 ORDER BY id");
  stmt.Bind(1, folderId);
  if (associated) stmt.Bind(2, int64_t{*associated});
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

// Stamps a folder's change (its properties, name or place changed); returns the
// change number.
int64_t StampFolder(TSqlDatabase& db, const GUID& guid, const TFolderRecord& folder) {
  TChangeState next = detail::NewChange(db, guid, folder.change);
  db.Prepare("UPDATE folders SET change_key=?, predecessors=?, change_number=?, modification_time=? WHERE id=?")
      .Bind(1, next.changeKey)
      .Bind(2, next.predecessors)
      .Bind(3, next.changeNumber)
      .Bind(4, NowFileTime())
      .Bind(5, folder.id)
      .Run();
  return next.changeNumber;
}

}  // namespace

TFolderRecord TStoreEngine::Impl::ReadFolder(TStoreEngine& engine, int64_t id) {
  auto stmt = engine.Db().Prepare(std::string("SELECT ") + kFolderColumns + " FROM folders WHERE id=?");
  stmt.Bind(1, id);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no such folder.");
  return FolderFrom(stmt);
}

int64_t TStoreEngine::Impl::InsertFolder(TStoreEngine& engine, int64_t parentId, const std::u16string& name,
                                         ULONG folderType, const TStoredProps& props) {
  CheckName(name);
  TSqlDatabase& db = engine.Db();
  if (parentId != 0) {
    CheckCanHoldFolders(ReadFolder(engine, parentId));
    CheckNoCollision(db, parentId, name);
  }
  std::u16string containerClass;
  if (const TStoredProp* cls = detail::FindProp(props, PROP_ID(tags::kContainerClassW)))
    containerClass = detail::TextValue(*cls).value_or(u"");
  TChangeState change = detail::NewObject(db, engine.guid_);
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
  all.push_back(detail::TextProp(tags::kDisplayNameW, name));
  detail::WriteProps(db, "folder_props", "folder_id", id, all);
  return id;
}

void TStoreEngine::Impl::DeleteFolderTree(TStoreEngine& engine, const TFolderRecord& folder) {
  TSqlDatabase& db = engine.Db();
  for (int64_t child : Children(db, folder.id)) DeleteFolderTree(engine, ReadFolder(engine, child));
  for (int64_t message : LiveMessages(db, folder.id, std::nullopt))
    DeleteMessageRow(engine, ReadMessage(engine, message), false);
  int64_t cn = detail::NextCounter(db, "change_number");
  detail::AddTombstone(db, folder.parentId, TObjectKind::Folder, folder.change.sourceKey, cn, false, false);
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

TFolderRecord TStoreEngine::Folder(int64_t id) {
  auto lock = Lock();
  return Impl::ReadFolder(*this, id);
}

TStoredProps TStoreEngine::FolderProps(int64_t id) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  Impl::ReadFolder(*this, id);
  return detail::ReadProps(Db(), "folder_props", "folder_id", id);
}

std::vector<TFolderRecord> TStoreEngine::ChildFolders(int64_t parentId) {
  auto lock = Lock();
  auto stmt = Db().Prepare(std::string("SELECT ") + kFolderColumns + " FROM folders WHERE parent_id=? ORDER BY id");
  stmt.Bind(1, parentId);
  std::vector<TFolderRecord> folders;
  while (stmt.Step()) folders.push_back(FolderFrom(stmt));
  return folders;
}

std::optional<int64_t> TStoreEngine::FindChildFolder(int64_t parentId, const std::u16string& name) {
  auto lock = Lock();
  return FindChild(Db(), parentId, name);
}

int64_t TStoreEngine::CreateFolder(int64_t parentId, const std::u16string& name, ULONG folderType,
                                   const TStoredProps& props, bool openIfExists) {
  if (folderType != FOLDER_GENERIC && folderType != FOLDER_SEARCH)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "Unknown folder type.");
  CheckName(name);
  detail::CheckProps(props);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::ReadFolder(*this, parentId);
  if (auto existing = FindChild(Db(), parentId, name)) {
    if (openIfExists) return *existing;
    throw TMapiError(MAPI_E_COLLISION, "A folder with this name exists already.");
  }
  int64_t id = Impl::InsertFolder(*this, parentId, name, folderType, props);
  tx.Commit();
  return id;
}

void TStoreEngine::ChangeFolderProps(int64_t id, const TStoredProps& set, const std::vector<ULONG>& deletedIds) {
  detail::CheckProps(set);
  for (ULONG propId : deletedIds)
    if (propId == PROP_ID(tags::kDisplayNameW)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder cannot lose its name.");
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TFolderRecord folder = Impl::ReadFolder(*this, id);
  if (const TStoredProp* name = detail::FindProp(set, PROP_ID(tags::kDisplayNameW))) {
    std::u16string newName = detail::TextValue(*name).value_or(u"");
    CheckName(newName);
    if (folder.parentId != 0) CheckNoCollision(Db(), folder.parentId, newName, id);
    Db().Prepare("UPDATE folders SET name=?, name_key=? WHERE id=?")
        .Bind(1, ToUtf8(newName))
        .Bind(2, FoldKey(newName))
        .Bind(3, id)
        .Run();
  }
  for (ULONG propId : deletedIds)
    if (propId == PROP_ID(tags::kContainerClassW))
      Db().Prepare("UPDATE folders SET container_class='' WHERE id=?").Bind(1, id).Run();
  if (const TStoredProp* cls = detail::FindProp(set, PROP_ID(tags::kContainerClassW)))
    Db().Prepare("UPDATE folders SET container_class=? WHERE id=?")
        .Bind(1, ToUtf8(detail::TextValue(*cls).value_or(u"")))
        .Bind(2, id)
        .Run();
  detail::WriteProps(Db(), "folder_props", "folder_id", id, set, deletedIds);
  StampFolder(Db(), guid_, folder);
  tx.Commit();
}

void TStoreEngine::MoveFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TFolderRecord folder = Impl::ReadFolder(*this, id);
  CheckCanHoldFolders(Impl::ReadFolder(*this, newParentId));
  if (IsStandardFolder(Db(), id)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be moved.");
  CheckNoCycle(Db(), id, newParentId);
  std::u16string name = newName.value_or(folder.name);
  CheckName(name);
  CheckNoCollision(Db(), newParentId, name, id);
  Db().Prepare("UPDATE folders SET parent_id=?, name=?, name_key=? WHERE id=?")
      .Bind(1, newParentId)
      .Bind(2, ToUtf8(name))
      .Bind(3, FoldKey(name))
      .Bind(4, id)
      .Run();
  if (newName) detail::WriteProps(Db(), "folder_props", "folder_id", id, {detail::TextProp(tags::kDisplayNameW, name)});
  int64_t cn = StampFolder(Db(), guid_, folder);
  if (newParentId != folder.parentId)
    detail::AddTombstone(Db(), folder.parentId, TObjectKind::Folder, folder.change.sourceKey, cn, false, false);
  tx.Commit();
}

namespace {

int64_t CopyTree(TStoreEngine& engine, TSqlDatabase& db, int64_t sourceId, int64_t parentId, const std::u16string& name,
                 bool subfolders);

}  // namespace

int64_t TStoreEngine::CopyFolder(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName,
                                 bool subfolders) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TFolderRecord folder = Impl::ReadFolder(*this, id);
  Impl::ReadFolder(*this, newParentId);
  CheckRooted(Db(), id);
  CheckNoCycle(Db(), id, newParentId);
  std::u16string name = newName.value_or(folder.name);
  CheckName(name);
  CheckNoCollision(Db(), newParentId, name);
  int64_t copy = CopyTree(*this, Db(), id, newParentId, name, subfolders);
  tx.Commit();
  return copy;
}

namespace {

int64_t CopyTree(TStoreEngine& engine, TSqlDatabase& db, int64_t sourceId, int64_t parentId, const std::u16string& name,
                 bool subfolders) {
  TFolderRecord source = TStoreEngine::Impl::ReadFolder(engine, sourceId);
  TStoredProps props = detail::ReadProps(db, "folder_props", "folder_id", sourceId);
  int64_t copy = TStoreEngine::Impl::InsertFolder(engine, parentId, name, source.folderType, props);
  TStoreEngine::Impl::CopySearchCriteria(engine, sourceId, copy);
  for (int64_t message : LiveMessages(db, sourceId, std::nullopt)) {
    TMessageRecord record = TStoreEngine::Impl::ReadMessage(engine, message);
    TStoreEngine::Impl::InsertMessage(engine, copy, 0, record.associated,
                                      TStoreEngine::Impl::ReadImage(engine, message), &record);
  }
  if (subfolders)
    for (int64_t child : Children(db, sourceId))
      CopyTree(engine, db, child, copy, TStoreEngine::Impl::ReadFolder(engine, child).name, true);
  return copy;
}

}  // namespace

namespace {

TFolderImage ExportTree(TStoreEngine& engine, TSqlDatabase& db, int64_t id, bool subfolders) {
  TFolderRecord folder = TStoreEngine::Impl::ReadFolder(engine, id);
  TFolderImage image;
  image.name = folder.name;
  image.folderType = folder.folderType;
  image.props = detail::ReadProps(db, "folder_props", "folder_id", id);
  for (int64_t message : LiveMessages(db, id, std::nullopt))
    image.messages.emplace_back(TStoreEngine::Impl::ReadMessage(engine, message),
                                TStoreEngine::Impl::ReadImage(engine, message));
  if (subfolders)
    for (int64_t child : Children(db, id)) image.subfolders.push_back(ExportTree(engine, db, child, true));
  return image;
}

int64_t ImportTree(TStoreEngine& engine, int64_t parentId, const std::u16string& name, const TFolderImage& image) {
  int64_t copy = TStoreEngine::Impl::InsertFolder(engine, parentId, name, image.folderType, image.props);
  for (const auto& [record, content] : image.messages)
    TStoreEngine::Impl::InsertMessage(engine, copy, 0, record.associated, content, &record);
  for (const TFolderImage& child : image.subfolders) ImportTree(engine, copy, child.name, child);
  return copy;
}

}  // namespace

TFolderImage TStoreEngine::ExportFolder(int64_t id, bool subfolders) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  CheckRooted(Db(), id);
  TFolderImage image = ExportTree(*this, Db(), id, subfolders);
  image.changeNumber = CurrentChangeNumber();
  return image;
}

namespace {

// Nothing undecodable is carried into another store.
void CheckTree(const TFolderImage& image) {
  detail::CheckProps(image.props);
  for (const auto& message : image.messages) TStoreEngine::Impl::CheckImage(message.second);
  for (const TFolderImage& child : image.subfolders) CheckTree(child);
}

}  // namespace

int64_t TStoreEngine::ImportFolder(int64_t parentId, const std::u16string& name, const TFolderImage& image) {
  CheckTree(image);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  int64_t copy = ImportTree(*this, parentId, name, image);
  tx.Commit();
  return copy;
}

bool TStoreEngine::IsOfStandardSet(int64_t id) {
  auto lock = Lock();
  return orba::store::IsStandardFolder(Db(), id);
}

void TStoreEngine::DeleteFolder(int64_t id, bool withMessages, bool withFolders,
                                std::optional<int64_t> unchangedSince) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  TFolderRecord folder = Impl::ReadFolder(*this, id);
  if (IsStandardFolder(Db(), id)) throw TMapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be deleted.");
  CheckRooted(Db(), id);
  if (!withFolders && !Children(Db(), id).empty()) throw TMapiError(MAPI_E_HAS_FOLDERS, "The folder has subfolders.");
  if (!withMessages) {
    // Messages anywhere in the tree that would go with it.
    auto count = Db().Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
        "SELECT count(*) FROM messages WHERE deleted=0 AND folder_id IN tree");
    count.Bind(1, id);
    count.Step();
    if (count.Int(0) > 0) throw TMapiError(MAPI_E_HAS_MESSAGES, "The folder has messages.");
  }
  if (unchangedSince) {
    auto changed = Db().Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
        "SELECT EXISTS(SELECT 1 FROM folders WHERE id IN tree AND change_number>?2) OR "
        "EXISTS(SELECT 1 FROM messages WHERE folder_id IN tree AND deleted=0 "
        "AND (change_number>?2 OR read_change_number>?2))");
    changed.Bind(1, id).Bind(2, *unchangedSince);
    if (changed.Step() && changed.Int(0))
      throw TMapiError(MAPI_E_OBJECT_CHANGED, "The folder changed after it was copied.");
  }
  Impl::DeleteFolderTree(*this, folder);
  tx.Commit();
}

void TStoreEngine::EmptyFolder(int64_t id, bool associatedToo) {
  auto lock = Lock();
  TSqlTransaction tx(Db());
  Impl::ReadFolder(*this, id);
  CheckRooted(Db(), id);
  for (int64_t message : LiveMessages(Db(), id, associatedToo ? std::nullopt : std::optional<bool>(false)))
    Impl::DeleteMessageRow(*this, Impl::ReadMessage(*this, message), false);
  // The standard folders stay where they are (emptying the IPM subtree keeps the Inbox).
  for (int64_t child : Children(Db(), id))
    if (!IsStandardFolder(Db(), child)) Impl::DeleteFolderTree(*this, Impl::ReadFolder(*this, child));
  tx.Commit();
}

void TStoreEngine::CheckFolderTree(int64_t id) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  Impl::ReadFolder(*this, id);
  CheckRooted(Db(), id);
}

TFolderCounts TStoreEngine::Counts(int64_t folderId) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  Impl::ReadFolder(*this, folderId);
  auto stmt = Db().Prepare(
      "SELECT coalesce(sum(associated=0), 0), coalesce(sum(associated=0 AND (flags & 1)=0), 0), "
      "coalesce(sum(associated=1), 0) FROM messages WHERE folder_id=? AND deleted=0");
  stmt.Bind(1, folderId);
  stmt.Step();
  TFolderCounts counts;
  counts.contents = static_cast<ULONG>(stmt.Int(0));
  counts.unread = static_cast<ULONG>(stmt.Int(1));
  counts.associated = static_cast<ULONG>(stmt.Int(2));
  counts.subfolders = static_cast<ULONG>(Children(Db(), folderId).size());
  return counts;
}

THierarchyChanges TStoreEngine::HierarchyChangesSince(int64_t folderId, int64_t changeNumber) {
  auto lock = Lock();
  TSqlReadSnapshot snapshot(Db());
  Impl::ReadFolder(*this, folderId);
  THierarchyChanges changes;
  auto changed =
      Db().Prepare(std::string("WITH RECURSIVE tree(id) AS (SELECT id FROM folders WHERE parent_id=?1 UNION "
                               "SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) SELECT ") +
                   kFolderColumns + " FROM folders WHERE id IN tree AND change_number>?2 ORDER BY change_number");
  changed.Bind(1, folderId).Bind(2, changeNumber);
  while (changed.Step()) changes.changed.push_back(FolderFrom(changed));
  auto deleted = Db().Prepare(
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT f.id FROM folders f JOIN tree ON f.parent_id=tree.id) "
      "SELECT source_key, change_number, soft FROM tombstones WHERE kind=?3 AND folder_id IN tree "
      "AND change_number>?2 ORDER BY change_number");
  deleted.Bind(1, folderId).Bind(2, changeNumber).Bind(3, int64_t{static_cast<uint16_t>(TObjectKind::Folder)});
  while (deleted.Step()) changes.deleted.push_back({deleted.Blob(0), deleted.Int(1), deleted.Int(2) != 0, false});
  return changes;
}

}  // namespace orba::store
