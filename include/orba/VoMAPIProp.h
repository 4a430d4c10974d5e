// TVoMAPIProp: the base of every library object with MAPI properties (an IMAPIProp):
// loaded values, reading and writing properties, named-property tags, committing,
// opening properties as streams or interfaces, access levels and extended errors.
// Every public operation first runs the wrapper guard with its own name.
#pragma once

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "orba/VoMAPILists.h"
#include "orba/VoMAPIPropItems.h"
#include "orba/VoMAPIWrapper.h"

namespace orba {

// The access level of an opened object.
enum TVoMAPIAccessLevel : int32_t { alReadOnly = 0, alReadWrite = 1, alBestAccess = 2 };

// How SaveChanges leaves the object: open read-only, open read-write, or closed.
enum TVoMAPISaveMethod : int32_t { smKeepOpenReadOnly = 0, smKeepOpenReadWrite = 1, smClose = 2 };

inline constexpr IID IID_IVoMAPIProp = {0x6B0E3C51, 0x2F8A, 0x4D17, {0x9A, 0x44, 0x3E, 0x71, 0xC2, 0x08, 0x5D, 0x9B}};

struct IVoMAPIProp : IUnknown {
  // The loaded values.
  virtual ComPtr<IVoMAPIProperties> Get_Properties() = 0;
  // PR_ENTRYID, PR_RECORD_KEY, PR_SEARCH_KEY and PR_SOURCE_KEY as byte arrays (Null
  // when the object has none). The source key needs an Exchange session: otherwise
  // 0x80040102 "This property is only supported by Exchange!".
  virtual TVoMAPIEntryID Get_EntryID() = 0;
  virtual TVoMAPIEntryID Get_RecordKey() = 0;
  virtual TVoMAPIEntryID Get_SearchKey() = 0;
  virtual void Set_SearchKey(const TVoMAPIEntryID& Value) = 0;
  virtual TVoMAPIEntryID Get_SourceKey() = 0;
  // Loads Count properties in one MAPI call (Count >= 1).
  virtual void GetPropValues(const TVoMAPIPropDef* Defs, int32_t Count) = 0;
  // As GetPropValues; answers the values as an array of variants (Null for properties
  // the object does not have).
  virtual TVoVariant GetPropValueArray(const TVoMAPIPropDef* Defs, int32_t Count) = 0;
  // Writes the pairs of List (a list of this library) to the object.
  virtual void SetPropValues(IVoMAPIPropValueList* List) = 0;
  // Whether the object has the property.
  virtual bool16 HasProp(TVoMAPIPropDef PropDef) = 0;
  // The loaded item of the property, read from MAPI when needed.
  virtual ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef PropDef) = 0;
  // Deletes the property from the object and from the loaded values.
  virtual void DeleteProperty(TVoMAPIPropDef PropDef) = 0;
  // Loads every property the object has; forgets the loaded values.
  virtual void RetrieveAllProperties() = 0;
  virtual void ResetProperties() = 0;
  // Writes the modified loaded values, then commits the object.
  virtual void SaveChanges(TVoMAPISaveMethod SaveMethod) = 0;
  virtual TVoMAPIAccessLevel Get_AccessLevel() = 0;
  // Shows the object's properties in the registered viewer (SetShowPropertiesProc).
  virtual void DisplayProperties() = 0;

 protected:
  ~IVoMAPIProp() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIProp, IUnknown, orba::IID_IVoMAPIProp);

namespace orba {

// A property viewer: shows the properties of Prop. The user-interface add-on registers
// one; without one DisplayProperties raises.
using TVoShowPropertiesProc = std::function<void(IVoMAPIProp* Prop)>;
// Registers the viewer (an empty function removes it).
void SetShowPropertiesProc(TVoShowPropertiesProc Proc);

// Concrete: usable as it is for any IMAPIProp. Subclasses that implement further
// interfaces (TVoComObject<Subclass, IOther...>) still answer IVoMAPIProp and
// IVoMAPIWrapper through QueryBaseInterface.
class TVoMAPIProp : public TVoComObject<TVoMAPIWrapper, IVoMAPIProp>, public TVoMAPIPropOwner {
 public:
  // MAPIProp may be null (an inactive object). Unicode: strings travel as UTF-16.
  TVoMAPIProp(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IMAPIProp> MAPIProp,
              TVoMAPIAccessLevel AccessLevel, bool Unicode = true, TVoKeepAlive KeepAlive = kaNone);

  // IVoMAPIProp.
  ComPtr<IVoMAPIProperties> Get_Properties() override;
  TVoMAPIEntryID Get_EntryID() override;
  TVoMAPIEntryID Get_RecordKey() override;
  TVoMAPIEntryID Get_SearchKey() override;
  void Set_SearchKey(const TVoMAPIEntryID& Value) override;
  TVoMAPIEntryID Get_SourceKey() override;
  void GetPropValues(const TVoMAPIPropDef* Defs, int32_t Count) override;
  TVoVariant GetPropValueArray(const TVoMAPIPropDef* Defs, int32_t Count) override;
  void SetPropValues(IVoMAPIPropValueList* List) override;
  bool16 HasProp(TVoMAPIPropDef PropDef) override;
  ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef PropDef) override;
  void DeleteProperty(TVoMAPIPropDef PropDef) override;
  void RetrieveAllProperties() override;
  void ResetProperties() override;
  void SaveChanges(TVoMAPISaveMethod SaveMethod) override;
  TVoMAPIAccessLevel Get_AccessLevel() override { return accessLevel_; }
  void DisplayProperties() override;

  // Whether the object has the property (with its type when CheckType): loaded without
  // error, or readable from MAPI.
  bool HasProp(const TVoMAPIPropInfo& PropInfo, bool CheckType);
  // The object's property tags.
  std::vector<TVoMAPIPropTag> GetPropList();
  // The registered properties of named-property tags (registered when unknown); null
  // for a tag MAPI has no name for.
  std::vector<const TVoMAPIPropInfo*> GetNamesFromIDs(const std::vector<TVoMAPIPropTag>& Tags);
  // Writes every modified loaded value and clears their modified flags.
  void PersistPendingChanges();
  // Opens a property as a stream (OpenIntfProperty with IID_IStream).
  ComPtr<IStream> OpenBinProperty(const TVoMAPIPropInfo& PropInfo, ULONG Flags, TVoMAPIAccessLevel AccessLevel,
                                  bool Create);
  // Opens a property as the interface InterfaceID; alBestAccess asks for write access
  // first and falls back to read-only when refused.
  ComPtr<IUnknown> OpenIntfProperty(const TVoMAPIPropInfo& PropInfo, const IID& InterfaceID, ULONG InterfaceOptions,
                                    ULONG Flags, TVoMAPIAccessLevel AccessLevel, bool Create);
  ComPtr<IUnknown> OpenIntfProperty(TVoMAPIPropTag Tag, const IID& InterfaceID, ULONG InterfaceOptions, ULONG Flags,
                                    TVoMAPIAccessLevel AccessLevel, bool Create);
  // alReadWrite on an object opened read-only raises 0x80070005 "You don't have
  // readwrite access!".
  void CheckAccessLevel(TVoMAPIAccessLevel Required);
  // Reads the extended error of Code and raises E_FAIL "Component %s caused: %s (%s.%s)".
  [[noreturn]] void CheckLastError(std::u16string_view MethodName, HRESULT Code);

  // IVoMAPIWrapper: the MAPI object's GetLastError (repeated once with the other string
  // width when answered with MAPI_E_BAD_CHARWIDTH); empty without a MAPI object.
  void GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) override;
  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;
  void DisableUnicode() override { unicode_ = false; }

  // TVoMAPIPropOwner. A named property's tag comes from the MAPI object's
  // GetIDsFromNames (cached per object); without a MAPI object it raises 0x80040102
  // "Named Property %s requested, however Named Properties are not supported!".
  TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo, bool Create) override;
  bool GetUnicode() override { return unicode_; }
  IMAPIProp* GetMAPIProp() override { return prop_.get(); }
  void* AllocateBuffer(ULONG Size) override { return TVoMAPIWrapper::AllocateBuffer(Size); }
  TVoMAPIPropOwner* GetPropOwner() override { return this; }

  TVoMAPIPropItems& Items() { return *items_; }
  // Answers IUnknown, IVoMAPIProp and IVoMAPIWrapper.
  HRESULT QueryBaseInterface(REFIID iid, void** out) {
    return TVoComObject<TVoMAPIWrapper, IVoMAPIProp>::QueryInterface(iid, out);  // not virtual
  }

 protected:
  // Reads one property (the fallback after a multi-property read failed with E_FAIL):
  // Value receives a MAPI buffer the caller frees. The base asks GetProps for the tag.
  virtual HRESULT GetSingleProp(TVoMAPIPropTag Tag, LPSPropValue* Value);

 private:
  // The descriptor of a handle in this object's string width.
  const TVoMAPIPropInfo& InfoOf(TVoMAPIPropDef PropDef) const;
  // Loads the properties into the loaded values and returns their items, in order.
  std::vector<TVoMAPIPropItem*> LoadProps(const std::vector<const TVoMAPIPropInfo*>& Infos);
  // Writes Values (tags resolved for this object) with SetProps.
  void WriteProps(std::vector<SPropValue>& Values, std::u16string_view MethodName);
  TVoVariant BinaryProp(TVoMAPIPropDef PropDef, std::u16string_view MethodName);
  ULONG StringFlags() const { return unicode_ ? MAPI_UNICODE : 0; }

  ComPtr<IMAPIProp> prop_;
  TVoMAPIAccessLevel accessLevel_;
  bool unicode_;
  ComPtr<TVoMAPIPropItems> items_;
  // Named properties resolved through GetIDsFromNames, with their identifier.
  std::vector<std::pair<const TVoMAPIPropInfo*, ULONG>> namedIDs_;
};

}  // namespace orba
