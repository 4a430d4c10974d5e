// Where Orba Store keeps its files.
#pragma once

#include <filesystem>

namespace orba::store {

// $ORBA_HOME, else $XDG_DATA_HOME/orbamapi, else ~/.local/share/orbamapi; the folder
// is created when missing (a failure raises TMapiError with MAPI_E_DISK_ERROR).
std::filesystem::path OrbaHome();

}  // namespace orba::store
