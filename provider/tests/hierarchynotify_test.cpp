// Hierarchy tables of a personal store following folder and message changes row by
// row: folders created, renamed, moved in and out, copied, deleted, emptied away, and
// the counts of a child folder when its messages change; in tables of direct
// subfolders and in CONVENIENT_DEPTH tables (with PR_DEPTH).
#include <gtest/gtest.h>

#include <mapi/edkmdb.h>

#include <map>

#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using Depths = std::multimap<std::u16string, LONG>;

class HierarchyNotify : public TStoreSessionTest {
 protected:
  void TearDown() override {
    table_ = nullptr;
    TStoreSessionTest::TearDown();
  }
  // A hierarchy table of folder with a sink on it.
  ComPtr<TTableSink> Watch(IMAPIFolder* folder, ULONG flags = 0) {
    table_ = HierarchyOf(folder, flags);
    Rows();
    auto sink = WatchTable<TTableSink>(table_.get());
    return sink;
  }
  // The rows of the watched table: name -> depth.
  Depths Rows() {
    TRows rows = All(table_.get(),
                     {tags::kDisplayNameW, tags::kDepth, tags::kContentCount, tags::kContentUnread, tags::kSubfolders});
    Depths out;
    for (ULONG i = 0; i < rows.size(); ++i)
      out.emplace(TextOf(rows[i][0]), rows[i][1].ulPropTag == tags::kDepth ? rows[i][1].Value.l : -1);
    return out;
  }
  Bytes SaveMessage(IMAPIFolder* folder) { return Save(NewMessage(folder).get()); }

  ComPtr<IMAPITable> table_;
};

TEST_F(HierarchyNotify, CreatedAndRenamedFoldersAreSingleRows) {
  auto sink = Watch(inbox_.get());
  auto projects = Child(inbox_.get(), u"Projects");
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), Names{u"Projects"});
  ASSERT_EQ(Set(projects.get(), {TextValue(tags::kDisplayNameW, u"Plans")}), S_OK);
  EXPECT_EQ(sink->Names(TABLE_ROW_MODIFIED), Names{u"Plans"});
  EXPECT_EQ(sink->Kinds(), (std::vector<ULONG>{TABLE_ROW_ADDED, TABLE_ROW_MODIFIED}));
  EXPECT_EQ(Rows(), (Depths{{u"Plans", 1}}));
}

TEST_F(HierarchyNotify, AGrandchildChangesOnlyItsParentsRow) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto sink = Watch(inbox_.get());
  Child(projects.get(), u"Alpha");
  // Not a row of a table of direct subfolders; its parent now has subfolders.
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED), 0u);
  ASSERT_EQ(sink->Names(TABLE_ROW_MODIFIED), Names{u"Projects"});
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Projects", tags::kSubfolders), 1);
}

TEST_F(HierarchyNotify, MessageCountsOfChildFoldersAreModifiedRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto other = Child(inbox_.get(), u"Other");
  auto sink = Watch(inbox_.get());
  std::vector<Bytes> first{SaveMessage(projects.get())};
  SaveMessage(projects.get());
  auto last = [&](const char16_t* name, ULONG tag) { return sink->Last(TABLE_ROW_MODIFIED, name, tag); };
  EXPECT_EQ(last(u"Projects", tags::kContentCount), 2);
  TEntryList list(first);
  ASSERT_EQ(projects->SetReadFlags(&list.list, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(last(u"Projects", tags::kContentUnread), 1);
  // Moved between children: both rows change.
  ASSERT_EQ(projects->CopyMessages(&list.list, nullptr, other.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(last(u"Projects", tags::kContentCount), 1);
  EXPECT_EQ(last(u"Other", tags::kContentCount), 1);
  ASSERT_EQ(other->DeleteMessages(&list.list, 0, nullptr, DELETE_HARD_DELETE), S_OK);
  EXPECT_EQ(last(u"Other", tags::kContentCount), 0);
}

TEST_F(HierarchyNotify, FoldersMovedOutAndInAreDeletedAndAddedRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto other = Child(inbox_.get(), u"Other");
  auto sink = Watch(projects.get());
  ASSERT_EQ(CopyFolder(inbox_.get(), EntryIdOf(other.get()), projects.get(), nullptr, FOLDER_MOVE), S_OK);
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), Names{u"Other"});
  EXPECT_EQ(Rows(), (Depths{{u"Other", 1}}));
  ASSERT_EQ(CopyFolder(projects.get(), EntryIdOf(other.get()), inbox_.get(), nullptr, FOLDER_MOVE), S_OK);
  EXPECT_EQ(sink->Kinds(), (std::vector<ULONG>{TABLE_ROW_ADDED, TABLE_ROW_DELETED}));
  EXPECT_TRUE(Rows().empty());
}

TEST_F(HierarchyNotify, DeepTableFollowsSubtreesWithTheirDepths) {
  auto sink = Watch(inbox_.get(), CONVENIENT_DEPTH);
  auto projects = Child(inbox_.get(), u"Projects");
  auto alpha = Child(projects.get(), u"Alpha");
  Child(alpha.get(), u"Drafts of alpha");
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), (Names{u"Alpha", u"Drafts of alpha", u"Projects"}));
  EXPECT_EQ(sink->Last(TABLE_ROW_ADDED, u"Drafts of alpha", tags::kDepth), 3);
  // A copy of a subtree brings rows for each of its folders.
  auto archive = Child(inbox_.get(), u"Archive");
  ASSERT_EQ(CopyFolder(projects.get(), EntryIdOf(alpha.get()), archive.get(), u"Nested", COPY_SUBFOLDERS), S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED), 6u);
  EXPECT_EQ(sink->Last(TABLE_ROW_ADDED, u"Nested", tags::kDepth), 2);
  // Deleting a subtree deletes each of its rows.
  Bytes alphaId = EntryIdOf(alpha.get());
  ASSERT_EQ(projects->DeleteFolder(Cb(alphaId), Id(alphaId), 0, nullptr, DEL_FOLDERS | DEL_MESSAGES), S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_DELETED), 2u);
  EXPECT_EQ(Rows(), (Depths{{u"Projects", 1}, {u"Archive", 1}, {u"Nested", 2}, {u"Drafts of alpha", 3}}));
}

TEST_F(HierarchyNotify, DeepTableRowsTakeNewDepthsWhenMoved) {
  auto projects = Child(inbox_.get(), u"Projects");
  Child(inbox_.get(), u"Archive");
  auto alpha = Child(projects.get(), u"Alpha");
  Child(alpha.get(), u"Beta");
  auto sink = Watch(inbox_.get(), CONVENIENT_DEPTH);
  ASSERT_EQ(CopyFolder(projects.get(), EntryIdOf(alpha.get()), inbox_.get(), nullptr, FOLDER_MOVE), S_OK);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Alpha", tags::kDepth), 1);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Beta", tags::kDepth), 2);
  EXPECT_EQ(Rows(), (Depths{{u"Projects", 1}, {u"Archive", 1}, {u"Alpha", 1}, {u"Beta", 2}}));
}

TEST_F(HierarchyNotify, EmptiedFolderLosesItsSubfolderRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  Child(projects.get(), u"Alpha");
  Child(projects.get(), u"Beta");
  auto sink = Watch(projects.get());
  ASSERT_EQ(projects->EmptyFolder(0, nullptr, 0), S_OK);
  EXPECT_EQ(sink->Kinds(), (std::vector<ULONG>{TABLE_ROW_DELETED, TABLE_ROW_DELETED}));
  EXPECT_TRUE(Rows().empty());
}

}  // namespace
}  // namespace orba::store
