// Building table rows: see rowbuilder.h.
#include "table/rowbuilder.h"

#include "props/propcodec.h"
#include "props/propvalues.h"

namespace orba::store {

void TRowBuilder::Long(ULONG tag, ULONG value) { values_.push_back(LongValue(tag, value)); }

void TRowBuilder::Bool(ULONG tag, bool value) { values_.push_back(BoolValue(tag, value)); }

void TRowBuilder::Time(ULONG tag, int64_t fileTime) { values_.push_back(TimeValue(tag, fileTime)); }

void TRowBuilder::Binary(ULONG tag, std::span<const BYTE> bytes) {
  values_.push_back(BinaryValue(tag, bytes, holder_.get()));
}

void TRowBuilder::Id(ULONG tag, int64_t id) {
  std::string key = IdInstanceKey(id);
  Binary(tag, {reinterpret_cast<const BYTE*>(key.data()), key.size()});
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

std::string IdInstanceKey(int64_t id) {
  std::string key(8, '\0');
  for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(static_cast<uint64_t>(id) >> (8 * i));
  return key;
}

std::vector<BYTE> NumberKey(ULONG number) {
  return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
          static_cast<BYTE>(number >> 24)};
}

}  // namespace orba::store
