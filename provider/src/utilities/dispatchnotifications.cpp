#include "base/export.h"
#include "base/lasterror.h"
#include "mapi/mapiexports.h"
#include "utilities/threadnotifications.h"

// Orba Store delivers notifications synchronously, on the thread that changed the data,
// before the changing call returns; only sinks made by HrThisThreadAdviseSink wait for
// their own thread, and this delivers what waits for the calling thread. ulFlags is
// reserved.
ORBASTORE_EXPORT HRESULT HrDispatchNotifications(ULONG /*ulFlags*/) {
  return orba::store::Guarded([] {
    orba::store::TThreadQueue::DispatchThisThread();
    return S_OK;
  });
}
