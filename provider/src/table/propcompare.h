// Comparison of MAPI property values, shared by table sorting and restriction
// evaluation, so that a sorted table and a restriction agree on what "less" and
// "equal" mean.
//
// Order per type: integers, floating-point values, currency, application times and
// system times numerically (FILETIMEs as unsigned 64-bit numbers); booleans false
// before true; GUIDs and binaries bytewise over the common length, the shorter first
// when one is a prefix of the other (the order SQLite gives BLOBs, so that a store
// that sorts in SQL agrees with the engine); strings of either width by UTF-16 code
// unit after simple upper-case folding (case-insensitive, as MAPI's tables sort);
// error values by their code. In sorting, a missing value (or an error value) comes
// before every present value, as SQL's NULL does.
#pragma once

#include <string_view>

#include "mapi/mapidefs.h"
#include "orba/common/types.h"

namespace orba::store {

// The type of a tag without the multi-value and multi-value-instance flags.
constexpr ULONG BaseType(ULONG tag) { return PROP_TYPE(tag) & ~MVI_FLAG; }
// Whether the tag's type is multi-valued.
constexpr bool IsMultiValued(ULONG tag) { return (PROP_TYPE(tag) & MV_FLAG) != 0; }
// Whether the base type is PT_STRING8 or PT_UNICODE.
constexpr bool IsStringType(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE; }

// Whether single values of this base type can be compared by CompareValues.
bool IsComparableType(ULONG type);

// Text comparison options of content restrictions (FL_IGNORECASE, FL_IGNORENONSPACE).
struct TTextFolding {
  bool ignoreCase = true;
  bool ignoreNonSpace = false;
};

// Text prepared for comparison: upper-cased as the support layer folds case
// (VoFoldChar) when asked; with ignoreNonSpace, accented Latin letters become their
// base letter and combining marks are dropped.
WideString FoldText(std::u16string_view text, TTextFolding folding);
// Compares two texts case-insensitively (VoFoldChar on each code unit).
int CompareTextNoCase(std::u16string_view a, std::u16string_view b);
// The same for 8-bit texts in the system code page: ASCII is compared directly,
// anything else after conversion to UTF-16.
int CompareTextNoCase(std::string_view a, std::string_view b);

// The number of values of a property value: its count when multi-valued, else 1.
ULONG ValueCount(const SPropValue& value);
// Value i of a multi-valued property value as a single value of its base type (the
// value itself when single-valued). i must be below ValueCount.
__UPV ValueAt(const SPropValue& value, ULONG i);

// Compares two single values of the same comparable base type; <0, 0 or >0.
int CompareValues(ULONG type, const __UPV& a, const __UPV& b);

// Compares two values of one column for sorting: either may be null or an error value
// (missing), which sorts before any present value. Multi-valued values compare element
// by element, then by count. Values of different types compare by type.
int CompareSortValues(const SPropValue* a, const SPropValue* b);

}  // namespace orba::store
