#include "orba/common/syserror.h"

#include <cerrno>
#include <cstring>

#include "orba/common/utf8.h"

namespace orba {

namespace {

// Win32 error codes with a POSIX counterpart.
struct Win32Errno {
  uint16_t win32;
  int posix;
};
constexpr Win32Errno kWin32Errnos[] = {
    {2, ENOENT},          // ERROR_FILE_NOT_FOUND
    {3, ENOENT},          // ERROR_PATH_NOT_FOUND
    {4, EMFILE},          // ERROR_TOO_MANY_OPEN_FILES
    {5, EACCES},          // ERROR_ACCESS_DENIED
    {8, ENOMEM},          // ERROR_NOT_ENOUGH_MEMORY
    {14, ENOMEM},         // ERROR_OUTOFMEMORY
    {19, EROFS},          // ERROR_WRITE_PROTECT
    {32, EBUSY},          // ERROR_SHARING_VIOLATION
    {39, ENOSPC},         // ERROR_HANDLE_DISK_FULL
    {50, ENOTSUP},        // ERROR_NOT_SUPPORTED
    {80, EEXIST},         // ERROR_FILE_EXISTS
    {87, EINVAL},         // ERROR_INVALID_PARAMETER
    {109, EPIPE},         // ERROR_BROKEN_PIPE
    {112, ENOSPC},        // ERROR_DISK_FULL
    {145, ENOTEMPTY},     // ERROR_DIR_NOT_EMPTY
    {183, EEXIST},        // ERROR_ALREADY_EXISTS
    {206, ENAMETOOLONG},  // ERROR_FILENAME_EXCED_RANGE
};

constexpr uint32_t kFacilityWin32Mask = 0xFFFF0000;
constexpr uint32_t kFacilityWin32 = 0x80070000;

}  // namespace

WideString VoSysErrorMessage(int32_t code) {
  uint32_t value = static_cast<uint32_t>(code);
  if ((value & kFacilityWin32Mask) != kFacilityWin32) return {};
  for (const Win32Errno& entry : kWin32Errnos) {
    if (entry.win32 == (value & 0xFFFF)) {
      char buf[256];
      return FromUtf8(strerror_r(entry.posix, buf, sizeof buf));  // GNU strerror_r
    }
  }
  return {};
}

}  // namespace orba
