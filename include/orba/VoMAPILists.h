// The list objects of the public interfaces (unit uVoMAPILists): entry IDs, plain
// values, property handles, property/value pairs, and the address book dialog's
// destination fields. Add on the first four is a set operation: an item equal to one
// in the list is not added again, and Add returns the index of the equal item.
#pragma once

#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIList.h"
#include "orba/VoMAPIPropValue.h"
#include "orba/VoMAPIRecipientType.h"

namespace orba {

inline constexpr IID IID_IVoMAPIEntryIDList = {
    0xEA138285, 0x601C, 0x437F, {0x9F, 0xE2, 0xC9, 0xED, 0xC7, 0x0D, 0xD4, 0xC8}};
inline constexpr IID IID_IVoMAPIValueList = {
    0x28E36D73, 0xE976, 0x418C, {0x82, 0x81, 0x8B, 0xEE, 0xD8, 0xF3, 0x93, 0x38}};
inline constexpr IID IID_IVoMAPIPropList = {
    0x7B591314, 0xF916, 0x4788, {0x91, 0x06, 0x59, 0x5D, 0x31, 0xCD, 0x2C, 0x4A}};
inline constexpr IID IID_IVoMAPIPropValueList = {
    0x3C5EF6AD, 0x47EA, 0x4F0E, {0xB2, 0x41, 0xFB, 0x2D, 0xDA, 0x7A, 0x0A, 0x60}};
inline constexpr IID IID_IVoMAPIABDestFieldList = {
    0xA81848B6, 0xDB17, 0x445B, {0x9D, 0x9B, 0x11, 0x9B, 0xDB, 0x6D, 0x6A, 0xF2}};

// Entry IDs, equal when their bytes are.
struct IVoMAPIEntryIDList : IVoMAPIList {
  virtual int32_t Add(const TVoMAPIEntryID& EntryID) = 0;
  // Removing an entry ID that is not in the list does nothing.
  virtual void Remove(const TVoMAPIEntryID& EntryID) = 0;
  // -1 when absent.
  virtual int32_t IndexOf(const TVoMAPIEntryID& EntryID) = 0;
  virtual TVoMAPIEntryID Get_Item(int32_t Index) = 0;
  // At EOF raises E_FAIL "The list is EOF!".
  virtual TVoMAPIEntryID Get_CurrentRecord() = 0;
  // Replaces OtherList's items with this list's.
  virtual void AssignTo(IVoMAPIEntryIDList* OtherList) = 0;

 protected:
  ~IVoMAPIEntryIDList() = default;
};

// Variants, equal when they hold the same value of one kind (VarSameValue): 7 as a
// 16-bit and as a 32-bit integer is one item; arrays are equal element by element.
struct IVoMAPIValueList : IVoMAPIList {
  virtual int32_t Add(const TVoVariant& Value) = 0;
  virtual void Remove(const TVoVariant& Value) = 0;
  virtual int32_t IndexOf(const TVoVariant& Value) = 0;
  virtual TVoVariant Get_Item(int32_t Index) = 0;
  virtual TVoVariant Get_CurrentRecord() = 0;
  virtual void AssignTo(IVoMAPIValueList* OtherList) = 0;

 protected:
  ~IVoMAPIValueList() = default;
};

// Property handles, equal when they name the same property (of any type).
struct IVoMAPIPropList : IVoMAPIList {
  virtual int32_t Add(TVoMAPIPropDef PropDef) = 0;
  virtual void Remove(TVoMAPIPropDef PropDef) = 0;
  virtual int32_t IndexOf(TVoMAPIPropDef PropDef) = 0;
  virtual TVoMAPIPropDef Get_Item(int32_t Index) = 0;
  virtual TVoMAPIPropDef Get_CurrentRecord() = 0;
  virtual void AssignTo(IVoMAPIPropList* OtherList) = 0;

 protected:
  ~IVoMAPIPropList() = default;
};

// Property/value pairs, equal when they name the same property of the same type.
struct IVoMAPIPropValueList : IVoMAPIList {
  // Adds the property with a Null value.
  virtual int32_t Add(TVoMAPIPropDef PropDef) = 0;
  // Adds the property with Value, or gives the listed property Value.
  virtual int32_t AddValue(TVoMAPIPropDef PropDef, const TVoVariant& Value) = 0;
  virtual void Remove(TVoMAPIPropDef PropDef) = 0;
  virtual int32_t IndexOf(TVoMAPIPropDef PropDef) = 0;
  virtual TVoMAPIPropDef Get_Item(int32_t Index) = 0;
  virtual TVoVariant Get_Value(int32_t Index) = 0;
  virtual void Set_Value(int32_t Index, const TVoVariant& Value) = 0;
  virtual TVoMAPIPropDef Get_CurrentRecord() = 0;
  virtual TVoVariant Get_CurrentValue() = 0;
  virtual void Set_CurrentValue(const TVoVariant& Value) = 0;
  // The handles only.
  virtual void AssignTo(IVoMAPIPropList* PropList) = 0;
  virtual void AssignTo_(IVoMAPIPropValueList* PropValueList) = 0;

 protected:
  ~IVoMAPIPropValueList() = default;
};

// A destination well of the address book dialog.
struct TVoMAPIABDestField {
  WideString DestFieldName;
  TVoMAPIRecipientType DestFieldType = rtTo;
  friend bool operator==(const TVoMAPIABDestField&, const TVoMAPIABDestField&) = default;
};

struct IVoMAPIABDestFieldList : IVoMAPIList {
  virtual int32_t Add(const WideString& DestFieldName, TVoMAPIRecipientType DestFieldType) = 0;
  // Removes the first equal field; nothing when there is none.
  virtual void Remove(const TVoMAPIABDestField& Field) = 0;
  // The first field of that type; -1 when none.
  virtual int32_t IndexOf(TVoMAPIRecipientType DestFieldType) = 0;
  virtual TVoMAPIABDestField Get_Item(int32_t Index) = 0;
  virtual TVoMAPIABDestField Get_CurrentRecord() = 0;
  virtual void AssignTo(IVoMAPIABDestFieldList* OtherList) = 0;

 protected:
  ~IVoMAPIABDestFieldList() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIEntryIDList, orba::IVoMAPIList, orba::IID_IVoMAPIEntryIDList);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIValueList, orba::IVoMAPIList, orba::IID_IVoMAPIValueList);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIPropList, orba::IVoMAPIList, orba::IID_IVoMAPIPropList);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIPropValueList, orba::IVoMAPIList, orba::IID_IVoMAPIPropValueList);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIABDestFieldList, orba::IVoMAPIList, orba::IID_IVoMAPIABDestFieldList);

namespace orba {

class TVoMAPIEntryIDList : public TVoMAPIListOf<TVoMAPIPayloadList<TVoMAPIEntryID>, IVoMAPIEntryIDList> {
 public:
  using TVoMAPIListOf::TVoMAPIListOf;
  int32_t Add(const TVoMAPIEntryID& EntryID) override;
  void Remove(const TVoMAPIEntryID& EntryID) override;
  int32_t IndexOf(const TVoMAPIEntryID& EntryID) override;
  TVoMAPIEntryID Get_Item(int32_t Index) override;
  TVoMAPIEntryID Get_CurrentRecord() override;
  void AssignTo(IVoMAPIEntryIDList* OtherList) override;
  // Adds one entry ID (a byte array) per SBinary.
  void Import(const SBinaryArray& EntryList);
};

class TVoMAPIValueList : public TVoMAPIListOf<TVoMAPIPayloadList<TVoVariant>, IVoMAPIValueList> {
 public:
  using TVoMAPIListOf::TVoMAPIListOf;
  int32_t Add(const TVoVariant& Value) override;
  void Remove(const TVoVariant& Value) override;
  int32_t IndexOf(const TVoVariant& Value) override;
  TVoVariant Get_Item(int32_t Index) override;
  TVoVariant Get_CurrentRecord() override;
  void AssignTo(IVoMAPIValueList* OtherList) override;
};

class TVoMAPIPropList : public TVoMAPIListOf<TVoMAPIPayloadList<const TVoMAPIPropInfo*>, IVoMAPIPropList> {
 public:
  using TVoMAPIListOf::TVoMAPIListOf;
  int32_t Add(TVoMAPIPropDef PropDef) override;
  void Remove(TVoMAPIPropDef PropDef) override;
  int32_t IndexOf(TVoMAPIPropDef PropDef) override;
  TVoMAPIPropDef Get_Item(int32_t Index) override;
  TVoMAPIPropDef Get_CurrentRecord() override;
  void AssignTo(IVoMAPIPropList* OtherList) override;
  // A property tag array in Prop's MAPI memory (the caller frees it): the count, then
  // each item's tag for Prop (in Prop's string width, named properties created when
  // missing), in list order.
  LPSPropTagArray CreatePropTagArray(TVoMAPIPropOwner& Prop);
};

class TVoMAPIPropValueList
    : public TVoMAPIListOf<TVoMAPIPayloadList<std::unique_ptr<TVoMAPIPropValue>>, IVoMAPIPropValueList> {
 public:
  using TVoMAPIListOf::TVoMAPIListOf;
  int32_t Add(TVoMAPIPropDef PropDef) override;
  int32_t AddValue(TVoMAPIPropDef PropDef, const TVoVariant& Value) override;
  void Remove(TVoMAPIPropDef PropDef) override;
  int32_t IndexOf(TVoMAPIPropDef PropDef) override;
  TVoMAPIPropDef Get_Item(int32_t Index) override;
  TVoVariant Get_Value(int32_t Index) override;
  void Set_Value(int32_t Index, const TVoVariant& Value) override;
  TVoMAPIPropDef Get_CurrentRecord() override;
  TVoVariant Get_CurrentValue() override;
  void Set_CurrentValue(const TVoVariant& Value) override;
  void AssignTo(IVoMAPIPropList* PropList) override;
  void AssignTo_(IVoMAPIPropValueList* PropValueList) override;
  // The pair at Index, for writing it to MAPI.
  TVoMAPIPropValue& PropValue(int32_t Index) { return *At(Index); }
  // Replaces the list with Count values MAPI returned (unknown tags are registered).
  void Import(ULONG Count, const SPropValue* Values);
};

class TVoMAPIABDestFieldList : public TVoMAPIListOf<TVoMAPIPayloadList<TVoMAPIABDestField>, IVoMAPIABDestFieldList> {
 public:
  using TVoMAPIListOf::TVoMAPIListOf;
  int32_t Add(const WideString& DestFieldName, TVoMAPIRecipientType DestFieldType) override;
  void Remove(const TVoMAPIABDestField& Field) override;
  int32_t IndexOf(TVoMAPIRecipientType DestFieldType) override;
  TVoMAPIABDestField Get_Item(int32_t Index) override;
  TVoMAPIABDestField Get_CurrentRecord() override;
  void AssignTo(IVoMAPIABDestFieldList* OtherList) override;
};

}  // namespace orba
