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
SCINITMAPIUTIL ScInitMapiUtil;
DEINITMAPIUTIL DeinitMapiUtil;
PROPCOPYMORE PropCopyMore;
ULPROPSIZE UlPropSize;
FPROPCONTAINSPROP FPropContainsProp;
FPROPCOMPAREPROP FPropCompareProp;
LPROPCOMPAREPROP LPropCompareProp;
PPROPFINDPROP PpropFindProp;
LPVALFINDPROP LpValFindProp;
SCCOUNTPROPS ScCountProps;
SCCOPYPROPS ScCopyProps;
SCRELOCPROPS ScRelocProps;
SCDUPPROPSET ScDupPropset;
HRGETONEPROP HrGetOneProp;
HRSETONEPROP HrSetOneProp;
FPROPEXISTS FPropExists;
CREATEIPROP CreateIProp;
SWAPPWORD SwapPword;
SWAPPLONG SwapPlong;
HEXFROMBIN HexFromBin;
FBINFROMHEX FBinFromHex;
UFROMSZ UFromSz;
ULFROMSZHEX UlFromSzHex;
CBOFENCODED CbOfEncoded;
ISBADBOUNDEDSTRINGPTR IsBadBoundedStringPtr;
HRALLOCADVISESINK HrAllocAdviseSink;
HRTHISTHREADADVISESINK HrThisThreadAdviseSink;

// Validation.
FBADRGLPSZA FBadRglpszA;
FBADRGLPSZW FBadRglpszW;
FBADROWSET FBadRowSet;
FBADROW FBadRow;
FBADPROP FBadProp;
FBADPROPTAG FBadPropTag;
FBADCOLUMNSET FBadColumnSet;
FBADSORTORDERSET FBadSortOrderSet;
FBADRESTRICTION FBadRestriction;

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
