// Building table rows of a store's objects: see rowbuilder.h.
#include "table/rowbuilder.h"
#include "base/filetime.h"

#include <cstring>

#include "mapiobjects/objectprops.h"
#include "props/propcodec.h"

namespace orba::store::com {

void TRowBuilder::Long(ULONG tag, ULONG value) {
  SPropValue& v = values_.emplace_back();
  LongValue(v, tag, value);
}

void TRowBuilder::Bool(ULONG tag, bool value) {
  SPropValue& v = values_.emplace_back();
  BoolValue(v, tag, value);
}

void TRowBuilder::Time(ULONG tag, int64_t fileTime) {
  SPropValue& v = values_.emplace_back();
  v.ulPropTag = tag;
  v.Value.ft = ToFileTime(static_cast<uint64_t>(fileTime));
}

void TRowBuilder::Binary(ULONG tag, std::span<const BYTE> bytes) {
  SPropValue& v = values_.emplace_back();
  BinaryValue(v, tag, bytes, holder_.get());
}

void TRowBuilder::Id(ULONG tag, int64_t id) {
  BYTE bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<BYTE>(static_cast<uint64_t>(id) >> (8 * i));
  Binary(tag, bytes);
}

void TRowBuilder::Stored(ULONG tag, std::span<const uint8_t> encoded) {
  if (Has(tag)) return;
  SPropValue& v = values_.emplace_back();
  void* parent = holder_.get();
  DecodePropValue(
      tag, encoded, [parent](size_t cb) { return AllocateMore(cb, parent); }, v);
}

bool TRowBuilder::Has(ULONG tag) const {
  for (const SPropValue& v : values_)
    if (PROP_ID(v.ulPropTag) == PROP_ID(tag)) return true;
  return false;
}

TRowPtr TRowBuilder::Build() { return TMemoryRow::Create(TPropRow(values_.data(), values_.size())); }

}  // namespace orba::store::com
