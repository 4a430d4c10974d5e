// The mail client's account manager (ACCTMGMT.H): accounts of a profile, their
// properties and order. Methods are in the published order; the placeholders are
// undocumented slots that keep the virtual table in shape.
#pragma once

#include "mapi/mapix.h"

// Account manager Init.
inline constexpr DWORD ACCT_INIT_NOSYNCH_MAPI_ACCTS = 0x00000001;

// Results.
inline constexpr HRESULT E_ACCT_NOT_FOUND = MakeHResult(0x800C8101);
inline constexpr HRESULT E_ACCT_WRONG_SORT_ORDER = MakeHResult(0x800C8105);
inline constexpr HRESULT E_OLK_ALREADY_INITIALIZED = MakeHResult(0x800C8002);
inline constexpr HRESULT E_OLK_NOT_INITIALIZED = MakeHResult(0x800C8005);
inline constexpr HRESULT E_OLK_PARAM_NOT_SUPPORTED = MakeHResult(0x800C8003);
inline constexpr HRESULT E_OLK_PROP_READ_ONLY = MakeHResult(0x800C800D);
inline constexpr HRESULT E_OLK_REGISTRY = MakeHResult(0x800C8002);

// Account notifications.
inline constexpr DWORD NOTIFY_ACCT_CHANGED = 1;
inline constexpr DWORD NOTIFY_ACCT_CREATED = 2;
inline constexpr DWORD NOTIFY_ACCT_DELETED = 3;
inline constexpr DWORD NOTIFY_ACCT_ORDER_CHANGED = 4;
inline constexpr DWORD NOTIFY_ACCT_PREDELETED = 5;

inline constexpr DWORD OLK_ACCOUNT_NO_FLAGS = 0;

// DisplayAccountList.
inline constexpr DWORD ACCTUI_NO_WARNING = 0x0100;
inline constexpr DWORD ACCTUI_SHOW_DATA_TAB = 0x0200;
inline constexpr DWORD ACCTUI_SHOW_ACCTWIZARD = 0x0400;

struct ACCT_BIN {
  DWORD cb;
  BYTE* pb;
};

// A property value of an account; dwType is PT_LONG, PT_UNICODE or PT_BINARY.
struct ACCT_VARIANT {
  DWORD dwType;
  union {
    DWORD dw;
    WCHAR* pwsz;
    ACCT_BIN bin;
  } Val;
};

// Account property tags. They are the account manager's own, not message store
// properties, and live in a namespace of their own.
namespace acctmgmt {

inline constexpr ULONG PROP_ACCT_ID = PROP_TAG(PT_LONG, 0x0001);
inline constexpr ULONG PROP_ACCT_NAME = PROP_TAG(PT_UNICODE, 0x0002);
inline constexpr ULONG PROP_ACCT_MINI_UID = PROP_TAG(PT_LONG, 0x0003);
inline constexpr ULONG PROP_ACCT_USER_DISPLAY_NAME = PROP_TAG(PT_UNICODE, 0x000B);
inline constexpr ULONG PROP_ACCT_USER_EMAIL_ADDR = PROP_TAG(PT_UNICODE, 0x000C);
inline constexpr ULONG PROP_ACCT_STAMP = PROP_TAG(PT_UNICODE, 0x000D);
inline constexpr ULONG PROP_ACCT_SEND_STAMP = PROP_TAG(PT_UNICODE, 0x000E);
inline constexpr ULONG PROP_ACCT_IS_EXCH = PROP_TAG(PT_LONG, 0x0014);
inline constexpr ULONG PROP_ACCT_DELIVERY_STORE = PROP_TAG(PT_BINARY, 0x0018);
inline constexpr ULONG PROP_ACCT_DELIVERY_FOLDER = PROP_TAG(PT_BINARY, 0x0019);
inline constexpr ULONG PROP_ACCT_SENTITEMS_EID = PROP_TAG(PT_BINARY, 0x0020);
inline constexpr ULONG PROP_ACCT_PREFERENCES_UID = PROP_TAG(PT_BINARY, 0x0022);
inline constexpr ULONG PROP_INET_SERVER = PROP_TAG(PT_UNICODE, 0x0100);
inline constexpr ULONG PROP_INET_USER = PROP_TAG(PT_UNICODE, 0x0101);
inline constexpr ULONG PROP_INET_PASSWORD = PROP_TAG(PT_UNICODE, 0x0102);
inline constexpr ULONG PROP_INET_PORT = PROP_TAG(PT_LONG, 0x0104);
inline constexpr ULONG PROP_INET_SSL = PROP_TAG(PT_LONG, 0x0105);
inline constexpr ULONG PROP_INET_USE_SPA = PROP_TAG(PT_LONG, 0x0108);
inline constexpr ULONG PROP_SMTP_SERVER = PROP_TAG(PT_UNICODE, 0x0200);
inline constexpr ULONG PROP_SMTP_PORT = PROP_TAG(PT_LONG, 0x0201);
inline constexpr ULONG PROP_SMTP_SSL = PROP_TAG(PT_LONG, 0x0202);
inline constexpr ULONG PROP_SMTP_USE_AUTH = PROP_TAG(PT_LONG, 0x0203);
inline constexpr ULONG PROP_SMTP_USER = PROP_TAG(PT_UNICODE, 0x0204);
inline constexpr ULONG PROP_SMTP_PASSWORD = PROP_TAG(PT_UNICODE, 0x0205);
inline constexpr ULONG PROP_SMTP_USE_SPA = PROP_TAG(PT_LONG, 0x0207);
inline constexpr ULONG PROP_SMTP_AUTH_METHOD = PROP_TAG(PT_LONG, 0x0208);
inline constexpr ULONG PROP_SMTP_SECURE_CONNECTION = PROP_TAG(PT_LONG, 0x020A);
inline constexpr ULONG PROP_POP_LEAVE_ON_SERVER = PROP_TAG(PT_LONG, 0x1000);
inline constexpr ULONG PROP_MAPI_IDENTITY_ENTRYID = PROP_TAG(PT_BINARY, 0x2002);
inline constexpr ULONG PROP_MAPI_EMSMDB_UID = PROP_TAG(PT_BINARY, 0x2009);
inline constexpr ULONG PROP_MAPI_TRANSPORT_FLAGS = PROP_TAG(PT_BINARY, 0x2010);

}  // namespace acctmgmt

struct IOlkAccountHelper;
struct IOlkAccountNotify;
struct IOlkEnum;
struct IOlkAccount;

// Base of the account interfaces: a text for an error code.
struct IOlkErrorUnknown : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hr, LPWSTR* ppwszError) PURE;
};

// One account.
struct IOlkAccount : IOlkErrorUnknown {
  STDMETHOD(PlaceHolder1)() PURE;
  STDMETHOD(PlaceHolder2)() PURE;
  STDMETHOD(PlaceHolder3)() PURE;
  STDMETHOD(PlaceHolder4)() PURE;
  STDMETHOD(PlaceHolder5)() PURE;
  STDMETHOD(PlaceHolder6)() PURE;
  STDMETHOD(GetAccountInfo)(CLSID* pclsidType, DWORD* pcCategories, CLSID** prgclsidCategory) PURE;
  STDMETHOD(GetProp)(DWORD dwProp, ACCT_VARIANT* pVar) PURE;
  STDMETHOD(SetProp)(DWORD dwProp, ACCT_VARIANT* pVar) PURE;
  STDMETHOD(PlaceHolder7)() PURE;
  STDMETHOD(PlaceHolder8)() PURE;
  STDMETHOD(PlaceHolder9)() PURE;
  STDMETHOD(FreeMemory)(BYTE* pv) PURE;
  STDMETHOD(PlaceHolder10)() PURE;
  STDMETHOD(SaveChanges)(DWORD dwFlags) PURE;
};

// Supplied by the client to the account manager: the profile and its session.
struct IOlkAccountHelper : IUnknown {
  STDMETHOD(PlaceHolder1)(LPVOID) PURE;
  STDMETHOD(GetIdentity)(LPWSTR pwszIdentity, DWORD* pcch) PURE;
  STDMETHOD(GetMapiSession)(LPUNKNOWN* ppmsess) PURE;
  STDMETHOD(HandsOffSession)() PURE;
};

// Told about account changes.
struct IOlkAccountNotify : IOlkErrorUnknown {
  STDMETHOD(Notify)(DWORD dwNotify, DWORD dwAcctID, DWORD dwFlags) PURE;
};

// Enumerates accounts.
struct IOlkEnum : IUnknown {
  STDMETHOD(GetCount)(DWORD* pulCount) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(GetNext)(LPUNKNOWN* ppunk) PURE;
  STDMETHOD(Skip)(DWORD cSkip) PURE;
};

// The accounts of a profile.
struct IOlkAccountManager : IOlkErrorUnknown {
  STDMETHOD(Init)(IOlkAccountHelper* pAcctHelper, DWORD dwFlags) PURE;
  STDMETHOD(DisplayAccountList)
  (HWND hwnd, DWORD dwFlags, LPCWSTR wszTitle, DWORD cCategories, const CLSID* rgclsidCategories,
   const CLSID* pclsidType) PURE;
  STDMETHOD(PlaceHolder1)() PURE;
  STDMETHOD(PlaceHolder2)() PURE;
  STDMETHOD(PlaceHolder3)() PURE;
  STDMETHOD(PlaceHolder4)() PURE;
  STDMETHOD(PlaceHolder5)() PURE;
  STDMETHOD(FindAccount)(DWORD dwProp, ACCT_VARIANT* pVar, IOlkAccount** ppAccount) PURE;
  STDMETHOD(PlaceHolder6)() PURE;
  STDMETHOD(PlaceHolder7)() PURE;
  STDMETHOD(PlaceHolder8)() PURE;
  STDMETHOD(DeleteAccount)(DWORD dwAcctID) PURE;
  STDMETHOD(PlaceHolder9)() PURE;
  STDMETHOD(SaveChanges)(DWORD dwAcctID, DWORD dwFlags) PURE;
  STDMETHOD(GetOrder)(const CLSID* pclsidCategory, DWORD* pcAccts, DWORD** prgAccts) PURE;
  STDMETHOD(SetOrder)(const CLSID* pclsidCategory, DWORD* pcAccts, DWORD** prgAccts) PURE;
  STDMETHOD(EnumerateAccounts)
  (const CLSID* pclsidCategory, const CLSID* pclsidType, DWORD dwFlags, IOlkEnum** ppEnum) PURE;
  STDMETHOD(PlaceHolder10)() PURE;
  STDMETHOD(PlaceHolder11)() PURE;
  STDMETHOD(FreeMemory)(BYTE* pv) PURE;
  STDMETHOD(Advise)(IOlkAccountNotify* pNotify, DWORD* pdwCookie) PURE;
  STDMETHOD(Unadvise)(DWORD* pdwCookie) PURE;
  STDMETHOD(PlaceHolder12)() PURE;
  STDMETHOD(PlaceHolder13)() PURE;
  STDMETHOD(PlaceHolder14)() PURE;
};

using LPOLKERRORUNKNOWN = IOlkErrorUnknown*;
using LPOLKACCOUNT = IOlkAccount*;
using LPOLKACCOUNTHELPER = IOlkAccountHelper*;
using LPOLKACCOUNTNOTIFY = IOlkAccountNotify*;
using LPOLKENUM = IOlkEnum*;
using LPOLKACCOUNTMANAGER = IOlkAccountManager*;

// Class identifiers: the manager, account types and account categories.
inline constexpr CLSID CLSID_OlkAccountManager = {
    0xED475410, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkPOP3Account = {
    0xED475411, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkIMAP4Account = {
    0xED475412, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkMAPIAccount = {
    0xED475414, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkMail = {0xED475418, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkAddressBook = {
    0xED475419, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkStore = {0xED475420, 0xB0D6, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr CLSID CLSID_OlkHotmailAccount = {
    0x4DB5CBF0, 0x3B77, 0x4852, {0xBC, 0x8E, 0xBB, 0x81, 0x90, 0x88, 0x61, 0xF3}};
inline constexpr CLSID CLSID_OlkLDAPAccount = {
    0x4DB5CBF2, 0x3B77, 0x4852, {0xBC, 0x8E, 0xBB, 0x81, 0x90, 0x88, 0x61, 0xF3}};

// Interface identifiers. IOlkEnum's is the one its published comment gives
// (...A6C1...); the published definition repeats IOlkErrorUnknown's by mistake,
// which would make the two indistinguishable to QueryInterface.
inline constexpr IID IID_IOlkErrorUnknown = {
    0x9240A6C0, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr IID IID_IOlkEnum = {0x9240A6C1, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr IID IID_IOlkAccountNotify = {
    0x9240A6C3, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr IID IID_IOlkAccountHelper = {
    0x9240A6CB, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr IID IID_IOlkAccountManager = {
    0x9240A6CD, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};
inline constexpr IID IID_IOlkAccount = {0x9240A6D2, 0xAF41, 0x11D2, {0x8C, 0x3B, 0x00, 0x10, 0x4B, 0x2A, 0x66, 0x76}};

ORBA_DECLARE_INTERFACE(IOlkErrorUnknown, IUnknown, IID_IOlkErrorUnknown);
ORBA_DECLARE_INTERFACE(IOlkAccount, IOlkErrorUnknown, IID_IOlkAccount);
ORBA_DECLARE_INTERFACE(IOlkAccountHelper, IUnknown, IID_IOlkAccountHelper);
ORBA_DECLARE_INTERFACE(IOlkAccountNotify, IOlkErrorUnknown, IID_IOlkAccountNotify);
ORBA_DECLARE_INTERFACE(IOlkEnum, IUnknown, IID_IOlkEnum);
ORBA_DECLARE_INTERFACE(IOlkAccountManager, IOlkErrorUnknown, IID_IOlkAccountManager);
