// MAPI forms (MAPIFORM.H): the form manager and form registries, forms and their
// persistence, and the message site and view context a client offers a form.
// Methods are in the published order.
#pragma once

#include "mapi/mapix.h"

// Windows types the form interfaces mention.
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPCRECT = const RECT*;
using HICON = void*;
using HGLOBAL = void*;

// COM's class factory, handed out by form factories.
struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(LPUNKNOWN pUnkOuter, REFIID riid, void** ppvObject) PURE;
  STDMETHOD(LockServer)(BOOL fLock) PURE;
};
using LPCLASSFACTORY = IClassFactory*;
inline constexpr IID IID_IClassFactory = MakeOleGuid(0x00000001);

// A form registry container.
using HFRMREG = ULONG;
inline constexpr HFRMREG HFRMREG_DEFAULT = 0;
inline constexpr HFRMREG HFRMREG_LOCAL = 1;
inline constexpr HFRMREG HFRMREG_PERSONAL = 2;
inline constexpr HFRMREG HFRMREG_FOLDER = 3;

struct IPersistMessage;
struct IMAPIMessageSite;
struct IMAPIViewContext;
struct IMAPIViewAdviseSink;
struct IMAPIFormAdviseSink;
struct IMAPIFormInfo;
struct IMAPIFormMgr;
struct IMAPIFormContainer;
struct IMAPIForm;
struct IMAPIFormFactory;
using LPPERSISTMESSAGE = IPersistMessage*;
using LPMAPIMESSAGESITE = IMAPIMessageSite*;
using LPMAPIVIEWCONTEXT = IMAPIViewContext*;
using LPMAPIVIEWADVISESINK = IMAPIViewAdviseSink*;
using LPMAPIFORMADVISESINK = IMAPIFormAdviseSink*;
using LPMAPIFORMINFO = IMAPIFormInfo*;
using LPMAPIFORMMGR = IMAPIFormMgr*;
using LPMAPIFORMCONTAINER = IMAPIFormContainer*;
using LPMAPIFORM = IMAPIForm*;
using LPMAPIFORMFACTORY = IMAPIFormFactory*;
using LPPCSTR = const char**;
using LPPMAPIFORMINFO = LPMAPIFORMINFO*;

// Saves, initialises and loads a form to and from a message.
struct IPersistMessage : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetClassID)(LPCLSID lpClassID) PURE;
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(InitNew)(LPMAPIMESSAGESITE pMessageSite, LPMESSAGE pMessage) PURE;
  STDMETHOD(Load)(LPMAPIMESSAGESITE pMessageSite, LPMESSAGE pMessage, ULONG ulMessageStatus, ULONG ulMessageFlags) PURE;
  STDMETHOD(Save)(LPMESSAGE pMessage, ULONG fSameAsLoad) PURE;
  STDMETHOD(SaveCompleted)(LPMESSAGE pMessage) PURE;
  STDMETHOD(HandsOffMessage)() PURE;
};

// The client's side of a form: the message, its folder and store, and the actions on it.
struct IMAPIMessageSite : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetSession)(LPMAPISESSION* ppSession) PURE;
  STDMETHOD(GetStore)(LPMDB* ppStore) PURE;
  STDMETHOD(GetFolder)(LPMAPIFOLDER* ppFolder) PURE;
  STDMETHOD(GetMessage)(LPMESSAGE* ppmsg) PURE;
  STDMETHOD(GetFormManager)(LPMAPIFORMMGR* ppFormMgr) PURE;
  STDMETHOD(NewMessage)
  (ULONG fComposeInFolder, LPMAPIFOLDER pFolderFocus, LPPERSISTMESSAGE pPersistMessage, LPMESSAGE* ppMessage,
   LPMAPIMESSAGESITE* ppMessageSite, LPMAPIVIEWCONTEXT* ppViewContext) PURE;
  STDMETHOD(CopyMessage)(LPMAPIFOLDER pFolderDestination) PURE;
  STDMETHOD(MoveMessage)(LPMAPIFOLDER pFolderDestination, LPMAPIVIEWCONTEXT pViewContext, LPCRECT prcPosRect) PURE;
  STDMETHOD(DeleteMessage)(LPMAPIVIEWCONTEXT pViewContext, LPCRECT prcPosRect) PURE;
  STDMETHOD(SaveMessage)() PURE;
  STDMETHOD(SubmitMessage)(ULONG ulFlags) PURE;
  STDMETHOD(GetSiteStatus)(LPULONG lpulStatus) PURE;
};

// A form, as a viewer sees it.
struct IMAPIForm : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(SetViewContext)(LPMAPIVIEWCONTEXT pViewContext) PURE;
  STDMETHOD(GetViewContext)(LPMAPIVIEWCONTEXT* ppViewContext) PURE;
  STDMETHOD(ShutdownForm)(ULONG ulSaveOptions) PURE;
  STDMETHOD(DoVerb)(LONG iVerb, LPMAPIVIEWCONTEXT lpViewContext, ULONG_PTR hwndParent, LPCRECT lprcPosRect) PURE;
  STDMETHOD(Advise)(LPMAPIVIEWADVISESINK pAdvise, ULONG_PTR* pdwStatus) PURE;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) PURE;
};

enum SAVEOPTS : ULONG { SAVEOPTS_SAVEIFDIRTY = 0, SAVEOPTS_NOSAVE = 1, SAVEOPTS_PROMPTSAVE = 2 };

// Print setup handed to a form by its view context.
struct FORMPRINTSETUP {
  ULONG ulFlags;  // MAPI_UNICODE
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  ULONG ulFirstPageNumber;
  ULONG fPrintAttachments;
};
using LPFORMPRINTSETUP = FORMPRINTSETUP*;

// GetSaveStream formats.
inline constexpr ULONG SAVE_FORMAT_TEXT = 1;
inline constexpr ULONG SAVE_FORMAT_RICHTEXT = 2;

// The viewer's side of a form: next and previous, printing, saving.
struct IMAPIViewContext : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(SetAdviseSink)(LPMAPIFORMADVISESINK pmvns) PURE;
  STDMETHOD(ActivateNext)(ULONG ulDir, LPCRECT prcPosRect) PURE;
  STDMETHOD(GetPrintSetup)(ULONG ulFlags, LPFORMPRINTSETUP* lppFormPrintSetup) PURE;
  STDMETHOD(GetSaveStream)(ULONG* pulFlags, ULONG* pulFormat, LPSTREAM* ppstm) PURE;
  STDMETHOD(GetViewStatus)(LPULONG lpulStatus) PURE;
};

inline constexpr ULONG VCSTATUS_NEXT = 0x00000001;
inline constexpr ULONG VCSTATUS_PREV = 0x00000002;
inline constexpr ULONG VCSTATUS_MODAL = 0x00000004;
inline constexpr ULONG VCSTATUS_INTERACTIVE = 0x00000008;
inline constexpr ULONG VCSTATUS_READONLY = 0x00000010;
inline constexpr ULONG VCSTATUS_DELETE = 0x00010000;
inline constexpr ULONG VCSTATUS_COPY = 0x00020000;
inline constexpr ULONG VCSTATUS_MOVE = 0x00040000;
inline constexpr ULONG VCSTATUS_SUBMIT = 0x00080000;
inline constexpr ULONG VCSTATUS_DELETE_IS_MOVE = 0x00100000;
inline constexpr ULONG VCSTATUS_SAVE = 0x00200000;
inline constexpr ULONG VCSTATUS_NEW_MESSAGE = 0x00400000;
inline constexpr ULONG VCDIR_NEXT = VCSTATUS_NEXT;
inline constexpr ULONG VCDIR_PREV = VCSTATUS_PREV;
inline constexpr ULONG VCDIR_DELETE = VCSTATUS_DELETE;
inline constexpr ULONG VCDIR_MOVE = VCSTATUS_MOVE;

// Held by the view; told by the viewer about changes and the next message.
struct IMAPIFormAdviseSink : IUnknown {
  STDMETHOD(OnChange)(ULONG ulDir) PURE;
  STDMETHOD(OnActivateNext)
  (LPCSTR lpszMessageClass, ULONG ulMessageStatus, ULONG ulMessageFlags, LPPERSISTMESSAGE* ppPersistMessage) PURE;
};

// Held by the form; told by the form about shutdown, new messages, printing and saving.
struct IMAPIViewAdviseSink : IUnknown {
  STDMETHOD(OnShutdown)() PURE;
  STDMETHOD(OnNewMessage)() PURE;
  STDMETHOD(OnPrint)(ULONG dwPageNumber, HRESULT hrStatus) PURE;
  STDMETHOD(OnSubmitted)() PURE;
  STDMETHOD(OnSaved)() PURE;
};

// Form properties and verbs ------------------------------------------------------------

struct SMAPIFormPropEnumVal {
  LPTSTR pszDisplayName;
  ULONG nVal;
};
using LPMAPIFORMPROPENUMVAL = SMAPIFormPropEnumVal*;

using FORMPROPSPECIALTYPE = ULONG;
inline constexpr FORMPROPSPECIALTYPE FPST_VANILLA = 0;
inline constexpr FORMPROPSPECIALTYPE FPST_ENUM_PROP = 1;

struct SMAPIFormProp {
  ULONG ulFlags;  // MAPI_UNICODE when the strings are UTF-16
  ULONG nPropType;
  MAPINAMEID nmid;
  LPTSTR pszDisplayName;
  FORMPROPSPECIALTYPE nSpecialType;
  union {
    struct {
      MAPINAMEID nmidIdx;
      ULONG cfpevAvailable;
      LPMAPIFORMPROPENUMVAL pfpevAvailable;
    } s1;
  } u;
};
using LPMAPIFORMPROP = SMAPIFormProp*;

struct SMAPIFormPropArray {
  ULONG cProps;
  ULONG ulPad;
  SMAPIFormProp aFormProp[1];
};
using LPMAPIFORMPROPARRAY = SMAPIFormPropArray*;

inline constexpr size_t CbMAPIFormPropArray(size_t count) {
  return offsetof(SMAPIFormPropArray, aFormProp) + count * sizeof(SMAPIFormProp);
}

struct SMAPIVerb {
  LONG lVerb;
  LPTSTR szVerbname;
  DWORD fuFlags;
  DWORD grfAttribs;
  ULONG ulFlags;  // 0 or MAPI_UNICODE
};
using LPMAPIVERB = SMAPIVerb*;

struct SMAPIVerbArray {
  ULONG cMAPIVerb;
  SMAPIVerb aMAPIVerb[1];
};
using LPMAPIVERBARRAY = SMAPIVerbArray*;

inline constexpr size_t CbMAPIVerbArray(size_t count) {
  return offsetof(SMAPIVerbArray, aMAPIVerb) + count * sizeof(SMAPIVerb);
}

// Describes a registered form.
struct IMAPIFormInfo : IMAPIProp {
  STDMETHOD(CalcFormPropSet)(ULONG ulFlags, LPMAPIFORMPROPARRAY* ppFormPropArray) PURE;
  STDMETHOD(CalcVerbSet)(ULONG ulFlags, LPMAPIVERBARRAY* ppMAPIVerbArray) PURE;
  STDMETHOD(MakeIconFromBinary)(ULONG nPropID, HICON* phicon) PURE;
  STDMETHOD(SaveForm)(LPCTSTR szFileName) PURE;
  STDMETHOD(OpenFormContainer)(LPMAPIFORMCONTAINER* ppformcontainer) PURE;
};

inline constexpr ULONG MAPI_MESSAGE_BEHAVIOR_IPM = 0;
inline constexpr ULONG MAPI_MESSAGE_BEHAVIOR_FOLDER = 1;

// The form manager ----------------------------------------------------------------------

struct SMessageClassArray {
  ULONG cValues;
  LPCSTR aMessageClass[1];
};
using LPSMESSAGECLASSARRAY = SMessageClassArray*;

inline constexpr size_t CbMessageClassArray(size_t count) {
  return offsetof(SMessageClassArray, aMessageClass) + count * sizeof(LPCSTR);
}

struct SMAPIFormInfoArray {
  ULONG cForms;
  LPMAPIFORMINFO aFormInfo[1];
};
using LPSMAPIFORMINFOARRAY = SMAPIFormInfoArray*;

inline constexpr size_t CbMAPIFormInfoArray(size_t count) {
  return offsetof(SMAPIFormInfoArray, aFormInfo) + count * sizeof(LPMAPIFORMINFO);
}

// SelectFormContainer.
inline constexpr ULONG MAPIFORM_SELECT_ALL_REGISTRIES = 0;
inline constexpr ULONG MAPIFORM_SELECT_FOLDER_REGISTRY_ONLY = 1;
inline constexpr ULONG MAPIFORM_SELECT_NON_FOLDER_REGISTRY_ONLY = 2;

// CalcFormPropSet.
inline constexpr ULONG FORMPROPSET_UNION = 0;
inline constexpr ULONG FORMPROPSET_INTERSECTION = 1;

// ResolveMessageClass, ResolveMultipleMessageClasses.
inline constexpr ULONG MAPIFORM_EXACTMATCH = 0x0020;

// Resolves message classes to forms and dispatches them.
struct IMAPIFormMgr : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(LoadForm)
  (ULONG_PTR ulUIParam, ULONG ulFlags, LPCSTR lpszMessageClass, ULONG ulMessageStatus, ULONG ulMessageFlags,
   LPMAPIFOLDER pFolderFocus, LPMAPIMESSAGESITE pMessageSite, LPMESSAGE pmsg, LPMAPIVIEWCONTEXT pViewContext,
   REFIID riid, LPVOID* ppvObj) PURE;
  STDMETHOD(ResolveMessageClass)
  (LPCSTR szMsgClass, ULONG ulFlags, LPMAPIFOLDER pFolderFocus, LPMAPIFORMINFO* ppResult) PURE;
  STDMETHOD(ResolveMultipleMessageClasses)
  (LPSMESSAGECLASSARRAY pMsgClasses, ULONG ulFlags, LPMAPIFOLDER pFolderFocus,
   LPSMAPIFORMINFOARRAY* pfrminfoarray) PURE;
  STDMETHOD(CalcFormPropSet)(LPSMAPIFORMINFOARRAY pfrminfoarray, ULONG ulFlags, LPMAPIFORMPROPARRAY* ppResults) PURE;
  STDMETHOD(CreateForm)
  (ULONG_PTR ulUIParam, ULONG ulFlags, LPMAPIFORMINFO pfrminfoToActivate, REFIID refiidToAsk, LPVOID* ppvObj) PURE;
  STDMETHOD(SelectForm)
  (ULONG_PTR ulUIParam, ULONG ulFlags, LPCTSTR pszTitle, LPMAPIFOLDER pfld, LPMAPIFORMINFO* ppfrminfoReturned) PURE;
  STDMETHOD(SelectMultipleForms)
  (ULONG_PTR ulUIParam, ULONG ulFlags, LPCTSTR pszTitle, LPMAPIFOLDER pfld, LPSMAPIFORMINFOARRAY pfrminfoarray,
   LPSMAPIFORMINFOARRAY* ppfrminfoarray) PURE;
  STDMETHOD(SelectFormContainer)(ULONG_PTR ulUIParam, ULONG ulFlags, LPMAPIFORMCONTAINER* lppfcnt) PURE;
  STDMETHOD(OpenFormContainer)(HFRMREG hfrmreg, LPUNKNOWN lpunk, LPMAPIFORMCONTAINER* lppfcnt) PURE;
  STDMETHOD(PrepareForm)(ULONG_PTR ulUIParam, ULONG ulFlags, LPMAPIFORMINFO pfrminfo) PURE;
  STDMETHOD(IsInConflict)
  (ULONG ulMessageFlags, ULONG ulMessageStatus, LPCSTR szMessageClass, LPMAPIFOLDER pFolderFocus) PURE;
};

// Platforms of form configuration files.
inline constexpr ULONG MAPIFORM_CPU_X86 = 1;
inline constexpr ULONG MAPIFORM_CPU_X64 = 6;
inline constexpr ULONG MAPIFORM_OS_WINNT_60 = 7;
inline constexpr ULONG MAPIFORM_PLATFORM(ULONG cpu, ULONG os) { return (cpu << 16) | os; }

// InstallForm.
inline constexpr ULONG MAPIFORM_INSTALL_DIALOG = MAPI_DIALOG;
inline constexpr ULONG MAPIFORM_INSTALL_OVERWRITEONCONFLICT = 0x0010;

// A form registry.
struct IMAPIFormContainer : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(InstallForm)(ULONG_PTR ulUIParam, ULONG ulFlags, LPCTSTR szCfgPathName) PURE;
  STDMETHOD(RemoveForm)(LPCSTR szMessageClass) PURE;
  STDMETHOD(ResolveMessageClass)(LPCSTR szMessageClass, ULONG ulFlags, LPMAPIFORMINFO* pforminfo) PURE;
  STDMETHOD(ResolveMultipleMessageClasses)
  (LPSMESSAGECLASSARRAY pMsgClassArray, ULONG ulFlags, LPSMAPIFORMINFOARRAY* ppfrminfoarray) PURE;
  STDMETHOD(CalcFormPropSet)(ULONG ulFlags, LPMAPIFORMPROPARRAY* ppResults) PURE;
  STDMETHOD(GetDisplay)(ULONG ulFlags, LPTSTR* pszDisplayName) PURE;
};

// Creates class factories for forms.
struct IMAPIFormFactory : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(CreateClassFactory)(REFCLSID clsidForm, ULONG ulFlags, LPCLASSFACTORY* lppClassFactory) PURE;
  STDMETHOD(LockServer)(ULONG ulFlags, ULONG fLockServer) PURE;
};

ORBA_DECLARE_INTERFACE(IClassFactory, IUnknown, IID_IClassFactory);
ORBA_DECLARE_INTERFACE(IPersistMessage, IUnknown, IID_IPersistMessage);
ORBA_DECLARE_INTERFACE(IMAPIMessageSite, IUnknown, IID_IMAPIMessageSite);
ORBA_DECLARE_INTERFACE(IMAPIForm, IUnknown, IID_IMAPIForm);
ORBA_DECLARE_INTERFACE(IMAPIViewContext, IUnknown, IID_IMAPIViewContext);
ORBA_DECLARE_INTERFACE(IMAPIFormAdviseSink, IUnknown, IID_IMAPIFormAdviseSink);
ORBA_DECLARE_INTERFACE(IMAPIViewAdviseSink, IUnknown, IID_IMAPIViewAdviseSink);
ORBA_DECLARE_INTERFACE(IMAPIFormInfo, IMAPIProp, IID_IMAPIFormInfo);
ORBA_DECLARE_INTERFACE(IMAPIFormMgr, IUnknown, IID_IMAPIFormMgr);
ORBA_DECLARE_INTERFACE(IMAPIFormContainer, IUnknown, IID_IMAPIFormContainer);
ORBA_DECLARE_INTERFACE(IMAPIFormFactory, IUnknown, IID_IMAPIFormFactory);

// Entry points.
using MAPIOPENFORMMGR = HRESULT(LPMAPISESSION pSession, LPMAPIFORMMGR* ppmgr);
using LPMAPIOPENFORMMGR = MAPIOPENFORMMGR*;
using MAPIOPENLOCALFORMCONTAINER = HRESULT(LPMAPIFORMCONTAINER* ppfcnt);
using LPMAPIOPENLOCALFORMCONTAINER = MAPIOPENLOCALFORMCONTAINER*;
