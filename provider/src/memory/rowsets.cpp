// FreeProws and FreePadrlist: a row set or address list is one buffer, and each
// row's property array is a buffer of its own.
#include "base/export.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

ORBASTORE_EXPORT void FreeProws(LPSRowSet lpRows) {
  if (!lpRows) return;
  for (ULONG i = 0; i < lpRows->cRows; ++i) orba::store::FreeBuffer(lpRows->aRow[i].lpProps);
  orba::store::FreeBuffer(lpRows);
}

ORBASTORE_EXPORT void FreePadrlist(LPADRLIST lpAdrlist) {
  if (!lpAdrlist) return;
  for (ULONG i = 0; i < lpAdrlist->cEntries; ++i) orba::store::FreeBuffer(lpAdrlist->aEntries[i].rgPropVals);
  orba::store::FreeBuffer(lpAdrlist);
}
