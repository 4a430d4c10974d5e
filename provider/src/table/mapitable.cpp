#include "table/mapitable.h"

#include <cstring>

#include "base/lasterror.h"
#include "props/propvalues.h"
#include "props/tags.h"

namespace orba::store {

namespace {

constexpr ULONG kDeferFlags = TBL_ASYNC | TBL_BATCH;

// A row's instance key, pointing into its event; PT_NULL for an event without one.
SPropValue KeyValue(bool present, const std::string& key) {
  if (!present) return SPropValue{tags::kNull, 0, {}};
  return BinaryValue(tags::kInstanceKey, {reinterpret_cast<const BYTE*>(key.data()), key.size()});
}

}  // namespace

TMapiTable::TMapiTable(std::shared_ptr<TTableRowSource> source)
    : view_(std::make_unique<TTableView>(std::move(source))) {
  view_->SetListener([this](std::vector<TTableEvent>& events) { Notify(events); });
}

TMapiTable::~TMapiTable() { view_->SetListener(nullptr); }

void TMapiTable::Notify(std::vector<TTableEvent>& events) {
  std::vector<ComPtr<IMAPIAdviseSink>> sinks;
  {
    std::lock_guard lock(sinksLock_);
    for (auto& [connection, sink] : sinks_) sinks.push_back(sink);
  }
  if (sinks.empty()) return;
  std::vector<NOTIFICATION> notifications(events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    TTableEvent& e = events[i];
    NOTIFICATION& n = notifications[i];
    n.ulEventType = fnevTableModified;
    TABLE_NOTIFICATION& tab = n.info.tab;
    tab.ulTableEvent = e.event;
    tab.hResult = e.result;
    bool rowEvent = e.event == TABLE_ROW_ADDED || e.event == TABLE_ROW_DELETED || e.event == TABLE_ROW_MODIFIED;
    tab.propIndex = KeyValue(rowEvent, e.instanceKey);
    tab.propPrior = KeyValue(e.hasPrior, e.priorKey);
    tab.row.cValues = e.valueCount;
    tab.row.lpProps = e.values.get();
  }
  for (auto& sink : sinks) sink->OnNotify(static_cast<ULONG>(notifications.size()), notifications.data());
}

void TMapiTable::NotifyDone(ULONG event) {
  std::vector<TTableEvent> events(1);
  events[0].event = event;
  Notify(events);
}

HRESULT TMapiTable::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

HRESULT TMapiTable::Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR* lpulConnection) {
  return Guarded(error_, [&] {
    Check(lpAdviseSink && lpulConnection, MAPI_E_INVALID_PARAMETER, "no advise sink or connection pointer");
    Check((ulEventMask & fnevTableModified) != 0, MAPI_E_INVALID_PARAMETER, "tables only raise fnevTableModified");
    std::lock_guard lock(sinksLock_);
    ULONG_PTR connection = nextConnection_++;
    sinks_.emplace(connection, ComPtr<IMAPIAdviseSink>(lpAdviseSink));
    *lpulConnection = connection;
    return S_OK;
  });
}

HRESULT TMapiTable::Unadvise(ULONG_PTR ulConnection) {
  ComPtr<IMAPIAdviseSink> released;  // released outside the lock
  return Guarded(error_, [&] {
    std::lock_guard lock(sinksLock_);
    auto it = sinks_.find(ulConnection);
    Check(it != sinks_.end(), MAPI_E_NOT_FOUND, "unknown connection");
    released = std::move(it->second);
    sinks_.erase(it);
    return S_OK;
  });
}

HRESULT TMapiTable::GetStatus(ULONG* lpulTableStatus, ULONG* lpulTableType) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpulTableStatus && lpulTableType, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpulTableStatus = TBLSTAT_COMPLETE;
    *lpulTableType = view_->TableType();
    return S_OK;
  });
}

HRESULT TMapiTable::SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) {
  HRESULT hr = Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpPropTagArray != nullptr, MAPI_E_INVALID_PARAMETER, "no columns");
    CheckFlags(ulFlags, kDeferFlags);
    view_->SetColumns(*lpPropTagArray);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_SETCOL_DONE);
  return hr;
}

HRESULT TMapiTable::QueryColumns(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpPropTagArray != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    CheckFlags(ulFlags, TBL_ALL_COLUMNS);
    std::vector<ULONG> tags = (ulFlags & TBL_ALL_COLUMNS) ? view_->AllColumns() : view_->Columns();
    auto array = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
    array->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    *lpPropTagArray = array.Release();
    return S_OK;
  });
}

HRESULT TMapiTable::GetRowCount(ULONG ulFlags, ULONG* lpulCount) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpulCount != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    CheckFlags(ulFlags, 0);
    *lpulCount = view_->RowCount();
    return S_OK;
  });
}

HRESULT TMapiTable::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    bool moved = false;
    LONG sought = view_->SeekRow(bkOrigin, lRowCount, moved);
    if (lplRowsSought) *lplRowsSought = sought;
    return moved ? MAPI_W_POSITION_CHANGED : S_OK;
  });
}

HRESULT TMapiTable::SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    view_->SeekRowApprox(ulNumerator, ulDenominator);
    return S_OK;
  });
}

HRESULT TMapiTable::QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpulRow && lpulNumerator && lpulDenominator, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpulRow = view_->Position();
    *lpulNumerator = view_->Position();
    *lpulDenominator = std::max<ULONG>(1, view_->RowCount());
    return S_OK;
  });
}

HRESULT TMapiTable::FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpRestriction != nullptr, MAPI_E_INVALID_PARAMETER, "no restriction");
    CheckFlags(ulFlags, DIR_BACKWARD);
    bool moved = false;
    view_->FindRow(*lpRestriction, bkOrigin, (ulFlags & DIR_BACKWARD) != 0, moved);
    return moved ? MAPI_W_POSITION_CHANGED : S_OK;
  });
}

HRESULT TMapiTable::Restrict(LPSRestriction lpRestriction, ULONG ulFlags) {
  HRESULT hr = Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    CheckFlags(ulFlags, kDeferFlags);
    view_->Restrict(lpRestriction);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_RESTRICT_DONE);
  return hr;
}

HRESULT TMapiTable::CreateBookmark(BOOKMARK* lpbkPosition) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpbkPosition != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpbkPosition = view_->CreateBookmark();
    return S_OK;
  });
}

HRESULT TMapiTable::FreeBookmark(BOOKMARK bkPosition) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    view_->FreeBookmark(bkPosition);
    return S_OK;
  });
}

HRESULT TMapiTable::SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) {
  HRESULT hr = Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lpSortCriteria != nullptr, MAPI_E_INVALID_PARAMETER, "no sort order");
    CheckFlags(ulFlags, kDeferFlags);
    view_->Sort(*lpSortCriteria);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_SORT_DONE);
  return hr;
}

HRESULT TMapiTable::QuerySortOrder(LPSSortOrderSet* lppSortCriteria) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lppSortCriteria != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lppSortCriteria = view_->SortOrder().Release();
    return S_OK;
  });
}

HRESULT TMapiTable::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    Check(lppRows != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    Check(lRowCount != 0, MAPI_E_INVALID_PARAMETER, "zero row count");
    CheckFlags(ulFlags, TBL_NOADVANCE);
    std::vector<TPropRow> rows = view_->QueryRows(lRowCount, (ulFlags & TBL_NOADVANCE) == 0);
    // The row set and each row's values are separate buffers, as FreeProws expects.
    auto set = TMapiBuffer<SRowSet>::Allocate(CbNewSRowSet(rows.size()));
    struct TGuard {
      SRowSet* set;
      ~TGuard() {
        if (set)
          for (ULONG i = 0; i < set->cRows; ++i) FreeBuffer(set->aRow[i].lpProps);
      }
    } guard{set.get()};
    auto columns = static_cast<ULONG>(view_->Columns().size());
    for (TPropRow row : rows) {
      SRow& out = set->aRow[set->cRows];
      out.lpProps = view_->Project(row).Release();
      out.cValues = columns;
      ++set->cRows;
    }
    guard.set = nullptr;
    *lppRows = set.Release();
    return S_OK;
  });
}

HRESULT TMapiTable::Abort() { return S_OK; }

HRESULT TMapiTable::ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) { return MAPI_E_NO_SUPPORT; }

HRESULT TMapiTable::CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) { return MAPI_E_NO_SUPPORT; }

HRESULT TMapiTable::WaitForCompletion(ULONG ulFlags, ULONG, ULONG* lpulTableStatus) {
  return Guarded(error_, [&] {
    std::lock_guard lock(view_->Mutex());
    CheckFlags(ulFlags, 0);
    if (lpulTableStatus) *lpulTableStatus = TBLSTAT_COMPLETE;
    return S_OK;
  });
}

HRESULT TMapiTable::GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) { return MAPI_E_NO_SUPPORT; }

HRESULT TMapiTable::SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) { return MAPI_E_NO_SUPPORT; }

ComPtr<IMAPITable> CreateMapiTable(std::shared_ptr<TTableRowSource> source) {
  return MakeComObject<TMapiTable>(std::move(source));
}

}  // namespace orba::store
