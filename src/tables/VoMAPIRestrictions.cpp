#include "orba/VoMAPIRestrictions.h"

#include <algorithm>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIPropConvert.h"
#include "orba/VoMAPITable.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"
#include "orba/common/timezone.h"

namespace orba {
namespace {

[[noreturn]] void RaiseNoChild() { kit::Raise(E_INVALIDARG, u"No restriction has been set yet!"); }

// The text of a PT_MV_UNICODE value: one value per line.
std::vector<WideString> LinesOf(const WideString& Text) {
  std::vector<WideString> lines;
  size_t start = 0;
  for (size_t end; (end = Text.find(u"\r\n", start)) != WideString::npos; start = end + 2)
    lines.push_back(Text.substr(start, end - start));
  if (start < Text.size()) lines.push_back(Text.substr(start));
  return lines;
}

// A FILETIME from a date (local time) or from the FILETIME number itself.
FILETIME RestrictionFileTime(const TVoVariant& Value) {
  if (Value.VarType() == varDate || Value.VarType() == varDouble)
    return DateTimeToFILETIME(VoLocalToUTC(VoVarToDateTime(Value)));
  const uint64_t number = uint64_t(VoVarToInt64(Value));
  return FILETIME{DWORD(number), DWORD(number >> 32)};
}

// Value as the constant of a property restriction on Tag; Buffer receives the memory
// the result points into.
SPropValue RestrictionValue(const TVoVariant& Value, ULONG Tag, std::unique_ptr<TVoMAPIValueBuffer>& Buffer) {
  Buffer.reset();
  SPropValue result{};
  result.ulPropTag = Tag;
  __UPV& v = result.Value;
  switch (PROP_TYPE(Tag)) {
    case PT_I2: v.i = int16_t(VoVarToInt(Value)); break;
    case PT_LONG: v.ul = ULONG(VoVarToInt64(Value)); break;
    case PT_R4: v.flt = float(VoVarToFloat(Value)); break;
    case PT_DOUBLE: v.dbl = VoVarToFloat(Value); break;
    case PT_APPTIME: v.at = VoVarToDateTime(Value); break;
    case PT_BOOLEAN: v.b = VoVarToBool(Value) ? 1 : 0; break;  // MAPI's TRUE is 1
    case PT_I8: v.li.QuadPart = VoVarToInt64(Value); break;
    case PT_SYSTIME: v.ft = RestrictionFileTime(Value); break;
    case PT_STRING8: {
      auto text = std::make_unique<TVoMAPIAnsiStringBuffer>(TVoEncoding::ConvertA(VoVarToStr(Value)));
      v.lpszA = text->Data();
      Buffer = std::move(text);
      break;
    }
    case PT_UNICODE: {
      auto text = std::make_unique<TVoMAPIWideStringBuffer>(VoVarToStr(Value));
      v.lpszW = text->Data();
      Buffer = std::move(text);
      break;
    }
    case PT_CLSID: {
      auto guid = std::make_unique<TVoMAPIGUIDBuffer>(std::vector{StringToGUID(VoVarToStr(Value))});
      v.lpguid = guid->Data();
      Buffer = std::move(guid);
      break;
    }
    case PT_BINARY: {
      // A byte array, or its hexadecimal text.
      auto bytes = std::make_unique<TVoMAPIBinBuffer>(
          EntryIDToArr(Value.VarType() == varOleStr ? StrToEntryID(VoVarToStr(Value)) : Value));
      v.bin = SBinary{bytes->Count(), bytes->Data()};
      Buffer = std::move(bytes);
      break;
    }
    case PT_MV_UNICODE: {
      auto texts = std::make_unique<TVoMAPIWideStringArrBuffer>(LinesOf(VoVarToStr(Value)));
      v.MVszW = SWStringArray{texts->Count(), texts->Data()};
      Buffer = std::move(texts);
      break;
    }
  }
  return result;
}

}  // namespace

// Base -------------------------------------------------------------------------------------

TVoMAPIRestriction::TVoMAPIRestriction(TVoMAPITableBase* Table, TVoMAPIRestrictionType Type)
    : TVoMAPIObject(Table), table_(Table), type_(Type) {}

TVoMAPITableBase* TVoMAPIRestriction::Table() const { return Creator() ? table_ : nullptr; }

SRestriction* TVoMAPIRestriction::GetMAPIRestriction() {
  if (!Table()) kit::Raise(E_FAIL, u"The table this restriction belongs to has been destroyed!");
  node_.rt = ULONG(type_);
  BuildNode(node_);
  return &node_;
}

TVoMAPIRestriction& TVoMAPIRestriction::Of(IVoMAPIRestriction* Restriction, const TVoMAPITableBase* Table) {
  if (!Restriction) kit::Raise(E_INVALIDARG, u"No restriction has been specified!");
  auto* object = dynamic_cast<TVoMAPIRestriction*>(Restriction);
  if (!object || object->Table() != Table)
    kit::Raise(E_INVALIDARG, u"The table the restriction belongs too is different than the table of this restriction!");
  return *object;
}

TVoMAPIPropTag TVoMAPIRestriction::ResolveTag(TVoMAPIPropDef PropDef) const {
  if (!Table()) kit::Raise(E_FAIL, u"The table this restriction belongs to has been destroyed!");
  return Table()->GetPropTag(*GetPropInfo(PropDef));
}

TVoMAPIRestriction& TVoMAPIRestriction::Joinable(IVoMAPIRestriction* Child) {
  TVoMAPIRestriction& child = Of(Child, Table());
  // A tree that contains itself has no end.
  if (child.Contains(this)) kit::Raise(E_INVALIDARG, u"A restriction can not contain itself!");
  return child;
}

// And, Or ----------------------------------------------------------------------------------

void TVoMAPIRestrictionGroup::Add(IVoMAPIRestriction* Restriction) {
  TVoMAPIRestriction& child = Joinable(Restriction);
  children_.push_back(&child);
  FreeNotification(&child);
}

void TVoMAPIRestrictionGroup::Remove(IVoMAPIRestriction* Restriction) {
  auto* child = dynamic_cast<TVoMAPIRestriction*>(Restriction);
  auto found = std::find(children_.begin(), children_.end(), child);
  if (found == children_.end()) return;
  children_.erase(found);
  // The same child may have been added more than once.
  if (std::find(children_.begin(), children_.end(), child) == children_.end()) RemoveFreeNotification(child);
}

bool TVoMAPIRestrictionGroup::Contains(const TVoMAPIRestriction* Other) const {
  return Other == this ||
         std::any_of(children_.begin(), children_.end(), [&](const auto* child) { return child->Contains(Other); });
}

void TVoMAPIRestrictionGroup::BuildNode(SRestriction& Node) {
  nodes_.resize(children_.size());
  for (size_t i = 0; i < children_.size(); ++i) nodes_[i] = *children_[i]->GetMAPIRestriction();
  // SAndRestriction and SOrRestriction share their layout.
  Node.res.resAnd.cRes = ULONG(nodes_.size());
  Node.res.resAnd.lpRes = nodes_.empty() ? nullptr : nodes_.data();
}

void TVoMAPIRestrictionGroup::Notification(TVoAutoIntfObject* destroyed) {
  TVoMAPIRestriction::Notification(destroyed);
  std::erase_if(children_, [&](const TVoMAPIRestriction* child) {
    return static_cast<const TVoAutoIntfObject*>(child) == destroyed;
  });
}

// Not, Sub ---------------------------------------------------------------------------------

void TVoMAPIRestrictionNested::SetChild(IVoMAPIRestriction* Restriction) {
  TVoMAPIRestriction* child = Restriction ? &Joinable(Restriction) : nullptr;
  child_ = ComPtr<IVoMAPIRestriction>(Restriction);
  childObject_ = child;
}

bool TVoMAPIRestrictionNested::Contains(const TVoMAPIRestriction* Other) const {
  return Other == this || (childObject_ && childObject_->Contains(Other));
}

SRestriction* TVoMAPIRestrictionNested::ChildNode() {
  if (!childObject_) RaiseNoChild();
  return childObject_->GetMAPIRestriction();
}

void TVoMAPIRestrictionNot::BuildNode(SRestriction& Node) { Node.res.resNot = SNotRestriction{0, ChildNode()}; }

void TVoMAPIRestrictionSub::BuildNode(SRestriction& Node) {
  SRestriction* child = ChildNode();
  const ULONG subObject =
      ResolveTag(subObjectType_ == rsotAttachments ? PR_MESSAGE_ATTACHMENTS : PR_MESSAGE_RECIPIENTS);
  Node.res.resSub = SSubRestriction{subObject, child};
}

// Restrictions on one property -------------------------------------------------------------

void TVoMAPIPropRestriction::SetPropDef(TVoMAPIPropDef Value) {
  const TVoMAPIPropTag tag = ResolveTag(Value);
  CheckPropType(PROP_TYPE(tag));
  propDef_ = Value;
  tag_ = tag;
}

ULONG TVoMAPIPropRestriction::Tag() const {
  if (propDef_.ID == 0) kit::Raise(E_INVALIDARG, u"No property has been set for this restriction yet!");
  return tag_;
}

void TVoMAPIRestrictionContent::Set_Value(const WideString& Value) {
  value_ = Value;
  ansiValue_ = TVoEncoding::ConvertA(Value);
}

void TVoMAPIRestrictionContent::CheckPropType(ULONG Type) {
  if ((Type & ~MV_FLAG) != PT_STRING8 && (Type & ~MV_FLAG) != PT_UNICODE)
    kit::Raise(MAPI_E_NO_SUPPORT, u"You can not use this property in a content restriction!");
}

void TVoMAPIRestrictionContent::BuildNode(SRestriction& Node) {
  const ULONG tag = Tag();
  // The value is one text, also for a multi-valued property.
  prop_ = SPropValue{};
  prop_.ulPropTag = tag & ~MV_FLAG;
  if (PROP_TYPE(prop_.ulPropTag) == PT_STRING8)
    prop_.Value.lpszA = ansiValue_.data();
  else
    prop_.Value.lpszW = value_.data();
  ULONG fuzzyLevel = ULONG(matchType_);
  if (caseInsensitive_) fuzzyLevel |= FL_IGNORECASE;
  if (accentInsensitive_) fuzzyLevel |= FL_IGNORENONSPACE;
  if (looseCompare_) fuzzyLevel |= FL_LOOSE;
  Node.res.resContent = SContentRestriction{fuzzyLevel, tag, &prop_};
}

void TVoMAPIRestrictionProperty::CheckPropType(ULONG Type) {
  switch (Type) {
    case PT_I2:
    case PT_LONG:
    case PT_R4:
    case PT_DOUBLE:
    case PT_APPTIME:
    case PT_BOOLEAN:
    case PT_I8:
    case PT_STRING8:
    case PT_UNICODE:
    case PT_SYSTIME:
    case PT_CLSID:
    case PT_BINARY:
    case PT_MV_UNICODE: return;
    default: kit::Raise(MAPI_E_NO_SUPPORT, u"You can not use this property in a property restriction!");
  }
}

void TVoMAPIRestrictionProperty::BuildNode(SRestriction& Node) {
  prop_ = RestrictionValue(value_, Tag(), buffer_);
  Node.res.resProperty = SPropertyRestriction{ULONG(operator_), prop_.ulPropTag, &prop_};
}

void TVoMAPIRestrictionCompareProps::Set_PropDef1(TVoMAPIPropDef Value) {
  tag1_ = ResolveTag(Value);
  propDef1_ = Value;
}

void TVoMAPIRestrictionCompareProps::Set_PropDef2(TVoMAPIPropDef Value) {
  tag2_ = ResolveTag(Value);
  propDef2_ = Value;
}

void TVoMAPIRestrictionCompareProps::BuildNode(SRestriction& Node) {
  if (propDef1_.ID == 0 || propDef2_.ID == 0)
    kit::Raise(E_INVALIDARG, u"No property has been set for this restriction yet!");
  Node.res.resCompareProps = SComparePropsRestriction{ULONG(operator_), tag1_, tag2_};
}

void TVoMAPIRestrictionBitMask::BuildNode(SRestriction& Node) {
  Node.res.resBitMask = SBitMaskRestriction{ULONG(operator_), Tag(), ULONG(bitMask_)};
}

void TVoMAPIRestrictionSize::BuildNode(SRestriction& Node) {
  Node.res.resSize = SSizeRestriction{ULONG(operator_), Tag(), ULONG(size_)};
}

void TVoMAPIRestrictionExist::BuildNode(SRestriction& Node) { Node.res.resExist = SExistRestriction{0, Tag(), 0}; }

// Creation ---------------------------------------------------------------------------------

ComPtr<IVoMAPIRestriction> VoCreateMAPIRestriction(TVoMAPITableBase* Table, TVoMAPIRestrictionType Type) {
  switch (Type) {
    case rtAnd: return MakeComObject<TVoMAPIRestrictionAnd>(Table);
    case rtOr: return MakeComObject<TVoMAPIRestrictionOr>(Table);
    case rtNot: return MakeComObject<TVoMAPIRestrictionNot>(Table);
    case rtContent: return MakeComObject<TVoMAPIRestrictionContent>(Table);
    case rtProperty: return MakeComObject<TVoMAPIRestrictionProperty>(Table);
    case rtCompareProps: return MakeComObject<TVoMAPIRestrictionCompareProps>(Table);
    case rtBitmask: return MakeComObject<TVoMAPIRestrictionBitMask>(Table);
    case rtSize: return MakeComObject<TVoMAPIRestrictionSize>(Table);
    case rtExists: return MakeComObject<TVoMAPIRestrictionExist>(Table);
    case rtSub: return MakeComObject<TVoMAPIRestrictionSub>(Table);
  }
  kit::Raise(E_INVALIDARG, u"Unsupported RestrictionType");
}

}  // namespace orba
