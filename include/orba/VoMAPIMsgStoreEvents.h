// TVoMAPIMsgStoreEvents (unit uVoMAPIMsgStoreEvents): a component that listens to a
// message store. Start connects it to the store's events and starts the store's
// notifications; each notification then reaches the event property of its kind:
//
//   TVoMAPIMsgStoreEvents events;
//   events.OnNewMessage = [](IVoMAPIMsgStore*, const TVoMAPIEntryID& id, const TVoMAPIEntryID& parent,
//                            const WideString& messageClass) { Show(messageClass); };
//   events.Start(store.get());
//
// Notifications run on the thread MAPI delivers them on (Orba Store: the thread that
// changed the data, in whichever session).
#pragma once

#include <functional>

#include "orba/VoMAPIMsgStore.h"

namespace orba {

class TVoMAPIMsgStoreEvents {
 public:
  using TNewMessageEvent = std::function<void(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID,
                                              const TVoMAPIEntryID& ParentID, const WideString& MessageClass)>;
  using TObjectEvent =
      std::function<void(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                         const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID, const TVoMAPIEntryID& OldParentID,
                         IVoMAPIPropList* PropList)>;
  using TLogoffEvent = std::function<void(IVoMAPIMsgStore* Store)>;

  TVoMAPIMsgStoreEvents();
  ~TVoMAPIMsgStoreEvents();
  TVoMAPIMsgStoreEvents(const TVoMAPIMsgStoreEvents&) = delete;
  TVoMAPIMsgStoreEvents& operator=(const TVoMAPIMsgStoreEvents&) = delete;

  // Connects to Store (a store of this library) and starts its notifications; a
  // component started before stops first. A null store raises E_INVALIDARG "No
  // messagestore specified!"; a store that is advised already raises its Advise text
  // (the component then stays stopped).
  void Start(IVoMAPIMsgStore* Store);
  // Stops the store's notifications and disconnects; nothing when not started.
  void Stop();
  bool Active() const { return store_ != nullptr; }
  // The store started with; raises E_FAIL "The internal MsgStore interface cannot be
  // requested at this time!" when not started.
  ComPtr<IVoMAPIMsgStore> Get_MsgStore() const;

  TNewMessageEvent OnNewMessage;
  TObjectEvent OnObjectCreated, OnObjectDeleted, OnObjectModified, OnObjectMoved, OnObjectCopied;
  TLogoffEvent OnSessionLogoff;

 private:
  class TSink;

  ComPtr<IVoMAPIMsgStore> store_;
  TVoAutoIntfObject* source_ = nullptr;  // the store's connection points
  DWORD cookie_ = 0;
};

}  // namespace orba
