#include "orba/VoMAPIMemoryTable.h"

#include "kit/VoMAPIKit.h"

namespace orba {
namespace {

// The type of a text property's other width; 0 for other types.
uint32_t OtherTextWidth(uint32_t Type) {
  switch (Type) {
    case PT_STRING8: return PT_UNICODE;
    case PT_UNICODE: return PT_STRING8;
    case PT_MV_STRING8: return PT_MV_UNICODE;
    case PT_MV_UNICODE: return PT_MV_STRING8;
    default: return 0;
  }
}

// The index of the property's other text width in Record; -1 when it has none.
int32_t IndexOfOtherWidth(TVoMAPIPropValueList& Record, const TVoMAPIPropInfo& Info) {
  const uint32_t other = OtherTextWidth(Info.PropType);
  const TVoMAPIPropInfo* twin = other ? FindProp(Info.PropID, other, Info.Named, Info.PropSet, Info.PropKind) : nullptr;
  return twin ? Record.IndexOf(*twin->PropDef) : -1;
}

}  // namespace

void TVoMAPIMemoryTableData::AppendRecord() { Append(MakeComObject<TVoMAPIPropValueList>(this)); }

TVoMAPITableField& TVoMAPIMemoryTableFields::FieldByName(const TVoMAPIPropInfo& PropInfo) const {
  if (PropInfo.PropType == PT_ERROR)
    throw EVoException(u"The datatype of " + PropInfo.PropName + u" is dtError!", E_UNEXPECTED);
  return TVoMAPITableFields::FieldByName(PropInfo);
}

TVoMAPIMemoryTable::TVoMAPIMemoryTable(TVoMAPIValueOwner* Parent)
    : TVoMAPITableBase(Parent, nullptr, nullptr, kaNone), data_(MakeComObject<TVoMAPIMemoryTableData>(this)) {}

ComPtr<TVoMAPITableFields> TVoMAPIMemoryTable::CreateFields() { return MakeComObject<TVoMAPIMemoryTableFields>(this); }

void TVoMAPIMemoryTable::Open() {
  active_ = true;
  First();
}

void TVoMAPIMemoryTable::First() { data_->MoveFirst(); }
void TVoMAPIMemoryTable::Last() { data_->MoveLast(); }
void TVoMAPIMemoryTable::Next() { data_->MoveNext(); }
void TVoMAPIMemoryTable::Previous() { data_->MovePrevious(); }
bool16 TVoMAPIMemoryTable::Get_EOF() { return data_->IsEOF(); }

void TVoMAPIMemoryTable::Set_BatchSize(int32_t) {
  kit::Raise(MAPI_E_NO_SUPPORT, u"The BatchSize of a MemoryTable is read only!");
}

void TVoMAPIMemoryTable::Insert() {
  data_->AppendRecord();
  modified_ = true;
}

void TVoMAPIMemoryTable::Delete() {
  data_->DeleteCurrent();
  modified_ = true;
}

void TVoMAPIMemoryTable::Clear() {
  data_->ClearAll();
  modified_ = true;
}

TVoVariant TVoMAPIMemoryTable::GetFieldValue(TVoMAPITableField& Field) {
  TVoMAPIPropValueList& record = data_->Current();
  const TVoMAPIPropDef def = Field.Get_FieldDef();
  if (const int32_t index = record.IndexOf(def); index >= 0) return record.Get_Value(index);
  if (const int32_t other = IndexOfOtherWidth(record, Field.PropInfo()); other >= 0) {
    TVoVariant value = record.Get_Value(other);
    record.AddValue(def, value);
    return value;
  }
  record.Add(def);
  return TVoVariant::Null();
}

void TVoMAPIMemoryTable::SetFieldValue(TVoMAPITableField& Field, const TVoVariant& Value) {
  TVoMAPIPropValueList& record = data_->Current();
  modified_ = true;
  record.AddValue(Field.Get_FieldDef(), Value);
  if (const int32_t other = IndexOfOtherWidth(record, Field.PropInfo()); other >= 0) record.Set_Value(other, Value);
}

}  // namespace orba
