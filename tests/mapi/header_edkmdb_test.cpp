// The header compiles on its own, without any other seam header before it.
#include "mapi/edkmdb.h"
