// Profile sections: see profsect.h.
#include "profiles/profsect.h"

#include "base/lasterror.h"
#include "orba/common/utf8.h"
#include "profiles/sectionprops.h"
#include "props/tags.h"

namespace orba::store {

TProfSect::TProfSect(std::shared_ptr<TProfileDatabase> db, std::string profile, const MAPIUID& uid, TAccessMode access)
    : TPropObject<IProfSect>(TPropObjectOptions{access, false, nullptr}),
      db_(std::move(db)),
      profile_(std::move(profile)),
      uid_(uid) {
  TStoredProps stored = db_->ReadSection(profile_, uid_);
  auto values = DecodeSection(stored);
  for (size_t i = 0; i < stored.size(); ++i) Load(values.get()[i]);
  AddComputed(tags::kObjectType, [](SPropValue& out, void*) {
    out.ulPropTag = tags::kObjectType;
    out.Value.ul = MAPI_PROFSECT;
  });
  AddComputed(tags::kProfileNameW, [name = FromUtf8(profile_)](SPropValue& out, void* parent) {
    auto* text = AllocateMoreOf<char16_t>(name.size() + 1, parent);
    std::copy(name.c_str(), name.c_str() + name.size() + 1, text);
    out.ulPropTag = tags::kProfileNameW;
    out.Value.lpszW = text;
  });
}

void TProfSect::Persist(const TPropChanges& changes, ULONG) {
  TStoredProps set;
  for (ULONG propId : changes.changed)
    if (const SPropValue* value = Bag().Find(propId)) set.push_back({value->ulPropTag, EncodePropValue(*value)});
  db_->UpdateSection(profile_, uid_, set, {changes.deleted.begin(), changes.deleted.end()});
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
