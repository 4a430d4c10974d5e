// SQLite connections, statements and transactions: see sqlite.h.
#include "storage/sqlite/sqlite.h"

#include <sqlite3.h>

#include <utility>

#include "base/maperror.h"
#include "mapi/mapicode.h"

namespace orba::store {
namespace {

// How long a connection waits for another process's write lock.
constexpr int kBusyTimeoutMs = 30000;

}  // namespace

TSqlDatabase::TSqlDatabase(const std::string& path) {
  int rc =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw TMapiError(MAPI_E_DISK_ERROR, "The database " + path + " cannot be opened: " + text);
  }
  try {
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    // Store and profile files may come from anywhere: functions with side effects are
    // not run from their schema (triggers, views), and the schema cannot be written
    // around SQLite's own checks.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=NORMAL");
    Execute("PRAGMA foreign_keys=ON");
  } catch (...) {
    // A file that is no database fails here; no destructor closes the connection.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
}

TSqlDatabase::~TSqlDatabase() {
  cache_.Clear();
  sqlite3_close_v2(db_);
}

void TSqlDatabase::Fail(int rc) const {
  int primary = rc & 0xFF;
  HRESULT code = (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)    ? MAPI_E_BUSY
                 : primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? MAPI_E_CORRUPT_DATA
                 : primary == SQLITE_FULL                                ? MAPI_E_NOT_ENOUGH_DISK
                 : primary == SQLITE_NOMEM                               ? MAPI_E_NOT_ENOUGH_MEMORY
                                                                         : MAPI_E_DISK_ERROR;
  throw TMapiError(code, std::string("Database failure: ") + sqlite3_errmsg(db_));
}

void TSqlDatabase::Execute(std::string_view sql) {
  std::string text(sql);
  int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
}

TSqlStatement TSqlDatabase::Prepare(std::string_view sql) {
  if (sqlite3_stmt* idle = cache_.Take(sql)) return TSqlStatement(*this, idle, std::string(sql));
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    Fail(rc);
  }
  return TSqlStatement(*this, stmt, std::string(sql));
}
int64_t TSqlDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int TSqlDatabase::Changes() const { return sqlite3_changes(db_); }

TSqlStatement::~TSqlStatement() {
  if (stmt_) db_->cache_.Give(std::move(sql_), stmt_);
}

TSqlStatement::TSqlStatement(TSqlStatement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), sql_(std::move(other.sql_)) {}

TSqlStatement& TSqlStatement::Bind(int index, int64_t value) {
  int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) db_->Fail(rc);
  return *this;
}

TSqlStatement& TSqlStatement::Bind(int index, std::string_view text) {
  int rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) db_->Fail(rc);
  return *this;
}

TSqlStatement& TSqlStatement::Bind(int index, std::span<const uint8_t> blob) {
  // A zero-length blob still binds as a blob, not as NULL.
  static const uint8_t empty = 0;
  int rc = sqlite3_bind_blob(stmt_, index, blob.empty() ? &empty : blob.data(), static_cast<int>(blob.size()),
                             SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) db_->Fail(rc);
  return *this;
}

TSqlStatement& TSqlStatement::BindNull(int index) {
  int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) db_->Fail(rc);
  return *this;
}

void TSqlStatement::Reset() { sqlite3_reset(stmt_); }

bool TSqlStatement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

bool TSqlStatement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  db_->Fail(rc);
}

void TSqlStatement::Run() {
  while (Step()) {
  }
}

int64_t TSqlStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string TSqlStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text),
                            static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
              : std::string();
}

std::vector<uint8_t> TSqlStatement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  return data ? std::vector<uint8_t>(data, data + sqlite3_column_bytes(stmt_, column)) : std::vector<uint8_t>();
}

TSqlReadSnapshot::TSqlReadSnapshot(TSqlDatabase& db) : db_(db) { db_.Execute("BEGIN"); }

TSqlReadSnapshot::~TSqlReadSnapshot() {
  try {
    db_.Execute("COMMIT");
  } catch (...) {
    // A read transaction has nothing to lose; the next BEGIN reports a real failure.
  }
}

TSqlTransaction::TSqlTransaction(TSqlDatabase& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }

TSqlTransaction::~TSqlTransaction() {
  if (!done_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TSqlTransaction::Commit() {
  db_.Execute("COMMIT");
  done_ = true;
}

}  // namespace orba::store
