// Decompressing the corpus's compressed RTF bodies and de-encapsulating the HTML of
// those that carry it, against a plain copy of the same RTF bytes. Counters: "ratio" = decode time / copy time,
// "MB_per_s" = megabytes of RTF produced per second by the decode pass, and
// "decompress_MB_per_s" for decompression alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "orba/common/bodies/compressedrtf.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/bodies/rtfreader.h"

namespace orba {
namespace {

std::vector<std::string> CompressedBodies() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(ORBA_BENCH_DATA_DIR "/rtf"))
    if (entry.path().extension() == ".lzfu") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> streams;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    streams.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return streams;
}

template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DecompressAndDecapsulate(benchmark::State& state) {
  const std::vector<std::string> streams = CompressedBodies();
  std::vector<TVoBytes> rtfs;
  size_t rtfBytes = 0, encapsulated = 0;
  for (const auto& s : streams) {
    const TVoBytes& rtf = rtfs.emplace_back(VoDecompressRTF(s.data(), s.size()));
    rtfBytes += rtf.size();
    encapsulated += VoRTFIsHTMLEncapsulated(std::string_view(reinterpret_cast<const char*>(rtf.data()), rtf.size()));
  }
  if (streams.empty() || encapsulated == 0) state.SkipWithError("no compressed RTF bodies found");
  constexpr int kRounds = 20;
  double copy = 0, decompress = 0, decapsulate = 0;
  for (auto _ : state) {
    std::vector<uint8_t> buffer(rtfBytes);
    copy += Seconds([&] {
      for (int r = 0; r < kRounds; ++r) {
        size_t at = 0;
        for (const auto& rtf : rtfs) {
          std::memcpy(buffer.data() + at, rtf.data(), rtf.size());
          at += rtf.size();
        }
        benchmark::DoNotOptimize(buffer.data());
      }
    });
    double iteration = 0;
    for (int r = 0; r < kRounds; ++r)
      for (const auto& s : streams) {
        TVoBytes rtf;
        const double d = Seconds([&] { rtf = VoDecompressRTF(s.data(), s.size()); });
        const double h = Seconds([&] {
          auto html = VoDecapsulateHTML(std::string_view(reinterpret_cast<const char*>(rtf.data()), rtf.size()));
          benchmark::DoNotOptimize(html);
        });
        decompress += d;
        decapsulate += h;
        iteration += d + h;
      }
    state.SetIterationTime(iteration);
  }
  const double megabytes = double(rtfBytes) * kRounds * double(state.iterations()) / 1e6;
  state.counters["ratio"] = (decompress + decapsulate) / copy;
  state.counters["MB_per_s"] = megabytes / (decompress + decapsulate);
  state.counters["decompress_MB_per_s"] = megabytes / decompress;
  state.counters["bodies"] = double(streams.size());
}
BENCHMARK(BM_DecompressAndDecapsulate)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orba
