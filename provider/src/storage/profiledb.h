// The profile database ($ORBA_HOME/profiles.db): profiles, the message services and
// providers of each profile, and the profile sections (property bags keyed by MAPIUID).
// Every change is one SQLite transaction taken with the write lock, so that several
// processes may change profiles at once without losing anything. Profile names are
// UTF-8 and compared without regard to ASCII case. Failures raise TMapiError with
// the MAPI code: MAPI_E_NOT_FOUND for an unknown profile, service or provider,
// MAPI_E_NO_ACCESS for a profile name that is taken.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapi/mapidefs.h"
#include "props/propcodec.h"

namespace orba::store {

class TSqlDatabase;

struct TProfileInfo {
  std::string name;
  bool isDefault = false;
};

struct TServiceInfo {
  MAPIUID uid;
  std::string name;  // "MSEMS", "MSPST MS", "CONTAB"
};

struct TProviderInfo {
  MAPIUID uid;
  MAPIUID serviceUid;
  ULONG resourceType;  // MAPI_STORE_PROVIDER, MAPI_AB_PROVIDER, MAPI_TRANSPORT_PROVIDER
};

struct TSectionData {
  MAPIUID uid;
  TStoredProps props;
};

// Everything a new message service adds to a profile.
struct TServicePlan {
  TServiceInfo service;
  std::vector<TProviderInfo> providers;
  std::vector<TSectionData> sections;
};

class TProfileDatabase {
 public:
  // $ORBA_HOME/profiles.db.
  static std::string DefaultPath();
  explicit TProfileDatabase(const std::string& path);
  ~TProfileDatabase();

  // Profiles ------------------------------------------------------------------------
  std::vector<TProfileInfo> Profiles();
  // The stored spelling of the profile's name, if it exists.
  std::optional<TProfileInfo> FindProfile(const std::string& name);
  std::optional<std::string> DefaultProfile();
  void CreateProfile(const std::string& name);
  void DeleteProfile(const std::string& name);
  void RenameProfile(const std::string& oldName, const std::string& newName);
  // Copies services, providers and sections; the copy is not the default.
  void CopyProfile(const std::string& oldName, const std::string& newName);
  // Makes the profile the default, or leaves no default when name is empty.
  void SetDefaultProfile(const std::optional<std::string>& name);

  // Services and providers ---------------------------------------------------------------
  std::vector<TServiceInfo> Services(const std::string& profile);
  // The providers of the profile, or of one of its services, in creation order.
  std::vector<TProviderInfo> Providers(const std::string& profile, const MAPIUID* service = nullptr);
  // Adds the service; when the profile has no default store yet, the service's first
  // store provider that may be the default (no STATUS_NO_DEFAULT_STORE) becomes it.
  void AddService(const std::string& profile, const TServicePlan& plan);
  // Removes the service, its providers and their sections; when it held the default
  // store, the next store provider that may be the default becomes it.
  void DeleteService(const std::string& profile, const MAPIUID& service);
  // Makes the store provider the profile's default store (the flags STATUS_DEFAULT_STORE
  // of its section and SERVICE_DEFAULT_STORE of its service's section); MAPI_E_NO_ACCESS
  // for a store marked STATUS_NO_DEFAULT_STORE.
  void SetDefaultStore(const std::string& profile, const MAPIUID& storeProvider);
  // Adds a provider (with its section) to an existing service of the profile.
  void AddProvider(const std::string& profile, const TProviderInfo& provider, const TStoredProps& section);
  // Removes a provider and its section; when it held the default store, the next store
  // provider that may be the default becomes it.
  void DeleteProvider(const std::string& profile, const MAPIUID& provider);
  // Makes the service the profile's primary identity: SERVICE_PRIMARY_IDENTITY in its
  // section and STATUS_PRIMARY_IDENTITY in its first provider's, cleared everywhere else.
  void SetPrimaryIdentity(const std::string& profile, const MAPIUID& service);
  // Sets a resource flag (STATUS_PRIMARY_STORE ...) on one store provider and clears
  // it from the profile's other store providers.
  void SetStoreFlag(const std::string& profile, const MAPIUID& storeProvider, ULONG flag);

  // Profile sections -----------------------------------------------------------------------
  TStoredProps ReadSection(const std::string& profile, const MAPIUID& section);
  // Whether the section holds any property.
  bool HasSection(const std::string& profile, const MAPIUID& section);
  // Sets and deletes properties of the section in one transaction (a set value replaces
  // any value of the same property identifier).
  void UpdateSection(const std::string& profile, const MAPIUID& section, const TStoredProps& set,
                     const std::vector<ULONG>& deletedIds);
  // Sets properties of several sections in one transaction.
  void UpdateSections(const std::string& profile, const std::vector<TSectionData>& changes);

 private:
  int64_t RequireProfile(const std::string& name);
  void WriteProp(int64_t profile, const MAPIUID& section, const TStoredProp& prop);
  void ChangeResourceFlags(int64_t profile, const MAPIUID& section, ULONG set, ULONG clear);
  std::optional<MAPIUID> DefaultStoreProvider(int64_t profile);
  void EnsureDefaultStore(int64_t profile);
  bool MayBeDefaultStore(int64_t profile, const MAPIUID& provider);
  MAPIUID RequireStoreProvider(int64_t profile, const MAPIUID& provider);
  void MakeDefaultStore(int64_t profile, const MAPIUID& provider, const MAPIUID& service);

  std::unique_ptr<TSqlDatabase> db_;  // the SQLite backend (storage/sqlite/profiledb.cpp)
};

// A fresh random MAPIUID.
MAPIUID NewMapiUid();

}  // namespace orba::store
