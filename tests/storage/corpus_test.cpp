// The .msg corpus: every file opens, and every storage and stream reads as Python's
// olefile reads it.
#include <filesystem>
#include <fstream>

#include "storagetest.h"

namespace orba::test {
namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(ORBA_TEST_DATA_DIR "/msg"))
    if (entry.path().extension() == ".msg") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

ComPtr<IStorage> OpenFile(const std::string& file) {
  ComPtr<IStorage> root;
  EXPECT_EQ(StgOpenStorage(FromUtf8(file).c_str(), nullptr, kRO, nullptr, 0, root.Out()), S_OK) << file;
  return root;
}

TEST(Corpus, EveryFileReadsAsOlefileReadsIt) {
  std::vector<std::string> files = CorpusFiles();
  ASSERT_GE(files.size(), 30u);
  auto theirs = OlefileListings(files);
  for (size_t i = 0; i < files.size(); ++i) {
    auto root = OpenFile(files[i]);
    ASSERT_TRUE(root);
    EXPECT_EQ(Listing(root.get()), theirs[i]) << files[i];
  }
}

// A real file changed in place in a transaction: until the commit the file reads as it
// was, whatever was written; afterwards it has the changes and nothing else changed.
TEST(Corpus, ChangedInPlaceInATransaction) {
  std::string file = ORBA_TEST_DATA_DIR "/msg/msgInMsg.msg";
  auto original = Listing(OpenFile(file).get());
  std::ifstream in(file, std::ios::binary);
  TVoBytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto memory = std::make_shared<TVoMemoryStream>(bytes);
  ComPtr<IStorage> root;
  ASSERT_EQ(StgOpenStorageOnILockBytes(VoCreateLockBytes(memory).get(), nullptr, kRW | STGM_TRANSACTED, nullptr, 0,
                                       root.Out()),
            S_OK);
  const char16_t* body = u"__substg1.0_1000001F";
  PutStream(root.get(), body, Pattern(20000, 1));
  ASSERT_EQ(root->DestroyElement(u"__properties_version1.0"), S_OK);
  EXPECT_EQ(Listing(OpenBytes(memory->Bytes(), kRO).get()), original);
  ASSERT_EQ(root->Commit(0), S_OK);
  std::erase_if(original, [](const std::string& l) {
    return l.starts_with("__substg1.0_1000001F\t") || l.starts_with("__properties_version1.0\t");
  });
  original.push_back("__substg1.0_1000001F\t20000\t" + ToUtf8(VoHashBufferHex(Pattern(20000, 1).data(), 20000)));
  std::sort(original.begin(), original.end());
  EXPECT_EQ(Listing(OpenBytes(memory->Bytes(), kRO).get()), original);
}

}  // namespace
}  // namespace orba::test
