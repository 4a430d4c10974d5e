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

// Figures olefile gave once, kept so that the test holds where Python is missing.
TEST(Corpus, KnownFigures) {
  struct Expected {
    const char* file;
    size_t streams, storages, bytes;
    const char* largest;
    size_t largestSize;
  };
  const Expected expected[] = {
      {"longerFat.msg", 60, 4, 100008,
       "__attach_version1.0_#00000000/__substg1.0_3701000D/__attach_version1.0_#00000000/__substg1.0_37010102", 65536},
      {"Outer mail.msg", 85, 7, 109116, "__attach_version1.0_#00000001/__substg1.0_37010102", 16042},
      {"A memo.msg", 35, 1, 2065, "__properties_version1.0", 832},
      {"Hello +CJK.msg", 30, 1, 14060, "__substg1.0_10090102", 9330},
  };
  for (const Expected& e : expected) {
    auto root = OpenFile(std::string(ORBA_TEST_DATA_DIR "/msg/") + e.file);
    ASSERT_TRUE(root);
    size_t streams = 0, storages = 0, bytes = 0, largestSize = 0;
    std::string largest;
    for (const std::string& line : Listing(root.get())) {
      size_t tab = line.find('\t');
      if (line.substr(tab + 1) == "storage") {
        ++storages;
        continue;
      }
      ++streams;
      size_t size = std::stoul(line.substr(tab + 1));
      bytes += size;
      if (size > largestSize) largestSize = size, largest = line.substr(0, tab);
    }
    EXPECT_EQ(streams, e.streams) << e.file;
    EXPECT_EQ(storages, e.storages) << e.file;
    EXPECT_EQ(bytes, e.bytes) << e.file;
    EXPECT_EQ(largest, e.largest) << e.file;
    EXPECT_EQ(largestSize, e.largestSize) << e.file;
  }
}

// A corpus file opened for writing and changed in a transaction, then committed, still
// reads the same everywhere it was not changed.
TEST(Corpus, ChangedInPlace) {
  std::string file = std::string(ORBA_TEST_DATA_DIR "/msg/msgInMsg.msg");
  auto original = Listing(OpenFile(file).get());
  std::ifstream in(file, std::ios::binary);
  auto memory = std::make_shared<TVoMemoryStream>(
      TVoBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  ComPtr<IStorage> root;
  ASSERT_EQ(StgOpenStorageOnILockBytes(VoCreateLockBytes(memory).get(), nullptr, kRW | STGM_TRANSACTED, nullptr, 0,
                                       root.Out()),
            S_OK);
  PutStream(root.get(), u"__substg1.0_1000001F", Pattern(20000, 1));
  ASSERT_EQ(root->Commit(0), S_OK);
  root = nullptr;
  auto changed = Listing(OpenBytes(memory->Bytes(), kRO).get());
  std::string body = "__substg1.0_1000001F\t20000\t" + ToUtf8(VoHashBufferHex(Pattern(20000, 1).data(), 20000));
  std::erase_if(original, [](const std::string& l) { return l.starts_with("__substg1.0_1000001F\t"); });
  original.push_back(body);
  std::sort(original.begin(), original.end());
  EXPECT_EQ(changed, original);
}

}  // namespace
}  // namespace orba::test
