#include "orba/common/environment.h"

#include <gtest/gtest.h>

#include "common/temphome.h"

namespace orba {
namespace {

TEST(Environment, ExpandsPercentNamesIgnoringCaseAndLeavesTheRest) {
  test::ScopedEnv var("ORBA_TEST_VAR", "/opt/x");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%ORBA_TEST_VAR%\\lib"), u"/opt/x\\lib");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%orba_test_var%%Orba_Test_Var%"), u"/opt/x/opt/x");
  EXPECT_EQ(VoExpandFileName(u"%ORBA_TEST_VAR%/a.so"), u"/opt/x/a.so");
  test::ScopedEnv nope("ORBA_TEST_NOPE", nullptr);
  var.Set("v");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%ORBA_TEST_NOPE%"), u"%ORBA_TEST_NOPE%");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"100% %ORBA_TEST_VAR%"), u"100% v");
  EXPECT_EQ(VoExpandEnvironmentStrings(u"%%"), u"%%");
}

TEST(Environment, OrbaHomeFollowsTheEnvironment) {
  test::ScopedEnv home("ORBA_HOME", "/data/orba"), xdg("XDG_DATA_HOME", "/xdg"), user("HOME", "/home/u");
  EXPECT_EQ(VoOrbaHome(), u"/data/orba");
  home.Set(nullptr);
  EXPECT_EQ(VoOrbaHome(), u"/xdg/orbamapi");
  xdg.Set(nullptr);
  EXPECT_EQ(VoOrbaHome(), u"/home/u/.local/share/orbamapi");
}

}  // namespace
}  // namespace orba
