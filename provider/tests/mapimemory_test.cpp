#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

using namespace orba::store;

namespace {

bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

TEST(MapiMemory, BufferIsAlignedAndZeroed) {
  void* p = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(37, &p), S_OK);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Aligned16(p));
  for (int i = 0; i < 37; ++i) EXPECT_EQ(static_cast<BYTE*>(p)[i], 0);
  EXPECT_TRUE(IsMapiBuffer(p));
  EXPECT_EQ(MAPIFreeBuffer(p), S_OK);
}

TEST(MapiMemory, ZeroSizedBufferIsValid) {
  void* p = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(0, &p), S_OK);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(MAPIFreeBuffer(p), S_OK);
}

TEST(MapiMemory, NullOutParameterIsRefused) {
  EXPECT_EQ(MAPIAllocateBuffer(8, nullptr), MAPI_E_INVALID_PARAMETER);
  void* parent = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(8, &parent), S_OK);
  EXPECT_EQ(MAPIAllocateMore(8, parent, nullptr), MAPI_E_INVALID_PARAMETER);
  MAPIFreeBuffer(parent);
}

TEST(MapiMemory, MoreBlocksAreFreedWithTheirBuffer) {
  // Run under the sanitizer build, a leak here fails the test program.
  void* parent = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &parent), S_OK);
  std::vector<void*> blocks;
  for (int i = 0; i < 100; ++i) {
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(static_cast<ULONG>(i * 7 + 1), parent, &more), S_OK);
    EXPECT_TRUE(Aligned16(more));
    EXPECT_FALSE(IsMapiBuffer(more));
    static_cast<BYTE*>(more)[0] = static_cast<BYTE>(i);
    blocks.push_back(more);
  }
  for (int i = 0; i < 100; ++i) EXPECT_EQ(static_cast<BYTE*>(blocks[i])[0], i);
  EXPECT_EQ(MAPIFreeBuffer(parent), S_OK);
}

TEST(MapiMemory, MoreOnAChainedBlockJoinsItsBuffer) {
  void* parent = nullptr;
  void* first = nullptr;
  void* second = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &parent), S_OK);
  ASSERT_EQ(MAPIAllocateMore(16, parent, &first), S_OK);
  ASSERT_EQ(MAPIAllocateMore(16, first, &second), S_OK);
  // A chained block is not a buffer: freeing it alone is refused and frees nothing.
  EXPECT_EQ(MAPIFreeBuffer(first), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  static_cast<BYTE*>(second)[15] = 1;
  EXPECT_EQ(MAPIFreeBuffer(parent), S_OK);
}

TEST(MapiMemory, MoreOnSomethingElseIsRefused) {
  alignas(16) BYTE local[128] = {};
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(MAPIAllocateMore(8, local + 64, &out), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(MAPIAllocateMore(8, nullptr, &out), MAPI_E_INVALID_PARAMETER);
}

TEST(MapiMemory, FreeingNullOrForeignMemoryDoesNotCrash) {
  EXPECT_EQ(MAPIFreeBuffer(nullptr), S_OK);
  alignas(16) BYTE local[128] = {};
  EXPECT_EQ(MAPIFreeBuffer(local + 64), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  EXPECT_EQ(MAPIFreeBuffer(local + 65), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  EXPECT_EQ(MAPIFreeBuffer(reinterpret_cast<void*>(16)), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
}

TEST(MapiMemory, DefaultMallocBlocksAreNotMapiBuffers) {
  LPMALLOC malloc = MAPIGetDefaultMalloc();
  void* p = malloc->Alloc(32);
  EXPECT_EQ(MAPIFreeBuffer(p), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  malloc->Free(p);
}

TEST(MapiMemory, ConcurrentAllocateMoreOnOneBuffer) {
  void* parent = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(8, &parent), S_OK);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        void* more = nullptr;
        if (MAPIAllocateMore(24, parent, &more) != S_OK) ++failures;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(MAPIFreeBuffer(parent), S_OK);
}

TEST(MapiMemory, MapiBufferHolderFreesAndReleases) {
  {
    auto held = TMapiBuffer<SPropValue>::Allocate();
    ASSERT_TRUE(held);
    AllocateMoreOf<BYTE>(100, held.get());
  }
  auto held = TMapiBuffer<ULONG>::Allocate(4 * sizeof(ULONG));
  ULONG* raw = held.Release();
  EXPECT_FALSE(held);
  EXPECT_TRUE(IsMapiBuffer(raw));
  MAPIFreeBuffer(raw);
  TMapiBuffer<BYTE> slot;
  ASSERT_EQ(MAPIAllocateBuffer(4, reinterpret_cast<void**>(slot.Out())), S_OK);
  EXPECT_TRUE(slot);
}

TEST(MapiMemory, ThrowingHelpersReportBadParents) {
  alignas(16) BYTE local[64] = {};
  try {
    AllocateMore(8, local + 48);
    FAIL() << "expected TMapiError";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_INVALID_PARAMETER);
  }
}

TEST(TDefaultMalloc, IsASingletonIMalloc) {
  LPMALLOC a = MAPIGetDefaultMalloc();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, MAPIGetDefaultMalloc());
  IMalloc* queried = nullptr;
  ASSERT_EQ(a->QueryInterface(IID_IMalloc, reinterpret_cast<void**>(&queried)), S_OK);
  EXPECT_EQ(queried, a);
  queried->Release();
  void* none = nullptr;
  EXPECT_EQ(a->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
  EXPECT_EQ(a->QueryInterface(IID_IMalloc, nullptr), E_POINTER);
  a->AddRef();
  a->Release();
}

TEST(TDefaultMalloc, AllocReallocGetSizeDidAlloc) {
  LPMALLOC m = MAPIGetDefaultMalloc();
  auto* p = static_cast<BYTE*>(m->Alloc(10));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Aligned16(p));
  for (int i = 0; i < 10; ++i) p[i] = static_cast<BYTE>(i);
  EXPECT_EQ(m->GetSize(p), 10u);
  EXPECT_EQ(m->DidAlloc(p), 1);
  EXPECT_EQ(m->DidAlloc(nullptr), -1);
  alignas(16) BYTE local[128] = {};
  EXPECT_EQ(m->DidAlloc(local + 64), 0);

  auto* q = static_cast<BYTE*>(m->Realloc(p, 1000));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(m->GetSize(q), 1000u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(q[i], i);
  auto* r = static_cast<BYTE*>(m->Realloc(q, 4));
  EXPECT_EQ(m->GetSize(r), 4u);
  EXPECT_EQ(r[3], 3);
  EXPECT_EQ(m->Realloc(r, 0), nullptr);  // frees

  void* fresh = m->Realloc(nullptr, 8);
  EXPECT_EQ(m->GetSize(fresh), 8u);
  m->Free(fresh);
  m->Free(nullptr);
  m->Free(local + 64);  // not ours: ignored
  m->HeapMinimize();
}

TEST(RowSets, FreeProwsFreesEveryRow) {
  LPSRowSet rows = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(3)), reinterpret_cast<void**>(&rows)), S_OK);
  rows->cRows = 3;
  for (ULONG i = 0; i < 3; ++i) {
    ASSERT_EQ(MAPIAllocateBuffer(sizeof(SPropValue) * 2, reinterpret_cast<void**>(&rows->aRow[i].lpProps)), S_OK);
    rows->aRow[i].cValues = 2;
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(64, rows->aRow[i].lpProps, &more), S_OK);
  }
  FreeProws(rows);
  FreeProws(nullptr);
}

TEST(RowSets, FreePadrlistFreesEveryEntry) {
  LPADRLIST list = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(2)), reinterpret_cast<void**>(&list)), S_OK);
  list->cEntries = 2;
  ASSERT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&list->aEntries[0].rgPropVals)), S_OK);
  list->aEntries[0].cValues = 1;
  list->aEntries[1].rgPropVals = nullptr;  // an empty entry is fine
  FreePadrlist(list);
  FreePadrlist(nullptr);
}

}  // namespace
