// The message services Orba Store knows, what creating each adds to a profile, and
// how each is configured without a user interface.
//
//   "MSEMS"     a mailbox of the organisation's store: a store provider (the default
//               store when the profile has none), an address book provider (the
//               directory), a transport provider and the organisation's public folders
//               (a store that is never the default: STATUS_NO_DEFAULT_STORE); configured
//               with PR_PROFILE_UNRESOLVED_NAME (mailbox) and PR_PROFILE_UNRESOLVED_SERVER;
//               also fills the profile's global section 13DBB0C8AA05101A9BB000AA002FC45A.
//               A service made before it had the public folders gets them when it is
//               configured again.
//   "MSPST MS"  a personal store file: one store provider; configured with
//               PR_PST_PATH (and PR_DISPLAY_NAME).
//   "CONTAB"    the contacts address book: one address book provider; needs nothing.
//
// A profile created with MAPI_DEFAULT_SERVICES gets "CONTAB" only: it is the one
// service that works without settings, as the services of the [Default Services]
// section of a MAPISVC.INF are meant to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/profiledb.h"

namespace orba::store {

// PR_MDB_PROVIDER of the stores of each service (published values: edkmdb.h's
// pbExchangeProviderPrimaryUserGuid and pbExchangeProviderPublicGuid, and mspst.h's
// MSPST_UID_PROVIDER).
inline constexpr MAPIUID kExchangeMdbProvider = {
    {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B, 0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17}};
inline constexpr MAPIUID kExchangePublicMdbProvider = {
    {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}};
inline constexpr MAPIUID kPstMdbProvider = {
    {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01, 0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00}};

inline constexpr const char* kServiceExchange = "MSEMS";
inline constexpr const char* kServicePst = "MSPST MS";
inline constexpr const char* kServiceContacts = "CONTAB";

// PR_PROVIDER_DISPLAY of the public folders provider of "MSEMS".
inline constexpr const char16_t* kPublicFoldersProvider = u"Exchange Public Folders";

// The file every provider lives in (PR_SERVICE_DLL_NAME, PR_PROVIDER_DLL_NAME).
inline constexpr const char* kProviderDllName = "liborbastore.so";

// The known service of that name (MAPI compares service names exactly); null when
// unknown.
const char* FindKnownService(std::string_view name);

// The names of the services MAPI_DEFAULT_SERVICES adds.
std::vector<std::string> DefaultServices();

// Everything creating the service adds, with fresh UIDs. displayName names the service
// when not empty, else the service's own display name is used. service must be known.
TServicePlan PlanService(std::string_view service, const std::u16string& displayName);

// A provider added to an existing service (IProviderAdmin::CreateProvider).
struct TProviderPlan {
  TProviderInfo provider;
  TStoredProps section;
};

// A new provider of the service's kind named providerName (the provider's display name,
// e.g. "Personal Folders" or "Exchange Message Store"), with a fresh UID. serviceDisplay
// names a new store. TMapiError(MAPI_E_NOT_FOUND) when the service has no such provider.
TProviderPlan PlanProvider(std::string_view service, const MAPIUID& serviceUid, std::string_view providerName,
                           const std::u16string& serviceDisplay);

// A copy of a service of the profile with fresh UIDs (for another profile, or the same):
// every section property is copied except the identities, the provider lists are
// rebuilt, the default-store and primary-identity flags are dropped, and displayName,
// when not empty, renames the service and its stores.
TServicePlan PlanServiceCopy(TProfileDatabase& db, const std::string& profile, const MAPIUID& service,
                             const std::u16string& displayName);

// Applies configuration properties to a service of the profile: each property goes to
// the service's section and to every one of its providers' sections (MSEMS's server
// and mailbox also to the global section; an MSEMS service without public folders
// gets them first, with the settings its section already has). Properties that cannot be stored raise
// TMapiError (MAPI_E_INVALID_TYPE / MAPI_E_INVALID_PARAMETER) before anything changes.
void ApplyServiceConfiguration(TProfileDatabase& db, const std::string& profile, const MAPIUID& service, ULONG count,
                               const SPropValue* props);

// Whether the service has every setting it needs to log on (MSEMS: mailbox and server;
// MSPST MS: the file path; CONTAB: nothing), counting count further properties about to
// be applied.
bool IsServiceConfigured(TProfileDatabase& db, const std::string& profile, const TServiceInfo& service, ULONG count = 0,
                         const SPropValue* props = nullptr);

}  // namespace orba::store
