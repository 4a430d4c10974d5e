// Notifications waiting for the thread of the advise sink they are for
// (HrThisThreadAdviseSink), delivered by HrDispatchNotifications on that thread.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "mapi/mapidefs.h"
#include "memory/mapimemory.h"
#include "orba/common/comptr.h"

namespace orba::store {

// A deep copy of count notifications in one MAPI buffer (TMapiError, std::bad_alloc).
TMapiBuffer<NOTIFICATION> CopyNotifications(ULONG count, const NOTIFICATION* notifications);

class TThreadQueue {
 public:
  // The queue of the calling thread, made on first use.
  static std::shared_ptr<TThreadQueue> OfThisThread();
  // Delivers what waits in the calling thread's queue, if it has one.
  static void DispatchThisThread();

  bool IsOwnThread() const { return std::this_thread::get_id() == owner_; }
  // Keeps notifications for sink until its thread dispatches them.
  void Push(ComPtr<IMAPIAdviseSink> sink, ULONG count, TMapiBuffer<NOTIFICATION> notifications);

 private:
  struct TWaiting {
    ComPtr<IMAPIAdviseSink> sink;
    ULONG count = 0;
    TMapiBuffer<NOTIFICATION> notifications;
  };

  std::thread::id owner_ = std::this_thread::get_id();
  std::mutex lock_;
  std::deque<TWaiting> waiting_;
};

}  // namespace orba::store
