#include "props/propproblems.h"

#include <algorithm>

#include "memory/mapimemory.h"

namespace orba::store {

void TProblemList::Add(const SPropProblemArray* array) {
  if (!array) return;
  problems_.insert(problems_.end(), array->aProblem, array->aProblem + array->cProblem);
}

void TProblemList::HandTo(LPSPropProblemArray* out) const {
  if (!out) return;
  *out = nullptr;
  if (problems_.empty()) return;
  auto array = TMapiBuffer<SPropProblemArray>::Allocate(CbNewSPropProblemArray(problems_.size()));
  array->cProblem = static_cast<ULONG>(problems_.size());
  std::copy(problems_.begin(), problems_.end(), array->aProblem);
  *out = array.Release();
}

}  // namespace orba::store
