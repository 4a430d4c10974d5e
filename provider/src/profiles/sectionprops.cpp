// Stored section properties as MAPI property values: see sectionprops.h.
#include "profiles/sectionprops.h"

namespace orba::store {

TMapiBuffer<SPropValue> DecodeSection(const TStoredProps& props, size_t extraSlots) {
  auto values = TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * (props.size() + extraSlots + 1));
  void* parent = values.get();
  TPropAllocator allocate = [parent](size_t size) { return AllocateMore(size, parent); };
  for (size_t i = 0; i < props.size(); ++i) DecodePropValue(props[i].tag, props[i].value, allocate, values.get()[i]);
  return values;
}

}  // namespace orba::store
