// The fixed-size forms of the seam's variable-length structures have the sizes and
// layout of the variable forms they stand in for.
#include <cstddef>

#include <gtest/gtest.h>

#include "mapi/mapix.h"

namespace {

static_assert(sizeof(void*) == 8, "the seam is laid out for 64-bit targets");

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
