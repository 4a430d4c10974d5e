// Store notifications: TVoMAPIMsgStore's advise connection and the events it raises,
// and the component that listens to them.
#include "orba/VoMAPIMsgStoreEvents.h"

#include "kit/VoMAPIAdviseSink.h"
#include "kit/VoMAPIKit.h"
#include "orba/VoOrbaMAPI.h"

namespace orba {
namespace {

// The events asked for: new mail, objects created, deleted, modified, moved and copied;
// with the extra bit that some providers refuse (then asked for without it).
constexpr ULONG kStoreEvents =
    fnevNewMail | fnevObjectCreated | fnevObjectDeleted | fnevObjectModified | fnevObjectMoved | fnevObjectCopied;
constexpr ULONG kExtraEventBit = 0x20000000;
constexpr HRESULT kNotSupportedCode = 26;

TVoMAPIEntryID EntryIDOf(ULONG Size, const ENTRYID* EntryID) { return BinToEntryID(LONG(Size), EntryID); }

TVoMAPIObjectType ObjectTypeOf(ULONG MAPIType) {
  // The public object types follow MAPI's numbering from MAPI_STORE (1) to MAPI_FORMINFO (12).
  return MAPIType >= MAPI_STORE && MAPIType <= MAPI_FORMINFO ? TVoMAPIObjectType(MAPIType) : otUnknown;
}

}  // namespace

// TVoMAPIMsgStore --------------------------------------------------------------------------

void TVoMAPIMsgStore::Advise() {
  CheckActive(u"Advise");
  if (connection_) kit::Raise(E_FAIL, u"The messagestore notification system has already been activated!");
  const int32_t supportMask = HasProp(PR_STORE_SUPPORT_MASK) ? PropByName(PR_STORE_SUPPORT_MASK)->Get_AsInteger() : 0;
  if (!(supportMask & STORE_NOTIFY_OK))
    kit::Raise(kNotSupportedCode, u"This messagestore does not support notifications!");
  if (auto* session = dynamic_cast<TSession*>(Session())) {
    const TVoMAPIEntryID publicFolders = session->FindPublicFoldersMsgStoreID();
    if (!publicFolders.IsNull() && session->CompareEntryIDs(Get_EntryID(), publicFolders))
      kit::Raise(kNotSupportedCode, u"The public folders messagestore does not support notifications!");
  }
  auto sink = MakeComObject<TVoMAPIAdviseSink<TVoMAPIMsgStore>>(this, &TVoMAPIMsgStore::OnNotify);
  ULONG_PTR connection = 0;
  HRESULT hr = store_->Advise(0, nullptr, kStoreEvents | kExtraEventBit, sink.get(), &connection);
  if (hr == MAPI_E_UNKNOWN_FLAGS) hr = store_->Advise(0, nullptr, kStoreEvents, sink.get(), &connection);
  if (hr != S_OK || connection == 0) sink->Detach();
  CheckMAPIResult(this, u"Start", hr);
  if (connection == 0) kit::Raise(kNotSupportedCode, u"This messagestore does not support notifications!");
  connection_ = connection;
  sink_ = std::move(sink);
}

void TVoMAPIMsgStore::UnAdvise() {
  if (!connection_) return;
  CheckActive(u"UnAdvise");
  CheckMAPIResult(this, u"UnAdvise", StopNotifications());
}

HRESULT TVoMAPIMsgStore::StopNotifications() {
  if (!connection_) return S_OK;
  sink_->Detach();
  sink_ = nullptr;
  const ULONG_PTR connection = std::exchange(connection_, 0);
  return store_ ? store_->Unadvise(connection) : S_OK;
}

void TVoMAPIMsgStore::BeforeDestruction() {
  StopNotifications();
  TVoMAPIProp::BeforeDestruction();
}

void TVoMAPIMsgStore::SessionLogoff() {
  ComPtr<IVoMAPIMsgStore> hold(this);  // a sink may drop the caller's last reference
  StopNotifications();
  TVoMAPIProp::SessionLogoff();
  try {
    FireEvent([&](IVoMAPIMsgStoreDEvents& sink) { sink.OnSessionLogoff(this); });
  } catch (...) {
    // The logoff goes on for every other object; the failure is kept as the thread's error.
    SafeCallException();
  }
}

void TVoMAPIMsgStore::FireEvent(const std::function<void(IVoMAPIMsgStoreDEvents& Sink)>& Call) {
  ComPtr<IVoMAPIMsgStore> hold(this);
  GetConnectionPoints()
      .Find(IID_IVoMAPIMsgStoreDEvents)
      ->ForEachSink<IVoMAPIMsgStoreDEvents>([&](IVoMAPIMsgStoreDEvents* sink) { Call(*sink); });
}

ComPtr<IVoMAPIPropList> TVoMAPIMsgStore::PropListOf(const SPropTagArray* Tags) {
  auto list = MakeComObject<TVoMAPIPropList>();
  if (!Tags) return list;
  std::vector<TVoMAPIPropTag> named;
  for (ULONG i = 0; i < Tags->cValues; ++i) {
    const TVoMAPIPropTag tag = Tags->aulPropTag[i];
    if (PROP_ID(tag) >= 0x8000)
      named.push_back(tag);
    else
      list->Add(*GetProp(tag, true)->PropDef);
  }
  if (!named.empty())
    for (const TVoMAPIPropInfo* info : GetNamesFromIDs(named))
      if (info) list->Add(*info->PropDef);
  return list;
}

void TVoMAPIMsgStore::OnNotify(ULONG Count, const NOTIFICATION* Notifications) {
  for (ULONG i = 0; i < Count; ++i) {
    const NOTIFICATION& notification = Notifications[i];
    if (notification.ulEventType == fnevNewMail) {
      const NEWMAIL_NOTIFICATION& mail = notification.info.newmail;
      const TVoMAPIEntryID id = EntryIDOf(mail.cbEntryID, mail.lpEntryID);
      const TVoMAPIEntryID parent = EntryIDOf(mail.cbParentID, mail.lpParentID);
      const WideString messageClass = kit::MapiText(mail.lpszMessageClass, (mail.ulFlags & MAPI_UNICODE) != 0);
      FireEvent([&](IVoMAPIMsgStoreDEvents& sink) { sink.OnNewMessage(this, id, parent, messageClass); });
      continue;
    }
    using TObjectEvent = decltype(&IVoMAPIMsgStoreDEvents::OnObjectCreated);
    TObjectEvent event = nullptr;
    switch (notification.ulEventType) {
      case fnevObjectCreated: event = &IVoMAPIMsgStoreDEvents::OnObjectCreated; break;
      case fnevObjectDeleted: event = &IVoMAPIMsgStoreDEvents::OnObjectDeleted; break;
      case fnevObjectModified: event = &IVoMAPIMsgStoreDEvents::OnObjectModified; break;
      case fnevObjectMoved: event = &IVoMAPIMsgStoreDEvents::OnObjectMoved; break;
      case fnevObjectCopied: event = &IVoMAPIMsgStoreDEvents::OnObjectCopied; break;
      default: continue;  // events this store did not ask for
    }
    const OBJECT_NOTIFICATION& object = notification.info.obj;
    const TVoMAPIEntryID id = EntryIDOf(object.cbEntryID, object.lpEntryID);
    const TVoMAPIEntryID parent = EntryIDOf(object.cbParentID, object.lpParentID);
    const TVoMAPIEntryID oldId = EntryIDOf(object.cbOldID, object.lpOldID);
    const TVoMAPIEntryID oldParent = EntryIDOf(object.cbOldParentID, object.lpOldParentID);
    ComPtr<IVoMAPIPropList> props = PropListOf(object.lpPropTagArray);
    FireEvent([&](IVoMAPIMsgStoreDEvents& sink) {
      (sink.*event)(this, id, ObjectTypeOf(object.ulObjType), parent, oldId, oldParent, props.get());
    });
  }
}

// TVoMAPIMsgStoreEvents -------------------------------------------------------------------

// Connected to the store's events; forwards them to the component's properties.
class TVoMAPIMsgStoreEvents::TSink : public TVoComObject<TVoRefCounted, IVoMAPIMsgStoreDEvents> {
 public:
  explicit TSink(TVoMAPIMsgStoreEvents& Owner) : owner_(Owner) {}

  void OnNewMessage(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, const TVoMAPIEntryID& ParentID,
                    const WideString& MessageClass) override {
    if (owner_.OnNewMessage) owner_.OnNewMessage(Store, EntryID, ParentID, MessageClass);
  }
  void OnObjectCreated(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                       const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                       IVoMAPIPropList* PropList) override {
    Raise(owner_.OnObjectCreated, Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }
  void OnObjectDeleted(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                       const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                       IVoMAPIPropList* PropList) override {
    Raise(owner_.OnObjectDeleted, Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }
  void OnObjectModified(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                        const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                        IVoMAPIPropList* PropList) override {
    Raise(owner_.OnObjectModified, Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }
  void OnObjectMoved(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                     const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                     IVoMAPIPropList* PropList) override {
    Raise(owner_.OnObjectMoved, Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }
  void OnObjectCopied(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                      const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                      IVoMAPIPropList* PropList) override {
    Raise(owner_.OnObjectCopied, Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }
  void OnSessionLogoff(IVoMAPIMsgStore* Store) override {
    if (owner_.OnSessionLogoff) owner_.OnSessionLogoff(Store);
  }

 private:
  static void Raise(const TObjectEvent& Event, IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID,
                    TVoMAPIObjectType ObjectType, const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                    const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) {
    if (Event) Event(Store, EntryID, ObjectType, ParentID, OldID, OldParentID, PropList);
  }

  TVoMAPIMsgStoreEvents& owner_;
};

TVoMAPIMsgStoreEvents::TVoMAPIMsgStoreEvents() = default;

TVoMAPIMsgStoreEvents::~TVoMAPIMsgStoreEvents() {
  try {
    Stop();
  } catch (...) {
    // The store's session may be gone; the connection goes with the component.
  }
}

void TVoMAPIMsgStoreEvents::Start(IVoMAPIMsgStore* Store) {
  Stop();
  if (!Store) kit::Raise(E_INVALIDARG, u"No messagestore specified!");
  auto* source = dynamic_cast<TVoAutoIntfObject*>(Store);
  if (!source) kit::Raise(E_INVALIDARG, u"The given messagestore does not raise events of this library!");
  auto sink = MakeComObject<TSink>(*this);
  const DWORD cookie = source->EventConnect(static_cast<IVoMAPIMsgStoreDEvents*>(sink.get()));
  try {
    Store->Advise();
  } catch (...) {
    source->EventDisconnect(cookie);
    throw;
  }
  store_ = ComPtr<IVoMAPIMsgStore>(Store);
  source_ = source;
  cookie_ = cookie;
}

void TVoMAPIMsgStoreEvents::Stop() {
  if (!store_) return;
  ComPtr<IVoMAPIMsgStore> store = std::move(store_);
  source_->EventDisconnect(std::exchange(cookie_, 0));
  source_ = nullptr;
  store->UnAdvise();
}

ComPtr<IVoMAPIMsgStore> TVoMAPIMsgStoreEvents::Get_MsgStore() const {
  if (!store_) kit::Raise(E_FAIL, u"The internal MsgStore interface cannot be requested at this time!");
  return store_;
}

}  // namespace orba
