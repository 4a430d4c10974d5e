// Registry scripts in the text format of the Windows registry editor:
//
//   Windows Registry Editor Version 5.00      (or REGEDIT4)
//   ; comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Key]          create the key (HKLM/HKCU accepted too)
//   @="default value"                          "name"="text" with \" and \\ escapes
//   "Count"=dword:0000000a                     "Big"=hex(b):0a,00,00,00,00,00,00,00
//   "Data"=hex:01,02,\                          hex(2): expandable, hex(7): multi-string
//     03                                        (UTF-16LE bytes; 8-bit text in REGEDIT4)
//   "Old"=-                                    delete a value
//   [-HKEY_CURRENT_USER\Software\Gone]         delete a key with all below it
//
// Files may be UTF-8 (with or without a byte order mark) or UTF-16LE with a byte order
// mark, as the registry editor writes them. Scripts are written as UTF-8 text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orba/common/regtree.h"

namespace orba {

// One "[key]" or "[-key]" section with its value lines in order.
struct TVoRegSection {
  struct Entry {
    WideString Name;                   // "" is the default value "@"
    std::optional<TVoRegValue> Value;  // none: delete the value
  };
  std::vector<WideString> Key;  // root name first (HKEY_CURRENT_USER, ...)
  bool Delete = false;
  std::vector<Entry> Entries;
  int Line = 0;  // where the section starts in its source
};
using TVoRegScript = std::vector<TVoRegSection>;

// The canonical root names.
inline constexpr std::u16string_view HKCU_NAME = u"HKEY_CURRENT_USER";
inline constexpr std::u16string_view HKLM_NAME = u"HKEY_LOCAL_MACHINE";

// Parses a script. A malformed script raises EVoException naming `sourceName` and the
// line: "Malformed registry script <sourceName>, line <n>: <reason>".
TVoRegScript VoParseRegScript(std::string_view bytes, const WideString& sourceName);
// The script as text, with the header of version 5.00 and long hex data wrapped.
std::string VoWriteRegScript(const TVoRegScript& script);
// Applies a script to a tree whose subkeys are the roots.
void VoApplyRegScript(const TVoRegScript& script, TVoRegKey& tree);
// Sections that recreate the key at `path` of `tree` and everything below it.
TVoRegScript VoExportRegTree(const TVoRegKey& tree, const std::vector<WideString>& path);

}  // namespace orba
