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
// Both use fresh tables opened and sorted alike and take turns at going first. Times
// are the thread's CPU time; the `ratio` counter is cursor time / raw time (goal: at
// most 1.3).
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "librarybench.h"
#include "orba/VoMAPITable.h"

using namespace orba;
using namespace orba::bench;

namespace {

size_t MessageCount() {
  const char* text = std::getenv("ORBA_BENCH_MESSAGES");
  return text ? std::strtoull(text, nullptr, 10) : 100000;
}

const std::vector<TVoMAPIPropDef> kFields = {PR_SUBJECT_W, PR_IMPORTANCE, PR_CLIENT_SUBMIT_TIME,
                                             PR_READ_RECEIPT_REQUESTED, PR_ENTRYID};

struct Fixture : TBenchSession {
  ComPtr<IMAPIFolder> folder;
  size_t count = MessageCount();

  Fixture() : TBenchSession("tablebench") {
    ComPtr<IMsgStore> store = session->OpenMAPIMsgStore(session->GetDefaultMsgStoreID(), alReadWrite);
    ULONG type = 0;
    ComPtr<IUnknown> root;
    Check(store->OpenEntry(0, nullptr, &IID_IMAPIFolder, MAPI_MODIFY, &type, root.Out()), "OpenEntry");
    Check(root.Query<IMAPIFolder>(IID_IMAPIFolder)
              ->CreateFolder(FOLDER_GENERIC, const_cast<char*>("Bench"), nullptr, nullptr, 0, folder.Out()),
          "CreateFolder");
    for (size_t i = 0; i < count; ++i) CreateMessage(i);
  }
  ~Fixture() { folder = nullptr; }

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
  Compare<size_t>(
      state, 1, [&] { return ReadThroughCursor(f); }, [&] { return ReadThroughQueryRows(f); },
      [&](const size_t& a, const size_t& b) { return a == f.count && b == f.count; });
  state.counters["messages"] = static_cast<double>(f.count);
}

}  // namespace

BENCHMARK(BM_ReadEveryRow)->Unit(benchmark::kMillisecond)->Iterations(5);
