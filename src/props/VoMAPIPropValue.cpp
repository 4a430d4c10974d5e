#include "orba/VoMAPIPropValue.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/dates.h"

namespace orba {

TVoMAPIPropOwner* VoFindPropOwner(TVoMAPIValueOwner* Owner) {
  for (TVoMAPIValueOwner* o = Owner; o; o = o->GetParentOwner())
    if (TVoMAPIPropOwner* prop = o->GetPropOwner()) return prop;
  return nullptr;
}

TVoMAPIPropValue::TVoMAPIPropValue(TVoMAPIValueOwner* Owner, const TVoMAPIPropInfo* PropInfo)
    : owner_(Owner), propInfo_(PropInfo) {
  if (!owner_ || !propInfo_) kit::Raise(E_INVALIDARG, u"A property value needs an owner and a registered property!");
}

void TVoMAPIPropValue::SetValue(TVoVariant Value) {
  value_ = std::move(Value);
  fileTime_.reset();
}

void TVoMAPIPropValue::SetFileTime(const FILETIME& Value) {
  value_ = TVoVariant::FromDate(FileTimeToDateTime(Value));
  fileTime_ = Value;
}

TVoMAPIPropTag TVoMAPIPropValue::ResolveTag(bool Create) {
  if (tag_ != 0) return tag_;
  TVoMAPIPropTag tag;
  if (TVoMAPIPropOwner* prop = VoFindPropOwner(owner_))
    tag = prop->GetPropTag(*propInfo_, Create);
  else if (!propInfo_->Named)
    tag = GetPropTag(*propInfo_);
  else
    kit::Raise(MAPI_E_NO_SUPPORT, u"Named Property %s requested, however Named Properties are not supported!",
               {propInfo_->PropName});
  tag_ = CHANGE_PROP_TYPE(tag, propInfo_->PropType);
  return tag_;
}

const SPropValue& TVoMAPIPropValue::GetMAPIValue() {
  buffer_.reset();
  mapiValue_ = SPropValue{};
  mapiValue_ = VoMAPIVariantToPropValue(value_, ResolveTag(), buffer_);
  if (fileTime_ && PROP_TYPE(mapiValue_.ulPropTag) == PT_SYSTIME) mapiValue_.Value.ft = *fileTime_;
  return mapiValue_;
}

void TVoMAPIPropValue::SetMAPIValue(const SPropValue& Value) {
  value_ = VoMAPIPropVarValue(Value, TVoVariant::Null());
  fileTime_.reset();
  if (PROP_TYPE(Value.ulPropTag) == PT_SYSTIME) fileTime_ = Value.Value.ft;
  const bool otherStandardId = !propInfo_->Named && ULONG(VoVarToInt(propInfo_->PropID)) != PROP_ID(Value.ulPropTag);
  if (!otherStandardId) tag_ = CHANGE_PROP_TYPE(Value.ulPropTag, propInfo_->PropType);
}

}  // namespace orba
