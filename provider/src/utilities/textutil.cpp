// MAPI's text and number helpers: byte swapping, hexadecimal text, decimal and
// hexadecimal numbers, the size of encoded identifiers and the bounded string check.
#include <cctype>
#include <optional>

#include "base/export.h"
#include "mapi/mapiexports.h"
#include "memory/memoryprobe.h"

namespace {

// The value of a hexadecimal digit, or nullopt.
std::optional<unsigned> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

// The number of the leading digits of text in base (10 or 16); it wraps as unsigned
// arithmetic does on overflow.
template <class Number>
Number LeadingNumber(LPCTSTR text, unsigned base) {
  Number number = 0;
  for (; text && *text; ++text) {
    std::optional<unsigned> digit = HexDigit(*text);
    if (!digit || *digit >= base) break;
    number = static_cast<Number>(number * base + *digit);
  }
  return number;
}

}  // namespace

ORBASTORE_EXPORT WORD* SwapPword(WORD* lpw, int cw) {
  for (int i = 0; lpw && i < cw; ++i) lpw[i] = static_cast<WORD>(lpw[i] << 8 | lpw[i] >> 8);
  return lpw;
}

ORBASTORE_EXPORT LPULONG SwapPlong(LPULONG lpul, int cl) {
  for (int i = 0; lpul && i < cl; ++i) lpul[i] = __builtin_bswap32(lpul[i]);
  return lpul;
}

ORBASTORE_EXPORT void HexFromBin(LPBYTE pb, int cb, LPTSTR sz) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  if (!sz) return;
  for (int i = 0; pb && i < cb; ++i) {
    *sz++ = kDigits[pb[i] >> 4];
    *sz++ = kDigits[pb[i] & 15];
  }
  *sz = '\0';
}

ORBASTORE_EXPORT BOOL FBinFromHex(LPTSTR sz, LPBYTE pb) {
  if (!sz || !pb) return false;
  // Every character is checked before a byte is written.
  size_t length = 0;
  for (; sz[length]; ++length)
    if (!HexDigit(sz[length])) return false;
  if (length % 2) return false;
  for (size_t i = 0; i < length; i += 2) *pb++ = static_cast<BYTE>(*HexDigit(sz[i]) << 4 | *HexDigit(sz[i + 1]));
  return true;
}

ORBASTORE_EXPORT UINT UFromSz(LPCTSTR lpsz) { return LeadingNumber<UINT>(lpsz, 10); }

ORBASTORE_EXPORT ULONG UlFromSzHex(LPCTSTR lpsz) { return LeadingNumber<ULONG>(lpsz, 16); }

ORBASTORE_EXPORT ULONG CbOfEncoded(LPCTSTR lpszEnc) {
  if (!lpszEnc) return 0;
  // Each character carries 6 bits: 4 characters for 3 bytes, 2 or 3 for a last 1 or 2.
  size_t length = std::char_traits<char>::length(lpszEnc);
  size_t rest = length % 4;
  return static_cast<ULONG>(length / 4 * 3 + (rest > 1 ? rest - 1 : 0));
}

ORBASTORE_EXPORT BOOL IsBadBoundedStringPtr(const void* lpsz, UINT cchMax) {
  if (cchMax == 0) return false;
  // Readable up to the terminator, or over cchMax characters when none comes first.
  auto* text = static_cast<const char*>(lpsz);
  if (orba::store::ReadableTextLength(text, cchMax)) return false;
  return !orba::store::IsReadableRange(text, cchMax);
}
