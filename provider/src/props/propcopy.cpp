#include "orba/store/propcopy.h"

#include <cstring>
#include <string>

#include "orba/store/maperror.h"

namespace orba::store {

namespace {

void Require(bool condition) {
  if (!condition) throw MapiError(MAPI_E_INVALID_PARAMETER, "malformed property value");
}

template <class T>
T* CopyArray(const T* src, size_t count, void* parent) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  T* dst = AllocateMoreOf<T>(count, parent);
  std::memcpy(static_cast<void*>(dst), src, count * sizeof(T));
  return dst;
}

BYTE* CopyBytes(const BYTE* src, ULONG cb, void* parent) { return CopyArray(src, cb, parent); }

LPSTR CopyString(LPCSTR src, void* parent) {
  Require(src != nullptr);
  return CopyArray(src, std::strlen(src) + 1, parent);
}

LPWSTR CopyWString(LPCWSTR src, void* parent) {
  Require(src != nullptr);
  return CopyArray(src, std::char_traits<char16_t>::length(src) + 1, parent);
}

void CopyBinary(const SBinary& src, SBinary& dst, void* parent) {
  dst.cb = src.cb;
  dst.lpb = CopyBytes(src.lpb, src.cb, parent);
}

template <class Element, class Each>
Element* CopyEach(const Element* src, ULONG count, void* parent, Each each) {
  Element* dst = CopyArray(src, count, parent);
  for (ULONG i = 0; i < count; ++i) each(src[i], dst[i]);
  return dst;
}

void CopyRestrictionAt(const SRestriction& src, SRestriction& dst, void* parent, unsigned depth);

LPSPropValue CopyOptionalProp(const SPropValue* src, void* parent) {
  if (!src) return nullptr;
  auto* dst = AllocateMoreOf<SPropValue>(1, parent);
  CopyPropValue(*src, *dst, parent);
  return dst;
}

LPSRestriction CopyRestrictions(const SRestriction* src, ULONG count, void* parent, unsigned depth) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  auto* dst = AllocateMoreOf<SRestriction>(count, parent);
  for (ULONG i = 0; i < count; ++i) CopyRestrictionAt(src[i], dst[i], parent, depth);
  return dst;
}

LPSRestriction CopyOptionalRestriction(const SRestriction* src, void* parent, unsigned depth) {
  return src ? CopyRestrictions(src, 1, parent, depth) : nullptr;
}

void CopyRestrictionAt(const SRestriction& src, SRestriction& dst, void* parent, unsigned depth) {
  if (depth >= kMaxRestrictionDepth) throw MapiError(MAPI_E_TOO_COMPLEX, "restriction nested too deeply");
  ++depth;
  dst = src;
  auto& r = dst.res;
  switch (src.rt) {
    case RES_AND:
    case RES_OR:
      r.resAnd.lpRes = CopyRestrictions(src.res.resAnd.lpRes, src.res.resAnd.cRes, parent, depth);
      break;
    case RES_NOT:
      Require(src.res.resNot.lpRes != nullptr);
      r.resNot.lpRes = CopyOptionalRestriction(src.res.resNot.lpRes, parent, depth);
      break;
    case RES_CONTENT:
      Require(src.res.resContent.lpProp != nullptr);
      r.resContent.lpProp = CopyOptionalProp(src.res.resContent.lpProp, parent);
      break;
    case RES_PROPERTY:
      Require(src.res.resProperty.lpProp != nullptr);
      r.resProperty.lpProp = CopyOptionalProp(src.res.resProperty.lpProp, parent);
      break;
    case RES_COMPAREPROPS:
    case RES_BITMASK:
    case RES_SIZE:
    case RES_EXIST:
    case NULL_RESTRICTION:
      break;
    case RES_SUBRESTRICTION:
      Require(src.res.resSub.lpRes != nullptr);
      r.resSub.lpRes = CopyOptionalRestriction(src.res.resSub.lpRes, parent, depth);
      break;
    case RES_COMMENT:
    case RES_ANNOTATION:
      r.resComment.lpRes = CopyOptionalRestriction(src.res.resComment.lpRes, parent, depth);
      r.resComment.lpProp = CopyPropArray(parent, src.res.resComment.cValues, src.res.resComment.lpProp);
      break;
    case RES_COUNT:
      Require(src.res.resCount.lpRes != nullptr);
      r.resCount.lpRes = CopyOptionalRestriction(src.res.resCount.lpRes, parent, depth);
      break;
    default:
      throw MapiError(MAPI_E_INVALID_PARAMETER, "unknown restriction type");
  }
}

LPENTRYID CopyEntryId(const ENTRYID* src, ULONG cb, void* parent) {
  return reinterpret_cast<LPENTRYID>(CopyBytes(reinterpret_cast<const BYTE*>(src), cb, parent));
}

LPADRLIST CopyAdrList(const ADRLIST* src, void* parent) {
  if (!src) return nullptr;
  auto* dst = static_cast<LPADRLIST>(AllocateMore(CbNewADRLIST(src->cEntries), parent));
  dst->cEntries = src->cEntries;
  for (ULONG i = 0; i < src->cEntries; ++i) {
    const ADRENTRY& from = src->aEntries[i];
    dst->aEntries[i].cValues = from.cValues;
    dst->aEntries[i].rgPropVals = CopyPropArray(parent, from.cValues, from.rgPropVals);
  }
  return dst;
}

void CopyAction(const ACTION& src, ACTION& dst, void* parent) {
  dst = src;
  dst.lpRes = CopyOptionalRestriction(src.lpRes, parent, 0);
  dst.lpPropTagArray = CopyTagArray(parent, src.lpPropTagArray);
  switch (src.acttype) {
    case OP_MOVE:
    case OP_COPY:
      dst.actMoveCopy.lpStoreEntryId =
          CopyEntryId(src.actMoveCopy.lpStoreEntryId, src.actMoveCopy.cbStoreEntryId, parent);
      dst.actMoveCopy.lpFldEntryId =
          CopyEntryId(src.actMoveCopy.lpFldEntryId, src.actMoveCopy.cbFldEntryId, parent);
      break;
    case OP_REPLY:
    case OP_OOF_REPLY:
      dst.actReply.lpEntryId = CopyEntryId(src.actReply.lpEntryId, src.actReply.cbEntryId, parent);
      break;
    case OP_DEFER_ACTION:
      dst.actDeferAction.pbData = CopyBytes(src.actDeferAction.pbData, src.actDeferAction.cbData, parent);
      break;
    case OP_FORWARD:
    case OP_DELEGATE:
      dst.lpadrlist = CopyAdrList(src.lpadrlist, parent);
      break;
    case OP_TAG:
      CopyPropValue(src.propTag, dst.propTag, parent);
      break;
    case OP_BOUNCE:
    case OP_DELETE:
    case OP_MARK_AS_READ:
      break;
    default:
      throw MapiError(MAPI_E_INVALID_PARAMETER, "unknown rule action");
  }
}

template <class Char>
size_t StringsSize(Char* const* strings, ULONG count) {
  size_t total = count * sizeof(Char*);
  for (ULONG i = 0; strings && i < count; ++i)
    if (strings[i]) total += (std::char_traits<Char>::length(strings[i]) + 1) * sizeof(Char);
  return total;
}

}  // namespace

bool IsKnownPropType(ULONG type) {
  switch (type & ~MV_FLAG) {
    case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME:
    case PT_BOOLEAN: case PT_I8: case PT_STRING8: case PT_UNICODE: case PT_SYSTIME: case PT_CLSID:
    case PT_BINARY:
      return true;
    case PT_UNSPECIFIED: case PT_NULL: case PT_ERROR: case PT_OBJECT: case PT_SVREID:
    case PT_SRESTRICTION: case PT_ACTIONS: case PT_PTR:
      return (type & MV_FLAG) == 0;
    default:
      return false;
  }
}

void CopyPropValue(const SPropValue& src, SPropValue& dst, void* parent) {
  dst = src;
  const __UPV& v = src.Value;
  __UPV& d = dst.Value;
  switch (PROP_TYPE(src.ulPropTag)) {
    case PT_UNSPECIFIED: case PT_NULL: case PT_I2: case PT_LONG: case PT_R4: case PT_DOUBLE:
    case PT_CURRENCY: case PT_APPTIME: case PT_ERROR: case PT_BOOLEAN: case PT_OBJECT: case PT_I8:
    case PT_SYSTIME: case PT_PTR:
      break;
    case PT_STRING8: d.lpszA = CopyString(v.lpszA, parent); break;
    case PT_UNICODE: d.lpszW = CopyWString(v.lpszW, parent); break;
    case PT_BINARY:
    case PT_SVREID: CopyBinary(v.bin, d.bin, parent); break;
    case PT_CLSID:
      Require(v.lpguid != nullptr);
      d.lpguid = CopyArray(v.lpguid, 1, parent);
      break;
    case PT_SRESTRICTION:
      Require(v.lpv != nullptr);
      d.lpv = AllocateMoreOf<SRestriction>(1, parent);
      CopyRestrictionAt(*static_cast<const SRestriction*>(v.lpv), *static_cast<SRestriction*>(d.lpv), parent, 0);
      break;
    case PT_ACTIONS:
      Require(v.lpv != nullptr);
      d.lpv = AllocateMoreOf<ACTIONS>(1, parent);
      CopyActions(*static_cast<const ACTIONS*>(v.lpv), *static_cast<ACTIONS*>(d.lpv), parent);
      break;
    case PT_MV_I2: d.MVi.lpi = CopyArray(v.MVi.lpi, v.MVi.cValues, parent); break;
    case PT_MV_LONG: d.MVl.lpl = CopyArray(v.MVl.lpl, v.MVl.cValues, parent); break;
    case PT_MV_R4: d.MVflt.lpflt = CopyArray(v.MVflt.lpflt, v.MVflt.cValues, parent); break;
    case PT_MV_DOUBLE: d.MVdbl.lpdbl = CopyArray(v.MVdbl.lpdbl, v.MVdbl.cValues, parent); break;
    case PT_MV_CURRENCY: d.MVcur.lpcur = CopyArray(v.MVcur.lpcur, v.MVcur.cValues, parent); break;
    case PT_MV_APPTIME: d.MVat.lpat = CopyArray(v.MVat.lpat, v.MVat.cValues, parent); break;
    case PT_MV_SYSTIME: d.MVft.lpft = CopyArray(v.MVft.lpft, v.MVft.cValues, parent); break;
    case PT_MV_CLSID: d.MVguid.lpguid = CopyArray(v.MVguid.lpguid, v.MVguid.cValues, parent); break;
    case PT_MV_I8: d.MVli.lpli = CopyArray(v.MVli.lpli, v.MVli.cValues, parent); break;
    case PT_MV_BINARY:
      d.MVbin.lpbin = CopyEach(v.MVbin.lpbin, v.MVbin.cValues, parent,
                               [&](const SBinary& s, SBinary& t) { CopyBinary(s, t, parent); });
      break;
    case PT_MV_STRING8:
      d.MVszA.lppszA = CopyEach(v.MVszA.lppszA, v.MVszA.cValues, parent,
                                [&](LPSTR s, LPSTR& t) { t = CopyString(s, parent); });
      break;
    case PT_MV_UNICODE:
      d.MVszW.lppszW = CopyEach(v.MVszW.lppszW, v.MVszW.cValues, parent,
                                [&](LPWSTR s, LPWSTR& t) { t = CopyWString(s, parent); });
      break;
    default:
      throw MapiError(MAPI_E_INVALID_TYPE, "unknown property type");
  }
}

void CopyPropsInto(void* parent, ULONG count, const SPropValue* src, SPropValue* dst) {
  if (count == 0) return;
  Require(src != nullptr && dst != nullptr);
  for (ULONG i = 0; i < count; ++i) CopyPropValue(src[i], dst[i], parent);
}

SPropValue* CopyPropArray(void* parent, ULONG count, const SPropValue* src) {
  if (count == 0) return nullptr;
  Require(src != nullptr);
  auto* dst = AllocateMoreOf<SPropValue>(count, parent);
  CopyPropsInto(parent, count, src, dst);
  return dst;
}

MapiBuffer<SPropValue> DuplicatePropArray(ULONG count, const SPropValue* src) {
  Require(count == 0 || src != nullptr);
  auto result = MapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * (count ? count : 1));
  CopyPropsInto(result.get(), count, src, result.get());
  return result;
}

void CopyRestriction(const SRestriction& src, SRestriction& dst, void* parent) {
  CopyRestrictionAt(src, dst, parent, 0);
}

MapiBuffer<SRestriction> DuplicateRestriction(const SRestriction& src) {
  auto result = MapiBuffer<SRestriction>::Allocate();
  CopyRestriction(src, *result, result.get());
  return result;
}

void CopyActions(const ACTIONS& src, ACTIONS& dst, void* parent) {
  dst = src;
  dst.lpAction = src.cActions ? AllocateMoreOf<ACTION>(src.cActions, parent) : nullptr;
  Require(src.cActions == 0 || src.lpAction != nullptr);
  for (UINT i = 0; i < src.cActions; ++i) CopyAction(src.lpAction[i], dst.lpAction[i], parent);
}

LPSPropTagArray CopyTagArray(void* parent, const SPropTagArray* src) {
  if (!src) return nullptr;
  auto* dst = static_cast<LPSPropTagArray>(AllocateMore(CbNewSPropTagArray(src->cValues), parent));
  std::memcpy(dst, src, CbNewSPropTagArray(src->cValues));
  return dst;
}

MapiBuffer<SPropTagArray> DuplicateTagArray(const SPropTagArray* src) {
  if (!src) return {};
  auto result = MapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(src->cValues));
  std::memcpy(result.get(), src, CbNewSPropTagArray(src->cValues));
  return result;
}

size_t PropValueDataSize(const SPropValue& value) {
  const __UPV& v = value.Value;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_STRING8: return v.lpszA ? std::strlen(v.lpszA) + 1 : 0;
    case PT_UNICODE: return v.lpszW ? (std::char_traits<char16_t>::length(v.lpszW) + 1) * sizeof(WCHAR) : 0;
    case PT_BINARY:
    case PT_SVREID: return v.bin.cb;
    case PT_CLSID: return sizeof(GUID);
    case PT_MV_I2: return v.MVi.cValues * sizeof(int16_t);
    case PT_MV_LONG: return v.MVl.cValues * sizeof(LONG);
    case PT_MV_R4: return v.MVflt.cValues * sizeof(float);
    case PT_MV_DOUBLE: return v.MVdbl.cValues * sizeof(double);
    case PT_MV_CURRENCY: return v.MVcur.cValues * sizeof(CURRENCY);
    case PT_MV_APPTIME: return v.MVat.cValues * sizeof(double);
    case PT_MV_SYSTIME: return v.MVft.cValues * sizeof(FILETIME);
    case PT_MV_CLSID: return v.MVguid.cValues * sizeof(GUID);
    case PT_MV_I8: return v.MVli.cValues * sizeof(LARGE_INTEGER);
    case PT_MV_BINARY: {
      size_t total = v.MVbin.cValues * sizeof(SBinary);
      for (ULONG i = 0; v.MVbin.lpbin && i < v.MVbin.cValues; ++i) total += v.MVbin.lpbin[i].cb;
      return total;
    }
    case PT_MV_STRING8: return StringsSize(v.MVszA.lppszA, v.MVszA.cValues);
    case PT_MV_UNICODE: return StringsSize(v.MVszW.lppszW, v.MVszW.cValues);
    default: return 0;
  }
}

}  // namespace orba::store
