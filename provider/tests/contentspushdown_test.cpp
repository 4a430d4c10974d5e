// The contents table source evaluates restrictions and sort orders on the store's
// message columns in SQL: the rows and their order must be exactly those the table
// engine gives on its own over the same rows (a table over a memory copy of them).
#include <gtest/gtest.h>

#include <random>

#include "mapi/mapiexports.h"
#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "table/mapitable.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

constexpr ULONG kSubjectA = PROP_TAG(PT_STRING8, 0x0037);
constexpr ULONG kImportanceI8 = PROP_TAG(PT_I8, 0x0017);

TStoredProp Text(ULONG tag, const std::u16string& text) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text.c_str()));
  return {tag, EncodePropValue(value)};
}
TStoredProp Time(ULONG tag, uint64_t time) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.ft = {static_cast<ULONG>(time), static_cast<ULONG>(time >> 32)};
  return {tag, EncodePropValue(value)};
}
TStoredProp Long(ULONG tag, LONG number) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.l = number;
  return {tag, EncodePropValue(value)};
}
TStoredProp Long64(ULONG tag, int64_t number) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.li.QuadPart = number;
  return {tag, EncodePropValue(value)};
}

SPropValue TextValue(ULONG tag, const char16_t* text) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text));
  return value;
}
SPropValue TimeValue(ULONG tag, uint64_t time) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.ft = {static_cast<ULONG>(time), static_cast<ULONG>(time >> 32)};
  return value;
}
SPropValue LongValue(ULONG tag, LONG number) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.l = number;
  return value;
}

SRestriction Property(ULONG relop, SPropValue* value) {
  SRestriction r{};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {relop, value->ulPropTag, value};
  return r;
}
SRestriction Content(ULONG fuzzy, SPropValue* value) {
  SRestriction r{};
  r.rt = RES_CONTENT;
  r.res.resContent = {fuzzy, value->ulPropTag, value};
  return r;
}
SRestriction Join(ULONG type, std::vector<SRestriction>& parts) {
  SRestriction r{};
  r.rt = type;
  r.res.resAnd = {static_cast<ULONG>(parts.size()), parts.data()};
  return r;
}
SRestriction Not(SRestriction* inner) {
  SRestriction r{};
  r.rt = RES_NOT;
  r.res.resNot = {0, inner};
  return r;
}

class ContentsPushdown : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = TOpenStore::Open((home_.Path() / "push.pst").string(), TStoreKind::PersonalFile, u"P", Bytes(20, 1),
                              Bytes(20, 2));
    TStoreEngine& engine = store_->Engine();
    folder_ = engine.Folders().SpecialFolderId(TSpecialFolder::Inbox);
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
      TMessageImage image;
      // Every property is sometimes missing.
      if (pick(8)) image.props.push_back(Text(tags::kSubjectW, subjects[pick(std::size(subjects))]));
      if (pick(8)) image.props.push_back(Text(tags::kMessageClassW, classes[pick(std::size(classes))]));
      if (pick(6)) image.props.push_back(Text(tags::kSenderNameW, senders[pick(std::size(senders))]));
      if (pick(6)) image.props.push_back(Time(tags::kMessageDeliveryTime, times[pick(std::size(times))]));
      if (pick(4)) {
        LONG importance = static_cast<LONG>(pick(4)) - 1;
        // Now and then of another type: not the PT_LONG the tables compare.
        image.props.push_back(i % 25 ? Long(tags::kImportance, importance) : Long64(kImportanceI8, importance));
      }
      if (pick(2)) image.props.push_back(Long(tags::kMessageFlags, pick(2) ? MSGFLAG_READ : 0));
      engine.Messages().Create(folder_, false, image);
    }
    source_ = CreateContentsSource(store_, folder_, false);
    copy_ = std::make_shared<TMemoryRowSource>(source_->AllColumns());
    TRowListPtr rows = source_->Rows(nullptr, nullptr);
    for (const TRowPtr& row : *rows) copy_->Put(row->Values());
  }
  void TearDown() override {
    source_ = nullptr;
    copy_ = nullptr;
    store_ = nullptr;
  }

  // The instance keys of a new table's rows: equal sort keys keep the order the rows
  // had before sorting, so each comparison starts from the source's order.
  static std::vector<std::string> Keys(std::shared_ptr<TTableRowSource> source, SRestriction* restriction,
                                       SSortOrderSet* sort) {
    auto table = CreateMapiTable(std::move(source));
    SizedSPropTagArray<1> columns{1, {tags::kInstanceKey}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    EXPECT_EQ(table->Restrict(restriction, 0), S_OK);
    SizedSSortOrderSet<1> none{0, 0, 0, {}};
    EXPECT_EQ(table->SortTable(sort ? sort : none.Ptr(), 0), S_OK);
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(1000, 0, &rows), S_OK);
    std::vector<std::string> keys;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SBinary& key = rows->aRow[i].lpProps[0].Value.bin;
      keys.emplace_back(reinterpret_cast<const char*>(key.lpb), key.cb);
    }
    FreeProws(rows);
    return keys;
  }

  // Runs restriction and sort through both tables; returns the number of rows.
  size_t Same(SRestriction* restriction, SSortOrderSet* sort, bool pushedDown) {
    if (restriction) {
      EXPECT_EQ(source_->AcceptsRestriction(*restriction), pushedDown);
    } else if (sort) {
      EXPECT_EQ(source_->AcceptsSort(*sort), pushedDown);
    }
    auto expected = Keys(copy_, restriction, sort);
    EXPECT_EQ(Keys(source_, restriction, sort), expected);
    return expected.size();
  }

  TTempStoreHome home_;
  std::shared_ptr<TOpenStore> store_;
  int64_t folder_ = 0;
  std::shared_ptr<TTableRowSource> source_;
  std::shared_ptr<TMemoryRowSource> copy_;  // the same rows, for the engine alone
};

TEST_F(ContentsPushdown, SortsGiveTheEnginesOrder) {
  const ULONG keys[] = {
      tags::kSubjectW,   kSubjectA,           tags::kMessageClassW, tags::kSenderNameW, tags::kMessageDeliveryTime,
      tags::kImportance, tags::kMessageFlags, tags::kCreationTime};
  for (ULONG tag : keys)
    for (ULONG order : {TABLE_SORT_ASCEND, TABLE_SORT_DESCEND}) {
      SizedSSortOrderSet<1> sort{1, 0, 0, {{tag, order}}};
      SCOPED_TRACE(::testing::Message() << std::hex << tag << " " << order);
      EXPECT_EQ(Same(nullptr, sort.Ptr(), true), 300u) << std::hex << tag;
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
  auto* sort = byTime.Ptr();
  SPropValue hello = TextValue(tags::kSubjectW, u"HELLO");
  SPropValue umlaut = TextValue(tags::kSubjectW, u"ärger");
  SPropValue note = TextValue(tags::kMessageClassW, u"ipm.NOTE");
  SPropValue time = TimeValue(tags::kMessageDeliveryTime, 132000000000000000ull);
  SPropValue high = TimeValue(tags::kMessageDeliveryTime, 0x8000000000000000ull);
  SPropValue importance = LongValue(tags::kImportance, 0);
  SPropValue flags = LongValue(tags::kMessageFlags, MSGFLAG_READ);
  for (SPropValue* value : {&hello, &umlaut, &note, &time, &high, &importance, &flags}) {
    size_t matches = 0, negations = 0;
    for (ULONG relop : {RELOP_LT, RELOP_LE, RELOP_GT, RELOP_GE, RELOP_EQ, RELOP_NE}) {
      SRestriction r = Property(relop, value);
      matches += Same(&r, sort, true);
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
  SRestriction exist{};
  exist.rt = RES_EXIST;
  exist.res.resExist.ulPropTag = tags::kSubjectW;
  std::vector<SRestriction> mixed{exist, prefix};
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
  SRestriction prefix = Content(FL_PREFIX | FL_IGNORECASE, &empty);
  SRestriction exist{};
  exist.rt = RES_EXIST;
  exist.res.resExist.ulPropTag = tags::kSubjectW;
  EXPECT_EQ(Same(&prefix, nullptr, true), Same(&exist, nullptr, false));
}

}  // namespace
}  // namespace orba::store
