#include "orba/common/comobject.h"

#include <gtest/gtest.h>

namespace {

struct IFirst : IUnknown {
  virtual int First() = 0;
};
struct ISecond : IFirst {
  virtual int Second() = 0;
};
struct IOther : IUnknown {
  virtual int Other() = 0;
};
constexpr IID IID_IFirst = {0x11111111, 0, 0, {1, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_ISecond = {0x22222222, 0, 0, {2, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_IOther = {0x33333333, 0, 0, {3, 0, 0, 0, 0, 0, 0, 0}};

}  // namespace

ORBA_DECLARE_INTERFACE(IFirst, IUnknown, IID_IFirst);
ORBA_DECLARE_INTERFACE(ISecond, IFirst, IID_ISecond);
ORBA_DECLARE_INTERFACE(IOther, IUnknown, IID_IOther);

namespace {

int g_destroyed = 0;

class Both : public orba::TVoComObject<orba::TVoRefCounted, ISecond, IOther> {
 public:
  ~Both() override { ++g_destroyed; }
  int First() override { return 1; }
  int Second() override { return 2; }
  int Other() override { return 3; }
};

TEST(ComObject, AnswersEveryInterfaceOfTheChainsAndIsDestroyedAtLastRelease) {
  g_destroyed = 0;
  {
    auto obj = orba::MakeComObject<Both>();
    auto first = obj.Query<IFirst>(IID_IFirst);
    ASSERT_TRUE(first);
    auto other = first.Query<IOther>(IID_IOther);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->Other(), 3);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(obj->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(obj->QueryInterface(IID_IFirst, nullptr), E_POINTER);
    EXPECT_EQ(obj->RefCount(), 3u);
  }
  EXPECT_EQ(g_destroyed, 1);
}

}  // namespace
