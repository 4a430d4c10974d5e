// Logon to a profile with MAPILogonEx's flag semantics (logon.cpp), for MAPILogonEx
// and Simple MAPI's logons alike.
#pragma once

#include <memory>

#include "session/sessionstate.h"

namespace orba::store {

struct TProfileLogon {
  std::shared_ptr<TSessionState> state;
  bool joined;  // the process's shared session was handed out, not a new one
};

// Throws TMapiError: MAPI_E_LOGON_FAILED for an unknown profile or no default one,
// MAPI_E_USER_CANCEL where only a dialog could go on (see logon.cpp).
TProfileLogon LogonToProfile(LPTSTR profileName, ULONG flags);

}  // namespace orba::store
