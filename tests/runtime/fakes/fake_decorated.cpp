// A test double that exports FreeProws both plainly and under its decorated name. ELF
// tools cannot write an "@" into a symbol name, so the decorated one is exported as
// "FreeProwt04" (same length and same ELF hash as "FreeProws@4") and the test patches
// the name in a copy of this library.
#include "fakecontrol.h"
#include "mapi/mapiutil.h"

FAKE_EXPORT void FreeProws(LPSRowSet) { fake::Count("FreeProws"); }
FAKE_EXPORT void FreeProwt04(LPSRowSet) { fake::Count("FreeProws@4"); }
