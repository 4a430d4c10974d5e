// The container (unit uVoMAPIContainer): TVoMAPIContainer wraps any MAPI container (a
// message store folder, an address book container or a distribution list) and hands
// out its hierarchy and contents tables (orba/VoMAPITable.h) and its container class.
// Folders (orba/VoMAPIFolder.h) derive from it.
#pragma once

#include <string_view>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIInterfaces.h"
#include "orba/VoMAPIProp.h"
#include "orba/VoMAPITable.h"

namespace orba {

inline constexpr IID IID_IVoMAPIContainer = {
    0xB49121E4, 0x88F8, 0x4BB7, {0xA5, 0x6C, 0xCD, 0xF8, 0x30, 0x30, 0xD9, 0x11}};

struct IVoMAPIContainer : IUnknown {
  // The subfolders (Flags true: the whole subtree, CONVENIENT_DEPTH, each row with its
  // PR_DEPTH) and the contents. Tables come in the container's string width; a MAPI
  // that answers MAPI_E_BAD_CHARWIDTH is asked once more in the other width. A
  // container that has no such table answers null.
  virtual ComPtr<IVoMAPITable> GetHierarchyTable(bool16 Flags) = 0;
  virtual ComPtr<IVoMAPITable> GetContentsTable() = 0;
  virtual TVoMAPIContainerType Get_ContainerType() = 0;
  // PR_CONTAINER_CLASS ("" when the container has none). Setting it assigns the value;
  // SaveChanges writes it.
  virtual WideString Get_ContainerClass() = 0;
  virtual void Set_ContainerClass(const WideString& Value) = 0;

 protected:
  ~IVoMAPIContainer() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIContainer, IUnknown, orba::IID_IVoMAPIContainer);

namespace orba {

class TVoMAPIContainer : public TVoComObject<TVoMAPIProp, IVoMAPIContainer> {
 public:
  // Parent (may be null) opened the container and is kept alive by it. Container may
  // be null (an inactive container).
  TVoMAPIContainer(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IMAPIContainer> Container,
                   TVoMAPIContainerType ContainerType, TVoMAPIAccessLevel AccessLevel);

  // IVoMAPIContainer.
  ComPtr<IVoMAPITable> GetHierarchyTable(bool16 Flags) override;
  ComPtr<IVoMAPITable> GetContentsTable() override;
  TVoMAPIContainerType Get_ContainerType() override { return containerType_; }
  WideString Get_ContainerClass() override;
  void Set_ContainerClass(const WideString& Value) override;

  // The folder-associated contents (MAPI_ASSOCIATED).
  ComPtr<IVoMAPITable> GetAssociatedContentsTable();
  // Opens an entry of the container (IMAPIContainer::OpenEntry) with MAPI's Flags;
  // ObjectType receives MAPI's object type. A container type without entries raises
  // MAPI_E_NO_SUPPORT "OpenEntry is not supported for this containertype".
  ComPtr<IUnknown> OpenEntry(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags, ULONG& ObjectType);

  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;
  IMAPIContainer* MAPIContainer() const { return container_.get(); }

 private:
  // A table of the container (the hierarchy table, or the contents table with Flags)
  // wrapped for the caller; null when the container has none.
  ComPtr<IVoMAPITable> OpenTable(bool Hierarchy, ULONG Flags, std::u16string_view MethodName);

  ComPtr<IMAPIContainer> container_;
  TVoMAPIContainerType containerType_;
};

}  // namespace orba
