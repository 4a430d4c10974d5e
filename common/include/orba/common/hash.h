// SHA-1 digests (OpenSSL's EVP interface).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "orba/common/types.h"

namespace orba {

using TVoSHA1Digest = std::array<uint8_t, 20>;

// The SHA-1 digest of size bytes at data; data may be null only when size is 0
// (E_POINTER otherwise).
TVoSHA1Digest VoHashBuffer(const void* data, size_t size);
// The digest as 40 upper-case hexadecimal digits.
WideString VoHashBufferHex(const void* data, size_t size);

}  // namespace orba
