// The exception family of the code base. EVoException carries a UTF-16 message and a
// signed 32-bit code (an HRESULT or a library code); EVoAbort is the silent abort root
// that catch-all error handlers let pass.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "orba/common/types.h"

namespace orba {

class EVoException : public std::exception {
 public:
  explicit EVoException(WideString message, int32_t code = 0);
  const WideString& Message() const { return message_; }
  int32_t Code() const { return code_; }
  // The message as UTF-8.
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  WideString message_;
  std::string utf8_;
  int32_t code_;
};

class EVoAbort : public EVoException {
 public:
  using EVoException::EVoException;
};

}  // namespace orba
