// Messages through the store end to end, for a personal store file and an
// organisation mailbox: CreateMessage, SaveChanges, the contents table and advise sinks,
// OpenEntry's access modes, and reopening by entry ID after logging on again.
#include <gtest/gtest.h>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using Names = std::vector<std::u16string>;

class StoreMessages : public TStoreSessionTest, public ::testing::WithParamInterface<const char*> {
 protected:
  const char* Service() const override { return GetParam(); }
  ComPtr<IMessage> Draft(const std::u16string& subject, ULONG flags = 0) {
    return NewMessage(inbox_.get(), {TextValue(tags::kSubjectW, subject), TextValue(kBodyW, u"The body.")}, flags);
  }
};

TEST_P(StoreMessages, CreatedMessageAppearsOnceSavedAndSinksHearOfIt) {
  auto sink = Listen(store_.get(), fnevObjectCreated | fnevObjectModified | fnevNewMail);
  auto table = ContentsOf(inbox_.get());
  auto message = Draft(u"Hello");
  EXPECT_EQ(RowCount(table.get()), 0u);  // not in the folder before it is saved
  EXPECT_TRUE(sink->events.empty());
  Bytes entryId = Save(message.get());
  EXPECT_EQ(RowCount(table.get()), 1u);
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Hello"});
  ASSERT_EQ(sink->events.size(), 1u);  // a client's own message is created, not new mail
  EXPECT_EQ(sink->events[0].type, ULONG{fnevObjectCreated});
  EXPECT_EQ(sink->events[0].objType, ULONG{MAPI_MESSAGE});
  EXPECT_EQ(sink->events[0].entryId, entryId);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  EXPECT_EQ(Binary(message.get(), tags::kStoreEntryId), EntryIdOf(store_.get()));
  SetSubject(message.get(), u"Hello again");
  EXPECT_EQ(sink->Types(), (std::vector<ULONG>{fnevObjectCreated, fnevObjectModified}));
  EXPECT_EQ(sink->events[1].entryId, entryId);
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Hello again"});
}

TEST_P(StoreMessages, ReopenedByEntryIdAfterLoggingOnAgain) {
  Bytes entryId = Save(Draft(u"Kept").get());
  Logoff();
  Logon();
  auto viaFolder = OpenMessage(inbox_.get(), entryId, 0);
  ASSERT_TRUE(viaFolder);
  EXPECT_EQ(Text(viaFolder.get(), tags::kSubjectW), u"Kept");
  EXPECT_EQ(Text(viaFolder.get(), kBodyW), u"The body.");
  TOpened viaStore = Open(store_.get(), entryId, MAPI_BEST_ACCESS, &IID_IMessage);
  ASSERT_EQ(viaStore.hr, S_OK);
  EXPECT_EQ(viaStore.type, ULONG{MAPI_MESSAGE});
  auto message = ComPtr<IMessage>(viaStore.object);
  EXPECT_EQ(Text(message.get(), tags::kSubjectW), u"Kept");
  EXPECT_EQ(EntryIdOf(message.get()), entryId);
}

TEST_P(StoreMessages, OpenEntryAccessModes) {
  Bytes entryId = Save(Draft(u"Access").get());
  auto readOnly = OpenMessage(store_.get(), entryId, 0);
  EXPECT_EQ(Set(readOnly.get(), {TextValue(tags::kSubjectW, u"Changed")}), MAPI_E_NO_ACCESS);
  auto sink = Listen(store_.get(), fnevObjectModified, inboxId_);
  auto writable = OpenMessage(inbox_.get(), entryId, MAPI_MODIFY);
  SetSubject(writable.get(), u"Changed");
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].entryId, entryId);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Changed"});
  EXPECT_EQ(store_->OpenEntry(Cb(entryId), Id(entryId), nullptr, 0x40000000, nullptr, nullptr),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Open(store_.get(), entryId, 0x40000000).hr, MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Open(store_.get(), entryId, 0, &IID_IMAPIFolder).hr, MAPI_E_INTERFACE_NOT_SUPPORTED);
}

TEST_P(StoreMessages, DeletedMessageIsNotFound) {
  std::vector<Bytes> ids{Save(Draft(u"Gone").get())};
  ASSERT_EQ(DeleteMessages(inbox_.get(), ids), S_OK);
  EXPECT_EQ(Open(store_.get(), ids[0], 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ(Open(inbox_.get(), ids[0], MAPI_MODIFY).hr, MAPI_E_NOT_FOUND);
  EXPECT_TRUE(Subjects(inbox_.get()).empty());
}

TEST_P(StoreMessages, AssociatedMessagesGoToTheAssociatedContents) {
  Bytes entryId = Save(Draft(u"Hidden", MAPI_ASSOCIATED | MAPI_DEFERRED_ERRORS).get());
  EXPECT_TRUE(Subjects(inbox_.get()).empty());
  EXPECT_EQ(Subjects(inbox_.get(), MAPI_ASSOCIATED), Names{u"Hidden"});
  EXPECT_TRUE(Long(OpenMessage(inbox_.get(), entryId).get(), tags::kMessageFlags) & MSGFLAG_ASSOCIATED);
}

TEST_P(StoreMessages, CreateMessageRefusesBadArguments) {
  ComPtr<IMessage> message;
  EXPECT_EQ(inbox_->CreateMessage(nullptr, 0x1, message.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(inbox_->CreateMessage(nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(inbox_->CreateMessage(&IID_IMAPIFolder, 0, message.Out()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(OpenFolder(store_.get(), inboxId_, 0)->CreateMessage(nullptr, 0, message.Out()), MAPI_E_NO_ACCESS);
}

INSTANTIATE_TEST_SUITE_P(Services, StoreMessages, ::testing::Values("MSPST MS", "MSEMS"), [](const auto& info) {
  return std::string(info.param == std::string("MSEMS") ? "Mailbox" : "PersonalFile");
});

}  // namespace
}  // namespace orba::store
