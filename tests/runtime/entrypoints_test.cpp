// The bound entry points: lazy binding, decorated names, missing entry points, the
// buffer functions' texts and the Simple MAPI logon and logoff.
#include <filesystem>

#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "runtime/loaderfixture.h"

namespace orba::test {
namespace {

using EntryPointTest = LoaderTest;

TEST_F(EntryPointTest, WithoutLibraryOrEntryPointTheTextNamesWhatIsMissing) {
  EXPECT_MAPI_ERROR(FreeProws(nullptr), E_FAIL, "MAPI hasn't been loaded yet!\r\nYou must first load the MAPI dll.");
  FakeLibrary none(FAKE_NONE);
  Load(none.File());
  EXPECT_MAPI_ERROR(MAPIUninitialize(), E_FAIL, "The loaded MAPI library does not support \"MAPIUninitialize\"!");
  EXPECT_MAPI_ERROR(MAPISendMail(0, 0, nullptr, 0, 0), E_FAIL,
                    "The loaded MAPI library does not support \"MAPISendMail\"!");
}

TEST_F(EntryPointTest, DecoratedNameIsTriedFirstAndBindingsAreForgottenAtUnload) {
  // A copy of the double whose stand-in name becomes the decorated one.
  std::string copy = Home() + "/libdecorated.so";
  std::string image = ReadText(FAKE_DECORATED);
  size_t at = image.find(std::string("FreeProwt04\0", 12));
  ASSERT_NE(at, std::string::npos);
  for (; at != std::string::npos; at = image.find(std::string("FreeProwt04\0", 12), at))
    image.replace(at, 11, "FreeProws@4");
  WriteText(copy, image);
  Load(copy);
  FakeLibrary fake(copy);
  FreeProws(nullptr);
  EXPECT_EQ(fake.Calls("FreeProws@4"), 1);
  EXPECT_EQ(fake.Calls("FreeProws"), 0);
  VoUnloadDLL();
  EXPECT_MAPI_ERROR(FreeProws(nullptr), E_FAIL, "MAPI hasn't been loaded yet!\r\nYou must first load the MAPI dll.");
  // Without the decorated name the plain one is used.
  FakeLibrary plain(FAKE_DECORATED);
  Load(plain.File());
  FreeProws(nullptr);
  EXPECT_EQ(plain.Calls("FreeProws"), 1);
}

TEST_F(EntryPointTest, BufferFunctionsAllocateAndFree) {
  FakeLibrary fake(FAKE_EXTENDED);
  Load(fake.File());
  void* buffer = nullptr;
  fake.Set("alloc.result", static_cast<long>(static_cast<int32_t>(0x8007000E)));
  EXPECT_MAPI_ERROR(MAPIAllocateBuffer(16, &buffer), 0x8007000E, "An error occurred while allocating MAPI memory!");
  fake.Set("more.result", static_cast<long>(static_cast<int32_t>(0x8007000E)));
  EXPECT_MAPI_ERROR(MAPIAllocateMore(16, nullptr, &buffer), 0x8007000E,
                    "An error occurred while allocating more MAPI memory!");
  fake.Set("free.result", static_cast<long>(static_cast<int32_t>(0x80070057)));
  EXPECT_MAPI_ERROR(MAPIFreeBuffer(nullptr), 0x80070057, "An error occurred while freeing a MAPI buffer!");
}

class SimpleLogonTest : public EntryPointTest {
 protected:
  void SetUp() override {
    EntryPointTest::SetUp();
    Load(fake_.File());
    VoMAPIInitialize(false, false, false, false);
  }
  void TearDown() override {
    fake_.Set("logoff.result", 0);
    if (simple_) VoMAPILogoff(0, 0, session_, simple_);
    EntryPointTest::TearDown();
  }
  FakeLibrary fake_{FAKE_SIMPLE};
  ComPtr<IMAPISession> session_;
  LHANDLE simple_ = 0;
};

TEST_F(SimpleLogonTest, RealHandleIsKeptAndLoggedOff) {
  fake_.Set("logon.handle", 77);
  VoMAPILogon(0, u" Profile ", u"", 0, session_, simple_);
  EXPECT_EQ(simple_, 77u);
  EXPECT_EQ(fake_.Text("logon.profile"), "Profile");
  EXPECT_MAPI_ERROR(VoMAPIUninitialize(), E_FAIL,
                    "There are still active MAPI sessions in this thread. You must close these "
                    "sessions first!");
  VoMAPILogoff(0, 0, session_, simple_);
  EXPECT_EQ(simple_, 0u);
  EXPECT_EQ(fake_.Get("logoff.handle"), 77);
  EXPECT_NO_THROW(VoMAPIUninitialize());
}

TEST_F(SimpleLogonTest, SuccessOrFailureWithoutHandleGivesOne) {
  VoMAPILogon(0, u"", u"", 0, session_, simple_);
  EXPECT_EQ(simple_, 1u);
  EXPECT_EQ(fake_.Text("logon.profile"), "<null>");
  VoMAPILogoff(0, 0, session_, simple_);
  EXPECT_EQ(fake_.Calls("MAPILogoff"), 0);
  fake_.Set("logon.result", 2);
  VoMAPILogon(0, u"", u"", 0, session_, simple_);
  EXPECT_EQ(simple_, 1u);
}

TEST_F(SimpleLogonTest, OtherResultsRaiseAndSimpleResultsAreChecked) {
  fake_.Set("logon.result", 3);
  EXPECT_THROW(VoMAPILogon(0, u"", u"", 0, session_, simple_), EMAPI_LOGON_FAILURE);
  EXPECT_EQ(simple_, 0u);
  // MAPI_E_FAILURE passed on without a handle is code 3 with its own text.
  fake_.Set("logon.result", static_cast<long>(0x80004005));
  EXPECT_MAPI_ERROR(VoMAPILogon(0, u"", u"", 0, session_, simple_), 3,
                    "The MAPILogon returned an invalid session handle.\r\nPlease verify your "
                    "account configuration!");
  fake_.Set("send.result", 10);
  EXPECT_THROW(MAPISendMail(0, 0, nullptr, 0, 0), EMAPI_TOO_MANY_RECIPIENTS);
}

TEST_F(EntryPointTest, ExtendedLogonNeedsInitializeAndPassesTextInTheRightWidth) {
  FakeLibrary fake(FAKE_EXTENDED);
  ComPtr<IMAPISession> session;
  LHANDLE simple = 0;
  Load(fake.File());
  EXPECT_MAPI_ERROR(VoMAPILogon(0, u"", u"", 0, session, simple), E_FAIL,
                    "MAPI hasn't been initialized yet!\r\nYou must initialize MAPI before calling "
                    "any MAPI functions.");
  VoMAPIInitialize();
  VoMAPILogon(0, u"Wide", u" secret ", MAPI_UNICODE, session, simple);
  EXPECT_EQ(fake.Text("logon.profile"), "Wide");
  EXPECT_EQ(fake.Text("logon.password"), "secret");
  VoMAPILogoff(0, 0, session, simple);
  VoMAPILogon(0, u"Narrow", u"", 0, session, simple);
  EXPECT_EQ(fake.Text("logon.profile"), "Narrow");
  EXPECT_EQ(fake.Text("logon.password"), "<null>");
  VoMAPILogoff(0, 0, session, simple);
  EXPECT_NO_THROW(VoMAPIUninitialize());
}

}  // namespace
}  // namespace orba::test
