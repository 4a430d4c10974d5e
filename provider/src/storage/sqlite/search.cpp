// The SQLite backend's search folders: see search.h.
#include "storage/sqlite/search.h"

#include <set>

#include "base/maperror.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

std::vector<int64_t> Ids(TSqlStatement& stmt) {
  std::vector<int64_t> ids;
  while (stmt.Step()) ids.push_back(stmt.Int(0));
  return ids;
}

}  // namespace

TFolderRecord TSearch::SearchFolder(int64_t id) {
  TFolderRecord folder = store_.folders.Read(id);
  if (folder.folderType != FOLDER_SEARCH) throw TMapiError(MAPI_E_NO_SUPPORT, "The folder is not a search folder.");
  return folder;
}

std::optional<TSearchCriteria> TSearch::Criteria(int64_t folderId) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  SearchFolder(folderId);
  auto stmt = db.Prepare("SELECT restriction, recursive, foreground, running FROM search_criteria WHERE folder_id=?");
  stmt.Bind(1, folderId);
  if (!stmt.Step()) return std::nullopt;
  TSearchCriteria criteria;
  criteria.restriction = stmt.Blob(0);
  criteria.recursive = stmt.Int(1) != 0;
  criteria.foreground = stmt.Int(2) != 0;
  criteria.running = stmt.Int(3) != 0;
  auto scope = db.Prepare("SELECT folder_id FROM search_scope WHERE search_id=? ORDER BY position");
  scope.Bind(1, folderId);
  criteria.folders = Ids(scope);
  return criteria;
}

void TSearch::SetCriteria(int64_t folderId, const TSearchCriteria& criteria, const std::vector<int64_t>& kept) {
  if (criteria.restriction.empty()) throw TMapiError(MAPI_E_INVALID_PARAMETER, "A search needs a restriction.");
  if (criteria.folders.empty()) throw TMapiError(MAPI_E_INVALID_PARAMETER, "A search needs folders to search.");
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlTransaction tx(db);
  SearchFolder(folderId);
  for (int64_t folder : criteria.folders) {
    if (folder == folderId) throw TMapiError(MAPI_E_INVALID_PARAMETER, "A search folder cannot search itself.");
    store_.folders.Read(folder);
  }
  db.Prepare(
        "INSERT OR REPLACE INTO search_criteria(folder_id, restriction, recursive, foreground, running) "
        "VALUES(?,?,?,?,?)")
      .Bind(1, folderId)
      .Bind(2, criteria.restriction)
      .Bind(3, int64_t{criteria.recursive})
      .Bind(4, int64_t{criteria.foreground})
      .Bind(5, int64_t{criteria.running})
      .Run();
  db.Prepare("DELETE FROM search_scope WHERE search_id=?").Bind(1, folderId).Run();
  auto scope = db.Prepare("INSERT INTO search_scope(search_id, position, folder_id) VALUES(?,?,?)");
  for (size_t i = 0; i < criteria.folders.size(); ++i) {
    scope.Bind(1, folderId).Bind(2, static_cast<int64_t>(i)).Bind(3, criteria.folders[i]);
    scope.Run();
    scope.Reset();
  }
  db.Prepare("DELETE FROM search_kept WHERE search_id=?").Bind(1, folderId).Run();
  if (!criteria.running) {
    auto keep = db.Prepare("INSERT OR IGNORE INTO search_kept(search_id, message_id) VALUES(?,?)");
    for (int64_t message : kept) {
      keep.Bind(1, folderId).Bind(2, message);
      keep.Run();
      keep.Reset();
    }
  }
  tx.Commit();
}

std::vector<int64_t> TSearch::Scope(const TSearchCriteria& criteria) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  auto type = db.Prepare("SELECT folder_type FROM folders WHERE id=?");
  auto children = db.Prepare("SELECT id FROM folders WHERE parent_id=?");
  std::set<int64_t> seen, scope;
  std::vector<int64_t> pending(criteria.folders.rbegin(), criteria.folders.rend());
  while (!pending.empty()) {
    int64_t id = pending.back();
    pending.pop_back();
    if (!seen.insert(id).second) continue;
    type.Bind(1, id);
    bool exists = type.Step();
    bool search = exists && type.Int(0) == FOLDER_SEARCH;
    type.Reset();
    if (!exists || search) continue;
    scope.insert(id);
    if (!criteria.recursive) continue;
    children.Bind(1, id);
    while (children.Step()) pending.push_back(children.Int(0));
    children.Reset();
  }
  return {scope.begin(), scope.end()};
}

std::vector<int64_t> TSearch::KeptResults(int64_t folderId) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  SearchFolder(folderId);
  auto stmt = db.Prepare(
      "SELECT k.message_id FROM search_kept k JOIN messages m ON m.id = k.message_id "
      "WHERE k.search_id = ? AND m.deleted = 0 AND m.folder_id IS NOT NULL ORDER BY k.message_id");
  stmt.Bind(1, folderId);
  return Ids(stmt);
}

void TSearch::CopyCriteria(int64_t source, int64_t copy) {
  TSqlDatabase& db = store_.Db();
  db.Prepare(
        "INSERT INTO search_criteria(folder_id, restriction, recursive, foreground, running) "
        "SELECT ?2, restriction, recursive, foreground, running FROM search_criteria WHERE folder_id = ?1")
      .Bind(1, source)
      .Bind(2, copy)
      .Run();
  db.Prepare(
        "INSERT INTO search_scope(search_id, position, folder_id) "
        "SELECT ?2, position, folder_id FROM search_scope WHERE search_id = ?1")
      .Bind(1, source)
      .Bind(2, copy)
      .Run();
  db.Prepare(
        "INSERT INTO search_kept(search_id, message_id) SELECT ?2, message_id FROM search_kept WHERE search_id = ?1")
      .Bind(1, source)
      .Bind(2, copy)
      .Run();
}

}  // namespace orba::store::sqlite
