#include "rtfcodepage.h"

#include <algorithm>

#include "orba/common/encoding.h"

namespace orba {
namespace {

// Code pages with characters of more than one byte; the others of the support layer
// have one byte per character.
bool IsMultiByte(uint32_t codePage) {
  switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 51932:
    case 51936:
    case 51949:
    case 54936:
    case 65001: return true;
    default: return false;
  }
}

}  // namespace

TVoRTFCodePage::TVoRTFCodePage(uint32_t codePage) : codePage_(codePage), singleByte_(!IsMultiByte(codePage)) {
  if (!singleByte_) return;
  std::string bytes(128, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(0x80 + i);
  const WideString chars = TVoEncoding::ConvertW(bytes, codePage_);
  if (chars.size() == high_.size())
    std::copy(chars.begin(), chars.end(), high_.begin());
  else
    singleByte_ = false;
}

void TVoRTFCodePage::Decode(std::string_view bytes, WideString& text) const {
  if (singleByte_ || std::all_of(bytes.begin(), bytes.end(), [](char b) { return uint8_t(b) < 0x80; })) {
    for (char b : bytes) text += uint8_t(b) < 0x80 ? char16_t(b) : high_[uint8_t(b) - 0x80];
    return;
  }
  text += TVoEncoding::ConvertW(bytes, codePage_);
}

const std::string* TVoRTFCodePage::Encode(char16_t c) {
  auto hit = encoded_.find(c);
  if (hit == encoded_.end()) {
    const std::u16string_view one(&c, 1);
    std::string bytes = TVoEncoding::ConvertA(one, codePage_);
    if (TVoEncoding::ConvertW(bytes, codePage_) != one) bytes.clear();
    hit = encoded_.emplace(c, std::move(bytes)).first;
  }
  return hit->second.empty() ? nullptr : &hit->second;
}

}  // namespace orba
