// The examples' profile: a profile with a mailbox of Orba Store's information store,
// made through MAPI's profile administration, and a session logged on to it.
#pragma once

#include <orba/orbamapi.h>

namespace example {

// A profile named Name with an "MSEMS" mailbox service: the mailbox Mailbox on the
// server Server. A profile made by an earlier run is kept.
inline void CreateMailboxProfile(const char* Name, const char* Mailbox, const char* Server) {
  using namespace orba;
  auto text = [](const char* value) { return const_cast<char*>(value); };
  ComPtr<IProfAdmin> admin;
  CheckMAPIResult(u"example", u"MAPIAdminProfiles", MAPIAdminProfiles(0, admin.Out()));
  HRESULT hr = admin->CreateProfile(text(Name), nullptr, 0, 0);
  if (hr == MAPI_E_NO_ACCESS) return;  // made by an earlier run
  CheckMAPIResult(u"example", u"CreateProfile", hr);
  ComPtr<IMsgServiceAdmin> services;
  CheckMAPIResult(u"example", u"AdminServices", admin->AdminServices(text(Name), nullptr, 0, 0, services.Out()));
  CheckMAPIResult(u"example", u"CreateMsgService", services->CreateMsgService(text("MSEMS"), text("Mailbox"), 0, 0));

  // The new service is the profile's only one; its UID configures it.
  ComPtr<IMAPITable> table;
  CheckMAPIResult(u"example", u"GetMsgServiceTable", services->GetMsgServiceTable(0, table.Out()));
  SizedSPropTagArray<1> columns{1, {GetPropTag(PR_SERVICE_UID)}};
  TVoMAPIRows rows;
  CheckMAPIResult(u"example", u"HrQueryAllRows",
                  HrQueryAllRows(table.get(), columns.Ptr(), nullptr, nullptr, 0, rows.Out()));
  MAPIUID uid = EntryIDToUID(BinToEntryID(LONG(rows[0].lpProps[0].Value.bin.cb), rows[0].lpProps[0].Value.bin.lpb));
  SPropValue settings[2]{};
  settings[0].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_NAME);
  settings[0].Value.lpszA = text(Mailbox);
  settings[1].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_SERVER);
  settings[1].Value.lpszA = text(Server);
  CheckMAPIResult(u"example", u"ConfigureMsgService", services->ConfigureMsgService(&uid, 0, 0, 2, settings));
}

// Loads and initialises MAPI for Session (the default mail client: Orba Store), makes
// the profile Name with the mailbox Mailbox on Server unless it exists, and logs on to
// it. Loading and initialising would also happen at logon; the profile comes first.
inline void LogonToMailbox(orba::TSession& Session, const char* Name, const char* Mailbox, const char* Server) {
  using namespace orba;
  WideString library;  // empty: the default mail client
  bool16 extended;
  Session.MAPILoad(library, extended);
  Session.MAPIInitialize();
  CreateMailboxProfile(Name, Mailbox, Server);
  Session.Get_LogonInfo()->Set_ProfileName(FromUtf8(Name));
  Session.Get_LogonInfo()->Set_ProfileRequired(true);
  Session.Logon();
}

}  // namespace example
