// Helpers of the body conversion tests: the corpus of compressed RTF bodies, and random
// text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/temphome.h"
#include "orba/common/streams.h"
#include "orba/common/types.h"

namespace orba::test {

inline TVoBytes AsBytes(std::string_view text) { return TVoBytes(text.begin(), text.end()); }
inline std::string AsString(const TVoBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The compressed RTF bodies of the .msg corpus (tests/data/rtf/NAME.lzfu).
inline std::vector<std::filesystem::path> CompressedBodies() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(ORBA_TEST_DATA_DIR "/rtf"))
    if (entry.path().extension() == ".lzfu") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Random UTF-16 text: mostly ASCII, with the characters RTF and HTML treat specially,
// control characters, Latin-1, CJK, other BMP characters and surrogate pairs (unpaired
// surrogates too when wanted).
inline WideString RandomText(std::mt19937& rng, size_t length, bool unpairedSurrogates = false) {
  static constexpr std::u16string_view kSpecial = u"\\{}<>&;\r\n\t \"'=/";
  static constexpr char16_t kRanges[][2] = {{0x20, 0x7E}, {0, 0x1F}, {0xA0, 0xFF}, {0x4E00, 0x9FFF}, {0x100, 0xD7FF}};
  WideString text;
  while (text.size() < length) {
    const unsigned kind = rng() % 10;
    if (kind == 0) {
      text += kSpecial[rng() % kSpecial.size()];
    } else if (kind == 1) {
      text += char16_t(0xD800 + rng() % (unpairedSurrogates ? 0x800 : 0x400));
      if (!unpairedSurrogates) text += char16_t(0xDC00 + rng() % 0x400);
    } else {
      const auto& range = kRanges[kind < 6 ? kind - 1 : 0];
      text += char16_t(range[0] + rng() % unsigned(range[1] - range[0] + 1));
    }
  }
  return text;
}

}  // namespace orba::test
