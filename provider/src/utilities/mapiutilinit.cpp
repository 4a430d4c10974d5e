#include "base/export.h"
#include "mapi/mapiexports.h"

// MAPI's utility functions work in Orba Store without any set-up (their memory is MAPI
// memory, which needs none, and HrThisThreadAdviseSink makes its thread's queue on first
// use), so initialising them only checks the reserved flags, and ending them has
// nothing to undo.
ORBASTORE_EXPORT SCODE ScInitMapiUtil(ULONG ulFlags) { return ulFlags ? MAPI_E_UNKNOWN_FLAGS : S_OK; }

ORBASTORE_EXPORT void DeinitMapiUtil() {}
