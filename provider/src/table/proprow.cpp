#include "table/proprow.h"

#include "orba/common/encoding.h"
#include "table/propcompare.h"

namespace orba::store {

const SPropValue* FindProp(TPropRow row, ULONG tag) {
  ULONG id = PROP_ID(tag), type = PROP_TYPE(tag) & ~MV_INSTANCE;
  for (const SPropValue& value : row) {
    if (PROP_ID(value.ulPropTag) != id) continue;
    ULONG valueType = PROP_TYPE(value.ulPropTag);
    if (valueType == PT_ERROR) return nullptr;
    if (type == PT_UNSPECIFIED || valueType == type) return &value;
    bool sameMulti = IsMultiValued(valueType) == IsMultiValued(type);
    if (sameMulti && IsStringType(BaseType(valueType)) && IsStringType(BaseType(type))) return &value;
  }
  return nullptr;
}

WideString WideText(ULONG type, const __UPV& value) {
  if (type == PT_UNICODE) return value.lpszW ? WideString(value.lpszW) : WideString();
  return value.lpszA ? TVoEncoding::ConvertW(value.lpszA) : WideString();
}

}  // namespace orba::store
