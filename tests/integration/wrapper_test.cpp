// The property wrapper over objects of the real Orba Store: a personal store file is
// opened through a session and its folders are read and written through TVoMAPIProp.
#include <gtest/gtest.h>

#include "common/temphome.h"
#include "integration/orbaprofile.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoOrbaMAPI.h"

namespace {

using namespace orba;

using test::Text;

class WrapperOnOrbaStore : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadOrbaStore();
    test::CreateProfile("Work", "MSPST MS", home_.Home());
    session_->Logon();
    store_ = session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alReadWrite);
  }
  void TearDown() override {
    store_ = nullptr;
    session_ = nullptr;
    if (VoMAPIInitialized()) VoMAPIUninitialize(true);
  }

  ComPtr<IMAPIFolder> OpenFolder(const TVoMAPIEntryID& id) {
    std::vector<uint8_t> bytes = EntryIDToArr(id);
    ULONG type = 0;
    ComPtr<IUnknown> folder;
    EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(bytes.size()), reinterpret_cast<LPENTRYID>(bytes.data()),
                                &IID_IMAPIFolder, MAPI_MODIFY, &type, folder.Out()),
              S_OK);
    return folder.Query<IMAPIFolder>(IID_IMAPIFolder);
  }
  ComPtr<TVoMAPIProp> Wrap(IMAPIProp* object) {
    return MakeComObject<TVoMAPIProp>(nullptr, session_.get(), ComPtr<IMAPIProp>(object), alReadWrite);
  }

  test::TempHome home_;
  ComPtr<TSession> session_ = MakeComObject<TSession>();
  ComPtr<IMsgStore> store_;
};

TEST_F(WrapperOnOrbaStore, ReadsAndWritesFolderPropertiesIncludingNamedOnes) {
  auto store = Wrap(store_.get());
  ASSERT_FALSE(EntryIDToArr(store->Get_EntryID()).empty());
  TVoMAPIEntryID subtreeId = store->PropByName(PR_IPM_SUBTREE_ENTRYID)->Get_AsList();
  ComPtr<IMAPIFolder> subtree = OpenFolder(subtreeId);
  ASSERT_TRUE(subtree);

  ComPtr<IMAPIFolder> created;
  ASSERT_EQ(subtree->CreateFolder(FOLDER_GENERIC, Text("Projects"), nullptr, nullptr, 0, created.Out()), S_OK);
  auto folder = Wrap(created.get());
  EXPECT_EQ(folder->PropByName(PR_DISPLAY_NAME)->Get_AsString(), u"Projects");
  folder->PropByName(PR_COMMENT)->Set_AsString(u"Plans \u00FC\u20AC");
  folder->PropByName(NPR_CONTACT_FILEUNDER)->Set_AsString(u"Filed");
  folder->SaveChanges(smKeepOpenReadWrite);

  // A fresh wrapper over a fresh open of the same folder sees both values.
  auto reopened = Wrap(OpenFolder(folder->Get_EntryID()).get());
  const TVoMAPIPropDef defs[] = {PR_COMMENT, NPR_CONTACT_FILEUNDER, PR_DISPLAY_NAME};
  reopened->GetPropValues(defs, 3);
  EXPECT_EQ(reopened->PropByName(PR_COMMENT)->Get_AsString(), u"Plans \u00FC\u20AC");
  EXPECT_EQ(reopened->PropByName(NPR_CONTACT_FILEUNDER)->Get_AsString(), u"Filed");
  EXPECT_TRUE(reopened->HasProp(NPR_CONTACT_FILEUNDER));
  EXPECT_FALSE(reopened->HasProp(PR_BODY));
}

TEST_F(WrapperOnOrbaStore, FailuresOfTheStoreReachTheCallerAsMAPIExceptions) {
  auto store = Wrap(store_.get());
  ComPtr<IMAPIFolder> subtree = OpenFolder(store->PropByName(PR_IPM_SUBTREE_ENTRYID)->Get_AsList());
  ComPtr<IMAPIFolder> first, second;
  ASSERT_EQ(subtree->CreateFolder(FOLDER_GENERIC, Text("A"), nullptr, nullptr, 0, first.Out()), S_OK);
  ASSERT_EQ(subtree->CreateFolder(FOLDER_GENERIC, Text("B"), nullptr, nullptr, 0, second.Out()), S_OK);
  // Renaming B to A collides; folders store their changes at once.
  auto folder = Wrap(second.get());
  folder->PropByName(PR_DISPLAY_NAME)->Set_AsString(u"A");
  try {
    folder->SaveChanges(smKeepOpenReadWrite);
    FAIL() << "a colliding rename was accepted";
  } catch (const EMAPI_COLLISION& e) {
    EXPECT_EQ(e.Code(), MAPI_E_COLLISION);
    EXPECT_EQ(e.Message().rfind(u"TVoMAPIProp.", 0), 0u);
  }
}

}  // namespace
