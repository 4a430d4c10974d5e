// The boundary and the last failure: see lasterror.h.
#include "base/lasterror.h"

#include <cstring>
#include <new>

#include "memory/mapimemory.h"
#include "orba/common/encoding.h"
#include "orba/common/utf8.h"

namespace orba::store {
namespace {

LPTSTR ErrorText(const std::string& utf8, bool unicode, void* parent) {
  WideString wide = FromUtf8(utf8);
  if (!unicode) {
    AnsiString text = TVoEncoding::ConvertA(wide);
    auto* out = AllocateMoreOf<char>(text.size() + 1, parent);
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
  }
  auto* out = AllocateMoreOf<WCHAR>(wide.size() + 1, parent);
  std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return reinterpret_cast<LPTSTR>(out);
}

}  // namespace

HRESULT TLastError::Set(HRESULT code, const std::string& text) {
  std::lock_guard guard(lock_);
  code_ = code;
  text_ = text;
  return code;
}

HRESULT TLastError::SetFromException(const char* method) noexcept {
  HRESULT code = ResultFromException();
  try {
    std::string name = method ? method : "";
    std::string text;
    try {
      throw;
    } catch (const TMapiError& e) {
      // Engine texts may name their method already.
      text = e.what();
      if (method && text.empty())
        text = name + " failed";
      else if (method && text.rfind(name, 0) != 0)
        text = name + ": " + text;
    } catch (const std::bad_alloc&) {
      text = method ? name + ": out of memory" : "Not enough memory.";
    } catch (...) {
      text = method ? name + " failed" : "The call failed.";
    }
    Set(code, text);
  } catch (...) {
    // No memory for the text: the code is still the answer.
  }
  return code;
}

HRESULT TLastError::Code() const {
  std::lock_guard guard(lock_);
  return code_;
}

HRESULT TLastError::Get(HRESULT hResult, ULONG flags, LPMAPIERROR* out) const noexcept {
  return Guarded([&] {
    Check(out != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    CheckFlags(flags, MAPI_UNICODE);
    *out = nullptr;
    std::lock_guard guard(lock_);
    if (hResult != code_ || text_.empty()) return S_OK;
    auto error = TMapiBuffer<MAPIERROR>::Allocate();
    bool unicode = (flags & MAPI_UNICODE) != 0;
    error->ulVersion = MAPI_ERROR_VERSION;
    error->lpszError = ErrorText(text_, unicode, error.get());
    error->lpszComponent = ErrorText(component_, unicode, error.get());
    *out = error.Release();
    return S_OK;
  });
}

}  // namespace orba::store
