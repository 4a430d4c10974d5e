// A store opened in this process and its change events: see store.h.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/maperror.h"
#include "mapiobjects/openstore.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/storeentryid.h"

namespace orba::store {
namespace {

std::mutex openStoresLock;
std::map<std::string, std::weak_ptr<TOpenStore>>& OpenStores() {
  static std::map<std::string, std::weak_ptr<TOpenStore>> stores;
  return stores;
}

std::string CanonicalPath(const std::string& path) {
  std::error_code ignored;
  std::string canonical = std::filesystem::weakly_canonical(path, ignored).string();
  return canonical.empty() ? path : canonical;
}

bool SameBytes(const Bytes& id, const Bytes& other) { return !id.empty() && id == other; }

// The entry IDs one notification refers to, kept alive while it is delivered.
struct TNotificationIds {
  Bytes entry, parent, old, oldParent;
  std::u16string messageClass;
};

LPENTRYID AsEntryId(Bytes& bytes) { return bytes.empty() ? nullptr : reinterpret_cast<LPENTRYID>(bytes.data()); }

}  // namespace

std::shared_ptr<TOpenStore> TOpenStore::Open(const std::string& path, TStoreKind kind,
                                             const std::u16string& displayName, Bytes ownEntryId,
                                             Bytes wrappedEntryId) {
  std::string file = CanonicalPath(path);
  std::string key = file;
  // One open store per file and store identity: two profiles naming the same file each
  // keep their own store entry ID.
  key.append(1, '\0').append(ownEntryId.begin(), ownEntryId.end());
  std::lock_guard guard(openStoresLock);
  auto& stores = OpenStores();
  if (auto it = stores.find(key); it != stores.end())
    if (auto open = it->second.lock()) return open;
  // The engine first: a file that fails to open must leave no TOpenStore behind, whose
  // destructor would take openStoresLock a second time.
  auto engine =
      std::filesystem::exists(path) ? TStoreEngine::Open(path) : TStoreEngine::Create(path, kind, displayName);
  auto store = std::shared_ptr<TOpenStore>(new TOpenStore());
  store->engine_ = std::move(engine);
  store->path_ = key;
  store->file_ = file;
  store->ownEntryId_ = std::move(ownEntryId);
  store->wrappedEntryId_ = std::move(wrappedEntryId);
  stores[key] = store;
  return store;
}

std::vector<std::shared_ptr<TOpenStore>> TOpenStore::OpenAt(const std::string& path) {
  std::string file = CanonicalPath(path);
  std::lock_guard guard(openStoresLock);
  std::vector<std::shared_ptr<TOpenStore>> stores;
  for (const auto& [key, weak] : OpenStores())
    if (auto open = weak.lock(); open && open->file_ == file) stores.push_back(std::move(open));
  return stores;
}

TOpenStore::~TOpenStore() {
  std::lock_guard guard(openStoresLock);
  auto it = OpenStores().find(path_);
  if (it != OpenStores().end() && it->second.expired()) OpenStores().erase(it);
}

bool TOpenStore::IsStoreEntryId(const void* data, size_t size) const {
  auto matches = [&](const Bytes& id) {
    // The flag bytes say how an entry ID was obtained, not what it names.
    return size == id.size() && size >= 4 &&
           std::memcmp(static_cast<const BYTE*>(data) + 4, id.data() + 4, size - 4) == 0;
  };
  return data && (matches(ownEntryId_) || matches(wrappedEntryId_));
}

ULONG_PTR TOpenStore::Advise(Bytes entryId, ULONG mask, ComPtr<IMAPIAdviseSink> sink) {
  std::lock_guard guard(lock_);
  ULONG_PTR connection = next_++;
  sinks_[connection] = {std::move(entryId), mask, std::move(sink)};
  return connection;
}

void TOpenStore::Unadvise(ULONG_PTR connection) {
  std::lock_guard guard(lock_);
  if (!sinks_.erase(connection)) throw TMapiError(MAPI_E_NOT_FOUND, "The connection is not known.");
}

ULONG_PTR TOpenStore::Listen(TListener listener) {
  std::lock_guard guard(lock_);
  ULONG_PTR connection = next_++;
  listeners_[connection] = std::move(listener);
  return connection;
}

void TOpenStore::StopListening(ULONG_PTR connection) {
  std::lock_guard guard(lock_);
  listeners_.erase(connection);
}

void TOpenStore::Changed(const TStoreChange& change) noexcept {
  try {
    Deliver(change);
  } catch (...) {
    // A notification that cannot be built (out of memory) is lost; the change stands.
  }
}

void TOpenStore::Deliver(const TStoreChange& change) {
  TNotificationIds ids;
  ids.entry = EntryId(change.kind, change.id);
  if (change.parentId) ids.parent = EntryId(TObjectKind::Folder, change.parentId);
  if (change.oldId) ids.old = EntryId(change.kind, change.oldId);
  if (change.oldParentId) ids.oldParent = EntryId(TObjectKind::Folder, change.oldParentId);

  NOTIFICATION notification{};
  notification.ulEventType = change.event;
  if (change.event == fnevNewMail) {
    TMessageRecord record = engine_->Messages().Get(change.id);
    TStoredProps props = engine_->Messages().Load(change.id).props;
    if (const TStoredProp* cls = FindStored(props, PROP_ID(tags::kMessageClassW)))
      ids.messageClass = StoredText(*cls).value_or(u"");
    auto& mail = notification.info.newmail;
    mail.cbEntryID = static_cast<ULONG>(ids.entry.size());
    mail.lpEntryID = AsEntryId(ids.entry);
    mail.cbParentID = static_cast<ULONG>(ids.parent.size());
    mail.lpParentID = AsEntryId(ids.parent);
    mail.ulFlags = MAPI_UNICODE;
    mail.lpszMessageClass = reinterpret_cast<LPTSTR>(ids.messageClass.data());
    mail.ulMessageFlags = record.flags;
  } else {
    auto& object = notification.info.obj;
    object.cbEntryID = static_cast<ULONG>(ids.entry.size());
    object.lpEntryID = AsEntryId(ids.entry);
    object.ulObjType = change.kind == TObjectKind::Folder ? MAPI_FOLDER : MAPI_MESSAGE;
    object.cbParentID = static_cast<ULONG>(ids.parent.size());
    object.lpParentID = AsEntryId(ids.parent);
    object.cbOldID = static_cast<ULONG>(ids.old.size());
    object.lpOldID = AsEntryId(ids.old);
    object.cbOldParentID = static_cast<ULONG>(ids.oldParent.size());
    object.lpOldParentID = AsEntryId(ids.oldParent);
  }

  std::vector<ComPtr<IMAPIAdviseSink>> sinks;
  std::vector<TListener> listeners;
  {
    std::lock_guard guard(lock_);
    for (const auto& [connection, sink] : sinks_) {
      if (!(sink.mask & change.event)) continue;
      if (sink.entryId.empty() || SameBytes(ids.entry, sink.entryId) || SameBytes(ids.parent, sink.entryId) ||
          SameBytes(ids.oldParent, sink.entryId))
        sinks.push_back(sink.sink);
    }
    // New mail is for advise sinks: the delivery's fnevObjectCreated tells the tables.
    if (change.event != fnevNewMail)
      for (const auto& [connection, listener] : listeners_) listeners.push_back(listener);
  }
  // Outside the lock: a sink may call back into the store.
  for (const auto& sink : sinks) sink->OnNotify(1, &notification);
  for (const auto& listener : listeners) {
    try {
      listener(change);
    } catch (...) {
      // One table that cannot follow must not keep the others from hearing.
    }
  }
}

}  // namespace orba::store
