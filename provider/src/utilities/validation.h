// The checks behind MAPI's FBad... functions: whether a structure a caller hands over
// is sound enough to be used. Every pointer is checked for readable memory before it
// is followed (memory/memoryprobe.h), so a bad structure is answered, never a crash.
#pragma once

#include "mapi/mapidefs.h"

namespace orba::store {

// A tag whose type is not one of MAPI's (MV_INSTANCE only with MV_FLAG), or whose
// identifier is PROP_ID_INVALID.
bool IsBadPropTag(ULONG tag);
// A value whose tag is bad or whose data cannot be read: texts up to their terminator,
// binaries and arrays over their counts, restrictions that IsBadRestriction refuses.
bool IsUnreadableProp(const SPropValue* value);
// An unreadable value, a value of PT_UNSPECIFIED, a boolean other than 0 and 1, or a
// multi-valued property without values.
bool IsBadProp(const SPropValue* value);
bool IsBadRow(const SRow* row);
bool IsBadRowSet(const SRowSet* rows);
// No columns, a bad tag or a PT_ERROR column (PT_NULL columns are fine).
bool IsBadColumnSet(const SPropTagArray* columns);
// Bad tags or orders, or more categories than sort keys (more expanded than categories).
bool IsBadSortOrderSet(const SSortOrderSet* sortOrder);
// A tree that cannot be read, or that the table engine would refuse (restriction.h), or
// that holds more than 2^20 nodes counting a shared node at each place it appears.
// Restrictions held in its values (and in the values of one value, row or row set)
// count with it towards those limits and kMaxRestrictionDepth.
bool IsBadRestriction(const SRestriction* restriction);
// An array of count texts that cannot all be read.
bool IsBadTextArray(const LPSTR* texts, ULONG count);
bool IsBadTextArray(const LPWSTR* texts, ULONG count);

}  // namespace orba::store
