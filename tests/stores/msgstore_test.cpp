// TVoMAPIMsgStore against alice's mailbox: the sixteen special folders, how each is
// found and the messages they take, the kinds of store, entry ID comparison, entries that cannot be opened, access
// levels, messages opened, found and searched, and the session's entries.
#include <gtest/gtest.h>

#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

class MsgStoreTest : public StoresTest {};

// Each special folder opened by type and by its path name, the type the folder then
// tells, and the class of a message created in it without one.
TEST_F(MsgStoreTest, OpensEverySpecialFolderAndKnowsItsType) {
  const struct {
    TVoMAPIFolderType type;
    const char16_t* path;
    const char* name;
    TVoMAPIFolderType told;
    const char16_t* messageClass;  // null: refused
  } cases[] = {
      {ftInbox, u"[Inbox]", "Inbox", ftInbox, u"IPM.Note"},
      {ftIPMRoot, u"[IPMRoot]", "Top of Information Store", ftIPMRoot, nullptr},
      {ftSearch, u"[Search]", "Finder", ftSearch, nullptr},
      {ftContact, u"[Contact]", "Contacts", ftContact, u"IPM.Contact"},
      {ftAppointment, u"[Appointment]", "Calendar", ftAppointment, u"IPM.Appointment"},
      {ftStickyNote, u"[StickyNote]", "Notes", ftStickyNote, u"IPM.StickyNote"},
      {ftTask, u"[Task]", "Tasks", ftTask, u"IPM.Task"},
      {ftDraft, u"[Draft]", "Drafts", ftDraft, u"IPM.Note"},
      {ftSyncIssues, u"[SyncIssues]", "Sync Issues", ftSyncIssues, nullptr},
      {ftJunkFolder, u"[JunkFolder]", "Junk E-mail", ftGeneric, u"IPM.Note"},  // a folder the store does not name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ComPtr<IVoMAPIFolder> folder = store_->OpenFolderByType(c.type, alReadWrite, false);
    EXPECT_EQ(NameOf(folder.get()), c.name);
    EXPECT_TRUE(store_->CompareEntryIDs(IdOf(folder.get()), store_->Get_FolderID(c.type)));
    EXPECT_EQ(NameOf(store_->OpenFolderByPath(c.path, alReadOnly, false).get()), c.name);
    EXPECT_EQ(folder->Get_FolderType(), c.told);
    if (c.messageClass)
      EXPECT_EQ(folder->CreateMessage(u"")->Get_MessageClass(), c.messageClass);
    else
      EXPECT_MAPI_ERROR(folder->CreateMessage(u""), E_ACCESSDENIED,
                        "It is not possible to create messages in the selected folder!");
  }
}

TEST_F(MsgStoreTest, TypesOutsideTheSixteenFailTheAssertion) {
  for (int32_t type : {0, 0x18, -1}) {
    SCOPED_TRACE(type);
    EXPECT_MAPI_ERROR(store_->OpenFolderByType(TVoMAPIFolderType(type), alReadOnly, false), E_UNEXPECTED,
                      "You have specified an invalid FolderType");
    EXPECT_MAPI_ERROR(store_->Get_FolderID(TVoMAPIFolderType(type)), E_UNEXPECTED,
                      "You have specified an invalid FolderType");
  }
}

TEST_F(MsgStoreTest, SyncIssuesAndJunkNeedEnoughAdditionalRenEntryIDs) {
  const char* missing =
      "TVoMAPIMsgStore.OpenFolderByType failed, because the message store does not have a folder of the type you "
      "requested!";
  ComPtr<IVoMAPIProp> inbox = Props(Inbox().get());
  const TVoVariant ids = inbox->PropByName(PR_ADDITIONAL_REN_ENTRYIDS)->Get_AsList();
  ASSERT_EQ(ids.ArrayLength(), 5u);
  const struct {
    size_t kept;
    bool syncIssues, junk;
  } cases[] = {{4, true, false}, {1, false, false}, {5, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kept);
    inbox->PropByName(PR_ADDITIONAL_REN_ENTRYIDS)
        ->Set_AsList(TVoVariant(TVoVariant::VariantArray(ids.Items().begin(), ids.Items().begin() + c.kept)));
    inbox->SaveChanges(smKeepOpenReadWrite);
    if (c.syncIssues)
      EXPECT_EQ(NameOf(store_->OpenFolderByType(ftSyncIssues, alReadOnly, false).get()), "Sync Issues");
    else
      EXPECT_MAPI_ERROR(store_->OpenFolderByType(ftSyncIssues, alReadOnly, false), E_FAIL, missing);
    if (c.junk)
      EXPECT_EQ(NameOf(store_->OpenFolderByType(ftJunkFolder, alReadOnly, false).get()), "Junk E-mail");
    else
      EXPECT_MAPI_ERROR(store_->OpenFolderByType(ftJunkFolder, alReadOnly, false), E_FAIL, missing);
  }
}

TEST_F(MsgStoreTest, OutlookFoldersWithoutTheirInboxPropertyAreFoundByContainerClass) {
  ComPtr<IVoMAPIProp> inbox = Props(Inbox().get());
  inbox->DeleteProperty(PR_IPM_CONTACT_ENTRYID);
  inbox->DeleteProperty(PR_IPM_DRAFTS_ENTRYID);
  EXPECT_EQ(NameOf(store_->OpenFolderByType(ftContact, alReadOnly, false).get()), "Contacts");

  // The first folder of the class in table order; none of the class: no folder.
  ComPtr<IVoMAPIFolder> contacts = store_->OpenFolderByType(ftContact, alReadWrite, false);
  contacts->Set_ContainerClass(u"IPF.Note");
  Props(contacts.get())->SaveChanges(smKeepOpenReadWrite);
  Subtree()->CreateFolder(u"ipf.contact", u"People", u"", false);
  EXPECT_EQ(NameOf(store_->OpenFolderByType(ftContact, alReadOnly, false).get()), "People");
  EXPECT_TRUE(store_->Get_FolderID(ftDraft).IsNull());  // Orba Store's Drafts is an IPF.Note folder
  EXPECT_MAPI_ERROR(store_->OpenFolderByType(ftDraft, alReadOnly, false), E_FAIL,
                    "TVoMAPIMsgStore.OpenFolderByType failed, because the message store does not have a folder of "
                    "the type you requested!");
}

TEST_F(MsgStoreTest, TellsTheKindOfStore) {
  EXPECT_EQ(store_->Get_ExchangeStoreType(), etPrivate);
  EXPECT_EQ(session_->OpenMsgStore(session_->GetPublicFoldersMsgStoreID(), alReadOnly, false)->Get_ExchangeStoreType(),
            etPublic);
}

TEST_F(MsgStoreTest, ComparesEntryIDs) {
  const TVoMAPIEntryID inbox = store_->Get_FolderID(ftInbox), outbox = store_->Get_FolderID(ftOutbox);
  EXPECT_TRUE(store_->CompareEntryIDs(inbox, IdOf(Inbox().get())));
  EXPECT_FALSE(store_->CompareEntryIDs(inbox, outbox));
  // Byte-identical entry IDs are equal without asking MAPI, which would refuse these.
  const TVoMAPIEntryID junk = StrToEntryID(WideString(u"0102"));
  EXPECT_TRUE(store_->CompareEntryIDs(junk, junk));
  EXPECT_FALSE(store_->CompareEntryIDs(inbox, TVoVariant::Null()));
  EXPECT_TRUE(store_->CompareEntryIDs(TVoVariant::Null(), TVoVariant::Null()));
  EXPECT_THROW(store_->CompareEntryIDs(inbox, junk), EMAPI_INVALID_ENTRYID);
}

TEST_F(MsgStoreTest, EntriesThatAreNoFolderOrOfAnotherStoreAreRefused) {
  const TVoMAPIEntryID inbox = store_->Get_FolderID(ftInbox);
  std::vector<BYTE> truncated = EntryIDToArr(inbox);
  truncated.resize(truncated.size() - 3);
  ComPtr<IVoMAPIMsgStore> publicStore =
      session_->OpenMsgStore(session_->GetPublicFoldersMsgStoreID(), alReadOnly, false);
  const TVoMAPIEntryID foreign = IdOf(publicStore.get());
  const TVoMAPIEntryID message = IdOf(SaveMessage(Inbox().get(), u"Hello").get());

  EXPECT_MAPI_ERROR(store_->OpenFolder(TVoVariant::Null(), alReadOnly, false), E_UNEXPECTED,
                    "Empty EntryID values are not allowed!");
  EXPECT_THROW(store_->OpenFolder(ArrToEntryID(truncated), alReadOnly, false), EMAPI_INVALID_ENTRYID);
  EXPECT_THROW(store_->OpenFolder(foreign, alReadOnly, false), EMAPI_UNKNOWN_ENTRYID);
  EXPECT_MAPI_ERROR(store_->OpenFolder(message, alReadOnly, false), E_INVALIDARG,
                    "TVoMAPIMsgStore.OpenContainer failed, because the object that was opened is not a container.");
  EXPECT_MAPI_ERROR(store_->OpenMessage(inbox, alReadOnly, false), E_INVALIDARG,
                    "TVoMAPIMsgStore.OpenMessage failed, because the object that was opened is not a message.");
  ULONG type = 0;
  EXPECT_MAPI_ERROR(static_cast<TVoMAPIMsgStore*>(store_.get())->OpenContainer(nullptr, 0, type, alReadOnly, false),
                    E_INVALIDARG, "TVoMAPIMsgStore.OpenContainer failed!\r\nThere is no PtrEntryID!");
}

TEST_F(MsgStoreTest, ReadOnlyStoresRefuseWrites) {
  const TVoMAPIEntryID id = session_->GetDefaultMsgStoreID();
  ComPtr<IVoMAPIMsgStore> readOnly = session_->OpenMsgStore(id, alReadOnly, false);
  const char* noWriteAccess = "You don't have readwrite access!";
  EXPECT_MAPI_ERROR(readOnly->OpenFolderByType(ftInbox, alReadWrite, false), E_ACCESSDENIED, noWriteAccess);
  EXPECT_MAPI_ERROR(readOnly->CreateMessage(ftInbox, u"IPM.Note"), E_ACCESSDENIED, noWriteAccess);
  ComPtr<IVoMAPIFolder> inbox = readOnly->OpenFolderByType(ftInbox, alReadOnly, false);

  // A wrapper that claims more than MAPI opened: MAPI refuses with the read-only texts.
  auto claimed =
      MakeComObject<TVoMAPIMsgStore>(session_.get(), session_->OpenMAPIMsgStore(id, alReadOnly), alReadWrite);
  EXPECT_MAPI_ERROR(claimed->OpenFolderByType(ftInbox, alReadWrite, false), E_ACCESSDENIED,
                    "TVoMAPIMsgStore.OpenEntry failed!\r\nAn attempt was made to open an object in read/write mode "
                    "but the messagestore is opened in Read Only mode!");
  // Best access opens what it can, and MAPI refuses the change itself.
  ComPtr<IVoMAPIFolder> best = claimed->OpenFolderByType(ftInbox, alBestAccess, false);
  EXPECT_THROW(best->CreateFolder(u"IPF.Note", u"New", u"", false), EMAPI_NO_ACCESS);
}

TEST_F(MsgStoreTest, OpensFindsAndSearchesMessages) {
  ComPtr<IVoMAPIFolder> deep = Inbox()->CreateFolder(u"IPF.Note", u"Deep", u"", false);
  ComPtr<IVoMAPIMessage> saved = SaveMessage(deep.get(), u"Needle");
  const TVoMAPIEntryID id = IdOf(saved.get());
  const TVoMAPIEntryID searchKey = Props(saved.get())->Get_SearchKey();
  ASSERT_FALSE(searchKey.IsNull());

  EXPECT_EQ(store_->OpenMessage(id, alReadOnly, false)->Get_Subject(), u"Needle");
  EXPECT_EQ(store_->FindMessage(id, alReadOnly, false)->Get_Subject(), u"Needle");
  ComPtr<IVoMAPIMessage> found = store_->SearchMessage(searchKey, alReadOnly, false);
  ASSERT_TRUE(found);
  EXPECT_TRUE(store_->CompareEntryIDs(IdOf(found.get()), id));
  EXPECT_FALSE(store_->SearchMessage(ArrToEntryID({1, 2, 3}), alReadOnly, false));
  deep->DeleteMessage(id);
  EXPECT_FALSE(store_->SearchMessage(searchKey, alReadOnly, false));
  // A deleted message is asked for once more without the cache, and stays not found.
  EXPECT_FALSE(store_->FindMessage(id, alReadOnly, false));
  EXPECT_THROW(store_->OpenMessage(id, alReadOnly, false), EMAPI_NOT_FOUND);
}

TEST_F(MsgStoreTest, CreatesMessagesInSpecialFoldersAndKnowsTheirStoreAndFolder) {
  ComPtr<IVoMAPIMessage> task = store_->CreateMessage(ftTask, u"");
  EXPECT_EQ(task->Get_MessageClass(), u"IPM.Task");
  EXPECT_TRUE(task->Get_IsNewMessage());
  Props(task.get())->SaveChanges(smKeepOpenReadWrite);
  EXPECT_EQ(NameOf(task->Get_ParentFolder().get()), "Tasks");
  EXPECT_FALSE(task->Get_IsSaved());

  ComPtr<IVoMAPIMessage> opened = store_->OpenMessage(IdOf(task.get()), alReadOnly, false);
  EXPECT_FALSE(opened->Get_IsNewMessage());
}

TEST_F(MsgStoreTest, ReadsTheRetentionPolicyConfiguration) {
  EXPECT_EQ(store_->GetMRMConfig(), u"");
  // Only a folder-associated message counts; its class is compared ignoring case.
  for (const char16_t* created : {u"IPM.Note", u"IPM.Configuration.Velmora"}) {
    ComPtr<IVoMAPIProp> config = Props(Inbox()->CreateMessage(created).get());
    config->PropByName(PR_MESSAGE_CLASS)->Set_AsString(u"ipm.configuration.mrm");
    config->PropByName(PR_ROAMING_XMLSTREAM)->Set_Value(TVoVariant(std::vector<BYTE>{'<', 'R', 0xE9, '/', '>'}));
    config->SaveChanges(smKeepOpenReadWrite);
  }
  EXPECT_EQ(store_->GetMRMConfig(), u"<R\u00E9/>");
}

TEST_F(MsgStoreTest, TheSessionOpensEntriesAsTheLibrarysObjects) {
  ComPtr<IVoMAPIMessage> message = SaveMessage(Inbox().get(), u"Entry");
  TVoMAPIObjectType type = otUnknown;
  ComPtr<IUnknown> store = session_->OpenEntry(session_->GetDefaultMsgStoreID(), type, alReadOnly);
  EXPECT_EQ(type, otMessageStore);
  ComPtr<IUnknown> folder = session_->OpenEntry(store_->Get_FolderID(ftInbox), type, alReadWrite);
  EXPECT_EQ(type, otFolder);
  EXPECT_EQ(folder.Query<IVoMAPIFolder>(IID_IVoMAPIFolder)->Get_FolderType(), ftInbox);
  ComPtr<IUnknown> opened = session_->FindEntry(IdOf(message.get()), type, alReadOnly);
  EXPECT_EQ(type, otMessage);
  Inbox()->DeleteMessage(IdOf(message.get()));
  EXPECT_FALSE(session_->FindEntry(IdOf(message.get()), type, alReadOnly));
  EXPECT_EQ(type, otUnknown);
  EXPECT_MAPI_ERROR(session_->OpenEntry(TVoVariant::Null(), type, alReadOnly), E_INVALIDARG,
                    "An invalid (empty) EntryID was specified!");
}

}  // namespace
