// ELF headers of library files: bitness and the dynamic symbol table.
#include <cstddef>
#include <cstdint>
#include <span>

#include "orba/common/elf.h"
#include "orba/common/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> image(data, size);
  try {
    orba::VoElfBitness(image);
    orba::VoElfExportedFunctionNames(image);
  } catch (const orba::EVoException&) {
    // Rejected input is the expected outcome for most of the corpus.
  }
  return 0;
}
