// Value buffers: the memory an SPropValue built from a variant points into. A property
// value owns one buffer and replaces it on every conversion, so the SPropValue it hands
// out stays valid until the next conversion of the same value or its release.
#pragma once

#include <string>
#include <vector>

#include "mapi/mapitypes.h"

namespace orba {

class TVoMAPIValueBuffer {
 public:
  TVoMAPIValueBuffer() = default;
  TVoMAPIValueBuffer(const TVoMAPIValueBuffer&) = delete;
  TVoMAPIValueBuffer& operator=(const TVoMAPIValueBuffer&) = delete;
  virtual ~TVoMAPIValueBuffer() = default;
};

// A contiguous array of MAPI scalars (also a single GUID, or the bytes of a binary value).
template <class T>
class TVoMAPIArrBuffer : public TVoMAPIValueBuffer {
 public:
  explicit TVoMAPIArrBuffer(std::vector<T> items) : items_(std::move(items)) {}
  ULONG Count() const { return ULONG(items_.size()); }
  // Null for an empty array.
  T* Data() { return items_.empty() ? nullptr : items_.data(); }

 private:
  std::vector<T> items_;
};

using TVoMAPIGUIDBuffer = TVoMAPIArrBuffer<GUID>;
using TVoMAPIBinBuffer = TVoMAPIArrBuffer<BYTE>;
using TVoMAPISmallIntArrBuffer = TVoMAPIArrBuffer<int16_t>;
using TVoMAPILongIntArrBuffer = TVoMAPIArrBuffer<LONG>;
using TVoMAPIInt64ArrBuffer = TVoMAPIArrBuffer<LARGE_INTEGER>;
using TVoMAPICurrencyArrBuffer = TVoMAPIArrBuffer<CURRENCY>;
using TVoMAPISingleArrBuffer = TVoMAPIArrBuffer<float>;
using TVoMAPIDoubleArrBuffer = TVoMAPIArrBuffer<double>;
using TVoMAPIGUIDArrBuffer = TVoMAPIArrBuffer<GUID>;

// One zero-terminated string.
template <class Char>
class TVoMAPIStringBuffer : public TVoMAPIValueBuffer {
 public:
  explicit TVoMAPIStringBuffer(std::basic_string<Char> text) : text_(std::move(text)) {}
  Char* Data() { return text_.data(); }

 private:
  std::basic_string<Char> text_;
};

using TVoMAPIAnsiStringBuffer = TVoMAPIStringBuffer<char>;
using TVoMAPIWideStringBuffer = TVoMAPIStringBuffer<char16_t>;

// Zero-terminated strings and the array of pointers to them.
template <class Char>
class TVoMAPIStringArrBuffer : public TVoMAPIValueBuffer {
 public:
  explicit TVoMAPIStringArrBuffer(std::vector<std::basic_string<Char>> texts) : texts_(std::move(texts)) {
    pointers_.reserve(texts_.size());
    for (auto& text : texts_) pointers_.push_back(text.data());
  }
  ULONG Count() const { return ULONG(pointers_.size()); }
  Char** Data() { return pointers_.empty() ? nullptr : pointers_.data(); }

 private:
  std::vector<std::basic_string<Char>> texts_;
  std::vector<Char*> pointers_;
};

using TVoMAPIAnsiStringArrBuffer = TVoMAPIStringArrBuffer<char>;
using TVoMAPIWideStringArrBuffer = TVoMAPIStringArrBuffer<char16_t>;

// Byte arrays and the SBinary records pointing into them.
class TVoMAPIBinArrBuffer : public TVoMAPIValueBuffer {
 public:
  explicit TVoMAPIBinArrBuffer(std::vector<std::vector<BYTE>> values) : values_(std::move(values)) {
    binaries_.reserve(values_.size());
    for (auto& value : values_)
      binaries_.push_back(SBinary{ULONG(value.size()), value.empty() ? nullptr : value.data()});
  }
  ULONG Count() const { return ULONG(binaries_.size()); }
  SBinary* Data() { return binaries_.empty() ? nullptr : binaries_.data(); }

 private:
  std::vector<std::vector<BYTE>> values_;
  std::vector<SBinary> binaries_;
};

}  // namespace orba
