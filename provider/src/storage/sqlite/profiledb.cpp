// The profile database: see profiledb.h.
#include "storage/profiledb.h"

#include <sys/random.h>
#include <cstring>

#include <cerrno>

#include "base/maperror.h"
#include "base/orbahome.h"
#include "mapi/mapix.h"
#include "props/tags.h"
#include "storage/sqlite/sqlite.h"

namespace orba::store {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS profiles(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  is_default INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS services(
  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  uid BLOB NOT NULL,
  name TEXT NOT NULL,
  ordinal INTEGER NOT NULL,
  PRIMARY KEY(profile_id, uid));
CREATE TABLE IF NOT EXISTS providers(
  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  uid BLOB NOT NULL,
  service_uid BLOB NOT NULL,
  resource_type INTEGER NOT NULL,
  ordinal INTEGER NOT NULL,
  PRIMARY KEY(profile_id, uid),
  FOREIGN KEY(profile_id, service_uid) REFERENCES services(profile_id, uid) ON DELETE CASCADE);
CREATE TABLE IF NOT EXISTS props(
  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  section BLOB NOT NULL,
  prop_id INTEGER NOT NULL,
  tag INTEGER NOT NULL,
  value BLOB NOT NULL,
  PRIMARY KEY(profile_id, section, prop_id));
)";

std::span<const uint8_t> UidBytes(const MAPIUID& uid) { return {uid.ab, sizeof(uid.ab)}; }

MAPIUID UidFrom(const std::vector<uint8_t>& bytes) {
  MAPIUID uid{};
  if (bytes.size() != sizeof(uid.ab)) throw TMapiError(MAPI_E_CORRUPT_DATA, "A stored MAPIUID is damaged.");
  std::memcpy(uid.ab, bytes.data(), sizeof(uid.ab));
  return uid;
}

[[noreturn]] void NotFound(const char* what) { throw TMapiError(MAPI_E_NOT_FOUND, what); }

Bytes EncodeLong(ULONG tag, ULONG value) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.ul = value;
  return EncodePropValue(prop);
}

ULONG DecodeLong(ULONG tag, const Bytes& bytes) {
  SPropValue prop{};
  DecodePropValue(
      tag, bytes, [](size_t) -> void* { throw std::bad_alloc(); }, prop);
  return prop.Value.ul;
}

}  // namespace

MAPIUID NewMapiUid() {
  // Straight from the kernel: a generator state in memory would be duplicated by fork
  // and hand two processes the same UIDs.
  MAPIUID uid;
  size_t filled = 0;
  while (filled < sizeof(uid.ab)) {
    ssize_t got = getrandom(uid.ab + filled, sizeof(uid.ab) - filled, 0);
    if (got < 0 && errno != EINTR) throw TMapiError(MAPI_E_CALL_FAILED, "No random numbers are available.");
    if (got > 0) filled += static_cast<size_t>(got);
  }
  return uid;
}

TProfileDatabase::~TProfileDatabase() = default;

std::string TProfileDatabase::DefaultPath() { return (OrbaHome() / "profiles.db").string(); }

TProfileDatabase::TProfileDatabase(const std::string& path) : db_(std::make_unique<TSqlDatabase>(path)) {
  TSqlTransaction transaction(*db_);
  db_->Execute(kSchema);
  transaction.Commit();
}

// Profiles ----------------------------------------------------------------------------------

std::vector<TProfileInfo> TProfileDatabase::Profiles() {
  std::vector<TProfileInfo> result;
  auto query = db_->Prepare("SELECT name, is_default FROM profiles ORDER BY id");
  while (query.Step()) result.push_back({query.Text(0), query.Int(1) != 0});
  return result;
}

std::optional<TProfileInfo> TProfileDatabase::FindProfile(const std::string& name) {
  auto query = db_->Prepare("SELECT name, is_default FROM profiles WHERE name = ?");
  query.Bind(1, name);
  if (!query.Step()) return std::nullopt;
  return TProfileInfo{query.Text(0), query.Int(1) != 0};
}

std::optional<std::string> TProfileDatabase::DefaultProfile() {
  auto query = db_->Prepare("SELECT name FROM profiles WHERE is_default <> 0");
  if (!query.Step()) return std::nullopt;
  return query.Text(0);
}

int64_t TProfileDatabase::RequireProfile(const std::string& name) {
  auto query = db_->Prepare("SELECT id FROM profiles WHERE name = ?");
  query.Bind(1, name);
  if (!query.Step()) NotFound("The profile does not exist.");
  return query.Int(0);
}

void TProfileDatabase::CreateProfile(const std::string& name) {
  TSqlTransaction transaction(*db_);
  if (FindProfile(name)) throw TMapiError(MAPI_E_NO_ACCESS, "The profile already exists.");
  db_->Prepare("INSERT INTO profiles(name) VALUES(?)").Bind(1, name).Run();
  transaction.Commit();
}

void TProfileDatabase::DeleteProfile(const std::string& name) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(name);
  db_->Prepare("DELETE FROM profiles WHERE id = ?").Bind(1, id).Run();
  transaction.Commit();
}

void TProfileDatabase::RenameProfile(const std::string& oldName, const std::string& newName) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(oldName);
  auto taken = FindProfile(newName);
  // Changing only the case of the name is a rename of the same profile.
  if (taken && RequireProfile(newName) != id) throw TMapiError(MAPI_E_NO_ACCESS, "The profile already exists.");
  db_->Prepare("UPDATE profiles SET name = ? WHERE id = ?").Bind(1, newName).Bind(2, id).Run();
  transaction.Commit();
}

void TProfileDatabase::CopyProfile(const std::string& oldName, const std::string& newName) {
  TSqlTransaction transaction(*db_);
  int64_t source = RequireProfile(oldName);
  if (FindProfile(newName)) throw TMapiError(MAPI_E_NO_ACCESS, "The profile already exists.");
  db_->Prepare("INSERT INTO profiles(name) VALUES(?)").Bind(1, newName).Run();
  int64_t target = db_->LastInsertId();
  for (const char* sql : {"INSERT INTO services(profile_id, uid, name, ordinal) "
                          "SELECT ?2, uid, name, ordinal FROM services WHERE profile_id = ?1",
                          "INSERT INTO providers(profile_id, uid, service_uid, resource_type, ordinal) "
                          "SELECT ?2, uid, service_uid, resource_type, ordinal FROM providers WHERE profile_id = ?1",
                          "INSERT INTO props(profile_id, section, prop_id, tag, value) "
                          "SELECT ?2, section, prop_id, tag, value FROM props WHERE profile_id = ?1"})
    db_->Prepare(sql).Bind(1, source).Bind(2, target).Run();
  transaction.Commit();
}

void TProfileDatabase::SetDefaultProfile(const std::optional<std::string>& name) {
  TSqlTransaction transaction(*db_);
  std::optional<int64_t> id;
  if (name) id = RequireProfile(*name);
  db_->Execute("UPDATE profiles SET is_default = 0 WHERE is_default <> 0");
  if (id) db_->Prepare("UPDATE profiles SET is_default = 1 WHERE id = ?").Bind(1, *id).Run();
  transaction.Commit();
}

// Services and providers ------------------------------------------------------------------------

std::vector<TServiceInfo> TProfileDatabase::Services(const std::string& profile) {
  int64_t id = RequireProfile(profile);
  std::vector<TServiceInfo> result;
  auto query = db_->Prepare("SELECT uid, name FROM services WHERE profile_id = ? ORDER BY ordinal");
  query.Bind(1, id);
  while (query.Step()) result.push_back({UidFrom(query.Blob(0)), query.Text(1)});
  return result;
}

std::vector<TProviderInfo> TProfileDatabase::Providers(const std::string& profile, const MAPIUID* service) {
  int64_t id = RequireProfile(profile);
  auto query = db_->Prepare(
      "SELECT uid, service_uid, resource_type FROM providers WHERE profile_id = ?1 "
      "AND (?2 IS NULL OR service_uid = ?2) ORDER BY ordinal");
  query.Bind(1, id);
  if (service) query.Bind(2, UidBytes(*service));
  std::vector<TProviderInfo> result;
  while (query.Step())
    result.push_back({UidFrom(query.Blob(0)), UidFrom(query.Blob(1)), static_cast<ULONG>(query.Int(2))});
  if (service && result.empty()) {
    auto exists = db_->Prepare("SELECT 1 FROM services WHERE profile_id = ? AND uid = ?");
    exists.Bind(1, id).Bind(2, UidBytes(*service));
    if (!exists.Step()) NotFound("The message service does not exist.");
  }
  return result;
}

void TProfileDatabase::WriteProp(int64_t profile, const MAPIUID& section, const TStoredProp& prop) {
  db_->Prepare("INSERT OR REPLACE INTO props(profile_id, section, prop_id, tag, value) VALUES(?, ?, ?, ?, ?)")
      .Bind(1, profile)
      .Bind(2, UidBytes(section))
      .Bind(3, PROP_ID(prop.tag))
      .Bind(4, prop.tag)
      .Bind(5, prop.value)
      .Run();
}

void TProfileDatabase::AddService(const std::string& profile, const TServicePlan& plan) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  db_->Prepare(
         "INSERT INTO services(profile_id, uid, name, ordinal) "
         "SELECT ?1, ?2, ?3, COALESCE(MAX(ordinal), 0) + 1 FROM services WHERE profile_id = ?1")
      .Bind(1, id)
      .Bind(2, UidBytes(plan.service.uid))
      .Bind(3, plan.service.name)
      .Run();
  for (const TProviderInfo& provider : plan.providers)
    db_->Prepare(
           "INSERT INTO providers(profile_id, uid, service_uid, resource_type, ordinal) "
           "SELECT ?1, ?2, ?3, ?4, COALESCE(MAX(ordinal), 0) + 1 FROM providers WHERE profile_id = ?1")
        .Bind(1, id)
        .Bind(2, UidBytes(provider.uid))
        .Bind(3, UidBytes(plan.service.uid))
        .Bind(4, provider.resourceType)
        .Run();
  for (const TSectionData& section : plan.sections)
    for (const TStoredProp& prop : section.props) WriteProp(id, section.uid, prop);
  if (!DefaultStoreProvider(id))
    for (const TProviderInfo& provider : plan.providers)
      if (provider.resourceType == MAPI_STORE_PROVIDER && MayBeDefaultStore(id, provider.uid)) {
        MakeDefaultStore(id, provider.uid, plan.service.uid);
        break;
      }
  transaction.Commit();
}

void TProfileDatabase::DeleteService(const std::string& profile, const MAPIUID& service) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  auto exists = db_->Prepare("SELECT 1 FROM services WHERE profile_id = ? AND uid = ?");
  exists.Bind(1, id).Bind(2, UidBytes(service));
  if (!exists.Step()) NotFound("The message service does not exist.");
  db_->Prepare(
         "DELETE FROM props WHERE profile_id = ?1 AND (section = ?2 OR section IN "
         "(SELECT uid FROM providers WHERE profile_id = ?1 AND service_uid = ?2))")
      .Bind(1, id)
      .Bind(2, UidBytes(service))
      .Run();
  db_->Prepare("DELETE FROM services WHERE profile_id = ? AND uid = ?").Bind(1, id).Bind(2, UidBytes(service)).Run();
  EnsureDefaultStore(id);
  transaction.Commit();
}

void TProfileDatabase::EnsureDefaultStore(int64_t profile) {
  if (DefaultStoreProvider(profile)) return;
  auto next = db_->Prepare(
      "SELECT uid, service_uid FROM providers WHERE profile_id = ? AND resource_type = ? ORDER BY ordinal");
  next.Bind(1, profile).Bind(2, MAPI_STORE_PROVIDER);
  while (next.Step())
    if (MayBeDefaultStore(profile, UidFrom(next.Blob(0)))) {
      MakeDefaultStore(profile, UidFrom(next.Blob(0)), UidFrom(next.Blob(1)));
      return;
    }
}

bool TProfileDatabase::MayBeDefaultStore(int64_t profile, const MAPIUID& provider) {
  auto query = db_->Prepare("SELECT value FROM props WHERE profile_id = ? AND section = ? AND tag = ?");
  query.Bind(1, profile).Bind(2, UidBytes(provider)).Bind(3, tags::kResourceFlags);
  return !query.Step() || !(DecodeLong(tags::kResourceFlags, query.Blob(0)) & STATUS_NO_DEFAULT_STORE);
}

void TProfileDatabase::AddProvider(const std::string& profile, const TProviderInfo& provider,
                                   const TStoredProps& section) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  auto exists = db_->Prepare("SELECT 1 FROM services WHERE profile_id = ? AND uid = ?");
  exists.Bind(1, id).Bind(2, UidBytes(provider.serviceUid));
  if (!exists.Step()) NotFound("The message service does not exist.");
  db_->Prepare(
         "INSERT INTO providers(profile_id, uid, service_uid, resource_type, ordinal) "
         "SELECT ?1, ?2, ?3, ?4, COALESCE(MAX(ordinal), 0) + 1 FROM providers WHERE profile_id = ?1")
      .Bind(1, id)
      .Bind(2, UidBytes(provider.uid))
      .Bind(3, UidBytes(provider.serviceUid))
      .Bind(4, provider.resourceType)
      .Run();
  for (const TStoredProp& prop : section) WriteProp(id, provider.uid, prop);
  EnsureDefaultStore(id);
  transaction.Commit();
}

void TProfileDatabase::DeleteProvider(const std::string& profile, const MAPIUID& provider) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  auto exists = db_->Prepare("SELECT 1 FROM providers WHERE profile_id = ? AND uid = ?");
  exists.Bind(1, id).Bind(2, UidBytes(provider));
  if (!exists.Step()) NotFound("The provider does not exist.");
  db_->Prepare("DELETE FROM props WHERE profile_id = ? AND section = ?").Bind(1, id).Bind(2, UidBytes(provider)).Run();
  db_->Prepare("DELETE FROM providers WHERE profile_id = ? AND uid = ?").Bind(1, id).Bind(2, UidBytes(provider)).Run();
  EnsureDefaultStore(id);
  transaction.Commit();
}

void TProfileDatabase::SetPrimaryIdentity(const std::string& profile, const MAPIUID& service) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  auto exists = db_->Prepare("SELECT 1 FROM services WHERE profile_id = ? AND uid = ?");
  exists.Bind(1, id).Bind(2, UidBytes(service));
  if (!exists.Step()) NotFound("The message service does not exist.");
  auto services = db_->Prepare("SELECT uid FROM services WHERE profile_id = ?");
  services.Bind(1, id);
  while (services.Step()) ChangeResourceFlags(id, UidFrom(services.Blob(0)), 0, SERVICE_PRIMARY_IDENTITY);
  auto providers = db_->Prepare("SELECT uid FROM providers WHERE profile_id = ?");
  providers.Bind(1, id);
  while (providers.Step()) ChangeResourceFlags(id, UidFrom(providers.Blob(0)), 0, STATUS_PRIMARY_IDENTITY);
  ChangeResourceFlags(id, service, SERVICE_PRIMARY_IDENTITY, 0);
  auto first = db_->Prepare("SELECT uid FROM providers WHERE profile_id = ? AND service_uid = ? ORDER BY ordinal");
  first.Bind(1, id).Bind(2, UidBytes(service));
  if (first.Step()) ChangeResourceFlags(id, UidFrom(first.Blob(0)), STATUS_PRIMARY_IDENTITY, 0);
  transaction.Commit();
}

void TProfileDatabase::SetStoreFlag(const std::string& profile, const MAPIUID& storeProvider, ULONG flag) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  RequireStoreProvider(id, storeProvider);
  auto stores = db_->Prepare("SELECT uid FROM providers WHERE profile_id = ? AND resource_type = ?");
  stores.Bind(1, id).Bind(2, MAPI_STORE_PROVIDER);
  while (stores.Step()) ChangeResourceFlags(id, UidFrom(stores.Blob(0)), 0, flag);
  ChangeResourceFlags(id, storeProvider, flag, 0);
  transaction.Commit();
}

MAPIUID TProfileDatabase::RequireStoreProvider(int64_t profile, const MAPIUID& provider) {
  auto query = db_->Prepare("SELECT service_uid FROM providers WHERE profile_id = ? AND uid = ? AND resource_type = ?");
  query.Bind(1, profile).Bind(2, UidBytes(provider)).Bind(3, MAPI_STORE_PROVIDER);
  if (!query.Step()) NotFound("The message store provider does not exist.");
  return UidFrom(query.Blob(0));
}

void TProfileDatabase::SetDefaultStore(const std::string& profile, const MAPIUID& storeProvider) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  MAPIUID service = RequireStoreProvider(id, storeProvider);
  if (!MayBeDefaultStore(id, storeProvider))
    throw TMapiError(MAPI_E_NO_ACCESS, "The message store cannot be the default store.");
  MakeDefaultStore(id, storeProvider, service);
  transaction.Commit();
}

std::optional<MAPIUID> TProfileDatabase::DefaultStoreProvider(int64_t profile) {
  auto query = db_->Prepare(
      "SELECT p.uid, s.value FROM providers p JOIN props s ON s.profile_id = p.profile_id "
      "AND s.section = p.uid AND s.tag = ? WHERE p.profile_id = ? AND p.resource_type = ?");
  query.Bind(1, tags::kResourceFlags).Bind(2, profile).Bind(3, MAPI_STORE_PROVIDER);
  while (query.Step())
    if (DecodeLong(tags::kResourceFlags, query.Blob(1)) & STATUS_DEFAULT_STORE) return UidFrom(query.Blob(0));
  return std::nullopt;
}

void TProfileDatabase::MakeDefaultStore(int64_t profile, const MAPIUID& provider, const MAPIUID& service) {
  auto stores = db_->Prepare("SELECT uid, service_uid FROM providers WHERE profile_id = ? AND resource_type = ?");
  stores.Bind(1, profile).Bind(2, MAPI_STORE_PROVIDER);
  while (stores.Step()) {
    ChangeResourceFlags(profile, UidFrom(stores.Blob(0)), 0, STATUS_DEFAULT_STORE);
    ChangeResourceFlags(profile, UidFrom(stores.Blob(1)), 0, SERVICE_DEFAULT_STORE);
  }
  ChangeResourceFlags(profile, provider, STATUS_DEFAULT_STORE, 0);
  ChangeResourceFlags(profile, service, SERVICE_DEFAULT_STORE, 0);
}

void TProfileDatabase::ChangeResourceFlags(int64_t profile, const MAPIUID& section, ULONG set, ULONG clear) {
  auto query = db_->Prepare("SELECT value FROM props WHERE profile_id = ? AND section = ? AND tag = ?");
  query.Bind(1, profile).Bind(2, UidBytes(section)).Bind(3, tags::kResourceFlags);
  ULONG flags = query.Step() ? DecodeLong(tags::kResourceFlags, query.Blob(0)) : 0;
  ULONG changed = (flags & ~clear) | set;
  if (changed != flags || set)
    WriteProp(profile, section, {tags::kResourceFlags, EncodeLong(tags::kResourceFlags, changed)});
}

// Profile sections --------------------------------------------------------------------------------

TStoredProps TProfileDatabase::ReadSection(const std::string& profile, const MAPIUID& section) {
  int64_t id = RequireProfile(profile);
  auto query = db_->Prepare("SELECT tag, value FROM props WHERE profile_id = ? AND section = ? ORDER BY prop_id");
  query.Bind(1, id).Bind(2, UidBytes(section));
  TStoredProps result;
  while (query.Step()) result.push_back({static_cast<ULONG>(query.Int(0)), query.Blob(1)});
  return result;
}

bool TProfileDatabase::HasSection(const std::string& profile, const MAPIUID& section) {
  int64_t id = RequireProfile(profile);
  auto query = db_->Prepare("SELECT 1 FROM props WHERE profile_id = ? AND section = ? LIMIT 1");
  query.Bind(1, id).Bind(2, UidBytes(section));
  return query.Step();
}

void TProfileDatabase::UpdateSection(const std::string& profile, const MAPIUID& section, const TStoredProps& set,
                                     const std::vector<ULONG>& deletedIds) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  for (ULONG propId : deletedIds)
    db_->Prepare("DELETE FROM props WHERE profile_id = ? AND section = ? AND prop_id = ?")
        .Bind(1, id)
        .Bind(2, UidBytes(section))
        .Bind(3, propId)
        .Run();
  for (const TStoredProp& prop : set) WriteProp(id, section, prop);
  transaction.Commit();
}

void TProfileDatabase::UpdateSections(const std::string& profile, const std::vector<TSectionData>& changes) {
  TSqlTransaction transaction(*db_);
  int64_t id = RequireProfile(profile);
  for (const TSectionData& section : changes)
    for (const TStoredProp& prop : section.props) WriteProp(id, section.uid, prop);
  transaction.Commit();
}

}  // namespace orba::store
