// IMsgStore and IMAPIFolder over the store engine: end to end through MAPILogonEx with
// a personal store file, folder operations and their error codes, persistence,
// notifications, contents and hierarchy tables, and bad entry IDs.
#include <gtest/gtest.h>

#include "mapiobjects/folder.h"
#include "mapiobjects/openstore.h"
#include "mapiobjects/storeproviders.h"
#include "props/tags.h"
#include "session/storeentryid.h"
#include "storage/directory.h"
#include "storetestutil.h"
#include "table/mapitable.h"

namespace orba::store {
namespace {

using namespace testing;

class MsgStoreCom : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    path_ = (home_.Path() / "files" / "mail.pst").string();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSPST MS");
  }
  void TearDown() override {
    store_ = nullptr;
    session_ = nullptr;
    MAPIUninitialize();
  }

  void Logon() {
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    OpenDefaultStore(session_.get(), store_, storeId_);
  }
  ComPtr<IMAPIFolder> Open(Bytes id, ULONG flags = MAPI_MODIFY) { return OpenFolder(store_.get(), id, flags); }
  ComPtr<IMAPIFolder> Subtree() { return Open(Binary(store_.get(), tags::kIpmSubtreeEntryId)); }
  ComPtr<IMAPIFolder> Create(IMAPIFolder* parent, const char* name, ULONG flags = 0, HRESULT expected = S_OK) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(parent->CreateFolder(FOLDER_GENERIC, A(name), nullptr, nullptr, flags, folder.Out()), expected);
    return folder;
  }

  TTempStoreHome home_;
  std::string path_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  Bytes storeId_;
};

TEST_F(MsgStoreCom, LogonCreatesThePersonalFileAndAnswersStoreProperties) {
  Logon();
  EXPECT_TRUE(std::filesystem::exists(path_));
  EXPECT_EQ(Binary(store_.get(), tags::kEntryId), storeId_);
  Bytes mdb = Binary(store_.get(), tags::kMdbProvider);
  ASSERT_EQ(mdb.size(), 16u);
  EXPECT_EQ(std::memcmp(mdb.data(), kPstMdbProvider.ab, 16), 0);
  ULONG mask = Long(store_.get(), tags::kStoreSupportMask);
  EXPECT_TRUE(mask & STORE_NOTIFY_OK);
  EXPECT_TRUE(mask & STORE_UNICODE_OK);
  EXPECT_EQ(Long(store_.get(), tags::kObjectType), static_cast<ULONG>(MAPI_STORE));
  for (ULONG tag : {tags::kIpmOutboxEntryId, tags::kIpmWastebasketEntryId, tags::kIpmSentMailEntryId,
                    tags::kFinderEntryId, tags::kCommonViewsEntryId, tags::kViewsEntryId})
    EXPECT_EQ(Long(Open(Binary(store_.get(), tag)).get(), tags::kObjectType), static_cast<ULONG>(MAPI_FOLDER));
  ULONG type = 0;
  ComPtr<IUnknown> root;
  ASSERT_EQ(store_->OpenEntry(0, nullptr, nullptr, 0, &type, root.Out()), S_OK);
  EXPECT_EQ(type, static_cast<ULONG>(MAPI_FOLDER));
}

TEST_F(MsgStoreCom, FolderErrorCodes) {
  Logon();
  auto subtree = Subtree();
  auto a = Create(subtree.get(), "Projects");
  Create(subtree.get(), "PROJECTS", 0, MAPI_E_COLLISION);
  EXPECT_EQ(Binary(Create(subtree.get(), "projects", OPEN_IF_EXISTS).get(), tags::kEntryId),
            Binary(a.get(), tags::kEntryId));
  auto child = Create(a.get(), "Child");
  Bytes aId = Binary(a.get(), tags::kEntryId);
  // Moving a folder below itself is a cycle.
  EXPECT_EQ(subtree->CopyFolder(static_cast<ULONG>(aId.size()), reinterpret_cast<LPENTRYID>(aId.data()), nullptr,
                                child.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(
      subtree->DeleteFolder(static_cast<ULONG>(aId.size()), reinterpret_cast<LPENTRYID>(aId.data()), 0, nullptr, 0),
      MAPI_E_HAS_FOLDERS);
  EXPECT_TRUE(Long(a.get(), tags::kSubfolders));
  // Renaming onto a sibling's name collides.
  Create(subtree.get(), "Other");
  SPropValue rename{};
  rename.ulPropTag = tags::kDisplayNameA;
  rename.Value.lpszA = A("other");
  EXPECT_EQ(a->SetProps(1, &rename, nullptr), MAPI_E_COLLISION);
  EXPECT_EQ(subtree->DeleteFolder(static_cast<ULONG>(aId.size()), reinterpret_cast<LPENTRYID>(aId.data()), 0, nullptr,
                                  DEL_FOLDERS | DEL_MESSAGES),
            S_OK);
  EXPECT_EQ(subtree->CreateFolder(FOLDER_GENERIC, nullptr, nullptr, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  ComPtr<IMAPIFolder> out;
  EXPECT_EQ(subtree->CreateFolder(FOLDER_GENERIC, A("X"), nullptr, nullptr, 0x8000, out.Out()), MAPI_E_UNKNOWN_FLAGS);
}

TEST_F(MsgStoreCom, FoldersPersistAcrossLogons) {
  Logon();
  Create(Subtree().get(), "Kept");
  store_ = nullptr;
  session_->Logoff(0, 0, 0);
  session_ = nullptr;
  Logon();
  ComPtr<IMAPITable> table;
  ASSERT_EQ(Subtree()->GetHierarchyTable(0, table.Out()), S_OK);
  SRestriction restriction{};
  SPropValue name{};
  name.ulPropTag = tags::kDisplayNameA;
  name.Value.lpszA = A("Kept");
  restriction.rt = RES_PROPERTY;
  restriction.res.resProperty = {RELOP_EQ, tags::kDisplayNameA, &name};
  ASSERT_EQ(table->Restrict(&restriction, 0), S_OK);
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
}

TEST_F(MsgStoreCom, AdviseDeliversObjectEvents) {
  Logon();
  auto sink = MakeComObject<TTestSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(0, nullptr, fnevObjectCreated | fnevObjectDeleted, sink.get(), &connection), S_OK);
  auto subtree = Subtree();
  auto folder = Create(subtree.get(), "Watched");
  Bytes id = Binary(folder.get(), tags::kEntryId);
  ASSERT_EQ(subtree->DeleteFolder(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), 0, nullptr, 0),
            S_OK);
  EXPECT_EQ(sink->events, (std::vector<ULONG>{fnevObjectCreated, fnevObjectDeleted}));
  EXPECT_EQ(store_->Unadvise(connection), S_OK);
  EXPECT_EQ(store_->Unadvise(connection), MAPI_E_NOT_FOUND);
}

TEST_F(MsgStoreCom, BadEntryIdsAreRefused) {
  Logon();
  ULONG type = 0;
  ComPtr<IUnknown> object;
  BYTE junk[5] = {};
  EXPECT_EQ(store_->OpenEntry(5, reinterpret_cast<LPENTRYID>(junk), nullptr, 0, &type, object.Out()),
            MAPI_E_INVALID_ENTRYID);
  Bytes foreign = MakeEntryId(kPstMdbProvider, TObjectKind::Folder, 1);
  EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(foreign.size()), reinterpret_cast<LPENTRYID>(foreign.data()), nullptr,
                              0, &type, object.Out()),
            MAPI_E_UNKNOWN_ENTRYID);
  Bytes subtree = Binary(store_.get(), tags::kIpmSubtreeEntryId);
  ULONG same = 0;
  EXPECT_EQ(store_->CompareEntryIDs(static_cast<ULONG>(subtree.size()), reinterpret_cast<LPENTRYID>(subtree.data()),
                                    static_cast<ULONG>(subtree.size()), reinterpret_cast<LPENTRYID>(subtree.data()), 0,
                                    &same),
            S_OK);
  EXPECT_TRUE(same);
  EXPECT_EQ(store_->OpenEntry(0, nullptr, nullptr, 0x4000, &type, object.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(store_->GetOutgoingQueue(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(store_->SetLockState(nullptr, 0), MAPI_E_NO_SUPPORT);
}

TEST_F(MsgStoreCom, ContentsTableFollowsMessagesAndReadFlags) {
  auto open = TOpenStore::Open(path_, TStoreKind::PersonalFile, u"P", Bytes(20, 1), Bytes(20, 2));
  TStoreEngine& engine = open->Engine();
  int64_t inbox = engine.Folders().SpecialFolderId(TSpecialFolder::Inbox);
  auto folder = OpenFolderObject(open, inbox, TAccessMode::ReadWrite);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(folder->GetContentsTable(0, table.Out()), S_OK);
  int64_t id = engine.Messages().Create(inbox, false, {});
  open->Changed({fnevObjectCreated, TObjectKind::Message, id, inbox});
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(Long(folder.get(), tags::kContentCount), 1u);
  Bytes entry = engine.EntryId(TObjectKind::Message, id);
  SBinary bin{static_cast<ULONG>(entry.size()), entry.data()};
  ENTRYLIST list{1, &bin};
  ASSERT_EQ(folder->SetReadFlags(&list, 0, nullptr, 0), S_OK);
  EXPECT_TRUE(engine.Messages().Get(id).flags & MSGFLAG_READ);
  BYTE bad[3] = {};
  SBinary two[2] = {bin, {3, bad}};
  ENTRYLIST mixed{2, two};
  EXPECT_EQ(folder->SetReadFlags(&mixed, 0, nullptr, CLEAR_READ_FLAG), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_FALSE(engine.Messages().Get(id).flags & MSGFLAG_READ);
  ASSERT_EQ(folder->DeleteMessages(&list, 0, nullptr, 0), S_OK);
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(MsgStoreCom, ReceiveFolderOfTheDefaultClassIsTheInbox) {
  Logon();
  ULONG cb = 0;
  LPENTRYID id = nullptr;
  LPTSTR cls = nullptr;
  ASSERT_EQ(store_->GetReceiveFolder(A("IPM.Note"), 0, &cb, &id, &cls), S_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(cls), "IPM");  // the standard set routes IPM to the Inbox
  auto inbox = Open(Bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb));
  MAPIFreeBuffer(id);
  MAPIFreeBuffer(cls);
  auto custom = Create(Subtree().get(), "Reports");
  Bytes customId = Binary(custom.get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Report"), 0, static_cast<ULONG>(customId.size()),
                                     reinterpret_cast<LPENTRYID>(customId.data())),
            S_OK);
  ASSERT_EQ(store_->GetReceiveFolder(A("IPM.Report.Delivery"), 0, &cb, &id, &cls), S_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(cls), "IPM.Report");
  EXPECT_EQ(Bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb), customId);
  MAPIFreeBuffer(id);
  MAPIFreeBuffer(cls);
}

TEST_F(MsgStoreCom, DirectoryKeepsMailboxesAndRefusesUnsafeNames) {
  TDirectoryMailbox entry = TServerDirectory::Register("alice", "mail1");
  EXPECT_EQ(entry.storePath, (home_.Path() / "server" / "alice.db").string());
  EXPECT_EQ(TServerDirectory::Register("ALICE", "other").server, "mail1");
  EXPECT_TRUE(TServerDirectory::Find("Alice").has_value());
  EXPECT_FALSE(TServerDirectory::Find("bob").has_value());
  for (const char* bad : {"", "../evil", "a/b", ".hidden"})
    EXPECT_THROW(TServerDirectory::Register(bad, "srv"), TMapiError) << bad;
}

}  // namespace
}  // namespace orba::store
