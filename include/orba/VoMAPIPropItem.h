// TVoMAPIPropItem: one loaded (or assigned) property of an object, exposed to callers
// as IVoMAPIProperty with typed views of its value.
#pragma once

#include <string_view>

#include "orba/VoMAPIPropValue.h"
#include "orba/common/autoobject.h"
#include "orba/common/comobject.h"

namespace orba {

inline constexpr IID IID_IVoMAPIProperty = {
    0x058E11DD, 0xE489, 0x4B90, {0x89, 0x29, 0xE2, 0xBD, 0x82, 0xB7, 0xBD, 0xE9}};

// One property of an object. Setters first check that the owning object is active
// (naming the setter); every call fails once the owning object is destroyed.
struct IVoMAPIProperty : IUnknown {
  // The tag as resolved for the owning object.
  virtual TVoMAPIPropTag Get_PropTag() = 0;
  // The property type of the registered property.
  virtual uint32_t Get_DataType() = 0;
  virtual TVoMAPIPropDef Get_PropDef() = 0;
  virtual WideString Get_PropName() = 0;
  // Writing stores a copy, clears the error flag and sets Modified.
  virtual TVoVariant Get_Value() = 0;
  virtual void Set_Value(const TVoVariant& Value) = 0;
  // Typed views of Value; empty values read as 0, false, 0.0 and "".
  virtual int32_t Get_AsInteger() = 0;
  virtual void Set_AsInteger(int32_t Value) = 0;
  virtual int64_t Get_AsLargeInteger() = 0;
  virtual void Set_AsLargeInteger(int64_t Value) = 0;
  // Binaries as hexadecimal entry ID text. A text MAPI could not return in full (the
  // error flag on a PT_STRING8/PT_UNICODE property) is read through a stream.
  virtual WideString Get_AsString() = 0;
  virtual void Set_AsString(const WideString& Value) = 0;
  // The exact FILETIME of a PT_SYSTIME value (loaded, or set as a system time), else
  // the date converted (no zone change).
  virtual FILETIME Get_AsSystemTime() = 0;
  // Stored as a date, with the FILETIME itself kept for MAPI (to 100 ns).
  virtual void Set_AsSystemTime(const FILETIME& Value) = 0;
  virtual bool16 Get_AsBoolean() = 0;
  virtual void Set_AsBoolean(bool16 Value) = 0;
  virtual TDateTime Get_AsDateTime() = 0;
  virtual void Set_AsDateTime(TDateTime Value) = 0;
  virtual double Get_AsFloat() = 0;
  virtual void Set_AsFloat(double Value) = 0;
  // The value's GUID text read as a GUID; stored as text.
  virtual GUID Get_AsGUID() = 0;
  virtual void Set_AsGUID(const GUID& Value) = 0;
  // The value as an array of variants: an array's elements, a text split as a
  // multi-valued text is, none for Null; stored as an array.
  virtual TVoVariant Get_AsList() = 0;
  virtual void Set_AsList(const TVoVariant& Value) = 0;
  // Whether the value was assigned since it was loaded or saved.
  virtual bool16 Get_Modified() = 0;

 protected:
  ~IVoMAPIProperty() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIProperty, IUnknown, orba::IID_IVoMAPIProperty);

namespace orba {

class TVoMAPIPropItem : public TVoComObject<TVoAutoIntfObject, IVoMAPIProperty> {
 public:
  // Owner (not null) is the object the property belongs to; the item is its creator's
  // child and notices its destruction.
  TVoMAPIPropItem(TVoMAPIValueOwner* Owner, const TVoMAPIPropInfo* PropInfo);

  TVoMAPIPropTag Get_PropTag() override;
  uint32_t Get_DataType() override;
  TVoMAPIPropDef Get_PropDef() override;
  WideString Get_PropName() override;
  TVoVariant Get_Value() override;
  void Set_Value(const TVoVariant& Value) override;
  int32_t Get_AsInteger() override;
  void Set_AsInteger(int32_t Value) override;
  int64_t Get_AsLargeInteger() override;
  void Set_AsLargeInteger(int64_t Value) override;
  WideString Get_AsString() override;
  void Set_AsString(const WideString& Value) override;
  FILETIME Get_AsSystemTime() override;
  void Set_AsSystemTime(const FILETIME& Value) override;
  bool16 Get_AsBoolean() override;
  void Set_AsBoolean(bool16 Value) override;
  TDateTime Get_AsDateTime() override;
  void Set_AsDateTime(TDateTime Value) override;
  double Get_AsFloat() override;
  void Set_AsFloat(double Value) override;
  GUID Get_AsGUID() override;
  void Set_AsGUID(const GUID& Value) override;
  TVoVariant Get_AsList() override;
  void Set_AsList(const TVoVariant& Value) override;
  bool16 Get_Modified() override;

  const TVoMAPIPropInfo& PropInfo() const { return value_.PropInfo(); }
  TVoMAPIPropValue& PropValue() { return value_; }
  // Set when MAPI returned the property as PT_ERROR; the value is then the error code.
  bool IsError() const { return error_; }
  void SetModified(bool Value) { modified_ = Value; }
  // Loads a value MAPI returned and clears Modified; PT_ERROR sets the error flag.
  void LoadMAPIValue(const SPropValue& Value);
  // The tag when known without asking the store: loaded or resolved, or a standard
  // property's own; 0 otherwise.
  TVoMAPIPropTag KnownTag() const;

 private:
  // Raises the parent-destroyed error when the owning object is gone.
  void CheckOwner(std::u16string_view MethodName) const;
  // The setters' common path: the checks, then store() assigns the value.
  void Assign(std::u16string_view MethodName, TVoVariant Value);
  template <class Store>
  void Assign(std::u16string_view MethodName, Store&& store);
  // The whole text of an over-long string property, read through a stream.
  WideString ReadTextStream();

  TVoMAPIPropValue value_;
  bool error_ = false;
  bool modified_ = false;
};

}  // namespace orba
