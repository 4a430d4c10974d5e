// MAPILogonEx and IMAPISession through the exported entry points: logon flags, shared
// sessions, the stores and status tables, routing to a store implementation (a small
// one registered here for the personal store's PR_MDB_PROVIDER), advise and the
// shutdown event, identity and error paths.
#include <gtest/gtest.h>

#include "profiles/services.h"
#include "props/propobject.h"
#include "session/storeentryid.h"
#include "session/storeprovider.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

// An object of the test store: its entry ID as a property.
class TTestItem final : public TPropObject<IMessage> {
 public:
  explicit TTestItem(const Bytes& entryId) { Load(BinaryValue(tags::kEntryId, entryId)); }
#define ORBA_NOT_HERE(name, ...) \
  STDMETHOD(name)(__VA_ARGS__) override { return MAPI_E_NO_SUPPORT; }
  ORBA_NOT_HERE(GetAttachmentTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(OpenAttach, ULONG, LPCIID, ULONG, LPATTACH*)
  ORBA_NOT_HERE(CreateAttach, LPCIID, ULONG, ULONG*, LPATTACH*)
  ORBA_NOT_HERE(DeleteAttach, ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(GetRecipientTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(ModifyRecipients, ULONG, LPADRLIST)
  ORBA_NOT_HERE(SubmitMessage, ULONG)
  ORBA_NOT_HERE(SetReadFlag, ULONG)
};

// A store whose entry IDs are four flag bytes, its provider UID and a 32-bit number;
// numbers below 100 exist.
class TTestStore final : public TPropObject<IMsgStore> {
 public:
  explicit TTestStore(const MAPIUID& uid) : uid_(uid) {}
  Bytes EntryId(uint32_t number) const {
    Bytes bytes = ProviderEntryId(uid_);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<BYTE>(number >> shift));
    return bytes;
  }
  int loggedOff = 0;
  int advised = 0;

  STDMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR* connection) override {
    *connection = static_cast<ULONG_PTR>(++advised);
    return S_OK;
  }
  STDMETHOD(Unadvise)(ULONG_PTR) override {
    --advised;
    return S_OK;
  }
  STDMETHOD(CompareEntryIDs)(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG, ULONG* result) override {
    *result = cb1 == cb2 && std::memcmp(id1->ab, id2->ab, cb1 - 4) == 0;
    return S_OK;
  }
  STDMETHOD(OpenEntry)(ULONG cb, LPENTRYID id, LPCIID, ULONG, ULONG* type, LPUNKNOWN* unk) override {
    if (cb != 24) return MAPI_E_INVALID_ENTRYID;
    uint32_t number;
    std::memcpy(&number, id->ab + 16, 4);
    if (number >= 100) return MAPI_E_NOT_FOUND;
    *type = MAPI_MESSAGE;
    *unk = static_cast<IMessage*>(MakeComObject<TTestItem>(EntryId(number)).Detach());
    return S_OK;
  }
  STDMETHOD(StoreLogoff)(ULONG*) override {
    ++loggedOff;
    return S_OK;
  }
  ORBA_NOT_HERE(SetReceiveFolder, LPTSTR, ULONG, ULONG, LPENTRYID)
  ORBA_NOT_HERE(GetReceiveFolder, LPTSTR, ULONG, ULONG*, LPENTRYID*, LPTSTR*)
  ORBA_NOT_HERE(GetReceiveFolderTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(AbortSubmit, ULONG, LPENTRYID, ULONG)
  ORBA_NOT_HERE(GetOutgoingQueue, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(SetLockState, LPMESSAGE, ULONG)
  ORBA_NOT_HERE(FinishedMsg, ULONG, ULONG, LPENTRYID)
  ORBA_NOT_HERE(NotifyNewMail, LPNOTIFICATION)
#undef ORBA_NOT_HERE

 private:
  MAPIUID uid_;
};

// Serves personal store files: a store's own entry ID and routing UID are its
// provider UID; logon needs PR_PST_PATH in the section.
class TTestStoreProvider final : public IStoreProvider {
 public:
  MAPIUID MdbProvider() const override { return kPstMdbProvider; }
  Bytes StoreEntryId(const TStoreContext& context) const override { return ProviderEntryId(context.provider); }
  TStoreLogon Logon(const TStoreContext& context, ULONG flags) override {
    if (!FindStored(context.db->ReadSection(context.profile, context.provider), PROP_ID(tags::kPstPathA)))
      throw TMapiError((flags & MDB_NO_DIALOG) ? MAPI_E_LOGON_FAILED : MAPI_E_USER_CANCEL, "No file.");
    ++logons;
    auto store = MakeComObject<TTestStore>(context.provider);
    stores.push_back(store);
    return {ComPtr<IMsgStore>(store.get()), {context.provider}};
  }
  int logons = 0;
  std::vector<ComPtr<TTestStore>> stores;
};

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
    services_ = nullptr;
    admin_ = nullptr;
    MAPIUninitialize();
  }
  // A personal store service named display; path empty leaves it unconfigured.
  MAPIUID AddPst(const char16_t* display, const char* path) {
    EXPECT_EQ(services_->CreateMsgService(W(u"MSPST MS"), W(display), 0, MAPI_UNICODE), S_OK);
    MAPIUID uid = ServiceUids(services_.get()).back();
    if (*path) {
      SPropValue value{tags::kPstPathA, 0, {}};
      value.Value.lpszA = A(path);
      EXPECT_EQ(services_->ConfigureMsgService(&uid, 0, 0, 1, &value), S_OK);
    }
    return uid;
  }
  static ComPtr<IMAPITable> StoresTable(IMAPISession* session) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
    return table;
  }
  static std::string LastError(IMAPISession* session, HRESULT hr) {
    TMapiBuffer<MAPIERROR> error;
    EXPECT_EQ(session->GetLastError(hr, 0, error.Out()), S_OK);
    return error ? error->lpszError : "";
  }
  static HRESULT OpenStoreCode(IMAPISession* session, Bytes id, ULONG flags = 0) {
    ComPtr<IMsgStore> store;
    return session->OpenMsgStore(0, Cb(id), Id(id), nullptr, flags, store.Out());
  }

  TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
  ComPtr<IMsgServiceAdmin> services_;
  MAPIUID pst_;
  std::shared_ptr<TTestStoreProvider> provider_;
};

TEST_F(Session, LogonRefusesBadArguments) {
  ComPtr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, 0x4, session.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(MAPILogonEx(0, A("Nobody"), nullptr, MAPI_EXTENDED, session.Out()), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(session.get(), nullptr);
  EXPECT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_SERVICE_UI_ALWAYS, session.Out()),
            MAPI_E_USER_CANCEL);
  MAPIUninitialize();
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
    return std::string(Get(section.get(), tags::kProfileNameA, 0)->Value.lpszA);
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
  AddPst(u"Archive", "/tmp/archive.pst");
  ComPtr<IMAPISession> session = Logon();
  TRows rows = All(StoresTable(session.get()).get(),
                   {tags::kDisplayNameA, tags::kDefaultStore, tags::kMdbProvider, tags::kEntryId});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_STREQ(rows[1][0].Value.lpszA, "Archive");
  EXPECT_TRUE(rows[0][1].Value.b);
  EXPECT_FALSE(rows[1][1].Value.b);
  EXPECT_TRUE(SameUid(BytesOf(rows[0][2]), kPstMdbProvider));
  // MAPI's store wrapper around the store's own entry ID.
  Bytes wrapped = BytesOf(rows[0][3]);
  EXPECT_EQ(UnwrapStoreEntryId(wrapped).dllName, "liborbastore.so");
  EXPECT_EQ(EntryIdProviderUid(wrapped).ab[0], 0x38);
  // An unknown wrapper version is refused.
  wrapped[20] = 1;
  EXPECT_THROW(UnwrapStoreEntryId(wrapped), TMapiError);
}

TEST_F(Session, SetDefaultStoreIsStoredAndNotified) {
  AddPst(u"Archive", "/tmp/archive.pst");
  ComPtr<IMAPISession> session = Logon();
  Bytes archive = StoreIds(session.get())[1];
  auto table = StoresTable(session.get());
  auto sink = WatchTable<TTableSink>(table.get());
  EXPECT_EQ(session->SetDefaultStore(0, Cb(archive), Id(archive)), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(session->SetDefaultStore(MAPI_SIMPLE_STORE_TEMPORARY, Cb(archive), Id(archive)), MAPI_E_NO_SUPPORT);
  ASSERT_EQ(session->SetDefaultStore(MAPI_DEFAULT_STORE, Cb(archive), Id(archive)), S_OK);
  EXPECT_FALSE(sink->events.empty());
  EXPECT_EQ(Longs(table.get(), tags::kDefaultStore), (std::vector<ULONG>{0, 1}));
  // Another session reads the new default from the profile.
  EXPECT_EQ(Longs(StoresTable(Logon().get()).get(), tags::kDefaultStore), (std::vector<ULONG>{0, 1}));
}

TEST_F(Session, OpenMsgStoreAndRoutedEntries) {
  ComPtr<IMAPISession> session = Logon();
  Bytes storeId = StoreIds(session.get())[0];
  EXPECT_EQ(OpenStoreCode(session.get(), storeId, 0x40000), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_TRUE(OpenStore(session.get(), storeId));
  ASSERT_EQ(provider_->logons, 1);
  Bytes item = provider_->stores[0]->EntryId(7);
  TOpened opened = Open(session.get(), item, 0);
  ASSERT_EQ(opened.hr, S_OK);
  EXPECT_EQ(opened.type, ULONG{MAPI_MESSAGE});
  // The store's own answers come through unchanged.
  EXPECT_EQ(Open(session.get(), provider_->stores[0]->EntryId(500), 0).hr, MAPI_E_NOT_FOUND);
  ULONG same = 0;
  Bytes twin = provider_->stores[0]->EntryId(7);
  twin[0] = MAPI_SHORTTERM;
  ASSERT_EQ(session->CompareEntryIDs(Cb(item), Id(item), Cb(twin), Id(twin), 0, &same), S_OK);
  EXPECT_EQ(same, 1u);
  // A wrapped store entry ID opens the store; the same store is handed out again.
  opened = Open(session.get(), storeId, MAPI_MODIFY);
  ASSERT_EQ(opened.hr, S_OK);
  EXPECT_EQ(opened.type, ULONG{MAPI_STORE});
  EXPECT_EQ(provider_->logons, 1);
}

TEST_F(Session, EntryIdsNoStoreOwnsAreRefused) {
  ComPtr<IMAPISession> session = Logon();
  Bytes foreign(24, 0x11);
  EXPECT_EQ(Open(session.get(), foreign, 0).hr, MAPI_E_UNKNOWN_ENTRYID);
  // Too short for flags and a provider UID: never read past the given size.
  EXPECT_EQ(Open(session.get(), Bytes(foreign.begin(), foreign.begin() + 19), 0).hr, MAPI_E_INVALID_ENTRYID);
  ULONG type = 0;
  ComPtr<IUnknown> opened;
  EXPECT_EQ(session->OpenEntry(4, nullptr, nullptr, 0, &type, opened.Out()), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Open(session.get(), foreign, 0x10000000).hr, MAPI_E_UNKNOWN_FLAGS);
  ULONG result = 0;
  EXPECT_EQ(session->CompareEntryIDs(24, Id(foreign), 24, Id(foreign), 0, &result), MAPI_E_UNKNOWN_ENTRYID);
  // A store wrapper whose library name never ends.
  Bytes broken = WrapStoreEntryId("liborbastore.so", Bytes(20, 1));
  broken.resize(30);
  std::fill(broken.begin() + 22, broken.end(), 'x');
  EXPECT_EQ(OpenStoreCode(session.get(), broken), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(OpenStoreCode(session.get(), WrapStoreEntryId("liborbastore.so", Bytes(20, 1))), MAPI_E_NOT_FOUND);
}

TEST_F(Session, StoresWithoutImplementationOrSettings) {
  AddPst(u"Unset", "");
  ComPtr<IMAPISession> session = Logon();
  EXPECT_EQ(OpenStoreCode(session.get(), StoreIds(session.get())[1], MDB_NO_DIALOG), MAPI_E_LOGON_FAILED);
  UnregisterStoreProvider(kPstMdbProvider);
  EXPECT_EQ(OpenStoreCode(session.get(), StoreIds(session.get())[0]), MAPI_E_FAILONEPROVIDER);
  EXPECT_EQ(LastError(session.get(), MAPI_E_FAILONEPROVIDER),
            "No message store implementation is available for this store's PR_MDB_PROVIDER.");
  ComPtr<IMAPITable> status;
  ASSERT_EQ(session->GetStatusTable(0, status.Out()), S_OK);
  std::vector<ULONG> codes = Longs(status.get(), tags::kStatusCode);
  ASSERT_EQ(codes.size(), 4u);
  EXPECT_EQ(codes[2], ULONG{STATUS_FAILURE});
}

TEST_F(Session, StatusTableHasSubsystemSpoolerAndProviders) {
  ASSERT_EQ(services_->CreateMsgService(A("CONTAB"), nullptr, 0, 0), S_OK);
  ComPtr<IMAPISession> session = Logon("Work", MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_NO_MAIL);
  ComPtr<IMAPITable> status;
  ASSERT_EQ(session->GetStatusTable(0x1, status.Out()), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->GetStatusTable(MAPI_UNICODE, status.Out()), S_OK);
  EXPECT_EQ(Longs(status.get(), tags::kResourceType),
            (std::vector<ULONG>{MAPI_SUBSYSTEM, MAPI_SPOOLER, MAPI_STORE_PROVIDER, MAPI_AB_PROVIDER}));
  // MAPI_NO_MAIL keeps the spooler offline.
  EXPECT_EQ(Longs(status.get(), tags::kStatusCode).at(1), ULONG{STATUS_OFFLINE});
}

TEST_F(Session, LogoffSendsShutdownAndEndsTheSession) {
  ComPtr<IMAPISession> session = Logon();
  auto store = OpenStore(session.get(), StoreIds(session.get())[0], 0);
  auto sink = MakeComObject<TObjectSink>(), storeSink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0, storeConnection = 0, dropped = 0;
  EXPECT_EQ(session->Advise(0, nullptr, 0, sink.get(), &connection), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(session->Advise(0, nullptr, 0x20000000, sink.get(), &connection), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(session->Advise(0, nullptr, fnevExtended, sink.get(), &connection), S_OK);
  ASSERT_EQ(session->Advise(0, nullptr, fnevCriticalError, MakeComObject<TObjectSink>().get(), &dropped), S_OK);
  ASSERT_EQ(session->Unadvise(dropped), S_OK);
  EXPECT_EQ(session->Unadvise(dropped), MAPI_E_NOT_FOUND);
  Bytes item = provider_->stores[0]->EntryId(1);
  ASSERT_EQ(session->Advise(Cb(item), Id(item), fnevObjectModified, storeSink.get(), &storeConnection), S_OK);
  EXPECT_EQ(provider_->stores[0]->advised, 1);
  EXPECT_EQ(session->Logoff(0, 0x10, 0), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(session->Logoff(0, 0, 1), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(session->Logoff(0, MAPI_LOGOFF_UI, 0), S_OK);
  ASSERT_EQ(sink->Types(), std::vector<ULONG>{fnevExtended});
  EXPECT_EQ(provider_->stores[0]->advised, 0);
  EXPECT_EQ(provider_->stores[0]->loggedOff, 1);
  EXPECT_EQ(session->Logoff(0, 0, 0), MAPI_E_END_OF_SESSION);
  ComPtr<IMAPITable> table;
  EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), MAPI_E_END_OF_SESSION);
  EXPECT_EQ(LastError(session.get(), MAPI_E_END_OF_SESSION), "The session has been logged off.");
}

TEST_F(Session, LastUninitializeEndsSessions) {
  ComPtr<IMAPISession> session = Logon();
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(session->Advise(0, nullptr, fnevExtended, sink.get(), &connection), S_OK);
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  MAPIUninitialize();
  EXPECT_TRUE(sink->events.empty());
  MAPIUninitialize();
  EXPECT_EQ(sink->Types(), std::vector<ULONG>{fnevExtended});
  ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
}

TEST_F(Session, AddressTypesAddressBookAndForms) {
  ComPtr<IMAPISession> session = Logon();
  ULONG count = 0;
  TMapiBuffer<LPTSTR> types;
  ASSERT_EQ(session->EnumAdrTypes(0, &count, types.Out()), S_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_STREQ(types.get()[1], "EX");
  EXPECT_EQ(session->EnumAdrTypes(0, nullptr, types.Out()), MAPI_E_INVALID_PARAMETER);
  ComPtr<IAddrBook> book;
  EXPECT_EQ(session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.Out()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(LastError(session.get(), MAPI_E_NO_SUPPORT), "No address book is available in this session.");
}

TEST_F(Session, QueryIdentityReadsThePrimaryIdentity) {
  ComPtr<IMAPISession> session = Logon();
  ULONG cb = 0;
  TMapiBuffer<ENTRYID> identity;
  EXPECT_EQ(session->QueryIdentity(&cb, identity.Out()), MAPI_E_NOT_FOUND);
  // The store publishes its user in its provider section.
  ComPtr<IMAPITable> providers;
  ASSERT_EQ(services_->GetProviderTable(0, providers.Out()), S_OK);
  MAPIUID storeUid = Uids(providers.get(), tags::kProviderUid).at(0);
  ComPtr<IProfSect> section;
  ASSERT_EQ(session->OpenProfileSection(&storeUid, nullptr, MAPI_MODIFY, section.Out()), S_OK);
  BYTE user[] = {0, 0, 0, 0, 9, 9, 9};
  ASSERT_EQ(Set(section.get(), {BinaryValue(tags::kIdentityEntryId, user)}), S_OK);
  ASSERT_EQ(session->QueryIdentity(&cb, identity.Out()), MAPI_W_NO_SERVICE);
  EXPECT_EQ(cb, sizeof(user));
  ASSERT_EQ(services_->SetPrimaryIdentity(&pst_, 0), S_OK);
  ASSERT_EQ(session->QueryIdentity(&cb, identity.Out()), S_OK);
  EXPECT_EQ(std::memcmp(identity.get(), user, sizeof(user)), 0);
}

}  // namespace
}  // namespace orba::store
