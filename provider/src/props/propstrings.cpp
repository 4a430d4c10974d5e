#include "props/propstrings.h"

#include <string>

#include "base/maperror.h"
#include "memory/mapimemory.h"
#include "orba/common/encoding.h"
#include "orba/common/utf8.h"
#include "props/valuecopy.h"

namespace orba::store {

namespace {

LPWSTR WideCopy(LPCSTR text, void* parent, uint32_t codePage) {
  if (!text) throw TMapiError(MAPI_E_BAD_VALUE, "a null string value");
  WideString wide = TVoEncoding::ConvertW(text, codePage);
  LPWSTR out = AllocateMoreOf<WCHAR>(wide.size() + 1, parent);
  std::char_traits<char16_t>::copy(out, wide.data(), wide.size());
  return out;
}

LPSTR AnsiCopy(LPCWSTR text, void* parent, uint32_t codePage) {
  if (!text) throw TMapiError(MAPI_E_BAD_VALUE, "a null string value");
  AnsiString ansi = TVoEncoding::ConvertA(text, codePage);
  LPSTR out = AllocateMoreOf<char>(ansi.size() + 1, parent);
  std::char_traits<char>::copy(out, ansi.data(), ansi.size());
  return out;
}

}  // namespace

bool IsStringType(ULONG type) {
  ULONG base = type & ~MV_FLAG;
  return base == PT_STRING8 || base == PT_UNICODE;
}

ULONG WithStringWidth(ULONG type, bool wide) {
  if (!IsStringType(type)) return type;
  return (type & MV_FLAG) | (wide ? PT_UNICODE : PT_STRING8);
}

void CopyWithStringWidth(const SPropValue& src, ULONG targetType, SPropValue& out, void* parent, uint32_t codePage) {
  ULONG sourceType = PROP_TYPE(src.ulPropTag);
  if (sourceType == targetType) {
    CopyPropValue(src, out, parent);
    return;
  }
  if (!IsStringType(sourceType) || WithStringWidth(sourceType, true) != WithStringWidth(targetType, true))
    throw TMapiError(MAPI_E_UNEXPECTED_TYPE, "no conversion between these property types");
  out.ulPropTag = CHANGE_PROP_TYPE(src.ulPropTag, targetType);
  out.dwAlignPad = 0;
  const __UPV& v = src.Value;
  switch (targetType) {
    case PT_UNICODE: out.Value.lpszW = WideCopy(v.lpszA, parent, codePage); break;
    case PT_STRING8: out.Value.lpszA = AnsiCopy(v.lpszW, parent, codePage); break;
    case PT_MV_UNICODE: {
      ULONG count = v.MVszA.cValues;
      if (count && !v.MVszA.lppszA) throw TMapiError(MAPI_E_BAD_VALUE, "a null string array");
      out.Value.MVszW = {count, count ? AllocateMoreOf<LPWSTR>(count, parent) : nullptr};
      for (ULONG i = 0; i < count; ++i) out.Value.MVszW.lppszW[i] = WideCopy(v.MVszA.lppszA[i], parent, codePage);
      break;
    }
    default: {  // PT_MV_STRING8
      ULONG count = v.MVszW.cValues;
      if (count && !v.MVszW.lppszW) throw TMapiError(MAPI_E_BAD_VALUE, "a null string array");
      out.Value.MVszA = {count, count ? AllocateMoreOf<LPSTR>(count, parent) : nullptr};
      for (ULONG i = 0; i < count; ++i) out.Value.MVszA.lppszA[i] = AnsiCopy(v.MVszW.lppszW[i], parent, codePage);
      break;
    }
  }
}

std::string ArgText(const void* text, ULONG flags) {
  if (!text) return {};
  if (flags & MAPI_UNICODE) return ToUtf8(static_cast<const char16_t*>(text));
  return ToUtf8(TVoEncoding::ConvertW(static_cast<const char*>(text)));
}

}  // namespace orba::store
