// The table engine: one view over a row source with a column set, a restriction, a
// sort order, a cursor and bookmarks, kept up to date from the source's change events.
// It has no COM surface (TMapiTable, mapitable.h, puts IMAPITable on it); failures are
// thrown as TMapiError.
//
// Decisions:
// - The cursor is a position 0..RowCount (RowCount = after the last row). Restrict and
//   SortTable put it at the beginning; a row inserted before it or deleted before it
//   moves it so that it stays on the same row.
// - QueryRows with a negative count moves back that many rows (fewer at the start),
//   returns those rows in table order and leaves the cursor on the first of them
//   (TBL_NOADVANCE: where it was).
// - Bookmarks remember their row by instance key; when the row has left the view the
//   bookmark falls back to its old position (clamped) and the call answers
//   MAPI_W_POSITION_CHANGED.
// - Categorised sorts (cCategories > 0) and TABLE_SORT_COMBINE / CATEG_MAX / CATEG_MIN
//   are refused with MAPI_E_TOO_COMPLEX: the engine has no categories.
// - Multi-value-instance columns and sort keys (MV_INSTANCE) are refused with
//   MAPI_E_TOO_COMPLEX; plain multi-valued columns are returned as whole values.
// - Lazy reading: when the source applies the restriction and the sort order itself and
//   can hand out pages of them (TTableRowSource::CanPage), creating the view,
//   SetColumns, Restrict and SortTable read nothing; the view then holds only the first
//   rows of the table and reads further pages when a forward read, seek or search
//   needs them, each page twice the last (or what the call needs, if more), so that
//   reading a table through takes few reads. What needs the whole table (the row
//   count, the end, approximate positions, a bookmark not among the loaded rows)
//   first reads the rest, then works as on a fully read table. A paging source gives
//   every row a key of its own.
// - A change event on a partly read view first reads the rest of the table as the
//   source now has it, keeping the rows already read as they were (the caller may have
//   seen them), then applies the event as a fully read view would, so that the
//   notifications match what the caller has seen. The old state of a row not yet read
//   is unknown: a modified one is taken as it is now (reported modified), and one that
//   is not in the table after the event is reported deleted, since the table may have
//   held it (a deletion of a row a client never saw is harmless to it; a missing one
//   is not).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "memory/mapimemory.h"
#include "table/restriction.h"
#include "table/tablesource.h"

namespace orba::store {

// A table event for advise sinks: TABLE_ROW_* carry the row's instance key, the key of
// the row now before it (none for the first row) and, for added and modified rows,
// the row's values in the table's columns.
struct TTableEvent {
  ULONG event = TABLE_CHANGED;
  HRESULT result = S_OK;
  std::string instanceKey;
  bool hasPrior = false;
  std::string priorKey;
  TMapiBuffer<SPropValue> values;
  ULONG valueCount = 0;
};

class TTableView final : private ITableRowSink {
 public:
  using TListener = std::function<void(std::vector<TTableEvent>&)>;

  // Reads the source's rows, unless it pages (TMapiError or std::bad_alloc when it cannot).
  explicit TTableView(std::shared_ptr<TTableRowSource> source);
  ~TTableView();
  TTableView(const TTableView&) = delete;
  TTableView& operator=(const TTableView&) = delete;

  // Receives the events of source changes, outside the view's lock; none while unset.
  void SetListener(TListener listener);

  // Serialises the view's users (interface calls and the source's events).
  std::recursive_mutex& Mutex() { return mutex_; }

  void SetColumns(const SPropTagArray& columns);
  const std::vector<ULONG>& Columns() const { return columns_; }
  std::vector<ULONG> AllColumns() const { return source_->AllColumns(); }
  ULONG TableType() const { return source_->TableType(); }

  // Reads the whole table first.
  ULONG RowCount();
  ULONG Position() const { return static_cast<ULONG>(cursor_); }

  // Moves the cursor; returns the rows moved (signed) and sets positionChanged when a
  // bookmark's row had gone. MAPI_E_INVALID_BOOKMARK for an unknown bookmark.
  LONG SeekRow(BOOKMARK origin, LONG count, bool& positionChanged);
  void SeekRowApprox(ULONG numerator, ULONG denominator);
  // The values of the rows QueryRows returns, moving the cursor as documented above;
  // count != 0. They stay valid while the caller holds Mutex().
  std::vector<TPropRow> QueryRows(LONG count, bool advance);
  // Moves the cursor to the first matching row; MAPI_E_NOT_FOUND when none matches.
  void FindRow(const SRestriction& restriction, BOOKMARK origin, bool backward, bool& positionChanged);

  // Null clears. The restriction and the sort order are copied.
  void Restrict(const SRestriction* restriction);
  void Sort(const SSortOrderSet& sortOrder);
  // The current sort order (cSorts 0 when unsorted), as a new MAPI buffer.
  TMapiBuffer<SSortOrderSet> SortOrder() const;

  BOOKMARK CreateBookmark();
  void FreeBookmark(BOOKMARK bookmark);

  // The row's values in the current columns, in one MAPI buffer (strings converted to
  // the column's width, absent properties as PT_ERROR / MAPI_E_NOT_FOUND).
  TMapiBuffer<SPropValue> Project(TPropRow values) const;

 private:
  struct TBookmark {
    std::string key;  // empty: the end of the table
    size_t position = 0;
  };

  // ITableRowSink
  void RowAdded(const TRowPtr& row) override;
  void RowModified(const TRowPtr& row) override;
  void RowDeleted(std::string_view instanceKey) override;
  void Reloaded() override;

  // Runs a change from the source under the lock (a failure becomes TABLE_ERROR), then
  // delivers the events it queued.
  void Apply(const std::function<void()>& change);
  void ApplyModified(const TRowPtr& row, bool unseen);
  // Reads the rows again from the start (nothing yet when the source pages).
  void Load();
  // The rows of a source's list the view shows, in the list's order.
  std::vector<const TTableRow*> Shown(const TRowList& list);
  const SRestriction* SourceRestriction() const;
  const SSortOrderSet* SourceSort() const;
  // Reads pages until the view holds wanted rows or the whole table.
  void LoadMore(size_t wanted);
  void Complete() { LoadMore(SIZE_MAX); }
  // Whether the table has a row at index (reading up to it).
  bool HasRow(size_t index);
  // Before the change event of the row keyed key: reads the rest of a partly read view
  // (see above); true when that row had not been read.
  bool CompleteBefore(std::string_view key, bool added);
  void Append(TRowListPtr list, std::string_view skip);
  bool Accepts(const TTableRow& row) const;
  void SortRows(std::vector<const TTableRow*>& rows) const;
  int CompareRows(const TTableRow& a, const TTableRow& b) const;
  size_t InsertPosition(const TTableRow& row) const;
  size_t IndexOf(std::string_view key) const;
  size_t PositionOf(const TTableRow& row) const;
  void BuildKeyIndex() const;
  void Insert(size_t index, const TRowPtr& row);
  void Erase(size_t index);
  void Replace(size_t index, const TRowPtr& row);
  size_t Resolve(BOOKMARK origin, bool& positionChanged);
  TSubRowsFn SubRows() const;
  void QueueRowEvent(ULONG event, size_t index);
  void QueueEvent(TTableEvent event);
  void Deliver();

  std::shared_ptr<TTableRowSource> source_;
  std::recursive_mutex mutex_;
  std::vector<ULONG> columns_;
  TMapiBuffer<SRestriction> restrictionCopy_;
  std::unique_ptr<TRestriction> restriction_;
  bool sourceRestricts_ = false;
  TMapiBuffer<SSortOrderSet> sortOrder_;  // null when unsorted
  bool sourceSorts_ = false;
  // The rows are kept alive by the source's lists they were loaded from and, for rows
  // that change events brought in since, by changed_ (by address).
  std::vector<TRowListPtr> loaded_;
  // False while rows_ holds only the first rows of the table: sourceOffset_ rows of
  // the source's pages were read, the last page asked for pageSize_ rows.
  bool complete_ = true;
  size_t sourceOffset_ = 0;
  size_t pageSize_ = 0;
  std::unordered_map<const TTableRow*, TRowPtr> changed_;
  std::vector<const TTableRow*> rows_;
  mutable std::vector<const SPropValue*> projected_;  // Project's lookups (under the lock)
  // Instance key -> row of rows_ (the key views the row's bytes), so that change events
  // and bookmarks find their row without reading every row's key. Built when first
  // needed after a load, then kept up to date; unusable when the source gave one key
  // twice (lookups then read the keys).
  enum class TKeyIndex { kNone, kBuilt, kUnusable };
  mutable TKeyIndex keyIndexState_ = TKeyIndex::kNone;
  mutable std::unordered_map<std::string_view, const TTableRow*> keyIndex_;
  size_t cursor_ = 0;
  std::map<BOOKMARK, TBookmark> bookmarks_;
  BOOKMARK nextBookmark_ = BOOKMARK_END + 1;
  TListener listener_;
  std::vector<TTableEvent> pending_;
};

}  // namespace orba::store
