// Copies and moves between two stores of one session (a personal store file and a
// mailbox): contents, read state, named properties carried by name, the destination's
// own identity, moves, notifications in both stores, read-only destinations and
// failures that leave the originals.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "mapiobjects/storeproviders.h"
#include "memory/mapimemory.h"
#include "props/tags.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);
const GUID kNamesA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

// A folder of some other provider: it answers nothing, and is only ever a destination.
class TOtherProvidersFolder final : public TVoComObject<TVoRefCounted, IMAPIFolder> {
 public:
#define ORBA_NOT_HERE(name, ...) \
  STDMETHOD(name)(__VA_ARGS__) override { return MAPI_E_NO_SUPPORT; }
  ORBA_NOT_HERE(GetLastError, HRESULT, ULONG, LPMAPIERROR*)
  ORBA_NOT_HERE(SaveChanges, ULONG)
  ORBA_NOT_HERE(GetProps, LPSPropTagArray, ULONG, ULONG*, LPSPropValue*)
  ORBA_NOT_HERE(GetPropList, ULONG, LPSPropTagArray*)
  ORBA_NOT_HERE(OpenProperty, ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*)
  ORBA_NOT_HERE(SetProps, ULONG, LPSPropValue, LPSPropProblemArray*)
  ORBA_NOT_HERE(DeleteProps, LPSPropTagArray, LPSPropProblemArray*)
  ORBA_NOT_HERE(CopyTo, ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                LPSPropProblemArray*)
  ORBA_NOT_HERE(CopyProps, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG, LPSPropProblemArray*)
  ORBA_NOT_HERE(GetNamesFromIDs, LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**)
  ORBA_NOT_HERE(GetIDsFromNames, ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*)
  ORBA_NOT_HERE(GetContentsTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(GetHierarchyTable, ULONG, LPMAPITABLE*)
  ORBA_NOT_HERE(OpenEntry, ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN*)
  ORBA_NOT_HERE(SetSearchCriteria, LPSRestriction, LPENTRYLIST, ULONG)
  ORBA_NOT_HERE(GetSearchCriteria, ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*)
  ORBA_NOT_HERE(CreateMessage, LPCIID, ULONG, LPMESSAGE*)
  ORBA_NOT_HERE(CopyMessages, LPENTRYLIST, LPCIID, LPVOID, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(DeleteMessages, LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(CreateFolder, ULONG, LPTSTR, LPTSTR, LPCIID, ULONG, LPMAPIFOLDER*)
  ORBA_NOT_HERE(CopyFolder, ULONG, LPENTRYID, LPCIID, LPVOID, LPTSTR, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(DeleteFolder, ULONG, LPENTRYID, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(SetReadFlags, LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG)
  ORBA_NOT_HERE(GetMessageStatus, ULONG, LPENTRYID, ULONG, ULONG*)
  ORBA_NOT_HERE(SetMessageStatus, ULONG, LPENTRYID, ULONG, ULONG, ULONG*)
  ORBA_NOT_HERE(SaveContentsSort, LPSSortOrderSet, ULONG)
  ORBA_NOT_HERE(EmptyFolder, ULONG_PTR, LPMAPIPROGRESS, ULONG)
#undef ORBA_NOT_HERE
};

class CrossStore : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSPST MS");
    AddStoreService(home_.Path(), "MSEMS");
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    ComPtr<IMAPITable> stores;
    ASSERT_EQ(session_->GetMsgStoresTable(0, stores.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
    ASSERT_EQ(stores->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(stores->QueryRows(10, 0, &rows), S_OK);
    // The personal file, the mailbox, and the organisation's public folders.
    ASSERT_EQ(rows->cRows, 3u);
    ComPtr<IMsgStore>* opened[] = {&pst_, &mailbox_};
    for (ULONG i = 0; i < 2; ++i) {
      Bytes id = Bytes(rows->aRow[i].lpProps[0].Value.bin.lpb,
                       rows->aRow[i].lpProps[0].Value.bin.lpb + rows->aRow[i].lpProps[0].Value.bin.cb);
      ASSERT_EQ(session_->OpenMsgStore(0, Cb(id), Id(id), nullptr, MDB_WRITE | MDB_NO_DIALOG, opened[i]->Out()), S_OK);
    }
    FreeProws(rows);
    pstInbox_ = OpenFolder(pst_.get(), InboxId(pst_.get()));
    mailInbox_ = OpenFolder(mailbox_.get(), InboxId(mailbox_.get()));
    ASSERT_TRUE(pstInbox_ && mailInbox_);
  }
  void TearDown() override {
    pstInbox_ = mailInbox_ = nullptr;
    pst_ = mailbox_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
    MAPIUninitialize();
  }

  static ULONG NamedTag(IMAPIProp* object, const GUID& guid, LONG id, ULONG type) {
    MAPINAMEID name{const_cast<GUID*>(&guid), MNID_ID, {}};
    name.Kind.lID = id;
    LPMAPINAMEID names[] = {&name};
    LPSPropTagArray tagsOut = nullptr;
    EXPECT_EQ(object->GetIDsFromNames(1, names, MAPI_CREATE, &tagsOut), S_OK);
    ULONG tag = tagsOut ? PROP_TAG(type, PROP_ID(tagsOut->aulPropTag[0])) : 0;
    MAPIFreeBuffer(tagsOut);
    return tag;
  }
  static void SetLong(IMAPIProp* object, ULONG tag, LONG value) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    EXPECT_EQ(object->SetProps(1, &v, nullptr), S_OK);
  }
  static void SetText(IMAPIProp* object, ULONG tag, const char16_t* text) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszW = Wide(text);
    EXPECT_EQ(object->SetProps(1, &v, nullptr), S_OK);
  }

  // A saved message: a subject, a body, a recipient, an embedded message with its own subject,
  // and (named != 0) the named property (kNamesA, named) set to 42.
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, LONG named = 0) {
    ComPtr<IMessage> message;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
    SetText(message.get(), tags::kSubjectW, subject);
    SetLong(message.get(), tags::kImportance, IMPORTANCE_HIGH);
    SetText(message.get(), kBodyW, u"Hello");
    if (named) SetLong(message.get(), NamedTag(message.get(), kNamesA, named, PT_LONG), 42);
    auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(1));
    SPropValue recipient[2]{};
    recipient[0].ulPropTag = tags::kDisplayNameW;
    recipient[0].Value.lpszW = Wide(u"Ann");
    recipient[1].ulPropTag = tags::kRecipientType;
    recipient[1].Value.l = MAPI_TO;
    list->cEntries = 1;
    list->aEntries[0].cValues = 2;
    list->aEntries[0].rgPropVals = recipient;
    EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, list.get()), S_OK);
    ComPtr<IAttach> attach;
    ULONG num = 0;
    EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
    SetLong(attach.get(), tags::kAttachMethod, ATTACH_EMBEDDED_MSG);
    ComPtr<IMessage> inner;
    EXPECT_EQ(attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                   reinterpret_cast<LPUNKNOWN*>(inner.Out())),
              S_OK);
    SetText(inner.get(), tags::kSubjectW, u"inner");
    if (named) SetLong(inner.get(), NamedTag(inner.get(), kNamesA, named, PT_LONG), 7);
    EXPECT_EQ(inner->SaveChanges(0), S_OK);
    EXPECT_EQ(attach->SaveChanges(0), S_OK);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    return Binary(message.get(), tags::kEntryId);
  }

  // The entry IDs of a folder's messages with their subjects, in subject order.
  std::vector<std::pair<std::u16string, Bytes>> Contents(IMAPIFolder* folder) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder->GetContentsTable(0, table.Out()), S_OK);
    SizedSPropTagArray<2> columns{2, {tags::kSubjectW, tags::kEntryId}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    std::vector<std::pair<std::u16string, Bytes>> out;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SPropValue* v = rows->aRow[i].lpProps;
      out.emplace_back(reinterpret_cast<const char16_t*>(v[0].Value.lpszW),
                       Bytes(v[1].Value.bin.lpb, v[1].Value.bin.lpb + v[1].Value.bin.cb));
    }
    FreeProws(rows);
    std::sort(out.begin(), out.end());
    return out;
  }
  ComPtr<IMessage> OpenMessage(IMsgStore* store, Bytes id) {
    ComPtr<IUnknown> unknown;
    ULONG type = 0;
    EXPECT_EQ(store->OpenEntry(Cb(id), Id(id), nullptr, MAPI_MODIFY, &type, unknown.Out()), S_OK);
    return ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  }
  ComPtr<IMessage> Embedded(IMessage* message) {
    ComPtr<IAttach> attach;
    EXPECT_EQ(message->OpenAttach(0, nullptr, 0, attach.Out()), S_OK);
    ComPtr<IMessage> inner;
    if (attach) {
      EXPECT_EQ(
          attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(inner.Out())),
          S_OK);
    }
    return inner;
  }
  ComPtr<IMAPIFolder> MakeFolder(IMAPIFolder* parent, const char16_t* name) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(parent->CreateFolder(FOLDER_GENERIC, W(name), nullptr, nullptr, MAPI_UNICODE, folder.Out()), S_OK);
    return folder;
  }
  ComPtr<TObjectSink> Listen(IMsgStore* store) {
    auto sink = MakeComObject<TObjectSink>();
    ULONG_PTR connection = 0;
    EXPECT_EQ(store->Advise(0, nullptr, fnevObjectCreated | fnevObjectDeleted | fnevObjectCopied | fnevObjectMoved,
                            sink.get(), &connection),
              S_OK);
    return sink;
  }
  // Makes the stored bodies of the personal store's messages undecodable (too large for
  // the tables to read them).
  void CorruptBodies() {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((home_.Path() / "files" / "mail.pst").string().c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE message_props SET value=randomblob(2001) WHERE prop_id=0x1000", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_GT(sqlite3_changes(db), 0);
    sqlite3_close(db);
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> pst_, mailbox_;
  ComPtr<IMAPIFolder> pstInbox_, mailInbox_;
};

// --- messages ---

TEST_F(CrossStore, CopyCarriesContentsAndReadStateWithTheDestinationsIdentity) {
  Bytes original = SaveMessage(pstInbox_.get(), u"Report");
  ASSERT_EQ(pstInbox_->SetReadFlags(nullptr, 0, nullptr, 0), S_OK);
  std::vector<Bytes> ids{original};
  EntryList list(ids);
  ASSERT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, mailInbox_.get(), 0, nullptr, 0), S_OK);
  auto copies = Contents(mailInbox_.get());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].first, u"Report");
  EXPECT_EQ(Contents(pstInbox_.get()).size(), 1u);
  auto copy = OpenMessage(mailbox_.get(), copies[0].second);
  auto source = OpenMessage(pst_.get(), original);
  ASSERT_TRUE(copy && source);
  EXPECT_EQ(Long(copy.get(), tags::kImportance), ULONG(IMPORTANCE_HIGH));
  EXPECT_TRUE(Long(copy.get(), tags::kMessageFlags) & MSGFLAG_READ);
  EXPECT_TRUE(Long(copy.get(), tags::kMessageFlags) & MSGFLAG_HASATTACH);
  // The destination's identity; the search key stays.
  EXPECT_NE(copies[0].second, original);
  EXPECT_EQ(Binary(copy.get(), tags::kStoreEntryId), Binary(mailInbox_.get(), tags::kStoreEntryId));
  EXPECT_NE(Binary(copy.get(), tags::kSourceKey), Binary(source.get(), tags::kSourceKey));
  Bytes storeGuid = Binary(mailbox_.get(), tags::kRecordKey);
  Bytes sourceKey = Binary(copy.get(), tags::kSourceKey);
  ASSERT_EQ(sourceKey.size(), 22u);
  EXPECT_TRUE(std::equal(storeGuid.begin(), storeGuid.end(), sourceKey.begin()));
  Bytes changeKey = Binary(copy.get(), tags::kChangeKey);
  ASSERT_EQ(changeKey.size(), 22u);
  EXPECT_TRUE(std::equal(storeGuid.begin(), storeGuid.end(), changeKey.begin()));
  EXPECT_EQ(Binary(copy.get(), tags::kSearchKey), Binary(source.get(), tags::kSearchKey));
  // Recipients and the embedded message came along.
  ComPtr<IMAPITable> recipients;
  ASSERT_EQ(copy->GetRecipientTable(0, recipients.Out()), S_OK);
  ULONG count = 0;
  ASSERT_EQ(recipients->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  auto inner = Embedded(copy.get());
  ASSERT_TRUE(inner);
  EXPECT_EQ(Text(inner.get(), tags::kSubjectW), u"inner");
}

TEST_F(CrossStore, NamedPropertiesAreCarriedByName) {
  // The mailbox hands out its first named id for another name first, so the same id
  // means different names in the two stores.
  ComPtr<IMessage> other;
  ASSERT_EQ(mailInbox_->CreateMessage(nullptr, 0, other.Out()), S_OK);
  ULONG taken = NamedTag(other.get(), kNamesA, 1, PT_LONG);
  Bytes original = SaveMessage(pstInbox_.get(), u"Named", 2);
  auto source = OpenMessage(pst_.get(), original);
  ULONG sourceTag = NamedTag(source.get(), kNamesA, 2, PT_LONG);
  ASSERT_EQ(PROP_ID(taken), PROP_ID(sourceTag));
  std::vector<Bytes> ids{original};
  EntryList list(ids);
  ASSERT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, mailInbox_.get(), 0, nullptr, 0), S_OK);
  auto copies = Contents(mailInbox_.get());
  ASSERT_EQ(copies.size(), 1u);
  auto copy = OpenMessage(mailbox_.get(), copies[0].second);
  ULONG destTag = NamedTag(copy.get(), kNamesA, 2, PT_LONG);
  EXPECT_NE(PROP_ID(destTag), PROP_ID(taken));
  EXPECT_EQ(Long(copy.get(), destTag), 42u);
  // The other name's id of the destination holds nothing.
  SizedSPropTagArray<1> wanted{1, {taken}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(copy->GetProps(wanted.Ptr(), 0, &count, &values), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(PROP_TYPE(values[0].ulPropTag), ULONG(PT_ERROR));
  MAPIFreeBuffer(values);
  auto inner = Embedded(copy.get());
  ASSERT_TRUE(inner);
  EXPECT_EQ(Long(inner.get(), destTag), 7u);
}

TEST_F(CrossStore, MoveDeletesTheOriginalsAndNotifiesBothStores) {
  std::vector<Bytes> ids{SaveMessage(pstInbox_.get(), u"One"), SaveMessage(pstInbox_.get(), u"Two")};
  auto sourceSink = Listen(pst_.get());
  auto destSink = Listen(mailbox_.get());
  EntryList list(ids);
  ASSERT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, mailInbox_.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_TRUE(Contents(pstInbox_.get()).empty());
  auto moved = Contents(mailInbox_.get());
  ASSERT_EQ(moved.size(), 2u);
  Bytes mailInboxId = Binary(mailInbox_.get(), tags::kEntryId);
  ASSERT_EQ(destSink->events.size(), 2u);
  for (const auto& event : destSink->events) {
    EXPECT_EQ(event.type, ULONG(fnevObjectCreated));
    EXPECT_EQ(event.parentId, mailInboxId);
  }
  ASSERT_EQ(sourceSink->events.size(), 2u);
  EXPECT_EQ(sourceSink->events[0].type, ULONG(fnevObjectDeleted));
  EXPECT_EQ(sourceSink->events[0].entryId, ids[0]);
  EXPECT_EQ(Long(mailInbox_.get(), tags::kContentCount), 2u);
  EXPECT_EQ(Long(pstInbox_.get(), tags::kContentCount), 0u);
}

TEST_F(CrossStore, ReadOnlyDestinationIsNotWritten) {
  std::vector<Bytes> ids{SaveMessage(pstInbox_.get(), u"Kept")};
  auto readOnly = OpenFolder(mailbox_.get(), InboxId(mailbox_.get()), 0);
  EntryList list(ids);
  EXPECT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, readOnly.get(), 0, nullptr, MESSAGE_MOVE), MAPI_E_NO_ACCESS);
  auto folder = Child(pstInbox_.get(), u"Sub");
  Bytes folderId = Binary(folder.get(), tags::kEntryId);
  EXPECT_EQ(pstInbox_->CopyFolder(Cb(folderId), Id(folderId), nullptr, readOnly.get(), nullptr, 0, nullptr, 0),
            MAPI_E_NO_ACCESS);
  EXPECT_TRUE(Contents(mailInbox_.get()).empty());
  EXPECT_EQ(Contents(pstInbox_.get()).size(), 1u);
}

TEST_F(CrossStore, AMessageThatCannotBeCopiedStaysAndTheOthersMove) {
  Bytes bad = SaveMessage(pstInbox_.get(), u"Bad");
  ComPtr<IMessage> plain;
  ASSERT_EQ(pstInbox_->CreateMessage(nullptr, 0, plain.Out()), S_OK);
  SetText(plain.get(), tags::kSubjectW, u"Good");
  ASSERT_EQ(plain->SaveChanges(0), S_OK);
  Bytes good = Binary(plain.get(), tags::kEntryId);
  CorruptBodies();
  std::vector<Bytes> ids{bad, good};
  EntryList list(ids);
  EXPECT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, mailInbox_.get(), 0, nullptr, MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
  auto left = Contents(pstInbox_.get());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].first, u"Bad");
  auto moved = Contents(mailInbox_.get());
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].first, u"Good");
}

TEST_F(CrossStore, FoldersOfOtherProvidersAreNoDestination) {
  std::vector<Bytes> ids{SaveMessage(pstInbox_.get(), u"Stays")};
  auto object = MakeComObject<TOtherProvidersFolder>();
  IMAPIFolder* other = object.get();  // a destination is passed as its interface pointer
  EntryList list(ids);
  EXPECT_EQ(pstInbox_->CopyMessages(&list.list, nullptr, other, 0, nullptr, MESSAGE_MOVE), MAPI_E_NO_SUPPORT);
  auto folder = Child(pstInbox_.get(), u"Sub");
  Bytes folderId = Binary(folder.get(), tags::kEntryId);
  EXPECT_EQ(pstInbox_->CopyFolder(Cb(folderId), Id(folderId), nullptr, other, nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_NO_SUPPORT);
  EXPECT_EQ(Contents(pstInbox_.get()).size(), 1u);
  EXPECT_EQ(Subfolders(pstInbox_.get()), std::vector<std::u16string>{u"Sub"});
}

// --- folders ---

TEST_F(CrossStore, CopyFolderWithSubfoldersReplicatesTheTree) {
  auto projects = Child(pstInbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  auto alpha = Child(projects.get(), u"Alpha");
  SaveMessage(alpha.get(), u"Alpha notes");
  Bytes id = Binary(projects.get(), tags::kEntryId);
  ASSERT_EQ(pstInbox_->CopyFolder(Cb(id), Id(id), nullptr, mailInbox_.get(), W(u"Archive"), 0, nullptr,
                                  COPY_SUBFOLDERS | MAPI_UNICODE),
            S_OK);
  EXPECT_EQ(Subfolders(mailInbox_.get()), std::vector<std::u16string>{u"Archive"});
  auto archive = Child(mailInbox_.get(), u"Archive");
  EXPECT_EQ(Contents(archive.get()).size(), 1u);
  EXPECT_EQ(Text(archive.get(), tags::kDisplayNameW), u"Archive");
  EXPECT_EQ(Subfolders(archive.get()), std::vector<std::u16string>{u"Alpha"});
  auto copiedAlpha = Child(archive.get(), u"Alpha");
  ASSERT_EQ(Contents(copiedAlpha.get()).size(), 1u);
  EXPECT_EQ(Contents(copiedAlpha.get())[0].first, u"Alpha notes");
  EXPECT_EQ(Binary(archive.get(), tags::kStoreEntryId), Binary(mailInbox_.get(), tags::kStoreEntryId));
  EXPECT_EQ(Subfolders(pstInbox_.get()), std::vector<std::u16string>{u"Projects"});
}

TEST_F(CrossStore, CopyFolderWithoutSubfoldersTakesOnlyItsMessages) {
  auto projects = Child(pstInbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  Child(projects.get(), u"Alpha");
  Bytes id = Binary(projects.get(), tags::kEntryId);
  ASSERT_EQ(pstInbox_->CopyFolder(Cb(id), Id(id), nullptr, mailInbox_.get(), nullptr, 0, nullptr, 0), S_OK);
  auto copy = Child(mailInbox_.get(), u"Projects");
  EXPECT_EQ(Contents(copy.get()).size(), 1u);
  EXPECT_TRUE(Subfolders(copy.get()).empty());
}

TEST_F(CrossStore, FolderMoveTakesTheTreeAndNotifiesBothStores) {
  auto projects = Child(pstInbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  Child(projects.get(), u"Alpha");
  Bytes id = Binary(projects.get(), tags::kEntryId);
  auto sourceSink = Listen(pst_.get());
  auto destSink = Listen(mailbox_.get());
  ASSERT_EQ(pstInbox_->CopyFolder(Cb(id), Id(id), nullptr, mailInbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE), S_OK);
  EXPECT_TRUE(Subfolders(pstInbox_.get()).empty());
  auto moved = Child(mailInbox_.get(), u"Projects");
  EXPECT_EQ(Contents(moved.get()).size(), 1u);
  EXPECT_EQ(Subfolders(moved.get()), std::vector<std::u16string>{u"Alpha"});
  ASSERT_EQ(destSink->events.size(), 1u);
  EXPECT_EQ(destSink->events[0].type, ULONG(fnevObjectCreated));
  EXPECT_EQ(destSink->events[0].objType, ULONG(MAPI_FOLDER));
  ASSERT_EQ(sourceSink->events.size(), 1u);
  EXPECT_EQ(sourceSink->events[0].type, ULONG(fnevObjectDeleted));
  EXPECT_EQ(sourceSink->events[0].entryId, id);
}

TEST_F(CrossStore, FolderMoveThatFailsLeavesTheOriginalAndNoCopy) {
  auto projects = Child(pstInbox_.get(), u"Projects");
  SaveMessage(projects.get(), u"Plan");
  CorruptBodies();
  Bytes id = Binary(projects.get(), tags::kEntryId);
  EXPECT_EQ(pstInbox_->CopyFolder(Cb(id), Id(id), nullptr, mailInbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_CORRUPT_DATA);
  EXPECT_TRUE(Subfolders(mailInbox_.get()).empty());
  EXPECT_EQ(Subfolders(pstInbox_.get()), std::vector<std::u16string>{u"Projects"});
  EXPECT_EQ(Contents(projects.get()).size(), 1u);
}

TEST_F(CrossStore, FolderCopyOntoAnExistingNameCollidesAndStandardFoldersStay) {
  auto projects = Child(pstInbox_.get(), u"Projects");
  Child(mailInbox_.get(), u"projects");
  Bytes id = Binary(projects.get(), tags::kEntryId);
  EXPECT_EQ(pstInbox_->CopyFolder(Cb(id), Id(id), nullptr, mailInbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_COLLISION);
  EXPECT_EQ(Subfolders(pstInbox_.get()), std::vector<std::u16string>{u"Projects"});
  // The Inbox is a folder of the standard set: it can be copied, not moved.
  auto root = OpenFolder(pst_.get(), Binary(pstInbox_.get(), PROP_TAG(PT_BINARY, 0x0E09)));
  Bytes inboxId = Binary(pstInbox_.get(), tags::kEntryId);
  EXPECT_EQ(root->CopyFolder(Cb(inboxId), Id(inboxId), nullptr, mailInbox_.get(), W(u"Old inbox"), 0, nullptr,
                             FOLDER_MOVE | MAPI_UNICODE),
            MAPI_E_NO_ACCESS);
  EXPECT_EQ(
      root->CopyFolder(Cb(inboxId), Id(inboxId), nullptr, mailInbox_.get(), W(u"Old inbox"), 0, nullptr, MAPI_UNICODE),
      S_OK);
  EXPECT_EQ(Subfolders(mailInbox_.get()), (std::vector<std::u16string>{u"Old inbox", u"projects"}));
}

}  // namespace
}  // namespace orba::store
