// The seam for the session's address book: the address book engine registers a
// factory here, and IMAPISession::OpenAddressBook answers MAPI_E_NO_SUPPORT while none
// is registered.
#pragma once

#include <functional>
#include <memory>

#include "mapi/mapix.h"
#include "orba/common/comptr.h"
#include "storage/profiledb.h"

namespace orba::store {

// Makes the address book of a profile's session; flags are OpenAddressBook's. Throws
// TMapiError.
using TAddressBookFactory = std::function<ComPtr<IAddrBook>(const std::shared_ptr<TProfileDatabase>& db,
                                                            const std::string& profile, ULONG flags)>;

// Registers the factory (an empty one removes it). Thread-safe.
void SetAddressBookFactory(TAddressBookFactory factory);
TAddressBookFactory AddressBookFactory();

}  // namespace orba::store
