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

}  // namespace orba::store
