// A 100 MB stream passes through a compound file without being held in memory: the
// process's peak resident size stays within 64 MB of what it was before.
#include <fstream>
#include <string>

#include "orba/common/files.h"
#include "storagetest.h"

namespace orba::test {
namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
  return -1;
}

uint64_t Fill(TVoBytes& chunk, uint64_t index) {
  uint64_t sum = 0;
  for (size_t i = 0; i < chunk.size(); ++i) sum += chunk[i] = uint8_t((i * 31 + index * 7) >> 3);
  return sum;
}

TEST(Memory, HundredMegabyteStreamIsStreamed) {
  constexpr size_t kChunk = 1 << 20, kChunks = 100;
  TVoTempFolder folder;
  WideString name = folder.Path() + u"/large.msg";
  TVoBytes chunk(kChunk);
  // Resets the peak to the current size, so that the peak measures this test alone.
  std::ofstream("/proc/self/clear_refs") << "5";
  long baseline = StatusKb("VmRSS");
  ASSERT_GT(baseline, 0);
  uint64_t written = 0, read = 0;
  for (DWORD mode : {kRW, kRW | STGM_TRANSACTED}) {
    {
      ComPtr<IStorage> root;
      ASSERT_EQ(StgCreateDocfile(name.c_str(), mode | STGM_CREATE, 0, root.Out()), S_OK);
      ComPtr<IStream> stream;
      ASSERT_EQ(root->CreateStream(u"__substg1.0_37010102", kRW, 0, 0, stream.Out()), S_OK);
      for (size_t i = 0; i < kChunks; ++i) {
        written += Fill(chunk, i);
        ASSERT_EQ(stream->Write(chunk.data(), kChunk, nullptr), S_OK);
      }
      ASSERT_EQ(root->Commit(0), S_OK);
    }
    ComPtr<IStorage> root;
    ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, kRO, nullptr, 0, root.Out()), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(root->OpenStream(u"__substg1.0_37010102", nullptr, kRO, 0, stream.Out()), S_OK);
    for (ULONG got = 0; stream->Read(chunk.data(), kChunk, &got) == S_OK && got > 0;)
      for (ULONG i = 0; i < got; ++i) read += chunk[i];
  }
  EXPECT_EQ(read, written);
  long peak = StatusKb("VmHWM");
  RecordProperty("peak_over_baseline_kib", std::to_string(peak - baseline));
  EXPECT_LT(peak - baseline, 64 * 1024) << "peak " << peak << " KiB, baseline " << baseline << " KiB";
}

}  // namespace
}  // namespace orba::test
