#include "orba/VoMAPILists.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {
namespace {

bool SameEntryID(const TVoMAPIEntryID& a, const TVoMAPIEntryID& b) { return EntryIDToArr(a) == EntryIDToArr(b); }

}  // namespace

// TVoMAPIEntryIDList -------------------------------------------------------------------

int32_t TVoMAPIEntryIDList::Add(const TVoMAPIEntryID& EntryID) {
  const int32_t index = IndexOf(EntryID);
  return index >= 0 ? index : Append(TVoVariant(EntryIDToArr(EntryID)));
}

void TVoMAPIEntryIDList::Remove(const TVoMAPIEntryID& EntryID) {
  if (const int32_t index = IndexOf(EntryID); index >= 0) DeleteAt(index);
}

int32_t TVoMAPIEntryIDList::IndexOf(const TVoMAPIEntryID& EntryID) {
  return FindIndex([&](const TVoMAPIEntryID& item) { return SameEntryID(item, EntryID); });
}

TVoMAPIEntryID TVoMAPIEntryIDList::Get_Item(int32_t Index) { return At(Index); }
TVoMAPIEntryID TVoMAPIEntryIDList::Get_CurrentRecord() { return CurrentData(); }

void TVoMAPIEntryIDList::AssignTo(IVoMAPIEntryIDList* OtherList) {
  if (!OtherList || OtherList == static_cast<IVoMAPIEntryIDList*>(this)) return;
  OtherList->Clear();
  for (int32_t i = 0; i < Count(); ++i) OtherList->Add(At(i));
}

void TVoMAPIEntryIDList::Import(const SBinaryArray& EntryList) {
  if (EntryList.cValues && !EntryList.lpbin) kit::Raise(E_INVALIDARG, u"The entry list has no entries!");
  for (ULONG i = 0; i < EntryList.cValues; ++i) {
    const SBinary& bin = EntryList.lpbin[i];
    Add(TVoVariant(bin.lpb ? TVoVariant::ByteArray(bin.lpb, bin.lpb + bin.cb) : TVoVariant::ByteArray()));
  }
}

// TVoMAPIValueList ---------------------------------------------------------------------

int32_t TVoMAPIValueList::Add(const TVoVariant& Value) {
  const int32_t index = IndexOf(Value);
  return index >= 0 ? index : Append(Value);
}

void TVoMAPIValueList::Remove(const TVoVariant& Value) {
  if (const int32_t index = IndexOf(Value); index >= 0) DeleteAt(index);
}

int32_t TVoMAPIValueList::IndexOf(const TVoVariant& Value) {
  return FindIndex([&](const TVoVariant& item) { return VarSameValue(item, Value); });
}

TVoVariant TVoMAPIValueList::Get_Item(int32_t Index) { return At(Index); }
TVoVariant TVoMAPIValueList::Get_CurrentRecord() { return CurrentData(); }

void TVoMAPIValueList::AssignTo(IVoMAPIValueList* OtherList) {
  if (!OtherList || OtherList == static_cast<IVoMAPIValueList*>(this)) return;
  OtherList->Clear();
  for (int32_t i = 0; i < Count(); ++i) OtherList->Add(At(i));
}

// TVoMAPIPropList ----------------------------------------------------------------------

int32_t TVoMAPIPropList::Add(TVoMAPIPropDef PropDef) {
  const TVoMAPIPropInfo* info = GetPropInfo(PropDef);
  const int32_t index = FindIndex([&](const TVoMAPIPropInfo* item) { return SameProp(*item, *info, false); });
  return index >= 0 ? index : Append(info);
}

void TVoMAPIPropList::Remove(TVoMAPIPropDef PropDef) {
  if (const int32_t index = IndexOf(PropDef); index >= 0) DeleteAt(index);
}

int32_t TVoMAPIPropList::IndexOf(TVoMAPIPropDef PropDef) {
  const TVoMAPIPropInfo* info = GetPropInfo(PropDef);
  return FindIndex([&](const TVoMAPIPropInfo* item) { return SameProp(*item, *info, false); });
}

TVoMAPIPropDef TVoMAPIPropList::Get_Item(int32_t Index) { return *At(Index)->PropDef; }
TVoMAPIPropDef TVoMAPIPropList::Get_CurrentRecord() { return *CurrentData()->PropDef; }

void TVoMAPIPropList::AssignTo(IVoMAPIPropList* OtherList) {
  if (!OtherList || OtherList == static_cast<IVoMAPIPropList*>(this)) return;
  OtherList->Clear();
  for (int32_t i = 0; i < Count(); ++i) OtherList->Add(*At(i)->PropDef);
}

LPSPropTagArray TVoMAPIPropList::CreatePropTagArray(TVoMAPIPropOwner& Prop) {
  // Tags first, so that a failing lookup leaves no MAPI memory behind.
  std::vector<ULONG> tags;
  const bool unicode = Prop.GetUnicode();
  for (int32_t i = 0; i < Count(); ++i) tags.push_back(Prop.GetPropTag(*GetPropInfo(*At(i)->PropDef, unicode), true));
  auto* array = static_cast<LPSPropTagArray>(Prop.AllocateBuffer(ULONG(CbNewSPropTagArray(tags.size()))));
  array->cValues = ULONG(tags.size());
  std::copy(tags.begin(), tags.end(), array->aulPropTag);
  return array;
}

// TVoMAPIPropValueList -----------------------------------------------------------------

int32_t TVoMAPIPropValueList::Add(TVoMAPIPropDef PropDef) {
  const int32_t index = IndexOf(PropDef);
  return index >= 0 ? index : Append(std::make_unique<TVoMAPIPropValue>(this, GetPropInfo(PropDef)));
}

int32_t TVoMAPIPropValueList::AddValue(TVoMAPIPropDef PropDef, const TVoVariant& Value) {
  const int32_t index = Add(PropDef);
  At(index)->SetValue(Value);
  return index;
}

void TVoMAPIPropValueList::Remove(TVoMAPIPropDef PropDef) {
  if (const int32_t index = IndexOf(PropDef); index >= 0) DeleteAt(index);
}

int32_t TVoMAPIPropValueList::IndexOf(TVoMAPIPropDef PropDef) {
  const TVoMAPIPropInfo* info = GetPropInfo(PropDef);
  return FindIndex(
      [&](const std::unique_ptr<TVoMAPIPropValue>& item) { return SameProp(item->PropInfo(), *info, true); });
}

TVoMAPIPropDef TVoMAPIPropValueList::Get_Item(int32_t Index) { return *At(Index)->PropInfo().PropDef; }
TVoVariant TVoMAPIPropValueList::Get_Value(int32_t Index) { return At(Index)->Value(); }
void TVoMAPIPropValueList::Set_Value(int32_t Index, const TVoVariant& Value) { At(Index)->SetValue(Value); }
TVoMAPIPropDef TVoMAPIPropValueList::Get_CurrentRecord() { return *CurrentData()->PropInfo().PropDef; }
TVoVariant TVoMAPIPropValueList::Get_CurrentValue() { return CurrentData()->Value(); }
void TVoMAPIPropValueList::Set_CurrentValue(const TVoVariant& Value) { CurrentData()->SetValue(Value); }

void TVoMAPIPropValueList::AssignTo(IVoMAPIPropList* PropList) {
  if (!PropList) return;
  PropList->Clear();
  for (int32_t i = 0; i < Count(); ++i) PropList->Add(Get_Item(i));
}

void TVoMAPIPropValueList::AssignTo_(IVoMAPIPropValueList* PropValueList) {
  if (!PropValueList || PropValueList == static_cast<IVoMAPIPropValueList*>(this)) return;
  PropValueList->Clear();
  for (int32_t i = 0; i < Count(); ++i) PropValueList->AddValue(Get_Item(i), Get_Value(i));
}

void TVoMAPIPropValueList::Import(ULONG Count, const SPropValue* Values) {
  if (Count && !Values) kit::Raise(E_INVALIDARG, u"The property values are missing!");
  ClearAll();
  for (ULONG i = 0; i < Count; ++i) {
    const TVoMAPIPropInfo* info = GetProp(Values[i].ulPropTag, true);
    AddValue(*info->PropDef, VoMAPIPropVarValue(Values[i], TVoVariant::Null()));
  }
}

// TVoMAPIABDestFieldList ---------------------------------------------------------------

int32_t TVoMAPIABDestFieldList::Add(const WideString& DestFieldName, TVoMAPIRecipientType DestFieldType) {
  return Append(TVoMAPIABDestField{DestFieldName, DestFieldType});
}

void TVoMAPIABDestFieldList::Remove(const TVoMAPIABDestField& Field) {
  const int32_t index = FindIndex([&](const TVoMAPIABDestField& item) { return item == Field; });
  if (index >= 0) DeleteAt(index);
}

int32_t TVoMAPIABDestFieldList::IndexOf(TVoMAPIRecipientType DestFieldType) {
  return FindIndex([&](const TVoMAPIABDestField& item) { return item.DestFieldType == DestFieldType; });
}

TVoMAPIABDestField TVoMAPIABDestFieldList::Get_Item(int32_t Index) { return At(Index); }
TVoMAPIABDestField TVoMAPIABDestFieldList::Get_CurrentRecord() { return CurrentData(); }

void TVoMAPIABDestFieldList::AssignTo(IVoMAPIABDestFieldList* OtherList) {
  if (!OtherList || OtherList == static_cast<IVoMAPIABDestFieldList*>(this)) return;
  OtherList->Clear();
  for (int32_t i = 0; i < Count(); ++i) OtherList->Add(At(i).DestFieldName, At(i).DestFieldType);
}

}  // namespace orba
