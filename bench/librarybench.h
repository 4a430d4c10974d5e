// What the library's benchmarks share: a session of Orba Store on a personal store in a
// temporary ORBA_HOME, and the comparison of the library's way with raw MAPI calls.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "orba/VoMAPIBuffer.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoOrbaMAPI.h"

namespace orba::bench {

inline void Check(HRESULT hr, const char* what) {
  if (hr != S_OK) throw std::runtime_error(std::string(what) + " failed");
}

// The thread's CPU time in seconds.
inline double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A session logged on to the profile "Bench" with a personal store, in a temporary
// ORBA_HOME made in ORBA_BENCH_DIR (default: the system's temporary folder) and removed
// at the end.
struct TBenchSession {
  std::filesystem::path home;
  ComPtr<TSession> session = MakeComObject<TSession>();

  explicit TBenchSession(const char* Prefix) {
    const char* base = std::getenv("ORBA_BENCH_DIR");
    std::string pattern =
        ((base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) / Prefix).string() + "-XXXXXX";
    home = mkdtemp(pattern.data());
    setenv("ORBA_HOME", home.c_str(), 1);
    WideString library;
    bool16 extended;
    session->MAPILoad(library, extended);
    session->MAPIInitialize();
    CreateProfile();
    session->Logon();
  }
  ~TBenchSession() {
    session->Logoff();
    session = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }

 private:
  void CreateProfile() {
    auto text = [](const char* value) { return const_cast<char*>(value); };
    ComPtr<IProfAdmin> admin;
    Check(MAPIAdminProfiles(0, admin.Out()), "MAPIAdminProfiles");
    Check(admin->CreateProfile(text("Bench"), nullptr, 0, 0), "CreateProfile");
    Check(admin->SetDefaultProfile(text("Bench"), 0), "SetDefaultProfile");
    ComPtr<IMsgServiceAdmin> services;
    Check(admin->AdminServices(text("Bench"), nullptr, 0, 0, services.Out()), "AdminServices");
    Check(services->CreateMsgService(text("MSPST MS"), text("Bench"), 0, 0), "CreateMsgService");
    ComPtr<IMAPITable> table;
    Check(services->GetMsgServiceTable(0, table.Out()), "GetMsgServiceTable");
    SizedSPropTagArray<1> columns{1, {GetPropTag(PR_SERVICE_UID)}};
    TVoMAPIRows rows;
    Check(HrQueryAllRows(table.get(), columns.Ptr(), nullptr, nullptr, 0, rows.Out()), "HrQueryAllRows");
    MAPIUID uid = EntryIDToUID(BinToEntryID(LONG(rows[0].lpProps[0].Value.bin.cb), rows[0].lpProps[0].Value.bin.lpb));
    std::string path = (home / "bench.pst").string();
    SPropValue file{};
    file.ulPropTag = GetPropTag(PR_PST_PATH_A);
    file.Value.lpszA = path.data();
    Check(services->ConfigureMsgService(&uid, 0, 0, 1, &file), "ConfigureMsgService");
  }
};

// Runs the library's way and the raw way once to warm up, then Runs times each per
// iteration, taking turns at
// going first (so that neither always finds the caches the other warmed), and reports
// their CPU times per iteration ("library_ms", "raw_ms") and "ratio", library / raw.
// Same checks that both did the whole work.
template <class Result>
void Compare(benchmark::State& State, int Runs, const std::function<Result()>& Library,
             const std::function<Result()>& Raw, const std::function<bool(const Result&, const Result&)>& Same) {
  double library = 0, raw = 0;
  auto timed = [&](double& total, const std::function<Result()>& run) {
    Result result{};
    const double start = CpuNow();
    for (int i = 0; i < Runs; ++i) result = run();
    total += CpuNow() - start;
    return result;
  };
  Library(), Raw();  // both ways start with the store's pages in memory
  bool libraryFirst = true;
  for (auto _ : State) {
    Result a{}, b{};
    if (libraryFirst) {
      a = timed(library, Library);
      b = timed(raw, Raw);
    } else {
      b = timed(raw, Raw);
      a = timed(library, Library);
    }
    libraryFirst = !libraryFirst;
    if (!Same(a, b)) State.SkipWithError("the two ways did not do the same work");
  }
  auto perIteration = [&](double seconds) { return seconds * 1000 / static_cast<double>(State.iterations()); };
  State.counters["library_ms"] = perIteration(library);
  State.counters["raw_ms"] = perIteration(raw);
  State.counters["ratio"] = library / raw;
}

}  // namespace orba::bench
