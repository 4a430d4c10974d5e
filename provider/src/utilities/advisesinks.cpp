// HrAllocAdviseSink and HrThisThreadAdviseSink: advise sinks over a callback, and over
// another sink that must be called on one thread.
//
// Orba Store calls advise sinks on the thread that changed the data. A sink made by
// HrThisThreadAdviseSink forwards notifications arriving on its own thread at once;
// those arriving on another thread are copied into a queue of its thread, which
// HrDispatchNotifications on that thread delivers (MAPI's message loop stands in the
// same place on other systems).
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "base/export.h"
#include "base/lasterror.h"
#include "mapi/mapiexports.h"
#include "props/valuecopy.h"
#include "utilities/threadnotifications.h"

namespace orba::store {

namespace {

template <class T>
T* CopyBytes(const T* src, ULONG cb, TCopySpace& space) {
  if (!src || cb == 0) return nullptr;
  void* copy = space.Take(cb);
  std::memcpy(copy, src, cb);
  return static_cast<T*>(copy);
}

void CopyNotification(const NOTIFICATION& src, NOTIFICATION& dst, TCopySpace& space) {
  dst = src;
  auto entryId = [&](LPENTRYID id, ULONG cb) { return CopyBytes(id, cb, space); };
  switch (src.ulEventType) {
    case fnevCriticalError: {
      const ERROR_NOTIFICATION& from = src.info.err;
      dst.info.err.lpEntryID = entryId(from.lpEntryID, from.cbEntryID);
      if (from.lpMAPIError) {
        bool unicode = (from.ulFlags & MAPI_UNICODE) != 0;
        auto* error = space.TakeOf<MAPIERROR>(1);
        CopyMapiError(*from.lpMAPIError, *error, unicode, space);
        dst.info.err.lpMAPIError = error;
      }
      break;
    }
    case fnevNewMail: {
      const NEWMAIL_NOTIFICATION& from = src.info.newmail;
      dst.info.newmail.lpEntryID = entryId(from.lpEntryID, from.cbEntryID);
      dst.info.newmail.lpParentID = entryId(from.lpParentID, from.cbParentID);
      dst.info.newmail.lpszMessageClass = CopyText(from.lpszMessageClass, (from.ulFlags & MAPI_UNICODE) != 0, space);
      break;
    }
    case fnevTableModified: {
      const TABLE_NOTIFICATION& from = src.info.tab;
      CopyPropValue(from.propIndex, dst.info.tab.propIndex, space);
      CopyPropValue(from.propPrior, dst.info.tab.propPrior, space);
      dst.info.tab.row.lpProps = from.row.cValues ? space.TakeOf<SPropValue>(from.row.cValues) : nullptr;
      for (ULONG i = 0; i < from.row.cValues; ++i)
        CopyPropValue(from.row.lpProps[i], dst.info.tab.row.lpProps[i], space);
      break;
    }
    case fnevExtended:
      dst.info.ext.pbEventParameters = CopyBytes(src.info.ext.pbEventParameters, src.info.ext.cb, space);
      break;
    case fnevStatusObjectModified: {
      const STATUS_OBJECT_NOTIFICATION& from = src.info.statobj;
      dst.info.statobj.lpEntryID = entryId(from.lpEntryID, from.cbEntryID);
      dst.info.statobj.lpPropVals = from.cValues ? space.TakeOf<SPropValue>(from.cValues) : nullptr;
      for (ULONG i = 0; i < from.cValues; ++i) CopyPropValue(from.lpPropVals[i], dst.info.statobj.lpPropVals[i], space);
      break;
    }
    default: {  // the object notifications
      const OBJECT_NOTIFICATION& from = src.info.obj;
      dst.info.obj.lpEntryID = entryId(from.lpEntryID, from.cbEntryID);
      dst.info.obj.lpParentID = entryId(from.lpParentID, from.cbParentID);
      dst.info.obj.lpOldID = entryId(from.lpOldID, from.cbOldID);
      dst.info.obj.lpOldParentID = entryId(from.lpOldParentID, from.cbOldParentID);
      if (from.lpPropTagArray)
        dst.info.obj.lpPropTagArray =
            CopyBytes(from.lpPropTagArray, static_cast<ULONG>(CbSPropTagArray(from.lpPropTagArray)), space);
      break;
    }
  }
}

// Calls a callback with its context for each OnNotify.
class TCallbackSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  TCallbackSink(LPNOTIFCALLBACK callback, LPVOID context) : callback_(callback), context_(context) {}
  ULONG STDMETHODCALLTYPE OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override {
    return static_cast<ULONG>(callback_(context_, cNotif, lpNotifications));
  }

 private:
  LPNOTIFCALLBACK callback_;
  LPVOID context_;
};

// Hands notifications to a sink on the thread that made it.
class TThreadSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  explicit TThreadSink(ComPtr<IMAPIAdviseSink> sink) : sink_(std::move(sink)), queue_(TThreadQueue::OfThisThread()) {}
  ULONG STDMETHODCALLTYPE OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override {
    if (queue_->IsOwnThread()) return sink_->OnNotify(cNotif, lpNotifications);
    try {
      queue_->Push(sink_, cNotif, CopyNotifications(cNotif, lpNotifications));
    } catch (...) {
      // The notifications are lost for want of memory; the sender cannot help it.
    }
    return 0;
  }

 private:
  ComPtr<IMAPIAdviseSink> sink_;
  std::shared_ptr<TThreadQueue> queue_;
};

}  // namespace

TMapiBuffer<NOTIFICATION> CopyNotifications(ULONG count, const NOTIFICATION* notifications) {
  auto copy = TMapiBuffer<NOTIFICATION>::Allocate(sizeof(NOTIFICATION) * std::max<ULONG>(count, 1));
  TCopySpace space(copy.get());
  for (ULONG i = 0; i < count; ++i) CopyNotification(notifications[i], copy.get()[i], space);
  return copy;
}

}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT HRESULT HrAllocAdviseSink(LPNOTIFCALLBACK lpfnCallback, LPVOID lpvContext,
                                           LPMAPIADVISESINK* lppAdviseSink) {
  if (!lpfnCallback || !lppAdviseSink) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    *lppAdviseSink = orba::MakeComObject<TCallbackSink>(lpfnCallback, lpvContext).Detach();
    return S_OK;
  });
}

ORBASTORE_EXPORT HRESULT HrThisThreadAdviseSink(LPMAPIADVISESINK lpAdviseSink, LPMAPIADVISESINK* lppAdviseSink) {
  if (!lpAdviseSink || !lppAdviseSink) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    *lppAdviseSink = orba::MakeComObject<TThreadSink>(orba::ComPtr<IMAPIAdviseSink>(lpAdviseSink)).Detach();
    return S_OK;
  });
}
