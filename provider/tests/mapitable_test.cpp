// IMAPITable over the table engine: columns, rows, seeking, finding, restricting,
// sorting, bookmarks, notifications and the error paths of every method.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mapi/mapiexports.h"
#include "props/tags.h"
#include "table/mapitable.h"

using namespace orba;
using namespace orba::store;

namespace {

constexpr ULONG kNum = PROP_TAG(PT_LONG, 0x6101);
constexpr ULONG kName = PROP_TAG(PT_UNICODE, 0x6102);
constexpr ULONG kGroup = PROP_TAG(PT_LONG, 0x6103);

SPropValue Key(uint32_t& key) {
  SPropValue v{};
  v.ulPropTag = tags::kInstanceKey;
  v.Value.bin = {sizeof(key), reinterpret_cast<LPBYTE>(&key)};
  return v;
}

void PutRow(TMemoryRowSource& source, uint32_t key, LONG num, const char16_t* name, LONG group) {
  SPropValue values[4] = {Key(key)};
  values[1].ulPropTag = kNum;
  values[1].Value.l = num;
  values[2].ulPropTag = kGroup;
  values[2].Value.l = group;
  values[3].ulPropTag = kName;
  values[3].Value.lpszW = const_cast<char16_t*>(name);
  source.Put(TPropRow(values, name ? 4 : 3));
}

struct RowSetHolder {
  LPSRowSet rows = nullptr;
  ~RowSetHolder() { FreeProws(rows); }
};

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kName, kGroup});
    PutRow(*source, 1, 30, u"Charlie", 2);
    PutRow(*source, 2, 10, u"alpha", 1);
    PutRow(*source, 3, 20, u"Bravo", 2);
    PutRow(*source, 4, 40, nullptr, 1);
    table = CreateMapiTable(source);
    SizedSPropTagArray<2> columns = {2, {kNum, kName}};
    ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  }
  // The kNum column of the rows QueryRows returns.
  std::vector<LONG> Read(LONG count, ULONG flags = 0) {
    RowSetHolder h;
    EXPECT_EQ(table->QueryRows(count, flags, &h.rows), S_OK);
    std::vector<LONG> nums;
    for (ULONG i = 0; h.rows && i < h.rows->cRows; ++i) nums.push_back(h.rows->aRow[i].lpProps[0].Value.l);
    return nums;
  }
  void SortBy(ULONG tag, ULONG order, ULONG tag2 = 0, ULONG order2 = 0) {
    SizedSSortOrderSet<2> sort = {tag2 ? 2u : 1u, 0, 0, {{tag, order}, {tag2, order2}}};
    ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
  }
  std::shared_ptr<TMemoryRowSource> source;
  ComPtr<IMAPITable> table;
};

using V = std::vector<LONG>;

TEST_F(TableTest, QueryRowsReadsForwardAndBackward) {
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(Read(2, TBL_NOADVANCE), (V{30, 10}));
  EXPECT_EQ(Read(3), (V{30, 10, 20}));
  EXPECT_EQ(Read(5), (V{40}));
  EXPECT_EQ(Read(5), V{});  // at the end
  EXPECT_EQ(Read(-2), (V{20, 40}));
  EXPECT_EQ(Read(-10), (V{30, 10}));  // stops at the beginning
  EXPECT_EQ(Read(-1), V{});
  LPSRowSet rows = nullptr;
  EXPECT_EQ(table->QueryRows(0, 0, &rows), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->QueryRows(1, 0x10, &rows), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->QueryRows(1, 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, ColumnsMissingAndOtherWidthAndUnspecified) {
  SizedSPropTagArray<4> columns = {
      4,
      {kName, CHANGE_PROP_TYPE(kName, PT_STRING8), CHANGE_PROP_TYPE(kNum, PT_UNSPECIFIED), PROP_TAG(PT_LONG, 0x6199)}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), TBL_BATCH), S_OK);
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 3, nullptr), S_OK);
  RowSetHolder h;
  ASSERT_EQ(table->QueryRows(1, 0, &h.rows), S_OK);
  ASSERT_EQ(h.rows->cRows, 1u);
  const SPropValue* p = h.rows->aRow[0].lpProps;
  ASSERT_EQ(h.rows->aRow[0].cValues, 4u);
  EXPECT_EQ(p[0].ulPropTag, CHANGE_PROP_TYPE(kName, PT_ERROR));  // row 4 has no name
  EXPECT_EQ(p[0].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(p[2].ulPropTag, kNum);
  EXPECT_EQ(p[2].Value.l, 40);
  EXPECT_EQ(p[3].ulPropTag, PROP_TAG(PT_ERROR, 0x6199));
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  RowSetHolder first;
  ASSERT_EQ(table->QueryRows(1, 0, &first.rows), S_OK);
  EXPECT_STREQ(first.rows->aRow[0].lpProps[1].Value.lpszA, "Charlie");  // converted to 8-bit

  LPSPropTagArray tags = nullptr;
  ASSERT_EQ(table->QueryColumns(0, &tags), S_OK);
  EXPECT_EQ(tags->cValues, 4u);
  MAPIFreeBuffer(tags);
  ASSERT_EQ(table->QueryColumns(TBL_ALL_COLUMNS, &tags), S_OK);
  EXPECT_EQ(tags->cValues, 4u);
  EXPECT_EQ(tags->aulPropTag[0], tags::kInstanceKey);
  MAPIFreeBuffer(tags);
  EXPECT_EQ(table->QueryColumns(2, &tags), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->SetColumns(nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->SetColumns(columns.Ptr(), 0x100), MAPI_E_UNKNOWN_FLAGS);
  SizedSPropTagArray<1> mvi = {1, {MVI_PROP(PROP_TAG(PT_MV_LONG, 0x6104))}};
  EXPECT_EQ(table->SetColumns(mvi.Ptr(), 0), MAPI_E_TOO_COMPLEX);
}

TEST_F(TableTest, SeekRowAndPositions) {
  LONG sought = 0;
  EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 10, &sought), S_OK);
  EXPECT_EQ(sought, 4);  // past the end stops at the end
  EXPECT_EQ(table->SeekRow(BOOKMARK_CURRENT, -10, &sought), S_OK);
  EXPECT_EQ(sought, -4);
  EXPECT_EQ(table->SeekRow(BOOKMARK_END, -1, &sought), S_OK);
  EXPECT_EQ(Read(1), V{40});
  EXPECT_EQ(table->SeekRow(77, 1, &sought), MAPI_E_INVALID_BOOKMARK);
  ULONG row = 0, num = 0, den = 0;
  ASSERT_EQ(table->SeekRowApprox(1, 2), S_OK);
  ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
  EXPECT_EQ(row, 2u);
  EXPECT_EQ(den, 4u);
  EXPECT_EQ(table->SeekRowApprox(1, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->QueryPosition(nullptr, &num, &den), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, FindRowForwardBackwardAndFromBookmarks) {
  SPropValue two{};
  two.ulPropTag = kGroup;
  two.Value.l = 2;
  SRestriction r{};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {RELOP_EQ, kGroup, &two};
  ASSERT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), S_OK);
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{30});
  ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, 1, nullptr), S_OK);
  ASSERT_EQ(table->FindRow(&r, BOOKMARK_CURRENT, 0), S_OK);
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{20});
  ASSERT_EQ(table->FindRow(&r, BOOKMARK_END, DIR_BACKWARD), S_OK);
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{20});
  BOOKMARK mark = 0;
  ASSERT_EQ(table->CreateBookmark(&mark), S_OK);            // on row 3 (num 20)
  ASSERT_EQ(table->FindRow(&r, mark, DIR_BACKWARD), S_OK);  // starts before the bookmark
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{30});
  two.Value.l = 9;
  EXPECT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(table->FindRow(&r, 12345, 0), MAPI_E_INVALID_BOOKMARK);
  EXPECT_EQ(table->FindRow(nullptr, BOOKMARK_BEGINNING, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 4), MAPI_E_UNKNOWN_FLAGS);
  ASSERT_EQ(table->FreeBookmark(mark), S_OK);
  EXPECT_EQ(table->FreeBookmark(mark), MAPI_E_INVALID_BOOKMARK);
  EXPECT_EQ(table->CreateBookmark(nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, BookmarkOnDeletedRowReportsPositionChanged) {
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 1, nullptr), S_OK);
  BOOKMARK mark = 0;
  ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
  uint32_t key = 2;
  ASSERT_TRUE(source->Remove(std::string_view(reinterpret_cast<char*>(&key), sizeof key)));
  LONG sought = 0;
  EXPECT_EQ(table->SeekRow(mark, 0, &sought), MAPI_W_POSITION_CHANGED);
  EXPECT_EQ(Read(1), V{20});
}

TEST_F(TableTest, RestrictAndSortWithSeveralKeys) {
  SizedSSortOrderSet<1> none = {0, 0, 0, {}};
  SortBy(kNum, TABLE_SORT_DESCEND);
  EXPECT_EQ(Read(10), (V{40, 30, 20, 10}));
  SortBy(kGroup, TABLE_SORT_ASCEND, kName, TABLE_SORT_DESCEND);
  EXPECT_EQ(Read(10), (V{10, 40, 30, 20}));  // group 1: "alpha", missing; group 2: "Charlie", "Bravo"
  SortBy(kName, TABLE_SORT_ASCEND);
  EXPECT_EQ(Read(10), (V{40, 10, 20, 30}));  // missing first, then case-insensitive
  LPSSortOrderSet order = nullptr;
  ASSERT_EQ(table->QuerySortOrder(&order), S_OK);
  EXPECT_EQ(order->cSorts, 1u);
  EXPECT_EQ(order->aSort[0].ulPropTag, kName);
  MAPIFreeBuffer(order);

  SPropValue one{};
  one.ulPropTag = kGroup;
  one.Value.l = 1;
  SRestriction r{};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {RELOP_EQ, kGroup, &one};
  ASSERT_EQ(table->Restrict(&r, 0), S_OK);
  one.Value.l = 2;  // the table keeps its own copy
  EXPECT_EQ(Read(10), (V{40, 10}));
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(table->Restrict(nullptr, 0), S_OK);
  ASSERT_EQ(table->SortTable(none.Ptr(), 0), S_OK);
  EXPECT_EQ(Read(10), (V{30, 10, 20, 40}));

  SizedSSortOrderSet<1> categorised = {1, 1, 0, {{kGroup, TABLE_SORT_ASCEND}}};
  EXPECT_EQ(table->SortTable(categorised.Ptr(), 0), MAPI_E_TOO_COMPLEX);
  SizedSSortOrderSet<1> badOrder = {1, 0, 0, {{kGroup, 0x40}}};
  EXPECT_EQ(table->SortTable(badOrder.Ptr(), 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->SortTable(nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->SortTable(none.Ptr(), 8), MAPI_E_UNKNOWN_FLAGS);
  SRestriction bad{};
  bad.rt = 0x55;
  EXPECT_EQ(table->Restrict(&bad, 0), MAPI_E_TOO_COMPLEX);
  EXPECT_EQ(table->Restrict(nullptr, 0x80), MAPI_E_UNKNOWN_FLAGS);
  LPMAPIERROR error = nullptr;
  ASSERT_EQ(table->GetLastError(MAPI_E_UNKNOWN_FLAGS, 0, &error), S_OK);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error->lpszError, "Unknown flags were given.");
  MAPIFreeBuffer(error);
}

TEST_F(TableTest, StatusAndUnsupportedCategories) {
  ULONG status = 99, type = 99;
  ASSERT_EQ(table->GetStatus(&status, &type), S_OK);
  EXPECT_EQ(status, TBLSTAT_COMPLETE);
  EXPECT_EQ(type, TBLTYPE_DYNAMIC);
  EXPECT_EQ(table->GetStatus(nullptr, &type), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->Abort(), S_OK);
  EXPECT_EQ(table->WaitForCompletion(0, 100, &status), S_OK);
  EXPECT_EQ(table->WaitForCompletion(1, 100, &status), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->ExpandRow(0, nullptr, 0, 0, nullptr, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(table->CollapseRow(0, nullptr, 0, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(table->GetCollapseState(0, 0, nullptr, nullptr, nullptr), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(table->SetCollapseState(0, 0, nullptr, nullptr), MAPI_E_NO_SUPPORT);
}

// Records the table notifications it gets, copying what it needs.
class Sink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct Seen {
    ULONG event;
    std::string key, prior;
    ULONG priorTag;
    std::vector<ULONG> tags;
    LONG firstLong;
  };
  ULONG STDMETHODCALLTYPE OnNotify(ULONG count, LPNOTIFICATION n) override {
    for (ULONG i = 0; i < count; ++i) {
      const TABLE_NOTIFICATION& t = n[i].info.tab;
      Seen s{t.ulTableEvent, {}, {}, t.propPrior.ulPropTag, {}, 0};
      if (t.propIndex.ulPropTag == tags::kInstanceKey)
        s.key.assign(reinterpret_cast<char*>(t.propIndex.Value.bin.lpb), t.propIndex.Value.bin.cb);
      if (t.propPrior.ulPropTag == tags::kInstanceKey)
        s.prior.assign(reinterpret_cast<char*>(t.propPrior.Value.bin.lpb), t.propPrior.Value.bin.cb);
      for (ULONG c = 0; c < t.row.cValues; ++c) s.tags.push_back(t.row.lpProps[c].ulPropTag);
      if (t.row.cValues) s.firstLong = t.row.lpProps[0].Value.l;
      seen.push_back(s);
    }
    return 0;
  }
  std::vector<Seen> seen;
};

std::string KeyBytes(uint32_t key) { return std::string(reinterpret_cast<char*>(&key), sizeof key); }

TEST_F(TableTest, NotificationsCarryRowsInCurrentColumns) {
  auto sink = MakeComObject<Sink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
  SortBy(kNum, TABLE_SORT_ASCEND);
  PutRow(*source, 5, 25, u"Echo", 1);
  ASSERT_EQ(sink->seen.size(), 1u);
  EXPECT_EQ(sink->seen[0].event, TABLE_ROW_ADDED);
  EXPECT_EQ(sink->seen[0].key, KeyBytes(5));
  EXPECT_EQ(sink->seen[0].prior, KeyBytes(3));  // after num 20
  EXPECT_EQ(sink->seen[0].tags, (std::vector<ULONG>{kNum, kName}));
  EXPECT_EQ(sink->seen[0].firstLong, 25);

  PutRow(*source, 5, 5, u"Echo", 1);  // modified, moves to the front
  EXPECT_EQ(sink->seen[1].event, TABLE_ROW_MODIFIED);
  EXPECT_EQ(sink->seen[1].priorTag, PROP_TAG(PT_NULL, 0));
  EXPECT_EQ(Read(1), V{5});

  uint32_t key = 5;
  source->Remove(std::string_view(reinterpret_cast<char*>(&key), sizeof key));
  EXPECT_EQ(sink->seen[2].event, TABLE_ROW_DELETED);
  EXPECT_EQ(sink->seen[2].key, KeyBytes(5));

  source->Reset({});
  EXPECT_EQ(sink->seen[3].event, TABLE_RELOAD);
  ULONG count = 1;
  table->GetRowCount(0, &count);
  EXPECT_EQ(count, 0u);

  SizedSPropTagArray<1> columns = {1, {kNum}};
  table->SetColumns(columns.Ptr(), TBL_ASYNC);
  table->Restrict(nullptr, TBL_ASYNC);
  SizedSSortOrderSet<1> none = {0, 0, 0, {}};
  table->SortTable(none.Ptr(), TBL_ASYNC);
  ASSERT_EQ(sink->seen.size(), 7u);
  EXPECT_EQ(sink->seen[4].event, TABLE_SETCOL_DONE);
  EXPECT_EQ(sink->seen[5].event, TABLE_RESTRICT_DONE);
  EXPECT_EQ(sink->seen[6].event, TABLE_SORT_DONE);

  ASSERT_EQ(table->Unadvise(connection), S_OK);
  PutRow(*source, 6, 1, u"x", 1);
  EXPECT_EQ(sink->seen.size(), 7u);
  EXPECT_EQ(table->Unadvise(connection), MAPI_E_NOT_FOUND);
  EXPECT_EQ(table->Advise(fnevTableModified, nullptr, &connection), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->Advise(fnevNewMail, sink.get(), &connection), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, RestrictedTableFollowsChangesThatLeaveOrEnterIt) {
  auto sink = MakeComObject<Sink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
  SPropValue one{};
  one.ulPropTag = kGroup;
  one.Value.l = 1;
  SRestriction r{};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {RELOP_EQ, kGroup, &one};
  ASSERT_EQ(table->Restrict(&r, 0), S_OK);
  PutRow(*source, 3, 20, u"Bravo", 1);  // enters the view
  ASSERT_EQ(sink->seen.size(), 1u);
  EXPECT_EQ(sink->seen[0].event, TABLE_ROW_ADDED);
  PutRow(*source, 2, 10, u"alpha", 2);  // leaves it
  EXPECT_EQ(sink->seen[1].event, TABLE_ROW_DELETED);
  PutRow(*source, 1, 31, u"Charlie", 2);  // outside, stays outside
  EXPECT_EQ(sink->seen.size(), 2u);
  EXPECT_EQ(Read(10), (V{40, 20}));  // a row entering an unsorted view comes last
  table->Unadvise(connection);
}

}  // namespace
