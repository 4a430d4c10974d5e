#include "kit/VoMAPIKit.h"
#include "orba/VoMAPITable.h"
#include "orba/common/dates.h"

namespace orba {
namespace {

TVoShowFieldsProc& ShowFieldsProc() {
  static TVoShowFieldsProc proc;
  return proc;
}

// Simple MAPI's "not supported", the code of the library's refusals of table kinds.
constexpr HRESULT kNotSupported = 26;

}  // namespace

void SetShowFieldsProc(TVoShowFieldsProc Proc) { ShowFieldsProc() = std::move(Proc); }

TVoMAPITableBase::TVoMAPITableBase(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IUnknown> MAPIObject,
                                   TVoKeepAlive KeepAlive)
    : TVoComObject(Parent, Session, std::move(MAPIObject), KeepAlive) {
  if (TVoMAPIPropOwner* owner = VoFindPropOwner(Parent)) unicode_ = owner->GetUnicode();
}

void TVoMAPITableBase::RaiseNotSupported() {
  kit::Raise(kNotSupported, u"This method is not supported by this table!");
}

TVoMAPITableFields& TVoMAPITableBase::Fields() {
  if (!fields_) fields_ = CreateFields();
  return *fields_;
}

ComPtr<TVoMAPITableFields> TVoMAPITableBase::CreateFields() { return MakeComObject<TVoMAPITableFields>(this); }

TVoMAPIPropTag TVoMAPITableBase::GetPropTag(const TVoMAPIPropInfo& PropInfo) {
  if (TVoMAPIPropOwner* owner = VoFindPropOwner(GetParentOwner())) return owner->GetPropTag(PropInfo, true);
  if (PropInfo.Named)
    kit::Raise(MAPI_E_NO_SUPPORT, u"Named Property %s requested, however Named Properties are not supported!",
               {PropInfo.PropName});
  return orba::GetPropTag(PropInfo);
}

void TVoMAPITableBase::CheckEOF() {
  if (Get_EOF()) kit::Raise(E_FAIL, u"The table is EOF!");
}

void TVoMAPITableBase::Set_CursorType(TVoMAPICursorType) {
  kit::Raise(MAPI_E_NO_SUPPORT, u"The CursorType is a readonly property!");
}

// Fields -----------------------------------------------------------------------------------

ComPtr<IVoMAPITableFields> TVoMAPITableBase::Get_Fields() { return ComPtr<IVoMAPITableFields>(&Fields()); }

ComPtr<IVoMAPITableField> TVoMAPITableBase::FieldByName(TVoMAPIPropDef PropDef) {
  return ComPtr<IVoMAPITableField>(&Fields().FieldByName(*GetPropInfo(PropDef)));
}

void TVoMAPITableBase::SetFields(const std::vector<TVoMAPIPropDef>& PropDefs) {
  TVoMAPITableFields& fields = Fields();
  fields.Clear();
  for (TVoMAPIPropDef def : PropDefs) fields.Add(*GetPropInfo(def));
}

void TVoMAPITableBase::SetFields(IVoMAPIPropList* PropList) {
  if (!PropList) kit::Raise(E_INVALIDARG, u"%s.SetFields failed!\r\nNo property list has been given.", {ClassName()});
  std::vector<TVoMAPIPropDef> defs;
  for (int32_t i = 0; i < PropList->Get_Count(); ++i) defs.push_back(PropList->Get_Item(i));
  SetFields(defs);
}

void TVoMAPITableBase::DisplayFields() {
  CheckActive(u"DisplayFields");
  if (!ShowFieldsProc())
    kit::Raise(kNotSupported,
               u"%s.DisplayFields failed!\r\nNo field viewer has been registered. Link the field-viewer unit "
               u"of the user-interface add-on, which registers itself with SetShowFieldsProc.",
               {ClassName()});
  ShowFieldsProc()(this);
}

void TVoMAPITableBase::SetFieldValue(TVoMAPITableField&, const TVoVariant&) {
  kit::Raise(E_ACCESSDENIED, u"The table is readonly!");
}

FILETIME TVoMAPITableBase::GetFieldFileTime(TVoMAPITableField& Field) {
  return DateTimeToFILETIME(VoVarToDateTime(GetFieldValue(Field), 0));
}

// What a table kind does not offer ---------------------------------------------------------

void TVoMAPITableBase::Insert() { RaiseNotSupported(); }
void TVoMAPITableBase::Delete() { RaiseNotSupported(); }
ComPtr<IVoMAPIRestriction> TVoMAPITableBase::CreateRestriction(TVoMAPIRestrictionType) { RaiseNotSupported(); }
void TVoMAPITableBase::Filter(IVoMAPIRestriction*) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::FindRow(IVoMAPIRestriction*, int32_t, bool16) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::FindFirst(IVoMAPIRestriction*) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::FindNext(IVoMAPIRestriction*) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::FindPrevious(IVoMAPIRestriction*) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::FindLast(IVoMAPIRestriction*) { RaiseNotSupported(); }
bool16 TVoMAPITableBase::SeekRow(TVoMapiTableBookmark, int32_t) { RaiseNotSupported(); }
void TVoMAPITableBase::Sort(TVoMAPIPropDef, bool16) { RaiseNotSupported(); }
void TVoMAPITableBase::Advise() { RaiseNotSupported(); }
void TVoMAPITableBase::UnAdvise() { RaiseNotSupported(); }

}  // namespace orba
