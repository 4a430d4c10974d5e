// TVoMAPIContainer: the tables and the container class of any MAPI container.
#include "orba/VoMAPIContainer.h"

#include "kit/VoMAPIKit.h"

namespace orba {

TVoMAPIContainer::TVoMAPIContainer(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session,
                                   ComPtr<IMAPIContainer> Container, TVoMAPIContainerType ContainerType,
                                   TVoMAPIAccessLevel AccessLevel)
    : TVoComObject(Parent, Session, ComPtr<IMAPIProp>(Container.get()), AccessLevel, true,
                   Parent ? kaKeepCreatorAlive : kaNone),
      container_(std::move(Container)),
      containerType_(ContainerType) {}

void TVoMAPIContainer::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  ComPtr<IMAPIContainer> container =
      kit::MAPIObjectAs<IMAPIContainer>(MAPIObject, IID_IMAPIContainer, u"IMAPIContainer", ClassName());
  TVoMAPIProp::SetMAPIOBJECT(std::move(MAPIObject));
  container_ = std::move(container);
}

// Tables ------------------------------------------------------------------------------------

ComPtr<IVoMAPITable> TVoMAPIContainer::OpenTable(bool Hierarchy, ULONG Flags, std::u16string_view MethodName) {
  CheckActive(MethodName);
  ComPtr<IMAPITable> table;
  bool unicode = GetUnicode();
  HRESULT hr;
  if (containerType_ == ctFolder || containerType_ == ctABContainer) {
    hr = kit::CallWithCharWidth(unicode, [&](bool wide) {
      const ULONG flags = Flags | (wide ? MAPI_UNICODE : 0);
      return Hierarchy ? container_->GetHierarchyTable(flags, table.Out())
                       : container_->GetContentsTable(flags, table.Out());
    });
    if (containerType_ == ctABContainer && hr == MAPI_E_UNKNOWN_ENTRYID)
      kit::Raise(hr,
                 u"%s.%s has raised the following exception:\r\n%s (%d)\r\nThis exception can be raised if you are "
                 u"trying to open an Outlook contacts folder that has not been marked as an Addressbook folder!",
                 {ClassName(), MethodName, u"EMAPI_UNKNOWN_ENTRYID", hr});
  } else {
    // Other containers (distribution lists) hand their tables out as properties.
    const ULONG tag = orba::GetPropTag(Hierarchy ? PR_CONTAINER_HIERARCHY : PR_CONTAINER_CONTENTS);
    hr = container_->OpenProperty(tag, &IID_IMAPITable, Flags, 0, reinterpret_cast<LPUNKNOWN*>(table.Out()));
  }
  if (hr == MAPI_E_NO_SUPPORT || hr == MAPI_E_NOT_FOUND) return nullptr;
  CheckMAPIResult(this, MethodName, hr);
  auto result = MakeComObject<TVoMAPITable>(this, Session(), std::move(table), kaKeepCreatorAlive);
  if (!unicode) result->DisableUnicode();
  return result;
}

ComPtr<IVoMAPITable> TVoMAPIContainer::GetHierarchyTable(bool16 Flags) {
  return OpenTable(true, Flags ? CONVENIENT_DEPTH : 0, u"GetHierarchyTable");
}

ComPtr<IVoMAPITable> TVoMAPIContainer::GetContentsTable() { return OpenTable(false, 0, u"GetContentsTable"); }

ComPtr<IVoMAPITable> TVoMAPIContainer::GetAssociatedContentsTable() {
  return OpenTable(false, MAPI_ASSOCIATED, u"GetAssociatedContentsTable");
}

// Container class and entries ---------------------------------------------------------------

WideString TVoMAPIContainer::Get_ContainerClass() {
  CheckActive(u"Get_ContainerClass");
  return HasProp(PR_CONTAINER_CLASS) ? PropByName(PR_CONTAINER_CLASS)->Get_AsString() : WideString();
}

void TVoMAPIContainer::Set_ContainerClass(const WideString& Value) {
  CheckActive(u"Set_ContainerClass");
  Items().ItemOf(*GetPropInfo(PR_CONTAINER_CLASS, GetUnicode())).Set_AsString(Value);
}

ComPtr<IUnknown> TVoMAPIContainer::OpenEntry(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                             ULONG& ObjectType) {
  CheckActive(u"OpenEntry");
  if (containerType_ != ctFolder && containerType_ != ctABContainer)
    kit::Raise(MAPI_E_NO_SUPPORT, u"OpenEntry is not supported for this containertype");
  kit::TEntryIDArg id(kit::EntryIDBytes(EntryID, this, u"OpenEntry"));
  ComPtr<IUnknown> object;
  ObjectType = 0;
  CheckMAPIResult(this, u"OpenEntry",
                  container_->OpenEntry(id.Size(), id.get(), InterfaceID, Flags, &ObjectType, object.Out()));
  return object;
}

}  // namespace orba
