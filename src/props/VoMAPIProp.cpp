#include "orba/VoMAPIProp.h"

#include "kit/VoMAPIKit.h"

namespace orba {
namespace {

TVoShowPropertiesProc& ShowPropertiesProc() {
  static TVoShowPropertiesProc proc;
  return proc;
}

constexpr kit::TResultText kSaveChangesTexts[] = {
    {MAPI_E_NO_ACCESS,
     u"%s.SaveChanges failed!\r\nSaveChanges cannot keep the object open for read-only access, if "
     u"KEEP_OPEN_READONLY is set, or read/write access, if KEEP_OPEN_READWRITE is set. No changes are committed."},
    {MAPI_E_OBJECT_CHANGED, u"%s.SaveChanges failed!\r\nThe object has changed since it was opened."},
    {MAPI_E_OBJECT_DELETED, u"%s.SaveChanges failed!\r\nThe object has been deleted since it was opened."},
    {MAPI_E_CORRUPT_DATA,
     u"%s.SaveChanges failed!\r\nMessage store providers that use a client-server model for their "
     u"implementation might\r\nreturn this error when a network connection is lost or the server is not running."},
};

constexpr kit::TResultText kGetNamesFromIDsTexts[] = {
    {MAPI_E_INVALID_PARAMETER,
     u"%s.GetPropTagByName failed!\r\nThe cValues member of one or more of the entries in the property tag array "
     u"pointed to by lppPropTags is set to zero."},
};

constexpr kit::TResultText kOpenPropertyTexts[] = {
    {MAPI_E_INTERFACE_NOT_SUPPORTED,
     u"%s.OpenProperty failed!\r\nThe requested interface is not supported for this property."},
    {MAPI_E_NO_ACCESS, u"%s.OpenProperty failed!\r\nThe caller has insufficient permissions to access the property."},
    {MAPI_E_NO_SUPPORT,
     u"%s.OpenProperty failed!\r\nThe object cannot provide access to this property through the requested "
     u"interface."},
    {MAPI_E_NOT_FOUND,
     u"%s.OpenProperty failed!\r\nThe requested property does not exist and MAPI_CREATE was not set in the "
     u"ulFlags parameter."},
    {MAPI_E_INVALID_PARAMETER, u"%s.OpenProperty failed!\r\nThe property type in the tag is set to PT_UNSPECIFIED."},
};

ULONG SaveFlags(TVoMAPISaveMethod method) {
  switch (method) {
    case smKeepOpenReadOnly: return KEEP_OPEN_READONLY;
    case smKeepOpenReadWrite: return KEEP_OPEN_READWRITE;
    case smClose: return 0;
  }
  kit::Raise(E_INVALIDARG, u"Invalid save method %d!", {int32_t(method)});
}

}  // namespace

void SetShowPropertiesProc(TVoShowPropertiesProc Proc) { ShowPropertiesProc() = std::move(Proc); }

TVoMAPIProp::TVoMAPIProp(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IMAPIProp> MAPIProp,
                         TVoMAPIAccessLevel AccessLevel, bool Unicode, TVoKeepAlive KeepAlive)
    : TVoComObject(Parent, Session, ComPtr<IUnknown>(MAPIProp), KeepAlive),
      prop_(std::move(MAPIProp)),
      accessLevel_(AccessLevel),
      unicode_(Unicode),
      items_(MakeComObject<TVoMAPIPropItems>(static_cast<TVoMAPIValueOwner*>(this))) {}

// Properties -------------------------------------------------------------------------------

ComPtr<IVoMAPIProperties> TVoMAPIProp::Get_Properties() {
  CheckActive(u"Get_Properties");
  return ComPtr<IVoMAPIProperties>(items_.get());
}

TVoVariant TVoMAPIProp::BinaryProp(TVoMAPIPropDef PropDef, std::u16string_view MethodName) {
  CheckActive(MethodName);
  TVoMAPIPropItem* item = LoadProps({&InfoOf(PropDef)}).front();
  return item->IsError() ? TVoVariant::Null() : item->Get_Value();
}

TVoMAPIEntryID TVoMAPIProp::Get_EntryID() { return BinaryProp(PR_ENTRYID, u"Get_EntryID"); }
TVoMAPIEntryID TVoMAPIProp::Get_RecordKey() { return BinaryProp(PR_RECORD_KEY, u"Get_RecordKey"); }
TVoMAPIEntryID TVoMAPIProp::Get_SearchKey() { return BinaryProp(PR_SEARCH_KEY, u"Get_SearchKey"); }

void TVoMAPIProp::Set_SearchKey(const TVoMAPIEntryID& Value) {
  CheckActive(u"Set_SearchKey");
  items_->ItemOf(InfoOf(PR_SEARCH_KEY)).Set_Value(ArrToEntryID(EntryIDToArr(Value)));
}

TVoMAPIEntryID TVoMAPIProp::Get_SourceKey() {
  CheckActive(u"Get_SourceKey");
  if (!Session()->ConnectedToExchange()) kit::Raise(MAPI_E_NO_SUPPORT, u"This property is only supported by Exchange!");
  return BinaryProp(PR_SOURCE_KEY, u"Get_SourceKey");
}

void TVoMAPIProp::GetPropValues(const TVoMAPIPropDef* Defs, int32_t Count) {
  CheckActive(u"GetPropValues");
  if (!Defs || Count <= 0) throw EVoException(u"You must specify at least 1 property definition!", E_UNEXPECTED);
  std::vector<const TVoMAPIPropInfo*> infos;
  for (int32_t i = 0; i < Count; ++i) infos.push_back(&InfoOf(Defs[i]));
  LoadProps(infos);
}

TVoVariant TVoMAPIProp::GetPropValueArray(const TVoMAPIPropDef* Defs, int32_t Count) {
  GetPropValues(Defs, Count);
  TVoVariant::VariantArray values;
  for (int32_t i = 0; i < Count; ++i) {
    TVoMAPIPropItem* item = items_->FindPropByDef(InfoOf(Defs[i]), true);
    values.push_back(item && !item->IsError() ? item->Get_Value() : TVoVariant::Null());
  }
  return TVoVariant(std::move(values));
}

std::vector<TVoMAPIPropItem*> TVoMAPIProp::LoadProps(const std::vector<const TVoMAPIPropInfo*>& Infos) {
  std::vector<TVoMAPIPropItem*> items;
  std::vector<TVoMAPIPropTag> tags;
  for (const TVoMAPIPropInfo* info : Infos) {
    items.push_back(&items_->ItemOf(*info));
    tags.push_back(PROP_TAG(info->PropType, PROP_ID(GetPropTag(*info, true))));
  }
  kit::TPropTagArray tagArray(tags);
  ULONG count = 0;
  TVoMAPIBuffer<SPropValue> values;
  HRESULT hr = prop_->GetProps(tagArray.get(), StringFlags(), &count, values.Out());
  if (hr == E_FAIL) {
    // Some providers refuse a multi-property read outright; read them one by one, a
    // failing property coming back as PT_ERROR.
    for (size_t i = 0; i < tags.size(); ++i) {
      TVoMAPIBuffer<SPropValue> single;
      HRESULT result = GetSingleProp(tags[i], single.Out());
      if (result == S_OK || result == MAPI_W_ERRORS_RETURNED) {
        items[i]->LoadMAPIValue(*single.get());
      } else {
        SPropValue value{};
        value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags[i]));
        value.Value.err = result;
        items[i]->LoadMAPIValue(value);
      }
    }
    return items;
  }
  if (hr != S_OK && hr != MAPI_W_ERRORS_RETURNED) CheckMAPIResult(this, u"GetPropValues", hr);
  if (count < tags.size() || !values.get())
    kit::Raise(E_FAIL, u"%d property values were requested, however only %d values were returned!",
               {int32_t(tags.size()), int32_t(values.get() ? count : 0)});
  for (size_t i = 0; i < items.size(); ++i) items[i]->LoadMAPIValue(values.get()[i]);
  return items;
}

HRESULT TVoMAPIProp::GetSingleProp(TVoMAPIPropTag Tag, LPSPropValue* Value) {
  kit::TPropTagArray tagArray({Tag});
  ULONG count = 0;
  HRESULT hr = prop_->GetProps(tagArray.get(), StringFlags(), &count, Value);
  if ((hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) && (count < 1 || !*Value)) {
    // A provider that answers success without the value: nothing to load.
    if (*Value) MAPIFreeBuffer(*Value);
    *Value = nullptr;
    return MAPI_E_NOT_FOUND;
  }
  return hr;
}

void TVoMAPIProp::SetPropValues(IVoMAPIPropValueList* List) {
  CheckActive(u"SetPropValues");
  auto* list = dynamic_cast<TVoMAPIPropValueList*>(List);
  if (!list)
    kit::Raise(E_INVALIDARG, u"%s.SetPropValues: the list is not a property/value list of this library!",
               {ClassName()});
  std::vector<std::unique_ptr<TVoMAPIValueBuffer>> buffers(list->Count());
  std::vector<SPropValue> values;
  for (int32_t i = 0; i < list->Count(); ++i) {
    TVoMAPIPropValue& pair = list->PropValue(i);
    const TVoMAPIPropInfo& info = InfoOf(*pair.PropInfo().PropDef);
    values.push_back(VoMAPIVariantToPropValue(pair.Value(), GetPropTag(info, true), buffers[i]));
  }
  WriteProps(values, u"SetPropValues");
}

void TVoMAPIProp::WriteProps(std::vector<SPropValue>& Values, std::u16string_view MethodName) {
  if (Values.empty()) return;
  TVoMAPIBuffer<SPropProblemArray> problems;
  HRESULT hr = prop_->SetProps(ULONG(Values.size()), Values.data(), problems.Out());
  CheckMAPIResult(this, MethodName, hr);
}

bool16 TVoMAPIProp::HasProp(TVoMAPIPropDef PropDef) {
  CheckActive(u"HasProp");
  return HasProp(InfoOf(PropDef), true);
}

bool TVoMAPIProp::HasProp(const TVoMAPIPropInfo& PropInfo, bool CheckType) {
  if (TVoMAPIPropItem* item = items_->FindPropByDef(PropInfo, CheckType); item && !item->IsError()) return true;
  CheckActive(u"HasProp");
  return !LoadProps({&PropInfo}).front()->IsError();
}

ComPtr<IVoMAPIProperty> TVoMAPIProp::PropByName(TVoMAPIPropDef PropDef) {
  CheckActive(u"PropByName");
  const TVoMAPIPropInfo& info = InfoOf(PropDef);
  if (TVoMAPIPropItem* item = items_->FindPropByDef(info, true)) return ComPtr<IVoMAPIProperty>(item);
  return ComPtr<IVoMAPIProperty>(LoadProps({&info}).front());
}

void TVoMAPIProp::DeleteProperty(TVoMAPIPropDef PropDef) {
  CheckActive(u"DeleteProperty");
  const TVoMAPIPropInfo& info = InfoOf(PropDef);
  kit::TPropTagArray tags({GetPropTag(info, true)});
  TVoMAPIBuffer<SPropProblemArray> problems;
  CheckMAPIResult(this, u"DeleteProperty", prop_->DeleteProps(tags.get(), problems.Out()));
  items_->DeleteProperty(info);
}

void TVoMAPIProp::RetrieveAllProperties() {
  CheckActive(u"RetrieveAllProperties");
  ULONG count = 0;
  TVoMAPIBuffer<SPropValue> values;
  HRESULT hr = prop_->GetProps(nullptr, StringFlags(), &count, values.Out());
  if (hr != S_OK && hr != MAPI_W_ERRORS_RETURNED) CheckMAPIResult(this, u"RetrieveAllProperties", hr);
  if (!values.get()) return;
  std::vector<TVoMAPIPropTag> named;
  for (ULONG i = 0; i < count; ++i)
    if (PROP_ID(values.get()[i].ulPropTag) >= 0x8000) named.push_back(values.get()[i].ulPropTag);
  const std::vector<const TVoMAPIPropInfo*> names =
      named.empty() ? std::vector<const TVoMAPIPropInfo*>() : GetNamesFromIDs(named);
  size_t n = 0;
  for (ULONG i = 0; i < count; ++i) {
    const SPropValue& value = values.get()[i];
    TVoMAPIPropItem* item = nullptr;
    if (PROP_ID(value.ulPropTag) < 0x8000) {
      item = items_->PropByTag(value.ulPropTag, true);
    } else if (const TVoMAPIPropInfo* info = names[n++]) {
      item = &items_->ItemOf(*info);
      namedIDs_.emplace_back(info, PROP_ID(value.ulPropTag));
    }
    if (item) item->LoadMAPIValue(value);
  }
}

void TVoMAPIProp::ResetProperties() {
  CheckActive(u"ResetProperties");
  items_->Clear();
}

std::vector<TVoMAPIPropTag> TVoMAPIProp::GetPropList() {
  CheckActive(u"GetPropList");
  TVoMAPIBuffer<SPropTagArray> tags;
  CheckMAPIResult(this, u"GetPropList", prop_->GetPropList(StringFlags(), tags.Out()));
  if (!tags.get()) return {};
  return std::vector<TVoMAPIPropTag>(tags->aulPropTag, tags->aulPropTag + tags->cValues);
}

std::vector<const TVoMAPIPropInfo*> TVoMAPIProp::GetNamesFromIDs(const std::vector<TVoMAPIPropTag>& Tags) {
  CheckActive(u"GetNamesFromIDs");
  kit::TPropTagArray tagArray(Tags);
  LPSPropTagArray tags = tagArray.get();
  ULONG count = 0;
  TVoMAPIBuffer<LPMAPINAMEID> names;
  HRESULT hr = prop_->GetNamesFromIDs(&tags, nullptr, 0, &count, names.Out());
  kit::RaiseResultText(hr, kGetNamesFromIDsTexts, ClassName());
  if (hr != S_OK && hr != MAPI_W_ERRORS_RETURNED) CheckMAPIResult(this, u"GetNamesFromIDs", hr);
  std::vector<const TVoMAPIPropInfo*> result(Tags.size(), nullptr);
  for (size_t i = 0; i < Tags.size() && i < count && names.get(); ++i)
    if (const MAPINAMEID* name = names.get()[i]; name && name->lpguid)
      result[i] = GetProp(*name, PROP_TYPE(Tags[i]), true);
  return result;
}

void TVoMAPIProp::PersistPendingChanges() {
  CheckActive(u"PersistPendingChanges");
  std::vector<TVoMAPIPropItem*> modified;
  std::vector<SPropValue> values;
  for (const ComPtr<TVoMAPIPropItem>& item : items_->Items())
    if (item->Get_Modified()) {
      modified.push_back(item.get());
      values.push_back(item->PropValue().GetMAPIValue());
    }
  WriteProps(values, u"PersistPendingChanges");
  for (TVoMAPIPropItem* item : modified) item->SetModified(false);
}

void TVoMAPIProp::SaveChanges(TVoMAPISaveMethod SaveMethod) {
  CheckActive(u"SaveChanges");
  const ULONG flags = SaveFlags(SaveMethod);
  // Values assigned but not yet written would otherwise be lost with their flags.
  PersistPendingChanges();
  const HRESULT hr = prop_->SaveChanges(flags);
  kit::RaiseResultText(hr, kSaveChangesTexts, ClassName());
  CheckMAPIResult(this, u"SaveChanges", hr);
}

// Opening properties ---------------------------------------------------------------------

ComPtr<IStream> TVoMAPIProp::OpenBinProperty(const TVoMAPIPropInfo& PropInfo, ULONG Flags,
                                             TVoMAPIAccessLevel AccessLevel, bool Create) {
  ComPtr<IUnknown> stream = OpenIntfProperty(PropInfo, IID_IStream, 0, Flags, AccessLevel, Create);
  return ComPtr<IStream>(static_cast<IStream*>(stream.get()));
}

ComPtr<IUnknown> TVoMAPIProp::OpenIntfProperty(const TVoMAPIPropInfo& PropInfo, const IID& InterfaceID,
                                               ULONG InterfaceOptions, ULONG Flags, TVoMAPIAccessLevel AccessLevel,
                                               bool Create) {
  CheckActive(u"OpenProperty");
  return OpenIntfProperty(GetPropTag(PropInfo, Create), InterfaceID, InterfaceOptions, Flags, AccessLevel, Create);
}

ComPtr<IUnknown> TVoMAPIProp::OpenIntfProperty(TVoMAPIPropTag Tag, const IID& InterfaceID, ULONG InterfaceOptions,
                                               ULONG Flags, TVoMAPIAccessLevel AccessLevel, bool Create) {
  CheckActive(u"OpenProperty");
  Flags |= Create ? MAPI_CREATE : 0;
  ComPtr<IUnknown> result;
  HRESULT hr;
  if (AccessLevel == alReadOnly) {
    hr = prop_->OpenProperty(Tag, &InterfaceID, InterfaceOptions, Flags, result.Out());
  } else {
    hr = prop_->OpenProperty(Tag, &InterfaceID, InterfaceOptions, Flags | MAPI_MODIFY, result.Out());
    if (hr == E_ACCESSDENIED && AccessLevel == alBestAccess)
      hr = prop_->OpenProperty(Tag, &InterfaceID, InterfaceOptions, Flags, result.Out());
  }
  kit::RaiseResultText(hr, kOpenPropertyTexts, ClassName());
  CheckMAPIResult(this, u"OpenProperty", hr);
  return result;
}

// Access, errors, viewer ----------------------------------------------------------------

void TVoMAPIProp::CheckAccessLevel(TVoMAPIAccessLevel Required) {
  if (Required == alReadWrite && accessLevel_ == alReadOnly)
    kit::Raise(E_ACCESSDENIED, u"You don't have readwrite access!");
}

void TVoMAPIProp::CheckLastError(std::u16string_view MethodName, HRESULT Code) {
  TVoMAPIError error;
  GetExtendedErrorInfo(Code, error);
  kit::Raise(E_FAIL, u"Component %s caused: %s (%s.%s)", {error.Component, error.Error, ClassName(), MethodName});
}

void TVoMAPIProp::GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) {
  Error = prop_ ? kit::ReadLastError(prop_.get(), Code, unicode_, ClassName()) : TVoMAPIError();
}

void TVoMAPIProp::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  ComPtr<IMAPIProp> prop = kit::MAPIObjectAs<IMAPIProp>(MAPIObject, IID_IMAPIProp, u"IMAPIProp", ClassName());
  prop_ = std::move(prop);
  namedIDs_.clear();
  TVoMAPIWrapper::SetMAPIOBJECT(std::move(MAPIObject));
}

void TVoMAPIProp::DisplayProperties() {
  CheckActive(u"DisplayProperties");
  if (!ShowPropertiesProc())
    kit::Raise(E_FAIL,
               u"%s.DisplayProperties failed!\r\nNo property viewer has been registered. Link one "
               u"of the two property-viewer units of the user-interface add-on, which register "
               u"themselves with SetShowPropertiesProc.",
               {ClassName()});
  ShowPropertiesProc()(this);
}

// Tags -----------------------------------------------------------------------------------

TVoMAPIPropTag TVoMAPIProp::GetPropTag(const TVoMAPIPropInfo& PropInfo, bool Create) {
  if (!PropInfo.Named) return orba::GetPropTag(PropInfo);
  if (!prop_)
    kit::Raise(MAPI_E_NO_SUPPORT, u"Named Property %s requested, however Named Properties are not supported!",
               {PropInfo.PropName});
  for (const auto& [info, id] : namedIDs_)
    if (info == &PropInfo || SameProp(*info, PropInfo, false)) return PROP_TAG(PropInfo.PropType, id);
  MAPINAMEID name{};
  name.lpguid = const_cast<GUID*>(&PropInfo.PropSet);
  name.ulKind = PropInfo.PropKind;
  WideString text;
  if (PropInfo.PropKind == MNID_STRING) {
    text = VoVarToStr(PropInfo.PropID);
    name.Kind.lpwstrName = text.data();
  } else {
    name.Kind.lID = VoVarToInt(PropInfo.PropID);
  }
  LPMAPINAMEID names[] = {&name};
  TVoMAPIBuffer<SPropTagArray> tags;
  HRESULT hr = prop_->GetIDsFromNames(1, names, Create ? MAPI_CREATE : 0, tags.Out());
  CheckMAPIResult(this, u"GetPropTag", hr);
  if (!tags.get() || tags->cValues < 1)
    kit::Raise(E_FAIL, u"%s.GetPropTag failed!\r\nGetIDsFromNames returned no identifier for %s.",
               {ClassName(), PropInfo.PropName});
  const ULONG id = PROP_ID(tags->aulPropTag[0]);
  namedIDs_.emplace_back(&PropInfo, id);
  return PROP_TAG(PropInfo.PropType, id);
}

const TVoMAPIPropInfo& TVoMAPIProp::InfoOf(TVoMAPIPropDef PropDef) const { return *GetPropInfo(PropDef, unicode_); }

}  // namespace orba
