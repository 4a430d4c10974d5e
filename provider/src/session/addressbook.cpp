// The seam for the session's address book: see addressbook.h.
#include "session/addressbook.h"

#include <mutex>

namespace orba::store {
namespace {

std::mutex factoryLock;
TAddressBookFactory factory;

}  // namespace

void SetAddressBookFactory(TAddressBookFactory next) {
  std::lock_guard guard(factoryLock);
  factory = std::move(next);
}

TAddressBookFactory AddressBookFactory() {
  std::lock_guard guard(factoryLock);
  return factory;
}

}  // namespace orba::store
