// Last errors, argument checks and string arguments: see lasterror.h.
#include "base/lasterror.h"

#include <cstring>

#include "memory/mapimemory.h"
#include "orba/common/encoding.h"
#include "orba/common/utf8.h"

namespace orba::store {
namespace {

constexpr const char* kComponent = "Orba Store";

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

void TLastError::Set(HRESULT code, const std::string& text) {
  std::lock_guard guard(lock_);
  code_ = code;
  text_ = text;
}

HRESULT TLastError::Get(HRESULT hResult, ULONG flags, LPMAPIERROR* out) noexcept {
  try {
    Check(out != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    CheckFlags(flags, MAPI_UNICODE);
    *out = nullptr;
    std::lock_guard guard(lock_);
    if (hResult != code_ || text_.empty()) return S_OK;
    auto error = TMapiBuffer<MAPIERROR>::Allocate();
    bool unicode = (flags & MAPI_UNICODE) != 0;
    error->ulVersion = MAPI_ERROR_VERSION;
    error->lpszError = ErrorText(text_, unicode, error.get());
    error->lpszComponent = ErrorText(kComponent, unicode, error.get());
    *out = error.Release();
    return S_OK;
  } catch (...) {
    return ResultFromException();
  }
}

void Check(bool condition, HRESULT code, const char* text) {
  if (!condition) throw TMapiError(code, text);
}

void CheckFlags(ULONG flags, ULONG allowed) {
  Check((flags & ~allowed) == 0, MAPI_E_UNKNOWN_FLAGS, "Unknown flags were given.");
}

std::string ArgText(const void* text, ULONG flags) {
  if (!text) return {};
  if (flags & MAPI_UNICODE) return ToUtf8(static_cast<const char16_t*>(text));
  return ToUtf8(TVoEncoding::ConvertW(static_cast<const char*>(text)));
}

}  // namespace orba::store
