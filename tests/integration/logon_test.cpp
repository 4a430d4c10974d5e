// The loader finds Orba Store as the default mail client, initialises Extended MAPI and
// logs on to a profile made through Orba Store's profile administration.
#include <gtest/gtest.h>

#include "common/temphome.h"
#include "mapi/mapix.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPILib.h"
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

}  // namespace
