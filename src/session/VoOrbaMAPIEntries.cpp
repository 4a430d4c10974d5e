// TSession's services: stores and entries, profile sections, the spooler's queues, the
// folder dialog of the user-interface add-on, the list factories and property
// registration; and the out-of-process session this platform cannot host.
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPITable.h"
#include "orba/VoOrbaMAPI.h"
#include "session/VoMAPIProfile.h"

namespace orba {

namespace {

// The public folders store's provider (pbExchangeProviderPublicGuid).
constexpr BYTE kPublicFoldersProvider[] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                           0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);

constexpr kit::TResultText kOpenMsgStoreTexts[] = {
    {MAPI_E_NO_ACCESS,
     u"%s.OpenMsgStore failed!\r\nAn attempt was made to access a message store for which the user has insufficient "
     u"permissions."},
    {MAPI_E_NOT_FOUND, u"%s.OpenMsgStore failed!\r\nThe message store indicated by MsgStoreID does not exist."},
    {MAPI_E_LOGON_FAILED,
     u"%s.OpenMsgStore failed!\r\nOpenMsgStore has insufficient configuration information to open the message store "
     u"without the user's help."},
};
constexpr kit::TResultText kCachedModeTexts[] = {
    {MAPI_E_FAILONEPROVIDER,
     u"%s.OpenMsgStore failed!\r\nCheck if the Cached Exchange Mode has been enabled. If not, enable the cache and "
     u"try it again!."},
};
constexpr kit::TResultText kOpenEntryTexts[] = {
    {MAPI_E_NO_ACCESS,
     u"%s.OpenEntry failed!\r\nAn attempt was made to modify a read-only object or an attempt was made to access an "
     u"object for which the user has insufficient permissions."},
    {MAPI_E_NOT_FOUND,
     u"%s.OpenEntry failed!\r\nThere is not an object associated with the entry identifier passed in lpEntryID."},
    {MAPI_E_UNKNOWN_ENTRYID,
     u"%s.OpenEntry failed!\r\nThe entry identifier passed in the lpEntryID parameter is in an unrecognizable "
     u"format.\r\nThis value is typically returned if the service provider that contains the object is not open."},
};
constexpr kit::TResultText kFlushQueuesTexts[] = {
    {MAPI_E_NO_SUPPORT, u"%s.FlushQueues failed!\r\nThe MAPI Spooler does not support this operation!"},
    {MAPI_E_BUSY,
     u"%s.FlushQueues failed!\r\nAnother operation is in progress that prevents the column setting operation from "
     u"starting.\r\nEither the operation in progress should be allowed to complete or it should be stopped"},
};

TVoCreateFolderDialogProc& CreateFolderDialogProc() {
  static TVoCreateFolderDialogProc proc;
  return proc;
}

// A non-empty entry ID argument of the session's method MethodName.
kit::TEntryIDArg EntryArg(TSession& Session, const TVoMAPIEntryID& EntryID, std::u16string_view MethodName) {
  std::vector<BYTE> bytes = kit::EntryIDBytes(EntryID, &Session, MethodName);
  if (bytes.empty()) kit::Raise(E_INVALIDARG, u"An invalid (empty) EntryID was specified!");
  return kit::TEntryIDArg(std::move(bytes));
}

MAPIUID ProfileUID(const TVoMAPIEntryID& UID) {
  try {
    return EntryIDToUID(UID);
  } catch (const EVoException&) {
    kit::Raise(E_INVALIDARG, u"An invalid ProfileUID was provided!");
  }
}

template <class List>
ComPtr<List> NewList(TSession& Session, std::u16string_view MethodName) {
  Session.CheckActive(MethodName);
  return MakeComObject<List>();
}

TVoMAPIEntryID BinaryOf(const SPropValue& Value) { return BinToEntryID(LONG(Value.Value.bin.cb), Value.Value.bin.lpb); }

}  // namespace

// Stores ----------------------------------------------------------------------------------

TVoMAPIEntryID TSession::FindStore(ULONG Column, const std::function<bool(const SPropValue&)>& Matches,
                                   std::u16string_view MethodName) {
  CheckActive(MethodName);
  CheckUsingExtendedMAPI(MethodName);
  ComPtr<IMAPITable> table;
  CheckMAPIResult(this, u"GetMsgStoresTable", session_->GetMsgStoresTable(0, table.Out()));
  const ULONG entryTag = GetPropTag(PR_ENTRYID);
  TVoMAPIRows rows;
  kit::QueryAllRows(table.get(), {entryTag, Column}, rows, this, u"GetMsgStoresTable");
  for (ULONG i = 0; i < rows.Count(); ++i) {
    const SPropValue* value = kit::FindColumn(rows[i], Column);
    const SPropValue* entryId = kit::FindColumn(rows[i], entryTag);
    if (value && entryId && Matches(*value)) return BinaryOf(*entryId);
  }
  return TVoVariant::Null();
}

ComPtr<IVoMAPITable> TSession::GetMsgStoresTable() {
  CheckActive(u"GetMsgStoresTable");
  CheckUsingExtendedMAPI(u"GetMsgStoresTable");
  ComPtr<IMAPITable> table;
  CheckMAPIResult(this, u"GetMsgStoresTable", session_->GetMsgStoresTable(0, table.Out()));
  return MakeComObject<TVoMAPITable>(nullptr, this, std::move(table));
}

TVoMAPIEntryID TSession::GetDefaultMsgStoreID() {
  TVoMAPIEntryID id = FindStore(
      GetPropTag(PR_DEFAULT_STORE), [](const SPropValue& value) { return value.Value.b != 0; },
      u"GetDefaultMsgStoreID");
  if (id.IsNull()) kit::Raise(E_FAIL, u"Failed to determine the default messagestore!");
  return id;
}

TVoMAPIEntryID TSession::GetPublicFoldersMsgStoreID() {
  TVoMAPIEntryID id = FindStore(
      GetPropTag(PR_MDB_PROVIDER),
      [](const SPropValue& value) {
        return value.Value.bin.cb == sizeof kPublicFoldersProvider &&
               std::equal(kPublicFoldersProvider, std::end(kPublicFoldersProvider), value.Value.bin.lpb);
      },
      u"GetPublicFoldersMsgStoreID");
  if (id.IsNull()) kit::Raise(E_FAIL, u"Failed to determine the public folders messagestore!");
  return id;
}

ComPtr<IMsgStore> TSession::OpenMAPIMsgStore(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                             bool NoCache) {
  CheckActive(u"OpenMsgStore");
  CheckUsingExtendedMAPI(u"OpenMsgStore");
  kit::TEntryIDArg id = EntryArg(*this, EntryID, u"OpenMsgStore");
  const ULONG access = AccessLevel == alBestAccess ? MAPI_BEST_ACCESS : AccessLevel == alReadWrite ? MDB_WRITE : 0;
  const ULONG noCache = NoCache && VoGetOutlookInfo().Version >= OL2003 ? MAPI_NO_CACHE : 0;
  ComPtr<IMsgStore> store;
  HRESULT hr = session_->OpenMsgStore(parentWindow_, id.Size(), id.get(), &IID_IMsgStore,
                                      access | noCache | MDB_NO_DIALOG, store.Out());
  if (hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) return store;
  kit::RaiseResultText(hr, kOpenMsgStoreTexts, ClassName());
  // A mailbox that cannot be reached online may need the cache.
  if (ConnectedToExchange() && VoGetOutlookInfo().Version >= OL2016)
    kit::RaiseResultText(hr, kCachedModeTexts, ClassName());
  CheckLastError(u"GetMsgStore", hr);
}

// Entries ----------------------------------------------------------------------------------

ComPtr<IUnknown> TSession::OpenEntry(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                     ULONG& ObjectType, std::u16string_view MethodName, bool NotFoundIsNull) {
  ObjectType = 0;
  CheckActive(MethodName);
  CheckUsingExtendedMAPI(MethodName);
  kit::TEntryIDArg id = EntryArg(*this, EntryID, MethodName);
  ComPtr<IUnknown> object;
  ULONG type = 0;
  HRESULT hr = session_->OpenEntry(id.Size(), id.get(), InterfaceID, Flags, &type, object.Out());
  if (NotFoundIsNull && hr == MAPI_E_NOT_FOUND) return nullptr;
  if (FAILED(hr)) {
    kit::RaiseResultText(hr, kOpenEntryTexts, ClassName());
    CheckLastError(u"OpenEntry", hr);
  }
  ObjectType = type;
  return object;
}

ComPtr<IUnknown> TSession::OpenEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                       ULONG& ObjectType) {
  return OpenEntry(EntryID, InterfaceID, Flags, ObjectType, u"OpenEntryEx", false);
}

ComPtr<IUnknown> TSession::FindEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                       ULONG& ObjectType) {
  return OpenEntry(EntryID, InterfaceID, Flags, ObjectType, u"FindEntryEx", true);
}

bool16 TSession::CompareEntryIDs(const TVoMAPIEntryID& A, const TVoMAPIEntryID& B) {
  CheckActive(u"CompareEntryIDs");
  CheckUsingExtendedMAPI(u"CompareEntryIDs");
  kit::TEntryIDArg a = EntryArg(*this, A, u"CompareEntryIDs"), b = EntryArg(*this, B, u"CompareEntryIDs");
  ULONG same = 0;
  CheckMAPIResult(this, u"CompareEntryIDs", session_->CompareEntryIDs(a.Size(), a.get(), b.Size(), b.get(), 0, &same));
  return same != 0;
}

ComPtr<IVoMAPIProp> TSession::OpenProfileSection(const TVoMAPIEntryID& UID, TVoMAPIAccessLevel AccessLevel) {
  CheckActive(u"OpenProfileSection");
  CheckUsingExtendedMAPI(u"OpenProfileSection");
  MAPIUID uid = ProfileUID(UID);
  TVoMAPIAccessLevel opened = AccessLevel == alReadOnly ? alReadOnly : alReadWrite;
  ComPtr<IProfSect> section;
  HRESULT hr = session_->OpenProfileSection(&uid, nullptr, opened == alReadWrite ? MAPI_MODIFY : 0, section.Out());
  if (hr == MAPI_E_NO_ACCESS && AccessLevel == alBestAccess) {
    opened = alReadOnly;
    hr = session_->OpenProfileSection(&uid, nullptr, 0, section.Out());
  }
  CheckMAPIResult(this, u"OpenProfileSection", hr);
  return MakeComObject<TVoMAPIProfSect>(nullptr, this, ComPtr<IMAPIProp>(section.get()), opened);
}

// Services ---------------------------------------------------------------------------------

void SetCreateFolderDialogProc(TVoCreateFolderDialogProc Proc) { CreateFolderDialogProc() = std::move(Proc); }

ComPtr<IVoMAPIFolderDialog> TSession::CreateFolderDialog() {
  CheckActive(u"CreateFolderDialog");
  if (!CreateFolderDialogProc())
    kit::Raise(E_FAIL,
               u"%s.CreateFolderDialog failed!\r\nNo folder dialog has been registered. Link one of the two "
               u"folder-dialog units of the user-interface add-on, which register themselves with "
               u"SetCreateFolderDialogProc.",
               {ClassName()});
  return CreateFolderDialogProc()(this);
}

void TSession::FlushQueues(TVoMAPIFlushFlags Flags) {
  CheckActive(u"FlushQueues");
  CheckUsingExtendedMAPI(u"FlushQueues");
  auto unavailable = [&](HRESULT code) {
    kit::Raise(code, u"%s.FlushQueues failed. The MAPI Spoolerstatus can't be retrieved!", {ClassName()});
  };
  ComPtr<IMAPITable> table;
  if (HRESULT hr = session_->GetStatusTable(0, table.Out()); FAILED(hr)) unavailable(hr);
  const ULONG typeTag = GetPropTag(PR_RESOURCE_TYPE), methodsTag = GetPropTag(PR_RESOURCE_METHODS);
  const ULONG entryTag = GetPropTag(PR_ENTRYID);
  TVoMAPIRows rows;
  kit::QueryAllRows(table.get(), {typeTag, methodsTag, entryTag}, rows, this, u"GetStatusTable");
  for (ULONG i = 0; i < rows.Count(); ++i) {
    const SPropValue* type = kit::FindColumn(rows[i], typeTag);
    const SPropValue* entryId = kit::FindColumn(rows[i], entryTag);
    if (!type || type->Value.ul != MAPI_SPOOLER || !entryId) continue;
    const SPropValue* methods = kit::FindColumn(rows[i], methodsTag);
    if (!methods || !(methods->Value.ul & STATUS_FLUSH_QUEUES))
      kit::RaiseResultText(MAPI_E_NO_SUPPORT, kFlushQueuesTexts, ClassName());
    ULONG objectType = 0;
    ComPtr<IUnknown> status;
    HRESULT hr = session_->OpenEntry(entryId->Value.bin.cb, reinterpret_cast<LPENTRYID>(entryId->Value.bin.lpb),
                                     &IID_IMAPIStatus, 0, &objectType, status.Out());
    ComPtr<IMAPIStatus> spooler = status.Query<IMAPIStatus>(IID_IMAPIStatus);
    if (FAILED(hr) || !spooler) unavailable(FAILED(hr) ? hr : E_NOINTERFACE);
    hr = spooler->FlushQueues(parentWindow_, 0, nullptr, ULONG(Flags));
    kit::RaiseResultText(hr, kFlushQueuesTexts, ClassName());
    CheckMAPIResult(this, u"FlushQueues", hr);
    return;
  }
  unavailable(E_FAIL);
}

// Factories and properties -------------------------------------------------------------------

ComPtr<IVoMAPIEntryIDList> TSession::CreateEntryIDList() {
  return NewList<TVoMAPIEntryIDList>(*this, u"CreateEntryIDList");
}
ComPtr<IVoMAPIPropList> TSession::CreatePropList() { return NewList<TVoMAPIPropList>(*this, u"CreatePropList"); }
ComPtr<IVoMAPIValueList> TSession::CreateValueList() { return NewList<TVoMAPIValueList>(*this, u"CreateValueList"); }
ComPtr<IVoMAPIPropValueList> TSession::CreatePropValueList() {
  return NewList<TVoMAPIPropValueList>(*this, u"CreatePropValueList");
}

TVoMAPIPropDefID TSession::RegisterProp(const WideString& Name, const TVoVariant& IDOrName, uint32_t PropType,
                                        bool16 Named, const GUID& PropSet) {
  CheckActive(u"RegisterProp");
  const TVoVarKind kind = TVoTypes::VarMainTypeKind(IDOrName);
  const TVoMAPIPropInfo* info = nullptr;
  if (!Named) {
    const int64_t id = kind == TVoVarKind::Integer ? VoVarToInt64(IDOrName) : -1;
    if (id < 0 || id > 0xFFFF)
      kit::Raise(E_INVALIDARG, u"%s.RegisterProp failed!\r\nA standard property needs a number from 0 to 65535.",
                 {ClassName()});
    info = orba::RegisterProp(Name, uint16_t(id), PropType);
  } else if (kind == TVoVarKind::Integer) {
    info = orba::RegisterProp(PropSet, Name, VoVarToInt(IDOrName), PropType);
  } else if (kind == TVoVarKind::String) {
    info = orba::RegisterProp(PropSet, Name, VoVarToStr(IDOrName), PropType);
  } else {
    kit::Raise(E_INVALIDARG, u"%s.RegisterProp failed!\r\nA named property needs a number or a name.", {ClassName()});
  }
  return info->PropDef->ID;
}

ComPtr<IVoMAPISession> CoSessionCreate() {
  kit::Raise(REGDB_E_CLASSNOTREG,
             u"CoSessionCreate failed!\r\nThe out-of-process session needs a COM local server, which this platform "
             u"does not have. Create a TSession in this process instead.");
}

}  // namespace orba
