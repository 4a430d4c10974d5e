// The first program: creates a profile with a mailbox of Orba Store's information
// store, logs on to it with TSession, opens the default store and prints the stores of
// the profile. Files go to $ORBA_HOME (default ~/.local/share/orbamapi); running it again
// uses the profile made the first time.
#include <cstdio>

#include <orba/orbamapi.h>

#include "example_profile.h"

using namespace orba;

namespace {

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
    example::LogonToMailbox(*session, "First", "alice", "mail1");  // see example_profile.h
    std::printf("Logged on to \"%s\" (Exchange: %s, server %s)\n",
                ToUtf8(session->GetSessionInfo()->Get_ProfileName()).c_str(),
                session->GetSessionInfo()->Get_ConnectedToExchange() ? "yes" : "no",
                ToUtf8(session->GetSessionInfo()->Get_ServerName()).c_str());

    // The default store, read through its property side.
    ComPtr<IVoMAPIMsgStore> store = session->OpenDefaultMsgStore(alBestAccess, false);
    ComPtr<IVoMAPIProp> props = store.Query<IVoMAPIProp>(IID_IVoMAPIProp);
    std::printf("Default store: %s\n", ToUtf8(props->PropByName(PR_DISPLAY_NAME)->Get_AsString()).c_str());
    PrintStores(*session);

    session->Logoff();
    session->MAPIUnitialize();
  } catch (const EVoException& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
