// MAPI memory: buffers and their chained blocks, the default allocator, row sets and
// address lists, and refusals of memory that is not MAPI's.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "testsupport.h"

namespace orba::store {
namespace {

bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

TEST(MapiMemory, BuffersAndChainedBlocksAreAlignedZeroedAndFreedTogether) {
  for (ULONG size : {0u, 37u}) {
    void* p = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(size, &p), S_OK);
    EXPECT_TRUE(p && Aligned16(p) && IsMapiBuffer(p));
    for (ULONG i = 0; i < size; ++i) EXPECT_EQ(static_cast<BYTE*>(p)[i], 0);
    EXPECT_EQ(MAPIFreeBuffer(p), S_OK);
  }
  // Blocks chained to a buffer, or to a block of it, are freed with the buffer (the
  // sanitizer build reports any leak); a block alone is not a buffer.
  void* parent = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &parent), S_OK);
  void* block = parent;
  for (int i = 0; i < 100; ++i) {
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(static_cast<ULONG>(i * 7 + 1), i % 2 ? block : parent, &more), S_OK);
    EXPECT_TRUE(Aligned16(more));
    EXPECT_FALSE(IsMapiBuffer(more));
    block = more;
  }
  EXPECT_EQ(MAPIFreeBuffer(block), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  EXPECT_EQ(MAPIFreeBuffer(parent), S_OK);
}

TEST(MapiMemory, ConcurrentAllocateMoreOnOneBuffer) {
  void* parent = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(8, &parent), S_OK);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
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

TEST(MapiMemory, ForeignOrMissingMemoryIsRefusedWithoutCrashing) {
  alignas(16) BYTE local[128] = {};
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(MAPIAllocateBuffer(8, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPIAllocateMore(8, local + 64, &out), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(MAPIAllocateMore(8, nullptr, &out), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(MAPIFreeBuffer(nullptr), S_OK);
  for (void* p : {static_cast<void*>(local + 64), static_cast<void*>(local + 65), reinterpret_cast<void*>(16)})
    EXPECT_EQ(MAPIFreeBuffer(p), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  EXPECT_EQ(testing::CodeOf([&] { AllocateMore(8, local + 48); }), MAPI_E_INVALID_PARAMETER);
  void* fromMalloc = MAPIGetDefaultMalloc()->Alloc(32);
  EXPECT_EQ(MAPIFreeBuffer(fromMalloc), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  MAPIGetDefaultMalloc()->Free(fromMalloc);
}

TEST(DefaultMalloc, IsOneIMallocThatSizesItsBlocks) {
  LPMALLOC m = MAPIGetDefaultMalloc();
  ASSERT_EQ(m, MAPIGetDefaultMalloc());
  IMalloc* queried = nullptr;
  ASSERT_EQ(m->QueryInterface(IID_IMalloc, reinterpret_cast<void**>(&queried)), S_OK);
  EXPECT_EQ(queried, m);
  queried->Release();
  void* none = nullptr;
  EXPECT_EQ(m->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
  EXPECT_EQ(m->QueryInterface(IID_IMalloc, nullptr), E_POINTER);

  auto* p = static_cast<BYTE*>(m->Alloc(10));
  ASSERT_TRUE(p && Aligned16(p));
  for (int i = 0; i < 10; ++i) p[i] = static_cast<BYTE>(i);
  EXPECT_EQ(m->GetSize(p), 10u);
  alignas(16) BYTE local[128] = {};
  EXPECT_EQ(m->DidAlloc(p), 1);
  EXPECT_EQ(m->DidAlloc(nullptr), -1);
  EXPECT_EQ(m->DidAlloc(local + 64), 0);
  auto* q = static_cast<BYTE*>(m->Realloc(p, 1000));
  EXPECT_EQ(m->GetSize(q), 1000u);
  EXPECT_EQ(q[9], 9);
  auto* r = static_cast<BYTE*>(m->Realloc(q, 4));
  EXPECT_EQ(m->GetSize(r), 4u);
  EXPECT_EQ(r[3], 3);
  EXPECT_EQ(m->Realloc(r, 0), nullptr);  // frees
  void* fresh = m->Realloc(nullptr, 8);
  EXPECT_EQ(m->GetSize(fresh), 8u);
  m->Free(fresh);
  m->Free(nullptr);
  m->Free(local + 64);  // not ours: ignored
}

// FreeProws frees every table row read in these tests (leaks show in the sanitizer build).
TEST(RowSets, FreePadrlistFreesEveryEntryAndTakesNull) {
  LPADRLIST list = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(2)), reinterpret_cast<void**>(&list)), S_OK);
  list->cEntries = 2;
  ASSERT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&list->aEntries[0].rgPropVals)), S_OK);
  FreePadrlist(list);  // the second entry is empty
  FreePadrlist(nullptr);
  FreeProws(nullptr);
}

}  // namespace
}  // namespace orba::store
