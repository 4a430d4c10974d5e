// The session's status table: one row for the MAPI subsystem, one for the spooler and
// one per provider of the profile, with PR_RESOURCE_TYPE, PR_DISPLAY_NAME,
// PR_PROVIDER_DISPLAY, PR_PROVIDER_DLL_NAME, PR_STATUS_CODE, PR_RESOURCE_METHODS,
// PR_RESOURCE_FLAGS, PR_OBJECT_TYPE (MAPI_STATUS), PR_ENTRYID and, where the provider
// published them, PR_IDENTITY_*. Status objects cannot be opened (OpenStatus is not
// offered), so PR_RESOURCE_METHODS is 0: no status method is available.
#pragma once

#include <memory>

#include "session/sessionstate.h"

namespace orba::store {

std::shared_ptr<TMemoryRowSource> StatusRows(const TSessionState& session);

}  // namespace orba::store
