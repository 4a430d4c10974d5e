// A folder of a store against raw SQLite queries of the same data, in the same run.
//
// The store (one personal store file) gets a folder of ORBA_BENCH_MESSAGES messages
// (default 100,000) created through the engine once, outside the timings, in
// ORBA_BENCH_DIR (default: the system's temporary folder). Each benchmark then runs
// the engine's way (contents table through IMAPITable) and the raw way (one SQLite
// query on the store's own tables, on a connection of its own) on the same data; the
// `ratio` counter is engine time / raw time.
//  - BM_CreateMessages: 500 more messages per iteration, one transaction each, against
//    raw INSERTs of the same rows and properties (one transaction each) into plain
//    tables of another database in the same folder, both with the store's pragmas.
//  - BM_SortedByDeliveryFirst20: sorted by delivery time, the first 20 rows.
//  - BM_SubjectSubstring: a case-insensitive subject substring restriction, all rows.
//  - BM_FiveColumnsOfEveryRow: five columns of every row, read in batches of 100.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "mapi/mapiexports.h"
#include "mapiobjects/folder.h"
#include "mapiobjects/openstore.h"
#include "props/tags.h"
#include "table/mapitable.h"

using namespace orba::store;
using orba::ComPtr;

namespace {

constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);
const char16_t* const kWords[] = {u"budget", u"Meeting", u"report",  u"lunch",   u"Invoice",   u"travel",
                                  u"Review", u"update",  u"project", u"holiday", u"Quarterly", u"notes"};

double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double WallNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

size_t MessageCount() {
  const char* text = std::getenv("ORBA_BENCH_MESSAGES");
  return text ? std::strtoull(text, nullptr, 10) : 100000;
}

TStoredProp Prop(const SPropValue& value) { return {value.ulPropTag, EncodePropValue(value)}; }

// The properties of message i: a subject, a sender, a class, a delivery time, a body.
TMessageImage MakeImage(size_t i, std::mt19937& random) {
  std::u16string subject = std::u16string(u"Message ") + kWords[random() % 12] + u" " + kWords[random() % 12] + u" #" +
                           std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
  std::u16string sender = std::u16string(u"Sender ") + kWords[random() % 12];
  std::u16string body = u"Hello,\r\nthis is message " + subject + u".\r\n";
  uint64_t time = 133000000000000000ull + (uint64_t{random()} << 20);
  TMessageImage image;
  auto text = [&](ULONG tag, const std::u16string& value) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(value.c_str()));
    image.props.push_back(Prop(v));
  };
  text(tags::kMessageClassW, u"IPM.Note");
  text(tags::kSubjectW, subject);
  text(tags::kNormalizedSubjectW, subject);
  text(tags::kSenderNameW, sender);
  text(kBodyW, body);
  SPropValue delivery{};
  delivery.ulPropTag = tags::kMessageDeliveryTime;
  delivery.Value.ft = {static_cast<ULONG>(time), static_cast<ULONG>(time >> 32)};
  image.props.push_back(Prop(delivery));
  return image;
}

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

struct Fixture {
  std::filesystem::path dir;
  std::shared_ptr<TOpenStore> store;
  int64_t folder = 0, spare = 0;
  size_t count = 0;
  double createSeconds = 0;
  sqlite3* raw = nullptr;    // the store's database, for the raw queries
  sqlite3* plain = nullptr;  // plain tables for the raw inserts
  std::mt19937 random{42};

  Fixture() {
    const char* base = std::getenv("ORBA_BENCH_DIR");
    std::string pattern =
        ((base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) / "storebench-XXXXXX").string();
    dir = mkdtemp(pattern.data());
    std::string path = (dir / "bench.pst").string();
    store = TOpenStore::Open(path, TStoreKind::PersonalFile, u"Bench", Bytes(24, 1), Bytes(24, 2));
    TStoreEngine& engine = store->Engine();
    folder = engine.Folders().Create(engine.Folders().SpecialFolderId(TSpecialFolder::IpmSubtree), u"Bulk",
                                     FOLDER_GENERIC, {}, false);
    spare = engine.Folders().Create(engine.Folders().SpecialFolderId(TSpecialFolder::IpmSubtree), u"Spare",
                                    FOLDER_GENERIC, {}, false);
    count = MessageCount();
    double start = WallNow();
    for (size_t i = 0; i < count; ++i) engine.Messages().Create(folder, false, MakeImage(i, random));
    createSeconds = WallNow() - start;
    sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open((dir / "plain.db").string().c_str(), &plain);
    Exec(plain,
         "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
         "CREATE TABLE messages(id INTEGER PRIMARY KEY, folder_id INTEGER, subject BLOB, delivery_time INTEGER);"
         "CREATE TABLE props(message_id INTEGER, prop_id INTEGER, tag INTEGER, value BLOB,"
         " PRIMARY KEY(message_id, prop_id));");
  }
  ~Fixture() {
    sqlite3_close(raw);
    sqlite3_close(plain);
    store.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Steps a raw query to its end, reading every column of every row.
size_t RunRaw(sqlite3* db, const char* sql, const std::function<void(sqlite3_stmt*)>& bind) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  bind(stmt);
  size_t rows = 0, bytes = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ++rows;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_BLOB)
        bytes += sqlite3_column_bytes(stmt, c);
      else
        bytes += static_cast<size_t>(sqlite3_column_int64(stmt, c));
    }
  }
  sqlite3_finalize(stmt);
  benchmark::DoNotOptimize(bytes);
  return rows;
}

// Reads a table to its end in batches; returns the number of rows.
size_t ReadAll(IMAPITable* table, LONG batch) {
  size_t total = 0;
  for (;;) {
    LPSRowSet rows = nullptr;
    if (table->QueryRows(batch, 0, &rows) != S_OK) throw std::runtime_error("QueryRows failed");
    ULONG count = rows->cRows;
    total += count;
    FreeProws(rows);
    if (count == 0) return total;
  }
}

ComPtr<IMAPITable> ContentsTable(Fixture& f, SPropTagArray* columns) {
  auto folder = OpenFolderObject(f.store, f.folder, TAccessMode::ReadOnly);
  ComPtr<IMAPITable> table;
  if (folder->GetContentsTable(0, table.Out()) != S_OK || table->SetColumns(columns, 0) != S_OK)
    throw std::runtime_error("no contents table");
  return table;
}

void Report(benchmark::State& state, double engine, double raw) {
  auto perRun = [&](double seconds) { return seconds * 1000 / static_cast<double>(state.iterations()); };
  state.counters["engine_ms"] = perRun(engine);
  state.counters["raw_ms"] = perRun(raw);
  state.counters["ratio"] = engine / raw;
  state.counters["messages"] = static_cast<double>(TheFixture().count);
}

void BM_CreateMessages(benchmark::State& state) {
  Fixture& f = TheFixture();
  constexpr size_t kBatch = 500;
  double engine = 0, raw = 0;
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* prop = nullptr;
  sqlite3_prepare_v2(f.plain, "INSERT INTO messages(folder_id, subject, delivery_time) VALUES(1, ?, ?)", -1, &insert,
                     nullptr);
  sqlite3_prepare_v2(f.plain, "INSERT INTO props VALUES(?, ?, ?, ?)", -1, &prop, nullptr);
  for (auto _ : state) {
    std::vector<TMessageImage> images;
    for (size_t i = 0; i < kBatch; ++i) images.push_back(MakeImage(i, f.random));
    double start = WallNow();
    for (const TMessageImage& image : images) f.store->Engine().Messages().Create(f.spare, false, image);
    double middle = WallNow();
    for (const TMessageImage& image : images) {
      Exec(f.plain, "BEGIN IMMEDIATE");
      const Bytes& subject = image.props[1].value;
      sqlite3_bind_blob(insert, 1, subject.data(), static_cast<int>(subject.size()), SQLITE_STATIC);
      sqlite3_bind_int64(insert, 2, 133000000000000000ll);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      sqlite3_int64 id = sqlite3_last_insert_rowid(f.plain);
      for (const TStoredProp& p : image.props) {
        sqlite3_bind_int64(prop, 1, id);
        sqlite3_bind_int64(prop, 2, PROP_ID(p.tag));
        sqlite3_bind_int64(prop, 3, p.tag);
        sqlite3_bind_blob(prop, 4, p.value.data(), static_cast<int>(p.value.size()), SQLITE_STATIC);
        sqlite3_step(prop);
        sqlite3_reset(prop);
      }
      Exec(f.plain, "COMMIT");
    }
    raw += WallNow() - middle;
    engine += middle - start;
  }
  sqlite3_finalize(insert);
  sqlite3_finalize(prop);
  Report(state, engine, raw);
  double created = static_cast<double>(kBatch * state.iterations());
  state.counters["engine_msg_per_s"] = created / engine;
  state.counters["raw_msg_per_s"] = created / raw;
  state.counters["fixture_msg_per_s"] = static_cast<double>(f.count) / f.createSeconds;
}

void BM_SortedByDeliveryFirst20(benchmark::State& state) {
  Fixture& f = TheFixture();
  SizedSPropTagArray<5> columns{
      5, {tags::kEntryId, tags::kSubjectW, tags::kSenderNameW, tags::kMessageDeliveryTime, tags::kMessageSize}};
  SizedSSortOrderSet<1> sort{1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  double engine = 0, raw = 0;
  for (auto _ : state) {
    double start = CpuNow();
    auto table = ContentsTable(f, columns.Ptr());
    table->SortTable(sort.Ptr(), 0);
    LPSRowSet rows = nullptr;
    table->QueryRows(20, 0, &rows);
    if (rows->cRows != 20) throw std::runtime_error("expected 20 rows");
    FreeProws(rows);
    table.Reset();
    double middle = CpuNow();
    size_t n = RunRaw(f.raw,
                      "SELECT m.id, s.value, n.value, m.delivery_time, m.size FROM messages m "
                      "LEFT JOIN message_props s ON s.message_id = m.id AND s.prop_id = 0x0037 "
                      "LEFT JOIN message_props n ON n.message_id = m.id AND n.prop_id = 0x0C1A "
                      "WHERE m.folder_id = ? AND m.associated = 0 AND m.deleted = 0 "
                      "ORDER BY m.delivery_time LIMIT 20",
                      [&](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, f.folder); });
    raw += CpuNow() - middle;
    engine += middle - start;
    if (n != 20) throw std::runtime_error("expected 20 raw rows");
  }
  Report(state, engine, raw);
}

void BM_SubjectSubstring(benchmark::State& state) {
  Fixture& f = TheFixture();
  SizedSPropTagArray<2> columns{2, {tags::kEntryId, tags::kSubjectW}};
  SPropValue word{};
  word.ulPropTag = tags::kSubjectW;
  word.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(u"INVOICE"));
  SRestriction restriction{};
  restriction.rt = RES_CONTENT;
  restriction.res.resContent = {FL_SUBSTRING | FL_IGNORECASE, tags::kSubjectW, &word};
  // The raw side searches the folded subject column, as a store's own index would.
  const BYTE folded[] = {0, 'I', 0, 'N', 0, 'V', 0, 'O', 0, 'I', 0, 'C', 0, 'E'};
  double engine = 0, raw = 0;
  size_t engineRows = 0, rawRows = 0;
  for (auto _ : state) {
    double start = CpuNow();
    auto table = ContentsTable(f, columns.Ptr());
    table->Restrict(&restriction, 0);
    engineRows = ReadAll(table.get(), 100);
    table.Reset();
    double middle = CpuNow();
    rawRows = RunRaw(f.raw,
                     "SELECT m.id, s.value FROM messages m "
                     "LEFT JOIN message_props s ON s.message_id = m.id AND s.prop_id = 0x0037 "
                     "WHERE m.folder_id = ? AND m.associated = 0 AND m.deleted = 0 AND instr(m.subject, ?) > 0",
                     [&](sqlite3_stmt* s) {
                       sqlite3_bind_int64(s, 1, f.folder);
                       sqlite3_bind_blob(s, 2, folded, sizeof(folded), SQLITE_STATIC);
                     });
    raw += CpuNow() - middle;
    engine += middle - start;
  }
  if (engineRows != rawRows) state.SkipWithError("the engine and the raw query disagree");
  Report(state, engine, raw);
  state.counters["rows"] = static_cast<double>(engineRows);
}

void BM_FiveColumnsOfEveryRow(benchmark::State& state) {
  Fixture& f = TheFixture();
  SizedSPropTagArray<5> columns{
      5, {tags::kSubjectW, tags::kSenderNameW, tags::kMessageDeliveryTime, tags::kMessageSize, tags::kMessageFlags}};
  double engine = 0, raw = 0;
  for (auto _ : state) {
    double start = CpuNow();
    auto table = ContentsTable(f, columns.Ptr());
    size_t n = ReadAll(table.get(), 100);
    table.Reset();
    double middle = CpuNow();
    size_t m = RunRaw(f.raw,
                      "SELECT s.value, n.value, m.delivery_time, m.size, m.flags FROM messages m "
                      "LEFT JOIN message_props s ON s.message_id = m.id AND s.prop_id = 0x0037 "
                      "LEFT JOIN message_props n ON n.message_id = m.id AND n.prop_id = 0x0C1A "
                      "WHERE m.folder_id = ? AND m.associated = 0 AND m.deleted = 0",
                      [&](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, f.folder); });
    raw += CpuNow() - middle;
    engine += middle - start;
    if (n != m || n != f.count) throw std::runtime_error("row counts differ");
  }
  Report(state, engine, raw);
}

}  // namespace

BENCHMARK(BM_CreateMessages)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortedByDeliveryFirst20)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SubjectSubstring)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FiveColumnsOfEveryRow)->Unit(benchmark::kMillisecond)->Iterations(5);
