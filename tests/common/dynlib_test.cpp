#include "orba/common/dynlib.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "orba/common/oserror.h"
#include "temphome.h"

namespace orba {
namespace {

const WideString kLib = FromUtf8(ORBA_TEST_EXPORTS_LIB);

int32_t LoadError(const WideString& name) {
  try {
    VoFreeLibrary(VoLoadLibrary(name));
  } catch (const EVoOSError& e) {
    return e.Code();
  }
  return 0;
}

int CallAnswer(TVoLibHandle lib) {
  auto answer = reinterpret_cast<int (*)()>(VoGetProcAddress(lib, "OrbaTestAnswer"));
  return answer ? answer() : -1;
}

TEST(DynLib, LoadsByPathOrBareNameBindsAndFrees) {
  TVoLibHandle lib = VoLoadLibrary(kLib);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(CallAnswer(lib), 42);
  EXPECT_EQ(VoGetProcAddress(lib, "NoSuchFunction"), nullptr);
  VoFreeLibrary(lib);
  EXPECT_THROW(VoFreeLibrary(nullptr), EVoOSError);
  // A bare name is found next to the library.
  EXPECT_EQ(ExtractFilePath(kLib), VoModuleFolder());
  lib = VoLoadLibrary(ExtractFileName(kLib));
  EXPECT_EQ(CallAnswer(lib), 42);
  VoFreeLibrary(lib);
}

TEST(DynLib, TellsFailuresApart) {
  TVoTempFolder folder;
  std::string dir = ToUtf8(folder.Path());
  EXPECT_EQ(LoadError(FromUtf8(dir + "/missing.so")), ERROR_MOD_NOT_FOUND);
  test::WriteText(dir + "/text.so", "not a library at all, but long enough to be read as one");
  EXPECT_EQ(LoadError(FromUtf8(dir + "/text.so")), ERROR_BAD_EXE_FORMAT);
  if (geteuid() != 0) {  // root may read anything
    test::WriteText(dir + "/locked.so", test::ReadText(ORBA_TEST_EXPORTS_LIB));
    chmod((dir + "/locked.so").c_str(), 0);
    EXPECT_EQ(LoadError(FromUtf8(dir + "/locked.so")), ERROR_ACCESS_DENIED);
  }
}

}  // namespace
}  // namespace orba
