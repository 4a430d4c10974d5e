// Helpers shared by the property registry tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba::testing {

// Runs f and checks that it raises an EVoException of class E with code and text.
template <class E = EVoException>
void ExpectRaises(const std::function<void()>& f, int32_t code, const WideString& text) {
  try {
    f();
    ADD_FAILURE() << "no exception raised";
  } catch (const E& e) {
    EXPECT_EQ(e.Code(), code);
    EXPECT_EQ(ToUtf8(e.Message()), ToUtf8(text));
  }
}

}  // namespace orba::testing
