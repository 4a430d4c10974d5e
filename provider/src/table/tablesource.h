// Row sources: what a table engine reads. A source supplies rows (each an immutable
// set of values with a PR_INSTANCE_KEY that identifies it), the columns its rows can
// have, optionally applies restrictions and sort orders itself (a store pushes them
// into SQL), and tells subscribed tables when rows are added, modified or deleted, or
// when everything must be read again.
//
// How a source plugs in:
// - Rows(restriction, sort) returns the rows in the source's natural order. The engine
//   passes a restriction or sort order only after AcceptsRestriction / AcceptsSort said
//   yes for it; the source must then filter and order exactly as the engine would
//   (restriction.h, propcompare.h), because the engine keeps applying both itself to
//   rows that change later.
// - A source may also hand its rows out in pages (RowsPage), so that a table reads only
//   the rows its caller asks for. It says for which restriction and sort order it can
//   (CanPage): only where it applies both exactly itself, since a page must be exactly
//   that stretch of the table.
// - Change events go to every subscribed sink, on the thread that changed the data.
// - Sources whose rows have recipients or attachments answer AnySubRow so that
//   sub-restrictions work; others say HasSubObjects() == false.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "memory/mapimemory.h"
#include "table/proprow.h"

namespace orba::store {

// One row of a table; its values never change (a modification is a new row object with
// the same instance key).
class TTableRow {
 public:
  virtual ~TTableRow() = default;
  virtual TPropRow Values() const = 0;
  // The bytes of the row's PR_INSTANCE_KEY (empty when it has none).
  std::string_view InstanceKey() const;
};
using TRowPtr = std::shared_ptr<const TTableRow>;
// A list of rows; sources hand out shared, unchanging lists so that a table reads a
// large source without copying it.
using TRowList = std::vector<TRowPtr>;
using TRowListPtr = std::shared_ptr<const TRowList>;

// A row holding a deep copy of its values in one MAPI buffer.
class TMemoryRow final : public TTableRow {
 public:
  // Copies the values (TMapiError for malformed ones); they must include PR_INSTANCE_KEY.
  static TRowPtr Create(TPropRow values);
  TPropRow Values() const override { return {values_.get(), count_}; }

 private:
  TMemoryRow(TMapiBuffer<SPropValue> values, ULONG count) : values_(std::move(values)), count_(count) {}
  TMapiBuffer<SPropValue> values_;
  ULONG count_;
};

// Receives a source's change events.
class ITableRowSink {
 public:
  virtual void RowAdded(const TRowPtr& row) = 0;
  virtual void RowModified(const TRowPtr& row) = 0;
  virtual void RowDeleted(std::string_view instanceKey) = 0;
  // The rows changed too much to report one by one: read them again.
  virtual void Reloaded() = 0;

 protected:
  ~ITableRowSink() = default;
};

class TTableRowSource {
 public:
  virtual ~TTableRowSource() = default;

  // Every column the rows may have (QueryColumns with TBL_ALL_COLUMNS).
  virtual std::vector<ULONG> AllColumns() const = 0;
  // The columns a new table shows.
  virtual std::vector<ULONG> DefaultColumns() const { return AllColumns(); }
  // Whether Rows applies this restriction / sort order itself.
  virtual bool AcceptsRestriction(const SRestriction&) const { return false; }
  virtual bool AcceptsSort(const SSortOrderSet&) const { return false; }
  // The rows; restriction and sort are null unless accepted.
  virtual TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const = 0;
  // Whether RowsPage serves this restriction and sort order (null: none; each already
  // accepted above).
  virtual bool CanPage(const SRestriction*, const SSortOrderSet*) const { return false; }
  // Up to limit rows of what Rows(restriction, sort) returns, from position offset on,
  // read at one moment; fewer than limit only at the end. Only called after CanPage
  // said yes (this default refuses with MAPI_E_NO_SUPPORT).
  virtual TRowListPtr RowsPage(const SRestriction* restriction, const SSortOrderSet* sort, size_t offset,
                               size_t limit) const;
  // Sub-objects for sub-restrictions (see TSubRowsFn in restriction.h).
  virtual bool HasSubObjects() const { return false; }
  virtual bool AnySubRow(TPropRow row, ULONG subObject, const std::function<bool(TPropRow)>& test) const;
  // TBLTYPE_DYNAMIC when the source raises change events, TBLTYPE_SNAPSHOT otherwise.
  virtual ULONG TableType() const { return TBLTYPE_DYNAMIC; }

  void Subscribe(ITableRowSink* sink);
  void Unsubscribe(ITableRowSink* sink);

 protected:
  void NotifyRowAdded(const TRowPtr& row);
  void NotifyRowModified(const TRowPtr& row);
  void NotifyRowDeleted(std::string_view instanceKey);
  void NotifyReloaded();

 private:
  template <class Event>
  void Notify(const Event& event);

  // Held while events are delivered, so that a sink is never called after it left.
  std::recursive_mutex sinksLock_;
  std::vector<ITableRowSink*> sinks_;
};

// A source over rows kept in memory (profile, service, provider, status and similar
// tables): rows are added, replaced and removed by instance key, and every change is
// reported to the subscribed tables.
class TMemoryRowSource : public TTableRowSource {
 public:
  explicit TMemoryRowSource(std::vector<ULONG> columns);

  std::vector<ULONG> AllColumns() const override;
  TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const override;

  // Adds a row, or replaces the row with the same instance key.
  void Put(TPropRow values);
  // Removes the row with this instance key; false when there is none.
  bool Remove(std::string_view instanceKey);
  // Replaces every row at once (one reload event).
  void Reset(const TRowList& rows);
  size_t Count() const;

 private:
  std::vector<ULONG> columns_;
  void Reindex();
  // The list to change: rows_ itself, or a copy of it while tables still read it.
  TRowList& Writable();

  mutable std::mutex rowsLock_;
  std::shared_ptr<TRowList> rows_;
  std::unordered_map<std::string_view, size_t> index_;  // instance key -> position
};

}  // namespace orba::store
