// Sizes and offsets of the structures that cross the seam equal the published
// 64-bit Windows layout (32-bit ULONG, 64-bit pointers).
#include <cstddef>

#include <gtest/gtest.h>

#include "mapi/mapix.h"

namespace {

static_assert(sizeof(void*) == 8, "the seam is laid out for 64-bit targets");

TEST(MapiLayout, PropertyValue) {
  EXPECT_EQ(sizeof(SPropValue), 24u);
  EXPECT_EQ(offsetof(SPropValue, ulPropTag), 0u);
  EXPECT_EQ(offsetof(SPropValue, Value), 8u);
  EXPECT_EQ(sizeof(__UPV), 16u);
  EXPECT_EQ(sizeof(SBinary), 16u);
  EXPECT_EQ(offsetof(SBinary, lpb), 8u);
  EXPECT_EQ(sizeof(CURRENCY), 8u);
  EXPECT_EQ(sizeof(SPropTagArray), 8u);
  EXPECT_EQ(offsetof(SPropTagArray, aulPropTag), 4u);
  EXPECT_EQ(sizeof(SPropProblem), 12u);
}

TEST(MapiLayout, RowsAndAddressLists) {
  EXPECT_EQ(sizeof(SRow), 16u);
  EXPECT_EQ(offsetof(SRow, cValues), 4u);
  EXPECT_EQ(offsetof(SRow, lpProps), 8u);
  EXPECT_EQ(sizeof(ADRENTRY), sizeof(SRow));
  EXPECT_EQ(offsetof(ADRENTRY, rgPropVals), offsetof(SRow, lpProps));
  EXPECT_EQ(offsetof(SRowSet, aRow), 8u);
  EXPECT_EQ(offsetof(ADRLIST, aEntries), 8u);
  EXPECT_EQ(CbNewSRowSet(3), 8u + 3 * 16u);
  EXPECT_EQ(offsetof(SSortOrderSet, aSort), 12u);
  EXPECT_EQ(CbNewSSortOrderSet(2), 12u + 2 * 8u);
}

TEST(MapiLayout, Restriction) {
  EXPECT_EQ(sizeof(SRestriction), 32u);
  EXPECT_EQ(offsetof(SRestriction, res), 8u);
  EXPECT_EQ(sizeof(SPropertyRestriction), 16u);
  EXPECT_EQ(offsetof(SPropertyRestriction, lpProp), 8u);
  EXPECT_EQ(sizeof(SCommentRestriction), 24u);
  EXPECT_EQ(offsetof(SCommentRestriction, lpProp), 16u);
  EXPECT_EQ(sizeof(SBitMaskRestriction), 12u);
}

TEST(MapiLayout, Notification) {
  EXPECT_EQ(sizeof(TABLE_NOTIFICATION), 80u);
  EXPECT_EQ(offsetof(TABLE_NOTIFICATION, propIndex), 8u);
  EXPECT_EQ(offsetof(TABLE_NOTIFICATION, propPrior), 32u);
  EXPECT_EQ(offsetof(TABLE_NOTIFICATION, row), 56u);
  EXPECT_EQ(sizeof(OBJECT_NOTIFICATION), 72u);
  EXPECT_EQ(offsetof(OBJECT_NOTIFICATION, ulObjType), 16u);
  EXPECT_EQ(offsetof(OBJECT_NOTIFICATION, lpPropTagArray), 64u);
  EXPECT_EQ(sizeof(NEWMAIL_NOTIFICATION), 56u);
  EXPECT_EQ(offsetof(NEWMAIL_NOTIFICATION, lpszMessageClass), 40u);
  EXPECT_EQ(sizeof(NOTIFICATION), 88u);
  EXPECT_EQ(offsetof(NOTIFICATION, info), 8u);
}

TEST(MapiLayout, ErrorNamesAndEntryLists) {
  EXPECT_EQ(sizeof(MAPIERROR), 32u);
  EXPECT_EQ(offsetof(MAPIERROR, lpszComponent), 16u);
  EXPECT_EQ(offsetof(MAPIERROR, ulLowLevelError), 24u);
  EXPECT_EQ(sizeof(MAPINAMEID), 24u);
  EXPECT_EQ(offsetof(MAPINAMEID, ulKind), 8u);
  EXPECT_EQ(offsetof(MAPINAMEID, Kind), 16u);
  EXPECT_EQ(sizeof(ENTRYLIST), 16u);
  EXPECT_EQ(offsetof(ENTRYLIST, lpbin), 8u);
  EXPECT_EQ(offsetof(FLATENTRYLIST, abEntries), 8u);
  EXPECT_EQ(CbNewFLATENTRY(10), 14u);
  EXPECT_EQ(offsetof(ENTRYID, ab), 4u);
  EXPECT_EQ(sizeof(MAPIUID), 16u);
  EXPECT_EQ(sizeof(READSTATE), 24u);
  EXPECT_EQ(sizeof(MAPIINIT_0), 8u);
}

TEST(MapiLayout, SizedHelpersMatchTheVariableForms) {
  SizedSPropTagArray<3> tags = {3, {PROP_TAG(PT_LONG, 1), PROP_TAG(PT_UNICODE, 2), PROP_TAG(PT_BINARY, 3)}};
  LPSPropTagArray generic = tags.Ptr();
  EXPECT_EQ(generic->cValues, 3u);
  EXPECT_EQ(generic->aulPropTag[2], PROP_TAG(PT_BINARY, 3));
  EXPECT_EQ(sizeof(tags), CbNewSPropTagArray(3));
  EXPECT_EQ(CbSPropTagArray(generic), CbNewSPropTagArray(3));

  SizedSSortOrderSet<2> sort = {
      2, 1, 1, {{PROP_TAG(PT_LONG, 1), TABLE_SORT_DESCEND}, {PROP_TAG(PT_LONG, 2), TABLE_SORT_ASCEND}}};
  EXPECT_EQ(sort.Ptr()->aSort[0].ulOrder, TABLE_SORT_DESCEND);
  EXPECT_EQ(sizeof(sort), CbNewSSortOrderSet(2));
  EXPECT_EQ(sizeof(SizedSRowSet<4>), CbNewSRowSet(4));
  EXPECT_EQ(sizeof(SizedADRLIST<2>), CbNewADRLIST(2));
}

}  // namespace
