// Hierarchy tables of a personal store following folder and message changes row by
// row: folders created, renamed, moved in and out, copied, deleted, emptied away, and
// the counts of a child folder when its messages change; in tables of direct
// subfolders and in CONVENIENT_DEPTH tables (with PR_DEPTH).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <mapi/edkmdb.h>

#include "mapiobjects/storeproviders.h"
#include "props/tags.h"
#include "storetestutil.h"

namespace orba::store {
namespace {

using namespace testing;

// One table notification: its event and, for added and modified rows, the row's
// name, depth, counts and subfolder flag.
struct TableEvent {
  ULONG event = 0;
  std::u16string name;
  LONG depth = -1, count = -1, unread = -1;
  bool subfolders = false;
};

class TTableSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) {
      if (notifications[i].ulEventType != fnevTableModified) continue;
      const TABLE_NOTIFICATION& table = notifications[i].info.tab;
      TableEvent event;
      event.event = table.ulTableEvent;
      for (ULONG p = 0; p < table.row.cValues; ++p) {
        const SPropValue& v = table.row.lpProps[p];
        if (v.ulPropTag == tags::kDisplayNameW) event.name = reinterpret_cast<const char16_t*>(v.Value.lpszW);
        if (v.ulPropTag == tags::kDepth) event.depth = v.Value.l;
        if (v.ulPropTag == tags::kContentCount) event.count = v.Value.l;
        if (v.ulPropTag == tags::kContentUnread) event.unread = v.Value.l;
        if (v.ulPropTag == tags::kSubfolders) event.subfolders = v.Value.b != 0;
      }
      events.push_back(event);
    }
    return 0;
  }
  // The events of one kind, by row name.
  std::vector<std::u16string> Names(ULONG kind) const {
    std::vector<std::u16string> out;
    for (const auto& e : events)
      if (e.event == kind) out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
  }
  size_t CountOf(ULONG kind) const {
    return std::count_if(events.begin(), events.end(), [&](const TableEvent& e) { return e.event == kind; });
  }
  const TableEvent* Last(ULONG kind, const std::u16string& name) const {
    for (auto e = events.rbegin(); e != events.rend(); ++e)
      if (e->event == kind && e->name == name) return &*e;
    return nullptr;
  }
  std::vector<TableEvent> events;
};

class HierarchyNotify : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSPST MS");
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    Bytes storeId;
    OpenDefaultStore(session_.get(), store_, storeId);
    inbox_ = OpenFolder(store_.get(), InboxId(store_.get()));
    ASSERT_TRUE(inbox_);
  }
  void TearDown() override {
    tables_.clear();
    inbox_ = nullptr;
    store_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
    MAPIUninitialize();
  }

  // A hierarchy table of folder with a sink on it; rows are read once so that it is
  // live.
  ComPtr<TTableSink> Watch(IMAPIFolder* folder, ULONG flags = 0) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder->GetHierarchyTable(flags, table.Out()), S_OK);
    SizedSPropTagArray<6> columns{6,
                                  {tags::kDisplayNameW, tags::kInstanceKey, tags::kDepth, tags::kContentCount,
                                   tags::kContentUnread, tags::kSubfolders}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    auto sink = MakeComObject<TTableSink>();
    ULONG_PTR connection = 0;
    EXPECT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
    tables_.push_back(table);
    return sink;
  }
  // The rows of the last watched table: name -> depth.
  std::multimap<std::u16string, LONG> Rows() {
    IMAPITable* table = tables_.back().get();
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    std::multimap<std::u16string, LONG> out;
    for (ULONG i = 0; rows && i < rows->cRows; ++i)
      out.emplace(reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[0].Value.lpszW),
                  rows->aRow[i].lpProps[2].ulPropTag == tags::kDepth ? rows->aRow[i].lpProps[2].Value.l : -1);
    FreeProws(rows);
    return out;
  }
  ComPtr<IMAPIFolder> Child(IMAPIFolder* parent, const char16_t* name) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(
        parent->CreateFolder(FOLDER_GENERIC, W(name), nullptr, nullptr, MAPI_UNICODE | OPEN_IF_EXISTS, folder.Out()),
        S_OK);
    return folder;
  }
  Bytes SaveMessage(IMAPIFolder* folder) {
    ComPtr<IMessage> message;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    return Binary(message.get(), tags::kEntryId);
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  ComPtr<IMAPIFolder> inbox_;
  std::vector<ComPtr<IMAPITable>> tables_;
};

TEST_F(HierarchyNotify, CreatedAndRenamedFoldersAreSingleRows) {
  auto sink = Watch(inbox_.get());
  auto projects = Child(inbox_.get(), u"Projects");
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), std::vector<std::u16string>{u"Projects"});
  EXPECT_EQ(sink->CountOf(TABLE_RELOAD), 0u);
  SPropValue name{};
  name.ulPropTag = tags::kDisplayNameW;
  name.Value.lpszW = Wide(u"Plans");
  ASSERT_EQ(projects->SetProps(1, &name, nullptr), S_OK);
  EXPECT_EQ(sink->Names(TABLE_ROW_MODIFIED), std::vector<std::u16string>{u"Plans"});
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED), 1u);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_DELETED), 0u);
  EXPECT_EQ(Rows(), (std::multimap<std::u16string, LONG>{{u"Plans", 1}}));
}

TEST_F(HierarchyNotify, AGrandchildChangesOnlyItsParentsRow) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto sink = Watch(inbox_.get());
  Child(projects.get(), u"Alpha");
  // Not a row of a table of direct subfolders; its parent now has subfolders.
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED), 0u);
  ASSERT_EQ(sink->Names(TABLE_ROW_MODIFIED), std::vector<std::u16string>{u"Projects"});
  EXPECT_TRUE(sink->Last(TABLE_ROW_MODIFIED, u"Projects")->subfolders);
}

TEST_F(HierarchyNotify, MessageCountsOfAChildFolderAreModifiedRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto sink = Watch(inbox_.get());
  Bytes first = SaveMessage(projects.get());
  SaveMessage(projects.get());
  const TableEvent* row = sink->Last(TABLE_ROW_MODIFIED, u"Projects");
  ASSERT_TRUE(row);
  EXPECT_EQ(row->count, 2);
  EXPECT_EQ(row->unread, 0);
  SBinary bin{static_cast<ULONG>(first.size()), first.data()};
  ENTRYLIST list{1, &bin};
  ASSERT_EQ(projects->SetReadFlags(&list, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Projects")->unread, 1);
  ASSERT_EQ(projects->DeleteMessages(&list, 0, nullptr, DELETE_HARD_DELETE), S_OK);
  row = sink->Last(TABLE_ROW_MODIFIED, u"Projects");
  EXPECT_EQ(row->count, 1);
  EXPECT_EQ(row->unread, 0);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED) + sink->CountOf(TABLE_ROW_DELETED) + sink->CountOf(TABLE_RELOAD), 0u);
}

TEST_F(HierarchyNotify, MessagesMovedBetweenChildrenModifyBothRows) {
  auto from = Child(inbox_.get(), u"From");
  auto to = Child(inbox_.get(), u"To");
  std::vector<Bytes> ids{SaveMessage(from.get())};
  auto sink = Watch(inbox_.get());
  SBinary bin{static_cast<ULONG>(ids[0].size()), ids[0].data()};
  ENTRYLIST list{1, &bin};
  ASSERT_EQ(from->CopyMessages(&list, nullptr, to.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"From")->count, 0);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"To")->count, 1);
}

TEST_F(HierarchyNotify, FoldersMovedOutAndInAreDeletedAndAddedRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto other = Child(inbox_.get(), u"Other");
  Bytes otherId = Binary(other.get(), tags::kEntryId);
  auto sink = Watch(projects.get());
  ASSERT_EQ(inbox_->CopyFolder(static_cast<ULONG>(otherId.size()), reinterpret_cast<LPENTRYID>(otherId.data()), nullptr,
                               projects.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            S_OK);
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), std::vector<std::u16string>{u"Other"});
  EXPECT_EQ(Rows(), (std::multimap<std::u16string, LONG>{{u"Other", 1}}));
  ASSERT_EQ(projects->CopyFolder(static_cast<ULONG>(otherId.size()), reinterpret_cast<LPENTRYID>(otherId.data()),
                                 nullptr, inbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_DELETED), 1u);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(sink->CountOf(TABLE_RELOAD), 0u);
}

TEST_F(HierarchyNotify, DeepTableFollowsSubtreesWithTheirDepths) {
  auto sink = Watch(inbox_.get(), CONVENIENT_DEPTH);
  auto projects = Child(inbox_.get(), u"Projects");
  auto alpha = Child(projects.get(), u"Alpha");
  Child(alpha.get(), u"Drafts of alpha");
  EXPECT_EQ(sink->Names(TABLE_ROW_ADDED), (std::vector<std::u16string>{u"Alpha", u"Drafts of alpha", u"Projects"}));
  EXPECT_EQ(sink->Last(TABLE_ROW_ADDED, u"Drafts of alpha")->depth, 3);
  // A copy of a subtree brings rows for each of its folders.
  auto archive = Child(inbox_.get(), u"Archive");
  Bytes alphaId = Binary(alpha.get(), tags::kEntryId);
  ASSERT_EQ(projects->CopyFolder(static_cast<ULONG>(alphaId.size()), reinterpret_cast<LPENTRYID>(alphaId.data()),
                                 nullptr, archive.get(), W(u"Nested"), 0, nullptr, COPY_SUBFOLDERS | MAPI_UNICODE),
            S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED), 6u);
  EXPECT_EQ(sink->Last(TABLE_ROW_ADDED, u"Nested")->depth, 2);
  EXPECT_EQ(Rows(), (std::multimap<std::u16string, LONG>{{u"Projects", 1},
                                                         {u"Alpha", 2},
                                                         {u"Drafts of alpha", 3},
                                                         {u"Archive", 1},
                                                         {u"Nested", 2},
                                                         {u"Drafts of alpha", 3}}));
  // Deleting a subtree deletes each of its rows.
  ASSERT_EQ(projects->DeleteFolder(static_cast<ULONG>(alphaId.size()), reinterpret_cast<LPENTRYID>(alphaId.data()), 0,
                                   nullptr, DEL_FOLDERS | DEL_MESSAGES),
            S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_DELETED), 2u);
  EXPECT_EQ(Rows(), (std::multimap<std::u16string, LONG>{
                        {u"Projects", 1}, {u"Archive", 1}, {u"Nested", 2}, {u"Drafts of alpha", 3}}));
  EXPECT_EQ(sink->CountOf(TABLE_RELOAD), 0u);
}

TEST_F(HierarchyNotify, DeepTableRowsTakeNewDepthsWhenMoved) {
  auto projects = Child(inbox_.get(), u"Projects");
  auto archive = Child(inbox_.get(), u"Archive");
  auto alpha = Child(projects.get(), u"Alpha");
  Child(alpha.get(), u"Beta");
  auto sink = Watch(inbox_.get(), CONVENIENT_DEPTH);
  Rows();
  Bytes alphaId = Binary(alpha.get(), tags::kEntryId);
  ASSERT_EQ(projects->CopyFolder(static_cast<ULONG>(alphaId.size()), reinterpret_cast<LPENTRYID>(alphaId.data()),
                                 nullptr, inbox_.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            S_OK);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Alpha")->depth, 1);
  EXPECT_EQ(sink->Last(TABLE_ROW_MODIFIED, u"Beta")->depth, 2);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_ADDED) + sink->CountOf(TABLE_ROW_DELETED), 0u);
  EXPECT_EQ(Rows(),
            (std::multimap<std::u16string, LONG>{{u"Projects", 1}, {u"Archive", 1}, {u"Alpha", 1}, {u"Beta", 2}}));
}

TEST_F(HierarchyNotify, EmptiedFolderLosesItsSubfolderRows) {
  auto projects = Child(inbox_.get(), u"Projects");
  Child(projects.get(), u"Alpha");
  Child(projects.get(), u"Beta");
  auto sink = Watch(projects.get());
  Rows();
  ASSERT_EQ(projects->EmptyFolder(0, nullptr, 0), S_OK);
  EXPECT_EQ(sink->CountOf(TABLE_ROW_DELETED), 2u);
  EXPECT_TRUE(Rows().empty());
}

}  // namespace
}  // namespace orba::store
