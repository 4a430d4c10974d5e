// TVoMAPIMsgStoreParser: the depth-first walk of a store's folders and messages.
#include "orba/VoMAPIMsgStoreParser.h"

#include "kit/VoMAPIKit.h"

namespace orba {

void TVoMAPIMsgStoreParser::Start(IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder) {
  if (!Store) kit::Raise(E_INVALIDARG, u"No messagestore specified!");
  ComPtr<IVoMAPIProp> storeProps = ComPtr<IUnknown>(Store).Query<IVoMAPIProp>(IID_IVoMAPIProp);
  accessLevel_ = storeProps ? storeProps->Get_AccessLevel() : alReadOnly;
  ComPtr<IVoMAPIFolder> start(Folder);
  if (!start) start = Store->OpenFolderByType(ftIPMRoot, accessLevel_, false);
  if (OnParseStart) OnParseStart(this, Store, start.get());
  Parse(Store, start.get());
  if (OnParseEnd) OnParseEnd(this);
}

void TVoMAPIMsgStoreParser::Parse(IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder) {
  if (ComPtr<IVoMAPITable> subfolders = Folder->GetHierarchyTable(false)) {
    subfolders->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID});
    ComPtr<IVoMAPITableField> entryId = subfolders->FieldByName(PR_ENTRYID);
    for (subfolders->First(); !subfolders->Get_EOF(); subfolders->Next()) {
      ComPtr<IVoMAPIFolder> subfolder = Store->OpenFolder(entryId->Get_Value(), accessLevel_, false);
      bool Continue = true;
      if (OnParseSubFolder) OnParseSubFolder(this, Store, Folder, subfolder.get(), Continue);
      if (Continue) Parse(Store, subfolder.get());
    }
  }
  if (!OnParseMessage) return;
  ComPtr<IVoMAPITable> contents = Folder->GetContentsTable();
  if (!contents) return;
  contents->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID, PR_SUBJECT});
  ComPtr<IVoMAPITableField> entryId = contents->FieldByName(PR_ENTRYID);
  ComPtr<IVoMAPITableField> subject = contents->FieldByName(PR_SUBJECT);
  for (contents->First(); !contents->Get_EOF(); contents->Next())
    OnParseMessage(this, Store, Folder, entryId->Get_Value(), subject->Get_AsString());
}

}  // namespace orba
