#include "orba/VoMAPIPropItems.h"

#include <algorithm>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {
namespace {

constexpr ULONG kFirstNamedId = 0x8000;

TVoAutoIntfObject* OwnerObjectOf(TVoMAPIValueOwner* Owner) {
  if (!Owner) kit::Raise(E_INVALIDARG, u"A property list needs an owner!");
  return Owner->GetOwnerObject();
}

}  // namespace

TVoMAPIPropItems::TVoMAPIPropItems(TVoMAPIValueOwner* Owner)
    : TVoComObject(OwnerObjectOf(Owner), kaNone), owner_(Owner) {}

TVoMAPIValueOwner* TVoMAPIPropItems::OwnerChecked(std::u16string_view MethodName) const {
  if (!Creator())
    kit::Raise(E_FAIL, u"Failed to execute %s.%s!\r\nThe parentobject of this instance has been destroyed!",
               {ClassName(), MethodName});
  return owner_;
}

bool TVoMAPIPropItems::Unicode() const {
  TVoMAPIPropOwner* prop = VoFindPropOwner(owner_);
  return !prop || prop->GetUnicode();
}

int32_t TVoMAPIPropItems::Get_Count() { return int32_t(items_.size()); }

ComPtr<IVoMAPIProperty> TVoMAPIPropItems::Get_Item(int32_t Index) {
  if (Index < 0 || size_t(Index) >= items_.size()) kit::RaiseListIndex(Index);
  return items_[Index];
}

ComPtr<IVoMAPIProperty> TVoMAPIPropItems::Add(TVoMAPIPropDef PropDef) {
  OwnerChecked(u"Add");
  return ComPtr<IVoMAPIProperty>(&ItemOf(*GetPropInfo(PropDef, Unicode())));
}

ComPtr<IVoMAPIProperty> TVoMAPIPropItems::PropByName(TVoMAPIPropDef PropDef) {
  TVoMAPIValueOwner* owner = OwnerChecked(u"PropByName");
  if (TVoMAPIPropOwner* prop = VoFindPropOwner(owner)) return prop->PropByName(PropDef);
  if (TVoMAPIPropItem* item = FindPropByDef(*GetPropInfo(PropDef, Unicode()), true))
    return ComPtr<IVoMAPIProperty>(item);
  CheckMAPIResult(ClassName(), u"PropByName", MakeHResult(0x8004010F));  // MAPI_E_NOT_FOUND
  return nullptr;
}

bool16 TVoMAPIPropItems::HasProp(TVoMAPIPropDef PropDef) {
  TVoMAPIPropItem* item = FindPropByDef(*GetPropInfo(PropDef), false);
  return item && !item->IsError();
}

void TVoMAPIPropItems::Delete(int32_t Index) {
  if (Index < 0 || size_t(Index) >= items_.size()) kit::RaiseListIndex(Index);
  items_.erase(items_.begin() + Index);
}

void TVoMAPIPropItems::Clear() { items_.clear(); }

void TVoMAPIPropItems::DeleteProperty(const TVoMAPIPropInfo& PropInfo) {
  std::erase_if(items_, [&](const auto& item) { return SameProp(item->PropInfo(), PropInfo, false); });
}

TVoMAPIPropItem* TVoMAPIPropItems::FindPropByDef(const TVoMAPIPropInfo& PropInfo, bool CheckType) {
  for (const auto& item : items_)
    if (SameProp(item->PropInfo(), PropInfo, CheckType)) return item.get();
  return nullptr;
}

TVoMAPIPropItem* TVoMAPIPropItems::FindPropByTag(TVoMAPIPropTag Tag) {
  for (const auto& item : items_)
    if (item->KnownTag() == Tag) return item.get();
  return nullptr;
}

TVoMAPIPropItem* TVoMAPIPropItems::PropByTag(TVoMAPIPropTag Tag, bool CheckType) {
  if (PROP_ID(Tag) >= kFirstNamedId) kit::Raise(E_INVALIDARG, u"The PropByTag does not support named properties!");
  for (const auto& item : items_)
    if (SameProp(item->PropInfo(), Tag, CheckType)) return item.get();
  return &ItemOf(*GetProp(Tag, CheckType));
}

TVoMAPIPropItem* TVoMAPIPropItems::PropByTag(TVoMAPIPropTag Tag, const MAPINAMEID& NameID) {
  for (const auto& item : items_)
    if (SameProp(item->PropInfo(), Tag, NameID, false)) return item.get();
  return &ItemOf(*GetProp(PROP_TYPE(Tag), NameID, false));
}

TVoMAPIPropItem& TVoMAPIPropItems::ItemOf(const TVoMAPIPropInfo& PropInfo) {
  if (TVoMAPIPropItem* found = FindPropByDef(PropInfo, true)) return *found;
  items_.push_back(MakeComObject<TVoMAPIPropItem>(owner_, &PropInfo));
  return *items_.back();
}

}  // namespace orba
