// Helpers of COM-style method bodies: the guard that turns what a body throws into the
// method's HRESULT, so that no exception leaves an interface method, and out-strings in
// task memory.
#pragma once

#include <cstring>
#include <new>
#include <string_view>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"

namespace orba {

// An EVoException gives its code when that is a failure, else fallback; running out of
// memory gives E_OUTOFMEMORY; anything else E_UNEXPECTED.
template <class F>
HRESULT VoGuardHResult(HRESULT fallback, F&& body) {
  try {
    return body();
  } catch (const EVoException& e) {
    return FAILED(e.Code()) ? e.Code() : fallback;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// A copy of text in task memory (freed with CoTaskMemFree), as STATSTG names are; raises
// std::bad_alloc when memory runs out.
inline LPOLESTR VoTaskMemString(std::u16string_view text) {
  size_t bytes = (text.size() + 1) * sizeof(OLECHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) throw std::bad_alloc();
  std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
  copy[text.size()] = 0;
  return copy;
}

}  // namespace orba
