// Client lookup and enumeration, Outlook detection and the Click-to-Run repair, each
// against a registry file of its own.
#include <filesystem>

#include "orba/VoMAPIExceptions.h"
#include "orba/common/dynlib.h"
#include "orba/common/system.h"
#include "runtime/loaderfixture.h"

namespace orba::test {
namespace {

class ClientsTest : public LoaderTest {
 protected:
  // A folder below ORBA_HOME with a copy of a library under the given name.
  std::string Place(const std::string& folder, const std::string& name, const std::string& from) {
    std::filesystem::create_directories(Home() + "/" + folder);
    std::string file = Home() + "/" + folder + "/" + name;
    WriteText(file, ReadText(from));
    return file;
  }
};

TEST_F(ClientsTest, ClientsTextOfTwoClientsAndOfTheBuiltInDefaultWithoutOutlook) {
  TVoMAPIClients clients = VoGetMAPIClients();
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(clients[0].ClientName, u"Orba Store");
  EXPECT_EQ(VoGetMAPIInfo().Clients, u"\"Orba Store\"");
  EXPECT_EQ(VoGetOutlookInfo().Version, NoOutlookInstalled);
  EXPECT_FALSE(VoGetOutlookRunning());
  // Two clients of the registry file.
  Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n@=\"B\"\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Orba Store]\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Clients\\Mail\\Orba Store]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\A]\n\"DLLPathEx\"=\"" FAKE_SIMPLE
      "\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\B]\n\"DLLPathEx\"=\"" FAKE_EXTENDED "\"\n");
  TVoMAPIInfoRec info = VoGetMAPIInfo();
  EXPECT_EQ(info.Clients, u"\"A\",\"B\"");
  EXPECT_EQ(info.DefaultClient, u"B");
  EXPECT_EQ(info.Version, u"1.0.0.1");
  clients = VoGetMAPIClients();
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(clients[0].MAPIInterface, ciSimpleMAPI);
  EXPECT_EQ(clients[1].MAPIInterface, ciExtendedMAPI);  // exports MAPIInitialize and MAPILogonEx
  EXPECT_TRUE(clients[1].IsDefault);
}

TEST_F(ClientsTest, ClientLookupPrefersCurrentUserAndFallsBackToDLLPath) {
  Registry(
      "[HKEY_CURRENT_USER\\Software\\Clients\\Mail\\C]\n\"DLLPathEx\"=\"/nowhere.so\"\n"
      "\"DLLPath\"=\"" FAKE_SIMPLE
      "\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\C]\n\"DLLPathEx\"=\"" FAKE_EXTENDED "\"\n");
  EXPECT_EQ(VoFindMAPIDll(u"C"), FromUtf8(FAKE_SIMPLE));
  EXPECT_EQ(VoFindMAPIDll(HKEY_LOCAL_MACHINE, u"C"), FromUtf8(FAKE_EXTENDED));
  EXPECT_EQ(VoFindMAPIDll(u"Unknown"), u"");
}

TEST_F(ClientsTest, NamedClientIsLoadedOrExplained) {
  Registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\C]\n\"DLLPathEx\"=\"" FAKE_EXTENDED "\"\n");
  WideString file;
  bool extended = false;
  VoLoadMAPIClientDLL(u"C", file, extended);
  EXPECT_EQ(file, FromUtf8(FAKE_EXTENDED));
  EXPECT_TRUE(extended);
  EXPECT_EQ(VoMAPIClientDLLBitness(u"C", file), VoProcessBitness());
  EXPECT_MAPI_ERROR(VoLoadMAPIClientDLL(u"X", file, extended), E_INVALIDARG,
                    "Failed to locate the MAPI dll for the client \"X\"!\r\nCheck the value of the "
                    "\"\\Software\\Clients\\Mail\\X\\DllPath\" or "
                    "\"\\Software\\Clients\\Mail\\X\\DllPathEx\" registry key.");
}

TEST_F(ClientsTest, OutlookFromMSIApplicationLCID) {
  std::string dll = Place("outlook", "OLMAPI32.dll", FAKE_EXTENDED);
  Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Microsoft Outlook]\n"
      "\"MSIApplicationLCID\"=\"Software\\\\Velmora\\\\16.0\\\\Outlook\"\n"
      "\"DllPathEx\"=\"" +
      dll + "\"\n");
  TVoOutlookInfo info = VoGetOutlookInfo();
  EXPECT_EQ(info.VersionNumberEx, u"16.0");
  EXPECT_EQ(info.Version, OL2016);
  EXPECT_EQ(info.MAPIDLL, FromUtf8(dll));
  EXPECT_EQ(VoGetMAPIInfo().Clients, u"\"Orba Store\",\"Microsoft Outlook\"");
}

// Outlook found through its version key, a Click-to-Run or a plain install root; a
// library of the other bitness is not used.
TEST_F(ClientsTest, OutlookInstallations) {
  const std::string elf32 = Home() + "/OLMAPI32.dll";
  WriteElf32(elf32);
  struct Case {
    std::string dll, registry;
    TVoOutlookMajorVersion version;
    TVoOutlookMode mode;
    bool used;
  };
  const Case cases[] = {
      {elf32,
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Microsoft Outlook]\n"
       "\"MSIApplicationLCID\"=\"Software\\\\Velmora\\\\15.0\\\\Outlook\"\n\"DllPathEx\"=\"" +
           elf32 + "\"\n",
       OL2013, olmNA, false},
      {Place("root/Office16", "OLMAPI32.dll", FAKE_EXTENDED),
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\"
       "Software\\Microsoft\\Office\\16.0\\Outlook\\InstallRoot]\n\"Path\"=\"" +
           Home() + "/root/Office16/\"\n",
       OL2016, olmClickToRun, true},
      {Place("office14", "OLMAPI32.dll", FAKE_EXTENDED),
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\14.0\\Outlook\\InstallRoot]\n\"Path\"=\"" + Home() +
           "/office14\"\n",
       OL2010, olmNA, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    Registry(c.registry);
    TVoOutlookInfo info = VoGetOutlookInfo();
    EXPECT_EQ(info.Version, c.version);
    EXPECT_EQ(info.Mode, c.mode);
    EXPECT_EQ(info.MAPIDLL, c.used ? FromUtf8(c.dll) : u"");
    if (c.mode == olmClickToRun) {
      EXPECT_EQ(info.InstallRoot, FromUtf8(Home() + "/root/Office16/"));
    }
  }
}

TEST_F(ClientsTest, OutlookStoreAppAndItsLoadText) {
  std::string folder = Home() + "/WindowsApps/Outlook_x64_";
  std::filesystem::create_directories(folder);
  // A library that may not be read: as root only a write-only kernel file is refused.
  if (geteuid() == 0)
    std::filesystem::create_symlink("/proc/sys/vm/drop_caches", folder + "/OLMAPI32.dll");
  else {
    WriteText(folder + "/OLMAPI32.dll", ReadText(FAKE_EXTENDED));
    std::filesystem::permissions(folder + "/OLMAPI32.dll", std::filesystem::perms::none);
  }
  Registry(
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Clients\\Mail]\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\outlook.exe]\n"
      "\"Path\"=\"" +
      folder + "\"\n");
  TVoOutlookInfo info = VoGetOutlookInfo();
  EXPECT_EQ(info.Mode, olmWindowsStoreApp);
  EXPECT_EQ(info.Version, OL2016);
  WideString name;
  bool extended = false;
  EXPECT_MAPI_ERROR(VoLoadMAPIDLL(name, extended), 0x80040102,
                    "The Windows-App version of Outlook does not support MAPI!\r\nYou must install "
                    "Outlook (or Office) using the regular installer to use the MAPI functionality.");
}

TEST_F(ClientsTest, ClickToRunRepairNeedsOutlooksLibrariesAndWritesItsKeysOnce) {
  Place("c2r/Office15", "OLMAPI32.dll", FAKE_EXTENDED);
  Registry(
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Office\\15.0\\ClickToRun\\REGISTRY\\MACHINE\\"
      "Software\\Microsoft\\Office\\15.0\\Outlook\\InstallRoot]\n\"Path\"=\"" +
      Home() + "/c2r/Office15\"\n");
  EXPECT_MAPI_ERROR(FixClickToRunRegKeys(), 0, "Failed to determine the location of the OUTLMIME.dll");
  TVoRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(registry.KeyExists(u"\\Software\\Velmora\\OrbaMAPI\\RegFix"));
  Place("c2r/Office16", "OLMAPI32.dll", FAKE_EXTENDED);
  Place("c2r/Office16", "OUTLMIME.dll", FAKE_NONE);
  Registry(
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Office\\16.0\\ClickToRun\\REGISTRY\\MACHINE\\"
      "Software\\Microsoft\\Office\\16.0\\Outlook\\InstallRoot]\n\"Path\"=\"" +
      Home() + "/c2r/Office16\"\n");
  EXPECT_TRUE(FixClickToRunRegKeys());
  std::string script = ReadText(ToUtf8(VoGetTempDir()) + "FixOutlookRegKeys.reg");
  EXPECT_EQ(script.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(script.find("[HKEY_CURRENT_USER\\Software\\Classes\\Interface\\{00020300-0000-0000-"
                        "C000-000000000046}]\r\n@=\"IMAPISession\""),
            std::string::npos);
  ASSERT_TRUE(registry.OpenKeyReadOnly(
      u"Software\\Classes\\Interface\\{00020307-0000-0000-C000-000000000046}\\ProxyStubClsid32"));
  EXPECT_EQ(registry.ReadString(u""), u"{4D2F086C-6EA3-101B-A18A-00AA00446E07}");
  ASSERT_TRUE(registry.OpenKeyReadOnly(u"\\Software\\Velmora\\OrbaMAPI\\RegFix"));
  EXPECT_FALSE(FixClickToRunRegKeys());
  EXPECT_TRUE(FixClickToRunRegKeys(true));
}

}  // namespace
}  // namespace orba::test
