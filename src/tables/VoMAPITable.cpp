#include "orba/VoMAPITable.h"

#include <cstdlib>

#include "kit/VoMAPIAdviseSink.h"
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIPropConvert.h"

namespace orba {
namespace {

// Setting the columns (Open) and asking for them (QueryColumns) while MAPI is busy;
// %s stands for the class and the method.
constexpr kit::TResultText kColumnsBusy[] = {
    {MAPI_E_BUSY,
     u"%s failed!\r\nAnother operation is in progress that prevents the Field setting operation from "
     u"starting.\r\nEither the operation in progress should be allowed to complete or it should be stopped"},
};

constexpr kit::TResultText kQueryRowsBusy[] = {
    {MAPI_E_BUSY,
     u"%s.QueryRows failed!\r\nAnother operation is in progress that prevents the row retrieval operation from "
     u"starting. \r\nEither the operation in progress should be allowed to complete or it should be stopped!"},
};

constexpr kit::TResultText kQueryRowsInvalid[] = {
    {MAPI_E_INVALID_PARAMETER,
     u"%s.QueryRows failed!\r\nThe rows could not be read, because of an invalid Fieldname\r\nThe RowCount is set "
     u"to zero."},
};

constexpr kit::TResultText kSeekRowTexts[] = {
    {MAPI_E_BUSY,
     u"%s.MAPISeekRow failed!\r\nAnother operation is in progress that prevents the row seeking operation from "
     u"starting.\r\nEither the operation in progress should be allowed to complete or it should be stopped."},
};

constexpr kit::TResultText kRowCountTexts[] = {
    {MAPI_E_NO_SUPPORT, u"%s.Open failed!\r\nThe table cannot calculate the number of rows."},
    {MAPI_E_BUSY,
     u"%s.Open failed!\r\nAnother operation is in progress that prevents the row count retrieval operation from "
     u"starting. \r\nEither the operation in progress should be allowed to complete or it should be stopped."},
};

constexpr kit::TResultText kFilterTexts[] = {
    {MAPI_E_TOO_COMPLEX,
     u"%s.SetFiltered failed!\r\nThe table cannot perform the operation, because the restiction is too "
     u"complicated."},
};

// The rows the approximate-count walk passes per seek.
constexpr LONG kCountStep = 20;

// A bookmark of a table, freed when it goes.
class TBookmark {
 public:
  explicit TBookmark(IMAPITable& Table) : table_(Table) {}
  ~TBookmark() {
    if (mark_) table_.FreeBookmark(mark_);
  }
  TBookmark(const TBookmark&) = delete;
  TBookmark& operator=(const TBookmark&) = delete;
  BOOKMARK* Out() { return &mark_; }
  BOOKMARK get() const { return mark_; }

 private:
  IMAPITable& table_;
  BOOKMARK mark_ = 0;
};

}  // namespace

TVoMAPITable::TVoMAPITable(TVoMAPIValueOwner* Parent, TVoMAPISessionBase* Session, ComPtr<IMAPITable> Table,
                           TVoKeepAlive KeepAlive)
    : TVoMAPITableBase(Parent, Session, ComPtr<IUnknown>(Table), KeepAlive), table_(std::move(Table)) {
  GetConnectionPoints().CreateConnectionPoint(IID_IVoMAPITableDEvents);
}

TVoMAPITable::~TVoMAPITable() = default;

void TVoMAPITable::BeforeDestruction() {
  StopNotifications();
  FreeBookmarks();
  TVoMAPITableBase::BeforeDestruction();
}

void TVoMAPITable::SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) {
  StopNotifications();
  CloseCursor();
  restriction_ = nullptr;
  table_ = MAPIObject ? MAPIObject.Query<IMAPITable>(IID_IMAPITable) : nullptr;
  TVoMAPITableBase::SetMAPIOBJECT(std::move(MAPIObject));
}

void TVoMAPITable::SessionLogoff() {
  try {
    Close();
  } catch (...) {
    // The table goes either way; what failed on the way has nobody to tell.
  }
  TVoMAPITableBase::SessionLogoff();
}

// Opening and closing ----------------------------------------------------------------------

void TVoMAPITable::Open() {
  CheckActive(u"Open");
  if (active_) return;
  if (!table_) {
    active_ = true;
    return;
  }
  const bool automatic = Fields().Count() == 0;
  if (automatic) QueryColumns(true);
  fieldsMapped_ = false;
  HRESULT hr = SetColumns();
  if (hr == MAPI_E_INVALID_PARAMETER && automatic) {
    // Not every column MAPI has can be asked for: take the table's standard ones.
    QueryColumns(false);
    hr = SetColumns();
  }
  kit::RaiseResultText(hr, kColumnsBusy, ClassName() + u".Open");
  CheckMAPIResult(this, u"Open", hr);
  active_ = true;
  rowIndex_ = -1;
  rowCount_ = ReadRowCount();
  eof_ = rowCount_ == 0;
}

HRESULT TVoMAPITable::SetColumns() {
  Fields().NumberColumns();
  kit::TPropTagArray tags(Fields().ColumnTags());
  return table_->SetColumns(tags.get(), 0);
}

void TVoMAPITable::QueryColumns(bool AllColumns) {
  TVoMAPIBuffer<SPropTagArray> tags;
  HRESULT hr = table_->QueryColumns(AllColumns ? TBL_ALL_COLUMNS : 0, tags.Out());
  if (AllColumns && FAILED(hr) && hr != MAPI_E_BUSY) hr = table_->QueryColumns(0, tags.Out());
  kit::RaiseResultText(hr, kColumnsBusy, ClassName() + u".QueryColumns");
  CheckMAPIResult(this, u"QueryColumns", hr);
  TVoMAPITableFields& fields = Fields();
  fields.Clear();
  for (ULONG i = 0; tags.get() && i < tags->cValues; ++i) fields.Add(*GetProp(tags->aulPropTag[i], true));
}

LONG TVoMAPITable::ReadRowCount() {
  ULONG count = 0;
  return table_->GetRowCount(0, &count) == S_OK ? LONG(count) : -1;
}

void TVoMAPITable::Close() {
  const bool advised = connection_ != 0;
  StopNotifications();
  CloseCursor();
  RemoveRestriction();
  if (advised) FireEvent([&](IVoMAPITableDEvents& sink) { sink.OnClose(this); });
}

void TVoMAPITable::CloseCursor() {
  eof_ = true;
  active_ = false;
  ClearRowSet();
  rowCount_ = -1;
  FreeBookmarks();
  fieldsMapped_ = false;
}

void TVoMAPITable::FieldsChanging() {
  if (active_) CloseCursor();
}

void TVoMAPITable::RemoveRestriction() {
  if (!restriction_) return;
  restriction_ = nullptr;
  if (table_) CheckMAPIResult(this, u"Filter", table_->Restrict(nullptr, 0));
}

void TVoMAPITable::FreeBookmarks() {
  for (BOOKMARK* mark : {&foundAt_, &foundAfter_}) {
    if (*mark && table_) table_->FreeBookmark(*mark);
    *mark = 0;
  }
}

void TVoMAPITable::Set_BatchSize(int32_t Value) {
  if (Value < 1) kit::Raise(E_INVALIDARG, u"The BatchSize must be at least 1 (%d was given)!", {Value});
  batchSize_ = Value;
}

// Reading rows -----------------------------------------------------------------------------

HRESULT TVoMAPITable::QueryRows(LONG Count, ULONG Flags) {
  HRESULT hr = table_->QueryRows(Count, Flags, rows_.Out());
  // A provider that lost its connection may answer the next call again.
  if (hr == MAPI_E_END_OF_SESSION) hr = table_->QueryRows(Count, Flags, rows_.Out());
  kit::RaiseResultText(hr, kQueryRowsBusy, ClassName());
  return hr;
}

bool TVoMAPITable::GetRowset(LONG Count, bool Advance, bool RaiseOnError) {
  rowIndex_ = -1;
  if (!table_) return false;
  const ULONG flags = Advance ? 0 : TBL_NOADVANCE;
  HRESULT hr = QueryRows(Count, flags);
  kit::RaiseResultText(hr, kQueryRowsInvalid, ClassName());
  CheckMAPIResult(this, u"QueryRows", hr);
  LONG offset = Advance ? LONG(rows_.Count()) : 0;
  if (rows_.Count() == 0) {
    // Past the end: the last row stays current.
    eof_ = true;
    hr = QueryRows(-1, flags);
    if (hr != S_OK) {
      if (RaiseOnError && hr != MAPI_E_INVALID_PARAMETER) CheckMAPIResult(this, u"QueryRows", hr);
      rows_.Reset();
    }
    offset = Advance ? 0 : LONG(rows_.Count());
  }
  if (rows_.Count() == 0) {
    rows_.Reset();
    return false;
  }
  rowIndex_ = 0;
  batchOffset_ = offset;
  if (!fieldsMapped_) MapColumns();
  return true;
}

void TVoMAPITable::ClearRowSet() {
  rows_.Reset();
  rowIndex_ = -1;
}

void TVoMAPITable::MapColumns() {
  fieldsMapped_ = true;
  const SRow& row = rows_[0];
  TVoMAPITableFields& fields = Fields();
  if (LONG(row.cValues) == fields.Count()) return;
  // MAPI answered with columns of its own: find each field's by its identifier.
  for (int32_t i = 0; i < fields.Count(); ++i) {
    TVoMAPITableField& field = fields.Item(i);
    const ULONG id = PROP_ID(GetPropTag(field.PropInfo()));
    TVoMAPITableField::TColumns columns;
    for (ULONG c = 0; c < row.cValues; ++c) {
      const ULONG tag = row.lpProps[c].ulPropTag;
      if (PROP_ID(tag) != id) continue;
      columns.Field = int32_t(c);
      if (PROP_TYPE(tag) == PT_STRING8) columns.Ansi = int32_t(c);
      if (PROP_TYPE(tag) == PT_UNICODE) columns.Unicode = int32_t(c);
    }
    field.Columns() = columns;
  }
}

// Seeking and moving -----------------------------------------------------------------------

LONG TVoMAPITable::SeekMAPI(BOOKMARK Origin, LONG Count) {
  LONG sought = 0;
  HRESULT hr = table_->SeekRow(Origin, Count, &sought);
  if (hr == MAPI_E_END_OF_SESSION)
    hr = Origin == BOOKMARK_BEGINNING && Count == 0 ? S_OK : table_->SeekRow(Origin, Count, &sought);
  kit::RaiseResultText(hr, kSeekRowTexts, ClassName());
  if (hr == MAPI_E_INVALID_BOOKMARK) {
    eof_ = true;
    return 0;
  }
  CheckMAPIResult(this, u"MAPISeekRow", hr);
  return sought;
}

LONG TVoMAPITable::MAPISeekRow(BOOKMARK Origin, LONG Count) {
  ClearRowSet();
  return SeekMAPI(Origin, Count);
}

void TVoMAPITable::MoveBy(BOOKMARK Origin, LONG Count, std::u16string_view MethodName) {
  CheckActive(MethodName);
  if (!table_) return;
  if (!active_) {
    Open();
    First();
    if (Origin == BOOKMARK_BEGINNING) return;
  }
  if (Origin == BOOKMARK_CURRENT && Count == 0 && HasBatch()) return;
  // Of the movements only First leaves the end of the table.
  if (Origin == BOOKMARK_BEGINNING) eof_ = false;
  if (eof_) return;
  if (HasBatch() && Count != 0) {
    rowIndex_ += Count;
    if (rowIndex_ > 0 && rowIndex_ < int32_t(rows_.Count())) return;
  }
  if (Origin == BOOKMARK_BEGINNING) {
    MAPISeekRow(Origin, Count);
  } else if (Count == 1) {
    // The MAPI cursor stands after the batch: it only moves when the batch was read
    // otherwise.
    const LONG distance = CursorDistance(0);
    ClearRowSet();
    if (distance != 0) SeekMAPI(BOOKMARK_CURRENT, distance);
  } else {
    const LONG seek = Origin == BOOKMARK_CURRENT ? CursorDistance(Count) : Count;
    const LONG sought = MAPISeekRow(Origin, seek);
    if (Origin == BOOKMARK_CURRENT) eof_ = std::abs(sought) != std::abs(seek);
    if (eof_) {
      // There is no place before the first row: moving there lands on the first row.
      eof_ = Count >= 1;
      SeekMAPI(Count < 1 ? BOOKMARK_BEGINNING : BOOKMARK_END, 0);
    }
  }
  GetRowset(batchSize_, true, false);
}

bool16 TVoMAPITable::SeekRow(TVoMapiTableBookmark Bookmark, int32_t Count) {
  CheckActive(u"SeekRow");
  if (!table_) return false;
  BOOKMARK origin = BOOKMARK_BEGINNING;
  switch (Bookmark) {
    case tbkBeginning: origin = BOOKMARK_BEGINNING; break;
    case tbkCurrentRelative: origin = BOOKMARK_CURRENT; break;
    case tbkEnd: origin = BOOKMARK_END; break;
    default: CheckMAPIResult(this, u"SeekRow", E_INVALIDARG);
  }
  if (!active_) Open();
  const LONG seek = origin == BOOKMARK_CURRENT ? CursorDistance(0) + Count : Count;
  const bool found = MAPISeekRow(origin, seek) == seek;
  eof_ = false;
  GetRowset(1, true, true);
  return found;
}

// Counting ---------------------------------------------------------------------------------

int32_t TVoMAPITable::Get_RowCount() {
  CheckActive(u"Get_RowCount");
  if (!table_) return 0;
  if (!active_) First();
  if (rowCount_ == -1) {
    ULONG count = 0;
    HRESULT hr = table_->GetRowCount(0, &count);
    kit::RaiseResultText(hr, kRowCountTexts, ClassName());
    if (hr == MAPI_W_APPROX_COUNT) {
      rowCount_ = CountBySeeking();
    } else {
      CheckMAPIResult(this, u"Get_RowCount", hr);
      rowCount_ = int32_t(count);
    }
  }
  return rowCount_;
}

int32_t TVoMAPITable::CountBySeeking() {
  // The walk goes through the whole table; the cursor comes back where it stood, so
  // that the current batch stays valid.
  TBookmark here(*table_);
  CheckMAPIResult(this, u"Get_RowCount", table_->CreateBookmark(here.Out()));
  int32_t count = 0;
  SeekMAPI(BOOKMARK_BEGINNING, 0);
  while (LONG sought = SeekMAPI(BOOKMARK_CURRENT, kCountStep)) count += sought;
  HRESULT hr = table_->SeekRow(here.get(), 0, nullptr);
  if (hr != MAPI_W_POSITION_CHANGED) CheckMAPIResult(this, u"Get_RowCount", hr);
  return count;
}

// Values -----------------------------------------------------------------------------------

const SPropValue& TVoMAPITable::GetFieldValueEx(TVoMAPITableField& Field) {
  CheckActive(u"GetFieldValue");
  if (!HasBatch() && rowIndex_ == -1) First();
  if (!HasBatch()) kit::Raise(E_FAIL, u"No record has been retrieved yet! Is the table active and not EOF?");
  const TVoMAPITableField::TColumns& columns = Field.Columns();
  const WideString& name = Field.PropInfo().PropName;
  if (columns.Field < 0 && columns.Ansi < 0 && columns.Unicode < 0)
    kit::Raise(E_INVALIDARG, u"The requested field \"%s\" is not a field of this table!", {name});
  const SRow& row = rows_[ULONG(rowIndex_)];
  auto valueAt = [&](int32_t column) -> const SPropValue& {
    if (column < 0 || ULONG(column) >= row.cValues)
      kit::Raise(E_INVALIDARG, u"Field %s has an invalid FieldIndex!", {name});
    return row.lpProps[column];
  };
  int32_t column = columns.Field;
  if (column < 0)
    column = PrefersUnicode() && columns.Unicode >= 0 ? columns.Unicode
             : columns.Ansi >= 0                      ? columns.Ansi
                                                      : columns.Unicode;
  // A text one width could not give is taken from the other.
  if (PROP_TYPE(valueAt(column).ulPropTag) == PT_ERROR && columns.Ansi >= 0) {
    column = columns.Ansi;
    if (PROP_TYPE(valueAt(column).ulPropTag) == PT_ERROR && PrefersUnicode() && columns.Unicode >= 0)
      column = columns.Unicode;
  }
  return valueAt(column);
}

TVoVariant TVoMAPITable::GetFieldValue(TVoMAPITableField& Field) {
  return VoMAPIPropVarValue(GetFieldValueEx(Field), TVoVariant::Null());
}

FILETIME TVoMAPITable::GetFieldFileTime(TVoMAPITableField& Field) {
  const SPropValue& value = GetFieldValueEx(Field);
  return PROP_TYPE(value.ulPropTag) == PT_SYSTIME ? value.Value.ft : TVoMAPITableBase::GetFieldFileTime(Field);
}

void TVoMAPITable::DisplayFields() {
  CheckActive(u"DisplayFields");
  if (table_ && Fields().Count() == 0) QueryColumns(true);
  TVoMAPITableBase::DisplayFields();
}

// Restrictions, finding and sorting --------------------------------------------------------

ComPtr<IVoMAPIRestriction> TVoMAPITable::CreateRestriction(TVoMAPIRestrictionType Type) {
  CheckActive(u"CreateRestriction");
  return VoCreateMAPIRestriction(this, Type);
}

void TVoMAPITable::Filter(IVoMAPIRestriction* Restriction) {
  CheckActive(u"Filter");
  if (!table_) return;
  // Built first: a restriction MAPI never sees leaves the table as it was.
  SRestriction* node = Restriction ? TVoMAPIRestriction::Of(Restriction, this).GetMAPIRestriction() : nullptr;
  // Restricted before the cursor closes: a restriction MAPI refuses leaves the table
  // filtered, open and positioned as it was.
  if (node) {
    HRESULT hr = table_->Restrict(node, 0);
    kit::RaiseResultText(hr, kFilterTexts, ClassName());
    CheckMAPIResult(this, u"Filter", hr);
  }
  const bool reopen = active_;
  CloseCursor();
  if (node)
    restriction_ = ComPtr<IVoMAPIRestriction>(Restriction);
  else
    RemoveRestriction();
  if (reopen) Open();
}

bool16 TVoMAPITable::Find(IVoMAPIRestriction* Restriction, BOOKMARK Origin, bool Forward,
                          std::u16string_view MethodName) {
  CheckActive(MethodName);
  if (!table_) return false;
  if (restriction_) kit::Raise(E_FAIL, u"The table is already filtered!");
  SRestriction* node = TVoMAPIRestriction::Of(Restriction, this).GetMAPIRestriction();
  if (!active_) Open();
  ClearRowSet();
  HRESULT hr = table_->FindRow(node, Origin, Forward ? 0 : DIR_BACKWARD);
  if (hr == MAPI_E_NOT_FOUND || hr == MAPI_E_INVALID_BOOKMARK) {
    eof_ = true;
    return false;
  }
  // MAPI_W_POSITION_CHANGED: the origin's row has gone, the search went on from its place.
  if (hr != MAPI_W_POSITION_CHANGED) CheckMAPIResult(this, u"FindFirst", hr);
  FreeBookmarks();
  CheckMAPIResult(this, u"FindFirst", table_->CreateBookmark(&foundAt_));
  eof_ = false;
  GetRowset(1, true, true);
  if (!eof_) CheckMAPIResult(this, u"FindFirst", table_->CreateBookmark(&foundAfter_));
  return true;
}

bool16 TVoMAPITable::FindRow(IVoMAPIRestriction* Restriction, int32_t Origin, bool16 Forward) {
  return Find(Restriction, BOOKMARK(uint32_t(Origin)), Forward, u"FindRow");
}

bool16 TVoMAPITable::FindFirst(IVoMAPIRestriction* Restriction) {
  return Find(Restriction, BOOKMARK_BEGINNING, true, u"FindFirst");
}

bool16 TVoMAPITable::FindLast(IVoMAPIRestriction* Restriction) {
  return Find(Restriction, BOOKMARK_END, false, u"FindLast");
}

bool16 TVoMAPITable::FindNext(IVoMAPIRestriction* Restriction) {
  return Find(Restriction, foundAfter_ ? foundAfter_ : BOOKMARK_BEGINNING, true, u"FindNext");
}

bool16 TVoMAPITable::FindPrevious(IVoMAPIRestriction* Restriction) {
  return Find(Restriction, foundAt_ ? foundAt_ : BOOKMARK_END, false, u"FindPrevious");
}

void TVoMAPITable::Sort(TVoMAPIPropDef PropDef, bool16 Ascending) {
  CheckActive(u"Sort");
  if (!table_) return;
  const ULONG tag = GetPropTag(*GetPropInfo(PropDef));
  Open();
  SizedSSortOrderSet<1> order{1, 0, 0, {{tag, ULONG(Ascending ? TABLE_SORT_ASCEND : TABLE_SORT_DESCEND)}}};
  CheckMAPIResult(this, u"Sort", table_->SortTable(order.Ptr(), 0));
  // The rows read before are in the old order.
  MAPISeekRow(BOOKMARK_BEGINNING, 0);
  FreeBookmarks();
  rowCount_ = ReadRowCount();
  eof_ = rowCount_ == 0;
}

}  // namespace orba
