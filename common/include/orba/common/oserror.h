// Operating-system errors in the shape Windows reports them: a Win32 error code
// (ERROR_FILE_NOT_FOUND = 2, ERROR_ACCESS_DENIED = 5, ...) and the system's text, so that
// callers written against Windows can tell one failure from another.
#pragma once

#include <cstdint>

#include "orba/common/exceptions.h"

namespace orba {

constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
constexpr int32_t ERROR_PATH_NOT_FOUND = 3;
constexpr int32_t ERROR_ACCESS_DENIED = 5;
constexpr int32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr int32_t ERROR_GEN_FAILURE = 31;
constexpr int32_t ERROR_INVALID_PARAMETER = 87;
constexpr int32_t ERROR_MOD_NOT_FOUND = 126;
constexpr int32_t ERROR_PROC_NOT_FOUND = 127;
constexpr int32_t ERROR_BAD_EXE_FORMAT = 193;
constexpr int32_t ERROR_DLL_INIT_FAILED = 1114;

// An operating-system failure; Code() is the Win32 error code.
class EVoOSError : public EVoException {
 public:
  using EVoException::EVoException;
};

// The Win32 error code that stands for a POSIX errno value.
int32_t VoErrnoToOSError(int errnoValue);

}  // namespace orba
