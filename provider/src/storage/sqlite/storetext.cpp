// The text of stored string properties, either width.
#include "memory/mapimemory.h"
#include "props/propstrings.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store::detail {

std::optional<std::u16string> TextValue(const TStoredProp& prop) {
  ULONG type = PROP_TYPE(prop.tag);
  if (type != PT_UNICODE && type != PT_STRING8) return std::nullopt;
  TMapiBuffer<SPropValue> holder;
  const SPropValue& value = Decode(prop, holder);
  if (type == PT_UNICODE) return std::u16string(reinterpret_cast<const char16_t*>(value.Value.lpszW));
  SPropValue wide{};
  CopyWithStringWidth(value, PT_UNICODE, wide, holder.get(), 0);
  return std::u16string(reinterpret_cast<const char16_t*>(wide.Value.lpszW));
}

}  // namespace orba::store::detail
