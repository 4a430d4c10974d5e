#include "table/propcompare.h"
#include "base/filetime.h"

#include <algorithm>
#include <cstring>

#include "orba/common/casefold.h"
#include "orba/common/encoding.h"

namespace orba::store {

namespace {

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareBytes(const BYTE* a, size_t na, const BYTE* b, size_t nb) {
  if (!a) na = 0;
  if (!b) nb = 0;
  size_t common = std::min(na, nb);
  if (common != 0) {
    int c = std::memcmp(a, b, common);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return Order(na, nb);
}

std::u16string_view WideView(const WCHAR* s) { return s ? std::u16string_view(s) : std::u16string_view(); }
std::string_view AnsiView(const char* s) { return s ? std::string_view(s) : std::string_view(); }

// Base letters of U+00C0..U+017F for accent-insensitive comparison; '\0' keeps the
// character itself (letters without a plain base, such as Æ, ß or Þ).
constexpr char kLatinBase[] =
    "AAAAAA\0CEEEEIIII"    // C0-CF
    "DNOOOOO\0OUUUUY\0\0"  // D0-DF
    "aaaaaa\0ceeeeiiii"    // E0-EF
    "dnooooo\0ouuuuy\0y"   // F0-FF
    "AaAaAaCcCcCcCcDd"     // 100-10F
    "DdEeEeEeEeEeGgGg"     // 110-11F
    "GgGgHhHhIiIiIiIi"     // 120-12F
    "Ii\0\0JjKk\0LlLlLlL"  // 130-13F
    "lLlNnNnNn\0\0\0OoOo"  // 140-14F
    "Oo\0\0RrRrRrSsSsSs"   // 150-15F
    "SsTtTtTtUuUuUuUu"     // 160-16F
    "UuUuWwYyYZzZzZz\0";   // 170-17F

char16_t LatinBase(char16_t c) {
  if (c < 0xC0 || c > 0x17F) return c;
  char base = kLatinBase[c - 0xC0];
  return base ? static_cast<char16_t>(base) : c;
}

bool IsCombiningMark(char16_t c) { return c >= 0x0300 && c <= 0x036F; }

}  // namespace

bool IsComparableType(ULONG type) {
  switch (type) {
    case PT_I2:
    case PT_LONG:
    case PT_R4:
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_ERROR:
    case PT_BOOLEAN:
    case PT_I8:
    case PT_STRING8:
    case PT_UNICODE:
    case PT_SYSTIME:
    case PT_CLSID:
    case PT_BINARY: return true;
    default: return false;
  }
}

WideString FoldText(std::u16string_view text, TTextFolding folding) {
  WideString result;
  result.reserve(text.size());
  for (char16_t c : text) {
    if (folding.ignoreNonSpace) {
      if (IsCombiningMark(c)) continue;
      c = LatinBase(c);
    }
    result.push_back(folding.ignoreCase ? VoFoldChar(c) : c);
  }
  return result;
}

int CompareTextNoCase(std::u16string_view a, std::u16string_view b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    char16_t ca = VoFoldChar(a[i]), cb = VoFoldChar(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return Order(a.size(), b.size());
}

int CompareTextNoCase(std::string_view a, std::string_view b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (ca >= 0x80 || cb >= 0x80)
      return CompareTextNoCase(TVoEncoding::ConvertW(a.substr(i)), TVoEncoding::ConvertW(b.substr(i)));
    if (ca >= 'a' && ca <= 'z') ca -= 0x20;
    if (cb >= 'a' && cb <= 'z') cb -= 0x20;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return Order(a.size(), b.size());
}

ULONG ValueCount(const SPropValue& value) {
  // Every multi-valued member starts with its count.
  return IsMultiValued(value.ulPropTag) ? value.Value.MVi.cValues : 1;
}

__UPV ValueAt(const SPropValue& value, ULONG i) {
  if (!IsMultiValued(value.ulPropTag)) return value.Value;
  __UPV v{};
  const __UPV& mv = value.Value;
  switch (BaseType(value.ulPropTag)) {
    case PT_I2: v.i = mv.MVi.lpi[i]; break;
    case PT_LONG: v.l = mv.MVl.lpl[i]; break;
    case PT_R4: v.flt = mv.MVflt.lpflt[i]; break;
    case PT_DOUBLE: v.dbl = mv.MVdbl.lpdbl[i]; break;
    case PT_CURRENCY: v.cur = mv.MVcur.lpcur[i]; break;
    case PT_APPTIME: v.at = mv.MVat.lpat[i]; break;
    case PT_SYSTIME: v.ft = mv.MVft.lpft[i]; break;
    case PT_BINARY: v.bin = mv.MVbin.lpbin[i]; break;
    case PT_STRING8: v.lpszA = mv.MVszA.lppszA[i]; break;
    case PT_UNICODE: v.lpszW = mv.MVszW.lppszW[i]; break;
    case PT_CLSID: v.lpguid = &mv.MVguid.lpguid[i]; break;
    case PT_I8: v.li = mv.MVli.lpli[i]; break;
    default: break;
  }
  return v;
}

int CompareValues(ULONG type, const __UPV& a, const __UPV& b) {
  switch (type) {
    case PT_I2: return Order(a.i, b.i);
    case PT_LONG: return Order(a.l, b.l);
    case PT_R4: return Order(a.flt, b.flt);
    case PT_DOUBLE: return Order(a.dbl, b.dbl);
    case PT_APPTIME: return Order(a.at, b.at);
    case PT_CURRENCY: return Order(a.cur.int64, b.cur.int64);
    case PT_I8: return Order(a.li.QuadPart, b.li.QuadPart);
    case PT_ERROR: return Order(static_cast<ULONG>(a.err), static_cast<ULONG>(b.err));
    case PT_BOOLEAN: return Order(a.b != 0, b.b != 0);
    case PT_SYSTIME: return Order(FileTimeBits(a.ft), FileTimeBits(b.ft));
    case PT_STRING8: return CompareTextNoCase(AnsiView(a.lpszA), AnsiView(b.lpszA));
    case PT_UNICODE: return CompareTextNoCase(WideView(a.lpszW), WideView(b.lpszW));
    case PT_BINARY: return CompareBytes(a.bin.lpb, a.bin.cb, b.bin.lpb, b.bin.cb);
    case PT_CLSID:
      return CompareBytes(reinterpret_cast<const BYTE*>(a.lpguid), a.lpguid ? sizeof(GUID) : 0,
                          reinterpret_cast<const BYTE*>(b.lpguid), b.lpguid ? sizeof(GUID) : 0);
    default: return 0;
  }
}

int CompareSortValues(const SPropValue* a, const SPropValue* b) {
  bool hasA = a && PROP_TYPE(a->ulPropTag) != PT_ERROR;
  bool hasB = b && PROP_TYPE(b->ulPropTag) != PT_ERROR;
  if (!hasA || !hasB) return Order(hasA, hasB);
  ULONG typeA = PROP_TYPE(a->ulPropTag) & ~MV_INSTANCE, typeB = PROP_TYPE(b->ulPropTag) & ~MV_INSTANCE;
  if (typeA != typeB) return Order(typeA, typeB);
  ULONG type = BaseType(typeA);
  if (!IsComparableType(type)) return 0;
  if (!IsMultiValued(typeA)) return CompareValues(type, a->Value, b->Value);
  ULONG countA = ValueCount(*a), countB = ValueCount(*b);
  for (ULONG i = 0; i < std::min(countA, countB); ++i)
    if (int c = CompareValues(type, ValueAt(*a, i), ValueAt(*b, i))) return c;
  return Order(countA, countB);
}

}  // namespace orba::store
