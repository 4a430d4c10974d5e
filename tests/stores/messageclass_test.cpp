// The message class registry: which wrapper class a message class gets, registration
// with priorities, and wrapping raw MAPI messages.
#include <gtest/gtest.h>

#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

class TNoteLike : public TVoMAPIMessage {
 public:
  using TVoMAPIMessage::TVoMAPIMessage;
};
class TNoteLikeEx : public TVoMAPIMessage {
 public:
  using TVoMAPIMessage::TVoMAPIMessage;
};
class TContactLike : public TVoMAPIMessage {
 public:
  using TVoMAPIMessage::TVoMAPIMessage;
};

const TVoMAPIMessageClass kNote = &VoMessageClassOf<TNoteLike>;
const TVoMAPIMessageClass kNoteEx = &VoMessageClassOf<TNoteLikeEx>;
const TVoMAPIMessageClass kContact = &VoMessageClassOf<TContactLike>;

TEST(MessageClassRegistry, ChoosesByEqualNameThenByPrefixFollowedByADot) {
  VoRegisterMessageClass(kNote, u"Test.Note", 1);
  VoRegisterMessageClass(kContact, u"Test.Contact", 1);
  VoRegisterMessageClass(kContact, u"Test", 1);
  const struct {
    const char16_t* messageClass;
    TVoMAPIMessageClass found;
  } cases[] = {
      {u"Test.Note", kNote},     {u"test.note.smime", kNote}, {u"TEST.CONTACT", kContact},
      {u"Test.Notes", kContact},  // not Test.Note, but Test and a dot
      {u"Test", kContact},       {u"Testing", nullptr},       {u"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.messageClass));
    EXPECT_EQ(VoFindMessageClass(c.messageClass), c.found);
  }
}

TEST(MessageClassRegistry, AHigherPriorityReplacesAnEqualOneDoesNot) {
  VoRegisterMessageClass(kNote, u"Prio.Item", 1);
  VoRegisterMessageClass(kNoteEx, u"prio.item", 1);
  EXPECT_EQ(VoFindMessageClass(u"Prio.Item"), kNote);
  VoRegisterMessageClass(kNoteEx, u"PRIO.ITEM", 2);
  EXPECT_EQ(VoFindMessageClass(u"Prio.Item"), kNoteEx);
  VoRegisterMessageClass(kNote, u"Prio.Item", 1);
  EXPECT_EQ(VoFindMessageClass(u"Prio.Item"), kNoteEx);
}

class WrapTest : public StoresTest {};

TEST_F(WrapTest, MessagesAreWrappedInTheirRegisteredClass) {
  VoRegisterMessageClass(kNote, u"IPM.Wrapped", 1);
  ComPtr<IVoMAPIFolder> inbox = Inbox();
  ComPtr<IVoMAPIMessage> created = inbox->CreateMessage(u"IPM.Wrapped.Special");
  EXPECT_EQ(static_cast<TVoMAPIMessage*>(created.get())->ClassName(), u"TNoteLike");
  Props(created.get())->SaveChanges(smKeepOpenReadWrite);
  ComPtr<IVoMAPIMessage> plain = SaveMessage(inbox.get(), u"plain", u"IPM.Note");
  EXPECT_EQ(static_cast<TVoMAPIMessage*>(plain.get())->ClassName(), u"TVoMAPIMessage");
  EXPECT_EQ(
      static_cast<TVoMAPIMessage*>(store_->OpenMessage(IdOf(created.get()), alReadOnly, false).get())->ClassName(),
      u"TNoteLike");

  // A raw message of the session's store, wrapped from outside: its store is found.
  IMessage* raw = static_cast<TVoMAPIMessage*>(plain.get())->MAPIMessage();
  ComPtr<IVoMAPIMessage> wrapped = WrapMAPIMessage(session_.get(), raw);
  EXPECT_EQ(wrapped->Get_Subject(), u"plain");
  EXPECT_TRUE(wrapped->Get_MsgStore()->CompareEntryIDs(IdOf(wrapped->Get_MsgStore().get()), IdOf(store_.get())));
  EXPECT_EQ(NameOf(wrapped->Get_ParentFolder().get()), "Inbox");
  EXPECT_MAPI_ERROR(WrapMAPIMessage(session_.get(), static_cast<TVoMAPIFolder*>(inbox.get())->MAPIFolder()),
                    E_NOINTERFACE, MessageOf([] { CheckMAPIResult(nullptr, u"WrapMAPIMessage", E_NOINTERFACE); }));
}

}  // namespace
