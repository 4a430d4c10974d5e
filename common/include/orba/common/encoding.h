// 8-bit text in Windows code pages <-> UTF-16, and the process's system code page.
#pragma once

#include <cstdint>
#include <string_view>

#include "orba/common/types.h"

namespace orba {

// Code page 0 in the conversions below means the system code page.
inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t CP_UTF16LE = 1200;
inline constexpr uint32_t CP_UTF8 = 65001;

// The process's "system code page": 1252 unless the environment variable ORBA_ACP names
// a supported code page when first asked.
uint32_t VoCodePage();
// Replaces the system code page (tests, configuration); an unsupported code page raises
// EVoException with E_INVALIDARG.
void VoSetCodePage(uint32_t codePage);

// Whether the conversions support the code page (0 counts as the system code page).
bool VoIsCodePageSupported(uint32_t codePage);

class TVoEncoding {
 public:
  // UTF-16 to 8-bit text; a character the code page cannot show becomes '?', as Windows
  // does. Code page 1200 gives the UTF-16LE bytes.
  static AnsiString ConvertA(std::u16string_view text, uint32_t codePage = CP_ACP);
  // 8-bit text to UTF-16; bytes that are not valid in the code page become U+FFFD.
  static WideString ConvertW(std::string_view text, uint32_t codePage = CP_ACP);
  // An unsupported code page raises EVoException with E_INVALIDARG and the text
  // "The code page %u is not supported".
};

// MIME charset names ("windows-1252", "utf-8", "iso-8859-1", "shift_jis", ...), matched
// without regard to case, with the usual aliases. Unknown names give 0.
uint32_t CodePageFromCharset(std::string_view charset);
// The preferred MIME name of a code page; empty when there is none.
AnsiString CharsetFromCodePage(uint32_t codePage);

}  // namespace orba
