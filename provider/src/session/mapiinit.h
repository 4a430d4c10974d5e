// MAPI's per-process initialisation count (MAPIInitialize / MAPIUninitialize).
#pragma once

namespace orba::store {

// True while MAPIInitialize calls outnumber MAPIUninitialize calls.
bool IsMapiInitialized();

}  // namespace orba::store
