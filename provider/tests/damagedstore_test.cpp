// Store files that are not stores, or damaged ones: opening them answers an error and
// leaves the process able to open stores (the open-store registry stays usable).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "base/maperror.h"
#include "base/sqlite.h"
#include "mapiobjects/openstore.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

HRESULT OpenError(const std::filesystem::path& path) {
  try {
    TOpenStore::Open(path.string(), TStoreKind::PersonalFile, u"P", Bytes(20, 1), Bytes(20, 2));
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DamagedStoreFile, TextFileIsCorruptDataEveryTime) {
  TTempStoreHome home;
  auto path = home.Path() / "text.pst";
  Write(path, "This is not a message store.\n");
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
  // A failed open leaves nothing behind: the next attempt answers again.
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
  EXPECT_TRUE(TOpenStore::OpenAt(path.string()).empty());
}

TEST(DamagedStoreFile, EmptyDatabaseIsNotAStore) {
  TTempStoreHome home;
  auto path = home.Path() / "empty.pst";
  Write(path, "");
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
}

TEST(DamagedStoreFile, TruncatedStoreFailsAndOthersStillOpen) {
  TTempStoreHome home;
  auto good = home.Path() / "good.pst";
  std::string bytes;
  {
    auto store = TOpenStore::Open(good.string(), TStoreKind::PersonalFile, u"P", Bytes(20, 3), Bytes(20, 4));
    store->Engine().Messages().Create(store->Engine().Folders().SpecialFolderId(TSpecialFolder::Inbox), false, {});
  }
  bytes = Read(good);
  ASSERT_GT(bytes.size(), 4096u);
  auto truncated = home.Path() / "truncated.pst";
  Write(truncated, bytes.substr(0, 4096));
  EXPECT_NE(OpenError(truncated), S_OK);
  // The registry's lock is free again: the intact store and a new one open.
  EXPECT_EQ(OpenError(good), S_OK);
  EXPECT_EQ(OpenError(home.Path() / "new.pst"), S_OK);
}

// Two folders made each other's parent, as a damaged file may hold them.
class LoopingFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    auto engine = TStoreEngine::Create(path_, TStoreKind::PersonalFile, u"P");
    int64_t inbox = engine->Folders().SpecialFolderId(TSpecialFolder::Inbox);
    a_ = engine->Folders().Create(inbox, u"A", FOLDER_GENERIC, {}, false);
    b_ = engine->Folders().Create(a_, u"B", FOLDER_GENERIC, {}, false);
    c_ = engine->Folders().Create(inbox, u"C", FOLDER_GENERIC, {}, false);
    engine.reset();
    TSqlDatabase db(path_);
    db.Prepare("UPDATE folders SET parent_id=? WHERE id=?").Bind(1, b_).Bind(2, a_).Run();
    engine_ = TStoreEngine::Open(path_);
  }

  TTempStoreHome home_;
  std::string path_ = (home_.Path() / "loop.pst").string();
  std::shared_ptr<TStoreEngine> engine_;
  int64_t a_ = 0, b_ = 0, c_ = 0;
};

TEST_F(LoopingFolders, ChangesBelowAFolderEnd) {
  THierarchyChanges changes = engine_->Changes().HierarchyChangesSince(a_, 0);
  std::vector<int64_t> ids;
  for (const TFolderRecord& folder : changes.changed) ids.push_back(folder.id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int64_t>{a_, b_}));
}

TEST_F(LoopingFolders, MoveIntoTheLoopIsCorruptData) {
  try {
    engine_->Folders().Move(c_, a_, std::nullopt);
    FAIL() << "moved into a looping tree";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_CORRUPT_DATA);
  }
  // Moving a folder of the loop under itself is still a cycle.
  try {
    engine_->Folders().Move(a_, b_, std::nullopt);
    FAIL() << "moved under itself";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_FOLDER_CYCLE);
  }
}

// Every walk of a subtree refuses a folder of the loop instead of running forever (or
// out of stack); folders outside it keep working.
TEST_F(LoopingFolders, SubtreeOperationsRefuseTheLoop) {
  auto expectCorrupt = [](const std::function<void()>& operation, const char* what) {
    try {
      operation();
      ADD_FAILURE() << what << " went through a looping tree";
    } catch (const TMapiError& e) {
      EXPECT_EQ(e.Code(), MAPI_E_CORRUPT_DATA) << what;
    }
  };
  int64_t inbox = engine_->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  expectCorrupt([&] { engine_->Folders().Delete(a_, true, true); }, "DeleteFolder");
  expectCorrupt([&] { engine_->Folders().Empty(b_, true); }, "EmptyFolder");
  expectCorrupt([&] { engine_->Folders().Copy(a_, c_, std::nullopt, true); }, "CopyFolder");
  expectCorrupt([&] { engine_->Folders().Export(a_, true); }, "ExportFolder");
  expectCorrupt([&] { engine_->Folders().CheckTree(b_); }, "CheckFolderTree");
  EXPECT_NO_THROW(engine_->Folders().CheckTree(c_));
  int64_t copy = engine_->Folders().Copy(c_, inbox, u"C2", true);
  EXPECT_NO_THROW(engine_->Folders().Delete(copy, true, true));
  EXPECT_NO_THROW(engine_->Folders().Empty(c_, true));
}

}  // namespace
}  // namespace orba::store
