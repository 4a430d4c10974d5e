// A store file may be damaged or crafted. The input is the file's bytes: opening it
// must give TMapiError or a store, and a store that opens must let its folders, tables
// and messages be read (each read answering TMapiError at worst), never crash or hang.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "base/maperror.h"
#include "mapiobjects/tables.h"
#include "storage/storeengine.h"

using namespace orba::store;

namespace {

// Bounds the walk of a large (or looping) folder tree.
constexpr size_t kMaxFolders = 64;
constexpr size_t kMaxMessages = 64;

// A temporary folder for the store file, for the life of the process.
class THome {
 public:
  THome() {
    char path[] = "/tmp/orba-fuzz-XXXXXX";
    if (!mkdtemp(path)) std::abort();
    path_ = path;
    setenv("ORBA_HOME", path, 1);
  }
  ~THome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path Store() const { return path_ / "fuzz.pst"; }
  void Clear() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored))
      std::filesystem::remove_all(entry.path(), ignored);
  }

 private:
  std::filesystem::path path_;
};

void Decode(const TStoredProps& props) {
  std::vector<std::unique_ptr<uint8_t[]>> blocks;
  TPropAllocator allocate = [&](size_t size) {
    blocks.push_back(std::make_unique<uint8_t[]>(size));
    return static_cast<void*>(blocks.back().get());
  };
  for (const TStoredProp& prop : props) {
    SPropValue value;
    try {
      DecodePropValue(prop.tag, prop.value, allocate, value);
    } catch (const TMapiError&) {
    }
  }
}

void DecodeImage(const TMessageImage& image, int depth) {
  Decode(image.props);
  for (const TRecipientImage& recipient : image.recipients) Decode(recipient.props);
  for (const TAttachmentImage& attachment : image.attachments) {
    Decode(attachment.props);
    if (attachment.embedded && depth < 4) DecodeImage(*attachment.embedded, depth + 1);
  }
}

// Runs one read; a TMapiError is an acceptable answer from a damaged store.
template <class Fn>
void Try(Fn&& fn) {
  try {
    fn();
  } catch (const TMapiError&) {
  }
}

void ReadTables(const std::shared_ptr<TOpenStore>& store, int64_t folder) {
  Try([&] { CreateHierarchySource(store, folder, true)->Rows(nullptr, nullptr); });
  for (bool associated : {false, true})
    Try([&] { CreateContentsSource(store, folder, associated)->Rows(nullptr, nullptr); });
}

void Walk(const std::shared_ptr<TOpenStore>& store) {
  TStoreEngine& engine = store->Engine();
  Try([&] { Decode(engine.Props().Read()); });
  Try([&] { engine.Folders().ReceiveFolders(); });
  Try([&] { engine.Submission().Queue(); });
  std::vector<int64_t> pending;
  Try([&] { pending.push_back(engine.Folders().SpecialFolderId(TSpecialFolder::Root)); });
  Try([&] { pending.push_back(engine.Folders().SpecialFolderId(TSpecialFolder::Inbox)); });
  std::set<int64_t> seen;
  size_t messages = 0;
  while (!pending.empty() && seen.size() < kMaxFolders) {
    int64_t folder = pending.back();
    pending.pop_back();
    if (!seen.insert(folder).second) continue;
    Try([&] { engine.Folders().Get(folder); });
    Try([&] { Decode(engine.Folders().Props(folder)); });
    Try([&] { engine.Folders().Counts(folder); });
    Try([&] { engine.Changes().ContentChangesSince(folder, 0); });
    Try([&] { engine.Changes().HierarchyChangesSince(folder, 0); });
    Try([&] {
      for (const TFolderRecord& child : engine.Folders().Children(folder)) pending.push_back(child.id);
    });
    ReadTables(store, folder);
    for (bool associated : {false, true}) {
      std::vector<int64_t> ids;
      Try([&] { ids = engine.Messages().Ids(folder, associated); });
      for (int64_t id : ids) {
        if (++messages > kMaxMessages) break;
        Try([&] { engine.Messages().Get(id); });
        Try([&] { DecodeImage(engine.Messages().Load(id), 0); });
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static THome home;
  home.Clear();
  {
    std::ofstream file(home.Store(), std::ios::binary);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::shared_ptr<TOpenStore> store;
  try {
    store = TOpenStore::Open(home.Store().string(), TStoreKind::PersonalFile, u"F", Bytes(20, 1), Bytes(20, 2));
  } catch (const TMapiError&) {
    return 0;
  }
  Walk(store);
  return 0;
}
