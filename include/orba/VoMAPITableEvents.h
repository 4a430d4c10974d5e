// TVoMAPITableEvents (unit uVoMAPITableEvents): a component that listens to a table.
// Start connects it to a table's events and starts the table's notifications; each
// notification then reaches the event property of its kind:
//
//   TVoMAPITableEvents events;
//   events.OnRowAdded = [](IVoMAPITable*, const TVoVariant& key, IVoMAPITable* row) {
//     Show(row->FieldByName(PR_SUBJECT_W)->Get_AsString());
//   };
//   events.Start(contents.get());
//
// Notifications run on the thread MAPI delivers them on (Orba Store: the thread that
// changed the data). Close of the table ends its notifications (OnClose); the component
// stays connected until Stop or its destruction.
#pragma once

#include <functional>

#include "orba/VoMAPITable.h"

namespace orba {

class TVoMAPITableEvents {
 public:
  using TTableEvent = std::function<void(IVoMAPITable* Table)>;
  using TRowEvent = std::function<void(IVoMAPITable* Table, const TVoVariant& InstanceKey, IVoMAPITable* Row)>;
  using TRowDeletedEvent = std::function<void(IVoMAPITable* Table, const TVoVariant& InstanceKey)>;

  TVoMAPITableEvents();
  ~TVoMAPITableEvents();
  TVoMAPITableEvents(const TVoMAPITableEvents&) = delete;
  TVoMAPITableEvents& operator=(const TVoMAPITableEvents&) = delete;

  // Connects to Table (a table of this library) and starts its notifications; a
  // component started before stops first. A null table raises E_INVALIDARG "No table
  // specified!"; a table that is advised already raises its Advise text.
  void Start(IVoMAPITable* Table);
  // Stops the table's notifications and disconnects; nothing when not started.
  void Stop();
  bool Active() const { return table_ != nullptr; }
  // The table started with; raises E_FAIL "The internal MAPITable interface cannot be
  // requested at this time!" when not started.
  ComPtr<IVoMAPITable> Get_Table() const;

  TTableEvent OnChanged, OnError, OnReload, OnRestrictDone, OnSetColDone, OnSortDone, OnClose;
  TRowEvent OnRowAdded, OnRowModified;
  TRowDeletedEvent OnRowDeleted;

 private:
  class TSink;

  ComPtr<IVoMAPITable> table_;
  TVoAutoIntfObject* source_ = nullptr;  // the table's connection points
  DWORD cookie_ = 0;
};

}  // namespace orba
