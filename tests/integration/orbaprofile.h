// Profiles of Orba Store for the integration tests, made through the loaded library's
// profile administration (MAPI loaded and initialised on the thread).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mapi/mapix.h"
#include "orba/VoMAPIBuffer.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPILib.h"
#include "orba/VoMAPIProps.h"
#include "orba/common/comptr.h"

namespace orba::test {

inline LPTSTR Text(const char* text) { return reinterpret_cast<LPTSTR>(const_cast<char*>(text)); }

// Loads Orba Store as the default mail client (unloaded with the last thread) and
// initialises Extended MAPI on the thread as a session does.
inline void LoadOrbaStore() {
  WideString file;
  bool extended = false;
  VoLoadMAPIDLL(file, extended, true);
  ASSERT_TRUE(extended);
  VoMAPIInitialize(false, false, true, true);
}

// Creates the default profile Name with one message service: "MSPST MS" gets the file
// Folder + "/mail.pst"; "MSEMS" the mailbox Mailbox on the server "mail1", or no
// settings at all for an empty Mailbox.
inline void CreateProfile(const char* Name, const char* Service, const std::string& Folder,
                          const char* Mailbox = "alice") {
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(orba::MAPIAdminProfiles(0, admin.Out()), S_OK);
  ASSERT_EQ(admin->CreateProfile(Text(Name), nullptr, 0, 0), S_OK);
  ASSERT_EQ(admin->SetDefaultProfile(Text(Name), 0), S_OK);
  ComPtr<IMsgServiceAdmin> services;
  ASSERT_EQ(admin->AdminServices(Text(Name), nullptr, 0, 0, services.Out()), S_OK);
  ASSERT_EQ(services->CreateMsgService(Text(Service), Text("Mail"), 0, 0), S_OK);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {GetPropTag(PR_SERVICE_UID)}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  TVoMAPIRows rows;
  ASSERT_EQ(table->QueryRows(1, 0, rows.Out()), S_OK);
  ASSERT_EQ(rows.Count(), 1u);
  MAPIUID uid;
  std::memcpy(uid.ab, rows[0].lpProps[0].Value.bin.lpb, sizeof(uid.ab));

  std::string path = Folder + "/mail.pst";
  std::vector<SPropValue> values(2);
  if (std::strcmp(Service, "MSEMS") != 0) {
    values[0].ulPropTag = GetPropTag(PR_PST_PATH_A);
    values[0].Value.lpszA = path.data();
    values.resize(1);
  } else if (*Mailbox) {
    values[0].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_NAME);
    values[0].Value.lpszA = const_cast<char*>(Mailbox);
    values[1].ulPropTag = GetPropTag(PR_PROFILE_UNRESOLVED_SERVER);
    values[1].Value.lpszA = Text("mail1");
  } else {
    return;
  }
  ASSERT_EQ(services->ConfigureMsgService(&uid, 0, 0, ULONG(values.size()), values.data()), S_OK);
}

}  // namespace orba::test
