#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/filetime.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"
#include "orba/common/comobject.h"
#include "utilities/conversationindex.h"

using namespace orba::store;

namespace {

// --- Conversation indexes -----------------------------------------------------

constexpr GUID kThread = {0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};

TEST(ConversationIndex, HeaderLayout) {
  uint64_t now = 0x01D046C6FC123456ull;
  std::vector<BYTE> index = NewConversationIndex(now, kThread);
  std::vector<BYTE> expected = {0x01, 0x01, 0xD0, 0x46, 0xC6, 0xFC, 0x11, 0x22, 0x33, 0x44, 0x55,
                                0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00};
  EXPECT_EQ(index, expected);
  EXPECT_EQ(ConversationIndexTime(index.data()), 0x01D046C6FC000000ull);
}

// A child block keeps the parent's bytes and adds the time since the parent: in units of
// 2^18 ticks with the top bit clear, or, beyond what 31 bits hold, 2^23 ticks with it set.
TEST(ConversationIndex, ChildBlockCodesTheDeltaFineOrCoarse) {
  constexpr uint64_t kStart = 0x01D046C6FC000000ull;
  constexpr uint64_t kHour = 3600ull * 10000000ull;
  std::vector<BYTE> parent = NewConversationIndex(kStart, kThread);
  for (auto [delta, coarse] : {std::pair{kHour, 0u}, {3ull * 365 * 24 * kHour, 1u}}) {
    std::vector<BYTE> child = ChildConversationIndex(parent.data(), parent.size(), kStart + delta, 0x5A);
    ASSERT_EQ(child.size(), 27u);
    EXPECT_TRUE(std::equal(parent.begin(), parent.end(), child.begin()));
    uint32_t block = (uint32_t{child[22]} << 24) | (child[23] << 16) | (child[24] << 8) | child[25];
    EXPECT_EQ(block >> 31, coarse);
    EXPECT_EQ(block & 0x7FFFFFFF, static_cast<uint32_t>(delta >> (coarse ? 23 : 18)));
    EXPECT_EQ(child[26], 0x5A);
  }
}

TEST(ConversationIndex, ChildrenChainAndClockSkewGivesZeroDelta) {
  uint64_t start = 0x01D046C6FC000000ull;
  std::vector<BYTE> parent = NewConversationIndex(start, kThread);
  std::vector<BYTE> first = ChildConversationIndex(parent.data(), parent.size(), start - 1000, 1);
  EXPECT_EQ(first[22] | first[23] | first[24] | first[25], 0);
  std::vector<BYTE> second = ChildConversationIndex(first.data(), first.size(), start, 2);
  EXPECT_EQ(second.size(), 32u);
}

TEST(ConversationIndex, EntryPointCreatesAndExtends) {
  ULONG cb = 0;
  LPBYTE index = nullptr;
  ASSERT_EQ(ScCreateConversationIndex(0, nullptr, &cb, &index), S_OK);
  ASSERT_EQ(cb, 22u);
  EXPECT_EQ(index[0], 0x01);
  uint64_t headerTime = ConversationIndexTime(index);
  uint64_t now = static_cast<uint64_t>(NowFileTime());
  EXPECT_LE(headerTime, now);
  EXPECT_GT(headerTime + (1ull << 24), now - 10ull * 10000000ull);  // within seconds of now
  EXPECT_EQ(index[12] >> 4, 4);                                     // a random GUID's version

  ULONG cbChild = 0;
  LPBYTE child = nullptr;
  ASSERT_EQ(ScCreateConversationIndex(cb, index, &cbChild, &child), S_OK);
  EXPECT_EQ(cbChild, 27u);
  EXPECT_TRUE(std::equal(index, index + 22, child));
  MAPIFreeBuffer(index);
  MAPIFreeBuffer(child);
}

TEST(ConversationIndex, EntryPointRefusesBadInput) {
  ULONG cb = 0;
  LPBYTE index = nullptr;
  BYTE shortParent[10] = {1};
  BYTE oddParent[24] = {1};
  EXPECT_EQ(ScCreateConversationIndex(0, nullptr, nullptr, &index), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCreateConversationIndex(0, nullptr, &cb, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCreateConversationIndex(22, nullptr, &cb, &index), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCreateConversationIndex(sizeof(shortParent), shortParent, &cb, &index), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCreateConversationIndex(sizeof(oddParent), oddParent, &cb, &index), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(index, nullptr);
}

// --- HrQueryAllRows ----------------------------------------------------------------

constexpr ULONG kTagNumber = PROP_TAG(PT_LONG, 0x6001);
constexpr ULONG kTagName = PROP_TAG(PT_STRING8, 0x6002);

// A small table over numbered rows, supporting what HrQueryAllRows uses: one
// column set, RES_PROPERTY on the number with RELOP_GT, one ascending or
// descending sort key on the number.
class NumberTable : public orba::TVoComObject<orba::TVoRefCounted, IMAPITable> {
 public:
  explicit NumberTable(std::vector<LONG> numbers) : all_(std::move(numbers)), view_(all_) {}

  HRESULT failQueryRows = S_OK;
  LONG extraRowsAfterCount = 0;  // rows that appear after GetRowCount answered

  STDMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(Advise)(ULONG, LPMAPIADVISESINK, ULONG_PTR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(Unadvise)(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetStatus)(ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SetColumns)(LPSPropTagArray tags, ULONG) override {
    columns_.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
    return S_OK;
  }
  STDMETHOD(QueryColumns)(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetRowCount)(ULONG, ULONG* count) override {
    *count = static_cast<ULONG>(view_.size());
    for (LONG i = 0; i < extraRowsAfterCount; ++i) view_.push_back(1000 + i);
    return S_OK;
  }
  STDMETHOD(SeekRow)(BOOKMARK origin, LONG count, LONG*) override {
    if (origin == BOOKMARK_BEGINNING && count == 0) cursor_ = 0;
    return S_OK;
  }
  STDMETHOD(SeekRowApprox)(ULONG, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(QueryPosition)(ULONG*, ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(FindRow)(LPSRestriction, BOOKMARK, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(Restrict)(LPSRestriction res, ULONG) override {
    LONG above = res->res.resProperty.lpProp->Value.l;
    view_.clear();
    for (LONG n : all_)
      if (n > above) view_.push_back(n);
    return S_OK;
  }
  STDMETHOD(CreateBookmark)(BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(FreeBookmark)(BOOKMARK) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SortTable)(LPSSortOrderSet sort, ULONG) override {
    bool descending = sort->aSort[0].ulOrder == TABLE_SORT_DESCEND;
    std::sort(view_.begin(), view_.end(), [&](LONG a, LONG b) { return descending ? a > b : a < b; });
    return S_OK;
  }
  STDMETHOD(QuerySortOrder)(LPSSortOrderSet*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(QueryRows)(LONG count, ULONG, LPSRowSet* out) override {
    if (FAILED(failQueryRows)) return failQueryRows;
    size_t n = std::min<size_t>(static_cast<size_t>(count), view_.size() - cursor_);
    auto rows = TMapiBuffer<SRowSet>::Allocate(CbNewSRowSet(n));
    rows->cRows = static_cast<ULONG>(n);
    for (size_t i = 0; i < n; ++i) {
      SRow& row = rows->aRow[i];
      row.cValues = static_cast<ULONG>(columns_.size());
      row.lpProps = AllocateBufferOf<SPropValue>(columns_.size());
      for (size_t c = 0; c < columns_.size(); ++c) {
        SPropValue& v = row.lpProps[c];
        v.ulPropTag = columns_[c];
        LONG number = view_[cursor_ + i];
        if (columns_[c] == kTagNumber) {
          v.Value.l = number;
        } else {
          std::string text = "row " + std::to_string(number);
          v.Value.lpszA = AllocateMoreOf<char>(text.size() + 1, row.lpProps);
          std::copy(text.begin(), text.end(), v.Value.lpszA);
        }
      }
    }
    cursor_ += n;
    *out = rows.Release();
    return S_OK;
  }
  STDMETHOD(Abort)() override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(ExpandRow)(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(CollapseRow)(ULONG, LPBYTE, ULONG, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(WaitForCompletion)(ULONG, ULONG, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetCollapseState)(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SetCollapseState)(ULONG, ULONG, LPBYTE, BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }

 private:
  std::vector<LONG> all_;
  std::vector<LONG> view_;
  std::vector<ULONG> columns_{kTagNumber};
  size_t cursor_ = 0;
};

std::vector<LONG> Numbers(LPSRowSet rows) {
  std::vector<LONG> result;
  for (ULONG i = 0; i < rows->cRows; ++i) result.push_back(rows->aRow[i].lpProps[0].Value.l);
  return result;
}

std::vector<LONG> Range(LONG count) {
  std::vector<LONG> numbers;
  for (LONG i = 0; i < count; ++i) numbers.push_back(i);
  return numbers;
}

TEST(HrQueryAllRows, ReadsEveryRowAcrossBatchesFromTheStart) {
  auto table = orba::MakeComObject<NumberTable>(Range(600));
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 600u);
  EXPECT_EQ(Numbers(rows), Range(600));
  FreeProws(rows);
}

TEST(HrQueryAllRows, AppliesColumnsRestrictionAndSortInOrder) {
  auto table = orba::MakeComObject<NumberTable>(std::vector<LONG>{5, 1, 9, 3, 7});
  SizedSPropTagArray<2> columns = {2, {kTagNumber, kTagName}};
  SPropValue limit = {};
  limit.ulPropTag = kTagNumber;
  limit.Value.l = 2;
  SRestriction res = {};
  res.rt = RES_PROPERTY;
  res.res.resProperty = {RELOP_GT, kTagNumber, &limit};
  SizedSSortOrderSet<1> sort = {1, 0, 0, {{kTagNumber, TABLE_SORT_DESCEND}}};
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(table.get(), columns.Ptr(), &res, sort.Ptr(), 10, &rows), S_OK);
  EXPECT_EQ(Numbers(rows), (std::vector<LONG>{9, 7, 5, 3}));
  ASSERT_EQ(rows->aRow[0].cValues, 2u);
  EXPECT_STREQ(rows->aRow[0].lpProps[1].Value.lpszA, "row 9");
  FreeProws(rows);
}

// Each case: the table's rows, rows that appear once counted, a failure of QueryRows,
// the row limit, and the result (with the rows read on success).
TEST(HrQueryAllRows, LimitsEmptyTablesAndFailures) {
  struct TCase {
    LONG rows, extra;
    HRESULT fail;
    LONG limit;
    HRESULT code;
  };
  for (const TCase& c :
       {TCase{0, 0, S_OK, 0, S_OK}, TCase{11, 0, S_OK, 10, MAPI_E_TABLE_TOO_BIG}, TCase{11, 0, S_OK, 11, S_OK},
        // Rows added while reading still count against the limit.
        TCase{8, 5, S_OK, 10, MAPI_E_TABLE_TOO_BIG}, TCase{3, 0, MAPI_E_BUSY, 0, MAPI_E_BUSY}}) {
    auto table = orba::MakeComObject<NumberTable>(Range(c.rows));
    table->extraRowsAfterCount = c.extra;
    table->failQueryRows = c.fail;
    LPSRowSet rows = nullptr;
    EXPECT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, c.limit, &rows), c.code) << c.rows;
    if (FAILED(c.code)) {
      EXPECT_EQ(rows, nullptr);  // and the rows read so far were freed (sanitizer build)
      continue;
    }
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(Numbers(rows), Range(c.rows));
    FreeProws(rows);
  }
}

TEST(HrQueryAllRows, BadArguments) {
  auto table = orba::MakeComObject<NumberTable>(Range(3));
  LPSRowSet rows = nullptr;
  EXPECT_EQ(HrQueryAllRows(nullptr, nullptr, nullptr, nullptr, 0, &rows), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, -1, &rows), MAPI_E_INVALID_PARAMETER);
}

}  // namespace
