#include "base/export.h"
#include "mapi/mapiexports.h"

// Orba Store delivers every notification synchronously, on the thread that changed
// the data, before the changing call returns; there is never a queue to dispatch,
// so this succeeds without doing anything. ulFlags is reserved.
ORBASTORE_EXPORT HRESULT HrDispatchNotifications(ULONG /*ulFlags*/) { return S_OK; }
