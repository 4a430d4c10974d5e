// What property values, property items and lists need of the library objects they
// belong to. The object wrappers implement these: every library object that can own
// values (TVoMAPIObject and so the lists) implements TVoMAPIValueOwner, and the objects
// with MAPI properties (TVoMAPIProp) also TVoMAPIPropOwner.
#pragma once

#include <string_view>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIProps.h"
#include "orba/common/autoobject.h"
#include "orba/common/comptr.h"

namespace orba {

struct IVoMAPIProperty;
class TVoMAPIPropOwner;

class TVoMAPIValueOwner {
 public:
  // The automation object itself (creator of items, source of the class name).
  virtual TVoAutoIntfObject* GetOwnerObject() = 0;
  // Raises the activity check's error, naming MethodName, when the object may not be
  // used now (session gone, parent destroyed ...).
  virtual void CheckActive(std::u16string_view MethodName) = 0;
  // The object this one belongs to; null at the top.
  virtual TVoMAPIValueOwner* GetParentOwner() = 0;
  // The property-bearing side of this object; null for objects without MAPI properties.
  virtual TVoMAPIPropOwner* GetPropOwner() = 0;

 protected:
  virtual ~TVoMAPIValueOwner() = default;
};

class TVoMAPIPropOwner {
 public:
  // The tag of PropInfo for this object: standard properties directly, named ones
  // mapped through the store (created there when Create).
  virtual TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo, bool Create) = 0;
  // Whether the object asks MAPI for strings as UTF-16 (MAPI_UNICODE).
  virtual bool GetUnicode() = 0;
  // The wrapped MAPI object; null when the object is not active.
  virtual IMAPIProp* GetMAPIProp() = 0;
  // The loaded item of a property, loading it from MAPI when needed.
  virtual ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef PropDef) = 0;
  // MAPI memory for structures handed to MAPI or to the caller, who frees it.
  virtual void* AllocateBuffer(ULONG Size) = 0;

 protected:
  virtual ~TVoMAPIPropOwner() = default;
};

// The nearest property-bearing object from Owner upward (Owner itself or a parent).
TVoMAPIPropOwner* VoFindPropOwner(TVoMAPIValueOwner* Owner);

}  // namespace orba
