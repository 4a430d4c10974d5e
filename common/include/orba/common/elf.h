// What a shared library file is, read from its ELF headers without loading it: its
// bitness and the functions it exports. Every offset and size in the file is checked, so
// a truncated or corrupt file raises EVoOSError (code ERROR_BAD_EXE_FORMAT, 193) with
// the reason, never reads outside the data.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "orba/common/bitness.h"
#include "orba/common/types.h"

namespace orba {

// The bitness of an ELF image held in memory; `source` names it in error texts.
TVoBitness VoElfBitness(std::span<const uint8_t> image, const WideString& source = u"(memory)");
// The functions an ELF image in memory exports through its dynamic symbol table:
// defined global or weak functions of default or protected visibility, in table order.
// An image without a dynamic symbol table exports nothing.
std::vector<WideString> VoElfExportedFunctionNames(std::span<const uint8_t> image,
                                                   const WideString& source = u"(memory)");

// The bitness of a library file; a missing file raises EVoOSError (ERROR_FILE_NOT_FOUND).
TVoBitness VoFileBitness(const WideString& fileName);
// Whether a library file is a 64-bit one.
bool Is64BitFile(const WideString& fileName);
// The functions a library file exports.
std::vector<WideString> VoGetExportedFunctionNames(const WideString& fileName);

}  // namespace orba
