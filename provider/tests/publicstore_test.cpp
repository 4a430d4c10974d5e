// The organisation's public folders store: its row in the stores table of an "MSEMS"
// profile, its folder set and properties, receive-folder calls, folders and messages
// shared between two mailboxes' sessions, profiles made before it existed, and that it
// never becomes the default store.
#include <gtest/gtest.h>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

// One row of the stores table.
struct TStoreRow {
  Bytes entryId;
  std::u16string displayName;
  Bytes mdbProvider;
  ULONG resourceFlags = 0;
  bool isDefault = false;
};

class PublicStore : public TMapiTest {
 protected:
  // A profile with one "MSEMS" service for the mailbox on the server "mail1".
  void CreateMailboxProfile(const char* profile, const char* mailbox) {
    CreateStoreProfile(home_.Path(), "MSEMS", profile, mailbox);
  }
  static std::vector<TStoreRow> StoreRows(IMAPISession* session) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
    TRows rows = All(table.get(), {tags::kEntryId, tags::kDisplayNameW, tags::kMdbProvider, tags::kResourceFlags,
                                   tags::kDefaultStore});
    std::vector<TStoreRow> result;
    for (ULONG i = 0; i < rows.size(); ++i)
      result.push_back(
          {BytesOf(rows[i][0]), TextOf(rows[i][1]), BytesOf(rows[i][2]), rows[i][3].Value.ul, rows[i][4].Value.b != 0});
    return result;
  }
  // The public folders store of the session, opened for writing.
  static ComPtr<IMsgStore> OpenPublic(IMAPISession* session) {
    for (TStoreRow& row : StoreRows(session))
      if (SameUid(row.mdbProvider, kExchangePublicMdbProvider)) return OpenStore(session, row.entryId);
    ADD_FAILURE() << "no public folders row";
    return nullptr;
  }
  static ComPtr<IMAPIFolder> AllPublicFolders(IMsgStore* store) {
    return OpenFolder(store, Binary(store, tags::kIpmPublicFoldersEntryId));
  }
  bool PublicFileExists() const { return std::filesystem::exists(home_.Path() / "server" / "public.db"); }
  // Logs on to the profile "Work" of alice's mailbox and opens its public folders.
  void OpenWorkPublic() {
    CreateMailboxProfile("Work", "alice");
    session_ = Logon();
    store_ = OpenPublic(session_.get());
    ASSERT_TRUE(store_);
  }
  void TearDown() override {
    store_ = nullptr;
    session_ = nullptr;
    TMapiTest::TearDown();
  }
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
};

// --- the stores table ---------------------------------------------------------------

TEST_F(PublicStore, MailboxProfileListsThePublicFoldersAfterTheMailbox) {
  CreateMailboxProfile("Work", "alice");
  auto rows = StoreRows(Logon().get());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(SameUid(rows[0].mdbProvider, kExchangeMdbProvider));
  EXPECT_TRUE(rows[0].isDefault);
  EXPECT_TRUE(SameUid(rows[1].mdbProvider, kExchangePublicMdbProvider));
  EXPECT_EQ(rows[1].displayName, u"Public Folders");
  EXPECT_EQ(rows[1].resourceFlags, STATUS_NO_DEFAULT_STORE);
  EXPECT_FALSE(rows[1].isDefault);
  // Listing the stores opens nothing.
  EXPECT_FALSE(PublicFileExists());
}

TEST_F(PublicStore, PersonalFileProfileHasNoPublicFolders) {
  CreateStoreProfile(home_.Path(), "MSPST MS");
  auto rows = StoreRows(Logon().get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(SameUid(rows[0].mdbProvider, kPstMdbProvider));
}

TEST_F(PublicStore, NeverBecomesTheDefaultStore) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon();
  Bytes publicId = StoreRows(session.get())[1].entryId;
  EXPECT_EQ(session->SetDefaultStore(MAPI_DEFAULT_STORE, Cb(publicId), Id(publicId)), MAPI_E_NO_ACCESS);
  auto rows = StoreRows(session.get());
  EXPECT_TRUE(rows[0].isDefault);
  // Without the mailbox store no default store is left: the public folders do not take over.
  auto services = ServicesOf("Work");
  MAPIUID service = ServiceUids(services.get()).at(0);
  ComPtr<IProviderAdmin> providers;
  ASSERT_EQ(services->AdminProviders(&service, 0, providers.Out()), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(providers->GetProviderTable(0, table.Out()), S_OK);
  MAPIUID mailboxStore = Uids(table.get(), tags::kProviderUid).at(0);
  ASSERT_EQ(providers->DeleteProvider(&mailboxStore), S_OK);
  rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].isDefault);
  EXPECT_EQ(rows[0].resourceFlags, STATUS_NO_DEFAULT_STORE);
}

// --- the store, its folders and properties ----------------------------------------------

TEST_F(PublicStore, OpensWithItsEntryIdAndAnswersItsProperties) {
  OpenWorkPublic();
  Bytes entryId = StoreRows(session_.get())[1].entryId;
  EXPECT_TRUE(PublicFileExists());
  EXPECT_EQ(EntryIdOf(store_.get()), entryId);
  EXPECT_TRUE(SameUid(Binary(store_.get(), tags::kMdbProvider), kExchangePublicMdbProvider));
  ULONG mask = Long(store_.get(), tags::kStoreSupportMask);
  EXPECT_TRUE(mask & STORE_PUBLIC_FOLDERS);
  EXPECT_FALSE(mask & STORE_SUBMIT_OK);  // nothing is sent from public folders
  for (ULONG tag : {tags::kIpmSubtreeEntryId, tags::kIpmOutboxEntryId, tags::kIpmWastebasketEntryId,
                    tags::kIpmSentMailEntryId, tags::kFinderEntryId, tags::kCommonViewsEntryId, tags::kViewsEntryId})
    EXPECT_EQ(PropCode(store_.get(), tag), MAPI_E_NOT_FOUND) << std::hex << tag;
  // The session's OpenEntry of the store entry ID answers the same store.
  TOpened again = Open(session_.get(), entryId);
  ASSERT_EQ(again.hr, S_OK);
  EXPECT_EQ(Binary(ComPtr<IMsgStore>(again.object).get(), tags::kRecordKey), Binary(store_.get(), tags::kRecordKey));
}

TEST_F(PublicStore, HasThePublicFolderSetAndNoMailboxFolders) {
  OpenWorkPublic();
  auto root = OpenFolder(store_.get(), {});
  EXPECT_EQ(Subfolders(root.get()), (Names{u"All Public Folders", u"NON_IPM_SUBTREE"}));
  auto ipm = AllPublicFolders(store_.get());
  EXPECT_TRUE(Subfolders(ipm.get()).empty());  // no Inbox, Outbox, Calendar...
  auto nonIpm = OpenFolder(store_.get(), Binary(store_.get(), tags::kNonIpmSubtreeEntryId));
  EXPECT_EQ(Subfolders(nonIpm.get()), Names{u"EFORMS REGISTRY"});
  auto forms = OpenFolder(store_.get(), Binary(store_.get(), tags::kEformsRegistryEntryId));
  // The set cannot be deleted.
  Bytes ipmId = EntryIdOf(ipm.get());
  EXPECT_EQ(root->DeleteFolder(Cb(ipmId), Id(ipmId), 0, nullptr, DEL_FOLDERS | DEL_MESSAGES), MAPI_E_NO_ACCESS);
}

TEST_F(PublicStore, ReceiveFolderCallsAreNotSupported) {
  OpenWorkPublic();
  ULONG cb = 0;
  LPENTRYID id = nullptr;
  EXPECT_EQ(store_->GetReceiveFolder(nullptr, 0, &cb, &id, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(store_->GetReceiveFolder(A("IPM.Note"), 0, &cb, &id, nullptr), MAPI_E_NO_SUPPORT);
  Bytes ipmId = Binary(store_.get(), tags::kIpmPublicFoldersEntryId);
  EXPECT_EQ(store_->SetReceiveFolder(A("IPM.Post"), 0, Cb(ipmId), Id(ipmId)), MAPI_E_NO_SUPPORT);
  ComPtr<IMAPITable> table;
  EXPECT_EQ(store_->GetReceiveFolderTable(0, table.Out()), MAPI_E_NO_SUPPORT);
  // The mailbox of the same session still has its receive folders.
  EXPECT_FALSE(InboxId(OpenStore(session_.get(), StoreIds(session_.get()).at(0)).get()).empty());
}

// --- sharing between mailboxes ----------------------------------------------------------

TEST_F(PublicStore, TwoMailboxesShareOneStore) {
  CreateMailboxProfile("Alice", "alice");
  CreateMailboxProfile("Bob", "bob");
  auto alice = Logon("Alice");
  auto bob = Logon("Bob");
  auto aliceStore = OpenPublic(alice.get());
  auto bobStore = OpenPublic(bob.get());
  ASSERT_TRUE(aliceStore && bobStore);
  EXPECT_EQ(StoreRows(alice.get())[1].entryId, StoreRows(bob.get())[1].entryId);
  // Bob watches the store and its top folder's hierarchy while Alice works.
  auto sink = Listen(bobStore.get(), fnevObjectCreated);
  auto bobTop = AllPublicFolders(bobStore.get());
  auto hierarchy = HierarchyOf(bobTop.get());
  auto projects = NewFolder(AllPublicFolders(aliceStore.get()).get(), u"Projects");
  SaveMessage(projects.get(), u"Kick-off on Monday");
  Bytes projectsId = EntryIdOf(projects.get());
  EXPECT_EQ(RowCount(hierarchy.get()), 1u);
  ASSERT_EQ(sink->events.size(), 2u);  // the folder, then the message
  EXPECT_EQ(sink->events[1].parentId, projectsId);
  // Bob reaches the folder through his own session and store.
  EXPECT_EQ(Subfolders(bobTop.get()), Names{u"Projects"});
  auto seen = OpenFolder(bob.get(), projectsId, MAPI_BEST_ACCESS);
  EXPECT_EQ(Subjects(seen.get()), Names{u"Kick-off on Monday"});
  // Entry IDs of the public store compare through either session; the mailboxes differ.
  ULONG same = 0;
  Bytes bobProjects = EntryIdOf(seen.get());
  ASSERT_EQ(alice->CompareEntryIDs(Cb(projectsId), Id(projectsId), Cb(bobProjects), Id(bobProjects), 0, &same), S_OK);
  EXPECT_EQ(same, 1u);
}

TEST_F(PublicStore, MailboxServiceMadeWithoutPublicFoldersGetsThemWhenConfiguredAgain) {
  CreateMailboxProfile("Work", "alice");
  // A profile as made before the public folders existed: the service has no such provider.
  auto services = ServicesOf("Work");
  MAPIUID service = ServiceUids(services.get()).at(0);
  TProfileDatabase db(home_.File("profiles.db"));
  for (const TProviderInfo& provider : db.Providers("Work", &service)) {
    TStoredProps section = db.ReadSection("Work", provider.uid);
    const TStoredProp* mdb = FindStored(section, PROP_ID(tags::kMdbProvider));
    if (mdb && SameUid(mdb->value, kExchangePublicMdbProvider)) db.DeleteProvider("Work", provider.uid);
  }
  EXPECT_EQ(StoreRows(Logon().get()).size(), 1u);
  // Configuring only the server again is enough: the mailbox comes from the service.
  SPropValue server{tags::kProfileUnresolvedServerA, 0, {}};
  server.Value.lpszA = A("mail2");
  ASSERT_EQ(services->ConfigureMsgService(&service, 0, 0, 1, &server), S_OK);
  ASSERT_EQ(services->ConfigureMsgService(&service, 0, 0, 1, &server), S_OK);  // added once only
  auto session = Logon();
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 2u);
  auto store = OpenPublic(session.get());
}

TEST_F(PublicStore, UnconfiguredServiceCannotOpenThePublicFolders) {
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ASSERT_EQ(admin->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
  ASSERT_EQ(ServicesOf("Work")->CreateMsgService(A("MSEMS"), A("Mail"), 0, 0), S_OK);
  auto session = Logon();
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 2u);
  ComPtr<IMsgStore> store;
  EXPECT_EQ(session->OpenMsgStore(0, Cb(rows[1].entryId), Id(rows[1].entryId), nullptr, MDB_NO_DIALOG, store.Out()),
            MAPI_E_LOGON_FAILED);
  EXPECT_FALSE(PublicFileExists());
}

}  // namespace
}  // namespace orba::store
