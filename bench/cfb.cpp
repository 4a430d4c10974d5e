// Opens every file of the .msg corpus as a compound file and reads every stream, against
// a plain read of the same files' bytes. Counters: "ratio" = compound-file time / plain
// read time, "files_per_s" for the compound-file pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "orba/common/storage.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

constexpr DWORD kRO = STGM_READ | STGM_SHARE_EXCLUSIVE;

std::vector<std::filesystem::path> CorpusFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(ORBA_BENCH_DATA_DIR "/msg"))
    if (entry.path().extension() == ".msg") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Bytes read from every stream beneath storage.
uint64_t ReadStreams(IStorage* storage, std::vector<uint8_t>& buffer) {
  uint64_t total = 0;
  ComPtr<IEnumSTATSTG> elements;
  if (FAILED(storage->EnumElements(0, nullptr, 0, elements.Out()))) return 0;
  for (STATSTG stat; elements->Next(1, &stat, nullptr) == S_OK; CoTaskMemFree(stat.pwcsName)) {
    if (stat.type == STGTY_STORAGE) {
      ComPtr<IStorage> child;
      if (SUCCEEDED(storage->OpenStorage(stat.pwcsName, nullptr, kRO, nullptr, 0, child.Out())))
        total += ReadStreams(child.get(), buffer);
      continue;
    }
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(stat.pwcsName, nullptr, kRO, 0, stream.Out()))) continue;
    for (ULONG got = 0; stream->Read(buffer.data(), ULONG(buffer.size()), &got) == S_OK && got > 0;) total += got;
  }
  return total;
}

template <class F>
double Seconds(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CompoundFileRead(benchmark::State& state) {
  std::vector<std::filesystem::path> files = CorpusFiles();
  std::vector<std::u16string> names;
  for (const auto& f : files) names.push_back(FromUtf8(f.string()));
  std::vector<uint8_t> buffer(64 * 1024);
  constexpr int kRounds = 20;
  for (auto _ : state) {
    uint64_t streamBytes = 0, fileBytes = 0;
    bool failed = false;
    double compound = Seconds([&] {
      for (int round = 0; round < kRounds; ++round)
        for (const auto& name : names) {
          ComPtr<IStorage> root;
          failed |= FAILED(StgOpenStorage(name.c_str(), nullptr, kRO, nullptr, 0, root.Out()));
          if (root) streamBytes += ReadStreams(root.get(), buffer);
        }
    });
    double plain = Seconds([&] {
      for (int round = 0; round < kRounds; ++round)
        for (const auto& file : files) {
          std::ifstream in(file, std::ios::binary);
          while (in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size())) || in.gcount() > 0)
            fileBytes += uint64_t(in.gcount());
        }
    });
    if (failed || streamBytes == 0 || fileBytes == 0) state.SkipWithError("a corpus file did not read");
    state.SetIterationTime(compound);
    state.counters["ratio"] = compound / plain;
    state.counters["files_per_s"] = double(kRounds * files.size()) / compound;
    state.counters["plain_files_per_s"] = double(kRounds * files.size()) / plain;
  }
}
BENCHMARK(BM_CompoundFileRead)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orba
