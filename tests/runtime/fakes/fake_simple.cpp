// A test double of a Simple MAPI client library with steerable results and counters.
#include "fakecontrol.h"
#include "mapi/simplemapi.h"

FAKE_EXPORT ULONG MAPILogon(ULONG_PTR, LPSTR profile, LPSTR, FLAGS, ULONG, LPLHANDLE session) {
  fake::Count("MAPILogon");
  fake::Texts()["logon.profile"] = fake::Arg(profile, false);
  *session = static_cast<LHANDLE>(fake::Get("logon.handle"));
  return static_cast<ULONG>(fake::Get("logon.result"));
}

FAKE_EXPORT ULONG MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
  fake::Count("MAPILogoff");
  fake::Values()["logoff.handle"] = static_cast<long>(session);
  return static_cast<ULONG>(fake::Get("logoff.result"));
}

FAKE_EXPORT ULONG MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG) {
  fake::Count("MAPISendMail");
  return static_cast<ULONG>(fake::Get("send.result"));
}
