#include "orba/common/system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "orba/common/oserror.h"
#include "temphome.h"

namespace orba {
namespace {

TEST(System, BitnessElevationAndVersionAgreeWithTheMachine) {
  utsname info{};
  ASSERT_EQ(uname(&info), 0);
  bool machine64 = std::string(info.machine).find("64") != std::string::npos;
  EXPECT_EQ(IsCPU64(), machine64);
  EXPECT_EQ(VoGetElevationLevel(), geteuid() == 0 ? elFull : elDefault);
  TVoOSVersion version = VoGetOSVersion();
  EXPECT_EQ(version.Name, u"Linux");
  EXPECT_GT(version.Major, 2);
}

TEST(System, LocaleIdentifiersFromTheEnvironment) {
  test::ScopedEnv all("LC_ALL", nullptr), lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(VoGetUserDefaultLCID(), 1031u);
  all.Set(nullptr);
  lang.Set(nullptr);
  EXPECT_EQ(VoGetUserDefaultLCID(), 1033u);
  EXPECT_EQ(VoLocaleNameToLCID(u"nl_XX@euro"), 1043u);
  EXPECT_EQ(VoLocaleNameToLCID(u"xx_YY"), 0u);
}

TEST(Files, NamePartsAcceptBothSeparators) {
  EXPECT_EQ(ExtractFilePath(u"C:\\Program Files\\Office\\OLMAPI32.DLL"), u"C:\\Program Files\\Office\\");
  EXPECT_EQ(ExtractFileName(u"/usr\\lib/a.so"), u"a.so");
  EXPECT_EQ(ExtractFileExt(u"dir.x/name"), u"");
  EXPECT_EQ(ExtractFileExt(u"mail.EML"), u".EML");
  EXPECT_TRUE(HasFolderPart(u"x\\MAPI32.dll"));
}

TEST(Files, FindsFilesIgnoringCase) {
  TVoTempFolder folder;
  std::string root = ToUtf8(folder.Path());
  std::filesystem::create_directories(root + "/Office/MSMAPI/1033");
  std::filesystem::create_directories(root + "/Office/MSMAPI/1031");
  test::WriteText(root + "/Office/MSMAPI/1033/MSMAPI32.DLL", "x");
  test::WriteText(root + "/Office/MSMAPI/1031/msmapi32.dll", "x");
  test::WriteText(root + "/Office/msmapi32.dll.bak", "x");
  test::WriteText(root + "/Office/readme.txt", "x");
  std::filesystem::create_directory_symlink(root + "/Office", root + "/Office/MSMAPI/loop");
  std::vector<WideString> found = VoFindFiles(FromUtf8(root), u"msmapi32.dll", true);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], FromUtf8(root + "/Office/MSMAPI/1031/msmapi32.dll"));
  EXPECT_EQ(found[1], FromUtf8(root + "/Office/MSMAPI/1033/MSMAPI32.DLL"));
  EXPECT_TRUE(VoFindFiles(FromUtf8(root), u"msmapi32.dll", false).empty());
  EXPECT_EQ(VoFindFiles(FromUtf8(root + "/Office"), u"README.???", false).size(), 1u);
  EXPECT_TRUE(DirectoryExists(FromUtf8(root)));
}

TEST(Files, TemporaryFilesAreUniqueAndFoldersRemoved) {
  WideString first = VoGetTempFileName(u"orba", u".msg");
  WideString second = VoGetTempFileName(u"orba", u".msg");
  EXPECT_NE(first, second);
  EXPECT_TRUE(FileExists(first));
  EXPECT_TRUE(first.starts_with(VoGetTempDir() + u"orba"));
  unlink(ToUtf8(first).c_str());
  unlink(ToUtf8(second).c_str());
  WideString path;
  {
    TVoTempFolder folder(u"orbatest");
    path = folder.Path();
    test::WriteText(ToUtf8(path) + "/inner.txt", "x");
    EXPECT_TRUE(DirectoryExists(path));
  }
  EXPECT_FALSE(DirectoryExists(path));
  test::ScopedEnv tmp("TMPDIR", "/nonexistent-orba-dir");
  EXPECT_THROW(VoGetTempFileName(u"x", u""), EVoOSError);
}

TEST(System, ShellOpenUsesXdgOpenWhenPresent) {
  TVoTempFolder folder;
  std::string dir = ToUtf8(folder.Path());
  test::ScopedEnv path("PATH", dir.c_str());
  EXPECT_FALSE(VoShellExecOpenFile(u"/tmp/file.txt"));
  test::WriteText(dir + "/xdg-open", "#!/bin/sh\necho \"$1\" > \"" + dir + "/opened.tmp\"\nmv \"" + dir +
                                         "/opened.tmp\" \"" + dir + "/opened\"\n");
  chmod((dir + "/xdg-open").c_str(), 0755);
  path.Set((dir + ":/usr/bin:/bin").c_str());
  EXPECT_TRUE(VoShellExecOpenFile(u"/tmp/file.txt"));
  // The opener runs detached; wait for its answer.
  for (int i = 0; i < 500 && !FileExists(FromUtf8(dir + "/opened")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(test::ReadText(dir + "/opened"), "/tmp/file.txt\n");
}

}  // namespace
}  // namespace orba
