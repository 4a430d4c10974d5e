// IProviderAdmin over the profile database: see provideradmin.h.
#include "admin/provideradmin.h"
#include "base/lasterror.h"
#include "props/propstrings.h"

#include "admin/sectionrows.h"
#include "orba/common/utf8.h"
#include "profiles/profsect.h"
#include "profiles/services.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/mapitable.h"

namespace orba::store {

HRESULT TProviderAdmin::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

void TProviderAdmin::RequireOwnProvider(const MAPIUID& uid) {
  for (const TProviderInfo& provider : db_->Providers(profile_, &service_.uid))
    if (IsEqualMAPIUID(&provider.uid, &uid)) return;
  throw TMapiError(MAPI_E_NOT_FOUND, "The message service has no provider with that UID.");
}

HRESULT TProviderAdmin::GetProviderTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    std::vector<MAPIUID> sections;
    for (const TProviderInfo& provider : db_->Providers(profile_, &service_.uid)) sections.push_back(provider.uid);
    *lppTable = CreateMapiTable(SectionRows(*db_, profile_, sections, ProviderColumns())).Detach();
    return S_OK;
  });
}

HRESULT TProviderAdmin::CreateProvider(LPTSTR lpszProvider, ULONG cValues, LPSPropValue lpProps, ULONG_PTR,
                                       ULONG ulFlags, MAPIUID* lpUID) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE | SERVICE_UI_ALWAYS | SERVICE_UI_ALLOWED);
    Check(lpszProvider != nullptr && lpUID != nullptr, MAPI_E_INVALID_PARAMETER,
          "A provider name and a result pointer are needed.");
    Check(cValues == 0 || lpProps != nullptr, MAPI_E_INVALID_PARAMETER, "No properties were given.");
    Check(!(ulFlags & SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL,
          "The provider's property sheet cannot be shown: there is no user interface.");
    // A new store is named after its service, as the service's first stores are.
    std::u16string display;
    TStoredProps serviceProps = db_->ReadSection(profile_, service_.uid);
    auto values = DecodeStored(serviceProps);
    for (size_t i = 0; i < serviceProps.size(); ++i)
      if (values.get()[i].ulPropTag == tags::kDisplayNameW) display = values.get()[i].Value.lpszW;
    TProviderPlan plan = PlanProvider(service_.name, service_.uid, ArgText(lpszProvider, ulFlags), display);
    for (ULONG i = 0; i < cValues; ++i) {
      TStoredProp given{lpProps[i].ulPropTag, EncodePropValue(lpProps[i])};
      std::erase_if(plan.section, [&](const TStoredProp& p) { return PROP_ID(p.tag) == PROP_ID(given.tag); });
      plan.section.push_back(std::move(given));
    }
    db_->AddProvider(profile_, plan.provider, plan.section);
    *lpUID = plan.provider.uid;
    return S_OK;
  });
}

HRESULT TProviderAdmin::DeleteProvider(LPMAPIUID lpUID) {
  return Guarded(error_, [&] {
    Check(lpUID != nullptr, MAPI_E_INVALID_PARAMETER, "No provider UID was given.");
    RequireOwnProvider(*lpUID);
    db_->DeleteProvider(profile_, *lpUID);
    return S_OK;
  });
}

HRESULT TProviderAdmin::OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags,
                                           LPPROFSECT* lppProfSect) {
  return Guarded(error_, [&] {
    Check(lppProfSect != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppProfSect = nullptr;
    *lppProfSect =
        orba::store::OpenProfileSection(db_, profile_, lpUID ? *lpUID : service_.uid, lpInterface, ulFlags).Detach();
    return S_OK;
  });
}

}  // namespace orba::store
