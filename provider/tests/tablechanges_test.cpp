// The table engine following many changes: rows found by instance key in sorted
// tables with equal sort values, in unsorted tables, after values that have no order
// (NaN), bookmarks on moved rows, and sources that give one key twice. Each table is
// checked against a plainly computed expectation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mapi/mapiexports.h"
#include "props/tags.h"
#include "table/mapitable.h"

using namespace orba;
using namespace orba::store;

namespace {

constexpr ULONG kNum = PROP_TAG(PT_LONG, 0x6201);
constexpr ULONG kReal = PROP_TAG(PT_DOUBLE, 0x6202);

std::string KeyBytes(uint32_t key) { return std::string(reinterpret_cast<char*>(&key), sizeof key); }

void PutRow(TMemoryRowSource& source, uint32_t key, LONG num, double real = 0) {
  SPropValue values[3] = {};
  values[0].ulPropTag = tags::kInstanceKey;
  values[0].Value.bin = {sizeof(key), reinterpret_cast<LPBYTE>(&key)};
  values[1].ulPropTag = kNum;
  values[1].Value.l = num;
  values[2].ulPropTag = kReal;
  values[2].Value.dbl = real;
  source.Put(TPropRow(values, 3));
}

void RemoveRow(TMemoryRowSource& source, uint32_t key) { ASSERT_TRUE(source.Remove(KeyBytes(key))); }

struct RowSetHolder {
  LPSRowSet rows = nullptr;
  ~RowSetHolder() { FreeProws(rows); }
};

// Every row of the table from the start, as (key, num) pairs; leaves the cursor at the end.
std::vector<std::pair<uint32_t, LONG>> ReadAll(IMAPITable& table) {
  EXPECT_EQ(table.SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  std::vector<std::pair<uint32_t, LONG>> rows;
  for (;;) {
    RowSetHolder h;
    EXPECT_EQ(table.QueryRows(7, 0, &h.rows), S_OK);
    if (!h.rows || h.rows->cRows == 0) break;
    for (ULONG i = 0; i < h.rows->cRows; ++i) {
      const SPropValue* props = h.rows->aRow[i].lpProps;
      uint32_t key = 0;
      EXPECT_EQ(props[0].Value.bin.cb, sizeof key);
      std::memcpy(&key, props[0].Value.bin.lpb, sizeof key);
      rows.emplace_back(key, props[1].Value.l);
    }
  }
  return rows;
}

class TableChangesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kReal});
    for (uint32_t key = 1; key <= kRows; ++key) {
      model[key] = static_cast<LONG>(key % 7);  // many rows share a value
      PutRow(*source, key, model[key]);
    }
    table = CreateMapiTable(source);
    SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
    ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  }
  void SortByNum() {
    SizedSSortOrderSet<1> sort = {1, 0, 0, {{kNum, TABLE_SORT_ASCEND}}};
    ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
  }
  // The rows of the model by num, ties in the order given by tieOrder (the order in
  // which rows took their current value: stable sort, then later changes last).
  std::vector<std::pair<uint32_t, LONG>> Expected(const std::vector<uint32_t>& tieOrder) const {
    std::vector<std::pair<uint32_t, LONG>> rows;
    for (uint32_t key : tieOrder) rows.emplace_back(key, model.at(key));
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return rows;
  }

  static constexpr uint32_t kRows = 300;
  std::shared_ptr<TMemoryRowSource> source;
  ComPtr<IMAPITable> table;
  std::map<uint32_t, LONG> model;
};

TEST_F(TableChangesTest, SortedTableFollowsModificationsAmongEqualValues) {
  SortByNum();
  std::vector<uint32_t> order;
  for (uint32_t key = 1; key <= kRows; ++key) order.push_back(key);
  // Change rows in the middle of long runs of equal values; a modified row goes after
  // the rows it now equals.
  for (uint32_t key = 5; key <= kRows; key += 11) {
    model[key] = static_cast<LONG>((key * 3) % 7);
    PutRow(*source, key, model[key]);
    order.erase(std::find(order.begin(), order.end(), key));
    order.push_back(key);
  }
  for (uint32_t key = 9; key <= kRows; key += 23) {
    RemoveRow(*source, key);
    model.erase(key);
    order.erase(std::find(order.begin(), order.end(), key));
  }
  EXPECT_EQ(ReadAll(*table), Expected(order));
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, model.size());
}

TEST_F(TableChangesTest, UnsortedTableReplacesRowsInPlace) {
  std::vector<std::pair<uint32_t, LONG>> expected;
  for (uint32_t key = 1; key <= kRows; ++key) {
    if (key % 13 == 0) {
      model[key] = -static_cast<LONG>(key);
      PutRow(*source, key, model[key]);
    }
  }
  for (uint32_t key = 2; key <= kRows; key += 17) {
    RemoveRow(*source, key);
    model.erase(key);
  }
  PutRow(*source, 1000, 5);  // new rows come last
  model[1000] = 5;
  for (auto& [key, num] : model) expected.emplace_back(key, num);
  EXPECT_EQ(ReadAll(*table), expected);
}

TEST_F(TableChangesTest, BookmarkFollowsItsRowWhenTheRowMoves) {
  SortByNum();
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 10, nullptr), S_OK);
  RowSetHolder h;
  ASSERT_EQ(table->QueryRows(1, TBL_NOADVANCE, &h.rows), S_OK);
  uint32_t key = 0;
  std::memcpy(&key, h.rows->aRow[0].lpProps[0].Value.bin.lpb, sizeof key);
  BOOKMARK mark = 0;
  ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
  PutRow(*source, key, 100);  // now the last row
  LONG sought = 0;
  EXPECT_EQ(table->SeekRow(mark, 0, &sought), S_OK);
  RowSetHolder last;
  ASSERT_EQ(table->QueryRows(2, 0, &last.rows), S_OK);
  ASSERT_EQ(last.rows->cRows, 1u);
  EXPECT_EQ(last.rows->aRow[0].lpProps[1].Value.l, 100);
  ASSERT_EQ(table->FreeBookmark(mark), S_OK);
}

TEST_F(TableChangesTest, RowsWithoutOrderAreStillFound) {
  // NaN compares equal to everything, so searching by value cannot place it.
  source->Reset({});
  for (uint32_t key = 1; key <= 40; ++key) PutRow(*source, key, static_cast<LONG>(key), key % 4 ? key : std::nan(""));
  SizedSSortOrderSet<1> sort = {1, 0, 0, {{kReal, TABLE_SORT_DESCEND}}};
  ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
  for (uint32_t key = 4; key <= 40; key += 4) RemoveRow(*source, key);  // the NaN rows
  PutRow(*source, 3, 3, 1000.0);                                        // moves to the front
  auto rows = ReadAll(*table);
  ASSERT_EQ(rows.size(), 30u);
  EXPECT_EQ(rows.front().first, 3u);
  for (const auto& [key, num] : rows) EXPECT_NE(key % 4, 0u);
}

TEST_F(TableChangesTest, NumericSortKeepsEqualRowsInOrderBothWays) {
  source->Reset({});
  std::vector<std::pair<uint32_t, LONG>> present, missing;
  for (uint32_t key = 1; key <= 24; ++key) {
    SPropValue values[2] = {};
    values[0].ulPropTag = tags::kInstanceKey;
    values[0].Value.bin = {sizeof(key), reinterpret_cast<LPBYTE>(&key)};
    values[1].ulPropTag = kNum;
    values[1].Value.l = static_cast<LONG>(key % 3) - 1;
    source->Put(TPropRow(values, key % 5 == 0 ? 1 : 2));  // every fifth row lacks kNum
    if (key % 5 == 0)
      missing.emplace_back(key, static_cast<LONG>(MAPI_E_NOT_FOUND));
    else
      present.emplace_back(key, static_cast<LONG>(key % 3) - 1);
  }
  auto byNum = [](const auto& a, const auto& b) { return a.second < b.second; };
  std::vector<std::pair<uint32_t, LONG>> ascending = missing, descending;
  std::stable_sort(present.begin(), present.end(), byNum);
  ascending.insert(ascending.end(), present.begin(), present.end());
  std::stable_sort(present.begin(), present.end(), [&](const auto& a, const auto& b) { return byNum(b, a); });
  descending = present;
  descending.insert(descending.end(), missing.begin(), missing.end());

  SortByNum();
  EXPECT_EQ(ReadAll(*table), ascending);
  SizedSSortOrderSet<1> sort = {1, 0, 0, {{kNum, TABLE_SORT_DESCEND}}};
  ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
  EXPECT_EQ(ReadAll(*table), descending);
}

// A source whose rows hold one key twice, as a faulty store might.
class TwiceSource final : public TTableRowSource {
 public:
  TwiceSource() {
    for (uint32_t i = 0; i < 4; ++i) {
      uint32_t key = i % 2;  // keys 0, 1, 0, 1
      SPropValue values[2] = {};
      values[0].ulPropTag = tags::kInstanceKey;
      values[0].Value.bin = {sizeof(key), reinterpret_cast<LPBYTE>(&key)};
      values[1].ulPropTag = kNum;
      values[1].Value.l = static_cast<LONG>(i);
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
  auto source = std::make_shared<TwiceSource>();
  auto table = CreateMapiTable(source);
  SizedSPropTagArray<2> columns = {2, {tags::kInstanceKey, kNum}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  source->Delete(0);
  EXPECT_EQ(ReadAll(*table), (std::vector<std::pair<uint32_t, LONG>>{{1, 1}, {0, 2}, {1, 3}}));
  source->Delete(0);
  source->Delete(1);
  EXPECT_EQ(ReadAll(*table), (std::vector<std::pair<uint32_t, LONG>>{{1, 3}}));
}

}  // namespace
