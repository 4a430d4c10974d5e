// TVoMAPIFolder against alice's mailbox: the classes of new messages, creating, copying,
// moving, emptying and deleting folders with every refusal, messages copied, moved and
// deleted, message status, and a table's folder.
#include <gtest/gtest.h>

#include <functional>

#include "orba/VoMAPITableEvents.h"
#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

class FolderTest : public StoresTest {
 protected:
  // Reopened, so that the folder type is worked out afresh.
  ComPtr<IVoMAPIFolder> Reopened(const ComPtr<IVoMAPIFolder>& Folder) {
    return store_->OpenFolder(IdOf(Folder.get()), alReadWrite, false);
  }
};

TEST_F(FolderTest, DerivesTheDefaultMessageClassFromTheContainerClass) {
  const struct {
    const char16_t* containerClass;
    const char16_t* defaultClass;
    const char16_t* newMessageClass;
  } cases[] = {
      {u"IPF.Note.Custom", u"IPM.Note.Custom", u"IPM.Note.Custom"},
      {u"Custom.IPF.Thing", u"Custom.IPM.Thing", u"Custom.IPM.Thing"},
      {u"", u"", u"IPM.Note"},  // a folder without class holds mail
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.containerClass));
    ComPtr<IVoMAPIFolder> folder =
        Subtree()->CreateFolder(c.containerClass, u"Class " + WideString(c.containerClass), u"", false);
    EXPECT_EQ(folder->Get_DefaultMessageClass(), c.defaultClass);
    EXPECT_EQ(Reopened(folder)->CreateMessage(u"")->Get_MessageClass(), c.newMessageClass);
  }
}

TEST_F(FolderTest, KeepsConfigurationMessagesWithTheFolder) {
  ComPtr<IVoMAPIFolder> folder = Subtree()->CreateFolder(u"IPF.Note", u"Config", u"", false);
  for (const char16_t* messageClass : {u"IPM.Configuration.Velmora", u"ipm.note.rules.ooftemplate.microsoft",
                                       u"IPM.Note.Rules.ExternalOofTemplate.Microsoft"})
    SaveMessage(folder.get(), u"hidden", messageClass);
  SaveMessage(folder.get(), u"visible", u"IPM.Note");
  EXPECT_EQ(RowsOf(folder->GetAssociatedContentsTable()), 3);
  EXPECT_EQ(RowsOf(folder->GetContentsTable()), 1);
}

TEST_F(FolderTest, CreatesFoldersOnceAndOpensThemWhenAsked) {
  ComPtr<IVoMAPIFolder> first = Subtree()->CreateFolder(u"IPF.Note", u"Once", u"first", false);
  EXPECT_MAPI_ERROR(Subtree()->CreateFolder(u"IPF.Note", u"once", u"", false), MAPI_E_COLLISION,
                    "TVoMAPIFolder.CreateFolder failed!\r\nA folder with the name given in the AFolderName parameter "
                    "already exists. Folder names must be unique.");
  ComPtr<IVoMAPIFolder> again = Subtree()->CreateFolder(u"IPF.Task", u"Once", u"", true);
  EXPECT_TRUE(store_->CompareEntryIDs(IdOf(first.get()), IdOf(again.get())));
  EXPECT_EQ(Reopened(first)->Get_ContainerClass(), u"IPF.Note");
}

TEST_F(FolderTest, CreateFolderByTypeRoundTrips) {
  const struct {
    int32_t type;
    const char16_t* containerClass;
    TVoMAPIFolderType found;
  } cases[] = {
      {ftContact, u"IPF.Contact", ftContact}, {ftAppointment, u"IPF.Appointment", ftAppointment},
      {ftTask, u"IPF.Task", ftTask},          {ftInbox, u"IPF.Note", ftGeneric},
      {ftDraft, u"IPF.Note", ftGeneric},      {ftGeneric, u"IPF.Note", ftGeneric},
      {0x20000, u"IPF.Note", ftGeneric},      {-1, u"IPF.Note", ftGeneric},
  };
  ComPtr<IVoMAPIFolder> parent = Subtree()->CreateFolder(u"IPF.Note", u"Typed", u"", false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    ComPtr<IVoMAPIFolder> created = parent->CreateFolderByType(
        TVoMAPIFolderType(c.type), u"Folder " + FromUtf8(std::to_string(c.type)), u"", false);
    EXPECT_EQ(created->Get_ContainerClass(), c.containerClass);
    EXPECT_EQ(Reopened(created)->Get_FolderType(), c.found);
  }
}

TEST_F(FolderTest, DeletesOnlyWhatItIsAllowedTo) {
  ComPtr<IVoMAPIFolder> parent = Subtree()->CreateFolder(u"IPF.Note", u"Parent", u"", false);
  ComPtr<IVoMAPIFolder> full = parent->CreateFolder(u"IPF.Note", u"Full", u"", false);
  SaveMessage(full.get(), u"keep me");
  ComPtr<IVoMAPIFolder> nested = parent->CreateFolder(u"IPF.Note", u"Nested", u"", false);
  nested->CreateFolder(u"IPF.Note", u"Child", u"", false);
  EXPECT_MAPI_ERROR(parent->DeleteFolder(IdOf(full.get()), false, true, false), MAPI_E_HAS_MESSAGES,
                    "TVoMAPIFolder.DeleteFolder failed!\r\nThe subfolder being deleted contains messages, and the "
                    "ADeleteMessages flag was not set. The subfolder was not deleted.");
  EXPECT_MAPI_ERROR(parent->DeleteFolder(IdOf(nested.get()), true, false, false), MAPI_E_HAS_FOLDERS,
                    "TVoMAPIFolder.DeleteFolder failed!\r\nThe subfolder being deleted contains subfolders, and the "
                    "ADeleteSubFolders flag was not set. The subfolder was not deleted.");
  // The store's own folders cannot be deleted at all.
  EXPECT_THROW(Subtree()->DeleteFolder(store_->Get_FolderID(ftInbox), true, true, false), EMAPI_NO_ACCESS);

  parent->DeleteFolder(IdOf(full.get()), true, false, false);
  parent->DeleteFolder(IdOf(nested.get()), false, true, false);
  EXPECT_EQ(RowsOf(parent->GetHierarchyTable(false)), 0);
}

TEST_F(FolderTest, CopiesAndMovesFolders) {
  ComPtr<IVoMAPIFolder> source = Subtree()->CreateFolder(u"IPF.Note", u"Source", u"", false);
  source->CreateFolder(u"IPF.Note", u"Sub", u"", false);
  SaveMessage(source.get(), u"carried");
  ComPtr<IVoMAPIFolder> target = Subtree()->CreateFolder(u"IPF.Note", u"Target", u"", false);
  ComPtr<IVoMAPIFolder> subtree = Subtree();

  subtree->CopyFolder(IdOf(source.get()), target.get(), u"Copy", true, false, false);
  EXPECT_EQ(RowsOf(Folder(u"Target/Copy")->GetContentsTable()), 1);
  EXPECT_EQ(NameOf(Folder(u"Target/Copy/Sub").get()), "Sub");

  EXPECT_MAPI_ERROR(subtree->CopyFolder(IdOf(source.get()), target.get(), u"copy", true, false, false),
                    MAPI_E_COLLISION,
                    "TVoMAPIFolder.CopyFolder failed!\r\nA folder with the name given in the AFolderName parameter "
                    "already exists. Folder names must be unique.");
  EXPECT_MAPI_ERROR(subtree->CopyFolder(IdOf(target.get()), Folder(u"Target/Copy").get(), u"", true, false, true),
                    MAPI_E_FOLDER_CYCLE,
                    "TVoMAPIFolder.CopyFolder failed!\r\nThe source folder directly or indirectly contains the "
                    "destination folder. Significant work might have been performed before this condition was "
                    "discovered so the source and destination folder might be partially modified.");
  EXPECT_MAPI_ERROR(subtree->CopyFolder(IdOf(source.get()), nullptr, u"", true, false, false), E_INVALIDARG,
                    "TVoMAPIFolder.CopyFolder failed!\r\nNo destination folder was given.");

  subtree->CopyFolder(IdOf(source.get()), target.get(), u"Moved", true, false, true);
  EXPECT_TRUE(static_cast<TVoMAPIFolder*>(subtree.get())->FindSubfolder(u"Source", false).IsNull());
  EXPECT_EQ(NameOf(Folder(u"Target/Moved/Sub").get()), "Sub");
}

TEST_F(FolderTest, EmptiesCopiesMovesAndDeletesMessages) {
  ComPtr<IVoMAPIFolder> folder = Subtree()->CreateFolder(u"IPF.Note", u"Messages", u"", false);
  ComPtr<IVoMAPIFolder> other = Subtree()->CreateFolder(u"IPF.Note", u"Other", u"", false);
  const TVoMAPIEntryID first = IdOf(SaveMessage(folder.get(), u"first").get());
  const TVoMAPIEntryID second = IdOf(SaveMessage(folder.get(), u"second").get());
  SaveMessage(folder.get(), u"associated", u"IPM.Configuration.Velmora");

  folder->Set_MessageStatus(first, MSGSTATUS_HIGHLIGHTED | MSGSTATUS_TAGGED);
  EXPECT_EQ(folder->Get_MessageStatus(first), uint32_t(MSGSTATUS_HIGHLIGHTED | MSGSTATUS_TAGGED));

  folder->CopyMessage(first, other.get(), false);
  folder->CopyMessage(second, other.get(), true);
  EXPECT_EQ(RowsOf(folder->GetContentsTable()), 1);
  EXPECT_EQ(RowsOf(other->GetContentsTable()), 2);
  folder->DeleteMessage(first);
  EXPECT_EQ(RowsOf(folder->GetContentsTable()), 0);
  // An entry ID that names no message of the folder is not deleted: MAPI's warning.
  EXPECT_THROW(folder->DeleteMessage(ArrToEntryID({1, 2})), EMAPI_W_PARTIAL_COMPLETION);

  other->EmptyFolder(false, false);
  EXPECT_EQ(RowsOf(other->GetContentsTable()), 0);
  EXPECT_EQ(RowsOf(folder->GetAssociatedContentsTable()), 1);
  folder->EmptyFolder(true, false);
  EXPECT_EQ(RowsOf(folder->GetAssociatedContentsTable()), 0);
}

TEST_F(FolderTest, ReadOnlyFoldersRefuseEveryChange) {
  ComPtr<IVoMAPIFolder> writable = Subtree()->CreateFolder(u"IPF.Note", u"Locked", u"", false);
  const TVoMAPIEntryID message = IdOf(SaveMessage(writable.get(), u"m").get());
  ComPtr<IVoMAPIFolder> folder = store_->OpenFolder(IdOf(writable.get()), alReadOnly, false);
  const std::function<void()> changes[] = {
      [&] { folder->CreateMessage(u""); },
      [&] { folder->CreateFolder(u"IPF.Note", u"x", u"", false); },
      [&] { folder->DeleteFolder(message, true, true, false); },
      [&] { folder->DeleteMessage(message); },
      [&] { folder->CopyMessage(message, writable.get(), true); },
      [&] { folder->Set_MessageStatus(message, 0); },
  };
  for (const auto& change : changes) EXPECT_MAPI_ERROR(change(), E_ACCESSDENIED, "You don't have readwrite access!");
  // Reading and copying out stay allowed.
  EXPECT_EQ(folder->Get_MessageStatus(message), 0u);
  folder->CopyMessage(message, writable.get(), false);
  EXPECT_EQ(RowsOf(writable->GetContentsTable()), 2);
}

TEST_F(FolderTest, TableEventsKnowTheirFolder) {
  ComPtr<IVoMAPIFolder> inbox = Inbox();
  TVoMAPITableEvents events;
  EXPECT_MAPI_ERROR(events.Get_Folder(), E_FAIL, "It's not possible to get the folder for this table!");
  events.Start(inbox->GetContentsTable().get());
  EXPECT_TRUE(store_->CompareEntryIDs(IdOf(events.Get_Folder().get()), IdOf(inbox.get())));
  events.Start(session_->GetMsgStoresTable().get());
  EXPECT_MAPI_ERROR(events.Get_Folder(), E_FAIL, "It's not possible to get the folder for this table!");
}

TEST_F(FolderTest, ContainerOpensItsEntries) {
  ComPtr<IVoMAPIFolder> inbox = Inbox();
  const TVoMAPIEntryID id = IdOf(SaveMessage(inbox.get(), u"entry").get());
  ULONG type = 0;
  auto* container = static_cast<TVoMAPIFolder*>(inbox.get());
  EXPECT_TRUE(container->OpenEntry(id, &IID_IMessage, 0, type).Query<IMessage>(IID_IMessage));
  EXPECT_EQ(type, ULONG(MAPI_MESSAGE));
  auto list = MakeComObject<TVoMAPIContainer>(nullptr, session_.get(), ComPtr<IMAPIContainer>(container->MAPIFolder()),
                                              ctDistList, alReadOnly);
  EXPECT_MAPI_ERROR(list->OpenEntry(id, nullptr, 0, type), MAPI_E_NO_SUPPORT,
                    "OpenEntry is not supported for this containertype");
}

}  // namespace
