#include "orba/VoMAPIVersion.h"

namespace orba {

WideString VoOrbaMAPIVersion() { return u"2.5.0"; }

}  // namespace orba
