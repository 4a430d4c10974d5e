#include "orba/common/format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

// Floating point output follows Delphi's FloatToText: at most 18 digits, and fixed
// formats switch to scientific beyond 18 integer digits.
constexpr int kMaxFloatDigits = 18;
constexpr int kDefaultExponentPrecision = 15;
constexpr int kDefaultDecimals = 2;
constexpr int kExponentDigits = 3;
constexpr char16_t kCurrencySymbol = u'\u00A4';

WideString Widen(std::string_view ascii) { return WideString(ascii.begin(), ascii.end()); }

// |value| = 0.digits x 10^exponent; no digits means zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

void TrimTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) {
    d.exponent = 0;
    d.negative = false;
  }
}

// The 17 significant digits that identify a double, as Delphi takes them before it
// rounds to the requested digits.
Decimal ToDecimal(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.16e", std::fabs(value));
  Decimal d;
  d.negative = std::signbit(value);
  d.digits = std::string(1, buf[0]) + std::string(buf + 2, buf + 18);
  d.exponent = std::atoi(buf + 19) + 1;
  TrimTrailingZeros(d);
  return d;
}

// Keeps count significant digits, rounding half away from zero.
void RoundToDigits(Decimal& d, int count) {
  if (count < 0) count = 0;
  if (static_cast<int>(d.digits.size()) <= count) return;
  bool up = d.digits[count] >= '5';
  d.digits.resize(count);
  if (up) {
    int i = count - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  TrimTrailingZeros(d);
}

char DigitAt(const Decimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

WideString SignOf(const Decimal& d) { return d.negative ? u"-" : u""; }

// "d.ddd" with `digits` digits, then "E", the exponent's sign and at least
// kExponentDigits digits; the plus sign only where forcePlus says so.
WideString ExponentText(const Decimal& d, int digits, bool forcePlus) {
  WideString text(1, DigitAt(d, 0));
  if (digits > 1) {
    text += u'.';
    for (int i = 1; i < digits; ++i) text += DigitAt(d, i);
  }
  int exponent = d.digits.empty() ? 0 : d.exponent - 1;
  text += u'E';
  if (exponent < 0)
    text += u'-';
  else if (forcePlus)
    text += u'+';
  WideString number = Widen(std::to_string(std::abs(exponent)));
  if (number.size() < kExponentDigits) number.insert(0, kExponentDigits - number.size(), u'0');
  return text + number;
}

// Integer part, optionally grouped by thousands, and `decimals` decimals.
WideString FixedText(const Decimal& d, int decimals, bool thousands) {
  WideString integer;
  for (int i = 0; i < d.exponent; ++i) {
    if (thousands && i > 0 && (d.exponent - i) % 3 == 0) integer += u',';
    integer += DigitAt(d, i);
  }
  if (integer.empty()) integer = u"0";
  if (decimals > 0) {
    integer += u'.';
    for (int i = 0; i < decimals; ++i) integer += DigitAt(d, d.exponent + i);
  }
  return integer;
}

std::optional<WideString> NonFiniteText(double value) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
  return std::nullopt;
}

WideString FormatExponent(double value, int precision) {
  int digits = precision < 0 ? kDefaultExponentPrecision : std::clamp(precision, 1, kMaxFloatDigits);
  Decimal d = ToDecimal(value);
  RoundToDigits(d, digits);
  return SignOf(d) + ExponentText(d, digits, true);
}

WideString FormatGeneral(double value, int precision) {
  int digits = precision < 0 ? kDefaultExponentPrecision : std::clamp(precision, 1, kMaxFloatDigits);
  Decimal d = ToDecimal(value);
  RoundToDigits(d, digits);
  if (d.digits.empty()) return u"0";
  if (d.exponent > digits || d.exponent < -3)
    return SignOf(d) + ExponentText(d, static_cast<int>(d.digits.size()), false);
  int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
  return SignOf(d) + FixedText(d, decimals, false);
}

// The unsigned fixed-point text of value (scientific beyond 18 integer digits); the
// sign is reported in negative.
WideString FixedMagnitude(double value, int precision, bool thousands, bool& negative) {
  int decimals = precision < 0 ? kDefaultDecimals : std::min(precision, kMaxFloatDigits);
  Decimal d = ToDecimal(value);
  if (d.exponent > kMaxFloatDigits) {
    RoundToDigits(d, kMaxFloatDigits);
    negative = d.negative;
    return ExponentText(d, kMaxFloatDigits, true);
  }
  RoundToDigits(d, d.exponent + decimals);
  negative = d.negative;
  return FixedText(d, decimals, thousands);
}

WideString FormatFixed(double value, int precision, bool thousands) {
  bool negative = false;
  WideString text = FixedMagnitude(value, precision, thousands, negative);
  return negative ? u"-" + text : text;
}

WideString FormatMoney(double value, int precision) {
  bool negative = false;
  WideString text = kCurrencySymbol + FixedMagnitude(value, precision, true, negative);
  return negative ? u"(" + text + u")" : text;
}

WideString DigitsOf(uint64_t value, unsigned base) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  WideString text;
  do {
    text.insert(text.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

WideString ZeroPadded(WideString digits, int precision) {
  if (precision > static_cast<int>(digits.size())) digits.insert(0, precision - digits.size(), u'0');
  return digits;
}

// Reads one format string against its arguments.
class Formatter {
 public:
  Formatter(std::u16string_view fmt, std::initializer_list<TVarRec> args)
      : fmt_(fmt), args_(args.begin()), count_(args.size()) {}

  WideString Run() {
    WideString out;
    while (pos_ < fmt_.size()) {
      char16_t c = fmt_[pos_++];
      if (c != u'%') {
        out += c;
      } else if (pos_ < fmt_.size() && fmt_[pos_] == u'%') {
        out += u'%';
        ++pos_;
      } else {
        out += Specifier();
      }
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError(Format(u"Format '%s' invalid or incompatible with argument", {fmt_}));
  }

  const TVarRec& NextArg() {
    if (argIndex_ >= count_) Fail();
    return args_[argIndex_++];
  }

  // A decimal number or "*" (the value of the next argument), if one stands here.
  std::optional<int> Number() {
    if (pos_ < fmt_.size() && fmt_[pos_] == u'*') {
      ++pos_;
      const TVarRec& arg = NextArg();
      if (arg.GetKind() != TVarRec::Kind::Int32 && arg.GetKind() != TVarRec::Kind::Int64) Fail();
      int64_t value = arg.AsInt64();
      if (value < INT32_MIN || value > INT32_MAX) Fail();
      return static_cast<int>(value);
    }
    std::optional<int> number;
    while (pos_ < fmt_.size() && fmt_[pos_] >= u'0' && fmt_[pos_] <= u'9') {
      int64_t next = int64_t{number.value_or(0)} * 10 + (fmt_[pos_++] - u'0');
      if (next > INT32_MAX) Fail();
      number = static_cast<int>(next);
    }
    return number;
  }

  // One specifier after its "%": index, "-", width, precision and type.
  WideString Specifier() {
    std::optional<int> number = Number();
    if (number && pos_ < fmt_.size() && fmt_[pos_] == u':') {
      if (*number < 0) Fail();
      argIndex_ = static_cast<size_t>(*number);
      ++pos_;
      number.reset();
    }
    bool leftJustify = false;
    if (!number && pos_ < fmt_.size() && fmt_[pos_] == u'-') {
      leftJustify = true;
      ++pos_;
    }
    if (!number) number = Number();
    int width = number.value_or(-1);
    int precision = -1;
    if (pos_ < fmt_.size() && fmt_[pos_] == u'.') {
      ++pos_;
      precision = Number().value_or(0);
    }
    if (pos_ >= fmt_.size()) Fail();
    WideString text = Convert(fmt_[pos_++], NextArg(), precision);
    if (width > static_cast<int>(text.size())) {
      WideString padding(width - text.size(), u' ');
      text = leftJustify ? text + padding : padding + text;
    }
    return text;
  }

  WideString Convert(char16_t type, const TVarRec& arg, int precision) const {
    switch (type | 0x20) {  // conversion characters are case-insensitive
      case u'd': return DecimalText(arg, precision);
      case u'u': return ZeroPadded(DigitsOf(Unsigned(arg), 10), precision);
      case u'x': return ZeroPadded(DigitsOf(Unsigned(arg), 16), precision);
      case u'e': return FloatText(arg, [&](double v) { return FormatExponent(v, precision); });
      case u'f': return FloatText(arg, [&](double v) { return FormatFixed(v, precision, false); });
      case u'g': return FloatText(arg, [&](double v) { return FormatGeneral(v, precision); });
      case u'n': return FloatText(arg, [&](double v) { return FormatFixed(v, precision, true); });
      case u'm': return FloatText(arg, [&](double v) { return FormatMoney(v, precision); });
      case u's': return Text(arg, precision);
      case u'p': return PointerText(arg);
      default: Fail();
    }
  }

  WideString DecimalText(const TVarRec& arg, int precision) const {
    switch (arg.GetKind()) {
      case TVarRec::Kind::Int32:
      case TVarRec::Kind::Int64: {
        int64_t value = arg.AsInt64();
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
        return (value < 0 ? u"-" : u"") + ZeroPadded(DigitsOf(magnitude, 10), precision);
      }
      case TVarRec::Kind::UInt64: return ZeroPadded(DigitsOf(arg.AsUInt64(), 10), precision);
      default: Fail();
    }
  }

  // The value as %u and %x see it: 32-bit values in 32 bits, others in 64.
  uint64_t Unsigned(const TVarRec& arg) const {
    switch (arg.GetKind()) {
      case TVarRec::Kind::Int32: return static_cast<uint32_t>(arg.AsInt64());
      case TVarRec::Kind::Int64: return static_cast<uint64_t>(arg.AsInt64());
      case TVarRec::Kind::UInt64: return arg.AsUInt64();
      default: Fail();
    }
  }

  template <class F>
  WideString FloatText(const TVarRec& arg, F format) const {
    if (arg.GetKind() != TVarRec::Kind::Double) Fail();
    if (auto text = NonFiniteText(arg.AsDouble())) return *text;
    return format(arg.AsDouble());
  }

  WideString Text(const TVarRec& arg, int precision) const {
    WideString text;
    switch (arg.GetKind()) {
      case TVarRec::Kind::WideText: text = arg.AsWideText(); break;
      case TVarRec::Kind::AnsiText: text = FromUtf8(arg.AsAnsiText()); break;
      case TVarRec::Kind::AnsiChar:
      case TVarRec::Kind::WideChar: text = WideString(1, arg.AsChar()); break;
      default: Fail();
    }
    if (precision >= 0 && precision < static_cast<int>(text.size())) text.resize(precision);
    return text;
  }

  WideString PointerText(const TVarRec& arg) const {
    if (arg.GetKind() != TVarRec::Kind::Pointer) Fail();
    return ZeroPadded(DigitsOf(reinterpret_cast<uintptr_t>(arg.AsPointer()), 16), sizeof(void*) * 2);
  }

  std::u16string_view fmt_;
  const TVarRec* args_;
  size_t count_;
  size_t pos_ = 0;
  size_t argIndex_ = 0;
};

}  // namespace

WideString Format(std::u16string_view fmt, std::initializer_list<TVarRec> args) { return Formatter(fmt, args).Run(); }

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
  return ToUtf8(Format(std::u16string_view(FromUtf8(fmt)), args));
}

}  // namespace orba
