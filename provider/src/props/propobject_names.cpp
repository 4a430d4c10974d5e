// GetIDsFromNames and GetNamesFromIDs over the store's name map. Names in PS_MAPI
// stand for the identifiers below 0x8000 themselves and are never mapped.
#include <cstring>

#include "base/lasterror.h"
#include "base/maperror.h"
#include "props/propobject.h"

namespace orba::store {

namespace {

LPMAPINAMEID NewNameId(const TPropName& name, void* parent) {
  auto* out = AllocateMoreOf<MAPINAMEID>(1, parent);
  out->lpguid = AllocateMoreOf<GUID>(1, parent);
  *out->lpguid = name.guid;
  out->ulKind = name.kind;
  if (name.kind == MNID_ID) {
    out->Kind.lID = name.id;
  } else {
    out->Kind.lpwstrName = AllocateMoreOf<WCHAR>(name.name.size() + 1, parent);
    std::char_traits<char16_t>::copy(out->Kind.lpwstrName, name.name.data(), name.name.size());
  }
  return out;
}

}  // namespace

HRESULT TPropObjectBase::DoGetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                                           LPSPropTagArray* lppPropTags) {
  if (ulFlags & ~(MAPI_CREATE | MAPI_UNICODE)) return Fail(MAPI_E_UNKNOWN_FLAGS, "GetIDsFromNames: unknown flags");
  if (!lppPropTags || (cPropNames && !lppPropNames) || (!cPropNames && lppPropNames))
    return Fail(MAPI_E_INVALID_PARAMETER, "GetIDsFromNames: invalid parameter");
  *lppPropTags = nullptr;
  if (!names_) return Fail(MAPI_E_NO_SUPPORT, "GetIDsFromNames: the object has no named properties");
  return Guarded(lastError_, "GetIDsFromNames", [&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    bool create = (ulFlags & MAPI_CREATE) != 0;
    if (create) CheckWritable("GetIDsFromNames");
    std::vector<ULONG> tags;
    bool errors = false;
    if (cPropNames == 0) {
      // No names: every mapped identifier.
      for (const auto& [id, name] : names_->All()) tags.push_back(PROP_TAG(PT_UNSPECIFIED, id));
    } else {
      for (ULONG i = 0; i < cPropNames; ++i) {
        ULONG id = 0;
        const MAPINAMEID* raw = lppPropNames[i];
        if (raw && raw->lpguid && *raw->lpguid == PS_MAPI && raw->ulKind == MNID_ID) {
          id = raw->Kind.lID > 0 && raw->Kind.lID < static_cast<LONG>(kFirstNamedId) ? raw->Kind.lID : 0;
        } else if (raw) {
          try {
            id = names_->GetId(TPropName::FromMapi(*raw), create);
          } catch (const TMapiError& e) {
            if (e.Code() != MAPI_E_INVALID_PARAMETER) throw;
          }
        }
        tags.push_back(id ? PROP_TAG(PT_UNSPECIFIED, id) : PROP_TAG(PT_ERROR, PROP_ID_NULL));
        errors |= id == 0;
      }
    }
    auto array = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
    array->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    *lppPropTags = array.Release();
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
  });
}

HRESULT TPropObjectBase::DoGetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                                           ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames) {
  if (ulFlags & ~(MAPI_NO_STRINGS | MAPI_NO_IDS)) return Fail(MAPI_E_UNKNOWN_FLAGS, "GetNamesFromIDs: unknown flags");
  if (!lppPropTags || !lpcPropNames || !lpppPropNames)
    return Fail(MAPI_E_INVALID_PARAMETER, "GetNamesFromIDs: invalid parameter");
  *lpcPropNames = 0;
  *lpppPropNames = nullptr;
  if (!names_) return Fail(MAPI_E_NO_SUPPORT, "GetNamesFromIDs: the object has no named properties");
  return Guarded(lastError_, "GetNamesFromIDs", [&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    auto wanted = [&](const TPropName& name) {
      if (lpPropSetGuid && !(name.guid == *lpPropSetGuid)) return false;
      if ((ulFlags & MAPI_NO_STRINGS) && name.kind == MNID_STRING) return false;
      if ((ulFlags & MAPI_NO_IDS) && name.kind == MNID_ID) return false;
      return true;
    };
    std::vector<ULONG> tags;
    std::vector<std::optional<TPropName>> found;
    if (!*lppPropTags) {
      // No tags: every mapped name (of the property set asked for), tags returned too.
      for (const auto& [id, name] : names_->All())
        if (wanted(name)) {
          tags.push_back(PROP_TAG(PT_UNSPECIFIED, id));
          found.push_back(name);
        }
    } else {
      const SPropTagArray* in = *lppPropTags;
      for (ULONG i = 0; i < in->cValues; ++i) {
        ULONG id = PROP_ID(in->aulPropTag[i]);
        std::optional<TPropName> name;
        if (id != PROP_ID_NULL && id < kFirstNamedId)
          name = TPropName::FromId(PS_MAPI, static_cast<LONG>(id));
        else
          name = names_->GetName(id);
        if (name && !wanted(*name)) name.reset();
        found.push_back(std::move(name));
      }
    }
    TMapiBuffer<SPropTagArray> tagArray;
    if (!*lppPropTags) {
      tagArray = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
      tagArray->cValues = static_cast<ULONG>(tags.size());
      std::copy(tags.begin(), tags.end(), tagArray->aulPropTag);
    }
    auto names = TMapiBuffer<LPMAPINAMEID>::Allocate(sizeof(LPMAPINAMEID) * (found.empty() ? 1 : found.size()));
    bool errors = false;
    for (size_t i = 0; i < found.size(); ++i) {
      names.get()[i] = found[i] ? NewNameId(*found[i], names.get()) : nullptr;
      errors |= !found[i];
    }
    if (tagArray) *lppPropTags = tagArray.Release();
    *lpcPropNames = static_cast<ULONG>(found.size());
    *lpppPropNames = names.Release();
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
  });
}

}  // namespace orba::store
