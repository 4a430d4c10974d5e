// The table cursor (unit uVoMAPITable): every MAPI table the library hands out (store
// lists, folder contents and hierarchies, recipients, attachments, address book
// containers) is read through TVoMAPITable over MAPI's IMAPITable. It keeps a list of
// fields (the columns the caller wants), reads rows from MAPI in batches of BatchSize
// (20 by default) and presents one current row whose values are read by field. It also
// sorts, filters with restrictions (orba/VoMAPIRestrictions.h), finds rows, seeks and
// counts rows, and forwards MAPI's table notifications to IVoMAPITableDEvents sinks.
//
//   auto table = MakeComObject<TVoMAPITable>(folder, session, contentsTable);
//   table->SetFields({PR_SUBJECT_W, PR_MESSAGE_DELIVERY_TIME});
//   ComPtr<IVoMAPITableField> subject = table->FieldByName(PR_SUBJECT_W);
//   for (table->First(); !table->Get_EOF(); table->Next()) Use(subject->Get_AsString());
//
// Movement: First, Next, Previous and Last. Past the last row EOF is set and the last
// row stays current; once EOF is set only First moves again (Last sets it too). There
// is no place before the first row: Previous on the first row stays there. A table
// that is not open opens at its first movement; reading a field of an open table
// without a current row moves to the first row.
//
// A PT_UNICODE field brings its PT_STRING8 twin into the columns (the twin first); a
// value that one of the two columns could not give (PT_ERROR) is read from the other.
//
// The table and everything it hands out belong to the thread of its session.
#pragma once

#include <functional>
#include <vector>

#include "mapi/mapidefs.h"
#include "orba/VoMAPIBuffer.h"
#include "orba/VoMAPIInterfaces.h"
#include "orba/VoMAPIRestrictions.h"
#include "orba/VoMAPIWrapper.h"
#include "orba/common/comobject.h"
#include "orba/common/variant.h"

namespace orba {

inline constexpr IID IID_IVoMAPITableField = {
    0x8BB5B9A3, 0xCF73, 0x4F94, {0xB8, 0x3F, 0xA9, 0xE3, 0xF5, 0xD7, 0x0E, 0x38}};
inline constexpr IID IID_IVoMAPITableFields = {
    0x4C7192B6, 0xD1C9, 0x4108, {0xAE, 0x3C, 0x83, 0x11, 0xF1, 0xD6, 0x35, 0x6E}};
inline constexpr IID IID_IVoMAPITableBase = {
    0x1E2DBE9E, 0xFF82, 0x473A, {0x9F, 0x1F, 0xF3, 0x5F, 0x54, 0x9F, 0x82, 0xBB}};
inline constexpr IID IID_IVoMAPITable = {0xAC1BE947, 0x540D, 0x4619, {0x8B, 0x00, 0x3F, 0xD6, 0xA5, 0xBE, 0x61, 0xB9}};
inline constexpr IID IID_IVoMAPITableDEvents = {
    0x687EE02F, 0xD7A0, 0x4168, {0x92, 0xC4, 0x0F, 0x46, 0xB1, 0x4F, 0x88, 0xF6}};

// Interfaces ----------------------------------------------------------------------------

// One column of a table. Every call on a field whose table was destroyed raises E_FAIL
// "The table this field belongs to has been destroyed!".
struct IVoMAPITableField : IUnknown {
  virtual TVoMAPIPropDef Get_FieldDef() = 0;
  // The registered property's type and name.
  virtual uint32_t Get_DataType() = 0;
  virtual WideString Get_FieldName() = 0;
  // The value in the current row: 8-bit text converted from the system code page, GUIDs
  // as their braced text, PT_ERROR as Null, other types as property values convert.
  // Writing raises E_ACCESSDENIED "The table is readonly!" on a MAPI table.
  virtual TVoVariant Get_Value() = 0;
  virtual void Set_Value(const TVoVariant& Value) = 0;
  // Typed views of Value (Null reads as 0, false, 0.0 and ""); the setters write Value.
  virtual bool16 Get_AsBoolean() = 0;
  virtual void Set_AsBoolean(bool16 Value) = 0;
  virtual TDateTime Get_AsDateTime() = 0;
  virtual void Set_AsDateTime(TDateTime Value) = 0;
  virtual double Get_AsFloat() = 0;
  virtual void Set_AsFloat(double Value) = 0;
  virtual int32_t Get_AsInteger() = 0;
  virtual void Set_AsInteger(int32_t Value) = 0;
  virtual int64_t Get_AsLargeInteger() = 0;
  virtual void Set_AsLargeInteger(int64_t Value) = 0;
  virtual GUID Get_AsGUID() = 0;
  virtual void Set_AsGUID(const GUID& Value) = 0;
  // A PT_BINARY value as its upper-case hexadecimal text.
  virtual WideString Get_AsString() = 0;
  virtual void Set_AsString(const WideString& Value) = 0;
  // The raw FILETIME of a PT_SYSTIME column, else AsDateTime as a FILETIME. Writing
  // always raises E_ACCESSDENIED "The SystemTime property is readonly!".
  virtual FILETIME Get_AsSystemTime() = 0;
  virtual void Set_AsSystemTime(const FILETIME& Value) = 0;

 protected:
  ~IVoMAPITableField() = default;
};

// The fields of a table, in column order. Changing the list closes an open table.
// Every call on a list whose table was destroyed raises E_FAIL "The table this
// fieldlist belongs to has been destroyed!".
struct IVoMAPITableFields : IUnknown {
  // The field of the property, added when the list has none of that property and type.
  // A PT_UNICODE property adds its PT_STRING8 twin first unless the list has it.
  virtual ComPtr<IVoMAPITableField> Add(TVoMAPIPropDef PropDef) = 0;
  // The same, the handle given as its 64-bit ID (signed and unsigned).
  virtual ComPtr<IVoMAPITableField> Add2(int64_t PropDefID) = 0;
  virtual ComPtr<IVoMAPITableField> Add3(uint64_t PropDefID) = 0;
  // Index 0..Count-1, else "List index out of bounds (%d)".
  virtual void Delete(int32_t Index) = 0;
  // Removing a field that is not in the list does nothing.
  virtual void Remove(IVoMAPITableField* Field) = 0;
  virtual void Clear() = 0;
  virtual int32_t Get_Count() = 0;
  virtual ComPtr<IVoMAPITableField> Get_Item(int32_t Index) = 0;
  // The field of the property (exact type first; an "_A" string property is also found
  // as its PT_UNICODE twin and a "_W" one as its PT_STRING8 twin, multi-valued ones
  // alike); FindField answers null when there is none, FieldByName raises 0x8004010F
  // "There is no field %s!".
  virtual ComPtr<IVoMAPITableField> FindField(TVoMAPIPropDef PropDef) = 0;
  virtual ComPtr<IVoMAPITableField> FieldByName(TVoMAPIPropDef PropDef) = 0;
  // The columns as a property tag array in MAPI memory, which the caller frees with
  // MAPIFreeBuffer.
  virtual LPSPropTagArray CreatePropTagArray() = 0;

 protected:
  ~IVoMAPITableFields() = default;
};

// The cursor every table kind offers. What a kind does not offer raises code 26 "This
// method is not supported by this table!".
struct IVoMAPITableBase : IUnknown {
  virtual bool16 Get_Active() = 0;
  virtual void Open() = 0;
  // Closes the table: notifications stop (raising OnClose), the filter is removed.
  virtual void Close() = 0;
  virtual void First() = 0;
  virtual void Last() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  virtual bool16 Get_EOF() = 0;
  // E_FAIL "The table is EOF!" when EOF is set.
  virtual void CheckEOF() = 0;
  // The number of rows (counted by seeking through the table when MAPI only knows an
  // approximate count); kept until the table closes or is filtered.
  virtual int32_t Get_RowCount() = 0;
  // Rows read per batch; at least 1.
  virtual int32_t Get_BatchSize() = 0;
  virtual void Set_BatchSize(int32_t Value) = 0;
  virtual TVoMAPICursorType Get_CursorType() = 0;
  // Always raises 0x80040102 "The CursorType is a readonly property!".
  virtual void Set_CursorType(TVoMAPICursorType Value) = 0;

  virtual ComPtr<IVoMAPITableFields> Get_Fields() = 0;
  virtual ComPtr<IVoMAPITableField> FieldByName(TVoMAPIPropDef PropDef) = 0;
  // Replace the fields by the properties, in order.
  virtual void SetFields(const std::vector<TVoMAPIPropDef>& PropDefs) = 0;
  virtual void SetFields(IVoMAPIPropList* PropList) = 0;
  // Shows the fields in the viewer registered with SetShowFieldsProc.
  virtual void DisplayFields() = 0;

  // Append a record and make it current; delete the current record.
  virtual void Insert() = 0;
  virtual void Delete() = 0;

  // A restriction of Type for this table (orba/VoMAPIRestrictions.h).
  virtual ComPtr<IVoMAPIRestriction> CreateRestriction(TVoMAPIRestrictionType Type) = 0;
  // Shows only the rows that match Restriction (null: all rows); an open table is
  // reopened. MAPI_E_TOO_COMPLEX raises "%s.SetFiltered failed!\r\nThe table cannot
  // perform the operation, because the restiction is too complicated.".
  virtual void Filter(IVoMAPIRestriction* Restriction) = 0;
  // Finds the next row matching Restriction from Origin (a MAPI bookmark) forward or
  // backward and makes it current; a filtered table raises E_FAIL "The table is
  // already filtered!". Not found sets EOF. FindNext and FindPrevious go on from the
  // row after the last one found.
  virtual bool16 FindRow(IVoMAPIRestriction* Restriction, int32_t Origin, bool16 Forward) = 0;
  virtual bool16 FindFirst(IVoMAPIRestriction* Restriction) = 0;
  virtual bool16 FindNext(IVoMAPIRestriction* Restriction) = 0;
  virtual bool16 FindPrevious(IVoMAPIRestriction* Restriction) = 0;
  virtual bool16 FindLast(IVoMAPIRestriction* Restriction) = 0;
  // Moves Count rows from the beginning, the current row or the end; answers whether
  // all Count rows could be passed.
  virtual bool16 SeekRow(TVoMapiTableBookmark Bookmark, int32_t Count) = 0;
  // Sorts on one property; the table is positioned before its first row again.
  virtual void Sort(TVoMAPIPropDef PropDef, bool16 Ascending) = 0;

 protected:
  ~IVoMAPITableBase() = default;
};

// A table that can tell its sinks when it changes.
struct IVoMAPITable : IVoMAPITableBase {
  // Starts MAPI's table notifications; a second Advise raises E_FAIL "The table
  // notification system has already been activated!", a table that gives no connection
  // code 26 "The given table does not support notifications!". UnAdvise stops them.
  virtual void Advise() = 0;
  virtual void UnAdvise() = 0;

 protected:
  ~IVoMAPITable() = default;
};

// The events of a table, each with the table as first argument. Changed rows come as a
// one-row IVoMAPITable whose fields are the notified columns, with the row's instance
// key as a byte array.
struct IVoMAPITableDEvents : IUnknown {
  virtual void OnChanged(IVoMAPITable* Table) = 0;
  virtual void OnError(IVoMAPITable* Table) = 0;
  virtual void OnReload(IVoMAPITable* Table) = 0;
  virtual void OnRestrictDone(IVoMAPITable* Table) = 0;
  virtual void OnSetColDone(IVoMAPITable* Table) = 0;
  virtual void OnSortDone(IVoMAPITable* Table) = 0;
  virtual void OnClose(IVoMAPITable* Table) = 0;
  virtual void OnRowAdded(IVoMAPITable* Table, const TVoVariant& InstanceKey, IVoMAPITable* Row) = 0;
  virtual void OnRowModified(IVoMAPITable* Table, const TVoVariant& InstanceKey, IVoMAPITable* Row) = 0;
  virtual void OnRowDeleted(IVoMAPITable* Table, const TVoVariant& InstanceKey) = 0;

 protected:
  ~IVoMAPITableDEvents() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPITableField, IUnknown, orba::IID_IVoMAPITableField);
ORBA_DECLARE_INTERFACE(orba::IVoMAPITableFields, IUnknown, orba::IID_IVoMAPITableFields);
ORBA_DECLARE_INTERFACE(orba::IVoMAPITableBase, IUnknown, orba::IID_IVoMAPITableBase);
ORBA_DECLARE_INTERFACE(orba::IVoMAPITable, orba::IVoMAPITableBase, orba::IID_IVoMAPITable);
ORBA_DECLARE_INTERFACE(orba::IVoMAPITableDEvents, IUnknown, orba::IID_IVoMAPITableDEvents);

namespace orba {

class TVoMAPITableBase;

// A field viewer: shows the fields of Table. The user-interface add-on registers one;
// without one DisplayFields raises.
using TVoShowFieldsProc = std::function<void(IVoMAPITableBase* Table)>;
// Registers the viewer (an empty function removes it).
void SetShowFieldsProc(TVoShowFieldsProc Proc);

// Classes -------------------------------------------------------------------------------

class TVoMAPITableField : public TVoComObject<TVoMAPIObject, IVoMAPITableField> {
 public:
  TVoMAPITableField(TVoMAPITableBase* Table, const TVoMAPIPropInfo& PropInfo);

  TVoMAPIPropDef Get_FieldDef() override { return *propInfo_->PropDef; }
  uint32_t Get_DataType() override { return propInfo_->PropType; }
  WideString Get_FieldName() override { return propInfo_->PropName; }
  TVoVariant Get_Value() override;
  void Set_Value(const TVoVariant& Value) override;
  bool16 Get_AsBoolean() override;
  void Set_AsBoolean(bool16 Value) override;
  TDateTime Get_AsDateTime() override;
  void Set_AsDateTime(TDateTime Value) override;
  double Get_AsFloat() override;
  void Set_AsFloat(double Value) override;
  int32_t Get_AsInteger() override;
  void Set_AsInteger(int32_t Value) override;
  int64_t Get_AsLargeInteger() override;
  void Set_AsLargeInteger(int64_t Value) override;
  GUID Get_AsGUID() override;
  void Set_AsGUID(const GUID& Value) override;
  WideString Get_AsString() override;
  void Set_AsString(const WideString& Value) override;
  FILETIME Get_AsSystemTime() override;
  void Set_AsSystemTime(const FILETIME& Value) override;

  const TVoMAPIPropInfo& PropInfo() const { return *propInfo_; }
  // The field's columns in a row: its own, the PT_STRING8 one and the PT_UNICODE one;
  // -1 where there is none (all three -1: the field is no column of the table).
  struct TColumns {
    int32_t Field = -1, Ansi = -1, Unicode = -1;
  };
  TColumns& Columns() { return columns_; }
  // The field's table, raising the destroyed-table text when it is gone.
  TVoMAPITableBase& Table() const;

 private:
  const TVoMAPIPropInfo* propInfo_;
  TColumns columns_;
};

class TVoMAPITableFields : public TVoComObject<TVoMAPIObject, IVoMAPITableFields> {
 public:
  explicit TVoMAPITableFields(TVoMAPITableBase* Table);

  ComPtr<IVoMAPITableField> Add(TVoMAPIPropDef PropDef) override;
  ComPtr<IVoMAPITableField> Add2(int64_t PropDefID) override;
  ComPtr<IVoMAPITableField> Add3(uint64_t PropDefID) override;
  void Delete(int32_t Index) override;
  void Remove(IVoMAPITableField* Field) override;
  void Clear() override;
  int32_t Get_Count() override;
  ComPtr<IVoMAPITableField> Get_Item(int32_t Index) override;
  ComPtr<IVoMAPITableField> FindField(TVoMAPIPropDef PropDef) override;
  ComPtr<IVoMAPITableField> FieldByName(TVoMAPIPropDef PropDef) override;
  LPSPropTagArray CreatePropTagArray() override;

  int32_t Count() const { return int32_t(fields_.size()); }
  TVoMAPITableField& Item(int32_t Index) const { return *fields_[size_t(Index)]; }
  TVoMAPITableField& Add(const TVoMAPIPropInfo& PropInfo);
  TVoMAPITableField* FindField(const TVoMAPIPropInfo& PropInfo) const;
  virtual TVoMAPITableField& FieldByName(const TVoMAPIPropInfo& PropInfo) const;
  // The column tags for the table, in list order.
  std::vector<TVoMAPIPropTag> ColumnTags() const;
  // Gives every field its columns by its position in the list.
  void NumberColumns();

 protected:
  // The list's table, raising the destroyed-table text when it is gone; a changing call
  // (ForChange) also runs the table's guard and closes an open table first.
  TVoMAPITableBase& Table(std::u16string_view MethodName, bool ForChange) const;

 private:
  TVoMAPITableField* FindExact(const TVoMAPIPropInfo& PropInfo) const;
  void Erase(size_t Index);

  std::vector<ComPtr<TVoMAPITableField>> fields_;
};

// What every table kind shares: fields, the active and end-of-table states, and the
// answers for what a kind does not offer.
class TVoMAPITableBase : public TVoComObject<TVoMAPIWrapper, IVoMAPITable> {
 public:
  // Parent (may be null) owns the table: named properties are resolved through it.
  TVoMAPITableBase(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IUnknown> MAPIObject,
                   TVoKeepAlive KeepAlive);

  // IVoMAPITableBase.
  bool16 Get_Active() override { return active_; }
  bool16 Get_EOF() override { return eof_; }
  void CheckEOF() override;
  TVoMAPICursorType Get_CursorType() override { return ctDynamic; }
  void Set_CursorType(TVoMAPICursorType Value) override;
  ComPtr<IVoMAPITableFields> Get_Fields() override;
  ComPtr<IVoMAPITableField> FieldByName(TVoMAPIPropDef PropDef) override;
  void SetFields(const std::vector<TVoMAPIPropDef>& PropDefs) override;
  void SetFields(IVoMAPIPropList* PropList) override;
  void DisplayFields() override;
  void Insert() override;
  void Delete() override;
  ComPtr<IVoMAPIRestriction> CreateRestriction(TVoMAPIRestrictionType Type) override;
  void Filter(IVoMAPIRestriction* Restriction) override;
  bool16 FindRow(IVoMAPIRestriction* Restriction, int32_t Origin, bool16 Forward) override;
  bool16 FindFirst(IVoMAPIRestriction* Restriction) override;
  bool16 FindNext(IVoMAPIRestriction* Restriction) override;
  bool16 FindPrevious(IVoMAPIRestriction* Restriction) override;
  bool16 FindLast(IVoMAPIRestriction* Restriction) override;
  bool16 SeekRow(TVoMapiTableBookmark Bookmark, int32_t Count) override;
  void Sort(TVoMAPIPropDef PropDef, bool16 Ascending) override;
  void Advise() override;
  void UnAdvise() override;

  // The value of Field in the current row, and writing it (the base: "The table is
  // readonly!").
  virtual TVoVariant GetFieldValue(TVoMAPITableField& Field) = 0;
  virtual void SetFieldValue(TVoMAPITableField& Field, const TVoVariant& Value);
  // The value of Field as a FILETIME: the base converts the value's date.
  virtual FILETIME GetFieldFileTime(TVoMAPITableField& Field);
  // The tag of a property for this table: named properties through the owner.
  TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo);
  // Whether the table reads strings as UTF-16 when it has both widths.
  bool PrefersUnicode() const { return unicode_; }
  void DisableUnicode() override { unicode_ = false; }
  TVoMAPITableFields& Fields();
  // The field list changes: an open table closes its cursor.
  virtual void FieldsChanging() {}

 protected:
  // The table kind's field list; created on first use.
  virtual ComPtr<TVoMAPITableFields> CreateFields();
  // Raises code 26 "This method is not supported by this table!".
  [[noreturn]] static void RaiseNotSupported();

  bool active_ = false;
  bool eof_ = true;

 private:
  ComPtr<TVoMAPITableFields> fields_;
  bool unicode_ = true;
};

class TVoMAPITableSink;

// The cursor over a MAPI table.
class TVoMAPITable : public TVoMAPITableBase {
 public:
  // Table may be null (an inactive table). KeepAlive is the rule between the table and
  // Parent (kaKeepCreatorAlive keeps Parent alive while the table lives).
  TVoMAPITable(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IMAPITable> Table,
               TVoKeepAlive KeepAlive = kaNone);
  ~TVoMAPITable() override;

  // IVoMAPITableBase.
  void Open() override;
  void Close() override;
  void First() override { MoveBy(BOOKMARK_BEGINNING, 0, u"First"); }
  void Last() override { MoveBy(BOOKMARK_END, 0, u"Last"); }
  void Next() override { MoveBy(BOOKMARK_CURRENT, 1, u"Next"); }
  void Previous() override { MoveBy(BOOKMARK_CURRENT, -1, u"Previous"); }
  bool16 Get_EOF() override { return eof_ || !table_; }
  int32_t Get_RowCount() override;
  int32_t Get_BatchSize() override { return batchSize_; }
  void Set_BatchSize(int32_t Value) override;
  ComPtr<IVoMAPIRestriction> CreateRestriction(TVoMAPIRestrictionType Type) override;
  void Filter(IVoMAPIRestriction* Restriction) override;
  bool16 FindRow(IVoMAPIRestriction* Restriction, int32_t Origin, bool16 Forward) override;
  bool16 FindFirst(IVoMAPIRestriction* Restriction) override;
  bool16 FindNext(IVoMAPIRestriction* Restriction) override;
  bool16 FindPrevious(IVoMAPIRestriction* Restriction) override;
  bool16 FindLast(IVoMAPIRestriction* Restriction) override;
  bool16 SeekRow(TVoMapiTableBookmark Bookmark, int32_t Count) override;
  void Sort(TVoMAPIPropDef PropDef, bool16 Ascending) override;
  void DisplayFields() override;
  void Advise() override;
  void UnAdvise() override;

  TVoVariant GetFieldValue(TVoMAPITableField& Field) override;
  // The raw FILETIME of a PT_SYSTIME column.
  FILETIME GetFieldFileTime(TVoMAPITableField& Field) override;
  // The MAPI value of Field in the current row, valid until the cursor moves. An open
  // table without a current row moves to its first row; none there raises E_FAIL "No
  // record has been retrieved yet! Is the table active and not EOF?", a field that is
  // no column of the table E_INVALIDARG "The requested field "%s" is not a field of
  // this table!".
  const SPropValue& GetFieldValueEx(TVoMAPITableField& Field);
  void FieldsChanging() override;
  IMAPITable* MAPITable() const { return table_.get(); }

  // TVoMAPIWrapper.
  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;
  void SessionLogoff() override;

 protected:
  void BeforeDestruction() override;

 private:
  friend class TVoMAPITableSink;

  // Cursor ----------------------------------------------------------------------------
  void MoveBy(BOOKMARK Origin, LONG Count, std::u16string_view MethodName);
  // Reads up to Count rows (negative: backward) into the batch; answers whether a
  // batch with rows is held. Nothing read tries the row before the cursor and sets EOF.
  bool GetRowset(LONG Count, bool Advance, bool RaiseOnError);
  // QueryRows with its retry after MAPI_E_END_OF_SESSION and the method's own texts.
  HRESULT QueryRows(LONG Count, ULONG Flags);
  // SeekRow with its texts, keeping the batch; answers the rows sought.
  LONG SeekMAPI(BOOKMARK Origin, LONG Count);
  // SeekMAPI, then the batch is dropped.
  LONG MAPISeekRow(BOOKMARK Origin, LONG Count);
  // The rows from the MAPI cursor to the current row's batch position RowIndex (which
  // may lie outside the batch); Otherwise without a batch.
  LONG CursorDistance(LONG Otherwise) const { return HasBatch() ? rowIndex_ - batchOffset_ : Otherwise; }
  void ClearRowSet();
  // Works out the fields' columns from the first row when MAPI gave other columns.
  void MapColumns();
  // Closes the cursor without touching notifications and filter.
  void CloseCursor();
  void QueryColumns(bool AllColumns);
  // SetColumns with the fields' tags.
  HRESULT SetColumns();
  // The row count MAPI gives; -1 when it knows none.
  LONG ReadRowCount();
  int32_t CountBySeeking();
  void FreeBookmarks();
  void RemoveRestriction();
  bool16 Find(IVoMAPIRestriction* Restriction, BOOKMARK Origin, bool Forward, std::u16string_view MethodName);

  // Notifications ---------------------------------------------------------------------
  void OnNotify(ULONG Count, const NOTIFICATION* Notifications);
  // The one-row memory table of a row notification.
  ComPtr<IVoMAPITable> RowTable(const SRow& Row);
  // Calls every connected IVoMAPITableDEvents sink in connection order.
  void FireEvent(const std::function<void(IVoMAPITableDEvents& Sink)>& Call);
  // Unadvises and forgets the connection; answers Unadvise's result.
  HRESULT StopNotifications();
  bool HasBatch() const { return rows_.Count() > 0; }

  ComPtr<IMAPITable> table_;
  TVoMAPIRows rows_;
  int32_t rowIndex_ = -1;
  // Where the MAPI cursor stands, counted in rows from the batch's first row.
  LONG batchOffset_ = 0;
  int32_t rowCount_ = -1;
  int32_t batchSize_ = 20;
  ComPtr<IVoMAPIRestriction> restriction_;
  // Bookmarks of the last row found: at it (backward searches go on from there) and
  // after it (forward searches); 0 when none.
  BOOKMARK foundAt_ = 0, foundAfter_ = 0;
  bool fieldsMapped_ = false;
  ULONG_PTR connection_ = 0;
  ComPtr<TVoMAPITableSink> sink_;
};

}  // namespace orba
