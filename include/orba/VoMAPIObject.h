// TVoMAPIObject: the base of every library object of the property model. It knows the
// object that created it (its parent) and refuses work once a watched parent is gone.
#pragma once

#include <string_view>

#include "orba/VoMAPIPropOwner.h"
#include "orba/common/autoobject.h"

namespace orba {

class TVoMAPIObject : public TVoAutoIntfObject, public TVoMAPIValueOwner {
 public:
  // Parent (may be null) is the object that created this one; the object watches it.
  // KeepAlive is the creator link's rule (kaKeepCreatorAlive keeps the parent alive,
  // which must then already be counted).
  explicit TVoMAPIObject(TVoMAPIValueOwner* Parent = nullptr, TVoKeepAlive KeepAlive = kaNone);

  // Raises E_FAIL "Failed to execute %s.%s!\r\nThe parentobject of this instance has
  // been destroyed!" when the object watches a parent that has been destroyed.
  void CheckActive(std::u16string_view MethodName) override;
  // The error group of the exceptions the object raises: "MAPI".
  virtual WideString GetErrorGroup();
  // Makes the object work with 8-bit strings; objects without strings ignore it.
  virtual void DisableUnicode() {}

  // TVoMAPIValueOwner.
  TVoAutoIntfObject* GetOwnerObject() override { return this; }
  TVoMAPIValueOwner* GetParentOwner() override;
  TVoMAPIPropOwner* GetPropOwner() override { return nullptr; }

 protected:
  // Whether the object was created with a parent to watch.
  bool HasParent() const { return hasParent_; }

 private:
  bool hasParent_;
};

}  // namespace orba
