// Basic value types shared by the whole code base.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

// UTF-16 text, as MAPI's wide strings are.
using WideString = std::u16string;
// 8-bit text in a code page (the process's system code page unless said otherwise).
using AnsiString = std::string;
// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// The 16-bit boolean of the automation interfaces: true is all bits set.
class bool16 {
 public:
  constexpr bool16() = default;
  constexpr bool16(bool value) : value_(value ? 0xFFFF : 0) {}
  constexpr operator bool() const { return value_ != 0; }
  constexpr uint16_t Raw() const { return value_; }
  static constexpr bool16 FromRaw(uint16_t raw) {
    bool16 b;
    b.value_ = raw;
    return b;
  }

 private:
  uint16_t value_ = 0;
};
static_assert(sizeof(bool16) == 2);

}  // namespace orba
