#include "orba/VoMAPISessionBase.h"

#include <algorithm>

#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIWrapper.h"

namespace orba {

void* TVoMAPISessionBase::AllocateBuffer(ULONG Size) {
  void* buffer = nullptr;
  MAPIAllocateBuffer(Size, &buffer);
  return buffer;
}

void* TVoMAPISessionBase::AllocateMore(ULONG Size, void* Parent) {
  void* buffer = nullptr;
  MAPIAllocateMore(Size, Parent, &buffer);
  return buffer;
}

void TVoMAPISessionBase::FreeBuffer(void* Buffer) {
  if (Buffer) MAPIFreeBuffer(Buffer);
}

void TVoMAPISessionBase::LogoffNotification(TVoMAPIWrapper* Wrapper) {
  if (!Wrapper || std::find(logoffList_.begin(), logoffList_.end(), Wrapper) != logoffList_.end()) return;
  logoffList_.push_back(Wrapper);
  FreeNotification(Wrapper);
}

void TVoMAPISessionBase::RemoveLogoffNotification(TVoMAPIWrapper* Wrapper) {
  auto found = std::find(logoffList_.begin(), logoffList_.end(), Wrapper);
  if (found != logoffList_.end()) logoffList_.erase(found);
}

void TVoMAPISessionBase::NotifyLogoff() {
  // A wrapper that lets go of its MAPI object may release others: take one at a time.
  while (!logoffList_.empty()) {
    TVoMAPIWrapper* wrapper = logoffList_.front();
    logoffList_.erase(logoffList_.begin());
    ComPtr<IVoMAPIWrapper> hold(wrapper);
    wrapper->SessionLogoff();
  }
}

void TVoMAPISessionBase::Notification(TVoAutoIntfObject* destroyed) {
  if (auto* wrapper = dynamic_cast<TVoMAPIWrapper*>(destroyed)) RemoveLogoffNotification(wrapper);
}

}  // namespace orba
