// The message store engine: the one owner of a store's data. A store holds folders,
// messages (normal, folder-associated and embedded) with their recipients and
// attachments, search folders, an outgoing queue, a named-property map and the change
// log incremental synchronisation reads. Everything above the engine (the MAPI objects,
// their tables, the transport) reaches the data only through this interface, so that
// none of it knows which backend keeps the data: today one SQLite database per store
// (storage/sqlite/), later a server database for organisations that outgrow one machine.
//
// TStoreEngine is a thin facade: the store's identity, and the collaborators that do the
// work, each over the backend's shared connection:
//   Props()       the store's own properties           (storeprops.h)
//   Folders()     the folder tree, special and receive folders (folders.h)
//   Messages()    messages and their content           (messages.h)
//   Contents()    the contents tables' queries         (contents.h)
//   Submission()  submission and the outgoing queue    (submission.h)
//   Search()      search folders' criteria             (search.h)
//   Changes()     the change log                       (changelog.h)
//   Names()       the named-property map               (props/namemap.h)
// Each collaborator is thread-safe and runs each of its methods in one transaction of
// the store; failures raise TMapiError with the MAPI code to answer.
#pragma once

#include <memory>
#include <string>

#include "props/namemap.h"
#include "storage/changelog.h"
#include "storage/contents.h"
#include "storage/folders.h"
#include "storage/messages.h"
#include "storage/search.h"
#include "storage/storeprops.h"
#include "storage/submission.h"

namespace orba::store {

class TStoreEngine {
 public:
  // What a backend hands the facade: the store's identity and its collaborators, which
  // backend keeps alive (and the name map, which property objects share and which may
  // outlive the engine).
  struct TParts {
    TStoreKind kind = TStoreKind::PersonalFile;
    GUID guid{};
    MAPIUID uid{};
    IStoreProps* props = nullptr;
    IStoreFolders* folders = nullptr;
    IStoreMessages* messages = nullptr;
    IFolderContents* contents = nullptr;
    ISubmissionQueue* submission = nullptr;
    IStoreSearch* search = nullptr;
    IChangeLog* changes = nullptr;
    std::shared_ptr<INameMap> names;
    std::shared_ptr<void> backend;
  };
  explicit TStoreEngine(TParts parts) : parts_(std::move(parts)) {}
  TStoreEngine(const TStoreEngine&) = delete;
  TStoreEngine& operator=(const TStoreEngine&) = delete;

  // A store in an SQLite database file (storage/sqlite/): Create makes a new one at path
  // (the file must not exist: MAPI_E_COLLISION) with the standard folder set of its kind
  // (a mailbox's or personal file's, or a public folders store's), displayName as its
  // PR_DISPLAY_NAME; Open opens an existing one (MAPI_E_NOT_FOUND when there is none,
  // MAPI_E_CORRUPT_DATA when the file is not a store, MAPI_E_VERSION when another
  // version wrote it).
  static std::shared_ptr<TStoreEngine> Create(const std::string& path, TStoreKind kind,
                                              const std::u16string& displayName);
  static std::shared_ptr<TStoreEngine> Open(const std::string& path);

  // --- the store ---
  TStoreKind Kind() const { return parts_.kind; }
  const GUID& StoreGuid() const { return parts_.guid; }
  // The UID in the entry IDs of the store's objects.
  const MAPIUID& ProviderUid() const { return parts_.uid; }
  Bytes EntryId(TObjectKind kind, int64_t id) const { return MakeEntryId(parts_.uid, kind, id); }
  TParsedEntryId ParseEntryId(const void* data, size_t size) const {
    return orba::store::ParseEntryId(parts_.uid, data, size);
  }

  // --- the collaborators ---
  IStoreProps& Props() const { return *parts_.props; }
  IStoreFolders& Folders() const { return *parts_.folders; }
  IStoreMessages& Messages() const { return *parts_.messages; }
  IFolderContents& Contents() const { return *parts_.contents; }
  ISubmissionQueue& Submission() const { return *parts_.submission; }
  IStoreSearch& Search() const { return *parts_.search; }
  IChangeLog& Changes() const { return *parts_.changes; }
  const std::shared_ptr<INameMap>& Names() const { return parts_.names; }

 private:
  TParts parts_;
};

}  // namespace orba::store
