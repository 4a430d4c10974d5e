// Profile sections and provider administration: persistence, access, refusals, and
// two processes changing one section.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "admin/profadmin.h"
#include "props/tags.h"
#include "sessiontestutil.h"

namespace orba::store {
namespace {

using namespace testing;

class ProfSect : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_.Out()), S_OK);
    ASSERT_EQ(admin_->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
    ASSERT_EQ(admin_->AdminServices(A("Work"), nullptr, 0, 0, services_.Out()), S_OK);
  }
  void TearDown() override {
    services_ = nullptr;
    admin_ = nullptr;
    MAPIUninitialize();
  }
  ComPtr<IProfSect> Open(const MAPIUID& uid, ULONG flags) {
    ComPtr<IProfSect> section;
    MAPIUID copy = uid;
    EXPECT_EQ(services_->OpenProfileSection(&copy, nullptr, flags, section.Out()), S_OK);
    return section;
  }
  static void SetLong(IMAPIProp* prop, ULONG tag, ULONG value) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.ul = value;
    ASSERT_EQ(prop->SetProps(1, &v, nullptr), S_OK);
  }
  static std::optional<ULONG> GetLong(IMAPIProp* prop, ULONG tag) {
    if (!prop) return std::nullopt;
    SizedSPropTagArray<1> tags{1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    prop->GetProps(tags.Ptr(), 0, &count, &values);
    std::optional<ULONG> result;
    if (values && values[0].ulPropTag == tag) result = values[0].Value.ul;
    MAPIFreeBuffer(values);
    return result;
  }
  MAPIUID ServiceUid(size_t index) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(services_->GetMsgServiceTable(0, table.Out()), S_OK);
    SizedSPropTagArray<1> cols{1, {tags::kServiceUid}};
    EXPECT_EQ(table->SetColumns(cols.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(50, 0, &rows), S_OK);
    MAPIUID uid;
    std::memcpy(uid.ab, rows->aRow[index].lpProps[0].Value.bin.lpb, 16);
    FreeProws(rows);
    return uid;
  }

  TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
  ComPtr<IMsgServiceAdmin> services_;
  const MAPIUID custom_ = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  static constexpr ULONG kCounter = PROP_TAG(PT_LONG, 0x6620);
  static constexpr ULONG kOther = PROP_TAG(PT_LONG, 0x6621);
};

TEST_F(ProfSect, ChangesAreStoredAtOnce) {
  ComPtr<IProfSect> section;
  MAPIUID uid = custom_;
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0, section.Out()), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services_->OpenProfileSection(nullptr, nullptr, 0, section.Out()), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services_->OpenProfileSection(&uid, &IID_IMsgStore, MAPI_MODIFY, section.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0x100, section.Out()), MAPI_E_UNKNOWN_FLAGS);
  section = Open(custom_, MAPI_MODIFY);
  SetLong(section.get(), kCounter, 5);
  // No SaveChanges: a section is not transacted.
  ComPtr<IProfSect> reader = Open(custom_, 0);
  EXPECT_EQ(GetLong(reader.get(), kCounter), 5u);
  EXPECT_EQ(GetLong(reader.get(), tags::kObjectType), MAPI_PROFSECT);
  EXPECT_EQ(section->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  SizedSPropTagArray<1> gone{1, {kCounter}};
  ASSERT_EQ(section->DeleteProps(gone.Ptr(), nullptr), S_OK);
  // A section that holds nothing is gone for readers.
  EXPECT_EQ(services_->OpenProfileSection(&uid, nullptr, 0, section.Out()), MAPI_E_NOT_FOUND);
}

TEST_F(ProfSect, ReadOnlyNamedAndComputedPropertiesAreRefused) {
  SetLong(Open(custom_, MAPI_MODIFY).get(), kCounter, 1);
  ComPtr<IProfSect> reader = Open(custom_, 0);
  SPropValue value{};
  value.ulPropTag = kOther;
  EXPECT_EQ(reader->SetProps(1, &value, nullptr), MAPI_E_NO_ACCESS);
  ComPtr<IProfSect> writer = Open(custom_, MAPI_MODIFY);
  SPropValue values[2] = {};
  values[0].ulPropTag = PROP_TAG(PT_LONG, 0x8001);
  values[1].ulPropTag = tags::kObjectType;
  LPSPropProblemArray problems = nullptr;
  ASSERT_EQ(writer->SetProps(2, values, &problems), S_OK);
  ASSERT_NE(problems, nullptr);
  ASSERT_EQ(problems->cProblem, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_UNEXPECTED_ID);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_COMPUTED);
  MAPIFreeBuffer(problems);
  MAPINAMEID name{const_cast<GUID*>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
  name.Kind.lID = 1;
  LPMAPINAMEID names[] = {&name};
  LPSPropTagArray ids = nullptr;
  EXPECT_EQ(writer->GetIDsFromNames(1, names, MAPI_CREATE, &ids), MAPI_E_NO_SUPPORT);
}

TEST_F(ProfSect, ProcessesDoNotLoseEachOthersChanges) {
  ComPtr<IProfSect> mine = Open(custom_, MAPI_MODIFY);
  SetLong(mine.get(), kCounter, 1);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens the profile database afresh, as another process would.
    ComPtr<IProfAdmin> admin;
    ComPtr<IMsgServiceAdmin> services;
    ComPtr<IProfSect> theirs;
    MAPIUID uid = custom_;
    bool ok = MAPIAdminProfiles(0, admin.Out()) == S_OK &&
              admin->AdminServices(A("Work"), nullptr, 0, 0, services.Out()) == S_OK &&
              services->OpenProfileSection(&uid, nullptr, MAPI_MODIFY, theirs.Out()) == S_OK;
    SPropValue value{};
    value.ulPropTag = kOther;
    value.Value.ul = 2;
    ok = ok && GetLong(theirs.get(), kCounter) == 1u && theirs->SetProps(1, &value, nullptr) == S_OK;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  // This process's open section still writes only what it changes.
  SetLong(mine.get(), kCounter, 3);
  ComPtr<IProfSect> fresh = Open(custom_, 0);
  EXPECT_EQ(GetLong(fresh.get(), kCounter), 3u);
  EXPECT_EQ(GetLong(fresh.get(), kOther), 2u);
}

TEST_F(ProfSect, ProviderAdministration) {
  ASSERT_EQ(services_->CreateMsgService(A("MSPST MS"), A("Mail"), 0, 0), S_OK);
  MAPIUID service = ServiceUid(0);
  ComPtr<IProviderAdmin> providers;
  EXPECT_EQ(services_->AdminProviders(&service, 1, providers.Out()), MAPI_E_UNKNOWN_FLAGS);
  MAPIUID unknown = custom_;
  EXPECT_EQ(services_->AdminProviders(&unknown, 0, providers.Out()), MAPI_E_NOT_FOUND);
  ASSERT_EQ(services_->AdminProviders(&service, 0, providers.Out()), S_OK);
  MAPIUID added{};
  EXPECT_EQ(providers->CreateProvider(A("Nothing"), 0, nullptr, 0, 0, &added), MAPI_E_NOT_FOUND);
  SPropValue path{};
  path.ulPropTag = tags::kPstPathA;
  path.Value.lpszA = const_cast<char*>("/tmp/second.pst");
  ASSERT_EQ(providers->CreateProvider(A("Personal Folders"), 1, &path, 0, 0, &added), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(providers->GetProviderTable(0, table.Out()), S_OK);
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  // The new provider's section, and the service's own with a null UID.
  ComPtr<IProfSect> section;
  ASSERT_EQ(providers->OpenProfileSection(&added, nullptr, 0, section.Out()), S_OK);
  SizedSPropTagArray<1> pathTag{1, {tags::kPstPathA}};
  LPSPropValue values = nullptr;
  ASSERT_EQ(section->GetProps(pathTag.Ptr(), 0, &count, &values), S_OK);
  EXPECT_STREQ(values[0].Value.lpszA, "/tmp/second.pst");
  MAPIFreeBuffer(values);
  ASSERT_EQ(providers->OpenProfileSection(nullptr, nullptr, 0, section.Out()), S_OK);
  EXPECT_EQ(providers->DeleteProvider(&unknown), MAPI_E_NOT_FOUND);
  ASSERT_EQ(providers->DeleteProvider(&added), S_OK);
  ASSERT_EQ(providers->GetProviderTable(0, table.Out()), S_OK);
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
}

TEST_F(ProfSect, CopyMsgServiceAndPrimaryIdentity) {
  ASSERT_EQ(services_->CreateMsgService(A("CONTAB"), nullptr, 0, 0), S_OK);
  ASSERT_EQ(services_->CreateMsgService(A("MSPST MS"), A("Mail"), 0, 0), S_OK);
  MAPIUID contacts = ServiceUid(0), pst = ServiceUid(1);
  EXPECT_EQ(services_->SetPrimaryIdentity(&contacts, 0), MAPI_E_NO_ACCESS);
  ASSERT_EQ(services_->SetPrimaryIdentity(&pst, 0), S_OK);
  EXPECT_TRUE(*GetLong(Open(pst, 0).get(), tags::kResourceFlags) & SERVICE_PRIMARY_IDENTITY);

  ASSERT_EQ(admin_->CreateProfile(A("Copy"), nullptr, 0, 0), S_OK);
  ComPtr<IMsgServiceAdmin> target;
  ASSERT_EQ(admin_->AdminServices(A("Copy"), nullptr, 0, 0, target.Out()), S_OK);
  EXPECT_EQ(services_->CopyMsgService(&pst, nullptr, nullptr, nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(services_->CopyMsgService(&pst, A("Copied"), nullptr, &IID_IMsgServiceAdmin, target.get(), 0, 0), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(target->GetMsgServiceTable(0, table.Out()), S_OK);
  SizedSPropTagArray<3> cols{3, {tags::kDisplayNameA, tags::kServiceUid, tags::kResourceFlags}};
  ASSERT_EQ(table->SetColumns(cols.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 1u);
  EXPECT_STREQ(rows->aRow[0].lpProps[0].Value.lpszA, "Copied");
  EXPECT_NE(std::memcmp(rows->aRow[0].lpProps[1].Value.bin.lpb, pst.ab, 16), 0);
  // The copy became the new profile's default store, but not its primary identity.
  EXPECT_EQ(rows->aRow[0].lpProps[2].Value.ul & (SERVICE_PRIMARY_IDENTITY | SERVICE_DEFAULT_STORE),
            SERVICE_DEFAULT_STORE);
  FreeProws(rows);
}

}  // namespace
}  // namespace orba::store
