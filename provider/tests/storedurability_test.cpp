// Durability of the store engine across processes (a writer killed in the middle of a
// bulk import, two processes writing one store at once) and store files that are not
// stores or are damaged: opening them answers an error, leaves the process able to open
// stores, and no walk of a looping folder tree runs forever.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "mapiobjects/openstore.h"
#include "storage/sqlite/sqlite.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

// Writes n messages into the Inbox of the store at path; after each save returns,
// its id goes to fd. Runs in a child process and never returns.
[[noreturn]] void Import(const std::string& path, int n, int fd) {
  int status = 0;
  try {
    auto store = TStoreEngine::Open(path);
    int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
    for (int i = 0; i < n; ++i) {
      int64_t id = store->Messages().Create(inbox, false, Note(u"Message " + FromUtf8(std::to_string(i))));
      if (fd >= 0 && write(fd, &id, sizeof(id)) != sizeof(id)) status = 2;
    }
  } catch (...) {
    status = 1;
  }
  _exit(status);
}

class StoreDurability : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    engine_ = nullptr;
  }
};

TEST_F(StoreDurability, AKilledImportLosesNoSavedMessage) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    Import(path_, 100000, fds[1]);
  }
  close(fds[1]);
  std::set<int64_t> saved;
  int64_t id = 0;
  while (saved.size() < 200 && read(fds[0], &id, sizeof(id)) == sizeof(id)) saved.insert(id);
  kill(child, SIGKILL);
  // Whatever is still in the pipe was saved too.
  while (read(fds[0], &id, sizeof(id)) == sizeof(id)) saved.insert(id);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_GE(saved.size(), 200u);
  {
    TSqlDatabase db(path_);
    auto check = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
  }
  Reopen();
  for (int64_t message : saved) EXPECT_NO_THROW(engine_->Messages().Load(message)) << message;
  // The store still takes changes.
  engine_->Messages().Create(inbox_, false, Note(u"After"));
}

TEST_F(StoreDurability, TwoProcessesWritingOneStoreLoseNothing) {
  constexpr int kEach = 150;
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) Import(path_, kEach, -1);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  Reopen();
  auto ids = engine_->Messages().Ids(inbox_, false);
  ASSERT_EQ(ids.size(), 2u * kEach);
  std::set<int64_t> changeNumbers;
  std::set<std::string> sourceKeys;  // as text: GCC 12 at -O3 misjudges comparisons of byte vectors
  for (int64_t id : ids) {
    TMessageRecord record = engine_->Messages().Get(id);
    changeNumbers.insert(record.change.changeNumber);
    sourceKeys.emplace(record.change.sourceKey.begin(), record.change.sourceKey.end());
  }
  EXPECT_EQ(changeNumbers.size(), ids.size());
  EXPECT_EQ(sourceKeys.size(), ids.size());
}

// --- damaged files ---

HRESULT OpenError(const std::filesystem::path& path) {
  return CodeOf([&] { TOpenStore::Open(path.string(), TStoreKind::PersonalFile, u"P", Bytes(20, 1), Bytes(20, 2)); });
}
void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(DamagedStoreFile, TextAndEmptyFilesAreCorruptDataEveryTime) {
  TTempStoreHome home;
  auto text = home.Path() / "text.pst", empty = home.Path() / "empty.pst";
  Write(text, "This is not a message store.\n");
  Write(empty, "");
  EXPECT_EQ(OpenError(text), MAPI_E_CORRUPT_DATA);
  // A failed open leaves nothing behind: the next attempt answers again.
  EXPECT_EQ(OpenError(text), MAPI_E_CORRUPT_DATA);
  EXPECT_TRUE(TOpenStore::OpenAt(text.string()).empty());
  EXPECT_EQ(OpenError(empty), MAPI_E_CORRUPT_DATA);
}

TEST(DamagedStoreFile, TruncatedStoreFailsAndOthersStillOpen) {
  TTempStoreHome home;
  auto good = home.Path() / "good.pst";
  {
    auto store = TOpenStore::Open(good.string(), TStoreKind::PersonalFile, u"P", Bytes(20, 3), Bytes(20, 4));
    store->Engine().Messages().Create(store->Engine().Folders().SpecialFolderId(TSpecialFolder::Inbox), false, {});
  }
  std::ifstream in(good, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(bytes.size(), 4096u);
  auto truncated = home.Path() / "truncated.pst";
  Write(truncated, bytes.substr(0, 4096));
  EXPECT_NE(OpenError(truncated), S_OK);
  // The registry's lock is free again: the intact store and a new one open.
  EXPECT_EQ(OpenError(good), S_OK);
  EXPECT_EQ(OpenError(home.Path() / "new.pst"), S_OK);
}

// Two folders made each other's parent, as a damaged file may hold them.
class LoopingFolders : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    a_ = Folder(inbox_, u"A");
    b_ = Folder(a_, u"B");
    c_ = Folder(inbox_, u"C");
    engine_ = nullptr;
    TSqlDatabase(path_).Prepare("UPDATE folders SET parent_id=? WHERE id=?").Bind(1, b_).Bind(2, a_).Run();
    Reopen();
  }
  int64_t a_ = 0, b_ = 0, c_ = 0;
};

TEST_F(LoopingFolders, ChangesBelowAFolderEnd) {
  std::vector<int64_t> ids;
  for (const TFolderRecord& folder : engine_->Changes().HierarchyChangesSince(a_, 0).changed) ids.push_back(folder.id);
  EXPECT_EQ(Sorted(ids), (std::vector<int64_t>{a_, b_}));
}

// Every walk of a subtree refuses a folder of the loop instead of running forever (or
// out of stack); folders outside it keep working.
TEST_F(LoopingFolders, SubtreeOperationsRefuseTheLoop) {
  IStoreFolders& folders = engine_->Folders();
  std::pair<const char*, std::function<void()>> operations[] = {
      {"MoveFolder", [&] { folders.Move(c_, a_, std::nullopt); }},
      {"DeleteFolder", [&] { folders.Delete(a_, true, true); }},
      {"EmptyFolder", [&] { folders.Empty(b_, true); }},
      {"CopyFolder", [&] { folders.Copy(a_, c_, std::nullopt, true); }},
      {"ExportFolder", [&] { folders.Export(a_, true); }},
      {"CheckFolderTree", [&] { folders.CheckTree(b_); }}};
  for (auto& [what, operation] : operations) EXPECT_EQ(CodeOf(operation), MAPI_E_CORRUPT_DATA) << what;
  // Moving a folder of the loop under itself is still a cycle.
  EXPECT_EQ(CodeOf([&] { folders.Move(a_, b_, std::nullopt); }), MAPI_E_FOLDER_CYCLE);
  EXPECT_NO_THROW(folders.CheckTree(c_));
  int64_t copy = folders.Copy(c_, inbox_, u"C2", true);
  EXPECT_NO_THROW(folders.Delete(copy, true, true));
  EXPECT_NO_THROW(folders.Empty(c_, true));
}

}  // namespace
}  // namespace orba::store
