// Decompressing the corpus's compressed RTF bodies and de-encapsulating the HTML of
// those that carry it, against a plain copy of the same RTF bytes, in thread CPU time
// (other processes on the machine do not count). Counters: "ratio" = (decompression +
// de-encapsulation) / copy; "MB_per_s" = megabytes of RTF decompressed and
// de-encapsulated per second; "decompress_MB_per_s" and "decapsulate_MB_per_s" for each
// pass alone.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
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
double CpuSeconds(F&& f) {
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  };
  const double start = now();
  f();
  return now() - start;
}

std::string_view Text(const TVoBytes& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

void BM_DecompressAndDecapsulate(benchmark::State& state) {
  const std::vector<std::string> streams = CompressedBodies();
  std::vector<TVoBytes> rtfs;
  size_t rtfBytes = 0, encapsulated = 0;
  for (const auto& s : streams) {
    const TVoBytes& rtf = rtfs.emplace_back(VoDecompressRTF(s.data(), s.size()));
    rtfBytes += rtf.size();
    encapsulated += VoRTFIsHTMLEncapsulated(Text(rtf));
  }
  if (streams.empty() || encapsulated == 0) state.SkipWithError("no compressed RTF bodies found");
  // The copy is so fast that it runs many more rounds, for a time long enough to measure.
  constexpr int kRounds = 20, kCopyRounds = 50 * kRounds;
  std::vector<uint8_t> buffer(rtfBytes);
  double copy = 0, decompress = 0, decapsulate = 0;
  for (auto _ : state) {
    copy += CpuSeconds([&] {
              for (int r = 0; r < kCopyRounds; ++r) {
                uint8_t* at = buffer.data();
                for (const auto& rtf : rtfs) at = std::copy(rtf.begin(), rtf.end(), at);
                benchmark::ClobberMemory();
              }
            }) /
            (kCopyRounds / kRounds);
    const double d = CpuSeconds([&] {
      for (int r = 0; r < kRounds; ++r)
        for (const auto& s : streams) benchmark::DoNotOptimize(VoDecompressRTF(s.data(), s.size()));
    });
    const double h = CpuSeconds([&] {
      for (int r = 0; r < kRounds; ++r)
        for (const auto& rtf : rtfs) benchmark::DoNotOptimize(VoDecapsulateHTML(Text(rtf)));
    });
    decompress += d;
    decapsulate += h;
    state.SetIterationTime(d + h);
  }
  const double megabytes = double(rtfBytes) * kRounds * double(state.iterations()) / 1e6;
  state.counters["ratio"] = (decompress + decapsulate) / copy;
  state.counters["MB_per_s"] = megabytes / (decompress + decapsulate);
  state.counters["decompress_MB_per_s"] = megabytes / decompress;
  state.counters["decapsulate_MB_per_s"] = megabytes / decapsulate;
  state.counters["bodies"] = double(streams.size());
}
BENCHMARK(BM_DecompressAndDecapsulate)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orba
