// Submission through Orba Store's transport: alice (logged on through her profile)
// sends to mailboxes of the organisation (bob, carol: their stores opened directly)
// and to outside addresses; deliveries, the outgoing queue, what becomes of the
// sender's copy, AbortSubmit, named properties and the directory's addresses.
#include <gtest/gtest.h>

#include "base/sqlite.h"
#include "mapiobjects/msgstore.h"
#include "mapiobjects/openstore.h"
#include "mapiobjects/storeproviders.h"
#include "mapiobjects/transport.h"
#include "orba/common/utf8.h"
#include "props/tags.h"
#include "storage/directory.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);

struct Rows {
  LPSRowSet set = nullptr;
  ~Rows() { FreeProws(set); }
};

struct Address {
  ULONG type;
  std::u16string name, addrType, email;
};

// Keeps the new-mail notifications it receives.
class TNewMailSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct Mail {
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
                       reinterpret_cast<const char16_t*>(mail.lpszMessageClass), mail.ulMessageFlags});
    }
    return 0;
  }
  std::vector<Mail> mails;
};

class SubmitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSEMS");
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    OpenDefaultStore(session_.get(), alice_, aliceId_);
    bob_ = OpenMailbox("bob", 1);
    carol_ = OpenMailbox("carol", 2);
  }
  void TearDown() override {
    alice_ = bob_ = carol_ = nullptr;
    open_.clear();
    session_ = nullptr;
    MAPIUninitialize();
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

  static HRESULT SetText(IMAPIProp* object, ULONG tag, const std::u16string& text) {
    std::u16string copy = text;
    SPropValue value{};
    value.ulPropTag = tag;
    value.Value.lpszW = reinterpret_cast<LPWSTR>(copy.data());
    return object->SetProps(1, &value, nullptr);
  }
  static HRESULT SetValue(IMAPIProp* object, SPropValue value) { return object->SetProps(1, &value, nullptr); }

  // A new message in alice's Outbox with a subject and recipients.
  ComPtr<IMessage> Draft(const std::u16string& subject, const std::vector<Address>& to) {
    ComPtr<IMAPIFolder> outbox = OpenFolder(alice_.get(), Binary(alice_.get(), tags::kIpmOutboxEntryId));
    ComPtr<IMessage> message;
    EXPECT_EQ(outbox->CreateMessage(nullptr, 0, message.Out()), S_OK);
    EXPECT_EQ(SetText(message.get(), tags::kSubjectW, subject), S_OK);
    EXPECT_EQ(SetText(message.get(), tags::kMessageClassW, u"IPM.Note"), S_OK);
    if (!to.empty()) {
      std::vector<Address> copies = to;
      std::vector<std::vector<SPropValue>> values(copies.size());
      auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(copies.size()));
      list->cEntries = static_cast<ULONG>(copies.size());
      for (size_t i = 0; i < copies.size(); ++i) {
        SPropValue v[4]{};
        v[0].ulPropTag = tags::kRecipientType;
        v[0].Value.l = static_cast<LONG>(copies[i].type);
        v[1].ulPropTag = tags::kDisplayNameW;
        v[1].Value.lpszW = reinterpret_cast<LPWSTR>(copies[i].name.data());
        v[2].ulPropTag = tags::kAddrTypeW;
        v[2].Value.lpszW = reinterpret_cast<LPWSTR>(copies[i].addrType.data());
        v[3].ulPropTag = tags::kEmailAddressW;
        v[3].Value.lpszW = reinterpret_cast<LPWSTR>(copies[i].email.data());
        values[i].assign(v, v + 4);
        list->aEntries[i].cValues = 4;
        list->aEntries[i].rgPropVals = values[i].data();
      }
      EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, list.get()), S_OK);
    }
    return message;
  }

  static Address Ex(const std::u16string& name, ULONG type = MAPI_TO) {
    return {type, name, u"EX", FromUtf8(kLegacyDnPrefix) + name};
  }
  static Address Smtp(const std::u16string& email, ULONG type = MAPI_TO) { return {type, email, u"SMTP", email}; }

  // The entry IDs of the messages of a folder, oldest first.
  static std::vector<Bytes> MessagesIn(IMsgStore* store, const Bytes& folderId) {
    ComPtr<IMAPIFolder> folder = OpenFolder(store, folderId);
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder->GetContentsTable(0, table.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    Rows rows;
    EXPECT_EQ(table->QueryRows(100, 0, &rows.set), S_OK);
    std::vector<Bytes> ids;
    for (ULONG i = 0; rows.set && i < rows.set->cRows; ++i) {
      const SBinary& id = rows.set->aRow[i].lpProps[0].Value.bin;
      ids.emplace_back(id.lpb, id.lpb + id.cb);
    }
    return ids;
  }
  static ComPtr<IMessage> OpenMessage(IMsgStore* store, Bytes id) {
    ULONG type = 0;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), &IID_IMessage,
                               MAPI_BEST_ACCESS, &type, unknown.Out()),
              S_OK);
    return ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  }
  static bool Has(IMAPIProp* object, ULONG tag) {
    SizedSPropTagArray<1> wanted{1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    object->GetProps(wanted.Ptr(), 0, &count, &values);
    bool has = values && values[0].ulPropTag == tag;
    MAPIFreeBuffer(values);
    return has;
  }
  // The recipients (type, name) of a message.
  static std::vector<std::pair<ULONG, std::u16string>> RecipientsOf(IMessage* message) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, table.Out()), S_OK);
    SizedSPropTagArray<2> columns{2, {tags::kRecipientType, tags::kDisplayNameW}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    Rows rows;
    EXPECT_EQ(table->QueryRows(100, 0, &rows.set), S_OK);
    std::vector<std::pair<ULONG, std::u16string>> list;
    for (ULONG i = 0; rows.set && i < rows.set->cRows; ++i)
      list.emplace_back(rows.set->aRow[i].lpProps[0].Value.ul,
                        reinterpret_cast<const char16_t*>(rows.set->aRow[i].lpProps[1].Value.lpszW));
    return list;
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> alice_, bob_, carol_;
  Bytes aliceId_;
  std::vector<std::shared_ptr<TOpenStore>> open_;
};

TEST_F(SubmitTest, StoresThatSendSayStoreSubmitOk) {
  EXPECT_TRUE(Long(alice_.get(), tags::kStoreSupportMask) & STORE_SUBMIT_OK);
  EXPECT_TRUE(Long(bob_.get(), tags::kStoreSupportMask) & STORE_SUBMIT_OK);
}

TEST_F(SubmitTest, BobReceivesWhatAliceSendsByExAddressWithTheDeliveryProperties) {
  auto sink = MakeComObject<TNewMailSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(bob_->Advise(0, nullptr, fnevNewMail, sink.get(), &connection), S_OK);
  Bytes bobInbox = InboxId(bob_.get());
  ComPtr<IMAPIFolder> inboxFolder = OpenFolder(bob_.get(), bobInbox);
  ComPtr<IMAPITable> contents;
  ASSERT_EQ(inboxFolder->GetContentsTable(0, contents.Out()), S_OK);
  ULONG before = 0;
  ASSERT_EQ(contents->GetRowCount(0, &before), S_OK);

  ComPtr<IMessage> message = Draft(u"Lunch", {Ex(u"bob")});
  ASSERT_EQ(SetText(message.get(), kBodyW, u"At noon?"), S_OK);
  ASSERT_EQ(message->SubmitMessage(0), S_OK);

  ULONG after = 0;
  ASSERT_EQ(contents->GetRowCount(0, &after), S_OK);
  EXPECT_EQ(after, before + 1);
  auto ids = MessagesIn(bob_.get(), bobInbox);
  ASSERT_EQ(ids.size(), 1u);
  ASSERT_EQ(sink->mails.size(), 1u);
  EXPECT_EQ(sink->mails[0].entryId, ids[0]);
  EXPECT_EQ(sink->mails[0].parentId, bobInbox);
  EXPECT_EQ(sink->mails[0].messageClass, u"IPM.Note");
  EXPECT_EQ(sink->mails[0].flags & (MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_SUBMIT), 0u);

  ComPtr<IMessage> received = OpenMessage(bob_.get(), ids[0]);
  EXPECT_EQ(Text(received.get(), tags::kSubjectW), u"Lunch");
  EXPECT_EQ(Text(received.get(), kBodyW), u"At noon?");
  EXPECT_EQ(Long(received.get(), tags::kMessageFlags) & (MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_SUBMIT), 0u);
  EXPECT_TRUE(Has(received.get(), tags::kMessageDeliveryTime));
  EXPECT_TRUE(Has(received.get(), tags::kClientSubmitTime));
  std::u16string bobDn = FromUtf8(kLegacyDnPrefix) + u"bob";
  for (const auto* side : {&tags::kReceivedBy, &tags::kRcvdRepresenting}) {
    EXPECT_EQ(Text(received.get(), side->name), u"bob");
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
  EXPECT_EQ(Text(received.get(), tags::kSentRepresenting.name), u"alice");
  EXPECT_FALSE(Has(received.get(), tags::kSentMailEntryId));
  EXPECT_EQ(RecipientsOf(received.get()), (std::vector<std::pair<ULONG, std::u16string>>{{MAPI_TO, u"bob"}}));
  ASSERT_EQ(bob_->Unadvise(connection), S_OK);
}

TEST_F(SubmitTest, SmtpAddressesMatchRegardlessOfCase) {
  ASSERT_EQ(Draft(u"One", {Smtp(u"BOB@Orba.Example")})->SubmitMessage(0), S_OK);
  TServerDirectory::SetAddresses("bob", "/o=Orba/ou=Site/cn=Recipients/cn=robert", "robert@example.net");
  ASSERT_EQ(Draft(u"Two", {Smtp(u"Robert@EXAMPLE.net")})->SubmitMessage(0), S_OK);
  ASSERT_EQ(Draft(u"Three", {{MAPI_TO, u"Bob", u"ex", u"/O=orba/OU=site/CN=Recipients/CN=ROBERT"}})->SubmitMessage(0),
            S_OK);
  auto ids = MessagesIn(bob_.get(), InboxId(bob_.get()));
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(Text(OpenMessage(bob_.get(), ids[2]).get(), tags::kReceivedBy.emailAddress),
            u"/o=Orba/ou=Site/cn=Recipients/cn=robert");
  // The old default address no longer names bob: that message waits for a transport.
  ASSERT_EQ(Draft(u"Four", {Smtp(u"bob@orba.example")})->SubmitMessage(0), S_OK);
  EXPECT_EQ(MessagesIn(bob_.get(), InboxId(bob_.get())).size(), 3u);
  EXPECT_EQ(AliceOpen()->Engine().Submission().Queue().size(), 1u);
}

TEST_F(SubmitTest, CcAndBccRecipientsGetCopiesWithoutTheBccList) {
  ASSERT_EQ(
      Draft(u"Plans", {Ex(u"bob", MAPI_CC), Ex(u"carol", MAPI_BCC), Smtp(u"dave@elsewhere.org")})->SubmitMessage(0),
      S_OK);
  auto bobIds = MessagesIn(bob_.get(), InboxId(bob_.get()));
  auto carolIds = MessagesIn(carol_.get(), InboxId(carol_.get()));
  ASSERT_EQ(bobIds.size(), 1u);
  ASSERT_EQ(carolIds.size(), 1u);
  ComPtr<IMessage> bobCopy = OpenMessage(bob_.get(), bobIds[0]);
  ComPtr<IMessage> carolCopy = OpenMessage(carol_.get(), carolIds[0]);
  EXPECT_EQ(Long(bobCopy.get(), tags::kMessageToMe), 0u);
  EXPECT_EQ(Long(bobCopy.get(), tags::kMessageCcMe), 1u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageToMe), 0u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageCcMe), 0u);
  EXPECT_EQ(Long(carolCopy.get(), tags::kMessageRecipMe), 1u);
  std::vector<std::pair<ULONG, std::u16string>> visible = {{MAPI_CC, u"bob"}, {MAPI_TO, u"dave@elsewhere.org"}};
  EXPECT_EQ(RecipientsOf(bobCopy.get()), visible);
  EXPECT_EQ(RecipientsOf(carolCopy.get()), visible);
  EXPECT_EQ(Text(carolCopy.get(), tags::kDisplayBccW), u"");
}

TEST_F(SubmitTest, TheSendersCopyGoesToSentItemsIsDeletedOrStays) {
  Bytes sentItems = Binary(alice_.get(), tags::kIpmSentMailEntryId);
  Bytes outbox = Binary(alice_.get(), tags::kIpmOutboxEntryId);
  ComPtr<IMessage> toSent = Draft(u"Filed", {Ex(u"bob")});
  SPropValue sent{};
  sent.ulPropTag = tags::kSentMailEntryId;
  sent.Value.bin = {static_cast<ULONG>(sentItems.size()), sentItems.data()};
  ASSERT_EQ(SetValue(toSent.get(), sent), S_OK);
  ASSERT_EQ(toSent->SubmitMessage(0), S_OK);

  ComPtr<IMessage> deleted = Draft(u"Gone", {Ex(u"bob")});
  SPropValue remove{};
  remove.ulPropTag = tags::kDeleteAfterSubmit;
  remove.Value.b = 1;
  ASSERT_EQ(SetValue(deleted.get(), remove), S_OK);
  ASSERT_EQ(deleted->SubmitMessage(0), S_OK);

  ASSERT_EQ(Draft(u"Stays", {Ex(u"bob")})->SubmitMessage(0), S_OK);

  auto filed = MessagesIn(alice_.get(), sentItems);
  ASSERT_EQ(filed.size(), 1u);
  ComPtr<IMessage> copy = OpenMessage(alice_.get(), filed[0]);
  EXPECT_EQ(Text(copy.get(), tags::kSubjectW), u"Filed");
  ULONG flags = Long(copy.get(), tags::kMessageFlags);
  EXPECT_TRUE(flags & MSGFLAG_READ);
  EXPECT_FALSE(flags & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT));
  EXPECT_TRUE(Has(copy.get(), tags::kClientSubmitTime));
  EXPECT_EQ(Text(copy.get(), tags::kSender.name), u"alice");

  auto left = MessagesIn(alice_.get(), outbox);
  ASSERT_EQ(left.size(), 1u);
  ComPtr<IMessage> stays = OpenMessage(alice_.get(), left[0]);
  EXPECT_EQ(Text(stays.get(), tags::kSubjectW), u"Stays");
  EXPECT_FALSE(Long(stays.get(), tags::kMessageFlags) & (MSGFLAG_SUBMIT | MSGFLAG_UNSENT));
  EXPECT_EQ(MessagesIn(bob_.get(), InboxId(bob_.get())).size(), 3u);
}

TEST_F(SubmitTest, OutsideRecipientsWaitInTheOutgoingQueueUntilMarkedSent) {
  ComPtr<IMessage> message = Draft(u"Abroad", {Smtp(u"zoe@elsewhere.org"), Ex(u"bob", MAPI_CC)});
  Bytes sentItems = Binary(alice_.get(), tags::kIpmSentMailEntryId);
  SPropValue sent{};
  sent.ulPropTag = tags::kSentMailEntryId;
  sent.Value.bin = {static_cast<ULONG>(sentItems.size()), sentItems.data()};
  ASSERT_EQ(SetValue(message.get(), sent), S_OK);
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  EXPECT_EQ(MessagesIn(bob_.get(), InboxId(bob_.get())).size(), 1u);

  auto outbox = MessagesIn(alice_.get(), Binary(alice_.get(), tags::kIpmOutboxEntryId));
  ASSERT_EQ(outbox.size(), 1u);
  ComPtr<IMessage> waiting = OpenMessage(alice_.get(), outbox[0]);
  EXPECT_TRUE(Long(waiting.get(), tags::kMessageFlags) & MSGFLAG_SUBMIT);
  EXPECT_TRUE(Long(waiting.get(), tags::kMessageFlags) & MSGFLAG_UNSENT);

  ComPtr<IMAPITable> queue;
  ASSERT_EQ(alice_->GetOutgoingQueue(0, queue.Out()), S_OK);
  SizedSPropTagArray<3> columns{3, {tags::kEntryId, tags::kSubjectW, tags::kDisplayToW}};
  ASSERT_EQ(queue->SetColumns(columns.Ptr(), 0), S_OK);
  {
    Rows rows;
    ASSERT_EQ(queue->QueryRows(10, 0, &rows.set), S_OK);
    ASSERT_EQ(rows.set->cRows, 1u);
    const SBinary& id = rows.set->aRow[0].lpProps[0].Value.bin;
    EXPECT_EQ(Bytes(id.lpb, id.lpb + id.cb), outbox[0]);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(rows.set->aRow[0].lpProps[1].Value.lpszW)), u"Abroad");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(rows.set->aRow[0].lpProps[2].Value.lpszW)),
              u"zoe@elsewhere.org");
  }
  ComPtr<IMAPITable> refused;
  EXPECT_EQ(alice_->GetOutgoingQueue(1, refused.Out()), MAPI_E_UNKNOWN_FLAGS);

  // A transport takes it: only the outside recipient was left to reach.
  auto open = AliceOpen();
  auto queued = open->Engine().Submission().Queue();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].recipients, std::vector<ULONG>{0});
  MarkQueuedMessageSent(open, queued[0].messageId);
  EXPECT_TRUE(open->Engine().Submission().Queue().empty());
  ULONG count = 1;
  ASSERT_EQ(queue->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(MessagesIn(alice_.get(), Binary(alice_.get(), tags::kIpmOutboxEntryId)).empty());
  EXPECT_EQ(MessagesIn(alice_.get(), sentItems).size(), 1u);
  EXPECT_THROW(MarkQueuedMessageSent(open, queued[0].messageId), TMapiError);
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
  try {
    MarkQueuedMessageFailed(open, id);
    FAIL() << "a message out of the queue cannot fail again";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_NOT_IN_QUEUE);
  }
}

TEST_F(SubmitTest, AbortSubmitTakesAQueuedMessageBack) {
  ComPtr<IMessage> message = Draft(u"Oops", {Smtp(u"zoe@elsewhere.org")});
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  Bytes id = Binary(message.get(), tags::kEntryId);
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  auto entry = reinterpret_cast<LPENTRYID>(id.data());
  ASSERT_EQ(alice_->AbortSubmit(static_cast<ULONG>(id.size()), entry, 0), S_OK);
  ComPtr<IMessage> back = OpenMessage(alice_.get(), id);
  EXPECT_FALSE(Long(back.get(), tags::kMessageFlags) & MSGFLAG_SUBMIT);
  EXPECT_TRUE(Long(back.get(), tags::kMessageFlags) & MSGFLAG_UNSENT);
  EXPECT_EQ(alice_->AbortSubmit(static_cast<ULONG>(id.size()), entry, 0), MAPI_E_NOT_IN_QUEUE);
  EXPECT_EQ(alice_->AbortSubmit(static_cast<ULONG>(id.size()), entry, 0x10), MAPI_E_UNKNOWN_FLAGS);
  BYTE junk[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(alice_->AbortSubmit(6, reinterpret_cast<LPENTRYID>(junk), 0), MAPI_E_INVALID_ENTRYID);
  Bytes folder = Binary(alice_.get(), tags::kIpmOutboxEntryId);
  EXPECT_EQ(alice_->AbortSubmit(static_cast<ULONG>(folder.size()), reinterpret_cast<LPENTRYID>(folder.data()), 0),
            MAPI_E_INVALID_ENTRYID);
  // Submitted again, it is back in the queue.
  ASSERT_EQ(back->SubmitMessage(0), S_OK);
  EXPECT_EQ(AliceOpen()->Engine().Submission().Queue().size(), 1u);
}

TEST_F(SubmitTest, RefusedSubmissionsChangeNothing) {
  Bytes outbox = Binary(alice_.get(), tags::kIpmOutboxEntryId);
  ComPtr<IMessage> empty = Draft(u"Nobody", {});
  EXPECT_EQ(empty->SubmitMessage(0), MAPI_E_NO_RECIPIENTS);
  EXPECT_EQ(empty->SubmitMessage(0x8), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_TRUE(MessagesIn(alice_.get(), outbox).empty());

  ComPtr<IMessage> badSent = Draft(u"Bad folder", {Ex(u"bob")});
  BYTE junk[24] = {};
  SPropValue sent{};
  sent.ulPropTag = tags::kSentMailEntryId;
  sent.Value.bin = {sizeof(junk), junk};
  ASSERT_EQ(SetValue(badSent.get(), sent), S_OK);
  EXPECT_EQ(badSent->SubmitMessage(0), MAPI_E_INVALID_ENTRYID);
  EXPECT_TRUE(MessagesIn(bob_.get(), InboxId(bob_.get())).empty());
  EXPECT_TRUE(MessagesIn(alice_.get(), outbox).empty());
  // Still open and valid: fixed, it goes.
  ASSERT_EQ(badSent->DeleteProps(nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  SizedSPropTagArray<1> drop{1, {tags::kSentMailEntryId}};
  ASSERT_EQ(badSent->DeleteProps(drop.Ptr(), nullptr), S_OK);
  EXPECT_EQ(badSent->SubmitMessage(FORCE_SUBMIT), S_OK);

  ComPtr<IMessage> saved = Draft(u"Read only", {Ex(u"bob")});
  ASSERT_EQ(saved->SaveChanges(0), S_OK);
  EXPECT_EQ(saved->SubmitMessage(0), MAPI_E_NO_ACCESS);
}

TEST_F(SubmitTest, ASubmittedMessageObjectIsNoLongerValid) {
  ComPtr<IMessage> message = Draft(u"Once", {Ex(u"bob")});
  ASSERT_EQ(message->SubmitMessage(0), S_OK);
  EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_INVALID_OBJECT);
  EXPECT_EQ(message->SubmitMessage(0), MAPI_E_INVALID_OBJECT);
  EXPECT_EQ(SetText(message.get(), tags::kSubjectW, u"Twice"), MAPI_E_NO_ACCESS);
  EXPECT_EQ(MessagesIn(bob_.get(), InboxId(bob_.get())).size(), 1u);
  EXPECT_TRUE(MessagesIn(alice_.get(), Binary(alice_.get(), tags::kIpmOutboxEntryId)).size() == 1u);
}

TEST_F(SubmitTest, ASavedMessageChangedElsewhereIsNotSubmitted) {
  ComPtr<IMessage> message = Draft(u"Version 1", {Ex(u"bob")});
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ComPtr<IMessage> other = OpenMessage(alice_.get(), Binary(message.get(), tags::kEntryId));
  ASSERT_EQ(SetText(other.get(), tags::kSubjectW, u"Version 2"), S_OK);
  ASSERT_EQ(other->SaveChanges(0), S_OK);
  EXPECT_EQ(message->SubmitMessage(0), MAPI_E_OBJECT_CHANGED);
  EXPECT_TRUE(MessagesIn(bob_.get(), InboxId(bob_.get())).empty());
}

TEST_F(SubmitTest, NamedPropertiesArriveUnderTheRecipientStoresOwnIds) {
  GUID set = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  auto nameId = [&](std::u16string& name) {
    MAPINAMEID id{};
    id.lpguid = &set;
    id.ulKind = MNID_STRING;
    id.Kind.lpwstrName = reinterpret_cast<LPWSTR>(name.data());
    return id;
  };
  // bob's store maps another name first, so the same name gets another id there.
  std::u16string other = u"Other", wanted = u"Project";
  MAPINAMEID otherId = nameId(other), wantedId = nameId(wanted);
  LPMAPINAMEID bobNames[] = {&otherId};
  TMapiBuffer<SPropTagArray> bobTags;
  ASSERT_EQ(bob_->GetIDsFromNames(1, bobNames, MAPI_CREATE, bobTags.Out()), S_OK);

  ComPtr<IMessage> message = Draft(u"Named", {Ex(u"bob")});
  LPMAPINAMEID names[] = {&wantedId};
  TMapiBuffer<SPropTagArray> aliceTags;
  ASSERT_EQ(message->GetIDsFromNames(1, names, MAPI_CREATE, aliceTags.Out()), S_OK);
  ULONG aliceTag = CHANGE_PROP_TYPE(aliceTags->aulPropTag[0], PT_UNICODE);
  ASSERT_EQ(SetText(message.get(), aliceTag, u"Apollo"), S_OK);
  // An attachment with an embedded message carrying the named property too.
  ComPtr<IAttach> attach;
  ULONG num = 0;
  ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  ASSERT_EQ(SetText(attach.get(), tags::kAttachFilenameW, u"inner.msg"), S_OK);
  SPropValue method{};
  method.ulPropTag = PROP_TAG(PT_LONG, 0x3705);
  method.Value.l = ATTACH_EMBEDDED_MSG;
  ASSERT_EQ(SetValue(attach.get(), method), S_OK);
  ComPtr<IMessage> inner;
  ASSERT_EQ(attach->OpenProperty(PROP_TAG(PT_OBJECT, 0x3701), &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                 reinterpret_cast<LPUNKNOWN*>(inner.Out())),
            S_OK);
  ASSERT_EQ(SetText(inner.get(), tags::kSubjectW, u"Inner"), S_OK);
  ASSERT_EQ(SetText(inner.get(), aliceTag, u"Gemini"), S_OK);
  ASSERT_EQ(inner->SaveChanges(0), S_OK);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  ASSERT_EQ(message->SubmitMessage(0), S_OK);

  auto ids = MessagesIn(bob_.get(), InboxId(bob_.get()));
  ASSERT_EQ(ids.size(), 1u);
  ComPtr<IMessage> received = OpenMessage(bob_.get(), ids[0]);
  TMapiBuffer<SPropTagArray> bobWanted;
  ASSERT_EQ(received->GetIDsFromNames(1, names, 0, bobWanted.Out()), S_OK);
  ULONG bobTag = CHANGE_PROP_TYPE(bobWanted->aulPropTag[0], PT_UNICODE);
  EXPECT_NE(PROP_ID(bobTag), PROP_ID(aliceTag));
  EXPECT_EQ(Text(received.get(), bobTag), u"Apollo");
  EXPECT_EQ(Long(received.get(), tags::kHasAttach), 1u);
  ComPtr<IAttach> receivedAttach;
  ASSERT_EQ(received->OpenAttach(0, nullptr, 0, receivedAttach.Out()), S_OK);
  EXPECT_EQ(Text(receivedAttach.get(), tags::kAttachFilenameW), u"inner.msg");
  ComPtr<IMessage> receivedInner;
  ASSERT_EQ(receivedAttach->OpenProperty(PROP_TAG(PT_OBJECT, 0x3701), &IID_IMessage, 0, 0,
                                         reinterpret_cast<LPUNKNOWN*>(receivedInner.Out())),
            S_OK);
  EXPECT_EQ(Text(receivedInner.get(), tags::kSubjectW), u"Inner");
  EXPECT_EQ(Text(receivedInner.get(), bobTag), u"Gemini");
}

TEST_F(SubmitTest, TheQueueSurvivesARestart) {
  ASSERT_EQ(Draft(u"Later", {Smtp(u"zoe@elsewhere.org")})->SubmitMessage(0), S_OK);
  std::string path = TServerDirectory::Find("alice")->storePath;
  alice_ = nullptr;
  session_ = nullptr;
  ASSERT_TRUE(TOpenStore::OpenAt(path).empty());
  auto engine = TStoreEngine::Open(path);
  auto queue = engine->Submission().Queue();
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_GT(queue[0].submitTime, 0);
  EXPECT_EQ(engine->Submission().MarkSent(queue[0].messageId).fate, TSubmitFate::Kept);
  EXPECT_TRUE(engine->Submission().Queue().empty());
}

TEST(ServerDirectoryAddresses, DefaultsSettersAndOldFiles) {
  TTempStoreHome home;
  {
    // A directory file from before mailboxes had addresses.
    std::filesystem::create_directories(home.Path() / "server");
    TSqlDatabase db((home.Path() / "server" / "directory.db").string());
    db.Execute(
        "CREATE TABLE mailboxes(name TEXT PRIMARY KEY COLLATE NOCASE, display_name TEXT NOT NULL, "
        "server TEXT NOT NULL, store_path TEXT NOT NULL)");
    db.Execute("INSERT INTO mailboxes VALUES('old', 'Old One', 'mail1', '/tmp/old.db')");
  }
  auto old = TServerDirectory::Find("OLD");
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(old->legacyDn, std::string(kLegacyDnPrefix) + "old");
  EXPECT_EQ(old->smtpAddress, "old@orba.example");
  TDirectoryMailbox fresh = TServerDirectory::Register("fresh", "mail1");
  EXPECT_EQ(fresh.smtpAddress, "fresh@orba.example");
  EXPECT_EQ(TServerDirectory::FindByAddress("smtp", "OLD@ORBA.EXAMPLE")->name, "old");
  EXPECT_EQ(TServerDirectory::FindByAddress("EX", std::string(kLegacyDnPrefix) + "FRESH")->name, "fresh");
  EXPECT_FALSE(TServerDirectory::FindByAddress("X400", "old@orba.example").has_value());
  EXPECT_EQ(TServerDirectory::FindByStorePath(fresh.storePath)->name, "fresh");

  auto code = [](auto&& call) {
    try {
      call();
    } catch (const TMapiError& e) {
      return e.Code();
    }
    return S_OK;
  };
  EXPECT_EQ(code([] { TServerDirectory::SetAddresses("fresh", "/o=X/cn=new", "OLD@orba.example"); }), MAPI_E_COLLISION);
  EXPECT_EQ(code([] { TServerDirectory::SetAddresses("fresh", "cn=new", "new@x.org"); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(code([] { TServerDirectory::SetAddresses("fresh", "/o=X/cn=new", "new@@x.org"); }),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(code([] { TServerDirectory::SetAddresses("fresh", "/o=X/cn=new", "@x.org"); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(code([] { TServerDirectory::SetAddresses("ghost", "/o=X/cn=new", "g@x.org"); }), MAPI_E_NOT_FOUND);
  TDirectoryMailbox changed = TServerDirectory::SetAddresses("FRESH", "/o=X/cn=new", "New@X.org");
  EXPECT_EQ(changed.legacyDn, "/o=X/cn=new");
  EXPECT_EQ(TServerDirectory::FindByAddress("SMTP", "new@x.ORG")->name, "fresh");
  EXPECT_FALSE(TServerDirectory::FindByAddress("SMTP", "fresh@orba.example").has_value());
}

}  // namespace
}  // namespace orba::store
