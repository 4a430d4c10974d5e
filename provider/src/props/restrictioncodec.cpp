// The restriction codec: see restrictioncodec.h.
//
// Layout (integers 32-bit little-endian): the type, then the type's fields in the
// order of its structure; a property value is its tag, its length and the property
// codec's bytes; lists are a count and their elements; the optional restriction of
// RES_COMMENT and RES_ANNOTATION is preceded by 1 (present) or 0.
#include "props/restrictioncodec.h"

#include <cstring>

#include "base/maperror.h"
#include "mapi/edkmdb.h"
#include "memory/mapimemory.h"
#include "props/valuecopy.h"

namespace orba::store {
namespace {

[[noreturn]] void Malformed(const char* why) { throw TMapiError(MAPI_E_INVALID_PARAMETER, why); }
[[noreturn]] void Corrupt() { throw TMapiError(MAPI_E_CORRUPT_DATA, "The stored restriction is damaged."); }

class TWriter {
 public:
  void U32(ULONG value) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  void Prop(const SPropValue* value) {
    if (!value) Malformed("A restriction's property value is null.");
    Bytes encoded = EncodePropValue(*value);
    if (encoded.size() > 0xFFFFFFFFu) Malformed("A restriction's property value is too large.");
    U32(value->ulPropTag);
    U32(static_cast<ULONG>(encoded.size()));
    out_.insert(out_.end(), encoded.begin(), encoded.end());
  }
  void Restriction(const SRestriction& r, unsigned depth);
  Bytes Take() { return std::move(out_); }

 private:
  void Child(const SRestriction* child, unsigned depth) {
    if (!child) Malformed("A restriction's sub-restriction is null.");
    Restriction(*child, depth);
  }
  Bytes out_;
};

void TWriter::Restriction(const SRestriction& r, unsigned depth) {
  if (depth >= kMaxRestrictionDepth) throw TMapiError(MAPI_E_TOO_COMPLEX, "The restriction is nested too deeply.");
  ++depth;
  U32(r.rt);
  switch (r.rt) {
    case RES_AND:
    case RES_OR:
      if (r.res.resAnd.cRes && !r.res.resAnd.lpRes) Malformed("A restriction list is null.");
      U32(r.res.resAnd.cRes);
      for (ULONG i = 0; i < r.res.resAnd.cRes; ++i) Restriction(r.res.resAnd.lpRes[i], depth);
      break;
    case RES_NOT:
      U32(r.res.resNot.ulReserved);
      Child(r.res.resNot.lpRes, depth);
      break;
    case RES_CONTENT:
      U32(r.res.resContent.ulFuzzyLevel);
      U32(r.res.resContent.ulPropTag);
      Prop(r.res.resContent.lpProp);
      break;
    case RES_PROPERTY:
      U32(r.res.resProperty.relop);
      U32(r.res.resProperty.ulPropTag);
      Prop(r.res.resProperty.lpProp);
      break;
    case RES_COMPAREPROPS:
      U32(r.res.resCompareProps.relop);
      U32(r.res.resCompareProps.ulPropTag1);
      U32(r.res.resCompareProps.ulPropTag2);
      break;
    case RES_BITMASK:
      U32(r.res.resBitMask.relBMR);
      U32(r.res.resBitMask.ulPropTag);
      U32(r.res.resBitMask.ulMask);
      break;
    case RES_SIZE:
      U32(r.res.resSize.relop);
      U32(r.res.resSize.ulPropTag);
      U32(r.res.resSize.cb);
      break;
    case RES_EXIST:
      U32(r.res.resExist.ulReserved1);
      U32(r.res.resExist.ulPropTag);
      U32(r.res.resExist.ulReserved2);
      break;
    case RES_SUBRESTRICTION:
      U32(r.res.resSub.ulSubObject);
      Child(r.res.resSub.lpRes, depth);
      break;
    case RES_COMMENT:
    case RES_ANNOTATION:
      if (r.res.resComment.cValues && !r.res.resComment.lpProp) Malformed("A comment's property values are null.");
      U32(r.res.resComment.cValues);
      for (ULONG i = 0; i < r.res.resComment.cValues; ++i) Prop(&r.res.resComment.lpProp[i]);
      U32(r.res.resComment.lpRes ? 1 : 0);
      if (r.res.resComment.lpRes) Restriction(*r.res.resComment.lpRes, depth);
      break;
    case RES_COUNT:
      U32(r.res.resCount.ulCount);
      Child(r.res.resCount.lpRes, depth);
      break;
    case NULL_RESTRICTION: break;
    default: Malformed("Unknown restriction type.");
  }
}

class TReader {
 public:
  TReader(std::span<const uint8_t> bytes, void* parent) : bytes_(bytes), parent_(parent) {}

  ULONG U32() {
    auto part = Take(4);
    return ULONG{part[0]} | ULONG{part[1]} << 8 | ULONG{part[2]} << 16 | ULONG{part[3]} << 24;
  }
  // A count of elements that take at least minSize bytes each, checked against what is left.
  ULONG Count(size_t minSize) {
    ULONG count = U32();
    if (count > (bytes_.size() - pos_) / minSize) Corrupt();
    return count;
  }
  void Prop(SPropValue& out) {
    ULONG tag = U32();
    auto value = Take(U32());
    try {
      DecodePropValue(
          tag, value, [this](size_t cb) { return AllocateMore(cb, parent_); }, out);
    } catch (const TMapiError&) {
      Corrupt();
    }
  }
  SPropValue* Prop() {
    auto* value = AllocateMoreOf<SPropValue>(1, parent_);
    Prop(*value);
    return value;
  }
  void Restriction(SRestriction& r, unsigned depth);
  SRestriction* Child(unsigned depth) {
    auto* child = AllocateMoreOf<SRestriction>(1, parent_);
    Restriction(*child, depth);
    return child;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  std::span<const uint8_t> Take(size_t count) {
    if (count > bytes_.size() - pos_) Corrupt();
    auto part = bytes_.subspan(pos_, count);
    pos_ += count;
    return part;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  void* parent_;
};

void TReader::Restriction(SRestriction& r, unsigned depth) {
  if (depth >= kMaxRestrictionDepth) Corrupt();
  ++depth;
  std::memset(&r, 0, sizeof(r));
  r.rt = U32();
  switch (r.rt) {
    case RES_AND:
    case RES_OR: {
      ULONG count = Count(4);
      r.res.resAnd.cRes = count;
      if (count) r.res.resAnd.lpRes = AllocateMoreOf<SRestriction>(count, parent_);
      for (ULONG i = 0; i < count; ++i) Restriction(r.res.resAnd.lpRes[i], depth);
      break;
    }
    case RES_NOT:
      r.res.resNot.ulReserved = U32();
      r.res.resNot.lpRes = Child(depth);
      break;
    case RES_CONTENT:
      r.res.resContent.ulFuzzyLevel = U32();
      r.res.resContent.ulPropTag = U32();
      r.res.resContent.lpProp = Prop();
      break;
    case RES_PROPERTY:
      r.res.resProperty.relop = U32();
      r.res.resProperty.ulPropTag = U32();
      r.res.resProperty.lpProp = Prop();
      break;
    case RES_COMPAREPROPS:
      r.res.resCompareProps.relop = U32();
      r.res.resCompareProps.ulPropTag1 = U32();
      r.res.resCompareProps.ulPropTag2 = U32();
      break;
    case RES_BITMASK:
      r.res.resBitMask.relBMR = U32();
      r.res.resBitMask.ulPropTag = U32();
      r.res.resBitMask.ulMask = U32();
      break;
    case RES_SIZE:
      r.res.resSize.relop = U32();
      r.res.resSize.ulPropTag = U32();
      r.res.resSize.cb = U32();
      break;
    case RES_EXIST:
      r.res.resExist.ulReserved1 = U32();
      r.res.resExist.ulPropTag = U32();
      r.res.resExist.ulReserved2 = U32();
      break;
    case RES_SUBRESTRICTION:
      r.res.resSub.ulSubObject = U32();
      r.res.resSub.lpRes = Child(depth);
      break;
    case RES_COMMENT:
    case RES_ANNOTATION: {
      ULONG count = Count(8);
      r.res.resComment.cValues = count;
      if (count) r.res.resComment.lpProp = AllocateMoreOf<SPropValue>(count, parent_);
      for (ULONG i = 0; i < count; ++i) Prop(r.res.resComment.lpProp[i]);
      ULONG present = U32();
      if (present > 1) Corrupt();
      if (present) r.res.resComment.lpRes = Child(depth);
      break;
    }
    case RES_COUNT:
      r.res.resCount.ulCount = U32();
      r.res.resCount.lpRes = Child(depth);
      break;
    case NULL_RESTRICTION: break;
    default: Corrupt();
  }
}

}  // namespace

Bytes EncodeRestriction(const SRestriction& restriction) {
  TWriter writer;
  writer.Restriction(restriction, 0);
  return writer.Take();
}

void DecodeRestriction(std::span<const uint8_t> bytes, SRestriction& out, void* parent) {
  TReader reader(bytes, parent);
  reader.Restriction(out, 0);
  if (!reader.AtEnd()) Corrupt();
}

}  // namespace orba::store
