// The organisation's directory of mailboxes: see providers.h.
#include <filesystem>
#include <memory>

#include "orba/store/maperror.h"
#include "orba/store/msgstore/com/providers.h"
#include "orba/store/orbahome.h"
#include "orba/store/sqlite.h"

namespace orba::store {
namespace {

std::filesystem::path ServerFolder() {
  std::filesystem::path folder = OrbaHome() / "server";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw MapiError(MAPI_E_DISK_ERROR, "The server folder cannot be created.");
  return folder;
}

// Opens the directory, creating its table on first use.
std::unique_ptr<TSqlDatabase> OpenDirectory() {
  auto db = std::make_unique<TSqlDatabase>((ServerFolder() / "directory.db").string());
  db->Execute("PRAGMA busy_timeout=5000");
  db->Execute(
      "CREATE TABLE IF NOT EXISTS mailboxes(name TEXT PRIMARY KEY COLLATE NOCASE, display_name TEXT NOT NULL, "
      "server TEXT NOT NULL, store_path TEXT NOT NULL)");
  return db;
}

void CheckMailboxName(const std::string& name) {
  bool bad = name.empty() || name.front() == '.' || name.size() > 200;
  for (char c : name) bad |= c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  if (bad) throw MapiError(MAPI_E_INVALID_PARAMETER, "The mailbox name cannot name a mailbox.");
}

std::vector<TDirectoryMailbox> Query(TSqlDatabase& db, const std::string* name) {
  auto stmt = db.Prepare(std::string("SELECT name, display_name, server, store_path FROM mailboxes") +
                         (name ? " WHERE name=?" : " ORDER BY name"));
  if (name) stmt.Bind(1, std::string_view(*name));
  std::vector<TDirectoryMailbox> result;
  while (stmt.Step()) result.push_back({stmt.Text(0), stmt.Text(1), stmt.Text(2), stmt.Text(3)});
  return result;
}

}  // namespace

TDirectoryMailbox TServerDirectory::Register(const std::string& name, const std::string& server) {
  CheckMailboxName(name);
  auto db = OpenDirectory();
  std::string path = (ServerFolder() / (name + ".db")).string();
  db->Prepare("INSERT OR IGNORE INTO mailboxes(name, display_name, server, store_path) VALUES(?,?,?,?)")
      .Bind(1, std::string_view(name))
      .Bind(2, std::string_view(name))
      .Bind(3, std::string_view(server))
      .Bind(4, std::string_view(path))
      .Run();
  return Query(*db, &name).at(0);
}

std::optional<TDirectoryMailbox> TServerDirectory::Find(const std::string& name) {
  auto db = OpenDirectory();
  auto found = Query(*db, &name);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::string TServerDirectory::PublicStorePath() { return (ServerFolder() / "public.db").string(); }

std::vector<TDirectoryMailbox> TServerDirectory::All() {
  auto db = OpenDirectory();
  return Query(*db, nullptr);
}

}  // namespace orba::store
