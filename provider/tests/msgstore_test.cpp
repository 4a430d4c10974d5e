// IMsgStore and IMAPIFolder of a personal store file through the session: the store's
// properties, folder error codes, persistence, notifications, the contents table, the
// receive folder and bad entry IDs.
#include <gtest/gtest.h>

#include "mapiobjects/folder.h"
#include "mapiobjects/openstore.h"
#include "session/storeentryid.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

class MsgStore : public TStoreSessionTest {
 protected:
  ComPtr<IMAPIFolder> Subtree() { return OpenFolder(store_.get(), Binary(store_.get(), tags::kIpmSubtreeEntryId)); }
};

TEST_F(MsgStore, LogonCreatesThePersonalFileAndAnswersStoreProperties) {
  EXPECT_TRUE(std::filesystem::exists(home_.Path() / "files" / "mail.pst"));
  EXPECT_EQ(EntryIdOf(store_.get()), storeId_);
  EXPECT_TRUE(SameUid(Binary(store_.get(), tags::kMdbProvider), kPstMdbProvider));
  ULONG mask = Long(store_.get(), tags::kStoreSupportMask);
  EXPECT_TRUE(mask & STORE_NOTIFY_OK);
  EXPECT_TRUE(mask & STORE_UNICODE_OK);
  TOpened root = Open(store_.get(), {}, 0);
  ASSERT_EQ(root.hr, S_OK);
  EXPECT_EQ(root.type, ULONG{MAPI_FOLDER});
}

TEST_F(MsgStore, FolderErrorCodes) {
  auto subtree = Subtree();
  auto a = NewFolder(subtree.get(), u"Projects");
  ComPtr<IMAPIFolder> out;
  EXPECT_EQ(subtree->CreateFolder(FOLDER_GENERIC, A("PROJECTS"), nullptr, nullptr, 0, out.Out()), MAPI_E_COLLISION);
  EXPECT_EQ(EntryIdOf(Child(subtree.get(), u"projects").get()), EntryIdOf(a.get()));
  NewFolder(a.get(), u"Child");
  Bytes aId = EntryIdOf(a.get());
  EXPECT_TRUE(Long(a.get(), tags::kSubfolders));
  // Renaming onto a sibling's name collides.
  NewFolder(subtree.get(), u"Other");
  SPropValue rename{tags::kDisplayNameA, 0, {}};
  rename.Value.lpszA = A("other");
  EXPECT_EQ(Set(a.get(), {rename}), MAPI_E_COLLISION);
  EXPECT_EQ(subtree->DeleteFolder(Cb(aId), Id(aId), 0, nullptr, DEL_FOLDERS | DEL_MESSAGES), S_OK);
  EXPECT_EQ(subtree->CreateFolder(FOLDER_GENERIC, nullptr, nullptr, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(subtree->CreateFolder(FOLDER_GENERIC, A("X"), nullptr, nullptr, 0x8000, out.Out()), MAPI_E_UNKNOWN_FLAGS);
}

TEST_F(MsgStore, FoldersPersistAcrossLogons) {
  NewFolder(Subtree().get(), u"Kept");
  Logoff();
  Logon();
  Names names = Subfolders(Subtree().get());
  EXPECT_NE(std::find(names.begin(), names.end(), u"Kept"), names.end());
}

TEST_F(MsgStore, AdviseDeliversObjectEvents) {
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(0, nullptr, fnevObjectCreated | fnevObjectDeleted, sink.get(), &connection), S_OK);
  auto subtree = Subtree();
  Bytes id = EntryIdOf(NewFolder(subtree.get(), u"Watched").get());
  ASSERT_EQ(subtree->DeleteFolder(Cb(id), Id(id), 0, nullptr, 0), S_OK);
  EXPECT_EQ(sink->Types(), (std::vector<ULONG>{fnevObjectCreated, fnevObjectDeleted}));
  EXPECT_EQ(store_->Unadvise(connection), S_OK);
  EXPECT_EQ(store_->Unadvise(connection), MAPI_E_NOT_FOUND);
}

TEST_F(MsgStore, BadEntryIdsAreRefused) {
  EXPECT_EQ(Open(store_.get(), Bytes(5, 0), 0).hr, MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(Open(store_.get(), MakeEntryId(kPstMdbProvider, TObjectKind::Folder, 1), 0).hr, MAPI_E_UNKNOWN_ENTRYID);
  Bytes subtree = Binary(store_.get(), tags::kIpmSubtreeEntryId);
  EXPECT_TRUE(SameEntry(store_.get(), subtree, subtree));
  EXPECT_EQ(Open(store_.get(), {}, 0x8000).hr, MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(store_->GetOutgoingQueue(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(store_->SetLockState(nullptr, 0), MAPI_E_NO_SUPPORT);
}

TEST_F(MsgStore, ContentsTableFollowsMessagesAndReadFlags) {
  auto open = TOpenStore::OpenAt(home_.File("files/mail.pst")).at(0);
  TStoreEngine& engine = open->Engine();
  int64_t inbox = engine.Folders().SpecialFolderId(TSpecialFolder::Inbox);
  auto folder = OpenFolderObject(open, inbox, TAccessMode::ReadWrite);
  auto table = ContentsOf(folder.get());
  int64_t id = engine.Messages().Create(inbox, false, {});
  open->Changed({fnevObjectCreated, TObjectKind::Message, id, inbox});
  EXPECT_EQ(RowCount(table.get()), 1u);
  EXPECT_EQ(Long(folder.get(), tags::kContentCount), 1u);
  std::vector<Bytes> ids{engine.EntryId(TObjectKind::Message, id)}, mixed{ids[0], Bytes(3, 0)};
  TEntryList list(ids), mixedList(mixed);
  ASSERT_EQ(folder->SetReadFlags(&list.list, 0, nullptr, 0), S_OK);
  EXPECT_TRUE(engine.Messages().Get(id).flags & MSGFLAG_READ);
  EXPECT_EQ(folder->SetReadFlags(&mixedList.list, 0, nullptr, CLEAR_READ_FLAG), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_FALSE(engine.Messages().Get(id).flags & MSGFLAG_READ);
  ASSERT_EQ(folder->DeleteMessages(&list.list, 0, nullptr, 0), S_OK);
  EXPECT_EQ(RowCount(table.get()), 0u);
}

TEST_F(MsgStore, ReceiveFolderOfTheDefaultClassIsTheInbox) {
  auto receiveFolder = [&](const char* messageClass, std::string& found) {
    ULONG cb = 0;
    LPENTRYID id = nullptr;
    LPTSTR cls = nullptr;
    EXPECT_EQ(store_->GetReceiveFolder(A(messageClass), 0, &cb, &id, &cls), S_OK);
    Bytes bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb);
    found = reinterpret_cast<char*>(cls);
    MAPIFreeBuffer(id);
    MAPIFreeBuffer(cls);
    return bytes;
  };
  std::string cls;
  EXPECT_EQ(receiveFolder("IPM.Note", cls), inboxId_);
  EXPECT_EQ(cls, "IPM");  // the standard set routes IPM to the Inbox
  Bytes custom = EntryIdOf(NewFolder(Subtree().get(), u"Reports").get());
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Report"), 0, Cb(custom), Id(custom)), S_OK);
  EXPECT_EQ(receiveFolder("IPM.Report.Delivery", cls), custom);
  EXPECT_EQ(cls, "IPM.Report");
  EXPECT_EQ(receiveFolder("IPM.Reporting", cls), inboxId_);  // a prefix of whole words only
}

}  // namespace
}  // namespace orba::store
