// The table cursor over real tables of Orba Store: a folder's contents table filled
// with messages through MAPI, and the session's stores table. Movement in batches,
// fields and their two text widths, counting, seeking, sorting, filtering and finding
// with every kind of restriction, notifications, and the failures of each; and the
// folder's own properties through the property wrapper.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "common/temphome.h"
#include "integration/orbamessages.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPITableEvents.h"
#include "orba/VoOrbaMAPI.h"
#include "orba/common/dates.h"
#include "orba/common/timezone.h"
#include "orba/common/utf8.h"

namespace {

using namespace orba;

const uint64_t kFirstTime = DateTimeToFileTime(EncodeDate(2024, 1, 1));
constexpr uint64_t kHour = 36000000000ull;

// A provider's table as Orba Store gives it, except for what a test asks to differ:
// an approximate row count, text columns of one width that it cannot give, or rows
// without the columns of one type.
class TProviderTable : public TVoComObject<TVoRefCounted, IMAPITable> {
 public:
  explicit TProviderTable(ComPtr<IMAPITable> Inner) : inner_(std::move(Inner)) {}
  bool ApproxCount = false;
  ULONG FailingColumnType = 0;  // these columns answer PT_ERROR
  ULONG OmittedColumnType = 0;  // these columns are left out
  int QueryRowsCalls = 0;

  HRESULT STDMETHODCALLTYPE GetRowCount(ULONG f, ULONG* n) override {
    HRESULT hr = inner_->GetRowCount(f, n);
    return ApproxCount && hr == S_OK ? MAPI_W_APPROX_COUNT : hr;
  }
  HRESULT STDMETHODCALLTYPE QueryRows(LONG n, ULONG f, LPSRowSet* rows) override {
    ++QueryRowsCalls;
    HRESULT hr = inner_->QueryRows(n, f, rows);
    for (ULONG r = 0; hr == S_OK && r < (*rows)->cRows; ++r) {
      SRow& row = (*rows)->aRow[r];
      SPropValue* kept = row.lpProps;
      for (SPropValue* v = row.lpProps; v != row.lpProps + row.cValues; ++v) {
        if (PROP_TYPE(v->ulPropTag) == OmittedColumnType) continue;
        *kept = *v;
        if (PROP_TYPE(kept->ulPropTag) == FailingColumnType) {
          kept->ulPropTag = CHANGE_PROP_TYPE(kept->ulPropTag, PT_ERROR);
          kept->Value.err = MAPI_E_NOT_ENOUGH_MEMORY;
        }
        ++kept;
      }
      row.cValues = ULONG(kept - row.lpProps);
    }
    return hr;
  }
  ORBA_TEST_FORWARD(GetLastError, (HRESULT a, ULONG b, LPMAPIERROR* c), (a, b, c))
  ORBA_TEST_FORWARD(Advise, (ULONG a, LPMAPIADVISESINK b, ULONG_PTR* c), (a, b, c))
  ORBA_TEST_FORWARD(Unadvise, (ULONG_PTR a), (a))
  ORBA_TEST_FORWARD(GetStatus, (ULONG * a, ULONG* b), (a, b))
  ORBA_TEST_FORWARD(SetColumns, (LPSPropTagArray a, ULONG b), (a, b))
  ORBA_TEST_FORWARD(QueryColumns, (ULONG a, LPSPropTagArray* b), (a, b))
  ORBA_TEST_FORWARD(SeekRow, (BOOKMARK a, LONG b, LONG* c), (a, b, c))
  ORBA_TEST_FORWARD(SeekRowApprox, (ULONG a, ULONG b), (a, b))
  ORBA_TEST_FORWARD(QueryPosition, (ULONG * a, ULONG* b, ULONG* c), (a, b, c))
  ORBA_TEST_FORWARD(FindRow, (LPSRestriction a, BOOKMARK b, ULONG c), (a, b, c))
  ORBA_TEST_FORWARD(Restrict, (LPSRestriction a, ULONG b), (a, b))
  ORBA_TEST_FORWARD(CreateBookmark, (BOOKMARK * a), (a))
  ORBA_TEST_FORWARD(FreeBookmark, (BOOKMARK a), (a))
  ORBA_TEST_FORWARD(SortTable, (LPSSortOrderSet a, ULONG b), (a, b))
  ORBA_TEST_FORWARD(QuerySortOrder, (LPSSortOrderSet * a), (a))
  ORBA_TEST_FORWARD(Abort, (), ())
  ORBA_TEST_FORWARD(ExpandRow, (ULONG a, LPBYTE b, ULONG c, ULONG d, LPSRowSet* e, ULONG* f), (a, b, c, d, e, f))
  ORBA_TEST_FORWARD(CollapseRow, (ULONG a, LPBYTE b, ULONG c, ULONG* d), (a, b, c, d))
  ORBA_TEST_FORWARD(WaitForCompletion, (ULONG a, ULONG b, ULONG* c), (a, b, c))
  ORBA_TEST_FORWARD(GetCollapseState, (ULONG a, ULONG b, LPBYTE c, ULONG* d, LPBYTE* e), (a, b, c, d, e))
  ORBA_TEST_FORWARD(SetCollapseState, (ULONG a, ULONG b, LPBYTE c, BOOKMARK* d), (a, b, c, d))

 private:
  ComPtr<IMAPITable> inner_;
};

class FolderOnOrbaStore : public ::testing::Test {
 protected:
  void SetUp() override {
    WideString file;
    bool extended = false;
    VoLoadMAPIDLL(file, extended, true);
    VoMAPIInitialize(false, false, true, true);
    test::CreateProfile("Work", "MSPST MS", home_.Home());
    session_->Logon();
    store_ = session_->OpenMAPIMsgStore(session_->GetDefaultMsgStoreID(), alReadWrite);
    folder_ = test::CreateTestFolder(*store_, "Tables");
    owner_ = MakeComObject<TVoMAPIProp>(nullptr, session_.get(), ComPtr<IMAPIProp>(folder_.get()), alReadWrite);
  }
  void TearDown() override {
    owner_ = nullptr;
    folder_ = nullptr;
    store_ = nullptr;
    session_ = nullptr;
    if (VoMAPIInitialized()) VoMAPIUninitialize(true);
  }

  ULONG CategoriesTag() { return owner_->GetPropTag(*GetPropInfo(NPR_CATEGORIES_W), true); }

  // Message i: subject "Message i", importance i % 3, priority 1, submitted i hours
  // after kFirstTime, categories "even"/"odd" and "c<i>", a body on every fifth one.
  void Fill(int Count) {
    for (int i = 0; i < Count; ++i) {
      test::TValues values;
      const std::u16string number = FromUtf8(std::to_string(i));
      values.Text(PR_SUBJECT_W, u"Message " + number)
          .Long(PR_IMPORTANCE, i % 3)
          .Long(PR_PRIORITY, 1)
          .Time(PR_CLIENT_SUBMIT_TIME, kFirstTime + uint64_t(i) * kHour)
          .Texts(CategoriesTag(), {i % 2 ? u"odd" : u"even", u"c" + number});
      if (i % 5 == 0) values.Text(PR_BODY_W, u"Body of " + number);
      test::CreateTestMessage(*folder_, values);
    }
  }
  ComPtr<IMAPITable> ContentsTable() {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(folder_->GetContentsTable(0, table.Out()), S_OK);
    return table;
  }
  // The contents table sorted by submit time, through the cursor.
  ComPtr<TVoMAPITable> Contents(ComPtr<IMAPITable> Table = nullptr) {
    auto table = MakeComObject<TVoMAPITable>(owner_.get(), session_.get(), Table ? Table : ContentsTable());
    table->SetFields({PR_SUBJECT_W, PR_IMPORTANCE, PR_CLIENT_SUBMIT_TIME, NPR_CATEGORIES_W, PR_ENTRYID});
    table->Sort(PR_CLIENT_SUBMIT_TIME, true);
    return table;
  }
  static WideString Subject(IVoMAPITableBase& Table) { return Table.FieldByName(PR_SUBJECT_W)->Get_AsString(); }
  // The subjects of the rows the table shows, first to last.
  static std::vector<std::string> Subjects(IVoMAPITableBase& Table) {
    std::vector<std::string> subjects;
    for (Table.First(); !Table.Get_EOF(); Table.Next()) subjects.push_back(ToUtf8(Subject(Table)));
    return subjects;
  }

  test::TempHome home_;
  ComPtr<TSession> session_ = MakeComObject<TSession>();
  ComPtr<IMsgStore> store_;
  ComPtr<IMAPIFolder> folder_;
  ComPtr<TVoMAPIProp> owner_;
};

TEST_F(FolderOnOrbaStore, ReadsFortyFiveRowsInBatchesOfTwentyAndStaysOnTheLastRowAtTheEnd) {
  Fill(45);
  auto provider = MakeComObject<TProviderTable>(ContentsTable());
  auto table = Contents(ComPtr<IMAPITable>(provider.get()));
  EXPECT_EQ(table->Get_RowCount(), 45);
  table->First();
  EXPECT_EQ(provider->QueryRowsCalls, 1);
  for (int i = 1; i < 45; ++i) {
    table->Next();
    ASSERT_EQ(Subject(*table), u"Message " + FromUtf8(std::to_string(i)));
    // Rows 1 to 19 come from the first batch, row 20 and row 40 start a new one.
    EXPECT_EQ(provider->QueryRowsCalls, 1 + i / 20) << i;
  }
  for (void (IVoMAPITableBase::*move)() :
       {&IVoMAPITableBase::Next, &IVoMAPITableBase::Previous, &IVoMAPITableBase::Last}) {
    (table.get()->*move)();
    EXPECT_TRUE(table->Get_EOF());
    EXPECT_EQ(Subject(*table), u"Message 44");
  }
}

TEST_F(FolderOnOrbaStore, PreviousCrossesBatchesBackwardAndStopsOnTheFirstRow) {
  Fill(45);
  auto table = Contents();
  table->Set_BatchSize(7);
  ASSERT_TRUE(table->SeekRow(tbkBeginning, 22));
  EXPECT_EQ(Subject(*table), u"Message 22");
  for (int i = 21; i >= 0; --i) {
    table->Previous();
    ASSERT_EQ(Subject(*table), u"Message " + FromUtf8(std::to_string(i)));
  }
  table->Previous();
  EXPECT_FALSE(table->Get_EOF());
  EXPECT_EQ(Subject(*table), u"Message 0");
}

TEST_F(FolderOnOrbaStore, SeeksFromTheBeginningTheCurrentRowAndTheEnd) {
  Fill(45);
  auto table = Contents();
  struct Case {
    TVoMapiTableBookmark origin;
    int32_t count;
    bool found;
    const char16_t* subject;
  } cases[] = {{tbkBeginning, 10, true, u"Message 10"},
               {tbkCurrentRelative, 5, true, u"Message 15"},
               {tbkCurrentRelative, -3, true, u"Message 12"},
               {tbkEnd, -1, true, u"Message 44"},
               {tbkBeginning, 100, false, u"Message 44"}};
  for (const Case& c : cases) {
    EXPECT_EQ(bool(table->SeekRow(c.origin, c.count)), c.found) << c.count;
    EXPECT_EQ(Subject(*table), c.subject) << c.count;
  }
  EXPECT_MAPI_ERROR(
      table->SeekRow(TVoMapiTableBookmark(7), 1), E_INVALIDARG,
      u"TVoMAPITable.SeekRow has raised the following exception:\r\nThe caller passed an invalid parameter or flag. "
      u"(-2147024809)");
}

TEST_F(FolderOnOrbaStore, AnEmptyTableIsAtItsEndAndHasNoRowToRead) {
  auto table = Contents();
  table->Open();
  EXPECT_TRUE(table->Get_EOF());
  EXPECT_MAPI_ERROR(Subject(*table), E_FAIL, u"No record has been retrieved yet! Is the table active and not EOF?");
  EXPECT_MAPI_ERROR(table->CheckEOF(), E_FAIL, u"The table is EOF!");
}

TEST_F(FolderOnOrbaStore, FieldsOfEveryTypeReadTheirValues) {
  Fill(3);
  auto table = Contents();
  table->SeekRow(tbkBeginning, 2);
  EXPECT_EQ(table->FieldByName(PR_IMPORTANCE)->Get_AsInteger(), 2);
  ComPtr<IVoMAPITableField> time = table->FieldByName(PR_CLIENT_SUBMIT_TIME);
  const FILETIME ft = time->Get_AsSystemTime();
  EXPECT_EQ(uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime, kFirstTime + 2 * kHour);
  const TVoVariant categories = table->FieldByName(NPR_CATEGORIES_W)->Get_Value();
  ASSERT_EQ(categories.ArrayLength(), 2u);
  EXPECT_EQ(VoVarToStr(categories.ArrayItem(1)), u"c2");
  EXPECT_MAPI_ERROR(time->Set_Value(TVoVariant(1)), E_ACCESSDENIED, u"The table is readonly!");
  EXPECT_MAPI_ERROR(time->Set_AsSystemTime(ft), E_ACCESSDENIED, u"The SystemTime property is readonly!");
}

TEST_F(FolderOnOrbaStore, AUnicodeFieldBringsItsAnsiTwinAndEitherWidthStandsInForTheOther) {
  Fill(2);
  auto provider = MakeComObject<TProviderTable>(ContentsTable());
  auto table = MakeComObject<TVoMAPITable>(owner_.get(), session_.get(), ComPtr<IMAPITable>(provider.get()));
  table->SetFields({PR_SUBJECT_W, PR_BODY_W});
  ComPtr<IVoMAPITableFields> fields = table->Get_Fields();
  ASSERT_EQ(fields->Get_Count(), 4);
  table->First();
  for (ULONG failing : {ULONG(PT_UNICODE), ULONG(PT_STRING8)}) {
    provider->FailingColumnType = failing;
    table->Close();
    table->First();
    EXPECT_EQ(table->FieldByName(PR_SUBJECT_W)->Get_AsString(), u"Message 0") << failing;
    EXPECT_EQ(table->FieldByName(PR_SUBJECT_A)->Get_AsString(), u"Message 0") << failing;
    EXPECT_EQ(table->FieldByName(PR_BODY_W)->Get_AsString(), u"Body of 0") << failing;
  }
  table->Next();  // message 1 has no body: both columns hold PT_ERROR
  EXPECT_TRUE(table->FieldByName(PR_BODY_W)->Get_Value().IsNull());
  EXPECT_MAPI_ERROR(table->FieldByName(PR_DISPLAY_TO_W), MAPI_E_NOT_FOUND, u"There is no field PR_DISPLAY_TO_W!");
}

TEST_F(FolderOnOrbaStore, FindsTheColumnsOfRowsThatCameWithOtherColumns) {
  Fill(2);
  auto provider = MakeComObject<TProviderTable>(ContentsTable());
  provider->OmittedColumnType = PT_STRING8;
  auto table = MakeComObject<TVoMAPITable>(owner_.get(), session_.get(), ComPtr<IMAPITable>(provider.get()));
  table->SetFields({PR_SUBJECT_W, PR_IMPORTANCE});
  table->Sort(PR_CLIENT_SUBMIT_TIME, false);
  table->First();
  EXPECT_EQ(Subject(*table), u"Message 1");
  EXPECT_EQ(table->FieldByName(PR_SUBJECT_A)->Get_AsString(), u"Message 1");
}

TEST_F(FolderOnOrbaStore, AnApproximateCountIsCountedBySeekingAndTheCursorStaysWhereItWas) {
  Fill(45);
  auto provider = MakeComObject<TProviderTable>(ContentsTable());
  provider->ApproxCount = true;
  auto table = Contents(ComPtr<IMAPITable>(provider.get()));
  table->SeekRow(tbkBeginning, 30);
  EXPECT_EQ(table->Get_RowCount(), 45);
  EXPECT_EQ(Subject(*table), u"Message 30");
}

TEST_F(FolderOnOrbaStore, SortsAndOpensWithTheTablesOwnColumnsWhenGivenNone) {
  Fill(5);
  auto table = Contents();
  table->Sort(PR_CLIENT_SUBMIT_TIME, false);
  EXPECT_EQ(Subjects(*table),
            (std::vector<std::string>{"Message 4", "Message 3", "Message 2", "Message 1", "Message 0"}));
  auto plain = MakeComObject<TVoMAPITable>(owner_.get(), session_.get(), ContentsTable());
  int32_t shown = -1;
  SetShowFieldsProc([&](IVoMAPITableBase* shownTable) { shown = shownTable->Get_Fields()->Get_Count(); });
  plain->DisplayFields();
  SetShowFieldsProc(nullptr);
  EXPECT_GT(shown, 0);
  plain->First();
  EXPECT_EQ(plain->Get_Fields()->Get_Count(), shown);
}

// The folder's own properties through the wrapper, named ones too, survive reopening.
TEST_F(FolderOnOrbaStore, PropertiesIncludingNamedOnesSurviveReopening) {
  owner_->PropByName(PR_COMMENT)->Set_AsString(u"Plans \u00FC\u20AC");
  owner_->PropByName(NPR_CONTACT_FILEUNDER)->Set_AsString(u"Filed");
  owner_->SaveChanges(smKeepOpenReadWrite);
  std::vector<uint8_t> id = EntryIDToArr(owner_->Get_EntryID());
  ULONG type = 0;
  ComPtr<IUnknown> folder;
  ASSERT_EQ(store_->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), &IID_IMAPIFolder, MAPI_MODIFY,
                              &type, folder.Out()),
            S_OK);
  auto reopened =
      MakeComObject<TVoMAPIProp>(nullptr, session_.get(), folder.Query<IMAPIProp>(IID_IMAPIProp), alReadWrite);
  const TVoMAPIPropDef defs[] = {PR_COMMENT, NPR_CONTACT_FILEUNDER, PR_DISPLAY_NAME};
  reopened->GetPropValues(defs, 3);
  EXPECT_EQ(reopened->PropByName(PR_COMMENT)->Get_AsString(), u"Plans \u00FC\u20AC");
  EXPECT_EQ(reopened->PropByName(NPR_CONTACT_FILEUNDER)->Get_AsString(), u"Filed");
  EXPECT_EQ(reopened->PropByName(PR_DISPLAY_NAME)->Get_AsString(), u"Tables");
  EXPECT_FALSE(reopened->HasProp(PR_BODY));
}

// Restrictions ------------------------------------------------------------------------------

// Builds a restriction for a table.
using TBuild = std::function<ComPtr<IVoMAPIRestriction>(IVoMAPITableBase& Table)>;

template <class I>
ComPtr<I> Create(IVoMAPITableBase& Table, TVoMAPIRestrictionType Type) {
  return Table.CreateRestriction(Type).Query<I>(IidOf<I>());
}

ComPtr<IVoMAPIRestriction> Property(IVoMAPITableBase& Table, TVoMAPIPropDef Prop, TVoMAPIOperator Op,
                                    const TVoVariant& Value) {
  auto r = Create<IVoMAPIRestrictionProperty>(Table, rtProperty);
  r->Set_PropDef(Prop);
  r->Set_Operator(Op);
  r->Set_Value(Value);
  return r;
}

ComPtr<IVoMAPIRestriction> Exists(IVoMAPITableBase& Table, TVoMAPIPropDef Prop) {
  auto r = Create<IVoMAPIRestrictionExists>(Table, rtExists);
  r->Set_PropDef(Prop);
  return r;
}

ComPtr<IVoMAPIRestriction> Content(IVoMAPITableBase& Table, TVoMAPIPropDef Prop, const WideString& Value,
                                   TVoMAPIStringMatchType Match, bool IgnoreCase) {
  auto r = Create<IVoMAPIRestrictionContent>(Table, rtContent);
  r->Set_PropDef(Prop);
  r->Set_Value(Value);
  r->Set_MatchType(Match);
  r->Set_CaseInsensitive(IgnoreCase);
  return r;
}

TEST_F(FolderOnOrbaStore, FiltersWithRestrictionsOfEveryKind) {
  Fill(30);
  const TVoVariant fourthHour = TVoVariant::FromDate(VoUTCToLocal(EncodeDate(2024, 1, 1) + 3 / 24.0));
  std::vector<ComPtr<IVoMAPIRestriction>> held;  // the children an And or Or needs alive
  struct Case {
    const char* name;
    TBuild build;
    std::vector<int> messages;
  } cases[] = {
      {"content, substring, any case",
       [](auto& t) { return Content(t, PR_SUBJECT_W, u"SAGE 2", smtSubString, true); },
       {2, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
      {"content, prefix of a multi-valued text",
       [](auto& t) { return Content(t, NPR_CATEGORIES_W, u"c1", smtPrefix, false); },
       {1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
      {"property, equal",
       [](auto& t) { return Property(t, PR_IMPORTANCE, oEqual, TVoVariant(2)); },
       {2, 5, 8, 11, 14, 17, 20, 23, 26, 29}},
      {"property, a local date",
       [&](auto& t) { return Property(t, PR_CLIENT_SUBMIT_TIME, oSmallerThan, fourthHour); },
       {0, 1, 2}},
      {"property, a FILETIME number",
       [](auto& t) {
         return Property(t, PR_CLIENT_SUBMIT_TIME, oGreaterOrEqual, TVoVariant(int64_t(kFirstTime + 28 * kHour)));
       },
       {28, 29}},
      {"property, multi-valued lines",
       [](auto& t) { return Property(t, NPR_CATEGORIES_W, oEqual, TVoVariant(u"odd\r\nc7")); },
       {7}},
      {"compare props",
       [](auto& t) {
         auto r = Create<IVoMAPIRestrictionCompareProps>(t, rtCompareProps);
         r->Set_Operator(oGreaterThan);
         r->Set_PropDef1(PR_IMPORTANCE);
         r->Set_PropDef2(PR_PRIORITY);
         return r;
       },
       {2, 5, 8, 11, 14, 17, 20, 23, 26, 29}},
      {"bitmask",
       [](auto& t) {
         auto r = Create<IVoMAPIRestrictionBitMask>(t, rtBitmask);
         r->Set_PropDef(PR_IMPORTANCE);
         r->Set_Operator(bmoNotZero);
         r->Set_BitMask(1);
         return r;
       },
       {1, 4, 7, 10, 13, 16, 19, 22, 25, 28}},
      {"size",
       [](auto& t) {
         auto r = Create<IVoMAPIRestrictionSize>(t, rtSize);
         r->Set_PropDef(PR_SUBJECT_W);
         r->Set_Operator(oSmallerThan);
         r->Set_Size(22);  // "Message 9" and its terminator in UTF-16
         return r;
       },
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"exists", [](auto& t) { return Exists(t, PR_BODY_W); }, {0, 5, 10, 15, 20, 25}},
      {"not, and, or",
       [&](auto& t) {
         auto any = Create<IVoMAPIRestrictionOr>(t, rtOr);
         auto body = Exists(t, PR_BODY_W), important = Property(t, PR_IMPORTANCE, oEqual, TVoVariant(2));
         any->AddRestriction(body.get());
         any->AddRestriction(important.get());
         auto neither = Create<IVoMAPIRestrictionNot>(t, rtNot);
         neither->SetRestriction(any.get());  // kept alive by the Not
         auto both = Create<IVoMAPIRestrictionAnd>(t, rtAnd);
         auto early = Property(t, PR_IMPORTANCE, oSmallerThan, TVoVariant(9));
         auto odd = Content(t, NPR_CATEGORIES_W, u"odd", smtFullString, false);
         held = {body, important, neither, odd};
         both->AddRestriction(neither.get());
         both->AddRestriction(odd.get());
         both->AddRestriction(early.get());
         early = nullptr;  // an And does not keep its children alive
         EXPECT_EQ(both->Get_Count(), 2);
         return ComPtr<IVoMAPIRestriction>(both);
       },
       {1, 3, 7, 9, 13, 19, 21, 27}},
  };
  auto table = Contents();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComPtr<IVoMAPIRestriction> restriction = c.build(*table);
    table->Filter(restriction.get());
    std::vector<std::string> expected;
    for (int i : c.messages) expected.push_back("Message " + std::to_string(i));
    EXPECT_EQ(Subjects(*table), expected) << c.name;
    EXPECT_EQ(table->Get_RowCount(), int32_t(expected.size())) << c.name;
  }
  // Orba Store evaluates recipients and attachments in search folders only; the refused
  // restriction leaves the table filtered as it was.
  auto sub = Create<IVoMAPIRestrictionSub>(*table, rtSub);
  sub->SetRestriction(Content(*table, PR_DISPLAY_NAME_W, u"bob", smtFullString, true).get());
  EXPECT_MAPI_ERROR(
      table->Filter(sub.get()), MAPI_E_TOO_COMPLEX,
      u"TVoMAPITable.SetFiltered failed!\r\nThe table cannot perform the operation, because the restiction "
      u"is too complicated.");
  EXPECT_EQ(Subjects(*table).size(), cases[std::size(cases) - 1].messages.size());
  EXPECT_MAPI_ERROR(table->FindFirst(sub.get()), E_FAIL, "The table is already filtered!");
  table->Filter(nullptr);
  EXPECT_EQ(table->Get_RowCount(), 30);
}

TEST_F(FolderOnOrbaStore, FindsForwardAndBackwardFromTheLastRowFound) {
  Fill(12);
  auto table = Contents();
  ComPtr<IVoMAPIRestriction> one = Property(*table, PR_IMPORTANCE, oEqual, TVoVariant(1));
  struct Step {
    bool16 (IVoMAPITableBase::*find)(IVoMAPIRestriction*);
    const char16_t* subject;  // null: not found
  } steps[] = {{&IVoMAPITableBase::FindFirst, u"Message 1"},    {&IVoMAPITableBase::FindNext, u"Message 4"},
               {&IVoMAPITableBase::FindNext, u"Message 7"},     {&IVoMAPITableBase::FindPrevious, u"Message 4"},
               {&IVoMAPITableBase::FindPrevious, u"Message 1"}, {&IVoMAPITableBase::FindPrevious, nullptr},
               {&IVoMAPITableBase::FindLast, u"Message 10"},    {&IVoMAPITableBase::FindNext, nullptr}};
  for (const Step& step : steps) {
    const bool found = (table.get()->*step.find)(one.get());
    EXPECT_EQ(found, step.subject != nullptr);
    if (found) {
      EXPECT_EQ(Subject(*table), step.subject);
    }
    EXPECT_EQ(bool(table->Get_EOF()), !found);
  }
  table->Filter(one.get());
  EXPECT_MAPI_ERROR(table->FindFirst(one.get()), E_FAIL, u"The table is already filtered!");
}

TEST_F(FolderOnOrbaStore, RestrictionNodesCarryTheirMembers) {
  auto table = Contents();
  auto node = [](const ComPtr<IVoMAPIRestriction>& r) {
    return *dynamic_cast<TVoMAPIRestriction&>(*r).GetMAPIRestriction();
  };
  EXPECT_MAPI_ERROR(table->CreateRestriction(TVoMAPIRestrictionType(10)), E_INVALIDARG, u"Unsupported RestrictionType");
  ComPtr<IVoMAPIRestriction> twoLines = Property(*table, NPR_CATEGORIES_W, oEqual, TVoVariant(u"a\r\nb"));
  SRestriction lines = node(twoLines);
  ASSERT_EQ(lines.res.resProperty.lpProp->Value.MVszW.cValues, 2u);
  EXPECT_EQ(WideString(lines.res.resProperty.lpProp->Value.MVszW.lppszW[1]), u"b");

  auto sub = Create<IVoMAPIRestrictionSub>(*table, rtSub);
  auto notR = Create<IVoMAPIRestrictionNot>(*table, rtNot);
  for (auto& nested : {ComPtr<IVoMAPIRestrictionNested>(sub), ComPtr<IVoMAPIRestrictionNested>(notR)})
    EXPECT_MAPI_ERROR(node(nested), E_INVALIDARG, u"No restriction has been set yet!");

  auto property = Create<IVoMAPIRestrictionProperty>(*table, rtProperty);
  const TVoMAPIPropDef currency = *RegisterProp(u"PR_TABLE_TEST_AMOUNT", 0x6601, PT_CURRENCY)->PropDef;
  for (TVoMAPIPropDef refused : {PR_ATTACH_DATA_OBJ, currency})
    EXPECT_MAPI_ERROR(property->Set_PropDef(refused), MAPI_E_NO_SUPPORT,
                      u"You can not use this property in a property restriction!");
  EXPECT_MAPI_ERROR(node(property), E_INVALIDARG, u"No property has been set for this restriction yet!");
}

TEST_F(FolderOnOrbaStore, RestrictionsJoinOnlyWithinOneTableAndNeverContainThemselves) {
  auto table = Contents(), other = Contents();
  auto all = Create<IVoMAPIRestrictionAnd>(*table, rtAnd);
  auto foreign = other->CreateRestriction(rtExists);
  const WideString differentTable =
      u"The table the restriction belongs too is different than the table of this restriction!";
  EXPECT_MAPI_ERROR(all->AddRestriction(foreign.get()), E_INVALIDARG, differentTable);
  EXPECT_MAPI_ERROR(table->Filter(foreign.get()), E_INVALIDARG, differentTable);
  auto notR = Create<IVoMAPIRestrictionNot>(*table, rtNot);
  notR->SetRestriction(all.get());
  EXPECT_MAPI_ERROR(all->AddRestriction(notR.get()), E_INVALIDARG, u"A restriction can not contain itself!");
  EXPECT_MAPI_ERROR(table->FindFirst(nullptr), E_INVALIDARG, u"No restriction has been specified!");
  table = nullptr;
  EXPECT_MAPI_ERROR(dynamic_cast<TVoMAPIRestriction&>(*notR).GetMAPIRestriction(), E_FAIL,
                    u"The table this restriction belongs to has been destroyed!");
}

// Notifications -----------------------------------------------------------------------------

TEST_F(FolderOnOrbaStore, AnAddedRowReachesOnRowAddedAndCloseRaisesOnClose) {
  auto table = Contents();
  table->First();
  TVoMAPITableEvents events;
  WideString subject;
  int closed = 0;
  events.OnRowAdded = [&](IVoMAPITable* source, const TVoVariant&, IVoMAPITable* row) {
    EXPECT_EQ(source, static_cast<IVoMAPITable*>(table.get()));
    subject = Subject(*row);
  };
  events.OnClose = [&](IVoMAPITable*) { ++closed; };
  events.Start(table.get());
  EXPECT_MAPI_ERROR(table->Advise(), E_FAIL, u"The table notification system has already been activated!");
  Fill(3);
  EXPECT_EQ(subject, u"Message 2");
  table->Close();
  EXPECT_EQ(closed, 1);
  EXPECT_MAPI_ERROR(table->CheckEOF(), E_FAIL, u"The table is EOF!");
  subject.clear();
  Fill(1);
  EXPECT_EQ(subject, u"");  // notifications are off
  table->Advise();          // and can start again
  events.Stop();
  EXPECT_MAPI_ERROR(events.Get_Table(), E_FAIL, u"The internal MAPITable interface cannot be requested at this time!");
  EXPECT_MAPI_ERROR(events.Start(nullptr), E_INVALIDARG, u"No table specified!");
}

// The session's tables and failures ---------------------------------------------------------

TEST_F(FolderOnOrbaStore, TheStoresTableEndsWithItsSession) {
  ComPtr<IVoMAPITable> stores = session_->GetMsgStoresTable();
  stores->SetFields({PR_DISPLAY_NAME_W, PR_DEFAULT_STORE});
  ComPtr<IVoMAPITableField> isDefault = stores->FieldByName(PR_DEFAULT_STORE);
  EXPECT_EQ(stores->Get_RowCount(), 1);
  EXPECT_TRUE(isDefault->Get_AsBoolean());
  session_->Logoff();
  EXPECT_MAPI_ERROR(stores->First(), E_ACCESSDENIED,
                    u"TVoMAPITable.First failed.\r\nThe object is not, or no longer, active!");
  EXPECT_MAPI_ERROR(session_->GetMsgStoresTable(), E_FAIL, u"You must logon before you can execute GetMsgStoresTable!");
}

TEST_F(FolderOnOrbaStore, BadInputAnswersWithTheLibrarysExceptions) {
  auto inactive = MakeComObject<TVoMAPITable>(nullptr, session_.get(), nullptr);
  EXPECT_MAPI_ERROR(inactive->Open(), E_ACCESSDENIED,
                    u"TVoMAPITable.Open failed.\r\nThe object is not, or no longer, active!");
  auto orphan = MakeComObject<TVoMAPITable>(nullptr, nullptr, ContentsTable());
  EXPECT_MAPI_ERROR(orphan->First(), MAPI_E_UNCONFIGURED, u"No session has been Assigned (TVoMAPITable.First)!");
  Fill(1);
  auto table = Contents();
  EXPECT_MAPI_ERROR(table->FieldByName(TVoMAPIPropDef{int64_t(GetPropCount()) + 100}), E_INVALIDARG,
                    u"List index out of bounds (" + FromUtf8(std::to_string(GetPropCount() + 99)) + u")");
  EXPECT_MAPI_ERROR(table->Set_BatchSize(0), E_INVALIDARG, u"The BatchSize must be at least 1 (0 was given)!");
  EXPECT_MAPI_ERROR(table->Set_CursorType(ctOpenForwardOnly), MAPI_E_NO_SUPPORT,
                    u"The CursorType is a readonly property!");
  for (void (IVoMAPITableBase::*refused)() : {&IVoMAPITableBase::Insert, &IVoMAPITableBase::Delete})
    EXPECT_MAPI_ERROR((table.get()->*refused)(), 26, u"This method is not supported by this table!");
  EXPECT_MAPI_ERROR(table->SetFields(static_cast<IVoMAPIPropList*>(nullptr)), E_INVALIDARG,
                    u"TVoMAPITable.SetFields failed!\r\nNo property list has been given.");
  EXPECT_MAPI_ERROR(table->DisplayFields(), 26,
                    u"TVoMAPITable.DisplayFields failed!\r\nNo field viewer has been registered. Link the field-viewer "
                    u"unit of the user-interface add-on, which registers itself with SetShowFieldsProc.");
  ComPtr<IVoMAPITableFields> fields = table->Get_Fields();
  ComPtr<IVoMAPITableField> removed = fields->Get_Item(0);
  fields->Remove(removed.get());
  table->First();
  EXPECT_MAPI_ERROR(removed->Get_Value(), E_INVALIDARG,
                    u"The requested field \"PR_SUBJECT_A\" is not a field of this table!");
  table = nullptr;
  EXPECT_MAPI_ERROR(fields->Get_Count(), E_FAIL, u"The table this fieldlist belongs to has been destroyed!");
  EXPECT_MAPI_ERROR(removed->Get_Value(), E_FAIL, u"The table this field belongs to has been destroyed!");
}

}  // namespace
