// MAPI's validation functions (FBad...) on well-formed structures and on broken ones:
// bad types, null pointers where none is allowed, counts past the data (in MAPI
// buffers, whose sizes bound them) and pointers that lead nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

using namespace orba::store;

namespace {

const auto kWild = reinterpret_cast<void*>(uintptr_t{16});

SPropValue Long(ULONG id, LONG value) { return {PROP_TAG(PT_LONG, id), 0, {.l = value}}; }
SPropValue Text(ULONG id, const char16_t* text) {
  return {PROP_TAG(PT_UNICODE, id), 0, {.lpszW = const_cast<LPWSTR>(text)}};
}

TEST(Validation, PropTags) {
  struct {
    ULONG tag;
    bool bad;
  } const cases[] = {{PROP_TAG(PT_LONG, 0x0E07), false},
                     {PROP_TAG(PT_MV_UNICODE, 0x8001), false},
                     {MVI_PROP(PROP_TAG(PT_MV_LONG, 0x1000)), false},
                     {PROP_TAG(PT_NULL, 0), false},
                     {PROP_TAG(PT_ERROR, 0x0037), false},
                     {PROP_TAG(0x0123, 0x0037), true},
                     {PROP_TAG(PT_LONG | MV_INSTANCE, 0x1000), true},
                     {PROP_TAG(MV_FLAG | PT_OBJECT, 1), true},
                     {PROP_TAG(PT_LONG, PROP_ID_INVALID), true}};
  for (const auto& c : cases) EXPECT_EQ(FBadPropTag(c.tag), c.bad ? 1u : 0u) << std::hex << c.tag;
}

TEST(Validation, PropValues) {
  auto text = TMapiBuffer<char>::Allocate(3);
  std::memcpy(text.get(), "abc", 3);  // no terminator inside its buffer
  LONG longs[] = {1, 2};
  SPropValue good[] = {Long(1, 5),
                       Text(2, u"x"),
                       {PROP_TAG(PT_BOOLEAN, 3), 0, {.b = 1}},
                       {PROP_TAG(PT_MV_LONG, 4), 0, {.MVl = {2, longs}}},
                       {PROP_TAG(PT_BINARY, 5), 0, {.bin = {0, nullptr}}}};
  for (SPropValue& value : good) EXPECT_FALSE(FBadProp(&value)) << std::hex << value.ulPropTag;
  SPropValue bad[] = {
      {PROP_TAG(PT_BOOLEAN, 3), 0, {.b = 2}},
      {PROP_TAG(PT_UNICODE, 2), 0, {.lpszW = nullptr}},
      {PROP_TAG(PT_STRING8, 2), 0, {.lpszA = text.get()}},
      {PROP_TAG(PT_BINARY, 5), 0, {.bin = {10, nullptr}}},
      {PROP_TAG(PT_BINARY, 5), 0, {.bin = {10, static_cast<LPBYTE>(kWild)}}},
      {PROP_TAG(PT_MV_LONG, 4), 0, {.MVl = {0, longs}}},
      {PROP_TAG(PT_MV_LONG, 4), 0, {.MVl = {2, nullptr}}},
      {PROP_TAG(PT_MV_LONG, 4), 0, {.MVl = {1, reinterpret_cast<LONG*>(reinterpret_cast<BYTE*>(longs) + 1)}}},
      {PROP_TAG(PT_CLSID, 6), 0, {.lpguid = nullptr}},
      {PROP_TAG(PT_UNSPECIFIED, 7), 0, {}},
      {PROP_TAG(0x0123, 8), 0, {}}};
  for (SPropValue& value : bad) EXPECT_TRUE(FBadProp(&value)) << std::hex << value.ulPropTag;
  EXPECT_TRUE(FBadProp(nullptr));
  EXPECT_TRUE(FBadProp(static_cast<LPSPropValue>(kWild)));
}

// A row set of count rows in one MAPI buffer, each row's values a buffer of their own.
TMapiBuffer<SRowSet> Rows(ULONG count, ULONG room) {
  auto rows = TMapiBuffer<SRowSet>::Allocate(CbNewSRowSet(room));
  rows->cRows = count;
  for (ULONG i = 0; i < std::min(count, room); ++i) {
    auto* values = AllocateBufferOf<SPropValue>(2);
    values[0] = Long(1, static_cast<LONG>(i));
    values[1] = Text(2, u"row");
    rows->aRow[i] = {0, 2, values};
  }
  return rows;
}

TEST(Validation, RowSetsAndRows) {
  auto good = Rows(3, 3);
  EXPECT_FALSE(FBadRowSet(good.get()));
  EXPECT_FALSE(FBadRow(&good->aRow[1]));
  auto pastTheData = Rows(5, 1);  // room for one row, five counted
  EXPECT_TRUE(FBadRowSet(pastTheData.get()));
  pastTheData->cRows = 1;
  FreeProws(pastTheData.Release());

  good->aRow[2].lpProps[1].Value.lpszW = nullptr;
  EXPECT_TRUE(FBadRowSet(good.get()));
  SRow nullValues{0, 2, nullptr}, empty{0, 0, nullptr};
  EXPECT_TRUE(FBadRow(&nullValues));
  EXPECT_FALSE(FBadRow(&empty));
  EXPECT_TRUE(FBadRowSet(nullptr));
  EXPECT_TRUE(FBadRow(nullptr));
  good->aRow[2].lpProps[1].Value.lpszW = const_cast<LPWSTR>(u"row");
  FreeProws(good.Release());
}

TEST(Validation, ColumnSetsAndSortOrders) {
  SizedSPropTagArray<3> columns{3, {PROP_TAG(PT_LONG, 1), PROP_TAG(PT_NULL, 0), PROP_TAG(PT_UNICODE, 2)}};
  EXPECT_FALSE(FBadColumnSet(columns.Ptr()));
  columns.aulPropTag[1] = PROP_TAG(PT_ERROR, 1);
  EXPECT_TRUE(FBadColumnSet(columns.Ptr()));
  auto pastTheData = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(1));
  pastTheData->cValues = 100;
  EXPECT_TRUE(FBadColumnSet(pastTheData.get()));
  SizedSPropTagArray<1> none{0, {0}};
  EXPECT_TRUE(FBadColumnSet(none.Ptr()));
  EXPECT_TRUE(FBadColumnSet(nullptr));

  SizedSSortOrderSet<2> sort{
      2, 1, 1, {{PROP_TAG(PT_UNICODE, 2), TABLE_SORT_ASCEND}, {PROP_TAG(PT_LONG, 1), TABLE_SORT_DESCEND}}};
  EXPECT_FALSE(FBadSortOrderSet(sort.Ptr()));
  sort.aSort[1].ulOrder = 0x10;
  EXPECT_TRUE(FBadSortOrderSet(sort.Ptr()));
  sort.aSort[1].ulOrder = TABLE_SORT_ASCEND;
  sort.cCategories = 3;
  EXPECT_TRUE(FBadSortOrderSet(sort.Ptr()));
  EXPECT_TRUE(FBadSortOrderSet(nullptr));
}

TEST(Validation, Restrictions) {
  SPropValue subject = Text(0x0037, u"Hello"), number = Long(0x0E07, 4);
  SRestriction parts[2] = {};
  parts[0].rt = RES_CONTENT;
  parts[0].res.resContent = {FL_SUBSTRING | FL_IGNORECASE, PROP_TAG(PT_UNICODE, 0x0037), &subject};
  parts[1].rt = RES_PROPERTY;
  parts[1].res.resProperty = {RELOP_GE, PROP_TAG(PT_LONG, 0x0E07), &number};
  SRestriction both{RES_AND, {}};
  both.res.resAnd = {2, parts};
  EXPECT_FALSE(FBadRestriction(&both));

  // Broken: unknown operators, types and restriction kinds, missing and wild pointers.
  parts[1].res.resProperty.relop = 42;
  EXPECT_TRUE(FBadRestriction(&both));
  parts[1].res.resProperty = {RELOP_GE, PROP_TAG(PT_LONG, 0x0E07), nullptr};
  EXPECT_TRUE(FBadRestriction(&both));
  parts[1].res.resProperty.lpProp = &number;
  parts[0].res.resContent.ulPropTag = PROP_TAG(PT_LONG, 0x0E07);  // content on a number
  EXPECT_TRUE(FBadRestriction(&both));
  parts[0].res.resContent.ulPropTag = PROP_TAG(PT_UNICODE, 0x0037);
  both.res.resAnd.lpRes = static_cast<LPSRestriction>(kWild);
  EXPECT_TRUE(FBadRestriction(&both));
  SRestriction negation{RES_NOT, {}}, unknown{0x77, {}};
  negation.res.resNot.lpRes = nullptr;
  EXPECT_TRUE(FBadRestriction(&negation));
  EXPECT_TRUE(FBadRestriction(&unknown));
  EXPECT_TRUE(FBadRestriction(nullptr));

  // A restriction value leading back to its own restriction.
  SRestriction loop{RES_PROPERTY, {}};
  SPropValue self{PROP_TAG(PT_SRESTRICTION, 0x6600), 0, {.lpv = &loop}};
  loop.res.resProperty = {RELOP_EQ, self.ulPropTag, &self};
  EXPECT_TRUE(FBadRestriction(&loop));
  EXPECT_TRUE(FBadProp(&self));
  auto parent = TMapiBuffer<BYTE>::Allocate(1);
  SPropValue copy{};
  EXPECT_EQ(PropCopyMore(&copy, &self, MAPIAllocateMore, parent.get()), MAPI_E_INVALID_PARAMETER);

  // An AND counting more children than its buffer holds.
  auto one = TMapiBuffer<SRestriction>::Allocate();
  one->rt = RES_EXIST;
  one->res.resExist.ulPropTag = PROP_TAG(PT_LONG, 0x0E07);
  SRestriction counted{RES_AND, {}};
  counted.res.resAnd = {3, one.get()};
  EXPECT_TRUE(FBadRestriction(&counted));
  counted.res.resAnd.cRes = 1;
  EXPECT_FALSE(FBadRestriction(&counted));
}

// levels restriction values, each a chain of nots RES_NOT nodes over a RES_AND of fanout
// comments, each comment holding the next level's value (the last level's lead back to
// the first when loop).
struct TNestedValues {
  TNestedValues(int levels, int nots, int fanout, bool loop) : nodes(levels), values(levels) {
    for (int l = 0; l < levels; ++l) {
      std::vector<SRestriction>& level = nodes[l];
      level.resize(nots + 1 + fanout);
      for (int i = 0; i < nots; ++i) level[i] = {RES_NOT, {.resNot = {0, &level[i + 1]}}};
      level[nots] = {RES_AND, {.resAnd = {ULONG(fanout), &level[nots + 1]}}};
      SPropValue* next = l + 1 < levels ? &values[l + 1] : (loop ? &values[0] : nullptr);
      for (int i = 0; i < fanout; ++i)
        level[nots + 1 + i] = {RES_COMMENT, {.resComment = {next ? 1u : 0u, nullptr, next}}};
      values[l] = {PROP_TAG(PT_SRESTRICTION, 0x6600), 0, {.lpv = level.data()}};
    }
  }
  std::vector<std::vector<SRestriction>> nodes;
  std::vector<SPropValue> values;
};

TEST(Validation, RestrictionValuesInsideRestrictionsCountAsOneStructure) {
  struct {
    int levels, nots, fanout;
    bool loop, bad;
    HRESULT set;  // SetProps on a property data object; S_FALSE: not tried (too large to copy)
  } const cases[] = {{2, 100, 1, false, false, S_OK},
                     {2, 150, 1, false, true, MAPI_E_TOO_COMPLEX},  // deeper than allowed in all
                     {1, 250, 1, true, true, MAPI_E_TOO_COMPLEX},
                     {12, 0, 2, false, false, S_OK},     // shared levels, walked once
                     {6, 0, 10, false, true, S_FALSE}};  // more than a million nodes when copied
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.levels << " levels of " << c.nots << " + " << c.fanout);
    TNestedValues nested(c.levels, c.nots, c.fanout, c.loop);
    EXPECT_EQ(FBadProp(&nested.values[0]), c.bad ? 1u : 0u);
    EXPECT_EQ(FBadRestriction(nested.nodes[0].data()), c.bad ? 1u : 0u);
    auto parent = TMapiBuffer<BYTE>::Allocate(1);
    SPropValue copy{};
    EXPECT_EQ(PropCopyMore(&copy, &nested.values[0], MAPIAllocateMore, parent.get()),
              c.bad ? MAPI_E_INVALID_PARAMETER : S_OK);
    if (c.set == S_FALSE) continue;
    LPPROPDATA data = nullptr;
    ASSERT_EQ(CreateIProp(nullptr, MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer, nullptr, &data), S_OK);
    LPSPropProblemArray problems = nullptr;
    HRESULT hr = data->SetProps(1, nested.values.data(), &problems);
    EXPECT_EQ(problems && SUCCEEDED(hr) ? problems->aProblem[0].scode : hr, c.set);
    MAPIFreeBuffer(problems);
    data->Release();
  }
}

TEST(Validation, TextArrays) {
  LPSTR narrow[] = {const_cast<LPSTR>("a"), const_cast<LPSTR>("bc")};
  LPWSTR wide[] = {const_cast<LPWSTR>(u"a"), nullptr};
  EXPECT_FALSE(FBadRglpszA(narrow, 2));
  EXPECT_FALSE(FBadRglpszA(nullptr, 0));
  EXPECT_TRUE(FBadRglpszA(nullptr, 2));
  EXPECT_FALSE(FBadRglpszW(wide, 1));
  EXPECT_TRUE(FBadRglpszW(wide, 2));
  auto unterminated = TMapiBuffer<char>::Allocate(2);
  std::memcpy(unterminated.get(), "xy", 2);
  narrow[1] = unterminated.get();
  EXPECT_TRUE(FBadRglpszA(narrow, 2));
}

}  // namespace
