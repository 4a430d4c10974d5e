// Entry IDs as the session reads them: the provider UID that routes an entry ID, and
// MAPI's published wrapper around a store's own entry ID (WrapStoreEntryID): four flag
// bytes, the wrapper UID 38A1BB1005E5101AA1BB08002B2A56C2, a version byte (0), a flag
// byte (0), the provider library's file name as 8-bit text with its terminator, zero
// padding up to a multiple of four bytes, then the store's own entry ID.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "mapi/mapidefs.h"
#include "props/propcodec.h"

namespace orba::store {

inline constexpr MAPIUID kStoreWrapUid = {
    {0x38, 0xA1, 0xBB, 0x10, 0x05, 0xE5, 0x10, 0x1A, 0xA1, 0xBB, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2}};

// The bytes of an entry ID argument: MAPI_E_INVALID_PARAMETER for a null pointer with a
// non-zero size, MAPI_E_INVALID_ENTRYID for one too short to hold flags and a provider
// UID. Never reads past cb.
std::span<const BYTE> EntryIdBytes(ULONG cb, const ENTRYID* entryId);
// Bytes 4..19 of a checked entry ID.
MAPIUID EntryIdProviderUid(std::span<const BYTE> entryId);
// The shortest entry ID: four zero flag bytes and a provider UID.
Bytes ProviderEntryId(const MAPIUID& provider);

Bytes WrapStoreEntryId(const std::string& dllName, std::span<const BYTE> storeEntryId);

struct TWrappedStoreId {
  std::string dllName;
  std::span<const BYTE> storeEntryId;  // inside the wrapped bytes
};
// The parts of a wrapped store entry ID (provider UID kStoreWrapUid); a malformed one
// (unknown version, unterminated name, nothing after it) raises TMapiError
// MAPI_E_INVALID_ENTRYID.
TWrappedStoreId UnwrapStoreEntryId(std::span<const BYTE> entryId);

}  // namespace orba::store
