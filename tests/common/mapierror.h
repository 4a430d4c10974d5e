// EXPECT_RAISES(statement, E, code, text): the statement raises an exception of class E
// with this code and this message (text as UTF-8 or UTF-16). EXPECT_MAPI_ERROR is the
// same for any exception of the library's family; CodeOf and MessageOf tell only the code
// or only the message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba::test {

inline std::string Utf8Of(std::string_view text) { return std::string(text); }
inline std::string Utf8Of(std::u16string_view text) { return ::orba::ToUtf8(text); }

// The code of the library's exception that f raises (0 when it raises none).
template <class F>
int32_t CodeOf(F&& f) {
  try {
    f();
  } catch (const EVoException& e) {
    return e.Code();
  }
  return 0;
}

// The message (UTF-8) of the library's exception that f raises ("" when it raises none).
template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const EVoException& e) {
    return ::orba::ToUtf8(e.Message());
  }
  return "";
}

}  // namespace orba::test

#define EXPECT_RAISES(statement, E, code, text)                              \
  try {                                                                      \
    statement;                                                               \
    ADD_FAILURE() << "no exception from " #statement;                        \
  } catch (const E& e) {                                                     \
    EXPECT_EQ(static_cast<uint32_t>(e.Code()), static_cast<uint32_t>(code)); \
    EXPECT_EQ(::orba::ToUtf8(e.Message()), ::orba::test::Utf8Of(text));      \
  }

#define EXPECT_MAPI_ERROR(statement, code, text) EXPECT_RAISES(statement, ::orba::EVoException, code, text)
