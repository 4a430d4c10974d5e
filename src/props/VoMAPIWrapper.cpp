#include "orba/VoMAPIWrapper.h"

#include <utility>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {

TVoMAPIWrapper::TVoMAPIWrapper(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IUnknown> MAPIObject,
                               TVoKeepAlive KeepAlive)
    : TVoMAPIObject(Parent, KeepAlive), mapiObject_(std::move(MAPIObject)) {
  SetSession(Session);
}

TVoMAPIWrapper::~TVoMAPIWrapper() {
  // Leave the session's logoff list even when destroyed without the usual release.
  if (session_) session_->RemoveLogoffNotification(this);
}

void TVoMAPIWrapper::CheckActive(std::u16string_view MethodName, bool RequireExtendedMAPI) {
  TVoMAPIObject::CheckActive(MethodName);
  if (!session_) kit::Raise(MAPI_E_UNCONFIGURED, u"No session has been Assigned (%s.%s)!", {ClassName(), MethodName});
  if (session_->UseExtendedMAPI() && !mapiObject_)
    kit::Raise(E_ACCESSDENIED, u"%s.%s failed.\r\nThe object is not, or no longer, active!", {ClassName(), MethodName});
  if (RequireExtendedMAPI) CheckExtendedMAPI(MethodName);
}

void TVoMAPIWrapper::CheckExtendedMAPI(std::u16string_view MethodName) {
  if (!SessionChecked(MethodName).UseExtendedMAPI())
    kit::Raise(MAPI_E_NO_SUPPORT, u"%s.%s is not supported by Simple MAPI!", {ClassName(), MethodName});
}

void TVoMAPIWrapper::GetExtendedErrorInfo(HRESULT, TVoMAPIError& Error) { Error = {}; }

TVoMAPIError TVoMAPIWrapper::FormatExtendedErrorInfo(bool Unicode, LPMAPIERROR& MAPIError) {
  TVoMAPIBuffer<MAPIERROR> buffer(std::exchange(MAPIError, nullptr));
  return buffer.get() ? kit::MapiErrorRecord(*buffer.get(), Unicode) : TVoMAPIError();
}

ULONG_PTR TVoMAPIWrapper::GetParentWindow() { return session_ ? session_->GetParentWindow() : 0; }
ULONG_PTR TVoMAPIWrapper::GetAppHandle() { return session_ ? session_->GetAppHandle() : 0; }

void* TVoMAPIWrapper::AllocateBuffer(ULONG Size) { return SessionChecked(u"AllocateBuffer").AllocateBuffer(Size); }

void* TVoMAPIWrapper::AllocateMore(ULONG Size, void* Parent) {
  return SessionChecked(u"AllocateMore").AllocateMore(Size, Parent);
}

void TVoMAPIWrapper::FreeBuffer(void* Buffer) { SessionChecked(u"FreeBuffer").FreeBuffer(Buffer); }

LPENTRYID TVoMAPIWrapper::GetMAPIEntryID(const TVoMAPIEntryID& EntryID, ULONG& Size) {
  return _GetMAPIEntryID(session_, EntryID, Size);
}

void TVoMAPIWrapper::SetSession(TVoMAPISessionBase* Session) {
  if (Session == session_) return;
  if (session_) {
    session_->RemoveLogoffNotification(this);
    RemoveFreeNotification(session_);
  }
  session_ = Session;
  if (session_) {
    FreeNotification(session_);
    session_->LogoffNotification(this);
  }
}

void TVoMAPIWrapper::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) { mapiObject_ = std::move(MAPIObject); }

void TVoMAPIWrapper::SessionLogoff() { SetMAPIOBJECT(nullptr); }

HRESULT TVoMAPIWrapper::QueryBaseInterface(REFIID iid, void** out) {
  if (!InterfaceChainHas<IVoMAPIWrapper>(iid)) return E_NOINTERFACE;
  *out = static_cast<IVoMAPIWrapper*>(this);
  DoAddRef();
  return S_OK;
}

void TVoMAPIWrapper::Notification(TVoAutoIntfObject* destroyed) {
  TVoMAPIObject::Notification(destroyed);
  // Without its session the MAPI object is of no use any more.
  if (destroyed == session_) {
    session_ = nullptr;
    SetMAPIOBJECT(nullptr);
  }
}

TVoMAPISessionBase& TVoMAPIWrapper::SessionChecked(std::u16string_view MethodName) {
  if (!session_) kit::Raise(MAPI_E_UNCONFIGURED, u"No session has been Assigned (%s.%s)!", {ClassName(), MethodName});
  return *session_;
}

}  // namespace orba
