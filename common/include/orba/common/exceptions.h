// The exception family of the code base and its code-to-class registry.
//
// EVoException carries a UTF-16 message and a signed 32-bit code (an HRESULT or a
// library code); EVoAbort is the silent abort root that catch-all error handlers let
// pass. Exception classes are named at run time through class references
// (EVoExceptionClass): immutable descriptors with the class name, the abort flag and
// a factory. The registry maps (error group, code) to a class reference, so that an
// error code can be turned into the exception of its class:
//
//   std::rethrow_exception(VoCreateException(u"MAPI", code, text));
//
// VoCreateException builds without raising; the caller raises.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <type_traits>

#include "orba/common/types.h"

// Adds the class-reference support to an exception class: its name and ClassType().
// Use in the public part of every class of the family.
#define ORBA_EXCEPTION_CLASS_BODY(NAME)                                         \
  static constexpr std::u16string_view ClassName = ORBA_EXCEPTION_WIDEN(#NAME); \
  ::orba::EVoExceptionClass ClassType() const override { return ::orba::VoExceptionClassOf<NAME>(); }

// Declares exception class NAME deriving from BASE, with BASE's constructors.
#define ORBA_DECLARE_EXCEPTION_CLASS(NAME, BASE) \
  class NAME : public BASE {                     \
   public:                                       \
    using BASE::BASE;                            \
    ORBA_EXCEPTION_CLASS_BODY(NAME)              \
  }

#define ORBA_EXCEPTION_WIDEN2(TEXT) u##TEXT
#define ORBA_EXCEPTION_WIDEN(TEXT) ORBA_EXCEPTION_WIDEN2(TEXT)

namespace orba {

// The descriptor behind a class reference. One exists per class (see
// VoExceptionClassOf); it never changes.
struct TVoExceptionClassInfo {
  std::u16string_view Name;  // the class name, e.g. u"EMAPI_NOT_FOUND"
  bool IsAbort;              // the class derives from EVoAbort
  // Builds an exception of the class without raising it.
  std::exception_ptr (*Create)(const WideString& message, int32_t code);
};

// A class reference ("class of EVoException"); nullptr means no class.
using EVoExceptionClass = const TVoExceptionClassInfo*;

class EVoException : public std::exception {
 public:
  explicit EVoException(WideString message, int32_t code = 0);
  const WideString& Message() const { return message_; }
  int32_t Code() const { return code_; }
  // The message as UTF-8.
  const char* what() const noexcept override { return utf8_.c_str(); }
  // The class reference of the exception's own (most derived) class.
  virtual EVoExceptionClass ClassType() const;
  static constexpr std::u16string_view ClassName = u"EVoException";

 private:
  WideString message_;
  std::string utf8_;
  int32_t code_;
};

template <class T>
constexpr EVoExceptionClass VoExceptionClassOf();

class EVoAbort : public EVoException {
 public:
  using EVoException::EVoException;
  ORBA_EXCEPTION_CLASS_BODY(EVoAbort)
};

// Bad conversions, among them a Format string that does not fit its arguments. Its
// code is E_INVALIDARG (0x80070057).
class EConvertError : public EVoException {
 public:
  explicit EConvertError(WideString message, int32_t code = kInvalidArgument)
      : EVoException(std::move(message), code) {}
  ORBA_EXCEPTION_CLASS_BODY(EConvertError)
  static constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057);
};

namespace detail {
template <class T>
std::exception_ptr CreateVoExceptionOf(const WideString& message, int32_t code) {
  return std::make_exception_ptr(T(message, code));
}
template <class T>
inline constexpr TVoExceptionClassInfo kVoExceptionClassInfo{T::ClassName, std::is_base_of_v<EVoAbort, T>,
                                                             &CreateVoExceptionOf<T>};
}  // namespace detail

// The class reference of exception class T (EVoException or a class derived from it
// that uses ORBA_EXCEPTION_CLASS_BODY).
template <class T>
constexpr EVoExceptionClass VoExceptionClassOf() {
  static_assert(std::is_base_of_v<EVoException, T>);
  return &detail::kVoExceptionClassInfo<T>;
}

// Registers cls for code in group (replacing an earlier registration). Registration
// normally happens at start-up; lookups may come from any thread. A null cls throws
// EVoException with E_INVALIDARG.
void VoRegisterExceptionClass(std::u16string_view group, int32_t code, EVoExceptionClass cls);
// Sets the class that VoCreateException builds for codes of group that have no class
// of their own. Without one the group falls back to EVoException.
void VoRegisterDefaultExceptionClass(std::u16string_view group, EVoExceptionClass cls);

// The class registered for code in group, or nullptr. Groups match case-sensitively.
EVoExceptionClass VoGetExceptionClass(std::u16string_view group, int32_t code);
// As above; with useDefault a code without a class answers the group's default class
// (EVoException's when the group has none) instead of nullptr.
EVoExceptionClass VoGetExceptionClass(std::u16string_view group, int32_t code, bool useDefault);

// Builds, without raising, the exception of the class registered for code in group
// (the group's default class when the code has none), with text and code.
std::exception_ptr VoCreateException(std::u16string_view group, int32_t code, const WideString& text);

}  // namespace orba
