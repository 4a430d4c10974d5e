// MAPILogonEx: logon to a profile with MAPI's flag semantics.
//
// - The profile: lpszProfileName (8-bit, or UTF-16 with MAPI_UNICODE). A null or empty
//   name means the default profile when MAPI_USE_DEFAULT is set or
//   MAPI_EXPLICIT_PROFILE is not; a given name is always the one used. An unknown
//   profile, or no name and no default, is MAPI_E_LOGON_FAILED; when only a dialog
//   could supply the missing name (MAPI_LOGON_UI) the answer is MAPI_E_USER_CANCEL,
//   as when a user cancels, because no dialog can be shown.
// - Sessions: without MAPI_NEW_SESSION an existing shared session (one logged on with
//   MAPI_ALLOW_OTHERS) is returned whatever the name, as MAPI documents; otherwise a
//   new session starts, shared when MAPI_ALLOW_OTHERS is set.
// - MAPI_SERVICE_UI_ALWAYS asks for the services' configuration dialogs:
//   MAPI_E_USER_CANCEL. MAPI_PASSWORD_UI never needs a dialog (profiles have no
//   passwords) and the password is ignored. MAPI_EXTENDED is accepted and not
//   required; MAPI_NO_MAIL keeps the spooler offline in the status table; the other
//   documented flags (MAPI_FORCE_DOWNLOAD, MAPI_TIMEOUT_SHORT, MAPI_NT_SERVICE,
//   MAPI_BG_SESSION) change nothing here.
#include "session/logon.h"

#include "base/export.h"
#include "base/lasterror.h"
#include "mapi/mapiexports.h"
#include "props/propstrings.h"
#include "session/mapiinit.h"
#include "session/mapisession.h"

namespace orba::store {
namespace {

constexpr ULONG kLogonFlags = MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_ALLOW_OTHERS | MAPI_EXPLICIT_PROFILE |
                              MAPI_EXTENDED | MAPI_FORCE_DOWNLOAD | MAPI_SERVICE_UI_ALWAYS | MAPI_NO_MAIL |
                              MAPI_NT_SERVICE | MAPI_PASSWORD_UI | MAPI_TIMEOUT_SHORT | MAPI_BG_SESSION |
                              MAPI_USE_DEFAULT | MAPI_UNICODE;

std::string LogonProfile(TProfileDatabase& db, LPTSTR lpszProfileName, ULONG flags) {
  std::string name = ArgText(lpszProfileName, flags);
  bool needDialog = false;
  if (name.empty()) {
    std::optional<std::string> fallback;
    if ((flags & MAPI_USE_DEFAULT) || !(flags & MAPI_EXPLICIT_PROFILE)) fallback = db.DefaultProfile();
    if (fallback) return *fallback;
    needDialog = true;
  } else if (auto profile = db.FindProfile(name)) {
    return profile->name;
  }
  Check(!(needDialog && (flags & MAPI_LOGON_UI)), MAPI_E_USER_CANCEL,
        "The logon dialog cannot be shown: there is no user interface.");
  throw TMapiError(MAPI_E_LOGON_FAILED, needDialog ? "No profile was named and there is no default profile."
                                                   : "The profile does not exist.");
}

}  // namespace

TProfileLogon LogonToProfile(LPTSTR profileName, ULONG flags) {
  if (!(flags & MAPI_NEW_SESSION))
    if (auto shared = SharedSession()) return {shared, true};
  Check(!(flags & MAPI_SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL,
        "The services' configuration dialogs cannot be shown: there is no user interface.");
  auto db = std::make_shared<TProfileDatabase>(TProfileDatabase::DefaultPath());
  auto state = std::make_shared<TSessionState>(db, LogonProfile(*db, profileName, flags), flags);
  RegisterSession(state, (flags & MAPI_ALLOW_OTHERS) != 0);
  return {state, false};
}

}  // namespace orba::store

ORBASTORE_EXPORT HRESULT MAPILogonEx(ULONG_PTR, LPTSTR lpszProfileName, LPTSTR, ULONG ulFlags,
                                     LPMAPISESSION* lppSession) {
  using namespace orba::store;
  return Guarded([&]() -> HRESULT {
    if (!lppSession) return MAPI_E_INVALID_PARAMETER;
    *lppSession = nullptr;
    if (ulFlags & ~kLogonFlags) return MAPI_E_UNKNOWN_FLAGS;
    if (!IsMapiInitialized()) return MAPI_E_NOT_INITIALIZED;
    *lppSession = orba::MakeComObject<TMapiSession>(LogonToProfile(lpszProfileName, ulFlags).state).Detach();
    return S_OK;
  });
}
