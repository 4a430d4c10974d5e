// The store walk: the order of its events, a handler that skips a subtree, a folder
// without subfolders, and a walk from the IPM subtree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orba/VoMAPIMsgStoreParser.h"
#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

class ParserTest : public StoresTest {
 protected:
  void SetUp() override {
    StoresTest::SetUp();
    walk_ = Subtree()->CreateFolder(u"IPF.Note", u"Walk", u"", false);
    ComPtr<IVoMAPIFolder> a = walk_->CreateFolder(u"IPF.Note", u"A", u"", false);
    SaveMessage(a->CreateFolder(u"IPF.Note", u"A1", u"", false).get(), u"a1");
    a->CreateFolder(u"IPF.Note", u"A2", u"", false);
    SaveMessage(a.get(), u"a");
    SaveMessage(walk_->CreateFolder(u"IPF.Note", u"B", u"", false).get(), u"b");
    SaveMessage(walk_.get(), u"w1");
    SaveMessage(walk_.get(), u"w2");
  }
  // Walks from Folder, logging every event; Skip names a folder whose subtree is skipped.
  std::vector<std::string> Walk(IVoMAPIFolder* Folder, const std::string& Skip = "") {
    std::vector<std::string> log;
    TVoMAPIMsgStoreParser parser;
    parser.OnParseStart = [&](TVoMAPIMsgStoreParser* sender, IVoMAPIMsgStore* store, IVoMAPIFolder* folder) {
      EXPECT_EQ(sender, &parser);
      EXPECT_EQ(store, store_.get());
      log.push_back("start " + NameOf(folder));
    };
    parser.OnParseSubFolder = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder* parent, IVoMAPIFolder* sub,
                                  bool& Continue) {
      log.push_back(NameOf(parent) + "/" + NameOf(sub));
      if (NameOf(sub) == Skip) Continue = false;
    };
    parser.OnParseMessage = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder* folder,
                                const TVoMAPIEntryID& id, const WideString& subject) {
      EXPECT_EQ(store_->OpenMessage(id, alReadOnly, false)->Get_Subject(), subject);
      log.push_back(NameOf(folder) + ":" + ToUtf8(subject));
    };
    parser.OnParseEnd = [&](TVoMAPIMsgStoreParser* sender) {
      EXPECT_EQ(sender, &parser);
      log.push_back("end");
    };
    parser.Start(store_.get(), Folder);
    return log;
  }

  ComPtr<IVoMAPIFolder> walk_;
};

TEST_F(ParserTest, ReportsSubfoldersBeforeMessagesAndEachSubtreeBeforeItsSibling) {
  const std::vector<std::string> expected = {"start Walk", "Walk/A", "A/A1",    "A1:a1",   "A/A2", "A:a",
                                             "Walk/B",     "B:b",    "Walk:w1", "Walk:w2", "end"};
  EXPECT_EQ(Walk(walk_.get()), expected);
}

TEST_F(ParserTest, ClearingContinueSkipsOneSubtreeOnly) {
  const std::vector<std::string> expected = {"start Walk", "Walk/A", "Walk/B", "B:b", "Walk:w1", "Walk:w2", "end"};
  EXPECT_EQ(Walk(walk_.get(), "A"), expected);
}

TEST_F(ParserTest, StartsAtTheIPMSubtreeAndNeedsAStore) {
  const std::vector<std::string> log = Walk(nullptr);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "start Top of Information Store");
  EXPECT_EQ(std::count(log.begin(), log.end(), "Top of Information Store/Walk"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Sync Issues/Conflicts"), 1);
  EXPECT_EQ(log.back(), "end");

  TVoMAPIMsgStoreParser parser;
  EXPECT_MAPI_ERROR(parser.Start(nullptr, nullptr), E_INVALIDARG, "No messagestore specified!");
}

}  // namespace
