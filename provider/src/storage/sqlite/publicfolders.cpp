// The folder set of a new public folders store, as an Exchange organisation's public
// store has it: the root, the IPM subtree users see ("All Public Folders"), the
// non-IPM subtree applications keep their data in, and the forms registry below it.
// The store points at them with PR_IPM_PUBLIC_FOLDERS_ENTRYID, PR_NON_IPM_SUBTREE_ENTRYID
// and PR_EFORMS_REGISTRY_ENTRYID; it has no mailbox folders and no receive folders.
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {

void TFolders::CreatePublicFolders(const std::u16string& displayName) {
  int64_t root = Insert(0, u"Root Container", FOLDER_ROOT, {});
  int64_t ipm = Insert(root, u"All Public Folders", FOLDER_GENERIC, {});
  int64_t nonIpm = Insert(root, u"NON_IPM_SUBTREE", FOLDER_GENERIC, {});
  int64_t forms = Insert(nonIpm, u"EFORMS REGISTRY", FOLDER_GENERIC, {});
  SetSpecialFolder(TSpecialFolder::Root, root);
  SetSpecialFolder(TSpecialFolder::IpmSubtree, ipm);
  SetSpecialFolder(TSpecialFolder::NonIpmSubtree, nonIpm);
  SetSpecialFolder(TSpecialFolder::EformsRegistry, forms);

  auto entryId = [&](int64_t id) { return MakeEntryId(store_.uid, TObjectKind::Folder, id); };
  TStoredProps storeProps = {Stored(TextValue(tags::kDisplayNameW, displayName)),
                             Stored(BinaryValue(tags::kIpmPublicFoldersEntryId, entryId(ipm))),
                             Stored(BinaryValue(tags::kNonIpmSubtreeEntryId, entryId(nonIpm))),
                             Stored(BinaryValue(tags::kEformsRegistryEntryId, entryId(forms)))};
  WriteProps(store_.Db(), "store_props", "owner", 0, storeProps);
}

}  // namespace orba::store::sqlite
