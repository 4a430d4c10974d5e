// The message class registry and the routines that wrap a MAPI message in the class
// its message class asks for.
#include <vector>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIMessage.h"
#include "orba/VoOrbaMAPI.h"
#include "orba/common/casefold.h"

namespace orba {
namespace {

struct TRegisteredClass {
  WideString Name;
  TVoMAPIMessageClass Class;
  int32_t Priority;
};

// In registration order; created on first use, so that units may register while the
// library loads in any order.
std::vector<TRegisteredClass>& Registry() {
  static std::vector<TRegisteredClass> registry;
  return registry;
}

}  // namespace

void VoRegisterMessageClass(TVoMAPIMessageClass Class, const WideString& Name, int32_t Priority) {
  std::vector<TRegisteredClass>& registry = Registry();
  for (auto entry = registry.rbegin(); entry != registry.rend(); ++entry) {
    if (!VoSameText(entry->Name, Name)) continue;
    if (entry->Priority < Priority) {
      entry->Class = Class;
      entry->Priority = Priority;
    }
    return;
  }
  registry.push_back({Name, Class, Priority});
}

TVoMAPIMessageClass VoFindMessageClass(std::u16string_view MessageClass) {
  const std::vector<TRegisteredClass>& registry = Registry();
  for (const TRegisteredClass& entry : registry)
    if (VoSameText(entry.Name, MessageClass)) return entry.Class;
  for (const TRegisteredClass& entry : registry) {
    const size_t length = entry.Name.size();
    if (MessageClass.size() > length && MessageClass[length] == u'.' &&
        VoSameText(entry.Name, MessageClass.substr(0, length)))
      return entry.Class;
  }
  return nullptr;
}

ComPtr<TVoMAPIMessage> CreateMessageObjectFromMsgClass(const WideString& MessageClass, TVoMAPIValueOwner* Owner,
                                                       TVoMAPISessionBase* Session, ComPtr<IMessage> Message,
                                                       TVoMAPIAccessLevel AccessLevel) {
  const TVoMAPIMessageClass found = VoFindMessageClass(MessageClass);
  const TVoMAPIMessageClass create = found ? found : &VoMessageClassOf<TVoMAPIMessage>;
  ComPtr<TVoMAPIMessage> message = create(Owner, Session, AccessLevel);
  // Attaching the MAPI object resolves the message's store.
  message->SetMAPIOBJECT(ComPtr<IUnknown>(Message.get()));
  return message;
}

ComPtr<TVoMAPIMessage> CreateMessageObjectFromIntf(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session,
                                                   ComPtr<IUnknown> Message, TVoMAPIAccessLevel AccessLevel) {
  ComPtr<IMessage> message = Message.Query<IMessage>(IID_IMessage);
  if (!message) CheckMAPIResult(nullptr, u"CreateMessageObjectFromIntf", E_NOINTERFACE);
  auto reader = MakeComObject<TVoMAPIProp>(nullptr, Session, ComPtr<IMAPIProp>(message.get()), alReadOnly);
  const WideString messageClass =
      reader->HasProp(PR_MESSAGE_CLASS) ? reader->PropByName(PR_MESSAGE_CLASS)->Get_AsString() : WideString();
  return CreateMessageObjectFromMsgClass(messageClass, Owner, Session, std::move(message), AccessLevel);
}

ComPtr<IVoMAPIMessage> WrapMAPIMessage(IVoMAPISession* Session, IUnknown* Message) {
  ComPtr<IUnknown> object(Message);
  if (!object.Query<IMessage>(IID_IMessage)) CheckMAPIResult(nullptr, u"WrapMAPIMessage", E_NOINTERFACE);
  auto* session = dynamic_cast<TSession*>(Session);
  if (!session) kit::Raise(E_INVALIDARG, u"WrapMAPIMessage failed!\r\nThe session is not a session of this library.");
  return CreateMessageObjectFromIntf(nullptr, session, std::move(object), alReadWrite);
}

}  // namespace orba
