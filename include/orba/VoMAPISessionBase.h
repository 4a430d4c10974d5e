// TVoMAPISessionBase: what every wrapper needs of its session (the base of TSession):
// the session's working mode, MAPI memory, and the list of wrappers to be told at
// logoff.
#pragma once

#include <vector>

#include "orba/common/autoobject.h"
#include "orba/common/types.h"

namespace orba {

class TVoMAPIWrapper;

class TVoMAPISessionBase : public TVoAutoIntfObject {
 public:
  using TVoAutoIntfObject::TVoAutoIntfObject;

  // Whether the session is logged on.
  bool Active() const { return active_; }
  // Whether the session works with Extended MAPI (false: Simple MAPI).
  virtual bool UseExtendedMAPI() = 0;
  // Whether the session's information reports a connection to an Exchange server.
  virtual bool ConnectedToExchange() = 0;
  // The window MAPI dialogs belong to and the application handle; 0 for none.
  virtual ULONG_PTR GetParentWindow() { return 0; }
  virtual ULONG_PTR GetAppHandle() { return 0; }

  // MAPI memory of the loaded client library (MAPIAllocateBuffer and its companions);
  // failures raise the entry points' texts.
  virtual void* AllocateBuffer(ULONG Size);
  virtual void* AllocateMore(ULONG Size, void* Parent);
  virtual void FreeBuffer(void* Buffer);

  // Registers Wrapper to be told at logoff (once, however often it registers);
  // a wrapper that is destroyed leaves the list by itself.
  void LogoffNotification(TVoMAPIWrapper* Wrapper);
  void RemoveLogoffNotification(TVoMAPIWrapper* Wrapper);
  // Whether the session is raising its events now.
  bool ExecutingEvents() const { return executingEvents_; }

 protected:
  void SetActive(bool Value) { active_ = Value; }
  void SetExecutingEvents(bool Value) { executingEvents_ = Value; }
  // Tells every registered wrapper, in registration order, that its MAPI object is gone
  // and empties the list. The logoff calls it before it releases the MAPI session.
  void NotifyLogoff();
  void Notification(TVoAutoIntfObject* destroyed) override;

 private:
  bool active_ = false;
  bool executingEvents_ = false;
  std::vector<TVoMAPIWrapper*> logoffList_;
};

}  // namespace orba
