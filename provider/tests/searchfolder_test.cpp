// Search folders of a personal store through the session: creating them, their
// criteria (round trip, persistence, errors), what they find (recursive or shallow;
// by subject, class, flags, large values and recipients), how their contents tables
// follow changes, and the message operations through them.
#include <gtest/gtest.h>

#include <mapi/edkmdb.h>

#include "props/restrictioncodec.h"
#include "storage/sqlite/sqlite.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

// A restriction with the value it points to: tag contains text, regardless of case.
struct Has {
  explicit Has(std::u16string text, ULONG tag = tags::kSubjectW) : text(std::move(text)) {
    value = TextValue(tag, this->text);
    r.rt = RES_CONTENT;
    r.res.resContent = {FL_SUBSTRING | FL_IGNORECASE, tag, &value};
  }
  Has(const Has&) = delete;
  LPSRestriction get() { return &r; }
  std::u16string text;
  SPropValue value{};
  SRestriction r{};
};
struct Unread {
  Unread() { r.res.resBitMask = {BMR_EQZ, tags::kMessageFlags, MSGFLAG_READ}; }
  LPSRestriction get() { return &r; }
  SRestriction r{RES_BITMASK, {}};
};

class SearchFolders : public TStoreSessionTest {
 protected:
  void SetUp() override {
    TStoreSessionTest::SetUp();
    finderId_ = Binary(store_.get(), tags::kFinderEntryId);
    finder_ = OpenFolder(store_.get(), finderId_);
  }
  void TearDown() override {
    finder_ = nullptr;
    TStoreSessionTest::TearDown();
  }
  ComPtr<IMAPIFolder> MakeSearch(const char16_t* name = u"Found") {
    return NewFolder(finder_.get(), name, FOLDER_SEARCH);
  }
  // A saved message; with an address, it has one recipient of it.
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, const char16_t* messageClass = u"IPM.Note",
                    const char16_t* address = nullptr) {
    auto message =
        NewMessage(folder, {TextValue(tags::kSubjectW, subject), TextValue(tags::kMessageClassW, messageClass)});
    if (address) {
      EXPECT_EQ(ModifyRecipients(message.get(), {{MAPI_TO, u"Someone", address}}), S_OK);
    }
    return Save(message.get());
  }
  void Rename(Bytes id, const char16_t* subject) { SetSubject(OpenMessage(store_.get(), id).get(), subject); }
  HRESULT Search(IMAPIFolder* search, LPSRestriction restriction, std::vector<Bytes> folders, ULONG flags) {
    TEntryList list(folders);
    return search->SetSearchCriteria(restriction, folders.empty() ? nullptr : &list.list, flags);
  }
  std::vector<Bytes> EncodedCriteria(IMAPIFolder* search, ULONG* state, std::vector<Bytes>* folders = nullptr) {
    LPSRestriction restriction = nullptr;
    LPENTRYLIST list = nullptr;
    EXPECT_EQ(search->GetSearchCriteria(MAPI_UNICODE, &restriction, folders ? &list : nullptr, state), S_OK);
    TMapiBuffer<SRestriction> r(restriction);
    TMapiBuffer<ENTRYLIST> l(list);
    for (ULONG i = 0; list && i < list->cValues; ++i)
      folders->emplace_back(list->lpbin[i].lpb, list->lpbin[i].lpb + list->lpbin[i].cb);
    return {restriction ? EncodeRestriction(*restriction) : Bytes()};
  }

  Bytes finderId_;
  ComPtr<IMAPIFolder> finder_;
};

// --- creation and criteria ---

TEST_F(SearchFolders, CreatedInTheFinderWithTheirTypeAndNoCriteriaYet) {
  EXPECT_TRUE(Long(store_.get(), tags::kStoreSupportMask) & STORE_SEARCH_OK);
  auto search = MakeSearch();
  ASSERT_TRUE(search);
  EXPECT_EQ(Long(search.get(), tags::kFolderType), ULONG(FOLDER_SEARCH));
  LPSRestriction restriction = nullptr;
  ULONG state = 0;
  EXPECT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, &state), MAPI_E_NOT_INITIALIZED);
  // Anywhere else in the store too, but not below a search folder.
  EXPECT_TRUE(NewFolder(inbox_.get(), u"Unread here", FOLDER_SEARCH));
  ComPtr<IMAPIFolder> below;
  EXPECT_EQ(search->CreateFolder(FOLDER_GENERIC, W(u"Sub"), nullptr, nullptr, MAPI_UNICODE, below.Out()),
            MAPI_E_NO_SUPPORT);
  // A search folder holds no messages of its own, nor copies of others.
  ComPtr<IMessage> message;
  EXPECT_EQ(search->CreateMessage(nullptr, 0, message.Out()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(search->CreateMessage(nullptr, MAPI_ASSOCIATED, message.Out()), S_OK);
  Bytes copyMe = SaveMessage(inbox_.get(), u"Copy me");
  EXPECT_EQ(CopyMessages(inbox_.get(), {copyMe}, search.get()), MAPI_E_NO_SUPPORT);
  // Nor can a folder be moved below it.
  Bytes genericId = EntryIdOf(NewFolder(inbox_.get(), u"Generic").get());
  EXPECT_EQ(CopyFolder(inbox_.get(), genericId, search.get(), nullptr, FOLDER_MOVE), MAPI_E_NO_SUPPORT);
  // Generic folders have no criteria.
  EXPECT_EQ(inbox_->GetSearchCriteria(0, &restriction, nullptr, &state), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(Search(inbox_.get(), Has(u"x").get(), {inboxId_}, 0), MAPI_E_NO_SUPPORT);
}

TEST_F(SearchFolders, CriteriaRoundTripWithTheirState) {
  auto search = MakeSearch();
  auto subject = Has(u"report");
  Bytes encoded = EncodeRestriction(*subject.get());
  ASSERT_EQ(
      Search(search.get(), subject.get(), {inboxId_, finderId_}, RECURSIVE_SEARCH | FOREGROUND_SEARCH | RESTART_SEARCH),
      S_OK);
  ULONG state = 0;
  std::vector<Bytes> folders;
  EXPECT_EQ(EncodedCriteria(search.get(), &state, &folders), std::vector<Bytes>{encoded});
  EXPECT_EQ(folders, (std::vector<Bytes>{inboxId_, finderId_}));
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_RECURSIVE | SEARCH_FOREGROUND));
  // Null arguments keep what was set; flags change only what they name.
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, SHALLOW_SEARCH), S_OK);
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_FOREGROUND));
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, BACKGROUND_SEARCH | NON_CONTENT_INDEXED_SEARCH), S_OK);
  EXPECT_EQ(EncodedCriteria(search.get(), &state), std::vector<Bytes>{encoded});
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING));
}

TEST_F(SearchFolders, CriteriaAndResultsSurviveARestart) {
  Bytes searchId = EntryIdOf(MakeSearch(u"Kept").get());
  SaveMessage(inbox_.get(), u"Quarterly report");
  SaveMessage(inbox_.get(), u"Lunch");
  auto subject = Has(u"REPORT");
  ASSERT_EQ(Search(OpenFolder(store_.get(), searchId).get(), subject.get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  Logoff();
  Logon();
  auto search = OpenFolder(store_.get(), searchId);
  ASSERT_TRUE(search);
  ULONG state = 0;
  EXPECT_EQ(EncodedCriteria(search.get(), &state), std::vector<Bytes>{EncodeRestriction(*subject.get())});
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_RECURSIVE));
  EXPECT_EQ(Subjects(search.get()), (Names{u"Quarterly report"}));
}

TEST_F(SearchFolders, CompletionIsNotifiedToTheFolderSinks) {
  auto search = MakeSearch();
  Bytes searchId = EntryIdOf(search.get());
  auto sink = Listen(store_.get(), fnevSearchComplete, searchId);
  ASSERT_EQ(Search(search.get(), Has(u"x").get(), {inboxId_}, 0), S_OK);
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].entryId, searchId);
  EXPECT_EQ(sink->events[0].parentId, finderId_);
}

TEST_F(SearchFolders, BadArgumentsGetTheirCodes) {
  auto search = MakeSearch();
  auto subject = Has(u"x");
  Bytes message = SaveMessage(inbox_.get(), u"A message");
  Bytes foreign = inboxId_;
  foreign[4] ^= 0xFF;  // another provider UID
  Bytes searchId = EntryIdOf(search.get());
  Bytes goneId = EntryIdOf(NewFolder(inbox_.get(), u"Gone").get());
  ASSERT_EQ(inbox_->DeleteFolder(Cb(goneId), Id(goneId), 0, nullptr, 0), S_OK);
  SRestriction brokenAnd{RES_AND, {}}, unknownType{0x99, {}};
  brokenAnd.res.resAnd = {3, nullptr};
  struct TCase {
    LPSRestriction restriction;
    std::vector<Bytes> folders;
    ULONG flags;
    HRESULT code;
  };
  // A first search needs both a restriction and folders.
  for (const TCase& c :
       std::vector<TCase>{{nullptr, {inboxId_}, 0, MAPI_E_INVALID_PARAMETER},
                          {subject.get(), {}, 0, MAPI_E_INVALID_PARAMETER},
                          {subject.get(), {inboxId_}, 0x100, MAPI_E_UNKNOWN_FLAGS},
                          {subject.get(), {inboxId_}, STOP_SEARCH | RESTART_SEARCH, MAPI_E_INVALID_PARAMETER},
                          {subject.get(), {inboxId_}, RECURSIVE_SEARCH | SHALLOW_SEARCH, MAPI_E_INVALID_PARAMETER},
                          {subject.get(), {inboxId_}, FOREGROUND_SEARCH | BACKGROUND_SEARCH, MAPI_E_INVALID_PARAMETER},
                          // Entry IDs that are not this store's folders.
                          {subject.get(), {Bytes{1, 2, 3}}, 0, MAPI_E_INVALID_ENTRYID},
                          {subject.get(), {message}, 0, MAPI_E_INVALID_ENTRYID},
                          {subject.get(), {foreign}, 0, MAPI_E_UNKNOWN_ENTRYID},
                          {subject.get(), {searchId}, 0, MAPI_E_INVALID_PARAMETER},
                          {subject.get(), {goneId}, 0, MAPI_E_NOT_FOUND},
                          // Malformed restrictions.
                          {&brokenAnd, {inboxId_}, 0, MAPI_E_INVALID_PARAMETER},
                          {&unknownType, {inboxId_}, 0, MAPI_E_TOO_COMPLEX}})
    EXPECT_EQ(Search(search.get(), c.restriction, c.folders, c.flags), c.code) << std::hex << c.code;
  ENTRYLIST nullEntries{1, nullptr};
  EXPECT_EQ(search->SetSearchCriteria(subject.get(), &nullEntries, 0), MAPI_E_INVALID_PARAMETER);
  // Nothing was kept by any of these.
  EXPECT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, nullptr), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(search->GetSearchCriteria(0x4, nullptr, nullptr, nullptr), MAPI_E_UNKNOWN_FLAGS);
  // A folder opened read-only takes no criteria.
  EXPECT_EQ(Search(OpenFolder(store_.get(), searchId, 0).get(), subject.get(), {inboxId_}, 0), MAPI_E_NO_ACCESS);
}

TEST_F(SearchFolders, DamagedStoredCriteriaAreReportedNotUsed) {
  SaveMessage(inbox_.get(), u"Anything");
  auto search = MakeSearch();
  auto subject = Has(u"any");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  TSqlDatabase(home_.File("files/mail.pst")).Execute("UPDATE search_criteria SET restriction = x'0300000001'");
  LPSRestriction restriction = nullptr;
  EXPECT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, nullptr), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(restriction, nullptr);
  ULONG state = 0;
  EXPECT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  ComPtr<IMAPITable> table;
  HRESULT hr = search->GetContentsTable(0, table.Out());
  if (hr == S_OK) {
    TRows rows;
    hr = table->QueryRows(10, 0, &rows.set);
  }
  EXPECT_EQ(hr, MAPI_E_CORRUPT_DATA);
  // New criteria replace the damaged ones.
  ASSERT_EQ(Search(search.get(), subject.get(), {}, 0), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Anything"}));
}

// --- what a search finds ---

TEST_F(SearchFolders, ShallowSearchesTheListedFoldersRecursiveAlsoTheirSubfolders) {
  auto sub = NewFolder(inbox_.get(), u"Projects");
  SaveMessage(inbox_.get(), u"Plan in inbox");
  SaveMessage(sub.get(), u"Plan in projects");
  SaveMessage(NewFolder(sub.get(), u"Old").get(), u"Plan in old");
  SaveMessage(inbox_.get(), u"Other");
  auto search = MakeSearch();
  ASSERT_EQ(Search(search.get(), Has(u"plan").get(), {inboxId_}, SHALLOW_SEARCH), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Plan in inbox"}));
  ASSERT_EQ(Search(search.get(), nullptr, {}, RECURSIVE_SEARCH), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Plan in inbox", u"Plan in old", u"Plan in projects"}));
  // A folder made later below a searched one is searched too.
  SaveMessage(NewFolder(inbox_.get(), u"Later").get(), u"Plan made later");
  EXPECT_EQ(Subjects(search.get()), (Names{u"Plan in inbox", u"Plan in old", u"Plan in projects", u"Plan made later"}));
}

TEST_F(SearchFolders, MatchesByClassFlagsLargeValuesAndRecipients) {
  SaveMessage(inbox_.get(), u"Meeting", u"IPM.Schedule.Meeting.Request");
  Bytes note = SaveMessage(inbox_.get(), u"Note", u"IPM.Note", u"ann@example.org");
  SaveMessage(inbox_.get(), u"Other note", u"IPM.Note", u"bob@example.org");
  ASSERT_EQ(inbox_->SetReadFlags(nullptr, 0, nullptr, CLEAR_READ_FLAG), S_OK);  // saved read, as a client's own
  auto search = MakeSearch();
  SPropValue cls = TextValue(tags::kMessageClassW, u"ipm.note");
  SRestriction byClass{RES_PROPERTY, {}};
  byClass.res.resProperty = {RELOP_EQ, tags::kMessageClassW, &cls};
  ASSERT_EQ(Search(search.get(), &byClass, {inboxId_}, 0), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Note", u"Other note"}));
  // Recipients: a sub-restriction on PR_MESSAGE_RECIPIENTS.
  auto address = Has(u"ANN@", tags::kEmailAddressW);
  SRestriction byRecipient{RES_SUBRESTRICTION, {}};
  byRecipient.res.resSub = {tags::kMessageRecipients, address.get()};
  ASSERT_EQ(Search(search.get(), &byRecipient, {}, 0), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Note"}));
  // Read state.
  ASSERT_EQ(Search(search.get(), Unread().get(), {}, 0), S_OK);
  EXPECT_EQ(Subjects(search.get()).size(), 3u);
  ASSERT_EQ(OpenMessage(store_.get(), note)->SetReadFlag(0), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Meeting", u"Other note"}));
  // A large body, which table rows leave out, is still searched.
  std::u16string body = std::u16string(3000, u'x') + u" needle";
  auto big = OpenMessage(store_.get(), note);
  ASSERT_EQ(Set(big.get(), {TextValue(kBodyW, body)}), S_OK);
  ASSERT_EQ(big->SaveChanges(0), S_OK);
  ASSERT_EQ(Search(search.get(), Has(u"NEEDLE", kBodyW).get(), {}, 0), S_OK);
  EXPECT_EQ(Subjects(search.get()), (Names{u"Note"}));
}

TEST_F(SearchFolders, RowsAreTheRealMessagesWithTheirFolders) {
  auto sub = NewFolder(inbox_.get(), u"Sub");
  Bytes subId = EntryIdOf(sub.get());
  Bytes inInbox = SaveMessage(inbox_.get(), u"Match one");
  Bytes inSub = SaveMessage(sub.get(), u"Match two");
  auto search = MakeSearch();
  ASSERT_EQ(Search(search.get(), Has(u"match").get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  TRows rows = All(ContentsOf(search.get()).get(), {tags::kEntryId, tags::kParentEntryId});
  ASSERT_EQ(rows.size(), 2u);
  for (ULONG i = 0; i < rows.size(); ++i) {
    Bytes entryId = BytesOf(rows[i][0]), parent = BytesOf(rows[i][1]);
    EXPECT_EQ(entryId == inInbox ? inboxId_ : subId, parent);
    // The entry ID opens the real message, through the store and the search folder.
    EXPECT_EQ(Binary(OpenMessage(store_.get(), entryId).get(), tags::kParentEntryId), parent);
    EXPECT_EQ(Open(search.get(), entryId, 0).type, ULONG(MAPI_MESSAGE));
  }
  std::vector<Bytes> ids = {inSub};
  TEntryList list(ids);
  ASSERT_EQ(sub->SetReadFlags(&list.list, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(Long(search.get(), tags::kContentUnread), 1u);
  // The searched folders keep their messages.
}

// --- following changes ---

TEST_F(SearchFolders, OpenTablesFollowMessagesThatStartOrStopMatching) {
  auto sub = NewFolder(inbox_.get(), u"Sub");
  auto outside = NewFolder(finder_.get(), u"Outside");
  auto search = MakeSearch();
  ASSERT_EQ(Search(search.get(), Has(u"invoice").get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  auto table = ContentsOf(search.get());
  auto subjects = [&] { return Sorted(Texts(table.get(), tags::kSubjectW)); };
  EXPECT_EQ(subjects(), Names{});
  Bytes first = SaveMessage(inbox_.get(), u"Invoice 1");  // created
  SaveMessage(inbox_.get(), u"Hello");
  Bytes second = SaveMessage(sub.get(), u"Invoice 2");
  EXPECT_EQ(subjects(), (Names{u"Invoice 1", u"Invoice 2"}));
  Rename(first, u"Paid");  // stops matching
  EXPECT_EQ(subjects(), (Names{u"Invoice 2"}));
  Rename(first, u"Invoice 1 again");  // matches again
  EXPECT_EQ(subjects(), (Names{u"Invoice 1 again", u"Invoice 2"}));
  // Moved within the searched folders it stays; moved out it leaves.
  ASSERT_EQ(CopyMessages(sub.get(), {second}, inbox_.get(), MESSAGE_MOVE), S_OK);
  EXPECT_EQ(subjects(), (Names{u"Invoice 1 again", u"Invoice 2"}));
  ASSERT_EQ(CopyMessages(inbox_.get(), {second}, outside.get(), MESSAGE_MOVE), S_OK);
  EXPECT_EQ(subjects(), (Names{u"Invoice 1 again"}));
  // A copy into a searched folder is found.
  ASSERT_EQ(CopyMessages(outside.get(), {second}, sub.get()), S_OK);
  EXPECT_EQ(subjects(), (Names{u"Invoice 1 again", u"Invoice 2"}));
  // Deleted, it is gone.
  ASSERT_EQ(DeleteMessages(inbox_.get(), {first}), S_OK);
  EXPECT_EQ(subjects(), (Names{u"Invoice 2"}));
  // New criteria read everything again.
  ASSERT_EQ(Search(search.get(), Has(u"hello").get(), {}, 0), S_OK);
  EXPECT_EQ(subjects(), (Names{u"Hello"}));
}

TEST_F(SearchFolders, AStoppedSearchKeepsItsResults) {
  Bytes kept = SaveMessage(inbox_.get(), u"Offer one");
  auto search = MakeSearch();
  ASSERT_EQ(Search(search.get(), Has(u"offer").get(), {inboxId_}, STOP_SEARCH), S_OK);
  ULONG state = 0;
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state & SEARCH_RUNNING, 0u);
  auto table = ContentsOf(search.get());
  SaveMessage(inbox_.get(), u"Offer two");  // not searched for any more
  EXPECT_EQ(Texts(table.get(), tags::kSubjectW), (Names{u"Offer one"}));
  Rename(kept, u"Renamed");  // kept, with its new values
  EXPECT_EQ(Texts(table.get(), tags::kSubjectW), (Names{u"Renamed"}));
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, RESTART_SEARCH), S_OK);
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state & SEARCH_RUNNING, ULONG(SEARCH_RUNNING));
  EXPECT_EQ(Texts(table.get(), tags::kSubjectW), (Names{u"Offer two"}));
}

// --- operations through a search folder ---

TEST_F(SearchFolders, DeletingThroughTheSearchFolderDeletesTheRealMessages) {
  Bytes match = SaveMessage(inbox_.get(), u"Spam offer");
  Bytes other = SaveMessage(inbox_.get(), u"Friend");
  auto search = MakeSearch();
  ASSERT_EQ(Search(search.get(), Has(u"spam").get(), {inboxId_}, 0), S_OK);
  Bytes searchId = EntryIdOf(search.get());
  auto sink = Listen(store_.get(), fnevObjectDeleted, inboxId_);
  // The second is not in the search folder.
  EXPECT_EQ(DeleteMessages(search.get(), {match, other}, DELETE_HARD_DELETE), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 1u);
  EXPECT_EQ(Subjects(search.get()), Names{});
  // The notification names the message's real folder.
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].entryId, match);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  // Deleting the search folder leaves the searched messages alone.
  search = nullptr;
  ASSERT_EQ(finder_->DeleteFolder(Cb(searchId), Id(searchId), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 1u);
}

}  // namespace
}  // namespace orba::store
