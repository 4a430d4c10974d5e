// Entry IDs, XIDs and predecessor change lists: see storekeys.h.
#include "storage/storekeys.h"

#include <algorithm>
#include <cstring>

#include "base/maperror.h"

namespace orba::store {
namespace {

constexpr size_t kUidOffset = 4;
constexpr size_t kKindOffset = 20;
constexpr size_t kIdOffset = 22;
constexpr size_t kXidSize = 22;

[[noreturn]] void Invalid() { throw TMapiError(MAPI_E_INVALID_ENTRYID, "The entry ID is not valid."); }

bool KnownKind(uint16_t kind) {
  return kind == static_cast<uint16_t>(TObjectKind::Store) || kind == static_cast<uint16_t>(TObjectKind::Folder) ||
         kind == static_cast<uint16_t>(TObjectKind::Message);
}

}  // namespace

Bytes MakeEntryId(const MAPIUID& providerUid, TObjectKind kind, int64_t id) {
  Bytes bytes(kStoreEntryIdSize, 0);
  std::memcpy(bytes.data() + kUidOffset, providerUid.ab, sizeof(providerUid.ab));
  auto k = static_cast<uint16_t>(kind);
  bytes[kKindOffset] = static_cast<uint8_t>(k);
  bytes[kKindOffset + 1] = static_cast<uint8_t>(k >> 8);
  auto value = static_cast<uint64_t>(id);
  for (size_t i = 0; i < 8; ++i) bytes[kIdOffset + i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

bool HasProviderUid(const MAPIUID& providerUid, const void* data, size_t size) {
  return data && size >= kUidOffset + sizeof(providerUid.ab) &&
         std::memcmp(static_cast<const uint8_t*>(data) + kUidOffset, providerUid.ab, sizeof(providerUid.ab)) == 0;
}

TParsedEntryId ParseEntryId(const MAPIUID& providerUid, const void* data, size_t size) {
  if (!data || size < kUidOffset + sizeof(providerUid.ab)) Invalid();
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!HasProviderUid(providerUid, data, size))
    throw TMapiError(MAPI_E_UNKNOWN_ENTRYID, "The entry ID belongs to another store.");
  if (size != kStoreEntryIdSize || std::any_of(bytes, bytes + kUidOffset, [](uint8_t b) { return b != 0; })) Invalid();
  uint16_t kind = static_cast<uint16_t>(bytes[kKindOffset] | (bytes[kKindOffset + 1] << 8));
  uint64_t id = 0;
  for (size_t i = 0; i < 8; ++i) id |= uint64_t{bytes[kIdOffset + i]} << (8 * i);
  if (!KnownKind(kind) || id > static_cast<uint64_t>(INT64_MAX)) Invalid();
  TParsedEntryId parsed{static_cast<TObjectKind>(kind), static_cast<int64_t>(id)};
  if ((parsed.kind == TObjectKind::Store) != (parsed.id == 0)) Invalid();
  return parsed;
}

Bytes MakeXid(const GUID& guid, int64_t counter) {
  if (counter < 0 || counter > kMaxXidCounter) throw TMapiError(MAPI_E_CALL_FAILED, "The change counter overflowed.");
  Bytes bytes(kXidSize);
  std::memcpy(bytes.data(), &guid, sizeof(GUID));
  for (size_t i = 0; i < 6; ++i) bytes[16 + i] = static_cast<uint8_t>(counter >> (8 * (5 - i)));
  return bytes;
}

Bytes MergePredecessors(std::span<const uint8_t> list, std::span<const uint8_t> changeKey) {
  if (changeKey.size() <= 16 || changeKey.size() > 255)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "A change key is an XID of 17 to 255 bytes.");
  Bytes merged;
  bool replaced = false;
  for (size_t pos = 0; pos < list.size();) {
    size_t entry = list[pos];
    if (entry <= 16 || pos + 1 + entry > list.size())
      throw TMapiError(MAPI_E_CORRUPT_DATA, "A predecessor change list is damaged.");
    auto xid = list.subspan(pos + 1, entry);
    pos += 1 + entry;
    if (std::memcmp(xid.data(), changeKey.data(), 16) == 0) {
      // Same GUID: the newer change replaces the older (counters compare bytewise).
      bool newer = xid.size() > changeKey.size() ||
                   (xid.size() == changeKey.size() &&
                    std::lexicographical_compare(changeKey.begin(), changeKey.end(), xid.begin(), xid.end()));
      xid = newer ? xid : changeKey;
      replaced = true;
    }
    merged.push_back(static_cast<uint8_t>(xid.size()));
    merged.insert(merged.end(), xid.begin(), xid.end());
  }
  if (!replaced) {
    merged.push_back(static_cast<uint8_t>(changeKey.size()));
    merged.insert(merged.end(), changeKey.begin(), changeKey.end());
  }
  return merged;
}

}  // namespace orba::store
