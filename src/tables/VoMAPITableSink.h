// The advise sink of TVoMAPITable, shared by the table's units.
#pragma once

#include "orba/VoMAPITable.h"

namespace orba {

// The advise sink MAPI calls; it holds no reference to its table (MAPI holds the sink,
// the table holds MAPI's table) and is detached when the table stops listening.
class TVoMAPITableSink : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  explicit TVoMAPITableSink(TVoMAPITable* Table) : table_(Table) {}
  void Detach() { table_ = nullptr; }

  ULONG STDMETHODCALLTYPE OnNotify(ULONG Count, LPNOTIFICATION Notifications) override {
    TVoMAPITable* table = table_;
    if (!table || !Notifications) return 0;
    ComPtr<IVoMAPITable> hold(table);  // a sink may drop the caller's last reference
    try {
      table->OnNotify(Count, Notifications);
    } catch (...) {
      // Nothing may travel back into MAPI: the failure is kept as the thread's error.
      table->SafeCallException();
    }
    return 0;
  }

 private:
  TVoMAPITable* table_;
};

}  // namespace orba
