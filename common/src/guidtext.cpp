#include "orba/common/guidtext.h"

#include "orba/common/exceptions.h"

namespace orba {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void AppendHex(WideString& out, uint64_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at text[pos]; false when one is not a digit.
bool ReadHex(std::u16string_view text, size_t pos, int digits, uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const int digit = HexValue(text[pos + i]);
    if (digit < 0) return false;
    value = (value << 4) | uint64_t(digit);
  }
  return true;
}

bool TryStringToGUID(std::u16string_view text, GUID& guid) {
  if (text.size() != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' || text[14] != u'-' ||
      text[19] != u'-' || text[24] != u'-')
    return false;
  uint64_t data1, data2, data3, byte;
  if (!ReadHex(text, 1, 8, data1) || !ReadHex(text, 10, 4, data2) || !ReadHex(text, 15, 4, data3)) return false;
  guid.Data1 = uint32_t(data1);
  guid.Data2 = uint16_t(data2);
  guid.Data3 = uint16_t(data3);
  // Data4: two bytes before the last hyphen, six after it.
  static constexpr size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePos[i], 2, byte)) return false;
    guid.Data4[i] = uint8_t(byte);
  }
  return true;
}

}  // namespace

WideString GUIDToString(const GUID& guid) {
  WideString out = u"{";
  AppendHex(out, guid.Data1, 8);
  out += u'-';
  AppendHex(out, guid.Data2, 4);
  out += u'-';
  AppendHex(out, guid.Data3, 4);
  out += u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) out += u'-';
    AppendHex(out, guid.Data4[i], 2);
  }
  out += u'}';
  return out;
}

GUID StringToGUID(std::u16string_view text) {
  GUID guid{};
  if (!TryStringToGUID(text, guid)) throw EConvertError(u"'" + WideString(text) + u"' is not a valid GUID value");
  return guid;
}

}  // namespace orba
