// Internals shared by the store engine's implementation files: the connection, value
// helpers, property tables and change stamping.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/sqlite.h"
#include "memory/mapimemory.h"
#include "storage/storeengine.h"

namespace orba::store {

struct TStoreConnection {
  explicit TStoreConnection(const std::string& path) : db(path) {}
  std::recursive_mutex mutex;
  TSqlDatabase db;
};

// A read snapshot: several statements see one state of the database.
class TSqlReadSnapshot {
 public:
  explicit TSqlReadSnapshot(TSqlDatabase& db);
  ~TSqlReadSnapshot();
  TSqlReadSnapshot(const TSqlReadSnapshot&) = delete;
  TSqlReadSnapshot& operator=(const TSqlReadSnapshot&) = delete;

 private:
  TSqlDatabase& db_;
};

namespace detail {

// Decodes a stored value onto holder (a new MAPI buffer) and returns it.
const SPropValue& Decode(const TStoredProp& prop, TMapiBuffer<SPropValue>& holder);
const TStoredProp* FindProp(const TStoredProps& props, ULONG propId);
// The text of a string property (either width), if it is one.
std::optional<std::u16string> TextValue(const TStoredProp& prop);
// The value of a PT_LONG, PT_BOOLEAN, PT_I8 or PT_SYSTIME property, if it is one.
std::optional<int64_t> IntValue(const TStoredProp& prop);
TStoredProp TextProp(ULONG tag, std::u16string_view text);
TStoredProp LongProp(ULONG tag, ULONG value);
TStoredProp BinaryProp(ULONG tag, const Bytes& bytes);
TStoredProp TimeProp(ULONG tag, int64_t fileTime);
// The sort key of a text: upper-case folded UTF-16 code units, big-endian, so that
// SQLite's BLOB order is the table engine's text order.
Bytes FoldKey(std::u16string_view text);
// A property list in one blob (recipient rows).
Bytes EncodePropList(const TStoredProps& props);
TStoredProps DecodePropList(std::span<const uint8_t> bytes);
// Checks that every value decodes under its tag (MAPI_E_INVALID_TYPE for a type
// that cannot be stored, MAPI_E_CORRUPT_DATA for bytes that do not fit it).
void CheckProps(const TStoredProps& props);
uint64_t SizeOf(const TStoredProps& props);

// Property tables: table has columns (owner, prop_id, tag, value); deletedIds are
// property identifiers (PROP_ID).
TStoredProps ReadProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id);
void WriteProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id, const TStoredProps& set,
                const std::vector<ULONG>& deletedIds = {});

// Counters of store_info: "change_number" or "global_counter"; the next value.
int64_t NextCounter(TSqlDatabase& db, std::string_view column);
// A new change on an object: the next change number, its change key and the
// predecessor list merged with it.
TChangeState NewChange(TSqlDatabase& db, const GUID& guid, const TChangeState& previous);
// A new object's change state (a new source key and a first change).
TChangeState NewObject(TSqlDatabase& db, const GUID& guid);
void AddTombstone(TSqlDatabase& db, int64_t folderId, TObjectKind kind, const Bytes& sourceKey, int64_t changeNumber,
                  bool soft, bool associated);

}  // namespace detail
}  // namespace orba::store

namespace orba::store {

// Engine steps that run inside a transaction the caller holds.
struct TStoreEngine::Impl {
  // The database and the engine's lock, for readers outside the engine (table sources).
  static TSqlDatabase& Database(const TStoreEngine& engine) { return engine.Db(); }
  static std::unique_lock<std::recursive_mutex> Locked(const TStoreEngine& engine) { return engine.Lock(); }
  static int64_t InsertFolder(TStoreEngine& engine, int64_t parentId, const std::u16string& name, ULONG folderType,
                              const TStoredProps& props);
  static void CreateStandardFolders(TStoreEngine& engine, const std::u16string& displayName);
  static void CreatePublicFolders(TStoreEngine& engine, const std::u16string& displayName);
  static void SetSpecialFolder(TStoreEngine& engine, TSpecialFolder folder, int64_t id);
  static TFolderRecord ReadFolder(TStoreEngine& engine, int64_t id);
  static TMessageRecord ReadMessage(TStoreEngine& engine, int64_t id);
  // A live message of a folder (not soft-deleted, not embedded); MAPI_E_NOT_FOUND otherwise.
  static TMessageRecord LiveMessage(TStoreEngine& engine, int64_t id);
  // SaveMessage's work inside the caller's transaction: replaces a live message's
  // content and stamps the change.
  static void RewriteMessage(TStoreEngine& engine, int64_t id, const TMessageImage& image,
                             std::optional<int64_t> expectedChangeNumber);
  static int64_t InsertMessage(TStoreEngine& engine, int64_t folderId, int64_t attachmentId, bool associated,
                               const TMessageImage& image, const TMessageRecord* origin);
  static TMessageImage ReadImage(TStoreEngine& engine, int64_t id);
  // TMapiError for values that cannot be decoded and duplicate row ids or attachment
  // numbers, in the message and its embedded messages.
  static void CheckImage(const TMessageImage& image);
  static void DeleteMessageRow(TStoreEngine& engine, const TMessageRecord& message, bool soft);
  static void DeleteFolderTree(TStoreEngine& engine, const TFolderRecord& folder);
  // Gives the folder copy the criteria of the search folder source, if it has any.
  static void CopySearchCriteria(TStoreEngine& engine, int64_t source, int64_t copy);
};

}  // namespace orba::store
