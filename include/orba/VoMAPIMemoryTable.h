// TVoMAPIMemoryTable (unit uVoMAPITable): a table kept in memory, one property/value
// list per row. It carries the changed rows of table notifications and serves callers
// who want a table they fill themselves:
//
//   auto table = MakeComObject<TVoMAPIMemoryTable>();
//   ComPtr<IVoMAPITableField> subject = table->Get_Fields()->Add(PR_SUBJECT_W);
//   table->Insert();
//   subject->Set_AsString(u"Hello");
//
// It moves through its rows as the library's lists do: past the last row (or before
// the first) there is no current row and EOF is set. It needs no session.
#pragma once

#include "orba/VoMAPILists.h"
#include "orba/VoMAPITable.h"

namespace orba {

// The rows of a memory table, with their own current row.
class TVoMAPIMemoryTableData : public TVoComObject<TVoMAPIPayloadList<ComPtr<TVoMAPIPropValueList>>, IUnknown> {
 public:
  using TVoComObject::TVoComObject;
  // Appends an empty row and makes it current.
  void AppendRecord();
  // The current row; at the end raises E_FAIL "The list is EOF!".
  TVoMAPIPropValueList& Current() const { return *CurrentData(); }
};

// A memory table's fields: asking for a field of type PT_ERROR fails the assertion
// "The datatype of %s is dtError!".
class TVoMAPIMemoryTableFields : public TVoMAPITableFields {
 public:
  using TVoMAPITableFields::FieldByName;
  using TVoMAPITableFields::TVoMAPITableFields;
  TVoMAPITableField& FieldByName(const TVoMAPIPropInfo& PropInfo) const override;
};

class TVoMAPIMemoryTable : public TVoMAPITableBase {
 public:
  // Parent (may be null) is the object the table belongs to.
  explicit TVoMAPIMemoryTable(TVoMAPIValueOwner* Parent = nullptr);

  // Without a MAPI object only the parent is checked.
  void CheckActive(std::u16string_view MethodName) override { TVoMAPIObject::CheckActive(MethodName); }

  // IVoMAPITableBase. Open moves to the first row.
  void Open() override;
  void Close() override { active_ = false; }
  void First() override;
  void Last() override;
  void Next() override;
  void Previous() override;
  bool16 Get_EOF() override;
  int32_t Get_RowCount() override { return Count(); }
  // Always 1; setting raises 0x80040102 "The BatchSize of a MemoryTable is read only!".
  int32_t Get_BatchSize() override { return 1; }
  void Set_BatchSize(int32_t Value) override;
  void Insert() override;
  void Delete() override;

  // Removes every row.
  void Clear();
  int32_t Count() const { return data_->Count(); }
  // Whether a row was inserted or deleted or a value written.
  bool Modified() const { return modified_; }

  // The value of the field's property in the current row; a text property missing in
  // one width is taken from the other. A property the row lacks reads as Null.
  TVoVariant GetFieldValue(TVoMAPITableField& Field) override;
  // Also writes the property's other text width when the row has it.
  void SetFieldValue(TVoMAPITableField& Field, const TVoVariant& Value) override;

 protected:
  ComPtr<TVoMAPITableFields> CreateFields() override;

 private:
  ComPtr<TVoMAPIMemoryTableData> data_;
  bool modified_ = false;
};

}  // namespace orba
