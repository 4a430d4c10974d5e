// IMAPITable over the table engine (tableview.h): every provider table (profiles,
// services, providers, message stores, status, contents, hierarchy, recipients,
// attachments, address book containers) is a TMapiTable over its own row source.
//
// Besides the engine's decisions: the table works synchronously, so TBL_ASYNC and
// TBL_BATCH are accepted and the operation is complete when the call returns (with
// TBL_ASYNC, advised sinks then get TABLE_SETCOL_DONE, TABLE_RESTRICT_DONE or
// TABLE_SORT_DONE); GetStatus always answers TBLSTAT_COMPLETE, Abort has nothing to
// stop, and WaitForCompletion returns at once. Categories are not supported:
// ExpandRow, CollapseRow, GetCollapseState and SetCollapseState answer
// MAPI_E_NO_SUPPORT.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/lasterror.h"
#include "orba/common/comobject.h"
#include "table/tableview.h"

namespace orba::store {

class TMapiTable final : public TVoComObject<TVoRefCounted, IMAPITable> {
 public:
  // TMapiError or std::bad_alloc when the source's rows cannot be read.
  explicit TMapiTable(std::shared_ptr<TTableRowSource> source);
  ~TMapiTable() override;

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override;
  STDMETHOD(Advise)(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR* lpulConnection) override;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) override;
  STDMETHOD(GetStatus)(ULONG* lpulTableStatus, ULONG* lpulTableType) override;
  STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override;
  STDMETHOD(QueryColumns)(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) override;
  STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) override;
  STDMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override;
  STDMETHOD(SeekRowApprox)(ULONG ulNumerator, ULONG ulDenominator) override;
  STDMETHOD(QueryPosition)(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) override;
  STDMETHOD(FindRow)(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) override;
  STDMETHOD(Restrict)(LPSRestriction lpRestriction, ULONG ulFlags) override;
  STDMETHOD(CreateBookmark)(BOOKMARK* lpbkPosition) override;
  STDMETHOD(FreeBookmark)(BOOKMARK bkPosition) override;
  STDMETHOD(SortTable)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) override;
  STDMETHOD(QuerySortOrder)(LPSSortOrderSet* lppSortCriteria) override;
  STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) override;
  STDMETHOD(Abort)() override;
  STDMETHOD(ExpandRow)
  (ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags, LPSRowSet* lppRows,
   ULONG* lpulMoreRows) override;
  STDMETHOD(CollapseRow)(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG* lpulRowCount) override;
  STDMETHOD(WaitForCompletion)(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) override;
  STDMETHOD(GetCollapseState)
  (ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey, ULONG* lpcbCollapseState,
   LPBYTE* lppbCollapseState) override;
  STDMETHOD(SetCollapseState)
  (ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState, BOOKMARK* lpbkLocation) override;

 private:
  // Tells the advised sinks (called outside the view's lock).
  void Notify(std::vector<TTableEvent>& events);
  void NotifyDone(ULONG event);

  std::unique_ptr<TTableView> view_;
  std::mutex sinksLock_;
  std::map<ULONG_PTR, ComPtr<IMAPIAdviseSink>> sinks_;
  ULONG_PTR nextConnection_ = 1;
  // Every method runs under Guarded(error_, ...) and the view's lock.
  TLastError error_{"Orba Store table"};
};

// A new table over source, as IMAPITable (TMapiError or std::bad_alloc on failure).
ComPtr<IMAPITable> CreateMapiTable(std::shared_ptr<TTableRowSource> source);

}  // namespace orba::store
