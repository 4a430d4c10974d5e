// What the Simple MAPI code asks of MAPI objects again and again: a table's rows, and
// properties read and written in one call each. Failures throw TMapiError.
#pragma once

#include <string>
#include <vector>

#include "mapi/mapidefs.h"
#include "memory/mapimemory.h"
#include "props/propcodec.h"

namespace orba::store {

// Every row of a table with the given columns (missing values as PT_ERROR), freed
// with FreeProws.
class TRowSet {
 public:
  TRowSet(IMAPITable* table, const std::vector<ULONG>& columns);
  TRowSet(const TRowSet&) = delete;
  TRowSet& operator=(const TRowSet&) = delete;
  ~TRowSet();
  ULONG size() const { return rows_->cRows; }
  const SPropValue* operator[](ULONG row) const { return rows_->aRow[row].lpProps; }

 private:
  LPSRowSet rows_ = nullptr;
};

// GetProps with MAPI_UNICODE: one value per tag, in order (PT_ERROR for missing ones).
TMapiBuffer<SPropValue> GetValues(IMAPIProp* object, const std::vector<ULONG>& tags);
// SetProps; a problem with any value is its failure.
void SetValues(IMAPIProp* object, std::vector<SPropValue> values);

// A value's text, bytes or number when it has tag (empty, or fallback, otherwise).
std::u16string TextOf(const SPropValue& value, ULONG tag);
Bytes BytesOf(const SPropValue& value, ULONG tag);
ULONG LongOf(const SPropValue& value, ULONG tag, ULONG fallback);

}  // namespace orba::store
