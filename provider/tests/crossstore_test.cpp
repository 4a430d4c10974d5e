// Copies and moves between two stores of one session (a personal store file and a
// mailbox): contents, read state, named properties carried by name, the destination's
// own identity, moves, notifications in both stores, read-only destinations and
// failures that leave the originals.
#include <gtest/gtest.h>

#include "storage/sqlite/sqlite.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

const GUID kNamesA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

// A folder of some other provider: it answers nothing, and is only ever a destination.
class TOtherProvidersFolder final : public TVoComObject<TVoRefCounted, IMAPIFolder> {
 public:
#define ORBA_NOT_HERE(name, ...) \
  STDMETHOD(name)(__VA_ARGS__) override { return MAPI_E_NO_SUPPORT; }
  ORBA_NOT_HERE(GetLastError, HRESULT, ULONG, LPMAPIERROR*)
  ORBA_NOT_HERE(SaveChanges, ULONG)
  ORBA_NOT_HERE(GetProps, LPSPropTagArray, ULONG, ULONG*, LPSPropValue*)
  ORBA_NOT_HERE(GetPropList, ULONG, LPSPropTagArray*)
  ORBA_NOT_HERE(OpenProperty, ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*)
  ORBA_NOT_HERE(SetProps, ULONG, LPSPropValue, LPSPropProblemArray*)
  ORBA_NOT_HERE(DeleteProps, LPSPropTagArray, LPSPropProblemArray*)
  ORBA_NOT_HERE(CopyTo, ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                LPSPropProblemArray*)
  ORBA_NOT_HERE(CopyProps, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG, LPSPropProblemArray*)
  ORBA_NOT_HERE(GetNamesFromIDs, LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**)
  ORBA_NOT_HERE(GetIDsFromNames, ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*)
  ORBA_NOT_HERE(GetContentsTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(GetHierarchyTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(OpenEntry, ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN*)
  ORBA_NOT_HERE(SetSearchCriteria, LPSRestriction, LPENTRYLIST, ULONG)
  ORBA_NOT_HERE(GetSearchCriteria, ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*)
  ORBA_NOT_HERE(CreateMessage, LPCIID, ULONG, LPMESSAGE*)
  ORBA_NOT_HERE(CopyMessages, LPENTRYLIST, LPCIID, LPVOID, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(DeleteMessages, LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(CreateFolder, ULONG, LPTSTR, LPTSTR, LPCIID, ULONG, LPMAPIFOLDER*)
  ORBA_NOT_HERE(CopyFolder, ULONG, LPENTRYID, LPCIID, LPVOID, LPTSTR, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(DeleteFolder, ULONG, LPENTRYID, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(SetReadFlags, LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(GetMessageStatus, ULONG, LPENTRYID, ULONG, ULONG*)
  ORBA_NOT_HERE(SetMessageStatus, ULONG, LPENTRYID, ULONG, ULONG, ULONG*)
  ORBA_NOT_HERE(SaveContentsSort, LPSSortOrderSet, ULONG)
  ORBA_NOT_HERE(EmptyFolder, ULONG_PTR, LPMAPIPROGRESS, ULONG)
#undef ORBA_NOT_HERE
};

class CrossStore : public TStoreSessionTest {
 protected:
  void SetUp() override {
    TMapiTest::SetUp();
    CreateStoreProfile(home_.Path(), "MSPST MS");
    AddStoreService(home_.Path(), "MSEMS");
    session_ = testing::Logon();
    // The personal file, the mailbox, and the organisation's public folders.
    std::vector<Bytes> ids = StoreIds(session_.get());
    ASSERT_EQ(ids.size(), 3u);
    store_ = OpenStore(session_.get(), ids[0]);
    mailbox_ = OpenStore(session_.get(), ids[1]);
    inboxId_ = InboxId(store_.get());
    inbox_ = OpenFolder(store_.get(), inboxId_);
    mailInbox_ = OpenFolder(mailbox_.get(), InboxId(mailbox_.get()));
    ASSERT_TRUE(inbox_ && mailInbox_);
  }
  void TearDown() override {
    mailInbox_ = nullptr;
    mailbox_ = nullptr;
    TStoreSessionTest::TearDown();
  }

  // A saved message: a subject, a body, a recipient, an embedded message with its own
  // subject, and (named != 0) the named property (kNamesA, named) set to 42 (7 in the
  // embedded message).
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, LONG named = 0) {
    auto message = NewMessage(folder, {TextValue(tags::kSubjectW, subject),
                                       LongValue(tags::kImportance, IMPORTANCE_HIGH), TextValue(kBodyW, u"Hello")});
    if (named) {
      EXPECT_EQ(Set(message.get(), {LongValue(NamedTag(message.get(), kNamesA, named, PT_LONG), 42)}), S_OK);
    }
    EXPECT_EQ(ModifyRecipients(message.get(), {{MAPI_TO, u"Ann"}}), S_OK);
    auto attach = NewAttach(message.get(), {LongValue(tags::kAttachMethod, ATTACH_EMBEDDED_MSG)});
    auto inner = NewEmbedded(attach.get());
    EXPECT_EQ(Set(inner.get(), {TextValue(tags::kSubjectW, u"inner")}), S_OK);
    if (named) {
      EXPECT_EQ(Set(inner.get(), {LongValue(NamedTag(inner.get(), kNamesA, named, PT_LONG), 7)}), S_OK);
    }
    EXPECT_EQ(inner->SaveChanges(0), S_OK);
    EXPECT_EQ(attach->SaveChanges(0), S_OK);
    return Save(message.get());
  }
  ComPtr<TObjectSink> Listen(IMsgStore* store) {
    return testing::Listen(store, fnevObjectCreated | fnevObjectDeleted | fnevObjectCopied | fnevObjectMoved);
  }
  // Makes the stored bodies of the personal store's messages undecodable (too large for
  // the tables to read them).
  void CorruptBodies() {
    TSqlDatabase db(home_.File("files/mail.pst"));
    db.Execute("PRAGMA busy_timeout=5000");
    db.Execute("UPDATE message_props SET value=randomblob(2001) WHERE prop_id=0x1000");
  }

  ComPtr<IMsgStore> mailbox_;
  ComPtr<IMAPIFolder> mailInbox_;
};

// --- messages ---

TEST_F(CrossStore, CopyCarriesContentsAndReadStateWithTheDestinationsIdentity) {
  Bytes original = SaveMessage(inbox_.get(), u"Report");
  ASSERT_EQ(inbox_->SetReadFlags(nullptr, 0, nullptr, 0), S_OK);
  ASSERT_EQ(CopyMessages(inbox_.get(), {original}, mailInbox_.get()), S_OK);
  EXPECT_EQ(Subjects(mailInbox_.get()), Names{u"Report"});
  Bytes copyId = MessageIds(mailInbox_.get()).at(0);
  auto copy = OpenMessage(mailbox_.get(), copyId);
  auto source = OpenMessage(store_.get(), original);
  ASSERT_TRUE(copy && source);
  EXPECT_EQ(Long(copy.get(), tags::kImportance), ULONG(IMPORTANCE_HIGH));
  EXPECT_TRUE(Long(copy.get(), tags::kMessageFlags) & MSGFLAG_READ);
  // The destination's identity; the search key stays.
  EXPECT_EQ(Binary(copy.get(), tags::kStoreEntryId), Binary(mailInbox_.get(), tags::kStoreEntryId));
  Bytes storeGuid = Binary(mailbox_.get(), tags::kRecordKey);
  for (ULONG tag : {tags::kSourceKey, tags::kChangeKey}) {
    Bytes key = Binary(copy.get(), tag);
    ASSERT_EQ(key.size(), 22u);
    EXPECT_TRUE(std::equal(storeGuid.begin(), storeGuid.end(), key.begin()));
  }
  EXPECT_EQ(Binary(copy.get(), tags::kSearchKey), Binary(source.get(), tags::kSearchKey));
  // Recipients and the embedded message came along.
  EXPECT_EQ(RecipientNames(copy.get()), Names{u"Ann"});
  EXPECT_EQ(Text(OpenEmbedded(copy.get(), 0).get(), tags::kSubjectW), u"inner");
}

TEST_F(CrossStore, NamedPropertiesAreCarriedByName) {
  // The mailbox hands out its first named id for another name first, so the same id
  // means different names in the two stores.
  ULONG taken = NamedTag(NewMessage(mailInbox_.get()).get(), kNamesA, 1, PT_LONG);
  Bytes original = SaveMessage(inbox_.get(), u"Named", 2);
  ASSERT_EQ(PROP_ID(taken), PROP_ID(NamedTag(OpenMessage(store_.get(), original).get(), kNamesA, 2, PT_LONG)));
  ASSERT_EQ(CopyMessages(inbox_.get(), {original}, mailInbox_.get()), S_OK);
  auto copy = OpenMessage(mailbox_.get(), MessageIds(mailInbox_.get()).at(0));
  ULONG destTag = NamedTag(copy.get(), kNamesA, 2, PT_LONG);
  EXPECT_NE(PROP_ID(destTag), PROP_ID(taken));
  EXPECT_EQ(Long(copy.get(), destTag), 42u);
  // The other name's id of the destination holds nothing.
  EXPECT_EQ(Long(OpenEmbedded(copy.get(), 0).get(), destTag), 7u);
}

TEST_F(CrossStore, MoveDeletesTheOriginalsAndNotifiesBothStores) {
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One"), SaveMessage(inbox_.get(), u"Two")};
  auto sourceSink = Listen(store_.get());
  auto destSink = Listen(mailbox_.get());
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, mailInbox_.get(), MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Subjects(mailInbox_.get()), (Names{u"One", u"Two"}));
  Bytes mailInboxId = EntryIdOf(mailInbox_.get());
  ASSERT_EQ(destSink->events.size(), 2u);
  for (const auto& event : destSink->events) {
    EXPECT_EQ(event.type, ULONG(fnevObjectCreated));
    EXPECT_EQ(event.parentId, mailInboxId);
  }
  EXPECT_EQ(sourceSink->Types(), (std::vector<ULONG>{fnevObjectDeleted, fnevObjectDeleted}));
  EXPECT_EQ(sourceSink->events[0].entryId, ids[0]);
}

TEST_F(CrossStore, ReadOnlyAndOtherProvidersDestinationsAreNotWritten) {
  Bytes kept = SaveMessage(inbox_.get(), u"Kept");
  Bytes folderId = EntryIdOf(Child(inbox_.get(), u"Sub").get());
  auto readOnly = OpenFolder(mailbox_.get(), InboxId(mailbox_.get()), 0);
  EXPECT_EQ(CopyMessages(inbox_.get(), {kept}, readOnly.get(), MESSAGE_MOVE), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CopyFolder(inbox_.get(), folderId, readOnly.get()), MAPI_E_NO_ACCESS);
  auto object = MakeComObject<TOtherProvidersFolder>();
  IMAPIFolder* other = object.get();  // a destination is passed as its interface pointer
  EXPECT_EQ(CopyMessages(inbox_.get(), {kept}, other, MESSAGE_MOVE), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(CopyFolder(inbox_.get(), folderId, other, nullptr, FOLDER_MOVE), MAPI_E_NO_SUPPORT);
  EXPECT_TRUE(Subjects(mailInbox_.get()).empty());
}

TEST_F(CrossStore, AMessageThatCannotBeCopiedStaysAndTheOthersMove) {
  Bytes bad = SaveMessage(inbox_.get(), u"Bad");
  Bytes good = testing::SaveMessage(inbox_.get(), u"Good");
  CorruptBodies();
  EXPECT_EQ(CopyMessages(inbox_.get(), {bad, good}, mailInbox_.get(), MESSAGE_MOVE), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Bad"});
  EXPECT_EQ(Subjects(mailInbox_.get()), Names{u"Good"});
}

// --- folders ---

TEST_F(CrossStore, FolderMoveTakesTheTreeAndNotifiesBothStores) {
  auto projects = Child(inbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  Child(projects.get(), u"Alpha");
  Bytes id = EntryIdOf(projects.get());
  auto sourceSink = Listen(store_.get());
  auto destSink = Listen(mailbox_.get());
  ASSERT_EQ(CopyFolder(inbox_.get(), id, mailInbox_.get(), nullptr, FOLDER_MOVE), S_OK);
  EXPECT_TRUE(Subfolders(inbox_.get()).empty());
  auto moved = Child(mailInbox_.get(), u"Projects");
  EXPECT_EQ(Subjects(moved.get()), Names{u"Plan"});
  ASSERT_EQ(destSink->Types(), std::vector<ULONG>{fnevObjectCreated});
  ASSERT_EQ(sourceSink->Types(), std::vector<ULONG>{fnevObjectDeleted});
  EXPECT_EQ(sourceSink->events[0].entryId, id);
}

TEST_F(CrossStore, FolderMoveThatFailsLeavesTheOriginalAndNoCopy) {
  auto projects = Child(inbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  CorruptBodies();
  EXPECT_EQ(CopyFolder(inbox_.get(), EntryIdOf(projects.get()), mailInbox_.get(), nullptr, FOLDER_MOVE),
            MAPI_E_CORRUPT_DATA);
  EXPECT_TRUE(Subfolders(mailInbox_.get()).empty());
  EXPECT_EQ(Subfolders(inbox_.get()), Names{u"Projects"});
  EXPECT_EQ(MessageIds(projects.get()).size(), 1u);
}

TEST_F(CrossStore, FolderCopyOntoAnExistingNameCollidesAndStandardFoldersStay) {
  Bytes id = EntryIdOf(Child(inbox_.get(), u"Projects").get());
  Child(mailInbox_.get(), u"projects");
  EXPECT_EQ(CopyFolder(inbox_.get(), id, mailInbox_.get(), nullptr, FOLDER_MOVE), MAPI_E_COLLISION);
  EXPECT_EQ(Subfolders(inbox_.get()), Names{u"Projects"});
  // The Inbox is a folder of the standard set: it can be copied, not moved.
  auto root = OpenFolder(store_.get(), Binary(inbox_.get(), tags::kParentEntryId));
  EXPECT_EQ(CopyFolder(root.get(), inboxId_, mailInbox_.get(), u"Old inbox", FOLDER_MOVE), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CopyFolder(root.get(), inboxId_, mailInbox_.get(), u"Old inbox"), S_OK);
  EXPECT_EQ(Subfolders(mailInbox_.get()), (Names{u"Old inbox", u"projects"}));
}

}  // namespace
}  // namespace orba::store
