// Simple MAPI, as a program written for it elsewhere calls it, against Orba Store: logs
// on to a profile with MAPILogon, sends a note to the mailbox's own address, finds the
// unread mail of the Inbox with MAPIFindNext and reads it back with MAPIReadMail. The
// library's bindings raise its exceptions where Simple MAPI answers a failure code.
#include <cstdio>

#include <orba/orbamapi.h>

#include "example_profile.h"

using namespace orba;

int main() {
  auto text = [](const char* value) { return const_cast<char*>(value); };
  try {
    // Orba Store is loaded and initialised to make the profile through its administration.
    auto session = MakeComObject<TSession>();
    WideString library;  // empty: the default mail client
    bool16 extended;
    session->MAPILoad(library, extended);
    session->MAPIInitialize();
    example::CreateMailboxProfile("Simple", "alice", "mail1");

    LHANDLE simple = 0;
    MAPILogon(0, text("Simple"), nullptr, 0, 0, &simple);
    MapiRecipDesc to{0, MAPI_TO, text("Alice"), text("SMTP:alice@orba.example"), 0, nullptr};
    MapiMessage note{0, text("Lunch"), text("At noon?"), nullptr, nullptr, nullptr, 0, nullptr, 1, &to, 0, nullptr};
    MAPISendMail(simple, 0, &note, 0, 0);

    char id[64] = "";
    int found = 0;
    for (char* seed = nullptr;; seed = id) {
      try {
        MAPIFindNext(simple, 0, nullptr, seed, MAPI_UNREAD_ONLY | MAPI_GUARANTEE_FIFO, 0, id);
      } catch (const EMAPI_NO_MESSAGES&) {
        break;  // the end of the Inbox
      }
      lpMapiMessage mail = nullptr;
      MAPIReadMail(simple, 0, id, MAPI_PEEK, 0, &mail);
      std::printf("Unread: \"%s\" from %s, received %s: %s\n", mail->lpszSubject,
                  mail->lpOriginator ? mail->lpOriginator->lpszName : "(unknown)", mail->lpszDateReceived,
                  mail->lpszNoteText);
      MAPIFreeBuffer(mail);
      ++found;
    }
    std::printf("%d unread message(s)\n", found);
    MAPILogoff(simple, 0, 0, 0);
    session->MAPIUnitialize();
  } catch (const EVoException& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
