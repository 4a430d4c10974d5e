// Stored property values come from database files that may be damaged or crafted.
// The first two bytes choose the property type, the rest is the stored value: it must
// decode or raise TMapiError, and a value that decodes must encode to bytes that decode
// to an equal value (and encode to the same bytes again).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "props/propvalues.h"
#include "props/propcodec.h"

using namespace orba::store;

namespace {

constexpr ULONG kTypes[] = {PT_UNSPECIFIED, PT_NULL,  PT_I2,      PT_LONG,         PT_R4,      PT_DOUBLE,  PT_CURRENCY,
                            PT_APPTIME,     PT_ERROR, PT_BOOLEAN, PT_OBJECT,       PT_I8,      PT_STRING8, PT_UNICODE,
                            PT_SYSTIME,     PT_CLSID, PT_SVREID,  PT_SRESTRICTION, PT_ACTIONS, PT_BINARY};

void Check(bool condition) {
  if (!condition) std::abort();
}

// Owns what a decode allocates.
class TArena {
 public:
  TPropAllocator Allocator() {
    return [this](size_t size) {
      blocks_.push_back(std::make_unique<uint8_t[]>(size));
      return static_cast<void*>(blocks_.back().get());
    };
  }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
};

// The bytes of one fixed-size element (the size the codec keeps for its type).
size_t ElementSize(ULONG base) {
  switch (base) {
    case PT_I2:
    case PT_BOOLEAN: return 2;
    case PT_LONG:
    case PT_R4:
    case PT_ERROR:
    case PT_NULL: return 4;
    case PT_CLSID: return sizeof(GUID);
    default: return 8;
  }
}

bool SameBytes(const void* a, const void* b, size_t size) { return size == 0 || std::memcmp(a, b, size) == 0; }

bool SameSingle(ULONG base, const __UPV& a, const __UPV& b) {
  switch (base) {
    case PT_STRING8: return std::strcmp(a.lpszA, b.lpszA) == 0;
    case PT_UNICODE: return std::u16string_view(a.lpszW) == std::u16string_view(b.lpszW);
    case PT_BINARY:
    case PT_SVREID: return a.bin.cb == b.bin.cb && SameBytes(a.bin.lpb, b.bin.lpb, a.bin.cb);
    case PT_CLSID: return SameBytes(a.lpguid, b.lpguid, sizeof(GUID));
    default: return SameBytes(&a, &b, ElementSize(base));
  }
}

bool SameValue(const SPropValue& a, const SPropValue& b) {
  if (a.ulPropTag != b.ulPropTag) return false;
  const ULONG type = PROP_TYPE(a.ulPropTag), base = type & ~MVI_FLAG;
  if (!(type & MV_FLAG)) return SameSingle(base, a.Value, b.Value);
  if (a.Value.MVl.cValues != b.Value.MVl.cValues) return false;
  for (ULONG i = 0; i < a.Value.MVl.cValues; ++i) {
    __UPV x{}, y{};
    switch (base) {
      case PT_STRING8:
        x.lpszA = a.Value.MVszA.lppszA[i];
        y.lpszA = b.Value.MVszA.lppszA[i];
        break;
      case PT_UNICODE:
        x.lpszW = a.Value.MVszW.lppszW[i];
        y.lpszW = b.Value.MVszW.lppszW[i];
        break;
      case PT_BINARY:
        x.bin = a.Value.MVbin.lpbin[i];
        y.bin = b.Value.MVbin.lpbin[i];
        break;
      case PT_CLSID:
        x.lpguid = a.Value.MVguid.lpguid + i;
        y.lpguid = b.Value.MVguid.lpguid + i;
        break;
      default: {
        size_t size = ElementSize(base);
        std::memcpy(&x, reinterpret_cast<const uint8_t*>(a.Value.MVl.lpl) + i * size, size);
        std::memcpy(&y, reinterpret_cast<const uint8_t*>(b.Value.MVl.lpl) + i * size, size);
      }
    }
    if (!SameSingle(base, x, y)) return false;
  }
  return true;
}

void RoundTrip(ULONG tag, std::span<const uint8_t> bytes) {
  TArena arena;
  SPropValue first;
  try {
    DecodePropValue(tag, bytes, arena.Allocator(), first);
  } catch (const TMapiError&) {
    return;
  }
  Check(first.ulPropTag == tag);
  Bytes encoded = EncodePropValue(first);  // a decoded value is always encodable
  SPropValue second;
  DecodePropValue(tag, encoded, arena.Allocator(), second);
  Check(SameValue(first, second));
  Check(EncodePropValue(second) == encoded);
}

// The profile's sections decode their values into one MAPI buffer.
void Section(ULONG tag, std::span<const uint8_t> bytes) {
  TStoredProps props{{tag, Bytes(bytes.begin(), bytes.end())}, {PROP_TAG(PT_LONG, 0x3001), Bytes(4, 1)}};
  try {
    auto values = DecodeStored(props, 1);
    Check(values.get()[0].ulPropTag == tag && values.get()[2].ulPropTag == 0);
  } catch (const TMapiError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte picks a type (beyond the list: a raw 16-bit type), the second's
  // low bits add the multi-valued and instance flags.
  constexpr size_t kTypeCount = sizeof(kTypes) / sizeof(kTypes[0]);
  ULONG type = data[0] < kTypeCount ? kTypes[data[0]] : (ULONG{data[0]} << 8 | data[1]);
  if (data[0] < kTypeCount) type |= (data[1] & 1 ? MV_FLAG : 0) | (data[1] & 2 ? MV_INSTANCE : 0);
  ULONG tag = PROP_TAG(type, 0x8000 | data[1]);
  std::span<const uint8_t> bytes(data + 2, size - 2);
  RoundTrip(tag, bytes);
  Section(tag, bytes);
  return 0;
}
