// What one logon to a profile holds: the profile, the stores opened through it (for
// routing entry IDs), the advise sinks, and the message stores table's rows. Several
// IMAPISession objects share one state when they share a session (MAPI_ALLOW_OTHERS).
// Thread-safe.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "session/storeprovider.h"
#include "table/tablesource.h"

namespace orba::store {

// A store provider of the profile, as the session sees it.
struct TProfileStore {
  MAPIUID provider;
  TStoredProps section;
  std::optional<MAPIUID> mdbProvider;
  std::shared_ptr<IStoreProvider> implementation;  // null when none is registered
  Bytes entryId;                                   // wrapped
};

// The extended event sent to session sinks when the session ends (MAPI publishes no
// code for it; the event type fnevExtended is what clients look for).
inline constexpr ULONG kSessionShutdownEvent = 0;

class TSessionState {
 public:
  TSessionState(std::shared_ptr<TProfileDatabase> db, std::string profile, ULONG logonFlags);

  const std::string& Profile() const { return profile_; }
  const std::shared_ptr<TProfileDatabase>& Database() const { return db_; }
  ULONG LogonFlags() const { return logonFlags_; }
  // TMapiError(MAPI_E_END_OF_SESSION) once the session ended.
  void CheckActive() const;
  bool Ended() const;
  // Tells the session sinks (fnevExtended), unadvises store sinks and releases every
  // store; later calls answer MAPI_E_END_OF_SESSION. Idempotent.
  void End();

  // Stores ---------------------------------------------------------------------------
  std::vector<TProfileStore> ProfileStores() const;
  // The profile's store of a store entry ID (wrapped, or the store's own); TMapiError
  // MAPI_E_INVALID_ENTRYID for a malformed one, MAPI_E_NOT_FOUND for another store.
  TProfileStore FindStore(std::span<const BYTE> entryId) const;
  // Logs on to the store (or hands out the store already opened with the same write
  // access) and remembers it for routing.
  ComPtr<IMsgStore> OpenStore(const TProfileStore& store, ULONG flags);
  // The opened store whose entry IDs carry uid, or null.
  ComPtr<IMsgStore> StoreForUid(const MAPIUID& uid) const;
  // The message stores table's rows, refreshed from the profile (changes reach the
  // open tables as row events).
  std::shared_ptr<TMemoryRowSource> StoresTableRows();

  // Advise sinks ------------------------------------------------------------------------
  // A session sink (store null) or a sink advised on a store under storeConnection.
  ULONG_PTR AddSink(ULONG mask, ComPtr<IMAPIAdviseSink> sink, ComPtr<IMsgStore> store, ULONG_PTR storeConnection);
  // TMapiError(MAPI_E_NOT_FOUND) for an unknown connection.
  void RemoveSink(ULONG_PTR connection);

 private:
  struct TOpenedStore {
    MAPIUID provider;
    bool writable;
    TStoreLogon logon;
  };
  struct TSink {
    ULONG mask;
    ComPtr<IMAPIAdviseSink> sink;
    ComPtr<IMsgStore> store;
    ULONG_PTR storeConnection;
  };

  std::shared_ptr<TProfileDatabase> db_;
  std::string profile_;
  ULONG logonFlags_;
  mutable std::recursive_mutex lock_;
  bool ended_ = false;
  std::vector<TOpenedStore> opened_;
  std::map<ULONG_PTR, TSink> sinks_;
  ULONG_PTR nextConnection_ = 1;
  std::shared_ptr<TMemoryRowSource> storesRows_;
};

// The sessions of the process: MAPILogonEx registers each, the shared one is found
// here, and the last MAPIUninitialize ends them all.
std::shared_ptr<TSessionState> SharedSession();
void RegisterSession(const std::shared_ptr<TSessionState>& session, bool shared);
void EndAllSessions();

}  // namespace orba::store
