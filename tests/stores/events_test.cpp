// Store notifications: what another session of the same mailbox does and what another
// mailbox delivers reaches the events of alice's store; the refusals of Advise, the
// retry without the extra event bit, and the end of a session.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "integration/orbamessages.h"
#include "orba/VoMAPIMsgStoreEvents.h"
#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

// alice's IMsgStore, recording the event masks it is advised with, and leaving
// STORE_NOTIFY_OK out of its support mask when asked to.
class TProviderStore : public TVoComObject<TVoRefCounted, IMsgStore> {
 public:
  explicit TProviderStore(ComPtr<IMsgStore> Inner) : inner_(std::move(Inner)) {}
  bool WithoutNotifications = false;
  std::vector<ULONG> AdviseMasks;
  int Unadvised = 0;

  HRESULT STDMETHODCALLTYPE Advise(ULONG cb, LPENTRYID id, ULONG mask, LPMAPIADVISESINK sink,
                                   ULONG_PTR* connection) override {
    AdviseMasks.push_back(mask);
    return inner_->Advise(cb, id, mask, sink, connection);
  }
  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) override {
    HRESULT hr = inner_->GetProps(tags, flags, count, values);
    for (ULONG i = 0; WithoutNotifications && SUCCEEDED(hr) && i < *count; ++i)
      if ((*values)[i].ulPropTag == GetPropTag(PR_STORE_SUPPORT_MASK)) (*values)[i].Value.l &= ~STORE_NOTIFY_OK;
    return hr;
  }
  ORBA_TEST_FORWARD(StoreLogoff, (ULONG * a), (a))
  ORBA_TEST_FORWARD(GetNamesFromIDs, (LPSPropTagArray * a, LPGUID b, ULONG c, ULONG* d, LPMAPINAMEID** e),
                    (a, b, c, d, e))
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG_PTR a) override {
    ++Unadvised;
    return inner_->Unadvise(a);
  }
  ORBA_TEST_FORWARD(CompareEntryIDs, (ULONG a, LPENTRYID b, ULONG c, LPENTRYID d, ULONG e, ULONG* f),
                    (a, b, c, d, e, f))
  ORBA_TEST_FORWARD(OpenEntry, (ULONG a, LPENTRYID b, LPCIID c, ULONG d, ULONG* e, LPUNKNOWN* f), (a, b, c, d, e, f))
  ORBA_TEST_FORWARD(SetReceiveFolder, (LPTSTR a, ULONG b, ULONG c, LPENTRYID d), (a, b, c, d))
  ORBA_TEST_FORWARD(GetReceiveFolder, (LPTSTR a, ULONG b, ULONG* c, LPENTRYID* d, LPTSTR* e), (a, b, c, d, e))
  ORBA_TEST_FORWARD(GetReceiveFolderTable, (ULONG a, LPMAPITABLE* b), (a, b))
  ORBA_TEST_FORWARD(AbortSubmit, (ULONG a, LPENTRYID b, ULONG c), (a, b, c))
  ORBA_TEST_FORWARD(GetOutgoingQueue, (ULONG a, LPMAPITABLE* b), (a, b))
  ORBA_TEST_FORWARD(SetLockState, (LPMESSAGE a, ULONG b), (a, b))
  ORBA_TEST_FORWARD(FinishedMsg, (ULONG a, ULONG b, LPENTRYID c), (a, b, c))
  ORBA_TEST_FORWARD(NotifyNewMail, (LPNOTIFICATION a), (a))
  ORBA_TEST_FORWARD(GetLastError, (HRESULT a, ULONG b, LPMAPIERROR* c), (a, b, c))
  ORBA_TEST_FORWARD(SaveChanges, (ULONG a), (a))
  ORBA_TEST_FORWARD(SetProps, (ULONG a, LPSPropValue b, LPSPropProblemArray* c), (a, b, c))
  ORBA_TEST_FORWARD(DeleteProps, (LPSPropTagArray a, LPSPropProblemArray* b), (a, b))
  ORBA_TEST_FORWARD(GetPropList, (ULONG a, LPSPropTagArray* b), (a, b))
  ORBA_TEST_FORWARD(OpenProperty, (ULONG a, LPCIID b, ULONG c, ULONG d, LPUNKNOWN* e), (a, b, c, d, e))
  ORBA_TEST_FORWARD(CopyTo,
                    (ULONG a, LPCIID b, LPSPropTagArray c, ULONG_PTR d, LPMAPIPROGRESS e, LPCIID f, LPVOID g, ULONG h,
                     LPSPropProblemArray* i),
                    (a, b, c, d, e, f, g, h, i))
  ORBA_TEST_FORWARD(CopyProps,
                    (LPSPropTagArray a, ULONG_PTR b, LPMAPIPROGRESS c, LPCIID d, LPVOID e, ULONG f,
                     LPSPropProblemArray* g),
                    (a, b, c, d, e, f, g))
  ORBA_TEST_FORWARD(GetIDsFromNames, (ULONG a, LPMAPINAMEID* b, ULONG c, LPSPropTagArray* d), (a, b, c, d))

 private:
  ComPtr<IMsgStore> inner_;
};

class EventsTest : public StoresTest {
 protected:
  void SetUp() override {
    StoresTest::SetUp();
    inboxId_ = store_->Get_FolderID(ftInbox);
    provider_ =
        MakeComObject<TProviderStore>(session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alBestAccess));
    listened_ = MakeComObject<TVoMAPIMsgStore>(session_.get(), ComPtr<IMsgStore>(provider_.get()), alBestAccess);
  }
  void TearDown() override {
    listened_ = nullptr;
    other_ = nullptr;
    StoresTest::TearDown();
  }
  // Starts Events on the listened store, recording what it hears as "kind object-type"
  // (with " in Inbox" for the Inbox's objects).
  void Listen(TVoMAPIMsgStoreEvents& Events) {
    auto object = [this](const char* kind) {
      return [this, kind](IVoMAPIMsgStore* store, const TVoMAPIEntryID&, TVoMAPIObjectType type,
                          const TVoMAPIEntryID& parent, const TVoMAPIEntryID& oldId, const TVoMAPIEntryID&,
                          IVoMAPIPropList*) {
        EXPECT_EQ(store, listened_.get());
        log_.push_back(kind + (" " + std::to_string(type)) + InInbox(parent) + (oldId.IsNull() ? "" : " from old"));
      };
    };
    Events.OnNewMessage = [this](IVoMAPIMsgStore*, const TVoMAPIEntryID&, const TVoMAPIEntryID& parent,
                                 const WideString& messageClass) {
      log_.push_back("new " + ToUtf8(messageClass) + InInbox(parent));
    };
    Events.OnObjectCreated = object("created");
    Events.OnObjectDeleted = object("deleted");
    Events.OnObjectMoved = object("moved");
    Events.OnSessionLogoff = [this](IVoMAPIMsgStore*) { log_.push_back("logoff"); };
    Events.Start(listened_.get());
  }
  std::string InInbox(const TVoMAPIEntryID& Parent) {
    return store_->CompareEntryIDs(Parent, inboxId_) ? " in Inbox" : "";
  }
  // A session on the profile Profile, made with alice's or another mailbox.
  ComPtr<IVoMAPIMsgStore> OtherSessionsStore(const char* Profile, const char* Mailbox) {
    if (std::string(Profile) != "Work") CreateProfile(Profile, "MSEMS", home_.Home(), Mailbox);
    other_->Get_LogonInfo()->Set_ProfileName(FromUtf8(Profile));
    other_->Get_LogonInfo()->Set_ProfileRequired(true);
    other_->Logon();
    return other_->OpenDefaultMsgStore(alBestAccess, false);
  }

  TVoMAPIEntryID inboxId_;
  ComPtr<TProviderStore> provider_;
  ComPtr<IVoMAPIMsgStore> listened_;
  ComPtr<TSession> other_ = MakeComObject<TSession>();
  std::vector<std::string> log_;
};

TEST_F(EventsTest, AnotherSessionOfTheMailboxRaisesTheStoresEvents) {
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  // Orba Store refused the extra event bit as an unknown flag and was asked again without it.
  EXPECT_EQ(provider_->AdviseMasks, std::vector<ULONG>({0x2000007E, 0x7E}));

  ComPtr<IVoMAPIMsgStore> otherStore = OtherSessionsStore("Work", "alice");
  ComPtr<IVoMAPIFolder> otherInbox = otherStore->OpenFolderByType(ftInbox, alReadWrite, false);
  ComPtr<IVoMAPIMessage> message = SaveMessage(otherInbox.get(), u"from the other session");
  otherInbox->CopyMessage(IdOf(message.get()), otherStore->OpenFolderByType(ftDeleted, alReadWrite, false).get(), true);
  EXPECT_EQ(log_, std::vector<std::string>({"created 5 in Inbox", "moved 5 from old"}));

  log_.clear();
  events.Stop();
  SaveMessage(otherInbox.get(), u"not heard");
  EXPECT_TRUE(log_.empty());
}

TEST_F(EventsTest, MailDeliveredFromAnotherMailboxIsNewMail) {
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  ComPtr<IVoMAPIMessage> mail = OtherSessionsStore("Bob", "bob")->CreateMessage(ftOutbox, u"");
  mail->Set_Subject(u"Hello alice");
  TValues to;
  to.Long(PR_RECIPIENT_TYPE, MAPI_TO).Text(PR_DISPLAY_NAME_W, u"alice").Text(PR_ADDRTYPE_W, u"SMTP");
  to.Text(PR_EMAIL_ADDRESS_W, u"alice@orba.example");
  SizedADRLIST<1> recipients{1, {{0, to.Count(), to.Props()}}};
  IMessage* raw = static_cast<TVoMAPIMessage*>(mail.get())->MAPIMessage();
  ASSERT_EQ(raw->ModifyRecipients(MODRECIP_ADD, recipients.Ptr()), S_OK);
  Props(mail.get())->SaveChanges(smKeepOpenReadWrite);
  ASSERT_EQ(raw->SubmitMessage(0), S_OK);
  EXPECT_EQ(log_, std::vector<std::string>({"created 5 in Inbox", "new IPM.Note in Inbox"}));
}

TEST_F(EventsTest, AdviseRefusesWhatItCannotListenTo) {
  TVoMAPIMsgStoreEvents first, second;
  EXPECT_MAPI_ERROR(first.Start(nullptr), E_INVALIDARG, "No messagestore specified!");
  EXPECT_MAPI_ERROR(first.Get_MsgStore(), E_FAIL, "The internal MsgStore interface cannot be requested at this time!");
  Listen(first);
  const char* activated = "The messagestore notification system has already been activated!";
  EXPECT_MAPI_ERROR(listened_->Advise(), E_FAIL, activated);
  EXPECT_MAPI_ERROR(second.Start(listened_.get()), E_FAIL, activated);

  ComPtr<IVoMAPIMsgStore> publicFolders =
      session_->OpenMsgStore(session_->GetPublicFoldersMsgStoreID(), alReadOnly, false);
  EXPECT_MAPI_ERROR(second.Start(publicFolders.get()), 26,
                    "The public folders messagestore does not support notifications!");
  provider_->WithoutNotifications = true;
  auto silent = MakeComObject<TVoMAPIMsgStore>(session_.get(), ComPtr<IMsgStore>(provider_.get()), alReadWrite);
  EXPECT_MAPI_ERROR(silent->Advise(), 26, "This messagestore does not support notifications!");
}

TEST_F(EventsTest, AStoreThatGoesAwayStopsListening) {
  listened_->Advise();
  listened_ = nullptr;
  EXPECT_EQ(provider_->Unadvised, 1);
  SaveMessage(Inbox().get(), u"nobody listens");
}

TEST_F(EventsTest, LogoffEndsTheNotifications) {
  TVoMAPIMsgStoreEvents events;
  Listen(events);
  session_->Logoff();
  EXPECT_EQ(log_, std::vector<std::string>({"logoff"}));
}

}  // namespace
