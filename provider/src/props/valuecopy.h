// Deep copies of MAPI's property structures into MAPI memory: every block a copy
// needs is allocated "more" on a parent buffer, so the copy is freed with it. A packed
// copy first sizes the values' data and puts it in the same buffer as the values
// (one allocation instead of one per string or binary).
// Malformed input (a null pointer with a non-zero count, an unknown property type,
// restrictions nested deeper than kMaxRestrictionDepth, the levels of restrictions and
// rule actions held in their values counted with them) throws TMapiError
// (MAPI_E_INVALID_PARAMETER, MAPI_E_INVALID_TYPE, MAPI_E_TOO_COMPLEX) and never
// reads through a bad pointer it can detect.
#pragma once

#include <cstddef>

#include "mapi/edkmdb.h"
#include "mapi/mapidefs.h"
#include "memory/mapimemory.h"

namespace orba::store {

inline constexpr unsigned kMaxRestrictionDepth = 256;
// Blocks inside a packed buffer start on multiples of this (every MAPI type's alignment).
inline constexpr size_t kPackedAlignment = 8;

// Where a copy puts the blocks it needs: from room set aside in a MAPI buffer while it
// lasts, then chained to the buffer (parent) with AllocateMore.
class TCopySpace {
 public:
  // Every block chained to parent, by allocateMore when given (a caller's stand-in for
  // MAPIAllocateMore), else by Orba Store's own.
  explicit TCopySpace(void* parent, LPALLOCATEMORE allocateMore = nullptr)
      : parent_(parent), allocateMore_(allocateMore) {}
  // Blocks from [room, room + size) first; the room lies inside parent's buffer.
  TCopySpace(void* parent, void* room, size_t size);

  // A zero-filled block of cb bytes (std::bad_alloc, or TMapiError for a bad parent).
  void* Take(size_t cb) {
    size_t rounded = (cb + kPackedAlignment - 1) & ~(kPackedAlignment - 1);
    if (rounded >= cb && static_cast<size_t>(end_ - next_) >= rounded) {
      void* block = next_;
      next_ += rounded;
      return block;
    }
    return More(cb);
  }
  template <class T>
  T* TakeOf(size_t count) {
    return static_cast<T*>(Take(count * sizeof(T)));
  }

 private:
  void* More(size_t cb);

  void* parent_;
  LPALLOCATEMORE allocateMore_ = nullptr;
  std::byte* next_ = nullptr;
  std::byte* end_ = nullptr;
};

// A new buffer with count values at its head and room bytes after them, handed out by
// Space() to the values' copies.
class TPackedProps {
 public:
  TPackedProps(ULONG count, size_t room);
  SPropValue* Values() const { return buffer_.get(); }
  TCopySpace& Space() { return space_; }
  TMapiBuffer<SPropValue> Release() { return std::move(buffer_); }

 private:
  TMapiBuffer<SPropValue> buffer_;
  TCopySpace space_;
};

// Copies one value: scalars by value, strings, binaries, GUIDs, multi-valued
// arrays, restrictions (PT_SRESTRICTION) and rule actions (PT_ACTIONS) deeply.
void CopyPropValue(const SPropValue& src, SPropValue& dst, void* parent);
// The same, taking its blocks from space.
void CopyPropValue(const SPropValue& src, SPropValue& dst, TCopySpace& space);
// Copies count values into dst (an array the caller owns, e.g. in parent).
void CopyPropsInto(void* parent, ULONG count, const SPropValue* src, SPropValue* dst);
// A new array of count values allocated on parent.
SPropValue* CopyPropArray(void* parent, ULONG count, const SPropValue* src);
// A new buffer holding a packed copy of count values (the array is the buffer's head).
TMapiBuffer<SPropValue> DuplicatePropArray(ULONG count, const SPropValue* src);

// A text of MAPI's TCHAR kind, of the width unicode says (MAPI_UNICODE); null gives null.
LPTSTR CopyText(LPCTSTR text, bool unicode, TCopySpace& space);
// An error description with its texts (of the width unicode says).
void CopyMapiError(const MAPIERROR& src, MAPIERROR& dst, bool unicode, TCopySpace& space);

void CopyRestriction(const SRestriction& src, SRestriction& dst, void* parent);
TMapiBuffer<SRestriction> DuplicateRestriction(const SRestriction& src);
void CopyActions(const ACTIONS& src, ACTIONS& dst, void* parent);

// Tag arrays (a null source gives null).
LPSPropTagArray CopyTagArray(void* parent, const SPropTagArray* src);
TMapiBuffer<SPropTagArray> DuplicateTagArray(const SPropTagArray* src);

// The bytes of a value's variable part (string with terminator, binary, array
// elements and their data); 0 for fixed-size types. Used for size limits.
size_t PropValueDataSize(const SPropValue& value);
// The room a packed copy of the value's variable part takes (its blocks rounded up to
// kPackedAlignment). Nested restrictions and rule actions count nothing: their blocks
// are chained to the buffer instead.
size_t PackedDataSize(const SPropValue& value);

// True when a value of type is held in the SPropValue itself (no pointer to follow).
bool IsFixedSizeType(ULONG type);

// True when type is one of MAPI's property types (with or without MV_FLAG where
// multi-valued forms exist).
bool IsKnownPropType(ULONG type);

}  // namespace orba::store
