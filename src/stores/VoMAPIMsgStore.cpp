// TVoMAPIMsgStore: opening entries, folders and messages by entry ID, the special
// folders, entry ID comparison and what the store tells about itself.
#include "orba/VoMAPIMsgStore.h"

#include <algorithm>

#include "kit/VoMAPIAdviseSink.h"
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPILib.h"
#include "orba/common/casefold.h"
#include "orba/common/encoding.h"

namespace orba {
namespace {

constexpr kit::TResultText kOpenEntryTexts[] = {
    {MAPI_E_INVALID_OBJECT, u"%s.OpenEntry failed!\r\nThere is no object with the given EntryID!"},
};
constexpr std::u16string_view kReadOnlyStoreText =
    u"%s.OpenEntry failed!\r\nAn attempt was made to open an object in read/write mode but the messagestore is "
    u"opened in Read Only mode!";
constexpr std::u16string_view kNoPermissionText =
    u"%s.OpenEntry failed!\r\nAn attempt was made to modify a read-only object or to access an object for which the "
    u"user has insufficient permissions!";

// The store properties of the special folders a store names itself.
struct TStoreFolderProp {
  TVoMAPIFolderType FolderType;
  TVoMAPIPropDef Prop;
};
constexpr TStoreFolderProp kStoreFolderProps[] = {
    {ftOutbox, PR_IPM_OUTBOX_ENTRYID},      {ftDeleted, PR_IPM_WASTEBASKET_ENTRYID},
    {ftSentItems, PR_IPM_SENTMAIL_ENTRYID}, {ftIPMRoot, PR_IPM_SUBTREE_ENTRYID},
    {ftSearch, PR_FINDER_ENTRYID},          {ftCommon, PR_COMMON_VIEWS_ENTRYID},
    {ftPersonal, PR_VIEWS_ENTRYID},
};

// The Outlook folders the Inbox names: by a property of their own, with the container
// class that otherwise finds them, or by their element of PR_ADDITIONAL_REN_ENTRYIDS.
struct TInboxFolder {
  TVoMAPIFolderType FolderType;
  TVoMAPIPropDef Prop;
  std::u16string_view ContainerClass;
  int Element;  // -1: Prop is single-valued
};
constexpr TInboxFolder kInboxFolders[] = {
    {ftContact, PR_IPM_CONTACT_ENTRYID, u"IPF.Contact", -1},
    {ftAppointment, PR_IPM_APPOINTMENT_ENTRYID, u"IPF.Appointment", -1},
    {ftJournal, PR_IPM_JOURNAL_ENTRYID, u"IPF.Journal", -1},
    {ftStickyNote, PR_IPM_NOTE_ENTRYID, u"IPF.StickyNote", -1},
    {ftTask, PR_IPM_TASK_ENTRYID, u"IPF.Task", -1},
    {ftDraft, PR_IPM_DRAFTS_ENTRYID, u"IPF.Draft", -1},
    {ftSyncIssues, PR_ADDITIONAL_REN_ENTRYIDS, u"", 1},
    {ftJunkFolder, PR_ADDITIONAL_REN_ENTRYIDS, u"", 4},
};

// PR_MDB_PROVIDER of the Exchange store kinds.
struct TExchangeProvider {
  TVoMAPIExchangeType Type;
  BYTE Guid[16];
};
constexpr TExchangeProvider kExchangeProviders[] = {
    {etPrivate, {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B, 0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17}},
    {etDelegate, {0x9E, 0xB4, 0x77, 0x00, 0x74, 0xE4, 0x11, 0xCE, 0x8C, 0x5E, 0x00, 0xAA, 0x00, 0x42, 0x54, 0xE2}},
    {etPublic, {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}},
    {etTransport, {0xA9, 0x06, 0x40, 0xE0, 0xD6, 0x93, 0x11, 0xCD, 0xAF, 0x95, 0x00, 0xAA, 0x00, 0x4A, 0x35, 0xC3}},
};

constexpr TVoMAPIFolderType kFolderTypes[] = {
    ftInbox,   ftOutbox,      ftDeleted, ftSentItems,  ftIPMRoot, ftSearch, ftCommon,     ftPersonal,
    ftContact, ftAppointment, ftJournal, ftStickyNote, ftTask,    ftDraft,  ftSyncIssues, ftJunkFolder,
};

// The bytes of a binary property, read as a stream when MAPI cannot hand it out whole;
// none when Prop does not have it.
std::vector<BYTE> BinaryPropBytes(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef) {
  Prop.PropByName(PropDef);
  const TVoMAPIPropItem& item = *Prop.Items().FindPropByDef(*GetPropInfo(PropDef), true);
  if (!item.IsError()) return EntryIDToArr(Prop.PropByName(PropDef)->Get_Value());
  if (VoVarToInt(Prop.PropByName(PropDef)->Get_Value()) != MAPI_E_NOT_ENOUGH_MEMORY) return {};
  ComPtr<IStream> stream = Prop.OpenBinProperty(*GetPropInfo(PropDef), 0, alReadOnly, false);
  std::vector<BYTE> bytes;
  BYTE chunk[4096];
  ULONG read = 0;
  do {
    CheckMAPIResult(&Prop, u"OpenProperty", stream->Read(chunk, sizeof chunk, &read));
    bytes.insert(bytes.end(), chunk, chunk + read);
  } while (read == sizeof chunk);
  return bytes;
}

bool NamesNothing(HRESULT Result) {
  return Result == MAPI_E_INVALID_ENTRYID || Result == MAPI_E_INVALID_OBJECT || Result == MAPI_E_NOT_FOUND;
}

}  // namespace

TVoMAPIMsgStore::TVoMAPIMsgStore(TVoMAPISessionBase* Session, ComPtr<IMsgStore> Store, TVoMAPIAccessLevel AccessLevel)
    : TVoComObject(nullptr, Session, ComPtr<IMAPIProp>(Store.get()), AccessLevel), store_(std::move(Store)) {
  GetConnectionPoints().CreateConnectionPoint(IID_IVoMAPIMsgStoreDEvents);
}

TVoMAPIMsgStore::~TVoMAPIMsgStore() = default;

void TVoMAPIMsgStore::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  ComPtr<IMsgStore> store = kit::MAPIObjectAs<IMsgStore>(MAPIObject, IID_IMsgStore, u"IMsgStore", ClassName());
  StopNotifications();
  TVoMAPIProp::SetMAPIOBJECT(std::move(MAPIObject));
  store_ = std::move(store);
}

// Entries ----------------------------------------------------------------------------------

ULONG TVoMAPIMsgStore::AccessFlags(TVoMAPIAccessLevel AccessLevel, bool NoCache) {
  const ULONG access = AccessLevel == alBestAccess ? MAPI_BEST_ACCESS : AccessLevel == alReadWrite ? MAPI_MODIFY : 0;
  return access | (NoCache && VoGetOutlookInfo().Version >= OL2003 ? MAPI_NO_CACHE : 0);
}

HRESULT TVoMAPIMsgStore::TryOpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* InterfaceID, ULONG Flags,
                                      ULONG& ObjectType, ComPtr<IUnknown>& Object) {
  ObjectType = 0;
  HRESULT hr = store_->OpenEntry(cbEntryID, lpEntryID, InterfaceID, Flags, &ObjectType, Object.Out());
  // An object that is not in the local cache (yet) may still be on the server.
  if (hr == MAPI_E_NOT_FOUND && !(Flags & MAPI_NO_CACHE))
    hr = store_->OpenEntry(cbEntryID, lpEntryID, InterfaceID, Flags | MAPI_NO_CACHE, &ObjectType, Object.Out());
  return hr;
}

void TVoMAPIMsgStore::CheckOpenEntryResult(HRESULT Result, ULONG Flags) {
  kit::RaiseResultText(Result, kOpenEntryTexts, ClassName());
  if (Result == MAPI_E_NO_ACCESS || Result == MAPI_E_SUBMITTED)
    kit::Raise(Result, (Flags & MAPI_MODIFY) ? kReadOnlyStoreText : kNoPermissionText, {ClassName()});
  CheckMAPIResult(this, u"OpenEntry", Result);
}

ComPtr<IUnknown> TVoMAPIMsgStore::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* InterfaceID, ULONG Flags,
                                            ULONG& ObjectType) {
  ComPtr<IUnknown> object;
  CheckOpenEntryResult(TryOpenEntry(cbEntryID, lpEntryID, InterfaceID, Flags, ObjectType, object), Flags);
  return object;
}

ComPtr<TVoMAPIFolder> TVoMAPIMsgStore::OpenContainer(LPENTRYID lpEntryID, ULONG cbEntryID, ULONG& ObjectType,
                                                     TVoMAPIAccessLevel AccessLevel, bool NoCache) {
  if (!lpEntryID) kit::Raise(E_INVALIDARG, u"%s.OpenContainer failed!\r\nThere is no PtrEntryID!", {ClassName()});
  ComPtr<IUnknown> object = OpenEntry(
      cbEntryID, lpEntryID, nullptr, AccessFlags(AccessLevel, NoCache && Session()->ConnectedToExchange()), ObjectType);
  ComPtr<IMAPIFolder> folder = object.Query<IMAPIFolder>(IID_IMAPIFolder);
  if (ObjectType != MAPI_FOLDER || !folder)
    kit::Raise(E_INVALIDARG, u"%s.OpenContainer failed, because the object that was opened is not a container.",
               {ClassName()});
  return MakeComObject<TVoMAPIFolder>(this, this, std::move(folder), AccessLevel);
}

ComPtr<IVoMAPIFolder> TVoMAPIMsgStore::OpenFolder(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                                  bool16 NoCache) {
  CheckActive(u"OpenFolder");
  CheckAccessLevel(AccessLevel);
  return OpenFolderEntry(EntryID, AccessLevel, NoCache);
}

ComPtr<TVoMAPIFolder> TVoMAPIMsgStore::OpenFolderEntry(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                                       bool NoCache) {
  ULONG size = 0;
  TVoMAPIBuffer<ENTRYID> id(GetMAPIEntryID(EntryID, size));
  ULONG type = 0;
  return OpenContainer(id.get(), size, type, AccessLevel, NoCache);
}

// Messages ---------------------------------------------------------------------------------

ComPtr<TVoMAPIMessage> TVoMAPIMsgStore::WrapMessageIntf(ComPtr<IUnknown> Message, TVoMAPIAccessLevel AccessLevel) {
  return CreateMessageObjectFromIntf(this, Session(), std::move(Message), AccessLevel);
}

ComPtr<TVoMAPIMessage> TVoMAPIMsgStore::OpenMessageObject(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                                          ULONG Flags, std::u16string_view MethodName,
                                                          bool MissingIsNull) {
  CheckActive(MethodName);
  CheckAccessLevel(AccessLevel);
  ULONG size = 0;
  TVoMAPIBuffer<ENTRYID> id(GetMAPIEntryID(EntryID, size));
  ULONG type = 0;
  ComPtr<IUnknown> object;
  const HRESULT hr = TryOpenEntry(size, id.get(), nullptr, Flags, type, object);
  if (MissingIsNull && NamesNothing(hr)) return nullptr;
  CheckOpenEntryResult(hr, Flags);
  if (type != MAPI_MESSAGE)
    kit::Raise(E_INVALIDARG, u"%s.%s failed, because the object that was opened is not a message.",
               {ClassName(), MethodName});
  return WrapMessageIntf(std::move(object), AccessLevel);
}

ComPtr<IVoMAPIMessage> TVoMAPIMsgStore::OpenMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                                    bool16 NoCache) {
  return OpenMessageObject(EntryID, AccessLevel, AccessFlags(AccessLevel, NoCache), u"OpenMessage", false);
}

ComPtr<IVoMAPIMessage> TVoMAPIMsgStore::OpenRawMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel) {
  return OpenMessageObject(EntryID, AccessLevel, AccessFlags(AccessLevel, false), u"OpenRawMessage", false);
}

ComPtr<IVoMAPIMessage> TVoMAPIMsgStore::FindMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                                    bool16 NoCache) {
  return OpenMessageObject(EntryID, AccessLevel, AccessFlags(AccessLevel, NoCache), u"FindMessage", true);
}

ComPtr<IVoMAPIMessage> TVoMAPIMsgStore::CreateMessage(TVoMAPIFolderType FolderType, const WideString& MessageClass) {
  CheckActive(u"CreateMessage");
  return OpenFolderByType(FolderType, alReadWrite, false)->CreateMessage(MessageClass);
}

ComPtr<IVoMAPIMessage> TVoMAPIMsgStore::SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                                      bool16 NoCache) {
  CheckActive(u"SearchMessage");
  CheckAccessLevel(AccessLevel);
  return OpenSpecialFolder(ftIPMRoot, alReadOnly, NoCache)->SearchMessage(SearchKey, AccessLevel, NoCache);
}

bool16 TVoMAPIMsgStore::CompareEntryIDs(const TVoMAPIEntryID& EntryID1, const TVoMAPIEntryID& EntryID2) {
  CheckActive(u"CompareEntryIDs");
  kit::TEntryIDArg a(kit::EntryIDBytes(EntryID1, this, u"CompareEntryIDs"));
  kit::TEntryIDArg b(kit::EntryIDBytes(EntryID2, this, u"CompareEntryIDs"));
  if (a.Bytes() == b.Bytes()) return true;
  if (a.Empty() || b.Empty()) return false;
  ULONG same = 0;
  CheckMAPIResult(this, u"CompareEntryIDs", store_->CompareEntryIDs(a.Size(), a.get(), b.Size(), b.get(), 0, &same));
  return same != 0;
}

// Special folders --------------------------------------------------------------------------

void TVoMAPIMsgStore::CheckFolderType(TVoMAPIFolderType FolderType) {
  if (std::find(std::begin(kFolderTypes), std::end(kFolderTypes), FolderType) == std::end(kFolderTypes))
    throw EVoException(u"You have specified an invalid FolderType", E_UNEXPECTED);
}

TVoMAPIEntryID TVoMAPIMsgStore::EntryIDProp(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef) {
  return Prop.HasProp(PropDef) ? Prop.PropByName(PropDef)->Get_Value() : TVoVariant::Null();
}

TVoMAPIEntryID TVoMAPIMsgStore::GetReceiveFolder() {
  ULONG size = 0;
  TVoMAPIBuffer<ENTRYID> id;
  HRESULT hr = store_->GetReceiveFolder(nullptr, GetUnicode() ? MAPI_UNICODE : 0, &size, id.Out(), nullptr);
  return hr == S_OK ? BinToEntryID(LONG(size), id.get()) : TVoVariant::Null();
}

TVoMAPIEntryID TVoMAPIMsgStore::GetFolderID(TVoMAPIFolderType FolderType) {
  CheckFolderType(FolderType);
  if (FolderType == ftInbox) return GetReceiveFolder();
  for (const TStoreFolderProp& entry : kStoreFolderProps)
    if (entry.FolderType == FolderType) return EntryIDProp(*this, entry.Prop);
  const TInboxFolder& entry =
      *std::find_if(std::begin(kInboxFolders), std::end(kInboxFolders),
                    [&](const TInboxFolder& folder) { return folder.FolderType == FolderType; });
  TVoMAPIEntryID id = InboxFolderID(entry.Prop, entry.Element);
  if (id.IsNull() && !entry.ContainerClass.empty()) id = FindFolderByClass(entry.ContainerClass);
  return id;
}

TVoMAPIEntryID TVoMAPIMsgStore::Get_FolderID(TVoMAPIFolderType FolderType) {
  CheckActive(u"Get_FolderID");
  return GetFolderID(FolderType);
}

TVoMAPIEntryID TVoMAPIMsgStore::InboxFolderID(TVoMAPIPropDef Prop, int Element) {
  const TVoMAPIEntryID inboxId = GetReceiveFolder();
  if (inboxId.IsNull()) return inboxId;
  ComPtr<TVoMAPIFolder> inbox = OpenFolderEntry(inboxId, alReadOnly, false);
  if (Element < 0) return EntryIDProp(*inbox, Prop);
  if (!inbox->HasProp(Prop)) return TVoVariant::Null();
  const TVoVariant ids = inbox->PropByName(Prop)->Get_AsList();
  return int(ids.ArrayLength()) > Element ? ids.Items()[size_t(Element)] : TVoVariant::Null();
}

TVoMAPIEntryID TVoMAPIMsgStore::FindFolderByClass(std::u16string_view ContainerClass) {
  const TVoMAPIEntryID subtreeId = EntryIDProp(*this, PR_IPM_SUBTREE_ENTRYID);
  if (subtreeId.IsNull()) return subtreeId;
  ComPtr<IVoMAPITable> subfolders = OpenFolderEntry(subtreeId, alReadOnly, false)->GetHierarchyTable(false);
  if (!subfolders) return TVoVariant::Null();
  subfolders->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID, PR_CONTAINER_CLASS});
  ComPtr<IVoMAPITableField> entryId = subfolders->FieldByName(PR_ENTRYID);
  ComPtr<IVoMAPITableField> containerClass = subfolders->FieldByName(PR_CONTAINER_CLASS);
  for (subfolders->First(); !subfolders->Get_EOF(); subfolders->Next())
    if (VoSameText(containerClass->Get_AsString(), ContainerClass)) return entryId->Get_Value();
  return TVoVariant::Null();
}

ComPtr<TVoMAPIFolder> TVoMAPIMsgStore::OpenSpecialFolder(TVoMAPIFolderType FolderType, TVoMAPIAccessLevel AccessLevel,
                                                         bool NoCache) {
  const TVoMAPIEntryID id = GetFolderID(FolderType);
  if (id.IsNull()) RaiseNoSuchFolder(u"OpenFolderByType");
  return OpenFolderEntry(id, AccessLevel, NoCache);
}

void TVoMAPIMsgStore::RaiseNoSuchFolder(std::u16string_view MethodName) {
  kit::Raise(E_FAIL, u"%s.%s failed, because the message store does not have a folder of the type you requested!",
             {ClassName(), MethodName});
}

ComPtr<IVoMAPIFolder> TVoMAPIMsgStore::OpenFolderByType(TVoMAPIFolderType FolderType, TVoMAPIAccessLevel AccessLevel,
                                                        bool16 NoCache) {
  CheckActive(u"OpenFolderByType");
  CheckFolderType(FolderType);
  CheckAccessLevel(AccessLevel);
  return OpenSpecialFolder(FolderType, AccessLevel, NoCache);
}

// What the store tells about itself ----------------------------------------------------------

TVoMAPIExchangeType TVoMAPIMsgStore::Get_ExchangeStoreType() {
  CheckActive(u"Get_ExchangeStoreType");
  if (!Session()->UseExtendedMAPI()) return etNotExchange;
  const std::vector<BYTE> provider = EntryIDToArr(EntryIDProp(*this, PR_MDB_PROVIDER));
  for (const TExchangeProvider& entry : kExchangeProviders)
    if (provider.size() == sizeof entry.Guid && std::equal(provider.begin(), provider.end(), entry.Guid))
      return entry.Type;
  return etNotExchange;
}

WideString TVoMAPIMsgStore::GetMRMConfig() {
  CheckActive(u"GetMRMConfig");
  ComPtr<TVoMAPIFolder> inbox = OpenSpecialFolder(ftInbox, alBestAccess, false);
  ComPtr<IVoMAPITable> associated = inbox->GetAssociatedContentsTable();
  if (!associated) return {};
  associated->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID});
  ComPtr<IVoMAPIRestrictionContent> byClass =
      associated->CreateRestriction(rtContent).Query<IVoMAPIRestrictionContent>(IID_IVoMAPIRestrictionContent);
  byClass->Set_PropDef(PR_MESSAGE_CLASS);
  byClass->Set_MatchType(smtFullString);
  byClass->Set_CaseInsensitive(true);
  byClass->Set_AccentInsensitive(true);
  byClass->Set_Value(u"IPM.Configuration.MRM");
  if (!associated->FindFirst(byClass.get())) return {};
  ComPtr<TVoMAPIMessage> message =
      OpenMessageObject(associated->FieldByName(PR_ENTRYID)->Get_Value(), alReadOnly, 0, u"GetMRMConfig", false);
  const std::vector<BYTE> stream = BinaryPropBytes(*message, PR_ROAMING_XMLSTREAM);
  return TVoEncoding::ConvertW(std::string(stream.begin(), stream.end()));
}

}  // namespace orba
