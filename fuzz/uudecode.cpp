// Feeds arbitrary bytes to the uudecoder: it must either decode or raise EVoException.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orba/common/exceptions.h"
#include "orba/common/netencoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    orba::VoUUDecode(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const orba::EVoException&) {
  }
  return 0;
}
