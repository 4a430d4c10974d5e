#include "table/tableview.h"
#include "base/filetime.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "base/maperror.h"
#include "orba/common/encoding.h"
#include "props/valuecopy.h"
#include "table/propcompare.h"

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

char* CopyAnsi(const AnsiString& text, TCopySpace& space) {
  auto* out = space.TakeOf<char>(text.size() + 1);
  std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

WCHAR* CopyWide(const WideString& text, TCopySpace& space) {
  auto* out = space.TakeOf<WCHAR>(text.size() + 1);
  std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return out;
}

// Converts one string value to the width of type (PT_STRING8 or PT_UNICODE).
void ConvertString(ULONG fromType, const __UPV& from, ULONG toType, __UPV& to, TCopySpace& space) {
  WideString wide = WideText(fromType, from);
  if (toType == PT_UNICODE)
    to.lpszW = CopyWide(wide, space);
  else
    to.lpszA = CopyAnsi(TVoEncoding::ConvertA(wide), space);
}

// Copies a row value into a column of the other string width.
void CopyConverted(const SPropValue& src, ULONG columnTag, SPropValue& dst, TCopySpace& space) {
  ULONG fromType = BaseType(src.ulPropTag), toType = BaseType(columnTag);
  dst.ulPropTag = columnTag;
  if (!IsMultiValued(columnTag)) {
    ConvertString(fromType, src.Value, toType, dst.Value, space);
    return;
  }
  ULONG count = ValueCount(src);
  dst.Value.MVszA.cValues = count;
  if (toType == PT_UNICODE) {
    dst.Value.MVszW.lppszW = space.TakeOf<LPWSTR>(count);
    for (ULONG i = 0; i < count; ++i) {
      __UPV single{};
      ConvertString(fromType, ValueAt(src, i), toType, single, space);
      dst.Value.MVszW.lppszW[i] = single.lpszW;
    }
  } else {
    dst.Value.MVszA.lppszA = space.TakeOf<LPSTR>(count);
    for (ULONG i = 0; i < count; ++i) {
      __UPV single{};
      ConvertString(fromType, ValueAt(src, i), toType, single, space);
      dst.Value.MVszA.lppszA[i] = single.lpszA;
    }
  }
}

// Whether a row value goes into a column as it is (else it is a string of the other width).
bool SameColumnType(ULONG columnTag, const SPropValue& value) {
  return PROP_TYPE(columnTag) == PT_UNSPECIFIED || PROP_TYPE(columnTag) == PROP_TYPE(value.ulPropTag);
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

// One row's value of one sort key; numeric values also as a number whose unsigned
// order is the value's order.
struct TSortCell {
  const SPropValue* value = nullptr;  // null: missing
  uint64_t number = 0;
};

bool IsNumericSortType(ULONG type) {
  switch (type) {
    case PT_I2:
    case PT_LONG:
    case PT_I8:
    case PT_CURRENCY:
    case PT_BOOLEAN:
    case PT_SYSTIME:
    case PT_R4:
    case PT_DOUBLE:
    case PT_APPTIME: return true;
    default: return false;
  }
}

// Rows lie scattered in memory: loops over many rows ask for a later row's values
// ahead of time, so that reading them does not wait for memory.
constexpr size_t kPrefetchDistance = 8;
void Prefetch(const TTableRow& row) { __builtin_prefetch(row.Values().data()); }

uint64_t SignedOrder(int64_t v) { return static_cast<uint64_t>(v) ^ (uint64_t{1} << 63); }

uint64_t DoubleOrder(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return (bits & (uint64_t{1} << 63)) ? ~bits : bits | (uint64_t{1} << 63);
}

TSortCell MakeCell(const SPropValue* value) {
  TSortCell cell{value, 0};
  if (!value) return cell;
  const __UPV& v = value->Value;
  switch (PROP_TYPE(value->ulPropTag)) {
    case PT_I2: cell.number = SignedOrder(v.i); break;
    case PT_LONG: cell.number = SignedOrder(v.l); break;
    case PT_I8: cell.number = SignedOrder(v.li.QuadPart); break;
    case PT_CURRENCY: cell.number = SignedOrder(v.cur.int64); break;
    case PT_BOOLEAN: cell.number = v.b != 0; break;
    case PT_SYSTIME: cell.number = FileTimeBits(v.ft); break;
    case PT_R4: cell.number = DoubleOrder(v.flt); break;
    case PT_DOUBLE: cell.number = DoubleOrder(v.dbl); break;
    case PT_APPTIME: cell.number = DoubleOrder(v.at); break;
    default: break;
  }
  return cell;
}

// Numeric cells of one key (FindProp gives exactly the key's type): missing first.
int CompareCells(const TSortCell& a, const TSortCell& b) {
  if (!a.value || !b.value) return (a.value != nullptr) - (b.value != nullptr);
  return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
}

void CheckSortOrder(const SSortOrderSet& sortOrder) {
  if (sortOrder.cCategories > sortOrder.cSorts || sortOrder.cExpanded > sortOrder.cCategories)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "sort order counts out of range");
  if (sortOrder.cCategories != 0) throw TMapiError(MAPI_E_TOO_COMPLEX, "categorized sorting is not supported");
  for (ULONG i = 0; i < sortOrder.cSorts; ++i) {
    const SSortOrder& key = sortOrder.aSort[i];
    if ((key.ulOrder & ~kSortOrderFlags) != 0) throw TMapiError(MAPI_E_INVALID_PARAMETER, "unknown sort order");
    if (key.ulOrder & ~TABLE_SORT_DESCEND) throw TMapiError(MAPI_E_TOO_COMPLEX, "category sort orders need categories");
    ULONG type = PROP_TYPE(key.ulPropTag);
    if ((type & MV_INSTANCE) || !IsComparableType(BaseType(type)) || BaseType(type) == PT_ERROR)
      throw TMapiError(MAPI_E_TOO_COMPLEX, "cannot sort on this property type");
  }
}

}  // namespace

TTableView::TTableView(std::shared_ptr<TTableRowSource> source) : source_(std::move(source)) {
  if (!source_) throw TMapiError(MAPI_E_INVALID_PARAMETER, "no row source");
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
  if (columns.cValues == 0) throw TMapiError(MAPI_E_INVALID_PARAMETER, "no columns");
  std::vector<ULONG> tags(columns.aulPropTag, columns.aulPropTag + columns.cValues);
  for (ULONG tag : tags)
    if (PROP_TYPE(tag) & MV_INSTANCE)
      throw TMapiError(MAPI_E_TOO_COMPLEX, "multi-value instance columns are not supported");
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

const SRestriction* TTableView::SourceRestriction() const {
  return sourceRestricts_ ? restrictionCopy_.get() : nullptr;
}

const SSortOrderSet* TTableView::SourceSort() const { return sourceSorts_ ? sortOrder_.get() : nullptr; }

void TTableView::Load() {
  // Only a source that applies everything itself can hand out the table's pages.
  bool pages = (!restriction_ || sourceRestricts_) && (!sortOrder_ || sourceSorts_) &&
               source_->CanPage(SourceRestriction(), SourceSort());
  TRowListPtr source;
  std::vector<const TTableRow*> rows;
  if (!pages) {
    source = source_->Rows(SourceRestriction(), SourceSort());
    if (!source) throw TMapiError(MAPI_E_CALL_FAILED, "the row source gave no rows");
    rows = Shown(*source);
    if (sortOrder_ && !sourceSorts_) SortRows(rows);
  }
  keyIndex_.clear();
  keyIndexState_ = TKeyIndex::kNone;
  rows_ = std::move(rows);
  loaded_.clear();
  if (source) loaded_.push_back(std::move(source));
  changed_.clear();
  cursor_ = 0;
  complete_ = !pages;
  sourceOffset_ = 0;
  pageSize_ = 0;
}

std::vector<const TTableRow*> TTableView::Shown(const TRowList& list) {
  std::vector<const TTableRow*> rows;
  if (restriction_ && !sourceRestricts_) {
    restriction_->ResetCounts();
    for (size_t i = 0; i < list.size(); ++i) {
      // The row objects twice as far ahead as their values, which need the object.
      if (i + 2 * kPrefetchDistance < list.size()) __builtin_prefetch(list[i + 2 * kPrefetchDistance].get());
      if (i + kPrefetchDistance < list.size()) Prefetch(*list[i + kPrefetchDistance]);
      if (restriction_->Matches(list[i]->Values())) rows.push_back(list[i].get());
    }
  } else {
    rows.reserve(list.size());
    for (const TRowPtr& row : list) rows.push_back(row.get());
  }
  return rows;
}

void TTableView::LoadMore(size_t wanted) {
  while (!complete_ && rows_.size() < wanted) {
    // Each page at least twice the last, so that reading a table through takes few reads.
    size_t limit = std::max(wanted - rows_.size(), std::min(pageSize_, SIZE_MAX / 2) * 2);
    TRowListPtr page = source_->RowsPage(SourceRestriction(), SourceSort(), sourceOffset_, limit);
    if (!page) throw TMapiError(MAPI_E_CALL_FAILED, "the row source gave no rows");
    pageSize_ = limit;
    sourceOffset_ += page->size();
    complete_ = page->size() < limit;
    Append(std::move(page), {});
  }
}

bool TTableView::HasRow(size_t index) {
  LoadMore(index + 1);
  return index < rows_.size();
}

bool TTableView::CompleteBefore(std::string_view key, bool added) {
  if (complete_) return false;
  bool unseen = IndexOf(key) == rows_.size();
  // Not from the last page on: the change may have moved the rows across it.
  TRowListPtr all = source_->Rows(SourceRestriction(), SourceSort());
  if (!all) throw TMapiError(MAPI_E_CALL_FAILED, "the row source gave no rows");
  complete_ = true;
  // An added row was not in the table before; a modified one stays as it is now.
  Append(std::move(all), added && unseen ? key : std::string_view{});
  return unseen;
}

// Adds the rows of list that the view does not hold yet after its rows (the rows
// already read stay as they were; a page read just after a concurrent change may also
// repeat one), leaving out the row keyed skip.
void TTableView::Append(TRowListPtr list, std::string_view skip) {
  if (keyIndexState_ == TKeyIndex::kNone) BuildKeyIndex();
  rows_.reserve(rows_.size() + list->size());
  for (const TRowPtr& row : *list) {
    std::string_view key = row->InstanceKey();
    if (!skip.empty() && key == skip) continue;
    if (keyIndexState_ == TKeyIndex::kBuilt && !keyIndex_.emplace(key, row.get()).second) continue;
    rows_.push_back(row.get());
  }
  loaded_.push_back(std::move(list));
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

void TTableView::SortRows(std::vector<const TTableRow*>& rows) const {
  const ULONG keyCount = sortOrder_->cSorts;
  std::vector<uint32_t> order(rows.size());
  const SSortOrder& first = sortOrder_->aSort[0];
  if (keyCount == 1 && IsNumericSortType(PROP_TYPE(first.ulPropTag))) {
    // The common case: one numeric key, sorted as (missing, number, position) in
    // ascending order; descending flips the first two. The position keeps rows with
    // equal values in their order, so the faster unstable sort gives the stable result.
    struct TItem {
      uint64_t number;
      uint32_t missing;
      uint32_t index;
    };
    bool descending = (first.ulOrder & TABLE_SORT_DESCEND) != 0;
    std::vector<TItem> items(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      if (r + 2 * kPrefetchDistance < rows.size()) __builtin_prefetch(rows[r + 2 * kPrefetchDistance]);
      if (r + kPrefetchDistance < rows.size()) Prefetch(*rows[r + kPrefetchDistance]);
      TSortCell cell = MakeCell(FindProp(rows[r]->Values(), first.ulPropTag));
      bool missing = cell.value == nullptr;
      items[r] = {descending ? ~cell.number : cell.number, descending ? !missing : missing, static_cast<uint32_t>(r)};
    }
    std::sort(items.begin(), items.end(), [](const TItem& a, const TItem& b) {
      if (a.missing != b.missing) return a.missing > b.missing;  // missing values first
      if (a.number != b.number) return a.number < b.number;
      return a.index < b.index;
    });
    for (size_t r = 0; r < rows.size(); ++r) order[r] = items[r].index;
  } else {
    // Look every key up once, then sort positions by the looked-up values.
    std::vector<TSortCell> cells(rows.size() * keyCount);
    for (size_t r = 0; r < rows.size(); ++r) {
      TPropRow values = rows[r]->Values();
      for (ULONG k = 0; k < keyCount; ++k)
        cells[r * keyCount + k] = MakeCell(FindProp(values, sortOrder_->aSort[k].ulPropTag));
    }
    std::vector<char> numeric(keyCount), descending(keyCount);
    for (ULONG k = 0; k < keyCount; ++k) {
      numeric[k] = IsNumericSortType(PROP_TYPE(sortOrder_->aSort[k].ulPropTag));
      descending[k] = (sortOrder_->aSort[k].ulOrder & TABLE_SORT_DESCEND) != 0;
    }
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
      for (ULONG k = 0; k < keyCount; ++k) {
        const TSortCell& a = cells[x * keyCount + k];
        const TSortCell& b = cells[y * keyCount + k];
        int c = numeric[k] ? CompareCells(a, b) : CompareKeyValues(a.value, b.value);
        if (c != 0) return descending[k] ? c > 0 : c < 0;
      }
      return false;
    });
  }
  std::vector<const TTableRow*> sorted;
  sorted.reserve(rows.size());
  for (uint32_t i : order) sorted.push_back(rows[i]);
  rows = std::move(sorted);
}

ULONG TTableView::RowCount() {
  Complete();
  return static_cast<ULONG>(rows_.size());
}

LONG TTableView::SeekRow(BOOKMARK origin, LONG count, bool& positionChanged) {
  size_t start = Resolve(origin, positionChanged);
  if (count > 0) LoadMore(start + static_cast<size_t>(count));
  int64_t target = std::clamp<int64_t>(static_cast<int64_t>(start) + count, 0, static_cast<int64_t>(rows_.size()));
  cursor_ = static_cast<size_t>(target);
  return static_cast<LONG>(target - static_cast<int64_t>(start));
}

void TTableView::SeekRowApprox(ULONG numerator, ULONG denominator) {
  if (denominator == 0) throw TMapiError(MAPI_E_INVALID_PARAMETER, "zero denominator");
  Complete();
  if (numerator >= denominator) {
    cursor_ = rows_.size();
    return;
  }
  cursor_ = static_cast<size_t>(uint64_t{rows_.size()} * numerator / denominator);
}

std::vector<TPropRow> TTableView::QueryRows(LONG count, bool advance) {
  size_t first, last;
  if (count > 0) {
    LoadMore(cursor_ + static_cast<size_t>(count));
    first = cursor_;
    last = std::min(rows_.size(), cursor_ + static_cast<size_t>(count));
    if (advance) cursor_ = last;
  } else {
    last = cursor_;
    size_t back = static_cast<size_t>(-static_cast<int64_t>(count));
    first = cursor_ > back ? cursor_ - back : 0;
    if (advance) cursor_ = first;
  }
  // The caller reads the rows next: ask for all of them at once.
  for (size_t i = first; i < last; ++i) __builtin_prefetch(rows_[i]);
  std::vector<TPropRow> values;
  values.reserve(last - first);
  for (size_t i = first; i < last; ++i) {
    values.push_back(rows_[i]->Values());
    __builtin_prefetch(values.back().data());
  }
  return values;
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
    for (size_t i = start; HasRow(i); ++i)
      if (criteria.Matches(rows_[i]->Values())) {
        cursor_ = i;
        return;
      }
  }
  throw TMapiError(MAPI_E_NOT_FOUND, "no row matches");
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
    auto copy = TMapiBuffer<SSortOrderSet>::Allocate(CbSSortOrderSet(&sortOrder));
    std::memcpy(copy.get(), &sortOrder, CbSSortOrderSet(&sortOrder));
    sourceSorts_ = source_->AcceptsSort(*copy);
    sortOrder_ = std::move(copy);
  }
  // A fully read view holds the restricted rows: unless the source sorts (or the order
  // is cleared, which restores the source's natural order), sorting them is enough.
  if (sortOrder_ && !sourceSorts_ && complete_) {
    SortRows(rows_);
    cursor_ = 0;
  } else {
    Load();
  }
}

TMapiBuffer<SSortOrderSet> TTableView::SortOrder() const {
  size_t size = sortOrder_ ? CbSSortOrderSet(sortOrder_.get()) : CbNewSSortOrderSet(0);
  auto copy = TMapiBuffer<SSortOrderSet>::Allocate(size);
  if (sortOrder_) std::memcpy(copy.get(), sortOrder_.get(), size);
  return copy;
}

BOOKMARK TTableView::CreateBookmark() {
  LoadMore(cursor_ + 1);  // after the rows read so far is not necessarily the end
  TBookmark mark;
  mark.position = cursor_;
  if (cursor_ < rows_.size()) mark.key = KeyOf(*rows_[cursor_]);
  BOOKMARK id = nextBookmark_++;
  bookmarks_.emplace(id, std::move(mark));
  return id;
}

void TTableView::FreeBookmark(BOOKMARK bookmark) {
  if (bookmark <= BOOKMARK_END) return;  // the predefined bookmarks need no freeing
  if (bookmarks_.erase(bookmark) == 0) throw TMapiError(MAPI_E_INVALID_BOOKMARK, "unknown bookmark");
}

size_t TTableView::Resolve(BOOKMARK origin, bool& positionChanged) {
  positionChanged = false;
  if (origin == BOOKMARK_BEGINNING) return 0;
  if (origin == BOOKMARK_CURRENT) return cursor_;
  if (origin == BOOKMARK_END) {
    Complete();
    return rows_.size();
  }
  auto it = bookmarks_.find(origin);
  if (it == bookmarks_.end()) throw TMapiError(MAPI_E_INVALID_BOOKMARK, "unknown bookmark");
  const TBookmark& mark = it->second;
  // The end, or a row that has gone (Restrict and SortTable keep bookmarks), lies
  // beyond the rows read.
  if (!complete_ && (mark.key.empty() || IndexOf(mark.key) == rows_.size())) Complete();
  if (mark.key.empty()) return rows_.size();
  if (mark.position < rows_.size() && rows_[mark.position]->InstanceKey() == mark.key) return mark.position;
  size_t found = IndexOf(mark.key);
  if (found < rows_.size()) return found;
  positionChanged = true;
  return std::min(mark.position, rows_.size());
}

void TTableView::BuildKeyIndex() const {
  keyIndex_.clear();
  keyIndex_.reserve(rows_.size());
  keyIndexState_ = TKeyIndex::kBuilt;
  for (const TTableRow* row : rows_)
    if (!keyIndex_.emplace(row->InstanceKey(), row).second) {
      keyIndex_.clear();
      keyIndexState_ = TKeyIndex::kUnusable;
      return;
    }
}

size_t TTableView::IndexOf(std::string_view key) const {
  if (keyIndexState_ == TKeyIndex::kNone) BuildKeyIndex();
  if (keyIndexState_ == TKeyIndex::kUnusable) {
    for (size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i]->InstanceKey() == key) return i;
    return rows_.size();
  }
  auto it = keyIndex_.find(key);
  return it == keyIndex_.end() ? rows_.size() : PositionOf(*it->second);
}

size_t TTableView::PositionOf(const TTableRow& row) const {
  if (sortOrder_) {
    // The row lies among the rows that sort equal to it.
    auto it = std::lower_bound(rows_.begin(), rows_.end(), &row, [&](const TTableRow* existing, const TTableRow* r) {
      return CompareRows(*existing, *r) < 0;
    });
    for (; it != rows_.end() && CompareRows(**it, row) == 0; ++it)
      if (*it == &row) return static_cast<size_t>(it - rows_.begin());
  }
  // Unsorted, or values without a consistent order (a NaN): compare addresses.
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i] == &row) return i;
  return rows_.size();
}

size_t TTableView::InsertPosition(const TTableRow& row) const {
  if (!sortOrder_) return rows_.size();
  auto it = std::upper_bound(rows_.begin(), rows_.end(), &row, [&](const TTableRow* r, const TTableRow* existing) {
    return CompareRows(*r, *existing) < 0;
  });
  return static_cast<size_t>(it - rows_.begin());
}

// Callers have looked the row's key up first: the view holds no other row with it.
void TTableView::Insert(size_t index, const TRowPtr& row) {
  changed_.emplace(row.get(), row);
  rows_.insert(rows_.begin() + static_cast<ptrdiff_t>(index), row.get());
  if (index < cursor_) ++cursor_;
  if (keyIndexState_ == TKeyIndex::kBuilt) keyIndex_.emplace(row->InstanceKey(), row.get());
}

void TTableView::Erase(size_t index) {
  const TTableRow* old = rows_[index];
  if (keyIndexState_ == TKeyIndex::kBuilt) keyIndex_.erase(old->InstanceKey());
  rows_.erase(rows_.begin() + static_cast<ptrdiff_t>(index));
  if (index < cursor_) --cursor_;
  changed_.erase(old);  // last: it may free the row
}

void TTableView::Replace(size_t index, const TRowPtr& row) {
  const TTableRow* old = rows_[index];
  changed_.emplace(row.get(), row);
  if (keyIndexState_ == TKeyIndex::kBuilt) {
    keyIndex_.erase(old->InstanceKey());  // its key views the old row's bytes
    keyIndex_.emplace(row->InstanceKey(), row.get());
  }
  rows_[index] = row.get();
  if (old != row.get()) changed_.erase(old);
}

TMapiBuffer<SPropValue> TTableView::Project(TPropRow values) const {
  // Packed: the values and their data share one buffer (strings of the other width,
  // whose converted size is unknown here, are chained to it). Each column is looked
  // up once.
  const size_t count = columns_.size();
  projected_.resize(count);
  size_t room = 0;
  for (size_t i = 0; i < count; ++i) {
    const SPropValue* value = FindProp(values, columns_[i]);
    projected_[i] = value;
    if (value && SameColumnType(columns_[i], *value)) room += PackedDataSize(*value);
  }
  TPackedProps packed(static_cast<ULONG>(count), room);
  SPropValue* out = packed.Values();
  for (size_t i = 0; i < count; ++i) {
    ULONG tag = columns_[i];
    const SPropValue* value = projected_[i];
    if (!value) {
      out[i].ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
      out[i].Value.err = MAPI_E_NOT_FOUND;
    } else if (SameColumnType(tag, *value)) {
      CopyPropValue(*value, out[i], packed.Space());
    } else {
      CopyConverted(*value, tag, out[i], packed.Space());
    }
  }
  return packed.Release();
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
  e.values = Project(rows_[index]->Values());
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

void TTableView::ApplyModified(const TRowPtr& row, bool unseen) {
  size_t old = IndexOf(row->InstanceKey());
  bool accepted = Accepts(*row);
  if (old == rows_.size()) {
    if (!accepted) {
      if (unseen) QueueEvent(MakeEvent(TABLE_ROW_DELETED, S_OK, KeyOf(*row)));
      return;
    }
    size_t index = InsertPosition(*row);
    Insert(index, row);
    QueueRowEvent(TABLE_ROW_ADDED, index);
  } else if (!accepted) {
    Erase(old);
    QueueEvent(MakeEvent(TABLE_ROW_DELETED, S_OK, KeyOf(*row)));
  } else if (!sortOrder_) {
    Replace(old, row);
    QueueRowEvent(TABLE_ROW_MODIFIED, old);
  } else {
    // A row not read before lay after the cursor, wherever reading the rest put it.
    bool wasCurrent = old == cursor_ && !unseen;
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
  Apply([&] {
    CompleteBefore(row->InstanceKey(), true);
    ApplyModified(row, false);
  });
}

void TTableView::RowModified(const TRowPtr& row) {
  Apply([&] { ApplyModified(row, CompleteBefore(row->InstanceKey(), false)); });
}

void TTableView::RowDeleted(std::string_view instanceKey) {
  Apply([&] {
    bool unseen = CompleteBefore(instanceKey, false);
    size_t index = IndexOf(instanceKey);
    if (index == rows_.size()) {
      if (unseen) QueueEvent(MakeEvent(TABLE_ROW_DELETED, S_OK, std::string(instanceKey)));
      return;
    }
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
