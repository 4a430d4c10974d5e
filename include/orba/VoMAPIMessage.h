// The message object (unit uVoMAPIMessage): TVoMAPIMessage wraps one MAPI IMessage and
// is the base of every item class. Which class wraps a message is decided by its
// message class through the message class registry: a class registers the message
// classes it stands for (VoRegisterMessageClass), and the creation routines
// (CreateMessageObjectFromIntf, CreateMessageObjectFromMsgClass, WrapMAPIMessage) pick
// the registered class, or TVoMAPIMessage where none fits.
//
//   ComPtr<IVoMAPIMessage> message = inbox->CreateMessage(u"IPM.Note");
//   message->Set_Subject(u"Hello");
//   message.Query<IVoMAPIProp>(IID_IVoMAPIProp)->SaveChanges(smKeepOpenReadWrite);
//
// A message knows the store it belongs to: the store that opened or created it, or for
// a message wrapped from elsewhere the session's store named by its PR_STORE_ENTRYID
// (the default store when it has none).
#pragma once

#include <string_view>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIInterfaces.h"
#include "orba/VoMAPIProp.h"

namespace orba {

struct IVoMAPIMsgStore;
struct IVoMAPIFolder;

inline constexpr IID IID_IVoMAPIMessage = {
    0x9C3E5B1A, 0x47D2, 0x4E8B, {0xA6, 0x1F, 0x2B, 0x90, 0xD4, 0x73, 0x5E, 0xC1}};

// A message. Its properties, saving and committing are those of IVoMAPIProp, which
// every message answers.
struct IVoMAPIMessage : IUnknown {
  // PR_SUBJECT and PR_MESSAGE_CLASS; a property the message does not have reads as "".
  virtual WideString Get_Subject() = 0;
  virtual void Set_Subject(const WideString& Value) = 0;
  virtual WideString Get_MessageClass() = 0;
  virtual void Set_MessageClass(const WideString& Value) = 0;
  // Whether the library created the message (rather than opened it).
  virtual bool16 Get_IsNewMessage() = 0;
  // Whether the message has PR_CLIENT_SUBMIT_TIME.
  virtual bool16 Get_IsSaved() = 0;
  // Whether the message was received: not new, with a PR_RECEIVED_BY_ENTRYID of at
  // least one byte.
  virtual bool16 Get_IsInboundMessage() = 0;
  // The store the message belongs to.
  virtual ComPtr<IVoMAPIMsgStore> Get_MsgStore() = 0;
  // The folder named by PR_PARENT_ENTRYID, opened with the message's access level;
  // without it raises MAPI_E_NOT_FOUND "This message has no parentfolder!\r\nPlease
  // save the message first.".
  virtual ComPtr<IVoMAPIFolder> Get_ParentFolder() = 0;

 protected:
  ~IVoMAPIMessage() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIMessage, IUnknown, orba::IID_IVoMAPIMessage);

namespace orba {

class TVoMAPIMessage : public TVoComObject<TVoMAPIProp, IVoMAPIMessage> {
 public:
  // Owner (may be null) is the store, folder or message that opened or created the
  // message; the message keeps it alive. Message may be null (an inactive message).
  TVoMAPIMessage(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session, ComPtr<IMessage> Message,
                 TVoMAPIAccessLevel AccessLevel);
  ~TVoMAPIMessage() override;

  // IVoMAPIMessage.
  WideString Get_Subject() override;
  void Set_Subject(const WideString& Value) override;
  WideString Get_MessageClass() override;
  void Set_MessageClass(const WideString& Value) override;
  bool16 Get_IsNewMessage() override;
  bool16 Get_IsSaved() override;
  bool16 Get_IsInboundMessage() override;
  ComPtr<IVoMAPIMsgStore> Get_MsgStore() override;
  ComPtr<IVoMAPIFolder> Get_ParentFolder() override;

  // Marks the message as one the library created. Item classes give a new message its
  // defaults here.
  virtual void InitializeNew();
  // Attaching a MAPI object resolves the store (see the unit's comment); null releases
  // the message.
  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;
  IMessage* MAPIMessage() const { return message_.get(); }

 protected:
  // A text property, "" when the message does not have it.
  WideString TextProp(TVoMAPIPropDef PropDef, std::u16string_view MethodName);
  void SetTextProp(TVoMAPIPropDef PropDef, const WideString& Value, std::u16string_view MethodName);

 private:
  void ResolveMsgStore();

  ComPtr<IMessage> message_;
  ComPtr<IVoMAPIMsgStore> store_;
  bool newMessage_ = false;
};

// The message class registry -------------------------------------------------------------

// A wrapper class of the registry: makes a wrapper without MAPI object, to which the
// creation routines then attach the message (SetMAPIOBJECT).
using TVoMAPIMessageClass = ComPtr<TVoMAPIMessage> (*)(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session,
                                                       TVoMAPIAccessLevel AccessLevel);

// The wrapper class T (a TVoMAPIMessage with the constructor of TVoMAPIMessage).
template <class T>
ComPtr<TVoMAPIMessage> VoMessageClassOf(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session,
                                        TVoMAPIAccessLevel AccessLevel) {
  return MakeComObject<T>(Owner, Session, ComPtr<IMessage>(), AccessLevel);
}

// Registers Class for the message class Name: a name not registered yet is appended; a
// registered one (ignoring case) takes Class only when Priority is higher than its own.
void VoRegisterMessageClass(TVoMAPIMessageClass Class, const WideString& Name, int32_t Priority);
// The class of a message class: the first registered name equal to it (ignoring case),
// else the first registered name that is followed in it by "." (so "IPM.Note.SMIME"
// takes the class of "IPM.Note", "IPM.Notes" does not); null when none fits.
TVoMAPIMessageClass VoFindMessageClass(std::u16string_view MessageClass);

// The wrapper of Message in the class registered for MessageClass (TVoMAPIMessage when
// none fits).
ComPtr<TVoMAPIMessage> CreateMessageObjectFromMsgClass(const WideString& MessageClass, TVoMAPIValueOwner* Owner,
                                                       TVoMAPISessionBase* Session, ComPtr<IMessage> Message,
                                                       TVoMAPIAccessLevel AccessLevel);
// The wrapper of Message (an IMessage) in the class of its PR_MESSAGE_CLASS.
ComPtr<TVoMAPIMessage> CreateMessageObjectFromIntf(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session,
                                                   ComPtr<IUnknown> Message, TVoMAPIAccessLevel AccessLevel);
// Wraps a MAPI message a caller obtained elsewhere, read-write, for the session Session
// (a TSession). An object that is no IMessage raises E_NOINTERFACE under
// "WrapMAPIMessage".
ComPtr<IVoMAPIMessage> WrapMAPIMessage(IVoMAPISession* Session, IUnknown* Message);

}  // namespace orba
