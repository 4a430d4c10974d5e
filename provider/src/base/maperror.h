// The engines' failures: TMapiError carries the MAPI result code to answer with, and
// ResultFromException maps whatever an engine threw to that code at an interface
// boundary (no C++ exception ever crosses the seam).
#pragma once

#include <stdexcept>
#include <string>

#include "mapi/mapicode.h"

namespace orba::store {

class TMapiError : public std::runtime_error {
 public:
  TMapiError(HRESULT code, const std::string& text) : std::runtime_error(text), code_(code) {}
  explicit TMapiError(HRESULT code) : TMapiError(code, std::string()) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// Call inside a catch block: TMapiError → its code, std::bad_alloc →
// MAPI_E_NOT_ENOUGH_MEMORY, anything else → MAPI_E_CALL_FAILED.
HRESULT ResultFromException() noexcept;

// Runs body (returning HRESULT) and maps any exception it throws.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ResultFromException();
  }
}

}  // namespace orba::store
