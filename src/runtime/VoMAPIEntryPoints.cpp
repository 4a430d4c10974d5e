// The bound entry points: one slot per entry point, filled on first use from the
// loaded module and emptied when the module is unloaded.
#include "orba/VoMAPIEntryPoints.h"

#include <atomic>
#include <exception>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/format.h"
#include "orba/common/utf8.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba {

namespace {

enum TEntryPoint : size_t {
  epMAPIInitialize,
  epMAPIUninitialize,
  epMAPILogonEx,
  epMAPIAdminProfiles,
  epMAPIAllocateBuffer,
  epMAPIAllocateMore,
  epMAPIFreeBuffer,
  epMAPIGetDefaultMalloc,
  epFreeProws,
  epFreePadrlist,
  epHrQueryAllRows,
  epHrDispatchNotifications,
  epWrapCompressedRTFStream,
  epRTFSync,
  epScCreateConversationIndex,
  epMapStorageSCode,
  epOpenIMsgSession,
  epCloseIMsgSession,
  epOpenIMsgOnIStg,
  epMAPIOpenFormMgr,
  epMAPIOpenLocalFormContainer,
  epMAPILogon,
  epMAPILogoff,
  epMAPISendMail,
  epMAPISendDocuments,
  epMAPIFindNext,
  epMAPIReadMail,
  epMAPISaveMail,
  epMAPIDeleteMail,
  epMAPIAddress,
  epMAPIDetails,
  epMAPIResolveName,
  epCount
};

struct TEntryPointName {
  const char* Name;
  const char* Decorated;  // the decorated export name, tried first; nullptr if none
};

constexpr TEntryPointName kNames[epCount] = {{"MAPIInitialize", nullptr},
                                             {"MAPIUninitialize", nullptr},
                                             {"MAPILogonEx", nullptr},
                                             {"MAPIAdminProfiles", nullptr},
                                             {"MAPIAllocateBuffer", nullptr},
                                             {"MAPIAllocateMore", nullptr},
                                             {"MAPIFreeBuffer", nullptr},
                                             {"MAPIGetDefaultMalloc", "MAPIGetDefaultMalloc@0"},
                                             {"FreeProws", "FreeProws@4"},
                                             {"FreePadrlist", "FreePadrlist@4"},
                                             {"HrQueryAllRows", "HrQueryAllRows@24"},
                                             {"HrDispatchNotifications", "HrDispatchNotifications@4"},
                                             {"WrapCompressedRTFStream", "WrapCompressedRTFStream@12"},
                                             {"RTFSync", "RTFSync@12"},
                                             {"ScCreateConversationIndex", nullptr},
                                             {"MapStorageSCode", nullptr},
                                             {"OpenIMsgSession", nullptr},
                                             {"CloseIMsgSession", nullptr},
                                             {"OpenIMsgOnIStg", nullptr},
                                             {"MAPIOpenFormMgr", nullptr},
                                             {"MAPIOpenLocalFormContainer", nullptr},
                                             {"MAPILogon", nullptr},
                                             {"MAPILogoff", nullptr},
                                             {"MAPISendMail", nullptr},
                                             {"MAPISendDocuments", nullptr},
                                             {"MAPIFindNext", nullptr},
                                             {"MAPIReadMail", nullptr},
                                             {"MAPISaveMail", nullptr},
                                             {"MAPIDeleteMail", nullptr},
                                             {"MAPIAddress", nullptr},
                                             {"MAPIDetails", nullptr},
                                             {"MAPIResolveName", nullptr}};

std::atomic<void*> gSlots[epCount];

// The entry point's address, bound now if its slot is empty; nullptr when the module
// does not export it.
void* Lookup(TEntryPoint id) {
  if (void* bound = gSlots[id].load(std::memory_order_acquire)) return bound;
  std::lock_guard<std::recursive_mutex> lock(detail::VoMAPILibLock());
  TVoLibHandle module = detail::VoLockedMAPIModule();
  if (!module) kit::Raise(E_FAIL, u"MAPI hasn't been loaded yet!\r\nYou must first load the MAPI dll.");
  void* address = nullptr;
  if (kNames[id].Decorated) address = VoGetProcAddress(module, kNames[id].Decorated);
  if (!address) address = VoGetProcAddress(module, kNames[id].Name);
  gSlots[id].store(address, std::memory_order_release);
  return address;
}

template <class F>
F* Bind(TEntryPoint id) {
  void* address = Lookup(id);
  if (!address) kit::Raise(E_FAIL, Format(u"The loaded MAPI library does not support \"%s\"!", {kNames[id].Name}));
  return reinterpret_cast<F*>(address);
}

// A Simple MAPI call's result, checked.
ULONG Checked(ULONG result) {
  CheckSimpleMAPIResult(result);
  return result;
}

}  // namespace

namespace detail {
void VoClearEntryPoints() {
  for (auto& slot : gSlots) slot.store(nullptr, std::memory_order_release);
}
}  // namespace detail

HRESULT MAPIInitialize(LPVOID lpMapiInit) {
  auto call = Bind<MAPIINITIALIZE>(epMAPIInitialize);
  try {
    return call(lpMapiInit);
  } catch (const std::exception& e) {
    const auto* voError = dynamic_cast<const EVoException*>(&e);
    WideString message = voError ? voError->Message() : FromUtf8(e.what());
    kit::Raise(voError && voError->Code() ? voError->Code() : E_FAIL,
               u"The MAPIInitialize call failed!\r\n" + message + u"\r\n" +
                   u"Check the \"DLLPathEx\" key in \"[HKLM]\\Software\\Clients\\Mail\\Microsoft "
                   u"Outlook\"!\r\n"
                   u"The MAPIInitialize can fail if this key is missing or when it creates a "
                   u"reference to a non-existing dll.\r\n\r\n"
                   u"When this happens under a debugger, let the debugger pass the library's own\r\n"
                   u"exceptions on to it instead of stopping at them.");
  }
}

void MAPIUninitialize() { Bind<MAPIUNINITIALIZE>(epMAPIUninitialize)(); }

HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG ulFlags,
                    LPMAPISESSION* lppSession) {
  return Bind<MAPILOGONEX>(epMAPILogonEx)(ulUIParam, lpszProfileName, lpszPassword, ulFlags, lppSession);
}

HRESULT MAPIAdminProfiles(ULONG ulFlags, LPPROFADMIN* lppProfAdmin) {
  return Bind<MAPIADMINPROFILES>(epMAPIAdminProfiles)(ulFlags, lppProfAdmin);
}

LPMALLOC MAPIGetDefaultMalloc() { return Bind<MAPIGETDEFAULTMALLOC>(epMAPIGetDefaultMalloc)(); }

void MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  SCODE result = Bind<MAPIALLOCATEBUFFER>(epMAPIAllocateBuffer)(cbSize, lppBuffer);
  if (result != S_OK) kit::Raise(result, u"An error occurred while allocating MAPI memory!");
}

void MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  SCODE result = Bind<MAPIALLOCATEMORE>(epMAPIAllocateMore)(cbSize, lpObject, lppBuffer);
  if (result != S_OK) kit::Raise(result, u"An error occurred while allocating more MAPI memory!");
}

void MAPIFreeBuffer(LPVOID lpBuffer) {
  ULONG result = Bind<MAPIFREEBUFFER>(epMAPIFreeBuffer)(lpBuffer);
  if (result != S_OK) kit::Raise(static_cast<HRESULT>(result), u"An error occurred while freeing a MAPI buffer!");
}

void FreeProws(LPSRowSet lpRows) { Bind<FREEPROWS>(epFreeProws)(lpRows); }

void FreePadrlist(LPADRLIST lpAdrlist) { Bind<FREEPADRLIST>(epFreePadrlist)(lpAdrlist); }

HRESULT HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                       LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows) {
  return Bind<HRQUERYALLROWS>(epHrQueryAllRows)(lpTable, lpPropTags, lpRestriction, lpSortOrderSet, crowsMax, lppRows);
}

HRESULT HrDispatchNotifications(ULONG ulFlags) {
  return Bind<HRDISPATCHNOTIFICATIONS>(epHrDispatchNotifications)(ulFlags);
}

HRESULT WrapCompressedRTFStream(LPSTREAM lpCompressedRTFStream, ULONG ulFlags, LPSTREAM* lpUncompressedRTFStream) {
  return Bind<WRAPCOMPRESSEDRTFSTREAM>(epWrapCompressedRTFStream)(lpCompressedRTFStream, ulFlags,
                                                                  lpUncompressedRTFStream);
}

HRESULT RTFSync(LPMESSAGE lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated) {
  return Bind<RTFSYNC>(epRTFSync)(lpMessage, ulFlags, lpfMessageUpdated);
}

SCODE ScCreateConversationIndex(ULONG cbParent, LPBYTE lpbParent, ULONG* lpcbConvIndex, LPBYTE* lppbConvIndex) {
  return Bind<SCCREATECONVERSATIONINDEX>(epScCreateConversationIndex)(cbParent, lpbParent, lpcbConvIndex,
                                                                      lppbConvIndex);
}

SCODE MapStorageSCode(SCODE StgSCode) { return Bind<MAPSTORAGESCODE>(epMapStorageSCode)(StgSCode); }

SCODE OpenIMsgSession(LPMALLOC lpMalloc, ULONG ulFlags, LPMSGSESS* lppMsgSess) {
  return Bind<OPENIMSGSESSION>(epOpenIMsgSession)(lpMalloc, ulFlags, lppMsgSess);
}

void CloseIMsgSession(LPMSGSESS lpMsgSess) { Bind<CLOSEIMSGSESSION>(epCloseIMsgSession)(lpMsgSess); }

SCODE OpenIMsgOnIStg(LPMSGSESS lpMsgSess, LPALLOCATEBUFFER lpAllocateBuffer, LPALLOCATEMORE lpAllocateMore,
                     LPFREEBUFFER lpFreeBuffer, LPMALLOC lpMalloc, LPVOID lpMapiSup, LPSTORAGE lpStg,
                     MSGCALLRELEASE* lpfMsgCallRelease, ULONG ulCallerData, ULONG ulFlags, LPMESSAGE* lppMsg) {
  return Bind<OPENIMSGONISTG>(epOpenIMsgOnIStg)(lpMsgSess, lpAllocateBuffer, lpAllocateMore, lpFreeBuffer, lpMalloc,
                                                lpMapiSup, lpStg, lpfMsgCallRelease, ulCallerData, ulFlags, lppMsg);
}

HRESULT MAPIOpenFormMgr(LPMAPISESSION pSession, LPMAPIFORMMGR* ppmgr) {
  return Bind<MAPIOPENFORMMGR>(epMAPIOpenFormMgr)(pSession, ppmgr);
}

HRESULT MAPIOpenLocalFormContainer(LPMAPIFORMCONTAINER* ppfcnt) {
  return Bind<MAPIOPENLOCALFORMCONTAINER>(epMAPIOpenLocalFormContainer)(ppfcnt);
}

ULONG MAPILogon(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, FLAGS flFlags, ULONG ulReserved,
                LPLHANDLE lplhSession) {
  if (!lplhSession) kit::Raise(E_INVALIDARG, u"MAPILogon: no session handle variable was given.");
  *lplhSession = 0;
  auto call = reinterpret_cast<MAPILOGON*>(Lookup(epMAPILogon));
  if (!call) {
    *lplhSession = 1;  // a library without Simple MAPI logon: nothing to log off later
    return simplemapi::SUCCESS_SUCCESS;
  }
  LHANDLE handle = 0;
  ULONG result = call(ulUIParam, lpszProfileName, lpszPassword, flFlags, ulReserved, &handle);
  if (handle == 0 && (result == simplemapi::SUCCESS_SUCCESS || result == simplemapi::MAPI_E_FAILURE)) {
    *lplhSession = 1;
    return simplemapi::SUCCESS_SUCCESS;
  }
  CheckSimpleMAPIResult(result);
  if (handle == 0)
    kit::Raise(simplemapi::MAPI_E_LOGON_FAILURE,
               u"The MAPILogon returned an invalid session handle.\r\nPlease verify your account "
               u"configuration!");
  *lplhSession = handle;
  return result;
}

ULONG MAPILogoff(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags, ULONG ulReserved) {
  return Checked(Bind<MAPILOGOFF>(epMAPILogoff)(lhSession, ulUIParam, flFlags, ulReserved));
}

ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage, FLAGS flFlags, ULONG ulReserved) {
  return Checked(Bind<MAPISENDMAIL>(epMAPISendMail)(lhSession, ulUIParam, lpMessage, flFlags, ulReserved));
}

ULONG MAPISendDocuments(ULONG_PTR ulUIParam, LPSTR lpszDelimChar, LPSTR lpszFilePaths, LPSTR lpszFileNames,
                        ULONG ulReserved) {
  return Checked(
      Bind<MAPISENDDOCUMENTS>(epMAPISendDocuments)(ulUIParam, lpszDelimChar, lpszFilePaths, lpszFileNames, ulReserved));
}

ULONG MAPIFindNext(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageType, LPSTR lpszSeedMessageID,
                   FLAGS flFlags, ULONG ulReserved, LPSTR lpszMessageID) {
  return Checked(Bind<MAPIFINDNEXT>(epMAPIFindNext)(lhSession, ulUIParam, lpszMessageType, lpszSeedMessageID, flFlags,
                                                    ulReserved, lpszMessageID));
}

ULONG MAPIReadMail(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID, FLAGS flFlags, ULONG ulReserved,
                   lpMapiMessage* lppMessage) {
  return Checked(
      Bind<MAPIREADMAIL>(epMAPIReadMail)(lhSession, ulUIParam, lpszMessageID, flFlags, ulReserved, lppMessage));
}

ULONG MAPISaveMail(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage, FLAGS flFlags, ULONG ulReserved,
                   LPSTR lpszMessageID) {
  return Checked(
      Bind<MAPISAVEMAIL>(epMAPISaveMail)(lhSession, ulUIParam, lpMessage, flFlags, ulReserved, lpszMessageID));
}

ULONG MAPIDeleteMail(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID, FLAGS flFlags, ULONG ulReserved) {
  return Checked(Bind<MAPIDELETEMAIL>(epMAPIDeleteMail)(lhSession, ulUIParam, lpszMessageID, flFlags, ulReserved));
}

ULONG MAPIAddress(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszCaption, ULONG nEditFields, LPSTR lpszLabels,
                  ULONG nRecips, lpMapiRecipDesc lpRecips, FLAGS flFlags, ULONG ulReserved, LPULONG lpnNewRecips,
                  lpMapiRecipDesc* lppNewRecips) {
  return Checked(Bind<MAPIADDRESS>(epMAPIAddress)(lhSession, ulUIParam, lpszCaption, nEditFields, lpszLabels, nRecips,
                                                  lpRecips, flFlags, ulReserved, lpnNewRecips, lppNewRecips));
}

ULONG MAPIDetails(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiRecipDesc lpRecip, FLAGS flFlags, ULONG ulReserved) {
  return Checked(Bind<MAPIDETAILS>(epMAPIDetails)(lhSession, ulUIParam, lpRecip, flFlags, ulReserved));
}

ULONG MAPIResolveName(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszName, FLAGS flFlags, ULONG ulReserved,
                      lpMapiRecipDesc* lppRecip) {
  return Checked(
      Bind<MAPIRESOLVENAME>(epMAPIResolveName)(lhSession, ulUIParam, lpszName, flFlags, ulReserved, lppRecip));
}

}  // namespace orba
