// Creating and opening SQLite stores, and the store's own properties: see
// storedatabase.h.
#include "storage/sqlite/storedatabase.h"

#include <cstring>
#include <filesystem>

#include "base/maperror.h"
#include "storage/profiledb.h"
#include "storage/sqlite/proptables.h"
#include "storage/sqlite/schema.h"
#include "storage/storeengine.h"

namespace orba::store {
namespace {

using sqlite::TStoreDatabase;

void RemoveStoreFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ignored);
}

void LoadIdentity(TStoreDatabase& store) {
  TSqlDatabase& db = store.Db();
  auto exists = db.Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name='store_info'");
  if (!exists.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The file is not a message store.");
  auto stmt = db.Prepare("SELECT version, kind, guid, uid FROM store_info WHERE id=1");
  if (!stmt.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store has no identity.");
  if (stmt.Int(0) != sqlite::kStoreSchemaVersion)
    throw TMapiError(MAPI_E_VERSION, "The message store was written by another version.");
  int64_t kind = stmt.Int(1);
  Bytes guid = stmt.Blob(2);
  Bytes uid = stmt.Blob(3);
  if (kind < 1 || kind > 3 || guid.size() != sizeof(GUID) || uid.size() != sizeof(store.uid.ab))
    throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store's identity is damaged.");
  store.kind = static_cast<TStoreKind>(kind);
  std::memcpy(&store.guid, guid.data(), sizeof(GUID));
  std::memcpy(store.uid.ab, uid.data(), sizeof(store.uid.ab));
}

// Tables later versions added, created in stores made before them.
void AddMissingTables(TStoreDatabase& store) {
  TSqlDatabase& db = store.Db();
  auto has = [&](const char* table) {
    return db.Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?")
        .Bind(1, std::string_view(table))
        .Step();
  };
  bool queue = has("outgoing_queue"), search = has("search_criteria");
  if (queue && search) return;
  TSqlTransaction tx(db);
  if (!queue) db.Execute(sqlite::kOutgoingQueueSchema);
  if (!search) db.Execute(sqlite::kSearchSchema);
  tx.Commit();
}

// The facade over an open store database.
std::shared_ptr<TStoreEngine> EngineOver(std::shared_ptr<TStoreDatabase> store) {
  TStoreEngine::TParts parts;
  parts.kind = store->kind;
  parts.guid = store->guid;
  parts.uid = store->uid;
  parts.props = &store->props;
  parts.folders = &store->folders;
  parts.messages = &store->messages;
  parts.contents = &store->contents;
  parts.submission = &store->submission;
  parts.search = &store->search;
  parts.changes = &store->changes;
  parts.names = std::shared_ptr<INameMap>(store, &store->names);
  parts.backend = std::move(store);
  return std::make_shared<TStoreEngine>(std::move(parts));
}

}  // namespace

std::shared_ptr<TStoreEngine> TStoreEngine::Create(const std::string& path, TStoreKind kind,
                                                   const std::u16string& displayName) {
  if (kind != TStoreKind::Mailbox && kind != TStoreKind::PersonalFile && kind != TStoreKind::PublicFolders)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "Unknown kind of store.");
  if (std::filesystem::exists(path)) throw TMapiError(MAPI_E_COLLISION, "The store " + path + " exists already.");
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  try {
    auto store = std::make_shared<TStoreDatabase>(path);
    auto lock = store->Lock();
    TSqlDatabase& db = store->Db();
    db.Execute("PRAGMA synchronous=FULL");
    TSqlTransaction tx(db);
    db.Execute(sqlite::kStoreSchema);
    db.Execute(sqlite::kOutgoingQueueSchema);
    db.Execute(sqlite::kSearchSchema);
    MAPIUID guid = NewMapiUid();
    MAPIUID uid = NewMapiUid();
    db.Prepare("INSERT INTO store_info(id, version, kind, guid, uid) VALUES(1,?,?,?,?)")
        .Bind(1, int64_t{sqlite::kStoreSchemaVersion})
        .Bind(2, int64_t{static_cast<int>(kind)})
        .Bind(3, std::span<const uint8_t>(guid.ab, sizeof(guid.ab)))
        .Bind(4, std::span<const uint8_t>(uid.ab, sizeof(uid.ab)))
        .Run();
    LoadIdentity(*store);
    if (kind == TStoreKind::PublicFolders)
      store->folders.CreatePublicFolders(displayName);
    else
      store->folders.CreateStandardFolders(displayName);
    tx.Commit();
    lock.unlock();
    return EngineOver(std::move(store));
  } catch (...) {
    // A store that could not be made complete is not left half-made.
    RemoveStoreFiles(path);
    throw;
  }
}

std::shared_ptr<TStoreEngine> TStoreEngine::Open(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) throw TMapiError(MAPI_E_NOT_FOUND, "There is no store " + path + ".");
  auto store = std::make_shared<TStoreDatabase>(path);
  {
    auto lock = store->Lock();
    store->Db().Execute("PRAGMA synchronous=FULL");
    LoadIdentity(*store);
    AddMissingTables(*store);
  }
  return EngineOver(std::move(store));
}

namespace sqlite {

TStoredProps TStoreProps::Read() {
  auto lock = store_.Lock();
  return ReadProps(store_.Db(), "store_props", "owner", 0);
}

void TStoreProps::Change(const TStoredProps& set, const std::vector<ULONG>& deletedIds) {
  CheckProps(set);
  auto lock = store_.Lock();
  TSqlTransaction tx(store_.Db());
  WriteProps(store_.Db(), "store_props", "owner", 0, set, deletedIds);
  tx.Commit();
}

}  // namespace sqlite
}  // namespace orba::store
