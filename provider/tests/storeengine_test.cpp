// The store engine's folders, messages, transactions, entry IDs, change log and named
// properties, through its collaborators (storage/storeengine.h).
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "storage/sqlite/sqlite.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using Names = std::vector<std::u16string>;

class StoreEngine : public TEngineTest {
 protected:
  IStoreFolders& Folders() { return engine_->Folders(); }
  IStoreMessages& Messages() { return engine_->Messages(); }
  int64_t Special(TSpecialFolder folder) { return Folders().SpecialFolderId(folder); }
  Names ChildNames(int64_t folder) {
    Names names;
    for (const TFolderRecord& child : Folders().Children(folder)) names.push_back(child.name);
    return names;
  }
};

TEST_F(StoreEngine, NewStoresHaveTheStandardFolderSetByKind) {
  Create(TStoreKind::Mailbox);
  int64_t subtree = Special(TSpecialFolder::IpmSubtree);
  EXPECT_EQ(Folders().Get(subtree).name, u"Top of Information Store");
  EXPECT_EQ(Folders().Get(Special(TSpecialFolder::Root)).folderType, ULONG{FOLDER_ROOT});
  EXPECT_EQ(ChildNames(subtree), (Names{u"Inbox", u"Outbox", u"Sent Items", u"Deleted Items", u"Drafts", u"Contacts",
                                        u"Calendar", u"Journal", u"Notes", u"Tasks", u"Junk E-mail", u"Sync Issues"}));
  for (auto [folder, containerClass] : {std::pair{TSpecialFolder::Contacts, u"IPF.Contact"},
                                        {TSpecialFolder::Calendar, u"IPF.Appointment"},
                                        {TSpecialFolder::Notes, u"IPF.StickyNote"}})
    EXPECT_EQ(Folders().Get(Special(folder)).containerClass, containerClass);
  EXPECT_EQ(Folders().Children(Special(TSpecialFolder::SyncIssues)).size(), 3u);
  Create(TStoreKind::PersonalFile);
  EXPECT_EQ(Folders().Get(Special(TSpecialFolder::IpmSubtree)).name, u"Top of Personal Folders");
}

TEST_F(StoreEngine, StoreAndInboxPointAtTheSpecialFolders) {
  TStoredProps props = engine_->Props().Read();
  const TStoredProp* outbox = FindStored(props, PROP_ID(tags::kIpmOutboxEntryId));
  ASSERT_NE(outbox, nullptr);
  // A binary is stored as its bytes.
  EXPECT_EQ(outbox->value, engine_->EntryId(TObjectKind::Folder, Special(TSpecialFolder::Outbox)));
  for (ULONG tag : {tags::kIpmSubtreeEntryId, tags::kIpmWastebasketEntryId, tags::kIpmSentMailEntryId,
                    tags::kFinderEntryId, tags::kCommonViewsEntryId, tags::kViewsEntryId})
    EXPECT_NE(FindStored(props, PROP_ID(tag)), nullptr) << std::hex << tag;
  TStoredProps inbox = Folders().Props(inbox_);
  for (ULONG tag :
       {tags::kIpmAppointmentEntryId, tags::kIpmContactEntryId, tags::kIpmJournalEntryId, tags::kIpmNoteEntryId,
        tags::kIpmTaskEntryId, tags::kIpmDraftsEntryId, tags::kAdditionalRenEntryIds})
    EXPECT_NE(FindStored(inbox, PROP_ID(tag)), nullptr) << std::hex << tag;
}

TEST_F(StoreEngine, ReceiveFoldersMatchTheLongestClassPrefix) {
  EXPECT_EQ(Folders().GetReceiveFolder("").folderId, inbox_);
  EXPECT_EQ(Folders().GetReceiveFolder("IPM.Note.Custom").messageClass, "IPM");
  int64_t custom = Folder(Special(TSpecialFolder::IpmSubtree), u"Custom");
  Folders().SetReceiveFolder("IPM.Note.Custom", custom);
  EXPECT_EQ(Folders().GetReceiveFolder("ipm.note.custom.more").folderId, custom);
  EXPECT_EQ(Folders().GetReceiveFolder("IPM.Note.Customer").folderId, inbox_);
  Folders().SetReceiveFolder("IPM.Note.Custom", 0);
  EXPECT_EQ(Folders().GetReceiveFolder("IPM.Note.Custom").folderId, inbox_);
  EXPECT_EQ(CodeOf([&] { Folders().SetReceiveFolder("", 0); }), MAPI_E_CALL_FAILED);
  EXPECT_EQ(CodeOf([&] { Folders().SetReceiveFolder("X", 999999); }), MAPI_E_NOT_FOUND);
}

// Damaged files are the store durability tests' concern.
TEST_F(StoreEngine, CreateRefusesAnExistingFileAndOpenAMissingOne) {
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Create(path_, TStoreKind::Mailbox, u"Again"); }), MAPI_E_COLLISION);
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Open(home_.File("none.db")); }), MAPI_E_NOT_FOUND);
}

TEST_F(StoreEngine, EverythingPersistsAcrossReopen) {
  MAPIUID uid = engine_->ProviderUid();
  int64_t folder =
      Folders().Create(inbox_, u"Projects", FOLDER_GENERIC, {Stored(TextValue(tags::kCommentW, u"work"))}, false);
  TMessageImage image = Note(u"Hello");
  image.recipients.push_back({0, {Stored(TextValue(tags::kDisplayNameW, u"Anna"))}});
  image.attachments.push_back(
      {0, {Stored(LongValue(tags::kAttachNum, 0))}, std::make_shared<TMessageImage>(Note(u"Inner"))});
  int64_t message = Messages().Create(folder, false, image);
  Reopen();
  EXPECT_EQ(std::memcmp(engine_->ProviderUid().ab, uid.ab, 16), 0);
  EXPECT_EQ(Folders().Get(folder).name, u"Projects");
  EXPECT_EQ(StoredTextOf(Folders().Props(folder), tags::kCommentW), u"work");
  TMessageImage loaded = Messages().Load(message);
  EXPECT_EQ(StoredTextOf(loaded.props, tags::kSubjectW), u"Hello");
  ASSERT_EQ(loaded.recipients.size(), 1u);
  EXPECT_EQ(StoredTextOf(loaded.recipients[0].props, tags::kDisplayNameW), u"Anna");
  ASSERT_EQ(loaded.attachments.size(), 1u);
  ASSERT_TRUE(loaded.attachments[0].embedded);
  EXPECT_EQ(StoredTextOf(loaded.attachments[0].embedded->props, tags::kSubjectW), u"Inner");
  EXPECT_NE(Messages().Get(message).flags & MSGFLAG_HASATTACH, 0u);
}

TEST_F(StoreEngine, AFailingSaveStoresNothing) {
  int64_t id = Messages().Create(inbox_, false, Note(u"Before"));
  int64_t cn = engine_->Changes().CurrentChangeNumber();
  TMessageImage bad = Note(u"After");
  bad.recipients = {{1, {}}, {1, {}}};  // two rows with one PR_ROWID
  EXPECT_EQ(CodeOf([&] { Messages().Save(id, bad); }), MAPI_E_INVALID_PARAMETER);
  TMessageImage badValue = Note(u"After");
  badValue.props.push_back({PROP_TAG(PT_LONG, 0x6001), {1, 2}});  // a PT_LONG of two bytes
  EXPECT_EQ(CodeOf([&] { Messages().Save(id, badValue); }), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(CodeOf([&] { Messages().Create(inbox_, false, badValue); }), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(StoredTextOf(Messages().Load(id).props, tags::kSubjectW), u"Before");
  EXPECT_EQ(engine_->Changes().CurrentChangeNumber(), cn);
  EXPECT_EQ(Messages().Ids(inbox_, false).size(), 1u);
}

TEST_F(StoreEngine, ChangeNumbersAndKeys) {
  int64_t id = Messages().Create(inbox_, false, Note(u"One"));
  TMessageRecord first = Messages().Get(id);
  ASSERT_EQ(first.change.sourceKey.size(), 22u);
  ASSERT_EQ(first.change.changeKey.size(), 22u);
  EXPECT_EQ(std::memcmp(first.change.sourceKey.data(), &engine_->StoreGuid(), 16), 0);
  EXPECT_EQ(first.change.predecessors.size(), 23u);
  EXPECT_EQ(first.change.predecessors[0], 22);
  Messages().Save(id, Note(u"Two"));
  TMessageRecord second = Messages().Get(id);
  EXPECT_EQ(second.change.sourceKey, first.change.sourceKey);
  EXPECT_GT(second.change.changeNumber, first.change.changeNumber);
  EXPECT_NE(second.change.changeKey, first.change.changeKey);
  // One GUID: the list keeps only the newest change.
  EXPECT_EQ(Bytes(second.change.predecessors.begin() + 1, second.change.predecessors.end()), second.change.changeKey);
  // The counter is the change number, big-endian, in the change key's last 6 bytes.
  EXPECT_EQ(second.change.changeKey[21], static_cast<uint8_t>(second.change.changeNumber));
  EXPECT_EQ(engine_->Changes().CurrentChangeNumber(), second.change.changeNumber);
}

TEST_F(StoreEngine, PredecessorListsKeepOneNewestEntryPerGuid) {
  GUID a{1, 0, 0, {}}, b{2, 0, 0, {}};
  Bytes list;
  for (auto [guid, counter] : {std::pair{a, 5}, {b, 7}, {a, 9}, {b, 3}})  // (b, 3) is older than what is there
    list = MergePredecessors(list, MakeXid(guid, counter));
  ASSERT_EQ(list.size(), 46u);
  EXPECT_EQ(Bytes(list.begin() + 1, list.begin() + 23), MakeXid(a, 9));
  EXPECT_EQ(Bytes(list.begin() + 24, list.end()), MakeXid(b, 7));
  Bytes damaged = {22, 1, 2};
  EXPECT_EQ(CodeOf([&] { MergePredecessors(damaged, MakeXid(a, 1)); }), MAPI_E_CORRUPT_DATA);
}

TEST_F(StoreEngine, EntryIdsAreParsedDefensively) {
  Bytes id = engine_->EntryId(TObjectKind::Message, 42);
  TParsedEntryId parsed = engine_->ParseEntryId(id.data(), id.size());
  EXPECT_EQ(parsed.kind, TObjectKind::Message);
  EXPECT_EQ(parsed.id, 42);
  EXPECT_EQ(CodeOf([&] { engine_->ParseEntryId(nullptr, 30); }), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(CodeOf([&] { engine_->ParseEntryId(id.data(), 3); }), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(CodeOf([&] { engine_->ParseEntryId(id.data(), id.size() - 1); }), MAPI_E_INVALID_ENTRYID);
  // A byte changed: the kind, the flags, the number's sign, the provider UID.
  for (auto [at, value, code] : {std::tuple{20, 9, MAPI_E_INVALID_ENTRYID},
                                 {0, 1, MAPI_E_INVALID_ENTRYID},
                                 {29, 0x80, MAPI_E_INVALID_ENTRYID},
                                 {4, id[4] ^ 0xFF, MAPI_E_UNKNOWN_ENTRYID}}) {
    Bytes changed = id;
    changed[at] = static_cast<BYTE>(value);
    EXPECT_EQ(CodeOf([&] { engine_->ParseEntryId(changed.data(), changed.size()); }), code) << at;
  }
}

TEST_F(StoreEngine, FolderNamesCollideRegardlessOfCase) {
  int64_t a = Folder(inbox_, u"Reports");
  EXPECT_EQ(CodeOf([&] { Folder(inbox_, u"REPORTS"); }), MAPI_E_COLLISION);
  EXPECT_EQ(Folders().Create(inbox_, u"reports", FOLDER_GENERIC, {}, true), a);
  EXPECT_EQ(CodeOf([&] { Folder(inbox_, u""); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CodeOf([&] { Folder(inbox_, u"X", 7); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CodeOf([&] { Folder(999999, u"X"); }), MAPI_E_NOT_FOUND);
  int64_t b = Folder(inbox_, u"Other");
  EXPECT_EQ(CodeOf([&] { Folders().ChangeProps(b, {Stored(TextValue(tags::kDisplayNameW, u"rePorts"))}, {}); }),
            MAPI_E_COLLISION);
  Folders().ChangeProps(b, {Stored(TextValue(tags::kDisplayNameW, u"Renamed"))}, {});
  EXPECT_EQ(Folders().Get(b).name, u"Renamed");
  EXPECT_EQ(StoredTextOf(Folders().Props(b), tags::kDisplayNameW), u"Renamed");
}

// Moves into a folder's own subtree, collisions and renames are covered through
// IMAPIFolder::CopyFolder; the engine also refuses a copy into the subtree and a move of
// the standard set.
TEST_F(StoreEngine, FoldersMoveAndCopyNeitherIntoTheirSubtreeNorOutOfTheStandardSet) {
  int64_t a = Folder(inbox_, u"A");
  int64_t b = Folder(a, u"B");
  EXPECT_EQ(CodeOf([&] { Folders().Copy(a, b, std::nullopt, true); }), MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(CodeOf([&] { Folders().Move(Special(TSpecialFolder::Root), inbox_, std::nullopt); }), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CodeOf([&] { Folders().Move(inbox_, Special(TSpecialFolder::Drafts), std::nullopt); }), MAPI_E_NO_ACCESS);
}

TEST_F(StoreEngine, CopyFolderCopiesMessagesAndOptionallySubfolders) {
  int64_t a = Folder(inbox_, u"A");
  int64_t b = Folder(a, u"B");
  int64_t m = Messages().Create(a, false, Note(u"in A"));
  Messages().Create(b, true, Note(u"assoc in B"));
  Messages().ApplyReadFlags(m, 0);
  int64_t flat = Folders().Copy(a, inbox_, u"Flat", false);
  EXPECT_TRUE(Folders().Children(flat).empty());
  ASSERT_EQ(Messages().Ids(flat, false).size(), 1u);
  TMessageRecord copied = Messages().Get(Messages().Ids(flat, false)[0]);
  EXPECT_EQ(copied.searchKey, Messages().Get(m).searchKey);
  EXPECT_NE(copied.change.sourceKey, Messages().Get(m).change.sourceKey);
  EXPECT_NE(copied.flags & MSGFLAG_READ, 0u);
  int64_t deep = Folders().Copy(a, inbox_, u"Deep", true);
  auto children = Folders().Children(deep);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(Messages().Ids(children[0].id, true).size(), 1u);
  EXPECT_EQ(CodeOf([&] { Folders().Copy(a, inbox_, u"deep", true); }), MAPI_E_COLLISION);
}

TEST_F(StoreEngine, DeleteFolderNeedsItsFlagsAndEmptyKeepsAssociatedMessagesUnlessAsked) {
  int64_t a = Folder(inbox_, u"A");
  int64_t b = Folder(a, u"B");
  Messages().Create(b, false, Note(u"deep"));
  EXPECT_EQ(CodeOf([&] { Folders().Delete(a, true, false); }), MAPI_E_HAS_FOLDERS);
  EXPECT_EQ(CodeOf([&] { Folders().Delete(a, false, true); }), MAPI_E_HAS_MESSAGES);
  EXPECT_EQ(CodeOf([&] { Folders().Delete(inbox_, true, true); }), MAPI_E_NO_ACCESS);
  Folders().Delete(a, true, true);
  EXPECT_EQ(CodeOf([&] { Folders().Get(a); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { Folders().Get(b); }), MAPI_E_NOT_FOUND);
  Folders().Delete(Folder(inbox_, u"Empty"), false, false);

  Messages().Create(inbox_, false, Note(u"n"));
  Messages().Create(inbox_, true, Note(u"a"));
  Folder(inbox_, u"Sub");
  Folders().Empty(inbox_, false);
  TFolderCounts counts = Folders().Counts(inbox_);
  EXPECT_EQ(counts.contents, 0u);
  EXPECT_EQ(counts.associated, 1u);
  EXPECT_EQ(counts.subfolders, 0u);
  Folders().Empty(inbox_, true);
  EXPECT_EQ(Folders().Counts(inbox_).associated, 0u);
  // Emptying keeps the standard set.
  int64_t subtree = Special(TSpecialFolder::IpmSubtree);
  Folder(subtree, u"Own");
  Folders().Empty(subtree, true);
  EXPECT_EQ(Folders().Children(subtree).size(), 12u);
}

TEST_F(StoreEngine, CountsReadStateAndStatus) {
  int64_t a = Messages().Create(inbox_, false, Note(u"a"));
  TMessageImage readNote = Note(u"b");
  readNote.props.push_back(Stored(LongValue(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_HASATTACH)));
  int64_t b = Messages().Create(inbox_, false, readNote);
  EXPECT_EQ(Messages().Get(b).flags, ULONG{MSGFLAG_READ});  // the store decides MSGFLAG_HASATTACH
  EXPECT_EQ(Folders().Counts(inbox_).contents, 2u);
  EXPECT_EQ(Folders().Counts(inbox_).unread, 1u);
  EXPECT_TRUE(Messages().ApplyReadFlags(a, 0).Changed());
  EXPECT_FALSE(Messages().ApplyReadFlags(a, 0).Changed());
  EXPECT_EQ(Folders().Counts(inbox_).unread, 0u);
  EXPECT_EQ(Messages().SetStatus(a, 0x1000 | 0x2, 0x1000), 0u);
  EXPECT_EQ(Messages().Get(a).status, 0x1000u);
}

TEST_F(StoreEngine, TheChangeLogAnswersContentChangesSinceAState) {
  int64_t drafts = Special(TSpecialFolder::Drafts);
  int64_t kept = Messages().Create(inbox_, false, Note(u"kept"));
  int64_t read = Messages().Create(inbox_, false, Note(u"read"));
  int64_t gone = Messages().Create(inbox_, false, Note(u"gone"));
  int64_t soft = Messages().Create(inbox_, false, Note(u"soft"));
  int64_t moved = Messages().Create(inbox_, false, Note(u"moved"));
  int64_t state = engine_->Changes().CurrentChangeNumber();
  EXPECT_TRUE(engine_->Changes().ContentChangesSince(inbox_, state).changed.empty());
  int64_t created = Messages().Create(inbox_, false, Note(u"new"));
  Messages().Save(kept, Note(u"kept, changed"));
  Messages().ApplyReadFlags(read, 0);
  std::vector<Bytes> keys;
  for (int64_t id : {gone, soft, moved}) keys.push_back(Messages().Get(id).change.sourceKey);
  Messages().Delete(gone, false);
  Messages().Delete(soft, true);
  Messages().Move(moved, drafts);

  TContentChanges changes = engine_->Changes().ContentChangesSince(inbox_, state);
  std::vector<int64_t> changed;
  for (const auto& m : changes.changed) changed.push_back(m.id);
  EXPECT_EQ(changed, (std::vector<int64_t>{created, kept}));
  ASSERT_EQ(changes.readChanged.size(), 1u);
  EXPECT_EQ(changes.readChanged[0].id, read);
  ASSERT_EQ(changes.deleted.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(changes.deleted[i].sourceKey, keys[i]);
    EXPECT_EQ(changes.deleted[i].soft, i == 1);
  }
  EXPECT_EQ(engine_->Changes().ContentChangesSince(drafts, state).changed.size(), 1u);
  EXPECT_EQ(Folders().Counts(inbox_).contents, 3u);
  EXPECT_EQ(CodeOf([&] { Messages().Get(soft); }), MAPI_E_NOT_FOUND);
}

TEST_F(StoreEngine, TheChangeLogAnswersHierarchyChangesSinceAState) {
  int64_t doomed = Folder(inbox_, u"Doomed");
  Bytes doomedKey = Folders().Get(doomed).change.sourceKey;
  int64_t state = engine_->Changes().CurrentChangeNumber();
  int64_t fresh = Folder(inbox_, u"Fresh");
  Folders().Delete(doomed, true, true);
  THierarchyChanges changes = engine_->Changes().HierarchyChangesSince(Special(TSpecialFolder::IpmSubtree), state);
  ASSERT_EQ(changes.changed.size(), 1u);
  EXPECT_EQ(changes.changed[0].id, fresh);
  ASSERT_EQ(changes.deleted.size(), 1u);
  EXPECT_EQ(changes.deleted[0].sourceKey, doomedKey);
}

TEST_F(StoreEngine, NamedPropertiesPersistAndAreSharedBetweenConnections) {
  auto other = TStoreEngine::Open(path_);
  GUID set{0x00062008, 0, 0, {}};
  ULONG id = engine_->Names()->GetId(TPropName::FromId(set, 0x8503), true);
  EXPECT_EQ(id, kFirstNamedId);
  EXPECT_EQ(other->Names()->GetId(TPropName::FromId(set, 0x8503), false), id);
  ULONG named = other->Names()->GetId(TPropName::FromString(set, u"Keywords"), true);
  EXPECT_EQ(named, kFirstNamedId + 1);
  auto name = engine_->Names()->GetName(named);
  ASSERT_TRUE(name);
  EXPECT_EQ(name->name, u"Keywords");
  EXPECT_EQ(engine_->Names()->GetId(TPropName::FromString(set, u"Missing"), false), 0u);
  EXPECT_EQ(engine_->Names()->All().size(), 2u);
}

// A folder moved to another store is copied first, then deleted: a message that arrived
// or changed in between is not in the copy, so the original must stay.
TEST_F(StoreEngine, DeletingAnExportedFolderRefusesChangesMadeSince) {
  int64_t folder = Folder(inbox_, u"Projects");
  int64_t below = Folder(folder, u"Old");
  int64_t plan = Messages().Create(below, false, Note(u"Plan"));
  auto deleteExported = [&](const std::function<void()>& meanwhile) {
    TFolderImage image = Folders().Export(folder, true);
    meanwhile();
    return CodeOf([&] { Folders().Delete(folder, true, true, image.changeNumber); });
  };
  EXPECT_EQ(deleteExported([&] { Messages().Create(below, false, Note(u"Late")); }), MAPI_E_OBJECT_CHANGED);
  EXPECT_EQ(Messages().Ids(below, false).size(), 2u);
  // A read-state change counts too; an unchanged tree goes.
  EXPECT_EQ(deleteExported([&] { Messages().ApplyReadFlags(plan, 0); }), MAPI_E_OBJECT_CHANGED);
  EXPECT_EQ(deleteExported([] {}), S_OK);
  EXPECT_EQ(CodeOf([&] { Folders().Get(folder); }), MAPI_E_NOT_FOUND);
}

// --- search criteria ---

class StoreSearch : public StoreEngine {
 protected:
  void SetUp() override {
    StoreEngine::SetUp();
    finder_ = Special(TSpecialFolder::SearchRoot);
    search_ = Folder(finder_, u"Found", FOLDER_SEARCH);
  }
  IStoreSearch& Search() { return engine_->Search(); }
  static TSearchCriteria Criteria(std::vector<int64_t> folders, bool recursive = false) {
    TSearchCriteria criteria;
    criteria.restriction = {8, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0, 0x37, 0, 0, 0, 0, 0};  // RES_EXIST on PR_SUBJECT
    criteria.folders = std::move(folders);
    criteria.recursive = recursive;
    return criteria;
  }
  int64_t finder_ = 0, search_ = 0;
};

TEST_F(StoreSearch, CriteriaAreKeptUntilTheFolderGoes) {
  EXPECT_FALSE(Search().Criteria(search_).has_value());
  TSearchCriteria criteria = Criteria({inbox_, finder_}, true);
  criteria.foreground = true;
  Search().SetCriteria(search_, criteria, {});
  Reopen();
  auto kept = Search().Criteria(search_);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->restriction, criteria.restriction);
  EXPECT_EQ(kept->folders, (std::vector<int64_t>{inbox_, finder_}));
  EXPECT_TRUE(kept->recursive);
  EXPECT_TRUE(kept->foreground);
  EXPECT_TRUE(kept->running);
  Folders().Delete(search_, false, false);
  EXPECT_EQ(CodeOf([&] { Search().Criteria(search_); }), MAPI_E_NOT_FOUND);
  // A new search folder never inherits the criteria of a deleted one.
  EXPECT_FALSE(Search().Criteria(Folder(finder_, u"Found", FOLDER_SEARCH)).has_value());
}

TEST_F(StoreSearch, ScopeExpandsListedFoldersSkippingSearchFoldersAndDeletedOnes) {
  int64_t a = Folder(inbox_, u"A");
  int64_t b = Folder(a, u"B");
  int64_t gone = Folder(inbox_, u"Gone");
  int64_t other = Folder(inbox_, u"Other search", FOLDER_SEARCH);
  EXPECT_EQ(Search().Scope(Criteria({inbox_})), (std::vector<int64_t>{inbox_}));
  EXPECT_EQ(Search().Scope(Criteria({inbox_}, true)), (std::vector<int64_t>{inbox_, a, b, gone}));
  Search().SetCriteria(search_, Criteria({b, a, gone, a, other}), {});
  Folders().Delete(gone, false, false);
  auto kept = Search().Criteria(search_);
  EXPECT_EQ(kept->folders, (std::vector<int64_t>{b, a, gone, a, other}));  // as listed
  EXPECT_EQ(Search().Scope(*kept), (std::vector<int64_t>{a, b}));
}

TEST_F(StoreSearch, AStoppedSearchKeepsItsLiveResults) {
  int64_t one = Messages().Create(inbox_, false, {});
  int64_t two = Messages().Create(inbox_, false, {});
  TSearchCriteria criteria = Criteria({inbox_});
  criteria.running = false;
  Search().SetCriteria(search_, criteria, {two, one, two});
  EXPECT_EQ(Search().KeptResults(search_), (std::vector<int64_t>{one, two}));
  Messages().Delete(one, true);
  EXPECT_EQ(Search().KeptResults(search_), (std::vector<int64_t>{two}));
  // Running again, nothing is kept.
  criteria.running = true;
  Search().SetCriteria(search_, criteria, {two});
  EXPECT_TRUE(Search().KeptResults(search_).empty());
}

TEST_F(StoreSearch, ErrorsLeaveTheCriteriaAsTheyWere) {
  TSearchCriteria empty = Criteria({inbox_});
  empty.restriction.clear();
  EXPECT_EQ(CodeOf([&] { Search().Criteria(inbox_); }), MAPI_E_NO_SUPPORT);
  for (auto [folder, criteria, code] : {std::tuple{inbox_, Criteria({finder_}), MAPI_E_NO_SUPPORT},
                                        {search_, Criteria({search_}), MAPI_E_INVALID_PARAMETER},
                                        {search_, Criteria({inbox_, 9999}), MAPI_E_NOT_FOUND},
                                        {search_, Criteria({}), MAPI_E_INVALID_PARAMETER},
                                        {search_, empty, MAPI_E_INVALID_PARAMETER}})
    EXPECT_EQ(CodeOf([&] { Search().SetCriteria(folder, criteria, {}); }), code);
  EXPECT_FALSE(Search().Criteria(search_).has_value());
  // No subfolders below a search folder, made, moved or copied there.
  EXPECT_EQ(CodeOf([&] { Folder(search_, u"Sub"); }), MAPI_E_NO_SUPPORT);
  int64_t loose = Folder(inbox_, u"Loose");
  EXPECT_EQ(CodeOf([&] { Folders().Move(loose, search_, std::nullopt); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(CodeOf([&] { Folders().Copy(loose, search_, std::nullopt, true); }), MAPI_E_NO_SUPPORT);
  EXPECT_TRUE(Folders().Children(search_).empty());
}

TEST_F(StoreSearch, StoresWithoutSearchTablesGetThemWhenOpened) {
  engine_ = nullptr;
  TSqlDatabase(path_).Execute("DROP TABLE search_kept; DROP TABLE search_scope; DROP TABLE search_criteria;");
  Reopen();
  EXPECT_FALSE(Search().Criteria(search_).has_value());
  Search().SetCriteria(search_, Criteria({inbox_}), {});
  EXPECT_TRUE(Search().Criteria(search_).has_value());
}

}  // namespace
}  // namespace orba::store
