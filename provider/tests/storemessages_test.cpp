// Messages through the store end to end: a profile with a personal store file or an
// organisation mailbox, logon, the Inbox, CreateMessage, SaveChanges, the contents
// table and advise sinks, and reopening by entry ID after logging on again.
#include <gtest/gtest.h>

#include "mapiobjects/openstore.h"
#include "mapiobjects/storeproviders.h"
#include "props/tags.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);

// The store services a profile can hold.
struct ServiceCase {
  const char* service;
  bool mailbox;
};

class StoreMessages : public ::testing::TestWithParam<ServiceCase> {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), GetParam().service);
  }
  void TearDown() override {
    Logoff();
    MAPIUninitialize();
  }

  void Logon() {
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    Bytes storeId;
    OpenDefaultStore(session_.get(), store_, storeId);
    inboxId_ = InboxId(store_.get());
    inbox_ = OpenFolder(store_.get(), inboxId_);
    ASSERT_TRUE(inbox_);
  }
  void Logoff() {
    inbox_ = nullptr;
    store_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
  }

  ComPtr<IMessage> NewMessage(const char16_t* subject, ULONG flags = 0) {
    ComPtr<IMessage> message;
    EXPECT_EQ(inbox_->CreateMessage(nullptr, flags, message.Out()), S_OK);
    if (!message) return message;
    SPropValue values[2]{};
    values[0].ulPropTag = tags::kSubjectW;
    values[0].Value.lpszW = Wide(subject);
    values[1].ulPropTag = kBodyW;
    values[1].Value.lpszW = Wide(u"The body.");
    EXPECT_EQ(message->SetProps(2, values, nullptr), S_OK);
    return message;
  }

  // The subjects of a contents table's rows.
  std::vector<std::u16string> Subjects(ULONG tableFlags = 0) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(inbox_->GetContentsTable(tableFlags, table.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kSubjectW}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    std::vector<std::u16string> subjects;
    for (ULONG i = 0; i < rows->cRows; ++i)
      subjects.push_back(PROP_TYPE(rows->aRow[i].lpProps[0].ulPropTag) == PT_UNICODE
                             ? reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[0].Value.lpszW)
                             : u"");
    FreeProws(rows);
    return subjects;
  }

  // OpenEntry through a store or a folder.
  template <class Opener>
  ComPtr<IMessage> OpenMessage(Opener* through, Bytes& id, ULONG flags, HRESULT expected = S_OK) {
    ComPtr<IUnknown> unknown;
    ULONG type = 0;
    EXPECT_EQ(through->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, flags,
                                 &type, unknown.Out()),
              expected);
    if (expected != S_OK) return {};
    EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
    return ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  ComPtr<IMAPIFolder> inbox_;
  Bytes inboxId_;
};

TEST_P(StoreMessages, CreatedMessageAppearsOnceSavedAndSinksHearOfIt) {
  Logon();
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(0, nullptr, fnevObjectCreated | fnevObjectModified | fnevNewMail, sink.get(), &connection),
            S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(inbox_->GetContentsTable(0, table.Out()), S_OK);
  auto message = NewMessage(u"Hello");
  ULONG rows = 9;
  ASSERT_EQ(table->GetRowCount(0, &rows), S_OK);
  EXPECT_EQ(rows, 0u);  // not in the folder before it is saved
  EXPECT_TRUE(sink->events.empty());
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(table->GetRowCount(0, &rows), S_OK);
  EXPECT_EQ(rows, 1u);
  EXPECT_EQ(Subjects(), std::vector<std::u16string>{u"Hello"});
  Bytes entryId = Binary(message.get(), tags::kEntryId);
  ASSERT_EQ(sink->events.size(), 1u);  // a client's own message is created, not new mail
  EXPECT_EQ(sink->events[0].type, static_cast<ULONG>(fnevObjectCreated));
  EXPECT_EQ(sink->events[0].objType, static_cast<ULONG>(MAPI_MESSAGE));
  EXPECT_EQ(sink->events[0].entryId, entryId);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  EXPECT_EQ(Binary(message.get(), PROP_TAG(PT_BINARY, 0x0FFB)), Binary(store_.get(), tags::kEntryId));

  SPropValue subject{};
  subject.ulPropTag = tags::kSubjectW;
  subject.Value.lpszW = Wide(u"Hello again");
  ASSERT_EQ(message->SetProps(1, &subject, nullptr), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  ASSERT_EQ(sink->events.size(), 2u);
  EXPECT_EQ(sink->events[1].type, static_cast<ULONG>(fnevObjectModified));
  EXPECT_EQ(sink->events[1].entryId, entryId);
  EXPECT_EQ(Subjects(), std::vector<std::u16string>{u"Hello again"});
  EXPECT_EQ(store_->Unadvise(connection), S_OK);
}

TEST_P(StoreMessages, ReopenedByEntryIdAfterLoggingOnAgain) {
  Logon();
  auto message = NewMessage(u"Kept");
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  Bytes entryId = Binary(message.get(), tags::kEntryId);
  message = nullptr;
  Logoff();
  Logon();
  auto viaFolder = OpenMessage(inbox_.get(), entryId, 0);
  ASSERT_TRUE(viaFolder);
  EXPECT_EQ(Text(viaFolder.get(), tags::kSubjectW), u"Kept");
  EXPECT_EQ(Text(viaFolder.get(), kBodyW), u"The body.");
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  ASSERT_EQ(store_->OpenEntry(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()),
                              &IID_IMessage, MAPI_BEST_ACCESS, &type, unknown.Out()),
            S_OK);
  EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
  auto viaStore = ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  EXPECT_EQ(Text(viaStore.get(), tags::kSubjectW), u"Kept");
  EXPECT_EQ(Binary(viaStore.get(), tags::kEntryId), entryId);
}

TEST_P(StoreMessages, OpenEntryAccessModes) {
  Logon();
  auto message = NewMessage(u"Access");
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  Bytes entryId = Binary(message.get(), tags::kEntryId);
  SPropValue subject{};
  subject.ulPropTag = tags::kSubjectW;
  subject.Value.lpszW = Wide(u"Changed");

  auto readOnly = OpenMessage(store_.get(), entryId, 0);
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(readOnly->SetProps(1, &subject, nullptr), MAPI_E_NO_ACCESS);

  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(static_cast<ULONG>(inboxId_.size()), reinterpret_cast<LPENTRYID>(inboxId_.data()),
                           fnevObjectModified, sink.get(), &connection),
            S_OK);
  auto writable = OpenMessage(inbox_.get(), entryId, MAPI_MODIFY);
  ASSERT_TRUE(writable);
  ASSERT_EQ(writable->SetProps(1, &subject, nullptr), S_OK);
  ASSERT_EQ(writable->SaveChanges(0), S_OK);
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].entryId, entryId);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  EXPECT_EQ(Subjects(), std::vector<std::u16string>{u"Changed"});
  EXPECT_EQ(store_->Unadvise(connection), S_OK);

  EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()), nullptr,
                              0x40000000, nullptr, nullptr),
            MAPI_E_INVALID_PARAMETER);
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()), nullptr,
                              0x40000000, &type, unknown.Out()),
            MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()),
                              &IID_IMAPIFolder, 0, &type, unknown.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
}

TEST_P(StoreMessages, DeletedMessageIsNotFound) {
  Logon();
  auto message = NewMessage(u"Gone");
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  Bytes entryId = Binary(message.get(), tags::kEntryId);
  SBinary bin{static_cast<ULONG>(entryId.size()), entryId.data()};
  ENTRYLIST list{1, &bin};
  ASSERT_EQ(inbox_->DeleteMessages(&list, 0, nullptr, 0), S_OK);
  OpenMessage(store_.get(), entryId, 0, MAPI_E_NOT_FOUND);
  OpenMessage(inbox_.get(), entryId, MAPI_MODIFY, MAPI_E_NOT_FOUND);
  EXPECT_TRUE(Subjects().empty());
}

TEST_P(StoreMessages, AssociatedMessagesGoToTheAssociatedContents) {
  Logon();
  auto message = NewMessage(u"Hidden", MAPI_ASSOCIATED | MAPI_DEFERRED_ERRORS);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  EXPECT_TRUE(Subjects().empty());
  EXPECT_EQ(Subjects(MAPI_ASSOCIATED), std::vector<std::u16string>{u"Hidden"});
  Bytes entryId = Binary(message.get(), tags::kEntryId);
  auto reopened = OpenMessage(inbox_.get(), entryId, MAPI_MODIFY);
  ASSERT_TRUE(reopened);
  SizedSPropTagArray<1> wanted{1, {tags::kMessageFlags}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  ASSERT_EQ(reopened->GetProps(wanted.Ptr(), 0, &count, &values), S_OK);
  EXPECT_TRUE(values[0].Value.ul & MSGFLAG_ASSOCIATED);
  MAPIFreeBuffer(values);
}

TEST_P(StoreMessages, CreateMessageRefusesBadArguments) {
  Logon();
  ComPtr<IMessage> message;
  EXPECT_EQ(inbox_->CreateMessage(nullptr, 0x1, message.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(inbox_->CreateMessage(nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CreateMessage(&IID_IMAPIFolder, 0, message.Out()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  ComPtr<IUnknown> unknown;
  ULONG type = 0;
  ASSERT_EQ(store_->OpenEntry(static_cast<ULONG>(inboxId_.size()), reinterpret_cast<LPENTRYID>(inboxId_.data()),
                              &IID_IMAPIFolder, 0, &type, unknown.Out()),
            S_OK);
  auto readOnly = ComPtr<IMAPIFolder>(static_cast<IMAPIFolder*>(unknown.get()));
  EXPECT_EQ(readOnly->CreateMessage(nullptr, 0, message.Out()), MAPI_E_NO_ACCESS);
}

INSTANTIATE_TEST_SUITE_P(Services, StoreMessages,
                         ::testing::Values(ServiceCase{"MSPST MS", false}, ServiceCase{"MSEMS", true}),
                         [](const auto& info) { return std::string(info.param.mailbox ? "Mailbox" : "PersonalFile"); });

}  // namespace
}  // namespace orba::store
