#include "orba/common/comptr.h"
#include "orba/common/types.h"

#include <gtest/gtest.h>

namespace {

// A minimal counted object to watch ComPtr's reference handling.
struct Counted : IUnknown {
  ULONG refs = 1;
  bool destroyed = false;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown)) { *out = nullptr; return E_NOINTERFACE; }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    if (--refs == 0) destroyed = true;
    return refs;
  }
};

TEST(ComPtr, CountsReferencesThroughCopyMoveAndReset) {
  Counted obj;
  {
    orba::ComPtr<IUnknown> a(&obj);
    EXPECT_EQ(obj.refs, 2u);
    orba::ComPtr<IUnknown> b = a;
    EXPECT_EQ(obj.refs, 3u);
    orba::ComPtr<IUnknown> c = std::move(b);
    EXPECT_EQ(obj.refs, 3u);
    EXPECT_FALSE(b);
    c = nullptr;
    EXPECT_EQ(obj.refs, 2u);
  }
  EXPECT_EQ(obj.refs, 1u);
  auto adopted = orba::ComPtr<IUnknown>::Attach(&obj);
  EXPECT_EQ(obj.refs, 1u);
  adopted.Reset();
  EXPECT_TRUE(obj.destroyed);
}

TEST(ComPtr, QueryAnswersEmptyForMissingInterface) {
  Counted obj;
  orba::ComPtr<IUnknown> p(&obj);
  EXPECT_TRUE(p.Query<IUnknown>(IID_IUnknown));
  EXPECT_FALSE(p.Query<IStream>(IID_IStream));
  EXPECT_EQ(obj.refs, 2u);
}

TEST(Bool16, TrueIsAllBitsSet) {
  EXPECT_EQ(orba::bool16(true).Raw(), 0xFFFF);
  EXPECT_EQ(orba::bool16(false).Raw(), 0);
  EXPECT_TRUE(orba::bool16::FromRaw(1));
  EXPECT_FALSE(orba::bool16::FromRaw(0));
}

}  // namespace
