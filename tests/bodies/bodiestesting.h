// Helpers of the body conversion tests: the corpus of compressed RTF bodies and its
// oracle, and random text.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "orba/common/streams.h"
#include "orba/common/types.h"

namespace orba::test {

inline std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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

// The oracle's file beside the message a body came from: ../msg/NAME.ext.
inline std::filesystem::path OracleFile(const std::filesystem::path& body, const char* extension) {
  return std::filesystem::path(ORBA_TEST_DATA_DIR "/msg") / (body.stem().string() + extension);
}

// The plain body the oracle gives in NAME.json ("body"), empty when it gives none.
inline std::string OracleBody(const std::filesystem::path& json) {
  return nlohmann::json::parse(ReadFileBytes(json)).value("body", std::string());
}

// Random UTF-16 text drawn from pools that exercise the converters: ASCII with the
// characters RTF and HTML treat specially, control characters, Latin-1, CJK, other
// BMP characters and surrogate pairs (unpaired surrogates too when wanted).
inline WideString RandomText(std::mt19937& rng, size_t length, bool unpairedSurrogates = false) {
  static constexpr std::u16string_view kSpecial = u"\\{}<>&;\r\n\t \"'=/";
  WideString text;
  std::uniform_int_distribution<int> kind(0, 9), ascii(0x20, 0x7E), control(0, 0x1F), latin(0xA0, 0xFF),
      cjk(0x4E00, 0x9FFF), bmp(0x100, 0xD7FF), special(0, int(kSpecial.size()) - 1), surrogate(0xD800, 0xDFFF);
  while (text.size() < length) {
    switch (kind(rng)) {
      case 0: text += kSpecial[size_t(special(rng))]; break;
      case 1: text += char16_t(control(rng)); break;
      case 2: text += char16_t(latin(rng)); break;
      case 3: text += char16_t(cjk(rng)); break;
      case 4: text += char16_t(bmp(rng)); break;
      case 5:
        if (unpairedSurrogates) {
          text += char16_t(surrogate(rng));
        } else {
          text += char16_t(0xD800 + (rng() & 0x3FF));
          text += char16_t(0xDC00 + (rng() & 0x3FF));
        }
        break;
      default: text += char16_t(ascii(rng)); break;
    }
  }
  return text;
}

}  // namespace orba::test
