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
  if (chars.size() != high_.size()) {
    singleByte_ = false;
    return;
  }
  std::copy(chars.begin(), chars.end(), high_.begin());
  for (size_t i = 0; i < high_.size(); ++i)
    if (high_[i] != u'\uFFFD') byteOf_.emplace(high_[i], bytes[i]);
}

void TVoRTFCodePage::Decode(std::string_view bytes, WideString& text) const {
  if (singleByte_ || std::all_of(bytes.begin(), bytes.end(), [](char b) { return uint8_t(b) < 0x80; })) {
    for (char b : bytes) text += uint8_t(b) < 0x80 ? char16_t(b) : high_[uint8_t(b) - 0x80];
    return;
  }
  text += TVoEncoding::ConvertW(bytes, codePage_);
}

bool TVoRTFCodePage::Encode(std::u16string_view text, std::string& bytes) {
  if (singleByte_) {
    const size_t start = bytes.size();
    for (char16_t c : text) {
      if (c < 0x80) {
        bytes += char(c);
        continue;
      }
      const auto hit = byteOf_.find(c);
      if (hit == byteOf_.end()) {
        bytes.resize(start);
        return false;
      }
      bytes += hit->second;
    }
    return true;
  }
  auto convert = [&](std::u16string_view chars) {
    std::string converted = TVoEncoding::ConvertA(chars, codePage_);
    return TVoEncoding::ConvertW(converted, codePage_) == chars ? converted : std::string();
  };
  if (text.size() != 1) {
    const std::string converted = convert(text);
    bytes += converted;
    return !converted.empty() || text.empty();
  }
  auto hit = encoded_.find(text[0]);
  if (hit == encoded_.end()) hit = encoded_.emplace(text[0], convert(text)).first;
  bytes += hit->second;
  return !hit->second.empty();
}

}  // namespace orba
