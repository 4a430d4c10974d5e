#include "orba/common/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace orba {
namespace {

TEST(Environment, ExpandsPercentNamesIgnoringCase) {
  setenv("ORBA_TEST_VAR", "/opt/x", 1);
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%ORBA_TEST_VAR%\\lib"), u"/opt/x\\lib");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%orba_test_var%%Orba_Test_Var%"), u"/opt/x/opt/x");
  EXPECT_EQ(VoExpandFileName(u"%ORBA_TEST_VAR%/a.so"), u"/opt/x/a.so");
  unsetenv("ORBA_TEST_VAR");
}

TEST(Environment, LeavesUnknownNamesAndLonePercentSigns) {
  unsetenv("ORBA_TEST_NOPE");
  setenv("ORBA_TEST_VAR", "v", 1);
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%ORBA_TEST_NOPE%"), u"%ORBA_TEST_NOPE%");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"100% %ORBA_TEST_VAR%"), u"100% v");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"50%"), u"50%");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%%"), u"%%");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"$ORBA_TEST_VAR"), u"$ORBA_TEST_VAR");
  unsetenv("ORBA_TEST_VAR");
}

TEST(Environment, OrbaHomeFollowsTheEnvironment) {
  auto saved = [](const char* name) { return getenv(name) ? std::string(getenv(name)) : std::string(); };
  std::string home = saved("ORBA_HOME"), user = saved("HOME"), xdg = saved("XDG_DATA_HOME");
  setenv("ORBA_HOME", "/data/orba", 1);
  EXPECT_EQ(VoOrbaHome(), u"/data/orba");
  unsetenv("ORBA_HOME");
  setenv("XDG_DATA_HOME", "/xdg", 1);
  EXPECT_EQ(VoOrbaHome(), u"/xdg/orbamapi");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(VoOrbaHome(), u"/home/u/.local/share/orbamapi");
  for (auto [name, value] : {std::pair{"ORBA_HOME", home}, {"HOME", user}, {"XDG_DATA_HOME", xdg}})
    if (!value.empty()) setenv(name, value.c_str(), 1);
}

}  // namespace
}  // namespace orba
