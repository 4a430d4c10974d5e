// The live Simple MAPI sessions: see sessiontable.h.
#include "simplemapi/sessiontable.h"

#include <mutex>
#include <vector>

#include "simplemapi/simpleerror.h"

namespace orba::store {
namespace {

using namespace simplemapi;

constexpr LHANDLE kSlotBits = 16;
constexpr LHANDLE kSlotMask = (LHANDLE{1} << kSlotBits) - 1;

struct TSlot {
  LHANDLE serial = 0;  // 0: free
  std::shared_ptr<TSimpleSession> session;
};

std::mutex tableLock;
std::vector<TSlot> slots;
LHANDLE nextSerial = 1;

// The slot of a handle, under the lock.
TSlot& SlotOf(LHANDLE handle) {
  LHANDLE index = handle & kSlotMask;
  bool taken = index < slots.size() && slots[index].serial != 0 && slots[index].serial == handle >> kSlotBits;
  SimpleCheck(taken, MAPI_E_INVALID_SESSION, "The session handle is not one of an open session.");
  return slots[index];
}

}  // namespace

LHANDLE AddSession(std::shared_ptr<TSimpleSession> session) {
  std::lock_guard guard(tableLock);
  size_t index = 0;
  while (index < slots.size() && slots[index].serial != 0) ++index;
  SimpleCheck(index <= kSlotMask, MAPI_E_TOO_MANY_SESSIONS, "Too many Simple MAPI sessions are open.");
  if (index == slots.size()) slots.emplace_back();
  slots[index] = {nextSerial++, std::move(session)};
  return slots[index].serial << kSlotBits | index;
}

std::shared_ptr<TSimpleSession> FindSession(LHANDLE handle) {
  std::lock_guard guard(tableLock);
  const auto& session = SlotOf(handle).session;
  SimpleCheck(session->Active(), MAPI_E_INVALID_SESSION, "The session has ended.");
  return session;
}

std::shared_ptr<TSimpleSession> RemoveSession(LHANDLE handle) {
  std::lock_guard guard(tableLock);
  TSlot& slot = SlotOf(handle);
  auto session = std::move(slot.session);
  slot = {};
  return session;
}

std::shared_ptr<TSimpleSession> SessionForCall(LHANDLE handle, FLAGS flags) {
  return handle ? FindSession(handle) : TSimpleSession::Logon(nullptr, flags);
}

}  // namespace orba::store
