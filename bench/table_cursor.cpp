// The table cursor against raw IMAPITable::QueryRows calls on the same table of Orba
// Store, in the same run.
//
// A personal store in a temporary ORBA_HOME (in ORBA_BENCH_DIR, default: the system's
// temporary folder) gets a folder of ORBA_BENCH_MESSAGES messages (default 100,000),
// created through MAPI once, one SaveChanges each, outside the timings. Each iteration reads every row of the folder's
// contents table twice:
//  - through TVoMAPITable: fields of five types (text, integer, time, boolean,
//    binary), the default batch size, every field's value read as a variant;
//  - through QueryRows in batches of the same size with the same five columns, every
//    value copied into its C++ form (the text and the bytes into strings of their own).
// Both use fresh tables opened and sorted alike. Times are the thread's CPU time; the
// `ratio` counter is cursor time / raw time (goal: at most 1.3).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orba/VoMAPITable.h"
#include "orba/VoOrbaMAPI.h"

using namespace orba;

namespace {

LPTSTR Text(const char* text) { return const_cast<char*>(text); }

double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

size_t MessageCount() {
  const char* text = std::getenv("ORBA_BENCH_MESSAGES");
  return text ? std::strtoull(text, nullptr, 10) : 100000;
}

void Check(HRESULT hr, const char* what) {
  if (hr != S_OK) throw std::runtime_error(std::string(what) + " failed");
}

const std::vector<TVoMAPIPropDef> kFields = {PR_SUBJECT_W, PR_IMPORTANCE, PR_CLIENT_SUBMIT_TIME,
                                             PR_READ_RECEIPT_REQUESTED, PR_ENTRYID};

// A profile "Bench" with a personal store in Home.
void CreateProfile(const std::filesystem::path& Home) {
  ComPtr<IProfAdmin> admin;
  Check(MAPIAdminProfiles(0, admin.Out()), "MAPIAdminProfiles");
  Check(admin->CreateProfile(Text("Bench"), nullptr, 0, 0), "CreateProfile");
  Check(admin->SetDefaultProfile(Text("Bench"), 0), "SetDefaultProfile");
  ComPtr<IMsgServiceAdmin> services;
  Check(admin->AdminServices(Text("Bench"), nullptr, 0, 0, services.Out()), "AdminServices");
  Check(services->CreateMsgService(Text("MSPST MS"), Text("Bench"), 0, 0), "CreateMsgService");
  ComPtr<IMAPITable> table;
  Check(services->GetMsgServiceTable(0, table.Out()), "GetMsgServiceTable");
  SizedSPropTagArray<1> columns{1, {GetPropTag(PR_SERVICE_UID)}};
  TVoMAPIRows rows;
  Check(HrQueryAllRows(table.get(), columns.Ptr(), nullptr, nullptr, 0, rows.Out()), "HrQueryAllRows");
  MAPIUID uid = EntryIDToUID(BinToEntryID(LONG(rows[0].lpProps[0].Value.bin.cb), rows[0].lpProps[0].Value.bin.lpb));
  std::string path = (Home / "bench.pst").string();
  SPropValue file{};
  file.ulPropTag = GetPropTag(PR_PST_PATH_A);
  file.Value.lpszA = path.data();
  Check(services->ConfigureMsgService(&uid, 0, 0, 1, &file), "ConfigureMsgService");
}

struct Fixture;
size_t ReadThroughQueryRows(Fixture& f);

struct Fixture {
  std::filesystem::path home;
  ComPtr<TSession> session = MakeComObject<TSession>();
  ComPtr<IMAPIFolder> folder;
  size_t count = MessageCount();

  Fixture() {
    const char* base = std::getenv("ORBA_BENCH_DIR");
    std::string pattern =
        ((base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) / "tablebench-XXXXXX").string();
    home = mkdtemp(pattern.data());
    setenv("ORBA_HOME", home.c_str(), 1);
    WideString library;
    bool16 extended;
    session->MAPILoad(library, extended);
    session->MAPIInitialize();
    CreateProfile(home);
    session->Logon();
    ComPtr<IMsgStore> store = session->OpenMAPIMsgStore(session->GetDefaultMsgStoreID(), alReadWrite);
    ULONG type = 0;
    ComPtr<IUnknown> root;
    Check(store->OpenEntry(0, nullptr, &IID_IMAPIFolder, MAPI_MODIFY, &type, root.Out()), "OpenEntry");
    Check(root.Query<IMAPIFolder>(IID_IMAPIFolder)
              ->CreateFolder(FOLDER_GENERIC, Text("Bench"), nullptr, nullptr, 0, folder.Out()),
          "CreateFolder");
    for (size_t i = 0; i < count; ++i) CreateMessage(i);
    ReadThroughQueryRows(*this);  // both ways start with the store's pages in memory
  }
  ~Fixture() {
    folder = nullptr;
    session->Logoff();
    session = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }

  void CreateMessage(size_t i) {
    std::u16string subject = u"Message number " + std::u16string(1, char16_t(u'A' + i % 26)) + u" of the bench";
    const uint64_t time = 133000000000000000ull + i * 10000000ull;
    SPropValue values[4]{};
    values[0].ulPropTag = GetPropTag(PR_SUBJECT_W);
    values[0].Value.lpszW = subject.data();
    values[1].ulPropTag = GetPropTag(PR_IMPORTANCE);
    values[1].Value.l = LONG(i % 3);
    values[2].ulPropTag = GetPropTag(PR_CLIENT_SUBMIT_TIME);
    values[2].Value.ft = FILETIME{DWORD(time), DWORD(time >> 32)};
    values[3].ulPropTag = GetPropTag(PR_READ_RECEIPT_REQUESTED);
    values[3].Value.b = i % 2;
    ComPtr<IMessage> message;
    Check(folder->CreateMessage(nullptr, 0, message.Out()), "CreateMessage");
    Check(message->SetProps(4, values, nullptr), "SetProps");
    Check(message->SaveChanges(0), "SaveChanges");
  }

  ComPtr<IMAPITable> ContentsTable() {
    ComPtr<IMAPITable> table;
    Check(folder->GetContentsTable(0, table.Out()), "GetContentsTable");
    return table;
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

size_t ReadThroughCursor(Fixture& f) {
  auto table = MakeComObject<TVoMAPITable>(nullptr, f.session.get(), f.ContentsTable());
  table->SetFields(kFields);
  std::vector<ComPtr<IVoMAPITableField>> fields;
  for (TVoMAPIPropDef def : kFields) fields.push_back(table->FieldByName(def));
  size_t rows = 0, bytes = 0;
  for (table->First(); !table->Get_EOF(); table->Next()) {
    ++rows;
    for (const auto& field : fields) {
      TVoVariant value = field->Get_Value();
      benchmark::DoNotOptimize(value);
      bytes += value.VarType();
    }
  }
  benchmark::DoNotOptimize(bytes);
  return rows;
}

size_t ReadThroughQueryRows(Fixture& f) {
  ComPtr<IMAPITable> table = f.ContentsTable();
  std::vector<ULONG> tags;
  for (TVoMAPIPropDef def : kFields) tags.push_back(GetPropTag(def));
  SizedSPropTagArray<5> columns{5, {tags[0], tags[1], tags[2], tags[3], tags[4]}};
  Check(table->SetColumns(columns.Ptr(), 0), "SetColumns");
  size_t rows = 0, bytes = 0;
  for (;;) {
    TVoMAPIRows batch;
    Check(table->QueryRows(20, 0, batch.Out()), "QueryRows");
    if (batch.Count() == 0) break;
    for (ULONG r = 0; r < batch.Count(); ++r, ++rows) {
      const SPropValue* v = batch[r].lpProps;
      std::u16string subject(v[0].Value.lpszW);
      const LONG importance = v[1].Value.l;
      const FILETIME time = v[2].Value.ft;
      const bool receipt = v[3].Value.b != 0;
      std::vector<BYTE> entryId(v[4].Value.bin.lpb, v[4].Value.bin.lpb + v[4].Value.bin.cb);
      benchmark::DoNotOptimize(subject);
      benchmark::DoNotOptimize(entryId);
      bytes += subject.size() + size_t(importance) + time.dwLowDateTime + receipt + entryId.size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  return rows;
}

void BM_ReadEveryRow(benchmark::State& state) {
  Fixture& f = TheFixture();
  double cursor = 0, raw = 0;
  bool cursorFirst = true;
  for (auto _ : state) {
    // The two ways take turns at going first, so that neither always finds the caches
    // the other warmed.
    size_t read = 0, readRaw = 0;
    auto timed = [](double& total, const std::function<size_t()>& run, size_t& rows) {
      const double start = CpuNow();
      rows = run();
      total += CpuNow() - start;
    };
    auto throughCursor = [&] {
      timed(
          cursor, [&] { return ReadThroughCursor(f); }, read);
    };
    auto throughQueryRows = [&] {
      timed(
          raw, [&] { return ReadThroughQueryRows(f); }, readRaw);
    };
    if (cursorFirst) {
      throughCursor();
      throughQueryRows();
    } else {
      throughQueryRows();
      throughCursor();
    }
    cursorFirst = !cursorFirst;
    if (read != f.count || readRaw != f.count) state.SkipWithError("a way did not read every row");
  }
  auto perRun = [&](double seconds) { return seconds * 1000 / static_cast<double>(state.iterations()); };
  state.counters["cursor_ms"] = perRun(cursor);
  state.counters["raw_ms"] = perRun(raw);
  state.counters["ratio"] = cursor / raw;
  state.counters["messages"] = static_cast<double>(f.count);
}

}  // namespace

BENCHMARK(BM_ReadEveryRow)->Unit(benchmark::kMillisecond)->Iterations(5);
