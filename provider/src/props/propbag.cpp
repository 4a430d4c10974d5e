#include "props/propbag.h"

#include "props/valuecopy.h"

namespace orba::store {

const SPropValue* TPropertyBag::Find(ULONG propId) const {
  auto it = values_.find(propId);
  return it == values_.end() ? nullptr : it->second.get();
}

void TPropertyBag::Set(const SPropValue& value) {
  TMapiBuffer<SPropValue> copy = DuplicatePropArray(1, &value);
  values_[PROP_ID(value.ulPropTag)] = std::move(copy);
}

bool TPropertyBag::Erase(ULONG propId) { return values_.erase(propId) != 0; }

std::vector<ULONG> TPropertyBag::Tags() const {
  std::vector<ULONG> tags;
  tags.reserve(values_.size());
  for (const auto& [id, value] : values_) tags.push_back(value->ulPropTag);
  return tags;
}

}  // namespace orba::store
