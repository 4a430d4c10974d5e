// The known message services: see services.h.
#include "profiles/services.h"

#include <cstring>
#include <optional>

#include "base/maperror.h"
#include "mapi/mapiguid.h"
#include "mapi/mapix.h"
#include "orba/common/encoding.h"
#include "orba/common/utf8.h"
#include "props/tags.h"

namespace orba::store {
namespace {

struct TProviderTemplate {
  ULONG resourceType;
  const char16_t* displayName;           // PR_PROVIDER_DISPLAY (the name CreateProvider takes)
  const MAPIUID* mdbProvider = nullptr;  // a store's PR_MDB_PROVIDER
  const char16_t* storeName = nullptr;   // a store's own PR_DISPLAY_NAME; null: the service's
  ULONG resourceFlags = 0;
};

struct TServiceTemplate {
  const char* name;
  const char16_t* displayName;
  ULONG serviceFlags;
  std::vector<TProviderTemplate> providers;
};

const std::vector<TServiceTemplate>& Catalogue() {
  static const std::vector<TServiceTemplate> services = {
      // The organisation's public folders come with every mailbox, after its other
      // providers; they can never be the default store.
      {kServiceExchange,
       u"Exchange Mailbox",
       SERVICE_SINGLE_COPY | SERVICE_PRIMARY_IDENTITY,
       {{MAPI_STORE_PROVIDER, u"Exchange Message Store", &kExchangeMdbProvider},
        {MAPI_AB_PROVIDER, u"Exchange Directory"},
        {MAPI_TRANSPORT_PROVIDER, u"Exchange Transport"},
        {MAPI_STORE_PROVIDER, kPublicFoldersProvider, &kExchangePublicMdbProvider, u"Public Folders",
         STATUS_NO_DEFAULT_STORE}}},
      {kServicePst, u"Personal Folders", 0, {{MAPI_STORE_PROVIDER, u"Personal Folders", &kPstMdbProvider}}},
      {kServiceContacts,
       u"Contacts",
       SERVICE_SINGLE_COPY | SERVICE_NO_PRIMARY_IDENTITY,
       {{MAPI_AB_PROVIDER, u"Contacts Address Book"}}},
  };
  return services;
}

const TServiceTemplate* FindTemplate(std::string_view name) {
  for (const TServiceTemplate& service : Catalogue())
    if (name == service.name) return &service;
  return nullptr;
}

TStoredProp Stored(const SPropValue& value) { return {value.ulPropTag, EncodePropValue(value)}; }

TStoredProp Long(ULONG tag, ULONG value) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.ul = value;
  return Stored(prop);
}

TStoredProp Ansi(ULONG tag, const char* text) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.lpszA = const_cast<char*>(text);
  return Stored(prop);
}

TStoredProp Wide(ULONG tag, const std::u16string& text) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.lpszW = const_cast<char16_t*>(text.c_str());
  return Stored(prop);
}

TStoredProp Binary(ULONG tag, const void* data, size_t size) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.bin = {static_cast<ULONG>(size), static_cast<LPBYTE>(const_cast<void*>(data))};
  return Stored(prop);
}

TStoredProp Uid(ULONG tag, const MAPIUID& uid) { return Binary(tag, uid.ab, sizeof(uid.ab)); }

// PR_STORE_PROVIDERS and its kin: the UIDs of the service's providers of one type.
TStoredProp UidList(ULONG tag, const std::vector<TProviderInfo>& providers, ULONG resourceType) {
  std::vector<uint8_t> bytes;
  for (const TProviderInfo& provider : providers)
    if (provider.resourceType == resourceType) bytes.insert(bytes.end(), provider.uid.ab, provider.uid.ab + 16);
  return Binary(tag, bytes.data(), bytes.size());
}

bool SectionHas(const TStoredProps& props, ULONG propId) {
  for (const TStoredProp& prop : props)
    if (PROP_ID(prop.tag) == propId && prop.value.size() > 0) return true;
  return false;
}

// The section of a new provider of service.
TStoredProps ProviderSection(const TServiceTemplate& service, const TProviderTemplate& kind,
                             const TProviderInfo& provider, const std::u16string& serviceDisplay) {
  TStoredProps props;
  props.push_back(Long(tags::kResourceFlags, kind.resourceFlags));
  props.push_back(Wide(tags::kProviderDisplayW, kind.displayName));
  // A store's display name is its own or the service's; other providers show their own.
  const bool store = provider.resourceType == MAPI_STORE_PROVIDER;
  props.push_back(Wide(tags::kDisplayNameW, !store           ? kind.displayName
                                            : kind.storeName ? kind.storeName
                                                             : serviceDisplay));
  props.push_back(Ansi(tags::kProviderDllNameA, kProviderDllName));
  props.push_back(Uid(tags::kProviderUid, provider.uid));
  props.push_back(Long(tags::kResourceType, provider.resourceType));
  props.push_back(Ansi(tags::kServiceNameA, service.name));
  props.push_back(Uid(tags::kServiceUid, provider.serviceUid));
  if (store) props.push_back(Uid(tags::kMdbProvider, *kind.mdbProvider));
  return props;
}

// The stored value of tag in props, if any.
const TStoredProp* FindStored(const TStoredProps& props, ULONG tag) {
  for (const TStoredProp& prop : props)
    if (prop.tag == tag) return &prop;
  return nullptr;
}

// Adds the public folders store to an "MSEMS" service made before it had one, with the
// mailbox and server the service is configured with.
void AddMissingPublicFolders(TProfileDatabase& db, const std::string& profile, const MAPIUID& service) {
  for (const TProviderInfo& provider : db.Providers(profile, &service)) {
    if (provider.resourceType != MAPI_STORE_PROVIDER) continue;
    const TStoredProps section = db.ReadSection(profile, provider.uid);
    const TStoredProp* mdb = FindStored(section, tags::kMdbProvider);
    if (mdb && mdb->value == Uid(tags::kMdbProvider, kExchangePublicMdbProvider).value) return;
  }
  TProviderPlan plan = PlanProvider(kServiceExchange, service, ToUtf8(kPublicFoldersProvider), u"");
  for (const TStoredProp& prop : db.ReadSection(profile, service))
    if (PROP_ID(prop.tag) == PROP_ID(tags::kProfileUnresolvedNameA) ||
        PROP_ID(prop.tag) == PROP_ID(tags::kProfileUnresolvedServerA))
      plan.section.push_back(prop);
  db.AddProvider(profile, plan.provider, plan.section);
}

}  // namespace

const char* FindKnownService(std::string_view name) {
  const TServiceTemplate* service = FindTemplate(name);
  return service ? service->name : nullptr;
}

std::vector<std::string> DefaultServices() { return {kServiceContacts}; }

TServicePlan PlanService(std::string_view name, const std::u16string& displayName) {
  const TServiceTemplate* service = FindTemplate(name);
  if (!service) throw TMapiError(MAPI_E_NOT_FOUND, "The message service is unknown.");
  TServicePlan plan;
  plan.service = {NewMapiUid(), service->name};
  const std::u16string serviceDisplay = displayName.empty() ? service->displayName : displayName;
  for (const TProviderTemplate& provider : service->providers)
    plan.providers.push_back({NewMapiUid(), plan.service.uid, provider.resourceType});

  TSectionData serviceSection{plan.service.uid, {}};
  auto& props = serviceSection.props;
  props.push_back(Long(tags::kResourceFlags, service->serviceFlags));
  props.push_back(Wide(tags::kDisplayNameW, serviceDisplay));
  props.push_back(Ansi(tags::kServiceNameA, service->name));
  props.push_back(Ansi(tags::kServiceDllNameA, kProviderDllName));
  props.push_back(Uid(tags::kServiceUid, plan.service.uid));
  props.push_back(UidList(tags::kStoreProviders, plan.providers, MAPI_STORE_PROVIDER));
  props.push_back(UidList(tags::kAbProviders, plan.providers, MAPI_AB_PROVIDER));
  props.push_back(UidList(tags::kTransportProviders, plan.providers, MAPI_TRANSPORT_PROVIDER));
  plan.sections.push_back(std::move(serviceSection));

  for (size_t i = 0; i < plan.providers.size(); ++i)
    plan.sections.push_back(
        {plan.providers[i].uid, ProviderSection(*service, service->providers[i], plan.providers[i], serviceDisplay)});

  if (service->name == std::string_view(kServiceExchange)) {
    MAPIUID global;
    std::memcpy(global.ab, pbGlobalProfileSectionGuid.ab, sizeof(global.ab));
    plan.sections.push_back({global, {Long(tags::kProfileConnectFlags, 0), Long(tags::kProfileUiState, 0)}});
  }
  return plan;
}

void ApplyServiceConfiguration(TProfileDatabase& db, const std::string& profile, const MAPIUID& service, ULONG count,
                               const SPropValue* props) {
  if (count && !props) throw TMapiError(MAPI_E_INVALID_PARAMETER, "No properties were given.");
  TStoredProps stored, global;
  for (ULONG i = 0; i < count; ++i) {
    TStoredProp prop = Stored(props[i]);
    ULONG id = PROP_ID(prop.tag);
    if (id == PROP_ID(tags::kProfileUnresolvedNameA) || id == PROP_ID(tags::kProfileUnresolvedServerA))
      global.push_back(prop);
    stored.push_back(std::move(prop));
  }
  bool exchange = false;
  for (const TServiceInfo& info : db.Services(profile))
    if (IsEqualMAPIUID(&info.uid, &service)) exchange = info.name == kServiceExchange;
  if (exchange) AddMissingPublicFolders(db, profile, service);
  const std::vector<TProviderInfo> providers = db.Providers(profile, &service);
  std::vector<TSectionData> changes{{service, stored}};
  for (const TProviderInfo& provider : providers) changes.push_back({provider.uid, stored});
  if (exchange && !global.empty()) {
    MAPIUID uid;
    std::memcpy(uid.ab, pbGlobalProfileSectionGuid.ab, sizeof(uid.ab));
    changes.push_back({uid, global});
  }
  db.UpdateSections(profile, changes);
}

bool IsServiceConfigured(TProfileDatabase& db, const std::string& profile, const TServiceInfo& service, ULONG count,
                         const SPropValue* props) {
  TStoredProps stored = db.ReadSection(profile, service.uid);
  auto has = [&](ULONG tag) {
    for (ULONG i = 0; i < count; ++i)
      if (PROP_ID(props[i].ulPropTag) == PROP_ID(tag)) return true;
    return SectionHas(stored, PROP_ID(tag));
  };
  if (service.name == kServiceExchange)
    return has(tags::kProfileUnresolvedNameA) && has(tags::kProfileUnresolvedServerA);
  if (service.name == kServicePst) return has(tags::kPstPathA);
  return true;
}

}  // namespace orba::store

namespace orba::store {

TProviderPlan PlanProvider(std::string_view serviceName, const MAPIUID& serviceUid, std::string_view providerName,
                           const std::u16string& serviceDisplay) {
  const TServiceTemplate* service = FindTemplate(serviceName);
  if (!service) throw TMapiError(MAPI_E_NOT_FOUND, "The message service is unknown.");
  for (const TProviderTemplate& kind : service->providers) {
    if (orba::ToUtf8(kind.displayName) != providerName) continue;
    TProviderPlan plan;
    plan.provider = {NewMapiUid(), serviceUid, kind.resourceType};
    plan.section = ProviderSection(*service, kind, plan.provider, serviceDisplay);
    return plan;
  }
  throw TMapiError(MAPI_E_NOT_FOUND, "The message service has no provider of that name.");
}

TServicePlan PlanServiceCopy(TProfileDatabase& db, const std::string& profile, const MAPIUID& service,
                             const std::u16string& displayName) {
  std::optional<TServiceInfo> source;
  for (const TServiceInfo& info : db.Services(profile))
    if (IsEqualMAPIUID(&info.uid, &service)) source = info;
  if (!source) throw TMapiError(MAPI_E_NOT_FOUND, "The message service does not exist.");
  TServicePlan plan;
  plan.service = {NewMapiUid(), source->name};
  // Sections are copied whole; only the identities and, when given, the name change.
  auto copy = [&](const MAPIUID& from, const MAPIUID& to, bool named) {
    TSectionData section{to, {}};
    for (const TStoredProp& prop : db.ReadSection(profile, from)) {
      ULONG id = PROP_ID(prop.tag);
      if (id == PROP_ID(tags::kServiceUid) || id == PROP_ID(tags::kProviderUid)) continue;
      if (named && id == PROP_ID(tags::kDisplayNameW) && !displayName.empty()) continue;
      if (id == PROP_ID(tags::kStoreProviders) || id == PROP_ID(tags::kAbProviders) ||
          id == PROP_ID(tags::kTransportProviders))
        continue;
      section.props.push_back(prop);
    }
    section.props.push_back(Uid(tags::kServiceUid, plan.service.uid));
    if (!IsEqualMAPIUID(&to, &plan.service.uid)) section.props.push_back(Uid(tags::kProviderUid, to));
    if (named && !displayName.empty()) section.props.push_back(Wide(tags::kDisplayNameW, displayName));
    return section;
  };
  std::vector<TProviderInfo> sourceProviders = db.Providers(profile, &service);
  for (const TProviderInfo& provider : sourceProviders)
    plan.providers.push_back({NewMapiUid(), plan.service.uid, provider.resourceType});
  TSectionData serviceSection = copy(service, plan.service.uid, true);
  serviceSection.props.push_back(UidList(tags::kStoreProviders, plan.providers, MAPI_STORE_PROVIDER));
  serviceSection.props.push_back(UidList(tags::kAbProviders, plan.providers, MAPI_AB_PROVIDER));
  serviceSection.props.push_back(UidList(tags::kTransportProviders, plan.providers, MAPI_TRANSPORT_PROVIDER));
  plan.sections.push_back(std::move(serviceSection));
  for (size_t i = 0; i < sourceProviders.size(); ++i) {
    bool store = sourceProviders[i].resourceType == MAPI_STORE_PROVIDER;
    plan.sections.push_back(copy(sourceProviders[i].uid, plan.providers[i].uid, store));
  }
  // The copy holds no role of the original: the destination decides its default store
  // and primary identity.
  for (TSectionData& section : plan.sections)
    if (const TStoredProp* flags = FindStored(section.props, tags::kResourceFlags)) {
      SPropValue value{};
      DecodePropValue(
          tags::kResourceFlags, flags->value, [](size_t) -> void* { throw std::bad_alloc(); }, value);
      ULONG kept = value.Value.ul &
                   ~(SERVICE_DEFAULT_STORE | STATUS_DEFAULT_STORE | SERVICE_PRIMARY_IDENTITY | STATUS_PRIMARY_IDENTITY);
      for (TStoredProp& prop : section.props)
        if (prop.tag == tags::kResourceFlags) prop = Long(tags::kResourceFlags, kept);
    }
  return plan;
}

}  // namespace orba::store
