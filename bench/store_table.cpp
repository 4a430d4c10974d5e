// The table engine against a plain C++ filter-sort-copy of the same rows: 100,000
// rows in memory, restricted on one property, sorted on another and read in batches
// of 20, each row copied into memory of its own on both sides, and everything freed
// again within the timing. The `ratio` counter is engine time / plain time; the
// *_ms counters of the phases show where each side's time goes (open, restrict, sort
// and read for the engine; filter, plain_sort and copy for the plain side).
//
// Both sides run once before the timings (first-touch page faults, lazy set-up) and
// take turns at going first. The two sides wait on memory differently: the plain
// side's pointer sort and subject copies stall on cache misses, the engine's passes
// over the rows it prefetches are bound by its own instructions. So the ratio follows
// the machine's caches and memory: lower where memory is slow, higher where the
// working set (about 30 MB) stays in cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "mapi/mapiexports.h"
#include "orba/store/mapitable.h"

using namespace orba::store;

namespace {

constexpr ULONG kRows = 100000;
constexpr ULONG kFlagsTag = PROP_TAG(PT_LONG, 0x0E07);       // restricted on
constexpr ULONG kTimeTag = PROP_TAG(PT_SYSTIME, 0x0E06);     // sorted on
constexpr ULONG kSubjectTag = PROP_TAG(PT_UNICODE, 0x0037);  // read

// CPU time of this thread, so that other processes on the machine do not skew the ratio.
double Now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct PlainRow {
  uint32_t key;
  LONG flags;
  uint64_t time;
  std::u16string subject;
};

struct Data {
  std::vector<PlainRow> plain;
  std::shared_ptr<TMemoryRowSource> source;
};

const Data& TheData() {
  static Data data = [] {
    Data d;
    std::mt19937 random(42);
    d.source =
        std::make_shared<TMemoryRowSource>(std::vector<ULONG>{kInstanceKeyTag, kFlagsTag, kTimeTag, kSubjectTag});
    for (uint32_t i = 0; i < kRows; ++i) {
      PlainRow row{i, static_cast<LONG>(random() % 4), random(),
                   u"Message subject " + std::u16string(1, u'A' + i % 26)};
      SPropValue values[4] = {};
      values[0].ulPropTag = kInstanceKeyTag;
      values[0].Value.bin = {sizeof(row.key), reinterpret_cast<LPBYTE>(&row.key)};
      values[1].ulPropTag = kFlagsTag;
      values[1].Value.l = row.flags;
      values[2].ulPropTag = kTimeTag;
      values[2].Value.ft = {static_cast<DWORD>(row.time), static_cast<DWORD>(row.time >> 32)};
      values[3].ulPropTag = kSubjectTag;
      values[3].Value.lpszW = row.subject.data();
      d.source->Put(values);
      d.plain.push_back(std::move(row));
    }
    return d;
  }();
  return data;
}

// The engine's time per phase (seconds), to show where it goes.
struct Phases {
  double open = 0, restrict = 0, sort = 0, read = 0;
};

double RunEngine(const Data& data, Phases& phases) {
  double start = Now();
  auto table = CreateMapiTable(data.source);
  SizedSPropTagArray<3> columns = {3, {kInstanceKeyTag, kSubjectTag, kTimeTag}};
  table->SetColumns(columns.Ptr(), 0);
  double opened = Now();
  SPropValue flag{};
  flag.ulPropTag = kFlagsTag;
  flag.Value.l = 1;
  SRestriction restriction{};
  restriction.rt = RES_PROPERTY;
  restriction.res.resProperty = {RELOP_EQ, kFlagsTag, &flag};
  table->Restrict(&restriction, 0);
  double restricted = Now();
  SizedSSortOrderSet<1> sort = {1, 0, 0, {{kTimeTag, TABLE_SORT_DESCEND}}};
  table->SortTable(sort.Ptr(), 0);
  double sorted = Now();
  size_t read = 0;
  for (;;) {
    LPSRowSet rows = nullptr;
    table->QueryRows(20, 0, &rows);
    ULONG count = rows->cRows;
    read += count;
    FreeProws(rows);
    if (count == 0) break;
  }
  benchmark::DoNotOptimize(read);
  table.Reset();  // closing the table is part of the work, as freeing is in RunPlain
  double end = Now();
  phases.open += opened - start;
  phases.restrict += restricted - opened;
  phases.sort += sorted - restricted;
  phases.read += end - sorted;
  return end - start;
}

// The plain side's time per phase (seconds).
struct PlainPhases {
  double filter = 0, sort = 0, copy = 0;
};

double RunPlain(const Data& data, PlainPhases& phases) {
  double start = Now();
  std::vector<const PlainRow*> selected;
  for (const PlainRow& row : data.plain)
    if (row.flags == 1) selected.push_back(&row);
  double filtered = Now();
  std::stable_sort(selected.begin(), selected.end(),
                   [](const PlainRow* a, const PlainRow* b) { return a->time > b->time; });
  double sorted = Now();
  size_t read = 0;
  for (size_t i = 0; i < selected.size(); i += 20) {
    // Each row copied into a batch of its own, as QueryRows hands out a row set.
    std::vector<PlainRow> batch;
    batch.reserve(20);
    for (size_t j = i; j < std::min(selected.size(), i + 20); ++j) batch.push_back(*selected[j]);
    read += batch.size();
  }
  benchmark::DoNotOptimize(read);
  selected = {};
  double end = Now();
  phases.filter += filtered - start;
  phases.sort += sorted - filtered;
  phases.copy += end - sorted;
  return end - start;
}

void BM_TableRestrictSortRead(benchmark::State& state) {
  const Data& data = TheData();
  Phases phases, warmUp;
  PlainPhases plainPhases, plainWarmUp;
  RunEngine(data, warmUp);
  RunPlain(data, plainWarmUp);
  double engine = 0, plain = 0;
  bool engineFirst = true;
  for (auto _ : state) {
    if (engineFirst) engine += RunEngine(data, phases);
    plain += RunPlain(data, plainPhases);
    if (!engineFirst) engine += RunEngine(data, phases);
    engineFirst = !engineFirst;
  }
  auto perRun = [&](double seconds) { return seconds * 1000 / static_cast<double>(state.iterations()); };
  state.counters["engine_ms"] = perRun(engine);
  state.counters["plain_ms"] = perRun(plain);
  state.counters["ratio"] = engine / plain;
  state.counters["open_ms"] = perRun(phases.open);
  state.counters["restrict_ms"] = perRun(phases.restrict);
  state.counters["sort_ms"] = perRun(phases.sort);
  state.counters["read_ms"] = perRun(phases.read);
  state.counters["filter_ms"] = perRun(plainPhases.filter);
  state.counters["plain_sort_ms"] = perRun(plainPhases.sort);
  state.counters["copy_ms"] = perRun(plainPhases.copy);
}

}  // namespace

BENCHMARK(BM_TableRestrictSortRead)->Unit(benchmark::kMillisecond)->Iterations(10);
