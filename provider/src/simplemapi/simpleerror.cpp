// Simple MAPI's failures: see simpleerror.h.
#include "simplemapi/simpleerror.h"

#include <new>

#include "base/maperror.h"

namespace orba::store {

void SimpleCheck(bool condition, ULONG code, const char* text) {
  if (!condition) throw TSimpleMapiError(code, text);
}

ULONG SimpleResultFromException() noexcept {
  try {
    throw;
  } catch (const TSimpleMapiError& e) {
    return e.Code();
  } catch (const TMapiError& e) {
    switch (e.Code()) {
      case MAPI_E_NOT_ENOUGH_MEMORY: return simplemapi::MAPI_E_INSUFFICIENT_MEMORY;
      case MAPI_E_NO_ACCESS: return simplemapi::MAPI_E_ACCESS_DENIED;
      case MAPI_E_END_OF_SESSION: return simplemapi::MAPI_E_INVALID_SESSION;
      default: return simplemapi::MAPI_E_FAILURE;
    }
  } catch (const std::bad_alloc&) {
    return simplemapi::MAPI_E_INSUFFICIENT_MEMORY;
  } catch (...) {
    return simplemapi::MAPI_E_FAILURE;
  }
}

}  // namespace orba::store
