// The platform's message text for an error code, where the platform has one.
#pragma once

#include <cstdint>

#include "orba/common/types.h"

namespace orba {

// The system's text for code, or an empty text when the platform has none. This
// platform has no system message table: only FACILITY_WIN32 HRESULTs (0x8007xxxx)
// whose Win32 error has a POSIX counterpart get a text (the C library's strerror
// text of that errno); MAPI codes and every other code answer empty.
WideString VoSysErrorMessage(int32_t code);

}  // namespace orba
