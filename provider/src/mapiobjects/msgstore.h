// IMsgStore over an open store (openstore.h): the store's own properties (kept by the
// engine, every change persisted at once), its receive folders, its outgoing queue, and
// OpenEntry of its folders and messages.
#pragma once

#include <memory>
#include <span>

#include "mapiobjects/openstore.h"

namespace orba::store {

// A new IMsgStore over store; writable when the logon asked for write access.
ComPtr<IMsgStore> CreateMsgStore(std::shared_ptr<TOpenStore> store, bool writable);

// The flags OpenEntry takes, of the session and of a store. A local store is its own
// cache and keeps no soft-deleted items, so MAPI_NO_CACHE, MAPI_CACHE_ONLY and
// SHOW_SOFT_DELETES are accepted and change nothing.
inline constexpr ULONG kOpenEntryFlags = MAPI_MODIFY | MAPI_DEFERRED_ERRORS | MAPI_BEST_ACCESS | MAPI_NO_CACHE |
                                         MAPI_CACHE_ONLY | 0x00000002 /* SHOW_SOFT_DELETES */;

// OpenEntry of a store or folder: the object an entry ID of store names (empty: the
// root folder), as IUnknown, with its MAPI object type. flags are kOpenEntryFlags;
// writable says whether the
// logon may change the store. Throws TMapiError (MAPI_E_INVALID_ENTRYID,
// MAPI_E_UNKNOWN_ENTRYID, MAPI_E_NOT_FOUND, MAPI_E_NO_ACCESS, MAPI_E_UNKNOWN_FLAGS,
// MAPI_E_INTERFACE_NOT_SUPPORTED).
ComPtr<IUnknown> OpenStoreEntry(const std::shared_ptr<TOpenStore>& store, bool writable, std::span<const BYTE> entryId,
                                const IID* iid, ULONG flags, ULONG& objectType);

}  // namespace orba::store
