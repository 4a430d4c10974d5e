// The standard folder set of a new mailbox or personal store, the special-folder
// properties that point at it, and the Inbox as the receive folder of the default class.
#include <map>

#include "base/maperror.h"
#include "props/tags.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {
namespace {

struct StandardFolder {
  SpecialFolder folder;
  SpecialFolder parent;
  const char16_t* name;
  const char16_t* containerClass;  // null: none
};

// In creation order: every parent before its children.
constexpr StandardFolder kStandardFolders[] = {
    {SpecialFolder::SearchRoot, SpecialFolder::Root, u"Finder", nullptr},
    {SpecialFolder::CommonViews, SpecialFolder::Root, u"Common Views", nullptr},
    {SpecialFolder::PersonalViews, SpecialFolder::Root, u"Views", nullptr},
    {SpecialFolder::Inbox, SpecialFolder::IpmSubtree, u"Inbox", u"IPF.Note"},
    {SpecialFolder::Outbox, SpecialFolder::IpmSubtree, u"Outbox", u"IPF.Note"},
    {SpecialFolder::SentItems, SpecialFolder::IpmSubtree, u"Sent Items", u"IPF.Note"},
    {SpecialFolder::DeletedItems, SpecialFolder::IpmSubtree, u"Deleted Items", u"IPF.Note"},
    {SpecialFolder::Drafts, SpecialFolder::IpmSubtree, u"Drafts", u"IPF.Note"},
    {SpecialFolder::Contacts, SpecialFolder::IpmSubtree, u"Contacts", u"IPF.Contact"},
    {SpecialFolder::Calendar, SpecialFolder::IpmSubtree, u"Calendar", u"IPF.Appointment"},
    {SpecialFolder::Journal, SpecialFolder::IpmSubtree, u"Journal", u"IPF.Journal"},
    {SpecialFolder::Notes, SpecialFolder::IpmSubtree, u"Notes", u"IPF.StickyNote"},
    {SpecialFolder::Tasks, SpecialFolder::IpmSubtree, u"Tasks", u"IPF.Task"},
    {SpecialFolder::JunkEmail, SpecialFolder::IpmSubtree, u"Junk E-mail", u"IPF.Note"},
    {SpecialFolder::SyncIssues, SpecialFolder::IpmSubtree, u"Sync Issues", u"IPF.Note"},
    {SpecialFolder::Conflicts, SpecialFolder::SyncIssues, u"Conflicts", u"IPF.Note"},
    {SpecialFolder::LocalFailures, SpecialFolder::SyncIssues, u"Local Failures", u"IPF.Note"},
    {SpecialFolder::ServerFailures, SpecialFolder::SyncIssues, u"Server Failures", u"IPF.Note"},
};

const char16_t* SubtreeName(StoreKind kind) {
  switch (kind) {
    case StoreKind::Mailbox: return u"Top of Information Store";
    default: return u"Top of Personal Folders";
  }
}

StoredProp MultiBinaryProp(ULONG tag, const std::vector<Bytes>& values) {
  std::vector<SBinary> bins;
  for (const auto& value : values) bins.push_back({static_cast<ULONG>(value.size()), const_cast<LPBYTE>(value.data())});
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.MVbin.cValues = static_cast<ULONG>(bins.size());
  prop.Value.MVbin.lpbin = bins.data();
  return {tag, EncodePropValue(prop)};
}

}  // namespace

void TStoreEngine::Impl::SetSpecialFolder(TStoreEngine& engine, SpecialFolder folder, int64_t id) {
  engine.Db()
      .Prepare("INSERT INTO special_folders(kind, folder_id) VALUES(?,?)")
      .Bind(1, int64_t{static_cast<int>(folder)})
      .Bind(2, id)
      .Run();
}

void TStoreEngine::Impl::CreateStandardFolders(TStoreEngine& engine, const std::u16string& displayName) {
  std::map<SpecialFolder, int64_t> ids;
  ids[SpecialFolder::Root] = InsertFolder(engine, 0, u"Root Container", FOLDER_ROOT, {});
  ids[SpecialFolder::IpmSubtree] =
      InsertFolder(engine, ids[SpecialFolder::Root], SubtreeName(engine.kind_), FOLDER_GENERIC, {});
  for (const StandardFolder& standard : kStandardFolders) {
    StoredProps props;
    if (standard.containerClass) props.push_back(detail::TextProp(tags::kContainerClassW, standard.containerClass));
    ids[standard.folder] = InsertFolder(engine, ids.at(standard.parent), standard.name, FOLDER_GENERIC, props);
  }
  for (const auto& [folder, id] : ids) SetSpecialFolder(engine, folder, id);
  auto entryId = [&](SpecialFolder folder) { return engine.EntryId(ObjectKind::Folder, ids.at(folder)); };

  StoredProps storeProps = {detail::TextProp(tags::kDisplayNameW, displayName),
                            detail::BinaryProp(tags::kIpmSubtreeEntryId, entryId(SpecialFolder::IpmSubtree)),
                            detail::BinaryProp(tags::kIpmOutboxEntryId, entryId(SpecialFolder::Outbox)),
                            detail::BinaryProp(tags::kIpmWastebasketEntryId, entryId(SpecialFolder::DeletedItems)),
                            detail::BinaryProp(tags::kIpmSentMailEntryId, entryId(SpecialFolder::SentItems)),
                            detail::BinaryProp(tags::kFinderEntryId, entryId(SpecialFolder::SearchRoot)),
                            detail::BinaryProp(tags::kCommonViewsEntryId, entryId(SpecialFolder::CommonViews)),
                            detail::BinaryProp(tags::kViewsEntryId, entryId(SpecialFolder::PersonalViews))};
  detail::WriteProps(engine.Db(), "store_props", "owner", 0, storeProps);

  // The Outlook folders are found through the Inbox (and the root, where clients
  // also look): the five positions of PR_ADDITIONAL_REN_ENTRYIDS are Conflicts, Sync
  // Issues, Local Failures, Server Failures and Junk E-mail.
  StoredProps outlookProps = {
      detail::BinaryProp(tags::kIpmAppointmentEntryId, entryId(SpecialFolder::Calendar)),
      detail::BinaryProp(tags::kIpmContactEntryId, entryId(SpecialFolder::Contacts)),
      detail::BinaryProp(tags::kIpmJournalEntryId, entryId(SpecialFolder::Journal)),
      detail::BinaryProp(tags::kIpmNoteEntryId, entryId(SpecialFolder::Notes)),
      detail::BinaryProp(tags::kIpmTaskEntryId, entryId(SpecialFolder::Tasks)),
      detail::BinaryProp(tags::kIpmDraftsEntryId, entryId(SpecialFolder::Drafts)),
      MultiBinaryProp(
          tags::kAdditionalRenEntryIds,
          {entryId(SpecialFolder::Conflicts), entryId(SpecialFolder::SyncIssues), entryId(SpecialFolder::LocalFailures),
           entryId(SpecialFolder::ServerFailures), entryId(SpecialFolder::JunkEmail)})};
  for (SpecialFolder folder : {SpecialFolder::Inbox, SpecialFolder::Root})
    detail::WriteProps(engine.Db(), "folder_props", "folder_id", ids.at(folder), outlookProps);

  for (const char* messageClass : {"", "IPM"})
    engine.Db()
        .Prepare("INSERT INTO receive_folders(message_class, folder_id) VALUES(?,?)")
        .Bind(1, std::string(messageClass))
        .Bind(2, ids.at(SpecialFolder::Inbox))
        .Run();
}

int64_t TStoreEngine::SpecialFolderId(SpecialFolder folder) {
  auto lock = Lock();
  auto stmt = Db().Prepare("SELECT folder_id FROM special_folders WHERE kind=?");
  stmt.Bind(1, int64_t{static_cast<int>(folder)});
  if (!stmt.Step()) throw MapiError(MAPI_E_NOT_FOUND, "The store has no such special folder.");
  return stmt.Int(0);
}

}  // namespace orba::store
