// Simple MAPI's failures: its own small result codes (simplemapi::MAPI_E_...), not
// HRESULTs. The Simple MAPI code throws TSimpleMapiError where it decides a code itself;
// failures of the MAPI objects underneath arrive as TMapiError and are translated at the
// export boundary (SimpleGuarded), so that nothing thrown ever crosses it.
#pragma once

#include <stdexcept>

#include "mapi/simplemapi.h"

namespace orba::store {

class TSimpleMapiError : public std::runtime_error {
 public:
  TSimpleMapiError(ULONG code, const char* text) : std::runtime_error(text), code_(code) {}
  ULONG Code() const { return code_; }

 private:
  ULONG code_;
};

// TSimpleMapiError(code, text) unless condition holds.
void SimpleCheck(bool condition, ULONG code, const char* text);

// Call inside a catch block: the Simple MAPI code of what was thrown. TMapiError codes
// map to their Simple MAPI kin (memory, access, an ended session); anything else is
// MAPI_E_FAILURE.
ULONG SimpleResultFromException() noexcept;

// Runs body (returning a Simple MAPI code) at the seam.
template <class Body>
ULONG SimpleGuarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return SimpleResultFromException();
  }
}

}  // namespace orba::store
