// The flat entry points a MAPI client library exports by name, with C linkage.
// A provider library includes this header so that its definitions are checked
// against the published signatures; clients bind the entry points at run time
// through the LP... function pointer types instead of calling these declarations.
#pragma once

#include "mapi/imessage.h"
#include "mapi/mapiform.h"
#include "mapi/mapiutil.h"
#include "mapi/mapix.h"
#include "mapi/simplemapi.h"

extern "C" {

// Extended MAPI.
MAPIINITIALIZE MAPIInitialize;
MAPIUNINITIALIZE MAPIUninitialize;
MAPILOGONEX MAPILogonEx;
MAPIADMINPROFILES MAPIAdminProfiles;
MAPIALLOCATEBUFFER MAPIAllocateBuffer;
MAPIALLOCATEMORE MAPIAllocateMore;
MAPIFREEBUFFER MAPIFreeBuffer;
MAPIGETDEFAULTMALLOC MAPIGetDefaultMalloc;

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

// Simple MAPI.
MAPILOGON MAPILogon;
MAPILOGOFF MAPILogoff;
MAPISENDMAIL MAPISendMail;
MAPISENDMAILW MAPISendMailW;
MAPISENDDOCUMENTS MAPISendDocuments;
MAPIFINDNEXT MAPIFindNext;
MAPIREADMAIL MAPIReadMail;
MAPISAVEMAIL MAPISaveMail;
MAPIDELETEMAIL MAPIDeleteMail;
MAPIADDRESS MAPIAddress;
MAPIDETAILS MAPIDetails;
MAPIRESOLVENAME MAPIResolveName;

}  // extern "C"
