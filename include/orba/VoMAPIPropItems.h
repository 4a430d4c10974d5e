// TVoMAPIPropItems: the loaded properties of one object, in load order, exposed to
// callers as IVoMAPIProperties.
#pragma once

#include <vector>

#include "orba/VoMAPIPropItem.h"

namespace orba {

inline constexpr IID IID_IVoMAPIProperties = {
    0xF6CC4865, 0xE74C, 0x42ED, {0xA3, 0xF5, 0xDD, 0x2A, 0x63, 0x93, 0xC0, 0xF9}};

struct IVoMAPIProperties : IUnknown {
  virtual int32_t Get_Count() = 0;
  // Index 0..Count-1; others raise "List index out of bounds (%d)".
  virtual ComPtr<IVoMAPIProperty> Get_Item(int32_t Index) = 0;
  // The item of the property (in the owner's string width), added with a Null value
  // when it is not in the list.
  virtual ComPtr<IVoMAPIProperty> Add(TVoMAPIPropDef PropDef) = 0;
  // The loaded item, read from MAPI through the owning object when needed.
  virtual ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef PropDef) = 0;
  // Whether the property is loaded without error (any string width).
  virtual bool16 HasProp(TVoMAPIPropDef PropDef) = 0;
  virtual void Delete(int32_t Index) = 0;
  virtual void Clear() = 0;

 protected:
  ~IVoMAPIProperties() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIProperties, IUnknown, orba::IID_IVoMAPIProperties);

namespace orba {

class TVoMAPIPropItems : public TVoComObject<TVoAutoIntfObject, IVoMAPIProperties> {
 public:
  // Owner (not null) owns the list and its items.
  explicit TVoMAPIPropItems(TVoMAPIValueOwner* Owner);

  int32_t Get_Count() override;
  ComPtr<IVoMAPIProperty> Get_Item(int32_t Index) override;
  ComPtr<IVoMAPIProperty> Add(TVoMAPIPropDef PropDef) override;
  ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef PropDef) override;
  bool16 HasProp(TVoMAPIPropDef PropDef) override;
  void Delete(int32_t Index) override;
  void Clear() override;

  // Removes every item of the property, whatever its type.
  void DeleteProperty(const TVoMAPIPropInfo& PropInfo);
  // The item of the property (with its type when CheckType), or null.
  TVoMAPIPropItem* FindPropByDef(const TVoMAPIPropInfo& PropInfo, bool CheckType);
  // The item whose known tag is Tag, or null.
  TVoMAPIPropItem* FindPropByTag(TVoMAPIPropTag Tag);
  // The item of a standard property's tag, added (registering unknown tags) when
  // missing. Named tags (identifier 0x8000 and up) raise E_INVALIDARG "The PropByTag
  // does not support named properties!".
  TVoMAPIPropItem* PropByTag(TVoMAPIPropTag Tag, bool CheckType);
  // The item of a named property's tag and name, added when missing.
  TVoMAPIPropItem* PropByTag(TVoMAPIPropTag Tag, const MAPINAMEID& NameID);
  // The item of a registered property, added when missing.
  TVoMAPIPropItem& ItemOf(const TVoMAPIPropInfo& PropInfo);
  // Every item, in order.
  const std::vector<ComPtr<TVoMAPIPropItem>>& Items() const { return items_; }

 private:
  TVoMAPIValueOwner* OwnerChecked(std::u16string_view MethodName) const;
  bool Unicode() const;

  TVoMAPIValueOwner* owner_;
  std::vector<ComPtr<TVoMAPIPropItem>> items_;
};

}  // namespace orba
