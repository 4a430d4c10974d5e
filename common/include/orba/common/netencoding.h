// Byte encodings of outside data: hexadecimal text and uuencoded text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "orba/common/types.h"

namespace orba {

class TVoNetEncoding {
 public:
  // Two upper-case hexadecimal digits per byte, no separators.
  static WideString GetHexEncoding(const void* data, size_t size);
  static WideString GetHexEncoding(const std::vector<uint8_t>& bytes);
  // The bytes of hexadecimal text (either case). Text of odd length or with any other
  // character raises EVoException with E_INVALIDARG.
  static std::vector<uint8_t> GetHexDecoding(std::u16string_view text);
};

// Decodes uuencoded text: an optional "begin <mode> <name>" line, body lines (a length
// character, then four characters per three bytes; '`' stands for a blank), and the
// closing "end" line, which must follow when "begin" was given. Lines may end in CR LF;
// blank lines before the data and padding after a line's data are ignored; after the
// zero-length line (or a blank line) everything up to "end" is ignored. A line with a
// character outside ' '..'`' or fewer characters than its length needs raises
// EVoException with E_INVALIDARG naming the line.
std::vector<uint8_t> VoUUDecode(std::string_view text);

}  // namespace orba
