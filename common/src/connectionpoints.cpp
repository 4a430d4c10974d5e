#include "orba/common/connectionpoints.h"

#include <algorithm>

#include "orba/common/exceptions.h"

namespace orba {

DWORD TVoConnectionPoint::Advise(IUnknown* sink) {
  if (!sink) throw EVoException(u"A null event sink cannot be connected", E_POINTER);
  ComPtr<IUnknown> typed;
  if (FAILED(sink->QueryInterface(iid_, typed.OutVoid())) || !typed)
    throw EVoException(u"The event sink does not support the event interface", CONNECT_E_CANNOTCONNECT);
  // Keep the sink's identity, so that each round asks it afresh for the interface.
  ComPtr<IUnknown> identity;
  if (FAILED(sink->QueryInterface(IID_IUnknown, identity.OutVoid())) || !identity) identity = ComPtr<IUnknown>(sink);
  DWORD cookie = ++owner_.lastCookie_;
  connections_.push_back({cookie, identity});
  if (owner_.onSinkChanged_) owner_.onSinkChanged_(iid_, identity.get(), true);
  return cookie;
}

void TVoConnectionPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [cookie](const Connection& c) { return c.cookie == cookie; });
  if (it == connections_.end()) throw EVoException(u"The event connection does not exist", CONNECT_E_NOCONNECTION);
  ComPtr<IUnknown> sink = std::move(it->sink);  // released after the handler has run
  connections_.erase(it);
  if (owner_.onSinkChanged_) owner_.onSinkChanged_(iid_, sink.get(), false);
}

bool TVoConnectionPoint::IsConnected(DWORD cookie) const {
  return std::any_of(connections_.begin(), connections_.end(),
                     [cookie](const Connection& c) { return c.cookie == cookie; });
}

std::vector<ComPtr<IUnknown>> TVoConnectionPoint::Sinks() const {
  std::vector<ComPtr<IUnknown>> sinks;
  sinks.reserve(connections_.size());
  for (const Connection& c : connections_) sinks.push_back(c.sink);
  return sinks;
}

TVoConnectionPoint& TVoConnectionPoints::CreateConnectionPoint(REFIID iid) {
  if (Find(iid)) throw EVoException(u"A connection point for this event interface exists already", E_INVALIDARG);
  points_.push_back(std::unique_ptr<TVoConnectionPoint>(new TVoConnectionPoint(iid, *this)));
  return *points_.back();
}

TVoConnectionPoint* TVoConnectionPoints::Find(REFIID iid) const {
  for (const auto& point : points_)
    if (point->Iid() == iid) return point.get();
  return nullptr;
}

TVoConnectionPoint* TVoConnectionPoints::FindByCookie(DWORD cookie) const {
  for (const auto& point : points_)
    if (point->IsConnected(cookie)) return point.get();
  return nullptr;
}

std::vector<TVoConnectionPoint*> TVoConnectionPoints::Items() const {
  std::vector<TVoConnectionPoint*> items;
  for (const auto& point : points_) items.push_back(point.get());
  return items;
}

}  // namespace orba
