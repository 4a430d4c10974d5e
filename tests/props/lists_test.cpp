// The list classes: cursor over linked items, set semantics, imports, tag arrays.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPILists.h"
#include "propowner_double.h"

namespace orba {
namespace {

TVoMAPIEntryID Eid(std::initializer_list<uint8_t> bytes) { return TVoVariant(TVoVariant::ByteArray(bytes)); }

ComPtr<TVoMAPIValueList> Values(std::initializer_list<int32_t> values) {
  auto list = MakeComObject<TVoMAPIValueList>();
  for (int32_t v : values) list->Add(TVoVariant(v));
  return list;
}

// The cursor after a walk: F First, L Last, N Next, P Previous, R DeleteRecord, a digit
// Delete(digit). Adding moves the cursor to the new item.
TEST(ListCursor, WalksAndDeletionsMoveTheCursor) {
  struct Case {
    std::initializer_list<int32_t> values;
    const char* walk;
    int32_t current;  // 0: EOF
    int count;
  };
  const Case cases[] = {
      {{1, 2, 3}, "", 3, 3},     {{1, 2, 3}, "LN", 0, 3},   {{1, 2, 3}, "LRN", 0, 2},
      {{1}, "R", 0, 0},          {{1, 2, 3}, "FR", 2, 2},   {{1, 2, 3}, "0FP", 0, 2},
      {{1, 2, 3}, "1FNP", 1, 2}, {{1, 2, 3}, "FN11", 0, 1}, {{}, "F", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.walk);
    auto list = Values(c.values);
    for (const char* op = c.walk; *op; ++op) switch (*op) {
        case 'F': list->First(); break;
        case 'L': list->Last(); break;
        case 'N': list->Next(); break;
        case 'P': list->Previous(); break;
        case 'R': list->DeleteRecord(); break;
        default: list->Delete(*op - '0');
      }
    EXPECT_EQ(list->Get_Count(), c.count);
    EXPECT_EQ(list->Get_EOF(), c.current == 0);
    if (c.current) {
      EXPECT_EQ(list->Get_CurrentRecord(), TVoVariant(c.current));
    }
  }
}

TEST(ListCursor, EOFIndexErrorsAndClear) {
  auto list = Values({1, 2, 3});
  list->Delete(1);
  EXPECT_EQ(list->Get_Item(1), TVoVariant(int32_t(3)));  // the neighbours are relinked
  EXPECT_RAISES(list->Get_Item(2), EVoException, E_INVALIDARG, u"List index out of bounds (2)");
  EXPECT_RAISES(list->Delete(-1), EVoException, E_INVALIDARG, u"List index out of bounds (-1)");
  list->Clear();
  EXPECT_EQ(list->Get_Count(), 0);
  EXPECT_TRUE(list->Get_EOF());
  EXPECT_RAISES(list->Get_CurrentRecord(), EVoMAPIException, E_FAIL, u"The list is EOF!");
  EXPECT_RAISES(list->DeleteRecord(), EVoMAPIException, E_FAIL, u"The list is EOF!");
}

TEST(EntryIDList, SameEntryIDOnceImportAndAssign) {
  auto list = MakeComObject<TVoMAPIEntryIDList>();
  EXPECT_EQ(list->Add(Eid({1, 2, 3})), 0);
  EXPECT_EQ(list->Add(Eid({9})), 1);
  EXPECT_EQ(list->Add(Eid({1, 2, 3})), 0);
  EXPECT_EQ(list->Get_Count(), 2);
  // Equality is by bytes, also for an array of numbers.
  TVoVariant numbers(TVoVariant::VariantArray{TVoVariant(int32_t(9))});
  EXPECT_EQ(list->IndexOf(numbers), 1);
  list->Remove(Eid({1, 2, 3}));
  EXPECT_EQ(list->Get_Count(), 1);
  EXPECT_EQ(list->Get_Item(0), Eid({9}));
  uint8_t a[] = {1, 2}, b[] = {3};
  SBinary bins[] = {{2, a}, {1, b}, {2, a}};
  SBinaryArray entries{3, bins};
  list = MakeComObject<TVoMAPIEntryIDList>();
  list->Import(entries);
  EXPECT_EQ(list->Get_Count(), 2);
  auto other = MakeComObject<TVoMAPIEntryIDList>();
  other->Add(Eid({42}));
  list->AssignTo(other.get());
  EXPECT_EQ(other->Get_Count(), 2);
  SBinaryArray broken{1, nullptr};
  EXPECT_THROW(list->Import(broken), EVoMAPIException);
}

TEST(ValueList, SetSemanticsAndArrayEquality) {
  auto list = MakeComObject<TVoMAPIValueList>();
  TVoVariant arr(TVoVariant::VariantArray{TVoVariant(u"a"), TVoVariant(int32_t(1))});
  EXPECT_EQ(list->Add(arr), 0);
  EXPECT_EQ(list->Add(TVoVariant(TVoVariant::VariantArray{TVoVariant(u"a"), TVoVariant(int32_t(1))})), 0);
  EXPECT_EQ(list->Add(TVoVariant(int16_t(1))), 1);
  EXPECT_EQ(list->Get_Count(), 2);
  auto other = MakeComObject<TVoMAPIValueList>();
  list->AssignTo(other.get());
  EXPECT_EQ(other->Get_Count(), 2);
}

TEST(ValueList, ValuesOfOneKindCompareByValue) {
  auto list = MakeComObject<TVoMAPIValueList>();
  EXPECT_EQ(list->Add(TVoVariant(int32_t(7))), 0);
  EXPECT_EQ(list->Add(TVoVariant(int16_t(7))), 0);  // MAPI's 16-bit form of the same number
  EXPECT_EQ(list->IndexOf(TVoVariant(int64_t(7))), 0);
  EXPECT_EQ(list->Add(TVoVariant(u"7")), 1);  // other kinds stay apart
  EXPECT_EQ(list->Add(TVoVariant(7.0)), 2);
  EXPECT_EQ(list->Add(TVoVariant(TVoVariant::VariantArray{TVoVariant(int16_t(7))})), 3);
  EXPECT_EQ(list->IndexOf(TVoVariant(TVoVariant::VariantArray{TVoVariant(int32_t(7))})), 3);
  list->Remove(TVoVariant(int16_t(7)));
  EXPECT_EQ(list->IndexOf(TVoVariant(int32_t(7))), -1);
}

class PropListTest : public ::testing::Test {
 protected:
  ComPtr<test::TTestPropObject> prop = MakeComObject<test::TTestPropObject>();
};

TEST_F(PropListTest, SamePropertyIgnoringType) {
  auto list = MakeComObject<TVoMAPIPropList>();
  EXPECT_EQ(list->Add(PR_SUBJECT), 0);
  EXPECT_EQ(list->Add(PR_SUBJECT_A), 0);
  EXPECT_EQ(list->Add(PR_IMPORTANCE), 1);
  list->Remove(PR_SUBJECT_A);
  EXPECT_EQ(list->Get_Count(), 1);
  EXPECT_EQ(list->Get_CurrentRecord(), PR_IMPORTANCE);
}

TEST_F(PropListTest, CreatePropTagArrayResolvesForTheObject) {
  auto list = MakeComObject<TVoMAPIPropList>();
  list->Add(PR_SUBJECT);
  list->Add(NPR_CONTACT_FILEUNDER);
  list->Add(PR_IMPORTANCE);
  prop->Unicode = false;
  LPSPropTagArray tags = list->CreatePropTagArray(*prop);
  ASSERT_EQ(tags->cValues, 3u);
  EXPECT_EQ(tags->aulPropTag[0], 0x0037001Eu);  // the 8-bit twin for an 8-bit object
  EXPECT_EQ(tags->aulPropTag[1] >> 16, 0x8100u);
}

TEST_F(PropListTest, PropValueListPairs) {
  auto list = MakeComObject<TVoMAPIPropValueList>(prop.get());
  EXPECT_EQ(list->Add(PR_SUBJECT), 0);
  EXPECT_TRUE(list->Get_Value(0).IsNull());
  EXPECT_EQ(list->AddValue(PR_SUBJECT, TVoVariant(u"Hello")), 0);  // the listed pair takes it
  EXPECT_EQ(list->AddValue(PR_SUBJECT_A, TVoVariant(u"Hi")), 1);   // another type
  EXPECT_EQ(list->Get_Value(0), TVoVariant(u"Hello"));
  list->First();
  list->Set_CurrentValue(TVoVariant(u"Changed"));
  EXPECT_EQ(list->Get_CurrentValue(), TVoVariant(u"Changed"));
  // The pairs resolve their tags through the object that created the list.
  EXPECT_EQ(list->PropValue(0).GetMAPIValue().ulPropTag, 0x0037001Fu);
}

TEST_F(PropListTest, PropValueListAssignAndImport) {
  auto list = MakeComObject<TVoMAPIPropValueList>();
  list->AddValue(PR_SUBJECT, TVoVariant(u"s"));
  list->AddValue(PR_IMPORTANCE, TVoVariant(int32_t(2)));
  auto copy = MakeComObject<TVoMAPIPropValueList>();
  list->AssignTo_(copy.get());
  EXPECT_EQ(copy->Get_Value(1), TVoVariant(int32_t(2)));
  SPropValue values[3]{};
  values[0].ulPropTag = 0x0037001F;
  char16_t subject[] = u"Imported";
  values[0].Value.lpszW = subject;
  values[1].ulPropTag = 0x00170003;
  values[1].Value.l = 1;
  values[2].ulPropTag = 0x7AB20003;  // unknown: registered on demand
  values[2].Value.l = 9;
  list = MakeComObject<TVoMAPIPropValueList>();
  list->AddValue(PR_BODY, TVoVariant(u"old"));
  list->Import(3, values);
  ASSERT_EQ(list->Get_Count(), 3);
  EXPECT_EQ(list->Get_Value(0), TVoVariant(u"Imported"));
  EXPECT_EQ(GetPropName(list->Get_Item(2)), u"$7AB20003");
  EXPECT_THROW(list->Import(1, nullptr), EVoMAPIException);
}

TEST(ABDestFieldList, FieldsByType) {
  auto list = MakeComObject<TVoMAPIABDestFieldList>();
  EXPECT_EQ(list->Add(u"To", rtTo), 0);
  EXPECT_EQ(list->Add(u"Cc", rtCC), 1);
  EXPECT_EQ(list->Add(u"To", rtTo), 2);  // no set semantics here
  list->Remove(TVoMAPIABDestField{u"To", rtTo});
  EXPECT_EQ(list->Get_Item(0).DestFieldName, u"Cc");
  auto other = MakeComObject<TVoMAPIABDestFieldList>();
  list->AssignTo(other.get());
  EXPECT_EQ(other->Get_Count(), 2);
}

}  // namespace
}  // namespace orba
