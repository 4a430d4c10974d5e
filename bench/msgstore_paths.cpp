// The store's folder paths and the store walk against the same work done with raw MAPI
// calls on the same Orba Store store, in the same run.
//
// A personal store in a temporary ORBA_HOME (in ORBA_BENCH_DIR, default: the system's
// temporary folder) gets 200 folders below its IPM subtree (10 folders of 19 or 18
// subfolders, one of which holds the folder "Deep") with 100 messages each, 20,000 in
// all, created through MAPI once, outside the timings. Two benchmarks, each with a
// `ratio` counter (library time / raw time, goal: at most 1.5):
//  - BM_OpenFolderByPath opens "F3/F3.7/Deep" a hundred times per run: through
//    TVoMAPIMsgStore::OpenFolderByPath, and raw: the IPM subtree from the store's
//    property, then per name the hierarchy table's rows (entry ID and display name,
//    compared ignoring case) and IMsgStore::OpenEntry of the match;
//  - BM_WalkStore walks the whole IPM subtree: through TVoMAPIMsgStoreParser (every
//    subfolder reported and opened, every message's entry ID and subject), and raw: the
//    same recursion with hierarchy and contents tables read by QueryRows in batches of
//    the cursor's size and each subfolder opened with IMsgStore::OpenEntry.
// Both ways take turns at going first. Times are the thread's CPU time.
#include <functional>
#include <string>
#include <vector>

#include "librarybench.h"
#include "orba/VoMAPIMsgStoreParser.h"
#include "orba/common/casefold.h"

using namespace orba;
using namespace orba::bench;

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubfolders = 19;
constexpr int kMessagesPerFolder = 100;
constexpr LONG kBatch = 20;  // the table cursor's default batch size
const std::vector<std::u16string> kPath = {u"F3", u"F3.7", u"Deep"};

ComPtr<IMAPIFolder> OpenMAPIFolder(IMsgStore& Store, const SBinary& EntryID) {
  ULONG type = 0;
  ComPtr<IUnknown> folder;
  Check(Store.OpenEntry(EntryID.cb, reinterpret_cast<LPENTRYID>(EntryID.lpb), nullptr, MAPI_BEST_ACCESS, &type,
                        folder.Out()),
        "OpenEntry");
  return folder.Query<IMAPIFolder>(IID_IMAPIFolder);
}

struct Fixture : TBenchSession {
  ComPtr<IMsgStore> raw;
  ComPtr<IVoMAPIMsgStore> store;
  size_t folders = 0, messages = 0;

  Fixture() : TBenchSession("pathbench") {
    raw = session->OpenMAPIMsgStore(session->GetDefaultMsgStoreID(), alBestAccess);
    store = session->OpenDefaultMsgStore(alBestAccess, false);
    ComPtr<IMAPIFolder> subtree = Subtree();
    for (int top = 0; top < kTopFolders; ++top) {
      const std::string name = std::string("F").append(std::to_string(top));
      ComPtr<IMAPIFolder> folder = Create(*subtree, name);
      for (int sub = 0; sub < kSubfolders - (top == 0); ++sub) {
        ComPtr<IMAPIFolder> child = Create(*folder, name + "." + std::to_string(sub));
        if (top == 3 && sub == 7) Create(*child, "Deep");
      }
    }
  }
  ~Fixture() {
    store = nullptr;
    raw = nullptr;
  }

  ComPtr<IMAPIFolder> Subtree() {
    SizedSPropTagArray<1> tags{1, {GetPropTag(PR_IPM_SUBTREE_ENTRYID)}};
    ULONG count = 0;
    TVoMAPIBuffer<SPropValue> values;
    Check(raw->GetProps(tags.Ptr(), 0, &count, values.Out()), "GetProps");
    return OpenMAPIFolder(*raw, values.get()->Value.bin);
  }

  // A folder Name in Parent with its messages.
  ComPtr<IMAPIFolder> Create(IMAPIFolder& Parent, const std::string& Name) {
    ComPtr<IMAPIFolder> folder;
    Check(Parent.CreateFolder(FOLDER_GENERIC, const_cast<char*>(Name.c_str()), nullptr, nullptr, 0, folder.Out()),
          "CreateFolder");
    ++folders;
    for (int i = 0; i < kMessagesPerFolder; ++i, ++messages) {
      std::u16string subject = u"Message " + std::u16string(1, char16_t(u'A' + i % 26)) + u" of the walk";
      SPropValue value{};
      value.ulPropTag = GetPropTag(PR_SUBJECT_W);
      value.Value.lpszW = subject.data();
      ComPtr<IMessage> message;
      Check(folder->CreateMessage(nullptr, 0, message.Out()), "CreateMessage");
      Check(message->SetProps(1, &value, nullptr), "SetProps");
      Check(message->SaveChanges(0), "SaveChanges");
    }
    return folder;
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Reads Table's rows with Columns in batches; Row sees each.
void ForEachRow(IMAPITable& Table, std::initializer_list<ULONG> Columns, const std::function<void(const SRow&)>& Row) {
  std::vector<ULONG> words = {ULONG(Columns.size())};
  words.insert(words.end(), Columns.begin(), Columns.end());
  Check(Table.SetColumns(reinterpret_cast<LPSPropTagArray>(words.data()), 0), "SetColumns");
  for (;;) {
    TVoMAPIRows batch;
    Check(Table.QueryRows(kBatch, 0, batch.Out()), "QueryRows");
    if (batch.Count() == 0) return;
    for (ULONG r = 0; r < batch.Count(); ++r) Row(batch[r]);
  }
}

// Path ------------------------------------------------------------------------------------

bool OpenByPathRaw(Fixture& f) {
  ComPtr<IMAPIFolder> folder = f.Subtree();
  const ULONG entryTag = GetPropTag(PR_ENTRYID), nameTag = GetPropTag(PR_DISPLAY_NAME_W);
  for (const std::u16string& name : kPath) {
    ComPtr<IMAPITable> table;
    Check(folder->GetHierarchyTable(MAPI_UNICODE, table.Out()), "GetHierarchyTable");
    std::vector<BYTE> found;
    ForEachRow(*table, {entryTag, nameTag}, [&](const SRow& row) {
      if (found.empty() && VoSameText(reinterpret_cast<const char16_t*>(row.lpProps[1].Value.lpszW), name))
        found.assign(row.lpProps[0].Value.bin.lpb, row.lpProps[0].Value.bin.lpb + row.lpProps[0].Value.bin.cb);
    });
    if (found.empty()) return false;
    folder = OpenMAPIFolder(*f.raw, SBinary{ULONG(found.size()), found.data()});
  }
  return folder != nullptr;
}

bool OpenByPathLibrary(Fixture& f) {
  return f.store->OpenFolderByPath(u"F3/F3.7/Deep", alBestAccess, false) != nullptr;
}

// Walk ------------------------------------------------------------------------------------

struct TWalked {
  size_t folders = 0, messages = 0, bytes = 0;
};

void WalkRaw(Fixture& f, IMAPIFolder& Folder, TWalked& Walked) {
  ComPtr<IMAPITable> hierarchy;
  Check(Folder.GetHierarchyTable(MAPI_UNICODE, hierarchy.Out()), "GetHierarchyTable");
  ForEachRow(*hierarchy, {GetPropTag(PR_ENTRYID)}, [&](const SRow& row) {
    const SBinary& id = row.lpProps[0].Value.bin;
    ComPtr<IMAPIFolder> subfolder = OpenMAPIFolder(*f.raw, id);
    ++Walked.folders;
    WalkRaw(f, *subfolder, Walked);
  });
  ComPtr<IMAPITable> contents;
  Check(Folder.GetContentsTable(MAPI_UNICODE, contents.Out()), "GetContentsTable");
  ForEachRow(*contents, {GetPropTag(PR_ENTRYID), GetPropTag(PR_SUBJECT_W)}, [&](const SRow& row) {
    std::vector<BYTE> id(row.lpProps[0].Value.bin.lpb, row.lpProps[0].Value.bin.lpb + row.lpProps[0].Value.bin.cb);
    std::u16string subject(reinterpret_cast<const char16_t*>(row.lpProps[1].Value.lpszW));
    benchmark::DoNotOptimize(id);
    benchmark::DoNotOptimize(subject);
    ++Walked.messages;
    Walked.bytes += id.size() + subject.size();
  });
}

TWalked WalkThroughRaw(Fixture& f) {
  TWalked walked;
  WalkRaw(f, *f.Subtree(), walked);
  return walked;
}

TWalked WalkThroughParser(Fixture& f) {
  TWalked walked;
  TVoMAPIMsgStoreParser parser;
  parser.OnParseSubFolder = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder*, IVoMAPIFolder*, bool&) {
    ++walked.folders;
  };
  parser.OnParseMessage = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder*, const TVoMAPIEntryID& id,
                              const WideString& subject) {
    ++walked.messages;
    walked.bytes += id.ArrayLength() + subject.size();
  };
  parser.Start(f.store.get(), nullptr);
  return walked;
}

void BM_OpenFolderByPath(benchmark::State& state) {
  Fixture& f = TheFixture();
  Compare<bool>(
      state, 100, [&] { return OpenByPathLibrary(f); }, [&] { return OpenByPathRaw(f); },
      [](const bool& a, const bool& b) { return a && b; });
}

void BM_WalkStore(benchmark::State& state) {
  Fixture& f = TheFixture();
  Compare<TWalked>(
      state, 1, [&] { return WalkThroughParser(f); }, [&] { return WalkThroughRaw(f); },
      [&](const TWalked& a, const TWalked& b) {
        return a.folders == b.folders && a.messages == b.messages && a.messages >= f.messages;
      });
  state.counters["folders"] = static_cast<double>(f.folders);
  state.counters["messages"] = static_cast<double>(f.messages);
}

}  // namespace

BENCHMARK(BM_OpenFolderByPath)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_WalkStore)->Unit(benchmark::kMillisecond)->Iterations(5);
