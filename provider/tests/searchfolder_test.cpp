// Search folders of a personal store through the session: creating them, their
// criteria (round trip, persistence, errors), what they find (recursive or shallow;
// by subject, class, flags, large values and recipients), how their contents tables
// follow changes, and the message operations through them.
#include <gtest/gtest.h>

#include <mapi/edkmdb.h>

#include <algorithm>

#include "base/sqlite.h"
#include "mapiobjects/storeproviders.h"
#include "memory/mapimemory.h"
#include "props/restrictioncodec.h"
#include "props/tags.h"
#include "storetestutil.h"
#include "table/proprow.h"

namespace orba::store {
namespace {

using namespace testing;

constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);

// A restriction with the values it points to.
struct Restriction {
  SRestriction r{};
  SPropValue value{};
  std::u16string text;
  std::vector<SRestriction> children;
  SRestriction inner{};
  LPSRestriction get() { return &r; }
};

// PR_SUBJECT contains text (case-insensitive).
Restriction SubjectHas(const std::u16string& text, ULONG tag = tags::kSubjectW) {
  Restriction res;
  res.text = text;
  res.value.ulPropTag = tag;
  res.value.Value.lpszW = reinterpret_cast<LPWSTR>(res.text.data());
  res.r.rt = RES_CONTENT;
  res.r.res.resContent = {FL_SUBSTRING | FL_IGNORECASE, tag, &res.value};
  return res;
}

// The messages are unread.
Restriction Unread() {
  Restriction res;
  res.r.rt = RES_BITMASK;
  res.r.res.resBitMask = {BMR_EQZ, tags::kMessageFlags, MSGFLAG_READ};
  return res;
}

class SearchFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    CreateStoreProfile(home_.Path(), "MSPST MS");
    Logon();
  }
  void TearDown() override {
    Logoff();
    MAPIUninitialize();
  }
  void Logon() {
    ASSERT_EQ(MAPILogonEx(0, A("Work"), nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session_.Out()), S_OK);
    OpenDefaultStore(session_.get(), store_, storeId_);
    inboxId_ = InboxId(store_.get());
    inbox_ = OpenFolder(store_.get(), inboxId_);
    finderId_ = Binary(store_.get(), tags::kFinderEntryId);
    finder_ = OpenFolder(store_.get(), finderId_);
    ASSERT_TRUE(inbox_ && finder_);
  }
  void Logoff() {
    inbox_ = nullptr;
    finder_ = nullptr;
    store_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
  }

  ComPtr<IMAPIFolder> MakeFolder(IMAPIFolder* parent, const char16_t* name, ULONG type = FOLDER_GENERIC) {
    ComPtr<IMAPIFolder> folder;
    EXPECT_EQ(parent->CreateFolder(type, W(name), nullptr, nullptr, MAPI_UNICODE, folder.Out()), S_OK);
    return folder;
  }
  ComPtr<IMAPIFolder> MakeSearch(const char16_t* name = u"Found") {
    return MakeFolder(finder_.get(), name, FOLDER_SEARCH);
  }

  // A saved message; with an address, it has one recipient of it.
  Bytes SaveMessage(IMAPIFolder* folder, const char16_t* subject, const char16_t* messageClass = u"IPM.Note",
                    const char16_t* address = nullptr) {
    ComPtr<IMessage> message;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
    if (!message) return {};
    SPropValue values[2]{};
    values[0].ulPropTag = tags::kSubjectW;
    values[0].Value.lpszW = Wide(subject);
    values[1].ulPropTag = tags::kMessageClassW;
    values[1].Value.lpszW = Wide(messageClass);
    EXPECT_EQ(message->SetProps(2, values, nullptr), S_OK);
    if (address) {
      auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(1));
      SPropValue recipient[3]{};
      recipient[0].ulPropTag = tags::kDisplayNameW;
      recipient[0].Value.lpszW = Wide(u"Someone");
      recipient[1].ulPropTag = tags::kRecipientType;
      recipient[1].Value.l = MAPI_TO;
      recipient[2].ulPropTag = tags::kEmailAddressW;
      recipient[2].Value.lpszW = Wide(address);
      list->cEntries = 1;
      list->aEntries[0].cValues = 3;
      list->aEntries[0].rgPropVals = recipient;
      EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, list.get()), S_OK);
    }
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    return Binary(message.get(), tags::kEntryId);
  }

  ComPtr<IMessage> OpenMessage(Bytes& id) {
    ULONG type = 0;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(store_->OpenEntry(Cb(id), Id(id), &IID_IMessage, MAPI_MODIFY, &type, unknown.Out()), S_OK);
    return ComPtr<IMessage>(static_cast<IMessage*>(unknown.get()));
  }
  void SetSubject(Bytes& id, const char16_t* subject) {
    ComPtr<IMessage> message = OpenMessage(id);
    SPropValue value{};
    value.ulPropTag = tags::kSubjectW;
    value.Value.lpszW = Wide(subject);
    ASSERT_EQ(message->SetProps(1, &value, nullptr), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
  }

  HRESULT Search(IMAPIFolder* search, LPSRestriction restriction, std::vector<Bytes> folders, ULONG flags) {
    EntryList list(folders);
    return search->SetSearchCriteria(restriction, folders.empty() ? nullptr : &list.list, flags);
  }

  // The subjects of a table's rows, sorted.
  static std::vector<std::u16string> Subjects(IMAPITable* table) {
    SizedSPropTagArray<1> columns{1, {tags::kSubjectW}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(1000, 0, &rows), S_OK);
    std::vector<std::u16string> out;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SPropValue& v = rows->aRow[i].lpProps[0];
      out.push_back(v.ulPropTag == tags::kSubjectW ? reinterpret_cast<const char16_t*>(v.Value.lpszW) : u"");
    }
    FreeProws(rows);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<std::u16string> Found(IMAPIFolder* search) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
    return table ? Subjects(table.get()) : std::vector<std::u16string>{};
  }

  TTempStoreHome home_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  Bytes storeId_, inboxId_, finderId_;
  ComPtr<IMAPIFolder> inbox_, finder_;
};

using Names = std::vector<std::u16string>;

// --- creation and criteria ---

TEST_F(SearchFolders, CreatedInTheFinderWithTheirTypeAndNoCriteriaYet) {
  EXPECT_TRUE(Long(store_.get(), tags::kStoreSupportMask) & STORE_SEARCH_OK);
  auto search = MakeSearch();
  ASSERT_TRUE(search);
  EXPECT_EQ(Long(search.get(), tags::kFolderType), ULONG(FOLDER_SEARCH));
  EXPECT_EQ(Long(search.get(), tags::kContentCount), 0u);
  LPSRestriction restriction = nullptr;
  ULONG state = 0;
  EXPECT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, &state), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(restriction, nullptr);
  // Anywhere else in the store too, but not below a search folder.
  auto elsewhere = MakeFolder(inbox_.get(), u"Unread here", FOLDER_SEARCH);
  ASSERT_TRUE(elsewhere);
  ComPtr<IMAPIFolder> below;
  EXPECT_EQ(search->CreateFolder(FOLDER_GENERIC, W(u"Sub"), nullptr, nullptr, MAPI_UNICODE, below.Out()),
            MAPI_E_NO_SUPPORT);
  // A search folder holds no messages of its own, nor copies of others.
  ComPtr<IMessage> message;
  EXPECT_EQ(search->CreateMessage(nullptr, 0, message.Out()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(search->CreateMessage(nullptr, MAPI_ASSOCIATED, message.Out()), S_OK);
  std::vector<Bytes> ids = {SaveMessage(inbox_.get(), u"Copy me")};
  EntryList list(ids);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, search.get(), 0, nullptr, 0), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(inbox_->CopyMessages(&list.list, nullptr, search.get(), 0, nullptr, MESSAGE_MOVE), MAPI_E_NO_SUPPORT);
  // Nor can a folder be moved below it.
  auto generic = MakeFolder(inbox_.get(), u"Generic");
  Bytes genericId = Binary(generic.get(), tags::kEntryId);
  EXPECT_EQ(inbox_->CopyFolder(Cb(genericId), Id(genericId), nullptr, search.get(), nullptr, 0, nullptr, FOLDER_MOVE),
            MAPI_E_NO_SUPPORT);
  // Generic folders have no criteria.
  EXPECT_EQ(inbox_->GetSearchCriteria(0, &restriction, nullptr, &state), MAPI_E_NO_SUPPORT);
  auto subject = SubjectHas(u"x");
  EXPECT_EQ(Search(inbox_.get(), subject.get(), {inboxId_}, 0), MAPI_E_NO_SUPPORT);
}

TEST_F(SearchFolders, CriteriaRoundTripWithTheirState) {
  auto search = MakeSearch();
  auto subject = SubjectHas(u"report");
  ASSERT_EQ(
      Search(search.get(), subject.get(), {inboxId_, finderId_}, RECURSIVE_SEARCH | FOREGROUND_SEARCH | RESTART_SEARCH),
      S_OK);
  LPSRestriction restriction = nullptr;
  LPENTRYLIST folders = nullptr;
  ULONG state = 0;
  ASSERT_EQ(search->GetSearchCriteria(MAPI_UNICODE, &restriction, &folders, &state), S_OK);
  TMapiBuffer<SRestriction> restrictionHolder(restriction);
  TMapiBuffer<ENTRYLIST> foldersHolder(folders);
  EXPECT_EQ(EncodeRestriction(*restriction), EncodeRestriction(*subject.get()));
  ASSERT_EQ(folders->cValues, 2u);
  EXPECT_EQ(Bytes(folders->lpbin[0].lpb, folders->lpbin[0].lpb + folders->lpbin[0].cb), inboxId_);
  EXPECT_EQ(Bytes(folders->lpbin[1].lpb, folders->lpbin[1].lpb + folders->lpbin[1].cb), finderId_);
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_RECURSIVE | SEARCH_FOREGROUND));

  // Null arguments keep what was set; flags change only what they name.
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, SHALLOW_SEARCH), S_OK);
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_FOREGROUND));
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, BACKGROUND_SEARCH | NON_CONTENT_INDEXED_SEARCH), S_OK);
  restriction = nullptr;
  ASSERT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, &state), S_OK);
  restrictionHolder.Reset(restriction);
  EXPECT_EQ(EncodeRestriction(*restriction), EncodeRestriction(*subject.get()));
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING));
  EXPECT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(SearchFolders, CriteriaAndResultsSurviveARestart) {
  auto search = MakeSearch(u"Kept");
  SaveMessage(inbox_.get(), u"Quarterly report");
  SaveMessage(inbox_.get(), u"Lunch");
  auto subject = SubjectHas(u"REPORT");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  Bytes searchId = Binary(search.get(), tags::kEntryId);
  search = nullptr;
  Logoff();
  Logon();
  search = OpenFolder(store_.get(), searchId);
  ASSERT_TRUE(search);
  EXPECT_EQ(Long(search.get(), tags::kFolderType), ULONG(FOLDER_SEARCH));
  ULONG state = 0;
  LPSRestriction restriction = nullptr;
  ASSERT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, &state), S_OK);
  TMapiBuffer<SRestriction> holder(restriction);
  EXPECT_EQ(EncodeRestriction(*restriction), EncodeRestriction(*subject.get()));
  EXPECT_EQ(state, ULONG(SEARCH_RUNNING | SEARCH_RECURSIVE));
  EXPECT_EQ(Found(search.get()), (Names{u"Quarterly report"}));
}

TEST_F(SearchFolders, CompletionIsNotifiedToTheFolderSinks) {
  auto search = MakeSearch();
  Bytes searchId = Binary(search.get(), tags::kEntryId);
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(Cb(searchId), Id(searchId), fnevSearchComplete, sink.get(), &connection), S_OK);
  auto subject = SubjectHas(u"x");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].type, ULONG(fnevSearchComplete));
  EXPECT_EQ(sink->events[0].objType, ULONG(MAPI_FOLDER));
  EXPECT_EQ(sink->events[0].entryId, searchId);
  EXPECT_EQ(sink->events[0].parentId, finderId_);
  EXPECT_EQ(store_->Unadvise(connection), S_OK);
}

TEST_F(SearchFolders, BadArgumentsGetTheirCodes) {
  auto search = MakeSearch();
  auto subject = SubjectHas(u"x");
  // A first search needs both a restriction and folders.
  EXPECT_EQ(Search(search.get(), nullptr, {inboxId_}, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Search(search.get(), subject.get(), {}, 0), MAPI_E_INVALID_PARAMETER);
  // Flags.
  EXPECT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Search(search.get(), subject.get(), {inboxId_}, STOP_SEARCH | RESTART_SEARCH), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Search(search.get(), subject.get(), {inboxId_}, RECURSIVE_SEARCH | SHALLOW_SEARCH),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Search(search.get(), subject.get(), {inboxId_}, FOREGROUND_SEARCH | BACKGROUND_SEARCH),
            MAPI_E_INVALID_PARAMETER);
  // Entry IDs that are not this store's folders.
  EXPECT_EQ(Search(search.get(), subject.get(), {Bytes{1, 2, 3}}, 0), MAPI_E_INVALID_ENTRYID);
  Bytes message = SaveMessage(inbox_.get(), u"A message");
  EXPECT_EQ(Search(search.get(), subject.get(), {message}, 0), MAPI_E_INVALID_ENTRYID);
  Bytes foreign = inboxId_;
  foreign[4] ^= 0xFF;  // another provider UID
  EXPECT_EQ(Search(search.get(), subject.get(), {foreign}, 0), MAPI_E_UNKNOWN_ENTRYID);
  Bytes searchId = Binary(search.get(), tags::kEntryId);
  EXPECT_EQ(Search(search.get(), subject.get(), {searchId}, 0), MAPI_E_INVALID_PARAMETER);
  auto gone = MakeFolder(inbox_.get(), u"Gone");
  Bytes goneId = Binary(gone.get(), tags::kEntryId);
  gone = nullptr;
  ASSERT_EQ(inbox_->DeleteFolder(Cb(goneId), Id(goneId), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Search(search.get(), subject.get(), {goneId}, 0), MAPI_E_NOT_FOUND);
  ENTRYLIST nullEntries{1, nullptr};
  EXPECT_EQ(search->SetSearchCriteria(subject.get(), &nullEntries, 0), MAPI_E_INVALID_PARAMETER);
  // Malformed restrictions.
  SRestriction broken{};
  broken.rt = RES_AND;
  broken.res.resAnd = {3, nullptr};
  EXPECT_EQ(Search(search.get(), &broken, {inboxId_}, 0), MAPI_E_INVALID_PARAMETER);
  broken = {};
  broken.rt = 0x99;
  EXPECT_EQ(Search(search.get(), &broken, {inboxId_}, 0), MAPI_E_TOO_COMPLEX);
  // Nothing was kept by any of these.
  EXPECT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, nullptr), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(search->GetSearchCriteria(0x4, nullptr, nullptr, nullptr), MAPI_E_UNKNOWN_FLAGS);
  // A folder opened read-only takes no criteria.
  auto readOnly = OpenFolder(store_.get(), searchId, 0);
  EXPECT_EQ(Search(readOnly.get(), subject.get(), {inboxId_}, 0), MAPI_E_NO_ACCESS);
}

TEST_F(SearchFolders, ARestrictionOnUnknownTagsWorksAsAnyOther) {
  SaveMessage(inbox_.get(), u"One");
  auto search = MakeSearch();
  SPropValue value{};
  value.ulPropTag = PROP_TAG(PT_LONG, 0x7ABC);
  value.Value.l = 5;
  SRestriction unknown{};
  unknown.rt = RES_PROPERTY;
  unknown.res.resProperty = {RELOP_EQ, value.ulPropTag, &value};
  ASSERT_EQ(Search(search.get(), &unknown, {inboxId_}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), Names{});
  SRestriction absent{};
  absent.rt = RES_NOT;
  absent.res.resNot.lpRes = &unknown;
  ASSERT_EQ(Search(search.get(), &absent, {}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"One"}));
}

TEST_F(SearchFolders, DamagedStoredCriteriaAreReportedNotUsed) {
  SaveMessage(inbox_.get(), u"Anything");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"any");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  {
    TSqlDatabase db((home_.Path() / "files" / "mail.pst").string());
    db.Execute("UPDATE search_criteria SET restriction = x'0300000001'");
  }
  LPSRestriction restriction = nullptr;
  EXPECT_EQ(search->GetSearchCriteria(0, &restriction, nullptr, nullptr), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(restriction, nullptr);
  ULONG state = 0;
  EXPECT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  ComPtr<IMAPITable> table;
  HRESULT hr = search->GetContentsTable(0, table.Out());
  if (hr == S_OK) {
    LPSRowSet rows = nullptr;
    hr = table->QueryRows(10, 0, &rows);
    FreeProws(rows);
  }
  EXPECT_EQ(hr, MAPI_E_CORRUPT_DATA);
  // New criteria replace the damaged ones.
  ASSERT_EQ(Search(search.get(), subject.get(), {}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Anything"}));
}

// --- what a search finds ---

TEST_F(SearchFolders, ShallowSearchesTheListedFoldersRecursiveAlsoTheirSubfolders) {
  auto sub = MakeFolder(inbox_.get(), u"Projects");
  auto deeper = MakeFolder(sub.get(), u"Old");
  SaveMessage(inbox_.get(), u"Plan in inbox");
  SaveMessage(sub.get(), u"Plan in projects");
  SaveMessage(deeper.get(), u"Plan in old");
  SaveMessage(inbox_.get(), u"Other");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"plan");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, SHALLOW_SEARCH), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Plan in inbox"}));
  ASSERT_EQ(Search(search.get(), nullptr, {}, RECURSIVE_SEARCH), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Plan in inbox", u"Plan in old", u"Plan in projects"}));
  // A folder made later below a searched one is searched too.
  auto later = MakeFolder(inbox_.get(), u"Later");
  SaveMessage(later.get(), u"Plan made later");
  EXPECT_EQ(Found(search.get()), (Names{u"Plan in inbox", u"Plan in old", u"Plan in projects", u"Plan made later"}));
  EXPECT_EQ(Long(search.get(), tags::kContentCount), 4u);
}

TEST_F(SearchFolders, MatchesByClassFlagsLargeValuesAndRecipients) {
  SaveMessage(inbox_.get(), u"Meeting", u"IPM.Schedule.Meeting.Request");
  Bytes note = SaveMessage(inbox_.get(), u"Note", u"IPM.Note", u"ann@example.org");
  SaveMessage(inbox_.get(), u"Other note", u"IPM.Note", u"bob@example.org");
  ASSERT_EQ(inbox_->SetReadFlags(nullptr, 0, nullptr, CLEAR_READ_FLAG), S_OK);  // saved read, as a client's own
  auto search = MakeSearch();

  SPropValue cls{};
  cls.ulPropTag = tags::kMessageClassW;
  cls.Value.lpszW = Wide(u"ipm.note");
  SRestriction byClass{};
  byClass.rt = RES_PROPERTY;
  byClass.res.resProperty = {RELOP_EQ, tags::kMessageClassW, &cls};
  ASSERT_EQ(Search(search.get(), &byClass, {inboxId_}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Note", u"Other note"}));

  // Recipients: a sub-restriction on PR_MESSAGE_RECIPIENTS.
  auto address = SubjectHas(u"ANN@", tags::kEmailAddressW);
  SRestriction byRecipient{};
  byRecipient.rt = RES_SUBRESTRICTION;
  byRecipient.res.resSub = {tags::kMessageRecipients, address.get()};
  ASSERT_EQ(Search(search.get(), &byRecipient, {}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Note"}));

  // Read state.
  auto unread = Unread();
  ASSERT_EQ(Search(search.get(), unread.get(), {}, 0), S_OK);
  EXPECT_EQ(Found(search.get()).size(), 3u);
  ASSERT_EQ(OpenMessage(note)->SetReadFlag(0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Meeting", u"Other note"}));
  EXPECT_EQ(Long(search.get(), tags::kContentUnread), 2u);

  // A large body, which table rows leave out, is still searched.
  std::u16string body(3000, u'x');
  body += u" needle";
  ComPtr<IMessage> big = OpenMessage(note);
  SPropValue value{};
  value.ulPropTag = kBodyW;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(body.data());
  ASSERT_EQ(big->SetProps(1, &value, nullptr), S_OK);
  ASSERT_EQ(big->SaveChanges(0), S_OK);
  auto needle = SubjectHas(u"NEEDLE", kBodyW);
  ASSERT_EQ(Search(search.get(), needle.get(), {}, 0), S_OK);
  EXPECT_EQ(Found(search.get()), (Names{u"Note"}));
}

TEST_F(SearchFolders, RowsAreTheRealMessagesWithTheirFolders) {
  auto sub = MakeFolder(inbox_.get(), u"Sub");
  Bytes subId = Binary(sub.get(), tags::kEntryId);
  Bytes inInbox = SaveMessage(inbox_.get(), u"Match one");
  Bytes inSub = SaveMessage(sub.get(), u"Match two");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"match");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
  SizedSPropTagArray<3> columns{3, {tags::kEntryId, tags::kParentEntryId, tags::kSubjectW}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 2u);
  for (ULONG i = 0; i < rows->cRows; ++i) {
    const SPropValue* v = rows->aRow[i].lpProps;
    Bytes entryId(v[0].Value.bin.lpb, v[0].Value.bin.lpb + v[0].Value.bin.cb);
    Bytes parent(v[1].Value.bin.lpb, v[1].Value.bin.lpb + v[1].Value.bin.cb);
    EXPECT_EQ(entryId == inInbox ? inboxId_ : subId, parent);
    EXPECT_TRUE(entryId == inInbox || entryId == inSub);
    // The entry ID opens the real message, through the store and the search folder.
    ComPtr<IMessage> message = OpenMessage(entryId);
    ASSERT_TRUE(message);
    EXPECT_EQ(Binary(message.get(), tags::kParentEntryId), parent);
    ULONG type = 0;
    ComPtr<IUnknown> viaSearch;
    EXPECT_EQ(search->OpenEntry(Cb(entryId), Id(entryId), nullptr, 0, &type, viaSearch.Out()), S_OK);
    EXPECT_EQ(type, ULONG(MAPI_MESSAGE));
  }
  FreeProws(rows);
  EXPECT_EQ(Long(search.get(), tags::kContentCount), 2u);
  EXPECT_EQ(Long(search.get(), tags::kContentUnread), 0u);
  std::vector<Bytes> ids = {inSub};
  EntryList list(ids);
  ASSERT_EQ(sub->SetReadFlags(&list.list, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(Long(search.get(), tags::kContentUnread), 1u);
  // The parent's hierarchy table counts the same.
  ComPtr<IMAPITable> hierarchy;
  ASSERT_EQ(finder_->GetHierarchyTable(0, hierarchy.Out()), S_OK);
  SizedSPropTagArray<3> counted{3, {tags::kFolderType, tags::kContentCount, tags::kContentUnread}};
  ASSERT_EQ(hierarchy->SetColumns(counted.Ptr(), 0), S_OK);
  rows = nullptr;
  ASSERT_EQ(hierarchy->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 1u);
  EXPECT_EQ(rows->aRow[0].lpProps[0].Value.ul, ULONG(FOLDER_SEARCH));
  EXPECT_EQ(rows->aRow[0].lpProps[1].Value.ul, 2u);
  EXPECT_EQ(rows->aRow[0].lpProps[2].Value.ul, 1u);
  FreeProws(rows);
  // The searched folders keep their messages.
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 1u);
}

// --- following changes ---

TEST_F(SearchFolders, OpenTablesFollowMessagesThatStartOrStopMatching) {
  auto sub = MakeFolder(inbox_.get(), u"Sub");
  auto outside = MakeFolder(finder_.get(), u"Outside");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"invoice");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, RECURSIVE_SEARCH), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
  EXPECT_EQ(Subjects(table.get()), Names{});

  Bytes first = SaveMessage(inbox_.get(), u"Invoice 1");  // created
  SaveMessage(inbox_.get(), u"Hello");
  Bytes second = SaveMessage(sub.get(), u"Invoice 2");
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 1", u"Invoice 2"}));
  SetSubject(first, u"Paid");  // stops matching
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 2"}));
  SetSubject(first, u"Invoice 1 again");  // matches again
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 1 again", u"Invoice 2"}));
  // Moved within the searched folders it stays; moved out it leaves.
  std::vector<Bytes> ids = {second};
  EntryList list(ids);
  ASSERT_EQ(sub->CopyMessages(&list.list, nullptr, inbox_.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 1 again", u"Invoice 2"}));
  ASSERT_EQ(inbox_->CopyMessages(&list.list, nullptr, outside.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 1 again"}));
  // A copy into a searched folder is found.
  ASSERT_EQ(outside->CopyMessages(&list.list, nullptr, sub.get(), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 1 again", u"Invoice 2"}));
  // Deleted, it is gone.
  std::vector<Bytes> firstIds = {first};
  EntryList firstList(firstIds);
  ASSERT_EQ(inbox_->DeleteMessages(&firstList.list, 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Invoice 2"}));
  // New criteria read everything again.
  auto hello = SubjectHas(u"hello");
  ASSERT_EQ(Search(search.get(), hello.get(), {}, 0), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Hello"}));
}

// Keeps the table events it receives.
class TTableSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) events.push_back(notifications[i].info.tab.ulTableEvent);
    return 0;
  }
  std::vector<ULONG> events;
};

TEST_F(SearchFolders, ChangesRaiseTheirTableEvents) {
  auto search = MakeSearch();
  auto subject = SubjectHas(u"event");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
  EXPECT_EQ(Subjects(table.get()), Names{});
  auto sink = MakeComObject<TTableSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
  Bytes id = SaveMessage(inbox_.get(), u"Event one");
  SaveMessage(inbox_.get(), u"Not this");
  SetSubject(id, u"Event one, changed");
  SetSubject(id, u"Gone");
  EXPECT_EQ(sink->events, (std::vector<ULONG>{TABLE_ROW_ADDED, TABLE_ROW_MODIFIED, TABLE_ROW_DELETED}));
  EXPECT_EQ(table->Unadvise(connection), S_OK);
}

TEST_F(SearchFolders, ReadStateChangesAreFollowedWithRowEvents) {
  Bytes id = SaveMessage(inbox_.get(), u"Unread mail");
  ASSERT_EQ(inbox_->SetReadFlags(nullptr, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  auto search = MakeSearch();
  auto unread = Unread();
  ASSERT_EQ(Search(search.get(), unread.get(), {inboxId_}, 0), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Unread mail"}));
  std::vector<Bytes> ids = {id};
  EntryList list(ids);
  ASSERT_EQ(inbox_->SetReadFlags(&list.list, 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(table.get()), Names{});
  EXPECT_EQ(Long(search.get(), tags::kContentCount), 0u);
  // Through the search folder itself: its results are what it marks.
  ASSERT_EQ(inbox_->SetReadFlags(&list.list, 0, nullptr, CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(Subjects(table.get()), (Names{u"Unread mail"}));
  ASSERT_EQ(search->SetReadFlags(nullptr, 0, nullptr, 0), S_OK);
  EXPECT_EQ(Subjects(table.get()), Names{});
  EXPECT_EQ(Long(inbox_.get(), tags::kContentUnread), 0u);
}

TEST_F(SearchFolders, AStoppedSearchKeepsItsResults) {
  Bytes kept = SaveMessage(inbox_.get(), u"Offer one");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"offer");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, STOP_SEARCH), S_OK);
  ULONG state = 0;
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state & SEARCH_RUNNING, 0u);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(search->GetContentsTable(0, table.Out()), S_OK);
  SaveMessage(inbox_.get(), u"Offer two");  // not searched for any more
  EXPECT_EQ(Subjects(table.get()), (Names{u"Offer one"}));
  SetSubject(kept, u"Renamed");  // kept, with its new values
  EXPECT_EQ(Subjects(table.get()), (Names{u"Renamed"}));
  ASSERT_EQ(search->SetSearchCriteria(nullptr, nullptr, RESTART_SEARCH), S_OK);
  ASSERT_EQ(search->GetSearchCriteria(0, nullptr, nullptr, &state), S_OK);
  EXPECT_EQ(state & SEARCH_RUNNING, ULONG(SEARCH_RUNNING));
  EXPECT_EQ(Subjects(table.get()), (Names{u"Offer two"}));
}

// --- operations through a search folder ---

TEST_F(SearchFolders, DeletingThroughTheSearchFolderDeletesTheRealMessages) {
  Bytes match = SaveMessage(inbox_.get(), u"Spam offer");
  Bytes other = SaveMessage(inbox_.get(), u"Friend");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"spam");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  Bytes searchId = Binary(search.get(), tags::kEntryId);
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(store_->Advise(Cb(inboxId_), Id(inboxId_), fnevObjectDeleted, sink.get(), &connection), S_OK);
  std::vector<Bytes> ids = {match, other};  // the second is not in the search folder
  EntryList list(ids);
  EXPECT_EQ(search->DeleteMessages(&list.list, 0, nullptr, DELETE_HARD_DELETE), MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 1u);
  EXPECT_EQ(Found(search.get()), Names{});
  // The notification names the message's real folder.
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].entryId, match);
  EXPECT_EQ(sink->events[0].parentId, inboxId_);
  store_->Unadvise(connection);
  // Deleting the search folder leaves the searched messages alone.
  search = nullptr;
  ASSERT_EQ(finder_->DeleteFolder(Cb(searchId), Id(searchId), 0, nullptr, 0), S_OK);
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 1u);
}

TEST_F(SearchFolders, MessagesMoveOutOfTheSearchFolderToTheirDestination) {
  Bytes match = SaveMessage(inbox_.get(), u"Move me");
  auto archive = MakeFolder(finder_.get(), u"Archive");
  auto search = MakeSearch();
  auto subject = SubjectHas(u"move");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  std::vector<Bytes> ids = {match};
  EntryList list(ids);
  ULONG status = 0;
  EXPECT_EQ(search->GetMessageStatus(Cb(match), Id(match), 0, &status), S_OK);
  ASSERT_EQ(search->CopyMessages(&list.list, nullptr, archive.get(), 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Long(archive.get(), tags::kContentCount), 1u);
  EXPECT_EQ(Long(inbox_.get(), tags::kContentCount), 0u);
  EXPECT_EQ(Found(search.get()), Names{});
}

TEST_F(SearchFolders, ACopiedSearchFolderSearchesAsTheOriginal) {
  SaveMessage(inbox_.get(), u"Budget");
  auto search = MakeSearch(u"Budgets");
  auto subject = SubjectHas(u"budget");
  ASSERT_EQ(Search(search.get(), subject.get(), {inboxId_}, 0), S_OK);
  Bytes searchId = Binary(search.get(), tags::kEntryId);
  ASSERT_EQ(finder_->CopyFolder(Cb(searchId), Id(searchId), nullptr, finder_.get(), W(u"Budgets 2"), 0, nullptr,
                                MAPI_UNICODE),
            S_OK);
  ComPtr<IMAPITable> hierarchy;
  ASSERT_EQ(finder_->GetHierarchyTable(0, hierarchy.Out()), S_OK);
  SizedSPropTagArray<2> columns{2, {tags::kEntryId, tags::kDisplayNameW}};
  ASSERT_EQ(hierarchy->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(hierarchy->QueryRows(10, 0, &rows), S_OK);
  Bytes copyId;
  for (ULONG i = 0; i < rows->cRows; ++i)
    if (std::u16string(reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[1].Value.lpszW)) == u"Budgets 2")
      copyId.assign(rows->aRow[i].lpProps[0].Value.bin.lpb,
                    rows->aRow[i].lpProps[0].Value.bin.lpb + rows->aRow[i].lpProps[0].Value.bin.cb);
  FreeProws(rows);
  ASSERT_FALSE(copyId.empty());
  auto copy = OpenFolder(store_.get(), copyId);
  EXPECT_EQ(Long(copy.get(), tags::kFolderType), ULONG(FOLDER_SEARCH));
  EXPECT_EQ(Found(copy.get()), (Names{u"Budget"}));
}

}  // namespace
}  // namespace orba::store
