#include <algorithm>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPITable.h"
#include "orba/common/dates.h"
#include "orba/common/guidtext.h"

namespace orba {
namespace {

bool IsStringType(uint32_t Type) { return Type == PT_STRING8 || Type == PT_UNICODE; }

bool EndsWith(const WideString& Text, std::u16string_view Tail) {
  return Text.size() >= Tail.size() && Text.compare(Text.size() - Tail.size(), Tail.size(), Tail) == 0;
}

// The registered property of Info's identity with type Type, or null.
const TVoMAPIPropInfo* TwinOf(const TVoMAPIPropInfo& Info, uint32_t Type) {
  return FindProp(Info.PropID, Type, Info.Named, Info.PropSet, Info.PropKind);
}

// The type under which a property named "..._A" or "..._W" is also looked for; 0 for
// none.
uint32_t OtherWidth(const TVoMAPIPropInfo& Info) {
  switch (Info.PropType) {
    case PT_STRING8: return EndsWith(Info.PropName, u"_A") ? PT_UNICODE : 0;
    case PT_UNICODE: return EndsWith(Info.PropName, u"_W") ? PT_STRING8 : 0;
    case PT_MV_STRING8: return EndsWith(Info.PropName, u"_A") ? PT_MV_UNICODE : 0;
    case PT_MV_UNICODE: return EndsWith(Info.PropName, u"_W") ? PT_MV_STRING8 : 0;
    default: return 0;
  }
}

}  // namespace

// Field ------------------------------------------------------------------------------------

TVoMAPITableField::TVoMAPITableField(TVoMAPITableBase* Table, const TVoMAPIPropInfo& PropInfo)
    : TVoComObject(Table), propInfo_(&PropInfo) {}

TVoMAPITableBase& TVoMAPITableField::Table() const {
  // The creator link clears when the table is destroyed.
  if (!Creator()) kit::Raise(E_FAIL, u"The table this field belongs to has been destroyed!");
  return static_cast<TVoMAPITableBase&>(*Creator());
}

TVoVariant TVoMAPITableField::Get_Value() { return Table().GetFieldValue(*this); }
void TVoMAPITableField::Set_Value(const TVoVariant& Value) { Table().SetFieldValue(*this, Value); }

bool16 TVoMAPITableField::Get_AsBoolean() { return VoVarToBool(Get_Value(), false); }
void TVoMAPITableField::Set_AsBoolean(bool16 Value) { Set_Value(TVoVariant(Value)); }

TDateTime TVoMAPITableField::Get_AsDateTime() { return VoVarToDateTime(Get_Value(), 0); }
void TVoMAPITableField::Set_AsDateTime(TDateTime Value) { Set_Value(TVoVariant::FromDate(Value)); }

double TVoMAPITableField::Get_AsFloat() { return VoVarToFloat(Get_Value(), 0); }
void TVoMAPITableField::Set_AsFloat(double Value) { Set_Value(TVoVariant(Value)); }

int32_t TVoMAPITableField::Get_AsInteger() { return VoVarToInt(Get_Value(), 0); }
void TVoMAPITableField::Set_AsInteger(int32_t Value) { Set_Value(TVoVariant(Value)); }

int64_t TVoMAPITableField::Get_AsLargeInteger() { return VoVarToInt64(Get_Value(), 0); }
void TVoMAPITableField::Set_AsLargeInteger(int64_t Value) { Set_Value(TVoVariant(Value)); }

GUID TVoMAPITableField::Get_AsGUID() {
  const WideString text = VoVarToStr(Get_Value());
  return text.empty() ? GUID_NULL : StringToGUID(text);
}
void TVoMAPITableField::Set_AsGUID(const GUID& Value) { Set_Value(TVoVariant(GUIDToString(Value))); }

WideString TVoMAPITableField::Get_AsString() {
  const TVoVariant value = Get_Value();
  if (propInfo_->PropType == PT_BINARY && value.VarType() == (varArray | varByte)) return EntryIDToStr(value);
  return VoVarToStr(value);
}
void TVoMAPITableField::Set_AsString(const WideString& Value) { Set_Value(TVoVariant(Value)); }

FILETIME TVoMAPITableField::Get_AsSystemTime() { return Table().GetFieldFileTime(*this); }
void TVoMAPITableField::Set_AsSystemTime(const FILETIME&) {
  Table();
  kit::Raise(E_ACCESSDENIED, u"The SystemTime property is readonly!");
}

// Field list -------------------------------------------------------------------------------

TVoMAPITableFields::TVoMAPITableFields(TVoMAPITableBase* Table) : TVoComObject(Table) {}

TVoMAPITableBase& TVoMAPITableFields::Table(std::u16string_view MethodName, bool ForChange) const {
  if (!Creator()) kit::Raise(E_FAIL, u"The table this fieldlist belongs to has been destroyed!");
  auto& table = static_cast<TVoMAPITableBase&>(*Creator());
  if (ForChange) {
    table.CheckActive(MethodName);
    table.FieldsChanging();
  }
  return table;
}

ComPtr<IVoMAPITableField> TVoMAPITableFields::Add(TVoMAPIPropDef PropDef) {
  return ComPtr<IVoMAPITableField>(&Add(*GetPropInfo(PropDef)));
}
ComPtr<IVoMAPITableField> TVoMAPITableFields::Add2(int64_t PropDefID) { return Add(TVoMAPIPropDef{PropDefID}); }
ComPtr<IVoMAPITableField> TVoMAPITableFields::Add3(uint64_t PropDefID) {
  return Add(TVoMAPIPropDef{TVoMAPIPropDefID(PropDefID)});
}

TVoMAPITableField& TVoMAPITableFields::Add(const TVoMAPIPropInfo& PropInfo) {
  TVoMAPITableBase& table = Table(u"Add", true);
  if (TVoMAPITableField* field = FindExact(PropInfo)) return *field;
  // A text column is read in both widths, so that one can stand in for the other.
  if (PropInfo.PropType == PT_UNICODE) {
    const TVoMAPIPropInfo& twin =
        *GetProp(PropInfo.PropID, PT_STRING8, PropInfo.Named, PropInfo.PropSet, PropInfo.PropKind);
    if (!FindExact(twin)) fields_.push_back(MakeComObject<TVoMAPITableField>(&table, twin));
  }
  fields_.push_back(MakeComObject<TVoMAPITableField>(&table, PropInfo));
  return *fields_.back();
}

void TVoMAPITableFields::Erase(size_t Index) {
  fields_[Index]->Columns() = {};  // a field the caller still holds is no column any more
  fields_.erase(fields_.begin() + ptrdiff_t(Index));
}

void TVoMAPITableFields::Delete(int32_t Index) {
  Table(u"Delete", true);
  if (Index < 0 || Index >= Count()) kit::RaiseListIndex(Index);
  Erase(size_t(Index));
}

void TVoMAPITableFields::Remove(IVoMAPITableField* Field) {
  Table(u"Remove", true);
  auto found = std::find_if(fields_.begin(), fields_.end(),
                            [&](const auto& f) { return static_cast<IVoMAPITableField*>(f.get()) == Field; });
  if (found != fields_.end()) Erase(size_t(found - fields_.begin()));
}

void TVoMAPITableFields::Clear() {
  Table(u"Clear", true);
  while (!fields_.empty()) Erase(fields_.size() - 1);
}

int32_t TVoMAPITableFields::Get_Count() {
  Table(u"Get_Count", false);
  return Count();
}

ComPtr<IVoMAPITableField> TVoMAPITableFields::Get_Item(int32_t Index) {
  Table(u"Get_Item", false);
  if (Index < 0 || Index >= Count()) kit::RaiseListIndex(Index);
  return ComPtr<IVoMAPITableField>(fields_[size_t(Index)].get());
}

ComPtr<IVoMAPITableField> TVoMAPITableFields::FindField(TVoMAPIPropDef PropDef) {
  Table(u"FindField", false);
  return ComPtr<IVoMAPITableField>(FindField(*GetPropInfo(PropDef)));
}

ComPtr<IVoMAPITableField> TVoMAPITableFields::FieldByName(TVoMAPIPropDef PropDef) {
  Table(u"FieldByName", false);
  return ComPtr<IVoMAPITableField>(&FieldByName(*GetPropInfo(PropDef)));
}

TVoMAPITableField* TVoMAPITableFields::FindExact(const TVoMAPIPropInfo& PropInfo) const {
  for (const auto& field : fields_)
    if (SameProp(field->PropInfo(), PropInfo, true)) return field.get();
  return nullptr;
}

TVoMAPITableField* TVoMAPITableFields::FindField(const TVoMAPIPropInfo& PropInfo) const {
  if (TVoMAPITableField* field = FindExact(PropInfo)) return field;
  const uint32_t other = OtherWidth(PropInfo);
  const TVoMAPIPropInfo* twin = other ? TwinOf(PropInfo, other) : nullptr;
  return twin ? FindExact(*twin) : nullptr;
}

TVoMAPITableField& TVoMAPITableFields::FieldByName(const TVoMAPIPropInfo& PropInfo) const {
  TVoMAPITableField* field = FindField(PropInfo);
  if (!field) kit::Raise(MAPI_E_NOT_FOUND, u"There is no field %s!", {PropInfo.PropName});
  return *field;
}

std::vector<TVoMAPIPropTag> TVoMAPITableFields::ColumnTags() const {
  TVoMAPITableBase& table = Table(u"CreatePropTagArray", false);
  std::vector<TVoMAPIPropTag> tags;
  tags.reserve(fields_.size());
  for (const auto& field : fields_) tags.push_back(table.GetPropTag(field->PropInfo()));
  return tags;
}

LPSPropTagArray TVoMAPITableFields::CreatePropTagArray() {
  const std::vector<TVoMAPIPropTag> tags = ColumnTags();
  void* buffer = nullptr;
  MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(tags.size())), &buffer);
  auto* array = static_cast<LPSPropTagArray>(buffer);
  array->cValues = ULONG(tags.size());
  std::copy(tags.begin(), tags.end(), array->aulPropTag);
  return array;
}

void TVoMAPITableFields::NumberColumns() {
  // The column of a field's identity in one text width, or -1.
  auto columnOf = [&](const TVoMAPIPropInfo& info, uint32_t type) {
    for (size_t i = 0; i < fields_.size(); ++i) {
      const TVoMAPIPropInfo& other = fields_[i]->PropInfo();
      if (other.PropType == type && SameProp(other, info, false)) return int32_t(i);
    }
    return int32_t(-1);
  };
  for (size_t i = 0; i < fields_.size(); ++i) {
    const TVoMAPIPropInfo& info = fields_[i]->PropInfo();
    TVoMAPITableField::TColumns& columns = fields_[i]->Columns();
    columns.Field = int32_t(i);
    columns.Ansi = IsStringType(info.PropType) ? columnOf(info, PT_STRING8) : -1;
    columns.Unicode = IsStringType(info.PropType) ? columnOf(info, PT_UNICODE) : -1;
  }
}

}  // namespace orba
