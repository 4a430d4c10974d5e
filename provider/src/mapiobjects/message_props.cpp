// Moving properties between property objects and the engine's stored form.
#include "base/maperror.h"
#include "mapiobjects/messageobject.h"

namespace orba::store {

TMapiBuffer<SPropValue> DecodeStoredProps(const TStoredProps& props, size_t extra) {
  auto values = TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * (props.size() + extra + 1));
  void* parent = values.get();
  TPropAllocator allocate = [parent](size_t cb) { return AllocateMore(cb, parent); };
  for (size_t i = 0; i < props.size(); ++i) DecodePropValue(props[i].tag, props[i].value, allocate, values.get()[i]);
  return values;
}

TStoredProps StoredPropsOf(const TPropertyBag& bag) {
  TStoredProps props;
  for (ULONG tag : bag.Tags()) {
    const SPropValue* value = bag.Find(PROP_ID(tag));
    props.push_back({value->ulPropTag, EncodePropValue(*value)});
  }
  return props;
}

void LoadStoredProps(TPropObjectBase& object, const TStoredProps& props) {
  auto values = DecodeStoredProps(props);
  for (size_t i = 0; i < props.size(); ++i) object.Load(values.get()[i]);
}

}  // namespace orba::store
