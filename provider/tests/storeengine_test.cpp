// What the store engine does that no MAPI object shows: failed saves left without trace,
// change numbers and predecessor lists, entry ID parsing, the change log, names shared
// between connections, exported folders and stores older than the search tables. The
// rest of its behaviour is tested through the MAPI objects over it.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "storage/sqlite/sqlite.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
class StoreEngine : public TEngineTest {
 protected:
  IStoreFolders& Folders() { return engine_->Folders(); }
  IStoreMessages& Messages() { return engine_->Messages(); }
  int64_t Special(TSpecialFolder folder) { return Folders().SpecialFolderId(folder); }
};

// Damaged files are the store durability tests' concern.
TEST_F(StoreEngine, CreateRefusesAnExistingFileAndOpenAMissingOne) {
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Create(path_, TStoreKind::Mailbox, u"Again"); }), MAPI_E_COLLISION);
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Open(home_.File("none.db")); }), MAPI_E_NOT_FOUND);
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
}

TEST_F(StoreEngine, ChangeNumbersAndKeys) {
  int64_t id = Messages().Create(inbox_, false, Note(u"One"));
  TMessageRecord first = Messages().Get(id);
  EXPECT_EQ(std::memcmp(first.change.sourceKey.data(), &engine_->StoreGuid(), 16), 0);
  EXPECT_EQ(first.change.predecessors.size(), 23u);
  EXPECT_EQ(first.change.predecessors[0], 22);
  Messages().Save(id, Note(u"Two"));
  TMessageRecord second = Messages().Get(id);
  EXPECT_EQ(second.change.sourceKey, first.change.sourceKey);
  EXPECT_GT(second.change.changeNumber, first.change.changeNumber);
  // One GUID: the list keeps only the newest change.
  EXPECT_EQ(Bytes(second.change.predecessors.begin() + 1, second.change.predecessors.end()), second.change.changeKey);
  // The counter is the change number, big-endian, in the change key's last 6 bytes.
  EXPECT_EQ(second.change.changeKey[21], static_cast<uint8_t>(second.change.changeNumber));
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
  EXPECT_EQ(engine_->ParseEntryId(id.data(), id.size()).id, 42);
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

TEST_F(StoreEngine, StoresWithoutSearchTablesGetThemWhenOpened) {
  int64_t search = Folder(Special(TSpecialFolder::SearchRoot), u"Found", FOLDER_SEARCH);
  engine_ = nullptr;
  TSqlDatabase(path_).Execute("DROP TABLE search_kept; DROP TABLE search_scope; DROP TABLE search_criteria;");
  Reopen();
  EXPECT_FALSE(engine_->Search().Criteria(search).has_value());
  TSearchCriteria criteria;
  criteria.restriction = {8, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0, 0x37, 0, 0, 0, 0, 0};  // RES_EXIST on PR_SUBJECT
  criteria.folders = {inbox_};
  engine_->Search().SetCriteria(search, criteria, {});
  EXPECT_TRUE(engine_->Search().Criteria(search).has_value());
}

}  // namespace
}  // namespace orba::store
