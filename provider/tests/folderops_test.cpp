// Folder operations of a personal store through the session: copying and moving
// messages and folders, emptying a folder, message status bits, the receive folder
// table and the object notifications these raise.
#include <gtest/gtest.h>

#include <mapi/edkmdb.h>

#include <algorithm>

#include "mapiobjects/storeproviders.h"
#include "memory/mapimemory.h"
#include "props/tags.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

Bytes BinOf(const SBinary& bin) { return Bytes(bin.lpb, bin.lpb + bin.cb); }

class FolderOps : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSPST MS");
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    Bytes storeId;
    OpenDefaultStore(session_.get(), store_, storeId);
    Bytes inbox = InboxId(store_.get());
    inbox_ = OpenFolder(inbox);
    ASSERT_TRUE(inbox_);
  }
  void TearDown() override {
    inbox_ = nullptr;
    store_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
    MAPIUninitialize();
  }

  ComPtr<IMAPIFolder> OpenFolder(Bytes& id) { return testing::OpenFolder(store_.get(), id); }
  ComPtr<IMAPIFolder> MakeFolder(IMAPIFolder* parent, const char16_t* name) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(parent->CreateFolder(FOLDER_GENERIC, W(name), nullptr, nullptr, MAPI_UNICODE, folder.Out()), S_OK);
    return folder;
  }

  // A saved message with a subject; a full one also has a recipient and an attachment.
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, bool full = false, ULONG flags = 0) {
    ComPtr<IMessage> message;
    EXPECT_EQ(folder->CreateMessage(nullptr, flags, message.Out()), S_OK);
    if (!message) return {};
    SPropValue value{};
    value.ulPropTag = tags::kSubjectW;
    value.Value.lpszW = Wide(subject);
    EXPECT_EQ(message->SetProps(1, &value, nullptr), S_OK);
    if (full) {
      auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(1));
      SPropValue recipient[3]{};
      recipient[0].ulPropTag = tags::kDisplayNameW;
      recipient[0].Value.lpszW = Wide(u"Ann");
      recipient[1].ulPropTag = tags::kRecipientType;
      recipient[1].Value.l = MAPI_TO;
      recipient[2].ulPropTag = tags::kEmailAddressW;
      recipient[2].Value.lpszW = Wide(u"ann@example.org");
      list->cEntries = 1;
      list->aEntries[0].cValues = 3;
      list->aEntries[0].rgPropVals = recipient;
      EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, list.get()), S_OK);
      ComPtr<IAttach> attach;
      ULONG num = 0;
      EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
      BYTE data[] = {1, 2, 3, 4, 5};
      SPropValue props[3]{};
      props[0].ulPropTag = tags::kAttachMethod;
      props[0].Value.l = ATTACH_BY_VALUE;
      props[1].ulPropTag = tags::kAttachLongFilenameW;
      props[1].Value.lpszW = Wide(u"notes.bin");
      props[2].ulPropTag = tags::kAttachDataBin;
      props[2].Value.bin = {sizeof(data), data};
      EXPECT_EQ(attach->SetProps(3, props, nullptr), S_OK);
      EXPECT_EQ(attach->SaveChanges(0), S_OK);
    }
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    return Binary(message.get(), tags::kEntryId);
  }

  // Each row of a contents table: subject and entry ID, in subject order.
  std::vector<std::pair<std::u16string, Bytes>> Contents(IMAPIFolder* folder, ULONG flags = 0) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder->GetContentsTable(flags, table.Out()), S_OK);
    SizedSPropTagArray<2> columns{2, {tags::kSubjectW, tags::kEntryId}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    std::vector<std::pair<std::u16string, Bytes>> out;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SPropValue* v = rows->aRow[i].lpProps;
      out.emplace_back(
          PROP_TYPE(v[0].ulPropTag) == PT_UNICODE ? reinterpret_cast<const char16_t*>(v[0].Value.lpszW) : u"",
          BinOf(v[1].Value.bin));
    }
    FreeProws(rows);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<std::u16string> Subjects(IMAPIFolder* folder, ULONG flags = 0) {
    std::vector<std::u16string> out;
    for (auto& row : Contents(folder, flags)) out.push_back(row.first);
    return out;
  }
  ComPtr<IMessage> OpenMessage(Bytes& id) {
    ComPtr<IUnknown> unknown;
    ULONG type = 0;
    EXPECT_EQ(store_->OpenEntry(Cb(id), Id(id), nullptr, 0, &type, unknown.Out()), S_OK);
    return ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  }
  // A message's recipients (display names) and attachment file names.
  std::pair<std::vector<std::u16string>, std::vector<std::u16string>> Parts(IMessage* message) {
    std::pair<std::vector<std::u16string>, std::vector<std::u16string>> parts;
    auto collect = [](IMAPITable* table, ULONG tag, std::vector<std::u16string>& out) {
      SizedSPropTagArray<1> columns{1, {tag}};
      EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
      LPSRowSet rows = nullptr;
      EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
      for (ULONG i = 0; rows && i < rows->cRows; ++i)
        out.push_back(PROP_TYPE(rows->aRow[i].lpProps[0].ulPropTag) == PT_UNICODE
                          ? reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[0].Value.lpszW)
                          : u"?");
      FreeProws(rows);
    };
    ComPtr<IMAPITable> recipients;
    EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, recipients.Out()), S_OK);
    if (recipients) collect(recipients.get(), tags::kDisplayNameW, parts.first);
    ComPtr<IMAPITable> attachments;
    EXPECT_EQ(message->GetAttachmentTable(MAPI_UNICODE, attachments.Out()), S_OK);
    if (attachments) collect(attachments.get(), tags::kAttachLongFilenameW, parts.second);
    return parts;
  }
  ComPtr<TObjectSink> Listen(ULONG mask) {
    auto sink = MakeComObject<TObjectSink>();
    ULONG_PTR connection = 0;
    EXPECT_EQ(store_->Advise(0, nullptr, mask, sink.get(), &connection), S_OK);
    return sink;
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  ComPtr<IMAPIFolder> inbox_;
};

// --- CopyMessages ---

TEST_F(FolderOps, CopyMessagesCopiesPropertiesRecipientsAndAttachments) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One", true), SaveMessage(inbox_.get(), u"Two")};
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(inbox_.get()), (std::vector<std::u16string>{u"One", u"Two"}));
  auto copies = Contents(target.get());
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].first, u"One");
  EXPECT_EQ(copies[1].first, u"Two");
  EXPECT_NE(copies[0].second, ids[0]);  // a copy is a new message
  auto copy = OpenMessage(copies[0].second);
  ASSERT_TRUE(copy);
  EXPECT_EQ(Text(copy.get(), tags::kSubjectW), u"One");
  EXPECT_EQ(Binary(copy.get(), tags::kParentEntryId), Binary(target.get(), tags::kEntryId));
  auto parts = Parts(copy.get());
  EXPECT_EQ(parts.first, std::vector<std::u16string>{u"Ann"});
  EXPECT_EQ(parts.second, std::vector<std::u16string>{u"notes.bin"});
}

TEST_F(FolderOps, MessageMoveTakesMessagesOutOfTheSource) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One", true)};
  SaveMessage(inbox_.get(), u"Stays");
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, &IID_IMAPIFolder, target.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Subjects(inbox_.get()), std::vector<std::u16string>{u"Stays"});
  EXPECT_EQ(Subjects(target.get()), std::vector<std::u16string>{u"One"});
  auto moved = OpenMessage(Contents(target.get())[0].second);
  ASSERT_TRUE(moved);
  auto parts = Parts(moved.get());
  EXPECT_EQ(parts.first, std::vector<std::u16string>{u"Ann"});
  EXPECT_EQ(parts.second, std::vector<std::u16string>{u"notes.bin"});
  EXPECT_EQ(Binary(moved.get(), tags::kParentEntryId), Binary(target.get(), tags::kEntryId));
  // Moving it again from the inbox finds nothing there.
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
}

TEST_F(FolderOps, MovingMessagesIntoTheirOwnFolderChangesNothing) {
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  auto before = OpenMessage(ids[0]);
  ASSERT_TRUE(before);
  Bytes changeKey = Binary(before.get(), PROP_TAG(PT_BINARY, 0x65E2));
  auto sink = Listen(fnevObjectMoved | fnevObjectModified | fnevObjectDeleted | fnevObjectCreated);
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, inbox_.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_TRUE(sink->events.empty());
  auto after = OpenMessage(ids[0]);
  ASSERT_TRUE(after);
  EXPECT_EQ(Binary(after.get(), PROP_TAG(PT_BINARY, 0x65E2)), changeKey);
  EXPECT_EQ(Subjects(inbox_.get()), std::vector<std::u16string>{u"One"});
  // A copy into the same folder is a real copy.
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, inbox_.get(), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(inbox_.get()), (std::vector<std::u16string>{u"One", u"One"}));
}

TEST_F(FolderOps, AMessageOpenWhileMovedIsNotSavedBackIntoTheSource) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  ASSERT_EQ(store_->OpenEntry(Cb(ids[0]), Id(ids[0]), nullptr, MAPI_MODIFY, &type, unknown.Out()), S_OK);
  ComPtr<IMessage> open(static_cast<IMessage*>(unknown.get()));
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  SPropValue value{};
  value.ulPropTag = tags::kSubjectW;
  value.Value.lpszW = Wide(u"Edited");
  ASSERT_EQ(open->SetProps(1, &value, nullptr), S_OK);
  open->SaveChanges(0);
  EXPECT_TRUE(Subjects(inbox_.get()).empty());
  EXPECT_EQ(Subjects(target.get()).size(), 1u);
}

TEST_F(FolderOps, UnknownEntryIdAmongValidOnesGivesPartialCompletion) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  Bytes unknown = SaveMessage(inbox_.get(), u"Gone");
  std::vector<Bytes> gone{unknown};
  EntryList deleting(gone);
  ASSERT_EQ(inbox_->DeleteMessages(&deleting.list, 0, nullptr, DELETE_HARD_DELETE), S_OK);
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"A"), unknown, Bytes{1, 2, 3}, SaveMessage(inbox_.get(), u"B")};
  EntryList list(ids);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects(target.get()), (std::vector<std::u16string>{u"A", u"B"}));
  auto other = MakeFolder(inbox_.get(), u"Other");
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, other.get(), 0, nullptr, MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects(other.get()), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_TRUE(Subjects(inbox_.get()).empty());
}

TEST_F(FolderOps, EntryIdsOfDeletedObjectsNeverNameNewOnes) {
  std::vector<Bytes> gone{SaveMessage(inbox_.get(), u"Gone")};
  EntryList deleting(gone);
  ASSERT_EQ(inbox_->DeleteMessages(&deleting.list, 0, nullptr, DELETE_HARD_DELETE), S_OK);
  Bytes fresh = SaveMessage(inbox_.get(), u"Fresh");
  EXPECT_NE(fresh, gone[0]);
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  EXPECT_EQ(store_->OpenEntry(Cb(gone[0]), Id(gone[0]), nullptr, 0, &type, unknown.Out()), MAPI_E_NOT_FOUND);

  Bytes folderId = Binary(MakeFolder(inbox_.get(), u"Temp").get(), tags::kEntryId);
  ASSERT_EQ(inbox_->DeleteFolder(Cb(folderId), Id(folderId), 0, nullptr, 0), S_OK);
  Bytes next = Binary(MakeFolder(inbox_.get(), u"Next").get(), tags::kEntryId);
  EXPECT_NE(next, folderId);
  EXPECT_EQ(store_->OpenEntry(Cb(folderId), Id(folderId), nullptr, 0, &type, unknown.Out()), MAPI_E_NOT_FOUND);
}

TEST_F(FolderOps, CopyMessagesRejectsBadArguments) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"A")};
  EntryList list(ids);
  EXPECT_EQ(inbox_->CopyMessages(nullptr, nullptr, target.get(), 0, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, nullptr, 0, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0x80000000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, &IID_IMessage, target.get(), 0, nullptr, 0),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_TRUE(Subjects(target.get()).empty());
}

// --- CopyFolder ---

TEST_F(FolderOps, CopyFolderWithoutSubfoldersCopiesOnlyItsMessages) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(source.get(), u"Plan");
  auto sub = MakeFolder(source.get(), u"Old");
  SaveMessage(sub.get(), u"Older");
  auto target = MakeFolder(inbox_.get(), u"Backup");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), nullptr, 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subfolders(target.get()), std::vector<std::u16string>{u"Projects"});
  auto copy = Child(target.get(), u"Projects");
  EXPECT_EQ(Subjects(copy.get()), std::vector<std::u16string>{u"Plan"});
  EXPECT_TRUE(Subfolders(copy.get()).empty());
  // The source is untouched.
  EXPECT_EQ(Subjects(source.get()), std::vector<std::u16string>{u"Plan"});
  EXPECT_EQ(Subfolders(source.get()), std::vector<std::u16string>{u"Old"});
}

TEST_F(FolderOps, CopyFolderWithSubfoldersCopiesTheTreeUnderANewName) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(source.get(), u"Plan");
  auto sub = MakeFolder(source.get(), u"Old");
  SaveMessage(sub.get(), u"Older");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, inbox_.get(), W(u"Projects 2"), 0, nullptr,
                               COPY_SUBFOLDERS | MAPI_UNICODE),
            S_OK);
  EXPECT_EQ(Subfolders(inbox_.get()), (std::vector<std::u16string>{u"Projects", u"Projects 2"}));
  auto copy = Child(inbox_.get(), u"Projects 2");
  EXPECT_EQ(Text(copy.get(), tags::kDisplayNameW), u"Projects 2");
  EXPECT_EQ(Subjects(copy.get()), std::vector<std::u16string>{u"Plan"});
  EXPECT_EQ(Subfolders(copy.get()), std::vector<std::u16string>{u"Old"});
  EXPECT_EQ(Subjects(Child(copy.get(), u"Old").get()), std::vector<std::u16string>{u"Older"});
}

TEST_F(FolderOps, FolderMoveWithANewNameRelocatesAndRenames) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(source.get(), u"Plan");
  MakeFolder(source.get(), u"Old");
  auto target = MakeFolder(inbox_.get(), u"Backup");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), W(u"Done"), 0, nullptr,
                               FOLDER_MOVE | MAPI_UNICODE),
            S_OK);
  EXPECT_EQ(Subfolders(inbox_.get()), std::vector<std::u16string>{u"Backup"});
  EXPECT_EQ(Subfolders(target.get()), std::vector<std::u16string>{u"Done"});
  // Same folder, same entry ID: now under the target with its messages and subfolders.
  auto moved = OpenFolder(sourceId);
  ASSERT_TRUE(moved);
  EXPECT_EQ(Text(moved.get(), tags::kDisplayNameW), u"Done");
  EXPECT_EQ(Binary(moved.get(), tags::kParentEntryId), Binary(target.get(), tags::kEntryId));
  EXPECT_EQ(Subjects(moved.get()), std::vector<std::u16string>{u"Plan"});
  EXPECT_EQ(Subfolders(moved.get()), std::vector<std::u16string>{u"Old"});
}

TEST_F(FolderOps, CopyFolderOntoAnExistingNameCollides) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(source.get(), u"Plan");
  auto target = MakeFolder(inbox_.get(), u"Backup");
  MakeFolder(target.get(), u"Projects");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), nullptr, 0, nullptr, 0),
            MAPI_E_COLLISION);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, inbox_.get(), W(u"Backup"), 0, nullptr,
                               FOLDER_MOVE | MAPI_UNICODE),
            MAPI_E_COLLISION);
  EXPECT_TRUE(Subjects(Child(target.get(), u"Projects").get()).empty());
  EXPECT_EQ(Subfolders(inbox_.get()), (std::vector<std::u16string>{u"Backup", u"Projects"}));
}

TEST_F(FolderOps, MovingAFolderIntoItsOwnSubfolderIsACycle) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  auto sub = MakeFolder(source.get(), u"Old");
  auto deeper = MakeFolder(sub.get(), u"Older");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, sub.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, deeper.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, source.get(), W(u"Self"), 0, nullptr,
                               FOLDER_MOVE | MAPI_UNICODE),
            MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(Subfolders(inbox_.get()), std::vector<std::u16string>{u"Projects"});
  EXPECT_EQ(Subfolders(source.get()), std::vector<std::u16string>{u"Old"});
}

TEST_F(FolderOps, OpenHierarchyTablesAndCountsFollowFolderMovesAndCopies) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(source.get(), u"Plan");
  auto target = MakeFolder(inbox_.get(), u"Backup");
  ComPtr<IMAPITable> from, to;
  ASSERT_EQ(inbox_->GetHierarchyTable(0, from.Out()), S_OK);
  ASSERT_EQ(target->GetHierarchyTable(0, to.Out()), S_OK);
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), W(u"Copy"), 0, nullptr, MAPI_UNICODE),
            S_OK);
  ULONG count = 0;
  ASSERT_EQ(to->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            S_OK);
  ASSERT_EQ(from->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);  // only Backup is left under the inbox
  ASSERT_EQ(to->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  auto copy = Child(target.get(), u"Copy");
  SizedSPropTagArray<1> wanted{1, {PROP_TAG(PT_LONG, 0x3602)}};  // PR_CONTENT_COUNT
  ULONG n = 0;
  LPSPropValue values = nullptr;
  ASSERT_EQ(copy->GetProps(wanted.Ptr(), 0, &n, &values), S_OK);
  EXPECT_EQ(values[0].Value.l, 1);
  MAPIFreeBuffer(values);
}

TEST_F(FolderOps, CopyFolderNeedsADirectSubfolder) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  Bytes innerId = Binary(MakeFolder(source.get(), u"Inner").get(), tags::kEntryId);
  EXPECT_EQ(inbox_->CopyFolder(Cb(innerId), Id(innerId), nullptr, inbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_NOT_FOUND);
  EXPECT_EQ(inbox_->CopyFolder(Cb(innerId), Id(innerId), nullptr, nullptr, nullptr, 0, nullptr, 0),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CopyFolder(Cb(innerId), Id(innerId), nullptr, inbox_.get(), nullptr, 0, nullptr, 0x00100000),
            MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Subfolders(source.get()), std::vector<std::u16string>{u"Inner"});
}

// --- EmptyFolder ---

TEST_F(FolderOps, EmptyFolderKeepsAssociatedMessagesUnlessAsked) {
  auto folder = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(folder.get(), u"Plan");
  SaveMessage(folder.get(), u"View", false, MAPI_ASSOCIATED);
  auto sub = MakeFolder(folder.get(), u"Old");
  SaveMessage(sub.get(), u"Older");
  ASSERT_EQ(folder->EmptyFolder(0, nullptr, 0), S_OK);
  EXPECT_TRUE(Subjects(folder.get()).empty());
  EXPECT_EQ(Subjects(folder.get(), MAPI_ASSOCIATED), std::vector<std::u16string>{u"View"});
  EXPECT_TRUE(Subfolders(folder.get()).empty());
  ASSERT_EQ(folder->EmptyFolder(0, nullptr, DEL_ASSOCIATED), S_OK);
  EXPECT_TRUE(Subjects(folder.get(), MAPI_ASSOCIATED).empty());
  // The folder itself stays.
  EXPECT_EQ(Subfolders(inbox_.get()), std::vector<std::u16string>{u"Projects"});
  EXPECT_EQ(folder->EmptyFolder(0, nullptr, 0x80000000), MAPI_E_UNKNOWN_FLAGS);
}

TEST_F(FolderOps, OpenTablesOfAnEmptiedFolderFollow) {
  auto folder = MakeFolder(inbox_.get(), u"Projects");
  SaveMessage(folder.get(), u"Plan");
  SaveMessage(folder.get(), u"View", false, MAPI_ASSOCIATED);
  MakeFolder(folder.get(), u"Old");
  ComPtr<IMAPITable> contents, associated, hierarchy;
  ASSERT_EQ(folder->GetContentsTable(0, contents.Out()), S_OK);
  ASSERT_EQ(folder->GetContentsTable(MAPI_ASSOCIATED, associated.Out()), S_OK);
  ASSERT_EQ(folder->GetHierarchyTable(0, hierarchy.Out()), S_OK);
  ASSERT_EQ(folder->EmptyFolder(0, nullptr, 0), S_OK);
  ULONG count = 9;
  ASSERT_EQ(contents->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(associated->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(hierarchy->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(folder->EmptyFolder(0, nullptr, DEL_ASSOCIATED), S_OK);
  ASSERT_EQ(associated->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
}

// --- Message status ---

TEST_F(FolderOps, SetMessageStatusChangesOnlyMaskedBitsAndReturnsTheOld) {
  Bytes id = SaveMessage(inbox_.get(), u"One");
  ULONG status = 99;
  ASSERT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, &status), S_OK);
  EXPECT_EQ(status, 0u);
  ULONG old = 99;
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), MSGSTATUS_TAGGED | MSGSTATUS_HIGHLIGHTED,
                                     MSGSTATUS_TAGGED | MSGSTATUS_HIGHLIGHTED, &old),
            S_OK);
  EXPECT_EQ(old, 0u);
  // Bits outside the mask stay as they are.
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), MSGSTATUS_DELMARKED, MSGSTATUS_HIGHLIGHTED, &old), S_OK);
  EXPECT_EQ(old, ULONG{MSGSTATUS_TAGGED | MSGSTATUS_HIGHLIGHTED});
  ASSERT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, &status), S_OK);
  EXPECT_EQ(status, ULONG{MSGSTATUS_TAGGED});
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), MSGSTATUS_REMOTE_DOWNLOAD, MSGSTATUS_REMOTE_DOWNLOAD, nullptr),
            S_OK);
  ASSERT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, &status), S_OK);
  EXPECT_EQ(status, ULONG{MSGSTATUS_TAGGED | MSGSTATUS_REMOTE_DOWNLOAD});
}

TEST_F(FolderOps, MessageStatusOfAMessageElsewhereIsNotFound) {
  auto other = MakeFolder(inbox_.get(), u"Other");
  Bytes id = SaveMessage(other.get(), u"One");
  ULONG status = 0;
  EXPECT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, &status), MAPI_E_NOT_FOUND);
  EXPECT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), 1, 1, &status), MAPI_E_NOT_FOUND);
  EXPECT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(other->GetMessageStatus(Cb(id), Id(id), 1, &status), MAPI_E_UNKNOWN_FLAGS);
}

// --- Receive folders ---

TEST_F(FolderOps, ReceiveFolderTableListsTheSetClasses) {
  auto reports = MakeFolder(inbox_.get(), u"Reports");
  Bytes reportsId = Binary(reports.get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Report"), 0, Cb(reportsId), Id(reportsId)), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(store_->GetReceiveFolderTable(0, table.Out()), S_OK);
  SizedSPropTagArray<2> columns{2, {tags::kMessageClassA, tags::kEntryId}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(100, 0, &rows), S_OK);
  std::vector<std::pair<std::string, Bytes>> found;
  for (ULONG i = 0; i < rows->cRows; ++i)
    found.emplace_back(rows->aRow[i].lpProps[0].Value.lpszA, BinOf(rows->aRow[i].lpProps[1].Value.bin));
  FreeProws(rows);
  auto report = std::find_if(found.begin(), found.end(), [](const auto& row) { return row.first == "IPM.Report"; });
  ASSERT_NE(report, found.end());
  ULONG same = 0;
  ASSERT_EQ(store_->CompareEntryIDs(Cb(report->second), Id(report->second), Cb(reportsId), Id(reportsId), 0, &same),
            S_OK);
  EXPECT_TRUE(same);
  // The default class still names the inbox.
  Bytes inboxId = Binary(inbox_.get(), tags::kEntryId);
  auto fallback = std::find_if(found.begin(), found.end(), [](const auto& row) { return row.first.empty(); });
  ASSERT_NE(fallback, found.end());
  ASSERT_EQ(store_->CompareEntryIDs(Cb(fallback->second), Id(fallback->second), Cb(inboxId), Id(inboxId), 0, &same),
            S_OK);
  EXPECT_TRUE(same);
}

TEST_F(FolderOps, ReceiveFolderTableDropsAClassWhoseFolderIsGone) {
  auto reports = MakeFolder(inbox_.get(), u"Reports");
  Bytes reportsId = Binary(reports.get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Report"), 0, Cb(reportsId), Id(reportsId)), S_OK);
  reports = nullptr;
  // Deleting the folder (directly or by emptying its parent) is not held up by the
  // association; the class then falls back to the default's folder.
  ASSERT_EQ(inbox_->DeleteFolder(Cb(reportsId), Id(reportsId), 0, nullptr, DEL_MESSAGES | DEL_FOLDERS), S_OK);
  ULONG cb = 0;
  LPENTRYID found = nullptr;
  ASSERT_EQ(store_->GetReceiveFolder(A("IPM.Report"), 0, &cb, &found, nullptr), S_OK);
  Bytes foundId(reinterpret_cast<BYTE*>(found), reinterpret_cast<BYTE*>(found) + cb);
  MAPIFreeBuffer(found);
  Bytes inboxId = Binary(inbox_.get(), tags::kEntryId);
  ULONG same = 0;
  ASSERT_EQ(store_->CompareEntryIDs(Cb(foundId), Id(foundId), Cb(inboxId), Id(inboxId), 0, &same), S_OK);
  EXPECT_TRUE(same);

  // The default class, given to a folder of its own, goes back to the inbox.
  Bytes ownId = Binary(MakeFolder(inbox_.get(), u"Own").get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(nullptr, 0, Cb(ownId), Id(ownId)), S_OK);
  ASSERT_EQ(inbox_->DeleteFolder(Cb(ownId), Id(ownId), 0, nullptr, 0), S_OK);
  ASSERT_EQ(store_->GetReceiveFolder(nullptr, 0, &cb, &found, nullptr), S_OK);
  foundId.assign(reinterpret_cast<BYTE*>(found), reinterpret_cast<BYTE*>(found) + cb);
  MAPIFreeBuffer(found);
  ASSERT_EQ(store_->CompareEntryIDs(Cb(foundId), Id(foundId), Cb(inboxId), Id(inboxId), 0, &same), S_OK);
  EXPECT_TRUE(same);

  auto other = MakeFolder(inbox_.get(), u"Other");
  Bytes otherId = Binary(MakeFolder(other.get(), u"Inner").get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Note.Inner"), 0, Cb(otherId), Id(otherId)), S_OK);
  ASSERT_EQ(other->EmptyFolder(0, nullptr, 0), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(store_->GetReceiveFolderTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kMessageClassA}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(100, 0, &rows), S_OK);
  for (ULONG i = 0; i < rows->cRows; ++i) {
    EXPECT_STRNE(rows->aRow[i].lpProps[0].Value.lpszA, "IPM.Report");
    EXPECT_STRNE(rows->aRow[i].lpProps[0].Value.lpszA, "IPM.Note.Inner");
  }
  FreeProws(rows);
}

TEST_F(FolderOps, OpenContentsTablesFollowMovedMessages) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  ComPtr<IMAPITable> from, to;
  ASSERT_EQ(inbox_->GetContentsTable(0, from.Out()), S_OK);
  ASSERT_EQ(target->GetContentsTable(0, to.Out()), S_OK);
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  ULONG count = 9;
  ASSERT_EQ(from->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(to->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
}

TEST_F(FolderOps, CopiedAssociatedMessagesStayAssociatedAndKeepAttachmentData) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"View", true, MAPI_ASSOCIATED)};
  EntryList list(ids);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0), S_OK);
  EXPECT_TRUE(Subjects(target.get()).empty());
  auto copies = Contents(target.get(), MAPI_ASSOCIATED);
  ASSERT_EQ(copies.size(), 1u);
  auto copy = OpenMessage(copies[0].second);
  ASSERT_TRUE(copy);
  ComPtr<IAttach> attach;
  ASSERT_EQ(copy->OpenAttach(0, nullptr, 0, attach.Out()), S_OK);
  EXPECT_EQ(Binary(attach.get(), tags::kAttachDataBin), (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(FolderOps, ReceiveFolderTableAnswersInUnicodeWhenAsked) {
  auto reports = MakeFolder(inbox_.get(), u"Reports");
  Bytes reportsId = Binary(reports.get(), tags::kEntryId);
  ASSERT_EQ(store_->SetReceiveFolder(W(u"IPM.Report"), MAPI_UNICODE, Cb(reportsId), Id(reportsId)), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(store_->GetReceiveFolderTable(MAPI_UNICODE, table.Out()), S_OK);
  LPSPropTagArray columns = nullptr;
  ASSERT_EQ(table->QueryColumns(0, &columns), S_OK);
  std::vector<ULONG> tagsOf(columns->aulPropTag, columns->aulPropTag + columns->cValues);
  MAPIFreeBuffer(columns);
  EXPECT_NE(std::find(tagsOf.begin(), tagsOf.end(), tags::kMessageClassW), tagsOf.end());
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(100, 0, &rows), S_OK);
  std::vector<std::u16string> classes;
  for (ULONG i = 0; i < rows->cRows; ++i)
    for (ULONG c = 0; c < rows->aRow[i].cValues; ++c)
      if (rows->aRow[i].lpProps[c].ulPropTag == tags::kMessageClassW)
        classes.push_back(reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[c].Value.lpszW));
  FreeProws(rows);
  EXPECT_NE(std::find(classes.begin(), classes.end(), u"IPM.Report"), classes.end());
}

TEST_F(FolderOps, ReadOnlyDestinationsAreNotWritten) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  Bytes targetId = Binary(target.get(), tags::kEntryId);
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  ASSERT_EQ(store_->OpenEntry(Cb(targetId), Id(targetId), &IID_IMAPIFolder, 0, &type, unknown.Out()), S_OK);
  ComPtr<IMAPIFolder> readOnly(static_cast<IMAPIFolder*>(unknown.get()));
  ComPtr<IMessage> probe;
  ASSERT_EQ(readOnly->CreateMessage(nullptr, 0, probe.Out()), MAPI_E_NO_ACCESS);
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  EntryList list(ids);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, readOnly.get(), 0, nullptr, 0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, readOnly.get(), 0, nullptr, MESSAGE_MOVE), MAPI_E_NO_ACCESS);
  auto source = MakeFolder(inbox_.get(), u"Projects");
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  EXPECT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, readOnly.get(), nullptr, 0, nullptr, 0),
            MAPI_E_NO_ACCESS);
  EXPECT_TRUE(Subjects(target.get()).empty());
  EXPECT_TRUE(Subfolders(target.get()).empty());
  EXPECT_EQ(Subjects(inbox_.get()), std::vector<std::u16string>{u"One"});
}

// --- Notifications ---

TEST_F(FolderOps, MovedAndCopiedMessagesNotifyWithOldAndNewPlaces) {
  auto target = MakeFolder(inbox_.get(), u"Archive");
  Bytes inboxId = Binary(inbox_.get(), tags::kEntryId);
  Bytes targetId = Binary(target.get(), tags::kEntryId);
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  EntryList list(ids);
  auto sink = Listen(fnevObjectMoved | fnevObjectCopied);
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0), S_OK);
  ASSERT_EQ(sink->events.size(), 1u);
  auto copied = sink->events[0];
  EXPECT_EQ(copied.type, ULONG{fnevObjectCopied});
  EXPECT_EQ(copied.objType, ULONG{MAPI_MESSAGE});
  EXPECT_EQ(copied.entryId, Contents(target.get())[0].second);
  EXPECT_EQ(copied.parentId, targetId);
  EXPECT_EQ(copied.oldId, ids[0]);
  EXPECT_EQ(copied.oldParentId, inboxId);

  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  ASSERT_EQ(sink->events.size(), 2u);
  auto moved = sink->events[1];
  EXPECT_EQ(moved.type, ULONG{fnevObjectMoved});
  EXPECT_EQ(moved.objType, ULONG{MAPI_MESSAGE});
  EXPECT_EQ(moved.entryId, ids[0]);
  EXPECT_EQ(moved.parentId, targetId);
  EXPECT_EQ(moved.oldId, ids[0]);
  EXPECT_EQ(moved.oldParentId, inboxId);
}

TEST_F(FolderOps, MovedAndCopiedFoldersNotifyWithOldAndNewPlaces) {
  auto source = MakeFolder(inbox_.get(), u"Projects");
  auto target = MakeFolder(inbox_.get(), u"Backup");
  Bytes inboxId = Binary(inbox_.get(), tags::kEntryId);
  Bytes sourceId = Binary(source.get(), tags::kEntryId);
  Bytes targetId = Binary(target.get(), tags::kEntryId);
  auto sink = Listen(fnevObjectMoved | fnevObjectCopied);
  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), nullptr, 0, nullptr, 0), S_OK);
  ASSERT_EQ(sink->events.size(), 1u);
  auto copied = sink->events[0];
  EXPECT_EQ(copied.type, ULONG{fnevObjectCopied});
  EXPECT_EQ(copied.objType, ULONG{MAPI_FOLDER});
  EXPECT_EQ(copied.entryId, Binary(Child(target.get(), u"Projects").get(), tags::kEntryId));
  EXPECT_EQ(copied.parentId, targetId);
  EXPECT_EQ(copied.oldId, sourceId);
  EXPECT_EQ(copied.oldParentId, inboxId);

  ASSERT_EQ(inbox_->CopyFolder(Cb(sourceId), Id(sourceId), nullptr, target.get(), W(u"Moved"), 0, nullptr,
                               FOLDER_MOVE | MAPI_UNICODE),
            S_OK);
  ASSERT_EQ(sink->events.size(), 2u);
  auto moved = sink->events[1];
  EXPECT_EQ(moved.type, ULONG{fnevObjectMoved});
  EXPECT_EQ(moved.objType, ULONG{MAPI_FOLDER});
  EXPECT_EQ(moved.entryId, sourceId);
  EXPECT_EQ(moved.parentId, targetId);
  EXPECT_EQ(moved.oldId, sourceId);
  EXPECT_EQ(moved.oldParentId, inboxId);
}

TEST_F(FolderOps, ReadStateSetOnTheMessageReachesTablesAndSinks) {
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  auto message = OpenMessage(ids[0]);
  ASSERT_TRUE(message);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(inbox_->GetContentsTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kMessageFlags}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  auto readFlags = [&] {
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    EXPECT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    ULONG flags = rows && rows->cRows == 1 ? rows->aRow[0].lpProps[0].Value.l : ~0u;
    FreeProws(rows);
    return flags & MSGFLAG_READ;
  };
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  ASSERT_EQ(readFlags(), 0u);
  auto sink = Listen(fnevObjectModified);
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_EQ(readFlags(), ULONG{MSGFLAG_READ});
  ASSERT_EQ(sink->events.size(), 1u);
  // Setting the state it already has changes nothing and tells nobody.
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_EQ(sink->events.size(), 1u);
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(readFlags(), 0u);
  EXPECT_EQ(sink->events.size(), 2u);
}

}  // namespace
}  // namespace orba::store
