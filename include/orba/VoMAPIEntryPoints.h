// The flat entry points of the loaded MAPI client library, bound by name on first use.
//
// Each function has the entry point's own name and published signature and calls the
// loaded library's export. A bound address is kept in the entry point's slot until the
// library is unloaded. Names that have a decorated export name ("FreeProws@4") are
// looked up with it first. A missing entry point raises EVoMAPIException (E_FAIL)
// "The loaded MAPI library does not support "<name>"!"; without a loaded library the
// call raises "MAPI hasn't been loaded yet!...".
//
// Extended MAPI entry points return MAPI's result for the caller to check. The Simple
// MAPI ones pass their results through CheckSimpleMAPIResult and return the result it
// let through. The buffer functions raise their own texts when they fail.
#pragma once

#include "mapi/imessage.h"
#include "mapi/mapiform.h"
#include "mapi/mapiutil.h"
#include "mapi/mapix.h"
#include "mapi/simplemapi.h"

namespace orba {

// Extended MAPI. MAPIInitialize re-raises a failure inside the library's call with a
// hint on the client registration.
MAPIINITIALIZE MAPIInitialize;
MAPIUNINITIALIZE MAPIUninitialize;
MAPILOGONEX MAPILogonEx;
MAPIADMINPROFILES MAPIAdminProfiles;
MAPIGETDEFAULTMALLOC MAPIGetDefaultMalloc;

// MAPI memory; each raises when the library's call fails.
void MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
void MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
void MAPIFreeBuffer(LPVOID lpBuffer);

// Utilities.
FREEPROWS FreeProws;
FREEPADRLIST FreePadrlist;
HRQUERYALLROWS HrQueryAllRows;
HRDISPATCHNOTIFICATIONS HrDispatchNotifications;
WRAPCOMPRESSEDRTFSTREAM WrapCompressedRTFStream;
RTFSYNC RTFSync;
SCCREATECONVERSATIONINDEX ScCreateConversationIndex;
MAPSTORAGESCODE MapStorageSCode;

// Messages on structured storage.
OPENIMSGSESSION OpenIMsgSession;
CLOSEIMSGSESSION CloseIMsgSession;
OPENIMSGONISTG OpenIMsgOnIStg;

// Forms.
MAPIOPENFORMMGR MAPIOpenFormMgr;
MAPIOPENLOCALFORMCONTAINER MAPIOpenLocalFormContainer;

// Simple MAPI. MAPILogon delivers the handle 1 for a logon without a session of its
// own (the library returned none, or has no MAPILogon): MAPILogoff is only for handles
// above 1. A result CheckSimpleMAPIResult lets pass that comes without a handle
// raises code 3 "The MAPILogon returned an invalid session handle...".
MAPILOGON MAPILogon;
MAPILOGOFF MAPILogoff;
MAPISENDMAIL MAPISendMail;
MAPISENDDOCUMENTS MAPISendDocuments;
MAPIFINDNEXT MAPIFindNext;
MAPIREADMAIL MAPIReadMail;
MAPISAVEMAIL MAPISaveMail;
MAPIDELETEMAIL MAPIDeleteMail;
MAPIADDRESS MAPIAddress;
MAPIDETAILS MAPIDetails;
MAPIRESOLVENAME MAPIResolveName;

}  // namespace orba
