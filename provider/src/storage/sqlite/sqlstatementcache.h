// The prepared statements a database connection keeps for reuse. A statement a caller
// released is reset, its bindings cleared, and kept under its SQL text, so that the
// next Prepare of the same text skips SQLite's parser and planner. Only idle
// statements are kept: one still in use is never handed out twice (the second caller
// gets a fresh one). The least recently released statements are finalized beyond the
// capacity, so that SQL built on the fly (restrictions) cannot make the cache grow
// without bound.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

struct sqlite3_stmt;

namespace orba::store {

class TSqlStatementCache {
 public:
  explicit TSqlStatementCache(size_t capacity) : capacity_(capacity) {}
  ~TSqlStatementCache() { Clear(); }
  TSqlStatementCache(const TSqlStatementCache&) = delete;
  TSqlStatementCache& operator=(const TSqlStatementCache&) = delete;

  // An idle statement for sql (taken out of the cache), or null when there is none.
  sqlite3_stmt* Take(std::string_view sql);
  // Takes back a statement prepared from sql that its caller is done with.
  void Give(std::string sql, sqlite3_stmt* stmt) noexcept;
  // Finalizes every idle statement.
  void Clear() noexcept;
  size_t Size() const { return idle_.size(); }

 private:
  using TEntry = std::pair<std::string, sqlite3_stmt*>;
  void Evict(std::list<TEntry>::iterator entry) noexcept;

  size_t capacity_;
  std::list<TEntry> idle_;                                                   // most recently released first
  std::unordered_map<std::string_view, std::list<TEntry>::iterator> index_;  // keys point into idle_
};

}  // namespace orba::store
