// Registry script files: parse, apply to a tree, write back and parse again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orba/common/exceptions.h"
#include "orba/common/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    orba::TVoRegScript script = orba::VoParseRegScript(text, u"fuzz.reg");
    orba::TVoRegKey tree(u"");
    orba::VoApplyRegScript(script, tree);
    // What is written must read back.
    orba::VoParseRegScript(orba::VoWriteRegScript(script), u"written.reg");
  } catch (const orba::EVoException&) {
  }
  return 0;
}
