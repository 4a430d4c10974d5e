// Questions about the machine, the operating system and the user, plus opening a file
// with the desktop's default program. File queries and temporary files are in files.h,
// included here for callers that know them as system queries.
#pragma once

#include <cstdint>

#include "orba/common/bitness.h"
#include "orba/common/files.h"
#include "orba/common/types.h"

namespace orba {

// Whether the processor is a 64-bit one.
bool IsCPU64();
// Whether the operating system (its kernel) is a 64-bit one.
bool IsOS64();
// Whether this is a 32-bit process on a 64-bit system.
bool IsWow64();

// The elevation of the process, numbered as Windows' TOKEN_ELEVATION_TYPE.
enum TVoElevationLevel : int32_t {
  elDefault = 1,  // an ordinary user
  elFull = 2,     // all rights (here: the effective user is root)
  elLimited = 3,  // an administrator without elevation (does not occur here)
};
TVoElevationLevel VoGetElevationLevel();

// The operating system's name and version (from uname: "Linux", release "6.1.0-18").
struct TVoOSVersion {
  WideString Name;
  WideString Release;  // the release text as the kernel gives it
  int32_t Major = 0;
  int32_t Minor = 0;
  int32_t Build = 0;
};
TVoOSVersion VoGetOSVersion();

// The Windows locale identifier of the user's locale, from LC_ALL, else LANG
// ("de_DE.UTF-8" gives 1031); 1033 (English, United States) when unknown.
uint32_t VoGetUserDefaultLCID();
// The locale identifier of a locale name such as "fr_CA" or "fr-CA", 0 when unknown.
uint32_t VoLocaleNameToLCID(const WideString& name);

// Opens a file or address with the desktop's default program through xdg-open. False
// when xdg-open is not installed or could not be started; the program is not waited for.
bool VoShellExecOpenFile(const WideString& fileName);

}  // namespace orba
