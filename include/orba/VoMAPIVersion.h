// The library's own version.
#pragma once

#include "orba/common/types.h"

namespace orba {

// The version of rVoOrbaMAPI250, as "major.minor.patch".
WideString VoOrbaMAPIVersion();

}  // namespace orba
