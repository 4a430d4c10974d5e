// OLE structured storage (OBJIDL.H): IStorage, IEnumSTATSTG and ILockBytes with their
// types live in the support layer's COM basics, beside IStream; the seam re-exports them.
#pragma once

#include "orba/common/storage.h"
