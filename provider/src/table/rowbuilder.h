// Building table rows of a store's objects: values gathered in one MAPI buffer and
// turned into an immutable table row.
#pragma once

#include <vector>

#include "memory/mapimemory.h"
#include "table/tablesource.h"

namespace orba::store::com {

class TRowBuilder {
 public:
  TRowBuilder() : holder_(TMapiBuffer<BYTE>::Allocate(1)) {}
  void Long(ULONG tag, ULONG value);
  void Bool(ULONG tag, bool value);
  void Time(ULONG tag, int64_t fileTime);
  void Binary(ULONG tag, std::span<const BYTE> bytes);
  void Id(ULONG tag, int64_t id);  // 8 bytes, little-endian
  // A stored value; values whose identifier is already in the row are skipped.
  void Stored(ULONG tag, std::span<const uint8_t> encoded);
  TRowPtr Build();

 private:
  bool Has(ULONG tag) const;
  TMapiBuffer<BYTE> holder_;
  std::vector<SPropValue> values_;
};

}  // namespace orba::store::com
