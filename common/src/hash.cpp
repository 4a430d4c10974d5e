#include "orba/common/hash.h"

#include <openssl/evp.h>

#include <memory>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/netencoding.h"

namespace orba {

TVoSHA1Digest VoHashBuffer(const void* data, size_t size) {
  if (!data && size) throw EVoException(u"VoHashBuffer: no buffer given", E_POINTER);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  TVoSHA1Digest digest{};
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1 ||
      (size && EVP_DigestUpdate(context.get(), data, size) != 1) ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
    throw EVoException(u"VoHashBuffer: the SHA-1 digest could not be computed", E_FAIL);
  return digest;
}

WideString VoHashBufferHex(const void* data, size_t size) {
  const TVoSHA1Digest digest = VoHashBuffer(data, size);
  return TVoNetEncoding::GetHexEncoding(digest.data(), digest.size());
}

}  // namespace orba
