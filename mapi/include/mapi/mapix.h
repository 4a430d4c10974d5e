// Extended MAPI: sessions, the address book, profile and message service
// administration, and the base entry points, in the published order of MAPIX.H.
#pragma once

#include "mapi/mapidefs.h"

struct IProfAdmin;
struct IMsgServiceAdmin;
struct IMAPISession;
using LPPROFADMIN = IProfAdmin*;
using LPSERVICEADMIN = IMsgServiceAdmin*;
using LPMAPISESSION = IMAPISession*;

using FLAGS = ULONG;

// Logon flags, shared with Simple MAPI ------------------------------------------------

inline constexpr ULONG MAPI_LOGON_UI = 0x00000001;
inline constexpr ULONG MAPI_NEW_SESSION = 0x00000002;
inline constexpr ULONG MAPI_ALLOW_OTHERS = 0x00000008;
inline constexpr ULONG MAPI_EXPLICIT_PROFILE = 0x00000010;
inline constexpr ULONG MAPI_EXTENDED = 0x00000020;
inline constexpr ULONG MAPI_FORCE_DOWNLOAD = 0x00001000;
inline constexpr ULONG MAPI_SERVICE_UI_ALWAYS = 0x00002000;
inline constexpr ULONG MAPI_NO_MAIL = 0x00008000;
inline constexpr ULONG MAPI_NT_SERVICE = 0x00010000;  // also a MAPIInitialize flag
inline constexpr ULONG MAPI_PASSWORD_UI = 0x00020000;
inline constexpr ULONG MAPI_TIMEOUT_SHORT = 0x00100000;
inline constexpr ULONG MAPI_BG_SESSION = 0x00200000;  // profile access in the background

inline constexpr ULONG MAPI_SIMPLE_DEFAULT = MAPI_LOGON_UI | MAPI_FORCE_DOWNLOAD | MAPI_ALLOW_OTHERS;
inline constexpr ULONG MAPI_SIMPLE_EXPLICIT = MAPI_NEW_SESSION | MAPI_FORCE_DOWNLOAD | MAPI_EXPLICIT_PROFILE;

// MAPIInitialize --------------------------------------------------------------------------

struct MAPIINIT_0 {
  ULONG ulVersion;  // MAPI_INIT_VERSION
  ULONG ulFlags;
};
using LPMAPIINIT_0 = MAPIINIT_0*;
using MAPIINIT = MAPIINIT_0;
using LPMAPIINIT = MAPIINIT*;

inline constexpr ULONG MAPI_INIT_VERSION = 0;
inline constexpr ULONG MAPI_MULTITHREAD_NOTIFICATIONS = 0x00000001;
inline constexpr ULONG MAPI_NO_COINIT = 0x00000008;

// IMAPISession ------------------------------------------------------------------------------

// Logoff.
inline constexpr ULONG MAPI_LOGOFF_SHARED = 0x00000001;
inline constexpr ULONG MAPI_LOGOFF_UI = 0x00000002;

// SetDefaultStore (mutually exclusive).
inline constexpr ULONG MAPI_DEFAULT_STORE = 0x00000001;
inline constexpr ULONG MAPI_SIMPLE_STORE_TEMPORARY = 0x00000002;
inline constexpr ULONG MAPI_SIMPLE_STORE_PERMANENT = 0x00000003;
inline constexpr ULONG MAPI_PRIMARY_STORE = 0x00000004;
inline constexpr ULONG MAPI_SECONDARY_STORE = 0x00000005;

// ShowForm.
inline constexpr ULONG MAPI_POST_MESSAGE = 0x00000001;
inline constexpr ULONG MAPI_NEW_MESSAGE = 0x00000002;

// A logged-on session.
struct IMAPISession : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenMsgStore)
  (ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) PURE;
  STDMETHOD(OpenAddressBook)(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags, LPADRBOOK* lppAdrBook) PURE;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) PURE;
  STDMETHOD(GetStatusTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) PURE;
  STDMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
   ULONG_PTR* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) PURE;
  STDMETHOD(MessageOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPTSTR lpszAdrType, LPMESSAGE lpMessage) PURE;
  STDMETHOD(QueryDefaultMessageOpt)(LPTSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) PURE;
  STDMETHOD(EnumAdrTypes)(ULONG ulFlags, ULONG* lpcAdrTypes, LPTSTR** lpppszAdrTypes) PURE;
  STDMETHOD(QueryIdentity)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
  STDMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) PURE;
  STDMETHOD(SetDefaultStore)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(AdminServices)(ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) PURE;
  STDMETHOD(ShowForm)
  (ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder, LPCIID lpInterface, ULONG ulMessageToken,
   LPMESSAGE lpMessageSent, ULONG ulFlags, ULONG ulMessageStatus, ULONG ulMessageFlags, ULONG ulAccess,
   LPSTR lpszMessageClass) PURE;
  STDMETHOD(PrepareForm)(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG* lpulMessageToken) PURE;
};

// IAddrBook ---------------------------------------------------------------------------------

// The session's address book: every address book provider behind one object.
struct IAddrBook : IMAPIProp {
  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) PURE;
  STDMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
   ULONG_PTR* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) PURE;
  STDMETHOD(CreateOneOff)
  (LPTSTR lpszName, LPTSTR lpszAdrType, LPTSTR lpszAddress, ULONG ulFlags, ULONG* lpcbEntryID,
   LPENTRYID* lppEntryID) PURE;
  STDMETHOD(NewEntry)
  (ULONG_PTR ulUIParam, ULONG ulFlags, ULONG cbEIDContainer, LPENTRYID lpEIDContainer, ULONG cbEIDNewEntryTpl,
   LPENTRYID lpEIDNewEntryTpl, ULONG* lpcbEIDNewEntry, LPENTRYID* lppEIDNewEntry) PURE;
  STDMETHOD(ResolveName)(ULONG_PTR ulUIParam, ULONG ulFlags, LPTSTR lpszNewEntryTitle, LPADRLIST lpAdrList) PURE;
  STDMETHOD(Address)(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST* lppAdrList) PURE;
  STDMETHOD(Details)
  (ULONG_PTR* lpulUIParam, LPFNDISMISS lpfnDismiss, LPVOID lpvDismissContext, ULONG cbEntryID, LPENTRYID lpEntryID,
   LPFNBUTTON lpfButtonCallback, LPVOID lpvButtonContext, LPTSTR lpszButtonText, ULONG ulFlags) PURE;
  STDMETHOD(RecipOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPADRENTRY lpRecip) PURE;
  STDMETHOD(QueryDefaultRecipOpt)(LPTSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) PURE;
  STDMETHOD(GetPAB)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
  STDMETHOD(SetPAB)(ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(GetDefaultDir)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
  STDMETHOD(SetDefaultDir)(ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(GetSearchPath)(ULONG ulFlags, LPSRowSet* lppSearchPath) PURE;
  STDMETHOD(SetSearchPath)(ULONG ulFlags, LPSRowSet lpSearchPath) PURE;
  STDMETHOD(PrepareRecips)(ULONG ulFlags, LPSPropTagArray lpPropTagArray, LPADRLIST lpRecipList) PURE;
};

// IProfAdmin --------------------------------------------------------------------------------

// CreateProfile.
inline constexpr ULONG MAPI_DEFAULT_SERVICES = 0x00000001;

// Administers the profiles of the user.
struct IProfAdmin : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetProfileTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(CreateProfile)(LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam, ULONG ulFlags) PURE;
  STDMETHOD(DeleteProfile)(LPTSTR lpszProfileName, ULONG ulFlags) PURE;
  STDMETHOD(ChangeProfilePassword)
  (LPTSTR lpszProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewPassword, ULONG ulFlags) PURE;
  STDMETHOD(CopyProfile)
  (LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam,
   ULONG ulFlags) PURE;
  STDMETHOD(RenameProfile)
  (LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam,
   ULONG ulFlags) PURE;
  STDMETHOD(SetDefaultProfile)(LPTSTR lpszProfileName, ULONG ulFlags) PURE;
  STDMETHOD(AdminServices)
  (LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam, ULONG ulFlags,
   LPSERVICEADMIN* lppServiceAdmin) PURE;
};

// IMsgServiceAdmin --------------------------------------------------------------------------

// Resource flags of the message service table.
inline constexpr ULONG SERVICE_DEFAULT_STORE = 0x00000001;
inline constexpr ULONG SERVICE_SINGLE_COPY = 0x00000002;
inline constexpr ULONG SERVICE_CREATE_WITH_STORE = 0x00000004;
inline constexpr ULONG SERVICE_PRIMARY_IDENTITY = 0x00000008;
inline constexpr ULONG SERVICE_NO_PRIMARY_IDENTITY = 0x00000020;

// Administers the message services of one profile.
struct IMsgServiceAdmin : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetMsgServiceTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(CreateMsgService)(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR ulUIParam, ULONG ulFlags) PURE;
  STDMETHOD(DeleteMsgService)(LPMAPIUID lpUID) PURE;
  STDMETHOD(CopyMsgService)
  (LPMAPIUID lpUID, LPTSTR lpszDisplayName, LPCIID lpInterfaceToCopy, LPCIID lpInterfaceDst, LPVOID lpObjectDst,
   ULONG_PTR ulUIParam, ULONG ulFlags) PURE;
  STDMETHOD(RenameMsgService)(LPMAPIUID lpUID, ULONG ulFlags, LPTSTR lpszDisplayName) PURE;
  STDMETHOD(ConfigureMsgService)
  (LPMAPIUID lpUID, ULONG_PTR ulUIParam, ULONG ulFlags, ULONG cValues, LPSPropValue lpProps) PURE;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) PURE;
  STDMETHOD(MsgServiceTransportOrder)(ULONG cUID, LPMAPIUID lpUIDList, ULONG ulFlags) PURE;
  STDMETHOD(AdminProviders)(LPMAPIUID lpUID, ULONG ulFlags, LPPROVIDERADMIN* lppProviderAdmin) PURE;
  STDMETHOD(SetPrimaryIdentity)(LPMAPIUID lpUID, ULONG ulFlags) PURE;
  STDMETHOD(GetProviderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
};

ORBA_DECLARE_INTERFACE(IMAPISession, IUnknown, IID_IMAPISession);
ORBA_DECLARE_INTERFACE(IAddrBook, IMAPIProp, IID_IAddrBook);
ORBA_DECLARE_INTERFACE(IProfAdmin, IUnknown, IID_IProfAdmin);
ORBA_DECLARE_INTERFACE(IMsgServiceAdmin, IUnknown, IID_IMsgServiceAdmin);

// Base entry points ----------------------------------------------------------------------------

using MAPIINITIALIZE = HRESULT(LPVOID lpMapiInit);
using LPMAPIINITIALIZE = MAPIINITIALIZE*;
using MAPIUNINITIALIZE = void();
using LPMAPIUNINITIALIZE = MAPIUNINITIALIZE*;

using MAPILOGONEX = HRESULT(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG ulFlags,
                            LPMAPISESSION* lppSession);
using LPMAPILOGONEX = MAPILOGONEX*;

using MAPIALLOCATEBUFFER = SCODE(ULONG cbSize, LPVOID* lppBuffer);
using MAPIALLOCATEMORE = SCODE(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
using MAPIFREEBUFFER = ULONG(LPVOID lpBuffer);
using LPMAPIALLOCATEBUFFER = MAPIALLOCATEBUFFER*;
using LPMAPIALLOCATEMORE = MAPIALLOCATEMORE*;
using LPMAPIFREEBUFFER = MAPIFREEBUFFER*;

using MAPIADMINPROFILES = HRESULT(ULONG ulFlags, LPPROFADMIN* lppProfAdmin);
using LPMAPIADMINPROFILES = MAPIADMINPROFILES*;
