// MAPI's result codes, with the values of the published MAPICODE.H. The general
// failures are the COM codes of the same meaning.
#pragma once

#include "orba/common/com.h"

// An interface-facility code: severity bit, FACILITY_ITF (4), code.
inline constexpr HRESULT MAKE_MAPI_SCODE(ULONG sev, ULONG fac, ULONG code) {
  return static_cast<HRESULT>((sev << 31) | (fac << 16) | code);
}
inline constexpr ULONG FACILITY_ITF = 4;
inline constexpr HRESULT MAKE_MAPI_E(ULONG err) { return MAKE_MAPI_SCODE(1, FACILITY_ITF, err); }
inline constexpr HRESULT MAKE_MAPI_S(ULONG warn) { return MAKE_MAPI_SCODE(0, FACILITY_ITF, warn); }

inline constexpr HRESULT SUCCESS_SUCCESS = 0;
inline constexpr HRESULT hrSuccess = 0;

// General errors, used by more than one kind of object.
inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
inline constexpr HRESULT MAPI_E_NO_ACCESS = E_ACCESSDENIED;

inline constexpr HRESULT MAPI_E_NO_SUPPORT = MAKE_MAPI_E(0x102);
inline constexpr HRESULT MAPI_E_BAD_CHARWIDTH = MAKE_MAPI_E(0x103);
inline constexpr HRESULT MAPI_E_STRING_TOO_LONG = MAKE_MAPI_E(0x105);
inline constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = MAKE_MAPI_E(0x106);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = MAKE_MAPI_E(0x107);
inline constexpr HRESULT MAPI_E_INVALID_OBJECT = MAKE_MAPI_E(0x108);
inline constexpr HRESULT MAPI_E_OBJECT_CHANGED = MAKE_MAPI_E(0x109);
inline constexpr HRESULT MAPI_E_OBJECT_DELETED = MAKE_MAPI_E(0x10A);
inline constexpr HRESULT MAPI_E_BUSY = MAKE_MAPI_E(0x10B);
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_DISK = MAKE_MAPI_E(0x10D);
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_RESOURCES = MAKE_MAPI_E(0x10E);
inline constexpr HRESULT MAPI_E_NOT_FOUND = MAKE_MAPI_E(0x10F);
inline constexpr HRESULT MAPI_E_VERSION = MAKE_MAPI_E(0x110);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = MAKE_MAPI_E(0x111);
inline constexpr HRESULT MAPI_E_SESSION_LIMIT = MAKE_MAPI_E(0x112);
inline constexpr HRESULT MAPI_E_USER_CANCEL = MAKE_MAPI_E(0x113);
inline constexpr HRESULT MAPI_E_UNABLE_TO_ABORT = MAKE_MAPI_E(0x114);
inline constexpr HRESULT MAPI_E_NETWORK_ERROR = MAKE_MAPI_E(0x115);
inline constexpr HRESULT MAPI_E_DISK_ERROR = MAKE_MAPI_E(0x116);
inline constexpr HRESULT MAPI_E_TOO_COMPLEX = MAKE_MAPI_E(0x117);
inline constexpr HRESULT MAPI_E_BAD_COLUMN = MAKE_MAPI_E(0x118);
inline constexpr HRESULT MAPI_E_EXTENDED_ERROR = MAKE_MAPI_E(0x119);
inline constexpr HRESULT MAPI_E_COMPUTED = MAKE_MAPI_E(0x11A);
inline constexpr HRESULT MAPI_E_CORRUPT_DATA = MAKE_MAPI_E(0x11B);
inline constexpr HRESULT MAPI_E_UNCONFIGURED = MAKE_MAPI_E(0x11C);
inline constexpr HRESULT MAPI_E_FAILONEPROVIDER = MAKE_MAPI_E(0x11D);
inline constexpr HRESULT MAPI_E_UNKNOWN_CPID = MAKE_MAPI_E(0x11E);
inline constexpr HRESULT MAPI_E_UNKNOWN_LCID = MAKE_MAPI_E(0x11F);

// Flavours of access denied, used at logon.
inline constexpr HRESULT MAPI_E_PASSWORD_CHANGE_REQUIRED = MAKE_MAPI_E(0x120);
inline constexpr HRESULT MAPI_E_PASSWORD_EXPIRED = MAKE_MAPI_E(0x121);
inline constexpr HRESULT MAPI_E_INVALID_WORKSTATION_ACCOUNT = MAKE_MAPI_E(0x122);
inline constexpr HRESULT MAPI_E_INVALID_ACCESS_TIME = MAKE_MAPI_E(0x123);
inline constexpr HRESULT MAPI_E_ACCOUNT_DISABLED = MAKE_MAPI_E(0x124);

// Base functions and status objects.
inline constexpr HRESULT MAPI_E_END_OF_SESSION = MAKE_MAPI_E(0x200);
inline constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = MAKE_MAPI_E(0x201);
inline constexpr HRESULT MAPI_E_MISSING_REQUIRED_COLUMN = MAKE_MAPI_E(0x202);
inline constexpr HRESULT MAPI_W_NO_SERVICE = MAKE_MAPI_S(0x203);

// Properties.
inline constexpr HRESULT MAPI_E_BAD_VALUE = MAKE_MAPI_E(0x301);
inline constexpr HRESULT MAPI_E_INVALID_TYPE = MAKE_MAPI_E(0x302);
inline constexpr HRESULT MAPI_E_TYPE_NO_SUPPORT = MAKE_MAPI_E(0x303);
inline constexpr HRESULT MAPI_E_UNEXPECTED_TYPE = MAKE_MAPI_E(0x304);
inline constexpr HRESULT MAPI_E_TOO_BIG = MAKE_MAPI_E(0x305);
inline constexpr HRESULT MAPI_E_DECLINE_COPY = MAKE_MAPI_E(0x306);
inline constexpr HRESULT MAPI_E_UNEXPECTED_ID = MAKE_MAPI_E(0x307);
inline constexpr HRESULT MAPI_W_ERRORS_RETURNED = MAKE_MAPI_S(0x380);

// Tables.
inline constexpr HRESULT MAPI_E_UNABLE_TO_COMPLETE = MAKE_MAPI_E(0x400);
inline constexpr HRESULT MAPI_E_TIMEOUT = MAKE_MAPI_E(0x401);
inline constexpr HRESULT MAPI_E_TABLE_EMPTY = MAKE_MAPI_E(0x402);
inline constexpr HRESULT MAPI_E_TABLE_TOO_BIG = MAKE_MAPI_E(0x403);
inline constexpr HRESULT MAPI_E_INVALID_BOOKMARK = MAKE_MAPI_E(0x405);
inline constexpr HRESULT MAPI_W_POSITION_CHANGED = MAKE_MAPI_S(0x481);
inline constexpr HRESULT MAPI_W_APPROX_COUNT = MAKE_MAPI_S(0x482);

// Transports.
inline constexpr HRESULT MAPI_E_WAIT = MAKE_MAPI_E(0x500);
inline constexpr HRESULT MAPI_E_CANCEL = MAKE_MAPI_E(0x501);
inline constexpr HRESULT MAPI_E_NOT_ME = MAKE_MAPI_E(0x502);
inline constexpr HRESULT MAPI_W_CANCEL_MESSAGE = MAKE_MAPI_S(0x580);

// Message stores, folders and messages.
inline constexpr HRESULT MAPI_E_CORRUPT_STORE = MAKE_MAPI_E(0x600);
inline constexpr HRESULT MAPI_E_NOT_IN_QUEUE = MAKE_MAPI_E(0x601);
inline constexpr HRESULT MAPI_E_NO_SUPPRESS = MAKE_MAPI_E(0x602);
inline constexpr HRESULT MAPI_E_COLLISION = MAKE_MAPI_E(0x604);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = MAKE_MAPI_E(0x605);
inline constexpr HRESULT MAPI_E_NON_STANDARD = MAKE_MAPI_E(0x606);
inline constexpr HRESULT MAPI_E_NO_RECIPIENTS = MAKE_MAPI_E(0x607);
inline constexpr HRESULT MAPI_E_SUBMITTED = MAKE_MAPI_E(0x608);
inline constexpr HRESULT MAPI_E_HAS_FOLDERS = MAKE_MAPI_E(0x609);
inline constexpr HRESULT MAPI_E_HAS_MESSAGES = MAKE_MAPI_E(0x60A);
inline constexpr HRESULT MAPI_E_FOLDER_CYCLE = MAKE_MAPI_E(0x60B);
inline constexpr HRESULT MAPI_W_PARTIAL_COMPLETION = MAKE_MAPI_S(0x680);

// Address book.
inline constexpr HRESULT MAPI_E_AMBIGUOUS_RECIP = MAKE_MAPI_E(0x700);

inline constexpr bool HR_SUCCEEDED(HRESULT hr) { return SUCCEEDED(hr); }
inline constexpr bool HR_FAILED(HRESULT hr) { return FAILED(hr); }
