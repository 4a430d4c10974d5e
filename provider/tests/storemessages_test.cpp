// Messages through the store end to end, for a personal store file and an
// organisation mailbox: CreateMessage, SaveChanges, the contents table and advise sinks,
// OpenEntry's access modes, and reopening by entry ID after logging on again.
#include <gtest/gtest.h>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

class StoreMessages : public TStoreSessionTest, public ::testing::WithParamInterface<const char*> {
 protected:
  const char* Service() const override { return GetParam(); }
  ComPtr<IMessage> Draft(const std::u16string& subject, ULONG flags = 0) {
    return NewMessage(inbox_.get(), {TextValue(tags::kSubjectW, subject), TextValue(kBodyW, u"The body.")}, flags);
  }
};

TEST_P(StoreMessages, SavedMessagesAppearNotifyAndReopenAfterLoggingOnAgain) {
  auto sink = Listen(store_.get(), fnevObjectCreated | fnevObjectModified | fnevNewMail);
  auto table = ContentsOf(inbox_.get());
  auto message = Draft(u"Hello");
  EXPECT_EQ(RowCount(table.get()), 0u);  // not in the folder before it is saved
  Bytes entryId = Save(message.get());
  EXPECT_EQ(RowCount(table.get()), 1u);
  SetSubject(message.get(), u"Kept");
  // A client's own message is created, not new mail.
  EXPECT_EQ(sink->Types(), (std::vector<ULONG>{fnevObjectCreated, fnevObjectModified}));
  EXPECT_EQ(sink->events[0].entryId, entryId);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  Logoff();
  Logon();
  auto reopened = OpenMessage(inbox_.get(), entryId, 0);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(Text(reopened.get(), tags::kSubjectW), u"Kept");
  EXPECT_EQ(Text(reopened.get(), kBodyW), u"The body.");
  EXPECT_EQ(Binary(reopened.get(), tags::kStoreEntryId), EntryIdOf(store_.get()));
}

TEST_P(StoreMessages, OpenEntryAccessModes) {
  Bytes entryId = Save(Draft(u"Access").get());
  auto readOnly = OpenMessage(store_.get(), entryId, 0);
  EXPECT_EQ(Set(readOnly.get(), {TextValue(tags::kSubjectW, u"Changed")}), MAPI_E_NO_ACCESS);
  SetSubject(OpenMessage(inbox_.get(), entryId, MAPI_MODIFY).get(), u"Changed");
  EXPECT_EQ(Subjects(inbox_.get()), Names{u"Changed"});
  EXPECT_EQ(store_->OpenEntry(Cb(entryId), Id(entryId), nullptr, 0x40000000, nullptr, nullptr),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Open(store_.get(), entryId, 0x40000000).hr, MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Open(store_.get(), entryId, 0, &IID_IMAPIFolder).hr, MAPI_E_INTERFACE_NOT_SUPPORTED);
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
