// IMsgStore::GetOutgoingQueue's table: the messages of a store's outgoing queue with
// the columns MAPI documents for it, in ascending submission time. The table follows
// the queue: every message change of the store reloads it.
#pragma once

#include <memory>

#include "mapi/mapidefs.h"
#include "mapiobjects/openstore.h"
#include "orba/common/comptr.h"

namespace orba::store {

ComPtr<IMAPITable> CreateOutgoingQueueTable(const std::shared_ptr<TOpenStore>& store);

}  // namespace orba::store
