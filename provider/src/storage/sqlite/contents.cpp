// The SQLite backend's contents queries: see contents.h.
//
// Rows are read straight from the messages table and its property table: the record's
// columns and every stored property of up to 1024 bytes (bodies and other large values
// are read from the message itself, as MAPI tables leave them out), except the texts
// kept as columns, which are always in the row so that SQL on those columns and the
// table engine on the rows agree. Restrictions and sort orders on the columns go into
// the SQL (contentsql.h). A page of an exact query selects its messages first (LIMIT and
// OFFSET over the messages, not over the rows joined with their properties), then reads
// their rows in the page's order.
#include "storage/sqlite/contents.h"

#include <string>
#include <string_view>
#include <vector>

#include "base/maperror.h"
#include "props/tags.h"
#include "storage/sqlite/contentsql.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

// The folder's messages: ?1 the folder, ?2 whether associated; ?3 is left for one
// message's id, conditions take ?4 on.
constexpr const char* kMessages = " FROM messages m WHERE m.folder_id = ?1 AND m.associated = ?2 AND m.deleted = 0";
constexpr int kFirstParam = 4;

// The columns of a row and its properties, joined, for the messages (m) that from names.
std::string RowSelect(std::string_view from) {
  static const std::string texts = [] {
    std::string list;
    for (ULONG tag : {tags::kMessageClassW, tags::kSubjectW, tags::kNormalizedSubjectW, tags::kSenderNameW})
      list += (list.empty() ? "" : ", ") + std::to_string(PROP_ID(tag));
    return list;
  }();
  return "SELECT m.id, m.folder_id, m.flags, m.size, m.status, m.creation_time, m.last_modification_time, "
         "m.search_key, m.source_key, m.change_key, m.has_attach, p.tag, p.value FROM " +
         std::string(from) +
         " LEFT JOIN message_props p ON p.message_id = m.id AND (length(p.value) <= 1024 OR p.prop_id IN (" + texts +
         "))";
}

constexpr const char* kFolderRows = " WHERE m.folder_id = ?1 AND m.associated = ?2 AND m.deleted = 0";

// The rows of a folder's messages.
std::string RowQuery() { return RowSelect("messages m") + kFolderRows; }

// The rows of the folder's messages listed in the JSON array ?3, in the array's order:
// CROSS JOIN keeps the array the outer loop.
std::string ListedRowQuery() {
  return RowSelect("json_each(?3) page CROSS JOIN messages m ON m.id = page.value") + kFolderRows;
}

// Message ids as a JSON array, for json_each.
std::string JsonIds(const std::vector<int64_t>& ids) {
  std::string json = "[";
  for (int64_t id : ids) {
    if (json.size() > 1) json += ',';
    json += std::to_string(id);
  }
  return json + ']';
}

// Reads the rows of a row query: one per message, its properties joined in id order.
template <class Out>
void ReadRows(TSqlStatement& stmt, Out&& out) {
  std::optional<TContentsRow> row;
  while (stmt.Step()) {
    int64_t id = stmt.Int(0);
    if (!row || row->id != id) {
      if (row) out(std::move(*row));
      row.emplace();
      row->id = id;
      row->folderId = stmt.Int(1);
      row->flags = static_cast<ULONG>(stmt.Int(2));
      row->size = static_cast<ULONG>(stmt.Int(3));
      row->status = static_cast<ULONG>(stmt.Int(4));
      row->creationTime = stmt.Int(5);
      row->modificationTime = stmt.Int(6);
      row->searchKey = stmt.Blob(7);
      row->sourceKey = stmt.Blob(8);
      row->changeKey = stmt.Blob(9);
      row->hasAttach = stmt.Int(10) != 0;
    }
    if (!stmt.IsNull(11)) row->props.push_back({static_cast<ULONG>(stmt.Int(11)), stmt.Blob(12)});
  }
  if (row) out(std::move(*row));
}

// LIMIT and OFFSET take signed numbers; -1 is no limit.
int64_t SqlCount(size_t count) { return count > static_cast<size_t>(INT64_MAX) ? -1 : static_cast<int64_t>(count); }

// Whether a time column of the folder's messages holds a FILETIME beyond the signed
// 64-bit range (one search each, so that an index on the column serves it).
bool HasBigTimes(TSqlDatabase& db, const TContentsQuery& query, const std::vector<std::string>& columns) {
  if (columns.empty()) return false;
  std::string sql = "SELECT 0";
  for (const std::string& column : columns)
    sql += " OR EXISTS(SELECT 1" + std::string(kMessages) + " AND " + column + " < 0)";
  auto stmt = db.Prepare(sql);
  stmt.Bind(1, query.folderId).Bind(2, int64_t{query.associated});
  return stmt.Step() && stmt.Int(0) != 0;
}

// Equal keys keep the natural order (by id), as the table engine's stable sort does.
std::string OrderBy(TSqlDatabase& db, const TContentsQuery& query) {
  if (!query.sort) return " ORDER BY m.id";
  return " ORDER BY " + SortSql(*query.sort, HasBigTimes(db, query, SortTimeColumns(*query.sort))) + "m.id";
}

void Bind(TSqlStatement& stmt, const TContentsQuery& query, const std::vector<TSqlParam>& params) {
  stmt.Bind(1, query.folderId).Bind(2, int64_t{query.associated});
  int index = kFirstParam;
  for (const TSqlParam& param : params) std::visit([&](const auto& value) { stmt.Bind(index++, value); }, param);
}

}  // namespace

bool TContents::AcceptsRestriction(const SRestriction& restriction) const { return CanRestrictInSql(restriction); }

bool TContents::AcceptsSort(const SSortOrderSet& sort) const { return CanSortInSql(sort); }

bool TContents::IsExact(const SRestriction& restriction) const {
  return RestrictionSql(restriction, kFirstParam).exact;
}

bool TContents::Query(const TContentsQuery& query, const TContentsRowSink& each) {
  TSqlCondition condition;
  if (query.restriction) {
    condition = RestrictionSql(*query.restriction, kFirstParam);
    condition.sql = " AND " + condition.sql;
  }
  bool paged = query.offset != 0 || query.limit != std::numeric_limits<size_t>::max();
  if (paged && !condition.exact) throw TMapiError(MAPI_E_NO_SUPPORT, "no pages of an approximate restriction");
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  if (!paged) {
    auto stmt = db.Prepare(RowQuery() + condition.sql + OrderBy(db, query));
    Bind(stmt, query, condition.params);
    ReadRows(stmt, [&](TContentsRow&& row) { each(row); });
    return condition.exact;
  }
  // The page's messages first: a LIMIT on the rows joined with the properties would
  // count properties.
  int next = kFirstParam + static_cast<int>(condition.params.size());
  auto page = db.Prepare("SELECT m.id" + std::string(kMessages) + condition.sql + OrderBy(db, query) + " LIMIT ?" +
                         std::to_string(next) + " OFFSET ?" + std::to_string(next + 1));
  Bind(page, query, condition.params);
  page.Bind(next, SqlCount(query.limit)).Bind(next + 1, SqlCount(query.offset));
  std::vector<int64_t> ids;
  while (page.Step()) ids.push_back(page.Int(0));
  if (ids.empty()) return true;
  auto stmt = db.Prepare(ListedRowQuery());
  std::string json = JsonIds(ids);
  stmt.Bind(1, query.folderId).Bind(2, int64_t{query.associated}).Bind(3, std::string_view(json));
  ReadRows(stmt, [&](TContentsRow&& row) { each(row); });
  return true;
}

std::optional<TContentsRow> TContents::Row(int64_t folderId, bool associated, int64_t messageId) {
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  auto stmt = db.Prepare(RowQuery() + " AND m.id = ?3");
  stmt.Bind(1, folderId).Bind(2, int64_t{associated}).Bind(3, messageId);
  std::optional<TContentsRow> found;
  ReadRows(stmt, [&](TContentsRow&& row) { found = std::move(row); });
  return found;
}

std::vector<TContentsRow> TContents::Rows(const std::vector<int64_t>& messageIds) {
  std::string ids = JsonIds(messageIds);
  auto lock = store_.Lock();
  TSqlDatabase& db = store_.Db();
  TSqlReadSnapshot snapshot(db);
  auto stmt = db.Prepare(RowSelect("messages m") +
                         " WHERE m.id IN (SELECT value FROM json_each(?1)) AND m.folder_id IS NOT NULL "
                         "AND m.associated = 0 AND m.deleted = 0 ORDER BY m.id");
  stmt.Bind(1, std::string_view(ids));
  std::vector<TContentsRow> rows;
  ReadRows(stmt, [&](TContentsRow&& row) { rows.push_back(std::move(row)); });
  return rows;
}

}  // namespace orba::store::sqlite
