// The public face of the property registry: registration, lookup and comparison of
// property descriptors over the process-wide registry.
#include "orba/VoMAPIProps.h"

#include <limits>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/format.h"
#include "props/VoMAPIPropRegistry.h"

namespace orba {

namespace {

TVoMAPIPropRegistry& Registry() { return VoMAPIPropRegistry(); }

// A named identity: the set, MNID_ID with a number or MNID_STRING with a name.
struct NamedIdentity {
  GUID PropSet;
  uint32_t Kind;
  int32_t Number = 0;
  WideString Name;
};

// An integer IDOrName is a number (a LONG, also given as its unsigned reading), a
// string one a name; anything else names nothing.
bool ToNamedIdentity(const GUID& PropSet, const TVoVariant& IDOrName, NamedIdentity& Result) {
  switch (TVoTypes::VarMainTypeKind(IDOrName)) {
    case TVoVarKind::Integer: {
      int64_t value = VoVarToInt64(IDOrName);
      if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<uint32_t>::max()) return false;
      Result = {PropSet, MNID_ID, static_cast<int32_t>(static_cast<uint32_t>(value)), {}};
      return true;
    }
    case TVoVarKind::String: Result = {PropSet, MNID_STRING, 0, VoVarToStr(IDOrName)}; return true;
    default: return false;
  }
}

NamedIdentity ToNamedIdentity(const MAPINAMEID& NameID) {
  if (!NameID.lpguid) kit::Raise(E_INVALIDARG, u"The MAPINAMEID has no property set!");
  if (NameID.ulKind == MNID_ID) return {*NameID.lpguid, MNID_ID, NameID.Kind.lID, {}};
  if (NameID.ulKind != MNID_STRING) kit::Raise(E_INVALIDARG, u"The MAPINAMEID kind %u is unknown!", {NameID.ulKind});
  if (!NameID.Kind.lpwstrName) kit::Raise(E_INVALIDARG, u"The MAPINAMEID has no name!");
  return {*NameID.lpguid, MNID_STRING, 0, WideString(NameID.Kind.lpwstrName)};
}

const TVoMAPIPropInfo* FindNamed(const NamedIdentity& Id, uint32_t PropType, bool CheckType) {
  return Registry().FindNamed(Id.PropSet, Id.Kind, Id.Number, Id.Name, PropType, CheckType);
}

// Upper-case hexadecimal, at least two digits: the name of an on-demand registration.
WideString HexName(uint64_t Value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  WideString digits;
  do {
    digits.insert(digits.begin(), kDigits[Value & 0xF]);
    Value >>= 4;
  } while (Value != 0);
  if (digits.size() < 2) digits.insert(digits.begin(), u'0');
  return u"$" + digits;
}

const TVoMAPIPropInfo* GetNamed(const NamedIdentity& Id, uint32_t PropType, bool CheckType) {
  if (const TVoMAPIPropInfo* found = FindNamed(Id, PropType, CheckType)) return found;
  if (Id.Kind == MNID_ID) {
    WideString name = HexName((uint64_t(uint32_t(Id.Number)) << 16) | PropType);
    return Registry().Add(VoMAPINumberPropInfo(Id.PropSet, name, Id.Number, PropType), nullptr);
  }
  return Registry().Add(VoMAPINamePropInfo(Id.PropSet, Id.Name, Id.Name, PropType), nullptr);
}

uint16_t StandardID(const TVoMAPIPropInfo& Info) { return static_cast<uint16_t>(VoVarToInt(Info.PropID)); }

// Property names compare without regard to ASCII case.
bool SameName(const WideString& A, const WideString& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char16_t a = A[i], b = B[i];
    if (a >= u'a' && a <= u'z') a -= 32;
    if (b >= u'a' && b <= u'z') b -= 32;
    if (a != b) return false;
  }
  return true;
}

// Identifiers of one basic kind (integers of any width, or strings) and equal value.
bool SamePropID(const TVoVariant& A, const TVoVariant& B) {
  TVoVarKind kind = TVoTypes::VarMainTypeKind(A);
  if (kind != TVoTypes::VarMainTypeKind(B)) return false;
  if (kind == TVoVarKind::Integer) return VoVarToInt64(A) == VoVarToInt64(B);
  if (kind == TVoVarKind::String) return VoVarToStr(A) == VoVarToStr(B);
  return false;
}

bool SameNamed(const TVoMAPIPropInfo& Info, const MAPINAMEID& NameID) {
  if (!NameID.lpguid || !SameGuid(Info.PropSet, *NameID.lpguid) || Info.PropKind != NameID.ulKind) return false;
  if (NameID.ulKind == MNID_ID) return VoVarToInt64(Info.PropID) == NameID.Kind.lID;
  return NameID.Kind.lpwstrName && VoVarToStr(Info.PropID) == NameID.Kind.lpwstrName;
}

}  // namespace

const TVoMAPIPropInfo* RegisterProp(const WideString& Name, uint16_t ID, uint32_t PropType) {
  if (const TVoMAPIPropInfo* found = FindProp(ID, PropType, true)) return found;
  return Registry().Add(VoMAPIStandardPropInfo(Name, ID, PropType), nullptr);
}

const TVoMAPIPropInfo* RegisterProp(const GUID& PropSet, const WideString& Name, int32_t ID, uint32_t PropType) {
  if (const TVoMAPIPropInfo* found = FindProp(PropSet, TVoVariant(ID), PropType, true)) return found;
  return Registry().Add(VoMAPINumberPropInfo(PropSet, Name, ID, PropType), nullptr);
}

const TVoMAPIPropInfo* RegisterProp(const GUID& PropSet, const WideString& Name, const WideString& NameString,
                                    uint32_t PropType) {
  if (const TVoMAPIPropInfo* found = FindProp(PropSet, TVoVariant(NameString), PropType, true)) return found;
  return Registry().Add(VoMAPINamePropInfo(PropSet, Name, NameString, PropType), nullptr);
}

const TVoMAPIPropInfo* FindProp(const WideString& Name) { return Registry().FindName(Name); }

const TVoMAPIPropInfo* FindProp(uint16_t ID, uint32_t PropType, bool CheckType) {
  return Registry().FindStandard(ID, PropType, CheckType);
}

const TVoMAPIPropInfo* FindProp(TVoMAPIPropTag Tag, bool CheckType) {
  return FindProp(static_cast<uint16_t>(PROP_ID(Tag)), PROP_TYPE(Tag), CheckType);
}

const TVoMAPIPropInfo* FindProp(const GUID& PropSet, const TVoVariant& IDOrName, uint32_t PropType, bool CheckType) {
  NamedIdentity id;
  return ToNamedIdentity(PropSet, IDOrName, id) ? FindNamed(id, PropType, CheckType) : nullptr;
}

const TVoMAPIPropInfo* FindProp(const MAPINAMEID& NameID, uint32_t PropType, bool CheckType) {
  return FindNamed(ToNamedIdentity(NameID), PropType, CheckType);
}

const TVoMAPIPropInfo* FindProp(uint32_t PropType, const MAPINAMEID& NameID, bool CheckType) {
  return FindProp(NameID, PropType, CheckType);
}

const TVoMAPIPropInfo* FindProp(const TVoVariant& IDOrName, uint32_t PropType, bool Named, const GUID& PropSet,
                                uint32_t PropKind) {
  // Each kind of descriptor keeps its PropID in one variant type, so the variant type
  // selects the index; the index compares value, set, kind and type.
  if (!Named) {
    if (IDOrName.VarType() != varWord || PropSet != GUID_NULL || PropKind != MNID_ID) return nullptr;
    return FindProp(static_cast<uint16_t>(VoVarToInt(IDOrName)), PropType, true);
  }
  uint16_t expected = PropKind == MNID_ID ? varInteger : PropKind == MNID_STRING ? varOleStr : 0;
  if (expected == 0 || IDOrName.VarType() != expected) return nullptr;
  return FindProp(PropSet, IDOrName, PropType, true);
}

const TVoMAPIPropInfo* GetProp(uint16_t ID, uint32_t PropType, bool CheckType) {
  if (const TVoMAPIPropInfo* found = FindProp(ID, PropType, CheckType)) return found;
  WideString name = HexName((uint64_t(ID) << 16) | PropType);
  return Registry().Add(VoMAPIStandardPropInfo(name, ID, PropType), nullptr);
}

const TVoMAPIPropInfo* GetProp(TVoMAPIPropTag Tag, bool CheckType) {
  return GetProp(static_cast<uint16_t>(PROP_ID(Tag)), PROP_TYPE(Tag), CheckType);
}

const TVoMAPIPropInfo* GetProp(const GUID& PropSet, const TVoVariant& IDOrName, uint32_t PropType, bool CheckType) {
  NamedIdentity id;
  if (!ToNamedIdentity(PropSet, IDOrName, id))
    kit::Raise(E_INVALIDARG, u"A named property needs a number or a name as its identifier!");
  return GetNamed(id, PropType, CheckType);
}

const TVoMAPIPropInfo* GetProp(const MAPINAMEID& NameID, uint32_t PropType, bool CheckType) {
  return GetNamed(ToNamedIdentity(NameID), PropType, CheckType);
}

const TVoMAPIPropInfo* GetProp(uint32_t PropType, const MAPINAMEID& NameID, bool CheckType) {
  return GetProp(NameID, PropType, CheckType);
}

const TVoMAPIPropInfo* GetProp(const TVoVariant& IDOrName, uint32_t PropType, bool Named, const GUID& PropSet,
                               uint32_t /*PropKind*/) {
  // The kind follows from the identifier: a number or a name.
  if (!Named) return GetProp(static_cast<uint16_t>(VoVarToInt(IDOrName)), PropType, true);
  return GetProp(PropSet, IDOrName, PropType, true);
}

const TVoMAPIPropInfo* GetPropInfo(TVoMAPIPropDef PropDef, bool AllowUnicode) {
  if (PropDef.ID == 0) kit::Raise(E_INVALIDARG, u"The given PropDef does not have an ID");
  const TVoMAPIPropInfo* info;
  if (static_cast<uint64_t>(PropDef.ID) < VoMAPIHashIDMask) {
    info = Registry().At(static_cast<size_t>(PropDef.ID - 1));
  } else {
    info = Registry().FindHash(PropDef.ID);
    if (!info) kit::Raise(E_INVALIDARG, u"The PropDef.ID contains an invalid ID!");
  }
  if (!AllowUnicode && (info->PropType == PT_UNICODE || info->PropType == PT_MV_UNICODE)) {
    uint32_t narrow = info->PropType == PT_UNICODE ? PT_STRING8 : PT_MV_STRING8;
    return GetProp(info->PropID, narrow, info->Named, info->PropSet, info->PropKind);
  }
  return info;
}

const TVoMAPIPropInfo* GetPropInfo(const TVoMAPIPropDef* PropDef, bool AllowUnicode) {
  if (!PropDef || PropDef->ID == 0) VoMAPIPropAssertionFailed(u"Assertion failed: the PropDef has no ID");
  return GetPropInfo(*PropDef, AllowUnicode);
}

TVoMAPIPropDef GetPropDef(const WideString& Name) {
  const TVoMAPIPropInfo* info = FindProp(Name);
  if (!info) kit::Raise(E_INVALIDARG, u"There is no registered property with the name \"%s\"!", {Name});
  return *info->PropDef;
}

TVoMAPIPropTag GetPropTag(TVoMAPIPropDef PropDef) {
  const TVoMAPIPropInfo* info = Registry().FindID(PropDef.ID);
  if (!info) kit::Raise(E_INVALIDARG, u"There is no registered property with the ID \"%d\"!", {PropDef.ID});
  return GetPropTag(*info);
}

TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo) {
  if (PropInfo.Named) kit::Raise(E_INVALIDARG, u"The uVoMAPIProps.GetPropTag does not support named properties!");
  return PROP_TAG(PropInfo.PropType, StandardID(PropInfo));
}

WideString GetPropName(TVoMAPIPropDef PropDef) { return GetPropInfo(PropDef, true)->PropName; }

bool SameGuid(const GUID& A, const GUID& B) {
  if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (A.Data4[i] != B.Data4[i]) return false;
  return true;
}

bool SameProp(const TVoMAPIPropInfo& A, const TVoMAPIPropInfo& B, bool CheckType) {
  if (SameName(A.PropName, B.PropName)) return true;
  bool same = (A.Named || B.Named)
                  ? SameGuid(A.PropSet, B.PropSet) && A.PropKind == B.PropKind && SamePropID(A.PropID, B.PropID)
                  : SamePropID(A.PropID, B.PropID);
  return same && (!CheckType || A.PropType == B.PropType);
}

bool SameProp(const TVoMAPIPropInfo& Info, TVoMAPIPropTag Tag, bool CheckType) {
  return !Info.Named && StandardID(Info) == PROP_ID(Tag) && (!CheckType || Info.PropType == PROP_TYPE(Tag));
}

bool SameProp(const TVoMAPIPropInfo& Info, TVoMAPIPropTag Tag, const MAPINAMEID& NameID, bool CheckType) {
  if (!Info.Named) return SameProp(Info, Tag, CheckType);
  return SameNamed(Info, NameID) && (!CheckType || Info.PropType == PROP_TYPE(Tag));
}

bool SameProp(const TVoMAPIPropInfo& Info, const MAPINAMEID& NameID, TVoMAPIPropTag Tag, bool CheckType) {
  return SameProp(Info, Tag, NameID, CheckType);
}

TVoMAPIPropDefID CalcPropHash(const TVoMAPIPropInfo& Info, bool Standard) {
  return Registry().CalcHash(Info, Standard);
}

size_t GetPropCount() { return Registry().Count(); }

const TVoMAPIPropInfo* GetPropInfoByIndex(size_t Index) { return Registry().At(Index); }

}  // namespace orba
