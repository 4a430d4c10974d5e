#include "orba/common/elf.h"

#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/mapierror.h"
#include "orba/common/oserror.h"
#include "temphome.h"

namespace orba {
namespace {

using test::CodeOf;

const WideString kLib = FromUtf8(ORBA_TEST_EXPORTS_LIB);

std::vector<uint8_t> LibBytes() {
  std::string text = test::ReadText(ORBA_TEST_EXPORTS_LIB);
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(Elf, ListsExportedFunctionsOnly) {
  std::vector<WideString> names = VoGetExportedFunctionNames(kLib);
  auto has = [&](const char16_t* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
  EXPECT_TRUE(has(u"OrbaTestAnswer"));
  EXPECT_TRUE(has(u"OrbaTestWeak"));
  EXPECT_FALSE(has(u"OrbaTestHidden"));  // hidden
  EXPECT_FALSE(has(u"OrbaTestData"));    // not a function
  EXPECT_FALSE(has(u"strlen"));          // imported, not defined
  EXPECT_EQ(VoElfExportedFunctionNames(LibBytes()), names);
}

TEST(Elf, RejectsFilesThatAreNotElf) {
  TVoTempFolder folder;
  std::string file = ToUtf8(folder.Path()) + "/text.so";
  test::WriteText(file, "just some text, long enough to look like a header");
  EXPECT_EQ(CodeOf([&] { VoFileBitness(FromUtf8(file)); }), ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(CodeOf([&] { VoFileBitness(FromUtf8(file + "x")); }), ERROR_FILE_NOT_FOUND);
  EXPECT_RAISES(VoGetExportedFunctionNames(FromUtf8(file)), EVoOSError, ERROR_BAD_EXE_FORMAT,
                FromUtf8(file) + u" is not a valid ELF file: the ELF signature is missing");
}

TEST(Elf, RejectsTruncationsAndOutOfRangeOffsets) {
  std::vector<uint8_t> bytes = LibBytes();
  size_t failures = 0;
  for (size_t size = 0; size < bytes.size(); size += 97) {
    std::span<const uint8_t> part(bytes.data(), size);
    try {
      VoElfExportedFunctionNames(part);
    } catch (const EVoOSError& e) {
      EXPECT_EQ(e.Code(), ERROR_BAD_EXE_FORMAT);
      ++failures;
    }
  }
  EXPECT_GT(failures, 0u);
  ASSERT_EQ(bytes[EI_CLASS], ELFCLASS64);
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof header);
  std::vector<uint8_t> corrupt = bytes;
  header.e_shoff = ~uint64_t{0} - 8;  // overflows when added to
  std::memcpy(corrupt.data(), &header, sizeof header);
  EXPECT_EQ(CodeOf([&] { VoElfExportedFunctionNames(corrupt); }), ERROR_BAD_EXE_FORMAT);

  // Point every section's offset past the end of the file.
  std::memcpy(&header, bytes.data(), sizeof header);
  corrupt = bytes;
  for (size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    uint8_t* at = corrupt.data() + header.e_shoff + i * sizeof section;
    std::memcpy(&section, at, sizeof section);
    section.sh_offset = bytes.size() + 1;
    std::memcpy(at, &section, sizeof section);
  }
  EXPECT_EQ(CodeOf([&] { VoElfExportedFunctionNames(corrupt); }), ERROR_BAD_EXE_FORMAT);
}

}  // namespace
}  // namespace orba
