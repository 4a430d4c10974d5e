// The loader's state machine: loading, unloading, per-thread initialisation, logon
// counting and the clean-up callbacks.
#include <future>
#include <thread>
#include <vector>

#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "runtime/loaderfixture.h"

namespace orba::test {
namespace {

class LoaderStateTest : public LoaderTest {
 protected:
  FakeLibrary ext_{FAKE_EXTENDED};
  FakeLibrary simple_{FAKE_SIMPLE};
};

TEST_F(LoaderStateTest, SimpleLibraryIsNotExtended) {
  WideString name = simple_.Path();
  bool extended = true;
  VoLoadMAPIDLL(name, extended);
  EXPECT_FALSE(extended);
}

TEST_F(LoaderStateTest, LoadsOnceAndRefusesAnotherFile) {
  WideString name = u"  " + ext_.Path() + u" ";
  bool extended = false;
  VoLoadMAPIDLL(name, extended);
  EXPECT_TRUE(extended);
  EXPECT_EQ(name, ext_.Path());
  extended = false;
  VoLoadMAPIDLL(name, extended);  // the same file again: nothing to do
  EXPECT_TRUE(extended);
  name = simple_.Path();
  EXPECT_MAPI_ERROR(VoLoadMAPIDLL(name, extended), E_FAIL,
                    "Failed to load (" + simple_.File() + ")! You must first unload " + ext_.File() + ".");
  EXPECT_EQ(VoCurrentMAPIDllFileName(), ext_.Path());
}

TEST_F(LoaderStateTest, MissingFileOrNoLibraryIsRefused) {
  WideString name = FromUtf8(Home() + "/nothing.so");
  bool extended = false;
  EXPECT_MAPI_ERROR(VoLoadMAPIDLL(name, extended), E_INVALIDARG,
                    "Failed to load the given MAPI dll (" + Home() + "/nothing.so)!\r\nThe file does not exist.");
  WriteText(Home() + "/broken.so", "not a library");
  name = FromUtf8(Home() + "/broken.so");
  EXPECT_MAPI_ERROR(VoLoadMAPIDLL(name, extended), E_FAIL,
                    "Failed to load the MAPI DLL (" + Home() +
                        "/broken.so)!\r\nCheck if the the Microsoft Visual C++ Redistributable is installed "
                        "(VC_redist.x64.exe/VC_redist.x86.exe), install the latest version if this is not the "
                        "case.\r\nIn some cases it may be necessary to repair the Outlook installation.");
  EXPECT_EQ(VoMAPIModule(), nullptr);
}

TEST_F(LoaderStateTest, EmptyNameAndInitializeLoadTheDefaultClient) {
  DefaultClient("Fake", ext_.File());
  WideString name;
  bool extended = false;
  VoLoadMAPIDLL(name, extended);
  EXPECT_EQ(name, u"MAPI32.dll");
  EXPECT_TRUE(extended);
  VoUnloadDLL();
  VoMAPIInitialize();
  EXPECT_EQ(ext_.Calls("MAPIInitialize"), 1);
  EXPECT_EQ(ext_.Get("init.flags"), -1);  // no MAPIINIT_0 without flags
  VoMAPIUninitialize();
  EXPECT_FALSE(VoMAPIInitialized());
}

TEST_F(LoaderStateTest, InitializeWithExtendedMAPIUnloadsASimpleLibrary) {
  DefaultClient("Simple", simple_.File());
  EXPECT_MAPI_ERROR(VoMAPIInitialize(), E_FAIL, "MAPI hasn't been loaded yet!\r\nYou must first load the MAPI dll.");
  EXPECT_EQ(VoMAPIModule(), nullptr);
}

TEST_F(LoaderStateTest, InitializeFlagsReachMAPIInitializeAndASecondCallWithThemDoesNothing) {
  Load(ext_.File());
  VoMAPIInitialize(true, true, true, true);
  EXPECT_EQ(ext_.Get("init.flags"), 1);
  VoMAPIUninitialize();
  VoMAPIInitialize(false, false, true, true);
  EXPECT_EQ(ext_.Get("init.flags"), 8);
  VoMAPIUninitialize();
  VoMAPIInitialize();
  VoMAPIInitialize();  // the same flags again: nothing to do
  EXPECT_EQ(ext_.Calls("MAPIInitialize"), 3);
  VoMAPIUninitialize();
  // Counted once: the library can be unloaded now.
  EXPECT_NO_THROW(VoUnloadDLL());
}

TEST_F(LoaderStateTest, SecondInitializeWithOtherFlagsInitializesAgain) {
  Load(ext_.File(), true);
  VoMAPIInitialize();
  VoMAPIInitialize(true);
  EXPECT_EQ(ext_.Calls("MAPIInitialize"), 2);
  EXPECT_EQ(ext_.Calls("MAPIUninitialize"), 1);
  EXPECT_EQ(ext_.Get("init.flags"), 1);
  // Re-initialising does not unload the library, even with UnloadOnUninit.
  EXPECT_NE(VoMAPIModule(), nullptr);
  VoMAPIUninitialize();
  EXPECT_EQ(VoMAPIModule(), nullptr);
}

TEST_F(LoaderStateTest, UnloadWhileThisOrAnotherThreadIsInitializedIsRefused) {
  Load(ext_.File());
  const std::string refused = "MAPI is still initialized!\r\nYou must first unitialize MAPI on all threads!";
  VoMAPIInitialize();
  EXPECT_MAPI_ERROR(VoUnloadDLL(), E_FAIL, refused);
  EXPECT_NE(VoMAPIModule(), nullptr);
  VoMAPIUninitialize();
  std::promise<void> initialised, checked;
  std::thread other([&] {
    VoMAPIInitialize();
    initialised.set_value();
    checked.get_future().wait();
    VoMAPIUninitialize();
  });
  initialised.get_future().wait();
  EXPECT_FALSE(VoMAPIInitialized());  // initialisation is per thread
  EXPECT_MAPI_ERROR(VoUnloadDLL(), E_FAIL, refused);
  checked.set_value();
  other.join();
  EXPECT_NO_THROW(VoUnloadDLL());
}

TEST_F(LoaderStateTest, UnloadOnUninitOrForceUnloadUnloadsWithTheLastThread) {
  for (bool unloadOnUninit : {true, false}) {
    Load(ext_.File(), unloadOnUninit);
    VoMAPIInitialize();
    VoMAPIUninitialize(!unloadOnUninit);
    EXPECT_EQ(VoMAPIModule(), nullptr);
    EXPECT_EQ(VoCurrentMAPIDllFileName(), u"");
  }
}

TEST_F(LoaderStateTest, DisableUninitializeSkipsMAPIUninitializeOnceOnTheMainThreadOnly) {
  Load(ext_.File());
  VoMAPIInitialize();
  VoDisableMAPIUnitialize();
  VoMAPIUninitialize();
  EXPECT_EQ(ext_.Calls("MAPIUninitialize"), 0);
  VoMAPIInitialize();
  VoMAPIUninitialize();
  EXPECT_EQ(ext_.Calls("MAPIUninitialize"), 1);
  bool raised = false;
  std::thread([&] {
    try {
      VoDisableMAPIUnitialize();
    } catch (const EVoMAPIException&) {
      raised = true;
    }
  }).join();
  EXPECT_TRUE(raised);
}

std::vector<int> gCalls;
void First() { gCalls.push_back(1); }
void Second() { gCalls.push_back(2); }

TEST_F(LoaderStateTest, CallbacksRunInRegistrationOrderOnce) {
  gCalls.clear();
  Load(ext_.File());
  VoRegisterOnUninit(Second);
  VoRegisterOnUninit(First);
  VoRegisterOnUninit(Second);
  VoRegisterOnUnload(First);
  VoRegisterOnUnload(Second);
  VoRegisterOnUnload(First);
  VoMAPIInitialize();
  VoMAPIUninitialize();
  EXPECT_EQ(gCalls, (std::vector<int>{2, 1}));
  VoUnloadDLL();
  EXPECT_EQ(gCalls, (std::vector<int>{2, 1, 1, 2}));
  VoUnRegisterOnUninit(First);
  VoUnRegisterOnUninit(Second);
  VoUnRegisterOnUnload(First);
  VoUnRegisterOnUnload(Second);
  VoUnloadDLL();
  EXPECT_EQ(gCalls.size(), 4u);
}

struct InitResult {
  uint32_t Code;
  const char* Text;
};

class InitializeResultTest : public LoaderStateTest, public ::testing::WithParamInterface<InitResult> {};

TEST_P(InitializeResultTest, ResultBecomesItsText) {
  Load(ext_.File());
  ext_.Set("init.result", static_cast<long>(static_cast<int32_t>(GetParam().Code)));
  EXPECT_MAPI_ERROR(VoMAPIInitialize(), GetParam().Code,
                    std::string(GetParam().Text) + (GetParam().Code == 0x80004005 ? ext_.File() : ""));
  EXPECT_FALSE(VoMAPIInitialized());
  EXPECT_NO_THROW(VoUnloadDLL());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InitializeResultTest,
    ::testing::Values(InitResult{0x80070057, "VoLoadMAPI failed!\r\nThe Caller passed an invalid parameter or flag."},
                      InitResult{0x80040117,
                                 "VoLoadMAPI failed!\r\n(Windows NT only) The calling process is an NT service "
                                 "and registry keys required by MAPI could not be initialized.\r\nAdditional "
                                 "information may be available in the application event log."},
                      InitResult{0x80040110,
                                 "VoLoadMAPI failed!\r\nThe version of OLE installed on the workstation is not "
                                 "compatible with this version of MAPI."},
                      InitResult{0x80040112,
                                 "VoLoadMAPI failed!\r\nMAPI sets up context specific to the current "
                                 "process.\r\nFailures may occur on Win16 if the number of processes exceeds a "
                                 "certain number, or on any system if available memory is exhausted."},
                      InitResult{0x8004010E,
                                 "VoLoadMAPI failed!\r\nNot enough system resources were available to complete "
                                 "the operation."},
                      InitResult{0x80040108, "VoLoadMAPI failed!\r\nCheck if system resources are exhausted."},
                      InitResult{0x80040605, "VoLoadMAPI failed!\r\nThe profile provider has encountered an error."},
                      InitResult{0x80004005,
                                 "There is no MAPI Client Library (like MS Outlook) installed, or it is not the "
                                 "default MAPI client!\r\nThe loaded dll is: "}));

TEST_F(LoaderStateTest, OtherInitializeResultsGoToCheckMAPIResult) {
  Load(ext_.File());
  ext_.Set("init.result", static_cast<long>(static_cast<int32_t>(0x8004010F)));
  try {
    VoMAPIInitialize();
    ADD_FAILURE() << "no exception";
  } catch (const EMAPI_NOT_FOUND& e) {
    EXPECT_EQ(ToUtf8(e.Message()).rfind("uVoMAPILib.VoInitializeMAPI", 0), 0u) << e.what();
  }
}

TEST_F(LoaderStateTest, FailureInsideMAPIInitializeIsExplained) {
  Load(ext_.File());
  ext_.Set("init.throw", 1);
  try {
    VoMAPIInitialize();
    ADD_FAILURE() << "no exception";
  } catch (const EVoMAPIException& e) {
    std::string text = ToUtf8(e.Message());
    EXPECT_EQ(text.rfind("The MAPIInitialize call failed!\r\nthe client library failed\r\nCheck the "
                         "\"DLLPathEx\" key in \"[HKLM]\\Software\\Clients\\Mail\\Microsoft "
                         "Outlook\"!\r\nThe MAPIInitialize can fail if this key is missing or when "
                         "it creates a reference to a non-existing dll.\r\n\r\n",
                         0),
              0u)
        << text;
  }
  EXPECT_FALSE(VoMAPIInitialized());
}

}  // namespace
}  // namespace orba::test
