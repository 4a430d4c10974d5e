// The organisation's public folders store: its row in the stores table of an "MSEMS"
// profile, its folder set and properties, receive-folder calls, folders and messages
// shared between two mailboxes' sessions, persistence, profiles made before it existed,
// and that it never becomes the default store.
#include <gtest/gtest.h>

#include "mapiobjects/storeproviders.h"
#include "profiles/services.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/storeengine.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

bool SameUid(const Bytes& bytes, const MAPIUID& uid) {
  return bytes.size() == sizeof(uid.ab) && std::memcmp(bytes.data(), uid.ab, sizeof(uid.ab)) == 0;
}

// One row of the stores table.
struct StoreRow {
  Bytes entryId;
  std::u16string displayName;
  std::u16string providerDisplay;
  Bytes mdbProvider;
  ULONG resourceFlags = 0;
  bool isDefault = false;
};

class PublicStore : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_.Out()), S_OK);
  }
  void TearDown() override {
    admin_ = nullptr;
    MAPIUninitialize();
  }

  ComPtr<IMsgServiceAdmin> Services(const char* profile) {
    ComPtr<IMsgServiceAdmin> services;
    EXPECT_EQ(admin_->AdminServices(A(profile), nullptr, 0, 0, services.Out()), S_OK);
    return services;
  }
  // The UID of the profile's first service.
  MAPIUID ServiceUid(IMsgServiceAdmin* services) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kServiceUid}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    MAPIUID uid{};
    if (rows && rows->cRows) std::memcpy(uid.ab, rows->aRow[0].lpProps[0].Value.bin.lpb, 16);
    FreeProws(rows);
    return uid;
  }
  // A profile with one "MSEMS" service for the mailbox on the server "mail1".
  void CreateMailboxProfile(const char* profile, const char* mailbox) {
    ASSERT_EQ(admin_->CreateProfile(A(profile), nullptr, 0, 0), S_OK);
    auto services = Services(profile);
    ASSERT_EQ(services->CreateMsgService(A("MSEMS"), A("Mail"), 0, 0), S_OK);
    MAPIUID uid = ServiceUid(services.get());
    SPropValue values[2]{};
    values[0].ulPropTag = tags::kProfileUnresolvedNameA;
    values[0].Value.lpszA = const_cast<char*>(mailbox);
    values[1].ulPropTag = tags::kProfileUnresolvedServerA;
    values[1].Value.lpszA = A("mail1");
    ASSERT_EQ(services->ConfigureMsgService(&uid, 0, 0, 2, values), S_OK);
  }
  ComPtr<IMAPISession> Logon(const char* profile) {
    ComPtr<IMAPISession> session;
    EXPECT_EQ(MAPILogonEx(0, A(profile), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session.Out()), S_OK);
    return session;
  }
  std::vector<StoreRow> StoreRows(IMAPISession* session) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
    SizedSPropTagArray<6> columns{6,
                                  {tags::kEntryId, tags::kDisplayNameW, tags::kProviderDisplayW, tags::kMdbProvider,
                                   tags::kResourceFlags, tags::kDefaultStore}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    std::vector<StoreRow> result;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SPropValue* v = rows->aRow[i].lpProps;
      StoreRow row;
      row.entryId.assign(v[0].Value.bin.lpb, v[0].Value.bin.lpb + v[0].Value.bin.cb);
      row.displayName = reinterpret_cast<const char16_t*>(v[1].Value.lpszW);
      row.providerDisplay = reinterpret_cast<const char16_t*>(v[2].Value.lpszW);
      row.mdbProvider.assign(v[3].Value.bin.lpb, v[3].Value.bin.lpb + v[3].Value.bin.cb);
      row.resourceFlags = v[4].Value.ul;
      row.isDefault = v[5].Value.b != 0;
      result.push_back(std::move(row));
    }
    FreeProws(rows);
    return result;
  }
  // The public folders store of the session, opened for writing.
  ComPtr<IMsgStore> OpenPublic(IMAPISession* session) {
    for (StoreRow& row : StoreRows(session)) {
      if (!SameUid(row.mdbProvider, kExchangePublicMdbProvider)) continue;
      ComPtr<IMsgStore> store;
      EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(row.entryId.size()),
                                      reinterpret_cast<LPENTRYID>(row.entryId.data()), nullptr,
                                      MDB_WRITE | MDB_NO_DIALOG, store.Out()),
                S_OK);
      return store;
    }
    ADD_FAILURE() << "no public folders row";
    return nullptr;
  }
  ComPtr<IMAPIFolder> AllPublicFolders(IMsgStore* store) {
    return OpenFolder(store, Binary(store, tags::kIpmPublicFoldersEntryId));
  }
  // The display names of a folder's subfolders, in the hierarchy table's order.
  std::vector<std::u16string> Subfolders(IMAPIFolder* folder) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder->GetHierarchyTable(MAPI_UNICODE, table.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kDisplayNameW}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(50, 0, &rows), S_OK);
    std::vector<std::u16string> names;
    for (ULONG i = 0; rows && i < rows->cRows; ++i)
      names.push_back(reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[0].Value.lpszW));
    FreeProws(rows);
    return names;
  }
  ComPtr<IMAPIFolder> CreateFolder(IMAPIFolder* parent, const char16_t* name) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(parent->CreateFolder(FOLDER_GENERIC, W(name), nullptr, nullptr, MAPI_UNICODE, folder.Out()), S_OK);
    return folder;
  }
  void Post(IMAPIFolder* folder, const char16_t* subject) {
    ComPtr<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
    SPropValue value{};
    value.ulPropTag = tags::kSubjectW;
    value.Value.lpszW = Wide(subject);
    ASSERT_EQ(message->SetProps(1, &value, nullptr), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
  }
  // The error a property reads as (S_OK when it has a value).
  HRESULT PropError(IMAPIProp* object, ULONG tag) {
    SizedSPropTagArray<1> wanted{1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = object->GetProps(wanted.Ptr(), 0, &count, &values);
    HRESULT result =
        hr == MAPI_W_ERRORS_RETURNED && PROP_TYPE(values[0].ulPropTag) == PT_ERROR ? values[0].Value.err : hr;
    MAPIFreeBuffer(values);
    return result;
  }

  TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
};

// --- the stores table ---------------------------------------------------------------

TEST_F(PublicStore, MailboxProfileListsThePublicFoldersAfterTheMailbox) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(SameUid(rows[0].mdbProvider, kExchangeMdbProvider));
  EXPECT_TRUE(rows[0].isDefault);
  EXPECT_EQ(rows[0].resourceFlags, STATUS_DEFAULT_STORE);

  EXPECT_TRUE(SameUid(rows[1].mdbProvider, kExchangePublicMdbProvider));
  EXPECT_EQ(rows[1].displayName, u"Public Folders");
  EXPECT_EQ(rows[1].providerDisplay, kPublicFoldersProvider);
  EXPECT_EQ(rows[1].resourceFlags, STATUS_NO_DEFAULT_STORE);
  EXPECT_FALSE(rows[1].isDefault);
  EXPECT_NE(rows[0].entryId, rows[1].entryId);
  // Listing the stores opens nothing.
  EXPECT_FALSE(std::filesystem::exists(home_.Path() / "server" / "public.db"));
}

TEST_F(PublicStore, PersonalFileProfileHasNoPublicFolders) {
  CreateStoreProfile(home_.Path(), "MSPST MS");
  auto session = Logon("Work");
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(SameUid(rows[0].mdbProvider, kPstMdbProvider));
}

TEST_F(PublicStore, NeverBecomesTheDefaultStore) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  Bytes publicId = StoreRows(session.get())[1].entryId;
  EXPECT_EQ(session->SetDefaultStore(MAPI_DEFAULT_STORE, static_cast<ULONG>(publicId.size()),
                                     reinterpret_cast<LPENTRYID>(publicId.data())),
            MAPI_E_NO_ACCESS);
  auto rows = StoreRows(session.get());
  EXPECT_TRUE(rows[0].isDefault);
  EXPECT_FALSE(rows[1].isDefault);

  // Without the mailbox store no default store is left: the public folders do not take over.
  auto services = Services("Work");
  MAPIUID service = ServiceUid(services.get());
  ComPtr<IProviderAdmin> providers;
  ASSERT_EQ(services->AdminProviders(&service, 0, providers.Out()), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(providers->GetProviderTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kProviderUid}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet provider = nullptr;
  ASSERT_EQ(table->QueryRows(1, 0, &provider), S_OK);
  MAPIUID mailboxStore;
  std::memcpy(mailboxStore.ab, provider->aRow[0].lpProps[0].Value.bin.lpb, 16);
  FreeProws(provider);
  ASSERT_EQ(providers->DeleteProvider(&mailboxStore), S_OK);
  rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].isDefault);
  EXPECT_EQ(rows[0].resourceFlags, STATUS_NO_DEFAULT_STORE);
}

TEST_F(PublicStore, ProfileDatabaseSkipsStoresThatCannotBeTheDefault) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("P");
  TServicePlan plan = PlanService(kServiceExchange, u"");
  // Only the public folders come first: the mailbox still becomes the default.
  std::swap(plan.providers[0], plan.providers[3]);
  db.AddService("P", plan);
  auto flags = [&](const MAPIUID& provider) {
    for (const TStoredProp& prop : db.ReadSection("P", provider))
      if (prop.tag == tags::kResourceFlags) return DecodeStored({prop})->Value.ul;
    return ULONG{0xFFFFFFFF};
  };
  EXPECT_EQ(flags(plan.providers[3].uid), ULONG{STATUS_DEFAULT_STORE});
  EXPECT_EQ(flags(plan.providers[0].uid), ULONG{STATUS_NO_DEFAULT_STORE});
  try {
    db.SetDefaultStore("P", plan.providers[0].uid);
    ADD_FAILURE() << "the public folders became the default store";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_NO_ACCESS);
  }
  EXPECT_EQ(flags(plan.providers[3].uid), ULONG{STATUS_DEFAULT_STORE});
}

// --- the store, its folders and properties ----------------------------------------------

TEST_F(PublicStore, OpensWithItsEntryIdAndAnswersItsProperties) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  Bytes entryId = StoreRows(session.get())[1].entryId;
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  EXPECT_TRUE(std::filesystem::exists(home_.Path() / "server" / "public.db"));
  EXPECT_EQ(Binary(store.get(), tags::kEntryId), entryId);
  EXPECT_TRUE(SameUid(Binary(store.get(), tags::kMdbProvider), kExchangePublicMdbProvider));
  EXPECT_EQ(Text(store.get(), tags::kDisplayNameW), u"Public Folders");
  ULONG mask = Long(store.get(), tags::kStoreSupportMask);
  EXPECT_TRUE(mask & STORE_PUBLIC_FOLDERS);
  EXPECT_TRUE(mask & STORE_CREATE_OK);
  EXPECT_TRUE(mask & STORE_NOTIFY_OK);
  EXPECT_FALSE(mask & STORE_SUBMIT_OK);  // nothing is sent from public folders
  for (ULONG tag : {tags::kIpmSubtreeEntryId, tags::kIpmOutboxEntryId, tags::kIpmWastebasketEntryId,
                    tags::kIpmSentMailEntryId, tags::kFinderEntryId, tags::kCommonViewsEntryId, tags::kViewsEntryId})
    EXPECT_EQ(PropError(store.get(), tag), MAPI_E_NOT_FOUND) << std::hex << tag;

  // The session's OpenEntry of the store entry ID answers the same store.
  ULONG type = 0;
  ComPtr<IUnknown> again;
  ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()), nullptr,
                               MAPI_BEST_ACCESS, &type, again.Out()),
            S_OK);
  EXPECT_EQ(type, ULONG{MAPI_STORE});
  EXPECT_EQ(Binary(static_cast<IMAPIProp*>(static_cast<IMsgStore*>(again.get())), tags::kRecordKey),
            Binary(store.get(), tags::kRecordKey));
}

TEST_F(PublicStore, HasThePublicFolderSetAndNoMailboxFolders) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  ULONG type = 0;
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(store->OpenEntry(0, nullptr, &IID_IMAPIFolder, MAPI_MODIFY, &type, unknown.Out()), S_OK);
  ComPtr<IMAPIFolder> root(static_cast<IMAPIFolder*>(unknown.get()));
  EXPECT_EQ(Long(root.get(), tags::kFolderType), ULONG{FOLDER_ROOT});
  EXPECT_EQ(Subfolders(root.get()), (std::vector<std::u16string>{u"All Public Folders", u"NON_IPM_SUBTREE"}));

  auto ipm = AllPublicFolders(store.get());
  ASSERT_TRUE(ipm);
  EXPECT_EQ(Text(ipm.get(), tags::kDisplayNameW), u"All Public Folders");
  EXPECT_EQ(Binary(ipm.get(), tags::kParentEntryId), Binary(root.get(), tags::kEntryId));
  EXPECT_TRUE(Subfolders(ipm.get()).empty());  // no Inbox, Outbox, Calendar...

  auto nonIpm = OpenFolder(store.get(), Binary(store.get(), tags::kNonIpmSubtreeEntryId));
  ASSERT_TRUE(nonIpm);
  EXPECT_EQ(Text(nonIpm.get(), tags::kDisplayNameW), u"NON_IPM_SUBTREE");
  EXPECT_EQ(Subfolders(nonIpm.get()), (std::vector<std::u16string>{u"EFORMS REGISTRY"}));
  auto forms = OpenFolder(store.get(), Binary(store.get(), tags::kEformsRegistryEntryId));
  ASSERT_TRUE(forms);
  EXPECT_EQ(Binary(forms.get(), tags::kParentEntryId), Binary(nonIpm.get(), tags::kEntryId));

  // The set cannot be deleted.
  Bytes ipmId = Binary(ipm.get(), tags::kEntryId);
  EXPECT_EQ(root->DeleteFolder(static_cast<ULONG>(ipmId.size()), reinterpret_cast<LPENTRYID>(ipmId.data()), 0, nullptr,
                               DEL_FOLDERS | DEL_MESSAGES),
            MAPI_E_NO_ACCESS);
}

TEST_F(PublicStore, ReceiveFolderCallsAreNotSupported) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  ULONG cb = 0;
  LPENTRYID id = nullptr;
  EXPECT_EQ(store->GetReceiveFolder(nullptr, 0, &cb, &id, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(store->GetReceiveFolder(A("IPM.Note"), 0, &cb, &id, nullptr), MAPI_E_NO_SUPPORT);
  Bytes ipmId = Binary(store.get(), tags::kIpmPublicFoldersEntryId);
  EXPECT_EQ(store->SetReceiveFolder(A("IPM.Post"), 0, static_cast<ULONG>(ipmId.size()),
                                    reinterpret_cast<LPENTRYID>(ipmId.data())),
            MAPI_E_NO_SUPPORT);
  ComPtr<IMAPITable> table;
  EXPECT_EQ(store->GetReceiveFolderTable(0, table.Out()), MAPI_E_NO_SUPPORT);
  EXPECT_FALSE(table);

  // The mailbox of the same session still has its receive folders.
  ComPtr<IMsgStore> mailbox;
  Bytes mailboxId;
  OpenDefaultStore(session.get(), mailbox, mailboxId);
  EXPECT_FALSE(InboxId(mailbox.get()).empty());
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
  EXPECT_EQ(Binary(aliceStore.get(), tags::kRecordKey), Binary(bobStore.get(), tags::kRecordKey));

  // Bob watches the store and its top folder's hierarchy while Alice works.
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(bobStore->Advise(0, nullptr, fnevObjectCreated, sink.get(), &connection), S_OK);
  auto bobTop = AllPublicFolders(bobStore.get());
  ComPtr<IMAPITable> hierarchy;
  ASSERT_EQ(bobTop->GetHierarchyTable(0, hierarchy.Out()), S_OK);

  auto projects = CreateFolder(AllPublicFolders(aliceStore.get()).get(), u"Projects");
  ASSERT_TRUE(projects);
  Post(projects.get(), u"Kick-off on Monday");
  Bytes projectsId = Binary(projects.get(), tags::kEntryId);

  ULONG count = 0;
  ASSERT_EQ(hierarchy->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(sink->events.size(), 2u);  // the folder, then the message
  EXPECT_EQ(sink->events[0].objType, ULONG{MAPI_FOLDER});
  EXPECT_EQ(sink->events[0].entryId, projectsId);
  EXPECT_EQ(sink->events[1].objType, ULONG{MAPI_MESSAGE});
  EXPECT_EQ(sink->events[1].parentId, projectsId);
  EXPECT_EQ(bobStore->Unadvise(connection), S_OK);

  // Bob reaches the folder through his own session and store.
  EXPECT_EQ(Subfolders(bobTop.get()), (std::vector<std::u16string>{u"Projects"}));
  ULONG type = 0;
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(bob->OpenEntry(static_cast<ULONG>(projectsId.size()), reinterpret_cast<LPENTRYID>(projectsId.data()),
                           &IID_IMAPIFolder, MAPI_BEST_ACCESS, &type, unknown.Out()),
            S_OK);
  EXPECT_EQ(type, ULONG{MAPI_FOLDER});
  ComPtr<IMAPIFolder> seen(static_cast<IMAPIFolder*>(unknown.get()));
  EXPECT_EQ(Long(seen.get(), tags::kContentCount), 1u);
  ComPtr<IMAPITable> contents;
  ASSERT_EQ(seen->GetContentsTable(MAPI_UNICODE, contents.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kSubjectW}};
  ASSERT_EQ(contents->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(contents->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 1u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(rows->aRow[0].lpProps[0].Value.lpszW)),
            u"Kick-off on Monday");
  FreeProws(rows);

  // Entry IDs of the public store compare through either session; the mailboxes differ.
  ULONG same = 0;
  Bytes bobProjects = Binary(seen.get(), tags::kEntryId);
  ASSERT_EQ(alice->CompareEntryIDs(
                static_cast<ULONG>(projectsId.size()), reinterpret_cast<LPENTRYID>(projectsId.data()),
                static_cast<ULONG>(bobProjects.size()), reinterpret_cast<LPENTRYID>(bobProjects.data()), 0, &same),
            S_OK);
  EXPECT_EQ(same, 1u);
  Bytes aliceMailbox = StoreRows(alice.get())[0].entryId, bobMailbox = StoreRows(bob.get())[0].entryId;
  EXPECT_NE(aliceMailbox, bobMailbox);
}

TEST_F(PublicStore, MessagesAndFoldersCopyAndMoveWithinIt) {
  CreateMailboxProfile("Work", "alice");
  auto session = Logon("Work");
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  auto top = AllPublicFolders(store.get());
  auto inbound = CreateFolder(top.get(), u"Inbound");
  auto archive = CreateFolder(top.get(), u"Archive");
  ASSERT_TRUE(inbound && archive);
  Post(inbound.get(), u"First");
  Post(inbound.get(), u"Second");

  ComPtr<IMAPITable> contents;
  ASSERT_EQ(inbound->GetContentsTable(0, contents.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
  ASSERT_EQ(contents->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(contents->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 2u);
  SBinary ids[1] = {rows->aRow[0].lpProps[0].Value.bin};
  ENTRYLIST list{1, ids};
  EXPECT_EQ(inbound->CopyMessages(&list, nullptr, archive.get(), 0, nullptr, 0), S_OK);
  EXPECT_EQ(inbound->CopyMessages(&list, nullptr, archive.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  FreeProws(rows);
  EXPECT_EQ(Long(inbound.get(), tags::kContentCount), 1u);
  EXPECT_EQ(Long(archive.get(), tags::kContentCount), 2u);

  Bytes archiveId = Binary(archive.get(), tags::kEntryId);
  EXPECT_EQ(top->CopyFolder(static_cast<ULONG>(archiveId.size()), reinterpret_cast<LPENTRYID>(archiveId.data()),
                            nullptr, inbound.get(), W(u"Archive copy"), 0, nullptr, MAPI_UNICODE | COPY_SUBFOLDERS),
            S_OK);
  EXPECT_EQ(Subfolders(inbound.get()), (std::vector<std::u16string>{u"Archive copy"}));
  EXPECT_EQ(Subfolders(top.get()), (std::vector<std::u16string>{u"Inbound", u"Archive"}));
}

TEST_F(PublicStore, ContentsPersistAfterRestart) {
  CreateMailboxProfile("Work", "alice");
  Bytes recordKey;
  {
    auto session = Logon("Work");
    auto store = OpenPublic(session.get());
    ASSERT_TRUE(store);
    recordKey = Binary(store.get(), tags::kRecordKey);
    auto folder = CreateFolder(AllPublicFolders(store.get()).get(), u"Announcements");
    ASSERT_TRUE(folder);
    Post(folder.get(), u"Office closed on Friday");
    ASSERT_EQ(session->Logoff(0, 0, 0), S_OK);
  }
  MAPIUninitialize();
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);

  auto session = Logon("Work");
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  EXPECT_EQ(Binary(store.get(), tags::kRecordKey), recordKey);  // the same store, not a new one
  auto top = AllPublicFolders(store.get());
  ASSERT_EQ(Subfolders(top.get()), (std::vector<std::u16string>{u"Announcements"}));
  ComPtr<IMAPITable> table;
  ASSERT_EQ(top->GetHierarchyTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
  Bytes id(rows->aRow[0].lpProps[0].Value.bin.lpb,
           rows->aRow[0].lpProps[0].Value.bin.lpb + rows->aRow[0].lpProps[0].Value.bin.cb);
  FreeProws(rows);
  EXPECT_EQ(Long(OpenFolder(store.get(), id).get(), tags::kContentCount), 1u);
}

TEST_F(PublicStore, MailboxServiceMadeWithoutPublicFoldersGetsThemWhenConfiguredAgain) {
  CreateMailboxProfile("Work", "alice");
  // A profile as made before the public folders existed: the service has no such provider.
  auto services = Services("Work");
  MAPIUID service = ServiceUid(services.get());
  TProfileDatabase db(home_.ProfilesDb());
  for (const TProviderInfo& provider : db.Providers("Work", &service))
    for (const TStoredProp& prop : db.ReadSection("Work", provider.uid))
      if (prop.tag == tags::kMdbProvider && SameUid(prop.value, kExchangePublicMdbProvider))
        db.DeleteProvider("Work", provider.uid);
  {
    auto session = Logon("Work");
    ASSERT_EQ(StoreRows(session.get()).size(), 1u);
  }

  // Configuring only the server again is enough: the mailbox comes from the service.
  SPropValue server{};
  server.ulPropTag = tags::kProfileUnresolvedServerA;
  server.Value.lpszA = A("mail2");
  ASSERT_EQ(services->ConfigureMsgService(&service, 0, 0, 1, &server), S_OK);
  ASSERT_EQ(services->ConfigureMsgService(&service, 0, 0, 1, &server), S_OK);  // added once only
  auto session = Logon("Work");
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].resourceFlags, STATUS_NO_DEFAULT_STORE);
  EXPECT_TRUE(rows[0].isDefault);
  auto store = OpenPublic(session.get());
  ASSERT_TRUE(store);
  EXPECT_TRUE(AllPublicFolders(store.get()));
}

TEST_F(PublicStore, UnconfiguredServiceCannotOpenThePublicFolders) {
  ASSERT_EQ(admin_->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
  ASSERT_EQ(Services("Work")->CreateMsgService(A("MSEMS"), A("Mail"), 0, 0), S_OK);
  auto session = Logon("Work");
  auto rows = StoreRows(session.get());
  ASSERT_EQ(rows.size(), 2u);
  ComPtr<IMsgStore> store;
  EXPECT_EQ(
      session->OpenMsgStore(0, static_cast<ULONG>(rows[1].entryId.size()),
                            reinterpret_cast<LPENTRYID>(rows[1].entryId.data()), nullptr, MDB_NO_DIALOG, store.Out()),
      MAPI_E_LOGON_FAILED);
  EXPECT_FALSE(std::filesystem::exists(home_.Path() / "server" / "public.db"));
}

// --- the engine ---------------------------------------------------------------------

TEST_F(PublicStore, EngineKeepsTheKindAndHasNoMailboxFolders) {
  std::string path = (home_.Path() / "server" / "public.db").string();
  {
    auto engine = TStoreEngine::Create(path, TStoreKind::PublicFolders, u"Public Folders");
    EXPECT_EQ(engine->Kind(), TStoreKind::PublicFolders);
  }
  auto engine = TStoreEngine::Open(path);
  EXPECT_EQ(engine->Kind(), TStoreKind::PublicFolders);
  auto codeOf = [](auto&& call) {
    try {
      call();
    } catch (const TMapiError& e) {
      return e.Code();
    }
    return S_OK;
  };
  for (TSpecialFolder folder : {TSpecialFolder::Inbox, TSpecialFolder::Outbox, TSpecialFolder::SentItems,
                                TSpecialFolder::DeletedItems, TSpecialFolder::SearchRoot})
    EXPECT_EQ(codeOf([&] { engine->Folders().SpecialFolderId(folder); }), MAPI_E_NOT_FOUND);
  int64_t forms = engine->Folders().SpecialFolderId(TSpecialFolder::EformsRegistry);
  EXPECT_EQ(engine->Folders().Get(forms).parentId, engine->Folders().SpecialFolderId(TSpecialFolder::NonIpmSubtree));
  EXPECT_EQ(codeOf([&] { engine->Folders().ReceiveFolders(); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(codeOf([&] { engine->Folders().SetReceiveFolder("IPM", forms); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(codeOf([&] { engine->Folders().GetReceiveFolder(""); }), MAPI_E_NO_SUPPORT);
}

}  // namespace
}  // namespace orba::store
