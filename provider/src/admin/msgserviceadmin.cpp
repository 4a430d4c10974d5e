// IMsgServiceAdmin over the profile database: see profadmin.h.
#include <cstring>

#include "orba/common/utf8.h"
#include "orba/store/admin/profadmin.h"
#include "orba/store/mapitable.h"
#include "orba/store/profiles/sectionprops.h"
#include "orba/store/profiles/services.h"
#include "orba/store/tags.h"

namespace orba::store {
namespace {

// One row per section: its properties plus PR_INSTANCE_KEY (the section's UID) and
// PR_ROWID (its position).
void PutSectionRow(TMemoryRowSource& source, TProfileDatabase& db, const std::string& profile, const MAPIUID& uid,
                   ULONG rowId) {
  TStoredProps props = db.ReadSection(profile, uid);
  auto values = DecodeSection(props, 2);
  SPropValue* extra = values.get() + props.size();
  extra[0].ulPropTag = tags::kInstanceKey;
  extra[0].Value.bin = {sizeof(uid.ab), const_cast<LPBYTE>(uid.ab)};
  extra[1].ulPropTag = tags::kRowId;
  extra[1].Value.ul = rowId;
  source.Put(TPropRow(values.get(), props.size() + 2));
}

const MAPIUID& RequireUid(LPMAPIUID uid) {
  Check(uid != nullptr, MAPI_E_INVALID_PARAMETER, "No service UID was given.");
  return *uid;
}

std::vector<ULONG> ServiceColumns() {
  return {tags::kDisplayNameW, tags::kServiceNameA, tags::kServiceUid, tags::kResourceFlags,
          tags::kServiceDllNameA, tags::kInstanceKey, tags::kRowId};
}

std::vector<ULONG> ProviderColumns() {
  return {tags::kDisplayNameW,  tags::kProviderDisplayW, tags::kProviderUid,      tags::kServiceUid,
          tags::kServiceNameA,  tags::kResourceType,     tags::kResourceFlags,    tags::kProviderDllNameA,
          tags::kInstanceKey,   tags::kRowId};
}

}  // namespace

HRESULT TMsgServiceAdmin::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

HRESULT TMsgServiceAdmin::GetMsgServiceTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return error_.Run([&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    auto source = std::make_shared<TMemoryRowSource>(ServiceColumns());
    ULONG row = 0;
    for (const TServiceInfo& service : db_->Services(profile_)) PutSectionRow(*source, *db_, profile_, service.uid, row++);
    *lppTable = CreateMapiTable(std::move(source)).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::GetProviderTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return error_.Run([&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    auto source = std::make_shared<TMemoryRowSource>(ProviderColumns());
    ULONG row = 0;
    for (const TProviderInfo& provider : db_->Providers(profile_))
      PutSectionRow(*source, *db_, profile_, provider.uid, row++);
    *lppTable = CreateMapiTable(std::move(source)).Detach();
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::CreateMsgService(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR, ULONG ulFlags) {
  return error_.Run([&] {
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
  return error_.Run([&] {
    db_->DeleteService(profile_, RequireUid(lpUID));
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::ConfigureMsgService(LPMAPIUID lpUID, ULONG_PTR, ULONG ulFlags, ULONG cValues,
                                              LPSPropValue lpProps) {
  return error_.Run([&] {
    CheckFlags(ulFlags, MAPI_UNICODE | MSG_SERVICE_UI_READ_ONLY | SERVICE_UI_ALLOWED | SERVICE_UI_ALWAYS);
    const MAPIUID& uid = RequireUid(lpUID);
    Check(cValues == 0 || lpProps != nullptr, MAPI_E_INVALID_PARAMETER, "No properties were given.");
    std::optional<TServiceInfo> service;
    for (const TServiceInfo& info : db_->Services(profile_))
      if (IsEqualMAPIUID(&info.uid, &uid)) service = info;
    Check(service.has_value(), MAPI_E_NOT_FOUND, "The message service does not exist.");
    Check(!(ulFlags & SERVICE_UI_ALWAYS), MAPI_E_USER_CANCEL,
          "The service's property sheet cannot be shown: there is no user interface.");
    // Only settings that complete the service may go in without its property sheet.
    Check(!(ulFlags & SERVICE_UI_ALLOWED) || IsServiceConfigured(*db_, profile_, *service, cValues, lpProps),
          MAPI_E_USER_CANCEL, "The service lacks settings and its property sheet cannot be shown.");
    ApplyServiceConfiguration(*db_, profile_, uid, cValues, lpProps);
    return S_OK;
  });
}

HRESULT TMsgServiceAdmin::CopyMsgService(LPMAPIUID, LPTSTR, LPCIID, LPCIID, LPVOID, ULONG_PTR, ULONG) {
  error_.Set(MAPI_E_NO_SUPPORT, "Copying message services is not supported.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::RenameMsgService(LPMAPIUID, ULONG, LPTSTR) {
  error_.Set(MAPI_E_NO_SUPPORT, "RenameMsgService is deprecated; set PR_DISPLAY_NAME with ConfigureMsgService.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) {
  error_.Set(MAPI_E_NO_SUPPORT, "Profile sections cannot be opened yet.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::MsgServiceTransportOrder(ULONG, LPMAPIUID, ULONG) {
  error_.Set(MAPI_E_NO_SUPPORT, "The transport order is the order in which services were created.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::AdminProviders(LPMAPIUID, ULONG, LPPROVIDERADMIN*) {
  error_.Set(MAPI_E_NO_SUPPORT, "Provider administration is not available yet.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TMsgServiceAdmin::SetPrimaryIdentity(LPMAPIUID, ULONG) {
  error_.Set(MAPI_E_NO_SUPPORT, "The primary identity is the Exchange service's.");
  return MAPI_E_NO_SUPPORT;
}

}  // namespace orba::store
