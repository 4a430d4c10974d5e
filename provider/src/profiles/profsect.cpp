// Profile sections: see profsect.h.
#include "profiles/profsect.h"

#include "base/lasterror.h"
#include "orba/common/utf8.h"
#include "props/propvalues.h"
#include "props/tags.h"

namespace orba::store {

TProfSect::TProfSect(std::shared_ptr<TProfileDatabase> db, std::string profile, const MAPIUID& uid, TAccessMode access)
    : TPropObject<IProfSect>(TPropObjectOptions{access, false, nullptr}),
      db_(std::move(db)),
      profile_(std::move(profile)),
      uid_(uid) {
  LoadStored(db_->ReadSection(profile_, uid_));
  AddComputed(tags::kObjectType, [](SPropValue& out, void*) { out = LongValue(tags::kObjectType, MAPI_PROFSECT); });
  AddComputed(tags::kProfileNameW, [name = FromUtf8(profile_)](SPropValue& out, void* parent) {
    out = TextValue(tags::kProfileNameW, name, parent);
  });
}

void TProfSect::Persist(const TPropChanges& changes, ULONG) {
  db_->UpdateSection(profile_, uid_, StoredChanges(changes), changes.DeletedIds());
}

ComPtr<IProfSect> OpenProfileSection(const std::shared_ptr<TProfileDatabase>& db, const std::string& profile,
                                     const MAPIUID& uid, LPCIID lpInterface, ULONG flags) {
  CheckFlags(flags, MAPI_MODIFY | MAPI_DEFERRED_ERRORS);
  Check(!lpInterface || *lpInterface == IID_IProfSect || *lpInterface == IID_IMAPIProp || *lpInterface == IID_IUnknown,
        MAPI_E_INTERFACE_NOT_SUPPORTED, "A profile section offers IProfSect and IMAPIProp only.");
  bool modify = (flags & MAPI_MODIFY) != 0;
  Check(modify || db->HasSection(profile, uid), MAPI_E_NOT_FOUND, "The profile section does not exist.");
  return MakeComObject<TProfSect>(db, profile, uid, modify ? TAccessMode::ReadWrite : TAccessMode::ReadOnly);
}

}  // namespace orba::store
