// Orba Store's own store providers: "MSEMS" mailboxes of the organisation's store
// ($ORBA_HOME/server/<mailbox>.db, created on first logon and entered in the
// organisation's directory, server/directory.db), the organisation's public folders
// that come with every "MSEMS" service (server/public.db, created on first logon and
// shared by every mailbox: its store entry ID is the same in every profile), and
// "MSPST MS" personal store files (the file at PR_PST_PATH, created when missing). The
// library registers them when it is loaded.
#pragma once

namespace orba::store {

// Registers (again) the three providers, replacing whatever is registered for their
// PR_MDB_PROVIDER values.
void RegisterOrbaStoreProviders();

}  // namespace orba::store
