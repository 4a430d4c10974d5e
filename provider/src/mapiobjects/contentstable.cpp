// The contents table source of a folder: see tables.h.
//
// Rows are read straight from the store database: the message record's columns
// (identity, flags, size, status, times, keys) and every stored property of up to
// 1024 bytes (bodies and other large values are read from the message itself,
// as MAPI tables leave them out), except the texts kept as columns, which are always
// in the row so that SQL on those columns and the engine on the rows agree.
// Restrictions and sort orders on the columns are evaluated in SQL (contentsql.h);
// the table engine evaluates the others on these rows. Where SQL gives the exact
// answer, the source also hands out pages of the table (LIMIT/OFFSET over the
// messages, then their rows), so that a table reads only what its caller asks for.
#include <string>
#include <type_traits>
#include <unordered_map>

#include "mapiobjects/objectprops.h"
#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "storage/sqlite/contentsql.h"
#include "storage/sqlite/storeinternal.h"
#include "table/restriction.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

// The folder's messages: ?1 the folder, ?2 whether associated; ?3 is left for one
// message's id, conditions take ?4 on.
constexpr const char* kMessages = " FROM messages m WHERE m.folder_id = ?1 AND m.associated = ?2 AND m.deleted = 0";
constexpr int kFirstParam = 4;
constexpr const char* kRowQuery =
    "SELECT m.id, m.flags, m.size, m.status, m.creation_time, m.last_modification_time, m.search_key, "
    "m.source_key, m.change_key, m.has_attach, p.tag, p.value FROM messages m "
    "LEFT JOIN message_props p ON p.message_id = m.id "
    "AND (length(p.value) <= 1024 OR p.prop_id IN (0x001A, 0x0037, 0x0E1D, 0x0C1A)) "
    "WHERE m.folder_id = ?1 AND m.associated = ?2 AND m.deleted = 0";

class TContentsSource final : public TTableRowSource, public std::enable_shared_from_this<TContentsSource> {
 public:
  TContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId, bool associated)
      : store_(std::move(store)), folderId_(folderId), associated_(associated) {
    store_->Engine().Folder(folderId_);
  }
  ~TContentsSource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    std::weak_ptr<TContentsSource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (auto self = weak.lock()) self->OnChange(change);
    });
  }

  std::vector<ULONG> AllColumns() const override {
    return {tags::kEntryId,
            tags::kInstanceKey,
            tags::kRecordKey,
            tags::kParentEntryId,
            tags::kStoreEntryId,
            tags::kObjectType,
            tags::kMessageFlags,
            tags::kMessageSize,
            tags::kMsgStatus,
            tags::kCreationTime,
            tags::kLastModificationTime,
            tags::kSearchKey,
            tags::kSourceKey,
            tags::kChangeKey,
            tags::kHasAttach,
            tags::kMessageClassW,
            tags::kSubjectW,
            tags::kNormalizedSubjectW,
            tags::kSenderNameW,
            tags::kMessageDeliveryTime,
            tags::kClientSubmitTime,
            tags::kImportance};
  }

  bool AcceptsRestriction(const SRestriction& restriction) const override { return com::CanRestrictInSql(restriction); }
  bool AcceptsSort(const SSortOrderSet& sort) const override { return com::CanSortInSql(sort); }

  TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const override {
    com::TSqlCondition condition = Condition(restriction);
    TRowList rows = InSnapshot([&](TSqlDatabase& db) {
      auto stmt = db.Prepare(std::string(kRowQuery) + condition.sql + OrderBy(db, sort));
      Bind(stmt, condition.params);
      TRowList all;
      ReadRows(stmt, [&](int64_t, TRowPtr row) { all.push_back(std::move(row)); });
      return all;
    });
    if (!condition.exact) {
      TRestriction exact(*restriction, {});
      std::erase_if(rows, [&](const TRowPtr& row) { return !exact.Matches(row->Values()); });
    }
    return std::make_shared<const TRowList>(std::move(rows));
  }

  bool CanPage(const SRestriction* restriction, const SSortOrderSet*) const override {
    return !restriction || com::RestrictionSql(*restriction, kFirstParam).exact;
  }

  TRowListPtr RowsPage(const SRestriction* restriction, const SSortOrderSet* sort, size_t offset,
                       size_t limit) const override {
    com::TSqlCondition condition = Condition(restriction);
    if (!condition.exact) throw TMapiError(MAPI_E_NO_SUPPORT, "no pages of an approximate restriction");
    return InSnapshot([&](TSqlDatabase& db) {
      // The page's messages first: a LIMIT on the rows joined with the properties
      // would count properties.
      int next = kFirstParam + static_cast<int>(condition.params.size());
      auto page = db.Prepare("SELECT m.id" + std::string(kMessages) + condition.sql + OrderBy(db, sort) + " LIMIT ?" +
                             std::to_string(next) + " OFFSET ?" + std::to_string(next + 1));
      Bind(page, condition.params);
      page.Bind(next, SqlCount(limit)).Bind(next + 1, SqlCount(offset));
      std::unordered_map<int64_t, size_t> positions;
      std::string ids = "[";
      while (page.Step()) {
        int64_t id = page.Int(0);
        if (!positions.empty()) ids += ',';
        ids += std::to_string(id);
        positions.emplace(id, positions.size());
      }
      ids += ']';
      auto rows = std::make_shared<TRowList>(positions.size());
      if (rows->empty()) return TRowListPtr(std::move(rows));
      auto stmt = db.Prepare(std::string(kRowQuery) + " AND m.id IN (SELECT value FROM json_each(?3)) ORDER BY m.id");
      stmt.Bind(1, folderId_).Bind(2, int64_t{associated_}).Bind(3, std::string_view(ids));
      ReadRows(stmt, [&](int64_t id, TRowPtr row) { (*rows)[positions.at(id)] = std::move(row); });
      return TRowListPtr(std::move(rows));
    });
  }

 private:
  com::TSqlCondition Condition(const SRestriction* restriction) const {
    com::TSqlCondition condition;
    if (restriction) {
      condition = com::RestrictionSql(*restriction, kFirstParam);
      condition.sql = " AND " + condition.sql;
    }
    return condition;
  }

  // Equal keys keep the natural order (by id), as the engine's stable sort does.
  std::string OrderBy(TSqlDatabase& db, const SSortOrderSet* sort) const {
    if (!sort) return " ORDER BY m.id";
    return " ORDER BY " + com::SortSql(*sort, HasBigTimes(db, com::SortTimeColumns(*sort))) + "m.id";
  }

  // LIMIT and OFFSET take signed numbers; -1 is no limit.
  static int64_t SqlCount(size_t count) {
    return count > static_cast<size_t>(INT64_MAX) ? -1 : static_cast<int64_t>(count);
  }

  // Whether a time column of this folder's messages holds a FILETIME beyond the
  // signed 64-bit range (one search each, so that an index on the column serves it).
  bool HasBigTimes(TSqlDatabase& db, const std::vector<std::string>& columns) const {
    if (columns.empty()) return false;
    std::string sql = "SELECT 0";
    for (const std::string& column : columns)
      sql += " OR EXISTS(SELECT 1" + std::string(kMessages) + " AND " + column + " < 0)";
    auto stmt = db.Prepare(sql);
    stmt.Bind(1, folderId_).Bind(2, int64_t{associated_});
    return stmt.Step() && stmt.Int(0) != 0;
  }

  void Bind(TSqlStatement& stmt, const std::vector<com::TSqlParam>& params) const {
    stmt.Bind(1, folderId_).Bind(2, int64_t{associated_});
    int index = kFirstParam;
    for (const com::TSqlParam& param : params) std::visit([&](const auto& value) { stmt.Bind(index++, value); }, param);
  }

  // Runs read on the store's database in one snapshot.
  template <class Read>
  std::invoke_result_t<Read&, TSqlDatabase&> InSnapshot(Read&& read) const {
    TStoreEngine& engine = store_->Engine();
    auto lock = TStoreEngine::Impl::Locked(engine);
    TSqlDatabase& db = TStoreEngine::Impl::Database(engine);
    TSqlReadSnapshot snapshot(db);
    return read(db);
  }

  // Builds the rows of a row query (one per message, the properties joined in id order)
  // and gives each to out with its message's id.
  void ReadRows(TSqlStatement& stmt, const std::function<void(int64_t, TRowPtr)>& out) const {
    std::unique_ptr<com::TRowBuilder> row;
    int64_t current = 0;
    Bytes parent = store_->EntryId(TObjectKind::Folder, folderId_);
    while (stmt.Step()) {
      int64_t id = stmt.Int(0);
      if (!row || id != current) {
        if (row) out(current, row->Build());
        current = id;
        row = std::make_unique<com::TRowBuilder>();
        Bytes entryId = store_->EntryId(TObjectKind::Message, id);
        row->Binary(tags::kEntryId, entryId);
        row->Binary(tags::kRecordKey, entryId);
        row->Id(tags::kInstanceKey, id);
        row->Binary(tags::kParentEntryId, parent);
        row->Binary(tags::kStoreEntryId, store_->WrappedEntryId());
        row->Long(tags::kObjectType, MAPI_MESSAGE);
        row->Long(tags::kMessageFlags, static_cast<ULONG>(stmt.Int(1)));
        row->Long(tags::kMessageSize, static_cast<ULONG>(stmt.Int(2)));
        row->Long(tags::kMsgStatus, static_cast<ULONG>(stmt.Int(3)));
        row->Time(tags::kCreationTime, stmt.Int(4));
        row->Time(tags::kLastModificationTime, stmt.Int(5));
        row->Binary(tags::kSearchKey, stmt.Blob(6));
        row->Binary(tags::kSourceKey, stmt.Blob(7));
        row->Binary(tags::kChangeKey, stmt.Blob(8));
        row->Bool(tags::kHasAttach, stmt.Int(9) != 0);
      }
      if (!stmt.IsNull(10)) row->Stored(static_cast<ULONG>(stmt.Int(10)), stmt.Blob(11));
    }
    if (row) out(current, row->Build());
  }

  std::optional<TRowPtr> ReadOne(int64_t id) const {
    std::optional<TRowPtr> found;
    InSnapshot([&](TSqlDatabase& db) {
      auto stmt = db.Prepare(std::string(kRowQuery) + " AND m.id = ?3");
      Bind(stmt, {});
      stmt.Bind(3, id);
      ReadRows(stmt, [&](int64_t, TRowPtr row) { found = std::move(row); });
    });
    return found;
  }

  static std::string Key(int64_t id) {
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(static_cast<uint64_t>(id) >> (8 * i));
    return key;
  }

  void OnChange(const TStoreChange& change) {
    if (change.kind == TObjectKind::Folder) {
      // A folder emptied, or this one changed as a whole: read the rows again.
      if (change.id == folderId_) NotifyReloaded();
      return;
    }
    if (change.associated != associated_) return;
    bool here = change.parentId == folderId_;
    bool left = change.oldParentId == folderId_ && change.event == fnevObjectMoved && !here;
    if (change.event == fnevObjectDeleted && here) {
      NotifyRowDeleted(Key(change.id));
    } else if (left) {
      NotifyRowDeleted(Key(change.id));
    } else if (here) {
      auto row = ReadOne(change.id);
      if (!row) {
        NotifyRowDeleted(Key(change.id));
      } else if (change.event == fnevObjectModified) {
        NotifyRowModified(*row);
      } else {
        NotifyRowAdded(*row);
      }
    }
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t folderId_;
  bool associated_;
  ULONG_PTR listening_ = 0;
};

}  // namespace

std::shared_ptr<TTableRowSource> CreateContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                      bool associated) {
  auto source = std::make_shared<TContentsSource>(std::move(store), folderId, associated);
  source->Start();
  return source;
}

}  // namespace orba::store
