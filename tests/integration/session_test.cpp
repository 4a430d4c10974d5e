// TSession against Orba Store: logon and logoff with their events, the default store,
// Exchange detection and the repair of an unconfigured mailbox profile, MAPI's
// shutdown notification, failures (an unknown profile too), and objects that outlive
// the loaded library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "common/mapierror.h"
#include "common/temphome.h"
#include "integration/orbaprofile.h"
#include "mapi/mapiguid.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPILib.h"
#include "orba/VoOrbaMAPI.h"
#include "orba/common/utf8.h"

namespace {

using namespace orba;

// Counts the session's events in the order they came.
class TEventLog : public TVoComObject<TVoRefCounted, IVoMAPISessionDEvents> {
 public:
  void BeforeLogon() override { text += "BeforeLogon "; }
  void AfterLogon() override { text += "AfterLogon "; }
  void BeforeLogoff() override { text += "BeforeLogoff "; }
  void AfterLogoff() override { text += "AfterLogoff "; }
  std::string text;
};

class SessionOnOrbaStore : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadOrbaStore(); }
  void TearDown() override {
    session_ = nullptr;
    if (VoMAPIInitialized()) VoMAPIUninitialize(true);
  }
  void LogOn(const char* service, const char* mailbox = "alice") {
    test::CreateProfile("Work", service, home_.Home(), mailbox);
    session_->EventConnect(events_.get());
    session_->Logon();
  }

  test::TempHome home_;
  ComPtr<TSession> session_ = MakeComObject<TSession>();
  ComPtr<TEventLog> events_ = MakeComObject<TEventLog>();
};

TEST_F(SessionOnOrbaStore, DefaultLogonOpensTheDefaultStoreAndLogoffEndsEveryOperation) {
  LogOn("MSPST MS");
  ASSERT_TRUE(session_->Get_Active());
  EXPECT_EQ(session_->Get_LogonInfo()->Get_ProfileName(), u"");  // the default profile

  TVoMAPIEntryID storeId = session_->GetDefaultMsgStoreID();
  ULONG type = 0;
  ComPtr<IUnknown> store = session_->OpenEntryEx(storeId, &IID_IMsgStore, MAPI_BEST_ACCESS, type);
  EXPECT_EQ(type, ULONG(MAPI_STORE));

  ComPtr<IVoMAPISessionInfo> info = session_->GetSessionInfo();
  EXPECT_EQ(info->Get_ProfileName(), u"Work");
  EXPECT_FALSE(info->Get_ConnectedToExchange());
  EXPECT_MAPI_ERROR(info->Get_ServerName(), E_FAIL,
                    "The ServerName can only be used when connected to an Exchange Server!");
  EXPECT_MAPI_ERROR(session_->GetPublicFoldersMsgStoreID(), E_FAIL,
                    "Failed to determine the public folders messagestore!");

  ComPtr<IVoMAPIProp> section =
      session_->OpenProfileSection(BinToEntryID(16, pbGlobalProfileSectionGuid.ab), alBestAccess);
  session_->Logoff();
  EXPECT_EQ(events_->text, "BeforeLogon AfterLogon BeforeLogoff AfterLogoff ");
  EXPECT_MAPI_ERROR(section->Get_EntryID(), E_ACCESSDENIED,
                    "TVoMAPIProfSect.Get_EntryID failed.\r\nThe object is not, or no longer, active!");

  const std::pair<const char*, std::function<void()>> operations[] = {
      {"GetDefaultMsgStoreID", [&] { session_->GetDefaultMsgStoreID(); }},
      {"GetPublicFoldersMsgStoreID", [&] { session_->GetPublicFoldersMsgStoreID(); }},
      {"OpenMsgStore", [&] { session_->OpenMAPIMsgStore(storeId, alReadOnly); }},
      {"OpenEntryEx", [&] { session_->OpenEntryEx(storeId, nullptr, 0, type); }},
      {"GetSessionInfo", [&] { session_->GetSessionInfo(); }},
      {"CreateFolderDialog", [&] { session_->CreateFolderDialog(); }},
      {"RegisterProp", [&] { session_->RegisterProp(u"X", TVoVariant(int32_t(1)), PT_LONG, false, GUID_NULL); }},
  };
  for (const auto& [name, call] : operations)
    EXPECT_MAPI_ERROR(call(), E_FAIL, std::string("You must logon before you can execute ") + name + "!");
}

TEST_F(SessionOnOrbaStore, LogonAndLogoffTwiceDoNothingTheSecondTime) {
  LogOn("MSPST MS");
  session_->Set_Active(true);
  TVoMAPIEntryID storeId = session_->GetDefaultMsgStoreID();
  session_->Logoff();
  session_->Set_Active(false);
  EXPECT_EQ(events_->text, "BeforeLogon AfterLogon BeforeLogoff AfterLogoff ");
  // A second logon is a new MAPI session that finds the same store; the thread has no
  // session left afterwards.
  session_->Logon();
  EXPECT_TRUE(session_->CompareEntryIDs(session_->GetDefaultMsgStoreID(), storeId));
  EXPECT_MAPI_ERROR(session_->Set_MAPIClient(u"Orba Store"), E_FAIL,
                    "TSession.SetMAPIClient failed, because the session is already active. Please logoff first!");
  EXPECT_EQ(session_->Get_MAPIClient(), u"");
  session_->Set_Active(false);
  VoMAPIUninitialize(false);
}

TEST_F(SessionOnOrbaStore, ExchangeProfileIsDetectedWithItsServerAndPublicFolders) {
  LogOn("MSEMS");
  ComPtr<IVoMAPISessionInfo> info = session_->GetSessionInfo();
  EXPECT_TRUE(info->Get_ConnectedToExchange());
  EXPECT_EQ(info->Get_ServerName(), u"mail1");
  ULONG type = 0;
  EXPECT_TRUE(session_->OpenEntryEx(session_->GetPublicFoldersMsgStoreID(), &IID_IMsgStore, 0, type));
  EXPECT_FALSE(session_->CompareEntryIDs(session_->GetPublicFoldersMsgStoreID(), session_->GetDefaultMsgStoreID()));
}

TEST_F(SessionOnOrbaStore, UnconfiguredMailboxProfileIsMarkedCheckedWithItsFlagsKept) {
  LogOn("MSEMS", "");  // the mailbox cannot open: the logon repairs what it can, then restores
  ASSERT_TRUE(session_->Get_Active());
  TVoMAPIEntryID global = BinToEntryID(16, pbGlobalProfileSectionGuid.ab);
  ComPtr<IVoMAPIProp> section = session_->OpenProfileSection(global, alReadOnly);
  EXPECT_EQ(section->PropByName(PR_KEYWORD)->Get_AsString(), u"Checked");
  EXPECT_EQ(section->PropByName(PR_PROFILE_CONNECT_FLAGS)->Get_AsInteger(), 0);
  EXPECT_MAPI_ERROR(session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alReadOnly), MAPI_E_LOGON_FAILED,
                    "TSession.OpenMsgStore failed!\r\nOpenMsgStore has insufficient configuration information to "
                    "open the message store without the user's help.");
}

TEST_F(SessionOnOrbaStore, ShutdownNotificationLogsOffUnlessTheSessionIsItsOwn) {
  test::CreateProfile("Work", "MSPST MS", home_.Home());
  for (bool newSession : {false, true}) {
    auto session = MakeComObject<TSession>();
    session->Get_LogonInfo()->Set_NewSession(newSession);
    session->Logon();
    orba::MAPIUninitialize();  // MAPI ends every session and tells their sinks
    EXPECT_EQ(bool(session->Get_Active()), newSession);
    if (newSession) {
      EXPECT_MAPI_ERROR(session->GetDefaultMsgStoreID(), MAPI_E_END_OF_SESSION,
                        "TSession.GetMsgStoresTable has raised the following exception:\r\n"
                        "MAPI_E_END_OF_SESSION (-2147220992=0x80040200)");
      session->Logoff();
    }
    ASSERT_EQ(orba::MAPIInitialize(nullptr), S_OK);  // MAPI again for the next round
  }
}

TEST_F(SessionOnOrbaStore, BadInputAnswersWithTheLibrarysExceptions) {
  LogOn("MSPST MS");
  ULONG type = 0;
  const TVoMAPIEntryID empty = TVoVariant(TVoVariant::ByteArray{});
  for (const TVoMAPIEntryID& id : {TVoVariant::Null(), empty})
    EXPECT_MAPI_ERROR(session_->OpenEntryEx(id, nullptr, 0, type), E_INVALIDARG,
                      "An invalid (empty) EntryID was specified!");
  EXPECT_MAPI_ERROR(session_->CompareEntryIDs(TVoVariant(u"text"), empty), MAPI_E_INVALID_ENTRYID,
                    "TSession.CompareEntryIDs has raised the following exception:\r\n"
                    "The given EntryID is not a valid EntryID! (-2147221241)");

  const TVoMAPIEntryID garbage = TVoVariant(TVoVariant::ByteArray{1, 2, 3});
  // Orba Store's extended error explains the failure.
  EXPECT_THAT(test::MessageOf([&] { session_->OpenEntryEx(garbage, nullptr, 0, type); }),
              testing::MatchesRegex("Component Orba Store caused: .+ \\(TSession\\.OpenEntry\\)"));
  EXPECT_THAT(test::MessageOf([&] { session_->OpenMAPIMsgStore(garbage, alReadOnly); }),
              testing::MatchesRegex("Component Orba Store caused: .+ \\(TSession\\.GetMsgStore\\)"));

  // An entry that no longer exists: FindEntryEx answers none, OpenEntryEx raises.
  ComPtr<IUnknown> store = session_->OpenEntryEx(session_->GetDefaultMsgStoreID(), nullptr, MAPI_BEST_ACCESS, type);
  auto storeProps =
      MakeComObject<TVoMAPIProp>(nullptr, session_.get(), store.Query<IMAPIProp>(IID_IMAPIProp), alReadWrite);
  ComPtr<IMAPIFolder> subtree = session_
                                    ->OpenEntryEx(storeProps->PropByName(PR_IPM_SUBTREE_ENTRYID)->Get_Value(),
                                                  &IID_IMAPIFolder, MAPI_MODIFY, type)
                                    .Query<IMAPIFolder>(IID_IMAPIFolder);
  ComPtr<IMAPIFolder> folder;
  ASSERT_EQ(subtree->CreateFolder(FOLDER_GENERIC, test::Text("Gone"), nullptr, nullptr, 0, folder.Out()), S_OK);
  auto folderProps = MakeComObject<TVoMAPIProp>(nullptr, session_.get(), ComPtr<IMAPIProp>(folder.get()), alReadOnly);
  TVoMAPIEntryID goneId = folderProps->Get_EntryID();
  std::vector<BYTE> bytes = EntryIDToArr(goneId);
  ASSERT_EQ(subtree->DeleteFolder(ULONG(bytes.size()), reinterpret_cast<LPENTRYID>(bytes.data()), 0, nullptr, 0), S_OK);
  EXPECT_FALSE(session_->FindEntryEx(goneId, nullptr, 0, type));
  EXPECT_MAPI_ERROR(session_->OpenEntryEx(goneId, nullptr, 0, type), MAPI_E_NOT_FOUND,
                    "TSession.OpenEntry failed!\r\nThere is not an object associated with the entry identifier "
                    "passed in lpEntryID.");

  EXPECT_MAPI_ERROR(session_->OpenProfileSection(garbage, alReadOnly), E_INVALIDARG,
                    "An invalid ProfileUID was provided!");
  EXPECT_MAPI_ERROR(session_->RegisterProp(u"X", TVoVariant(u"name"), PT_LONG, false, GUID_NULL), E_INVALIDARG,
                    "TSession.RegisterProp failed!\r\nA standard property needs a number from 0 to 65535.");
  EXPECT_MAPI_ERROR(session_->CreateFolderDialog(), E_FAIL,
                    "TSession.CreateFolderDialog failed!\r\nNo folder dialog has been registered. Link one of the "
                    "two folder-dialog units of the user-interface add-on, which register themselves with "
                    "SetCreateFolderDialogProc.");
  IVoMAPISession* asked = nullptr;
  SetCreateFolderDialogProc([&](IVoMAPISession* Session) {
    asked = Session;
    return ComPtr<IVoMAPIFolderDialog>();
  });
  session_->CreateFolderDialog();
  SetCreateFolderDialogProc(nullptr);
  EXPECT_EQ(asked, static_cast<IVoMAPISession*>(session_.get()));
  // Orba Store's spooler offers no status object to flush.
  EXPECT_MAPI_ERROR(session_->FlushQueues(FLUSH_UPLOAD), MAPI_E_NO_SUPPORT,
                    "TSession.FlushQueues failed!\r\nThe MAPI Spooler does not support this operation!");
}

TEST_F(SessionOnOrbaStore, ObjectsReleasedAfterTheLibraryWasUnloadedDoNotCrash) {
  LogOn("MSPST MS");
  ComPtr<IMAPITable> stores;
  ASSERT_EQ(session_->MAPISession()->GetMsgStoresTable(0, stores.Out()), S_OK);
  ULONG type = 0;
  ComPtr<IUnknown> store = session_->OpenEntryEx(session_->GetDefaultMsgStoreID(), nullptr, 0, type);
  session_->Logoff();
  VoMAPIUninitialize(false);  // loaded with UnloadOnUninit: the library goes
  ASSERT_EQ(VoMAPIModule(), nullptr);
  ULONG rows = 0;
  stores->GetRowCount(0, &rows);  // the library's code is still mapped to answer
  stores = nullptr;
  store = nullptr;
}

TEST_F(SessionOnOrbaStore, SimpleMAPISessionRefusesExtendedOperations) {
  test::CreateProfile("Work", "MSPST MS", home_.Home());  // Orba Store's Simple MAPI logs on for real
  VoMAPIUninitialize(false);
  VoMAPIInitialize(false, false, false, true);  // Simple MAPI on this thread
  session_->Get_LogonInfo()->Set_UseExtendedMAPI(false);
  session_->Logon();
  EXPECT_EQ(session_->MAPISession(), nullptr);
  EXPECT_FALSE(session_->GetSessionInfo()->Get_ExtendedMAPI());
  EXPECT_MAPI_ERROR(session_->GetDefaultMsgStoreID(), MAPI_E_NO_SUPPORT,
                    "The GetDefaultMsgStoreID can only be used in combination with Extended MAPI!");
  session_->Logoff();
}

// The library's Simple MAPI path logs on to Orba Store's Simple MAPI and finds, through
// the loader, a message it sent itself; a closed handle is refused.
TEST_F(SessionOnOrbaStore, SimpleMAPILogonFindsItsOwnMailThroughTheLoader) {
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
  const LHANDLE closed = simple;
  VoMAPILogoff(0, 0, session, simple);
  EXPECT_EQ(simple, LHANDLE{0});
  EXPECT_THROW(orba::MAPIFindNext(closed, 0, nullptr, nullptr, 0, 0, id), EMAPI_INVALID_SESSION);
}

TEST(SessionClient, TheChosenClientsLibraryServesTheLogon) {
  test::TempHome home;
  auto session = MakeComObject<TSession>();
  session->Set_MAPIClient(u"Orba Store");  // loads it, to be unloaded with the last thread
  EXPECT_EQ(session->Get_MAPIClient(), u"Orba Store");
  const WideString file = VoCurrentMAPIDllFileName();
  EXPECT_EQ(file.substr(file.rfind(u'/') + 1), u"liborbastore.so");
  VoMAPIInitialize(false, false, true, true);
  test::CreateProfile("Work", "MSPST MS", home.Home());
  session->Logon();
  EXPECT_EQ(session->GetSessionInfo()->Get_ProfileName(), u"Work");
  session->Logoff();
  VoMAPIUninitialize(false);
  EXPECT_EQ(VoMAPIModule(), nullptr);
}

}  // namespace
