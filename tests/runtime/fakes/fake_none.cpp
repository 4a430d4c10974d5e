// A test double of a library without any MAPI entry point.
#include "fakecontrol.h"

FAKE_EXPORT int UnrelatedFunction() { return 1; }
