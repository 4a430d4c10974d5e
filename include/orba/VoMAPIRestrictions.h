// Restrictions (unit uVoMAPITable): the objects a caller builds to filter or search a
// table. Each object stands for one MAPI restriction node and keeps the node and
// everything it points to inside itself, so that the root's MAPI form is complete
// without further allocation. A restriction is created by the table it is used with
// (IVoMAPITableBase::CreateRestriction) and a tree joins restrictions of one table
// only, because property tags (named ones above all) are resolved against that
// table's owner when a property is set.
//
// Ownership: an And or Or holds its children without keeping them alive (a child
// released everywhere else drops out of the list); a Not or Sub keeps its one child
// alive; a table keeps the restriction it filters with alive. A tree never contains
// itself: joining a restriction into its own tree is refused.
#pragma once

#include <memory>
#include <vector>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIInterfaces.h"
#include "orba/VoMAPIObject.h"
#include "orba/VoMAPIProps.h"
#include "orba/VoMAPIValueBuffers.h"
#include "orba/common/comobject.h"
#include "orba/common/variant.h"

namespace orba {

inline constexpr IID IID_IVoMAPIRestriction = {
    0x41F195DA, 0x62D1, 0x4AC2, {0xBD, 0x28, 0x4D, 0xC0, 0xF4, 0x3B, 0x84, 0xD4}};
inline constexpr IID IID_IVoMAPIRestrictionOnProp = {
    0x13541F97, 0xDDB1, 0x43E3, {0x8E, 0x76, 0xED, 0x94, 0x47, 0x1F, 0xCE, 0x0B}};
inline constexpr IID IID_IVoMAPIRestrictionGroup = {
    0x523DE83F, 0x3A65, 0x46EF, {0x94, 0x55, 0xBA, 0x48, 0x06, 0x7E, 0x1E, 0x56}};
inline constexpr IID IID_IVoMAPIRestrictionNested = {
    0x6D0B3E21, 0x94C7, 0x4E0A, {0xB1, 0x52, 0x3F, 0x8E, 0x27, 0xC4, 0x09, 0xD3}};
inline constexpr IID IID_IVoMAPIRestrictionAnd = {
    0x4224FC86, 0x5E0D, 0x4360, {0x88, 0xAD, 0x08, 0x41, 0x1F, 0x31, 0x8B, 0xF9}};
inline constexpr IID IID_IVoMAPIRestrictionOr = {
    0x28FF0FE9, 0x5386, 0x4370, {0xB3, 0x08, 0xA7, 0x9A, 0xDE, 0x82, 0x7B, 0xBD}};
inline constexpr IID IID_IVoMAPIRestrictionNot = {
    0x088539F9, 0x5640, 0x45F6, {0xA6, 0x25, 0x19, 0x4F, 0x09, 0x3A, 0x71, 0x95}};
inline constexpr IID IID_IVoMAPIRestrictionContent = {
    0xF4E2067A, 0x79FD, 0x4FE8, {0x8A, 0x07, 0x60, 0x0E, 0x3E, 0x1C, 0x3C, 0xF8}};
inline constexpr IID IID_IVoMAPIRestrictionProperty = {
    0xB680B636, 0xD4A5, 0x42D4, {0x91, 0xDB, 0x0F, 0x0C, 0xEE, 0x12, 0x15, 0x64}};
inline constexpr IID IID_IVoMAPIRestrictionCompareProps = {
    0x29A12349, 0x4BAC, 0x4415, {0xBC, 0x2C, 0xA3, 0x20, 0xAB, 0xDA, 0x45, 0x8A}};
inline constexpr IID IID_IVoMAPIRestrictionBitMask = {
    0x76734ABA, 0xA993, 0x49D9, {0x86, 0x4B, 0xD7, 0x33, 0xB6, 0x76, 0x7B, 0x7A}};
inline constexpr IID IID_IVoMAPIRestrictionSize = {
    0x5354ADD3, 0xEFDD, 0x497E, {0x81, 0xC9, 0x5D, 0x16, 0xE5, 0x23, 0x30, 0x28}};
inline constexpr IID IID_IVoMAPIRestrictionExists = {
    0xB4C8C2BB, 0x6ED5, 0x40B9, {0x9F, 0x89, 0xCB, 0x16, 0xAD, 0xB8, 0x5B, 0x09}};
inline constexpr IID IID_IVoMAPIRestrictionSub = {
    0xE3581578, 0xA5FE, 0x4CA3, {0x85, 0x00, 0xDB, 0xAF, 0x21, 0xDD, 0xF7, 0x5A}};

// Interfaces ----------------------------------------------------------------------------

struct IVoMAPIRestriction : IUnknown {
  virtual TVoMAPIRestrictionType Get_RestrictionType() = 0;

 protected:
  ~IVoMAPIRestriction() = default;
};

// A restriction on one property. Setting the property resolves its tag for the table
// at once; a property of a type the restriction cannot test raises 0x80040102 and
// leaves the restriction as it was. Building a node before a property is set raises
// E_INVALIDARG "No property has been set for this restriction yet!".
struct IVoMAPIRestrictionOnProp : IVoMAPIRestriction {
  virtual TVoMAPIPropDef Get_PropDef() = 0;
  virtual void Set_PropDef(TVoMAPIPropDef Value) = 0;

 protected:
  ~IVoMAPIRestrictionOnProp() = default;
};

// And and Or: an ordered list of children (not kept alive).
struct IVoMAPIRestrictionGroup : IVoMAPIRestriction {
  // A restriction of another table raises E_INVALIDARG "The table the restriction
  // belongs too is different than the table of this restriction!".
  virtual void AddRestriction(IVoMAPIRestriction* Restriction) = 0;
  // Removing a restriction that is not a child does nothing.
  virtual void RemoveRestriction(IVoMAPIRestriction* Restriction) = 0;
  virtual int32_t Get_Count() = 0;

 protected:
  ~IVoMAPIRestrictionGroup() = default;
};

struct IVoMAPIRestrictionAnd : IVoMAPIRestrictionGroup {
 protected:
  ~IVoMAPIRestrictionAnd() = default;
};

struct IVoMAPIRestrictionOr : IVoMAPIRestrictionGroup {
 protected:
  ~IVoMAPIRestrictionOr() = default;
};

// Not and Sub: one child, kept alive. Null clears it; building a node without a child
// raises E_INVALIDARG "No restriction has been set yet!".
struct IVoMAPIRestrictionNested : IVoMAPIRestriction {
  virtual void SetRestriction(IVoMAPIRestriction* Restriction) = 0;
  virtual ComPtr<IVoMAPIRestriction> Get_Restriction() = 0;

 protected:
  ~IVoMAPIRestrictionNested() = default;
};

struct IVoMAPIRestrictionNot : IVoMAPIRestrictionNested {
 protected:
  ~IVoMAPIRestrictionNot() = default;
};

// The rows whose recipients (rsotRecipients) or attachments match the child.
struct IVoMAPIRestrictionSub : IVoMAPIRestrictionNested {
  virtual TVoMAPIRestrictionSubObjectType Get_SubObjectType() = 0;
  virtual void Set_SubObjectType(TVoMAPIRestrictionSubObjectType Value) = 0;

 protected:
  ~IVoMAPIRestrictionSub() = default;
};

// Text search on a string property (PT_STRING8, PT_UNICODE and their multi-valued
// forms; others raise "You can not use this property in a content restriction!").
// The fuzzy level is the match type with FL_IGNORECASE, FL_IGNORENONSPACE and
// FL_LOOSE added by the three flags (all false at creation).
struct IVoMAPIRestrictionContent : IVoMAPIRestrictionOnProp {
  virtual WideString Get_Value() = 0;
  virtual void Set_Value(const WideString& Value) = 0;
  virtual TVoMAPIStringMatchType Get_MatchType() = 0;
  virtual void Set_MatchType(TVoMAPIStringMatchType Value) = 0;
  virtual bool16 Get_CaseInsensitive() = 0;
  virtual void Set_CaseInsensitive(bool16 Value) = 0;
  virtual bool16 Get_AccentInsensitive() = 0;
  virtual void Set_AccentInsensitive(bool16 Value) = 0;
  virtual bool16 Get_LooseCompare() = 0;
  virtual void Set_LooseCompare(bool16 Value) = 0;

 protected:
  ~IVoMAPIRestrictionContent() = default;
};

// A property compared with a value. Types: PT_I2, PT_LONG, PT_R4, PT_DOUBLE,
// PT_APPTIME, PT_BOOLEAN, PT_I8, PT_STRING8, PT_UNICODE, PT_SYSTIME, PT_CLSID,
// PT_BINARY, PT_MV_UNICODE; others raise "You can not use this property in a property
// restriction!". The value is converted when the node is built: a PT_SYSTIME value
// from a date is local time, any other value is the FILETIME number; PT_CLSID from
// the braced GUID text; PT_BINARY from a byte array or its hexadecimal text;
// PT_MV_UNICODE from text, one value per line. Null and Empty give 0, "" or false; a
// value that cannot be converted raises the variant's conversion error.
struct IVoMAPIRestrictionProperty : IVoMAPIRestrictionOnProp {
  virtual TVoMAPIOperator Get_Operator() = 0;
  virtual void Set_Operator(TVoMAPIOperator Value) = 0;
  virtual TVoVariant Get_Value() = 0;
  virtual void Set_Value(const TVoVariant& Value) = 0;

 protected:
  ~IVoMAPIRestrictionProperty() = default;
};

// Two properties of a row compared with each other.
struct IVoMAPIRestrictionCompareProps : IVoMAPIRestriction {
  virtual TVoMAPIOperator Get_Operator() = 0;
  virtual void Set_Operator(TVoMAPIOperator Value) = 0;
  virtual TVoMAPIPropDef Get_PropDef1() = 0;
  virtual void Set_PropDef1(TVoMAPIPropDef Value) = 0;
  virtual TVoMAPIPropDef Get_PropDef2() = 0;
  virtual void Set_PropDef2(TVoMAPIPropDef Value) = 0;

 protected:
  ~IVoMAPIRestrictionCompareProps() = default;
};

// The bits of BitMask in an integer property: all clear (bmoEqualsZero) or any set.
struct IVoMAPIRestrictionBitMask : IVoMAPIRestrictionOnProp {
  virtual TVoMAPIBitmaskOperator Get_Operator() = 0;
  virtual void Set_Operator(TVoMAPIBitmaskOperator Value) = 0;
  virtual int32_t Get_BitMask() = 0;
  virtual void Set_BitMask(int32_t Value) = 0;

 protected:
  ~IVoMAPIRestrictionBitMask() = default;
};

// The size of a property's value in bytes compared with Size.
struct IVoMAPIRestrictionSize : IVoMAPIRestrictionOnProp {
  virtual TVoMAPIOperator Get_Operator() = 0;
  virtual void Set_Operator(TVoMAPIOperator Value) = 0;
  virtual int32_t Get_Size() = 0;
  virtual void Set_Size(int32_t Value) = 0;

 protected:
  ~IVoMAPIRestrictionSize() = default;
};

// The rows that have the property.
struct IVoMAPIRestrictionExists : IVoMAPIRestrictionOnProp {
 protected:
  ~IVoMAPIRestrictionExists() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestriction, IUnknown, orba::IID_IVoMAPIRestriction);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionOnProp, orba::IVoMAPIRestriction, orba::IID_IVoMAPIRestrictionOnProp);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionGroup, orba::IVoMAPIRestriction, orba::IID_IVoMAPIRestrictionGroup);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionNested, orba::IVoMAPIRestriction, orba::IID_IVoMAPIRestrictionNested);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionAnd, orba::IVoMAPIRestrictionGroup, orba::IID_IVoMAPIRestrictionAnd);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionOr, orba::IVoMAPIRestrictionGroup, orba::IID_IVoMAPIRestrictionOr);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionNot, orba::IVoMAPIRestrictionNested, orba::IID_IVoMAPIRestrictionNot);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionSub, orba::IVoMAPIRestrictionNested, orba::IID_IVoMAPIRestrictionSub);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionContent, orba::IVoMAPIRestrictionOnProp,
                       orba::IID_IVoMAPIRestrictionContent);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionProperty, orba::IVoMAPIRestrictionOnProp,
                       orba::IID_IVoMAPIRestrictionProperty);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionCompareProps, orba::IVoMAPIRestriction,
                       orba::IID_IVoMAPIRestrictionCompareProps);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionBitMask, orba::IVoMAPIRestrictionOnProp,
                       orba::IID_IVoMAPIRestrictionBitMask);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionSize, orba::IVoMAPIRestrictionOnProp, orba::IID_IVoMAPIRestrictionSize);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIRestrictionExists, orba::IVoMAPIRestrictionOnProp,
                       orba::IID_IVoMAPIRestrictionExists);

namespace orba {

class TVoMAPITableBase;

// Classes -------------------------------------------------------------------------------

// The base of every restriction: its type, the table that created it, and its node.
class TVoMAPIRestriction : public TVoMAPIObject {
 public:
  TVoMAPIRestriction(TVoMAPITableBase* Table, TVoMAPIRestrictionType Type);

  TVoMAPIRestrictionType RestrictionType() const { return type_; }
  // The table that created the restriction; null once that table is destroyed.
  TVoMAPITableBase* Table() const;
  // The restriction's own node, refreshed from its members (and its children's). It
  // stays valid until a member of a restriction of the tree changes or one of them is
  // destroyed. A restriction whose table is gone raises E_FAIL "The table this
  // restriction belongs to has been destroyed!".
  SRestriction* GetMAPIRestriction();
  // Whether Other is this restriction or lies in its tree.
  virtual bool Contains(const TVoMAPIRestriction* Other) const { return Other == this; }

  // The object behind Restriction, which must have been created by Table: null and
  // restrictions of other tables raise E_INVALIDARG.
  static TVoMAPIRestriction& Of(IVoMAPIRestriction* Restriction, const TVoMAPITableBase* Table);

 protected:
  // Fills the node's union from the members.
  virtual void BuildNode(SRestriction& Node) = 0;
  // The tag of PropDef for the table.
  TVoMAPIPropTag ResolveTag(TVoMAPIPropDef PropDef) const;
  // The object behind Child for joining it into this restriction's tree: of the same
  // table, and not containing this restriction.
  TVoMAPIRestriction& Joinable(IVoMAPIRestriction* Child);

 private:
  TVoMAPITableBase* table_;
  TVoMAPIRestrictionType type_;
  SRestriction node_{};
};

// Implements Get_RestrictionType of the interface Intf over the behaviour class Base.
template <class Base, class Intf>
class TVoMAPIRestrictionImpl : public TVoComObject<Base, Intf> {
 public:
  using TVoComObject<Base, Intf>::TVoComObject;
  TVoMAPIRestrictionType Get_RestrictionType() override { return this->RestrictionType(); }
};

// And and Or.
class TVoMAPIRestrictionGroup : public TVoMAPIRestriction {
 public:
  using TVoMAPIRestriction::TVoMAPIRestriction;
  void Add(IVoMAPIRestriction* Restriction);
  void Remove(IVoMAPIRestriction* Restriction);
  int32_t Count() const { return int32_t(children_.size()); }
  bool Contains(const TVoMAPIRestriction* Other) const override;

 protected:
  void BuildNode(SRestriction& Node) override;
  void Notification(TVoAutoIntfObject* destroyed) override;

 private:
  std::vector<TVoMAPIRestriction*> children_;
  std::vector<SRestriction> nodes_;
};

template <class Intf>
class TVoMAPIRestrictionGroupOf : public TVoMAPIRestrictionImpl<TVoMAPIRestrictionGroup, Intf> {
 public:
  using TVoMAPIRestrictionImpl<TVoMAPIRestrictionGroup, Intf>::TVoMAPIRestrictionImpl;
  void AddRestriction(IVoMAPIRestriction* Restriction) override { this->Add(Restriction); }
  void RemoveRestriction(IVoMAPIRestriction* Restriction) override { this->Remove(Restriction); }
  int32_t Get_Count() override { return this->Count(); }
};

class TVoMAPIRestrictionAnd : public TVoMAPIRestrictionGroupOf<IVoMAPIRestrictionAnd> {
 public:
  explicit TVoMAPIRestrictionAnd(TVoMAPITableBase* Table) : TVoMAPIRestrictionGroupOf(Table, rtAnd) {}
};

class TVoMAPIRestrictionOr : public TVoMAPIRestrictionGroupOf<IVoMAPIRestrictionOr> {
 public:
  explicit TVoMAPIRestrictionOr(TVoMAPITableBase* Table) : TVoMAPIRestrictionGroupOf(Table, rtOr) {}
};

// Not and Sub.
class TVoMAPIRestrictionNested : public TVoMAPIRestriction {
 public:
  using TVoMAPIRestriction::TVoMAPIRestriction;
  void SetChild(IVoMAPIRestriction* Restriction);
  const ComPtr<IVoMAPIRestriction>& Child() const { return child_; }
  bool Contains(const TVoMAPIRestriction* Other) const override;

 protected:
  // The child's node; without a child raises "No restriction has been set yet!".
  SRestriction* ChildNode();

 private:
  ComPtr<IVoMAPIRestriction> child_;
  TVoMAPIRestriction* childObject_ = nullptr;
};

template <class Intf>
class TVoMAPIRestrictionNestedOf : public TVoMAPIRestrictionImpl<TVoMAPIRestrictionNested, Intf> {
 public:
  using TVoMAPIRestrictionImpl<TVoMAPIRestrictionNested, Intf>::TVoMAPIRestrictionImpl;
  void SetRestriction(IVoMAPIRestriction* Restriction) override { this->SetChild(Restriction); }
  ComPtr<IVoMAPIRestriction> Get_Restriction() override { return this->Child(); }
};

class TVoMAPIRestrictionNot : public TVoMAPIRestrictionNestedOf<IVoMAPIRestrictionNot> {
 public:
  explicit TVoMAPIRestrictionNot(TVoMAPITableBase* Table) : TVoMAPIRestrictionNestedOf(Table, rtNot) {}

 protected:
  void BuildNode(SRestriction& Node) override;
};

class TVoMAPIRestrictionSub : public TVoMAPIRestrictionNestedOf<IVoMAPIRestrictionSub> {
 public:
  explicit TVoMAPIRestrictionSub(TVoMAPITableBase* Table) : TVoMAPIRestrictionNestedOf(Table, rtSub) {}
  TVoMAPIRestrictionSubObjectType Get_SubObjectType() override { return subObjectType_; }
  void Set_SubObjectType(TVoMAPIRestrictionSubObjectType Value) override { subObjectType_ = Value; }

 protected:
  void BuildNode(SRestriction& Node) override;

 private:
  TVoMAPIRestrictionSubObjectType subObjectType_ = rsotRecipients;
};

// The restrictions on one property.
class TVoMAPIPropRestriction : public TVoMAPIRestriction {
 public:
  using TVoMAPIRestriction::TVoMAPIRestriction;
  TVoMAPIPropDef PropDef() const { return propDef_; }
  // Resolves the tag and checks its type (CheckPropType) before anything is stored.
  void SetPropDef(TVoMAPIPropDef Value);

 protected:
  // Raises when the restriction cannot test a property of Type; the base accepts all.
  virtual void CheckPropType(ULONG Type) { (void)Type; }
  // The tag; raises when no property has been set.
  ULONG Tag() const;

 private:
  TVoMAPIPropDef propDef_;
  TVoMAPIPropTag tag_ = 0;
};

template <class Intf>
class TVoMAPIPropRestrictionOf : public TVoMAPIRestrictionImpl<TVoMAPIPropRestriction, Intf> {
 public:
  using TVoMAPIRestrictionImpl<TVoMAPIPropRestriction, Intf>::TVoMAPIRestrictionImpl;
  TVoMAPIPropDef Get_PropDef() override { return this->PropDef(); }
  void Set_PropDef(TVoMAPIPropDef Value) override { this->SetPropDef(Value); }
};

class TVoMAPIRestrictionContent : public TVoMAPIPropRestrictionOf<IVoMAPIRestrictionContent> {
 public:
  explicit TVoMAPIRestrictionContent(TVoMAPITableBase* Table) : TVoMAPIPropRestrictionOf(Table, rtContent) {}
  WideString Get_Value() override { return value_; }
  void Set_Value(const WideString& Value) override;
  TVoMAPIStringMatchType Get_MatchType() override { return matchType_; }
  void Set_MatchType(TVoMAPIStringMatchType Value) override { matchType_ = Value; }
  bool16 Get_CaseInsensitive() override { return caseInsensitive_; }
  void Set_CaseInsensitive(bool16 Value) override { caseInsensitive_ = Value; }
  bool16 Get_AccentInsensitive() override { return accentInsensitive_; }
  void Set_AccentInsensitive(bool16 Value) override { accentInsensitive_ = Value; }
  bool16 Get_LooseCompare() override { return looseCompare_; }
  void Set_LooseCompare(bool16 Value) override { looseCompare_ = Value; }

 protected:
  void CheckPropType(ULONG Type) override;
  void BuildNode(SRestriction& Node) override;

 private:
  WideString value_;
  AnsiString ansiValue_;  // the value in the system code page, for PT_STRING8
  TVoMAPIStringMatchType matchType_ = smtFullString;
  bool caseInsensitive_ = false;
  bool accentInsensitive_ = false;
  bool looseCompare_ = false;
  SPropValue prop_{};
};

class TVoMAPIRestrictionProperty : public TVoMAPIPropRestrictionOf<IVoMAPIRestrictionProperty> {
 public:
  explicit TVoMAPIRestrictionProperty(TVoMAPITableBase* Table) : TVoMAPIPropRestrictionOf(Table, rtProperty) {}
  TVoMAPIOperator Get_Operator() override { return operator_; }
  void Set_Operator(TVoMAPIOperator Value) override { operator_ = Value; }
  TVoVariant Get_Value() override { return value_; }
  void Set_Value(const TVoVariant& Value) override { value_ = Value; }

 protected:
  void CheckPropType(ULONG Type) override;
  void BuildNode(SRestriction& Node) override;

 private:
  TVoMAPIOperator operator_ = oEqual;
  TVoVariant value_;
  SPropValue prop_{};
  std::unique_ptr<TVoMAPIValueBuffer> buffer_;  // what prop_ points into
};

class TVoMAPIRestrictionCompareProps
    : public TVoMAPIRestrictionImpl<TVoMAPIRestriction, IVoMAPIRestrictionCompareProps> {
 public:
  explicit TVoMAPIRestrictionCompareProps(TVoMAPITableBase* Table) : TVoMAPIRestrictionImpl(Table, rtCompareProps) {}
  TVoMAPIOperator Get_Operator() override { return operator_; }
  void Set_Operator(TVoMAPIOperator Value) override { operator_ = Value; }
  TVoMAPIPropDef Get_PropDef1() override { return propDef1_; }
  void Set_PropDef1(TVoMAPIPropDef Value) override;
  TVoMAPIPropDef Get_PropDef2() override { return propDef2_; }
  void Set_PropDef2(TVoMAPIPropDef Value) override;

 protected:
  void BuildNode(SRestriction& Node) override;

 private:
  TVoMAPIOperator operator_ = oEqual;
  TVoMAPIPropDef propDef1_, propDef2_;
  TVoMAPIPropTag tag1_ = 0, tag2_ = 0;
};

class TVoMAPIRestrictionBitMask : public TVoMAPIPropRestrictionOf<IVoMAPIRestrictionBitMask> {
 public:
  explicit TVoMAPIRestrictionBitMask(TVoMAPITableBase* Table) : TVoMAPIPropRestrictionOf(Table, rtBitmask) {}
  TVoMAPIBitmaskOperator Get_Operator() override { return operator_; }
  void Set_Operator(TVoMAPIBitmaskOperator Value) override { operator_ = Value; }
  int32_t Get_BitMask() override { return bitMask_; }
  void Set_BitMask(int32_t Value) override { bitMask_ = Value; }

 protected:
  void BuildNode(SRestriction& Node) override;

 private:
  TVoMAPIBitmaskOperator operator_ = bmoEqualsZero;
  int32_t bitMask_ = 0;
};

class TVoMAPIRestrictionSize : public TVoMAPIPropRestrictionOf<IVoMAPIRestrictionSize> {
 public:
  explicit TVoMAPIRestrictionSize(TVoMAPITableBase* Table) : TVoMAPIPropRestrictionOf(Table, rtSize) {}
  TVoMAPIOperator Get_Operator() override { return operator_; }
  void Set_Operator(TVoMAPIOperator Value) override { operator_ = Value; }
  int32_t Get_Size() override { return size_; }
  void Set_Size(int32_t Value) override { size_ = Value; }

 protected:
  void BuildNode(SRestriction& Node) override;

 private:
  TVoMAPIOperator operator_ = oEqual;
  int32_t size_ = 0;
};

class TVoMAPIRestrictionExist : public TVoMAPIPropRestrictionOf<IVoMAPIRestrictionExists> {
 public:
  explicit TVoMAPIRestrictionExist(TVoMAPITableBase* Table) : TVoMAPIPropRestrictionOf(Table, rtExists) {}

 protected:
  void BuildNode(SRestriction& Node) override;
};

// The restriction of Type created for Table; a type outside rtAnd..rtSub raises
// E_INVALIDARG "Unsupported RestrictionType".
ComPtr<IVoMAPIRestriction> VoCreateMAPIRestriction(TVoMAPITableBase* Table, TVoMAPIRestrictionType Type);

}  // namespace orba
