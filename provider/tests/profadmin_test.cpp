// MAPIInitialize, MAPIAdminProfiles, IProfAdmin, IMsgServiceAdmin, IProviderAdmin and
// IProfSect: documented behaviour, error paths, and two processes changing one section.
#include "admin/profadmin.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kCounter = PROP_TAG(PT_LONG, 0x6620);
constexpr ULONG kOther = PROP_TAG(PT_LONG, 0x6621);
const MAPIUID kCustom = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};

class ProfAdmin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_.Out()), S_OK);
  }
  void TearDown() override {
    services_ = nullptr;
    admin_ = nullptr;
    MAPIUninitialize();
  }
  // The profile "Work", its services administered by services_.
  void CreateWork() {
    ASSERT_EQ(admin_->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
    ASSERT_EQ(admin_->AdminServices(A("Work"), nullptr, 0, 0, services_.Out()), S_OK);
  }
  ComPtr<IMAPITable> ServiceTable(IMsgServiceAdmin* services) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
    return table;
  }
  ComPtr<IProfSect> Open(const MAPIUID& uid, ULONG flags) {
    ComPtr<IProfSect> section;
    MAPIUID copy = uid;
    EXPECT_EQ(services_->OpenProfileSection(&copy, nullptr, flags, section.Out()), S_OK);
    return section;
  }

  TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
  ComPtr<IMsgServiceAdmin> services_;
};

TEST(MapiInit, FlagsAndVersionAreChecked) {
  MAPIINIT_0 init{MAPI_INIT_VERSION, 0x100};
  EXPECT_EQ(MAPIInitialize(&init), MAPI_E_UNKNOWN_FLAGS);
  init = {1, 0};
  EXPECT_EQ(MAPIInitialize(&init), MAPI_E_INVALID_PARAMETER);
  ComPtr<IProfAdmin> admin;
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), MAPI_E_NOT_INITIALIZED);
  init = {MAPI_INIT_VERSION, MAPI_MULTITHREAD_NOTIFICATIONS | MAPI_NO_COINIT};
  EXPECT_EQ(MAPIInitialize(&init), S_OK);
  EXPECT_EQ(MAPIInitialize(nullptr), S_OK);
  MAPIUninitialize();
  TTempStoreHome home;
  EXPECT_EQ(MAPIAdminProfiles(1, admin.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(MAPIAdminProfiles(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);  // still once initialised
  MAPIUninitialize();
  MAPIUninitialize();  // unbalanced: no effect
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), MAPI_E_NOT_INITIALIZED);
}

// --- profiles ---

TEST_F(ProfAdmin, CreateListAndDefault) {
  EXPECT_EQ(admin_->CreateProfile(A("Alpha"), nullptr, 0, 0), S_OK);
  EXPECT_EQ(admin_->CreateProfile(W(u"B\u00E9ta"), nullptr, 0, MAPI_UNICODE | MAPI_DIALOG), S_OK);
  EXPECT_EQ(admin_->CreateProfile(A("alpha"), nullptr, 0, 0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(admin_->SetDefaultProfile(W(u"B\u00E9ta"), MAPI_UNICODE), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(admin_->GetProfileTable(0, table.Out()), S_OK);
  EXPECT_EQ(Texts(table.get(), tags::kDisplayNameW), (std::vector<std::u16string>{u"Alpha", u"B\u00E9ta"}));
  EXPECT_EQ(Longs(table.get(), tags::kDefaultProfile), (std::vector<ULONG>{0, 1}));
  EXPECT_EQ(admin_->SetDefaultProfile(nullptr, 0), S_OK);
  EXPECT_EQ(admin_->SetDefaultProfile(A("Gamma"), 0), MAPI_E_NOT_FOUND);
}

TEST_F(ProfAdmin, BadArgumentsAndFlags) {
  std::string tooLong(65, 'x');
  for (const char* name : {"", " lead", tooLong.c_str()})
    EXPECT_EQ(admin_->CreateProfile(A(name), nullptr, 0, 0), MAPI_E_INVALID_PARAMETER) << name;
  EXPECT_EQ(admin_->CreateProfile(nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A("P"), A("secret"), 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A("P"), nullptr, 0, 0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(admin_->GetProfileTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->DeleteProfile(A("missing"), 0), MAPI_E_NOT_FOUND);
  TMapiBuffer<MAPIERROR> error;
  ASSERT_EQ(admin_->GetLastError(MAPI_E_NOT_FOUND, 0, error.Out()), S_OK);
  ASSERT_TRUE(error);
  EXPECT_STREQ(error->lpszError, "The profile does not exist.");
  EXPECT_EQ(admin_->ChangeProfilePassword(A("x"), nullptr, nullptr, 0), MAPI_E_NO_SUPPORT);
  LPSERVICEADMIN services = nullptr;
  EXPECT_EQ(admin_->AdminServices(A("missing"), nullptr, 0, 0, &services), MAPI_E_NOT_FOUND);
}

TEST_F(ProfAdmin, CopyRenameDelete) {
  ASSERT_EQ(admin_->CreateProfile(A("One"), nullptr, 0, MAPI_DEFAULT_SERVICES), S_OK);
  ASSERT_EQ(admin_->CreateProfile(A("Two"), nullptr, 0, 0), S_OK);
  EXPECT_EQ(admin_->CopyProfile(A("One"), nullptr, A("Two"), 0, 0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(admin_->CopyProfile(A("One"), nullptr, A("Three"), 0, 0), S_OK);
  EXPECT_EQ(admin_->RenameProfile(A("Three"), nullptr, A("Four"), 0, 0), S_OK);
  EXPECT_EQ(admin_->RenameProfile(A("Three"), nullptr, A("Five"), 0, 0), MAPI_E_NOT_FOUND);
  ComPtr<IMsgServiceAdmin> services;
  ASSERT_EQ(admin_->AdminServices(A("Four"), nullptr, 0, 0, services.Out()), S_OK);
  // The default services: the contacts address book.
  EXPECT_EQ(Texts(ServiceTable(services.get()).get(), tags::kServiceNameA), std::vector<std::u16string>{u"CONTAB"});
  EXPECT_EQ(admin_->DeleteProfile(A("Four"), 0), S_OK);
  EXPECT_EQ(admin_->DeleteProfile(A("Four"), 0), MAPI_E_NOT_FOUND);
}

// --- services and providers ---

TEST_F(ProfAdmin, ServicesCreateConfigureDelete) {
  CreateWork();
  EXPECT_EQ(services_->CreateMsgService(A("NOSUCH"), nullptr, 0, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services_->CreateMsgService(nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services_->CreateMsgService(A("MSPST MS"), nullptr, 0, SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL);
  ASSERT_EQ(services_->CreateMsgService(W(u"MSEMS"), W(u"Mail"), 0, MAPI_UNICODE), S_OK);
  ASSERT_EQ(services_->CreateMsgService(A("MSPST MS"), A("Archive"), 0, 0), S_OK);
  auto table = ServiceTable(services_.get());
  EXPECT_EQ(Texts(table.get(), tags::kServiceNameA), (std::vector<std::u16string>{u"MSEMS", u"MSPST MS"}));
  EXPECT_EQ(Texts(table.get(), tags::kDisplayNameW), (std::vector<std::u16string>{u"Mail", u"Archive"}));
  std::vector<MAPIUID> uids = ServiceUids(services_.get());
  MAPIUID exchange = uids.at(0), pst = uids.at(1);

  ComPtr<IMAPITable> providers;
  ASSERT_EQ(services_->GetProviderTable(0, providers.Out()), S_OK);
  // The mailbox store is the default; its public folders never are; the second store is not.
  EXPECT_EQ(Longs(providers.get(), tags::kResourceFlags),
            (std::vector<ULONG>{STATUS_DEFAULT_STORE, 0, 0, STATUS_NO_DEFAULT_STORE, 0}));

  std::string path = "/tmp/archive.pst";
  SPropValue config{tags::kPstPathA, 0, {}};
  config.Value.lpszA = path.data();
  EXPECT_EQ(services_->ConfigureMsgService(&pst, 0, SERVICE_UI_ALWAYS, 1, &config), MAPI_E_USER_CANCEL);
  EXPECT_EQ(services_->ConfigureMsgService(&pst, 0, SERVICE_UI_ALLOWED, 0, nullptr), MAPI_E_USER_CANCEL);
  EXPECT_EQ(services_->ConfigureMsgService(&pst, 0, SERVICE_UI_ALLOWED, 1, &config), S_OK);
  EXPECT_EQ(services_->ConfigureMsgService(&exchange, 0, 0, 1, &config), S_OK);  // stored, still unconfigured
  EXPECT_EQ(services_->ConfigureMsgService(nullptr, 0, 0, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services_->ConfigureMsgService(&pst, 0, 0x1000, 0, nullptr), MAPI_E_UNKNOWN_FLAGS);
  MAPIUID unknown{};
  EXPECT_EQ(services_->ConfigureMsgService(&unknown, 0, 0, 0, nullptr), MAPI_E_NOT_FOUND);

  EXPECT_EQ(services_->DeleteMsgService(&exchange), S_OK);
  EXPECT_EQ(services_->DeleteMsgService(&exchange), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services_->DeleteMsgService(nullptr), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(services_->GetProviderTable(0, providers.Out()), S_OK);
  // The default store moved.
  EXPECT_EQ(Longs(providers.get(), tags::kResourceFlags), std::vector<ULONG>{STATUS_DEFAULT_STORE});
  EXPECT_EQ(services_->RenameMsgService(&pst, 0, A("x")), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(services_->MsgServiceTransportOrder(0, nullptr, 0), MAPI_E_NO_SUPPORT);
}

TEST_F(ProfAdmin, ProviderAdministration) {
  CreateWork();
  ASSERT_EQ(services_->CreateMsgService(A("MSPST MS"), A("Mail"), 0, 0), S_OK);
  MAPIUID service = ServiceUids(services_.get()).at(0), unknown = kCustom;
  ComPtr<IProviderAdmin> providers;
  EXPECT_EQ(services_->AdminProviders(&service, 1, providers.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(services_->AdminProviders(&unknown, 0, providers.Out()), MAPI_E_NOT_FOUND);
  ASSERT_EQ(services_->AdminProviders(&service, 0, providers.Out()), S_OK);
  MAPIUID added{};
  EXPECT_EQ(providers->CreateProvider(A("Nothing"), 0, nullptr, 0, 0, &added), MAPI_E_NOT_FOUND);
  SPropValue path{tags::kPstPathA, 0, {}};
  path.Value.lpszA = A("/tmp/second.pst");
  ASSERT_EQ(providers->CreateProvider(A("Personal Folders"), 1, &path, 0, 0, &added), S_OK);
  auto count = [&] {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(providers->GetProviderTable(0, table.Out()), S_OK);
    return RowCount(table.get());
  };
  EXPECT_EQ(count(), 2u);
  // The new provider's section, and the service's own with a null UID.
  ComPtr<IProfSect> section;
  ASSERT_EQ(providers->OpenProfileSection(&added, nullptr, 0, section.Out()), S_OK);
  EXPECT_STREQ(Get(section.get(), tags::kPstPathA, 0)->Value.lpszA, "/tmp/second.pst");
  ASSERT_EQ(providers->OpenProfileSection(nullptr, nullptr, 0, section.Out()), S_OK);
  EXPECT_EQ(providers->DeleteProvider(&unknown), MAPI_E_NOT_FOUND);
  ASSERT_EQ(providers->DeleteProvider(&added), S_OK);
  EXPECT_EQ(count(), 1u);
}

TEST_F(ProfAdmin, CopyMsgServiceAndPrimaryIdentity) {
  CreateWork();
  ASSERT_EQ(services_->CreateMsgService(A("CONTAB"), nullptr, 0, 0), S_OK);
  ASSERT_EQ(services_->CreateMsgService(A("MSPST MS"), A("Mail"), 0, 0), S_OK);
  std::vector<MAPIUID> uids = ServiceUids(services_.get());
  MAPIUID contacts = uids.at(0), pst = uids.at(1);
  EXPECT_EQ(services_->SetPrimaryIdentity(&contacts, 0), MAPI_E_NO_ACCESS);
  ASSERT_EQ(services_->SetPrimaryIdentity(&pst, 0), S_OK);
  EXPECT_TRUE(Long(Open(pst, 0).get(), tags::kResourceFlags) & SERVICE_PRIMARY_IDENTITY);
  ASSERT_EQ(admin_->CreateProfile(A("Copy"), nullptr, 0, 0), S_OK);
  ComPtr<IMsgServiceAdmin> target;
  ASSERT_EQ(admin_->AdminServices(A("Copy"), nullptr, 0, 0, target.Out()), S_OK);
  EXPECT_EQ(services_->CopyMsgService(&pst, nullptr, nullptr, nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(services_->CopyMsgService(&pst, A("Copied"), nullptr, &IID_IMsgServiceAdmin, target.get(), 0, 0), S_OK);
  TRows rows = All(ServiceTable(target.get()).get(), {tags::kDisplayNameA, tags::kServiceUid, tags::kResourceFlags});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_STREQ(rows[0][0].Value.lpszA, "Copied");
  EXPECT_FALSE(SameUid(BytesOf(rows[0][1]), pst));
  // The copy became the new profile's default store, but not its primary identity.
  EXPECT_EQ(rows[0][2].Value.ul & (SERVICE_PRIMARY_IDENTITY | SERVICE_DEFAULT_STORE), ULONG{SERVICE_DEFAULT_STORE});
}

// --- profile sections ---

TEST_F(ProfAdmin, SectionChangesAreStoredAtOnce) {
  CreateWork();
  ComPtr<IProfSect> section;
  MAPIUID uid = kCustom;
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0, section.Out()), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services_->OpenProfileSection(nullptr, nullptr, 0, section.Out()), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services_->OpenProfileSection(&uid, &IID_IMsgStore, MAPI_MODIFY, section.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0x100, section.Out()), MAPI_E_UNKNOWN_FLAGS);
  section = Open(kCustom, MAPI_MODIFY);
  ASSERT_EQ(Set(section.get(), {LongValue(kCounter, 5)}), S_OK);
  // No SaveChanges: a section is not transacted.
  ComPtr<IProfSect> reader = Open(kCustom, 0);
  EXPECT_EQ(Long(reader.get(), kCounter), 5u);
  EXPECT_EQ(Long(reader.get(), tags::kObjectType), ULONG{MAPI_PROFSECT});
  EXPECT_EQ(section->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(Delete(section.get(), {kCounter}), S_OK);
  // A section that holds nothing is gone for readers.
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0, section.Out()), MAPI_E_NOT_FOUND);
}

TEST_F(ProfAdmin, SectionsRefuseReadOnlyNamedAndComputedProperties) {
  CreateWork();
  ASSERT_EQ(Set(Open(kCustom, MAPI_MODIFY).get(), {LongValue(kCounter, 1)}), S_OK);
  EXPECT_EQ(Set(Open(kCustom, 0).get(), {LongValue(kOther, 0)}), MAPI_E_NO_ACCESS);
  ComPtr<IProfSect> writer = Open(kCustom, MAPI_MODIFY);
  SPropValue values[2] = {LongValue(PROP_TAG(PT_LONG, 0x8001), 0), LongValue(tags::kObjectType, 0)};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(writer->SetProps(2, values, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_UNEXPECTED_ID);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_COMPUTED);
  MAPINAMEID name{const_cast<GUID*>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
  name.Kind.lID = 1;
  LPMAPINAMEID names[] = {&name};
  TMapiBuffer<SPropTagArray> ids;
  EXPECT_EQ(writer->GetIDsFromNames(1, names, MAPI_CREATE, ids.Out()), MAPI_E_NO_SUPPORT);
}

TEST_F(ProfAdmin, ProcessesDoNotLoseEachOthersSectionChanges) {
  CreateWork();
  ComPtr<IProfSect> mine = Open(kCustom, MAPI_MODIFY);
  ASSERT_EQ(Set(mine.get(), {LongValue(kCounter, 1)}), S_OK);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens the profile database afresh, as another process would.
    ComPtr<IProfAdmin> admin;
    ComPtr<IMsgServiceAdmin> services;
    ComPtr<IProfSect> theirs;
    MAPIUID uid = kCustom;
    SPropValue value = LongValue(kOther, 2);
    bool ok = MAPIAdminProfiles(0, admin.Out()) == S_OK &&
              admin->AdminServices(A("Work"), nullptr, 0, 0, services.Out()) == S_OK &&
              services->OpenProfileSection(&uid, nullptr, MAPI_MODIFY, theirs.Out()) == S_OK &&
              Long(theirs.get(), kCounter) == 1u && theirs->SetProps(1, &value, nullptr) == S_OK;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  // This process's open section still writes only what it changes.
  ASSERT_EQ(Set(mine.get(), {LongValue(kCounter, 3)}), S_OK);
  ComPtr<IProfSect> fresh = Open(kCustom, 0);
  EXPECT_EQ(Long(fresh.get(), kCounter), 3u);
  EXPECT_EQ(Long(fresh.get(), kOther), 2u);
}

}  // namespace
}  // namespace orba::store
