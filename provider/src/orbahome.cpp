// The home folder of Orba Store's files: see orbahome.h.
#include "orba/store/orbahome.h"

#include <cstdlib>
#include <system_error>

#include "mapi/mapicode.h"
#include "orba/store/maperror.h"

namespace orba::store {
namespace {

std::filesystem::path FromEnvironment() {
  if (const char* home = std::getenv("ORBA_HOME"); home && *home) return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    return std::filesystem::path(data) / "orbamapi";
  const char* user = std::getenv("HOME");
  return std::filesystem::path(user && *user ? user : ".") / ".local" / "share" / "orbamapi";
}

}  // namespace

std::filesystem::path OrbaHome() {
  std::filesystem::path home = FromEnvironment();
  std::error_code error;
  std::filesystem::create_directories(home, error);
  if (error)
    throw MapiError(MAPI_E_DISK_ERROR, "The folder " + home.string() + " cannot be created: " + error.message());
  return home;
}

}  // namespace orba::store
