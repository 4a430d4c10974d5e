// MAPI's utility functions on property values: copying (PropCopyMore, ScCountProps,
// ScCopyProps, ScDupPropset), measuring, comparing and finding values, and reading or
// writing one property of an object. They run on the engines' own code: the deep copy
// of props/valuecopy.h and the comparisons of the table engine (table/restriction.h),
// so that a copied value, a sorted table and a restriction agree with these functions.
// The functions that copy values check them for readable memory first
// (utilities/validation.h); those that find, compare and measure values trust the
// memory as MAPI's callers expect and refuse only what is missing.
#include <algorithm>
#include <climits>
#include <cstring>

#include "base/export.h"
#include "base/lasterror.h"
#include "mapi/mapiexports.h"
#include "memory/memoryprobe.h"
#include "props/valuecopy.h"
#include "table/propcompare.h"
#include "table/restriction.h"
#include "utilities/validation.h"
#include "utilities/valueutil.h"

namespace orba::store {

namespace {

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// The type of a value's tag without the multi-value-instance flag.
ULONG ValueType(const SPropValue& value) { return PROP_TYPE(value.ulPropTag) & ~MV_INSTANCE; }

// Whether count values at values can be read (and are aligned as values are).
bool IsReadableValues(const SPropValue* values, size_t count) {
  return reinterpret_cast<uintptr_t>(values) % alignof(SPropValue) == 0 &&
         IsReadableRange(values, count * sizeof(SPropValue));
}

// A value the functions that trust memory cannot use: none, or a multi-valued one
// counting values without their array.
bool IsMissing(const SPropValue* value) {
  return !value || (IsMultiValued(value->ulPropTag) && value->Value.MVi.cValues && !value->Value.MVi.lpi);
}

bool IsContentType(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY; }

// Same type, or the same type in the other string width.
bool SameKind(ULONG a, ULONG b) {
  return a == b || (IsStringType(BaseType(a)) && IsStringType(BaseType(b)) && IsMultiValued(a) == IsMultiValued(b));
}

}  // namespace

size_t PackedPropsSize(int count, const SPropValue* values) {
  if (count < 0 || (count > 0 && !IsReadableValues(values, size_t(count))))
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "property value array cannot be read");
  size_t size = size_t(count) * sizeof(SPropValue);
  for (int i = 0; i < count; ++i) {
    const SPropValue& value = values[i];
    ULONG id = PROP_ID(value.ulPropTag), type = ValueType(value);
    // Nested restrictions and rule actions are never packed into one block.
    if (id == PROP_ID_NULL || id == PROP_ID_INVALID || IsBadProp(&value) || type == PT_SRESTRICTION ||
        type == PT_ACTIONS)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "property value cannot be copied into one block");
    size += PackedDataSize(value);
  }
  if (size > ULONG_MAX) throw TMapiError(MAPI_E_NOT_ENOUGH_MEMORY, "property values too large");
  return size;
}

void CopyPropsPacked(int count, const SPropValue* values, void* destination, size_t size) {
  auto* copies = static_cast<SPropValue*>(destination);
  size_t head = size_t(count) * sizeof(SPropValue);
  TCopySpace space(nullptr, static_cast<BYTE*>(destination) + head, size - head);
  for (int i = 0; i < count; ++i) CopyPropValue(values[i], copies[i], space);
}

}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT SCODE PropCopyMore(LPSPropValue lpSPropValueDest, LPSPropValue lpSPropValueSrc,
                                    ALLOCATEMORE* lpfAllocMore, LPVOID lpvObject) {
  if (!lpSPropValueDest || !lpfAllocMore || !IsReadableRange(lpSPropValueSrc, sizeof(SPropValue)))
    return MAPI_E_INVALID_PARAMETER;
  if (IsBadPropTag(lpSPropValueSrc->ulPropTag) || PROP_TYPE(lpSPropValueSrc->ulPropTag) == PT_UNSPECIFIED)
    return MAPI_E_NO_SUPPORT;
  if (IsUnreadableProp(lpSPropValueSrc)) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    // The destination is written only once the copy is whole.
    SPropValue copy;
    TCopySpace space(lpvObject, lpfAllocMore);
    CopyPropValue(*lpSPropValueSrc, copy, space);
    *lpSPropValueDest = copy;
    return S_OK;
  });
}

ORBASTORE_EXPORT ULONG UlPropSize(LPSPropValue lpSPropValue) {
  if (IsMissing(lpSPropValue)) return 0;
  return static_cast<ULONG>(std::min<size_t>(ValueSize(*lpSPropValue), ULONG_MAX));
}

ORBASTORE_EXPORT BOOL FPropContainsProp(LPSPropValue lpSPropValueDst, LPSPropValue lpSPropValueSrc,
                                        ULONG ulFuzzyLevel) {
  constexpr ULONG kOptions = FL_IGNORECASE | FL_IGNORENONSPACE | FL_LOOSE;
  if (IsMissing(lpSPropValueDst) || IsMissing(lpSPropValueSrc)) return false;
  ULONG type = ValueType(*lpSPropValueSrc);
  if (ValueType(*lpSPropValueDst) != type || !IsContentType(type)) return false;
  if ((ulFuzzyLevel & 0xFFFF) > FL_PREFIX || (ulFuzzyLevel & 0xFFFF0000u & ~kOptions)) return false;
  try {
    return ValueContains(*lpSPropValueDst, *lpSPropValueSrc, ulFuzzyLevel);
  } catch (...) {
    return false;
  }
}

ORBASTORE_EXPORT BOOL FPropCompareProp(LPSPropValue lpSPropValue1, ULONG ulRelOp, LPSPropValue lpSPropValue2) {
  if (IsMissing(lpSPropValue1) || IsMissing(lpSPropValue2)) return false;
  if (ValueType(*lpSPropValue1) != ValueType(*lpSPropValue2)) return false;
  try {
    return ValuesSatisfy(*lpSPropValue1, ulRelOp, *lpSPropValue2);
  } catch (...) {
    return false;
  }
}

ORBASTORE_EXPORT LONG LPropCompareProp(LPSPropValue lpSPropValueA, LPSPropValue lpSPropValueB) {
  bool badA = IsMissing(lpSPropValueA), badB = IsMissing(lpSPropValueB);
  // Missing values sort first; values of different types by their types.
  if (badA || badB) return Order(!badA, !badB);
  const SPropValue &a = *lpSPropValueA, &b = *lpSPropValueB;
  ULONG type = ValueType(a);
  if (type != ValueType(b)) return Order(type, ValueType(b));
  try {
    ULONG base = BaseType(type);
    if (!IsMultiValued(type)) return CompareValues(base, a.Value, b.Value);
    ULONG countA = ValueCount(a), countB = ValueCount(b);
    for (ULONG i = 0; i < std::min(countA, countB); ++i)
      if (int c = CompareValues(base, ValueAt(a, i), ValueAt(b, i))) return c;
    return Order(countA, countB);
  } catch (...) {
    return 0;
  }
}

ORBASTORE_EXPORT LPSPropValue PpropFindProp(LPSPropValue lpPropArray, ULONG cValues, ULONG ulPropTag) {
  if (!lpPropArray) return nullptr;
  bool anyType = PROP_TYPE(ulPropTag) == PT_UNSPECIFIED;
  auto found = std::find_if(lpPropArray, lpPropArray + cValues, [&](const SPropValue& value) {
    return anyType ? PROP_ID(value.ulPropTag) == PROP_ID(ulPropTag) : value.ulPropTag == ulPropTag;
  });
  return found == lpPropArray + cValues ? nullptr : found;
}

ORBASTORE_EXPORT LPSPropValue LpValFindProp(ULONG ulPropTag, ULONG cValues, LPSPropValue lpPropArray) {
  return PpropFindProp(lpPropArray, cValues, PROP_TAG(PT_UNSPECIFIED, PROP_ID(ulPropTag)));
}

ORBASTORE_EXPORT SCODE ScCountProps(int cValues, LPSPropValue lpPropArray, ULONG* lpcb) {
  return Guarded([&] {
    size_t size = PackedPropsSize(cValues, lpPropArray);
    if (lpcb) *lpcb = static_cast<ULONG>(size);
    return S_OK;
  });
}

ORBASTORE_EXPORT SCODE ScCopyProps(int cValues, LPSPropValue lpPropArray, LPVOID lpvDst, ULONG* lpcb) {
  if (!lpvDst) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    size_t size = PackedPropsSize(cValues, lpPropArray);
    // The copy must not overwrite the array it copies.
    auto* dst = static_cast<BYTE*>(lpvDst);
    auto* src = reinterpret_cast<BYTE*>(lpPropArray);
    if (cValues > 0 && dst < src + size_t(cValues) * sizeof(SPropValue) && src < dst + size)
      throw TMapiError(MAPI_E_INVALID_PARAMETER, "the destination overlaps the values");
    CopyPropsPacked(cValues, lpPropArray, lpvDst, size);
    if (lpcb) *lpcb = static_cast<ULONG>(size);
    return S_OK;
  });
}

ORBASTORE_EXPORT SCODE ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                                    LPSPropValue* lppPropArray) {
  if (!lpAllocateBuffer || !lppPropArray) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    size_t size = PackedPropsSize(cValues, lpPropArray);
    void* buffer = nullptr;
    SCODE sc = lpAllocateBuffer(static_cast<ULONG>(std::max<size_t>(size, 1)), &buffer);
    if (FAILED(sc) || !buffer) return FAILED(sc) ? sc : MAPI_E_NOT_ENOUGH_MEMORY;
    std::memset(buffer, 0, size);
    CopyPropsPacked(cValues, lpPropArray, buffer, size);
    *lppPropArray = static_cast<LPSPropValue>(buffer);
    return S_OK;
  });
}

ORBASTORE_EXPORT HRESULT HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp) {
  if (!lpMapiProp || !lppProp) return MAPI_E_INVALID_PARAMETER;
  *lppProp = nullptr;
  SizedSPropTagArray<1> tags{1, {ulPropTag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  HRESULT hr = lpMapiProp->GetProps(tags.Ptr(), 0, &count, &values);
  if (FAILED(hr)) return hr;
  TMapiBuffer<SPropValue> holder(values);
  if (count != 1 || !values) return MAPI_E_CALL_FAILED;
  if (PROP_TYPE(values->ulPropTag) == PT_ERROR) return FAILED(values->Value.err) ? values->Value.err : MAPI_E_NOT_FOUND;
  *lppProp = holder.Release();
  return S_OK;
}

ORBASTORE_EXPORT HRESULT HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp) {
  if (!lpMapiProp || !lpProp) return MAPI_E_INVALID_PARAMETER;
  LPSPropProblemArray problems = nullptr;
  HRESULT hr = lpMapiProp->SetProps(1, lpProp, &problems);
  TMapiBuffer<SPropProblemArray> holder(problems);
  if (FAILED(hr)) return hr;
  return problems && problems->cProblem ? problems->aProblem[0].scode : S_OK;
}

ORBASTORE_EXPORT BOOL FPropExists(LPMAPIPROP lpMapiProp, ULONG ulPropTag) {
  if (!lpMapiProp) return false;
  LPSPropTagArray list = nullptr;
  if (FAILED(lpMapiProp->GetPropList(0, &list)) || !list) return false;
  TMapiBuffer<SPropTagArray> holder(list);
  ULONG type = PROP_TYPE(ulPropTag);
  return std::any_of(list->aulPropTag, list->aulPropTag + list->cValues, [&](ULONG tag) {
    return PROP_ID(tag) == PROP_ID(ulPropTag) && (type == PT_UNSPECIFIED || SameKind(PROP_TYPE(tag), type));
  });
}
