#include "props/VoMAPIPropRegistry.h"

#include <utility>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/encoding.h"
#include "orba/common/format.h"
#include "orba/common/hash.h"
#include "props/VoMAPICatalogue.h"

namespace orba {

namespace {

constexpr std::u16string_view kUnitPath = u"source\\ComponentSets\\Components\\mapi\\uVoMAPIProps";

bool IsHashID(TVoMAPIPropDefID ID) { return static_cast<uint64_t>(ID) >= VoMAPIHashIDMask; }

size_t Mix(size_t seed, size_t value) { return seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2)); }

// The variant type each kind of descriptor keeps its PropID in.
uint16_t PropIDVarType(const TVoMAPIPropInfo& Info) {
  if (!Info.Named) return varWord;
  return Info.PropKind == MNID_STRING ? varOleStr : varInteger;
}

}  // namespace

void VoMAPIPropAssertionFailed(const WideString& Text) {
  throw EVoException(Format(u"%s (%s)", {Text, kUnitPath}), E_UNEXPECTED);
}

WideString VoMAPIGuidText(const GUID& Guid) {
  const uint8_t* d = Guid.Data4;
  return Format(u"{%.8x-%.4x-%.4x-%.2x%.2x-%.2x%.2x%.2x%.2x%.2x%.2x}",
                {Guid.Data1, uint32_t(Guid.Data2), uint32_t(Guid.Data3), uint32_t(d[0]), uint32_t(d[1]), uint32_t(d[2]),
                 uint32_t(d[3]), uint32_t(d[4]), uint32_t(d[5]), uint32_t(d[6]), uint32_t(d[7])});
}

TVoMAPIPropInfo VoMAPIStandardPropInfo(const WideString& Name, uint16_t ID, uint32_t PropType) {
  TVoMAPIPropInfo info;
  info.PropID = TVoVariant(ID);
  info.PropType = PropType;
  info.PropName = Name;
  return info;
}

TVoMAPIPropInfo VoMAPINumberPropInfo(const GUID& PropSet, const WideString& Name, int32_t ID, uint32_t PropType) {
  TVoMAPIPropInfo info;
  info.PropID = TVoVariant(ID);
  info.PropType = PropType;
  info.PropName = Name;
  info.Named = true;
  info.PropSet = PropSet;
  info.PropKind = MNID_ID;
  return info;
}

TVoMAPIPropInfo VoMAPINamePropInfo(const GUID& PropSet, const WideString& Name, const WideString& NameString,
                                   uint32_t PropType) {
  TVoMAPIPropInfo info;
  info.PropID = TVoVariant(NameString);
  info.PropType = PropType;
  info.PropName = Name;
  info.Named = true;
  info.PropSet = PropSet;
  info.PropKind = MNID_STRING;
  return info;
}

size_t TVoMAPIPropRegistry::NamedKeyHash::operator()(const NamedKey& Key) const {
  size_t h = std::hash<uint32_t>()(Key.PropSet.Data1);
  h = Mix(h, (size_t(Key.PropSet.Data2) << 16) | Key.PropSet.Data3);
  for (uint8_t b : Key.PropSet.Data4) h = Mix(h, b);
  h = Mix(h, Key.Kind);
  h = Mix(h, std::hash<int32_t>()(Key.Number));
  h = Mix(h, std::hash<std::u16string_view>()(Key.Name));
  return Mix(h, Key.PropType);
}

TVoMAPIPropRegistry::~TVoMAPIPropRegistry() {
  byName_.clear();
  byTag_.clear();
  byStandardID_.clear();
  byNamedTyped_.clear();
  byNamed_.clear();
  byHash_.clear();
  while (!props_.empty()) props_.pop_back();
  ownedDefs_.clear();
  names_.clear();
}

TVoMAPIPropDefID TVoMAPIPropRegistry::CalcHash(const TVoMAPIPropInfo& Info, bool Standard) const {
  TVoMAPIPropDefID id;
  if (Standard) {
    id = static_cast<TVoMAPIPropDefID>(props_.size() + 1);
  } else {
    AnsiString text = TVoEncoding::ConvertA(VoVarToStr(Info.PropID) + Format(u"%u", {Info.PropType}) +
                                            VoMAPIGuidText(Info.PropSet) + Info.PropName);
    TVoSHA1Digest digest = VoHashBuffer(text.data(), text.size());
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | digest[i];
    id = static_cast<TVoMAPIPropDefID>(value | VoMAPIHashIDMask);
  }
  if (const TVoMAPIPropInfo* existing = FindID(id))
    kit::Raise(E_INVALIDARG, u"%s is equal to %s", {Info.PropName, existing->PropName});
  return id;
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::Add(TVoMAPIPropInfo Info, const TVoMAPIPropDef* Handle, bool Standard) {
  if (Info.PropID.VarType() != PropIDVarType(Info) ||
      (Info.Named && Info.PropKind != MNID_ID && Info.PropKind != MNID_STRING))
    VoMAPIPropAssertionFailed(Format(u"The identity of %s does not fit its kind", {Info.PropName}));
  TVoMAPIPropDefID id = CalcHash(Info, Standard);
  if (Handle) {
    if (Handle->ID != id)
      VoMAPIPropAssertionFailed(
          Format(u"Assertion failed: %s has the ID %d instead of %d", {Info.PropName, Handle->ID, id}));
    Info.DisposePropDef = false;
  } else {
    ownedDefs_.push_back(std::make_unique<TVoMAPIPropDef>(TVoMAPIPropDef{id}));
    Handle = ownedDefs_.back().get();
    Info.DisposePropDef = true;
  }
  Info.PropDef = Handle;
  Info.Hash = id;
  props_.push_back(std::make_unique<TVoMAPIPropInfo>(std::move(Info)));
  Index(*props_.back(), static_cast<uint32_t>(props_.size() - 1));
  return props_.back().get();
}

void TVoMAPIPropRegistry::Index(const TVoMAPIPropInfo& Info, uint32_t Position) {
  // emplace keeps an existing entry: the first registered descriptor stays the answer.
  byName_.emplace(Info.PropName, Position);
  if (!Info.Named) {
    auto id = static_cast<uint16_t>(VoVarToInt(Info.PropID));
    byTag_.emplace(PROP_TAG(Info.PropType, id), Position);
    byStandardID_.emplace(id, Position);
  } else {
    NamedKey key{Info.PropSet, Info.PropKind, 0, {}, Info.PropType};
    if (Info.PropKind == MNID_ID) {
      key.Number = VoVarToInt(Info.PropID);
    } else {
      names_.push_back(VoVarToStr(Info.PropID));
      key.Name = names_.back();
    }
    byNamedTyped_.emplace(key, Position);
    key.PropType = 0;
    byNamed_.emplace(key, Position);
  }
  if (IsHashID(Info.Hash)) byHash_.emplace(Info.Hash, Position);
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::At(size_t Index) const {
  if (Index >= props_.size()) kit::RaiseListIndex(static_cast<int64_t>(Index));
  return props_[Index].get();
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::FindHash(TVoMAPIPropDefID ID) const {
  auto it = byHash_.find(ID);
  return it == byHash_.end() ? nullptr : props_[it->second].get();
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::FindID(TVoMAPIPropDefID ID) const {
  if (IsHashID(ID)) return FindHash(ID);
  if (ID <= 0 || static_cast<uint64_t>(ID) > props_.size()) return nullptr;
  return props_[static_cast<size_t>(ID - 1)].get();
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::FindName(const WideString& Name) const {
  auto it = byName_.find(Name);
  return it == byName_.end() ? nullptr : props_[it->second].get();
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::FindStandard(uint16_t ID, uint32_t PropType, bool CheckType) const {
  if (CheckType) {
    auto it = byTag_.find(PROP_TAG(PropType, ID));
    return it == byTag_.end() ? nullptr : props_[it->second].get();
  }
  auto it = byStandardID_.find(ID);
  return it == byStandardID_.end() ? nullptr : props_[it->second].get();
}

const TVoMAPIPropInfo* TVoMAPIPropRegistry::FindNamed(const GUID& PropSet, uint32_t Kind, int32_t Number,
                                                      std::u16string_view Name, uint32_t PropType,
                                                      bool CheckType) const {
  NamedKey key{PropSet, Kind, Kind == MNID_ID ? Number : 0, Kind == MNID_STRING ? Name : std::u16string_view(),
               CheckType ? PropType : 0};
  const auto& index = CheckType ? byNamedTyped_ : byNamed_;
  auto it = index.find(key);
  return it == index.end() ? nullptr : props_[it->second].get();
}

TVoMAPIPropRegistry& VoMAPIPropRegistry() {
  // Filled with the catalogue on first use; C++ makes that first use thread-safe.
  struct CatalogueRegistry : TVoMAPIPropRegistry {
    CatalogueRegistry() { VoMAPIRegisterCatalogue(*this); }
  };
  static CatalogueRegistry registry;
  return registry;
}

}  // namespace orba
