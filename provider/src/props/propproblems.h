// Collects per-property problems and hands them to a caller as the
// SPropProblemArray MAPI returns (one buffer; null when there were none).
#pragma once

#include <vector>

#include "mapi/mapidefs.h"

namespace orba::store {

class TProblemList {
 public:
  void Add(ULONG index, ULONG tag, SCODE code) { problems_.push_back({index, tag, code}); }
  // Adds the problems of a MAPI array (may be null).
  void Add(const SPropProblemArray* array);
  bool Empty() const { return problems_.empty(); }
  size_t Size() const { return problems_.size(); }
  // Stores a new array in *out (null when empty); out may be null (no interest).
  void HandTo(LPSPropProblemArray* out) const;

 private:
  std::vector<SPropProblem> problems_;
};

}  // namespace orba::store
