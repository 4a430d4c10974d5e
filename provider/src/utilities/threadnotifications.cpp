#include "utilities/threadnotifications.h"

namespace orba::store {

namespace {

thread_local std::shared_ptr<TThreadQueue> thisThreadQueue;

}  // namespace

std::shared_ptr<TThreadQueue> TThreadQueue::OfThisThread() {
  if (!thisThreadQueue) thisThreadQueue = std::make_shared<TThreadQueue>();
  return thisThreadQueue;
}

void TThreadQueue::DispatchThisThread() {
  if (!thisThreadQueue) return;
  TThreadQueue& queue = *thisThreadQueue;
  for (;;) {
    TWaiting next;
    {
      std::lock_guard guard(queue.lock_);
      if (queue.waiting_.empty()) return;
      next = std::move(queue.waiting_.front());
      queue.waiting_.pop_front();
    }
    // Outside the lock: the sink may cause further notifications.
    next.sink->OnNotify(next.count, next.notifications.get());
  }
}

void TThreadQueue::Push(ComPtr<IMAPIAdviseSink> sink, ULONG count, TMapiBuffer<NOTIFICATION> notifications) {
  std::lock_guard guard(lock_);
  waiting_.push_back({std::move(sink), count, std::move(notifications)});
}

}  // namespace orba::store
