// Idle prepared statements kept for reuse: see sqlstatementcache.h.
#include "storage/sqlite/sqlstatementcache.h"

#include <sqlite3.h>

namespace orba::store {

sqlite3_stmt* TSqlStatementCache::Take(std::string_view sql) {
  auto found = index_.find(sql);
  if (found == index_.end()) return nullptr;
  sqlite3_stmt* stmt = found->second->second;
  idle_.erase(found->second);
  index_.erase(found);
  return stmt;
}

void TSqlStatementCache::Give(std::string sql, sqlite3_stmt* stmt) noexcept {
  // A statement left half-stepped would keep its read transaction open.
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (capacity_ == 0 || index_.count(sql)) {
    // Two statements of one text were in use at once: one idle copy is enough.
    sqlite3_finalize(stmt);
    return;
  }
  try {
    idle_.emplace_front(std::move(sql), stmt);
    index_.emplace(idle_.front().first, idle_.begin());
  } catch (...) {
    // Out of memory: drop the statement rather than keep an unindexed entry.
    if (!idle_.empty() && idle_.front().second == stmt) idle_.pop_front();
    sqlite3_finalize(stmt);
    return;
  }
  if (idle_.size() > capacity_) Evict(std::prev(idle_.end()));
}

void TSqlStatementCache::Evict(std::list<TEntry>::iterator entry) noexcept {
  index_.erase(entry->first);
  sqlite3_finalize(entry->second);
  idle_.erase(entry);
}

void TSqlStatementCache::Clear() noexcept {
  while (!idle_.empty()) Evict(idle_.begin());
}

}  // namespace orba::store
