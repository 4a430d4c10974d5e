// The last failure of an object, for its GetLastError method, and the argument checks
// and string arguments shared by the profile and session objects.
#pragma once

#include <mutex>
#include <string>

#include "mapi/mapidefs.h"

namespace orba::store {

class TLastError {
 public:
  // Runs body (returning HRESULT); a thrown failure becomes the result and is kept,
  // with its text, for GetLastError.
  template <class Body>
  HRESULT Run(Body&& body) noexcept;
  // IMAPIProp-style GetLastError: a MAPIERROR for the kept failure when hResult is it,
  // else null; flags may hold MAPI_UNICODE only.
  HRESULT Get(HRESULT hResult, ULONG flags, LPMAPIERROR* out) noexcept;
  void Set(HRESULT code, const std::string& text);

 private:
  std::mutex lock_;
  HRESULT code_ = S_OK;
  std::string text_;
};

// TMapiError(code, text) unless condition holds.
void Check(bool condition, HRESULT code, const char* text);
// MAPI_E_UNKNOWN_FLAGS when flags has bits outside allowed.
void CheckFlags(ULONG flags, ULONG allowed);
// A string argument as UTF-8: UTF-16 when flags has MAPI_UNICODE, else 8-bit text in
// the system code page; null gives an empty string.
std::string ArgText(const void* text, ULONG flags);

}  // namespace orba::store

#include "base/maperror.h"

template <class Body>
HRESULT orba::store::TLastError::Run(Body&& body) noexcept {
  try {
    return body();
  } catch (const TMapiError& e) {
    Set(e.Code(), e.what());
    return e.Code();
  } catch (...) {
    HRESULT code = ResultFromException();
    Set(code, code == MAPI_E_NOT_ENOUGH_MEMORY ? "Not enough memory." : "The call failed.");
    return code;
  }
}
