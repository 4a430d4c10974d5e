// Store notifications: what another session of the same mailbox does and what another
// mailbox delivers reaches the events of alice's store; the refusals of Advise, the
// retry without the extra event bit, and the end of a session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orba/VoMAPIMsgStoreEvents.h"
#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

// alice's IMsgStore as a provider that differs where a test asks: without
// STORE_NOTIFY_OK in its support mask, or refusing the extra event bit.
class TProviderStore : public TVoComObject<TVoRefCounted, IMsgStore> {
 public:
  explicit TProviderStore(ComPtr<IMsgStore> Inner) : inner_(std::move(Inner)) {}
  bool WithoutNotifications = false;
  bool RefusesExtraBit = false;
  std::vector<ULONG> AdviseMasks;

  HRESULT STDMETHODCALLTYPE Advise(ULONG cb, LPENTRYID id, ULONG mask, LPMAPIADVISESINK sink,
                                   ULONG_PTR* connection) override {
    AdviseMasks.push_back(mask);
    if (RefusesExtraBit && (mask & 0x20000000)) return MAPI_E_UNKNOWN_FLAGS;
    return inner_->Advise(cb, id, mask, sink, connection);
  }
  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) override {
    HRESULT hr = inner_->GetProps(tags, flags, count, values);
    for (ULONG i = 0; WithoutNotifications && SUCCEEDED(hr) && i < *count; ++i)
      if ((*values)[i].ulPropTag == GetPropTag(PR_STORE_SUPPORT_MASK)) (*values)[i].Value.l &= ~STORE_NOTIFY_OK;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG_PTR c) override { return inner_->Unadvise(c); }
  HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG a, LPENTRYID b, ULONG c, LPENTRYID d, ULONG e, ULONG* f) override {
    return inner_->CompareEntryIDs(a, b, c, d, e, f);
  }
  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG a, LPENTRYID b, LPCIID c, ULONG d, ULONG* e, LPUNKNOWN* f) override {
    return inner_->OpenEntry(a, b, c, d, e, f);
  }
  HRESULT STDMETHODCALLTYPE SetReceiveFolder(LPTSTR a, ULONG b, ULONG c, LPENTRYID d) override {
    return inner_->SetReceiveFolder(a, b, c, d);
  }
  HRESULT STDMETHODCALLTYPE GetReceiveFolder(LPTSTR a, ULONG b, ULONG* c, LPENTRYID* d, LPTSTR* e) override {
    return inner_->GetReceiveFolder(a, b, c, d, e);
  }
  HRESULT STDMETHODCALLTYPE GetReceiveFolderTable(ULONG a, LPMAPITABLE* b) override {
    return inner_->GetReceiveFolderTable(a, b);
  }
  HRESULT STDMETHODCALLTYPE StoreLogoff(ULONG* a) override { return inner_->StoreLogoff(a); }
  HRESULT STDMETHODCALLTYPE AbortSubmit(ULONG a, LPENTRYID b, ULONG c) override { return inner_->AbortSubmit(a, b, c); }
  HRESULT STDMETHODCALLTYPE GetOutgoingQueue(ULONG a, LPMAPITABLE* b) override {
    return inner_->GetOutgoingQueue(a, b);
  }
  HRESULT STDMETHODCALLTYPE SetLockState(LPMESSAGE a, ULONG b) override { return inner_->SetLockState(a, b); }
  HRESULT STDMETHODCALLTYPE FinishedMsg(ULONG a, ULONG b, LPENTRYID c) override { return inner_->FinishedMsg(a, b, c); }
  HRESULT STDMETHODCALLTYPE NotifyNewMail(LPNOTIFICATION a) override { return inner_->NotifyNewMail(a); }
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT a, ULONG b, LPMAPIERROR* c) override {
    return inner_->GetLastError(a, b, c);
  }
  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG a) override { return inner_->SaveChanges(a); }
  HRESULT STDMETHODCALLTYPE SetProps(ULONG a, LPSPropValue b, LPSPropProblemArray* c) override {
    return inner_->SetProps(a, b, c);
  }
  HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray a, LPSPropProblemArray* b) override {
    return inner_->DeleteProps(a, b);
  }
  HRESULT STDMETHODCALLTYPE GetPropList(ULONG a, LPSPropTagArray* b) override { return inner_->GetPropList(a, b); }
  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG a, LPCIID b, ULONG c, ULONG d, LPUNKNOWN* e) override {
    return inner_->OpenProperty(a, b, c, d, e);
  }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG a, LPCIID b, LPSPropTagArray c, ULONG_PTR d, LPMAPIPROGRESS e, LPCIID f,
                                   LPVOID g, ULONG h, LPSPropProblemArray* i) override {
    return inner_->CopyTo(a, b, c, d, e, f, g, h, i);
  }
  HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray a, ULONG_PTR b, LPMAPIPROGRESS c, LPCIID d, LPVOID e, ULONG f,
                                      LPSPropProblemArray* g) override {
    return inner_->CopyProps(a, b, c, d, e, f, g);
  }
  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray* a, LPGUID b, ULONG c, ULONG* d,
                                            LPMAPINAMEID** e) override {
    return inner_->GetNamesFromIDs(a, b, c, d, e);
  }
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG a, LPMAPINAMEID* b, ULONG c, LPSPropTagArray* d) override {
    return inner_->GetIDsFromNames(a, b, c, d);
  }

 private:
  ComPtr<IMsgStore> inner_;
};

class EventsTest : public StoresTest {
 protected:
  // alice's store behind a provider that answers the extra event bit with
  // MAPI_E_UNKNOWN_FLAGS, as MAPI's providers do for a flag they do not know. Orba
  // Store answers MAPI_E_INVALID_PARAMETER instead (see DISABLED_OrbaStoreListensToo).
  ComPtr<IVoMAPIMsgStore> Listened() {
    provider_ =
        MakeComObject<TProviderStore>(session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alBestAccess));
    provider_->RefusesExtraBit = true;
    return MakeComObject<TVoMAPIMsgStore>(session_.get(), ComPtr<IMsgStore>(provider_.get()), alBestAccess);
  }
  // Records the events as "kind object-type subject-or-class".
  void Listen(TVoMAPIMsgStoreEvents& Events) {
    Events.OnNewMessage = [this](IVoMAPIMsgStore*, const TVoMAPIEntryID& id, const TVoMAPIEntryID& parent,
                                 const WideString& messageClass) {
      log_.push_back("new " + ToUtf8(messageClass) + (store_->CompareEntryIDs(parent, inboxId_) ? " in Inbox" : ""));
      EXPECT_FALSE(id.IsNull());
    };
    Events.OnObjectCreated = [this](IVoMAPIMsgStore*, const TVoMAPIEntryID&, TVoMAPIObjectType type,
                                    const TVoMAPIEntryID& parent, const TVoMAPIEntryID&, const TVoMAPIEntryID&,
                                    IVoMAPIPropList*) {
      log_.push_back("created " + std::to_string(type) +
                     (store_->CompareEntryIDs(parent, inboxId_) ? " in Inbox" : ""));
    };
    Events.OnObjectDeleted = [this](IVoMAPIMsgStore*, const TVoMAPIEntryID&, TVoMAPIObjectType type,
                                    const TVoMAPIEntryID&, const TVoMAPIEntryID&, const TVoMAPIEntryID&,
                                    IVoMAPIPropList*) { log_.push_back("deleted " + std::to_string(type)); };
    Events.OnObjectMoved = [this](IVoMAPIMsgStore*, const TVoMAPIEntryID&, TVoMAPIObjectType type,
                                  const TVoMAPIEntryID&, const TVoMAPIEntryID& oldId, const TVoMAPIEntryID&,
                                  IVoMAPIPropList*) {
      log_.push_back("moved " + std::to_string(type) + (oldId.IsNull() ? "" : " with its old ID"));
    };
    Events.OnSessionLogoff = [this](IVoMAPIMsgStore*) { log_.push_back("logoff"); };
  }
  // A second session, on the profile Profile (made with the mailbox Mailbox unless it
  // exists).
  ComPtr<TSession> OtherSession(const char* Profile, const char* Mailbox) {
    if (std::string(Profile) != "Work") CreateProfile(Profile, "MSEMS", home_.Home(), Mailbox);
    auto session = MakeComObject<TSession>();
    session->Get_LogonInfo()->Set_ProfileName(FromUtf8(Profile));
    session->Get_LogonInfo()->Set_ProfileRequired(true);
    session->Logon();
    return session;
  }

  TVoMAPIEntryID inboxId_;
  std::vector<std::string> log_;
  ComPtr<TProviderStore> provider_;
};

TEST_F(EventsTest, AnotherSessionOfTheMailboxRaisesTheStoresEvents) {
  inboxId_ = store_->Get_FolderID(ftInbox);
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  events.Start(listened.get());
  EXPECT_TRUE(events.Active());

  ComPtr<TSession> other = OtherSession("Work", "alice");
  ComPtr<IVoMAPIMsgStore> otherStore = other->OpenDefaultMsgStore(alBestAccess, false);
  ComPtr<IVoMAPIFolder> otherInbox = otherStore->OpenFolderByType(ftInbox, alReadWrite, false);
  ComPtr<IVoMAPIMessage> message = SaveMessage(otherInbox.get(), u"from the other session");
  const std::vector<std::string> created = {"created 5 in Inbox"};
  EXPECT_EQ(log_, created);

  log_.clear();
  otherInbox->CopyMessage(IdOf(message.get()), otherStore->OpenFolderByType(ftDeleted, alReadWrite, false).get(), true);
  const std::vector<std::string> moved = {"moved 5 with its old ID"};
  EXPECT_EQ(log_, moved);
  log_.clear();
  events.Stop();
  SaveMessage(otherInbox.get(), u"not heard");
  EXPECT_TRUE(log_.empty());
}

// Orba Store tells the advise sinks of the store as the profile that changed it opened
// it; another profile on the same mailbox (and another process) is not told; enabled
// once changes reach every opening of a store file.
TEST_F(EventsTest, DISABLED_AnotherProfileOfTheMailboxIsHeardToo) {
  inboxId_ = store_->Get_FolderID(ftInbox);
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  events.Start(listened.get());
  ComPtr<TSession> other = OtherSession("Second", "alice");
  SaveMessage(other->OpenDefaultMsgStore(alBestAccess, false)->OpenFolderByType(ftInbox, alReadWrite, false).get(),
              u"from another profile");
  const std::vector<std::string> created = {"created 5 in Inbox"};
  EXPECT_EQ(log_, created);
}

TEST_F(EventsTest, MailDeliveredFromAnotherMailboxIsNewMail) {
  inboxId_ = store_->Get_FolderID(ftInbox);
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  events.Start(listened.get());

  ComPtr<TSession> bob = OtherSession("Bob", "bob");
  ComPtr<IVoMAPIMessage> mail = bob->OpenDefaultMsgStore(alBestAccess, false)->CreateMessage(ftOutbox, u"");
  mail->Set_Subject(u"Hello alice");
  std::u16string name = u"alice", type = u"SMTP", address = u"alice@orba.example";
  SPropValue recipient[4]{};
  recipient[0].ulPropTag = GetPropTag(PR_RECIPIENT_TYPE);
  recipient[0].Value.l = MAPI_TO;
  recipient[1].ulPropTag = GetPropTag(PR_DISPLAY_NAME_W);
  recipient[1].Value.lpszW = name.data();
  recipient[2].ulPropTag = GetPropTag(PR_ADDRTYPE_W);
  recipient[2].Value.lpszW = type.data();
  recipient[3].ulPropTag = GetPropTag(PR_EMAIL_ADDRESS_W);
  recipient[3].Value.lpszW = address.data();
  SizedADRLIST<1> recipients{1, {{0, 4, recipient}}};
  IMessage* raw = static_cast<TVoMAPIMessage*>(mail.get())->MAPIMessage();
  ASSERT_EQ(raw->ModifyRecipients(MODRECIP_ADD, recipients.Ptr()), S_OK);
  Props(mail.get())->SaveChanges(smKeepOpenReadWrite);
  ASSERT_EQ(raw->SubmitMessage(0), S_OK);

  const std::vector<std::string> heard = {"created 5 in Inbox", "new IPM.Note in Inbox"};
  EXPECT_EQ(log_, heard);
}

TEST_F(EventsTest, AdviseRefusesWhatItCannotListenTo) {
  TVoMAPIMsgStoreEvents first, second;
  EXPECT_MAPI_ERROR(first.Start(nullptr), E_INVALIDARG, "No messagestore specified!");
  EXPECT_MAPI_ERROR(first.Get_MsgStore(), E_FAIL, "The internal MsgStore interface cannot be requested at this time!");
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  first.Start(listened.get());
  EXPECT_EQ(first.Get_MsgStore().get(), listened.get());
  EXPECT_MAPI_ERROR(listened->Advise(), E_FAIL, "The messagestore notification system has already been activated!");
  EXPECT_MAPI_ERROR(second.Start(listened.get()), E_FAIL,
                    "The messagestore notification system has already been activated!");
  EXPECT_FALSE(second.Active());

  ComPtr<IVoMAPIMsgStore> publicFolders =
      session_->OpenMsgStore(session_->GetPublicFoldersMsgStoreID(), alReadOnly, false);
  EXPECT_MAPI_ERROR(second.Start(publicFolders.get()), 26,
                    "The public folders messagestore does not support notifications!");

  auto provider =
      MakeComObject<TProviderStore>(session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alReadWrite));
  provider->WithoutNotifications = true;
  auto silent = MakeComObject<TVoMAPIMsgStore>(session_.get(), ComPtr<IMsgStore>(provider.get()), alReadWrite);
  EXPECT_MAPI_ERROR(silent->Advise(), 26, "This messagestore does not support notifications!");
}

TEST_F(EventsTest, AProviderThatRefusesTheExtraBitIsAskedWithoutIt) {
  inboxId_ = store_->Get_FolderID(ftInbox);
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  events.Start(listened.get());
  const std::vector<ULONG> masks = {0x2000007E, 0x7E};
  EXPECT_EQ(provider_->AdviseMasks, masks);
  SaveMessage(Inbox().get(), u"heard");
  const std::vector<std::string> heard = {"created 5 in Inbox"};
  EXPECT_EQ(log_, heard);
}

// Orba Store answers the extra event bit (0x20000000) with MAPI_E_INVALID_PARAMETER
// rather than MAPI_E_UNKNOWN_FLAGS, which Advise does not retry; enabled once the store
// accepts the bit or refuses it as an unknown flag.
TEST_F(EventsTest, DISABLED_OrbaStoreListensToo) {
  inboxId_ = store_->Get_FolderID(ftInbox);
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  events.Start(store_.get());
  SaveMessage(Inbox().get(), u"heard");
  const std::vector<std::string> heard = {"created 5 in Inbox"};
  EXPECT_EQ(log_, heard);
}

TEST_F(EventsTest, LogoffEndsTheNotifications) {
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMsgStore> listened = Listened();
  events.Start(listened.get());
  session_->Logoff();
  const std::vector<std::string> heard = {"logoff"};
  EXPECT_EQ(log_, heard);
  events.Stop();
  EXPECT_FALSE(events.Active());
}

}  // namespace
