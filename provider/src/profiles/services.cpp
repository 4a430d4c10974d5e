// The known message services: see services.h.
#include "orba/store/profiles/services.h"

#include <cstring>

#include "mapi/mapiguid.h"
#include "mapi/mapix.h"
#include "orba/common/encoding.h"
#include "orba/store/maperror.h"
#include "orba/store/tags.h"

namespace orba::store {
namespace {

struct TProviderTemplate {
  ULONG resourceType;
  const char16_t* displayName;
};

struct TServiceTemplate {
  const char* name;
  const char16_t* displayName;
  ULONG serviceFlags;
  const MAPIUID* mdbProvider;  // of its store provider, if it has one
  std::vector<TProviderTemplate> providers;
};

const std::vector<TServiceTemplate>& Catalogue() {
  static const std::vector<TServiceTemplate> services = {
      {kServiceExchange, u"Exchange Mailbox", SERVICE_SINGLE_COPY | SERVICE_PRIMARY_IDENTITY, &kExchangeMdbProvider,
       {{MAPI_STORE_PROVIDER, u"Exchange Message Store"},
        {MAPI_AB_PROVIDER, u"Exchange Directory"},
        {MAPI_TRANSPORT_PROVIDER, u"Exchange Transport"}}},
      {kServicePst, u"Personal Folders", 0, &kPstMdbProvider, {{MAPI_STORE_PROVIDER, u"Personal Folders"}}},
      {kServiceContacts, u"Contacts", SERVICE_SINGLE_COPY | SERVICE_NO_PRIMARY_IDENTITY, nullptr,
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

}  // namespace

const char* FindKnownService(std::string_view name) {
  const TServiceTemplate* service = FindTemplate(name);
  return service ? service->name : nullptr;
}

std::vector<std::string> DefaultServices() { return {kServiceContacts}; }

TServicePlan PlanService(std::string_view name, const std::u16string& displayName) {
  const TServiceTemplate* service = FindTemplate(name);
  if (!service) throw MapiError(MAPI_E_NOT_FOUND, "The message service is unknown.");
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

  for (size_t i = 0; i < plan.providers.size(); ++i) {
    const TProviderInfo& provider = plan.providers[i];
    const std::u16string providerDisplay = service->providers[i].displayName;
    TSectionData section{provider.uid, {}};
    section.props.push_back(Long(tags::kResourceFlags, 0));
    section.props.push_back(Wide(tags::kProviderDisplayW, providerDisplay));
    // A store's display name is the service's; other providers show their own.
    section.props.push_back(
        Wide(tags::kDisplayNameW, provider.resourceType == MAPI_STORE_PROVIDER ? serviceDisplay : providerDisplay));
    section.props.push_back(Ansi(tags::kProviderDllNameA, kProviderDllName));
    section.props.push_back(Uid(tags::kProviderUid, provider.uid));
    section.props.push_back(Long(tags::kResourceType, provider.resourceType));
    section.props.push_back(Ansi(tags::kServiceNameA, service->name));
    section.props.push_back(Uid(tags::kServiceUid, plan.service.uid));
    if (provider.resourceType == MAPI_STORE_PROVIDER) section.props.push_back(Uid(tags::kMdbProvider, *service->mdbProvider));
    plan.sections.push_back(std::move(section));
  }

  if (service->name == std::string_view(kServiceExchange)) {
    MAPIUID global;
    std::memcpy(global.ab, pbGlobalProfileSectionGuid.ab, sizeof(global.ab));
    plan.sections.push_back({global, {Long(tags::kProfileConnectFlags, 0), Long(tags::kProfileUiState, 0)}});
  }
  return plan;
}

void ApplyServiceConfiguration(TProfileDatabase& db, const std::string& profile, const MAPIUID& service,
                               ULONG count, const SPropValue* props) {
  if (count && !props) throw MapiError(MAPI_E_INVALID_PARAMETER, "No properties were given.");
  const std::vector<TProviderInfo> providers = db.Providers(profile, &service);
  TStoredProps stored, global;
  for (ULONG i = 0; i < count; ++i) {
    TStoredProp prop = Stored(props[i]);
    ULONG id = PROP_ID(prop.tag);
    if (id == PROP_ID(tags::kProfileUnresolvedNameA) || id == PROP_ID(tags::kProfileUnresolvedServerA))
      global.push_back(prop);
    stored.push_back(std::move(prop));
  }
  std::vector<TSectionData> changes{{service, stored}};
  for (const TProviderInfo& provider : providers) changes.push_back({provider.uid, stored});
  bool exchange = false;
  for (const TServiceInfo& info : db.Services(profile))
    if (IsEqualMAPIUID(&info.uid, &service)) exchange = info.name == kServiceExchange;
  if (exchange && !global.empty()) {
    MAPIUID uid;
    std::memcpy(uid.ab, pbGlobalProfileSectionGuid.ab, sizeof(uid.ab));
    changes.push_back({uid, global});
  }
  db.UpdateSections(profile, changes);
}

bool IsServiceConfigured(TProfileDatabase& db, const std::string& profile, const TServiceInfo& service,
                         ULONG count, const SPropValue* props) {
  TStoredProps stored = db.ReadSection(profile, service.uid);
  auto has = [&](ULONG tag) {
    for (ULONG i = 0; i < count; ++i)
      if (PROP_ID(props[i].ulPropTag) == PROP_ID(tag)) return true;
    return SectionHas(stored, PROP_ID(tag));
  };
  if (service.name == kServiceExchange) return has(tags::kProfileUnresolvedNameA) && has(tags::kProfileUnresolvedServerA);
  if (service.name == kServicePst) return has(tags::kPstPathA);
  return true;
}

}  // namespace orba::store
