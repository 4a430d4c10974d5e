// IProfAdmin and IMsgServiceAdmin over the profile database.
//
// Decisions where MAPI leaves room or would show a dialog:
// - Profile names: 1 to 64 characters, no leading or trailing space
//   (MAPI_E_INVALID_PARAMETER otherwise); profiles have no passwords, so CreateProfile
//   refuses a non-empty password (MAPI_E_INVALID_PARAMETER) and ChangeProfilePassword
//   answers MAPI_E_NO_SUPPORT; the password of other calls is ignored.
// - MAPI_DIALOG is accepted and no dialog is ever shown.
// - CreateMsgService with SERVICE_UI_ALWAYS would need the service's property sheet:
//   MAPI_E_USER_CANCEL, nothing is created. ConfigureMsgService: SERVICE_UI_ALWAYS
//   answers MAPI_E_USER_CANCEL without changes; SERVICE_UI_ALLOWED answers it only when
//   the service would still lack settings after the given properties (then nothing is
//   changed); without UI flags the properties are stored and an incompletely
//   configured service stays so (its logon fails later), as MAPI documents.
// - RenameMsgService is deprecated in MAPI and answers MAPI_E_NO_SUPPORT, as MAPI's
//   does; MsgServiceTransportOrder answers MAPI_E_NO_SUPPORT (transport order is
//   fixed: creation order).
// - CopyMsgService copies a service into another profile of this library (the
//   destination is that profile's IMsgServiceAdmin): see PlanServiceCopy.
// - SetPrimaryIdentity refuses a service flagged SERVICE_NO_PRIMARY_IDENTITY with
//   MAPI_E_NO_ACCESS; AdminProviders' flags are reserved (0).
#pragma once

#include <memory>
#include <string>

#include "base/lasterror.h"
#include "mapi/mapix.h"
#include "orba/common/comobject.h"
#include "storage/profiledb.h"

namespace orba::store {

class TProfAdmin final : public TVoComObject<TVoRefCounted, IProfAdmin> {
 public:
  explicit TProfAdmin(std::shared_ptr<TProfileDatabase> db) : db_(std::move(db)) {}

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override;
  STDMETHOD(GetProfileTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(CreateProfile)(LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam, ULONG ulFlags) override;
  STDMETHOD(DeleteProfile)(LPTSTR lpszProfileName, ULONG ulFlags) override;
  STDMETHOD(ChangeProfilePassword)
  (LPTSTR lpszProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewPassword, ULONG ulFlags) override;
  STDMETHOD(CopyProfile)
  (LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam,
   ULONG ulFlags) override;
  STDMETHOD(RenameProfile)
  (LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword, LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam,
   ULONG ulFlags) override;
  STDMETHOD(SetDefaultProfile)(LPTSTR lpszProfileName, ULONG ulFlags) override;
  STDMETHOD(AdminServices)
  (LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam, ULONG ulFlags,
   LPSERVICEADMIN* lppServiceAdmin) override;

 private:
  std::shared_ptr<TProfileDatabase> db_;
  TLastError error_;
};

class TMsgServiceAdmin final : public TVoComObject<TVoRefCounted, IMsgServiceAdmin> {
 public:
  TMsgServiceAdmin(std::shared_ptr<TProfileDatabase> db, std::string profile)
      : db_(std::move(db)), profile_(std::move(profile)) {}

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override;
  STDMETHOD(GetMsgServiceTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(CreateMsgService)(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR ulUIParam, ULONG ulFlags) override;
  STDMETHOD(DeleteMsgService)(LPMAPIUID lpUID) override;
  STDMETHOD(CopyMsgService)
  (LPMAPIUID lpUID, LPTSTR lpszDisplayName, LPCIID lpInterfaceToCopy, LPCIID lpInterfaceDst, LPVOID lpObjectDst,
   ULONG_PTR ulUIParam, ULONG ulFlags) override;
  STDMETHOD(RenameMsgService)(LPMAPIUID lpUID, ULONG ulFlags, LPTSTR lpszDisplayName) override;
  STDMETHOD(ConfigureMsgService)
  (LPMAPIUID lpUID, ULONG_PTR ulUIParam, ULONG ulFlags, ULONG cValues, LPSPropValue lpProps) override;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) override;
  STDMETHOD(MsgServiceTransportOrder)(ULONG cUID, LPMAPIUID lpUIDList, ULONG ulFlags) override;
  STDMETHOD(AdminProviders)(LPMAPIUID lpUID, ULONG ulFlags, LPPROVIDERADMIN* lppProviderAdmin) override;
  STDMETHOD(SetPrimaryIdentity)(LPMAPIUID lpUID, ULONG ulFlags) override;
  STDMETHOD(GetProviderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;

 private:
  // The service of that UID (TMapiError MAPI_E_NOT_FOUND when the profile has none).
  TServiceInfo RequireService(const MAPIUID& uid);

  std::shared_ptr<TProfileDatabase> db_;
  std::string profile_;
  TLastError error_;
};

}  // namespace orba::store
