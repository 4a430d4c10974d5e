// One message store in an SQLite database (the SQLite backend of storeengine.h): the
// connection every collaborator of the store works on, the lock that serialises their
// use of it within the process, the store's identity, and the collaborators.
//
// Thread-safety: each public method of a collaborator takes Lock() and runs in one
// transaction: a write takes the database's write lock at once (BEGIN IMMEDIATE), so
// that processes wait for each other instead of failing half-way; a read runs in one
// snapshot. A collaborator's steps, which the others call inside such a transaction,
// REQUIRE: the store lock is held and a transaction is open. The lock is recursive, so
// that a method may call another collaborator's public methods.
//
// The database keeps properties losslessly in property tables (proptables.h); the ones
// tables sort and filter on (message class, subject, times, flags, size...) are also kept
// as columns of the messages table (schema.h).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "storage/sqlite/changelog.h"
#include "storage/sqlite/contents.h"
#include "storage/sqlite/folders.h"
#include "storage/sqlite/messages.h"
#include "storage/sqlite/namedprops.h"
#include "storage/sqlite/search.h"
#include "storage/sqlite/sqlite.h"
#include "storage/sqlite/submission.h"
#include "storage/storeprops.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TStoreProps final : public IStoreProps {
 public:
  explicit TStoreProps(TStoreDatabase& store) : store_(store) {}
  TStoredProps Read() override;
  void Change(const TStoredProps& set, const std::vector<ULONG>& deletedIds) override;

 private:
  TStoreDatabase& store_;
};

class TStoreDatabase {
 public:
  // Opens the database at path (created when missing).
  explicit TStoreDatabase(const std::string& path) : db_(path) {}
  TStoreDatabase(const TStoreDatabase&) = delete;
  TStoreDatabase& operator=(const TStoreDatabase&) = delete;

  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(mutex_); }
  // REQUIRES: the store lock is held.
  TSqlDatabase& Db() { return db_; }

  // The identity: set when the store is created or opened, before any collaborator works.
  TStoreKind kind = TStoreKind::PersonalFile;
  GUID guid{};
  MAPIUID uid{};

 private:
  mutable std::recursive_mutex mutex_;
  TSqlDatabase db_;

 public:
  TStoreProps props{*this};
  TChangeLog changes{*this};
  TFolders folders{*this};
  TMessages messages{*this};
  TContents contents{*this};
  TSubmissionQueue submission{*this};
  TSearch search{*this};
  TNameMap names{*this};
};

}  // namespace orba::store::sqlite
