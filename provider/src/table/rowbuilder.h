// Building the table rows of a provider's objects: values gathered in one MAPI buffer
// and turned into an immutable table row.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "memory/mapimemory.h"
#include "table/tablesource.h"

namespace orba::store {

class TRowBuilder {
 public:
  TRowBuilder() : holder_(TMapiBuffer<BYTE>::Allocate(1)) {}
  void Long(ULONG tag, ULONG value);
  void Bool(ULONG tag, bool value);
  void Time(ULONG tag, int64_t fileTime);
  void Binary(ULONG tag, std::span<const BYTE> bytes);
  // An object's id as its row's key (IdInstanceKey).
  void Id(ULONG tag, int64_t id);
  // A stored value (propcodec.h); values whose identifier is already in the row are skipped.
  void Stored(ULONG tag, std::span<const uint8_t> encoded);
  TRowPtr Build();

 private:
  bool Has(ULONG tag) const;
  TMapiBuffer<BYTE> holder_;
  std::vector<SPropValue> values_;
};

// The PR_INSTANCE_KEY of an object's row: the 8 bytes of its id, little-endian.
std::string IdInstanceKey(int64_t id);
// The key of a numbered row (a recipient's PR_ROWID, an attachment's PR_ATTACH_NUM): the
// 4 bytes of its number, little-endian.
std::vector<BYTE> NumberKey(ULONG number);

}  // namespace orba::store
