// The home folder of Orba Store's files: see orbahome.h.
#include "base/orbahome.h"

#include <system_error>

#include "base/maperror.h"
#include "mapi/mapicode.h"
#include "orba/common/environment.h"
#include "orba/common/utf8.h"

namespace orba::store {

std::filesystem::path OrbaHome() {
  std::filesystem::path home(ToUtf8(VoOrbaHome()));
  std::error_code error;
  std::filesystem::create_directories(home, error);
  if (error)
    throw TMapiError(MAPI_E_DISK_ERROR, "The folder " + home.string() + " cannot be created: " + error.message());
  return home;
}

}  // namespace orba::store
