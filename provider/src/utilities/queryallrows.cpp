// HrQueryAllRows reads a whole table through IMAPITable alone: set the columns,
// restriction and sort order asked for, rewind, and read batches until the end.
// The rows' property arrays are separate buffers (as QueryRows returns them); they
// move into one result row set, so FreeProws frees the result as usual.
#include <vector>

#include "base/export.h"
#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

namespace orba::store {

namespace {

constexpr LONG kBatchRows = 256;

// Rows read so far; frees their property arrays unless handed over.
class TCollectedRows {
 public:
  TCollectedRows() = default;
  TCollectedRows(const TCollectedRows&) = delete;
  TCollectedRows& operator=(const TCollectedRows&) = delete;
  ~TCollectedRows() {
    for (SRow& row : rows_) FreeBuffer(row.lpProps);
  }

  // Takes the rows of batch (the row set itself is freed here).
  void Take(LPSRowSet batch) {
    TMapiBuffer<SRowSet> holder(batch);
    rows_.reserve(rows_.size() + batch->cRows);
    for (ULONG i = 0; i < batch->cRows; ++i) {
      rows_.push_back(batch->aRow[i]);
      batch->aRow[i].lpProps = nullptr;
    }
  }
  size_t Count() const { return rows_.size(); }

  LPSRowSet Release() {
    auto set = TMapiBuffer<SRowSet>::Allocate(CbNewSRowSet(rows_.size()));
    set->cRows = static_cast<ULONG>(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) set->aRow[i] = rows_[i];
    rows_.clear();
    return set.Release();
  }

 private:
  std::vector<SRow> rows_;
};

HRESULT QueryAllRows(IMAPITable* table, LPSPropTagArray columns, LPSRestriction restriction, LPSSortOrderSet sortOrder,
                     LONG maxRows, LPSRowSet* rowsOut) {
  HRESULT hr = S_OK;
  if (columns && FAILED(hr = table->SetColumns(columns, 0))) return hr;
  if (restriction && FAILED(hr = table->Restrict(restriction, 0))) return hr;
  if (sortOrder && FAILED(hr = table->SortTable(sortOrder, 0))) return hr;
  ULONG count = 0;
  if (maxRows > 0 && SUCCEEDED(table->GetRowCount(0, &count)) && count > static_cast<ULONG>(maxRows))
    return MAPI_E_TABLE_TOO_BIG;
  if (FAILED(hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) return hr;

  TCollectedRows rows;
  for (;;) {
    LPSRowSet batch = nullptr;
    if (FAILED(hr = table->QueryRows(kBatchRows, 0, &batch))) return hr;
    if (!batch) return MAPI_E_CALL_FAILED;
    bool done = batch->cRows == 0;
    rows.Take(batch);
    // The count may have grown since GetRowCount: the limit holds for what is read.
    if (maxRows > 0 && rows.Count() > static_cast<size_t>(maxRows)) return MAPI_E_TABLE_TOO_BIG;
    if (done) break;
  }
  *rowsOut = rows.Release();
  return S_OK;
}

}  // namespace

}  // namespace orba::store

ORBASTORE_EXPORT HRESULT HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                                        LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows) {
  if (!lpTable || !lppRows || crowsMax < 0) return MAPI_E_INVALID_PARAMETER;
  *lppRows = nullptr;
  return orba::store::Guarded(
      [&] { return orba::store::QueryAllRows(lpTable, lpPropTags, lpRestriction, lpSortOrderSet, crowsMax, lppRows); });
}
