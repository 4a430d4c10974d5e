// TVoVariant: the automation variant of the public interfaces, with OLE's type codes,
// and its conversions with Delphi's rules.
//
// Conversion failures raise EVoException:
//  - a value that cannot become the target type (Null, an error code, an interface, an
//    array, text that is not a number/boolean/date) with
//    "Could not convert variant of type (%s) into type (%s)" and DISP_E_TYPEMISMATCH;
//  - a number outside the target's range with
//    "Overflow while converting variant of type (%s) into type (%s)" and DISP_E_OVERFLOW.
// Empty converts to 0, "" and false. Text is read and written culture-neutrally: '.' is
// the decimal mark, dates are ISO-8601, booleans are "True"/"False".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "orba/common/com.h"
#include "orba/common/comptr.h"
#include "orba/common/types.h"

namespace orba {

inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000B);

// OLE variant type codes.
inline constexpr uint16_t varEmpty = 0x0000;
inline constexpr uint16_t varNull = 0x0001;
inline constexpr uint16_t varSmallint = 0x0002;
inline constexpr uint16_t varInteger = 0x0003;
inline constexpr uint16_t varSingle = 0x0004;
inline constexpr uint16_t varDouble = 0x0005;
inline constexpr uint16_t varCurrency = 0x0006;
inline constexpr uint16_t varDate = 0x0007;
inline constexpr uint16_t varOleStr = 0x0008;
inline constexpr uint16_t varDispatch = 0x0009;
inline constexpr uint16_t varError = 0x000A;
inline constexpr uint16_t varBoolean = 0x000B;
inline constexpr uint16_t varVariant = 0x000C;
inline constexpr uint16_t varUnknown = 0x000D;
inline constexpr uint16_t varShortInt = 0x0010;
inline constexpr uint16_t varByte = 0x0011;
inline constexpr uint16_t varWord = 0x0012;
inline constexpr uint16_t varLongWord = 0x0013;
inline constexpr uint16_t varInt64 = 0x0014;
inline constexpr uint16_t varUInt64 = 0x0015;
inline constexpr uint16_t varTypeMask = 0x0FFF;
inline constexpr uint16_t varArray = 0x2000;

// A currency amount: a 64-bit integer scaled by 10,000 (1.5 is 15000).
struct TVoCurrency {
  int64_t Scaled = 0;
  friend bool operator==(TVoCurrency, TVoCurrency) = default;
};

class TVoVariant {
 public:
  using ByteArray = std::vector<uint8_t>;
  using VariantArray = std::vector<TVoVariant>;

  TVoVariant() = default;  // Empty (Unassigned)
  TVoVariant(int8_t value) : type_(varShortInt), value_(int64_t(value)) {}
  TVoVariant(uint8_t value) : type_(varByte), value_(int64_t(value)) {}
  TVoVariant(int16_t value) : type_(varSmallint), value_(int64_t(value)) {}
  TVoVariant(uint16_t value) : type_(varWord), value_(int64_t(value)) {}
  TVoVariant(int32_t value) : type_(varInteger), value_(int64_t(value)) {}
  TVoVariant(uint32_t value) : type_(varLongWord), value_(int64_t(value)) {}
  TVoVariant(int64_t value) : type_(varInt64), value_(value) {}
  TVoVariant(uint64_t value) : type_(varUInt64), value_(value) {}
  TVoVariant(float value) : type_(varSingle), value_(double(value)) {}
  TVoVariant(double value) : type_(varDouble), value_(value) {}
  TVoVariant(bool value) : type_(varBoolean), value_(int64_t(value ? -1 : 0)) {}
  TVoVariant(bool16 value) : TVoVariant(static_cast<bool>(value)) {}
  TVoVariant(TVoCurrency value) : type_(varCurrency), value_(value.Scaled) {}
  TVoVariant(WideString value) : type_(varOleStr), value_(std::move(value)) {}
  TVoVariant(const char16_t* value) : TVoVariant(WideString(value ? value : u"")) {}
  TVoVariant(std::u16string_view value) : TVoVariant(WideString(value)) {}
  TVoVariant(ComPtr<IUnknown> value) : type_(varUnknown), value_(std::move(value)) {}
  TVoVariant(ByteArray value) : type_(varArray | varByte), value_(std::move(value)) {}
  TVoVariant(VariantArray value) : type_(varArray | varVariant), value_(std::move(value)) {}
  // 8-bit text has a code page: convert it to UTF-16 first.
  TVoVariant(const char*) = delete;

  static TVoVariant Null();
  static TVoVariant FromDate(TDateTime value);
  static TVoVariant FromError(int32_t code);
  // Currency from a floating-point amount, rounded to 1/10,000 (half to even).
  static TVoVariant FromCurrency(double amount);

  // The OLE type code (varArray | varByte for a byte array, varArray | varVariant for an
  // array of variants).
  uint16_t VarType() const { return type_; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNull() const { return type_ == varNull; }
  bool IsArray() const { return (type_ & varArray) != 0; }

  // Array access (lower bound 0); non-arrays raise DISP_E_TYPEMISMATCH.
  size_t ArrayLength() const;
  // One element: a byte array gives varByte values. Out of range raises
  // "Variant or safe array index out of bounds" with DISP_E_BADINDEX.
  TVoVariant ArrayItem(size_t index) const;
  const ByteArray& Bytes() const;
  const VariantArray& Items() const;
  // The payloads of varUnknown, varError and varCurrency values.
  ComPtr<IUnknown> Interface() const;
  int32_t ErrorCode() const;
  TVoCurrency Currency() const;

  // Same type code and same value.
  friend bool operator==(const TVoVariant& a, const TVoVariant& b);
  friend bool VarSameValue(const TVoVariant& a, const TVoVariant& b);

 private:
  friend struct TVoVariantAccess;  // the conversions read the payload directly
  TVoVariant(uint16_t type, double value) : type_(type), value_(value) {}
  TVoVariant(uint16_t type, int64_t value) : type_(type), value_(value) {}

  uint16_t type_ = varEmpty;
  // Signed integers, booleans, error codes and currency as int64_t; varUInt64 as
  // uint64_t; single, double and date as double.
  std::variant<std::monostate, int64_t, uint64_t, double, WideString, ComPtr<IUnknown>, ByteArray, VariantArray> value_;
};

bool VarIsEmpty(const TVoVariant& value);
bool VarIsNull(const TVoVariant& value);
bool VarIsArray(const TVoVariant& value);
// Delphi's names of the type codes: "Empty", "Integer", "OleStr", "Array Byte" ...
WideString VarTypeAsText(uint16_t varType);

// The basic kind of a variant: integers of every width are one kind, single, double
// and currency another; two values of one kind compare by value.
enum class TVoVarKind { Empty, Null, Integer, Float, Date, String, Boolean, Error, Interface, Array, Other };

class TVoTypes {
 public:
  static TVoVarKind VarMainTypeKind(const TVoVariant& value);
  static TVoVarKind VarMainTypeKind(uint16_t varType);
};

// Variant equality by value within a basic kind: 7 as a 16-bit and as a 32-bit integer
// are the same value, 0.5 as single and as double too, while 7 and "7" or 7 and 7.0
// are of different kinds and never the same. Arrays (byte arrays and arrays of
// variants alike) are the same when their elements are, one by one.
bool VarSameValue(const TVoVariant& a, const TVoVariant& b);

// Delphi's VarAsType: the value converted to a scalar type code (varSmallint ...
// varUInt64, varSingle, varDouble, varCurrency, varDate, varOleStr, varBoolean) or to
// varEmpty/varNull; the value itself for its own type.
TVoVariant VarAsType(const TVoVariant& value, uint16_t varType);

// The readers of the library: Empty and Null give the default; everything else is
// converted as VarAsType does.
WideString VoVarToStr(const TVoVariant& value, const WideString& defaultValue = WideString());
int32_t VoVarToInt(const TVoVariant& value, int32_t defaultValue = 0);
int64_t VoVarToInt64(const TVoVariant& value, int64_t defaultValue = 0);
bool VoVarToBool(const TVoVariant& value, bool defaultValue = false);
TDateTime VoVarToDateTime(const TVoVariant& value, TDateTime defaultValue = 0);
double VoVarToFloat(const TVoVariant& value, double defaultValue = 0);

// Delphi's FloatToStr: up to 15 significant digits (7 for singles), fixed notation for
// magnitudes from 1E-5 to below 1E15, else "1.5E20" / "1E-6".
WideString VoFloatToStr(double value, int precision = 15);

}  // namespace orba
