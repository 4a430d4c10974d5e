// Folder operations of a personal store through the session: what copies and moves of
// messages and folders carry and refuse, message status bits, the receive folder table
// and the object notifications these raise. Plain folder copies, moves and emptying are
// tested through the library's folders.
#include <gtest/gtest.h>

#include <mapi/edkmdb.h>

#include <map>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

class FolderOps : public TStoreSessionTest {
 protected:
  // A saved message with a subject; a full one also has a recipient and an attachment.
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, bool full = false, ULONG flags = 0) {
    auto message = NewMessage(folder, {TextValue(tags::kSubjectW, subject)}, flags);
    if (full) {
      EXPECT_EQ(ModifyRecipients(message.get(), {{MAPI_TO, u"Ann", u"ann@example.org"}}), S_OK);
      BYTE data[] = {1, 2, 3, 4, 5};
      auto attach = NewAttach(message.get(), {LongValue(tags::kAttachMethod, ATTACH_BY_VALUE),
                                              TextValue(tags::kAttachLongFilenameW, u"notes.bin"),
                                              BinaryValue(tags::kAttachDataBin, data)});
      EXPECT_EQ(attach->SaveChanges(0), S_OK);
    }
    return Save(message.get());
  }
  // The entry ID of the message of folder with subject.
  Bytes Find(IMAPIFolder* folder, const std::u16string& subject, ULONG flags = 0) {
    TRows rows = All(ContentsOf(folder, flags).get(), {tags::kSubjectW, tags::kEntryId});
    for (ULONG i = 0; i < rows.size(); ++i)
      if (TextOf(rows[i][0]) == subject) return BytesOf(rows[i][1]);
    ADD_FAILURE() << "no message of that subject";
    return {};
  }
  void ExpectRecipientAndAttachment(IMessage* message) {
    EXPECT_EQ(RecipientNames(message), Names{u"Ann"});
    EXPECT_EQ(AttachmentNames(message), Names{u"notes.bin"});
  }
  // A folder "Projects" below the Inbox with the message "Plan" and the subfolder "Old"
  // with the message "Older".
  ComPtr<IMAPIFolder> Projects() {
    auto projects = NewFolder(inbox_.get(), u"Projects");
    SaveMessage(projects.get(), u"Plan");
    SaveMessage(NewFolder(projects.get(), u"Old").get(), u"Older");
    return projects;
  }
};

// --- CopyMessages ---

TEST_F(FolderOps, CopyMessagesCopiesPropertiesRecipientsAndAttachments) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One", true), SaveMessage(inbox_.get(), u"Two")};
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, target.get()), S_OK);
  EXPECT_EQ(Subjects(target.get()), (Names{u"One", u"Two"}));
  Bytes copyId = Find(target.get(), u"One");
  EXPECT_NE(copyId, ids[0]);  // a copy is a new message
  auto copy = OpenMessage(store_.get(), copyId);
  ExpectRecipientAndAttachment(copy.get());
}

TEST_F(FolderOps, MessageMoveTakesMessagesOutOfTheSourceAndItsOpenTables) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One", true)};
  SaveMessage(inbox_.get(), u"Stays");
  auto open = OpenMessage(store_.get(), ids[0]);
  auto from = ContentsOf(inbox_.get()), to = ContentsOf(target.get());
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, target.get(), MESSAGE_MOVE), S_OK);
  EXPECT_EQ(RowCount(from.get()), 1u);
  EXPECT_EQ(RowCount(to.get()), 1u);
  EXPECT_EQ(Subjects(target.get()), Names{u"One"});
  auto moved = OpenMessage(store_.get(), Find(target.get(), u"One"));
  ExpectRecipientAndAttachment(moved.get());
  EXPECT_EQ(Binary(moved.get(), tags::kParentEntryId), EntryIdOf(target.get()));
  // Moving it again from the inbox finds nothing there.
  EXPECT_EQ(CopyMessages(inbox_.get(), ids, target.get(), MESSAGE_MOVE), MAPI_W_PARTIAL_COMPLETION);
  // An object opened before the move is not saved back into the source.
  ASSERT_EQ(Set(open.get(), {TextValue(tags::kSubjectW, u"Edited")}), S_OK);
  open->SaveChanges(0);
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Stays"});
}

TEST_F(FolderOps, MovingMessagesIntoTheirOwnFolderChangesNothing) {
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  Bytes changeKey = Binary(OpenMessage(store_.get(), ids[0]).get(), tags::kChangeKey);
  auto sink = Listen(store_.get(), fnevObjectMoved | fnevObjectModified | fnevObjectDeleted | fnevObjectCreated);
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, inbox_.get(), MESSAGE_MOVE), S_OK);
  EXPECT_TRUE(sink->events.empty());
  EXPECT_EQ(Binary(OpenMessage(store_.get(), ids[0]).get(), tags::kChangeKey), changeKey);
  // A copy into the same folder is a real copy.
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, inbox_.get()), S_OK);
  EXPECT_EQ(Subjects(inbox_.get()), (Names{u"One", u"One"}));
}

// A deleted message's entry ID names no new message, and copying or moving it among
// valid ones completes the others.
TEST_F(FolderOps, EntryIdsOfDeletedObjectsNameNothingAndCompleteTheOthersPartially) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> gone{SaveMessage(inbox_.get(), u"Gone")};
  ASSERT_EQ(DeleteMessages(inbox_.get(), gone, DELETE_HARD_DELETE), S_OK);
  EXPECT_NE(SaveMessage(inbox_.get(), u"A"), gone[0]);
  EXPECT_EQ(Open(store_.get(), gone[0], 0).hr, MAPI_E_NOT_FOUND);
  std::vector<Bytes> ids{Find(inbox_.get(), u"A"), gone[0], Bytes{1, 2, 3}, SaveMessage(inbox_.get(), u"B")};
  EXPECT_EQ(CopyMessages(inbox_.get(), ids, target.get()), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects(target.get()), (Names{u"A", u"B"}));
  auto other = NewFolder(inbox_.get(), u"Other");
  EXPECT_EQ(CopyMessages(inbox_.get(), ids, other.get(), MESSAGE_MOVE), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects(other.get()), (Names{u"A", u"B"}));
  EXPECT_TRUE(Subjects(inbox_.get()).empty());
  Bytes folderId = EntryIdOf(NewFolder(inbox_.get(), u"Temp").get());
  ASSERT_EQ(inbox_->DeleteFolder(Cb(folderId), Id(folderId), 0, nullptr, 0), S_OK);
  EXPECT_NE(EntryIdOf(NewFolder(inbox_.get(), u"Next").get()), folderId);
  EXPECT_EQ(Open(store_.get(), folderId, 0).hr, MAPI_E_NOT_FOUND);
}

TEST_F(FolderOps, CopyMessagesRejectsBadArguments) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"A")};
  TEntryList list(ids);
  EXPECT_EQ(inbox_->CopyMessages(nullptr, nullptr, target.get(), 0, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, nullptr, 0, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, target.get(), 0, nullptr, 0x80000000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, &IID_IMessage, target.get(), 0, nullptr, 0),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(target->EmptyFolder(0, nullptr, 0x80000000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_TRUE(Subjects(target.get()).empty());
}

TEST_F(FolderOps, CopiedAssociatedMessagesStayAssociatedAndKeepAttachmentData) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  ASSERT_EQ(CopyMessages(inbox_.get(), {SaveMessage(inbox_.get(), u"View", true, MAPI_ASSOCIATED)}, target.get()),
            S_OK);
  EXPECT_TRUE(Subjects(target.get()).empty());
  auto copy = OpenMessage(store_.get(), Find(target.get(), u"View", MAPI_ASSOCIATED));
  ComPtr<IAttach> attach;
  ASSERT_EQ(copy->OpenAttach(0, nullptr, 0, attach.Out()), S_OK);
  EXPECT_EQ(Binary(attach.get(), tags::kAttachDataBin), (Bytes{1, 2, 3, 4, 5}));
}

// --- CopyFolder: copies and moves themselves are tested through the library's folders ---

TEST_F(FolderOps, CopyFolderRefusesCollisionsCyclesAndBadArguments) {
  auto source = Projects();
  auto sub = Child(source.get(), u"Old");
  auto deeper = NewFolder(sub.get(), u"Older");
  auto target = NewFolder(inbox_.get(), u"Backup");
  NewFolder(target.get(), u"Projects");
  Bytes id = EntryIdOf(source.get()), subId = EntryIdOf(sub.get());
  EXPECT_EQ(CopyFolder(inbox_.get(), id, target.get()), MAPI_E_COLLISION);
  EXPECT_EQ(CopyFolder(inbox_.get(), id, inbox_.get(), u"Backup", FOLDER_MOVE), MAPI_E_COLLISION);
  EXPECT_TRUE(Subjects(Child(target.get(), u"Projects").get()).empty());
  EXPECT_EQ(CopyFolder(inbox_.get(), id, sub.get(), nullptr, FOLDER_MOVE), MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(CopyFolder(inbox_.get(), id, deeper.get(), nullptr, FOLDER_MOVE), MAPI_E_FOLDER_CYCLE);
  EXPECT_EQ(CopyFolder(inbox_.get(), id, source.get(), u"Self", FOLDER_MOVE), MAPI_E_FOLDER_CYCLE);
  // Only a direct subfolder is copied or moved.
  EXPECT_EQ(CopyFolder(inbox_.get(), subId, inbox_.get(), nullptr, FOLDER_MOVE), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CopyFolder(inbox_.get(), subId, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CopyFolder(inbox_.get(), subId, inbox_.get(), nullptr, 0x00100000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Subfolders(inbox_.get()), (Names{u"Backup", u"Projects"}));
}

TEST_F(FolderOps, ReadOnlyDestinationsAreNotWritten) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  auto readOnly = OpenFolder(store_.get(), EntryIdOf(target.get()), 0);
  ComPtr<IMessage> probe;
  ASSERT_EQ(readOnly->CreateMessage(nullptr, 0, probe.Out()), MAPI_E_NO_ACCESS);
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  EXPECT_EQ(CopyMessages(inbox_.get(), ids, readOnly.get()), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CopyMessages(inbox_.get(), ids, readOnly.get(), MESSAGE_MOVE), MAPI_E_NO_ACCESS);
  Bytes sourceId = EntryIdOf(NewFolder(inbox_.get(), u"Projects").get());
  EXPECT_EQ(CopyFolder(inbox_.get(), sourceId, readOnly.get()), MAPI_E_NO_ACCESS);
  EXPECT_TRUE(Subjects(target.get()).empty());
  EXPECT_TRUE(Subfolders(target.get()).empty());
}

// --- Message status ---

TEST_F(FolderOps, SetMessageStatusChangesOnlyMaskedBitsOfItsFoldersMessages) {
  Bytes id = SaveMessage(inbox_.get(), u"One");
  auto status = [&] {
    ULONG bits = 99;
    EXPECT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, &bits), S_OK);
    return bits;
  };
  EXPECT_EQ(status(), 0u);
  ULONG old = 99;
  constexpr ULONG kBoth = MSGSTATUS_TAGGED | MSGSTATUS_HIGHLIGHTED;
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), kBoth, kBoth, &old), S_OK);
  EXPECT_EQ(old, 0u);
  // Bits outside the mask stay as they are.
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), MSGSTATUS_DELMARKED, MSGSTATUS_HIGHLIGHTED, &old), S_OK);
  EXPECT_EQ(old, kBoth);
  EXPECT_EQ(status(), ULONG{MSGSTATUS_TAGGED});
  ASSERT_EQ(inbox_->SetMessageStatus(Cb(id), Id(id), MSGSTATUS_REMOTE_DOWNLOAD, MSGSTATUS_REMOTE_DOWNLOAD, nullptr),
            S_OK);
  EXPECT_EQ(status(), ULONG{MSGSTATUS_TAGGED | MSGSTATUS_REMOTE_DOWNLOAD});
  // A message of another folder is not found; bad arguments get their codes.
  auto other = NewFolder(inbox_.get(), u"Other");
  Bytes elsewhere = SaveMessage(other.get(), u"Two");
  EXPECT_EQ(inbox_->GetMessageStatus(Cb(elsewhere), Id(elsewhere), 0, &old), MAPI_E_NOT_FOUND);
  EXPECT_EQ(inbox_->SetMessageStatus(Cb(elsewhere), Id(elsewhere), 1, 1, &old), MAPI_E_NOT_FOUND);
  EXPECT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->GetMessageStatus(Cb(id), Id(id), 1, &old), MAPI_E_UNKNOWN_FLAGS);
}

// --- Receive folders ---

TEST_F(FolderOps, ReceiveFolderTableListsTheSetClassesInEitherWidth) {
  Bytes reportsId = EntryIdOf(NewFolder(inbox_.get(), u"Reports").get());
  ASSERT_EQ(store_->SetReceiveFolder(W(u"IPM.Report"), MAPI_UNICODE, Cb(reportsId), Id(reportsId)), S_OK);
  for (ULONG flags : {0u, ULONG{MAPI_UNICODE}}) {
    ComPtr<IMAPITable> table;
    ASSERT_EQ(store_->GetReceiveFolderTable(flags, table.Out()), S_OK);
    TRows rows = Query(table.get(), {flags ? tags::kMessageClassW : tags::kMessageClassA, tags::kEntryId});
    std::map<std::u16string, Bytes> classes;
    for (ULONG i = 0; i < rows.size(); ++i) classes[TextOf(rows[i][0])] = BytesOf(rows[i][1]);
    EXPECT_TRUE(SameEntry(store_.get(), classes[u"IPM.Report"], reportsId));
    // The default class still names the inbox.
    EXPECT_TRUE(SameEntry(store_.get(), classes[u""], inboxId_));
  }
}

TEST_F(FolderOps, ReceiveFolderTableDropsAClassWhoseFolderIsGone) {
  Bytes reportsId = EntryIdOf(NewFolder(inbox_.get(), u"Reports").get());
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Report"), 0, Cb(reportsId), Id(reportsId)), S_OK);
  // Deleting the folder (directly or by emptying its parent) is not held up by the
  // association; the class then falls back to the default's folder.
  ASSERT_EQ(inbox_->DeleteFolder(Cb(reportsId), Id(reportsId), 0, nullptr, DEL_MESSAGES | DEL_FOLDERS), S_OK);
  EXPECT_TRUE(SameEntry(store_.get(), ReceiveFolderOf(store_.get(), "IPM.Report"), inboxId_));
  // The default class, given to a folder of its own, goes back to the inbox.
  Bytes ownId = EntryIdOf(NewFolder(inbox_.get(), u"Own").get());
  ASSERT_EQ(store_->SetReceiveFolder(nullptr, 0, Cb(ownId), Id(ownId)), S_OK);
  ASSERT_EQ(inbox_->DeleteFolder(Cb(ownId), Id(ownId), 0, nullptr, 0), S_OK);
  EXPECT_TRUE(SameEntry(store_.get(), ReceiveFolderOf(store_.get()), inboxId_));

  auto other = NewFolder(inbox_.get(), u"Other");
  Bytes innerId = EntryIdOf(NewFolder(other.get(), u"Inner").get());
  ASSERT_EQ(store_->SetReceiveFolder(A("IPM.Note.Inner"), 0, Cb(innerId), Id(innerId)), S_OK);
  ASSERT_EQ(other->EmptyFolder(0, nullptr, 0), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(store_->GetReceiveFolderTable(0, table.Out()), S_OK);
  for (const std::u16string& cls : Texts(table.get(), tags::kMessageClassA)) {
    EXPECT_NE(cls, u"IPM.Report");
    EXPECT_NE(cls, u"IPM.Note.Inner");
  }
}

// --- Notifications ---

TEST_F(FolderOps, MovedAndCopiedMessagesAndFoldersNotifyWithOldAndNewPlaces) {
  auto target = NewFolder(inbox_.get(), u"Archive");
  Bytes targetId = EntryIdOf(target.get());
  std::vector<Bytes> ids{SaveMessage(inbox_.get(), u"One")};
  Bytes folderId = EntryIdOf(NewFolder(inbox_.get(), u"Projects").get());
  auto sink = Listen(store_.get(), fnevObjectMoved | fnevObjectCopied);
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, target.get()), S_OK);
  ASSERT_EQ(CopyMessages(inbox_.get(), ids, target.get(), MESSAGE_MOVE), S_OK);
  ASSERT_EQ(CopyFolder(inbox_.get(), folderId, target.get()), S_OK);
  Bytes folderCopy = EntryIdOf(Child(target.get(), u"Projects").get());
  ASSERT_EQ(CopyFolder(inbox_.get(), folderId, target.get(), u"Moved", FOLDER_MOVE), S_OK);
  Bytes messageCopy;
  for (const Bytes& id : MessageIds(target.get()))
    if (id != ids[0]) messageCopy = id;
  struct TExpected {
    ULONG type, objType;
    Bytes entryId, oldId;
  };
  std::vector<TExpected> expected = {{fnevObjectCopied, MAPI_MESSAGE, messageCopy, ids[0]},
                                     {fnevObjectMoved, MAPI_MESSAGE, ids[0], ids[0]},
                                     {fnevObjectCopied, MAPI_FOLDER, folderCopy, folderId},
                                     {fnevObjectMoved, MAPI_FOLDER, folderId, folderId}};
  ASSERT_EQ(sink->events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sink->events[i].type, expected[i].type);
    EXPECT_EQ(sink->events[i].objType, expected[i].objType);
    EXPECT_EQ(sink->events[i].entryId, expected[i].entryId);
    EXPECT_EQ(sink->events[i].parentId, targetId);
    EXPECT_EQ(sink->events[i].oldId, expected[i].oldId);
    EXPECT_EQ(sink->events[i].oldParentId, inboxId_);
  }
}

TEST_F(FolderOps, ReadStateSetOnTheMessageReachesTablesAndSinks) {
  auto message = OpenMessage(store_.get(), SaveMessage(inbox_.get(), u"One"));
  auto table = ContentsOf(inbox_.get());
  auto read = [&] { return Longs(table.get(), tags::kMessageFlags).at(0) & MSGFLAG_READ; };
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  ASSERT_EQ(read(), 0u);
  auto sink = Listen(store_.get(), fnevObjectModified);
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_EQ(read(), ULONG{MSGFLAG_READ});
  EXPECT_EQ(sink->events.size(), 1u);
  // Setting the state it already has changes nothing and tells nobody.
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_EQ(sink->events.size(), 1u);
}

}  // namespace
}  // namespace orba::store
