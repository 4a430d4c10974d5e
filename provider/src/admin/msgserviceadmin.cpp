// IMsgServiceAdmin over the profile database: see profadmin.h.
#include <cstring>

#include "admin/profadmin.h"
#include "admin/provideradmin.h"
#include "admin/sectionrows.h"
#include "base/lasterror.h"
#include "orba/common/utf8.h"
#include "profiles/profsect.h"
#include "profiles/services.h"
#include "props/propstrings.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/mapitable.h"

namespace orba::store {
namespace {

const MAPIUID& RequireUid(LPMAPIUID uid) {
  Check(uid != nullptr, MAPI_E_INVALID_PARAMETER, "No service UID was given.");
  return *uid;
}

}  // namespace

TServiceInfo TMsgServiceAdmin::RequireService(const MAPIUID& uid) {
  for (const TServiceInfo& info : db_->Services(profile_))
    if (IsEqualMAPIUID(&info.uid, &uid)) return info;
  throw TMapiError(MAPI_E_NOT_FOUND, "The message service does not exist.");
}

HRESULT TMsgServiceAdmin::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

HRESULT TMsgServiceAdmin::GetMsgServiceTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    std::vector<MAPIUID> sections;
    for (const TServiceInfo& service : db_->Services(profile_)) sections.push_back(service.uid);
    *lppTable = CreateMapiTable(SectionRows(*db_, profile_, sections, ServiceColumns())).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::GetProviderTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    std::vector<MAPIUID> sections;
    for (const TProviderInfo& provider : db_->Providers(profile_)) sections.push_back(provider.uid);
    *lppTable = CreateMapiTable(SectionRows(*db_, profile_, sections, ProviderColumns())).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::CreateMsgService(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE | SERVICE_UI_ALWAYS | SERVICE_UI_ALLOWED);
    Check(lpszService != nullptr, MAPI_E_INVALID_PARAMETER, "No service name was given.");
    std::string name = ArgText(lpszService, ulFlags);
    Check(FindKnownService(name) != nullptr, MAPI_E_NOT_FOUND, "The message service is unknown.");
    Check(!(ulFlags & SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL,
          "The service's property sheet cannot be shown: there is no user interface.");
    db_->AddService(profile_, PlanService(name, FromUtf8(ArgText(lpszDisplayName, ulFlags))));
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::DeleteMsgService(LPMAPIUID lpUID) {
  return Guarded(error_, [&] {
    db_->DeleteService(profile_, RequireUid(lpUID));
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::ConfigureMsgService(LPMAPIUID lpUID, ULONG_PTR, ULONG ulFlags, ULONG cValues,
                                              LPSPropValue lpProps) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE | MSG_SERVICE_UI_READ_ONLY | SERVICE_UI_ALLOWED | SERVICE_UI_ALWAYS);
    const MAPIUID& uid = RequireUid(lpUID);
    Check(cValues == 0 || lpProps != nullptr, MAPI_E_INVALID_PARAMETER, "No properties were given.");
    const TServiceInfo service = RequireService(uid);
    Check(!(ulFlags & SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL,
          "The service's property sheet cannot be shown: there is no user interface.");
    // Only settings that complete the service may go in without its property sheet.
    Check(!(ulFlags & SERVICE_UI_ALLOWED) || IsServiceConfigured(*db_, profile_, service, cValues, lpProps),
          MAPI_E_USER_CANCEL, "The service lacks settings and its property sheet cannot be shown.");
    ApplyServiceConfiguration(*db_, profile_, uid, cValues, lpProps);
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::CopyMsgService(LPMAPIUID lpUID, LPTSTR lpszDisplayName, LPCIID lpInterfaceToCopy,
                                         LPCIID lpInterfaceDst, LPVOID lpObjectDst, ULONG_PTR, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE);
    const MAPIUID& uid = RequireUid(lpUID);
    Check(lpObjectDst != nullptr, MAPI_E_INVALID_PARAMETER, "No destination was given.");
    Check(!lpInterfaceToCopy || *lpInterfaceToCopy == IID_IMsgServiceAdmin, MAPI_E_INTERFACE_NOT_SUPPORTED,
          "Only message services can be copied.");
    Check(!lpInterfaceDst || *lpInterfaceDst == IID_IMsgServiceAdmin, MAPI_E_INTERFACE_NOT_SUPPORTED,
          "The destination must be an IMsgServiceAdmin.");
    // Only this library's profiles can receive the copy.
    auto* destination = dynamic_cast<TMsgServiceAdmin*>(static_cast<IMsgServiceAdmin*>(lpObjectDst));
    Check(destination != nullptr, MAPI_E_INVALID_PARAMETER, "The destination is not a profile of this library.");
    RequireService(uid);
    TServicePlan plan = PlanServiceCopy(*db_, profile_, uid, FromUtf8(ArgText(lpszDisplayName, ulFlags)));
    destination->db_->AddService(destination->profile_, plan);
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::RenameMsgService(LPMAPIUID, ULONG, LPTSTR) {
  error_.Set(MAPI_E_NO_SUPPORT, "RenameMsgService is deprecated; set PR_DISPLAY_NAME with ConfigureMsgService.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags,
                                             LPPROFSECT* lppProfSect) {
  return Guarded(error_, [&] {
    Check(lppProfSect != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppProfSect = nullptr;
    Check(lpUID != nullptr, MAPI_E_INVALID_PARAMETER, "No section UID was given.");
    *lppProfSect = orba::store::OpenProfileSection(db_, profile_, *lpUID, lpInterface, ulFlags).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::MsgServiceTransportOrder(ULONG, LPMAPIUID, ULONG) {
  error_.Set(MAPI_E_NO_SUPPORT, "The transport order is the order in which services were created.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::AdminProviders(LPMAPIUID lpUID, ULONG ulFlags, LPPROVIDERADMIN* lppProviderAdmin) {
  return Guarded(error_, [&] {
    Check(lppProviderAdmin != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppProviderAdmin = nullptr;
    CheckFlags(ulFlags, 0);
    TServiceInfo service = RequireService(RequireUid(lpUID));
    *lppProviderAdmin = MakeComObject<TProviderAdmin>(db_, profile_, std::move(service)).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::SetPrimaryIdentity(LPMAPIUID lpUID, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, 0);
    const MAPIUID& uid = RequireUid(lpUID);
    RequireService(uid);
    for (const TStoredProp& prop : db_->ReadSection(profile_, uid)) {
      if (prop.tag != tags::kResourceFlags) continue;
      auto values = DecodeStored({prop});
      Check(!(values->Value.ul & SERVICE_NO_PRIMARY_IDENTITY), MAPI_E_NO_ACCESS,
            "The message service cannot supply the primary identity.");
    }
    db_->SetPrimaryIdentity(profile_, uid);
    return S_OK;
  });
}

}  // namespace orba::store
