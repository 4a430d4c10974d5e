// Encoding of property values: see propcodec.h.
#include "props/propcodec.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "base/maperror.h"

namespace orba::store {
namespace {

[[noreturn]] void Fail(HRESULT code, const char* text) { throw TMapiError(code, text); }

class TWriter {
 public:
  template <class T>
  void Fixed(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof(T));
  }
  void Counted(const void* data, size_t size) {
    Fixed(static_cast<uint32_t>(size));
    Raw(data, size);
  }
  void Raw(const void* data, size_t size) {
    if (size == 0) return;
    if (!data) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

class TReader {
 public:
  TReader(std::span<const uint8_t> bytes, const TPropAllocator& allocate) : bytes_(bytes), allocate_(allocate) {}

  template <class T>
  T Fixed() {
    T value;
    Read(&value, sizeof(T));
    return value;
  }
  uint32_t Count(size_t elementSize) {
    auto count = Fixed<uint32_t>();
    // A count larger than the bytes left cannot be real; refuse before allocating.
    if (elementSize != 0 && count > Left() / elementSize) Corrupt();
    return count;
  }
  // count bytes copied into fresh memory, followed by terminatorSize zero bytes.
  void* Copy(size_t count, size_t terminatorSize = 0) {
    const uint8_t* source = Take(count);
    auto* target = static_cast<uint8_t*>(allocate_(std::max<size_t>(count + terminatorSize, 1)));
    if (count) std::memcpy(target, source, count);
    std::memset(target + count, 0, terminatorSize);
    return target;
  }
  template <class T>
  T* Array(uint32_t count) {
    return static_cast<T*>(allocate_(sizeof(T) * (count ? count : 1)));
  }
  void Read(void* target, size_t count) { std::memcpy(target, Take(count), count); }
  void End() const {
    if (Left() != 0) Corrupt();
  }
  size_t Left() const { return bytes_.size() - offset_; }
  [[noreturn]] static void Corrupt() { Fail(MAPI_E_CORRUPT_DATA, "A stored property value is damaged."); }

 private:
  const uint8_t* Take(size_t count) {
    if (count > Left()) Corrupt();
    const uint8_t* p = bytes_.data() + offset_;
    offset_ += count;
    return p;
  }

  std::span<const uint8_t> bytes_;
  const TPropAllocator& allocate_;
  size_t offset_ = 0;
};

size_t FixedSize(ULONG type) {
  switch (type) {
    case PT_I2:
    case PT_BOOLEAN: return 2;
    case PT_LONG:
    case PT_R4:
    case PT_ERROR:
    case PT_NULL: return 4;
    case PT_DOUBLE:
    case PT_APPTIME:
    case PT_CURRENCY:
    case PT_I8:
    case PT_SYSTIME: return 8;
    case PT_CLSID: return sizeof(GUID);
    default: return 0;
  }
}

// The bytes of a single fixed-size value of type inside the value union.
const void* FixedAddress(ULONG type, const __UPV& v) {
  switch (type) {
    case PT_I2: return &v.i;
    case PT_BOOLEAN: return &v.b;
    case PT_LONG:
    case PT_NULL: return &v.l;
    case PT_ERROR: return &v.err;
    case PT_R4: return &v.flt;
    case PT_DOUBLE: return &v.dbl;
    case PT_APPTIME: return &v.at;
    case PT_CURRENCY: return &v.cur;
    case PT_I8: return &v.li;
    case PT_SYSTIME: return &v.ft;
    default: return nullptr;
  }
}

size_t WideLength(const WCHAR* s) { return std::char_traits<char16_t>::length(s); }

void EncodeMulti(ULONG base, const __UPV& v, TWriter& w) {
  // Every multi-valued member has its count first and its array pointer second.
  const ULONG count = v.MVl.cValues;
  w.Fixed(count);
  if (count == 0) return;
  switch (base) {
    case PT_STRING8:
      if (!v.MVszA.lppszA) break;
      for (ULONG i = 0; i < count; ++i) {
        const char* s = v.MVszA.lppszA[i];
        if (!s) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
        w.Counted(s, std::strlen(s));
      }
      return;
    case PT_UNICODE:
      if (!v.MVszW.lppszW) break;
      for (ULONG i = 0; i < count; ++i) {
        const WCHAR* s = v.MVszW.lppszW[i];
        if (!s) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
        w.Counted(s, WideLength(s) * sizeof(WCHAR));
      }
      return;
    case PT_BINARY:
      if (!v.MVbin.lpbin) break;
      for (ULONG i = 0; i < count; ++i) w.Counted(v.MVbin.lpbin[i].lpb, v.MVbin.lpbin[i].cb);
      return;
    default: {
      // Fixed-size elements: the array pointer sits at the same place in every member.
      const void* data = v.MVl.lpl;
      if (!data) break;
      w.Raw(data, FixedSize(base) * count);
      return;
    }
  }
  Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
}

void DecodeMulti(ULONG base, TReader& r, __UPV& v) {
  switch (base) {
    case PT_STRING8: {
      ULONG count = r.Count(4);
      auto* items = r.Array<LPSTR>(count);
      for (ULONG i = 0; i < count; ++i) items[i] = static_cast<LPSTR>(r.Copy(r.Fixed<uint32_t>(), 1));
      v.MVszA = {count, items};
      return;
    }
    case PT_UNICODE: {
      ULONG count = r.Count(4);
      auto* items = r.Array<LPWSTR>(count);
      for (ULONG i = 0; i < count; ++i) {
        uint32_t size = r.Fixed<uint32_t>();
        if (size % 2) TReader::Corrupt();  // an odd byte count is never UTF-16
        items[i] = static_cast<LPWSTR>(r.Copy(size, sizeof(WCHAR)));
      }
      v.MVszW = {count, items};
      return;
    }
    case PT_BINARY: {
      ULONG count = r.Count(4);
      auto* items = r.Array<SBinary>(count);
      for (ULONG i = 0; i < count; ++i) {
        uint32_t size = r.Fixed<uint32_t>();
        items[i] = {size, static_cast<LPBYTE>(r.Copy(size))};
      }
      v.MVbin = {count, items};
      return;
    }
    default: {
      size_t size = FixedSize(base);
      ULONG count = r.Count(size);
      v.MVl.cValues = count;
      v.MVl.lpl = static_cast<LONG*>(r.Copy(size * count));
      return;
    }
  }
}

}  // namespace

bool IsStorablePropType(ULONG propType) {
  ULONG base = propType & ~MVI_FLAG;
  bool multi = (propType & MV_FLAG) != 0;
  switch (base) {
    case PT_STRING8:
    case PT_UNICODE:
    case PT_BINARY: return true;
    case PT_SVREID:
    case PT_NULL:
    case PT_ERROR:
    case PT_BOOLEAN: return !multi;
    default: return FixedSize(base) != 0;
  }
}

Bytes EncodePropValue(const SPropValue& value) {
  const ULONG type = PROP_TYPE(value.ulPropTag);
  if (!IsStorablePropType(type)) Fail(MAPI_E_INVALID_TYPE, "Values of this property type cannot be stored.");
  TWriter w;
  const ULONG base = type & ~MVI_FLAG;
  if (type & MV_FLAG) {
    EncodeMulti(base, value.Value, w);
  } else if (base == PT_STRING8) {
    if (!value.Value.lpszA) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
    w.Raw(value.Value.lpszA, std::strlen(value.Value.lpszA));
  } else if (base == PT_UNICODE) {
    if (!value.Value.lpszW) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
    w.Raw(value.Value.lpszW, WideLength(value.Value.lpszW) * sizeof(WCHAR));
  } else if (base == PT_BINARY || base == PT_SVREID) {
    w.Raw(value.Value.bin.lpb, value.Value.bin.cb);
  } else if (base == PT_CLSID) {
    if (!value.Value.lpguid) Fail(MAPI_E_INVALID_PARAMETER, "A property value points to no data.");
    w.Fixed(*value.Value.lpguid);
  } else {
    w.Raw(FixedAddress(base, value.Value), FixedSize(base));
  }
  return w.Take();
}

void DecodePropValue(ULONG tag, std::span<const uint8_t> bytes, const TPropAllocator& allocate, SPropValue& out) {
  const ULONG type = PROP_TYPE(tag);
  if (!IsStorablePropType(type)) Fail(MAPI_E_CORRUPT_DATA, "A stored property has a type that cannot be stored.");
  out = SPropValue{};
  out.ulPropTag = tag;
  TReader r(bytes, allocate);
  const ULONG base = type & ~MVI_FLAG;
  if (type & MV_FLAG) {
    DecodeMulti(base, r, out.Value);
  } else if (base == PT_STRING8) {
    out.Value.lpszA = static_cast<LPSTR>(r.Copy(r.Left(), 1));
  } else if (base == PT_UNICODE) {
    if (r.Left() % 2) TReader::Corrupt();
    out.Value.lpszW = static_cast<LPWSTR>(r.Copy(r.Left(), sizeof(WCHAR)));
  } else if (base == PT_BINARY || base == PT_SVREID) {
    ULONG size = static_cast<ULONG>(r.Left());
    out.Value.bin = {size, static_cast<LPBYTE>(r.Copy(size))};
  } else if (base == PT_CLSID) {
    out.Value.lpguid = static_cast<LPGUID>(r.Copy(sizeof(GUID)));
  } else {
    r.Read(const_cast<void*>(FixedAddress(base, out.Value)), FixedSize(base));
  }
  r.End();
}

}  // namespace orba::store
