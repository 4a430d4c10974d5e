// Submission through Orba Store's transport: alice (logged on through her profile)
// sends to mailboxes of the organisation (bob, carol: their stores opened directly)
// and to outside addresses; deliveries, the outgoing queue, what becomes of the
// sender's copy, AbortSubmit, named properties and the directory's addresses.
#include <gtest/gtest.h>

#include "mapiobjects/msgstore.h"
#include "mapiobjects/openstore.h"
#include "mapiobjects/transport.h"
#include "storage/directory.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using TRecipientRows = std::vector<std::pair<ULONG, std::u16string>>;

// Keeps the new-mail notifications it receives.
class TNewMailSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct TMail {
    Bytes entryId, parentId;
    std::u16string messageClass;
    ULONG flags;
  };
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) {
      if (notifications[i].ulEventType != fnevNewMail) continue;
      const NEWMAIL_NOTIFICATION& mail = notifications[i].info.newmail;
      auto bytes = [](ULONG cb, LPENTRYID id) {
        return Bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb);
      };
      EXPECT_EQ(mail.ulFlags, ULONG(MAPI_UNICODE));
      mails.push_back({bytes(mail.cbEntryID, mail.lpEntryID), bytes(mail.cbParentID, mail.lpParentID),
                       WideOf(reinterpret_cast<LPWSTR>(mail.lpszMessageClass)), mail.ulMessageFlags});
    }
    return 0;
  }
  std::vector<TMail> mails;
};

TRecipient Ex(const std::u16string& name, ULONG type = MAPI_TO) {
  return {type, name, FromUtf8(kLegacyDnPrefix) + name, u"EX"};
}
TRecipient Smtp(const std::u16string& email, ULONG type = MAPI_TO) { return {type, email, email, u"SMTP"}; }

class SubmitTest : public TStoreSessionTest {
 protected:
  const char* Service() const override { return "MSEMS"; }
  void SetUp() override {
    TStoreSessionTest::SetUp();
    alice_ = store_;
    bob_ = OpenMailbox("bob", 1);
    carol_ = OpenMailbox("carol", 2);
    outbox_ = Binary(alice_.get(), tags::kIpmOutboxEntryId);
    sentItems_ = Binary(alice_.get(), tags::kIpmSentMailEntryId);
  }
  void TearDown() override {
    alice_ = bob_ = carol_ = nullptr;
    open_.clear();
    TStoreSessionTest::TearDown();
  }
  // A mailbox of the organisation, its store opened in this process without a session.
  ComPtr<IMsgStore> OpenMailbox(const std::string& name, BYTE seed) {
    TDirectoryMailbox entry = TServerDirectory::Register(name, "mail1");
    auto open = TOpenStore::Open(entry.storePath, TStoreKind::Mailbox, u"Mailbox - " + FromUtf8(name), Bytes(20, seed),
                                 Bytes(24, seed));
    open_.push_back(open);
    return CreateMsgStore(open, true);
  }
  std::shared_ptr<TOpenStore> AliceOpen() {
    return TOpenStore::OpenAt(TServerDirectory::Find("alice")->storePath).at(0);
  }
  // A new message in alice's Outbox with a subject and recipients.
  ComPtr<IMessage> Draft(const std::u16string& subject, std::vector<TRecipient> to, std::vector<SPropValue> more = {}) {
    more.push_back(TextValue(tags::kSubjectW, subject));
    more.push_back(TextValue(tags::kMessageClassW, u"IPM.Note"));
    auto message = NewMessage(OpenFolder(alice_.get(), outbox_).get(), more);
    if (!to.empty()) {
      EXPECT_EQ(ModifyRecipients(message.get(), std::move(to)), S_OK);
    }
    return message;
  }
  static std::vector<Bytes> MessagesIn(IMsgStore* store, const Bytes& folderId) {
    return MessageIds(OpenFolder(store, folderId).get());
  }
  static std::vector<Bytes> InboxOf(IMsgStore* store) { return MessagesIn(store, InboxId(store)); }
  static ULONG FlagsOf(IMsgStore* store, const Bytes& id) {
    return Long(OpenMessage(store, id, MAPI_BEST_ACCESS).get(), tags::kMessageFlags);
  }

  ComPtr<IMsgStore> alice_, bob_, carol_;
  Bytes outbox_, sentItems_;
  std::vector<std::shared_ptr<TOpenStore>> open_;
};

TEST_F(SubmitTest, BobReceivesWhatAliceSendsByExAddressWithTheDeliveryProperties) {
  auto sink = MakeComObject<TNewMailSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(bob_->Advise(0, nullptr, fnevNewMail, sink.get(), &connection), S_OK);
  Bytes bobInbox = InboxId(bob_.get());
  ASSERT_EQ(Draft(u"Lunch", {Ex(u"bob")}, {TextValue(kBodyW, u"At noon?")})->SubmitMessage(0), S_OK);

  auto ids = InboxOf(bob_.get());
  ASSERT_EQ(ids.size(), 1u);
  ASSERT_EQ(sink->mails.size(), 1u);
  EXPECT_EQ(sink->mails[0].entryId, ids[0]);
  EXPECT_EQ(sink->mails[0].parentId, bobInbox);
  EXPECT_EQ(sink->mails[0].messageClass, u"IPM.Note");
  EXPECT_EQ(sink->mails[0].flags & (MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_SUBMIT), 0u);

  auto received = OpenMessage(bob_.get(), ids[0], MAPI_BEST_ACCESS);
  EXPECT_EQ(Text(received.get(), tags::kSubjectW), u"Lunch");
  EXPECT_EQ(Text(received.get(), kBodyW), u"At noon?");
  EXPECT_EQ(Long(received.get(), tags::kMessageFlags) & (MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_SUBMIT), 0u);
  EXPECT_EQ(PropCode(received.get(), tags::kMessageDeliveryTime), S_OK);
  EXPECT_EQ(PropCode(received.get(), tags::kClientSubmitTime), S_OK);
  std::u16string bobDn = FromUtf8(kLegacyDnPrefix) + u"bob";
  for (const auto* side : {&tags::kReceivedBy, &tags::kRcvdRepresenting}) {
    EXPECT_EQ(Text(received.get(), side->addrType), u"EX");
    EXPECT_EQ(Text(received.get(), side->emailAddress), bobDn);
    Bytes entryId = Binary(received.get(), side->entryId);
    ASSERT_GT(entryId.size(), 28u);
    EXPECT_EQ(std::string(entryId.begin() + 28, entryId.end() - 1), ToUtf8(bobDn));
    Bytes key = Binary(received.get(), side->searchKey);
    EXPECT_EQ(
        std::string(key.begin(), key.end()),
        "EX:/O=ORBA/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=BOB" + std::string(1, '\0'));
  }
  EXPECT_EQ(Long(received.get(), tags::kMessageToMe), 1u);
  EXPECT_EQ(Long(received.get(), tags::kMessageCcMe), 0u);
  EXPECT_EQ(Long(received.get(), tags::kMessageRecipMe), 1u);
  // The sender is alice's mailbox.
  EXPECT_EQ(Text(received.get(), tags::kSender.name), u"alice");
  EXPECT_EQ(Text(received.get(), tags::kSender.emailAddress), FromUtf8(kLegacyDnPrefix) + u"alice");
  EXPECT_EQ(PropCode(received.get(), tags::kSentMailEntryId), MAPI_E_NOT_FOUND);
  EXPECT_EQ(RecipientsOf(received.get()), (TRecipientRows{{MAPI_TO, u"bob"}}));
  ASSERT_EQ(bob_->Unadvise(connection), S_OK);
}

TEST_F(SubmitTest, SmtpAddressesMatchRegardlessOfCase) {
  ASSERT_EQ(Draft(u"One", {Smtp(u"BOB@Orba.Example")})->SubmitMessage(0), S_OK);
  TServerDirectory::SetAddresses("bob", "/o=Orba/ou=Site/cn=Recipients/cn=robert", "robert@example.net");
  ASSERT_EQ(Draft(u"Two", {Smtp(u"Robert@EXAMPLE.net")})->SubmitMessage(0), S_OK);
  ASSERT_EQ(Draft(u"Three", {{MAPI_TO, u"Bob", u"/O=orba/OU=site/CN=Recipients/CN=ROBERT", u"ex"}})->SubmitMessage(0),
            S_OK);
  auto ids = InboxOf(bob_.get());
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(Text(OpenMessage(bob_.get(), ids[2], MAPI_BEST_ACCESS).get(), tags::kReceivedBy.emailAddress),
            u"/o=Orba/ou=Site/cn=Recipients/cn=robert");
  // The old default address no longer names bob: that message waits for a transport.
  ASSERT_EQ(Draft(u"Four", {Smtp(u"bob@orba.example")})->SubmitMessage(0), S_OK);
  EXPECT_EQ(InboxOf(bob_.get()).size(), 3u);
  EXPECT_EQ(AliceOpen()->Engine().Submission().Queue().size(), 1u);
}

TEST_F(SubmitTest, CcAndBccRecipientsGetCopiesWithoutTheBccList) {
  ASSERT_EQ(
      Draft(u"Plans", {Ex(u"bob", MAPI_CC), Ex(u"carol", MAPI_BCC), Smtp(u"dave@elsewhere.org")})->SubmitMessage(0),
      S_OK);
  auto bobCopy = OpenMessage(bob_.get(), InboxOf(bob_.get()).at(0), MAPI_BEST_ACCESS);
  auto carolCopy = OpenMessage(carol_.get(), InboxOf(carol_.get()).at(0), MAPI_BEST_ACCESS);
  EXPECT_EQ(Long(bobCopy.get(), tags::kMessageToMe), 0u);
  EXPECT_EQ(Long(bobCopy.get(), tags::kMessageCcMe), 1u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageToMe), 0u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageCcMe), 0u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageRecipMe), 1u);
  TRecipientRows visible = {{MAPI_CC, u"bob"}, {MAPI_TO, u"dave@elsewhere.org"}};
  EXPECT_EQ(RecipientsOf(bobCopy.get()), visible);
  EXPECT_EQ(RecipientsOf(carolCopy.get()), visible);
}

TEST_F(SubmitTest, TheSendersCopyGoesToSentItemsIsDeletedOrStays) {
  ASSERT_EQ(Draft(u"Filed", {Ex(u"bob")}, {BinaryValue(tags::kSentMailEntryId, sentItems_)})->SubmitMessage(0), S_OK);
  ASSERT_EQ(Draft(u"Gone", {Ex(u"bob")}, {BoolValue(tags::kDeleteAfterSubmit, true)})->SubmitMessage(0), S_OK);
  ASSERT_EQ(Draft(u"Stays", {Ex(u"bob")})->SubmitMessage(0), S_OK);
  auto filed = MessagesIn(alice_.get(), sentItems_);
  ASSERT_EQ(filed.size(), 1u);
  auto copy = OpenMessage(alice_.get(), filed[0], MAPI_BEST_ACCESS);
  ULONG flags = Long(copy.get(), tags::kMessageFlags);
  EXPECT_TRUE(flags & MSGFLAG_READ);
  EXPECT_FALSE(flags & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT));
  auto left = MessagesIn(alice_.get(), outbox_);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(Text(OpenMessage(alice_.get(), left[0]).get(), tags::kSubjectW), u"Stays");
  EXPECT_FALSE(FlagsOf(alice_.get(), left[0]) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT));
  EXPECT_EQ(InboxOf(bob_.get()).size(), 3u);
}

TEST_F(SubmitTest, OutsideRecipientsWaitInTheOutgoingQueueUntilMarkedSent) {
  ASSERT_EQ(Draft(u"Abroad", {Smtp(u"zoe@elsewhere.org"), Ex(u"bob", MAPI_CC)},
                  {BinaryValue(tags::kSentMailEntryId, sentItems_)})
                ->SubmitMessage(0),
            S_OK);
  EXPECT_EQ(InboxOf(bob_.get()).size(), 1u);
  auto outbox = MessagesIn(alice_.get(), outbox_);
  ASSERT_EQ(outbox.size(), 1u);
  EXPECT_TRUE(FlagsOf(alice_.get(), outbox[0]) & MSGFLAG_SUBMIT);
  EXPECT_TRUE(FlagsOf(alice_.get(), outbox[0]) & MSGFLAG_UNSENT);
  ComPtr<IMAPITable> queue;
  ASSERT_EQ(alice_->GetOutgoingQueue(0, queue.Out()), S_OK);
  TRows rows = Query(queue.get(), {tags::kEntryId, tags::kSubjectW});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(BytesOf(rows[0][0]), outbox[0]);
  EXPECT_EQ(TextOf(rows[0][1]), u"Abroad");
  ComPtr<IMAPITable> refused;
  EXPECT_EQ(alice_->GetOutgoingQueue(1, refused.Out()), MAPI_E_UNKNOWN_FLAGS);
  // A transport takes it: only the outside recipient was left to reach.
  auto open = AliceOpen();
  auto queued = open->Engine().Submission().Queue();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].recipients, std::vector<ULONG>{0});
  MarkQueuedMessageSent(open, queued[0].messageId);
  EXPECT_TRUE(open->Engine().Submission().Queue().empty());
  EXPECT_EQ(RowCount(queue.get()), 0u);
  EXPECT_TRUE(MessagesIn(alice_.get(), outbox_).empty());
  EXPECT_EQ(CodeOf([&] { MarkQueuedMessageSent(open, queued[0].messageId); }), MAPI_E_NOT_IN_QUEUE);
}

TEST_F(SubmitTest, AFailedMessageLeavesTheQueueUnsent) {
  ASSERT_EQ(Draft(u"Bounce", {Smtp(u"nobody@nowhere.invalid")})->SubmitMessage(0), S_OK);
  auto open = AliceOpen();
  int64_t id = open->Engine().Submission().Queue().at(0).messageId;
  MarkQueuedMessageFailed(open, id);
  EXPECT_TRUE(open->Engine().Submission().Queue().empty());
  ULONG flags = open->Engine().Messages().Get(id).flags;
  EXPECT_FALSE(flags & MSGFLAG_SUBMIT);
  EXPECT_TRUE(flags & MSGFLAG_UNSENT);
  // A message out of the queue cannot fail again.
  EXPECT_EQ(CodeOf([&] { MarkQueuedMessageFailed(open, id); }), MAPI_E_NOT_IN_QUEUE);
}

TEST_F(SubmitTest, AbortSubmitTakesAQueuedMessageBack) {
  auto message = Draft(u"Oops", {Smtp(u"zoe@elsewhere.org")});
  Bytes id = Save(message.get());
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  ASSERT_EQ(alice_->AbortSubmit(Cb(id), Id(id), 0), S_OK);
  auto back = OpenMessage(alice_.get(), id, MAPI_BEST_ACCESS);
  EXPECT_FALSE(Long(back.get(), tags::kMessageFlags) & MSGFLAG_SUBMIT);
  EXPECT_TRUE(Long(back.get(), tags::kMessageFlags) & MSGFLAG_UNSENT);
  EXPECT_EQ(alice_->AbortSubmit(Cb(id), Id(id), 0), MAPI_E_NOT_IN_QUEUE);
  EXPECT_EQ(alice_->AbortSubmit(Cb(id), Id(id), 0x10), MAPI_E_UNKNOWN_FLAGS);
  Bytes junk{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(alice_->AbortSubmit(Cb(junk), Id(junk), 0), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(alice_->AbortSubmit(Cb(outbox_), Id(outbox_), 0), MAPI_E_INVALID_ENTRYID);
  // Submitted again, it is back in the queue.
  ASSERT_EQ(back->SubmitMessage(0), S_OK);
  EXPECT_EQ(AliceOpen()->Engine().Submission().Queue().size(), 1u);
}

TEST_F(SubmitTest, RefusedSubmissionsChangeNothing) {
  auto empty = Draft(u"Nobody", {});
  EXPECT_EQ(empty->SubmitMessage(0), MAPI_E_NO_RECIPIENTS);
  EXPECT_EQ(empty->SubmitMessage(0x8), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_TRUE(MessagesIn(alice_.get(), outbox_).empty());
  Bytes junk(24, 0);
  auto badSent = Draft(u"Bad folder", {Ex(u"bob")}, {BinaryValue(tags::kSentMailEntryId, junk)});
  EXPECT_EQ(badSent->SubmitMessage(0), MAPI_E_INVALID_ENTRYID);
  EXPECT_TRUE(InboxOf(bob_.get()).empty());
  EXPECT_TRUE(MessagesIn(alice_.get(), outbox_).empty());
  // Still open and valid: fixed, it goes.
  ASSERT_EQ(badSent->DeleteProps(nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(Delete(badSent.get(), {tags::kSentMailEntryId}), S_OK);
  EXPECT_EQ(badSent->SubmitMessage(FORCE_SUBMIT), S_OK);
  auto saved = Draft(u"Read only", {Ex(u"bob")});
  ASSERT_EQ(saved->SaveChanges(0), S_OK);
  EXPECT_EQ(saved->SubmitMessage(0), MAPI_E_NO_ACCESS);
}

TEST_F(SubmitTest, ASubmittedMessageObjectIsNoLongerValid) {
  auto message = Draft(u"Once", {Ex(u"bob")});
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_INVALID_OBJECT);
  EXPECT_EQ(message->SubmitMessage(0), MAPI_E_INVALID_OBJECT);
  EXPECT_EQ(Set(message.get(), {TextValue(tags::kSubjectW, u"Twice")}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(InboxOf(bob_.get()).size(), 1u);
}

TEST_F(SubmitTest, ASavedMessageChangedElsewhereIsNotSubmitted) {
  auto message = Draft(u"Version 1", {Ex(u"bob")});
  SetSubject(OpenMessage(alice_.get(), Save(message.get()), MAPI_BEST_ACCESS).get(), u"Version 2");
  EXPECT_EQ(message->SubmitMessage(0), MAPI_E_OBJECT_CHANGED);
  EXPECT_TRUE(InboxOf(bob_.get()).empty());
}

TEST_F(SubmitTest, NamedPropertiesArriveUnderTheRecipientStoresOwnIds) {
  const GUID set = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // bob's store maps another name first, so the same name gets another id there.
  NamedTag(bob_.get(), set, u"Other", PT_LONG);
  auto message = Draft(u"Named", {Ex(u"bob")});
  ULONG aliceTag = NamedTag(message.get(), set, u"Project", PT_UNICODE);
  ASSERT_EQ(Set(message.get(), {TextValue(aliceTag, u"Apollo")}), S_OK);
  // An attachment with an embedded message carrying the named property too.
  auto attach = NewAttach(message.get(), {TextValue(tags::kAttachFilenameW, u"inner.msg"),
                                          LongValue(tags::kAttachMethod, ATTACH_EMBEDDED_MSG)});
  auto inner = NewEmbedded(attach.get());
  ASSERT_EQ(Set(inner.get(), {TextValue(tags::kSubjectW, u"Inner"), TextValue(aliceTag, u"Gemini")}), S_OK);
  ASSERT_EQ(inner->SaveChanges(0), S_OK);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  auto ids = InboxOf(bob_.get());
  ASSERT_EQ(ids.size(), 1u);
  auto received = OpenMessage(bob_.get(), ids[0], MAPI_BEST_ACCESS);
  ULONG bobTag = NamedTag(received.get(), set, u"Project", PT_UNICODE);
  EXPECT_NE(PROP_ID(bobTag), PROP_ID(aliceTag));
  EXPECT_EQ(Text(received.get(), bobTag), u"Apollo");
  ComPtr<IAttach> receivedAttach;
  auto receivedInner = OpenEmbedded(received.get(), 0, 0, &receivedAttach);
  EXPECT_EQ(Text(receivedInner.get(), tags::kSubjectW), u"Inner");
  EXPECT_EQ(Text(receivedInner.get(), bobTag), u"Gemini");
}

TEST_F(SubmitTest, TheQueueSurvivesARestart) {
  ASSERT_EQ(Draft(u"Later", {Smtp(u"zoe@elsewhere.org")})->SubmitMessage(0), S_OK);
  std::string path = TServerDirectory::Find("alice")->storePath;
  alice_ = nullptr;
  Logoff();
  ASSERT_TRUE(TOpenStore::OpenAt(path).empty());
  auto engine = TStoreEngine::Open(path);
  auto queue = engine->Submission().Queue();
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_EQ(engine->Submission().MarkSent(queue[0].messageId).fate, TSubmitFate::Kept);
  EXPECT_TRUE(engine->Submission().Queue().empty());
}

}  // namespace
}  // namespace orba::store
