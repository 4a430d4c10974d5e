// The table engine following its source: rows found by instance key among equal sort
// values, unsorted tables, values without order (NaN), bookmarks on moved rows, sources
// that give one key twice; and sources that hand out pages, where the view reads only the
// rows its callers need yet every answer (rows, seeks, searches, bookmarks, counts,
// positions, notifications) is the one a table over the same rows read at once gives.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>

#include "table/restriction.h"
#include "tablesupport.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kReal = PROP_TAG(PT_DOUBLE, 0x6202);
constexpr ULONG kOther = PROP_TAG(PT_LONG, 0x6302);

void SortBy(IMAPITable* table, ULONG tag, ULONG order) {
  SizedSSortOrderSet<1> sort = {1, 0, 0, {{tag, order}}};
  ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
}

SRestriction Compare(ULONG relop, SPropValue* value) {
  SRestriction r{RES_PROPERTY, {}};
  r.res.resProperty = {relop, value->ulPropTag, value};
  return r;
}

// --- following changes ---------------------------------------------------------------------

class TableChangesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint32_t key = 1; key <= kRows; ++key) Put(key, static_cast<LONG>(key % 7));  // many rows share a value
    SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
    ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  }
  void Put(uint32_t key, LONG num, double real = 0) {
    model[key] = num;
    SPropValue value{};
    value.ulPropTag = kReal;
    value.Value.dbl = real;
    PutRow(*source, key, num, {value});
  }
  void Remove(uint32_t key) {
    ASSERT_TRUE(source->Remove(KeyBytes(key)));
    model.erase(key);
  }
  // The model's rows by num, ties in the order of tieOrder.
  TKeyedRows Expected(const std::vector<uint32_t>& tieOrder) const {
    TKeyedRows rows;
    for (uint32_t key : tieOrder) rows.emplace_back(key, model.at(key));
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return rows;
  }

  static constexpr uint32_t kRows = 300;
  std::shared_ptr<TMemoryRowSource> source =
      std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kReal});
  ComPtr<IMAPITable> table = CreateMapiTable(source);
  std::map<uint32_t, LONG> model;
};

TEST_F(TableChangesTest, SortedTableFollowsChangesAmongEqualValues) {
  SortBy(table.get(), kNum, TABLE_SORT_ASCEND);
  std::vector<uint32_t> order;
  for (uint32_t key = 1; key <= kRows; ++key) order.push_back(key);
  // A modified row goes after the rows it now equals.
  for (uint32_t key = 5; key <= kRows; key += 11) {
    Put(key, static_cast<LONG>((key * 3) % 7));
    order.erase(std::find(order.begin(), order.end(), key));
    order.push_back(key);
  }
  for (uint32_t key = 9; key <= kRows; key += 23) {
    Remove(key);
    order.erase(std::find(order.begin(), order.end(), key));
  }
  EXPECT_EQ(ReadAllKeyed(table.get()), Expected(order));
  EXPECT_EQ(RowCount(table.get()), model.size());
}

TEST_F(TableChangesTest, RowsWithoutOrderAreStillFound) {
  // NaN compares equal to everything, so searching by value cannot place it.
  source->Reset({});
  for (uint32_t key = 1; key <= 40; ++key) Put(key, static_cast<LONG>(key), key % 4 ? key : std::nan(""));
  SortBy(table.get(), kReal, TABLE_SORT_DESCEND);
  for (uint32_t key = 4; key <= 40; key += 4) Remove(key);  // the NaN rows
  Put(3, 3, 1000.0);                                        // moves to the front
  TKeyedRows rows = ReadAllKeyed(table.get());
  ASSERT_EQ(rows.size(), 30u);
  EXPECT_EQ(rows.front().first, 3u);
  for (const auto& [key, num] : rows) EXPECT_NE(key % 4, 0u);
}

TEST_F(TableChangesTest, NumericSortKeepsEqualRowsInOrderBothWaysAndMissingFirst) {
  source->Reset({});
  TKeyedRows present, missing;
  for (uint32_t key = 1; key <= 24; ++key) {
    LONG num = static_cast<LONG>(key % 3) - 1;
    SPropValue values[2] = {BinaryValue(tags::kInstanceKey, {reinterpret_cast<BYTE*>(&key), sizeof key}),
                            LongValue(kNum, static_cast<ULONG>(num))};
    source->Put(TPropRow(values, key % 5 == 0 ? 1 : 2));  // every fifth row lacks kNum
    (key % 5 == 0 ? missing : present).emplace_back(key, key % 5 == 0 ? static_cast<LONG>(MAPI_E_NOT_FOUND) : num);
  }
  auto ascending = present, descending = present;
  std::stable_sort(ascending.begin(), ascending.end(), [](auto& a, auto& b) { return a.second < b.second; });
  std::stable_sort(descending.begin(), descending.end(), [](auto& a, auto& b) { return a.second > b.second; });
  ascending.insert(ascending.begin(), missing.begin(), missing.end());
  descending.insert(descending.end(), missing.begin(), missing.end());
  SortBy(table.get(), kNum, TABLE_SORT_ASCEND);
  EXPECT_EQ(ReadAllKeyed(table.get()), ascending);
  SortBy(table.get(), kNum, TABLE_SORT_DESCEND);
  EXPECT_EQ(ReadAllKeyed(table.get()), descending);
}

// A source whose rows hold one key twice, as a damaged store might.
class TTwiceSource final : public TTableRowSource {
 public:
  TTwiceSource() {
    for (uint32_t i = 0; i < 4; ++i) {
      uint32_t key = i % 2;  // keys 0, 1, 0, 1
      SPropValue values[2] = {BinaryValue(tags::kInstanceKey, {reinterpret_cast<BYTE*>(&key), sizeof key}),
                              LongValue(kNum, i)};
      rows_->push_back(TMemoryRow::Create(TPropRow(values, 2)));
    }
  }
  std::vector<ULONG> AllColumns() const override { return {tags::kInstanceKey, kNum}; }
  TRowListPtr Rows(const SRestriction*, const SSortOrderSet*) const override { return rows_; }
  void Delete(uint32_t key) { NotifyRowDeleted(KeyBytes(key)); }

 private:
  std::shared_ptr<TRowList> rows_ = std::make_shared<TRowList>();
};

TEST(TableTwiceKeys, DeletionsRemoveOneRowAtATime) {
  auto source = std::make_shared<TTwiceSource>();
  auto table = CreateMapiTable(source);
  SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  source->Delete(0);
  EXPECT_EQ(ReadAllKeyed(table.get()), (TKeyedRows{{1, 1}, {0, 2}, {1, 3}}));
  source->Delete(0);
  source->Delete(1);
  EXPECT_EQ(ReadAllKeyed(table.get()), (TKeyedRows{{1, 3}}));
}

// --- sources that hand out pages -------------------------------------------------------------

constexpr uint32_t kPagedRows = 50;

// A memory source that applies property restrictions and sorts on kNum itself, as the
// engine would, and hands out pages of them. It records what it is asked for.
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
    size_t first = std::min(offset, all->size()), last = first + std::min(limit, all->size() - first);
    handedOut += last - first;
    return std::make_shared<const TRowList>(all->begin() + static_cast<ptrdiff_t>(first),
                                            all->begin() + static_cast<ptrdiff_t>(last));
  }

  bool pages = true;
  mutable size_t wholeReads = 0, handedOut = 0;
  mutable std::vector<std::pair<size_t, size_t>> requests;  // (offset, limit) of each page

 private:
  TRowListPtr Applied(const SRestriction* restriction, const SSortOrderSet* sort) const {
    std::optional<TRestriction> test;
    if (restriction) test.emplace(*restriction, TSubRowsFn{});
    TRowList out;
    TRowListPtr all = TMemoryRowSource::Rows(nullptr, nullptr);
    for (const TRowPtr& row : *all)
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

// One table over the paged source and one over a plain copy, driven alike.
struct TTablePair {
  void Fill() {
    for (uint32_t key = 1; key <= kPagedRows; ++key) PutBoth(key, static_cast<LONG>((key * 7) % 20));  // with ties
    lazy = CreateMapiTable(paged);
    whole = CreateMapiTable(plain);
    SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
    for (IMAPITable* table : {lazy.get(), whole.get()}) ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  }
  void PutBoth(uint32_t key, LONG num) {
    for (TMemoryRowSource* source : {static_cast<TMemoryRowSource*>(paged.get()), plain.get()})
      PutRow(*source, key, num, {LongValue(kOther, key % 3)});
  }
  void RemoveBoth(uint32_t key) {
    ASSERT_TRUE(paged->Remove(KeyBytes(key)));
    ASSERT_TRUE(plain->Remove(KeyBytes(key)));
  }
  // The same call on both tables answers the same.
  HRESULT OnBoth(const std::function<HRESULT(IMAPITable*)>& call) {
    HRESULT hr = call(whole.get());
    EXPECT_EQ(call(lazy.get()), hr);
    return hr;
  }
  TKeyedRows Both(LONG count, ULONG flags = 0) {
    TKeyedRows expected = ReadKeyed(whole.get(), count, flags);
    EXPECT_EQ(ReadKeyed(lazy.get(), count, flags), expected);
    return expected;
  }
  LONG Seek(BOOKMARK origin, LONG rows) {
    LONG lazySought = 0, wholeSought = 0;
    EXPECT_EQ(lazy->SeekRow(origin, rows, &lazySought), whole->SeekRow(origin, rows, &wholeSought));
    EXPECT_EQ(lazySought, wholeSought);
    return wholeSought;
  }
  static ULONG Position(IMAPITable* table) {
    ULONG row = 0, numerator = 0, denominator = 0;
    EXPECT_EQ(table->QueryPosition(&row, &numerator, &denominator), S_OK);
    return row;
  }
  // Both tables hold the same rows in the same order, the cursor on the same row.
  void ExpectSameTables() {
    ULONG at = Position(whole.get());
    EXPECT_EQ(Position(lazy.get()), at);
    EXPECT_EQ(ReadAllKeyed(lazy.get()), ReadAllKeyed(whole.get()));
    Seek(BOOKMARK_BEGINNING, static_cast<LONG>(at));
  }
  // Rows with equal keys keep the order they had before sorting: the table read at once
  // is put back in the source's order first, where the paged source starts.
  void Sort(ULONG tag, ULONG order) {
    SizedSSortOrderSet<1> none = {0, 0, 0, {}};
    ASSERT_EQ(whole->SortTable(none.Ptr(), 0), S_OK);
    for (IMAPITable* table : {lazy.get(), whole.get()}) SortBy(table, tag, order);
  }
  void Restrict(SRestriction* restriction) {
    for (IMAPITable* table : {lazy.get(), whole.get()}) ASSERT_EQ(table->Restrict(restriction, 0), S_OK);
  }
  std::shared_ptr<TPagedSource> paged = std::make_shared<TPagedSource>();
  std::shared_ptr<TMemoryRowSource> plain =
      std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kOther});
  ComPtr<IMAPITable> lazy, whole;
};

class LazyTableTest : public ::testing::Test, public TTablePair {
 protected:
  void SetUp() override { Fill(); }
};

TEST_F(LazyTableTest, SortsTheSourceCannotApplyAndSourcesThatCannotPageReadEverything) {
  Sort(kNum, TABLE_SORT_ASCEND);
  Both(30);
  size_t requests = paged->requests.size();
  Sort(kNum, TABLE_SORT_DESCEND);  // starts over, reads nothing until asked
  EXPECT_EQ(paged->requests.size(), requests);
  Both(4);
  EXPECT_EQ(paged->requests.back(), (std::pair<size_t, size_t>{0, 4}));
  Sort(kOther, TABLE_SORT_ASCEND);
  EXPECT_EQ(paged->wholeReads, 1u);
  ExpectSameTables();
  paged->pages = false;
  requests = paged->requests.size();
  Sort(kNum, TABLE_SORT_DESCEND);
  EXPECT_EQ(paged->wholeReads, 2u);
  Both(10);
  EXPECT_EQ(paged->requests.size(), requests);
  ExpectSameTables();
}

TEST_F(LazyTableTest, EventsOfChangesAmongAndAfterTheReadRowsAreThoseOfATableReadAtOnce) {
  // Each change on a fresh pair of tables sorted by kNum, the lazy one holding the first 8
  // rows; rows[i] are all the rows, in order.
  struct TCase {
    const char* what;
    std::function<void(TTablePair&, const TKeyedRows& rows)> change;
    ULONG event;
  };
  const TCase cases[] = {
      {"added among the read rows", [](TTablePair& t, auto&) { t.PutBoth(100, 1); }, TABLE_ROW_ADDED},
      {"added after them", [](TTablePair& t, auto&) { t.PutBoth(100, 18); }, TABLE_ROW_ADDED},
      {"deleted among them", [](TTablePair& t, auto& rows) { t.RemoveBoth(rows[2].first); }, TABLE_ROW_DELETED},
      {"deleted after them", [](TTablePair& t, auto& rows) { t.RemoveBoth(rows.back().first); }, TABLE_ROW_DELETED},
      {"moved from them to the end", [](TTablePair& t, auto& rows) { t.PutBoth(rows[1].first, 19); },
       TABLE_ROW_MODIFIED},
      {"moved into them", [](TTablePair& t, auto& rows) { t.PutBoth(rows[33].first, 0); }, TABLE_ROW_MODIFIED},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TTablePair t;
    t.Fill();
    t.Sort(kNum, TABLE_SORT_ASCEND);
    auto lazySink = WatchTable<TKeySink>(t.lazy.get()), wholeSink = WatchTable<TKeySink>(t.whole.get());
    t.Both(8);
    TKeyedRows rows = ReadAllKeyed(t.whole.get());
    t.Seek(BOOKMARK_BEGINNING, 8);
    c.change(t, rows);
    ASSERT_FALSE(wholeSink->seen.empty());
    EXPECT_EQ(lazySink->seen, wholeSink->seen);
    EXPECT_EQ(lazySink->seen[0].event, c.event);
    t.ExpectSameTables();
    t.Both(5);
  }
}

TEST_F(LazyTableTest, RowLeavingAndEnteringARestrictedTableUnread) {
  Sort(kNum, TABLE_SORT_ASCEND);
  auto lazySink = WatchTable<TKeySink>(lazy.get()), wholeSink = WatchTable<TKeySink>(whole.get());
  SPropValue value = LongValue(kNum, 15);
  SRestriction below = Compare(RELOP_LT, &value);
  Restrict(&below);
  Both(3);
  uint32_t last = ReadKeyed(whole.get(), 100, TBL_NOADVANCE).back().first;
  PutBoth(last, 16);  // no longer in the table
  PutBoth(last, 2);   // in it again
  EXPECT_EQ(lazySink->seen, wholeSink->seen);
  ASSERT_EQ(lazySink->seen.size(), 2u);
  EXPECT_EQ(lazySink->seen[0].event, TABLE_ROW_DELETED);
  EXPECT_EQ(lazySink->seen[1].event, TABLE_ROW_ADDED);
  ExpectSameTables();
}

}  // namespace
}  // namespace orba::store
