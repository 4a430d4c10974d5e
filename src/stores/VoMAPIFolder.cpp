// TVoMAPIFolder: folder type and default message class, new messages and subfolders,
// copies, moves and deletions, message status, and the search by search key.
#include "orba/VoMAPIFolder.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIMsgStore.h"
#include "orba/common/casefold.h"

namespace orba {
namespace {

constexpr std::u16string_view kCollisionText =
    u"%s.%s failed!\r\nA folder with the name given in the AFolderName parameter already exists. Folder names must "
    u"be unique.";

constexpr kit::TResultText kCopyFolderTexts[] = {
    {MAPI_E_FOLDER_CYCLE,
     u"%s.CopyFolder failed!\r\nThe source folder directly or indirectly contains the destination folder. "
     u"Significant work might have been performed before this condition was discovered so the source and destination "
     u"folder might be partially modified."},
    {MAPI_E_BAD_CHARWIDTH,
     u"%s.CopyFolder failed!\r\nEither the MAPI_UNICODE flag was set and the implementation does not support "
     u"Unicode, or MAPI_UNICODE was not set and the implementation only supports Unicode."},
    {MAPI_E_DECLINE_COPY,
     u"%s.CopyFolder failed!\r\nThe provider implements this method by calling a support object method and the "
     u"caller has passed the MAPI_DECLINE_OK flag."},
};
constexpr kit::TResultText kDeleteFolderTexts[] = {
    {MAPI_E_HAS_FOLDERS,
     u"%s.DeleteFolder failed!\r\nThe subfolder being deleted contains subfolders, and the ADeleteSubFolders flag "
     u"was not set. The subfolder was not deleted."},
    {MAPI_E_HAS_MESSAGES,
     u"%s.DeleteFolder failed!\r\nThe subfolder being deleted contains messages, and the ADeleteMessages flag was "
     u"not set. The subfolder was not deleted."},
    {MAPI_W_PARTIAL_COMPLETION,
     u"%s.DeleteFolder failed!\r\nThe call succeeded, but not all of the entries were successfully deleted."},
};
constexpr kit::TResultText kEmptyFolderTexts[] = {
    {MAPI_W_PARTIAL_COMPLETION,
     u"%s.EmptyFolder failed!\r\nThe call succeeded, but not all of the entries were successfully deleted."},
};

// The container class of a folder type, and the message class of a new message in a
// folder of that type ("" for a folder of no special type: its default message class).
struct TTypeClasses {
  TVoMAPIFolderType FolderType;
  std::u16string_view ContainerClass;
  std::u16string_view MessageClass;
};
constexpr TTypeClasses kTypeClasses[] = {
    {ftContact, u"IPF.Contact", u"IPM.Contact"},
    {ftAppointment, u"IPF.Appointment", u"IPM.Appointment"},
    {ftJournal, u"IPF.Journal", u""},
    {ftStickyNote, u"IPF.StickyNote", u"IPM.StickyNote"},
    {ftTask, u"IPF.Task", u"IPM.Task"},
    {ftInbox, u"", u"IPM.Note"},
    {ftOutbox, u"", u"IPM.Note"},
    {ftDeleted, u"", u"IPM.Note"},
    {ftSentItems, u"", u"IPM.Note"},
    {ftDraft, u"", u"IPM.Note"},
    {ftJunkFolder, u"", u"IPM.Note"},
};

const TTypeClasses* ClassesOf(TVoMAPIFolderType FolderType) {
  for (const TTypeClasses& entry : kTypeClasses)
    if (entry.FolderType == FolderType) return &entry;
  return nullptr;
}

// The special folders a folder's entry ID is compared with, in this order.
constexpr TVoMAPIFolderType kIdentifiedTypes[] = {ftInbox,  ftOutbox,    ftCommon,  ftIPMRoot, ftPersonal,
                                                  ftSearch, ftSentItems, ftDeleted, ftDraft,   ftSyncIssues};

// Messages of these classes are kept with the folder (folder-associated).
constexpr std::u16string_view kAssociatedClasses[] = {
    u"IPM.Note.Rules.OofTemplate.Microsoft",
    u"IPM.Note.Rules.ExternalOofTemplate.Microsoft",
    u"IPM.Configuration.Velmora",
};

// A one-entry list of Entry for the message methods.
struct TOneEntry {
  explicit TOneEntry(const kit::TEntryIDArg& Entry) : bin(Entry.Bin()), list{1, &bin} {}
  SBinary bin;
  ENTRYLIST list;
};

}  // namespace

TVoMAPIFolder::TVoMAPIFolder(TVoMAPIValueOwner* Parent, TVoMAPIMsgStore* Store, ComPtr<IMAPIFolder> Folder,
                             TVoMAPIAccessLevel AccessLevel)
    : TVoComObject(Parent, Store->Session(), ComPtr<IMAPIContainer>(Folder.get()), ctFolder, AccessLevel),
      folder_(std::move(Folder)),
      store_(Store) {}

TVoMAPIFolder::~TVoMAPIFolder() = default;

void TVoMAPIFolder::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  ComPtr<IMAPIFolder> folder = kit::MAPIObjectAs<IMAPIFolder>(MAPIObject, IID_IMAPIFolder, u"IMAPIFolder", ClassName());
  TVoMAPIContainer::SetMAPIOBJECT(std::move(MAPIObject));
  folder_ = std::move(folder);
  folderType_ = ftGeneric;
}

// Type and class ----------------------------------------------------------------------------

TVoMAPIFolderType TVoMAPIFolder::Get_FolderType() {
  CheckActive(u"Get_FolderType");
  if (folderType_ != ftGeneric) return folderType_;
  const WideString containerClass = Get_ContainerClass();
  for (TVoMAPIFolderType type : {ftJournal, ftStickyNote, ftContact, ftTask, ftAppointment})
    if (VoSameText(containerClass, ClassesOf(type)->ContainerClass)) return folderType_ = type;
  const TVoMAPIEntryID self = Get_EntryID();
  for (TVoMAPIFolderType type : kIdentifiedTypes)
    if (store_->CompareEntryIDs(self, store_->Get_FolderID(type))) return folderType_ = type;
  return folderType_;
}

WideString TVoMAPIFolder::Get_DefaultMessageClass() {
  CheckActive(u"Get_DefaultMessageClass");
  WideString messageClass = Get_ContainerClass();
  const size_t at = VoFoldCase(messageClass).find(u"IPF.");
  if (at != WideString::npos) messageClass.replace(at, 4, u"IPM.");
  return messageClass;
}

// Messages ----------------------------------------------------------------------------------

ComPtr<IVoMAPIMessage> TVoMAPIFolder::CreateMessage(const WideString& MessageClass) {
  CheckActive(u"CreateMessage");
  CheckAccessLevel(alReadWrite);
  WideString messageClass = MessageClass;
  if (messageClass.empty()) {
    const TVoMAPIFolderType type = Get_FolderType();
    const TTypeClasses* classes = ClassesOf(type);
    if (type == ftGeneric) {
      messageClass = Get_DefaultMessageClass();
      // A folder without container class holds mail.
      if (messageClass.empty()) messageClass = u"IPM.Note";
    } else if (classes && !classes->MessageClass.empty()) {
      messageClass = classes->MessageClass;
    } else {
      kit::Raise(E_ACCESSDENIED, u"It is not possible to create messages in the selected folder!");
    }
  }
  const bool associated = std::any_of(std::begin(kAssociatedClasses), std::end(kAssociatedClasses),
                                      [&](std::u16string_view name) { return VoSameText(name, messageClass); });
  ComPtr<IMessage> created;
  CheckMAPIResult(this, u"CreateMessage",
                  folder_->CreateMessage(nullptr, associated ? MAPI_ASSOCIATED : 0, created.Out()));
  ComPtr<TVoMAPIMessage> message =
      CreateMessageObjectFromMsgClass(messageClass, this, Session(), std::move(created), alReadWrite);
  message->Set_MessageClass(messageClass);
  message->InitializeNew();
  return message;
}

void TVoMAPIFolder::CopyMessage(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, bool16 Move) {
  CheckActive(u"CopyMessage");
  if (Move) CheckAccessLevel(alReadWrite);
  IMAPIFolder* destination = DestinationOf(DestFolder, u"CopyMessage");
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"CopyMessage"));
  TOneEntry entry(id);
  CheckMAPIResult(this, u"CopyMessage",
                  folder_->CopyMessages(&entry.list, nullptr, destination, 0, nullptr, Move ? MESSAGE_MOVE : 0));
}

void TVoMAPIFolder::DeleteMessage(const TVoMAPIEntryID& EntryID) {
  CheckActive(u"DeleteMessage");
  CheckAccessLevel(alReadWrite);
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"DeleteMessage"));
  TOneEntry entry(id);
  HRESULT hr = folder_->DeleteMessages(&entry.list, 0, nullptr, 0);
  if (hr == MAPI_W_PARTIAL_COMPLETION) hr = folder_->DeleteMessages(&entry.list, 0, nullptr, 0);
  CheckMAPIResult(this, u"DeleteMessage", hr);
}

uint32_t TVoMAPIFolder::Get_MessageStatus(const TVoMAPIEntryID& EntryID) {
  CheckActive(u"Get_MessageStatus");
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"GetMessageStatus"));
  ULONG status = 0;
  CheckMAPIResult(this, u"GetMessageStatus", folder_->GetMessageStatus(id.Size(), id.get(), 0, &status));
  return status;
}

void TVoMAPIFolder::Set_MessageStatus(const TVoMAPIEntryID& EntryID, uint32_t Value) {
  CheckActive(u"Set_MessageStatus");
  CheckAccessLevel(alReadWrite);
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"SetMessageStatus"));
  ULONG old = 0;
  CheckMAPIResult(this, u"SetMessageStatus", folder_->SetMessageStatus(id.Size(), id.get(), Value, 0xFFFFFFFF, &old));
}

ComPtr<IVoMAPIMessage> TVoMAPIFolder::SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                                    bool16 NoCache) {
  CheckActive(u"SearchMessage");
  if (kit::EntryIDBytes(SearchKey, this, u"SearchMessage").empty()) return nullptr;
  if (ComPtr<IVoMAPITable> contents = GetContentsTable()) {
    contents->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID, PR_SEARCH_KEY});
    ComPtr<IVoMAPIRestrictionProperty> sameKey =
        contents->CreateRestriction(rtProperty).Query<IVoMAPIRestrictionProperty>(IID_IVoMAPIRestrictionProperty);
    sameKey->Set_PropDef(PR_SEARCH_KEY);
    sameKey->Set_Operator(oEqual);
    sameKey->Set_Value(SearchKey);
    if (contents->FindFirst(sameKey.get()))
      return store_->OpenMessage(contents->FieldByName(PR_ENTRYID)->Get_Value(), AccessLevel, NoCache);
  }
  ComPtr<IVoMAPITable> subfolders = GetHierarchyTable(false);
  if (!subfolders) return nullptr;
  subfolders->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID});
  ComPtr<IVoMAPITableField> entryId = subfolders->FieldByName(PR_ENTRYID);
  for (subfolders->First(); !subfolders->Get_EOF(); subfolders->Next())
    if (ComPtr<IVoMAPIMessage> found = store_->OpenFolderEntry(entryId->Get_Value(), alReadOnly, NoCache)
                                           ->SearchMessage(SearchKey, AccessLevel, NoCache))
      return found;
  return nullptr;
}

// Subfolders --------------------------------------------------------------------------------

TVoMAPIEntryID TVoMAPIFolder::FindSubfolder(std::u16string_view Name, bool Recursive) {
  ComPtr<IVoMAPITable> subfolders = GetHierarchyTable(false);
  if (!subfolders) return TVoVariant::Null();
  subfolders->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS});
  ComPtr<IVoMAPITableField> entryId = subfolders->FieldByName(PR_ENTRYID);
  ComPtr<IVoMAPITableField> displayName = subfolders->FieldByName(PR_DISPLAY_NAME);
  ComPtr<IVoMAPITableField> hasSubfolders = subfolders->FieldByName(PR_SUBFOLDERS);
  for (subfolders->First(); !subfolders->Get_EOF(); subfolders->Next()) {
    if (VoSameText(displayName->Get_AsString(), Name)) return entryId->Get_Value();
    if (!Recursive || !hasSubfolders->Get_AsBoolean()) continue;
    const TVoMAPIEntryID found =
        store_->OpenFolderEntry(entryId->Get_Value(), alReadOnly, false)->FindSubfolder(Name, true);
    if (!found.IsNull()) return found;
  }
  return TVoVariant::Null();
}

ComPtr<IVoMAPIFolder> TVoMAPIFolder::CreateFolder(const WideString& ContainerClass, const WideString& AFolderName,
                                                  const WideString& Comment, bool16 OpenIfExists) {
  CheckActive(u"CreateFolder");
  CheckAccessLevel(alReadWrite);
  kit::MapiString name(AFolderName, GetUnicode()), comment(Comment, GetUnicode());
  ComPtr<IMAPIFolder> created;
  HRESULT hr = folder_->CreateFolder(FOLDER_GENERIC, name, comment.OrNull(), nullptr,
                                     name.Flags() | (OpenIfExists ? OPEN_IF_EXISTS : 0), created.Out());
  if (hr == MAPI_E_COLLISION) kit::Raise(hr, kCollisionText, {ClassName(), u"CreateFolder"});
  CheckMAPIResult(this, u"CreateFolder", hr);
  auto folder = MakeComObject<TVoMAPIFolder>(this, store_.get(), std::move(created), alReadWrite);
  // A folder opened because it exists keeps its class: turning an existing calendar into
  // a mail folder would hide its items from every calendar view.
  if (folder->Get_ContainerClass().empty()) {
    folder->Set_ContainerClass(ContainerClass);
    folder->SaveChanges(smKeepOpenReadWrite);
  }
  return folder;
}

ComPtr<IVoMAPIFolder> TVoMAPIFolder::CreateFolderByType(TVoMAPIFolderType FolderType, const WideString& AFolderName,
                                                        const WideString& Comment, bool16 OpenIfExists) {
  CheckActive(u"CreateFolderByType");
  const TTypeClasses* classes = ClassesOf(FolderType);
  const std::u16string_view containerClass =
      classes && !classes->ContainerClass.empty() ? classes->ContainerClass : u"IPF.Note";
  return CreateFolder(WideString(containerClass), AFolderName, Comment, OpenIfExists);
}

void TVoMAPIFolder::CopyFolder(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, const WideString& NewName,
                               bool16 CopySubFolders, bool16 ShowProgress, bool16 Move) {
  CheckActive(u"CopyFolder");
  if (Move) CheckAccessLevel(alReadWrite);
  IMAPIFolder* destination = DestinationOf(DestFolder, u"CopyFolder");
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"CopyFolder"));
  kit::MapiString newName(NewName, GetUnicode());
  const ULONG flags = newName.Flags() | (CopySubFolders ? COPY_SUBFOLDERS : 0) | (ShowProgress ? FOLDER_DIALOG : 0) |
                      (Move ? FOLDER_MOVE : 0);
  const HRESULT hr = folder_->CopyFolder(id.Size(), id.get(), nullptr, destination, newName.OrNull(), GetParentWindow(),
                                         nullptr, flags);
  if (hr == MAPI_E_COLLISION) kit::Raise(hr, kCollisionText, {ClassName(), u"CopyFolder"});
  kit::RaiseResultText(hr, kCopyFolderTexts, ClassName());
  CheckMAPIResult(this, u"CopyFolder", hr);
}

void TVoMAPIFolder::DeleteFolder(const TVoMAPIEntryID& EntryID, bool16 ADeleteMessages, bool16 ADeleteSubFolders,
                                 bool16 ShowProgress) {
  CheckActive(u"DeleteFolder");
  CheckAccessLevel(alReadWrite);
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"DeleteFolder"));
  const ULONG flags =
      (ADeleteMessages ? DEL_MESSAGES : 0) | (ADeleteSubFolders ? DEL_FOLDERS : 0) | (ShowProgress ? FOLDER_DIALOG : 0);
  const HRESULT hr = folder_->DeleteFolder(id.Size(), id.get(), GetParentWindow(), nullptr, flags);
  kit::RaiseResultText(hr, kDeleteFolderTexts, ClassName());
  CheckMAPIResult(this, u"DeleteFolder", hr);
}

void TVoMAPIFolder::EmptyFolder(bool16 DeleteAssociated, bool16 ShowProgress) {
  CheckActive(u"EmptyFolder");
  CheckAccessLevel(alReadWrite);
  const ULONG flags = (DeleteAssociated ? DEL_ASSOCIATED : 0) | (ShowProgress ? FOLDER_DIALOG : 0);
  const HRESULT hr = folder_->EmptyFolder(GetParentWindow(), nullptr, flags);
  kit::RaiseResultText(hr, kEmptyFolderTexts, ClassName());
  CheckMAPIResult(this, u"EmptyFolder", hr);
}

IMAPIFolder* TVoMAPIFolder::DestinationOf(IVoMAPIFolder* DestFolder, std::u16string_view MethodName) {
  auto* destination = dynamic_cast<TVoMAPIFolder*>(DestFolder);
  if (!destination)
    kit::Raise(E_INVALIDARG, u"%s.%s failed!\r\nNo destination folder was given.", {ClassName(), MethodName});
  destination->CheckActive(MethodName);
  return destination->MAPIFolder();
}

}  // namespace orba
