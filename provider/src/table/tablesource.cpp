#include "table/tablesource.h"

#include <algorithm>

#include "base/maperror.h"
#include "props/tags.h"
#include "props/valuecopy.h"

namespace orba::store {

std::string_view TTableRow::InstanceKey() const {
  const SPropValue* key = FindProp(Values(), tags::kInstanceKey);
  if (!key || !key->Value.bin.lpb) return {};
  return {reinterpret_cast<const char*>(key->Value.bin.lpb), key->Value.bin.cb};
}

TRowPtr TMemoryRow::Create(TPropRow values) {
  auto count = static_cast<ULONG>(values.size());
  auto copy = DuplicatePropArray(count, values.data());
  std::shared_ptr<const TTableRow> row(new TMemoryRow(std::move(copy), count));
  if (row->InstanceKey().empty()) throw TMapiError(MAPI_E_INVALID_PARAMETER, "row without an instance key");
  return row;
}

TRowListPtr TTableRowSource::RowsPage(const SRestriction*, const SSortOrderSet*, size_t, size_t) const {
  throw TMapiError(MAPI_E_NO_SUPPORT, "this row source reads no pages");
}

bool TTableRowSource::AnySubRow(TPropRow, ULONG, const std::function<bool(TPropRow)>&) const { return false; }

void TTableRowSource::Subscribe(ITableRowSink* sink) {
  std::lock_guard lock(sinksLock_);
  sinks_.push_back(sink);
}

void TTableRowSource::Unsubscribe(ITableRowSink* sink) {
  std::lock_guard lock(sinksLock_);
  sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

template <class Event>
void TTableRowSource::Notify(const Event& event) {
  std::lock_guard lock(sinksLock_);
  // A sink may unsubscribe (or subscribe) while it is called: walk a copy.
  std::vector<ITableRowSink*> sinks = sinks_;
  for (ITableRowSink* sink : sinks)
    if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) event(*sink);
}

void TTableRowSource::NotifyRowAdded(const TRowPtr& row) {
  Notify([&](ITableRowSink& sink) { sink.RowAdded(row); });
}

void TTableRowSource::NotifyRowModified(const TRowPtr& row) {
  Notify([&](ITableRowSink& sink) { sink.RowModified(row); });
}

void TTableRowSource::NotifyRowDeleted(std::string_view instanceKey) {
  Notify([&](ITableRowSink& sink) { sink.RowDeleted(instanceKey); });
}

void TTableRowSource::NotifyReloaded() {
  Notify([](ITableRowSink& sink) { sink.Reloaded(); });
}

TMemoryRowSource::TMemoryRowSource(std::vector<ULONG> columns)
    : columns_(std::move(columns)), rows_(std::make_shared<TRowList>()) {}

std::vector<ULONG> TMemoryRowSource::AllColumns() const { return columns_; }

TRowListPtr TMemoryRowSource::Rows(const SRestriction*, const SSortOrderSet*) const {
  std::lock_guard lock(rowsLock_);
  return rows_;
}

TRowList& TMemoryRowSource::Writable() {
  if (rows_.use_count() > 1) rows_ = std::make_shared<TRowList>(*rows_);
  return *rows_;
}

void TMemoryRowSource::Put(TPropRow values) {
  TRowPtr row = TMemoryRow::Create(values);
  bool replaced = false;
  {
    std::lock_guard lock(rowsLock_);
    auto it = index_.find(row->InstanceKey());
    replaced = it != index_.end();
    if (replaced) {
      size_t position = it->second;
      index_.erase(it);  // its key views the old row's bytes
      Writable()[position] = row;
      index_.emplace(row->InstanceKey(), position);
    } else {
      TRowList& rows = Writable();
      rows.push_back(row);
      index_.emplace(row->InstanceKey(), rows.size() - 1);
    }
  }
  if (replaced)
    NotifyRowModified(row);
  else
    NotifyRowAdded(row);
}

bool TMemoryRowSource::Remove(std::string_view instanceKey) {
  TRowPtr removed;
  {
    std::lock_guard lock(rowsLock_);
    auto it = index_.find(instanceKey);
    if (it == index_.end()) return false;
    size_t position = it->second;
    TRowList& rows = Writable();
    removed = rows[position];
    rows.erase(rows.begin() + static_cast<ptrdiff_t>(position));
    Reindex();
  }
  NotifyRowDeleted(removed->InstanceKey());
  return true;
}

void TMemoryRowSource::Reset(const TRowList& rows) {
  {
    std::lock_guard lock(rowsLock_);
    rows_ = std::make_shared<TRowList>(rows);
    Reindex();
  }
  NotifyReloaded();
}

void TMemoryRowSource::Reindex() {
  index_.clear();
  for (size_t i = 0; i < rows_->size(); ++i) index_.emplace((*rows_)[i]->InstanceKey(), i);
}

size_t TMemoryRowSource::Count() const {
  std::lock_guard lock(rowsLock_);
  return rows_->size();
}

}  // namespace orba::store
