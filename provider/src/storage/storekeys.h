// Identifiers of a message store's objects: the store-private entry IDs, and the
// keys that incremental synchronisation works with (source keys, change keys and
// predecessor change lists, all built on XIDs: a 16-byte GUID and a 6-byte counter).
#pragma once

#include <cstdint>
#include <span>

#include "mapi/mapidefs.h"
#include "props/propcodec.h"

namespace orba::store {

enum class TObjectKind : uint16_t { Store = 1, Folder = 2, Message = 3 };

// An entry ID of a store: 4 flag bytes (zero), the store's provider UID (16 bytes),
// the object kind (2 bytes, little-endian) and the object's row id (8 bytes,
// little-endian).
inline constexpr size_t kStoreEntryIdSize = 4 + 16 + 2 + 8;

struct TParsedEntryId {
  TObjectKind kind = TObjectKind::Store;
  int64_t id = 0;
};

Bytes MakeEntryId(const MAPIUID& providerUid, TObjectKind kind, int64_t id);
// Reads an entry ID of the store with providerUid. A null pointer, a wrong length,
// non-zero flags, an unknown kind or an impossible id raise TMapiError with
// MAPI_E_INVALID_ENTRYID; a well-formed entry ID of another store (another UID)
// MAPI_E_UNKNOWN_ENTRYID. Never reads beyond size bytes.
TParsedEntryId ParseEntryId(const MAPIUID& providerUid, const void* data, size_t size);
// Whether the entry ID carries providerUid at its place (any length check included).
bool HasProviderUid(const MAPIUID& providerUid, const void* data, size_t size);

// The largest counter a 6-byte XID holds.
inline constexpr int64_t kMaxXidCounter = (int64_t{1} << 48) - 1;

// An XID: guid followed by the counter in 6 bytes, big-endian (so that byte order is
// counter order). Source keys and change keys are XIDs.
Bytes MakeXid(const GUID& guid, int64_t counter);

// A predecessor change list with changeKey merged in: the list holds at most one XID
// per GUID (the newest); each entry is a size byte followed by the XID. A damaged
// list raises TMapiError(MAPI_E_CORRUPT_DATA).
Bytes MergePredecessors(std::span<const uint8_t> list, std::span<const uint8_t> changeKey);

}  // namespace orba::store
