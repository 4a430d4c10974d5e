// The boundary of Orba Store's interface methods, and the last failure an object
// describes through GetLastError.
//
// Every interface method runs its body under Guarded: the body throws TMapiError (or
// returns a result), and Guarded answers the code; nothing thrown ever leaves the method.
// An object with GetLastError keeps its failures in a TLastError: Guarded(error, ...)
// stores each thrown failure with its text, prefixed with the method's name when one is
// given, and a failure a body returns is kept as "<method> failed" unless the body kept
// a text of its own for it (Set).
#pragma once

#include <mutex>
#include <string>

#include "base/maperror.h"
#include "mapi/mapidefs.h"

namespace orba::store {

class TLastError {
 public:
  // component: what MAPIERROR's lpszComponent names.
  explicit TLastError(std::string component = "Orba Store") : component_(std::move(component)) {}

  // Keeps a failure and its text; returns code.
  HRESULT Set(HRESULT code, const std::string& text);
  // Keeps the failure of the exception being handled (call inside a catch block), its
  // text prefixed with method when given; returns its code.
  HRESULT SetFromException(const char* method) noexcept;
  // GetLastError: a MAPIERROR for the kept failure when hResult is its code (null
  // otherwise, or when it has no text), in the width flags ask for (MAPI_UNICODE only).
  HRESULT Get(HRESULT hResult, ULONG flags, LPMAPIERROR* out) const noexcept;
  HRESULT Code() const;

 private:
  mutable std::mutex lock_;
  HRESULT code_ = S_OK;
  std::string text_;  // UTF-8
  std::string component_;
};

// Runs body (returning HRESULT) at the seam: a thrown failure becomes its code.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ResultFromException();
  }
}

// The same, keeping failures in error for GetLastError (see above); method names the
// interface method in the kept texts (null: the texts as thrown).
template <class Body>
HRESULT Guarded(TLastError& error, const char* method, Body&& body) noexcept {
  try {
    HRESULT hr = body();
    if (method && FAILED(hr) && error.Code() != hr) error.Set(hr, std::string(method) + " failed");
    return hr;
  } catch (...) {
    return error.SetFromException(method);
  }
}

template <class Body>
HRESULT Guarded(TLastError& error, Body&& body) noexcept {
  return Guarded(error, nullptr, std::forward<Body>(body));
}

}  // namespace orba::store
