// IProfSect: a profile section over the property object engine.
//
// As MAPI documents profile sections: they are not transacted (every SetProps,
// DeleteProps, CopyTo or CopyProps is stored at once and SaveChanges succeeds without
// anything left to do), they have no named properties (the name calls answer
// MAPI_E_NO_SUPPORT and identifiers from 0x8000 up are refused per property), and the
// secure properties 0x67F0-0x67FF are left out of GetPropList and of GetProps with a
// null tag array. PR_OBJECT_TYPE (MAPI_PROFSECT) and PR_PROFILE_NAME are computed.
// A change writes only the property identifiers it set or deleted, each change in one
// transaction of the profile database, so that processes changing different
// properties of one section never lose each other's changes.
#pragma once

#include <memory>
#include <string>

#include "mapi/mapidefs.h"
#include "props/propobject.h"
#include "storage/profiledb.h"

namespace orba::store {

class TProfSect final : public TPropObject<IProfSect> {
 public:
  // Loads the section's stored properties (TMapiError on failure).
  TProfSect(std::shared_ptr<TProfileDatabase> db, std::string profile, const MAPIUID& uid, TAccessMode access);

 protected:
  void Persist(const TPropChanges& changes, ULONG flags) override;

 private:
  std::shared_ptr<TProfileDatabase> db_;
  std::string profile_;
  MAPIUID uid_;
};

// OpenProfileSection of the session and the administration objects. lpInterface may be
// null, IID_IProfSect, IID_IMAPIProp or IID_IUnknown (MAPI_E_INTERFACE_NOT_SUPPORTED
// otherwise); flags may hold MAPI_MODIFY and MAPI_DEFERRED_ERRORS. Without MAPI_MODIFY
// the section is read-only and one that holds nothing is MAPI_E_NOT_FOUND; with it a
// missing section is created by its first property. Throws TMapiError.
ComPtr<IProfSect> OpenProfileSection(const std::shared_ptr<TProfileDatabase>& db, const std::string& profile,
                                     const MAPIUID& uid, LPCIID lpInterface, ULONG flags);

}  // namespace orba::store
