// Writing text into RTF as 7-bit escapes; shared by the converters that produce RTF.
#pragma once

#include <cstdint>
#include <string_view>

#include "orba/common/types.h"
#include "rtfcodepage.h"

namespace orba {

class TVoRTFTextWriter {
 public:
  // codePage 0 means the system code page; one the document cannot be written in
  // raises EVoException with E_INVALIDARG.
  explicit TVoRTFTextWriter(uint32_t codePage);
  uint32_t CodePage() const { return codePage_.Id(); }

  // Appends text escaped for RTF: "\", "{" and "}" with a backslash, a tab as \tab,
  // printable ASCII as itself, control characters (CR and LF too: line breaks are the
  // caller's) as \'hh, other characters as \'hh in the code page or, when it lacks
  // them, as \uN followed by a "?" for readers without Unicode (the document says \uc1).
  void Append(std::u16string_view text, AnsiString& rtf);

 private:
  void AppendOther(std::u16string_view run, AnsiString& rtf);

  TVoRTFCodePage codePage_;
};

}  // namespace orba
