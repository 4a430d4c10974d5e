// Orba Store's own store providers: "MSEMS" mailboxes of the organisation's store
// ($ORBA_HOME/server/<mailbox>.db, created on first logon and entered in the
// organisation's directory, server/directory.db), the organisation's public folders
// that come with every "MSEMS" service (server/public.db, created on first logon and
// shared by every mailbox: its store entry ID is the same in every profile), and
// "MSPST MS" personal store files (the file at PR_PST_PATH, created when missing). The
// library registers them when it is loaded.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orba::store {

// Registers (again) the three providers, replacing whatever is registered for their
// PR_MDB_PROVIDER values.
void RegisterOrbaStoreProviders();

// One mailbox of the organisation's directory.
struct TDirectoryMailbox {
  std::string name;         // the mailbox name, UTF-8, unique regardless of case
  std::string displayName;  // UTF-8
  std::string server;       // the server it was configured with
  std::string storePath;    // its store database
};

// The organisation's directory of mailboxes (server/directory.db under ORBA_HOME).
class TServerDirectory {
 public:
  // Enters a mailbox (kept as first entered when it exists) and returns its entry.
  // MAPI_E_INVALID_PARAMETER for a name that cannot be a file name (empty, path
  // separators, a leading dot, control characters).
  static TDirectoryMailbox Register(const std::string& name, const std::string& server);
  static std::optional<TDirectoryMailbox> Find(const std::string& name);
  static std::vector<TDirectoryMailbox> All();
  // The organisation's public folders store database.
  static std::string PublicStorePath();
};

}  // namespace orba::store
