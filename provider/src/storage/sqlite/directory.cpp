// The organisation's directory of mailboxes: see directory.h.
#include <cctype>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "base/maperror.h"
#include "base/orbahome.h"
#include "storage/directory.h"
#include "storage/sqlite/sqlite.h"

namespace orba::store {
namespace {

std::filesystem::path ServerFolder() {
  std::filesystem::path folder = OrbaHome() / "server";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw TMapiError(MAPI_E_DISK_ERROR, "The server folder cannot be created.");
  return folder;
}

// The directory's schema, one step per version (PRAGMA user_version): step v brings a
// directory of version v to version v + 1. Version 0 is a new file or one made before
// versions were kept, whose table may lack the address columns.
void MigrateToVersion1(TSqlDatabase& db) {
  db.Execute(
      "CREATE TABLE IF NOT EXISTS mailboxes(name TEXT PRIMARY KEY COLLATE NOCASE, display_name TEXT NOT NULL, "
      "server TEXT NOT NULL, store_path TEXT NOT NULL, legacy_dn TEXT, smtp_address TEXT)");
  if (!db.Prepare("SELECT 1 FROM pragma_table_info('mailboxes') WHERE name='legacy_dn'").Step()) {
    db.Execute("ALTER TABLE mailboxes ADD COLUMN legacy_dn TEXT");
    db.Execute("ALTER TABLE mailboxes ADD COLUMN smtp_address TEXT");
  }
}

constexpr void (*kMigrations[])(TSqlDatabase&) = {MigrateToVersion1};
constexpr int64_t kDirectoryVersion = std::size(kMigrations);

int64_t SchemaVersion(TSqlDatabase& db) {
  auto stmt = db.Prepare("PRAGMA user_version");
  return stmt.Step() ? stmt.Int(0) : 0;
}

// Brings the directory's schema up to date, in one transaction: another process may be
// doing the same, so the version is read again under the write lock.
void Migrate(TSqlDatabase& db) {
  if (SchemaVersion(db) == kDirectoryVersion) return;
  TSqlTransaction tx(db);
  int64_t version = SchemaVersion(db);
  if (version > kDirectoryVersion) throw TMapiError(MAPI_E_VERSION, "The directory was written by a later version.");
  for (; version < kDirectoryVersion; ++version) kMigrations[version](db);
  db.Execute("PRAGMA user_version=" + std::to_string(kDirectoryVersion));
  tx.Commit();
}

// Opens the directory, bringing its schema up to date.
std::unique_ptr<TSqlDatabase> OpenDirectory() {
  auto db = std::make_unique<TSqlDatabase>((ServerFolder() / "directory.db").string());
  db->Execute("PRAGMA busy_timeout=5000");
  Migrate(*db);
  return db;
}

void CheckMailboxName(const std::string& name) {
  bool bad = name.empty() || name.front() == '.' || name.size() > 200;
  for (char c : name) bad |= c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  if (bad) throw TMapiError(MAPI_E_INVALID_PARAMETER, "The mailbox name cannot name a mailbox.");
}

// The address columns with their defaults for mailboxes that have none set.
std::string SelectMailboxes() {
  return std::string("SELECT name, display_name, server, store_path, coalesce(legacy_dn, '") + kLegacyDnPrefix +
         "' || name) AS legacy_dn, coalesce(smtp_address, name || '@" + kSmtpDomain +
         "') AS smtp_address "
         "FROM mailboxes";
}

// The rows of mailboxes that match where (with one text parameter), or all of them.
std::vector<TDirectoryMailbox> Query(TSqlDatabase& db, const char* where, const std::string* value) {
  std::string sql = "SELECT * FROM (" + SelectMailboxes() + ")";
  sql += where ? std::string(" WHERE ") + where : std::string(" ORDER BY name");
  auto stmt = db.Prepare(sql);
  if (value) stmt.Bind(1, std::string_view(*value));
  std::vector<TDirectoryMailbox> result;
  while (stmt.Step())
    result.push_back({stmt.Text(0), stmt.Text(1), stmt.Text(2), stmt.Text(3), stmt.Text(4), stmt.Text(5)});
  return result;
}

std::optional<TDirectoryMailbox> First(std::vector<TDirectoryMailbox> found) {
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

std::string Canonical(const std::string& path) {
  std::error_code ignored;
  std::string canonical = std::filesystem::weakly_canonical(path, ignored).string();
  return canonical.empty() ? path : canonical;
}

void CheckAddresses(const std::string& legacyDn, const std::string& smtpAddress) {
  if (legacyDn.rfind("/o=", 0) != 0 && legacyDn.rfind("/O=", 0) != 0)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "A mailbox's DN starts with \"/o=\".");
  size_t at = smtpAddress.find('@');
  if (at == std::string::npos || at == 0 || at + 1 == smtpAddress.size() ||
      smtpAddress.find('@', at + 1) != std::string::npos)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "An SMTP address has one \"@\" between a local part and a domain.");
  for (const std::string* text : {&legacyDn, &smtpAddress})
    for (char c : *text)
      if (static_cast<unsigned char>(c) < 0x20)
        throw TMapiError(MAPI_E_INVALID_PARAMETER, "An address has control characters.");
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
  return Query(*db, "name=?1 COLLATE NOCASE", &name).at(0);
}

std::optional<TDirectoryMailbox> TServerDirectory::Find(const std::string& name) {
  auto db = OpenDirectory();
  return First(Query(*db, "name=?1 COLLATE NOCASE", &name));
}

std::string TServerDirectory::PublicStorePath() { return (ServerFolder() / "public.db").string(); }

std::vector<TDirectoryMailbox> TServerDirectory::All() {
  auto db = OpenDirectory();
  return Query(*db, nullptr, nullptr);
}

TDirectoryMailbox TServerDirectory::SetAddresses(const std::string& name, const std::string& legacyDn,
                                                 const std::string& smtpAddress) {
  CheckAddresses(legacyDn, smtpAddress);
  auto db = OpenDirectory();
  TSqlTransaction tx(*db);
  if (Query(*db, "name=?1 COLLATE NOCASE", &name).empty())
    throw TMapiError(MAPI_E_NOT_FOUND, "There is no mailbox " + name + ".");
  auto clash = db->Prepare("SELECT name FROM (" + SelectMailboxes() +
                           ") WHERE lower(name)<>lower(?1) AND (lower(legacy_dn)=lower(?2) OR "
                           "lower(smtp_address)=lower(?3))");
  clash.Bind(1, std::string_view(name)).Bind(2, std::string_view(legacyDn)).Bind(3, std::string_view(smtpAddress));
  if (clash.Step()) throw TMapiError(MAPI_E_COLLISION, "The mailbox " + clash.Text(0) + " has one of these addresses.");
  db->Prepare("UPDATE mailboxes SET legacy_dn=?, smtp_address=? WHERE name=? COLLATE NOCASE")
      .Bind(1, std::string_view(legacyDn))
      .Bind(2, std::string_view(smtpAddress))
      .Bind(3, std::string_view(name))
      .Run();
  tx.Commit();
  return Query(*db, "name=?1 COLLATE NOCASE", &name).at(0);
}

std::optional<TDirectoryMailbox> TServerDirectory::FindByAddress(const std::string& addressType,
                                                                 const std::string& address) {
  std::string type;
  for (char c : addressType) type.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  const char* where = nullptr;
  if (type == "EX")
    where = "lower(legacy_dn)=lower(?1)";
  else if (type == "SMTP")
    where = "lower(smtp_address)=lower(?1)";
  if (!where || address.empty()) return std::nullopt;
  auto db = OpenDirectory();
  return First(Query(*db, where, &address));
}

std::optional<TDirectoryMailbox> TServerDirectory::FindByStorePath(const std::string& path) {
  std::string wanted = Canonical(path);
  for (TDirectoryMailbox& mailbox : All())
    if (Canonical(mailbox.storePath) == wanted) return std::move(mailbox);
  return std::nullopt;
}

}  // namespace orba::store
