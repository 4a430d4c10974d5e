// The store engine: opening and creating stores, the store's own properties,
// receive folders and the named-property map. Folders and messages live in
// storefolders.cpp and storemessages.cpp.
#include <cstring>
#include <filesystem>

#include "base/maperror.h"
#include "profiles/services.h"
#include "storage/profiledb.h"
#include "storage/sqlite/namedprops.h"
#include "storage/sqlite/schema.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store {
namespace {

void RemoveStoreFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ignored);
}

}  // namespace

TStoreEngine::TStoreEngine(std::shared_ptr<TStoreConnection> connection) : conn_(std::move(connection)) {}
TStoreEngine::~TStoreEngine() = default;

std::unique_lock<std::recursive_mutex> TStoreEngine::Lock() const { return std::unique_lock(conn_->mutex); }
TSqlDatabase& TStoreEngine::Db() const { return conn_->db; }

std::shared_ptr<TStoreEngine> TStoreEngine::Create(const std::string& path, TStoreKind kind,
                                                   const std::u16string& displayName) {
  if (kind != TStoreKind::Mailbox && kind != TStoreKind::PersonalFile && kind != TStoreKind::PublicFolders)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "Unknown kind of store.");
  if (std::filesystem::exists(path)) throw TMapiError(MAPI_E_COLLISION, "The store " + path + " exists already.");
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  try {
    std::shared_ptr<TStoreEngine> engine(new TStoreEngine(std::make_shared<TStoreConnection>(path)));
    TSqlDatabase& db = engine->Db();
    db.Execute("PRAGMA synchronous=FULL");
    TSqlTransaction tx(db);
    db.Execute(kStoreSchema);
    db.Execute(kOutgoingQueueSchema);
    db.Execute(kSearchSchema);
    MAPIUID guid = NewMapiUid();
    MAPIUID uid = NewMapiUid();
    db.Prepare("INSERT INTO store_info(id, version, kind, guid, uid) VALUES(1,?,?,?,?)")
        .Bind(1, int64_t{kStoreSchemaVersion})
        .Bind(2, int64_t{static_cast<int>(kind)})
        .Bind(3, std::span<const uint8_t>(guid.ab, sizeof(guid.ab)))
        .Bind(4, std::span<const uint8_t>(uid.ab, sizeof(uid.ab)))
        .Run();
    engine->LoadIdentity();
    if (kind == TStoreKind::PublicFolders)
      Impl::CreatePublicFolders(*engine, displayName);
    else
      Impl::CreateStandardFolders(*engine, displayName);
    tx.Commit();
    return engine;
  } catch (...) {
    // A store that could not be made complete is not left half-made.
    RemoveStoreFiles(path);
    throw;
  }
}

std::shared_ptr<TStoreEngine> TStoreEngine::Open(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) throw TMapiError(MAPI_E_NOT_FOUND, "There is no store " + path + ".");
  std::shared_ptr<TStoreEngine> engine(new TStoreEngine(std::make_shared<TStoreConnection>(path)));
  engine->Db().Execute("PRAGMA synchronous=FULL");
  engine->LoadIdentity();
  engine->AddMissingTables();
  return engine;
}

void TStoreEngine::LoadIdentity() {
  TSqlDatabase& db = Db();
  auto exists = db.Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name='store_info'");
  if (!exists.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The file is not a message store.");
  auto stmt = db.Prepare("SELECT version, kind, guid, uid FROM store_info WHERE id=1");
  if (!stmt.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store has no identity.");
  if (stmt.Int(0) != kStoreSchemaVersion)
    throw TMapiError(MAPI_E_VERSION, "The message store was written by another version.");
  int64_t kind = stmt.Int(1);
  Bytes guid = stmt.Blob(2);
  Bytes uid = stmt.Blob(3);
  if (kind < 1 || kind > 3 || guid.size() != sizeof(GUID) || uid.size() != sizeof(uid_.ab))
    throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store's identity is damaged.");
  kind_ = static_cast<TStoreKind>(kind);
  std::memcpy(&guid_, guid.data(), sizeof(GUID));
  std::memcpy(uid_.ab, uid.data(), sizeof(uid_.ab));
  names_ = std::make_shared<TStoreNameMap>(conn_);
}

void TStoreEngine::AddMissingTables() {
  auto lock = Lock();
  auto has = [&](const char* table) {
    return Db()
        .Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?")
        .Bind(1, std::string_view(table))
        .Step();
  };
  bool queue = has("outgoing_queue"), search = has("search_criteria");
  if (queue && search) return;
  TSqlTransaction tx(Db());
  if (!queue) Db().Execute(kOutgoingQueueSchema);
  if (!search) Db().Execute(kSearchSchema);
  tx.Commit();
}

ULONG TStoreEngine::SupportMask() const {
  ULONG mask = STORE_ENTRYID_UNIQUE | STORE_MODIFY_OK | STORE_CREATE_OK | STORE_ATTACH_OK | STORE_MV_PROPS_OK |
               STORE_RTF_OK | STORE_HTML_OK | STORE_ANSI_OK | STORE_UNICODE_OK | STORE_RESTRICTION_OK | STORE_SORT_OK |
               STORE_SEARCH_OK;
  if (kind_ == TStoreKind::PublicFolders) mask |= STORE_PUBLIC_FOLDERS;
  // Mailboxes and personal files send mail through the store's transport.
  else
    mask |= STORE_SUBMIT_OK;
  return mask;
}

MAPIUID TStoreEngine::MdbProvider() const {
  switch (kind_) {
    case TStoreKind::Mailbox: return kExchangeMdbProvider;
    case TStoreKind::PublicFolders: return kExchangePublicMdbProvider;
    default: return kPstMdbProvider;
  }
}

TParsedEntryId TStoreEngine::ParseEntryId(const void* data, size_t size) const {
  return orba::store::ParseEntryId(uid_, data, size);
}

TStoredProps TStoreEngine::StoreProps() {
  auto lock = Lock();
  return detail::ReadProps(Db(), "store_props", "owner", 0);
}

void TStoreEngine::ChangeStoreProps(const TStoredProps& set, const std::vector<ULONG>& deletedIds) {
  detail::CheckProps(set);
  auto lock = Lock();
  TSqlTransaction tx(Db());
  detail::WriteProps(Db(), "store_props", "owner", 0, set, deletedIds);
  tx.Commit();
}

int64_t TStoreEngine::CurrentChangeNumber() {
  auto lock = Lock();
  auto stmt = Db().Prepare("SELECT change_number FROM store_info WHERE id=1");
  if (!stmt.Step()) throw TMapiError(MAPI_E_CORRUPT_DATA, "The message store has no identity.");
  return stmt.Int(0);
}

void TStoreEngine::CheckReceivesMail() const {
  if (kind_ == TStoreKind::PublicFolders)
    throw TMapiError(MAPI_E_NO_SUPPORT, "The public folders store has no receive folders.");
}

TStoreEngine::TReceiveFolder TStoreEngine::GetReceiveFolder(const std::string& messageClass) {
  CheckReceivesMail();
  auto lock = Lock();
  // The longest registered class that is messageClass or a dot-separated prefix of it.
  auto stmt = Db().Prepare(
      "SELECT message_class, folder_id FROM receive_folders WHERE message_class='' "
      "OR lower(?1)=lower(message_class) OR lower(substr(?1, 1, length(message_class)+1))=lower(message_class||'.') "
      "ORDER BY length(message_class) DESC LIMIT 1");
  stmt.Bind(1, messageClass);
  if (!stmt.Step()) throw TMapiError(MAPI_E_NOT_FOUND, "There is no receive folder.");
  return {stmt.Text(0), stmt.Int(1)};
}

void TStoreEngine::SetReceiveFolder(const std::string& messageClass, int64_t folderId) {
  CheckReceivesMail();
  auto lock = Lock();
  TSqlTransaction tx(Db());
  if (folderId == 0) {
    if (messageClass.empty())
      throw TMapiError(MAPI_E_CALL_FAILED, "The receive folder of the default class cannot be removed.");
    Db().Prepare("DELETE FROM receive_folders WHERE message_class=?").Bind(1, messageClass).Run();
  } else {
    Impl::ReadFolder(*this, folderId);
    Db().Prepare("INSERT OR REPLACE INTO receive_folders(message_class, folder_id) VALUES(?,?)")
        .Bind(1, messageClass)
        .Bind(2, folderId)
        .Run();
  }
  tx.Commit();
}

std::vector<TStoreEngine::TReceiveFolder> TStoreEngine::ReceiveFolders() {
  CheckReceivesMail();
  auto lock = Lock();
  auto stmt = Db().Prepare("SELECT message_class, folder_id FROM receive_folders ORDER BY message_class");
  std::vector<TReceiveFolder> folders;
  while (stmt.Step()) folders.push_back({stmt.Text(0), stmt.Int(1)});
  return folders;
}

}  // namespace orba::store
