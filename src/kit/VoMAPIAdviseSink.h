// The advise sink MAPI calls for a wrapper that listens to its MAPI object (a table's
// rows, a store's objects).
#pragma once

#include <mutex>

#include "mapi/mapidefs.h"
#include "orba/common/comobject.h"
#include "orba/common/comptr.h"

namespace orba {

// Hands each call to Handler of its owner. It holds no reference to the owner (MAPI
// holds the sink, the owner holds MAPI's object): the owner detaches it when it stops
// listening. MAPI may call from the thread that changed the data, so Detach waits for a
// call in progress, and an owner whose last reference is already going is left alone.
template <class Owner>
class TVoMAPIAdviseSink : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  using THandler = void (Owner::*)(ULONG Count, const NOTIFICATION* Notifications);

  TVoMAPIAdviseSink(Owner* Target, THandler Handler) : owner_(Target), handler_(Handler) {}
  void Detach() {
    std::lock_guard lock(mutex_);
    owner_ = nullptr;
  }

  ULONG STDMETHODCALLTYPE OnNotify(ULONG Count, LPNOTIFICATION Notifications) override {
    if (!Notifications) return 0;
    // The owner's handler may unadvise, which lets MAPI release this sink.
    ComPtr<IMAPIAdviseSink> self(this);
    // Recursive: a handler may stop its owner's notifications, which detaches this sink.
    std::lock_guard lock(mutex_);
    if (!owner_ || !owner_->TryAddRef()) return 0;
    // A handler may drop the caller's last reference.
    ComPtr<Owner> owner = ComPtr<Owner>::Attach(owner_);
    try {
      (owner.get()->*handler_)(Count, Notifications);
    } catch (...) {
      // Nothing may travel back into MAPI: the failure is kept as the thread's error.
      owner->SafeCallException();
    }
    return 0;
  }

 private:
  std::recursive_mutex mutex_;
  Owner* owner_;
  THandler handler_;
};

}  // namespace orba
