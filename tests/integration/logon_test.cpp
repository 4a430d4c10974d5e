// The loader finds Orba Store as the default mail client, initialises Extended MAPI and
// logs on to a profile made through Orba Store's profile administration.
#include <gtest/gtest.h>

#include "common/temphome.h"
#include "integration/orbaprofile.h"
#include "mapi/mapix.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPILib.h"
#include "orba/VoOrbaMAPI.h"
#include "orba/common/comptr.h"

namespace {

using namespace orba;

class OrbaStoreLogon : public ::testing::Test {
 protected:
  void SetUp() override {
    WideString file;  // the default mail client
    bool extended = false;
    VoLoadMAPIDLL(file, extended, true);
    ASSERT_TRUE(extended);
    VoMAPIInitialize(false, false, true, false);
  }
  void TearDown() override {
    if (VoMAPIInitialized()) VoMAPIUninitialize(true);
  }

  // A profile with the contacts address book, made through the loaded library.
  void CreateProfile(const char* name) {
    ComPtr<IProfAdmin> admin;
    ASSERT_EQ(orba::MAPIAdminProfiles(0, admin.Out()), S_OK);
    ASSERT_EQ(
        admin->CreateProfile(reinterpret_cast<LPTSTR>(const_cast<char*>(name)), nullptr, 0, MAPI_DEFAULT_SERVICES),
        S_OK);
    ASSERT_EQ(admin->SetDefaultProfile(reinterpret_cast<LPTSTR>(const_cast<char*>(name)), 0), S_OK);
  }

  test::TempHome home_;
};

TEST_F(OrbaStoreLogon, LogsOnToTheDefaultProfileAndOff) {
  EXPECT_EQ(VoCurrentMAPIDllFileName(), u"MAPI32.dll");  // the stub name of the default client
  CreateProfile("Work");

  ComPtr<IMAPISession> session;
  LHANDLE simple = 0;
  VoMAPILogon(0, u"", u"", MAPI_EXTENDED | MAPI_USE_DEFAULT | MAPI_NEW_SESSION, session, simple);
  ASSERT_TRUE(session);

  ComPtr<IMAPITable> stores;
  ASSERT_EQ(session->GetMsgStoresTable(0, stores.Out()), S_OK);
  ULONG count = 99;
  ASSERT_EQ(stores->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);  // the contacts address book is not a message store
  stores.Reset();        // everything from the library goes before it is unloaded

  // The open session keeps the thread from uninitialising.
  try {
    VoMAPIUninitialize(false);
    ADD_FAILURE() << "uninitialised with an open session";
  } catch (const EVoMAPIException& e) {
    EXPECT_EQ(e.Message(),
              u"There are still active MAPI sessions in this thread. You must close these sessions first!");
  }

  VoMAPILogoff(0, 0, session, simple);
  EXPECT_FALSE(session);
  VoMAPIUninitialize(true);
  EXPECT_EQ(VoMAPIModule(), nullptr);
}

TEST_F(OrbaStoreLogon, UnknownProfileRaisesTheLogonText) {
  ComPtr<IMAPISession> session;
  LHANDLE simple = 0;
  try {
    VoMAPILogon(0, u"Nobody", u"", MAPI_EXTENDED | MAPI_NEW_SESSION | MAPI_UNICODE, session, simple);
    FAIL() << "logged on to a profile that does not exist";
  } catch (const EMAPI_LOGON_FAILED& e) {
    EXPECT_EQ(e.Code(), MAPI_E_LOGON_FAILED);
    EXPECT_EQ(e.Message(),
              u"uVoMAPILib.VoMAPILogon has raised the following exception:\r\nThe logon did not "
              u"succeed, either because one or more of the logon-parameters were invalid \r\nor "
              u"because there were too many sessions open already. (-2147221231)");
  }
  EXPECT_FALSE(session);
}

// The library's Simple MAPI path (MAPI initialised without Extended MAPI) logs on to
// Orba Store's Simple MAPI and finds, through the loader, a message it sent itself.
TEST_F(OrbaStoreLogon, SimpleMapiSessionFindsItsOwnMailThroughTheLoader) {
  test::CreateProfile("Work", "MSEMS", home_.Home());
  VoMAPIUninitialize(false);
  VoMAPIInitialize(false, false, false, true);

  ComPtr<IMAPISession> session;
  LHANDLE simple = 0;
  VoMAPILogon(0, u"Work", u"", 0, session, simple);
  EXPECT_FALSE(session);
  ASSERT_GT(simple, LHANDLE{1});
  char id[64] = "";
  EXPECT_THROW(orba::MAPIFindNext(simple, 0, nullptr, nullptr, 0, 0, id), EMAPI_NO_MESSAGES);
  MapiRecipDesc to{0, MAPI_TO, test::Text("alice@orba.example"), nullptr, 0, nullptr};
  MapiMessage mail{0, test::Text("Hello"), nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, &to, 0, nullptr};
  orba::MAPISendMail(simple, 0, &mail, 0, 0);
  orba::MAPIFindNext(simple, 0, nullptr, nullptr, MAPI_UNREAD_ONLY, 0, id);
  EXPECT_EQ(std::strlen(id), 60u);
  LHANDLE closed = simple;
  VoMAPILogoff(0, 0, session, simple);
  EXPECT_EQ(simple, LHANDLE{0});
  EXPECT_THROW(orba::MAPIFindNext(closed, 0, nullptr, nullptr, 0, 0, id), EMAPI_INVALID_SESSION);

  auto client = MakeComObject<TSession>();
  client->Get_LogonInfo()->Set_UseExtendedMAPI(false);
  client->Get_LogonInfo()->Set_ProfileName(u"Work");
  client->Logon();
  EXPECT_TRUE(client->Get_Active());
  client->Logoff();
  EXPECT_FALSE(client->Get_Active());
}

}  // namespace
