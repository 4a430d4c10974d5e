// TVoAutoIntfObject: the base of the library's automation objects. Adds to reference
// counting the creator link with its keep-alive rule, free-notifications between
// objects, event connection points and the mapping of exceptions to HRESULTs.
// Classes implement their interfaces with TVoComObject<TVoAutoIntfObject-derived, IFoo...>.
// Objects of this family are used from one thread at a time: there are no locks.
#pragma once

#include <list>
#include <memory>
#include <optional>

#include "orba/common/com.h"
#include "orba/common/comobject.h"
#include "orba/common/connectionpoints.h"
#include "orba/common/types.h"

namespace orba {

// How an object and its creator keep each other alive.
enum TVoKeepAlive {
  kaNone,              // no reference either way; the creator link clears when it dies
  kaKeepAlive,         // the object holds itself until its creator dies (or keep-alive ends)
  kaKeepCreatorAlive,  // the object holds a reference to its creator
};

// The error information SafeCallException records for the caller.
struct TVoCOMErrorInfo {
  HRESULT Code = S_OK;
  WideString Message;
  WideString Source;  // the class name of the object that failed
};

// The error information of the calling thread's last SafeCallException, which is
// cleared by reading it (as COM's GetErrorInfo does).
std::optional<TVoCOMErrorInfo> VoGetCOMErrorInfo();
void VoSetCOMErrorInfo(TVoCOMErrorInfo info);

class TVoAutoIntfObject : public TVoRefCounted {
 public:
  // creator may be null. With kaKeepCreatorAlive the creator must already be counted
  // (held by someone), as the object takes and later drops a reference to it.
  explicit TVoAutoIntfObject(TVoAutoIntfObject* creator = nullptr, TVoKeepAlive keepAlive = kaNone);
  ~TVoAutoIntfObject() override;

  // The creator while it lives; null once it is destroyed or when there was none.
  TVoAutoIntfObject* Creator() const { return creator_; }
  TVoKeepAlive KeepAlive() const { return keepAlive_; }
  // On: the object holds itself until its creator dies or keep-alive is turned off (and
  // stops keeping its creator alive). Off: drops that hold, which may destroy the object
  // at once; the caller must not touch it afterwards unless it holds a reference.
  void SetKeepAlive(bool value);
  // On: the object holds a reference to its creator (and stops holding itself). Off: drops
  // it, which may destroy the creator. Without a creator, turning it on does nothing.
  void SetKeepCreatorAlive(bool value);
  // The nearest object of class T up the creator chain (starting at the creator), or null.
  template <class T>
  T* FindCreator() const {
    for (TVoAutoIntfObject* c = creator_; c; c = c->creator_)
      if (T* found = dynamic_cast<T*>(c)) return found;
    return nullptr;
  }

  // Asks to be told through Notification when other is destroyed. Registrations may go
  // both ways; either side's destruction removes the link. Ignored for null, self, or
  // objects being destroyed.
  void FreeNotification(TVoAutoIntfObject* other);
  void RemoveFreeNotification(TVoAutoIntfObject* other);

  // The class name used in error texts ("TVoMAPIFolder"): the C++ class name without
  // its namespace, unless a class overrides it.
  virtual WideString ClassName() const;

  // Called inside a catch block: turns the exception in flight into an HRESULT and
  // records it with this class as source (VoGetCOMErrorInfo). EVoException gives its
  // code when that is a failure code, std::bad_alloc E_OUTOFMEMORY, anything else
  // E_UNEXPECTED.
  HRESULT SafeCallException() const;

  // Whether the object is served in the caller's process: always, on this platform.
  static bool ServerInThisProcess() { return true; }
  // Whether the object runs in a server process started for the client (the
  // cross-bitness proxy); never, on this platform.
  static bool ServerInClientProcess() { return false; }

  // The object's connection points (created on first use).
  TVoConnectionPoints& GetConnectionPoints();
  // Connects sink to the first connection point (in creation order) whose interface it
  // answers; returns the cookie. Raises CONNECT_E_CANNOTCONNECT when none fits.
  DWORD EventConnect(IUnknown* sink);
  // Raises CONNECT_E_NOCONNECTION for an unknown cookie.
  void EventDisconnect(DWORD cookie);

 protected:
  // destroyed, an object this one watches (FreeNotification) or its creator, is being
  // destroyed; it is still complete. Do not keep a reference to it.
  virtual void Notification(TVoAutoIntfObject* destroyed) { (void)destroyed; }
  // A sink was connected to or disconnected from the point of iid.
  virtual void EventSinkChanged(const IID& iid, IUnknown* sink, bool connected) {
    (void)iid, (void)sink, (void)connected;
  }
  void BeforeDestruction() override;

 private:
  // The two ends of a watch: each side keeps the other's entry, so that either side's
  // death unlinks both at once, however many objects watch it.
  struct TWatcher;
  struct TWatched {
    TVoAutoIntfObject* object;
    std::list<TWatcher>::iterator entry;  // in object->watchers_
  };
  struct TWatcher {
    TVoAutoIntfObject* object;
    std::list<TWatched>::iterator entry;  // in object->watched_
  };

  // Links this object as a watcher of other.
  void Watch(TVoAutoIntfObject* other);
  std::list<TWatched>::iterator FindWatched(const TVoAutoIntfObject* other);
  // Tells watchers and drops every link; runs once.
  void DetachAll();
  // obj (a watched object or the creator) is being destroyed.
  void WatchedDestroyed(TVoAutoIntfObject* obj);
  void HoldSelf(bool hold);
  void HoldCreator(bool hold);

  TVoAutoIntfObject* creator_;
  TVoKeepAlive keepAlive_ = kaNone;
  bool holdsSelf_ = false;
  bool holdsCreator_ = false;
  bool detached_ = false;
  std::list<TWatcher> watchers_;  // told when this object dies, in the order they came
  std::list<TWatched> watched_;   // objects whose death this object awaits
  std::unique_ptr<TVoConnectionPoints> connectionPoints_;
};

}  // namespace orba
