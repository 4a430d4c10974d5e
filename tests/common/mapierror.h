// EXPECT_MAPI_ERROR(statement, code, text): the statement raises an exception of the
// library's family with this code and this message (text is UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

#define EXPECT_MAPI_ERROR(statement, code, text)                             \
  try {                                                                      \
    statement;                                                               \
    ADD_FAILURE() << "no exception from " #statement;                        \
  } catch (const ::orba::EVoException& e) {                                  \
    EXPECT_EQ(static_cast<uint32_t>(e.Code()), static_cast<uint32_t>(code)); \
    EXPECT_EQ(::orba::ToUtf8(e.Message()), std::string(text));               \
  }
