// Entry IDs as the session reads them: see storeentryid.h.
#include "session/storeentryid.h"

#include <cstring>

#include "base/maperror.h"

namespace orba::store {
namespace {

constexpr size_t kFlagsSize = 4;
constexpr size_t kHeaderSize = kFlagsSize + sizeof(MAPIUID);  // flags and provider UID
constexpr size_t kWrapFixedSize = kHeaderSize + 2;            // version and flag bytes

[[noreturn]] void Invalid(const char* text) { throw TMapiError(MAPI_E_INVALID_ENTRYID, text); }

size_t Padded(size_t size) { return (size + 3) & ~size_t{3}; }

}  // namespace

std::span<const BYTE> EntryIdBytes(ULONG cb, const ENTRYID* entryId) {
  if (!entryId && cb) throw TMapiError(MAPI_E_INVALID_PARAMETER, "The entry ID pointer is null.");
  if (!entryId || cb < kHeaderSize) Invalid("The entry ID is too short.");
  return {reinterpret_cast<const BYTE*>(entryId), cb};
}

MAPIUID EntryIdProviderUid(std::span<const BYTE> entryId) {
  MAPIUID uid;
  std::memcpy(uid.ab, entryId.data() + kFlagsSize, sizeof(uid.ab));
  return uid;
}

Bytes ProviderEntryId(const MAPIUID& provider) {
  // Sized in one step: GCC 12 at -O3 misreads an insert after the flag bytes as an
  // out-of-bounds copy.
  Bytes bytes(kFlagsSize + sizeof(provider.ab), 0);
  std::memcpy(bytes.data() + kFlagsSize, provider.ab, sizeof(provider.ab));
  return bytes;
}

Bytes WrapStoreEntryId(const std::string& dllName, std::span<const BYTE> storeEntryId) {
  // Flags, version and flag bytes stay zero; the name keeps its terminator and padding.
  size_t inner = Padded(kWrapFixedSize + dllName.size() + 1);
  Bytes bytes(inner + storeEntryId.size(), 0);
  std::memcpy(bytes.data() + kFlagsSize, kStoreWrapUid.ab, sizeof(kStoreWrapUid.ab));
  std::memcpy(bytes.data() + kWrapFixedSize, dllName.data(), dllName.size());
  if (!storeEntryId.empty()) std::memcpy(bytes.data() + inner, storeEntryId.data(), storeEntryId.size());
  return bytes;
}

TWrappedStoreId UnwrapStoreEntryId(std::span<const BYTE> entryId) {
  if (entryId.size() < kWrapFixedSize) Invalid("The store entry ID is too short.");
  if (entryId[kHeaderSize] != 0) Invalid("The store entry ID has an unknown version.");
  const BYTE* name = entryId.data() + kWrapFixedSize;
  const void* end = std::memchr(name, 0, entryId.size() - kWrapFixedSize);
  if (!end) Invalid("The store entry ID names no provider library.");
  size_t nameLength = static_cast<const BYTE*>(end) - name;
  size_t inner = Padded(kWrapFixedSize + nameLength + 1);
  if (inner >= entryId.size()) Invalid("The store entry ID holds no store.");
  return {std::string(reinterpret_cast<const char*>(name), nameLength), entryId.subspan(inner)};
}

}  // namespace orba::store
