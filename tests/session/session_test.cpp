// The session's settings, its logon and logoff flags, the client check and the
// out-of-process session, without a MAPI library.
#include "orba/VoOrbaMAPI.h"

#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "common/temphome.h"

namespace orba {
namespace {

TEST(LogonInfo, FlagsFollowTheSettings) {
  struct Case {
    const char* name;
    void (*set)(IVoMAPILogonInfo&);
    ULONG flags;
  };
  const Case cases[] = {
      {"defaults", [](IVoMAPILogonInfo&) {}, 0x00100063},
      {"explicit profile, shared, download",
       [](IVoMAPILogonInfo& i) {
         i.Set_ProfileRequired(true);
         i.Set_Shared(true);
         i.Set_ForceDownload(true);
         i.Set_NewSession(false);
       },
       0x00101039},
      {"password instead of logon dialog, service dialog, no mail",
       [](IVoMAPILogonInfo& i) {
         i.Set_ShowPasswordDialog(true);
         i.Set_ShowServiceDialog(true);
         i.Set_NoMail(true);
         i.Set_ShortTimeOut(false);
       },
       0x0002A062},
      {"service", [](IVoMAPILogonInfo& i) { i.Set_NTService(true); }, 0x00118062},
      {"service asking for dialogs afterwards",
       [](IVoMAPILogonInfo& i) {
         i.Set_NTService(true);
         i.Set_ShowLogonDialog(true);
         i.Set_Shared(true);
         i.Set_ShowServiceDialog(true);
       },
       0x00118062},
      {"Simple MAPI", [](IVoMAPILogonInfo& i) { i.Set_UseExtendedMAPI(false); }, 0x00000001},
  };
  for (const Case& c : cases) {
    auto info = MakeComObject<TVoMAPILogonInfoImpl>();
    c.set(*info);
    EXPECT_EQ(info->LogonFlags(false), c.flags) << c.name;
    const bool extended = info->Get_UseExtendedMAPI();
    EXPECT_EQ(info->LogonFlags(true), extended ? c.flags | MAPI_UNICODE : c.flags) << c.name;
  }
}

TEST(LogonInfo, ServiceClearsTheDialogsAndLogoffFlagsFollowTheirSettings) {
  auto info = MakeComObject<TVoMAPILogonInfoImpl>();
  info->Set_Shared(true);
  info->Set_ShowServiceDialog(true);
  info->Set_NTService(true);
  EXPECT_FALSE(info->Get_Shared() || info->Get_ShowLogonDialog() || info->Get_ShowServiceDialog());
  auto logoff = MakeComObject<TVoMAPILogoffInfoImpl>();
  EXPECT_EQ(logoff->LogoffFlags(), 0u);
  logoff->Set_Shared(true);
  logoff->Set_ShowLogoffDialog(true);
  EXPECT_EQ(logoff->LogoffFlags(), ULONG(MAPI_LOGOFF_SHARED | MAPI_LOGOFF_UI));
}

TEST(Session, InactiveStateVersionAndInformation) {
  test::TempHome home;  // the built-in registry: Orba Store is the only client
  auto session = MakeComObject<TSession>();
  EXPECT_FALSE(session->Get_Active());
  session->Logoff();  // nothing to do
  EXPECT_EQ(session->Get_Version(), u"2.5.0.0 64-bit");

  EXPECT_MAPI_ERROR(session->Set_MAPIClient(u"Nope"), E_FAIL,
                    "TSession.SetMAPIClient failed. \"Nope\" is not installed on this system!");
}

TEST(Session, OutOfProcessSessionNeedsALocalServer) {
  EXPECT_MAPI_ERROR(CoSessionCreate(), 0x80040154u,
                    "CoSessionCreate failed!\r\nThe out-of-process session needs a COM local server, which this "
                    "platform does not have. Create a TSession in this process instead.");
}

}  // namespace
}  // namespace orba
