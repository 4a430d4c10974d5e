// The session component (unit uVoOrbaMAPI): TSession, the object a client program
// creates first. It carries the logon settings, loads and initialises MAPI, logs on and
// off, raises its events around both, and hands out the session's entries, profile
// sections and lists. Its companions hold the settings (TVoMAPILogonInfoImpl,
// TVoMAPILogoffInfoImpl) and report the installed clients (TVoMAPIInfo) and what the
// logged-on session works with (TVoMAPISessionInfo).
//
//   auto session = MakeComObject<TSession>();
//   session->Get_LogonInfo()->Set_ProfileName(u"Work");
//   session->Logon();
//   TVoMAPIEntryID store = session->GetDefaultMsgStoreID();
//
// Events: connect a sink that implements IVoMAPISessionDEvents with EventConnect.
// A session and everything opened through it belong to the thread that logged on.
#pragma once

#include <functional>
#include <string_view>

#include "mapi/mapix.h"
#include "orba/VoMAPIInterfaces.h"
#include "orba/VoMAPILib.h"
#include "orba/VoMAPISessionBase.h"
#include "orba/VoMAPIWrapperIntf.h"
#include "orba/common/autoobject.h"

namespace orba {

// The logon settings with their defaults (ShowLogonDialog, NewSession, ShortTimeOut and
// UseExtendedMAPI on, the rest off).
class TVoMAPILogonInfoImpl : public TVoComObject<TVoAutoIntfObject, IVoMAPILogonInfo> {
 public:
  bool16 Get_Shared() override { return shared_; }
  void Set_Shared(bool16 Value) override { shared_ = Value; }
  bool16 Get_ProfileRequired() override { return profileRequired_; }
  void Set_ProfileRequired(bool16 Value) override { profileRequired_ = Value; }
  bool16 Get_UseExtendedMAPI() override { return useExtendedMAPI_; }
  void Set_UseExtendedMAPI(bool16 Value) override { useExtendedMAPI_ = Value; }
  bool16 Get_ForceDownload() override { return forceDownload_; }
  void Set_ForceDownload(bool16 Value) override { forceDownload_ = Value; }
  bool16 Get_ShowLogonDialog() override { return showLogonDialog_; }
  void Set_ShowLogonDialog(bool16 Value) override;
  bool16 Get_NewSession() override { return newSession_; }
  void Set_NewSession(bool16 Value) override { newSession_ = Value; }
  bool16 Get_NoMail() override { return noMail_; }
  void Set_NoMail(bool16 Value) override { noMail_ = Value; }
  bool16 Get_NTService() override { return ntService_; }
  void Set_NTService(bool16 Value) override;
  bool16 Get_ShowPasswordDialog() override { return showPasswordDialog_; }
  void Set_ShowPasswordDialog(bool16 Value) override;
  bool16 Get_ShowServiceDialog() override { return showServiceDialog_; }
  void Set_ShowServiceDialog(bool16 Value) override { showServiceDialog_ = Value; }
  bool16 Get_ShortTimeOut() override { return shortTimeOut_; }
  void Set_ShortTimeOut(bool16 Value) override { shortTimeOut_ = Value; }
  bool16 Get_MultiThreadedNotifications() override { return multiThreadedNotifications_; }
  void Set_MultiThreadedNotifications(bool16 Value) override { multiThreadedNotifications_ = Value; }
  WideString Get_ProfileName() override { return profileName_; }
  void Set_ProfileName(const WideString& Value) override { profileName_ = Value; }
  WideString Get_Password() override { return password_; }
  void Set_Password(const WideString& Value) override { password_ = Value; }

  // MAPI's logon flags for these settings: 0x00100063 with the defaults. Without
  // UseExtendedMAPI only MAPI_LOGON_UI can be set; with Unicode (a session that can use
  // Unicode) MAPI_UNICODE is added.
  ULONG LogonFlags(bool Unicode) const;

 private:
  bool shared_ = false;
  bool profileRequired_ = false;
  bool useExtendedMAPI_ = true;
  bool forceDownload_ = false;
  bool showLogonDialog_ = true;
  bool newSession_ = true;
  bool noMail_ = false;
  bool ntService_ = false;
  bool showPasswordDialog_ = false;
  bool showServiceDialog_ = false;
  bool shortTimeOut_ = true;
  bool multiThreadedNotifications_ = false;
  WideString profileName_;
  WideString password_;
};

// The logoff settings; both off by default.
class TVoMAPILogoffInfoImpl : public TVoComObject<TVoAutoIntfObject, IVoMAPILogoffInfo> {
 public:
  bool16 Get_Shared() override { return shared_; }
  void Set_Shared(bool16 Value) override { shared_ = Value; }
  bool16 Get_ShowLogoffDialog() override { return showLogoffDialog_; }
  void Set_ShowLogoffDialog(bool16 Value) override { showLogoffDialog_ = Value; }
  // MAPI_LOGOFF_SHARED and MAPI_LOGOFF_UI by the settings.
  ULONG LogoffFlags() const;

 private:
  bool shared_ = false;
  bool showLogoffDialog_ = false;
};

// The installed MAPI clients, read once from the loader (VoGetMAPIInfo).
class TVoMAPIInfo : public TVoComObject<TVoAutoIntfObject, IVoMAPIInfo> {
 public:
  explicit TVoMAPIInfo(TVoMAPIInfoRec Info) : info_(std::move(Info)) {}
  bool16 Get_ExtendedMAPI() override { return info_.ExtendedMAPI; }
  bool16 Get_SimpleMAPI() override { return info_.SimpleMAPI; }
  WideString Get_Version() override { return info_.Version; }
  WideString Get_Clients() override { return info_.Clients; }
  WideString Get_DefaultClient() override { return info_.DefaultClient; }
  bool16 Get_X86() override { return info_.Bitness == bt32; }
  bool16 Get_InProc() override { return info_.InProc; }

 private:
  TVoMAPIInfoRec info_;
};

// What a logged-on session works with, read when it is first asked for.
struct TVoMAPISessionInfoRec {
  bool ExtendedMAPI = false;
  WideString ProfileName;
  bool ConnectedToExchange = false;
  bool CachedExchangeMode = false;
  WideString ServerName;
};

class TVoMAPISessionInfo : public TVoComObject<TVoAutoIntfObject, IVoMAPISessionInfo> {
 public:
  explicit TVoMAPISessionInfo(TVoMAPISessionInfoRec Info) : info_(std::move(Info)) {}
  bool16 Get_ExtendedMAPI() override { return info_.ExtendedMAPI; }
  WideString Get_ProfileName() override { return info_.ProfileName; }
  bool16 Get_ConnectedToExchange() override { return info_.ConnectedToExchange; }
  bool16 Get_CachedExchangeMode() override { return info_.CachedExchangeMode; }
  WideString Get_ServerName() override;

 private:
  TVoMAPISessionInfoRec info_;
};

// The folder dialog factory of the user-interface add-on; CreateFolderDialog calls it
// with the session. Registering an empty function removes it.
using TVoCreateFolderDialogProc = std::function<ComPtr<IVoMAPIFolderDialog>(IVoMAPISession* Session)>;
void SetCreateFolderDialogProc(TVoCreateFolderDialogProc Proc);

// The out-of-process session that hosts a MAPI client library of the other bitness in
// a COM local server. This platform has no COM local servers: it raises
// REGDB_E_CLASSNOTREG (0x80040154) saying so; create a TSession in the process instead.
ComPtr<IVoMAPISession> CoSessionCreate();

template <class Owner>
class TVoMAPIAdviseSink;

class TSession : public TVoComObject<TVoMAPISessionBase, IVoMAPISession, IVoMAPIWrapper> {
 public:
  TSession();
  ~TSession() override;

  // IVoMAPISession.
  bool16 Get_Active() override { return Active(); }
  void Set_Active(bool16 Value) override;
  void Logon() override;
  void Logoff() override;
  ULONG_PTR Get_ParentWindow() override { return parentWindow_; }
  void Set_ParentWindow(ULONG_PTR Value) override { parentWindow_ = Value; }
  ULONG_PTR Get_AppHandle() override { return appHandle_; }
  void Set_AppHandle(ULONG_PTR Value) override { appHandle_ = Value; }
  WideString Get_Version() override;
  WideString Get_MAPIClient() override { return mapiClient_; }
  void Set_MAPIClient(const WideString& Value) override;
  ComPtr<IVoMAPILogonInfo> Get_LogonInfo() override;
  ComPtr<IVoMAPILogoffInfo> Get_LogoffInfo() override;
  ComPtr<IVoMAPIInfo> Get_MAPIInfo() override;
  ComPtr<IVoMAPISessionInfo> GetSessionInfo() override;
  bool16 MAPILoad(WideString& FileName, bool16& IsExtended) override;
  bool16 MAPILoaded() override;
  void MAPIInitialize() override;
  bool16 MAPIInitialized() override;
  void MAPIUnitialize() override;
  void MAPIUnload() override;
  TVoMAPIEntryID GetDefaultMsgStoreID() override;
  TVoMAPIEntryID GetPublicFoldersMsgStoreID() override;
  ComPtr<IVoMAPITable> GetMsgStoresTable() override;
  ComPtr<IVoMAPIMsgStore> OpenMsgStore(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                       bool16 NoCache) override;
  ComPtr<IVoMAPIMsgStore> OpenDefaultMsgStore(TVoMAPIAccessLevel AccessLevel, bool16 NoCache) override;
  ComPtr<IUnknown> OpenEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                               ULONG& ObjectType) override;
  ComPtr<IUnknown> FindEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                               ULONG& ObjectType) override;
  ComPtr<IUnknown> OpenEntry(const TVoMAPIEntryID& EntryID, TVoMAPIObjectType& ObjectType,
                             TVoMAPIAccessLevel AccessLevel) override;
  ComPtr<IUnknown> FindEntry(const TVoMAPIEntryID& EntryID, TVoMAPIObjectType& ObjectType,
                             TVoMAPIAccessLevel AccessLevel) override;
  bool16 CompareEntryIDs(const TVoMAPIEntryID& A, const TVoMAPIEntryID& B) override;
  ComPtr<IVoMAPIProp> OpenProfileSection(const TVoMAPIEntryID& UID, TVoMAPIAccessLevel AccessLevel) override;
  ComPtr<IVoMAPIFolderDialog> CreateFolderDialog() override;
  void FlushQueues(TVoMAPIFlushFlags Flags) override;
  ComPtr<IVoMAPIEntryIDList> CreateEntryIDList() override;
  ComPtr<IVoMAPIPropList> CreatePropList() override;
  ComPtr<IVoMAPIValueList> CreateValueList() override;
  ComPtr<IVoMAPIPropValueList> CreatePropValueList() override;
  TVoMAPIPropDefID RegisterProp(const WideString& Name, const TVoVariant& IDOrName, uint32_t PropType, bool16 Named,
                                const GUID& PropSet) override;

  // IVoMAPIWrapper: the extended error of the MAPI session, which is the wrapped object.
  WideString GetClassName() override { return ClassName(); }
  void GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) override;
  WideString GetErrorGroup() override;
  IUnknown* GetMAPIObject() override { return session_.get(); }

  // TVoMAPISessionBase.
  bool UseExtendedMAPI() override { return GetExtendedMAPI(); }
  bool ConnectedToExchange() override { return exchangeProfile_; }
  ULONG_PTR GetParentWindow() override { return parentWindow_; }
  ULONG_PTR GetAppHandle() override { return appHandle_; }

  // The guard of the session's operations: E_FAIL "You must logon before you can
  // execute %s!" while logged off.
  void CheckActive(std::u16string_view MethodName);
  // 0x80040102 "The %s can only be used in combination with Extended MAPI!" on a
  // Simple MAPI session.
  void CheckUsingExtendedMAPI(std::u16string_view MethodName);
  // Whether the session works (or, logged off, will work) with Extended MAPI, and
  // whether it passes strings to MAPI as UTF-16.
  bool GetExtendedMAPI();
  bool GetCanUseUnicode();
  // Reads the extended error of Code and raises "Component %s caused: %s (%s.%s)" with
  // Code itself, so that the exception's class follows the MAPI result.
  [[noreturn]] void CheckLastError(std::u16string_view MethodName, HRESULT Code);

  // The MAPI session of an Extended MAPI logon; null while logged off.
  IMAPISession* MAPISession() const { return session_.get(); }
  // Opens a message store by its entry ID as IMsgStore (alReadWrite asks for MDB_WRITE,
  // alBestAccess for MAPI_BEST_ACCESS; no dialog is shown), with the texts of
  // OpenMsgStore for its failures. The store wrapper of the stores unit is built on it.
  ComPtr<IMsgStore> OpenMAPIMsgStore(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                     bool NoCache = false);
  // The public folders store's entry ID, Null when the profile has none.
  TVoMAPIEntryID FindPublicFoldersMsgStoreID();

 protected:
  // A session that is destroyed logs off first.
  void BeforeDestruction() override;

 private:
  friend class TVoMAPIAdviseSink<TSession>;

  // The logon's steps after the base is marked active.
  void LogonSteps();
  void LoadClientLibrary(bool Extended);
  bool IsExchangeProfile();
  // Makes sure that an Exchange profile can open its mailbox without Outlook.
  void PrepareExchangeProfile();
  bool CanOpenDefaultStore();
  // Unadvises, logs off the MAPI session and forgets it.
  void EndSession();
  void Fire(void (IVoMAPISessionDEvents::*Event)());
  // The session's MAPI events: MAPI announcing its shutdown (an extended event).
  void OnNotify(ULONG Count, const NOTIFICATION* Notifications);
  TVoMAPISessionInfoRec ReadSessionInfo();
  // The store entry ID of the first row of the stores table Matches accepts, or Null.
  TVoMAPIEntryID FindStore(ULONG Column, const std::function<bool(const SPropValue&)>& Matches,
                           std::u16string_view MethodName);
  ComPtr<IUnknown> OpenMAPIEntry(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags, ULONG& ObjectType,
                                 std::u16string_view MethodName, bool NotFoundIsNull);
  // OpenEntry and FindEntry: the object of an entry wrapped in the library's class.
  ComPtr<IUnknown> OpenWrappedEntry(const TVoMAPIEntryID& EntryID, TVoMAPIObjectType& ObjectType,
                                    TVoMAPIAccessLevel AccessLevel, std::u16string_view MethodName,
                                    bool NotFoundIsNull);

  ULONG_PTR parentWindow_ = 0;
  ULONG_PTR appHandle_ = 0;
  WideString mapiClient_;
  ComPtr<TVoMAPILogonInfoImpl> logonInfo_;
  ComPtr<TVoMAPILogoffInfoImpl> logoffInfo_;
  ComPtr<TVoMAPISessionInfo> sessionInfo_;
  bool extended_ = true;  // the mode of the current logon
  ComPtr<IMAPISession> session_;
  LHANDLE simpleSession_ = 0;
  ULONG_PTR connection_ = 0;
  ComPtr<TVoMAPIAdviseSink<TSession>> sink_;
  bool exchangeProfile_ = false;
};

}  // namespace orba
