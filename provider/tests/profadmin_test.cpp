// MAPIInitialize, MAPIAdminProfiles, IProfAdmin and IMsgServiceAdmin: documented
// behaviour and error paths.
#include "admin/profadmin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mapi/mapiexports.h"
#include "props/tags.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

LPTSTR A(const char* text) { return const_cast<LPTSTR>(text); }
LPTSTR W(const char16_t* text) { return reinterpret_cast<LPTSTR>(const_cast<char16_t*>(text)); }

class ProfAdmin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_.Out()), S_OK);
  }
  void TearDown() override {
    admin_ = nullptr;
    MAPIUninitialize();
  }
  // Every row of a table with the given columns.
  std::vector<std::vector<SPropValue>> Rows(IMAPITable* table, std::vector<ULONG> columns) {
    std::vector<ULONG> tags(columns.size() + 1);
    tags[0] = static_cast<ULONG>(columns.size());
    std::copy(columns.begin(), columns.end(), tags.begin() + 1);
    EXPECT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(tags.data()), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    std::vector<std::vector<SPropValue>> result;
    for (ULONG i = 0; i < rows->cRows; ++i)
      result.emplace_back(rows->aRow[i].lpProps, rows->aRow[i].lpProps + rows->aRow[i].cValues);
    rows_.push_back(rows);
    return result;
  }
  ~ProfAdmin() override {
    for (LPSRowSet rows : rows_) FreeProws(rows);
  }

  testing::TTempStoreHome home_;
  ComPtr<IProfAdmin> admin_;
  std::vector<LPSRowSet> rows_;
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
  testing::TTempStoreHome home;
  EXPECT_EQ(MAPIAdminProfiles(1, admin.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(MAPIAdminProfiles(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);  // still once initialised
  MAPIUninitialize();
  MAPIUninitialize();  // unbalanced: no effect
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), MAPI_E_NOT_INITIALIZED);
}

TEST_F(ProfAdmin, CreateListAndDefault) {
  EXPECT_EQ(admin_->CreateProfile(A("Alpha"), nullptr, 0, 0), S_OK);
  EXPECT_EQ(admin_->CreateProfile(W(u"B\u00E9ta"), nullptr, 0, MAPI_UNICODE | MAPI_DIALOG), S_OK);
  EXPECT_EQ(admin_->CreateProfile(A("alpha"), nullptr, 0, 0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(admin_->SetDefaultProfile(W(u"B\u00E9ta"), MAPI_UNICODE), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(admin_->GetProfileTable(0, table.Out()), S_OK);
  auto rows = Rows(table.get(), {tags::kDisplayNameW, tags::kDefaultProfile});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(std::u16string(rows[0][0].Value.lpszW), u"Alpha");
  EXPECT_EQ(rows[0][1].Value.b, 0);
  EXPECT_EQ(std::u16string(rows[1][0].Value.lpszW), u"B\u00E9ta");
  EXPECT_NE(rows[1][1].Value.b, 0);
  EXPECT_EQ(admin_->SetDefaultProfile(nullptr, 0), S_OK);
  EXPECT_EQ(admin_->SetDefaultProfile(A("Gamma"), 0), MAPI_E_NOT_FOUND);
}

TEST_F(ProfAdmin, BadArgumentsAndFlags) {
  EXPECT_EQ(admin_->CreateProfile(nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A(""), nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A(" lead"), nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A(std::string(65, 'x').c_str()), nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A("P"), A("secret"), 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->CreateProfile(A("P"), nullptr, 0, 0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(admin_->GetProfileTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(admin_->DeleteProfile(A("missing"), 0), MAPI_E_NOT_FOUND);
  LPMAPIERROR error = nullptr;
  ASSERT_EQ(admin_->GetLastError(MAPI_E_NOT_FOUND, 0, &error), S_OK);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error->lpszError, "The profile does not exist.");
  MAPIFreeBuffer(error);
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
  ComPtr<IMAPITable> table;
  ASSERT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
  auto rows = Rows(table.get(), {tags::kServiceNameA});
  ASSERT_EQ(rows.size(), 1u);  // the default services: the contacts address book
  EXPECT_STREQ(rows[0][0].Value.lpszA, "CONTAB");
  EXPECT_EQ(admin_->DeleteProfile(A("Four"), 0), S_OK);
  EXPECT_EQ(admin_->DeleteProfile(A("Four"), 0), MAPI_E_NOT_FOUND);
}

TEST_F(ProfAdmin, ServicesCreateConfigureDelete) {
  ASSERT_EQ(admin_->CreateProfile(A("S"), nullptr, 0, 0), S_OK);
  ComPtr<IMsgServiceAdmin> services;
  ASSERT_EQ(admin_->AdminServices(A("S"), nullptr, 0, 0, services.Out()), S_OK);
  EXPECT_EQ(services->CreateMsgService(A("NOSUCH"), nullptr, 0, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services->CreateMsgService(nullptr, nullptr, 0, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services->CreateMsgService(A("MSPST MS"), nullptr, 0, SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL);
  ASSERT_EQ(services->CreateMsgService(W(u"MSEMS"), W(u"Mail"), 0, MAPI_UNICODE), S_OK);
  ASSERT_EQ(services->CreateMsgService(A("MSPST MS"), A("Archive"), 0, 0), S_OK);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
  auto rows = Rows(table.get(), {tags::kServiceNameA, tags::kDisplayNameW, tags::kServiceUid});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_STREQ(rows[0][0].Value.lpszA, "MSEMS");
  EXPECT_EQ(std::u16string(rows[1][1].Value.lpszW), u"Archive");
  MAPIUID exchange, pst;
  std::memcpy(exchange.ab, rows[0][2].Value.bin.lpb, 16);
  std::memcpy(pst.ab, rows[1][2].Value.bin.lpb, 16);

  ComPtr<IMAPITable> providers;
  ASSERT_EQ(services->GetProviderTable(0, providers.Out()), S_OK);
  auto providerRows = Rows(providers.get(), {tags::kResourceType, tags::kResourceFlags, tags::kMdbProvider});
  ASSERT_EQ(providerRows.size(), 5u);
  EXPECT_EQ(providerRows[0][0].Value.ul, MAPI_STORE_PROVIDER);
  EXPECT_EQ(providerRows[0][1].Value.ul, STATUS_DEFAULT_STORE);
  EXPECT_EQ(providerRows[3][0].Value.ul, MAPI_STORE_PROVIDER);  // the public folders
  EXPECT_EQ(providerRows[3][1].Value.ul, STATUS_NO_DEFAULT_STORE);
  EXPECT_EQ(providerRows[4][0].Value.ul, MAPI_STORE_PROVIDER);
  EXPECT_EQ(providerRows[4][1].Value.ul, 0u);
  EXPECT_EQ(PROP_TYPE(providerRows[1][2].ulPropTag), PT_ERROR);  // an address book has no store

  std::string path = "/tmp/archive.pst";
  SPropValue config{};
  config.ulPropTag = tags::kPstPathA;
  config.Value.lpszA = path.data();
  EXPECT_EQ(services->ConfigureMsgService(&pst, 0, SERVICE_UI_ALWAYS, 1, &config), MAPI_E_USER_CANCEL);
  EXPECT_EQ(services->ConfigureMsgService(&pst, 0, SERVICE_UI_ALLOWED, 0, nullptr), MAPI_E_USER_CANCEL);
  EXPECT_EQ(services->ConfigureMsgService(&pst, 0, SERVICE_UI_ALLOWED, 1, &config), S_OK);
  EXPECT_EQ(services->ConfigureMsgService(&exchange, 0, 0, 1, &config), S_OK);  // stored, still unconfigured
  EXPECT_EQ(services->ConfigureMsgService(nullptr, 0, 0, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(services->ConfigureMsgService(&pst, 0, 0x1000, 0, nullptr), MAPI_E_UNKNOWN_FLAGS);
  MAPIUID unknown{};
  EXPECT_EQ(services->ConfigureMsgService(&unknown, 0, 0, 0, nullptr), MAPI_E_NOT_FOUND);

  EXPECT_EQ(services->DeleteMsgService(&exchange), S_OK);
  EXPECT_EQ(services->DeleteMsgService(&exchange), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services->DeleteMsgService(nullptr), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(services->GetProviderTable(0, providers.Out()), S_OK);
  providerRows = Rows(providers.get(), {tags::kResourceFlags});
  ASSERT_EQ(providerRows.size(), 1u);
  EXPECT_EQ(providerRows[0][0].Value.ul, STATUS_DEFAULT_STORE);  // the default store moved
  EXPECT_EQ(services->RenameMsgService(&pst, 0, A("x")), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(services->MsgServiceTransportOrder(0, nullptr, 0), MAPI_E_NO_SUPPORT);
}

}  // namespace
}  // namespace orba::store
