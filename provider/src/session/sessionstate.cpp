// What one logon to a profile holds: see sessionstate.h.
#include "session/sessionstate.h"

#include <algorithm>
#include <cstring>

#include "base/lasterror.h"
#include "profiles/services.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/storeentryid.h"

namespace orba::store {
namespace {

std::optional<MAPIUID> StoredUid(const TStoredProps& section, ULONG tag) {
  for (const TStoredProp& prop : section) {
    if (prop.tag != tag) continue;
    auto value = DecodeStored({prop});
    if (value->Value.bin.cb != sizeof(MAPIUID)) return std::nullopt;
    MAPIUID uid;
    std::memcpy(uid.ab, value->Value.bin.lpb, sizeof(uid.ab));
    return uid;
  }
  return std::nullopt;
}

bool SameEntryId(std::span<const BYTE> a, std::span<const BYTE> b) {
  // The flag bytes say how the ID was obtained, not what it names.
  return a.size() == b.size() && a.size() >= 4 && std::equal(a.begin() + 4, a.end(), b.begin() + 4);
}

std::vector<ULONG> StoreColumns() {
  return {tags::kEntryId,      tags::kRecordKey,   tags::kDisplayNameW,  tags::kProviderDisplayW,
          tags::kDefaultStore, tags::kMdbProvider, tags::kResourceFlags, tags::kResourceType,
          tags::kObjectType,   tags::kProviderUid, tags::kServiceUid,    tags::kServiceNameA,
          tags::kInstanceKey,  tags::kRowId};
}

void PutStoreRow(TMemoryRowSource& rows, const TProfileStore& store, ULONG rowId) {
  // Only the section values the table shows; the rest of the section stays private.
  TStoredProps shown;
  for (const TStoredProp& prop : store.section)
    if (prop.tag == tags::kDisplayNameW || prop.tag == tags::kProviderDisplayW || prop.tag == tags::kMdbProvider ||
        prop.tag == tags::kResourceFlags || prop.tag == tags::kProviderUid || prop.tag == tags::kServiceUid ||
        prop.tag == tags::kServiceNameA)
      shown.push_back(prop);
  auto values = DecodeStored(shown, 7);
  SPropValue* row = values.get();
  ULONG flags = 0;
  for (size_t i = 0; i < shown.size(); ++i)
    if (row[i].ulPropTag == tags::kResourceFlags) flags = row[i].Value.ul;
  SPropValue* extra = row + shown.size();
  extra[0] = BinaryValue(tags::kEntryId, store.entryId);
  extra[1] = BinaryValue(tags::kRecordKey, store.provider.ab);
  extra[2] = BinaryValue(tags::kInstanceKey, store.provider.ab);
  extra[3] = BoolValue(tags::kDefaultStore, (flags & STATUS_DEFAULT_STORE) != 0);
  extra[4] = LongValue(tags::kResourceType, MAPI_STORE_PROVIDER);
  extra[5] = LongValue(tags::kObjectType, MAPI_STORE);
  extra[6] = LongValue(tags::kRowId, rowId);
  rows.Put(TPropRow(row, shown.size() + 7));
}

}  // namespace

TSessionState::TSessionState(std::shared_ptr<TProfileDatabase> db, std::string profile, ULONG logonFlags)
    : db_(std::move(db)), profile_(std::move(profile)), logonFlags_(logonFlags) {}

void TSessionState::CheckActive() const { Check(!Ended(), MAPI_E_END_OF_SESSION, "The session has been logged off."); }

bool TSessionState::Ended() const {
  std::lock_guard guard(lock_);
  return ended_;
}

void TSessionState::End() {
  std::map<ULONG_PTR, TSink> sinks;
  std::vector<TOpenedStore> opened;
  {
    std::lock_guard guard(lock_);
    if (ended_) return;
    ended_ = true;
    sinks.swap(sinks_);
    opened.swap(opened_);
  }
  // Outside the lock: a sink may call back into the session (and get END_OF_SESSION).
  for (auto& [connection, sink] : sinks) {
    if (sink.store) {
      sink.store->Unadvise(sink.storeConnection);
    } else if (sink.mask & fnevExtended) {
      NOTIFICATION notification{};
      notification.ulEventType = fnevExtended;
      notification.info.ext.ulEvent = kSessionShutdownEvent;
      sink.sink->OnNotify(1, &notification);
    }
  }
  for (TOpenedStore& store : opened) {
    ULONG flags = 0;
    store.logon.store->StoreLogoff(&flags);
  }
}

std::vector<TProfileStore> TSessionState::ProfileStores() const {
  std::vector<TProfileStore> result;
  for (const TProviderInfo& provider : db_->Providers(profile_)) {
    if (provider.resourceType != MAPI_STORE_PROVIDER) continue;
    TProfileStore store{provider.uid, db_->ReadSection(profile_, provider.uid), std::nullopt, nullptr, {}};
    store.mdbProvider = StoredUid(store.section, tags::kMdbProvider);
    if (store.mdbProvider) store.implementation = FindStoreProvider(*store.mdbProvider);
    store.entryId =
        store.implementation
            ? WrapStoreEntryId(kProviderDllName, store.implementation->StoreEntryId({db_, profile_, provider.uid}))
            : WrapStoreEntryId(kProviderDllName, ProviderEntryId(provider.uid));
    result.push_back(std::move(store));
  }
  return result;
}

TProfileStore TSessionState::FindStore(std::span<const BYTE> entryId) const {
  MAPIUID uid = EntryIdProviderUid(entryId);
  std::span<const BYTE> own = entryId;
  if (IsEqualMAPIUID(&uid, &kStoreWrapUid)) own = UnwrapStoreEntryId(entryId).storeEntryId;
  for (TProfileStore& store : ProfileStores())
    if (SameEntryId(UnwrapStoreEntryId(store.entryId).storeEntryId, own)) return std::move(store);
  throw TMapiError(MAPI_E_NOT_FOUND, "The message store is not one of the profile's stores.");
}

ComPtr<IMsgStore> TSessionState::OpenStore(const TProfileStore& store, ULONG flags) {
  CheckActive();
  bool writable = (flags & (MDB_WRITE | MAPI_BEST_ACCESS)) != 0;
  {
    std::lock_guard guard(lock_);
    for (const TOpenedStore& opened : opened_)
      if (IsEqualMAPIUID(&opened.provider, &store.provider) && opened.writable == writable) return opened.logon.store;
  }
  Check(store.implementation != nullptr, MAPI_E_FAILONEPROVIDER,
        "No message store implementation is available for this store's PR_MDB_PROVIDER.");
  TStoreLogon logon = store.implementation->Logon({db_, profile_, store.provider}, flags);
  Check(logon.store && !logon.entryIdUids.empty(), MAPI_E_CALL_FAILED, "The store provider's logon was incomplete.");
  std::lock_guard guard(lock_);
  CheckActive();
  opened_.push_back({store.provider, writable, logon});
  return logon.store;
}

ComPtr<IMsgStore> TSessionState::StoreForUid(const MAPIUID& uid) const {
  std::lock_guard guard(lock_);
  for (const TOpenedStore& opened : opened_)
    for (const MAPIUID& owned : opened.logon.entryIdUids)
      if (IsEqualMAPIUID(&owned, &uid)) return opened.logon.store;
  return nullptr;
}

std::shared_ptr<TMemoryRowSource> TSessionState::StoresTableRows() {
  std::vector<TProfileStore> stores = ProfileStores();
  std::lock_guard guard(lock_);
  if (!storesRows_) storesRows_ = std::make_shared<TMemoryRowSource>(StoreColumns());
  ULONG rowId = 0;
  for (const TProfileStore& store : stores) PutStoreRow(*storesRows_, store, rowId++);
  // Stores deleted from the profile since the last read leave the table. The list is
  // held while rows are removed, so that removing copies it rather than changing it
  // under the loop.
  TRowListPtr current = storesRows_->Rows(nullptr, nullptr);
  for (const TRowPtr& row : *current) {
    std::string_view key = row->InstanceKey();
    bool present = std::any_of(stores.begin(), stores.end(), [&](const TProfileStore& store) {
      return key == std::string_view(reinterpret_cast<const char*>(store.provider.ab), sizeof(store.provider.ab));
    });
    if (!present) storesRows_->Remove(std::string(key));
  }
  return storesRows_;
}

ULONG_PTR TSessionState::AddSink(ULONG mask, ComPtr<IMAPIAdviseSink> sink, ComPtr<IMsgStore> store,
                                 ULONG_PTR storeConnection) {
  std::lock_guard guard(lock_);
  CheckActive();
  ULONG_PTR connection = nextConnection_++;
  sinks_[connection] = {mask, std::move(sink), std::move(store), storeConnection};
  return connection;
}

void TSessionState::RemoveSink(ULONG_PTR connection) {
  TSink sink;
  {
    std::lock_guard guard(lock_);
    auto it = sinks_.find(connection);
    Check(it != sinks_.end(), MAPI_E_NOT_FOUND, "The connection is not known.");
    sink = std::move(it->second);
    sinks_.erase(it);
  }
  if (sink.store) sink.store->Unadvise(sink.storeConnection);
}

// The process's sessions ---------------------------------------------------------------------

namespace {

std::mutex sessionsLock;
std::vector<std::weak_ptr<TSessionState>> sessions;
std::weak_ptr<TSessionState> shared;

}  // namespace

std::shared_ptr<TSessionState> SharedSession() {
  std::lock_guard guard(sessionsLock);
  auto session = shared.lock();
  return session && !session->Ended() ? session : nullptr;
}

void RegisterSession(const std::shared_ptr<TSessionState>& session, bool isShared) {
  std::lock_guard guard(sessionsLock);
  std::erase_if(sessions, [](const auto& weak) { return weak.expired(); });
  sessions.push_back(session);
  if (isShared) shared = session;
}

void EndAllSessions() {
  std::vector<std::shared_ptr<TSessionState>> live;
  {
    std::lock_guard guard(sessionsLock);
    for (const auto& weak : sessions)
      if (auto session = weak.lock()) live.push_back(session);
    sessions.clear();
    shared.reset();
  }
  for (const auto& session : live) session->End();
}

}  // namespace orba::store
