// The stored properties of one object: one deep copy (its own MAPI buffer) per
// property identifier. The bag stores values as given; TPropObjectBase normalises
// strings to UTF-16 before they get here.
#pragma once

#include <map>
#include <vector>

#include "mapi/mapidefs.h"
#include "memory/mapimemory.h"

namespace orba::store {

class TPropertyBag {
 public:
  // The value stored under the identifier of tag (whatever its type), or null.
  const SPropValue* Find(ULONG propId) const;
  // Stores a deep copy of value, replacing any value with the same identifier.
  // Throws TMapiError for a malformed value; the bag is unchanged then.
  void Set(const SPropValue& value);
  // Removes the value with this identifier; false when there was none.
  bool Erase(ULONG propId);
  void Clear() { values_.clear(); }

  // Stored tags in identifier order.
  std::vector<ULONG> Tags() const;
  size_t Size() const { return values_.size(); }
  bool Empty() const { return values_.empty(); }

 private:
  std::map<ULONG, TMapiBuffer<SPropValue>> values_;
};

}  // namespace orba::store
