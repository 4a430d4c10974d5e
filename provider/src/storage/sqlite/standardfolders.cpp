// The standard folder set of a new mailbox or personal store, the special-folder
// properties that point at it, and the Inbox as the receive folder of the default class.
#include <map>

#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/storedatabase.h"

namespace orba::store::sqlite {
namespace {

struct TStandardFolder {
  TSpecialFolder folder;
  TSpecialFolder parent;
  const char16_t* name;
  const char16_t* containerClass;  // null: none
};

// In creation order: every parent before its children.
constexpr TStandardFolder kStandardFolders[] = {
    {TSpecialFolder::SearchRoot, TSpecialFolder::Root, u"Finder", nullptr},
    {TSpecialFolder::CommonViews, TSpecialFolder::Root, u"Common Views", nullptr},
    {TSpecialFolder::PersonalViews, TSpecialFolder::Root, u"Views", nullptr},
    {TSpecialFolder::Inbox, TSpecialFolder::IpmSubtree, u"Inbox", u"IPF.Note"},
    {TSpecialFolder::Outbox, TSpecialFolder::IpmSubtree, u"Outbox", u"IPF.Note"},
    {TSpecialFolder::SentItems, TSpecialFolder::IpmSubtree, u"Sent Items", u"IPF.Note"},
    {TSpecialFolder::DeletedItems, TSpecialFolder::IpmSubtree, u"Deleted Items", u"IPF.Note"},
    {TSpecialFolder::Drafts, TSpecialFolder::IpmSubtree, u"Drafts", u"IPF.Note"},
    {TSpecialFolder::Contacts, TSpecialFolder::IpmSubtree, u"Contacts", u"IPF.Contact"},
    {TSpecialFolder::Calendar, TSpecialFolder::IpmSubtree, u"Calendar", u"IPF.Appointment"},
    {TSpecialFolder::Journal, TSpecialFolder::IpmSubtree, u"Journal", u"IPF.Journal"},
    {TSpecialFolder::Notes, TSpecialFolder::IpmSubtree, u"Notes", u"IPF.StickyNote"},
    {TSpecialFolder::Tasks, TSpecialFolder::IpmSubtree, u"Tasks", u"IPF.Task"},
    {TSpecialFolder::JunkEmail, TSpecialFolder::IpmSubtree, u"Junk E-mail", u"IPF.Note"},
    {TSpecialFolder::SyncIssues, TSpecialFolder::IpmSubtree, u"Sync Issues", u"IPF.Note"},
    {TSpecialFolder::Conflicts, TSpecialFolder::SyncIssues, u"Conflicts", u"IPF.Note"},
    {TSpecialFolder::LocalFailures, TSpecialFolder::SyncIssues, u"Local Failures", u"IPF.Note"},
    {TSpecialFolder::ServerFailures, TSpecialFolder::SyncIssues, u"Server Failures", u"IPF.Note"},
};

const char16_t* SubtreeName(TStoreKind kind) {
  switch (kind) {
    case TStoreKind::Mailbox: return u"Top of Information Store";
    default: return u"Top of Personal Folders";
  }
}

TStoredProp MultiBinaryProp(ULONG tag, const std::vector<Bytes>& values) {
  std::vector<SBinary> bins;
  for (const auto& value : values) bins.push_back({static_cast<ULONG>(value.size()), const_cast<LPBYTE>(value.data())});
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.MVbin.cValues = static_cast<ULONG>(bins.size());
  prop.Value.MVbin.lpbin = bins.data();
  return Stored(prop);
}

}  // namespace

void TFolders::CreateStandardFolders(const std::u16string& displayName) {
  std::map<TSpecialFolder, int64_t> ids;
  ids[TSpecialFolder::Root] = Insert(0, u"Root Container", FOLDER_ROOT, {});
  ids[TSpecialFolder::IpmSubtree] = Insert(ids[TSpecialFolder::Root], SubtreeName(store_.kind), FOLDER_GENERIC, {});
  for (const TStandardFolder& standard : kStandardFolders) {
    TStoredProps props;
    if (standard.containerClass)
      props.push_back(Stored(TextValue(tags::kContainerClassW, std::u16string(standard.containerClass))));
    ids[standard.folder] = Insert(ids.at(standard.parent), standard.name, FOLDER_GENERIC, props);
  }
  for (const auto& [folder, id] : ids) SetSpecialFolder(folder, id);
  auto entryId = [&](TSpecialFolder folder) { return MakeEntryId(store_.uid, TObjectKind::Folder, ids.at(folder)); };

  TStoredProps storeProps = {Stored(TextValue(tags::kDisplayNameW, displayName)),
                             Stored(BinaryValue(tags::kIpmSubtreeEntryId, entryId(TSpecialFolder::IpmSubtree))),
                             Stored(BinaryValue(tags::kIpmOutboxEntryId, entryId(TSpecialFolder::Outbox))),
                             Stored(BinaryValue(tags::kIpmWastebasketEntryId, entryId(TSpecialFolder::DeletedItems))),
                             Stored(BinaryValue(tags::kIpmSentMailEntryId, entryId(TSpecialFolder::SentItems))),
                             Stored(BinaryValue(tags::kFinderEntryId, entryId(TSpecialFolder::SearchRoot))),
                             Stored(BinaryValue(tags::kCommonViewsEntryId, entryId(TSpecialFolder::CommonViews))),
                             Stored(BinaryValue(tags::kViewsEntryId, entryId(TSpecialFolder::PersonalViews)))};
  WriteProps(store_.Db(), "store_props", "owner", 0, storeProps);

  // The Outlook folders are found through the Inbox (and the root, where clients
  // also look): the five positions of PR_ADDITIONAL_REN_ENTRYIDS are Conflicts, Sync
  // Issues, Local Failures, Server Failures and Junk E-mail.
  TStoredProps outlookProps = {
      Stored(BinaryValue(tags::kIpmAppointmentEntryId, entryId(TSpecialFolder::Calendar))),
      Stored(BinaryValue(tags::kIpmContactEntryId, entryId(TSpecialFolder::Contacts))),
      Stored(BinaryValue(tags::kIpmJournalEntryId, entryId(TSpecialFolder::Journal))),
      Stored(BinaryValue(tags::kIpmNoteEntryId, entryId(TSpecialFolder::Notes))),
      Stored(BinaryValue(tags::kIpmTaskEntryId, entryId(TSpecialFolder::Tasks))),
      Stored(BinaryValue(tags::kIpmDraftsEntryId, entryId(TSpecialFolder::Drafts))),
      MultiBinaryProp(tags::kAdditionalRenEntryIds,
                      {entryId(TSpecialFolder::Conflicts), entryId(TSpecialFolder::SyncIssues),
                       entryId(TSpecialFolder::LocalFailures), entryId(TSpecialFolder::ServerFailures),
                       entryId(TSpecialFolder::JunkEmail)})};
  for (TSpecialFolder folder : {TSpecialFolder::Inbox, TSpecialFolder::Root})
    WriteProps(store_.Db(), "folder_props", "folder_id", ids.at(folder), outlookProps);

  for (const char* messageClass : {"", "IPM"})
    store_.Db()
        .Prepare("INSERT INTO receive_folders(message_class, folder_id) VALUES(?,?)")
        .Bind(1, std::string(messageClass))
        .Bind(2, ids.at(TSpecialFolder::Inbox))
        .Run();
}

}  // namespace orba::store::sqlite
