#include "orba/common/casefold.h"

namespace orba {

char16_t VoFoldChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;  // Latin-1
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: upper and lower case alternate, the lower case on odd code units
  // in the first and third run and on even code units in the second and last. The
  // dotless i (0x131) is no lower case of the dotted capital I (0x130): both stay.
  if ((c >= 0x100 && c <= 0x137 && c != 0x131) || (c >= 0x14A && c <= 0x177)) return (c & 1) ? c - 1 : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  if (c == 0x3C2) return 0x3A3;                   // Greek final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;  // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

WideString VoFoldCase(std::u16string_view text) {
  WideString result(text);
  for (auto& c : result) c = VoFoldChar(c);
  return result;
}

bool VoSameText(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (VoFoldChar(a[i]) != VoFoldChar(b[i])) return false;
  return true;
}

bool VoMatchesMask(std::u16string_view name, std::u16string_view mask) {
  // Iterative matching with one backtrack point for the last "*": linear in practice.
  size_t n = 0, m = 0, starMask = std::u16string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || VoFoldChar(mask[m]) == VoFoldChar(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == u'*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::u16string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

}  // namespace orba
