#include "orba/VoMAPIPropItem.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"
#include "orba/common/netencoding.h"
#include "orba/common/olestream.h"

namespace orba {
namespace {

TVoAutoIntfObject* OwnerObjectOf(TVoMAPIValueOwner* Owner) {
  if (!Owner) kit::Raise(E_INVALIDARG, u"A property value needs an owner and a registered property!");
  return Owner->GetOwnerObject();
}

TVoBytes ReadAll(const ComPtr<IStream>& stream) {
  TVoOleStream reader(stream);
  TVoBytes bytes;
  uint8_t chunk[8192];
  while (size_t read = reader.Read(chunk, sizeof chunk)) bytes.insert(bytes.end(), chunk, chunk + read);
  return bytes;
}

// Stream texts may end in their terminator.
template <class Text>
Text WithoutTerminators(Text text) {
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

// A value as an array of variants: an array's elements, else its text split as a
// multi-valued text is.
TVoVariant ListOf(const TVoVariant& value) {
  TVoVariant::VariantArray items;
  if (value.IsArray()) {
    for (size_t i = 0; i < value.ArrayLength(); ++i) items.push_back(value.ArrayItem(i));
  } else {
    for (const WideString& text : VoMAPISplitMultiText(VoVarToStr(value))) items.emplace_back(text);
  }
  return TVoVariant(std::move(items));
}

}  // namespace

TVoMAPIPropItem::TVoMAPIPropItem(TVoMAPIValueOwner* Owner, const TVoMAPIPropInfo* PropInfo)
    : TVoComObject(OwnerObjectOf(Owner), kaNone), value_(Owner, PropInfo) {}

void TVoMAPIPropItem::CheckOwner(std::u16string_view MethodName) const {
  if (!Creator())
    kit::Raise(E_FAIL, u"Failed to execute %s.%s!\r\nThe parentobject of this instance has been destroyed!",
               {ClassName(), MethodName});
}

void TVoMAPIPropItem::Assign(std::u16string_view MethodName, TVoVariant Value) {
  Assign(MethodName, [&] { value_.SetValue(std::move(Value)); });
}

template <class Store>
void TVoMAPIPropItem::Assign(std::u16string_view MethodName, Store&& store) {
  CheckOwner(MethodName);
  value_.Owner()->CheckActive(MethodName);
  store();
  error_ = false;
  modified_ = true;
}

void TVoMAPIPropItem::LoadMAPIValue(const SPropValue& Value) {
  value_.SetMAPIValue(Value);
  error_ = PROP_TYPE(Value.ulPropTag) == PT_ERROR;
  if (error_) value_.SetValue(TVoVariant(int32_t(Value.Value.err)));
  modified_ = false;
}

TVoMAPIPropTag TVoMAPIPropItem::KnownTag() const {
  if (value_.Tag() != 0) return value_.Tag();
  return PropInfo().Named ? 0 : GetPropTag(PropInfo());
}

TVoMAPIPropTag TVoMAPIPropItem::Get_PropTag() {
  CheckOwner(u"Get_PropTag");
  return value_.ResolveTag();
}

uint32_t TVoMAPIPropItem::Get_DataType() { return PropInfo().PropType; }
TVoMAPIPropDef TVoMAPIPropItem::Get_PropDef() { return *PropInfo().PropDef; }
WideString TVoMAPIPropItem::Get_PropName() { return PropInfo().PropName; }
TVoVariant TVoMAPIPropItem::Get_Value() { return value_.Value(); }
void TVoMAPIPropItem::Set_Value(const TVoVariant& Value) { Assign(u"Set_Value", Value); }

int32_t TVoMAPIPropItem::Get_AsInteger() { return VoVarToInt(value_.Value(), 0); }
void TVoMAPIPropItem::Set_AsInteger(int32_t Value) { Assign(u"Set_AsInteger", TVoVariant(Value)); }

int64_t TVoMAPIPropItem::Get_AsLargeInteger() { return VoVarToInt64(value_.Value(), 0); }
void TVoMAPIPropItem::Set_AsLargeInteger(int64_t Value) { Assign(u"Set_AsLargeInteger", TVoVariant(Value)); }

WideString TVoMAPIPropItem::Get_AsString() {
  const uint32_t type = PropInfo().PropType;
  if (error_ && (type == PT_STRING8 || type == PT_UNICODE)) return ReadTextStream();
  const TVoVariant& value = value_.Value();
  if (!error_ && type == PT_BINARY && value.VarType() == (varArray | varByte))
    return TVoNetEncoding::GetHexEncoding(value.Bytes());
  return VoVarToStr(value);
}
void TVoMAPIPropItem::Set_AsString(const WideString& Value) { Assign(u"Set_AsString", TVoVariant(Value)); }

FILETIME TVoMAPIPropItem::Get_AsSystemTime() {
  if (value_.FileTime()) return *value_.FileTime();
  return DateTimeToFILETIME(Get_AsDateTime());
}
void TVoMAPIPropItem::Set_AsSystemTime(const FILETIME& Value) {
  Assign(u"Set_AsSystemTime", [&] { value_.SetFileTime(Value); });
}

bool16 TVoMAPIPropItem::Get_AsBoolean() { return VoVarToBool(value_.Value(), false); }
void TVoMAPIPropItem::Set_AsBoolean(bool16 Value) { Assign(u"Set_AsBoolean", TVoVariant(Value)); }

TDateTime TVoMAPIPropItem::Get_AsDateTime() { return VoVarToDateTime(value_.Value(), 0); }
void TVoMAPIPropItem::Set_AsDateTime(TDateTime Value) { Assign(u"Set_AsDateTime", TVoVariant::FromDate(Value)); }

double TVoMAPIPropItem::Get_AsFloat() { return VoVarToFloat(value_.Value(), 0); }
void TVoMAPIPropItem::Set_AsFloat(double Value) { Assign(u"Set_AsFloat", TVoVariant(Value)); }

GUID TVoMAPIPropItem::Get_AsGUID() { return StringToGUID(VoVarToStr(value_.Value())); }
void TVoMAPIPropItem::Set_AsGUID(const GUID& Value) { Assign(u"Set_AsGUID", TVoVariant(GUIDToString(Value))); }

TVoVariant TVoMAPIPropItem::Get_AsList() { return ListOf(value_.Value()); }
void TVoMAPIPropItem::Set_AsList(const TVoVariant& Value) { Assign(u"Set_AsList", ListOf(Value)); }

bool16 TVoMAPIPropItem::Get_Modified() { return modified_; }

WideString TVoMAPIPropItem::ReadTextStream() {
  CheckOwner(u"Get_AsString");
  TVoMAPIValueOwner* owner = value_.Owner();
  owner->CheckActive(u"Get_AsString");
  const WideString ownerClass = owner->GetOwnerObject()->ClassName();
  TVoMAPIPropOwner* prop = VoFindPropOwner(owner);
  IMAPIProp* mapiProp = prop ? prop->GetMAPIProp() : nullptr;
  if (!mapiProp) CheckMAPIResult(ownerClass, u"OpenProperty", MAPI_E_NO_SUPPORT);

  const TVoMAPIPropInfo& info = PropInfo();
  const bool unicode =
      prop->GetUnicode() && (info.PropType == PT_UNICODE ||
                             FindProp(info.PropID, PT_UNICODE, info.Named, info.PropSet, info.PropKind) != nullptr);
  const ULONG tag = CHANGE_PROP_TYPE(value_.ResolveTag(), unicode ? PT_UNICODE : PT_STRING8);
  ComPtr<IUnknown> opened;
  CheckMAPIResult(ownerClass, u"OpenProperty", mapiProp->OpenProperty(tag, &IID_IStream, 0, 0, opened.Out()));
  ComPtr<IStream> stream = opened.Query<IStream>(IID_IStream);
  if (!stream) CheckMAPIResult(ownerClass, u"OpenProperty", E_NOINTERFACE);

  const TVoBytes bytes = ReadAll(stream);
  if (!unicode) return WithoutTerminators(TVoEncoding::ConvertW(std::string(bytes.begin(), bytes.end())));
  WideString text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return WithoutTerminators(std::move(text));
}

}  // namespace orba
