// What the Simple MAPI code asks of MAPI objects: see mapicalls.h.
#include "simplemapi/mapicalls.h"

#include <algorithm>

#include "base/maperror.h"
#include "mapi/mapiexports.h"

namespace orba::store {
namespace {

TMapiBuffer<SPropTagArray> TagList(const std::vector<ULONG>& tags) {
  auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
  list->cValues = static_cast<ULONG>(tags.size());
  std::copy(tags.begin(), tags.end(), list->aulPropTag);
  return list;
}

}  // namespace

TRowSet::TRowSet(IMAPITable* table, const std::vector<ULONG>& columns) {
  CheckResult(HrQueryAllRows(table, TagList(columns).get(), nullptr, nullptr, 0, &rows_), "The table cannot be read.");
}

TRowSet::~TRowSet() { FreeProws(rows_); }

TMapiBuffer<SPropValue> GetValues(IMAPIProp* object, const std::vector<ULONG>& tags) {
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  HRESULT hr = object->GetProps(TagList(tags).get(), MAPI_UNICODE, &count, values.Out());
  CheckResult(hr, "The properties cannot be read.");
  return values;
}

void SetValues(IMAPIProp* object, std::vector<SPropValue> values) {
  TMapiBuffer<SPropProblemArray> problems;
  CheckResult(object->SetProps(static_cast<ULONG>(values.size()), values.data(), problems.Out()),
              "The properties cannot be written.");
  if (problems && problems->cProblem) throw TMapiError(problems->aProblem[0].scode, "A property cannot be written.");
}

std::u16string TextOf(const SPropValue& value, ULONG tag) {
  return value.ulPropTag == tag && value.Value.lpszW ? std::u16string(value.Value.lpszW) : std::u16string();
}

Bytes BytesOf(const SPropValue& value, ULONG tag) {
  return value.ulPropTag == tag ? Bytes(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb) : Bytes();
}

ULONG LongOf(const SPropValue& value, ULONG tag, ULONG fallback) {
  return value.ulPropTag == tag ? value.Value.ul : fallback;
}

}  // namespace orba::store
