// Feeds arbitrary bytes to the compressed RTF decoder: it must decode or raise
// EVoCompressedRTFError; what decodes must decode the same piece by piece, and must
// compress to a stream that decodes to it again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "orba/common/bodies/compressedrtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::TVoBytes rtf;
  try {
    rtf = orba::VoDecompressRTF(data, size);
  } catch (const orba::EVoCompressedRTFError&) {
    return 0;
  }
  orba::TVoRTFDecompressor pieces;
  orba::TVoBytes again;
  for (size_t at = 0; at < size && !pieces.Complete(); at += 7)
    pieces.Decode(data + at, std::min<size_t>(7, size - at), again);
  pieces.Finish();
  if (again != rtf) std::abort();
  for (bool compressed : {true, false}) {
    const orba::TVoBytes stream = orba::VoCompressRTF(rtf.data(), rtf.size(), compressed);
    if (orba::VoDecompressRTF(stream.data(), stream.size()) != rtf) std::abort();
  }
  return 0;
}
