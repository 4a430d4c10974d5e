#include "table/mapitable.h"

#include <cstring>

#include "base/maperror.h"
#include "orba/common/encoding.h"

namespace orba::store {

namespace {

constexpr ULONG kPrNull = PROP_TAG(PT_NULL, 0);
constexpr ULONG kDeferFlags = TBL_ASYNC | TBL_BATCH;
constexpr char kComponent[] = "Orba Store table";

void Check(bool condition, HRESULT code, const char* why) {
  if (!condition) throw TMapiError(code, why);
}

void CheckFlags(ULONG flags, ULONG allowed) { Check((flags & ~allowed) == 0, MAPI_E_UNKNOWN_FLAGS, "unknown flags"); }

SPropValue KeyValue(const std::string& key) {
  SPropValue value{};
  value.ulPropTag = kInstanceKeyTag;
  value.Value.bin.cb = static_cast<ULONG>(key.size());
  value.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char*>(key.data()));
  return value;
}

SPropValue NullValue() {
  SPropValue value{};
  value.ulPropTag = kPrNull;
  return value;
}

// Text for MAPIERROR in the asked width, allocated on parent.
LPTSTR ErrorText(const std::string& text, bool unicode, void* parent) {
  if (!unicode) {
    auto* out = AllocateMoreOf<char>(text.size() + 1, parent);
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
  }
  WideString wide = TVoEncoding::ConvertW(text);
  auto* out = AllocateMoreOf<WCHAR>(wide.size() + 1, parent);
  std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return reinterpret_cast<LPTSTR>(out);
}

}  // namespace

TMapiTable::TMapiTable(std::shared_ptr<TTableRowSource> source)
    : view_(std::make_unique<TTableView>(std::move(source))) {
  view_->SetListener([this](std::vector<TTableEvent>& events) { Notify(events); });
}

TMapiTable::~TMapiTable() { view_->SetListener(nullptr); }

template <class Body>
HRESULT TMapiTable::Call(Body&& body) noexcept {
  try {
    std::lock_guard lock(view_->Mutex());
    return body();
  } catch (...) {
    HRESULT hr = ResultFromException();
    std::string text;
    try {
      throw;
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    std::lock_guard lock(errorLock_);
    lastError_ = hr;
    lastErrorText_ = std::move(text);
    return hr;
  }
}

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
    tab.propIndex = rowEvent ? KeyValue(e.instanceKey) : NullValue();
    tab.propPrior = e.hasPrior ? KeyValue(e.priorKey) : NullValue();
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
  return Call([&] {
    Check(lppMAPIError != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    CheckFlags(ulFlags, MAPI_UNICODE);
    *lppMAPIError = nullptr;
    std::lock_guard lock(errorLock_);
    if (hResult != lastError_ || lastErrorText_.empty()) return S_OK;
    auto error = TMapiBuffer<MAPIERROR>::Allocate();
    bool unicode = (ulFlags & MAPI_UNICODE) != 0;
    error->ulVersion = MAPI_ERROR_VERSION;
    error->lpszError = ErrorText(lastErrorText_, unicode, error.get());
    error->lpszComponent = ErrorText(kComponent, unicode, error.get());
    *lppMAPIError = error.Release();
    return S_OK;
  });
}

HRESULT TMapiTable::Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR* lpulConnection) {
  return Call([&] {
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
  return Call([&] {
    std::lock_guard lock(sinksLock_);
    auto it = sinks_.find(ulConnection);
    Check(it != sinks_.end(), MAPI_E_NOT_FOUND, "unknown connection");
    released = std::move(it->second);
    sinks_.erase(it);
    return S_OK;
  });
}

HRESULT TMapiTable::GetStatus(ULONG* lpulTableStatus, ULONG* lpulTableType) {
  return Call([&] {
    Check(lpulTableStatus && lpulTableType, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpulTableStatus = TBLSTAT_COMPLETE;
    *lpulTableType = view_->TableType();
    return S_OK;
  });
}

HRESULT TMapiTable::SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) {
  HRESULT hr = Call([&] {
    Check(lpPropTagArray != nullptr, MAPI_E_INVALID_PARAMETER, "no columns");
    CheckFlags(ulFlags, kDeferFlags);
    view_->SetColumns(*lpPropTagArray);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_SETCOL_DONE);
  return hr;
}

HRESULT TMapiTable::QueryColumns(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) {
  return Call([&] {
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
  return Call([&] {
    Check(lpulCount != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    CheckFlags(ulFlags, 0);
    *lpulCount = view_->RowCount();
    return S_OK;
  });
}

HRESULT TMapiTable::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) {
  return Call([&] {
    bool moved = false;
    LONG sought = view_->SeekRow(bkOrigin, lRowCount, moved);
    if (lplRowsSought) *lplRowsSought = sought;
    return moved ? MAPI_W_POSITION_CHANGED : S_OK;
  });
}

HRESULT TMapiTable::SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) {
  return Call([&] {
    view_->SeekRowApprox(ulNumerator, ulDenominator);
    return S_OK;
  });
}

HRESULT TMapiTable::QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) {
  return Call([&] {
    Check(lpulRow && lpulNumerator && lpulDenominator, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpulRow = view_->Position();
    *lpulNumerator = view_->Position();
    *lpulDenominator = std::max<ULONG>(1, view_->RowCount());
    return S_OK;
  });
}

HRESULT TMapiTable::FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) {
  return Call([&] {
    Check(lpRestriction != nullptr, MAPI_E_INVALID_PARAMETER, "no restriction");
    CheckFlags(ulFlags, DIR_BACKWARD);
    bool moved = false;
    view_->FindRow(*lpRestriction, bkOrigin, (ulFlags & DIR_BACKWARD) != 0, moved);
    return moved ? MAPI_W_POSITION_CHANGED : S_OK;
  });
}

HRESULT TMapiTable::Restrict(LPSRestriction lpRestriction, ULONG ulFlags) {
  HRESULT hr = Call([&] {
    CheckFlags(ulFlags, kDeferFlags);
    view_->Restrict(lpRestriction);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_RESTRICT_DONE);
  return hr;
}

HRESULT TMapiTable::CreateBookmark(BOOKMARK* lpbkPosition) {
  return Call([&] {
    Check(lpbkPosition != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lpbkPosition = view_->CreateBookmark();
    return S_OK;
  });
}

HRESULT TMapiTable::FreeBookmark(BOOKMARK bkPosition) {
  return Call([&] {
    view_->FreeBookmark(bkPosition);
    return S_OK;
  });
}

HRESULT TMapiTable::SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) {
  HRESULT hr = Call([&] {
    Check(lpSortCriteria != nullptr, MAPI_E_INVALID_PARAMETER, "no sort order");
    CheckFlags(ulFlags, kDeferFlags);
    view_->Sort(*lpSortCriteria);
    return S_OK;
  });
  if (hr == S_OK && (ulFlags & TBL_ASYNC)) NotifyDone(TABLE_SORT_DONE);
  return hr;
}

HRESULT TMapiTable::QuerySortOrder(LPSSortOrderSet* lppSortCriteria) {
  return Call([&] {
    Check(lppSortCriteria != nullptr, MAPI_E_INVALID_PARAMETER, "no result pointer");
    *lppSortCriteria = view_->SortOrder().Release();
    return S_OK;
  });
}

HRESULT TMapiTable::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) {
  return Call([&] {
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
  return Call([&] {
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
