// Building and reading property values: see propvalues.h.
#include "props/propvalues.h"

#include <cstring>

#include "base/filetime.h"
#include "props/propstrings.h"

namespace orba::store {
namespace {

TMapiBuffer<SPropValue> DecodeOne(const TStoredProp& prop) {
  auto value = TMapiBuffer<SPropValue>::Allocate();
  void* parent = value.get();
  DecodePropValue(
      prop.tag, prop.value, [parent](size_t cb) { return AllocateMore(cb, parent); }, *value);
  return value;
}

}  // namespace

SPropValue LongValue(ULONG tag, ULONG value) {
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.ul = value;
  return out;
}

SPropValue BoolValue(ULONG tag, bool value) {
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.b = value ? 1 : 0;
  return out;
}

SPropValue TimeValue(ULONG tag, int64_t fileTime) {
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.ft = ToFileTime(static_cast<uint64_t>(fileTime));
  return out;
}

SPropValue ErrorValue(ULONG tag, SCODE code) {
  SPropValue out{};
  out.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
  out.Value.err = code;
  return out;
}

SPropValue TextValue(ULONG tag, const std::u16string& text) {
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text.c_str()));
  return out;
}

SPropValue BinaryValue(ULONG tag, std::span<const BYTE> bytes) {
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.bin.cb = static_cast<ULONG>(bytes.size());
  out.Value.bin.lpb = const_cast<LPBYTE>(bytes.data());
  return out;
}

SPropValue TextValue(ULONG tag, std::u16string_view text, void* parent) {
  auto* chars = AllocateMoreOf<char16_t>(text.size() + 1, parent);
  std::copy(text.begin(), text.end(), chars);
  SPropValue out{};
  out.ulPropTag = tag;
  out.Value.lpszW = reinterpret_cast<LPWSTR>(chars);
  return out;
}

SPropValue BinaryValue(ULONG tag, std::span<const BYTE> bytes, void* parent) {
  auto* copy = AllocateMoreOf<BYTE>(bytes.empty() ? 1 : bytes.size(), parent);
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  return BinaryValue(tag, {copy, bytes.size()});
}

TStoredProp Stored(const SPropValue& value) { return {value.ulPropTag, EncodePropValue(value)}; }

const TStoredProp* FindStored(const TStoredProps& props, ULONG propId) {
  for (const auto& prop : props)
    if (PROP_ID(prop.tag) == propId) return &prop;
  return nullptr;
}

std::optional<std::u16string> StoredText(const TStoredProp& prop) {
  ULONG type = PROP_TYPE(prop.tag);
  if (type != PT_UNICODE && type != PT_STRING8) return std::nullopt;
  auto value = DecodeOne(prop);
  if (type == PT_UNICODE) return std::u16string(reinterpret_cast<const char16_t*>(value->Value.lpszW));
  SPropValue wide{};
  CopyWithStringWidth(*value, PT_UNICODE, wide, value.get(), 0);
  return std::u16string(reinterpret_cast<const char16_t*>(wide.Value.lpszW));
}

std::optional<int64_t> StoredNumber(const TStoredProp& prop) {
  ULONG type = PROP_TYPE(prop.tag);
  if (type != PT_LONG && type != PT_BOOLEAN && type != PT_I8 && type != PT_SYSTIME) return std::nullopt;
  auto value = DecodeOne(prop);
  switch (type) {
    case PT_LONG: return value->Value.l;
    case PT_BOOLEAN: return value->Value.b ? 1 : 0;
    case PT_I8: return value->Value.li.QuadPart;
    default: return static_cast<int64_t>(FileTimeBits(value->Value.ft));
  }
}

TMapiBuffer<SPropValue> DecodeStored(const TStoredProps& props, size_t extraSlots) {
  auto values = TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * (props.size() + extraSlots + 1));
  void* parent = values.get();
  TPropAllocator allocate = [parent](size_t cb) { return AllocateMore(cb, parent); };
  for (size_t i = 0; i < props.size(); ++i) DecodePropValue(props[i].tag, props[i].value, allocate, values.get()[i]);
  return values;
}

uint64_t StoredSize(const TStoredProps& props) {
  uint64_t size = 0;
  for (const auto& prop : props) size += 4 + prop.value.size();
  return size;
}

}  // namespace orba::store
