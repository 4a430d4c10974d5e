// A store's own properties (its display name, the special folders' entry IDs, anything
// a client sets on the store): kept as given.
//
// Thread-safe: every method runs in one transaction of the store.
#pragma once

#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

class IStoreProps {
 public:
  virtual ~IStoreProps() = default;

  virtual TStoredProps Read() = 0;
  // TMapiError(MAPI_E_INVALID_TYPE, MAPI_E_CORRUPT_DATA) for values that cannot be kept.
  virtual void Change(const TStoredProps& set, const std::vector<ULONG>& deletedIds) = 0;
};

}  // namespace orba::store
