// The engines' failures: TMapiError carries the MAPI result code to answer with.
// Engines throw it (through Check and CheckFlags for argument checks); at an interface
// boundary Guarded (lasterror.h) turns whatever was thrown into that code, so that no
// C++ exception ever crosses the seam.
#pragma once

#include <stdexcept>
#include <string>

#include "mapi/mapicode.h"
#include "mapi/mapidefs.h"

namespace orba::store {

class TMapiError : public std::runtime_error {
 public:
  TMapiError(HRESULT code, const std::string& text) : std::runtime_error(text), code_(code) {}
  explicit TMapiError(HRESULT code) : TMapiError(code, std::string()) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// Call inside a catch block: TMapiError -> its code, std::bad_alloc ->
// MAPI_E_NOT_ENOUGH_MEMORY, anything else -> MAPI_E_CALL_FAILED.
HRESULT ResultFromException() noexcept;

// TMapiError(code, text) unless condition holds.
void Check(bool condition, HRESULT code, const char* text);
// TMapiError(MAPI_E_UNKNOWN_FLAGS) when flags has bits outside allowed.
void CheckFlags(ULONG flags, ULONG allowed);
// TMapiError(hr, text) when hr, the result of a call through a MAPI interface, is a failure.
void CheckResult(HRESULT hr, const char* text);

}  // namespace orba::store
