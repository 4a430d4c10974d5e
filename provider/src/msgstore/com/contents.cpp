// The contents table source of a folder: see tables.h.
//
// Rows are read straight from the store database: the message record's columns
// (identity, flags, size, status, times, keys) and every stored property of up to
// kLargeValue bytes (bodies and other large values are read from the message itself,
// as MAPI tables leave them out), except the texts kept as columns, which are always
// in the row so that SQL on those columns and the engine on the rows agree.
// Restrictions and sort orders on the columns are evaluated in SQL (contentsql.h);
// the table engine evaluates the others on these rows.
#include "../storeinternal.h"
#include "comprops.h"
#include "contentsql.h"
#include "orba/store/msgstore/com/tables.h"
#include "orba/store/tags.h"
#include "orba/store/restriction.h"
#include "rowbuilder.h"

namespace orba::store {
namespace {

constexpr size_t kLargeValue = 1024;
constexpr ULONG kParentEntryId = PROP_TAG(PT_BINARY, 0x0E09);
constexpr ULONG kStoreEntryId = PROP_TAG(PT_BINARY, 0x0FFB);
constexpr ULONG kMsgStatus = PROP_TAG(PT_LONG, 0x0E17);
constexpr ULONG kSearchKey = PROP_TAG(PT_BINARY, 0x300B);
constexpr ULONG kSourceKey = PROP_TAG(PT_BINARY, 0x65E0);
constexpr ULONG kChangeKey = PROP_TAG(PT_BINARY, 0x65E2);

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
    return {tags::kEntryId,      tags::kInstanceKey,       tags::kRecordKey,   kParentEntryId,
            kStoreEntryId,       tags::kObjectType,        tags::kMessageFlags, tags::kMessageSize,
            kMsgStatus,          tags::kCreationTime,      tags::kLastModificationTime, kSearchKey,
            kSourceKey,          kChangeKey,               tags::kHasAttach,   tags::kMessageClassW,
            tags::kSubjectW,     tags::kNormalizedSubjectW, tags::kSenderNameW, tags::kMessageDeliveryTime,
            tags::kClientSubmitTime, tags::kImportance};
  }

  bool AcceptsRestriction(const SRestriction& restriction) const override {
    return com::CanRestrictInSql(restriction);
  }
  bool AcceptsSort(const SSortOrderSet& sort) const override { return com::CanSortInSql(sort); }

  TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const override {
    com::TSqlCondition condition;
    if (restriction) condition = com::RestrictionSql(*restriction, 4);
    auto query = [&](TSqlDatabase& db) {
      std::string sql = kRowQuery;
      if (restriction) sql += " AND " + condition.sql;
      // Equal keys keep the natural order (by id), as the engine's stable sort does.
      sql += " ORDER BY " + (sort ? com::SortSql(*sort, HasBigTimes(db, com::SortTimeColumns(*sort))) : "") + "m.id";
      return sql;
    };
    TRowList rows = Read(query, 0, condition.params);
    if (!condition.exact) {
      TRestriction exact(*restriction, {});
      std::erase_if(rows, [&](const TRowPtr& row) { return !exact.Matches(row->Values()); });
    }
    return std::make_shared<const TRowList>(std::move(rows));
  }

 private:
  // Whether a time column of this folder's messages holds a FILETIME beyond the
  // signed 64-bit range.
  bool HasBigTimes(TSqlDatabase& db, const std::vector<std::string>& columns) const {
    if (columns.empty()) return false;
    std::string sql = "SELECT EXISTS(SELECT 1 FROM messages m WHERE m.folder_id = ?1 AND m.associated = ?2 "
                      "AND m.deleted = 0 AND (0";
    for (const std::string& column : columns) sql += " OR " + column + " < 0";
    auto stmt = db.Prepare(sql + "))");
    stmt.Bind(1, folderId_).Bind(2, int64_t{associated_});
    return stmt.Step() && stmt.Int(0) != 0;
  }

  // Rows of the query query(db) makes (one per message, the properties joined in id
  // order), in one snapshot of the store; params are bound from ?4 on.
  using Query = std::function<std::string(TSqlDatabase&)>;
  TRowList Read(const Query& query, int64_t messageId, const std::vector<com::TSqlParam>& params = {}) const {
    TStoreEngine& engine = store_->Engine();
    auto lock = TStoreEngine::Impl::Locked(engine);
    TSqlDatabase& db = TStoreEngine::Impl::Database(engine);
    TSqlReadSnapshot snapshot(db);
    auto stmt = db.Prepare(query(db));
    stmt.Bind(1, folderId_).Bind(2, int64_t{associated_});
    if (messageId) stmt.Bind(3, messageId);
    int index = 4;
    for (const com::TSqlParam& param : params)
      std::visit([&](const auto& value) { stmt.Bind(index++, value); }, param);
    TRowList rows;
    std::unique_ptr<com::TRowBuilder> row;
    int64_t current = 0;
    Bytes parent = store_->EntryId(ObjectKind::Folder, folderId_);
    while (stmt.Step()) {
      int64_t id = stmt.Int(0);
      if (!row || id != current) {
        if (row) rows.push_back(row->Build());
        current = id;
        row = std::make_unique<com::TRowBuilder>();
        Bytes entryId = store_->EntryId(ObjectKind::Message, id);
        row->Binary(tags::kEntryId, entryId);
        row->Binary(tags::kRecordKey, entryId);
        row->Id(tags::kInstanceKey, id);
        row->Binary(kParentEntryId, parent);
        row->Binary(kStoreEntryId, store_->WrappedEntryId());
        row->Long(tags::kObjectType, MAPI_MESSAGE);
        row->Long(tags::kMessageFlags, static_cast<ULONG>(stmt.Int(1)));
        row->Long(tags::kMessageSize, static_cast<ULONG>(stmt.Int(2)));
        row->Long(kMsgStatus, static_cast<ULONG>(stmt.Int(3)));
        row->Time(tags::kCreationTime, stmt.Int(4));
        row->Time(tags::kLastModificationTime, stmt.Int(5));
        row->Binary(kSearchKey, stmt.Blob(6));
        row->Binary(kSourceKey, stmt.Blob(7));
        row->Binary(kChangeKey, stmt.Blob(8));
        row->Bool(tags::kHasAttach, stmt.Int(9) != 0);
      }
      if (!stmt.IsNull(10)) row->Stored(static_cast<ULONG>(stmt.Int(10)), stmt.Blob(11));
    }
    if (row) rows.push_back(row->Build());
    return rows;
  }

  std::optional<TRowPtr> ReadOne(int64_t id) const {
    TRowList rows = Read([](TSqlDatabase&) { return std::string(kRowQuery) + " AND m.id = ?3"; }, id);
    if (rows.empty()) return std::nullopt;
    return rows.front();
  }

  static std::string Key(int64_t id) {
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(static_cast<uint64_t>(id) >> (8 * i));
    return key;
  }

  void OnChange(const TStoreChange& change) {
    if (change.kind == ObjectKind::Folder) {
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
