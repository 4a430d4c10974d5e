// Delphi-compatible Format: the library's messages are written in its syntax.
//
//   "%" [index ":"] ["-"] [width] ["." prec] type
//
// Types (case-insensitive): d u x (integers; x is upper-case hexadecimal, a negative
// 32-bit value prints as its 32-bit two's complement), e f g n m (floating point),
// s (text and characters), p (pointers), and "%%" for a percent sign. index, width
// and prec may be "*": the value is taken from the next argument, which must be an
// integer. An index sets the position from which later unindexed specifiers continue.
// Floating point output uses the invariant settings: "." decimals, "," thousands,
// currency "¤" with two decimals and "(¤1.00)" for negative amounts.
//
// A malformed specifier, a missing argument or an argument of the wrong kind throws
// EConvertError "Format '<format>' invalid or incompatible with argument".
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "orba/common/types.h"

namespace orba {

// One element of Format's argument list ("array of const"). It refers to the text
// it was made from, so it lives no longer than the call it is built for.
class TVarRec {
 public:
  enum class Kind : uint8_t {
    Int32,
    Int64,  // signed 64-bit; also holds unsigned 32-bit values
    UInt64,
    Double,
    Boolean,   // accepted by no specifier, as in Delphi
    AnsiChar,  // one byte, read as Latin-1
    WideChar,
    AnsiText,  // 8-bit text, widened as UTF-8 (malformed bytes become U+FFFD)
    WideText,
    Pointer
  };

  TVarRec(int32_t v) : kind_(Kind::Int32), int_(v) {}
  TVarRec(uint32_t v) : kind_(Kind::Int64), int_(v) {}
  TVarRec(int64_t v) : kind_(Kind::Int64), int_(v) {}
  TVarRec(uint64_t v) : kind_(Kind::UInt64), uint_(v) {}
  TVarRec(double v) : kind_(Kind::Double), double_(v) {}
  TVarRec(bool v) : kind_(Kind::Boolean), int_(v) {}
  TVarRec(char v) : kind_(Kind::AnsiChar), char_(static_cast<unsigned char>(v)) {}
  TVarRec(char16_t v) : kind_(Kind::WideChar), char_(v) {}
  // A null text pointer formats as the empty text.
  TVarRec(const char16_t* v) : TVarRec(v ? std::u16string_view(v) : std::u16string_view()) {}
  TVarRec(const WideString& v) : TVarRec(std::u16string_view(v)) {}
  TVarRec(std::u16string_view v) : kind_(Kind::WideText), wide_(v) {}
  TVarRec(const char* v) : TVarRec(v ? std::string_view(v) : std::string_view()) {}
  TVarRec(const AnsiString& v) : TVarRec(std::string_view(v)) {}
  TVarRec(std::string_view v) : kind_(Kind::AnsiText), ansi_(v) {}
  TVarRec(const void* v) : kind_(Kind::Pointer), pointer_(v) {}
  TVarRec(std::nullptr_t) : kind_(Kind::Pointer), pointer_(nullptr) {}

  Kind GetKind() const { return kind_; }
  bool IsInteger() const { return kind_ == Kind::Int32 || kind_ == Kind::Int64 || kind_ == Kind::UInt64; }
  int64_t AsInt64() const { return int_; }     // Int32, Int64, Boolean
  uint64_t AsUInt64() const { return uint_; }  // UInt64
  double AsDouble() const { return double_; }
  char16_t AsChar() const { return char_; }  // AnsiChar (Latin-1), WideChar
  std::u16string_view AsWideText() const { return wide_; }
  std::string_view AsAnsiText() const { return ansi_; }
  const void* AsPointer() const { return pointer_; }

 private:
  Kind kind_;
  union {
    int64_t int_;
    uint64_t uint_;
    double double_;
    char16_t char_;
    const void* pointer_;
    std::u16string_view wide_;
    std::string_view ansi_;
  };
};

// Applies fmt to args.
WideString Format(std::u16string_view fmt, std::initializer_list<TVarRec> args);
// The same over 8-bit text: fmt is read, and the result written, as UTF-8.
AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args);

}  // namespace orba
