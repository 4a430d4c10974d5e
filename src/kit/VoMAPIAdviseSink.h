// The advise sink MAPI calls for a wrapper that listens to its MAPI object (a table's
// rows, a store's objects).
#pragma once

#include "mapi/mapidefs.h"
#include "orba/common/comobject.h"
#include "orba/common/comptr.h"

namespace orba {

// Hands each call to Handler of its owner. It holds no reference to the owner (MAPI
// holds the sink, the owner holds MAPI's object): the owner detaches it when it stops
// listening.
template <class Owner>
class TVoMAPIAdviseSink : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  using THandler = void (Owner::*)(ULONG Count, const NOTIFICATION* Notifications);

  TVoMAPIAdviseSink(Owner* Target, THandler Handler) : owner_(Target), handler_(Handler) {}
  void Detach() { owner_ = nullptr; }

  ULONG STDMETHODCALLTYPE OnNotify(ULONG Count, LPNOTIFICATION Notifications) override {
    Owner* owner = owner_;
    if (!owner || !Notifications) return 0;
    ComPtr<Owner> hold(owner);  // a handler may drop the caller's last reference
    try {
      (owner->*handler_)(Count, Notifications);
    } catch (...) {
      // Nothing may travel back into MAPI: the failure is kept as the thread's error.
      owner->SafeCallException();
    }
    return 0;
  }

 private:
  Owner* owner_;
  THandler handler_;
};

}  // namespace orba
