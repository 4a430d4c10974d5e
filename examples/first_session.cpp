// The first program: creates a profile with a mailbox of Orba Store's information
// store, logs on to it with TSession, opens the default store and prints the stores of
// the profile. Files go to $ORBA_HOME (default ~/.local/share/orbamapi); running it again
// uses the profile made the first time.
#include <cstdio>

#include <orba/orbamapi.h>

using namespace orba;

namespace {

LPTSTR Text(const char* text) { return const_cast<char*>(text); }

// A profile named Name with an "MSEMS" mailbox service: the mailbox Mailbox on the
// server Server. MAPI must be loaded and initialised.
void CreateMailboxProfile(const char* Name, const char* Mailbox, const char* Server) {
  ComPtr<IProfAdmin> admin;
  CheckMAPIResult(u"first_session", u"MAPIAdminProfiles", MAPIAdminProfiles(0, admin.Out()));
  HRESULT hr = admin->CreateProfile(Text(Name), nullptr, 0, 0);
  if (hr == MAPI_E_NO_ACCESS) return;  // made by an earlier run
  CheckMAPIResult(u"first_session", u"CreateProfile", hr);
  ComPtr<IMsgServiceAdmin> services;
  CheckMAPIResult(u"first_session", u"AdminServices", admin->AdminServices(Text(Name), nullptr, 0, 0, services.Out()));
  CheckMAPIResult(u"first_session", u"CreateMsgService",
                  services->CreateMsgService(Text("MSEMS"), Text("Mailbox"), 0, 0));

  // The new service is the profile's only one; its UID configures it.
  ComPtr<IMAPITable> table;
  CheckMAPIResult(u"first_session", u"GetMsgServiceTable", services->GetMsgServiceTable(0, table.Out()));
  SizedSPropTagArray<1> columns{1, {GetPropTag(PR_SERVICE_UID)}};
  TVoMAPIRows rows;
  CheckMAPIResult(u"first_session", u"HrQueryAllRows",
                  HrQueryAllRows(table.get(), columns.Ptr(), nullptr, nullptr, 0, rows.Out()));
  MAPIUID uid = EntryIDToUID(BinToEntryID(LONG(rows[0].lpProps[0].Value.bin.cb), rows[0].lpProps[0].Value.bin.lpb));
  SPropValue settings[2]{};
  settings[0].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_NAME);
  settings[0].Value.lpszA = Text(Mailbox);
  settings[1].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_SERVER);
  settings[1].Value.lpszA = Text(Server);
  CheckMAPIResult(u"first_session", u"ConfigureMsgService", services->ConfigureMsgService(&uid, 0, 0, 2, settings));
}

// Prints the stores of the session's profile, the default one marked.
void PrintStores(TSession& Session) {
  ComPtr<IVoMAPITable> stores = Session.GetMsgStoresTable();
  stores->SetFields({PR_DISPLAY_NAME_W, PR_DEFAULT_STORE});
  ComPtr<IVoMAPITableField> name = stores->FieldByName(PR_DISPLAY_NAME_W);
  ComPtr<IVoMAPITableField> isDefault = stores->FieldByName(PR_DEFAULT_STORE);
  std::printf("Stores of the profile:\n");
  for (stores->First(); !stores->Get_EOF(); stores->Next())
    std::printf("  %s%s\n", ToUtf8(name->Get_AsString()).c_str(), isDefault->Get_AsBoolean() ? " (default)" : "");
}

}  // namespace

int main() {
  try {
    auto session = MakeComObject<TSession>();
    // Loading and initialising MAPI would also happen at logon; the profile comes first.
    WideString library;  // empty: the default mail client, Orba Store
    bool16 extended;
    session->MAPILoad(library, extended);
    session->MAPIInitialize();
    CreateMailboxProfile("First", "alice", "mail1");

    session->Get_LogonInfo()->Set_ProfileName(u"First");
    session->Get_LogonInfo()->Set_ProfileRequired(true);
    session->Logon();
    std::printf("Logged on to \"%s\" (Exchange: %s, server %s)\n",
                ToUtf8(session->GetSessionInfo()->Get_ProfileName()).c_str(),
                session->GetSessionInfo()->Get_ConnectedToExchange() ? "yes" : "no",
                ToUtf8(session->GetSessionInfo()->Get_ServerName()).c_str());

    // The default store, opened through the session and read through the property wrapper.
    ULONG type = 0;
    ComPtr<IUnknown> opened =
        session->OpenEntryEx(session->GetDefaultMsgStoreID(), &IID_IMsgStore, MAPI_BEST_ACCESS, type);
    auto store =
        MakeComObject<TVoMAPIProp>(nullptr, session.get(), opened.Query<IMAPIProp>(IID_IMAPIProp), alReadWrite);
    std::printf("Default store: %s\n", ToUtf8(store->PropByName(PR_DISPLAY_NAME)->Get_AsString()).c_str());
    PrintStores(*session);

    session->Logoff();
    session->MAPIUnitialize();
  } catch (const EVoException& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
