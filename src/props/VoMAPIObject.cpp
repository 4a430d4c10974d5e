#include "orba/VoMAPIObject.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {

TVoMAPIObject::TVoMAPIObject(TVoMAPIValueOwner* Parent, TVoKeepAlive KeepAlive)
    : TVoAutoIntfObject(Parent ? Parent->GetOwnerObject() : nullptr, KeepAlive), hasParent_(Parent != nullptr) {}

void TVoMAPIObject::CheckActive(std::u16string_view MethodName) {
  // The creator link clears when the creator is destroyed.
  if (hasParent_ && !Creator())
    kit::Raise(E_FAIL, u"Failed to execute %s.%s!\r\nThe parentobject of this instance has been destroyed!",
               {ClassName(), MethodName});
}

WideString TVoMAPIObject::GetErrorGroup() { return WideString(MAPIErrorGroup); }

TVoMAPIValueOwner* TVoMAPIObject::GetParentOwner() { return dynamic_cast<TVoMAPIValueOwner*>(Creator()); }

}  // namespace orba
