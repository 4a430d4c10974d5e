// A thin RAII layer over SQLite for Orba Store's databases: connections opened in WAL
// mode with a busy timeout, prepared statements (kept by the connection for reuse
// once released: sqlstatementcache.h), and write transactions that take
// the write lock at once (BEGIN IMMEDIATE), so that concurrent processes wait for each
// other instead of failing half-way. SQLite failures raise TMapiError with a MAPI
// code (MAPI_E_BUSY when the lock could not be had, MAPI_E_DISK_ERROR otherwise).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/sqlite/sqlstatementcache.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orba::store {

class TSqlStatement;

class TSqlDatabase {
 public:
  // Opens (creating) the database file; the folder must exist.
  explicit TSqlDatabase(const std::string& path);
  ~TSqlDatabase();
  TSqlDatabase(const TSqlDatabase&) = delete;
  TSqlDatabase& operator=(const TSqlDatabase&) = delete;

  void Execute(std::string_view sql);
  // A statement for sql: an idle one of the same text when the connection kept one,
  // else a newly prepared one. Statements must not outlive their connection.
  TSqlStatement Prepare(std::string_view sql);
  int64_t LastInsertId() const;
  int Changes() const;
  sqlite3* Handle() const { return db_; }
  [[noreturn]] void Fail(int rc) const;
  // How many released statements the connection keeps for reuse.
  size_t IdleStatements() const { return cache_.Size(); }

 private:
  friend class TSqlStatement;
  static constexpr size_t kCachedStatements = 64;

  sqlite3* db_ = nullptr;
  TSqlStatementCache cache_{kCachedStatements};
};

class TSqlStatement {
 public:
  // Gives the statement back to its connection's cache.
  ~TSqlStatement();
  TSqlStatement(TSqlStatement&& other) noexcept;
  TSqlStatement(const TSqlStatement&) = delete;
  TSqlStatement& operator=(const TSqlStatement&) = delete;

  // Parameters are numbered from 1.
  TSqlStatement& Bind(int index, int64_t value);
  TSqlStatement& Bind(int index, std::string_view text);
  TSqlStatement& Bind(int index, std::span<const uint8_t> blob);
  TSqlStatement& BindNull(int index);
  // Makes the statement ready to run again (bindings stay).
  void Reset();
  // Steps once: true while a row is available.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();

  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;
  bool IsNull(int column) const;

 private:
  friend class TSqlDatabase;
  TSqlStatement(TSqlDatabase& db, sqlite3_stmt* stmt, std::string sql) : db_(&db), stmt_(stmt), sql_(std::move(sql)) {}

  TSqlDatabase* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;  // the text the statement was prepared from: its cache key
};

// A read snapshot: the statements run while it lives see one state of the database.
class TSqlReadSnapshot {
 public:
  explicit TSqlReadSnapshot(TSqlDatabase& db);
  ~TSqlReadSnapshot();
  TSqlReadSnapshot(const TSqlReadSnapshot&) = delete;
  TSqlReadSnapshot& operator=(const TSqlReadSnapshot&) = delete;

 private:
  TSqlDatabase& db_;
};

// A write transaction: BEGIN IMMEDIATE now, COMMIT on Commit(), ROLLBACK if destroyed
// without it.
class TSqlTransaction {
 public:
  explicit TSqlTransaction(TSqlDatabase& db);
  ~TSqlTransaction();
  TSqlTransaction(const TSqlTransaction&) = delete;
  TSqlTransaction& operator=(const TSqlTransaction&) = delete;
  void Commit();

 private:
  TSqlDatabase& db_;
  bool done_ = false;
};

}  // namespace orba::store
