// Every declaration of the MAPI seam.
#pragma once

#include "mapi/acctmgmt.h"
#include "mapi/edkmdb.h"
#include "mapi/imessage.h"
#include "mapi/mapicode.h"
#include "mapi/mapidefs.h"
#include "mapi/mapiexports.h"
#include "mapi/mapiform.h"
#include "mapi/mapiguid.h"
#include "mapi/mapitypes.h"
#include "mapi/mapiutil.h"
#include "mapi/mapix.h"
#include "mapi/mimeole.h"
#include "mapi/simplemapi.h"
#include "mapi/storage.h"
