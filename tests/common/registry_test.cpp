#include "orba/common/registry.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "orba/common/com.h"
#include "orba/common/dynlib.h"
#include "orba/common/exceptions.h"
#include "temphome.h"

namespace orba {
namespace {

using test::ReadText;
using test::TempHome;
using test::WriteText;

const WideString kMail = u"\\SOFTWARE\\Clients\\Mail";

TVoRegistry OpenCreated(TVoRegRoot root, const WideString& key, uint32_t view = 0) {
  TVoRegistry reg(KEY_ALL_ACCESS | view);
  reg.SetRootKey(root);
  EXPECT_TRUE(reg.OpenKey(key, true));
  return reg;
}

TEST(Registry, EveryValueTypeRoundTripsThroughTheFile) {
  TempHome home;
  {
    TVoRegistry reg = OpenCreated(HKEY_CURRENT_USER, u"Software\\Orba\\Test");
    reg.WriteString(u"Text", u"caf\u00E9 \"quoted\" C:\\path\\");
    reg.WriteExpandString(u"Expand", u"%HOME%\\x");
    reg.WriteInteger(u"Count", -2);
    reg.WriteInt64(u"Big", 0x123456789ALL);
    reg.WriteMultiString(u"Lines", {u"one", u"two"});
    reg.WriteBinaryData(u"Blob", {0, 1, 0xFE, 0xFF});
    reg.WriteString(u"", u"default");
  }
  std::string text = ReadText(home.RegistryFile());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Orba\\Test]"), std::string::npos);
  EXPECT_NE(text.find("\"Text\"=\"caf\xC3\xA9 \\\"quoted\\\" C:\\\\path\\\\\""), std::string::npos);
  EXPECT_NE(text.find("\"Big\"=hex(b):9a,78,56,34,12,00,00,00"), std::string::npos);
  EXPECT_NE(text.find("\"Blob\"=hex:00,01,fe,ff"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\""), std::string::npos);

  TVoRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\Orba\\Test"));
  EXPECT_EQ(reg.ReadString(u"Text"), u"caf\u00E9 \"quoted\" C:\\path\\");
  EXPECT_EQ(reg.ReadString(u"Expand"), u"%HOME%\\x");
  EXPECT_EQ(reg.ReadExpandedString(u"Expand"), FromUtf8(getenv("HOME")) + u"\\x");
  EXPECT_EQ(reg.ReadInteger(u"Count"), -2);
  EXPECT_EQ(reg.ReadInt64(u"Big"), 0x123456789ALL);
  EXPECT_EQ(reg.ReadMultiString(u"Lines"), (std::vector<WideString>{u"one", u"two"}));
  EXPECT_EQ(reg.ReadBinaryData(u"Blob"), (std::vector<uint8_t>{0, 1, 0xFE, 0xFF}));
  EXPECT_EQ(reg.ReadString(u""), u"default");
  EXPECT_EQ(reg.GetValueNames().size(), 7u);
}

TEST(Registry, NamesIgnoreCaseAndValuesAndKeyTreesAreDeleted) {
  TempHome home;
  TVoRegistry reg = OpenCreated(HKEY_CURRENT_USER, u"Software\\MixedCase");
  reg.WriteString(u"ValueName", u"1");
  reg.WriteString(u"VALUENAME", u"2");
  EXPECT_EQ(reg.GetValueNames(), std::vector<WideString>{u"ValueName"});
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists(u"SOFTWARE\\mixedcase"));
  ASSERT_TRUE(reg.OpenKey(u"software", false));
  EXPECT_EQ(reg.GetKeyNames(), std::vector<WideString>{u"MixedCase"});
  // A relative path continues from the open key.
  ASSERT_TRUE(reg.OpenKey(u"MIXEDCASE", false));
  EXPECT_EQ(reg.CurrentPath(), u"software\\MIXEDCASE");
  TVoRegistry gone = OpenCreated(HKEY_CURRENT_USER, u"Software\\Gone\\Child\\Deeper");
  gone.WriteString(u"a", u"1");
  EXPECT_TRUE(gone.DeleteValue(u"A"));
  EXPECT_FALSE(gone.ValueExists(u"a"));
  EXPECT_TRUE(gone.DeleteKey(u"\\Software\\Gone"));
  EXPECT_FALSE(gone.KeyExists(u"\\Software\\Gone\\Child"));
  EXPECT_EQ(ReadText(home.RegistryFile()).find("Gone"), std::string::npos);
}

TEST(Registry, ReportsTRegistryErrors) {
  TempHome home;
  TVoRegistry reg = OpenCreated(HKEY_CURRENT_USER, u"Software\\Errors");
  reg.WriteString(u"Text", u"x");
  EXPECT_RAISES(reg.ReadInteger(u"Missing"), EVoException, static_cast<int32_t>(0x80004005),
                u"Failed to get data for 'Missing'");
  EXPECT_THROW(
      try { reg.ReadInteger(u"Text"); } catch (const EVoException& e) {
        EXPECT_EQ(e.Message(), u"Invalid data type for 'Text'");
        throw;
      },
      EVoException);
  EXPECT_EQ(reg.ReadString(u"Missing"), u"");
  EXPECT_THROW(reg.WriteMultiString(u"M", {u"a", u""}), EVoException);

  TVoRegistry readOnly;
  ASSERT_TRUE(readOnly.OpenKeyReadOnly(u"Software\\Errors"));
  EXPECT_RAISES(readOnly.WriteString(u"Text", u"y"), EVoException, E_FAIL, u"Failed to set data for 'Text'");
  TVoRegistry noCreate(KEY_READ);
  EXPECT_FALSE(noCreate.OpenKey(u"Software\\Nope", false));
  EXPECT_THROW(noCreate.OpenKey(u"Software\\Nope", true), EVoException);
}

TEST(Registry, The32BitViewOfSoftwareLivesUnderWow6432Node) {
  TempHome home;
  TVoRegistry reg32 = OpenCreated(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor", KEY_WOW64_32KEY);
  reg32.WriteString(u"Bits", u"32");
  TVoRegistry reg64(KEY_READ | KEY_WOW64_64KEY);
  reg64.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg64.KeyExists(u"SOFTWARE\\Vendor"));
  ASSERT_TRUE(reg64.OpenKeyReadOnly(u"Software\\Wow6432Node\\Vendor"));
  EXPECT_EQ(reg64.ReadString(u"Bits"), u"32");
  // A path naming Wow6432Node itself is not redirected twice.
  TVoRegistry again(KEY_READ | KEY_WOW64_32KEY);
  again.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(again.KeyExists(u"SOFTWARE\\Wow6432Node\\Vendor"));
  // The current user's keys are the same in both views.
  OpenCreated(HKEY_CURRENT_USER, u"Software\\Shared", KEY_WOW64_32KEY);
  TVoRegistry user(KEY_READ | KEY_WOW64_64KEY);
  EXPECT_TRUE(user.KeyExists(u"Software\\Shared"));
  EXPECT_NE(ReadText(home.RegistryFile()).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor]"),
            std::string::npos);
}

TEST(Registry, BuiltInDefaultRegistersOrbaStoreInBothViews) {
  TempHome home;
  for (uint32_t view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    TVoRegistry reg(KEY_READ | view);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\Clients\\Mail"));
    EXPECT_EQ(reg.ReadString(u""), u"Orba Store");
    ASSERT_TRUE(reg.OpenKeyReadOnly(u"Orba Store"));
    EXPECT_EQ(reg.ReadString(u"DLLPathEx"), VoModuleFolder() + u"liborbastore.so");
  }
  TVoRegistry user(KEY_READ);
  EXPECT_FALSE(user.KeyExists(u"Software\\Clients\\Mail"));
  EXPECT_FALSE(FileExists(FromUtf8(home.RegistryFile())));  // reading writes nothing
}

TEST(Registry, FileOverridesTheDefaultAndStoresOnlyTheDifference) {
  TempHome home;
  TVoRegistry reg = OpenCreated(HKEY_LOCAL_MACHINE, kMail + u"\\Orba Store");
  reg.WriteString(u"DLLPathEx", u"/opt/other.so");
  reg.WriteString(u"DLLPathEx", u"/opt/other.so");
  std::string text = ReadText(home.RegistryFile());
  EXPECT_NE(text.find("\"DLLPathEx\"=\"/opt/other.so\""), std::string::npos);
  EXPECT_EQ(text.find("Orba Store\"\n"), std::string::npos);  // the unchanged @ is not stored
  // Writing the default's own value back leaves no trace of it.
  reg.WriteString(u"DLLPathEx", VoModuleFolder() + u"liborbastore.so");
  EXPECT_EQ(ReadText(home.RegistryFile()).find("Orba Store"), std::string::npos);
}

TEST(Registry, DefaultCanBeDeletedAndStaysDeleted) {
  TempHome home;
  TVoRegistry reg(KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(kMail, false));
  EXPECT_TRUE(reg.DeleteValue(u""));
  EXPECT_TRUE(reg.DeleteKey(u"Orba Store"));
  std::string text = ReadText(home.RegistryFile());
  EXPECT_NE(text.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Orba Store]"), std::string::npos);
  EXPECT_NE(text.find("@=-"), std::string::npos);
  EXPECT_FALSE(reg.KeyExists(u"Orba Store"));
  // The 32-bit view keeps its own registration.
  TVoRegistry reg32(KEY_READ | KEY_WOW64_32KEY);
  reg32.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(reg32.KeyExists(kMail + u"\\Orba Store"));
  // A hand-written file can delete it the same way.
  WriteText(home.RegistryFile(),
            "Windows Registry Editor Version 5.00\n\n"
            "[-HKLM\\SOFTWARE\\Wow6432Node\\Clients\\Mail]\n");
  EXPECT_FALSE(reg32.KeyExists(kMail));
  EXPECT_TRUE(reg.KeyExists(kMail));  // the 64-bit key (without its default) came back
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing) {
  TempHome home;
  constexpr int kCount = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  auto writeAll = [](const char16_t* prefix) {
    TVoRegistry reg;
    reg.OpenKey(u"Software\\Concurrent", true);
    for (int i = 0; i < kCount; ++i) reg.WriteInteger(prefix + FromUtf8(std::to_string(i)), i);
  };
  if (child == 0) {
    try {
      writeAll(u"child");
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  writeAll(u"parent");
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  TVoRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\Concurrent"));
  EXPECT_EQ(reg.GetValueNames().size(), 2u * kCount);
  EXPECT_EQ(reg.ReadInteger(u"child39"), 39);
  EXPECT_EQ(reg.ReadInteger(u"parent39"), 39);
}

TEST(Registry, MalformedFileNamesFileAndLineAndUtf16FilesAreRead) {
  TempHome home;
  WriteText(home.RegistryFile(),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\A]\n"
            "\"x\"=dword:123456789\n");
  TVoRegistry reg(KEY_READ);
  EXPECT_RAISES(reg.KeyExists(u"Software\\A"), EVoException, E_FAIL,
                u"Malformed registry script " + FromUtf8(home.RegistryFile()) +
                    u", line 4: invalid dword data (1 to 8 hexadecimal digits expected)");
  // A failed read does not poison later ones once the file is repaired.
  WriteText(home.RegistryFile(), "REGEDIT4\n\n[HKCU\\Software\\A]\n\"x\"=dword:1\n");
  EXPECT_EQ(OpenCreated(HKEY_CURRENT_USER, u"Software\\A").ReadInteger(u"x"), 1);
  // UTF-16 files with a byte order mark.
  std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wide]\r\n"
      u"\"Name\"=\"\u00FC\u4E2D\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  WriteText(home.RegistryFile(), bytes);
  TVoRegistry wide(KEY_READ);
  ASSERT_TRUE(wide.OpenKeyReadOnly(u"Software\\Wide"));
  EXPECT_EQ(wide.ReadString(u"name"), u"\u00FC\u4E2D");
}

TEST(Registry, AppliesScriptsAndExportsKeys) {
  TempHome home;
  // A malformed script changes nothing.
  EXPECT_THROW(VoApplyRegistryScript("Windows Registry Editor Version 5.00\n"
                                     "[HKEY_CURRENT_USER\\Software\\Half]\n\"a\"=\"1\"\n\"b\"=hex:zz\n",
                                     u"bad.reg"),
               EVoException);
  EXPECT_FALSE(TVoRegistry(KEY_READ).KeyExists(u"Software\\Half"));
  EXPECT_FALSE(FileExists(FromUtf8(home.RegistryFile())));
  VoApplyRegistryScript(
      "Windows Registry Editor Version 5.00\n"
      "; a comment\n"
      "[HKEY_CURRENT_USER\\Software\\Script]\n"
      "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
      "\"Lines\"=hex(7):61,00,00,00,62,00,00,00,\\\n"
      "  00,00\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
      "[HKEY_CURRENT_USER\\Software\\Script\\Sub]\n"
      "@=\"sub\"\n",
      u"fix.reg");
  TVoRegistry reg(KEY_READ);
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\Script"));
  EXPECT_EQ(reg.ReadString(u"Path"), u"%HOME%");
  EXPECT_EQ(reg.ReadMultiString(u"Lines"), (std::vector<WideString>{u"a", u"b"}));

  std::string exported = VoExportRegistryKey(HKEY_CURRENT_USER, u"software\\script");
  EXPECT_EQ(exported,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Script]\n"
            "\"Lines\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
            "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
            "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Script\\Sub]\n"
            "@=\"sub\"\n");
  // Deleting and re-applying the export restores the tree.
  VoApplyRegistryScript("REGEDIT4\n[-HKCU\\Software\\Script]\n");
  EXPECT_FALSE(reg.KeyExists(u"\\Software\\Script"));
  VoApplyRegistryScript(exported);
  EXPECT_EQ(VoExportRegistryKey(HKEY_CURRENT_USER, u"Software\\Script"), exported);
  // Script files are applied by the Click-to-Run repair; a missing one is an error.
  EXPECT_EQ(::orba::test::CodeOf([&] { VoApplyRegistryScriptFile(FromUtf8(home.Home() + "/missing.reg")); }), 2);
}

}  // namespace
}  // namespace orba
