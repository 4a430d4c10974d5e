#include "props/valuecopy.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "base/maperror.h"

namespace orba::store {

TCopySpace::TCopySpace(void* parent, void* room, size_t size)
    : parent_(parent), next_(static_cast<std::byte*>(room)), end_(next_ + size) {}

void* TCopySpace::More(size_t cb) {
  if (!allocateMore_) return AllocateMore(cb, parent_);
  void* block = nullptr;
  SCODE sc = cb <= ULONG_MAX ? allocateMore_(static_cast<ULONG>(cb), parent_, &block) : MAPI_E_NOT_ENOUGH_MEMORY;
  if (FAILED(sc) || !block) throw TMapiError(FAILED(sc) ? sc : MAPI_E_NOT_ENOUGH_MEMORY, "AllocateMore failed");
  std::memset(block, 0, cb);
  return block;
}

TPackedProps::TPackedProps(ULONG count, size_t room)
    : buffer_(TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * (count ? count : 1) + room)),
      space_(buffer_.get(), buffer_.get() + (count ? count : 1), room) {}

namespace {

// The depth one level further down. Restrictions and rule actions held in values inside
// restrictions and rule actions continue their holder's count, so that a value leading
// back to itself ends in MAPI_E_TOO_COMPLEX after kMaxRestrictionDepth levels in all.
unsigned Deeper(unsigned depth) {
  if (depth >= kMaxRestrictionDepth) throw TMapiError(MAPI_E_TOO_COMPLEX, "restriction nested too deeply");
  return depth + 1;
}

void Require(bool condition) {
  if (!condition) throw TMapiError(MAPI_E_INVALID_PARAMETER, "malformed property value");
}

template <class T>
T* CopyArray(const T* src, size_t count, TCopySpace& space) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  T* dst = space.TakeOf<T>(count);
  std::memcpy(static_cast<void*>(dst), src, count * sizeof(T));
  return dst;
}

BYTE* CopyBytes(const BYTE* src, ULONG cb, TCopySpace& space) { return CopyArray(src, cb, space); }

LPSTR CopyString(LPCSTR src, TCopySpace& space) {
  Require(src != nullptr);
  return CopyArray(src, std::strlen(src) + 1, space);
}

LPWSTR CopyWString(LPCWSTR src, TCopySpace& space) {
  Require(src != nullptr);
  return CopyArray(src, std::char_traits<char16_t>::length(src) + 1, space);
}

void CopyBinary(const SBinary& src, SBinary& dst, TCopySpace& space) {
  dst.cb = src.cb;
  dst.lpb = CopyBytes(src.lpb, src.cb, space);
}

template <class Element, class Each>
Element* CopyEach(const Element* src, ULONG count, TCopySpace& space, Each each) {
  Element* dst = CopyArray(src, count, space);
  for (ULONG i = 0; i < count; ++i) each(src[i], dst[i]);
  return dst;
}

void CopyRestrictionAt(const SRestriction& src, SRestriction& dst, TCopySpace& space, unsigned depth);
void CopyValueAt(const SPropValue& src, SPropValue& dst, TCopySpace& space, unsigned depth);
SPropValue* CopyPropArrayIn(TCopySpace& space, ULONG count, const SPropValue* src, unsigned depth);
void CopyActionsIn(const ACTIONS& src, ACTIONS& dst, TCopySpace& space, unsigned depth);
LPSPropTagArray CopyTagArrayIn(TCopySpace& space, const SPropTagArray* src);

LPSPropValue CopyOptionalProp(const SPropValue* src, TCopySpace& space, unsigned depth) {
  if (!src) return nullptr;
  auto* dst = space.TakeOf<SPropValue>(1);
  CopyValueAt(*src, *dst, space, depth);
  return dst;
}

LPSRestriction CopyRestrictions(const SRestriction* src, ULONG count, TCopySpace& space, unsigned depth) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  auto* dst = space.TakeOf<SRestriction>(count);
  for (ULONG i = 0; i < count; ++i) CopyRestrictionAt(src[i], dst[i], space, depth);
  return dst;
}

LPSRestriction CopyOptionalRestriction(const SRestriction* src, TCopySpace& space, unsigned depth) {
  return src ? CopyRestrictions(src, 1, space, depth) : nullptr;
}

void CopyRestrictionAt(const SRestriction& src, SRestriction& dst, TCopySpace& space, unsigned depth) {
  depth = Deeper(depth);
  dst = src;
  auto& r = dst.res;
  switch (src.rt) {
    case RES_AND:
    case RES_OR: r.resAnd.lpRes = CopyRestrictions(src.res.resAnd.lpRes, src.res.resAnd.cRes, space, depth); break;
    case RES_NOT:
      Require(src.res.resNot.lpRes != nullptr);
      r.resNot.lpRes = CopyOptionalRestriction(src.res.resNot.lpRes, space, depth);
      break;
    case RES_CONTENT:
      Require(src.res.resContent.lpProp != nullptr);
      r.resContent.lpProp = CopyOptionalProp(src.res.resContent.lpProp, space, depth);
      break;
    case RES_PROPERTY:
      Require(src.res.resProperty.lpProp != nullptr);
      r.resProperty.lpProp = CopyOptionalProp(src.res.resProperty.lpProp, space, depth);
      break;
    case RES_COMPAREPROPS:
    case RES_BITMASK:
    case RES_SIZE:
    case RES_EXIST:
    case NULL_RESTRICTION: break;
    case RES_SUBRESTRICTION:
      Require(src.res.resSub.lpRes != nullptr);
      r.resSub.lpRes = CopyOptionalRestriction(src.res.resSub.lpRes, space, depth);
      break;
    case RES_COMMENT:
    case RES_ANNOTATION:
      r.resComment.lpRes = CopyOptionalRestriction(src.res.resComment.lpRes, space, depth);
      r.resComment.lpProp = CopyPropArrayIn(space, src.res.resComment.cValues, src.res.resComment.lpProp, depth);
      break;
    case RES_COUNT:
      Require(src.res.resCount.lpRes != nullptr);
      r.resCount.lpRes = CopyOptionalRestriction(src.res.resCount.lpRes, space, depth);
      break;
    default: throw TMapiError(MAPI_E_INVALID_PARAMETER, "unknown restriction type");
  }
}

LPENTRYID CopyEntryId(const ENTRYID* src, ULONG cb, TCopySpace& space) {
  return reinterpret_cast<LPENTRYID>(CopyBytes(reinterpret_cast<const BYTE*>(src), cb, space));
}

LPADRLIST CopyAdrList(const ADRLIST* src, TCopySpace& space, unsigned depth) {
  if (!src) return nullptr;
  auto* dst = static_cast<LPADRLIST>(space.Take(CbNewADRLIST(src->cEntries)));
  dst->cEntries = src->cEntries;
  for (ULONG i = 0; i < src->cEntries; ++i) {
    const ADRENTRY& from = src->aEntries[i];
    dst->aEntries[i].cValues = from.cValues;
    dst->aEntries[i].rgPropVals = CopyPropArrayIn(space, from.cValues, from.rgPropVals, depth);
  }
  return dst;
}

void CopyAction(const ACTION& src, ACTION& dst, TCopySpace& space, unsigned depth) {
  dst = src;
  dst.lpRes = CopyOptionalRestriction(src.lpRes, space, depth);
  dst.lpPropTagArray = CopyTagArrayIn(space, src.lpPropTagArray);
  switch (src.acttype) {
    case OP_MOVE:
    case OP_COPY:
      dst.actMoveCopy.lpStoreEntryId =
          CopyEntryId(src.actMoveCopy.lpStoreEntryId, src.actMoveCopy.cbStoreEntryId, space);
      dst.actMoveCopy.lpFldEntryId = CopyEntryId(src.actMoveCopy.lpFldEntryId, src.actMoveCopy.cbFldEntryId, space);
      break;
    case OP_REPLY:
    case OP_OOF_REPLY:
      dst.actReply.lpEntryId = CopyEntryId(src.actReply.lpEntryId, src.actReply.cbEntryId, space);
      break;
    case OP_DEFER_ACTION:
      dst.actDeferAction.pbData = CopyBytes(src.actDeferAction.pbData, src.actDeferAction.cbData, space);
      break;
    case OP_FORWARD:
    case OP_DELEGATE: dst.lpadrlist = CopyAdrList(src.lpadrlist, space, depth); break;
    case OP_TAG: CopyValueAt(src.propTag, dst.propTag, space, depth); break;
    case OP_BOUNCE:
    case OP_DELETE:
    case OP_MARK_AS_READ: break;
    default: throw TMapiError(MAPI_E_INVALID_PARAMETER, "unknown rule action");
  }
}

// The bytes of count elements of size, rounded up to a multiple of unit; nothing when
// the block is absent (the copy leaves it out too).
size_t BlockSize(const void* p, size_t count, size_t size, size_t unit) {
  return p && count ? (count * size + unit - 1) / unit * unit : 0;
}

template <class Char>
size_t TextSize(const Char* text, size_t unit) {
  return text ? BlockSize(text, std::char_traits<Char>::length(text) + 1, sizeof(Char), unit) : 0;
}

template <class Char>
size_t TextsSize(Char* const* texts, ULONG count, size_t unit) {
  size_t total = BlockSize(texts, count, sizeof(Char*), unit);
  for (ULONG i = 0; texts && i < count; ++i) total += TextSize(texts[i], unit);
  return total;
}

// The bytes of a value's variable part, each block the copy takes rounded up to a
// multiple of unit (so that a packed copy knows the room it needs).
size_t DataSize(const SPropValue& value, size_t unit) {
  auto block = [unit](const void* p, size_t count, size_t size) { return BlockSize(p, count, size, unit); };
  const __UPV& v = value.Value;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_STRING8: return TextSize(v.lpszA, unit);
    case PT_UNICODE: return TextSize(v.lpszW, unit);
    case PT_BINARY:
    case PT_SVREID: return block(v.bin.lpb, v.bin.cb, 1);
    case PT_CLSID: return block(v.lpguid, 1, sizeof(GUID));
    case PT_MV_I2: return block(v.MVi.lpi, v.MVi.cValues, sizeof(*v.MVi.lpi));
    case PT_MV_LONG: return block(v.MVl.lpl, v.MVl.cValues, sizeof(*v.MVl.lpl));
    case PT_MV_R4: return block(v.MVflt.lpflt, v.MVflt.cValues, sizeof(*v.MVflt.lpflt));
    case PT_MV_DOUBLE: return block(v.MVdbl.lpdbl, v.MVdbl.cValues, sizeof(*v.MVdbl.lpdbl));
    case PT_MV_CURRENCY: return block(v.MVcur.lpcur, v.MVcur.cValues, sizeof(*v.MVcur.lpcur));
    case PT_MV_APPTIME: return block(v.MVat.lpat, v.MVat.cValues, sizeof(*v.MVat.lpat));
    case PT_MV_SYSTIME: return block(v.MVft.lpft, v.MVft.cValues, sizeof(*v.MVft.lpft));
    case PT_MV_CLSID: return block(v.MVguid.lpguid, v.MVguid.cValues, sizeof(*v.MVguid.lpguid));
    case PT_MV_I8: return block(v.MVli.lpli, v.MVli.cValues, sizeof(*v.MVli.lpli));
    case PT_MV_BINARY: {
      size_t total = block(v.MVbin.lpbin, v.MVbin.cValues, sizeof(SBinary));
      for (ULONG i = 0; v.MVbin.lpbin && i < v.MVbin.cValues; ++i)
        total += block(v.MVbin.lpbin[i].lpb, v.MVbin.lpbin[i].cb, 1);
      return total;
    }
    case PT_MV_STRING8: return TextsSize(v.MVszA.lppszA, v.MVszA.cValues, unit);
    case PT_MV_UNICODE: return TextsSize(v.MVszW.lppszW, v.MVszW.cValues, unit);
    default: return 0;  // scalars; nested restrictions and rule actions are not sized
  }
}

}  // namespace

bool IsKnownPropType(ULONG type) {
  switch (type & ~MV_FLAG) {
    case PT_I2:
    case PT_LONG:
    case PT_R4:
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_BOOLEAN:
    case PT_I8:
    case PT_STRING8:
    case PT_UNICODE:
    case PT_SYSTIME:
    case PT_CLSID:
    case PT_BINARY: return true;
    case PT_UNSPECIFIED:
    case PT_NULL:
    case PT_ERROR:
    case PT_OBJECT:
    case PT_SVREID:
    case PT_SRESTRICTION:
    case PT_ACTIONS:
    case PT_PTR: return (type & MV_FLAG) == 0;
    default: return false;
  }
}

bool IsFixedSizeType(ULONG type) {
  switch (type) {
    case PT_UNSPECIFIED:
    case PT_NULL:
    case PT_I2:
    case PT_LONG:
    case PT_R4:
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_ERROR:
    case PT_BOOLEAN:
    case PT_OBJECT:
    case PT_I8:
    case PT_SYSTIME:
    case PT_PTR: return true;
    default: return false;
  }
}

namespace {

void CopyValueAt(const SPropValue& src, SPropValue& dst, TCopySpace& space, unsigned depth) {
  dst = src;
  if (IsFixedSizeType(PROP_TYPE(src.ulPropTag))) return;
  const __UPV& v = src.Value;
  __UPV& d = dst.Value;
  switch (PROP_TYPE(src.ulPropTag)) {
    case PT_STRING8: d.lpszA = CopyString(v.lpszA, space); break;
    case PT_UNICODE: d.lpszW = CopyWString(v.lpszW, space); break;
    case PT_BINARY:
    case PT_SVREID: CopyBinary(v.bin, d.bin, space); break;
    case PT_CLSID:
      Require(v.lpguid != nullptr);
      d.lpguid = CopyArray(v.lpguid, 1, space);
      break;
    case PT_SRESTRICTION: {
      Require(v.lpv != nullptr);
      d.lpv = space.TakeOf<SRestriction>(1);
      CopyRestrictionAt(*static_cast<const SRestriction*>(v.lpv), *static_cast<SRestriction*>(d.lpv), space, depth);
      break;
    }
    case PT_ACTIONS: {
      Require(v.lpv != nullptr);
      d.lpv = space.TakeOf<ACTIONS>(1);
      CopyActionsIn(*static_cast<const ACTIONS*>(v.lpv), *static_cast<ACTIONS*>(d.lpv), space, Deeper(depth));
      break;
    }
    case PT_MV_I2: d.MVi.lpi = CopyArray(v.MVi.lpi, v.MVi.cValues, space); break;
    case PT_MV_LONG: d.MVl.lpl = CopyArray(v.MVl.lpl, v.MVl.cValues, space); break;
    case PT_MV_R4: d.MVflt.lpflt = CopyArray(v.MVflt.lpflt, v.MVflt.cValues, space); break;
    case PT_MV_DOUBLE: d.MVdbl.lpdbl = CopyArray(v.MVdbl.lpdbl, v.MVdbl.cValues, space); break;
    case PT_MV_CURRENCY: d.MVcur.lpcur = CopyArray(v.MVcur.lpcur, v.MVcur.cValues, space); break;
    case PT_MV_APPTIME: d.MVat.lpat = CopyArray(v.MVat.lpat, v.MVat.cValues, space); break;
    case PT_MV_SYSTIME: d.MVft.lpft = CopyArray(v.MVft.lpft, v.MVft.cValues, space); break;
    case PT_MV_CLSID: d.MVguid.lpguid = CopyArray(v.MVguid.lpguid, v.MVguid.cValues, space); break;
    case PT_MV_I8: d.MVli.lpli = CopyArray(v.MVli.lpli, v.MVli.cValues, space); break;
    case PT_MV_BINARY:
      d.MVbin.lpbin = CopyEach(v.MVbin.lpbin, v.MVbin.cValues, space,
                               [&](const SBinary& s, SBinary& t) { CopyBinary(s, t, space); });
      break;
    case PT_MV_STRING8:
      d.MVszA.lppszA =
          CopyEach(v.MVszA.lppszA, v.MVszA.cValues, space, [&](LPSTR s, LPSTR& t) { t = CopyString(s, space); });
      break;
    case PT_MV_UNICODE:
      d.MVszW.lppszW =
          CopyEach(v.MVszW.lppszW, v.MVszW.cValues, space, [&](LPWSTR s, LPWSTR& t) { t = CopyWString(s, space); });
      break;
    default: throw TMapiError(MAPI_E_INVALID_TYPE, "unknown property type");
  }
}

SPropValue* CopyPropArrayIn(TCopySpace& space, ULONG count, const SPropValue* src, unsigned depth) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  auto* dst = space.TakeOf<SPropValue>(count);
  for (ULONG i = 0; i < count; ++i) CopyValueAt(src[i], dst[i], space, depth);
  return dst;
}

void CopyActionsIn(const ACTIONS& src, ACTIONS& dst, TCopySpace& space, unsigned depth) {
  dst = src;
  dst.lpAction = src.cActions ? space.TakeOf<ACTION>(src.cActions) : nullptr;
  Require(src.cActions == 0 || src.lpAction != nullptr);
  for (UINT i = 0; i < src.cActions; ++i) CopyAction(src.lpAction[i], dst.lpAction[i], space, depth);
}

LPSPropTagArray CopyTagArrayIn(TCopySpace& space, const SPropTagArray* src) {
  if (!src) return nullptr;
  auto* dst = static_cast<LPSPropTagArray>(space.Take(CbNewSPropTagArray(src->cValues)));
  std::memcpy(dst, src, CbNewSPropTagArray(src->cValues));
  return dst;
}

}  // namespace

void CopyPropValue(const SPropValue& src, SPropValue& dst, TCopySpace& space) { CopyValueAt(src, dst, space, 0); }

void CopyPropValue(const SPropValue& src, SPropValue& dst, void* parent) {
  TCopySpace space(parent);
  CopyPropValue(src, dst, space);
}

void CopyPropsInto(void* parent, ULONG count, const SPropValue* src, SPropValue* dst) {
  if (count == 0) return;
  Require(src != nullptr && dst != nullptr);
  TCopySpace space(parent);
  for (ULONG i = 0; i < count; ++i) CopyPropValue(src[i], dst[i], space);
}

SPropValue* CopyPropArray(void* parent, ULONG count, const SPropValue* src) {
  TCopySpace space(parent);
  return CopyPropArrayIn(space, count, src, 0);
}

TMapiBuffer<SPropValue> DuplicatePropArray(ULONG count, const SPropValue* src) {
  Require(count == 0 || src != nullptr);
  size_t room = 0;
  for (ULONG i = 0; i < count; ++i) room += PackedDataSize(src[i]);
  TPackedProps packed(count, room);
  for (ULONG i = 0; i < count; ++i) CopyPropValue(src[i], packed.Values()[i], packed.Space());
  return packed.Release();
}

LPTSTR CopyText(LPCTSTR text, bool unicode, TCopySpace& space) {
  if (!text) return nullptr;
  if (unicode) return reinterpret_cast<LPTSTR>(CopyWString(reinterpret_cast<LPCWSTR>(text), space));
  return CopyString(text, space);
}

void CopyMapiError(const MAPIERROR& src, MAPIERROR& dst, bool unicode, TCopySpace& space) {
  dst = src;
  dst.lpszError = CopyText(src.lpszError, unicode, space);
  dst.lpszComponent = CopyText(src.lpszComponent, unicode, space);
}

void CopyRestriction(const SRestriction& src, SRestriction& dst, void* parent) {
  TCopySpace space(parent);
  CopyRestrictionAt(src, dst, space, 0);
}

TMapiBuffer<SRestriction> DuplicateRestriction(const SRestriction& src) {
  auto result = TMapiBuffer<SRestriction>::Allocate();
  CopyRestriction(src, *result, result.get());
  return result;
}

void CopyActions(const ACTIONS& src, ACTIONS& dst, void* parent) {
  TCopySpace space(parent);
  CopyActionsIn(src, dst, space, 0);
}

LPSPropTagArray CopyTagArray(void* parent, const SPropTagArray* src) {
  TCopySpace space(parent);
  return CopyTagArrayIn(space, src);
}

TMapiBuffer<SPropTagArray> DuplicateTagArray(const SPropTagArray* src) {
  if (!src) return {};
  auto result = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(src->cValues));
  std::memcpy(result.get(), src, CbNewSPropTagArray(src->cValues));
  return result;
}

size_t PropValueDataSize(const SPropValue& value) { return DataSize(value, 1); }

size_t PackedDataSize(const SPropValue& value) { return DataSize(value, kPackedAlignment); }

}  // namespace orba::store
