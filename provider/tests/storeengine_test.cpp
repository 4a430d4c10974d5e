// The message store engine: creation, persistence, folders, messages, transactions,
// entry IDs and change tracking.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/maperror.h"
#include "props/tags.h"
#include "storage/storeengine.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

TStoredProp Text(ULONG tag, const std::u16string& text) {
  std::u16string copy = text;
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(copy.data());
  return {tag, EncodePropValue(value)};
}

TStoredProp Long(ULONG tag, ULONG v) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.ul = v;
  return {tag, EncodePropValue(value)};
}

std::u16string TextOf(const TStoredProps& props, ULONG tag) {
  for (const auto& prop : props)
    if (prop.tag == tag)
      return std::u16string(reinterpret_cast<const char16_t*>(prop.value.data()), prop.value.size() / 2);
  return u"<missing>";
}

const TStoredProp* Find(const TStoredProps& props, ULONG tag) {
  for (const auto& prop : props)
    if (prop.tag == tag) return &prop;
  return nullptr;
}

HRESULT CodeOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

TMessageImage Note(const std::u16string& subject) {
  TMessageImage image;
  image.props = {Text(tags::kMessageClassW, u"IPM.Note"), Text(tags::kSubjectW, subject)};
  return image;
}

class StoreEngineTest : public ::testing::Test {
 protected:
  std::string StorePath() const { return (home_.Path() / "mailbox.db").string(); }
  std::shared_ptr<TStoreEngine> NewStore(TStoreKind kind = TStoreKind::Mailbox) {
    return TStoreEngine::Create(StorePath(), kind, u"Mailbox - Test");
  }
  TTempStoreHome home_;
};

TEST_F(StoreEngineTest, NewStoreHasTheStandardFolderSet) {
  auto store = NewStore();
  int64_t subtree = store->Folders().SpecialFolderId(TSpecialFolder::IpmSubtree);
  EXPECT_EQ(store->Folders().Get(subtree).name, u"Top of Information Store");
  EXPECT_EQ(store->Folders().Get(store->Folders().SpecialFolderId(TSpecialFolder::Root)).folderType, FOLDER_ROOT);
  std::vector<std::u16string> names;
  for (const auto& folder : store->Folders().Children(subtree)) names.push_back(folder.name);
  EXPECT_EQ(names,
            (std::vector<std::u16string>{u"Inbox", u"Outbox", u"Sent Items", u"Deleted Items", u"Drafts", u"Contacts",
                                         u"Calendar", u"Journal", u"Notes", u"Tasks", u"Junk E-mail", u"Sync Issues"}));
  EXPECT_EQ(store->Folders().Get(store->Folders().SpecialFolderId(TSpecialFolder::Contacts)).containerClass,
            u"IPF.Contact");
  EXPECT_EQ(store->Folders().Get(store->Folders().SpecialFolderId(TSpecialFolder::Calendar)).containerClass,
            u"IPF.Appointment");
  EXPECT_EQ(store->Folders().Get(store->Folders().SpecialFolderId(TSpecialFolder::Notes)).containerClass,
            u"IPF.StickyNote");
  EXPECT_EQ(store->Folders().Children(store->Folders().SpecialFolderId(TSpecialFolder::SyncIssues)).size(), 3u);
}

TEST_F(StoreEngineTest, StoreAndInboxPointAtTheSpecialFolders) {
  auto store = NewStore();
  TStoredProps props = store->Props().Read();
  const TStoredProp* outbox = Find(props, tags::kIpmOutboxEntryId);
  ASSERT_NE(outbox, nullptr);
  // A binary is stored as its bytes.
  EXPECT_EQ(outbox->value,
            store->EntryId(TObjectKind::Folder, store->Folders().SpecialFolderId(TSpecialFolder::Outbox)));
  for (ULONG tag : {tags::kIpmSubtreeEntryId, tags::kIpmWastebasketEntryId, tags::kIpmSentMailEntryId,
                    tags::kFinderEntryId, tags::kCommonViewsEntryId, tags::kViewsEntryId})
    EXPECT_NE(Find(props, tag), nullptr) << std::hex << tag;
  TStoredProps inbox = store->Folders().Props(store->Folders().SpecialFolderId(TSpecialFolder::Inbox));
  for (ULONG tag :
       {tags::kIpmAppointmentEntryId, tags::kIpmContactEntryId, tags::kIpmJournalEntryId, tags::kIpmNoteEntryId,
        tags::kIpmTaskEntryId, tags::kIpmDraftsEntryId, tags::kAdditionalRenEntryIds})
    EXPECT_NE(Find(inbox, tag), nullptr) << std::hex << tag;
  EXPECT_EQ(store->Folders().GetReceiveFolder("").folderId, store->Folders().SpecialFolderId(TSpecialFolder::Inbox));
  EXPECT_EQ(store->Folders().GetReceiveFolder("IPM.Note.Custom").messageClass, "IPM");
}

TEST_F(StoreEngineTest, ReceiveFoldersMatchTheLongestClassPrefix) {
  auto store = NewStore();
  int64_t custom = store->Folders().Create(store->Folders().SpecialFolderId(TSpecialFolder::IpmSubtree), u"Custom",
                                           FOLDER_GENERIC, {}, false);
  store->Folders().SetReceiveFolder("IPM.Note.Custom", custom);
  EXPECT_EQ(store->Folders().GetReceiveFolder("ipm.note.custom.more").folderId, custom);
  EXPECT_EQ(store->Folders().GetReceiveFolder("IPM.Note.Customer").folderId,
            store->Folders().SpecialFolderId(TSpecialFolder::Inbox));
  store->Folders().SetReceiveFolder("IPM.Note.Custom", 0);
  EXPECT_EQ(store->Folders().GetReceiveFolder("IPM.Note.Custom").folderId,
            store->Folders().SpecialFolderId(TSpecialFolder::Inbox));
  EXPECT_EQ(CodeOf([&] { store->Folders().SetReceiveFolder("", 0); }), MAPI_E_CALL_FAILED);
  EXPECT_EQ(CodeOf([&] { store->Folders().SetReceiveFolder("X", 999999); }), MAPI_E_NOT_FOUND);
}

TEST_F(StoreEngineTest, KindDecidesMdbProviderAndSubtreeName) {
  auto pst = NewStore(TStoreKind::PersonalFile);
  EXPECT_EQ(pst->Folders().Get(pst->Folders().SpecialFolderId(TSpecialFolder::IpmSubtree)).name,
            u"Top of Personal Folders");
}

TEST_F(StoreEngineTest, CreateRefusesAnExistingFileAndOpenAMissingOrForeignOne) {
  NewStore();
  EXPECT_EQ(CodeOf([&] { NewStore(); }), MAPI_E_COLLISION);
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Open((home_.Path() / "none.db").string()); }), MAPI_E_NOT_FOUND);
  std::string junk = (home_.Path() / "junk.db").string();
  FILE* f = fopen(junk.c_str(), "wb");
  fputs("this is not a database at all, not even close to one.........................................", f);
  fclose(f);
  EXPECT_EQ(CodeOf([&] { TStoreEngine::Open(junk); }), MAPI_E_CORRUPT_DATA);
}

TEST_F(StoreEngineTest, EverythingPersistsAcrossReopen) {
  int64_t inbox, message, folder;
  MAPIUID uid;
  {
    auto store = NewStore();
    uid = store->ProviderUid();
    inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
    folder = store->Folders().Create(inbox, u"Projects", FOLDER_GENERIC, {Text(tags::kCommentW, u"work")}, false);
    TMessageImage image = Note(u"Hello");
    image.recipients.push_back({0, {Text(tags::kDisplayNameW, u"Anna")}});
    TAttachmentImage attachment{0, {Long(tags::kAttachNum, 0)}, std::make_shared<TMessageImage>(Note(u"Inner"))};
    image.attachments.push_back(attachment);
    message = store->Messages().Create(folder, false, image);
  }
  auto store = TStoreEngine::Open(StorePath());
  EXPECT_EQ(std::memcmp(store->ProviderUid().ab, uid.ab, 16), 0);
  EXPECT_EQ(store->Folders().Get(folder).name, u"Projects");
  EXPECT_EQ(TextOf(store->Folders().Props(folder), tags::kCommentW), u"work");
  TMessageImage loaded = store->Messages().Load(message);
  EXPECT_EQ(TextOf(loaded.props, tags::kSubjectW), u"Hello");
  ASSERT_EQ(loaded.recipients.size(), 1u);
  EXPECT_EQ(TextOf(loaded.recipients[0].props, tags::kDisplayNameW), u"Anna");
  ASSERT_EQ(loaded.attachments.size(), 1u);
  ASSERT_TRUE(loaded.attachments[0].embedded);
  EXPECT_EQ(TextOf(loaded.attachments[0].embedded->props, tags::kSubjectW), u"Inner");
  EXPECT_NE(store->Messages().Get(message).flags & MSGFLAG_HASATTACH, 0u);
}

TEST_F(StoreEngineTest, AFailingSaveStoresNothing) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t id = store->Messages().Create(inbox, false, Note(u"Before"));
  int64_t cn = store->Changes().CurrentChangeNumber();
  TMessageImage bad = Note(u"After");
  bad.recipients = {{1, {}}, {1, {}}};  // two rows with one PR_ROWID
  EXPECT_EQ(CodeOf([&] { store->Messages().Save(id, bad); }), MAPI_E_INVALID_PARAMETER);
  TMessageImage badValue = Note(u"After");
  badValue.props.push_back({PROP_TAG(PT_LONG, 0x6001), {1, 2}});  // a PT_LONG of two bytes
  EXPECT_EQ(CodeOf([&] { store->Messages().Save(id, badValue); }), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(CodeOf([&] { store->Messages().Create(inbox, false, badValue); }), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(TextOf(store->Messages().Load(id).props, tags::kSubjectW), u"Before");
  EXPECT_EQ(store->Changes().CurrentChangeNumber(), cn);
  EXPECT_EQ(store->Messages().Ids(inbox, false).size(), 1u);
}

TEST_F(StoreEngineTest, ConcurrentChangeIsDetected) {
  auto store = NewStore();
  int64_t id = store->Messages().Create(store->Folders().SpecialFolderId(TSpecialFolder::Inbox), false, Note(u"One"));
  int64_t seen = store->Messages().Get(id).change.changeNumber;
  store->Messages().Save(id, Note(u"Two"), seen);
  EXPECT_EQ(CodeOf([&] { store->Messages().Save(id, Note(u"Three"), seen); }), MAPI_E_OBJECT_CHANGED);
  store->Messages().Delete(id, false);
  EXPECT_EQ(CodeOf([&] { store->Messages().Save(id, Note(u"Four")); }), MAPI_E_OBJECT_DELETED);
  EXPECT_EQ(CodeOf([&] { store->Messages().Load(id); }), MAPI_E_NOT_FOUND);
}

TEST_F(StoreEngineTest, ChangeNumbersAndKeys) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t id = store->Messages().Create(inbox, false, Note(u"One"));
  TMessageRecord first = store->Messages().Get(id);
  ASSERT_EQ(first.change.sourceKey.size(), 22u);
  ASSERT_EQ(first.change.changeKey.size(), 22u);
  EXPECT_EQ(std::memcmp(first.change.sourceKey.data(), &store->StoreGuid(), 16), 0);
  EXPECT_EQ(first.change.predecessors.size(), 23u);
  EXPECT_EQ(first.change.predecessors[0], 22);
  store->Messages().Save(id, Note(u"Two"));
  TMessageRecord second = store->Messages().Get(id);
  EXPECT_EQ(second.change.sourceKey, first.change.sourceKey);
  EXPECT_GT(second.change.changeNumber, first.change.changeNumber);
  EXPECT_NE(second.change.changeKey, first.change.changeKey);
  // One GUID: the list keeps only the newest change.
  EXPECT_EQ(second.change.predecessors.size(), 23u);
  EXPECT_TRUE(std::equal(second.change.changeKey.begin(), second.change.changeKey.end(),
                         second.change.predecessors.begin() + 1));
  // The counter is the change number, big-endian, in the change key's last 6 bytes.
  EXPECT_EQ(second.change.changeKey[21], static_cast<uint8_t>(second.change.changeNumber));
  EXPECT_EQ(store->Changes().CurrentChangeNumber(), second.change.changeNumber);
}

TEST_F(StoreEngineTest, PredecessorListsKeepOneNewestEntryPerGuid) {
  GUID a{}, b{};
  a.Data1 = 1;
  b.Data1 = 2;
  Bytes list = MergePredecessors({}, MakeXid(a, 5));
  list = MergePredecessors(list, MakeXid(b, 7));
  list = MergePredecessors(list, MakeXid(a, 9));
  list = MergePredecessors(list, MakeXid(b, 3));  // older than what is there
  ASSERT_EQ(list.size(), 46u);
  EXPECT_EQ(Bytes(list.begin() + 1, list.begin() + 23), MakeXid(a, 9));
  EXPECT_EQ(Bytes(list.begin() + 24, list.end()), MakeXid(b, 7));
  Bytes damaged = {22, 1, 2};
  EXPECT_EQ(CodeOf([&] { MergePredecessors(damaged, MakeXid(a, 1)); }), MAPI_E_CORRUPT_DATA);
}

TEST_F(StoreEngineTest, EntryIdsAreParsedDefensively) {
  auto store = NewStore();
  Bytes id = store->EntryId(TObjectKind::Message, 42);
  TParsedEntryId parsed = store->ParseEntryId(id.data(), id.size());
  EXPECT_EQ(parsed.kind, TObjectKind::Message);
  EXPECT_EQ(parsed.id, 42);
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(nullptr, 30); }), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(id.data(), 3); }), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(id.data(), id.size() - 1); }), MAPI_E_INVALID_ENTRYID);
  Bytes kind = id;
  kind[20] = 9;
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(kind.data(), kind.size()); }), MAPI_E_INVALID_ENTRYID);
  Bytes flags = id;
  flags[0] = 1;
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(flags.data(), flags.size()); }), MAPI_E_INVALID_ENTRYID);
  Bytes negative = id;
  negative[29] = 0x80;
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(negative.data(), negative.size()); }), MAPI_E_INVALID_ENTRYID);
  Bytes other = id;
  other[4] ^= 0xFF;
  EXPECT_EQ(CodeOf([&] { store->ParseEntryId(other.data(), other.size()); }), MAPI_E_UNKNOWN_ENTRYID);
}

TEST_F(StoreEngineTest, CreateFolderCollidesCaseInsensitively) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t a = store->Folders().Create(inbox, u"Reports", FOLDER_GENERIC, {}, false);
  EXPECT_EQ(CodeOf([&] { store->Folders().Create(inbox, u"REPORTS", FOLDER_GENERIC, {}, false); }), MAPI_E_COLLISION);
  EXPECT_EQ(store->Folders().Create(inbox, u"reports", FOLDER_GENERIC, {}, true), a);
  EXPECT_EQ(CodeOf([&] { store->Folders().Create(inbox, u"", FOLDER_GENERIC, {}, false); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CodeOf([&] { store->Folders().Create(inbox, u"X", 7, {}, false); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CodeOf([&] { store->Folders().Create(999999, u"X", FOLDER_GENERIC, {}, false); }), MAPI_E_NOT_FOUND);
  int64_t b = store->Folders().Create(inbox, u"Other", FOLDER_GENERIC, {}, false);
  EXPECT_EQ(CodeOf([&] { store->Folders().ChangeProps(b, {Text(tags::kDisplayNameW, u"rePorts")}, {}); }),
            MAPI_E_COLLISION);
  store->Folders().ChangeProps(b, {Text(tags::kDisplayNameW, u"Renamed")}, {});
  EXPECT_EQ(store->Folders().Get(b).name, u"Renamed");
  EXPECT_EQ(TextOf(store->Folders().Props(b), tags::kDisplayNameW), u"Renamed");
}

TEST_F(StoreEngineTest, MoveFolderDetectsCyclesAndCollisions) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t a = store->Folders().Create(inbox, u"A", FOLDER_GENERIC, {}, false);
  int64_t b = store->Folders().Create(a, u"B", FOLDER_GENERIC, {}, false);
  EXPECT_EQ(CodeOf([&] { store->Folders().Move(a, b, std::nullopt); }), MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(CodeOf([&] { store->Folders().Move(a, a, std::nullopt); }), MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(CodeOf([&] { store->Folders().Copy(a, b, std::nullopt, true); }), MAPI_E_FOLDER_CYCLE);
  store->Folders().Create(inbox, u"b", FOLDER_GENERIC, {}, false);
  EXPECT_EQ(CodeOf([&] { store->Folders().Move(b, inbox, std::nullopt); }), MAPI_E_COLLISION);
  store->Folders().Move(b, inbox, u"B2");
  EXPECT_EQ(store->Folders().Get(b).parentId, inbox);
  EXPECT_EQ(store->Folders().Get(b).name, u"B2");
  EXPECT_EQ(TextOf(store->Folders().Props(b), tags::kDisplayNameW), u"B2");
  EXPECT_EQ(CodeOf([&] {
              store->Folders().Move(store->Folders().SpecialFolderId(TSpecialFolder::Root), inbox, std::nullopt);
            }),
            MAPI_E_NO_ACCESS);
}

TEST_F(StoreEngineTest, CopyFolderCopiesMessagesAndOptionallySubfolders) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t a = store->Folders().Create(inbox, u"A", FOLDER_GENERIC, {}, false);
  int64_t b = store->Folders().Create(a, u"B", FOLDER_GENERIC, {}, false);
  int64_t m = store->Messages().Create(a, false, Note(u"in A"));
  store->Messages().Create(b, true, Note(u"assoc in B"));
  store->Messages().ApplyReadFlags(m, 0);
  int64_t flat = store->Folders().Copy(a, inbox, u"Flat", false);
  EXPECT_EQ(store->Folders().Children(flat).size(), 0u);
  ASSERT_EQ(store->Messages().Ids(flat, false).size(), 1u);
  TMessageRecord copied = store->Messages().Get(store->Messages().Ids(flat, false)[0]);
  EXPECT_EQ(copied.searchKey, store->Messages().Get(m).searchKey);
  EXPECT_NE(copied.change.sourceKey, store->Messages().Get(m).change.sourceKey);
  EXPECT_NE(copied.flags & MSGFLAG_READ, 0u);
  int64_t deep = store->Folders().Copy(a, inbox, u"Deep", true);
  auto children = store->Folders().Children(deep);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(store->Messages().Ids(children[0].id, true).size(), 1u);
  EXPECT_EQ(CodeOf([&] { store->Folders().Copy(a, inbox, u"deep", true); }), MAPI_E_COLLISION);
}

TEST_F(StoreEngineTest, DeleteFolderNeedsItsFlags) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t a = store->Folders().Create(inbox, u"A", FOLDER_GENERIC, {}, false);
  int64_t b = store->Folders().Create(a, u"B", FOLDER_GENERIC, {}, false);
  store->Messages().Create(b, false, Note(u"deep"));
  EXPECT_EQ(CodeOf([&] { store->Folders().Delete(a, true, false); }), MAPI_E_HAS_FOLDERS);
  EXPECT_EQ(CodeOf([&] { store->Folders().Delete(a, false, true); }), MAPI_E_HAS_MESSAGES);
  EXPECT_EQ(CodeOf([&] { store->Folders().Delete(inbox, true, true); }), MAPI_E_NO_ACCESS);
  store->Folders().Delete(a, true, true);
  EXPECT_EQ(CodeOf([&] { store->Folders().Get(a); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { store->Folders().Get(b); }), MAPI_E_NOT_FOUND);
  int64_t empty = store->Folders().Create(inbox, u"Empty", FOLDER_GENERIC, {}, false);
  store->Folders().Delete(empty, false, false);
}

TEST_F(StoreEngineTest, EmptyFolderKeepsAssociatedMessagesUnlessAsked) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  store->Messages().Create(inbox, false, Note(u"n"));
  store->Messages().Create(inbox, true, Note(u"a"));
  store->Folders().Create(inbox, u"Sub", FOLDER_GENERIC, {}, false);
  store->Folders().Empty(inbox, false);
  TFolderCounts counts = store->Folders().Counts(inbox);
  EXPECT_EQ(counts.contents, 0u);
  EXPECT_EQ(counts.associated, 1u);
  EXPECT_EQ(counts.subfolders, 0u);
  store->Folders().Empty(inbox, true);
  EXPECT_EQ(store->Folders().Counts(inbox).associated, 0u);
  int64_t subtree = store->Folders().SpecialFolderId(TSpecialFolder::IpmSubtree);
  store->Folders().Create(subtree, u"Own", FOLDER_GENERIC, {}, false);
  store->Folders().Empty(subtree, true);
  EXPECT_EQ(store->Folders().Children(subtree).size(), 12u);
  EXPECT_EQ(CodeOf([&] {
              store->Folders().Move(inbox, store->Folders().SpecialFolderId(TSpecialFolder::Drafts), std::nullopt);
            }),
            MAPI_E_NO_ACCESS);
}

TEST_F(StoreEngineTest, CountsReadStateAndStatus) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t a = store->Messages().Create(inbox, false, Note(u"a"));
  TMessageImage readNote = Note(u"b");
  readNote.props.push_back(Long(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_HASATTACH));
  int64_t b = store->Messages().Create(inbox, false, readNote);
  EXPECT_EQ(store->Messages().Get(b).flags, MSGFLAG_READ);  // the store decides MSGFLAG_HASATTACH
  EXPECT_EQ(store->Folders().Counts(inbox).contents, 2u);
  EXPECT_EQ(store->Folders().Counts(inbox).unread, 1u);
  EXPECT_TRUE(store->Messages().ApplyReadFlags(a, 0).Changed());
  EXPECT_FALSE(store->Messages().ApplyReadFlags(a, 0).Changed());
  EXPECT_EQ(store->Folders().Counts(inbox).unread, 0u);
  EXPECT_EQ(store->Messages().SetStatus(a, 0x1000 | 0x2, 0x1000), 0u);
  EXPECT_EQ(store->Messages().Get(a).status, 0x1000u);
}

TEST_F(StoreEngineTest, ContentChangesSinceAState) {
  auto store = NewStore();
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t drafts = store->Folders().SpecialFolderId(TSpecialFolder::Drafts);
  int64_t kept = store->Messages().Create(inbox, false, Note(u"kept"));
  int64_t read = store->Messages().Create(inbox, false, Note(u"read"));
  int64_t gone = store->Messages().Create(inbox, false, Note(u"gone"));
  int64_t soft = store->Messages().Create(inbox, false, Note(u"soft"));
  int64_t moved = store->Messages().Create(inbox, false, Note(u"moved"));
  int64_t state = store->Changes().CurrentChangeNumber();
  EXPECT_TRUE(store->Changes().ContentChangesSince(inbox, state).changed.empty());
  int64_t created = store->Messages().Create(inbox, false, Note(u"new"));
  store->Messages().Save(kept, Note(u"kept, changed"));
  store->Messages().ApplyReadFlags(read, 0);
  Bytes goneKey = store->Messages().Get(gone).change.sourceKey;
  Bytes softKey = store->Messages().Get(soft).change.sourceKey;
  Bytes movedKey = store->Messages().Get(moved).change.sourceKey;
  store->Messages().Delete(gone, false);
  store->Messages().Delete(soft, true);
  store->Messages().Move(moved, drafts);

  TContentChanges changes = store->Changes().ContentChangesSince(inbox, state);
  std::vector<int64_t> changed;
  for (const auto& m : changes.changed) changed.push_back(m.id);
  EXPECT_EQ(changed, (std::vector<int64_t>{created, kept}));
  ASSERT_EQ(changes.readChanged.size(), 1u);
  EXPECT_EQ(changes.readChanged[0].id, read);
  ASSERT_EQ(changes.deleted.size(), 3u);
  EXPECT_EQ(changes.deleted[0].sourceKey, goneKey);
  EXPECT_FALSE(changes.deleted[0].soft);
  EXPECT_EQ(changes.deleted[1].sourceKey, softKey);
  EXPECT_TRUE(changes.deleted[1].soft);
  EXPECT_EQ(changes.deleted[2].sourceKey, movedKey);
  EXPECT_EQ(store->Changes().ContentChangesSince(drafts, state).changed.size(), 1u);
  EXPECT_EQ(store->Folders().Counts(inbox).contents, 3u);
  EXPECT_EQ(CodeOf([&] { store->Messages().Get(soft); }), MAPI_E_NOT_FOUND);
}

TEST_F(StoreEngineTest, HierarchyChangesSinceAState) {
  auto store = NewStore();
  int64_t subtree = store->Folders().SpecialFolderId(TSpecialFolder::IpmSubtree);
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t doomed = store->Folders().Create(inbox, u"Doomed", FOLDER_GENERIC, {}, false);
  Bytes doomedKey = store->Folders().Get(doomed).change.sourceKey;
  int64_t state = store->Changes().CurrentChangeNumber();
  int64_t fresh = store->Folders().Create(inbox, u"Fresh", FOLDER_GENERIC, {}, false);
  store->Folders().Delete(doomed, true, true);
  THierarchyChanges changes = store->Changes().HierarchyChangesSince(subtree, state);
  ASSERT_EQ(changes.changed.size(), 1u);
  EXPECT_EQ(changes.changed[0].id, fresh);
  ASSERT_EQ(changes.deleted.size(), 1u);
  EXPECT_EQ(changes.deleted[0].sourceKey, doomedKey);
}

TEST_F(StoreEngineTest, NamedPropertiesPersistAndAreSharedBetweenConnections) {
  auto store = NewStore();
  auto other = TStoreEngine::Open(StorePath());
  GUID set{};
  set.Data1 = 0x00062008;
  ULONG id = store->Names()->GetId(TPropName::FromId(set, 0x8503), true);
  EXPECT_EQ(id, kFirstNamedId);
  EXPECT_EQ(other->Names()->GetId(TPropName::FromId(set, 0x8503), false), id);
  ULONG named = other->Names()->GetId(TPropName::FromString(set, u"Keywords"), true);
  EXPECT_EQ(named, kFirstNamedId + 1);
  auto name = store->Names()->GetName(named);
  ASSERT_TRUE(name);
  EXPECT_EQ(name->name, u"Keywords");
  EXPECT_EQ(store->Names()->GetId(TPropName::FromString(set, u"Missing"), false), 0u);
  EXPECT_EQ(store->Names()->All().size(), 2u);
}

// A folder moved to another store is copied first, then deleted: a message that arrived
// or changed in between is not in the copy, so the original must stay.
TEST_F(StoreEngineTest, DeletingAnExportedFolderRefusesChangesMadeSince) {
  auto engine = NewStore();
  int64_t inbox = engine->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  int64_t folder = engine->Folders().Create(inbox, u"Projects", FOLDER_GENERIC, {}, false);
  int64_t below = engine->Folders().Create(folder, u"Old", FOLDER_GENERIC, {}, false);
  int64_t plan = engine->Messages().Create(below, false, Note(u"Plan"));
  TFolderImage image = engine->Folders().Export(folder, true);
  engine->Messages().Create(below, false, Note(u"Late"));
  EXPECT_EQ(CodeOf([&] { engine->Folders().Delete(folder, true, true, image.changeNumber); }), MAPI_E_OBJECT_CHANGED);
  EXPECT_EQ(engine->Messages().Ids(below, false).size(), 2u);
  // A read-state change counts too; an unchanged tree goes.
  image = engine->Folders().Export(folder, true);
  engine->Messages().ApplyReadFlags(plan, 0);
  EXPECT_EQ(CodeOf([&] { engine->Folders().Delete(folder, true, true, image.changeNumber); }), MAPI_E_OBJECT_CHANGED);
  image = engine->Folders().Export(folder, true);
  EXPECT_EQ(CodeOf([&] { engine->Folders().Delete(folder, true, true, image.changeNumber); }), S_OK);
  EXPECT_EQ(CodeOf([&] { engine->Folders().Get(folder); }), MAPI_E_NOT_FOUND);
}

}  // namespace
}  // namespace orba::store
