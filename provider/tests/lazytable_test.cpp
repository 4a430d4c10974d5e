// The table engine over a source that hands out pages: the view reads only the rows
// its callers need, yet every answer (rows, seeks, searches, bookmarks, counts,
// positions, notifications) is the one a table over the same rows read at once gives.
// Each lazy table is checked against such a table over a plain memory source that
// gets the same changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mapi/mapiexports.h"
#include "props/tags.h"
#include "table/mapitable.h"
#include "table/restriction.h"

using namespace orba;
using namespace orba::store;

namespace {

constexpr ULONG kNum = PROP_TAG(PT_LONG, 0x6301);
constexpr ULONG kOther = PROP_TAG(PT_LONG, 0x6302);
constexpr uint32_t kRows = 50;

std::string KeyBytes(uint32_t key) { return std::string(reinterpret_cast<char*>(&key), sizeof key); }

// A memory source that applies property restrictions and sorts on kNum itself, exactly
// as the engine does, and hands out pages of them. It records what it is asked for.
class TPagedSource final : public TMemoryRowSource {
 public:
  TPagedSource() : TMemoryRowSource({tags::kInstanceKey, kNum, kOther}) {}

  bool AcceptsRestriction(const SRestriction& restriction) const override { return restriction.rt == RES_PROPERTY; }
  bool AcceptsSort(const SSortOrderSet& sort) const override {
    return sort.cSorts == 1 && sort.aSort[0].ulPropTag == kNum;
  }
  bool CanPage(const SRestriction*, const SSortOrderSet*) const override { return pages; }
  TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const override {
    ++wholeReads;
    return Applied(restriction, sort);
  }
  TRowListPtr RowsPage(const SRestriction* restriction, const SSortOrderSet* sort, size_t offset,
                       size_t limit) const override {
    requests.emplace_back(offset, limit);
    TRowListPtr all = Applied(restriction, sort);
    size_t first = std::min(offset, all->size());
    size_t last = first + std::min(limit, all->size() - first);
    handedOut += last - first;
    return std::make_shared<const TRowList>(all->begin() + static_cast<ptrdiff_t>(first),
                                            all->begin() + static_cast<ptrdiff_t>(last));
  }

  bool pages = true;
  mutable size_t wholeReads = 0;
  mutable size_t handedOut = 0;                             // rows in pages
  mutable std::vector<std::pair<size_t, size_t>> requests;  // (offset, limit) of each page

 private:
  TRowListPtr Applied(const SRestriction* restriction, const SSortOrderSet* sort) const {
    TRowListPtr rows = TMemoryRowSource::Rows(nullptr, nullptr);
    std::optional<TRestriction> test;
    if (restriction) test.emplace(*restriction, TSubRowsFn{});
    TRowList out;
    for (const TRowPtr& row : *rows)
      if (!test || test->Matches(row->Values())) out.push_back(row);
    if (sort) {
      bool descending = (sort->aSort[0].ulOrder & TABLE_SORT_DESCEND) != 0;
      std::stable_sort(out.begin(), out.end(), [&](const TRowPtr& a, const TRowPtr& b) {
        LONG x = FindProp(a->Values(), kNum)->Value.l, y = FindProp(b->Values(), kNum)->Value.l;
        return descending ? x > y : x < y;
      });
    }
    return std::make_shared<const TRowList>(std::move(out));
  }
};

void PutRow(TMemoryRowSource& source, uint32_t key, LONG num) {
  SPropValue values[3] = {};
  values[0].ulPropTag = tags::kInstanceKey;
  values[0].Value.bin = {sizeof(key), reinterpret_cast<LPBYTE>(&key)};
  values[1].ulPropTag = kNum;
  values[1].Value.l = num;
  values[2].ulPropTag = kOther;
  values[2].Value.l = static_cast<LONG>(key % 3);
  source.Put(TPropRow(values, 3));
}

struct RowSetHolder {
  LPSRowSet rows = nullptr;
  ~RowSetHolder() { FreeProws(rows); }
};

// Records the table notifications as (event, key, prior key).
class Sink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct Seen {
    ULONG event;
    std::string key, prior;
    bool operator==(const Seen&) const = default;
  };
  ULONG STDMETHODCALLTYPE OnNotify(ULONG count, LPNOTIFICATION n) override {
    for (ULONG i = 0; i < count; ++i) {
      const TABLE_NOTIFICATION& t = n[i].info.tab;
      Seen s{t.ulTableEvent, {}, {}};
      if (t.propIndex.ulPropTag == tags::kInstanceKey)
        s.key.assign(reinterpret_cast<char*>(t.propIndex.Value.bin.lpb), t.propIndex.Value.bin.cb);
      if (t.propPrior.ulPropTag == tags::kInstanceKey)
        s.prior.assign(reinterpret_cast<char*>(t.propPrior.Value.bin.lpb), t.propPrior.Value.bin.cb);
      seen.push_back(std::move(s));
    }
    return 0;
  }
  std::vector<Seen> seen;
};

using Rows = std::vector<std::pair<uint32_t, LONG>>;

// One table over the paged source and one over a plain copy, driven alike.
class LazyTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Numbers with repeats, so that sorting has ties.
    for (uint32_t key = 1; key <= kRows; ++key) PutBoth(key, static_cast<LONG>((key * 7) % 20));
    lazy = CreateMapiTable(paged);
    whole = CreateMapiTable(plain);
    for (IMAPITable* table : {lazy.get(), whole.get()}) {
      SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
      ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    }
  }
  void PutBoth(uint32_t key, LONG num) {
    PutRow(*paged, key, num);
    PutRow(*plain, key, num);
  }
  void RemoveBoth(uint32_t key) {
    ASSERT_TRUE(paged->Remove(KeyBytes(key)));
    ASSERT_TRUE(plain->Remove(KeyBytes(key)));
  }
  static Rows Read(IMAPITable* table, LONG count, ULONG flags = 0) {
    RowSetHolder h;
    EXPECT_EQ(table->QueryRows(count, flags, &h.rows), S_OK);
    Rows rows;
    for (ULONG i = 0; h.rows && i < h.rows->cRows; ++i) {
      const SPropValue* props = h.rows->aRow[i].lpProps;
      uint32_t key = 0;
      std::memcpy(&key, props[0].Value.bin.lpb, sizeof key);
      rows.emplace_back(key, props[1].Value.l);
    }
    return rows;
  }
  // The same reads from both tables must give the same rows.
  Rows Both(LONG count, ULONG flags = 0) {
    Rows expected = Read(whole.get(), count, flags);
    EXPECT_EQ(Read(lazy.get(), count, flags), expected);
    return expected;
  }
  static ULONG Position(IMAPITable* table) {
    ULONG row = 0, numerator = 0, denominator = 0;
    EXPECT_EQ(table->QueryPosition(&row, &numerator, &denominator), S_OK);
    return row;
  }
  // Both tables hold the same rows in the same order, the cursor on the same row.
  void ExpectSameTables() {
    ULONG lazyAt = Position(lazy.get()), wholeAt = Position(whole.get());
    EXPECT_EQ(lazyAt, wholeAt);
    for (IMAPITable* table : {lazy.get(), whole.get()}) ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    EXPECT_EQ(Read(lazy.get(), 1000), Read(whole.get(), 1000));
    ASSERT_EQ(lazy->SeekRow(BOOKMARK_BEGINNING, static_cast<LONG>(lazyAt), nullptr), S_OK);
    ASSERT_EQ(whole->SeekRow(BOOKMARK_BEGINNING, static_cast<LONG>(wholeAt), nullptr), S_OK);
  }
  // Rows with equal keys keep the order they had before sorting: the table read at
  // once is put back in the source's order first, where the paged source starts.
  void Sort(ULONG tag, ULONG order) {
    SizedSSortOrderSet<1> sort = {1, 0, 0, {{tag, order}}}, none = {0, 0, 0, {}};
    ASSERT_EQ(lazy->SortTable(sort.Ptr(), 0), S_OK);
    ASSERT_EQ(whole->SortTable(none.Ptr(), 0), S_OK);
    ASSERT_EQ(whole->SortTable(sort.Ptr(), 0), S_OK);
  }
  void Restrict(SRestriction* restriction) {
    ASSERT_EQ(lazy->Restrict(restriction, 0), S_OK);
    ASSERT_EQ(whole->Restrict(restriction, 0), S_OK);
  }
  std::shared_ptr<TPagedSource> paged = std::make_shared<TPagedSource>();
  std::shared_ptr<TMemoryRowSource> plain =
      std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kOther});
  ComPtr<IMAPITable> lazy, whole;
};

TEST_F(LazyTableTest, CreatingSortingAndRestrictingReadNothing) {
  Sort(kNum, TABLE_SORT_DESCEND);
  SPropValue ten{};
  ten.ulPropTag = kNum;
  ten.Value.l = 10;
  SRestriction below{};
  below.rt = RES_PROPERTY;
  below.res.resProperty = {RELOP_LT, kNum, &ten};
  Restrict(&below);
  EXPECT_TRUE(paged->requests.empty());
  EXPECT_EQ(paged->wholeReads, 0u);

  Both(3);
  ASSERT_EQ(paged->requests.size(), 1u);
  EXPECT_EQ(paged->requests[0], (std::pair<size_t, size_t>{0, 3}));
  // Later pages double, or are what the call needs when that is more.
  Both(2);
  Both(20);
  ASSERT_EQ(paged->requests.size(), 3u);
  EXPECT_EQ(paged->requests[1], (std::pair<size_t, size_t>{3, 6}));
  EXPECT_EQ(paged->requests[2], (std::pair<size_t, size_t>{9, 16}));
  EXPECT_EQ(paged->wholeReads, 0u);
  ExpectSameTables();
}

TEST_F(LazyTableTest, ReadingForwardAndBackAcrossPages) {
  Sort(kNum, TABLE_SORT_ASCEND);
  Rows all;
  for (;;) {
    Rows batch = Both(7);
    if (batch.empty()) break;
    Both(-3, TBL_NOADVANCE);
    all.insert(all.end(), batch.begin(), batch.end());
  }
  EXPECT_EQ(all.size(), kRows);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](auto& a, auto& b) { return a.second < b.second; }));
  Both(-12);
  Both(5, TBL_NOADVANCE);
  EXPECT_EQ(paged->wholeReads, 0u);
}

TEST_F(LazyTableTest, SeeksCountsAndPositions) {
  LONG lazySought = 0, wholeSought = 0;
  ASSERT_EQ(lazy->SeekRow(BOOKMARK_BEGINNING, 12, &lazySought), S_OK);
  ASSERT_EQ(whole->SeekRow(BOOKMARK_BEGINNING, 12, &wholeSought), S_OK);
  EXPECT_EQ(lazySought, 12);
  EXPECT_EQ(paged->handedOut, 12u);  // no further than the seek
  Both(2);
  ASSERT_EQ(lazy->SeekRow(BOOKMARK_CURRENT, -5, &lazySought), S_OK);
  ASSERT_EQ(whole->SeekRow(BOOKMARK_CURRENT, -5, &wholeSought), S_OK);
  EXPECT_EQ(lazySought, wholeSought);
  Both(3);

  ULONG count = 0;
  ASSERT_EQ(lazy->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, kRows);
  ExpectSameTables();

  // Seeking past the end, from the end and approximately.
  ASSERT_EQ(lazy->Restrict(nullptr, 0), S_OK);  // partly read again
  ASSERT_EQ(whole->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(lazy->SeekRow(BOOKMARK_BEGINNING, 1000, &lazySought), S_OK);
  ASSERT_EQ(whole->SeekRow(BOOKMARK_BEGINNING, 1000, &wholeSought), S_OK);
  EXPECT_EQ(lazySought, wholeSought);
  ASSERT_EQ(lazy->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(whole->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(lazy->SeekRow(BOOKMARK_END, -4, &lazySought), S_OK);
  ASSERT_EQ(whole->SeekRow(BOOKMARK_END, -4, &wholeSought), S_OK);
  EXPECT_EQ(lazySought, wholeSought);
  Both(10);
  ASSERT_EQ(lazy->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(whole->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(lazy->SeekRowApprox(3, 5), S_OK);
  ASSERT_EQ(whole->SeekRowApprox(3, 5), S_OK);
  EXPECT_EQ(Position(lazy.get()), 30u);
  ExpectSameTables();
}

TEST_F(LazyTableTest, FindRowSearchesBeyondTheReadRows) {
  Sort(kNum, TABLE_SORT_ASCEND);
  Both(4);
  SPropValue value{};
  value.ulPropTag = kNum;
  value.Value.l = 5;
  SRestriction equal{};
  equal.rt = RES_PROPERTY;
  equal.res.resProperty = {RELOP_EQ, kNum, &value};
  ASSERT_EQ(lazy->FindRow(&equal, BOOKMARK_CURRENT, 0), S_OK);
  ASSERT_EQ(whole->FindRow(&equal, BOOKMARK_CURRENT, 0), S_OK);
  EXPECT_EQ(paged->handedOut, 28u);  // pages of 4, 8 and 16 rows: it stopped at the row
  EXPECT_EQ(Position(lazy.get()), Position(whole.get()));
  Both(1);

  value.Value.l = 99;
  EXPECT_EQ(lazy->FindRow(&equal, BOOKMARK_CURRENT, 0), MAPI_E_NOT_FOUND);
  value.Value.l = 3;
  ASSERT_EQ(lazy->FindRow(&equal, BOOKMARK_END, DIR_BACKWARD), S_OK);
  ASSERT_EQ(whole->FindRow(&equal, BOOKMARK_END, DIR_BACKWARD), S_OK);
  ExpectSameTables();
}

TEST_F(LazyTableTest, BookmarksAtAndAfterTheReadRows) {
  Both(5);
  // At the end of the rows read so far: the next row, not the end of the table.
  BOOKMARK lazyMark = 0, wholeMark = 0;
  ASSERT_EQ(lazy->CreateBookmark(&lazyMark), S_OK);
  ASSERT_EQ(whole->CreateBookmark(&wholeMark), S_OK);
  Both(-5);
  ASSERT_EQ(lazy->SeekRow(lazyMark, 0, nullptr), S_OK);
  ASSERT_EQ(whole->SeekRow(wholeMark, 0, nullptr), S_OK);
  Both(2);

  // The end of the table, then a Restrict that leaves the bookmarked row out.
  for (IMAPITable* table : {lazy.get(), whole.get()}) ASSERT_EQ(table->SeekRow(BOOKMARK_END, 0, nullptr), S_OK);
  BOOKMARK lazyEnd = 0, wholeEnd = 0;
  ASSERT_EQ(lazy->CreateBookmark(&lazyEnd), S_OK);
  ASSERT_EQ(whole->CreateBookmark(&wholeEnd), S_OK);
  SPropValue zero{};
  zero.ulPropTag = kOther;
  zero.Value.l = 0;
  SRestriction other{};
  other.rt = RES_PROPERTY;
  other.res.resProperty = {RELOP_NE, kOther, &zero};
  Restrict(&other);
  LONG lazySought = 0, wholeSought = 0;
  ASSERT_EQ(lazy->SeekRow(lazyEnd, -2, &lazySought), S_OK);
  ASSERT_EQ(whole->SeekRow(wholeEnd, -2, &wholeSought), S_OK);
  EXPECT_EQ(lazySought, wholeSought);
  Both(3);
  EXPECT_EQ(lazy->SeekRow(lazyMark, 0, nullptr), whole->SeekRow(wholeMark, 0, nullptr));
  ExpectSameTables();
  for (BOOKMARK mark : {lazyMark, lazyEnd}) EXPECT_EQ(lazy->FreeBookmark(mark), S_OK);
}

TEST_F(LazyTableTest, RestrictAndSortStartOverAndSourcesThatCannotPage) {
  Sort(kNum, TABLE_SORT_ASCEND);
  Both(30);
  size_t requests = paged->requests.size();
  // Re-sorting starts over at the beginning and reads nothing until asked.
  Sort(kNum, TABLE_SORT_DESCEND);
  EXPECT_EQ(paged->requests.size(), requests);
  EXPECT_EQ(Position(whole.get()), 0u);
  Both(4);
  EXPECT_EQ(paged->requests.back(), (std::pair<size_t, size_t>{0, 4}));

  // A sort the source does not apply needs every row at once.
  Sort(kOther, TABLE_SORT_ASCEND);
  EXPECT_EQ(paged->wholeReads, 1u);
  ExpectSameTables();
  Sort(kNum, TABLE_SORT_ASCEND);
  Both(3);
  EXPECT_EQ(paged->wholeReads, 1u);

  // A source that cannot page is read at once.
  paged->pages = false;
  requests = paged->requests.size();
  Sort(kNum, TABLE_SORT_DESCEND);
  EXPECT_EQ(paged->wholeReads, 2u);
  Both(10);
  EXPECT_EQ(paged->requests.size(), requests);
  ExpectSameTables();
}

class LazyTableEvents : public LazyTableTest {
 protected:
  void SetUp() override {
    LazyTableTest::SetUp();
    Sort(kNum, TABLE_SORT_ASCEND);
    ULONG_PTR connection = 0;
    ASSERT_EQ(lazy->Advise(fnevTableModified, lazySink.get(), &connection), S_OK);
    ASSERT_EQ(whole->Advise(fnevTableModified, wholeSink.get(), &connection), S_OK);
    Both(8);  // the lazy table holds the first 8 rows
  }
  void ExpectSameEvents() {
    EXPECT_EQ(lazySink->seen, wholeSink->seen);
    EXPECT_FALSE(wholeSink->seen.empty());
    ExpectSameTables();
  }
  ComPtr<Sink> lazySink = MakeComObject<Sink>(), wholeSink = MakeComObject<Sink>();
};

TEST_F(LazyTableEvents, RowAddedAmongTheReadRows) {
  PutBoth(100, 1);
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_ADDED);
  Both(5);
}

TEST_F(LazyTableEvents, RowAddedAfterTheReadRows) {
  PutBoth(100, 18);
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_ADDED);
}

TEST_F(LazyTableEvents, RowDeletedAmongTheReadRows) {
  Rows read = Both(-8, TBL_NOADVANCE);
  RemoveBoth(read[2].first);
  ExpectSameEvents();
  ASSERT_EQ(lazySink->seen.size(), 1u);
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_DELETED);
  Both(4);
}

TEST_F(LazyTableEvents, RowDeletedAfterTheReadRows) {
  Rows rest = Read(whole.get(), 100, TBL_NOADVANCE);
  RemoveBoth(rest.back().first);
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_DELETED);
}

TEST_F(LazyTableEvents, RowModifiedAmongTheReadRows) {
  Rows read = Both(-8, TBL_NOADVANCE);
  PutBoth(read[1].first, 19);  // moves from the read rows to the end
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_MODIFIED);
}

TEST_F(LazyTableEvents, RowModifiedAfterTheReadRows) {
  Rows rest = Read(whole.get(), 100, TBL_NOADVANCE);
  PutBoth(rest[25].first, 0);  // moves into the read rows
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_MODIFIED);
}

TEST_F(LazyTableEvents, RowLeavingARestrictedTableUnread) {
  SPropValue value{};
  value.ulPropTag = kNum;
  value.Value.l = 15;
  SRestriction below{};
  below.rt = RES_PROPERTY;
  below.res.resProperty = {RELOP_LT, kNum, &value};
  Restrict(&below);
  Both(3);
  Rows rest = Read(whole.get(), 100, TBL_NOADVANCE);
  PutBoth(rest.back().first, 16);  // no longer in the table
  ExpectSameEvents();
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_DELETED);
  PutBoth(rest.back().first, 2);  // in it again
  EXPECT_EQ(lazySink->seen, wholeSink->seen);
  EXPECT_EQ(lazySink->seen.back().event, TABLE_ROW_ADDED);
}

}  // namespace
