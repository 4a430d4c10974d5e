#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "orba/common/exceptions.h"

namespace {

using orba::EVoAbort;
using orba::EVoException;
using orba::VoExceptionClassOf;

ORBA_DECLARE_EXCEPTION_CLASS(ETestError, EVoException);
ORBA_DECLARE_EXCEPTION_CLASS(ETestSubError, ETestError);
ORBA_DECLARE_EXCEPTION_CLASS(ETestAbort, EVoAbort);
ORBA_DECLARE_EXCEPTION_CLASS(ETestDefault, EVoException);

TEST(ExceptionClass, DescriptorFactoryAndClassType) {
  auto cls = VoExceptionClassOf<ETestSubError>();
  EXPECT_EQ(cls->Name, u"ETestSubError");
  EXPECT_FALSE(cls->IsAbort);
  EXPECT_TRUE(VoExceptionClassOf<ETestAbort>()->IsAbort);
  EXPECT_TRUE(VoExceptionClassOf<EVoAbort>()->IsAbort);
  EXPECT_EQ(VoExceptionClassOf<EVoException>()->Name, u"EVoException");
  EXPECT_EQ(cls, VoExceptionClassOf<ETestSubError>());
  EXPECT_NE(cls, VoExceptionClassOf<ETestError>());
  auto ptr = VoExceptionClassOf<ETestSubError>()->Create(u"built", 17);
  try {
    std::rethrow_exception(ptr);
  } catch (const ETestError& e) {
    EXPECT_EQ(e.Message(), u"built");
    EXPECT_EQ(e.Code(), 17);
    EXPECT_STREQ(e.what(), "built");
    EXPECT_EQ(e.ClassType(), VoExceptionClassOf<ETestSubError>());
  }
  ETestSubError sub(u"x");
  const EVoException& base = sub;
  EXPECT_EQ(base.ClassType()->Name, u"ETestSubError");
  EXPECT_EQ(EVoException(u"x").ClassType()->Name, u"EVoException");
  EXPECT_EQ(orba::EConvertError(u"x").ClassType()->Name, u"EConvertError");
}

TEST(ExceptionRegistry, LooksUpByGroupAndCode) {
  orba::VoRegisterExceptionClass(u"TEST", 1, VoExceptionClassOf<ETestError>());
  orba::VoRegisterExceptionClass(u"TEST", 2, VoExceptionClassOf<ETestAbort>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestError>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 2), VoExceptionClassOf<ETestAbort>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 3), nullptr);
  EXPECT_EQ(orba::VoGetExceptionClass(u"OTHER", 1), nullptr);
  EXPECT_EQ(orba::VoGetExceptionClass(u"test", 1), nullptr);
  // A later registration replaces; a null class is refused and changes nothing.
  orba::VoRegisterExceptionClass(u"TEST", 1, VoExceptionClassOf<ETestSubError>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestSubError>());
  EXPECT_THROW(orba::VoRegisterExceptionClass(u"TEST", 1, nullptr), EVoException);
  EXPECT_THROW(orba::VoRegisterDefaultExceptionClass(u"TEST", nullptr), EVoException);
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST", 1), VoExceptionClassOf<ETestSubError>());
}

TEST(ExceptionRegistry, DefaultClassOnlyWhenAskedFor) {
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-NODEFAULT", 9, true), VoExceptionClassOf<EVoException>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-NODEFAULT", 9, false), nullptr);
  orba::VoRegisterDefaultExceptionClass(u"TEST-DEFAULT", VoExceptionClassOf<ETestDefault>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-DEFAULT", 9, true), VoExceptionClassOf<ETestDefault>());
  EXPECT_EQ(orba::VoGetExceptionClass(u"TEST-DEFAULT", 9), nullptr);
}

TEST(ExceptionRegistry, CreateBuildsTheRegisteredClassOrTheGroupDefaultWithoutRaising) {
  orba::VoRegisterExceptionClass(u"TEST-CREATE", 42, VoExceptionClassOf<ETestAbort>());
  std::exception_ptr ptr = orba::VoCreateException(u"TEST-CREATE", 42, u"cancelled");
  ASSERT_TRUE(ptr);
  EXPECT_THROW(std::rethrow_exception(ptr), ETestAbort);
  try {
    std::rethrow_exception(ptr);
  } catch (const EVoAbort& e) {
    EXPECT_EQ(e.Message(), u"cancelled");
    EXPECT_EQ(e.Code(), 42);
  }
  orba::VoRegisterDefaultExceptionClass(u"TEST-CREATE-DEFAULT", VoExceptionClassOf<ETestDefault>());
  EXPECT_THROW(std::rethrow_exception(orba::VoCreateException(u"TEST-CREATE-DEFAULT", 7, u"x")), ETestDefault);
  try {
    std::rethrow_exception(orba::VoCreateException(u"TEST-UNKNOWN-GROUP", 7, u"plain"));
  } catch (const EVoException& e) {
    EXPECT_EQ(e.ClassType(), VoExceptionClassOf<EVoException>());
    EXPECT_EQ(e.Code(), 7);
  }
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
