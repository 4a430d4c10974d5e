// TVoMAPIMessage: what every message has, whatever its class: its store, its parent
// folder, the new-message flag and the properties every item shares.
#include "orba/VoMAPIMessage.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIMsgStore.h"
#include "orba/VoOrbaMAPI.h"

namespace orba {
namespace {

// The entry ID of the session's store that StoreID names, or Null.
TVoMAPIEntryID SessionStoreMatching(TSession& Session, const TVoMAPIEntryID& StoreID) {
  ComPtr<IVoMAPITable> stores = Session.GetMsgStoresTable();
  stores->SetFields(std::vector<TVoMAPIPropDef>{PR_ENTRYID});
  ComPtr<IVoMAPITableField> entryId = stores->FieldByName(PR_ENTRYID);
  for (stores->First(); !stores->Get_EOF(); stores->Next()) {
    TVoMAPIEntryID candidate = entryId->Get_Value();
    if (Session.CompareEntryIDs(candidate, StoreID)) return candidate;
  }
  return TVoVariant::Null();
}

}  // namespace

TVoMAPIMessage::TVoMAPIMessage(TVoMAPIValueOwner* Owner, TVoMAPISessionBase* Session, ComPtr<IMessage> Message,
                               TVoMAPIAccessLevel AccessLevel)
    : TVoComObject(Owner, Session, ComPtr<IMAPIProp>(Message.get()), AccessLevel, true,
                   Owner ? kaKeepCreatorAlive : kaNone),
      message_(std::move(Message)) {}

TVoMAPIMessage::~TVoMAPIMessage() = default;

void TVoMAPIMessage::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  ComPtr<IMessage> message = kit::MAPIObjectAs<IMessage>(MAPIObject, IID_IMessage, u"IMessage", ClassName());
  TVoMAPIProp::SetMAPIOBJECT(std::move(MAPIObject));
  message_ = std::move(message);
  ResolveMsgStore();
}

void TVoMAPIMessage::ResolveMsgStore() {
  if (store_ || !message_) return;
  if (TVoMAPIMsgStore* store = FindCreator<TVoMAPIMsgStore>()) {
    store_ = ComPtr<IVoMAPIMsgStore>(store);
    return;
  }
  auto* session = dynamic_cast<TSession*>(Session());
  if (!session || !session->UseExtendedMAPI()) kit::Raise(E_FAIL, u"The session is not a MAPI session!");
  TVoMAPIEntryID storeId = TVoVariant::Null();
  if (HasProp(PR_STORE_ENTRYID)) storeId = SessionStoreMatching(*session, PropByName(PR_STORE_ENTRYID)->Get_Value());
  if (storeId.IsNull()) storeId = session->GetDefaultMsgStoreID();
  store_ = session->OpenMsgStore(storeId, Get_AccessLevel(), false);
}

void TVoMAPIMessage::InitializeNew() { newMessage_ = true; }

// Properties ------------------------------------------------------------------------------

WideString TVoMAPIMessage::TextProp(TVoMAPIPropDef PropDef, std::u16string_view MethodName) {
  CheckActive(MethodName);
  return HasProp(PropDef) ? PropByName(PropDef)->Get_AsString() : WideString();
}

void TVoMAPIMessage::SetTextProp(TVoMAPIPropDef PropDef, const WideString& Value, std::u16string_view MethodName) {
  CheckActive(MethodName);
  Items().ItemOf(*GetPropInfo(PropDef, GetUnicode())).Set_AsString(Value);
}

WideString TVoMAPIMessage::Get_Subject() { return TextProp(PR_SUBJECT, u"Get_Subject"); }
void TVoMAPIMessage::Set_Subject(const WideString& Value) { SetTextProp(PR_SUBJECT, Value, u"Set_Subject"); }
WideString TVoMAPIMessage::Get_MessageClass() { return TextProp(PR_MESSAGE_CLASS, u"Get_MessageClass"); }
void TVoMAPIMessage::Set_MessageClass(const WideString& Value) {
  SetTextProp(PR_MESSAGE_CLASS, Value, u"Set_MessageClass");
}

bool16 TVoMAPIMessage::Get_IsNewMessage() {
  CheckActive(u"Get_IsNewMessage");
  return newMessage_;
}

bool16 TVoMAPIMessage::Get_IsSaved() {
  CheckActive(u"Get_IsSaved");
  return HasProp(PR_CLIENT_SUBMIT_TIME);
}

bool16 TVoMAPIMessage::Get_IsInboundMessage() {
  CheckActive(u"Get_IsInboundMessage");
  if (newMessage_ || !HasProp(PR_RECEIVED_BY_ENTRYID)) return false;
  return !EntryIDToArr(PropByName(PR_RECEIVED_BY_ENTRYID)->Get_Value()).empty();
}

// Store and folder ------------------------------------------------------------------------

ComPtr<IVoMAPIMsgStore> TVoMAPIMessage::Get_MsgStore() {
  CheckActive(u"Get_MsgStore");
  ResolveMsgStore();
  return store_;
}

ComPtr<IVoMAPIFolder> TVoMAPIMessage::Get_ParentFolder() {
  CheckActive(u"Get_ParentFolder");
  if (!HasProp(PR_PARENT_ENTRYID))
    kit::Raise(MAPI_E_NOT_FOUND, u"This message has no parentfolder!\r\nPlease save the message first.");
  return Get_MsgStore()->OpenFolder(PropByName(PR_PARENT_ENTRYID)->Get_Value(), Get_AccessLevel(), false);
}

}  // namespace orba
