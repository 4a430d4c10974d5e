// The SQLite backend's messages: see storage/messages.h. Besides the interface, the
// steps other collaborators call, and the reading of message rows.
#pragma once

#include <optional>

#include "storage/messages.h"
#include "storage/sqlite/sqlite.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TMessages final : public IStoreMessages {
 public:
  explicit TMessages(TStoreDatabase& store) : store_(store) {}

  int64_t Create(int64_t folderId, bool associated, const TMessageImage& image, TMessageRecord* created) override;
  TMessageRecord Save(int64_t id, const TMessageImage& image, std::optional<int64_t> expectedChangeNumber) override;
  TMessageRecord Get(int64_t id) override;
  TMessageImage Load(int64_t id) override;
  TStoredProps Values(int64_t id, const std::vector<ULONG>& propIds) override;
  std::vector<int64_t> Ids(int64_t folderId, bool associated) override;
  TReadFlagChange ApplyReadFlags(int64_t id, ULONG readFlags) override;
  ULONG SetStatus(int64_t id, ULONG status, ULONG mask) override;
  int64_t Copy(int64_t id, int64_t destFolderId) override;
  int64_t Import(int64_t folderId, const TMessageRecord& origin, const TMessageImage& image) override;
  void Move(int64_t id, int64_t destFolderId) override;
  void Delete(int64_t id, bool soft) override;

  // The columns of a message row, and the record a statement selecting them reads.
  static const char* const kColumns;
  static TMessageRecord RecordFrom(const TSqlStatement& stmt);
  // TMapiError for values that cannot be kept, and for duplicate row ids or attachment
  // numbers, in the message and its embedded messages.
  static void CheckImage(const TMessageImage& image);

  // Steps. REQUIRES: the store lock is held and a transaction is open (a write
  // transaction for those that write).
  // Any message row (embedded and soft-deleted ones too); MAPI_E_NOT_FOUND otherwise.
  TMessageRecord Read(int64_t id);
  // A message of a folder, not soft-deleted; MAPI_E_NOT_FOUND otherwise.
  TMessageRecord Live(int64_t id);
  TMessageImage ReadImage(int64_t id);
  // The live messages of a folder (of one kind, or both), in id order.
  std::vector<int64_t> LiveIds(int64_t folderId, std::optional<bool> associated);
  // A new message in folderId, or embedded in attachmentId; origin (a copy's original)
  // gives its client flags, status and search key.
  int64_t Insert(int64_t folderId, int64_t attachmentId, bool associated, const TMessageImage& image,
                 const TMessageRecord* origin);
  // Save's work: replaces a live message's content and stamps the change.
  void Rewrite(int64_t id, const TMessageImage& image, std::optional<int64_t> expectedChangeNumber);
  // Deletes a message (soft: marks it deleted) and leaves its tombstone.
  void DeleteRow(const TMessageRecord& message, bool soft);
  // Sets the flags of a message, stamped as a change of its own (moved to folderId on
  // the way when that is another folder).
  void StampFlags(const TMessageRecord& record, ULONG flags, int64_t folderId);

 private:
  void WriteContent(int64_t id, const TMessageImage& image);
  // Stores a message's new read state and pending receipt flags, stamped as a
  // read-state change; false when nothing changes.
  bool ChangeReadFlags(const TMessageRecord& record, ULONG flags);

  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
