// MAPIInitialize and MAPIUninitialize: a per-process count, as MAPI keeps it.
#include "session/mapiinit.h"

#include <atomic>

#include "base/export.h"
#include "mapi/mapiexports.h"
#include "session/sessionstate.h"

namespace orba::store {
namespace {

std::atomic<int> initCount{0};

}  // namespace

bool IsMapiInitialized() { return initCount.load() > 0; }

}  // namespace orba::store

// lpMapiInit may be null; otherwise ulVersion must be MAPI_INIT_VERSION and ulFlags may
// hold MAPI_MULTITHREAD_NOTIFICATIONS, MAPI_NT_SERVICE and MAPI_NO_COINIT only.
// Notifications are delivered on the thread that changed the data either way.
ORBASTORE_EXPORT HRESULT MAPIInitialize(LPVOID lpMapiInit) {
  if (const auto* init = static_cast<const MAPIINIT_0*>(lpMapiInit)) {
    if (init->ulVersion != MAPI_INIT_VERSION) return MAPI_E_INVALID_PARAMETER;
    if (init->ulFlags & ~(MAPI_MULTITHREAD_NOTIFICATIONS | MAPI_NT_SERVICE | MAPI_NO_COINIT))
      return MAPI_E_UNKNOWN_FLAGS;
  }
  ++orba::store::initCount;
  return S_OK;
}

// An unbalanced call (count already zero) changes nothing. The last one ends every
// session still logged on: the subsystem is going away.
ORBASTORE_EXPORT void MAPIUninitialize() {
  int count = orba::store::initCount.load();
  while (count > 0 && !orba::store::initCount.compare_exchange_weak(count, count - 1)) {
  }
  if (count == 1) {
    try {
      orba::store::EndAllSessions();
    } catch (...) {
      // Nothing can be reported from here; every session is marked ended before its
      // sinks are called.
    }
  }
}
