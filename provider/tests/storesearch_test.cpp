// The store engine's search folder criteria: keeping them, the folders they search,
// the results a stopped search keeps, their errors, and stores made before search
// folders existed.
#include <gtest/gtest.h>

#include <functional>

#include "base/maperror.h"
#include "base/sqlite.h"
#include "storage/storeengine.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

HRESULT CodeOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

class StoreSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = TStoreEngine::Create(Path(), TStoreKind::PersonalFile, u"Personal");
    inbox_ = store_->Folders().SpecialFolderId(TSpecialFolder::Inbox);
    finder_ = store_->Folders().SpecialFolderId(TSpecialFolder::SearchRoot);
    search_ = store_->Folders().Create(finder_, u"Found", FOLDER_SEARCH, {}, false);
  }
  std::string Path() const { return (home_.Path() / "store.db").string(); }
  TSearchCriteria Criteria(std::vector<int64_t> folders, bool recursive = false) {
    TSearchCriteria criteria;
    criteria.restriction = {8, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0, 0x37, 0, 0, 0, 0, 0};  // RES_EXIST on PR_SUBJECT
    criteria.folders = std::move(folders);
    criteria.recursive = recursive;
    return criteria;
  }

  TTempStoreHome home_;
  std::shared_ptr<TStoreEngine> store_;
  int64_t inbox_ = 0, finder_ = 0, search_ = 0;
};

TEST_F(StoreSearchTest, CriteriaAreKeptUntilTheFolderGoes) {
  EXPECT_FALSE(store_->Search().Criteria(search_).has_value());
  TSearchCriteria criteria = Criteria({inbox_, finder_}, true);
  criteria.foreground = true;
  store_->Search().SetCriteria(search_, criteria, {});
  store_.reset();
  store_ = TStoreEngine::Open(Path());
  auto kept = store_->Search().Criteria(search_);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->restriction, criteria.restriction);
  EXPECT_EQ(kept->folders, (std::vector<int64_t>{inbox_, finder_}));
  EXPECT_TRUE(kept->recursive);
  EXPECT_TRUE(kept->foreground);
  EXPECT_TRUE(kept->running);
  store_->Folders().Delete(search_, false, false);
  EXPECT_EQ(CodeOf([&] { store_->Search().Criteria(search_); }), MAPI_E_NOT_FOUND);
  // A new search folder never inherits the criteria of a deleted one.
  int64_t again = store_->Folders().Create(finder_, u"Found", FOLDER_SEARCH, {}, false);
  EXPECT_FALSE(store_->Search().Criteria(again).has_value());
}

TEST_F(StoreSearchTest, ScopeExpandsListedFoldersSkippingSearchFoldersAndDeletedOnes) {
  int64_t a = store_->Folders().Create(inbox_, u"A", FOLDER_GENERIC, {}, false);
  int64_t b = store_->Folders().Create(a, u"B", FOLDER_GENERIC, {}, false);
  int64_t gone = store_->Folders().Create(inbox_, u"Gone", FOLDER_GENERIC, {}, false);
  int64_t other = store_->Folders().Create(inbox_, u"Other search", FOLDER_SEARCH, {}, false);
  EXPECT_EQ(store_->Search().Scope(Criteria({inbox_})), (std::vector<int64_t>{inbox_}));
  EXPECT_EQ(store_->Search().Scope(Criteria({inbox_}, true)), (std::vector<int64_t>{inbox_, a, b, gone}));
  TSearchCriteria listed = Criteria({b, a, gone, a, other});
  store_->Search().SetCriteria(search_, listed, {});
  store_->Folders().Delete(gone, false, false);
  auto kept = store_->Search().Criteria(search_);
  EXPECT_EQ(kept->folders, (std::vector<int64_t>{b, a, gone, a, other}));  // as listed
  EXPECT_EQ(store_->Search().Scope(*kept), (std::vector<int64_t>{a, b}));
}

TEST_F(StoreSearchTest, AStoppedSearchKeepsItsLiveResults) {
  TMessageImage image;
  int64_t one = store_->Messages().Create(inbox_, false, image);
  int64_t two = store_->Messages().Create(inbox_, false, image);
  TSearchCriteria criteria = Criteria({inbox_});
  criteria.running = false;
  store_->Search().SetCriteria(search_, criteria, {two, one, two});
  EXPECT_EQ(store_->Search().KeptResults(search_), (std::vector<int64_t>{one, two}));
  store_->Messages().Delete(one, true);
  EXPECT_EQ(store_->Search().KeptResults(search_), (std::vector<int64_t>{two}));
  // Running again, nothing is kept.
  criteria.running = true;
  store_->Search().SetCriteria(search_, criteria, {two});
  EXPECT_TRUE(store_->Search().KeptResults(search_).empty());
}

TEST_F(StoreSearchTest, ErrorsLeaveTheCriteriaAsTheyWere) {
  EXPECT_EQ(CodeOf([&] { store_->Search().Criteria(inbox_); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(CodeOf([&] { store_->Search().SetCriteria(inbox_, Criteria({finder_}), {}); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(CodeOf([&] { store_->Search().SetCriteria(search_, Criteria({search_}), {}); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CodeOf([&] { store_->Search().SetCriteria(search_, Criteria({inbox_, 9999}), {}); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { store_->Search().SetCriteria(search_, Criteria({}), {}); }), MAPI_E_INVALID_PARAMETER);
  TSearchCriteria empty = Criteria({inbox_});
  empty.restriction.clear();
  EXPECT_EQ(CodeOf([&] { store_->Search().SetCriteria(search_, empty, {}); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_FALSE(store_->Search().Criteria(search_).has_value());
  // No subfolders below a search folder, made, moved or copied there.
  EXPECT_EQ(CodeOf([&] { store_->Folders().Create(search_, u"Sub", FOLDER_GENERIC, {}, false); }), MAPI_E_NO_SUPPORT);
  int64_t loose = store_->Folders().Create(inbox_, u"Loose", FOLDER_GENERIC, {}, false);
  EXPECT_EQ(CodeOf([&] { store_->Folders().Move(loose, search_, std::nullopt); }), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(CodeOf([&] { store_->Folders().Copy(loose, search_, std::nullopt, true); }), MAPI_E_NO_SUPPORT);
  EXPECT_TRUE(store_->Folders().Children(search_).empty());
}

TEST_F(StoreSearchTest, StoresWithoutSearchTablesGetThemWhenOpened) {
  store_.reset();
  {
    TSqlDatabase db(Path());
    db.Execute("DROP TABLE search_kept; DROP TABLE search_scope; DROP TABLE search_criteria;");
  }
  store_ = TStoreEngine::Open(Path());
  EXPECT_FALSE(store_->Search().Criteria(search_).has_value());
  store_->Search().SetCriteria(search_, Criteria({inbox_}), {});
  EXPECT_TRUE(store_->Search().Criteria(search_).has_value());
}

}  // namespace
}  // namespace orba::store
