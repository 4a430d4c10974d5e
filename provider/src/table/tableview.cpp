#include "orba/store/tableview.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "orba/common/encoding.h"
#include "orba/store/maperror.h"
#include "orba/store/propcompare.h"
#include "orba/store/propcopy.h"

namespace orba::store {

namespace {

constexpr ULONG kSortOrderFlags = TABLE_SORT_DESCEND | TABLE_SORT_COMBINE | TABLE_SORT_CATEG_MAX | TABLE_SORT_CATEG_MIN;

std::string KeyOf(const TTableRow& row) { return std::string(row.InstanceKey()); }

TTableEvent MakeEvent(ULONG event, HRESULT result = S_OK, std::string key = {}) {
  TTableEvent e;
  e.event = event;
  e.result = result;
  e.instanceKey = std::move(key);
  return e;
}

char* CopyAnsi(const AnsiString& text, void* parent) {
  auto* out = AllocateMoreOf<char>(text.size() + 1, parent);
  std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

WCHAR* CopyWide(const WideString& text, void* parent) {
  auto* out = AllocateMoreOf<WCHAR>(text.size() + 1, parent);
  std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return out;
}

// Converts one string value to the width of type (PT_STRING8 or PT_UNICODE).
void ConvertString(ULONG fromType, const __UPV& from, ULONG toType, __UPV& to, void* parent) {
  WideString wide = WideText(fromType, from);
  if (toType == PT_UNICODE)
    to.lpszW = CopyWide(wide, parent);
  else
    to.lpszA = CopyAnsi(TVoEncoding::ConvertA(wide), parent);
}

// Copies a row value into a column of the other string width.
void CopyConverted(const SPropValue& src, ULONG columnTag, SPropValue& dst, void* parent) {
  ULONG fromType = BaseType(src.ulPropTag), toType = BaseType(columnTag);
  dst.ulPropTag = columnTag;
  if (!IsMultiValued(columnTag)) {
    ConvertString(fromType, src.Value, toType, dst.Value, parent);
    return;
  }
  ULONG count = ValueCount(src);
  dst.Value.MVszA.cValues = count;
  if (toType == PT_UNICODE) {
    dst.Value.MVszW.lppszW = AllocateMoreOf<LPWSTR>(count, parent);
    for (ULONG i = 0; i < count; ++i) {
      __UPV single{};
      ConvertString(fromType, ValueAt(src, i), toType, single, parent);
      dst.Value.MVszW.lppszW[i] = single.lpszW;
    }
  } else {
    dst.Value.MVszA.lppszA = AllocateMoreOf<LPSTR>(count, parent);
    for (ULONG i = 0; i < count; ++i) {
      __UPV single{};
      ConvertString(fromType, ValueAt(src, i), toType, single, parent);
      dst.Value.MVszA.lppszA[i] = single.lpszA;
    }
  }
}

// Sort comparison of two values of one key, converting strings of the other width.
int CompareKeyValues(const SPropValue* a, const SPropValue* b) {
  if (a && b && !IsMultiValued(a->ulPropTag) && !IsMultiValued(b->ulPropTag)) {
    ULONG typeA = PROP_TYPE(a->ulPropTag), typeB = PROP_TYPE(b->ulPropTag);
    if (typeA != typeB && IsStringType(typeA) && IsStringType(typeB))
      return CompareTextNoCase(WideText(typeA, a->Value), WideText(typeB, b->Value));
  }
  return CompareSortValues(a, b);
}

void CheckSortOrder(const SSortOrderSet& sortOrder) {
  if (sortOrder.cCategories > sortOrder.cSorts || sortOrder.cExpanded > sortOrder.cCategories)
    throw MapiError(MAPI_E_INVALID_PARAMETER, "sort order counts out of range");
  if (sortOrder.cCategories != 0) throw MapiError(MAPI_E_TOO_COMPLEX, "categorized sorting is not supported");
  for (ULONG i = 0; i < sortOrder.cSorts; ++i) {
    const SSortOrder& key = sortOrder.aSort[i];
    if ((key.ulOrder & ~kSortOrderFlags) != 0) throw MapiError(MAPI_E_INVALID_PARAMETER, "unknown sort order");
    if (key.ulOrder & ~TABLE_SORT_DESCEND) throw MapiError(MAPI_E_TOO_COMPLEX, "category sort orders need categories");
    ULONG type = PROP_TYPE(key.ulPropTag);
    if ((type & MV_INSTANCE) || !IsComparableType(BaseType(type)) || BaseType(type) == PT_ERROR)
      throw MapiError(MAPI_E_TOO_COMPLEX, "cannot sort on this property type");
  }
}

}  // namespace

TTableView::TTableView(std::shared_ptr<TTableRowSource> source) : source_(std::move(source)) {
  if (!source_) throw MapiError(MAPI_E_INVALID_PARAMETER, "no row source");
  columns_ = source_->DefaultColumns();
  Load();
  source_->Subscribe(this);
}

TTableView::~TTableView() { source_->Unsubscribe(this); }

void TTableView::SetListener(TListener listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

void TTableView::SetColumns(const SPropTagArray& columns) {
  if (columns.cValues == 0) throw MapiError(MAPI_E_INVALID_PARAMETER, "no columns");
  std::vector<ULONG> tags(columns.aulPropTag, columns.aulPropTag + columns.cValues);
  for (ULONG tag : tags)
    if (PROP_TYPE(tag) & MV_INSTANCE) throw MapiError(MAPI_E_TOO_COMPLEX, "multi-value instance columns are not supported");
  columns_ = std::move(tags);
}

TSubRowsFn TTableView::SubRows() const {
  if (!source_->HasSubObjects()) return {};
  TTableRowSource* source = source_.get();
  return [source](TPropRow row, ULONG subObject, const std::function<bool(TPropRow)>& test) {
    return source->AnySubRow(row, subObject, test);
  };
}

bool TTableView::Accepts(const TTableRow& row) const { return !restriction_ || restriction_->Matches(row.Values()); }

void TTableView::Load() {
  std::vector<TRowPtr> rows = source_->Rows(sourceRestricts_ ? restrictionCopy_.get() : nullptr,
                                            sourceSorts_ ? sortOrder_.get() : nullptr);
  if (restriction_ && !sourceRestricts_) {
    restriction_->ResetCounts();
    std::erase_if(rows, [&](const TRowPtr& row) { return !restriction_->Matches(row->Values()); });
  }
  if (sortOrder_ && !sourceSorts_) SortRows(rows);
  rows_ = std::move(rows);
  cursor_ = 0;
}

int TTableView::CompareRows(const TTableRow& a, const TTableRow& b) const {
  TPropRow valuesA = a.Values(), valuesB = b.Values();
  for (ULONG i = 0; i < sortOrder_->cSorts; ++i) {
    const SSortOrder& key = sortOrder_->aSort[i];
    int c = CompareKeyValues(FindProp(valuesA, key.ulPropTag), FindProp(valuesB, key.ulPropTag));
    if (c != 0) return (key.ulOrder & TABLE_SORT_DESCEND) ? -c : c;
  }
  return 0;
}

void TTableView::SortRows(std::vector<TRowPtr>& rows) const {
  // Look every key up once, then sort positions by the looked-up values.
  const ULONG keyCount = sortOrder_->cSorts;
  std::vector<const SPropValue*> keys(rows.size() * keyCount);
  for (size_t r = 0; r < rows.size(); ++r) {
    TPropRow values = rows[r]->Values();
    for (ULONG k = 0; k < keyCount; ++k) keys[r * keyCount + k] = FindProp(values, sortOrder_->aSort[k].ulPropTag);
  }
  std::vector<uint32_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    for (ULONG k = 0; k < keyCount; ++k) {
      int c = CompareKeyValues(keys[x * keyCount + k], keys[y * keyCount + k]);
      if (c != 0) return (sortOrder_->aSort[k].ulOrder & TABLE_SORT_DESCEND) ? c > 0 : c < 0;
    }
    return false;
  });
  std::vector<TRowPtr> sorted;
  sorted.reserve(rows.size());
  for (uint32_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

LONG TTableView::SeekRow(BOOKMARK origin, LONG count, bool& positionChanged) {
  size_t start = Resolve(origin, positionChanged);
  int64_t target = std::clamp<int64_t>(static_cast<int64_t>(start) + count, 0, static_cast<int64_t>(rows_.size()));
  cursor_ = static_cast<size_t>(target);
  return static_cast<LONG>(target - static_cast<int64_t>(start));
}

void TTableView::SeekRowApprox(ULONG numerator, ULONG denominator) {
  if (denominator == 0) throw MapiError(MAPI_E_INVALID_PARAMETER, "zero denominator");
  if (numerator >= denominator) {
    cursor_ = rows_.size();
    return;
  }
  cursor_ = static_cast<size_t>(uint64_t{rows_.size()} * numerator / denominator);
}

std::vector<TRowPtr> TTableView::QueryRows(LONG count, bool advance) {
  size_t first, last;
  if (count > 0) {
    first = cursor_;
    last = std::min(rows_.size(), cursor_ + static_cast<size_t>(count));
    if (advance) cursor_ = last;
  } else {
    last = cursor_;
    size_t back = static_cast<size_t>(-static_cast<int64_t>(count));
    first = cursor_ > back ? cursor_ - back : 0;
    if (advance) cursor_ = first;
  }
  return {rows_.begin() + static_cast<ptrdiff_t>(first), rows_.begin() + static_cast<ptrdiff_t>(last)};
}

void TTableView::FindRow(const SRestriction& restriction, BOOKMARK origin, bool backward, bool& positionChanged) {
  TRestriction criteria(restriction, SubRows());
  size_t start = Resolve(origin, positionChanged);
  if (backward) {
    for (size_t i = start; i-- > 0;)
      if (criteria.Matches(rows_[i]->Values())) {
        cursor_ = i;
        return;
      }
  } else {
    for (size_t i = start; i < rows_.size(); ++i)
      if (criteria.Matches(rows_[i]->Values())) {
        cursor_ = i;
        return;
      }
  }
  throw MapiError(MAPI_E_NOT_FOUND, "no row matches");
}

void TTableView::Restrict(const SRestriction* restriction) {
  if (!restriction) {
    restriction_.reset();
    restrictionCopy_.Reset();
    sourceRestricts_ = false;
  } else {
    ValidateRestriction(*restriction, source_->HasSubObjects());
    auto copy = DuplicateRestriction(*restriction);
    auto compiled = std::make_unique<TRestriction>(*copy, SubRows());
    sourceRestricts_ = source_->AcceptsRestriction(*copy);
    restrictionCopy_ = std::move(copy);
    restriction_ = std::move(compiled);
  }
  Load();
}

void TTableView::Sort(const SSortOrderSet& sortOrder) {
  CheckSortOrder(sortOrder);
  if (sortOrder.cSorts == 0) {
    sortOrder_.Reset();
    sourceSorts_ = false;
  } else {
    auto copy = MapiBuffer<SSortOrderSet>::Allocate(CbSSortOrderSet(&sortOrder));
    std::memcpy(copy.get(), &sortOrder, CbSSortOrderSet(&sortOrder));
    sourceSorts_ = source_->AcceptsSort(*copy);
    sortOrder_ = std::move(copy);
  }
  Load();
}

MapiBuffer<SSortOrderSet> TTableView::SortOrder() const {
  size_t size = sortOrder_ ? CbSSortOrderSet(sortOrder_.get()) : CbNewSSortOrderSet(0);
  auto copy = MapiBuffer<SSortOrderSet>::Allocate(size);
  if (sortOrder_) std::memcpy(copy.get(), sortOrder_.get(), size);
  return copy;
}

BOOKMARK TTableView::CreateBookmark() {
  TBookmark mark;
  mark.position = cursor_;
  if (cursor_ < rows_.size()) mark.key = KeyOf(*rows_[cursor_]);
  BOOKMARK id = nextBookmark_++;
  bookmarks_.emplace(id, std::move(mark));
  return id;
}

void TTableView::FreeBookmark(BOOKMARK bookmark) {
  if (bookmark <= BOOKMARK_END) return;  // the predefined bookmarks need no freeing
  if (bookmarks_.erase(bookmark) == 0) throw MapiError(MAPI_E_INVALID_BOOKMARK, "unknown bookmark");
}

size_t TTableView::Resolve(BOOKMARK origin, bool& positionChanged) const {
  positionChanged = false;
  if (origin == BOOKMARK_BEGINNING) return 0;
  if (origin == BOOKMARK_CURRENT) return cursor_;
  if (origin == BOOKMARK_END) return rows_.size();
  auto it = bookmarks_.find(origin);
  if (it == bookmarks_.end()) throw MapiError(MAPI_E_INVALID_BOOKMARK, "unknown bookmark");
  const TBookmark& mark = it->second;
  if (mark.key.empty()) return rows_.size();
  if (mark.position < rows_.size() && rows_[mark.position]->InstanceKey() == mark.key) return mark.position;
  size_t found = IndexOf(mark.key);
  if (found < rows_.size()) return found;
  positionChanged = true;
  return std::min(mark.position, rows_.size());
}

size_t TTableView::IndexOf(std::string_view key) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i]->InstanceKey() == key) return i;
  return rows_.size();
}

size_t TTableView::InsertPosition(const TTableRow& row) const {
  if (!sortOrder_) return rows_.size();
  auto it = std::upper_bound(rows_.begin(), rows_.end(), &row,
                             [&](const TTableRow* r, const TRowPtr& existing) { return CompareRows(*r, *existing) < 0; });
  return static_cast<size_t>(it - rows_.begin());
}

void TTableView::Insert(size_t index, const TRowPtr& row) {
  rows_.insert(rows_.begin() + static_cast<ptrdiff_t>(index), row);
  if (index < cursor_) ++cursor_;
}

void TTableView::Erase(size_t index) {
  rows_.erase(rows_.begin() + static_cast<ptrdiff_t>(index));
  if (index < cursor_) --cursor_;
}

MapiBuffer<SPropValue> TTableView::Project(const TTableRow& row) const {
  auto values = MapiBuffer<SPropValue>::Allocate(std::max<size_t>(1, columns_.size()) * sizeof(SPropValue));
  ProjectInto(row, values.get(), values.get());
  return values;
}

void TTableView::ProjectInto(const TTableRow& row, SPropValue* out, void* parent) const {
  TPropRow values = row.Values();
  for (size_t i = 0; i < columns_.size(); ++i) {
    ULONG tag = columns_[i];
    const SPropValue* value = FindProp(values, tag);
    if (!value) {
      out[i].ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
      out[i].Value.err = MAPI_E_NOT_FOUND;
    } else if (PROP_TYPE(tag) == PT_UNSPECIFIED || PROP_TYPE(tag) == PROP_TYPE(value->ulPropTag)) {
      CopyPropValue(*value, out[i], parent);
    } else {
      CopyConverted(*value, tag, out[i], parent);
    }
  }
}

void TTableView::QueueEvent(TTableEvent event) {
  if (listener_) pending_.push_back(std::move(event));
}

void TTableView::QueueRowEvent(ULONG event, size_t index) {
  if (!listener_) return;
  TTableEvent e;
  e.event = event;
  e.instanceKey = KeyOf(*rows_[index]);
  e.hasPrior = index > 0;
  if (e.hasPrior) e.priorKey = KeyOf(*rows_[index - 1]);
  e.values = Project(*rows_[index]);
  e.valueCount = static_cast<ULONG>(columns_.size());
  pending_.push_back(std::move(e));
}

void TTableView::Deliver() {
  std::vector<TTableEvent> events;
  TListener listener;
  {
    std::lock_guard lock(mutex_);
    events.swap(pending_);
    listener = listener_;
  }
  if (listener && !events.empty()) listener(events);
}

void TTableView::Apply(const std::function<void()>& change) {
  {
    std::lock_guard lock(mutex_);
    try {
      change();
    } catch (...) {
      QueueEvent(MakeEvent(TABLE_ERROR, ResultFromException()));
    }
  }
  Deliver();
}

void TTableView::ApplyModified(const TRowPtr& row) {
  size_t old = IndexOf(row->InstanceKey());
  bool accepted = Accepts(*row);
  if (old == rows_.size()) {
    if (!accepted) return;
    size_t index = InsertPosition(*row);
    Insert(index, row);
    QueueRowEvent(TABLE_ROW_ADDED, index);
  } else if (!accepted) {
    Erase(old);
    QueueEvent(MakeEvent(TABLE_ROW_DELETED, S_OK, KeyOf(*row)));
  } else if (!sortOrder_) {
    rows_[old] = row;
    QueueRowEvent(TABLE_ROW_MODIFIED, old);
  } else {
    bool wasCurrent = old == cursor_;
    Erase(old);
    size_t index = InsertPosition(*row);
    Insert(index, row);
    if (wasCurrent) cursor_ = index;
    QueueRowEvent(TABLE_ROW_MODIFIED, index);
  }
}

// A row added that the view already holds (a source that reports twice) counts as
// modified, so that the view never holds one row twice.
void TTableView::RowAdded(const TRowPtr& row) {
  Apply([&] { ApplyModified(row); });
}

void TTableView::RowModified(const TRowPtr& row) {
  Apply([&] { ApplyModified(row); });
}

void TTableView::RowDeleted(std::string_view instanceKey) {
  Apply([&] {
    size_t index = IndexOf(instanceKey);
    if (index == rows_.size()) return;
    Erase(index);
    QueueEvent(MakeEvent(TABLE_ROW_DELETED, S_OK, std::string(instanceKey)));
  });
}

void TTableView::Reloaded() {
  Apply([&] {
    Load();
    QueueEvent(MakeEvent(TABLE_RELOAD));
  });
}

}  // namespace orba::store
