// IProviderAdmin over the profile database: the providers of one message service.
//
// CreateProvider takes the display name of one of the service's provider kinds
// ("Exchange Message Store", "Personal Folders", ...) and adds another provider of
// that kind, its section holding the given properties (an additional mailbox or
// personal store file of the service). It never shows a dialog: SERVICE_UI_ALWAYS
// answers MAPI_E_USER_CANCEL. OpenProfileSection with a null UID opens the service's
// own section, as MAPI documents.
#pragma once

#include <memory>
#include <string>

#include "base/lasterror.h"
#include "mapi/mapix.h"
#include "orba/common/comobject.h"
#include "storage/profiledb.h"

namespace orba::store {

class TProviderAdmin final : public TVoComObject<TVoRefCounted, IProviderAdmin> {
 public:
  TProviderAdmin(std::shared_ptr<TProfileDatabase> db, std::string profile, TServiceInfo service)
      : db_(std::move(db)), profile_(std::move(profile)), service_(std::move(service)) {}

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override;
  STDMETHOD(GetProviderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(CreateProvider)
  (LPTSTR lpszProvider, ULONG cValues, LPSPropValue lpProps, ULONG_PTR ulUIParam, ULONG ulFlags,
   MAPIUID* lpUID) override;
  STDMETHOD(DeleteProvider)(LPMAPIUID lpUID) override;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) override;

 private:
  // The service's provider of that UID (MAPI_E_NOT_FOUND when it has none).
  void RequireOwnProvider(const MAPIUID& uid);

  std::shared_ptr<TProfileDatabase> db_;
  std::string profile_;
  TServiceInfo service_;
  TLastError error_;
};

}  // namespace orba::store
