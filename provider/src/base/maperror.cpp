// The engines' failures: see maperror.h.
#include "base/maperror.h"

#include <new>

namespace orba::store {

HRESULT ResultFromException() noexcept {
  try {
    throw;
  } catch (const TMapiError& e) {
    return e.Code();
  } catch (const std::bad_alloc&) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

void Check(bool condition, HRESULT code, const char* text) {
  if (!condition) throw TMapiError(code, text);
}

void CheckFlags(ULONG flags, ULONG allowed) {
  Check((flags & ~allowed) == 0, MAPI_E_UNKNOWN_FLAGS, "Unknown flags were given.");
}

void CheckResult(HRESULT hr, const char* text) {
  if (FAILED(hr)) throw TMapiError(hr, text);
}

}  // namespace orba::store
