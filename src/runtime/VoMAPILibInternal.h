// What the loader's units share inside the library: the library lock, the bound entry
// point slots and the Outlook cache's reset hook for tests.
#pragma once

#include <mutex>

#include "orba/common/dynlib.h"
#include "orba/common/types.h"

namespace orba::detail {

// The library lock: loading, unloading, initialisation and the module's state.
std::recursive_mutex& VoMAPILibLock();
// The loaded module (caller holds the lock), or nullptr.
TVoLibHandle VoLockedMAPIModule();
// Empties every bound entry point slot; called when the module goes away.
void VoClearEntryPoints();
// The first file `name` in the folder tree up to and including "Office\" of `path`
// whose full name holds the user's locale number, else the first found; empty if none.
WideString VoFindInOfficeTree(const WideString& path, const WideString& name);
// A folder name with a trailing separator ("\" for Windows-style names, else "/").
WideString VoIncludeTrailingDelimiter(const WideString& folder);
// Forgets the cached Outlook information so that the next call detects it again.
void VoResetOutlookInfo();

}  // namespace orba::detail
