// IVoMAPIWrapper: the interface every library object that wraps a MAPI object
// implements: its class name, its extended error and its error group (for the error
// model) and the MAPI object it wraps.
#pragma once

#include "orba/VoMAPIExceptions.h"
#include "orba/common/com.h"
#include "orba/common/comobject.h"
#include "orba/common/types.h"

namespace orba {

inline constexpr IID IID_IVoMAPIWrapper = {
    0x1A650EF2, 0x879C, 0x410F, {0x92, 0xE8, 0xB6, 0x0B, 0x43, 0xEC, 0x23, 0x63}};

struct IVoMAPIWrapper : IUnknown {
  // The name of the implementing class, e.g. u"TVoMAPIMessage".
  virtual WideString GetClassName() = 0;
  // The extended error the wrapped MAPI object holds for Code; an empty record when
  // it has none.
  virtual void GetExtendedErrorInfo(HRESULT Code, TVoMAPIError& Error) = 0;
  // The error group of the exceptions the object raises (MAPIErrorGroup).
  virtual WideString GetErrorGroup() = 0;
  // The wrapped MAPI object (not counted for the caller); null when the object is not
  // active.
  virtual IUnknown* GetMAPIObject() = 0;

 protected:
  ~IVoMAPIWrapper() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIWrapper, IUnknown, orba::IID_IVoMAPIWrapper);
