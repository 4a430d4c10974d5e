#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "orba/common/exceptions.h"

namespace {

using orba::EVoException;
using orba::VoExceptionClassOf;

ORBA_DECLARE_EXCEPTION_CLASS(ETestError, EVoException);
ORBA_DECLARE_EXCEPTION_CLASS(ETestSubError, ETestError);

TEST(ExceptionRegistry, LooksUpByGroupAndCode) {
  orba::VoRegisterExceptionClass(u"TEST", 1, VoExceptionClassOf<ETestError>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestError>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 3), nullptr);
  EXPECT_EQ(orba::VoGetExceptionClass(u"test", 1), nullptr);
  // A later registration replaces; a null class is refused and changes nothing.
  orba::VoRegisterExceptionClass(u"TEST", 1, VoExceptionClassOf<ETestSubError>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestSubError>());
  EXPECT_THROW(orba::VoRegisterExceptionClass(u"TEST", 1, nullptr), EVoException);
  EXPECT_THROW(orba::VoRegisterDefaultExceptionClass(u"TEST", nullptr), EVoException);
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestSubError>());
}

TEST(ExceptionRegistry, ConcurrentLookupsAndRegistrations) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i) {
        orba::VoRegisterExceptionClass(u"TEST-THREADS", t * 1000 + i, VoExceptionClassOf<ETestError>());
        EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-THREADS", t * 1000 + i), VoExceptionClassOf<ETestError>());
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-THREADS", 3499), VoExceptionClassOf<ETestError>());
}

}  // namespace
