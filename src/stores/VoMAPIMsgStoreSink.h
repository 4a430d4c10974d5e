// The advise sink of TVoMAPIMsgStore, shared by the store's units.
#pragma once

#include "orba/VoMAPIMsgStore.h"

namespace orba {

// The advise sink MAPI calls; it holds no reference to its store (MAPI holds the sink,
// the store holds MAPI's store) and is detached when the store stops listening.
class TVoMAPIMsgStoreSink : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  explicit TVoMAPIMsgStoreSink(TVoMAPIMsgStore* Store) : store_(Store) {}
  void Detach() { store_ = nullptr; }

  ULONG STDMETHODCALLTYPE OnNotify(ULONG Count, LPNOTIFICATION Notifications) override {
    TVoMAPIMsgStore* store = store_;
    if (!store || !Notifications) return 0;
    ComPtr<IVoMAPIMsgStore> hold(store);  // a sink may drop the caller's last reference
    try {
      store->OnNotify(Count, Notifications);
    } catch (...) {
      // Nothing may travel back into MAPI: the failure is kept as the thread's error.
      store->SafeCallException();
    }
    return 0;
  }

 private:
  TVoMAPIMsgStore* store_;
};

}  // namespace orba
