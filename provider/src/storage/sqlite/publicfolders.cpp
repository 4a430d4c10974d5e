// The folder set of a new public folders store, as an Exchange organisation's public
// store has it: the root, the IPM subtree users see ("All Public Folders"), the
// non-IPM subtree applications keep their data in, and the forms registry below it.
// The store points at them with PR_IPM_PUBLIC_FOLDERS_ENTRYID, PR_NON_IPM_SUBTREE_ENTRYID
// and PR_EFORMS_REGISTRY_ENTRYID; it has no mailbox folders and no receive folders.
#include "props/tags.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {

void TStoreEngine::Impl::CreatePublicFolders(TStoreEngine& engine, const std::u16string& displayName) {
  int64_t root = InsertFolder(engine, 0, u"Root Container", FOLDER_ROOT, {});
  int64_t ipm = InsertFolder(engine, root, u"All Public Folders", FOLDER_GENERIC, {});
  int64_t nonIpm = InsertFolder(engine, root, u"NON_IPM_SUBTREE", FOLDER_GENERIC, {});
  int64_t forms = InsertFolder(engine, nonIpm, u"EFORMS REGISTRY", FOLDER_GENERIC, {});
  SetSpecialFolder(engine, TSpecialFolder::Root, root);
  SetSpecialFolder(engine, TSpecialFolder::IpmSubtree, ipm);
  SetSpecialFolder(engine, TSpecialFolder::NonIpmSubtree, nonIpm);
  SetSpecialFolder(engine, TSpecialFolder::EformsRegistry, forms);

  TStoredProps storeProps = {
      detail::TextProp(tags::kDisplayNameW, displayName),
      detail::BinaryProp(tags::kIpmPublicFoldersEntryId, engine.EntryId(TObjectKind::Folder, ipm)),
      detail::BinaryProp(tags::kNonIpmSubtreeEntryId, engine.EntryId(TObjectKind::Folder, nonIpm)),
      detail::BinaryProp(tags::kEformsRegistryEntryId, engine.EntryId(TObjectKind::Folder, forms))};
  detail::WriteProps(engine.Db(), "store_props", "owner", 0, storeProps);
}

}  // namespace orba::store
