// The store engine's contents query behind a folder's contents table: restrictions and
// sort orders evaluated in SQL give exactly the rows and order the table engine gives
// on its own over the same rows (a table over a memory copy of them); each page is its
// stretch of the whole read, restrictions SQL only approximates are not paged, and a
// table read a few rows at a time follows a new message.
#include <gtest/gtest.h>

#include <random>

#include "mapiobjects/openstore.h"
#include "mapiobjects/tables.h"
#include "storesupport.h"
#include "table/mapitable.h"
#include "tablesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using Keys = std::vector<std::string>;

constexpr ULONG kSubjectA = PROP_TAG(PT_STRING8, 0x0037);
constexpr ULONG kImportanceI8 = PROP_TAG(PT_I8, 0x0017);

SRestriction Property(ULONG relop, SPropValue* value) {
  SRestriction r{RES_PROPERTY, {}};
  r.res.resProperty = {relop, value->ulPropTag, value};
  return r;
}
SRestriction Content(ULONG fuzzy, SPropValue* value) {
  SRestriction r{RES_CONTENT, {}};
  r.res.resContent = {fuzzy, value->ulPropTag, value};
  return r;
}
SRestriction Join(ULONG type, std::vector<SRestriction>& parts) {
  SRestriction r{type, {}};
  r.res.resAnd = {static_cast<ULONG>(parts.size()), parts.data()};
  return r;
}
SRestriction Not(SRestriction* inner) {
  SRestriction r{RES_NOT, {}};
  r.res.resNot = {0, inner};
  return r;
}
SRestriction Exists(ULONG tag) {
  SRestriction r{RES_EXIST, {}};
  r.res.resExist.ulPropTag = tag;
  return r;
}
Keys KeysOf(const TRowList& rows) {
  Keys keys;
  for (const TRowPtr& row : rows) keys.emplace_back(row->InstanceKey());
  return keys;
}
// The instance keys of up to count rows a table answers from its position on.
Keys Read(IMAPITable* table, LONG count) {
  TRows rows = Query(table, {}, count);
  Keys keys;
  for (ULONG i = 0; i < rows.size(); ++i) {
    Bytes key = BytesOf(rows[i][0]);
    keys.emplace_back(key.begin(), key.end());
  }
  return keys;
}

// A folder's contents table source over a personal store of its own.
class ContentsQuery : public ::testing::Test {
 protected:
  void Open() {
    store_ = TOpenStore::Open(home_.File("contents.pst"), TStoreKind::PersonalFile, u"P", Bytes(20, 1), Bytes(20, 2));
    folder_ = store_->Engine().Folders().SpecialFolderId(TSpecialFolder::Inbox);
  }
  void TearDown() override {
    source_ = nullptr;
    store_ = nullptr;
  }
  int64_t Create(const TStoredProps& props) {
    TMessageImage image;
    image.props = props;
    return store_->Engine().Messages().Create(folder_, false, image);
  }

  TTempStoreHome home_;
  std::shared_ptr<TOpenStore> store_;
  int64_t folder_ = 0;
  std::shared_ptr<TTableRowSource> source_;
};

// --- pushdown ---

class ContentsPushdown : public ContentsQuery {
 protected:
  void SetUp() override {
    Open();
    const std::u16string subjects[] = {u"Hello",     u"hello", u"HELLO world", u"Ärger", u"ärger", u"Über",
                                       u"uber",      u"",      u"Re: Hello",   u"Zebra", u"zeb",   u"Ω omega",
                                       u"ab\u0100c", u"AB"};
    const std::u16string classes[] = {u"IPM.Note", u"ipm.note", u"IPM.Appointment", u"IPM.Note.Receipt", u"IPM"};
    const std::u16string senders[] = {u"Alice", u"alice", u"Bob", u"Émile", u"emile"};
    // Delivery times: equal keys, and one beyond the signed 64-bit range.
    const uint64_t times[] = {132000000000000000ull, 132000000000000000ull, 130000000000000000ull, 1,
                              0x8000000000000010ull, 0xFFFFFFFFFFFFFFFFull, 133000000000000000ull};
    std::mt19937 random(7);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (int i = 0; i < 300; ++i) {
      TStoredProps props;
      // Every property is sometimes missing.
      if (pick(8)) props.push_back(Stored(TextValue(tags::kSubjectW, subjects[pick(std::size(subjects))])));
      if (pick(8)) props.push_back(Stored(TextValue(tags::kMessageClassW, classes[pick(std::size(classes))])));
      if (pick(6)) props.push_back(Stored(TextValue(tags::kSenderNameW, senders[pick(std::size(senders))])));
      if (pick(6)) {
        props.push_back(
            Stored(TimeValue(tags::kMessageDeliveryTime, static_cast<int64_t>(times[pick(std::size(times))]))));
      }
      if (pick(4)) {
        LONG importance = static_cast<LONG>(pick(4)) - 1;
        // Now and then of another type: not the PT_LONG the tables compare.
        SPropValue wide{kImportanceI8, 0, {}};
        wide.Value.li.QuadPart = importance;
        props.push_back(Stored(i % 25 ? LongValue(tags::kImportance, static_cast<ULONG>(importance)) : wide));
      }
      if (pick(2)) props.push_back(Stored(LongValue(tags::kMessageFlags, pick(2) ? MSGFLAG_READ : 0)));
      Create(props);
    }
    source_ = CreateContentsSource(store_, folder_, false);
    copy_ = std::make_shared<TMemoryRowSource>(source_->AllColumns());
    TRowListPtr rows = source_->Rows(nullptr, nullptr);
    for (const TRowPtr& row : *rows) copy_->Put(row->Values());
  }

  // The instance keys of a new table's rows: equal sort keys keep the order the rows
  // had before sorting, so each comparison starts from the source's order.
  static Keys TableKeys(std::shared_ptr<TTableRowSource> source, SRestriction* restriction, SSortOrderSet* sort) {
    auto table = CreateMapiTable(std::move(source));
    SizedSPropTagArray<1> columns{1, {tags::kInstanceKey}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    EXPECT_EQ(table->Restrict(restriction, 0), S_OK);
    SizedSSortOrderSet<1> none{0, 0, 0, {}};
    EXPECT_EQ(table->SortTable(sort ? sort : none.Ptr(), 0), S_OK);
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    return Read(table.get(), 1000);
  }
  // Runs restriction and sort through both tables; returns the number of rows.
  size_t Same(SRestriction* restriction, SSortOrderSet* sort, bool pushedDown) {
    if (restriction) {
      EXPECT_EQ(source_->AcceptsRestriction(*restriction), pushedDown);
    } else if (sort) {
      EXPECT_EQ(source_->AcceptsSort(*sort), pushedDown);
    }
    auto expected = TableKeys(copy_, restriction, sort);
    EXPECT_EQ(TableKeys(source_, restriction, sort), expected);
    return expected.size();
  }

  std::shared_ptr<TMemoryRowSource> copy_;  // the same rows, for the engine alone
};

TEST_F(ContentsPushdown, SortsGiveTheEnginesOrder) {
  for (ULONG tag : {tags::kSubjectW, kSubjectA, tags::kMessageClassW, tags::kSenderNameW, tags::kMessageDeliveryTime,
                    tags::kImportance, tags::kMessageFlags, tags::kCreationTime})
    for (ULONG order : {TABLE_SORT_ASCEND, TABLE_SORT_DESCEND}) {
      SizedSSortOrderSet<1> sort{1, 0, 0, {{tag, order}}};
      SCOPED_TRACE(::testing::Message() << std::hex << tag << " " << order);
      EXPECT_EQ(Same(nullptr, sort.Ptr(), true), 300u);
    }
  SizedSSortOrderSet<3> three{3,
                              0,
                              0,
                              {{tags::kMessageClassW, TABLE_SORT_ASCEND},
                               {tags::kMessageDeliveryTime, TABLE_SORT_DESCEND},
                               {tags::kSubjectW, TABLE_SORT_ASCEND}}};
  Same(nullptr, three.Ptr(), true);
  // A column the store does not keep: the engine sorts.
  SizedSSortOrderSet<1> other{1, 0, 0, {{PROP_TAG(PT_BINARY, 0x300B), TABLE_SORT_ASCEND}}};
  Same(nullptr, other.Ptr(), false);
}

TEST_F(ContentsPushdown, PropertyRestrictionsGiveTheEnginesRows) {
  SizedSSortOrderSet<1> byTime{1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  SPropValue hello = TextValue(tags::kSubjectW, u"HELLO");
  SPropValue umlaut = TextValue(tags::kSubjectW, u"ärger");
  SPropValue note = TextValue(tags::kMessageClassW, u"ipm.NOTE");
  SPropValue time = TimeValue(tags::kMessageDeliveryTime, 132000000000000000);
  SPropValue high = TimeValue(tags::kMessageDeliveryTime, static_cast<int64_t>(0x8000000000000000ull));
  SPropValue importance = LongValue(tags::kImportance, 0);
  SPropValue flags = LongValue(tags::kMessageFlags, MSGFLAG_READ);
  for (SPropValue* value : {&hello, &umlaut, &note, &time, &high, &importance, &flags}) {
    size_t matches = 0, negations = 0;
    for (ULONG relop : {RELOP_LT, RELOP_LE, RELOP_GT, RELOP_GE, RELOP_EQ, RELOP_NE}) {
      SRestriction r = Property(relop, value);
      matches += Same(&r, byTime.Ptr(), true);
      SRestriction negated = Not(&r);
      negations += Same(&negated, nullptr, true);
    }
    EXPECT_GT(matches, 0u);
    EXPECT_GT(negations, 0u);
  }
  SRestriction equal = Property(RELOP_EQ, &hello);
  EXPECT_GT(Same(&equal, nullptr, true), 0u);  // "Hello" and "hello" match "HELLO"
}

TEST_F(ContentsPushdown, ContentRestrictionsAndCombinations) {
  SizedSSortOrderSet<1> bySubject{1, 0, 0, {{tags::kSubjectW, TABLE_SORT_DESCEND}}};
  auto* sort = bySubject.Ptr();
  SPropValue hel = TextValue(tags::kSubjectW, u"hEl");
  SPropValue ll = TextValue(tags::kSubjectW, u"LL");
  SPropValue misaligned = TextValue(tags::kSubjectW, u"\u4100");  // bytes that also occur across "A\u0100"
  SPropValue ipm = TextValue(tags::kMessageClassW, u"ipm.note");
  for (SPropValue* value : {&hel, &ll, &misaligned, &ipm})
    for (ULONG match : {FL_FULLSTRING, FL_PREFIX, FL_SUBSTRING}) {
      SCOPED_TRACE(::testing::Message() << std::hex << value->ulPropTag << " " << match);
      SRestriction r = Content(match | FL_IGNORECASE, value);
      Same(&r, sort, true);
      SRestriction exact = Content(match, value);  // case-sensitive: the engine decides
      Same(&exact, sort, false);
      SRestriction loose = Content(match | FL_LOOSE, value);
      Same(&loose, nullptr, false);
    }
  SRestriction substring = Content(FL_SUBSTRING | FL_IGNORECASE, &ll);
  EXPECT_GT(Same(&substring, nullptr, true), 0u);
  SRestriction notSubstring = Not(&substring);
  Same(&notSubstring, nullptr, false);  // a prefilter cannot be negated
  SRestriction prefix = Content(FL_PREFIX | FL_IGNORECASE, &ipm);
  SPropValue importance = LongValue(tags::kImportance, 1);
  std::vector<SRestriction> parts{substring, Property(RELOP_GE, &importance)};
  SRestriction both = Join(RES_AND, parts);
  Same(&both, sort, true);
  std::vector<SRestriction> either{prefix, both};
  SRestriction any = Join(RES_OR, either);
  Same(&any, sort, true);
  SRestriction notPrefix = Not(&prefix);
  Same(&notPrefix, sort, true);
  std::vector<SRestriction> none;
  SRestriction emptyAnd = Join(RES_AND, none), emptyOr = Join(RES_OR, none);
  EXPECT_EQ(Same(&emptyAnd, nullptr, true), 300u);
  EXPECT_EQ(Same(&emptyOr, nullptr, true), 0u);
  std::vector<SRestriction> mixed{Exists(tags::kSubjectW), prefix};
  SRestriction declined = Join(RES_AND, mixed);
  Same(&declined, sort, false);
}

TEST_F(ContentsPushdown, EmptyPatternsMatchEmptyTexts) {
  // Some subjects are empty: the empty prefix, substring and full string find them too.
  SPropValue empty = TextValue(tags::kSubjectW, u"");
  for (ULONG match : {FL_FULLSTRING, FL_PREFIX, FL_SUBSTRING}) {
    SCOPED_TRACE(::testing::Message() << match);
    SRestriction r = Content(match | FL_IGNORECASE, &empty);
    EXPECT_GT(Same(&r, nullptr, true), 0u);
  }
  SRestriction prefix = Content(FL_PREFIX | FL_IGNORECASE, &empty), exist = Exists(tags::kSubjectW);
  EXPECT_EQ(Same(&prefix, nullptr, true), Same(&exist, nullptr, false));
}

// --- paging ---

class ContentsPaging : public ContentsQuery {
 protected:
  void SetUp() override {
    Open();
    // Times with ties and, now and then, none; subjects with ties.
    for (uint64_t i = 0; i < 40; ++i) Create(i % 9 ? 132000000000000000ull + (i * 7 % 13) * 1000 : 0, i % 5);
    source_ = CreateContentsSource(store_, folder_, false);
  }
  // A message delivered at time (none when 0) with subject "Subject n".
  int64_t Create(uint64_t time, uint64_t n) {
    TStoredProps props{Stored(TextValue(tags::kSubjectW, u"Subject " + std::u16string(1, char16_t(u'0' + n))))};
    if (time) props.push_back(Stored(TimeValue(tags::kMessageDeliveryTime, static_cast<int64_t>(time))));
    return ContentsQuery::Create(props);
  }
  // Every page of the given sizes equals its stretch of the whole read.
  void ExpectPagesOfWhole(const SRestriction* restriction, const SSortOrderSet* sort) {
    ASSERT_TRUE(source_->CanPage(restriction, sort));
    Keys whole = KeysOf(*source_->Rows(restriction, sort));
    for (size_t size : {1u, 6u, 17u}) {
      Keys paged;
      for (size_t offset = 0;; offset += size) {
        Keys page = KeysOf(*source_->RowsPage(restriction, sort, offset, size));
        ASSERT_LE(page.size(), size);
        paged.insert(paged.end(), page.begin(), page.end());
        if (page.size() < size) break;
      }
      EXPECT_EQ(paged, whole);
    }
    EXPECT_EQ(KeysOf(*source_->RowsPage(restriction, sort, 3, SIZE_MAX)), Keys(whole.begin() + 3, whole.end()));
    EXPECT_TRUE(source_->RowsPage(restriction, sort, whole.size(), 5)->empty());
  }
};

TEST_F(ContentsPaging, PagesAreStretchesOfTheWholeRead) {
  ExpectPagesOfWhole(nullptr, nullptr);
  SizedSSortOrderSet<2> byTime = {1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  ExpectPagesOfWhole(nullptr, byTime.Ptr());
  SizedSSortOrderSet<2> bySubjectThenTime = {
      2, 0, 0, {{tags::kSubjectW, TABLE_SORT_DESCEND}, {tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  ExpectPagesOfWhole(nullptr, bySubjectThenTime.Ptr());
  SPropValue prefix = TextValue(tags::kSubjectW, u"SUBJECT 3");
  SRestriction startsWith = Content(FL_PREFIX | FL_IGNORECASE, &prefix);
  ASSERT_TRUE(source_->AcceptsRestriction(startsWith));
  ExpectPagesOfWhole(&startsWith, byTime.Ptr());
  EXPECT_EQ(source_->Rows(&startsWith, nullptr)->size(), 8u);
  // A time beyond the signed 64-bit range sorts through an expression instead of the index.
  Create(0xFFFFFFFFFFFFFF00ull, 7);
  ExpectPagesOfWhole(nullptr, byTime.Ptr());
  EXPECT_EQ(KeysOf(*source_->Rows(nullptr, byTime.Ptr())).back(),
            KeysOf(*source_->RowsPage(nullptr, byTime.Ptr(), 40, 1)).front());
}

TEST_F(ContentsPaging, ApproximateRestrictionsAreNotPaged) {
  SPropValue word = TextValue(tags::kSubjectW, u"ject 2");
  SRestriction substring = Content(FL_SUBSTRING | FL_IGNORECASE, &word);
  ASSERT_TRUE(source_->AcceptsRestriction(substring));
  EXPECT_FALSE(source_->CanPage(&substring, nullptr));
  EXPECT_EQ(CodeOf([&] { source_->RowsPage(&substring, nullptr, 0, 10); }), MAPI_E_NO_SUPPORT);
  // The table reads it at once, and right.
  auto table = CreateMapiTable(source_);
  ASSERT_EQ(table->Restrict(&substring, 0), S_OK);
  EXPECT_EQ(RowCount(table.get()), 8u);
}

}  // namespace
}  // namespace orba::store
