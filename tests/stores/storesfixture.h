// The stores tests' fixture: a session logged on to a profile with alice's mailbox of
// Orba Store in a temporary ORBA_HOME, its default store opened through the library,
// and small helpers to build folders and messages through the library's wrappers.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/mapierror.h"
#include "common/temphome.h"
#include "integration/orbaprofile.h"
#include "orba/VoMAPIMsgStore.h"
#include "orba/VoOrbaMAPI.h"
#include "orba/common/utf8.h"

namespace orba::test {

// The property side of a library object.
inline ComPtr<IVoMAPIProp> Props(IUnknown* Object) {
  return ComPtr<IUnknown>(Object).Query<IVoMAPIProp>(IID_IVoMAPIProp);
}

inline std::string NameOf(IUnknown* Object) {
  return ToUtf8(Props(Object)->PropByName(PR_DISPLAY_NAME)->Get_AsString());
}

inline TVoMAPIEntryID IdOf(IUnknown* Object) { return Props(Object)->Get_EntryID(); }

// A message of MessageClass (empty: the folder's) with Subject, saved in Folder.
inline ComPtr<IVoMAPIMessage> SaveMessage(IVoMAPIFolder* Folder, const WideString& Subject,
                                          const WideString& MessageClass = u"") {
  ComPtr<IVoMAPIMessage> message = Folder->CreateMessage(MessageClass);
  message->Set_Subject(Subject);
  Props(message.get())->SaveChanges(smKeepOpenReadWrite);
  return message;
}

// The number of rows of a table (none counts 0).
inline int32_t RowsOf(const ComPtr<IVoMAPITable>& Table) { return Table ? Table->Get_RowCount() : 0; }

class StoresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOrbaStore();
    CreateProfile("Work", "MSEMS", home_.Home());
    session_->Logon();
    store_ = session_->OpenDefaultMsgStore(alBestAccess, false);
  }
  void TearDown() override {
    store_ = nullptr;
    session_ = nullptr;
    if (VoMAPIInitialized()) VoMAPIUninitialize(true);
  }

  ComPtr<IVoMAPIFolder> Subtree() { return store_->OpenFolderByType(ftIPMRoot, alReadWrite, false); }
  ComPtr<IVoMAPIFolder> Inbox() { return store_->OpenFolderByType(ftInbox, alReadWrite, false); }
  ComPtr<IVoMAPIFolder> Folder(const WideString& Path) { return store_->OpenFolderByPath(Path, alReadWrite, false); }

  TempHome home_;
  ComPtr<TSession> session_ = MakeComObject<TSession>();
  ComPtr<IVoMAPIMsgStore> store_;
};

}  // namespace orba::test
