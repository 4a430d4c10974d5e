#include "orba/common/autoobject.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

thread_local std::optional<TVoCOMErrorInfo> lastErrorInfo;

}  // namespace

std::optional<TVoCOMErrorInfo> VoGetCOMErrorInfo() { return std::exchange(lastErrorInfo, std::nullopt); }

void VoSetCOMErrorInfo(TVoCOMErrorInfo info) { lastErrorInfo = std::move(info); }

TVoAutoIntfObject::TVoAutoIntfObject(TVoAutoIntfObject* creator, TVoKeepAlive keepAlive) : creator_(creator) {
  if (creator_) {
    // The creator link is a free-notification in both directions: the creator is
    // forgotten when it dies, and the creator's list forgets this object when it dies.
    Watch(creator_);
  }
  if (keepAlive == kaKeepAlive) SetKeepAlive(true);
  if (keepAlive == kaKeepCreatorAlive) SetKeepCreatorAlive(true);
}

TVoAutoIntfObject::~TVoAutoIntfObject() {
  // Normally done in BeforeDestruction; objects not destroyed through Release (or whose
  // constructor failed) are detached here.
  DetachAll();
  // Only now, so that a held creator outlives the destructors of this object's classes.
  if (holdsCreator_) creator_->DoRelease();
}

void TVoAutoIntfObject::BeforeDestruction() { DetachAll(); }

void TVoAutoIntfObject::SetKeepAlive(bool value) {
  if (value) {
    keepAlive_ = kaKeepAlive;
    HoldSelf(true);
    HoldCreator(false);
  } else if (keepAlive_ == kaKeepAlive) {
    keepAlive_ = kaNone;
    HoldSelf(false);  // may destroy this object: last statement
  }
}

void TVoAutoIntfObject::SetKeepCreatorAlive(bool value) {
  if (value) {
    if (!creator_) return;
    keepAlive_ = kaKeepCreatorAlive;
    HoldCreator(true);
    HoldSelf(false);  // may destroy this object: last statement
  } else if (keepAlive_ == kaKeepCreatorAlive) {
    keepAlive_ = kaNone;
    HoldCreator(false);
  }
}

void TVoAutoIntfObject::HoldSelf(bool hold) {
  if (hold == holdsSelf_) return;
  holdsSelf_ = hold;
  if (hold)
    DoAddRef();
  else
    DoRelease();
}

void TVoAutoIntfObject::HoldCreator(bool hold) {
  if (hold == holdsCreator_ || !creator_) return;
  holdsCreator_ = hold;
  if (hold)
    creator_->DoAddRef();
  else
    creator_->DoRelease();
}

void TVoAutoIntfObject::FreeNotification(TVoAutoIntfObject* other) {
  if (!other || other == this || detached_ || other->detached_) return;
  if (FindWatched(other) != watched_.end()) return;
  Watch(other);
}

void TVoAutoIntfObject::RemoveFreeNotification(TVoAutoIntfObject* other) {
  // The creator link stays: it is what clears Creator() when the creator dies.
  if (!other || other == creator_) return;
  auto link = FindWatched(other);
  if (link == watched_.end()) return;
  other->watchers_.erase(link->entry);
  watched_.erase(link);
}

void TVoAutoIntfObject::Watch(TVoAutoIntfObject* other) {
  auto link = watched_.insert(watched_.end(), {other, {}});
  link->entry = other->watchers_.insert(other->watchers_.end(), {this, link});
}

std::list<TVoAutoIntfObject::TWatched>::iterator TVoAutoIntfObject::FindWatched(const TVoAutoIntfObject* other) {
  return std::find_if(watched_.begin(), watched_.end(), [&](const TWatched& link) { return link.object == other; });
}

void TVoAutoIntfObject::DetachAll() {
  if (detached_) return;
  detached_ = true;
  for (const TWatched& link : watched_) link.object->watchers_.erase(link.entry);
  watched_.clear();
  // Each watcher is taken off the list before it is told (in the order they came), so
  // that whatever it does (releasing objects, unregistering) never meets a stale entry.
  while (!watchers_.empty()) {
    TWatcher watcher = watchers_.front();
    watchers_.pop_front();
    watcher.object->watched_.erase(watcher.entry);
    watcher.object->WatchedDestroyed(this);
  }
  // Unwatched, a creator that is not held may now die unnoticed.
  if (!holdsCreator_) creator_ = nullptr;
}

void TVoAutoIntfObject::WatchedDestroyed(TVoAutoIntfObject* obj) {
  bool creatorDied = obj == creator_;
  if (creatorDied) {
    creator_ = nullptr;
    holdsCreator_ = false;
  }
  Notification(obj);
  if (creatorDied && keepAlive_ == kaKeepAlive) {
    keepAlive_ = kaNone;
    HoldSelf(false);  // may destroy this object: last statement
  }
}

WideString TVoAutoIntfObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : mangled;
  // An object made directly as TVoComObject<TVoFoo, IFoo...> is named after TVoFoo.
  static constexpr std::string_view kComObject = "orba::TVoComObject<";
  if (name.rfind(kComObject, 0) == 0) {
    size_t end = kComObject.size();
    for (int depth = 0; end < name.size(); ++end) {
      char c = name[end];
      if ((c == ',' || c == '>') && depth == 0) break;
      depth += c == '<' ? 1 : c == '>' ? -1 : 0;
    }
    name = name.substr(kComObject.size(), end - kComObject.size());
  }
  // Without template arguments and namespaces.
  name = name.substr(0, name.find('<'));
  size_t colon = name.rfind("::");
  if (colon != std::string::npos) name = name.substr(colon + 2);
  return FromUtf8(name);
}

HRESULT TVoAutoIntfObject::SafeCallException() const {
  TVoCOMErrorInfo info;
  info.Source = ClassName();
  try {
    throw;
  } catch (const EVoException& e) {
    info.Code = FAILED(e.Code()) ? e.Code() : E_UNEXPECTED;
    info.Message = e.Message();
  } catch (const std::bad_alloc&) {
    info.Code = E_OUTOFMEMORY;
    info.Message = u"Out of memory";
  } catch (const std::exception& e) {
    info.Code = E_UNEXPECTED;
    info.Message = FromUtf8(e.what());
  } catch (...) {
    info.Code = E_UNEXPECTED;
    info.Message = u"Unknown exception";
  }
  HRESULT code = info.Code;
  VoSetCOMErrorInfo(std::move(info));
  return code;
}

TVoConnectionPoints& TVoAutoIntfObject::GetConnectionPoints() {
  if (!connectionPoints_)
    connectionPoints_ = std::make_unique<TVoConnectionPoints>(
        [this](const IID& iid, IUnknown* sink, bool connected) { EventSinkChanged(iid, sink, connected); });
  return *connectionPoints_;
}

DWORD TVoAutoIntfObject::EventConnect(IUnknown* sink) {
  if (!sink) throw EVoException(u"A null event sink cannot be connected", E_POINTER);
  for (TVoConnectionPoint* point : GetConnectionPoints().Items()) {
    ComPtr<IUnknown> typed;
    if (SUCCEEDED(sink->QueryInterface(point->Iid(), typed.OutVoid())) && typed) return point->Advise(sink);
  }
  throw EVoException(u"The event sink supports none of the object's event interfaces", CONNECT_E_CANNOTCONNECT);
}

void TVoAutoIntfObject::EventDisconnect(DWORD cookie) {
  TVoConnectionPoint* point = GetConnectionPoints().FindByCookie(cookie);
  if (!point) throw EVoException(u"The event connection does not exist", CONNECT_E_NOCONNECTION);
  point->Unadvise(cookie);
}

}  // namespace orba
