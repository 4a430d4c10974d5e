// The store-provider interface: what a message store implementation offers the
// session, and the library's registry of implementations.
//
// A profile's store providers carry PR_MDB_PROVIDER in their sections ("MSEMS" and
// "MSPST MS" stores have the values of services.h). The session finds the
// implementation registered for that value and, for OpenMsgStore, logs on through it
// with the provider's profile section; with none registered the store is listed in the
// message stores table (PR_STATUS_CODE STATUS_FAILURE in the status table) and
// OpenMsgStore answers MAPI_E_FAILONEPROVIDER.
//
// Entry IDs: every entry ID a store hands out carries, in bytes 4..19 (after the four
// flag bytes), one of the provider UIDs its logon reports; the session routes
// OpenEntry, CompareEntryIDs and Advise by them. A store's own entry ID (PR_ENTRYID of
// the store, PR_STORE_ENTRYID) is what StoreEntryId gives, wrapped by the session in
// MAPI's store entry ID wrapper (storeentryid.h) for the message stores table and
// OpenMsgStore. A store that knows its user may publish PR_IDENTITY_ENTRYID,
// PR_IDENTITY_DISPLAY and PR_IDENTITY_SEARCH_KEY in its provider section: the session's
// QueryIdentity and status table read them there.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mapi/mapidefs.h"
#include "orba/common/comptr.h"
#include "storage/profiledb.h"

namespace orba::store {

// The store a logon is for.
struct TStoreContext {
  std::shared_ptr<TProfileDatabase> db;
  std::string profile;  // UTF-8, as stored
  MAPIUID provider;     // the store provider's profile section
};

// A logged-on store.
struct TStoreLogon {
  ComPtr<IMsgStore> store;
  // The provider UIDs the store's entry IDs carry (at least one).
  std::vector<MAPIUID> entryIdUids;
};

class IStoreProvider {
 public:
  virtual ~IStoreProvider() = default;
  // The PR_MDB_PROVIDER this implementation serves.
  virtual MAPIUID MdbProvider() const = 0;
  // The store's own (unwrapped) entry ID, from its profile section, without logging on.
  // Throws TMapiError.
  virtual Bytes StoreEntryId(const TStoreContext& context) const = 0;
  // Logs on to the store of context. flags are OpenMsgStore's (MDB_WRITE,
  // MDB_NO_DIALOG, MDB_NO_MAIL, MDB_TEMPORARY, MDB_ONLINE, MAPI_BEST_ACCESS,
  // MAPI_DEFERRED_ERRORS), already validated. Throws TMapiError: MAPI_E_LOGON_FAILED
  // when the section lacks settings and MDB_NO_DIALOG is set, MAPI_E_USER_CANCEL when
  // it lacks settings and a dialog would be needed, MAPI_E_NOT_FOUND for a store that
  // does not exist.
  virtual TStoreLogon Logon(const TStoreContext& context, ULONG flags) = 0;
};

// Registers an implementation, replacing any registered for the same PR_MDB_PROVIDER.
// Thread-safe, as are the others.
void RegisterStoreProvider(std::shared_ptr<IStoreProvider> provider);
void UnregisterStoreProvider(const MAPIUID& mdbProvider);
// The implementation for a PR_MDB_PROVIDER, or null.
std::shared_ptr<IStoreProvider> FindStoreProvider(const MAPIUID& mdbProvider);

}  // namespace orba::store
