// MAPILogonEx and IMAPISession through the exported entry points: logon flags, shared
// sessions, the stores and status tables, routing to a store implementation, advise
// and the shutdown event, identity and error paths.
#include <gtest/gtest.h>

#include "props/tags.h"
#include "session/storeentryid.h"
#include "sessiontestutil.h"

namespace orba::store {
namespace {

using namespace testing;

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_.Out()), S_OK);
    ASSERT_EQ(admin_->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
    ASSERT_EQ(admin_->AdminServices(A("Work"), nullptr, 0, 0, services_.Out()), S_OK);
    pst_ = AddPst(u"Mail", "/tmp/mail.pst");
    provider_ = std::make_shared<TTestStoreProvider>();
    RegisterStoreProvider(provider_);
  }
  void TearDown() override {
    UnregisterStoreProvider(kPstMdbProvider);
    for (LPSRowSet rows : rows_) FreeProws(rows);
    services_ = nullptr;
    admin_ = nullptr;
    MAPIUninitialize();
  }
  // A personal store service named display; path empty leaves it unconfigured.
  MAPIUID AddPst(const char16_t* display, const char* path) {
    EXPECT_EQ(services_->CreateMsgService(W(u"MSPST MS"), W(display), 0, MAPI_UNICODE), S_OK);
    std::vector<std::vector<SPropValue>> rows = Rows(Table(services_, false), {tags::kServiceUid});
    MAPIUID uid;
    std::memcpy(uid.ab, rows.back()[0].Value.bin.lpb, 16);
    if (*path) {
      SPropValue value{};
      value.ulPropTag = tags::kPstPathA;
      value.Value.lpszA = const_cast<char*>(path);
      EXPECT_EQ(services_->ConfigureMsgService(&uid, 0, 0, 1, &value), S_OK);
    }
    return uid;
  }
  ComPtr<IMAPITable> Table(const ComPtr<IMsgServiceAdmin>& admin, bool providers) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(providers ? admin->GetProviderTable(0, table.Out()) : admin->GetMsgServiceTable(0, table.Out()), S_OK);
    return table;
  }
  std::vector<std::vector<SPropValue>> Rows(const ComPtr<IMAPITable>& table, std::vector<ULONG> columns) {
    std::vector<ULONG> tagArray{static_cast<ULONG>(columns.size())};
    tagArray.insert(tagArray.end(), columns.begin(), columns.end());
    EXPECT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(tagArray.data()), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    rows_.push_back(rows);
    std::vector<std::vector<SPropValue>> result;
    for (ULONG i = 0; i < rows->cRows; ++i)
      result.emplace_back(rows->aRow[i].lpProps, rows->aRow[i].lpProps + rows->aRow[i].cValues);
    return result;
  }
  ComPtr<IMAPISession> Logon(const char* profile = "Work", ULONG flags = MAPI_EXTENDED | MAPI_NEW_SESSION) {
    ComPtr<IMAPISession> session;
    EXPECT_EQ(MAPILogonEx(0, A(profile), nullptr, flags, session.Out()), S_OK);
    return session;
  }
  // The wrapped entry IDs of the stores table, in row order.
  std::vector<Bytes> StoreIds(IMAPISession* session) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
    std::vector<Bytes> ids;
    for (auto& row : Rows(table, {tags::kEntryId}))
      ids.emplace_back(row[0].Value.bin.lpb, row[0].Value.bin.lpb + row[0].Value.bin.cb);
    return ids;
  }
  std::string LastError(IMAPISession* session, HRESULT hr) {
    LPMAPIERROR error = nullptr;
    EXPECT_EQ(session->GetLastError(hr, 0, &error), S_OK);
    std::string text = error ? error->lpszError : "";
    MAPIFreeBuffer(error);
    return text;
  }

  TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
  ComPtr<IMsgServiceAdmin> services_;
  MAPIUID pst_;
  std::shared_ptr<TTestStoreProvider> provider_;
  std::vector<LPSRowSet> rows_;
};

TEST_F(Session, LogonRefusesBadArguments) {
  ComPtr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, 0x4, session.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(MAPILogonEx(0, A("Nobody"), nullptr, MAPI_EXTENDED, session.Out()), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(session.get(), nullptr);
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_SERVICE_UI_ALWAYS, session.Out()),
            MAPI_E_USER_CANCEL);
}

TEST_F(Session, LogonNeedsInitialisation) {
  MAPIUninitialize();
  ComPtr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED, session.Out()), MAPI_E_NOT_INITIALIZED);
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
}

TEST_F(Session, DefaultAndExplicitProfiles) {
  ComPtr<IMAPISession> session;
  // No default profile yet.
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT, session.Out()), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT | MAPI_LOGON_UI, session.Out()),
            MAPI_E_USER_CANCEL);
  ASSERT_EQ(admin_->SetDefaultProfile(A("Work"), 0), S_OK);
  EXPECT_EQ(MAPILogonEx(0, A(""), nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT, session.Out()), S_OK);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED, session.Out()), S_OK);
  // An explicit profile is required, and none was named.
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_EXPLICIT_PROFILE, session.Out()),
            MAPI_E_LOGON_FAILED);
  // Wide names with MAPI_UNICODE; profile names ignore ASCII case.
  EXPECT_EQ(MAPILogonEx(0, W(u"WORK"), nullptr, MAPI_EXTENDED | MAPI_UNICODE, session.Out()), S_OK);
}

TEST_F(Session, SharedSessionsAreReturnedWithoutNewSession) {
  ASSERT_EQ(admin_->CreateProfile(A("Other"), nullptr, 0, 0), S_OK);
  ComPtr<IMAPISession> shared = Logon("Work", MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_ALLOW_OTHERS);
  ComPtr<IMAPISession> joined = Logon("Other", MAPI_EXTENDED);
  ComPtr<IMAPISession> own = Logon("Other", MAPI_EXTENDED | MAPI_NEW_SESSION);
  auto profileOf = [](IMAPISession* session) {
    ComPtr<IProfSect> section;
    MAPIUID uid = pbGlobalProfileSectionGuid;
    EXPECT_EQ(session->OpenProfileSection(&uid, nullptr, MAPI_MODIFY, section.Out()), S_OK);
    SizedSPropTagArray<1> tags{1, {tags::kProfileNameA}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    EXPECT_EQ(section->GetProps(tags.Ptr(), 0, &count, &values), S_OK);
    std::string name = values[0].Value.lpszA;
    MAPIFreeBuffer(values);
    return name;
  };
  EXPECT_EQ(profileOf(joined.get()), "Work");
  EXPECT_EQ(profileOf(own.get()), "Other");
  // A logoff of the shared session ends it for everyone who joined it.
  EXPECT_EQ(shared->Logoff(0, MAPI_LOGOFF_SHARED, 0), S_OK);
  ComPtr<IMAPITable> table;
  EXPECT_EQ(joined->GetMsgStoresTable(0, table.Out()), MAPI_E_END_OF_SESSION);
  EXPECT_EQ(profileOf(Logon("Other", MAPI_EXTENDED).get()), "Other");
}

TEST_F(Session, StoresTableListsTheProfilesStores) {
  MAPIUID second = AddPst(u"Archive", "/tmp/archive.pst");
  (void)second;
  ComPtr<IMAPISession> session = Logon();
  ComPtr<IMAPITable> table;
  ASSERT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
  auto rows =
      Rows(table, {tags::kDisplayNameA, tags::kDefaultStore, tags::kMdbProvider, tags::kResourceFlags,
                   tags::kObjectType, tags::kResourceType, tags::kProviderDisplayA, tags::kEntryId, tags::kRecordKey});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_STREQ(rows[0][0].Value.lpszA, "Mail");
  EXPECT_STREQ(rows[1][0].Value.lpszA, "Archive");
  EXPECT_TRUE(rows[0][1].Value.b);
  EXPECT_FALSE(rows[1][1].Value.b);
  EXPECT_EQ(std::memcmp(rows[0][2].Value.bin.lpb, kPstMdbProvider.ab, 16), 0);
  EXPECT_TRUE(rows[0][3].Value.ul & STATUS_DEFAULT_STORE);
  EXPECT_EQ(rows[0][4].Value.ul, MAPI_STORE);
  EXPECT_EQ(rows[0][5].Value.ul, MAPI_STORE_PROVIDER);
  EXPECT_STREQ(rows[0][6].Value.lpszA, "Personal Folders");
  // MAPI's store wrapper around the store's own entry ID.
  auto wrapped = UnwrapStoreEntryId({rows[0][7].Value.bin.lpb, rows[0][7].Value.bin.cb});
  EXPECT_EQ(wrapped.dllName, "liborbastore.so");
  EXPECT_EQ(EntryIdProviderUid({rows[0][7].Value.bin.lpb, rows[0][7].Value.bin.cb}).ab[0], 0x38);
  EXPECT_EQ(rows[0][8].Value.bin.cb, 16u);
}

TEST_F(Session, SetDefaultStoreIsStoredAndNotified) {
  AddPst(u"Archive", "/tmp/archive.pst");
  ComPtr<IMAPISession> session = Logon();
  std::vector<Bytes> ids = StoreIds(session.get());
  ComPtr<IMAPITable> table;
  ASSERT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
  auto sink = MakeComObject<TTestSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
  Bytes archive = ids[1];
  EXPECT_EQ(
      session->SetDefaultStore(0, static_cast<ULONG>(archive.size()), reinterpret_cast<LPENTRYID>(archive.data())),
      MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(session->SetDefaultStore(MAPI_SIMPLE_STORE_TEMPORARY, static_cast<ULONG>(archive.size()),
                                     reinterpret_cast<LPENTRYID>(archive.data())),
            MAPI_E_NO_SUPPORT);
  ASSERT_EQ(session->SetDefaultStore(MAPI_DEFAULT_STORE, static_cast<ULONG>(archive.size()),
                                     reinterpret_cast<LPENTRYID>(archive.data())),
            S_OK);
  EXPECT_FALSE(sink->events.empty());
  auto rows = Rows(table, {tags::kDisplayNameA, tags::kDefaultStore});
  EXPECT_FALSE(rows[0][1].Value.b);
  EXPECT_TRUE(rows[1][1].Value.b);
  // Another session reads the new default from the profile.
  auto again = Rows(
      [&] {
        ComPtr<IMAPITable> other;
        EXPECT_EQ(Logon()->GetMsgStoresTable(0, other.Out()), S_OK);
        return other;
      }(),
      {tags::kDefaultStore});
  EXPECT_TRUE(again[1][0].Value.b);
}

TEST_F(Session, OpenMsgStoreAndRoutedEntries) {
  ComPtr<IMAPISession> session = Logon();
  Bytes storeId = StoreIds(session.get())[0];
  ComPtr<IMsgStore> store;
  EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()),
                                  nullptr, 0x40000, store.Out()),
            MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()),
                                  nullptr, MDB_WRITE | MDB_NO_DIALOG, store.Out()),
            S_OK);
  ASSERT_EQ(provider_->logons, 1);
  Bytes item = provider_->stores[0]->EntryId(7);
  ULONG type = 0;
  ComPtr<IUnknown> opened;
  ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(item.size()), reinterpret_cast<LPENTRYID>(item.data()), nullptr, 0,
                               &type, opened.Out()),
            S_OK);
  EXPECT_EQ(type, MAPI_MESSAGE);
  // The store's own answers come through unchanged.
  Bytes missing = provider_->stores[0]->EntryId(500);
  EXPECT_EQ(session->OpenEntry(static_cast<ULONG>(missing.size()), reinterpret_cast<LPENTRYID>(missing.data()), nullptr,
                               0, &type, opened.Out()),
            MAPI_E_NOT_FOUND);
  ULONG same = 0;
  Bytes twin = provider_->stores[0]->EntryId(7);
  twin[0] = MAPI_SHORTTERM;
  ASSERT_EQ(
      session->CompareEntryIDs(static_cast<ULONG>(item.size()), reinterpret_cast<LPENTRYID>(item.data()),
                               static_cast<ULONG>(twin.size()), reinterpret_cast<LPENTRYID>(twin.data()), 0, &same),
      S_OK);
  EXPECT_EQ(same, 1u);
  // A wrapped store entry ID opens the store; the same store is handed out again.
  ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()), nullptr,
                               MAPI_MODIFY, &type, opened.Out()),
            S_OK);
  EXPECT_EQ(type, MAPI_STORE);
  EXPECT_EQ(provider_->logons, 1);
}

TEST_F(Session, EntryIdsNoStoreOwnsAreRefused) {
  ComPtr<IMAPISession> session = Logon();
  ULONG type = 0;
  ComPtr<IUnknown> opened;
  Bytes foreign(24, 0x11);
  EXPECT_EQ(session->OpenEntry(24, reinterpret_cast<LPENTRYID>(foreign.data()), nullptr, 0, &type, opened.Out()),
            MAPI_E_UNKNOWN_ENTRYID);
  // Too short for flags and a provider UID: never read past the given size.
  EXPECT_EQ(session->OpenEntry(19, reinterpret_cast<LPENTRYID>(foreign.data()), nullptr, 0, &type, opened.Out()),
            MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(session->OpenEntry(4, nullptr, nullptr, 0, &type, opened.Out()), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(
      session->OpenEntry(24, reinterpret_cast<LPENTRYID>(foreign.data()), nullptr, 0x10000000, &type, opened.Out()),
      MAPI_E_UNKNOWN_FLAGS);
  ULONG result = 0;
  EXPECT_EQ(session->CompareEntryIDs(24, reinterpret_cast<LPENTRYID>(foreign.data()), 24,
                                     reinterpret_cast<LPENTRYID>(foreign.data()), 0, &result),
            MAPI_E_UNKNOWN_ENTRYID);
  // A store wrapper whose library name never ends.
  Bytes broken = WrapStoreEntryId("liborbastore.so", Bytes(20, 1));
  broken.resize(30);
  std::fill(broken.begin() + 22, broken.end(), 'x');
  ComPtr<IMsgStore> store;
  EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(broken.size()), reinterpret_cast<LPENTRYID>(broken.data()),
                                  nullptr, 0, store.Out()),
            MAPI_E_INVALID_ENTRYID);
  Bytes other = WrapStoreEntryId("liborbastore.so", Bytes(20, 1));
  EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(other.size()), reinterpret_cast<LPENTRYID>(other.data()),
                                  nullptr, 0, store.Out()),
            MAPI_E_NOT_FOUND);
}

TEST_F(Session, StoresWithoutImplementationOrSettings) {
  AddPst(u"Unset", "");
  ComPtr<IMAPISession> session = Logon();
  std::vector<Bytes> ids = StoreIds(session.get());
  ComPtr<IMsgStore> store;
  EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(ids[1].size()), reinterpret_cast<LPENTRYID>(ids[1].data()),
                                  nullptr, MDB_NO_DIALOG, store.Out()),
            MAPI_E_LOGON_FAILED);
  UnregisterStoreProvider(kPstMdbProvider);
  ids = StoreIds(session.get());
  EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(ids[0].size()), reinterpret_cast<LPENTRYID>(ids[0].data()),
                                  nullptr, 0, store.Out()),
            MAPI_E_FAILONEPROVIDER);
  EXPECT_EQ(LastError(session.get(), MAPI_E_FAILONEPROVIDER),
            "No message store implementation is available for this store's PR_MDB_PROVIDER.");
  ComPtr<IMAPITable> status;
  ASSERT_EQ(session->GetStatusTable(0, status.Out()), S_OK);
  auto rows = Rows(status, {tags::kResourceType, tags::kStatusCode});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2][1].Value.ul, STATUS_FAILURE);
}

TEST_F(Session, StatusTableHasSubsystemSpoolerAndProviders) {
  ASSERT_EQ(services_->CreateMsgService(A("CONTAB"), nullptr, 0, 0), S_OK);
  ComPtr<IMAPISession> session = Logon("Work", MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL);
  ComPtr<IMAPITable> status;
  ASSERT_EQ(session->GetStatusTable(0x1, status.Out()), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->GetStatusTable(MAPI_UNICODE, status.Out()), S_OK);
  auto rows = Rows(status, {tags::kResourceType, tags::kDisplayNameA, tags::kStatusCode, tags::kProviderDllNameA,
                            tags::kObjectType, tags::kEntryId});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0].Value.ul, MAPI_SUBSYSTEM);
  EXPECT_EQ(rows[1][0].Value.ul, MAPI_SPOOLER);
  EXPECT_EQ(rows[1][2].Value.ul, STATUS_OFFLINE);  // MAPI_NO_MAIL
  EXPECT_EQ(rows[2][0].Value.ul, MAPI_STORE_PROVIDER);
  EXPECT_STREQ(rows[2][1].Value.lpszA, "Mail");
  EXPECT_EQ(rows[2][2].Value.ul, STATUS_AVAILABLE);
  EXPECT_EQ(rows[3][0].Value.ul, MAPI_AB_PROVIDER);
  EXPECT_STREQ(rows[3][3].Value.lpszA, "liborbastore.so");
  EXPECT_EQ(rows[3][4].Value.ul, MAPI_STATUS);
  EXPECT_GE(rows[3][5].Value.bin.cb, 20u);
}

TEST_F(Session, LogoffSendsShutdownAndEndsTheSession) {
  ComPtr<IMAPISession> session = Logon();
  Bytes storeId = StoreIds(session.get())[0];
  ComPtr<IMsgStore> store;
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()),
                                  nullptr, 0, store.Out()),
            S_OK);
  auto sink = MakeComObject<TTestSink>();
  auto storeSink = MakeComObject<TTestSink>();
  ULONG_PTR connection = 0, storeConnection = 0, dropped = 0;
  EXPECT_EQ(session->Advise(0, nullptr, 0, sink.get(), &connection), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(session->Advise(0, nullptr, 0x20000000, sink.get(), &connection), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->Advise(0, nullptr, fnevExtended, sink.get(), &connection), S_OK);
  ASSERT_EQ(session->Advise(0, nullptr, fnevCriticalError, MakeComObject<TTestSink>().get(), &dropped), S_OK);
  ASSERT_EQ(session->Unadvise(dropped), S_OK);
  EXPECT_EQ(session->Unadvise(dropped), MAPI_E_NOT_FOUND);
  Bytes item = provider_->stores[0]->EntryId(1);
  ASSERT_EQ(session->Advise(static_cast<ULONG>(item.size()), reinterpret_cast<LPENTRYID>(item.data()),
                            fnevObjectModified, storeSink.get(), &storeConnection),
            S_OK);
  EXPECT_EQ(provider_->stores[0]->advised, 1);
  EXPECT_EQ(session->Logoff(0, 0x10, 0), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(session->Logoff(0, 0, 1), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(session->Logoff(0, MAPI_LOGOFF_UI, 0), S_OK);
  ASSERT_EQ(sink->events, std::vector<ULONG>{fnevExtended});
  EXPECT_EQ(provider_->stores[0]->advised, 0);
  EXPECT_EQ(provider_->stores[0]->loggedOff, 1);
  EXPECT_EQ(session->Logoff(0, 0, 0), MAPI_E_END_OF_SESSION);
  ComPtr<IMAPITable> table;
  EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), MAPI_E_END_OF_SESSION);
  EXPECT_EQ(LastError(session.get(), MAPI_E_END_OF_SESSION), "The session has been logged off.");
}

TEST_F(Session, LastUninitializeEndsSessions) {
  ComPtr<IMAPISession> session = Logon();
  auto sink = MakeComObject<TTestSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(session->Advise(0, nullptr, fnevExtended, sink.get(), &connection), S_OK);
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  MAPIUninitialize();
  EXPECT_TRUE(sink->events.empty());
  MAPIUninitialize();
  EXPECT_EQ(sink->events, std::vector<ULONG>{fnevExtended});
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
}

TEST_F(Session, AddressTypesAddressBookAndForms) {
  ComPtr<IMAPISession> session = Logon();
  ULONG count = 0;
  LPTSTR* types = nullptr;
  ASSERT_EQ(session->EnumAdrTypes(0, &count, &types), S_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_STREQ(types[0], "SMTP");
  EXPECT_STREQ(types[1], "EX");
  MAPIFreeBuffer(types);
  ASSERT_EQ(session->EnumAdrTypes(MAPI_UNICODE, &count, &types), S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(types[1])), u"EX");
  MAPIFreeBuffer(types);
  EXPECT_EQ(session->EnumAdrTypes(0, nullptr, &types), MAPI_E_INVALID_PARAMETER);
  ComPtr<IAddrBook> book;
  EXPECT_EQ(session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.Out()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(LastError(session.get(), MAPI_E_NO_SUPPORT), "No address book is available in this session.");
  EXPECT_EQ(session->ShowForm(0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(session->PrepareForm(nullptr, nullptr, nullptr), MAPI_E_NO_SUPPORT);
  LPSPropValue options = nullptr;
  EXPECT_EQ(session->QueryDefaultMessageOpt(A("SMTP"), 0, &count, &options), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(options, nullptr);
}

TEST_F(Session, QueryIdentityReadsThePrimaryIdentity) {
  ComPtr<IMAPISession> session = Logon();
  ULONG cb = 0;
  LPENTRYID identity = nullptr;
  EXPECT_EQ(session->QueryIdentity(&cb, &identity), MAPI_E_NOT_FOUND);
  // The store publishes its user in its provider section.
  ComPtr<IMAPITable> providers;
  auto rows = Rows(Table(services_, true), {tags::kProviderUid});
  MAPIUID storeUid;
  std::memcpy(storeUid.ab, rows[0][0].Value.bin.lpb, 16);
  ComPtr<IProfSect> section;
  ASSERT_EQ(session->OpenProfileSection(&storeUid, nullptr, MAPI_MODIFY, section.Out()), S_OK);
  BYTE user[] = {0, 0, 0, 0, 9, 9, 9};
  SPropValue value{};
  value.ulPropTag = tags::kIdentityEntryId;
  value.Value.bin = {sizeof(user), user};
  ASSERT_EQ(section->SetProps(1, &value, nullptr), S_OK);
  ASSERT_EQ(session->QueryIdentity(&cb, &identity), MAPI_W_NO_SERVICE);
  EXPECT_EQ(cb, sizeof(user));
  MAPIFreeBuffer(identity);
  ASSERT_EQ(services_->SetPrimaryIdentity(&pst_, 0), S_OK);
  ASSERT_EQ(session->QueryIdentity(&cb, &identity), S_OK);
  EXPECT_EQ(std::memcmp(identity, user, sizeof(user)), 0);
  MAPIFreeBuffer(identity);
}

TEST_F(Session, AdminServicesIsTheSessionsProfile) {
  ComPtr<IMAPISession> session = Logon();
  ComPtr<IMsgServiceAdmin> admin;
  EXPECT_EQ(session->AdminServices(1, admin.Out()), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->AdminServices(0, admin.Out()), S_OK);
  EXPECT_EQ(Rows(Table(admin, false), {tags::kServiceNameA}).size(), 1u);
}

TEST(StoreEntryId, WrapRoundTrip) {
  Bytes own = {1, 2, 3, 4, 5};
  Bytes wrapped = WrapStoreEntryId("liborbastore.so", own);
  // Flags, wrapper UID, version, flag, the name with its terminator padded to 4.
  EXPECT_EQ(wrapped.size(), 40u + own.size());
  auto parts = UnwrapStoreEntryId(wrapped);
  EXPECT_EQ(parts.dllName, "liborbastore.so");
  EXPECT_EQ(Bytes(parts.storeEntryId.begin(), parts.storeEntryId.end()), own);
  wrapped[20] = 1;  // an unknown version
  EXPECT_THROW(UnwrapStoreEntryId(wrapped), TMapiError);
  EXPECT_THROW(UnwrapStoreEntryId(std::span<const BYTE>(wrapped.data(), 21)), TMapiError);
  EXPECT_THROW(UnwrapStoreEntryId(WrapStoreEntryId("x", {})), TMapiError);
}

}  // namespace
}  // namespace orba::store
