// IProfAdmin over the profile database: see profadmin.h.
#include "admin/profadmin.h"
#include "base/lasterror.h"
#include "props/propstrings.h"

#include <cstring>

#include "base/export.h"
#include "mapi/mapiexports.h"
#include "orba/common/utf8.h"
#include "profiles/services.h"
#include "props/tags.h"
#include "session/mapiinit.h"
#include "table/mapitable.h"

namespace orba::store {
namespace {

constexpr ULONG kMaxProfileName = 64;

// The name as UTF-8 after MAPI's rules for profile names.
std::string ProfileName(LPTSTR name, ULONG flags) {
  Check(name != nullptr, MAPI_E_INVALID_PARAMETER, "No profile name was given.");
  std::string text = ArgText(name, flags);
  size_t length = FromUtf8(text).size();
  Check(length > 0 && length <= kMaxProfileName, MAPI_E_INVALID_PARAMETER, "A profile name has 1 to 64 characters.");
  Check(text.front() != ' ' && text.back() != ' ', MAPI_E_INVALID_PARAMETER,
        "A profile name neither starts nor ends with a space.");
  return text;
}

// The profile table: PR_DISPLAY_NAME and PR_DEFAULT_PROFILE of every profile.
std::shared_ptr<TTableRowSource> ProfileRows(TProfileDatabase& db) {
  auto source = std::make_shared<TMemoryRowSource>(
      std::vector<ULONG>{tags::kDisplayNameW, tags::kDefaultProfile, tags::kInstanceKey});
  for (const TProfileInfo& profile : db.Profiles()) {
    WideString name = FromUtf8(profile.name);
    SPropValue row[3] = {};
    row[0].ulPropTag = tags::kDisplayNameW;
    row[0].Value.lpszW = name.data();
    row[1].ulPropTag = tags::kDefaultProfile;
    row[1].Value.b = profile.isDefault ? 1 : 0;
    row[2].ulPropTag = tags::kInstanceKey;
    row[2].Value.bin = {static_cast<ULONG>(profile.name.size()),
                        reinterpret_cast<LPBYTE>(const_cast<char*>(profile.name.data()))};
    source->Put(TPropRow(row, 3));
  }
  return source;
}

}  // namespace

HRESULT TProfAdmin::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

HRESULT TProfAdmin::GetProfileTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    *lppTable = CreateMapiTable(ProfileRows(*db_)).Detach();
    return S_OK;
  });
}

HRESULT TProfAdmin::CreateProfile(LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_DEFAULT_SERVICES | MAPI_DIALOG | MAPI_UNICODE);
    std::string name = ProfileName(lpszProfileName, ulFlags);
    Check(ArgText(lpszPassword, ulFlags).empty(), MAPI_E_INVALID_PARAMETER, "Profiles have no passwords.");
    db_->CreateProfile(name);
    if (ulFlags & MAPI_DEFAULT_SERVICES) {
      try {
        for (const std::string& service : DefaultServices()) db_->AddService(name, PlanService(service, u""));
      } catch (...) {
        db_->DeleteProfile(name);  // a profile is created whole or not at all
        throw;
      }
    }
    return S_OK;
  });
}

HRESULT TProfAdmin::DeleteProfile(LPTSTR lpszProfileName, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE);
    db_->DeleteProfile(ProfileName(lpszProfileName, ulFlags));
    return S_OK;
  });
}

HRESULT TProfAdmin::ChangeProfilePassword(LPTSTR, LPTSTR, LPTSTR, ULONG) {
  error_.Set(MAPI_E_NO_SUPPORT, "Profiles have no passwords.");
  return MAPI_E_NO_SUPPORT;
}

HRESULT TProfAdmin::CopyProfile(LPTSTR lpszOldProfileName, LPTSTR, LPTSTR lpszNewProfileName, ULONG_PTR,
                                ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_DIALOG | MAPI_UNICODE);
    db_->CopyProfile(ProfileName(lpszOldProfileName, ulFlags), ProfileName(lpszNewProfileName, ulFlags));
    return S_OK;
  });
}

HRESULT TProfAdmin::RenameProfile(LPTSTR lpszOldProfileName, LPTSTR, LPTSTR lpszNewProfileName, ULONG_PTR,
                                  ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_DIALOG | MAPI_UNICODE);
    db_->RenameProfile(ProfileName(lpszOldProfileName, ulFlags), ProfileName(lpszNewProfileName, ulFlags));
    return S_OK;
  });
}

HRESULT TProfAdmin::SetDefaultProfile(LPTSTR lpszProfileName, ULONG ulFlags) {
  return Guarded(error_, [&] {
    CheckFlags(ulFlags, MAPI_UNICODE);
    std::optional<std::string> name;
    if (lpszProfileName) name = ProfileName(lpszProfileName, ulFlags);
    db_->SetDefaultProfile(name);
    return S_OK;
  });
}

HRESULT TProfAdmin::AdminServices(LPTSTR lpszProfileName, LPTSTR, ULONG_PTR, ULONG ulFlags,
                                  LPSERVICEADMIN* lppServiceAdmin) {
  return Guarded(error_, [&] {
    Check(lppServiceAdmin != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    CheckFlags(ulFlags, MAPI_DIALOG | MAPI_UNICODE);
    auto profile = db_->FindProfile(ProfileName(lpszProfileName, ulFlags));
    Check(profile.has_value(), MAPI_E_NOT_FOUND, "The profile does not exist.");
    *lppServiceAdmin = MakeComObject<TMsgServiceAdmin>(db_, profile->name).Detach();
    return S_OK;
  });
}

}  // namespace orba::store

// Needs MAPIInitialize first; ulFlags must be 0.
ORBASTORE_EXPORT HRESULT MAPIAdminProfiles(ULONG ulFlags, LPPROFADMIN* lppProfAdmin) {
  using namespace orba::store;
  return Guarded([&] {
    if (!lppProfAdmin) return MAPI_E_INVALID_PARAMETER;
    *lppProfAdmin = nullptr;
    if (ulFlags) return MAPI_E_UNKNOWN_FLAGS;
    if (!IsMapiInitialized()) return MAPI_E_NOT_INITIALIZED;
    auto db = std::make_shared<TProfileDatabase>(TProfileDatabase::DefaultPath());
    *lppProfAdmin = orba::MakeComObject<TProfAdmin>(std::move(db)).Detach();
    return S_OK;
  });
}
