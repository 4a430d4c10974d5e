// TVoMAPIWrapper: the base of every library object that wraps a MAPI interface. It
// holds the wrapped object and the session, guards every call (session assigned,
// object active, Extended MAPI where required), hands out MAPI memory through the
// session, and reads extended errors.
#pragma once

#include <string_view>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIObject.h"
#include "orba/VoMAPISessionBase.h"
#include "orba/VoMAPIWrapperIntf.h"
#include "orba/common/comptr.h"

namespace orba {

class TVoMAPIWrapper : public TVoMAPIObject, public IVoMAPIWrapper {
 public:
  // Parent may be null. Session (may be null) is assigned with SetSession, MAPIObject
  // (may be null) with SetMAPIOBJECT.
  TVoMAPIWrapper(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IUnknown> MAPIObject,
                 TVoKeepAlive KeepAlive = kaNone);
  ~TVoMAPIWrapper() override;

  // The guard of every call, naming MethodName: the parent check, then no session
  // raises 0x8004011C "No session has been Assigned (%s.%s)!", an Extended MAPI session
  // without MAPI object raises 0x80070005 "%s.%s failed.\r\nThe object is not, or no
  // longer, active!"; with RequireExtendedMAPI then CheckExtendedMAPI.
  void CheckActive(std::u16string_view MethodName) override { CheckActive(MethodName, false); }
  void CheckActive(std::u16string_view MethodName, bool RequireExtendedMAPI);
  // A Simple MAPI session raises 0x80040102 "%s.%s is not supported by Simple MAPI!".
  void CheckExtendedMAPI(std::u16string_view MethodName);

  // IVoMAPIWrapper. The base has no extended error: an empty record.
  WideString GetClassName() override { return ClassName(); }
  void GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) override;
  WideString GetErrorGroup() override { return TVoMAPIObject::GetErrorGroup(); }
  IUnknown* GetMAPIObject() override { return mapiObject_.get(); }

  // The record of a MAPI error buffer (texts UTF-16 when Unicode, else 8-bit text of
  // the system code page); the buffer is freed with MAPIFreeBuffer and MAPIError
  // cleared. A null buffer gives the empty record.
  static TVoMAPIError FormatExtendedErrorInfo(bool Unicode, LPMAPIERROR& MAPIError);

  // From the session; 0 without one.
  ULONG_PTR GetParentWindow();
  ULONG_PTR GetAppHandle();
  // MAPI memory through the session; without one raises the no-session text.
  void* AllocateBuffer(ULONG Size);
  void* AllocateMore(ULONG Size, void* Parent);
  void FreeBuffer(void* Buffer);
  // The entry ID copied into MAPI memory (the caller frees it); Size receives its size.
  // See _GetMAPIEntryID.
  LPENTRYID GetMAPIEntryID(const TVoMAPIEntryID& EntryID, ULONG& Size);

  TVoMAPISessionBase* Session() const { return session_; }
  // Assigns the session (null: none) and registers for its logoff.
  void SetSession(TVoMAPISessionBase* Session);
  const ComPtr<IUnknown>& MAPIOBJECT() const { return mapiObject_; }
  // Replaces the wrapped object (null: the object becomes inactive).
  virtual void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject);
  // The object that created this one while it lives.
  TVoAutoIntfObject* CreatedBy() const { return Creator(); }
  // The session logged off: the MAPI object is released.
  virtual void SessionLogoff();

  // Answers IVoMAPIWrapper for TVoComObject's QueryInterface.
  HRESULT QueryBaseInterface(REFIID iid, void** out);

 protected:
  void Notification(TVoAutoIntfObject* destroyed) override;

 private:
  // Raises the no-session text for MethodName when no session is assigned.
  TVoMAPISessionBase& SessionChecked(std::u16string_view MethodName);

  TVoMAPISessionBase* session_ = nullptr;
  ComPtr<IUnknown> mapiObject_;
};

}  // namespace orba
