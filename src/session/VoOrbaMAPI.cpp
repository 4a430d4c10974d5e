// TSession's life: logon and logoff with their events, MAPI's shutdown notification,
// the choice of mail client, and MAPI's loading and initialisation.
#include "orba/VoOrbaMAPI.h"

#include "kit/VoMAPIAdviseSink.h"
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIVersion.h"
#include "orba/common/bitness.h"
#include "session/VoMAPIProfile.h"

namespace orba {

namespace {

// The names of a comma-separated list of quoted names ("A","B").
std::vector<WideString> SplitClients(const WideString& Text) {
  std::vector<WideString> names;
  size_t start = 0;
  while (start <= Text.size()) {
    size_t end = Text.find(u',', start);
    if (end == WideString::npos) end = Text.size();
    WideString name = Text.substr(start, end - start);
    if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"') name = name.substr(1, name.size() - 2);
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

[[noreturn]] void RaiseNotExtended(const WideString& FileName) {
  kit::Raise(E_FAIL, u"Extended MAPI is not supported by the loaded MAPI library (%s)!", {FileName});
}

}  // namespace

TSession::TSession()
    : logonInfo_(MakeComObject<TVoMAPILogonInfoImpl>()), logoffInfo_(MakeComObject<TVoMAPILogoffInfoImpl>()) {
  GetConnectionPoints().CreateConnectionPoint(IID_IVoMAPISessionDEvents);
}

TSession::~TSession() = default;

void TSession::BeforeDestruction() {
  try {
    Logoff();
  } catch (...) {
    // A destructor cannot report; the MAPI session is released regardless.
  }
  TVoMAPISessionBase::BeforeDestruction();
}

// Logon and logoff ------------------------------------------------------------------------

void TSession::Set_Active(bool16 Value) {
  if (Value)
    Logon();
  else
    Logoff();
}

void TSession::Logon() {
  if (Active()) return;
  SetActive(true);
  try {
    Fire(&IVoMAPISessionDEvents::BeforeLogon);
    LogonSteps();
  } catch (...) {
    NotifyLogoff();
    try {
      EndSession();
    } catch (...) {
      // The logon's own failure is the one to report.
    }
    SetActive(false);
    throw;
  }
  Fire(&IVoMAPISessionDEvents::AfterLogon);
}

void TSession::LogonSteps() {
  const bool extended = logonInfo_->Get_UseExtendedMAPI();
  if (!VoMAPIModule()) LoadClientLibrary(extended);
  VoMAPIInitialize(logonInfo_->Get_MultiThreadedNotifications(), logonInfo_->Get_NTService(), extended, true);
  extended_ = extended;
  VoMAPILogon(parentWindow_, logonInfo_->Get_ProfileName(), logonInfo_->Get_Password(),
              logonInfo_->LogonFlags(extended), session_, simpleSession_);
  if (!extended) return;
  sink_ = MakeComObject<TVoMAPIAdviseSink<TSession>>(this, &TSession::OnNotify);
  CheckMAPIResult(this, u"Advise", session_->Advise(0, nullptr, fnevExtended, sink_.get(), &connection_));
  exchangeProfile_ = IsExchangeProfile();
  if (exchangeProfile_ && VoGetOutlookInfo().Version == NoOutlookInstalled) PrepareExchangeProfile();
}

void TSession::LoadClientLibrary(bool Extended) {
  WideString fileName = VoFindMAPIDll(mapiClient_);
  bool16 isExtended;
  if (!MAPILoad(fileName, isExtended)) kit::Raise(E_FAIL, u"Failed to load the MAPI library (%s)!", {fileName});
  if (Extended && !isExtended) {
    MAPIUnload();
    RaiseNotExtended(fileName);
  }
}

void TSession::Logoff() {
  if (!Active()) return;
  SetActive(false);
  std::exception_ptr failure;
  try {
    Fire(&IVoMAPISessionDEvents::BeforeLogoff);
  } catch (...) {
    failure = std::current_exception();  // the logoff completes first
  }
  NotifyLogoff();
  EndSession();
  if (failure) std::rethrow_exception(failure);
  Fire(&IVoMAPISessionDEvents::AfterLogoff);
}

void TSession::EndSession() {
  if (sink_) {
    sink_->Detach();
    if (session_ && connection_) session_->Unadvise(connection_);  // a session MAPI ended refuses; that is fine
    sink_ = nullptr;
  }
  connection_ = 0;
  exchangeProfile_ = false;
  sessionInfo_ = nullptr;
  if (!session_ && !simpleSession_) return;
  try {
    VoMAPILogoff(parentWindow_, extended_ ? logoffInfo_->LogoffFlags() : 0, session_, simpleSession_);
  } catch (...) {
    session_ = nullptr;
    simpleSession_ = 0;
    throw;
  }
}

void TSession::OnNotify(ULONG Count, const NOTIFICATION* Notifications) {
  // MAPI's shutdown: the session is logged off unless it was a session of its own.
  for (ULONG i = 0; i < Count && Active(); ++i)
    if (Notifications[i].ulEventType == fnevExtended && !logonInfo_->Get_NewSession()) Logoff();
}

void TSession::Fire(void (IVoMAPISessionDEvents::*Event)()) {
  TVoConnectionPoint* point = GetConnectionPoints().Find(IID_IVoMAPISessionDEvents);
  SetExecutingEvents(true);
  try {
    point->ForEachSink<IVoMAPISessionDEvents>([&](IVoMAPISessionDEvents* sink) { (sink->*Event)(); });
  } catch (...) {
    SetExecutingEvents(false);
    throw;
  }
  SetExecutingEvents(false);
}

// Guards and errors -------------------------------------------------------------------------

void TSession::CheckActive(std::u16string_view MethodName) {
  if (!Active()) kit::Raise(E_FAIL, u"You must logon before you can execute %s!", {MethodName});
}

void TSession::CheckUsingExtendedMAPI(std::u16string_view MethodName) {
  if (!GetExtendedMAPI())
    kit::Raise(MAPI_E_NO_SUPPORT, u"The %s can only be used in combination with Extended MAPI!", {MethodName});
}

bool TSession::GetExtendedMAPI() { return Active() ? extended_ : bool(logonInfo_->Get_UseExtendedMAPI()); }

bool TSession::GetCanUseUnicode() { return GetExtendedMAPI(); }

void TSession::GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) {
  Error = session_ ? kit::ReadLastError(session_.get(), Code, GetCanUseUnicode(), ClassName()) : TVoMAPIError();
}

void TSession::CheckLastError(std::u16string_view MethodName, HRESULT Code) {
  TVoMAPIError error;
  GetExtendedErrorInfo(Code, error);
  kit::Raise(Code, u"Component %s caused: %s (%s.%s)", {error.Component, error.Error, ClassName(), MethodName});
}

WideString TSession::GetErrorGroup() { return WideString(MAPIErrorGroup); }

// Settings --------------------------------------------------------------------------------

WideString TSession::Get_Version() {
  return VoOrbaMAPIVersion() + u".0 " + (VoProcessBitness() == bt64 ? u"64-bit" : u"32-bit");
}

void TSession::Set_MAPIClient(const WideString& Value) {
  if (Active())
    kit::Raise(E_FAIL, u"%s.SetMAPIClient failed, because the session is already active. Please logoff first!",
               {ClassName()});
  if (Value != mapiClient_ && !Value.empty()) {
    const std::vector<WideString> clients = SplitClients(VoGetMAPIInfo().Clients);
    if (std::find(clients.begin(), clients.end(), Value) == clients.end())
      kit::Raise(E_FAIL, u"%s.SetMAPIClient failed. \"%s\" is not installed on this system!", {ClassName(), Value});
  }
  WideString fileName;
  bool isExtended = false;
  VoLoadMAPIClientDLL(Value, fileName, isExtended, true);
  mapiClient_ = Value;
  if (logonInfo_->Get_UseExtendedMAPI() && !isExtended) RaiseNotExtended(fileName);
}

ComPtr<IVoMAPILogonInfo> TSession::Get_LogonInfo() { return ComPtr<IVoMAPILogonInfo>(logonInfo_.get()); }

ComPtr<IVoMAPILogoffInfo> TSession::Get_LogoffInfo() { return ComPtr<IVoMAPILogoffInfo>(logoffInfo_.get()); }

ComPtr<IVoMAPIInfo> TSession::Get_MAPIInfo() { return MakeComObject<TVoMAPIInfo>(VoGetMAPIInfo()); }

ComPtr<IVoMAPISessionInfo> TSession::GetSessionInfo() {
  CheckActive(u"GetSessionInfo");
  if (!sessionInfo_) sessionInfo_ = MakeComObject<TVoMAPISessionInfo>(ReadSessionInfo());
  return ComPtr<IVoMAPISessionInfo>(sessionInfo_.get());
}

// MAPI runtime ------------------------------------------------------------------------------

bool16 TSession::MAPILoad(WideString& FileName, bool16& IsExtended) {
  bool extended = false;
  VoLoadMAPIDLL(FileName, extended, false);
  IsExtended = extended;
  return MAPILoaded();
}

bool16 TSession::MAPILoaded() { return VoMAPIModule() != nullptr; }

void TSession::MAPIInitialize() {
  VoMAPIInitialize(logonInfo_->Get_MultiThreadedNotifications(), logonInfo_->Get_NTService(),
                   logonInfo_->Get_UseExtendedMAPI(), true);
}

bool16 TSession::MAPIInitialized() { return VoMAPIInitialized(); }

void TSession::MAPIUnitialize() { VoMAPIUninitialize(false); }

void TSession::MAPIUnload() { VoUnloadDLL(); }

}  // namespace orba
