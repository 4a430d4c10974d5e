#include "orba/common/syserror.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "orba/common/utf8.h"

namespace {

std::string PosixText(int err) {
  char buf[256];
  return strerror_r(err, buf, sizeof buf);
}

TEST(VoSysErrorMessage, Win32FacilityCodesWithAPosixCounterpart) {
  EXPECT_EQ(orba::ToUtf8(orba::VoSysErrorMessage(static_cast<int32_t>(0x80070002))), PosixText(ENOENT));
  EXPECT_EQ(orba::ToUtf8(orba::VoSysErrorMessage(static_cast<int32_t>(0x80070005))), PosixText(EACCES));
  EXPECT_EQ(orba::ToUtf8(orba::VoSysErrorMessage(static_cast<int32_t>(0x80070070))), PosixText(ENOSPC));
  EXPECT_FALSE(orba::VoSysErrorMessage(static_cast<int32_t>(0x80070057)).empty());
}

TEST(VoSysErrorMessage, NoTextForOtherCodes) {
  for (uint32_t code : {0x80040119u, 0x8004010Fu, 0x00040001u, 0x80004005u, 0x8007FFFFu, 0x00070002u, 0u, 2u})
    EXPECT_TRUE(orba::VoSysErrorMessage(static_cast<int32_t>(code)).empty()) << std::hex << code;
}

}  // namespace
