// Restriction evaluation beyond what the tables' filters show: multiple values, the
// other width, missing properties, comments, counts, sub-restrictions, malformed input.
#include "table/restriction.h"

#include "table/propcompare.h"
#include "testsupport.h"

namespace orba::store {
namespace {

constexpr ULONG kLong = PROP_TAG(PT_LONG, 0x6001), kLong2 = PROP_TAG(PT_LONG, 0x6002);
constexpr ULONG kWide = PROP_TAG(PT_UNICODE, 0x6003), kAnsi = PROP_TAG(PT_STRING8, 0x6003);  // one property
constexpr ULONG kBin = PROP_TAG(PT_BINARY, 0x6004);
constexpr ULONG kMvLong = PROP_TAG(PT_MV_LONG, 0x6005), kMvWide = PROP_TAG(PT_MV_UNICODE, 0x6006);
constexpr ULONG kMissing = PROP_TAG(PT_LONG, 0x6007);

SPropValue Ansi(ULONG tag, const char* text) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszA = const_cast<char*>(text);
  return value;
}

// The row every restriction is evaluated against.
struct TRow {
  std::u16string text = u"Hello Wörld", alpha = u"alpha", beta = u"Beta";
  LONG mv[3] = {1, 5, 9};
  LPWSTR mvText[2] = {alpha.data(), beta.data()};
  BYTE bytes[4] = {1, 2, 3, 4};
  std::vector<SPropValue> values = {LongValue(kLong, 10), LongValue(kLong2, 20), TextValue(kWide, text),
                                    BinaryValue(kBin, bytes), ErrorValue(kMissing, MAPI_E_NOT_FOUND)};
  TRow() {
    SPropValue mvl{}, mvw{};
    mvl.ulPropTag = kMvLong;
    mvl.Value.MVl = {3, mv};
    mvw.ulPropTag = kMvWide;
    mvw.Value.MVszW = {2, mvText};
    values.push_back(mvl);
    values.push_back(mvw);
  }
};

SRestriction Prop(ULONG relop, ULONG tag, SPropValue* value) {
  SRestriction r{RES_PROPERTY, {}};
  r.res.resProperty = {relop, tag, value};
  return r;
}
SRestriction Content(ULONG fuzzy, ULONG tag, SPropValue* value) {
  SRestriction r{RES_CONTENT, {}};
  r.res.resContent = {fuzzy, tag, value};
  return r;
}

bool Eval(const SRestriction& r, TSubRowsFn sub = {}) {
  TRow row;
  return TRestriction(r, std::move(sub)).Matches(row.values);
}

HRESULT CompileError(const SRestriction& r, bool sub = false) {
  return testing::CodeOf([&] { ValidateRestriction(r, sub); });
}

// Operators and fuzzy levels on single values are FPropCompareProp's and
// FPropContainsProp's tables; here what a row adds: binaries, multiple values, the other
// width.
TEST(Restriction, ContentAndPropertyOnBinariesMultiValuesAndTheOtherWidth) {
  BYTE sought[2] = {2, 3};
  SPropValue bin = BinaryValue(kBin, sought);
  EXPECT_TRUE(Eval(Content(FL_SUBSTRING, kBin, &bin)));
  EXPECT_FALSE(Eval(Content(FL_PREFIX, kBin, &bin)));
  std::u16string upper = u"BETA";
  SPropValue text = TextValue(PT_UNICODE, upper);
  EXPECT_TRUE(Eval(Content(FL_FULLSTRING | FL_IGNORECASE, kMvWide, &text)));  // any value of the property
  SPropValue five = LongValue(PT_LONG, 5), four = LongValue(PT_LONG, 4);
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, kMvLong, &five)));
  EXPECT_FALSE(Eval(Prop(RELOP_EQ, kMvLong, &four)));
  EXPECT_TRUE(Eval(Prop(RELOP_GT, kMvLong, &four)));
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, MVI_PROP(kMvLong), &five)));
  // The row's text in the other width is converted.
  SPropValue prefix = Ansi(kAnsi, "HELLO W"), equal = Ansi(kAnsi, "hello w\xF6rld");  // cp1252 ö
  EXPECT_TRUE(Eval(Content(FL_PREFIX | FL_IGNORECASE, kAnsi, &prefix)));
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, kAnsi, &equal)));
}

TEST(Restriction, MissingPropertiesSatisfyNothingSoNotHolds) {
  SPropValue one = LongValue(kMissing, 1);
  SRestriction prop = Prop(RELOP_NE, kMissing, &one), negated{RES_NOT, {}}, exist{RES_EXIST, {}};
  negated.res.resNot.lpRes = &prop;
  EXPECT_FALSE(Eval(prop));
  EXPECT_TRUE(Eval(negated));
  exist.res.resExist.ulPropTag = kMissing;
  EXPECT_FALSE(Eval(exist));
  exist.res.resExist.ulPropTag = kLong;
  EXPECT_TRUE(Eval(exist));
}

// Comparisons, bitmasks, sizes and the logical kinds are tested through the contents
// table's filters; here what those cannot show.
TEST(Restriction, EmptyAndOrAndPatterns) {
  SRestriction both{RES_AND, {}}, either{RES_OR, {}};
  EXPECT_TRUE(Eval(both));  // an empty AND holds, an empty OR does not
  EXPECT_FALSE(Eval(either));
  std::u16string match = u"^hello w.rld$", miss = u"^world";
  SPropValue pattern = TextValue(kWide, match), other = TextValue(kWide, miss);
  EXPECT_TRUE(Eval(Prop(RELOP_RE, kWide, &pattern)));
  EXPECT_FALSE(Eval(Prop(RELOP_RE, kWide, &other)));
}

TEST(Restriction, CommentCountAndSubRestriction) {
  SPropValue ten = LongValue(kLong, 10);
  SRestriction inner = Prop(RELOP_EQ, kLong, &ten), comment{RES_COMMENT, {}}, count{RES_COUNT, {}},
               sub{RES_SUBRESTRICTION, {}};
  comment.res.resComment = {0, &inner, nullptr};
  EXPECT_TRUE(Eval(comment));
  comment.res.resComment.lpRes = nullptr;
  EXPECT_TRUE(Eval(comment));
  count.res.resCount = {2, &inner};
  TRestriction compiled(count, {});
  TRow row;
  EXPECT_TRUE(compiled.Matches(row.values));
  EXPECT_TRUE(compiled.Matches(row.values));
  EXPECT_FALSE(compiled.Matches(row.values));
  compiled.ResetCounts();
  EXPECT_TRUE(compiled.Matches(row.values));
  sub.res.resSub = {tags::kMessageRecipients, &inner};
  ULONG askedFor = 0;
  EXPECT_TRUE(Eval(sub, [&](TPropRow, ULONG subObject, const std::function<bool(TPropRow)>& test) {
    askedFor = subObject;
    SPropValue recipient[1] = {LongValue(kLong, 10)};
    return test(recipient);
  }));
  EXPECT_EQ(askedFor, tags::kMessageRecipients);
  EXPECT_EQ(CompileError(sub, false), MAPI_E_TOO_COMPLEX);  // no sub-objects to ask
}

TEST(Restriction, MalformedRestrictionsAreRefused) {
  std::u16string x = u"x", unclosed = u"(unclosed";
  SPropValue text = TextValue(kWide, x), ten = LongValue(kLong, 10), bad = TextValue(kWide, unclosed);
  SRestriction unknown{0x77, {}}, notNull{RES_NOT, {}}, andNull{RES_AND, {}}, loop{RES_NOT, {}};
  andNull.res.resAnd = {3, nullptr};
  loop.res.resNot.lpRes = &loop;  // stopped by the depth limit, not the stack
  const std::pair<SRestriction, HRESULT> cases[] = {
      {unknown, MAPI_E_TOO_COMPLEX},
      {notNull, MAPI_E_INVALID_PARAMETER},
      {andNull, MAPI_E_INVALID_PARAMETER},
      {Prop(RELOP_EQ, kLong, nullptr), MAPI_E_INVALID_PARAMETER},
      {Prop(RELOP_EQ, kLong, &text), MAPI_E_TOO_COMPLEX},  // the value's type differs from the property's
      {Prop(9, kLong, &ten), MAPI_E_TOO_COMPLEX},
      {Prop(RELOP_RE, kLong, &ten), MAPI_E_TOO_COMPLEX},
      {Prop(RELOP_RE, kWide, &bad), MAPI_E_INVALID_PARAMETER},
      {Content(0x7, kWide, &text), MAPI_E_TOO_COMPLEX},
      {Content(FL_FULLSTRING, kLong, &ten), MAPI_E_TOO_COMPLEX},
      {loop, MAPI_E_TOO_COMPLEX}};
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(CompileError(cases[i].first), cases[i].second) << i;
}

}  // namespace
}  // namespace orba::store
