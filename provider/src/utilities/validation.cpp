// MAPI's validation functions (MAPIVAL.H) over the checks of validation.h.
#include "utilities/validation.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "base/export.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/memoryprobe.h"
#include "props/valuecopy.h"
#include "table/restriction.h"

namespace orba::store {

namespace {

constexpr size_t kMaxTextLength = size_t{1} << 30;
// Restriction nodes in one structure, at most, each counted wherever it appears: a tree
// whose branches share nodes must not take forever to copy or evaluate.
constexpr size_t kMaxRestrictionNodes = size_t{1} << 20;

bool Aligned(const void* p, size_t alignment) { return reinterpret_cast<uintptr_t>(p) % alignment == 0; }

template <class T>
bool Readable(const T* p, size_t count = 1) {
  return Aligned(p, alignof(T)) && IsReadableRange(p, count * sizeof(T));
}

template <class Char>
bool IsBadText(const Char* text) {
  return !ReadableTextLength(text, kMaxTextLength);
}

bool IsBadBinary(const SBinary& bin) { return bin.cb != 0 && !IsReadableRange(bin.lpb, bin.cb); }

// The size and alignment of one element of a multi-valued property of base type.
struct TElement {
  size_t size, alignment;
};
TElement ElementOf(ULONG base) {
  switch (base) {
    case PT_I2: return {sizeof(int16_t), alignof(int16_t)};
    case PT_LONG:
    case PT_R4: return {sizeof(LONG), alignof(LONG)};
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_SYSTIME:
    case PT_I8: return {8, 8};
    case PT_CLSID: return {sizeof(GUID), alignof(GUID)};
    case PT_BINARY: return {sizeof(SBinary), alignof(SBinary)};
    case PT_STRING8:
    case PT_UNICODE: return {sizeof(void*), alignof(void*)};
    default: return {0, 1};
  }
}

bool IsUnreadableMultiValue(ULONG base, const __UPV& v) {
  // Every multi-valued member is a count and a pointer to its elements.
  ULONG count = v.MVi.cValues;
  TElement element = ElementOf(base);
  if (count && !Aligned(v.MVi.lpi, element.alignment)) return true;
  if (!IsReadableRange(v.MVi.lpi, count * element.size)) return true;
  for (ULONG i = 0; i < count; ++i) {
    if (base == PT_STRING8 && IsBadText(v.MVszA.lppszA[i])) return true;
    if (base == PT_UNICODE && IsBadText(v.MVszW.lppszW[i])) return true;
    if (base == PT_BINARY && IsBadBinary(v.MVbin.lpbin[i])) return true;
  }
  return false;
}

// One caller's structure checked: restrictions held in values inside restrictions share
// the depth limit and the node budget with their holder. A restriction found sound is
// remembered with its height and node count, so that nodes shared by several branches
// are walked once while the budget still counts every place they appear (a copy of the
// structure repeats them all).
class TCheck {
 public:
  bool IsUnreadableProp(const SPropValue* value, unsigned depth) {
    if (!Readable(value) || IsBadPropTag(value->ulPropTag)) return true;
    ULONG type = PROP_TYPE(value->ulPropTag) & ~MV_INSTANCE;
    const __UPV& v = value->Value;
    if (type & MV_FLAG) return IsUnreadableMultiValue(type & ~MV_FLAG, v);
    switch (type) {
      case PT_STRING8: return IsBadText(v.lpszA);
      case PT_UNICODE: return IsBadText(v.lpszW);
      case PT_BINARY:
      case PT_SVREID: return IsBadBinary(v.bin);
      case PT_CLSID: return !Readable(v.lpguid);
      case PT_SRESTRICTION: return IsBadRestriction(static_cast<const SRestriction*>(v.lpv), depth);
      case PT_ACTIONS: {
        const auto* actions = static_cast<const ACTIONS*>(v.lpv);
        return !Readable(actions) || (actions->cActions && !Readable(actions->lpAction, actions->cActions));
      }
      default: return false;  // values held in the structure itself
    }
  }

  bool IsBadProp(const SPropValue* value, unsigned depth) {
    if (IsUnreadableProp(value, depth)) return true;
    ULONG type = PROP_TYPE(value->ulPropTag) & ~MV_INSTANCE;
    if (type & MV_FLAG) return value->Value.MVi.cValues == 0;
    return type == PT_UNSPECIFIED || (type == PT_BOOLEAN && value->Value.b > 1);
  }

  bool IsBadRow(const SRow* row) {
    if (!Readable(row)) return true;
    if (row->cValues && !Readable(row->lpProps, row->cValues)) return true;
    for (ULONG i = 0; i < row->cValues; ++i)
      if (IsBadProp(&row->lpProps[i], 0)) return true;
    return false;
  }

  // A tree that cannot be read, or that the table engine would refuse.
  bool IsBadRestriction(const SRestriction* restriction, unsigned depth) {
    bool checked = sound_.contains(restriction);
    if (IsBad(restriction, depth)) return true;
    if (checked) return false;
    // Readable: now the checks of the table engine, which Restrict and FindRow apply.
    try {
      ValidateRestriction(*restriction, true);
      return false;
    } catch (const TMapiError&) {
      return true;
    }
  }

 private:
  // A sound restriction's levels and nodes, those of restrictions in its values included.
  struct TShape {
    unsigned height;
    size_t nodes;
  };

  bool IsBad(const SRestriction* r, unsigned depth) {
    if (depth >= kMaxRestrictionDepth || !Readable(r)) return true;
    if (auto known = sound_.find(r); known != sound_.end()) {
      deepest_ = std::max(deepest_, depth + known->second.height - 1);
      nodes_ += known->second.nodes;
      return depth + known->second.height > kMaxRestrictionDepth || nodes_ > kMaxRestrictionNodes;
    }
    if (++nodes_ > kMaxRestrictionNodes) return true;
    size_t nodesBefore = nodes_ - 1;
    unsigned deepestAround = std::exchange(deepest_, depth);
    if (IsBadNode(*r, depth)) return true;
    sound_[r] = {deepest_ - depth + 1, nodes_ - nodesBefore};
    deepest_ = std::max(deepest_, deepestAround);
    return false;
  }

  bool IsBadNode(const SRestriction& r, unsigned depth) {
    const auto& res = r.res;
    switch (r.rt) {
      case RES_AND:
      case RES_OR: return IsBadList(res.resAnd.lpRes, res.resAnd.cRes, depth);
      case RES_NOT: return !res.resNot.lpRes || IsBad(res.resNot.lpRes, depth + 1);
      case RES_COUNT: return !res.resCount.lpRes || IsBad(res.resCount.lpRes, depth + 1);
      case RES_SUBRESTRICTION: return !res.resSub.lpRes || IsBad(res.resSub.lpRes, depth + 1);
      case RES_CONTENT: return IsBadPropTag(res.resContent.ulPropTag) || IsBadProp(res.resContent.lpProp, depth + 1);
      case RES_PROPERTY: return IsBadPropTag(res.resProperty.ulPropTag) || IsBadProp(res.resProperty.lpProp, depth + 1);
      case RES_COMPAREPROPS:
        return IsBadPropTag(res.resCompareProps.ulPropTag1) || IsBadPropTag(res.resCompareProps.ulPropTag2);
      case RES_BITMASK: return IsBadPropTag(res.resBitMask.ulPropTag);
      case RES_SIZE: return IsBadPropTag(res.resSize.ulPropTag);
      case RES_EXIST: return IsBadPropTag(res.resExist.ulPropTag);
      case RES_COMMENT:
      case RES_ANNOTATION: {
        const SCommentRestriction& comment = res.resComment;
        if (comment.cValues && !Readable(comment.lpProp, comment.cValues)) return true;
        for (ULONG i = 0; i < comment.cValues; ++i)
          if (IsBadProp(&comment.lpProp[i], depth + 1)) return true;
        return comment.lpRes && IsBad(comment.lpRes, depth + 1);
      }
      default: return true;
    }
  }

  bool IsBadList(const SRestriction* items, ULONG count, unsigned depth) {
    if (count && !Readable(items, count)) return true;
    for (ULONG i = 0; i < count; ++i)
      if (IsBad(&items[i], depth + 1)) return true;
    return false;
  }

  size_t nodes_ = 0;
  unsigned deepest_ = 0;
  std::unordered_map<const SRestriction*, TShape> sound_;
};

bool IsKnownSortOrder(ULONG order) {
  switch (order) {
    case TABLE_SORT_ASCEND:
    case TABLE_SORT_DESCEND:
    case TABLE_SORT_COMBINE:
    case TABLE_SORT_CATEG_MAX:
    case TABLE_SORT_CATEG_MIN: return true;
    default: return false;
  }
}

bool IsBadColumnTag(ULONG tag) { return IsBadPropTag(tag) || PROP_TYPE(tag) == PT_ERROR; }

template <class Char>
bool IsBadTexts(Char* const* texts, ULONG count) {
  if (count && !Readable(texts, count)) return true;
  for (ULONG i = 0; i < count; ++i)
    if (IsBadText(texts[i])) return true;
  return false;
}

}  // namespace

bool IsBadPropTag(ULONG tag) {
  ULONG type = PROP_TYPE(tag);
  if ((type & MV_INSTANCE) && !(type & MV_FLAG)) return true;
  return PROP_ID(tag) == PROP_ID_INVALID || !IsKnownPropType(type & ~MV_INSTANCE);
}

bool IsUnreadableProp(const SPropValue* value) { return TCheck().IsUnreadableProp(value, 0); }

bool IsBadProp(const SPropValue* value) { return TCheck().IsBadProp(value, 0); }

bool IsBadRow(const SRow* row) { return TCheck().IsBadRow(row); }

bool IsBadRowSet(const SRowSet* rows) {
  if (!rows || !Readable(&rows->cRows) || !IsReadableRange(rows, CbNewSRowSet(rows->cRows))) return true;
  TCheck check;
  for (ULONG i = 0; i < rows->cRows; ++i)
    if (check.IsBadRow(&rows->aRow[i])) return true;
  return false;
}

bool IsBadColumnSet(const SPropTagArray* columns) {
  if (!columns || !Readable(&columns->cValues) || columns->cValues == 0 ||
      !IsReadableRange(columns, CbNewSPropTagArray(columns->cValues)))
    return true;
  for (ULONG i = 0; i < columns->cValues; ++i)
    if (IsBadColumnTag(columns->aulPropTag[i])) return true;
  return false;
}

bool IsBadSortOrderSet(const SSortOrderSet* sortOrder) {
  if (!sortOrder || !IsReadableRange(sortOrder, offsetof(SSortOrderSet, aSort)) ||
      !IsReadableRange(sortOrder, CbNewSSortOrderSet(sortOrder->cSorts)))
    return true;
  if (sortOrder->cCategories > sortOrder->cSorts || sortOrder->cExpanded > sortOrder->cCategories) return true;
  for (ULONG i = 0; i < sortOrder->cSorts; ++i) {
    const SSortOrder& key = sortOrder->aSort[i];
    if (IsBadColumnTag(key.ulPropTag) || !IsKnownSortOrder(key.ulOrder)) return true;
  }
  return false;
}

bool IsBadRestriction(const SRestriction* restriction) { return TCheck().IsBadRestriction(restriction, 0); }

bool IsBadTextArray(const LPSTR* texts, ULONG count) { return IsBadTexts(texts, count); }
bool IsBadTextArray(const LPWSTR* texts, ULONG count) { return IsBadTexts(texts, count); }

}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT ULONG FBadRglpszA(LPSTR* lppszA, ULONG cStrings) { return IsBadTextArray(lppszA, cStrings); }
ORBASTORE_EXPORT ULONG FBadRglpszW(LPWSTR* lppszW, ULONG cStrings) { return IsBadTextArray(lppszW, cStrings); }
ORBASTORE_EXPORT ULONG FBadRowSet(LPSRowSet lpRowSet) { return IsBadRowSet(lpRowSet); }
ORBASTORE_EXPORT ULONG FBadRow(LPSRow lprow) { return IsBadRow(lprow); }
ORBASTORE_EXPORT ULONG FBadProp(LPSPropValue lpprop) { return IsBadProp(lpprop); }
ORBASTORE_EXPORT ULONG FBadPropTag(ULONG ulPropTag) { return IsBadPropTag(ulPropTag); }
ORBASTORE_EXPORT ULONG FBadColumnSet(LPSPropTagArray lpptaCols) { return IsBadColumnSet(lpptaCols); }
ORBASTORE_EXPORT ULONG FBadSortOrderSet(LPSSortOrderSet lpsos) { return IsBadSortOrderSet(lpsos); }
ORBASTORE_EXPORT ULONG FBadRestriction(LPSRestriction lpres) { return IsBadRestriction(lpres); }
