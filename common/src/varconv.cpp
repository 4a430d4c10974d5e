// Conversions between the variant types, with Delphi's rules.
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "orba/common/dates.h"
#include "orba/common/exceptions.h"
#include "orba/common/iso8601.h"
#include "orba/common/utf8.h"
#include "orba/common/variant.h"

namespace orba {

struct TVoVariantAccess {
  static int64_t Int(const TVoVariant& v) { return std::get<int64_t>(v.value_); }
  static uint64_t UInt(const TVoVariant& v) { return std::get<uint64_t>(v.value_); }
  static double Real(const TVoVariant& v) { return std::get<double>(v.value_); }
  static const WideString& Text(const TVoVariant& v) { return std::get<WideString>(v.value_); }
};

namespace {

using Access = TVoVariantAccess;
constexpr int64_t kCurrencyScale = 10000;

[[noreturn]] void CastError(uint16_t from, uint16_t to) {
  throw EVoException(
      u"Could not convert variant of type (" + VarTypeAsText(from) + u") into type (" + VarTypeAsText(to) + u")",
      DISP_E_TYPEMISMATCH);
}

[[noreturn]] void OverflowError(uint16_t from, uint16_t to) {
  throw EVoException(u"Overflow while converting variant of type (" + VarTypeAsText(from) + u") into type (" +
                         VarTypeAsText(to) + u")",
                     DISP_E_OVERFLOW);
}

WideString Ascii(const std::string& text) { return WideString(text.begin(), text.end()); }

// The text without surrounding blanks, as ASCII; false when it holds other characters.
bool ToAscii(std::u16string_view text, std::string& out) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  out.clear();
  for (char16_t c : text) {
    if (c >= 0x80) return false;
    out.push_back(static_cast<char>(c));
  }
  return !out.empty();
}

// Decimal, "$FF" or "0xFF" integers with an optional sign, as sign and magnitude.
bool ParseMagnitude(std::u16string_view text, bool& negative, uint64_t& magnitude) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  size_t pos = 0;
  negative = s[0] == '-';
  if (s[0] == '-' || s[0] == '+') pos = 1;
  int base = 10;
  if (s.compare(pos, 1, "$") == 0) {
    base = 16;
    pos += 1;
  } else if (s.compare(pos, 2, "0x") == 0 || s.compare(pos, 2, "0X") == 0) {
    base = 16;
    pos += 2;
  }
  const char* end = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data() + pos, end, magnitude, base);
  return ec == std::errc() && ptr == end && pos < s.size();
}

bool ParseInt(std::u16string_view text, int64_t& value) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, negative, magnitude) || magnitude > (negative ? uint64_t(1) << 63 : uint64_t(INT64_MAX)))
    return false;
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// Decimal numbers with '.' and an optional exponent; no "inf" or "nan".
bool ParseFloat(std::u16string_view text, double& value) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  for (char c : s)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
      return false;
  const char* begin = s.data() + (s[0] == '+' ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(begin, s.data() + s.size(), value);
  return ec == std::errc() && ptr == s.data() + s.size();
}

bool ParseBool(std::u16string_view text, bool& value) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (s == "true" || s == "false") {
    value = s == "true";
    return true;
  }
  return false;
}

// Round half to even, as Delphi's Round; false when the result leaves int64.
bool RoundToInt64(double value, int64_t& result) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) return false;
  result = static_cast<int64_t>(rounded);
  return true;
}

bool IsSignedInteger(uint16_t type) {
  return type == varSmallint || type == varInteger || type == varShortInt || type == varByte || type == varWord ||
         type == varLongWord || type == varInt64;
}

int64_t ToInt64(const TVoVariant& v, uint16_t to) {
  const uint16_t from = v.VarType();
  int64_t result = 0;
  double real = 0;
  bool flag = false;
  if (from == varEmpty) return 0;
  if (IsSignedInteger(from) || from == varBoolean) return Access::Int(v);
  if (from == varUInt64) {
    if (Access::UInt(v) > uint64_t(INT64_MAX)) OverflowError(from, to);
    return static_cast<int64_t>(Access::UInt(v));
  }
  if (from == varCurrency) {
    if (!RoundToInt64(static_cast<double>(Access::Int(v)) / kCurrencyScale, result)) OverflowError(from, to);
    return result;
  }
  if (from == varSingle || from == varDouble || from == varDate) {
    if (!RoundToInt64(Access::Real(v), result)) OverflowError(from, to);
    return result;
  }
  if (from == varOleStr) {
    const WideString& text = Access::Text(v);
    if (ParseInt(text, result)) return result;
    if (ParseFloat(text, real)) {
      if (!RoundToInt64(real, result)) OverflowError(from, to);
      return result;
    }
    if (ParseBool(text, flag)) return flag ? -1 : 0;
  }
  CastError(from, to);
}

double ToDouble(const TVoVariant& v, uint16_t to) {
  const uint16_t from = v.VarType();
  double result = 0;
  bool flag = false;
  if (from == varEmpty) return 0;
  if (IsSignedInteger(from) || from == varBoolean) return static_cast<double>(Access::Int(v));
  if (from == varUInt64) return static_cast<double>(Access::UInt(v));
  if (from == varCurrency) return static_cast<double>(Access::Int(v)) / kCurrencyScale;
  if (from == varSingle || from == varDouble || from == varDate) return Access::Real(v);
  if (from == varOleStr) {
    if (ParseFloat(Access::Text(v), result)) return result;
    if (ParseBool(Access::Text(v), flag)) return flag ? -1 : 0;
  }
  CastError(from, to);
}

uint64_t ToUInt64(const TVoVariant& v) {
  const uint16_t from = v.VarType();
  bool negative = false;
  uint64_t magnitude = 0;
  if (from == varUInt64) return Access::UInt(v);
  if (from == varOleStr && ParseMagnitude(Access::Text(v), negative, magnitude)) {
    if (negative && magnitude) OverflowError(from, varUInt64);
    return magnitude;
  }
  if (from == varSingle || from == varDouble || from == varDate || from == varOleStr) {
    const double rounded = std::nearbyint(ToDouble(v, varUInt64));
    if (!(rounded >= 0 && rounded < 18446744073709551616.0)) OverflowError(from, varUInt64);
    return static_cast<uint64_t>(rounded);
  }
  const int64_t whole = ToInt64(v, varUInt64);
  if (whole < 0) OverflowError(from, varUInt64);
  return static_cast<uint64_t>(whole);
}

int64_t ToCurrency(const TVoVariant& v) {
  const uint16_t from = v.VarType();
  int64_t result = 0;
  if (from == varCurrency) return Access::Int(v);
  if (IsSignedInteger(from) || from == varBoolean || from == varUInt64) {
    const int64_t whole = ToInt64(v, varCurrency);
    if (whole > INT64_MAX / kCurrencyScale || whole < INT64_MIN / kCurrencyScale) OverflowError(from, varCurrency);
    return whole * kCurrencyScale;
  }
  if (!RoundToInt64(ToDouble(v, varCurrency) * kCurrencyScale, result)) OverflowError(from, varCurrency);
  return result;
}

bool ToBool(const TVoVariant& v) {
  const uint16_t from = v.VarType();
  bool flag = false;
  double real = 0;
  if (from == varOleStr) {
    if (ParseBool(Access::Text(v), flag)) return flag;
    if (ParseFloat(Access::Text(v), real)) return real != 0;
    CastError(from, varBoolean);
  }
  if (from == varUInt64) return Access::UInt(v) != 0;
  return ToDouble(v, varBoolean) != 0;
}

TDateTime ToDate(const TVoVariant& v) {
  if (v.VarType() != varOleStr) return ToDouble(v, varDate);
  try {
    return VoISO8601ToDateTime(Access::Text(v));
  } catch (const EVoException&) {
    CastError(varOleStr, varDate);
  }
}

WideString CurrencyToStr(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : scaled;
  std::string text = std::to_string(magnitude / kCurrencyScale);
  std::string fraction = std::to_string(magnitude % kCurrencyScale + kCurrencyScale).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return Ascii(negative ? "-" + text : text);
}

WideString ToStr(const TVoVariant& v) {
  const uint16_t from = v.VarType();
  if (from == varEmpty) return WideString();
  if (from == varOleStr) return Access::Text(v);
  if (from == varBoolean) return Access::Int(v) ? u"True" : u"False";
  if (IsSignedInteger(from)) return Ascii(std::to_string(Access::Int(v)));
  if (from == varUInt64) return Ascii(std::to_string(Access::UInt(v)));
  if (from == varSingle) return VoFloatToStr(Access::Real(v), 7);
  if (from == varDouble) return VoFloatToStr(Access::Real(v));
  if (from == varCurrency) return CurrencyToStr(Access::Int(v));
  if (from == varDate) {
    const TDateTime date = Access::Real(v);
    return TimeOf(date) == 0 ? VoDateToISO8601(date) : VoDateTimeToISO8601(date);
  }
  CastError(from, varOleStr);
}

template <class T>
TVoVariant Ranged(const TVoVariant& v, uint16_t to) {
  const int64_t value = ToInt64(v, to);
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) OverflowError(v.VarType(), to);
  return TVoVariant(static_cast<T>(value));
}

}  // namespace

TVoVariant VarAsType(const TVoVariant& value, uint16_t varType) {
  const uint16_t from = value.VarType();
  if (varType == from) return value;
  if (varType == varEmpty) return TVoVariant();
  if (varType == varNull) return TVoVariant::Null();
  if (from == varNull || (from & varArray)) CastError(from, varType);
  switch (varType) {
    case varSmallint: return Ranged<int16_t>(value, varType);
    case varInteger: return Ranged<int32_t>(value, varType);
    case varShortInt: return Ranged<int8_t>(value, varType);
    case varByte: return Ranged<uint8_t>(value, varType);
    case varWord: return Ranged<uint16_t>(value, varType);
    case varLongWord: return Ranged<uint32_t>(value, varType);
    case varInt64: return TVoVariant(ToInt64(value, varType));
    case varUInt64: return TVoVariant(ToUInt64(value));
    case varSingle: {
      const double real = ToDouble(value, varType);
      if (std::isfinite(real) && std::fabs(real) > FLT_MAX) OverflowError(from, varType);
      return TVoVariant(static_cast<float>(real));
    }
    case varDouble: return TVoVariant(ToDouble(value, varType));
    case varCurrency: return TVoVariant(TVoCurrency{ToCurrency(value)});
    case varDate: return TVoVariant::FromDate(ToDate(value));
    case varOleStr: return TVoVariant(ToStr(value));
    case varBoolean: return TVoVariant(ToBool(value));
    default: CastError(from, varType);
  }
}

WideString VoVarToStr(const TVoVariant& value, const WideString& defaultValue) {
  return value.IsEmpty() || value.IsNull() ? defaultValue : ToStr(value);
}

int32_t VoVarToInt(const TVoVariant& value, int32_t defaultValue) {
  if (value.IsEmpty() || value.IsNull()) return defaultValue;
  const int64_t result = ToInt64(value, varInteger);
  if (result < INT32_MIN || result > INT32_MAX) OverflowError(value.VarType(), varInteger);
  return static_cast<int32_t>(result);
}

int64_t VoVarToInt64(const TVoVariant& value, int64_t defaultValue) {
  return value.IsEmpty() || value.IsNull() ? defaultValue : ToInt64(value, varInt64);
}

bool VoVarToBool(const TVoVariant& value, bool defaultValue) {
  return value.IsEmpty() || value.IsNull() ? defaultValue : ToBool(value);
}

TDateTime VoVarToDateTime(const TVoVariant& value, TDateTime defaultValue) {
  return value.IsEmpty() || value.IsNull() ? defaultValue : ToDate(value);
}

double VoVarToFloat(const TVoVariant& value, double defaultValue) {
  return value.IsEmpty() || value.IsNull() ? defaultValue : ToDouble(value, varDouble);
}

WideString VoFloatToStr(double value, int precision) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value > 0 ? u"INF" : u"-INF";
  if (value == 0) return u"0";
  // "d.ddddde±xx" with precision significant digits.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
  const std::string scientific = buffer;
  const size_t e = scientific.find('e');
  std::string digits = scientific.substr(0, 1) + scientific.substr(2, e - 2);
  const int exponent = std::stoi(scientific.substr(e + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text;
  if (exponent >= precision || exponent < -5) {
    text = digits.substr(0, 1);
    // Appended piece by piece: GCC 12 at -O3 mistakes "literal" + temporary for an
    // overlapping copy (-Wrestrict).
    if (digits.size() > 1) text.append(".").append(digits, 1);
    text.append("E").append(std::to_string(exponent));
  } else if (exponent < 0) {
    text = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      text = digits + std::string(whole - digits.size(), '0');
    } else {
      text = digits.substr(0, whole) + "." + digits.substr(whole);
    }
  }
  return Ascii(value < 0 ? "-" + text : text);
}

}  // namespace orba
