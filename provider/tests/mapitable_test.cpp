// IMAPITable over the table engine: what a contents table read through the library
// cannot show (columns of the other width or missing, bookmarks on deleted rows,
// several sort keys with missing values, notification rows, unsupported categories) and
// the error paths of every method.
#include "table/mapitable.h"

#include "tablesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using V = std::vector<LONG>;

constexpr ULONG kName = PROP_TAG(PT_UNICODE, 0x6102);
constexpr ULONG kGroup = PROP_TAG(PT_LONG, 0x6103);

SRestriction Equal(SPropValue* value) {
  SRestriction r{RES_PROPERTY, {}};
  r.res.resProperty = {RELOP_EQ, value->ulPropTag, value};
  return r;
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put(1, 30, u"Charlie", 2);
    Put(2, 10, u"alpha", 1);
    Put(3, 20, u"Bravo", 2);
    Put(4, 40, nullptr, 1);
    Columns({kNum, kName});
  }
  void Put(uint32_t key, LONG num, const char16_t* name, LONG group) {
    std::u16string text = name ? name : u"";
    std::vector<SPropValue> more = {LongValue(kGroup, static_cast<ULONG>(group))};
    if (name) more.push_back(TextValue(kName, text));
    PutRow(*source, key, num, more);
  }
  void Columns(std::vector<ULONG> columns, ULONG flags = 0) {
    auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(columns.size()));
    list->cValues = static_cast<ULONG>(columns.size());
    std::copy(columns.begin(), columns.end(), list->aulPropTag);
    ASSERT_EQ(table->SetColumns(list.get(), flags), S_OK);
  }
  // The kNum column of the rows QueryRows answers.
  V Read(LONG count, ULONG flags = 0) {
    TRows rows = Query(table.get(), {}, count, flags);
    V nums;
    for (ULONG i = 0; i < rows.size(); ++i) nums.push_back(rows[i][0].Value.l);
    return nums;
  }
  void SortBy(ULONG tag, ULONG order, ULONG tag2 = 0, ULONG order2 = 0) {
    SizedSSortOrderSet<2> sort = {tag2 ? 2u : 1u, 0, 0, {{tag, order}, {tag2, order2}}};
    ASSERT_EQ(table->SortTable(sort.Ptr(), 0), S_OK);
  }
  std::shared_ptr<TMemoryRowSource> source =
      std::make_shared<TMemoryRowSource>(std::vector<ULONG>{tags::kInstanceKey, kNum, kName, kGroup});
  ComPtr<IMAPITable> table = CreateMapiTable(source);
};

TEST_F(TableTest, QueryRowsReadsForwardAndBackward) {
  EXPECT_EQ(Read(2, TBL_NOADVANCE), (V{30, 10}));
  EXPECT_EQ(Read(5), (V{30, 10, 20, 40}));
  EXPECT_EQ(Read(-2), (V{20, 40}));
  EXPECT_EQ(Read(-10), (V{30, 10}));  // stops at the beginning
  LPSRowSet rows = nullptr;
  EXPECT_EQ(table->QueryRows(0, 0, &rows), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->QueryRows(1, 0x10, &rows), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->QueryRows(1, 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, ColumnsMissingOtherWidthAndUnspecified) {
  Columns(
      {kName, CHANGE_PROP_TYPE(kName, PT_STRING8), CHANGE_PROP_TYPE(kNum, PT_UNSPECIFIED), PROP_TAG(PT_LONG, 0x6199)},
      TBL_BATCH);
  TRows rows = Query(table.get());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_STREQ(rows[0][1].Value.lpszA, "Charlie");  // converted to 8-bit
  const SPropValue* last = rows[3];
  EXPECT_EQ(last[0].ulPropTag, CHANGE_PROP_TYPE(kName, PT_ERROR));  // row 4 has no name
  EXPECT_EQ(last[0].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(last[2].ulPropTag, kNum);
  EXPECT_EQ(last[3].ulPropTag, PROP_TAG(PT_ERROR, 0x6199));
  for (ULONG flags : {0u, ULONG{TBL_ALL_COLUMNS}}) {
    TMapiBuffer<SPropTagArray> tags;
    ASSERT_EQ(table->QueryColumns(flags, tags.Out()), S_OK);
    EXPECT_EQ(tags->cValues, 4u);
    if (flags) {
      EXPECT_EQ(tags->aulPropTag[0], tags::kInstanceKey);
    }
  }
  TMapiBuffer<SPropTagArray> tags;
  EXPECT_EQ(table->QueryColumns(2, tags.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->SetColumns(nullptr, 0), MAPI_E_INVALID_PARAMETER);
  SizedSPropTagArray<1> mvi = {1, {MVI_PROP(PROP_TAG(PT_MV_LONG, 0x6104))}};
  EXPECT_EQ(table->SetColumns(mvi.Ptr(), 0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(table->SetColumns(mvi.Ptr(), 0), MAPI_E_TOO_COMPLEX);
}

TEST_F(TableTest, SeekRowPositionsAndBookmarks) {
  LONG sought = 0;
  EXPECT_EQ(table->SeekRow(77, 1, &sought), MAPI_E_INVALID_BOOKMARK);
  ULONG row = 0, num = 0, den = 0;
  ASSERT_EQ(table->SeekRowApprox(1, 2), S_OK);
  ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
  EXPECT_EQ(row, 2u);
  EXPECT_EQ(den, 4u);
  EXPECT_EQ(table->SeekRowApprox(1, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->QueryPosition(nullptr, &num, &den), MAPI_E_INVALID_PARAMETER);
  // A bookmark on a row that was deleted: the next row, MAPI_W_POSITION_CHANGED.
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 1, nullptr), S_OK);
  BOOKMARK mark = 0;
  ASSERT_EQ(table->CreateBookmark(&mark), S_OK);
  ASSERT_TRUE(source->Remove(KeyBytes(2)));
  EXPECT_EQ(table->SeekRow(mark, 0, &sought), MAPI_W_POSITION_CHANGED);
  EXPECT_EQ(Read(1), V{20});
  ASSERT_EQ(table->FreeBookmark(mark), S_OK);
  EXPECT_EQ(table->FreeBookmark(mark), MAPI_E_INVALID_BOOKMARK);
  EXPECT_EQ(table->CreateBookmark(nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, FindRowForwardBackwardAndFromBookmarks) {
  SPropValue two = LongValue(kGroup, 2);
  SRestriction r = Equal(&two);
  ASSERT_EQ(table->FindRow(&r, BOOKMARK_END, DIR_BACKWARD), S_OK);
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{20});
  BOOKMARK mark = 0;
  ASSERT_EQ(table->CreateBookmark(&mark), S_OK);            // on num 20
  ASSERT_EQ(table->FindRow(&r, mark, DIR_BACKWARD), S_OK);  // starts before the bookmark
  EXPECT_EQ(Read(1, TBL_NOADVANCE), V{30});
  two.Value.l = 9;
  EXPECT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(table->FindRow(&r, 12345, 0), MAPI_E_INVALID_BOOKMARK);
  EXPECT_EQ(table->FindRow(nullptr, BOOKMARK_BEGINNING, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 4), MAPI_E_UNKNOWN_FLAGS);
}

TEST_F(TableTest, RestrictAndSortWithSeveralKeys) {
  SortBy(kGroup, TABLE_SORT_ASCEND, kName, TABLE_SORT_DESCEND);
  EXPECT_EQ(Read(10), (V{10, 40, 30, 20}));  // group 1: "alpha", missing; group 2: "Charlie", "Bravo"
  SortBy(kName, TABLE_SORT_ASCEND);
  EXPECT_EQ(Read(10), (V{40, 10, 20, 30}));  // missing first, then case-insensitive
  SPropValue one = LongValue(kGroup, 1);
  SRestriction r = Equal(&one);
  ASSERT_EQ(table->Restrict(&r, 0), S_OK);
  one.Value.l = 2;  // the table keeps its own copy
  EXPECT_EQ(Read(10), (V{40, 10}));
  SizedSSortOrderSet<1> none = {0, 0, 0, {}};

  SizedSSortOrderSet<1> categorised = {1, 1, 0, {{kGroup, TABLE_SORT_ASCEND}}}, badOrder = {1, 0, 0, {{kGroup, 0x40}}};
  EXPECT_EQ(table->SortTable(categorised.Ptr(), 0), MAPI_E_TOO_COMPLEX);
  EXPECT_EQ(table->SortTable(badOrder.Ptr(), 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->SortTable(nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->SortTable(none.Ptr(), 8), MAPI_E_UNKNOWN_FLAGS);
  SRestriction bad{0x55, {}};
  EXPECT_EQ(table->Restrict(&bad, 0), MAPI_E_TOO_COMPLEX);
  EXPECT_EQ(table->Restrict(nullptr, 0x80), MAPI_E_UNKNOWN_FLAGS);
  TMapiBuffer<MAPIERROR> error;
  ASSERT_EQ(table->GetLastError(MAPI_E_UNKNOWN_FLAGS, 0, error.Out()), S_OK);
  ASSERT_TRUE(error);
  EXPECT_STREQ(error->lpszError, "Unknown flags were given.");
  EXPECT_STREQ(error->lpszComponent, "Orba Store table");
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

TEST_F(TableTest, NotificationsCarryRowsInTheCurrentColumns) {
  ULONG_PTR connection = 0;
  auto sink = WatchTable<TKeySink>(table.get(), &connection);
  SortBy(kNum, TABLE_SORT_ASCEND);
  Put(5, 25, u"Echo", 1);  // after num 20
  Put(5, 5, u"Echo", 1);   // modified: moves to the front
  ASSERT_TRUE(source->Remove(KeyBytes(5)));
  source->Reset({});
  Columns({kNum}, TBL_ASYNC);
  table->Restrict(nullptr, TBL_ASYNC);
  SizedSSortOrderSet<1> none = {0, 0, 0, {}};
  table->SortTable(none.Ptr(), TBL_ASYNC);
  const std::vector<TKeySink::TSeen> expected = {{TABLE_ROW_ADDED, KeyBytes(5), KeyBytes(3)},
                                                 {TABLE_ROW_MODIFIED, KeyBytes(5), ""},
                                                 {TABLE_ROW_DELETED, KeyBytes(5), ""},
                                                 {TABLE_RELOAD, "", ""},
                                                 {TABLE_SETCOL_DONE, "", ""},
                                                 {TABLE_RESTRICT_DONE, "", ""},
                                                 {TABLE_SORT_DONE, "", ""}};
  EXPECT_EQ(sink->seen, expected);
  EXPECT_EQ(sink->rows[0][0].Value.l, 25);  // in the columns set then

  ASSERT_EQ(table->Unadvise(connection), S_OK);
  Put(6, 1, u"x", 1);
  EXPECT_EQ(sink->seen.size(), 7u);
  EXPECT_EQ(table->Unadvise(connection), MAPI_E_NOT_FOUND);
  EXPECT_EQ(table->Advise(fnevTableModified, nullptr, &connection), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(table->Advise(fnevNewMail, sink.get(), &connection), MAPI_E_INVALID_PARAMETER);
}

TEST_F(TableTest, RestrictedTableFollowsRowsThatEnterOrLeaveIt) {
  auto sink = WatchTable<TKeySink>(table.get());
  SPropValue one = LongValue(kGroup, 1);
  SRestriction r = Equal(&one);
  ASSERT_EQ(table->Restrict(&r, 0), S_OK);
  Put(3, 20, u"Bravo", 1);    // enters the view
  Put(2, 10, u"alpha", 2);    // leaves it
  Put(1, 31, u"Charlie", 2);  // outside, stays outside
  ASSERT_EQ(sink->seen.size(), 2u);
  EXPECT_EQ(sink->seen[0].event, TABLE_ROW_ADDED);
  EXPECT_EQ(sink->seen[1].event, TABLE_ROW_DELETED);
  EXPECT_EQ(Read(10), (V{40, 20}));  // a row entering an unsorted view comes last
}

}  // namespace
}  // namespace orba::store
