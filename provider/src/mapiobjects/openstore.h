// A message store opened in this process (TOpenStore): its engine, its entry IDs and
// its change events. The IMsgStore over it is msgstore.h's.
//
// Every logon to the same file in this process shares one TOpenStore, so that a
// change made through one session reaches the advise sinks and tables of all.
// Objects (stores, folders, messages) report their changes with Changed; the open
// store turns them into the published notification records for advise sinks and
// passes them on to the tables that listen.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "mapi/mapidefs.h"
#include "orba/common/comptr.h"
#include "storage/storeengine.h"

namespace orba::store {

// One change of a store's contents.
struct TStoreChange {
  ULONG event = 0;  // fnevObjectCreated, fnevObjectDeleted, fnevObjectModified, fnevObjectMoved,
                    // fnevObjectCopied or fnevNewMail
  TObjectKind kind = TObjectKind::Message;
  int64_t id = 0;
  int64_t parentId = 0;     // the folder holding the object (0: none, e.g. the root)
  int64_t oldId = 0;        // copied: the original; moved: the object itself
  int64_t oldParentId = 0;  // moved or copied: the folder it came from
  bool associated = false;  // a folder-associated message
};

class TOpenStore {
 public:
  // The store at path, opened once per process; created (with the standard folder set)
  // when the file does not exist yet. ownEntryId is the store's unwrapped entry ID,
  // wrappedEntryId the form the session hands out (PR_ENTRYID, PR_STORE_ENTRYID).
  static std::shared_ptr<TOpenStore> Open(const std::string& path, TStoreKind kind, const std::u16string& displayName,
                                          Bytes ownEntryId, Bytes wrappedEntryId);

  // Every store open in this process on the file at path (under any identity).
  static std::vector<std::shared_ptr<TOpenStore>> OpenAt(const std::string& path);

  TStoreEngine& Engine() const { return *engine_; }
  // The store file (canonical path).
  const std::string& FilePath() const { return file_; }
  const std::shared_ptr<TStoreEngine>& EngineRef() const { return engine_; }
  const Bytes& OwnEntryId() const { return ownEntryId_; }
  const Bytes& WrappedEntryId() const { return wrappedEntryId_; }
  Bytes EntryId(TObjectKind kind, int64_t id) const { return engine_->EntryId(kind, id); }
  // Whether bytes are one of this store's own entry IDs (wrapped or not).
  bool IsStoreEntryId(const void* data, size_t size) const;

  // Advise sinks: entryId empty for the whole store, else the object whose events (and,
  // for a folder, the events of the objects in it) the sink wants.
  ULONG_PTR Advise(Bytes entryId, ULONG mask, ComPtr<IMAPIAdviseSink> sink);
  // MAPI_E_NOT_FOUND for an unknown connection.
  void Unadvise(ULONG_PTR connection);

  // Listeners inside the provider (contents and hierarchy tables); they run after the
  // advise sinks, on the thread that made the change.
  using TListener = std::function<void(const TStoreChange&)>;
  ULONG_PTR Listen(TListener listener);
  void StopListening(ULONG_PTR connection);

  // Reports a change: delivers it synchronously to the advise sinks whose mask and
  // object match, then to the listeners. Never throws (a failing sink is skipped).
  void Changed(const TStoreChange& change) noexcept;

  ~TOpenStore();

 private:
  TOpenStore() = default;
  struct TSink {
    Bytes entryId;
    ULONG mask;
    ComPtr<IMAPIAdviseSink> sink;
  };
  void Deliver(const TStoreChange& change);

  std::shared_ptr<TStoreEngine> engine_;
  std::string path_;  // the key of the open stores: file and identity
  std::string file_;
  Bytes ownEntryId_, wrappedEntryId_;
  std::mutex lock_;
  std::map<ULONG_PTR, TSink> sinks_;
  std::map<ULONG_PTR, TListener> listeners_;
  ULONG_PTR next_ = 1;
};

}  // namespace orba::store
