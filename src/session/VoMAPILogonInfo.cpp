// The session's companions: the logon and logoff settings and the session information.
#include "kit/VoMAPIKit.h"
#include "orba/VoOrbaMAPI.h"

namespace orba {

void TVoMAPILogonInfoImpl::Set_ShowLogonDialog(bool16 Value) {
  showLogonDialog_ = Value;
  if (showLogonDialog_) showPasswordDialog_ = false;
}

void TVoMAPILogonInfoImpl::Set_ShowPasswordDialog(bool16 Value) {
  showPasswordDialog_ = Value;
  if (showPasswordDialog_) showLogonDialog_ = false;
}

void TVoMAPILogonInfoImpl::Set_NTService(bool16 Value) {
  ntService_ = Value;
  if (!ntService_) return;
  // A service has nobody to show a dialog to, and does not read mail as a user.
  shared_ = showLogonDialog_ = showPasswordDialog_ = showServiceDialog_ = false;
  noMail_ = true;
}

ULONG TVoMAPILogonInfoImpl::LogonFlags(bool Unicode) const {
  ULONG flags = showLogonDialog_ && !ntService_ ? MAPI_LOGON_UI : 0;
  if (!useExtendedMAPI_) return flags;
  flags |= MAPI_EXTENDED | (profileRequired_ ? MAPI_EXPLICIT_PROFILE : MAPI_USE_DEFAULT);
  if (forceDownload_) flags |= MAPI_FORCE_DOWNLOAD;
  if (newSession_) flags |= MAPI_NEW_SESSION;
  if (noMail_) flags |= MAPI_NO_MAIL;
  if (shortTimeOut_) flags |= MAPI_TIMEOUT_SHORT;
  if (ntService_) {
    flags |= MAPI_NT_SERVICE;
  } else {
    if (shared_) flags |= MAPI_ALLOW_OTHERS;
    if (showPasswordDialog_) flags |= MAPI_PASSWORD_UI;
    if (showServiceDialog_) flags |= MAPI_SERVICE_UI_ALWAYS;
  }
  return Unicode ? flags | MAPI_UNICODE : flags;
}

ULONG TVoMAPILogoffInfoImpl::LogoffFlags() const {
  return (shared_ ? MAPI_LOGOFF_SHARED : 0) | (showLogoffDialog_ ? MAPI_LOGOFF_UI : 0);
}

WideString TVoMAPISessionInfo::Get_ServerName() {
  if (!info_.ConnectedToExchange)
    kit::Raise(E_FAIL, u"The %s can only be used when connected to an Exchange Server!", {u"ServerName"});
  return info_.ServerName;
}

}  // namespace orba
