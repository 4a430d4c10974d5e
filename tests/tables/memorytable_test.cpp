// The in-memory table: rows of property values the caller fills, as table
// notifications hand them out.
#include <gtest/gtest.h>

#include <functional>

#include "common/mapierror.h"
#include "orba/VoMAPIMemoryTable.h"

namespace {

using namespace orba;

TEST(MemoryTable, StartsEmptyAndGivesNullForFieldsOfANewRow) {
  auto table = MakeComObject<TVoMAPIMemoryTable>();
  ComPtr<IVoMAPITableField> subject = table->Get_Fields()->Add(PR_SUBJECT_W);
  table->Open();
  EXPECT_TRUE(table->Get_EOF());
  table->Insert();
  EXPECT_FALSE(table->Get_EOF());
  EXPECT_TRUE(subject->Get_Value().IsNull());
  EXPECT_TRUE(table->FieldByName(PR_SUBJECT_A)->Get_Value().IsNull());
  EXPECT_TRUE(table->Modified());
}

TEST(MemoryTable, ATextValueIsSharedWithItsOtherWidth) {
  auto table = MakeComObject<TVoMAPIMemoryTable>();
  ComPtr<IVoMAPITableFields> fields = table->Get_Fields();
  ComPtr<IVoMAPITableField> wide = fields->Add(PR_SUBJECT_W), ansi = fields->FieldByName(PR_SUBJECT_A);
  table->Insert();
  ansi->Get_Value();  // the row now holds the 8-bit width too
  wide->Set_AsString(u"Caf\u00E9");
  EXPECT_EQ(ansi->Get_AsString(), u"Caf\u00E9");
  ComPtr<IVoMAPITableField> categories = fields->Add2(NPR_CATEGORIES_W.ID);
  EXPECT_EQ(fields->FindField(NPR_CATEGORIES_A).get(), categories.get());  // found as the other width
  table->Insert();
  ComPtr<IVoMAPITableField> body = fields->Add(PR_BODY_A);
  body->Set_AsString(u"only 8-bit");
  EXPECT_EQ(fields->Add(PR_BODY_W)->Get_AsString(), u"only 8-bit");  // found as the other width
}

TEST(MemoryTable, MovesThroughItsRowsAsAList) {
  auto table = MakeComObject<TVoMAPIMemoryTable>();
  ComPtr<IVoMAPITableField> n = table->Get_Fields()->Add(PR_IMPORTANCE);
  for (int32_t i = 0; i < 3; ++i) {
    table->Insert();
    n->Set_AsInteger(i);
  }
  table->First();
  table->Next();
  EXPECT_EQ(n->Get_AsInteger(), 1);
  table->Delete();  // the next row becomes current
  EXPECT_EQ(n->Get_AsInteger(), 2);
  table->Next();
  EXPECT_TRUE(table->Get_EOF());
  EXPECT_MAPI_ERROR(n->Get_Value(), E_FAIL, u"The list is EOF!");
  table->Clear();
  EXPECT_EQ(table->Get_RowCount(), 0);
}

TEST(MemoryTable, RefusesWhatOnlyMAPITablesDo) {
  auto table = MakeComObject<TVoMAPIMemoryTable>();
  EXPECT_MAPI_ERROR(table->Set_BatchSize(5), MAPI_E_NO_SUPPORT, u"The BatchSize of a MemoryTable is read only!");
  for (auto refused :
       std::initializer_list<std::function<void()>>{[&] { table->CreateRestriction(rtAnd); }, [&] { table->Advise(); }})
    EXPECT_MAPI_ERROR(refused(), 26, u"This method is not supported by this table!");
  const TVoMAPIPropInfo* error = RegisterProp(u"PR_TABLE_TEST_ERROR", 0x6602, PT_ERROR);
  EXPECT_MAPI_ERROR(table->FieldByName(*error->PropDef), E_UNEXPECTED,
                    u"The datatype of PR_TABLE_TEST_ERROR is dtError!");
}

}  // namespace
