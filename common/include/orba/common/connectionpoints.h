// Event connection points: per event interface, the sinks connected to an object, in
// connection order. Objects that fire events keep one TVoConnectionPoints and create a
// connection point for each of their event interfaces.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "orba/common/com.h"
#include "orba/common/comobject.h"
#include "orba/common/comptr.h"

// Published result codes of event connections.
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202);

namespace orba {

class TVoConnectionPoints;

// The sinks connected to one event interface.
class TVoConnectionPoint {
 public:
  TVoConnectionPoint(const TVoConnectionPoint&) = delete;
  TVoConnectionPoint& operator=(const TVoConnectionPoint&) = delete;

  const IID& Iid() const { return iid_; }
  // Connects sink, which must answer this point's interface; returns its cookie.
  // Raises E_POINTER for a null sink, CONNECT_E_CANNOTCONNECT for a sink without the
  // interface.
  DWORD Advise(IUnknown* sink);
  // Disconnects the sink of cookie; raises CONNECT_E_NOCONNECTION for an unknown cookie.
  void Unadvise(DWORD cookie);
  bool IsConnected(DWORD cookie) const;
  size_t Count() const { return connections_.size(); }
  // The connected sinks, in connection order.
  std::vector<ComPtr<IUnknown>> Sinks() const;

  // Calls call(I*) for every sink connected when the round starts, in connection order,
  // that answers I. A sink disconnected during the round (by itself or another sink) is
  // not called any more; sinks connected during the round wait for the next one. The
  // object that owns the point must stay alive for the round. An exception from a sink
  // ends the round and propagates.
  template <class I, class F>
  void ForEachSink(F&& call) const {
    std::vector<Connection> round = connections_;
    for (const Connection& c : round) {
      if (!IsConnected(c.cookie)) continue;
      if (ComPtr<I> typed = c.sink.template Query<I>(IidOf<I>())) call(typed.get());
    }
  }

 private:
  friend class TVoConnectionPoints;
  struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;
  };

  TVoConnectionPoint(const IID& iid, TVoConnectionPoints& owner) : iid_(iid), owner_(owner) {}

  IID iid_;
  TVoConnectionPoints& owner_;
  std::vector<Connection> connections_;
};

// The connection points of one object. Cookies are unique across its points.
class TVoConnectionPoints {
 public:
  // Told after a sink was connected (connected true) or disconnected.
  using TSinkChanged = std::function<void(const IID& iid, IUnknown* sink, bool connected)>;

  explicit TVoConnectionPoints(TSinkChanged onSinkChanged = {}) : onSinkChanged_(std::move(onSinkChanged)) {}
  TVoConnectionPoints(const TVoConnectionPoints&) = delete;
  TVoConnectionPoints& operator=(const TVoConnectionPoints&) = delete;

  // Creates the point of event interface iid; raises E_INVALIDARG when it exists.
  TVoConnectionPoint& CreateConnectionPoint(REFIID iid);
  // The point of iid, or null.
  TVoConnectionPoint* Find(REFIID iid) const;
  // The point that holds cookie, or null.
  TVoConnectionPoint* FindByCookie(DWORD cookie) const;
  // Every point, in creation order.
  std::vector<TVoConnectionPoint*> Items() const;

 private:
  friend class TVoConnectionPoint;

  std::vector<std::unique_ptr<TVoConnectionPoint>> points_;
  TSinkChanged onSinkChanged_;
  DWORD lastCookie_ = 0;
};

}  // namespace orba
