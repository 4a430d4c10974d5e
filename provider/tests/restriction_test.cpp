// Restriction evaluation and value comparison: every restriction kind and operator,
// multi-valued matching, missing properties, width mismatches and malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/maperror.h"
#include "props/tags.h"
#include "table/propcompare.h"
#include "table/restriction.h"

using namespace orba::store;

namespace {

constexpr ULONG kLong = PROP_TAG(PT_LONG, 0x6001);
constexpr ULONG kLong2 = PROP_TAG(PT_LONG, 0x6002);
constexpr ULONG kWide = PROP_TAG(PT_UNICODE, 0x6003);
constexpr ULONG kAnsi = PROP_TAG(PT_STRING8, 0x6003);  // the same property, 8-bit
constexpr ULONG kBin = PROP_TAG(PT_BINARY, 0x6004);
constexpr ULONG kMvLong = PROP_TAG(PT_MV_LONG, 0x6005);
constexpr ULONG kMvWide = PROP_TAG(PT_MV_UNICODE, 0x6006);
constexpr ULONG kMissing = PROP_TAG(PT_LONG, 0x6007);

SPropValue Long(ULONG tag, LONG v) {
  SPropValue p{};
  p.ulPropTag = tag;
  p.Value.l = v;
  return p;
}
SPropValue Wide(ULONG tag, const char16_t* s) {
  SPropValue p{};
  p.ulPropTag = tag;
  p.Value.lpszW = const_cast<char16_t*>(s);
  return p;
}
SPropValue Ansi(ULONG tag, const char* s) {
  SPropValue p{};
  p.ulPropTag = tag;
  p.Value.lpszA = const_cast<char*>(s);
  return p;
}

struct Row {
  LONG mv[3] = {1, 5, 9};
  LPWSTR mvText[2] = {const_cast<char16_t*>(u"alpha"), const_cast<char16_t*>(u"Beta")};
  BYTE bytes[4] = {1, 2, 3, 4};
  std::vector<SPropValue> values;
  Row() {
    values.push_back(Long(kLong, 10));
    values.push_back(Long(kLong2, 20));
    values.push_back(Wide(kWide, u"Hello Wörld"));
    SPropValue bin{};
    bin.ulPropTag = kBin;
    bin.Value.bin = {4, bytes};
    values.push_back(bin);
    SPropValue mvl{};
    mvl.ulPropTag = kMvLong;
    mvl.Value.MVl = {3, mv};
    values.push_back(mvl);
    SPropValue mvw{};
    mvw.ulPropTag = kMvWide;
    mvw.Value.MVszW = {2, mvText};
    values.push_back(mvw);
    SPropValue err{};
    err.ulPropTag = CHANGE_PROP_TYPE(kMissing, PT_ERROR);
    err.Value.err = MAPI_E_NOT_FOUND;
    values.push_back(err);
  }
  TPropRow Span() const { return values; }
};

SRestriction Prop(ULONG relop, ULONG tag, SPropValue* value) {
  SRestriction r{};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {relop, tag, value};
  return r;
}

bool Eval(const SRestriction& r, TSubRowsFn sub = {}) {
  Row row;
  return TRestriction(r, std::move(sub)).Matches(row.Span());
}

HRESULT CompileError(const SRestriction& r, bool sub = false) {
  try {
    ValidateRestriction(r, sub);
    return S_OK;
  } catch (const TMapiError& e) {
    return e.Code();
  }
}

struct RelopCase {
  ULONG relop;
  LONG constant;
  bool expected;
};

class PropertyRelops : public ::testing::TestWithParam<RelopCase> {};

TEST_P(PropertyRelops, CompareLongWithConstant) {
  SPropValue c = Long(kLong, GetParam().constant);
  EXPECT_EQ(Eval(Prop(GetParam().relop, kLong, &c)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(AllRelops, PropertyRelops,
                         ::testing::Values(RelopCase{RELOP_LT, 11, true}, RelopCase{RELOP_LT, 10, false},
                                           RelopCase{RELOP_LE, 10, true}, RelopCase{RELOP_LE, 9, false},
                                           RelopCase{RELOP_GT, 9, true}, RelopCase{RELOP_GT, 10, false},
                                           RelopCase{RELOP_GE, 10, true}, RelopCase{RELOP_GE, 11, false},
                                           RelopCase{RELOP_EQ, 10, true}, RelopCase{RELOP_EQ, 11, false},
                                           RelopCase{RELOP_NE, 11, true}, RelopCase{RELOP_NE, 10, false}));

struct ContentCase {
  ULONG fuzzy;
  const char16_t* text;
  bool expected;
};

class ContentLevels : public ::testing::TestWithParam<ContentCase> {};

TEST_P(ContentLevels, MatchesWideString) {
  SPropValue c = Wide(kWide, GetParam().text);
  SRestriction r{};
  r.rt = RES_CONTENT;
  r.res.resContent = {GetParam().fuzzy, kWide, &c};
  EXPECT_EQ(Eval(r), GetParam().expected) << std::string(GetParam().text, GetParam().text + 3);
}

INSTANTIATE_TEST_SUITE_P(FuzzyLevels, ContentLevels,
                         ::testing::Values(ContentCase{FL_FULLSTRING, u"Hello Wörld", true},
                                           ContentCase{FL_FULLSTRING, u"hello wörld", false},
                                           ContentCase{FL_FULLSTRING | FL_IGNORECASE, u"hello WÖRLD", true},
                                           ContentCase{FL_SUBSTRING, u"o W", true},
                                           ContentCase{FL_SUBSTRING, u"xyz", false},
                                           ContentCase{FL_PREFIX, u"Hell", true},
                                           ContentCase{FL_PREFIX, u"ello", false},
                                           ContentCase{FL_SUBSTRING | FL_IGNORENONSPACE, u"World", true},
                                           ContentCase{FL_SUBSTRING, u"World", false},
                                           ContentCase{FL_PREFIX | FL_LOOSE, u"HELLO WORLD", true}));

TEST(Restriction, ContentOnBinaryAndMultiValued) {
  BYTE sought[2] = {2, 3};
  SPropValue c{};
  c.ulPropTag = kBin;
  c.Value.bin = {2, sought};
  SRestriction r{};
  r.rt = RES_CONTENT;
  r.res.resContent = {FL_SUBSTRING, kBin, &c};
  EXPECT_TRUE(Eval(r));
  r.res.resContent.ulFuzzyLevel = FL_PREFIX;
  EXPECT_FALSE(Eval(r));
  SPropValue text = Wide(PT_UNICODE, u"BETA");
  r.res.resContent = {FL_FULLSTRING | FL_IGNORECASE, kMvWide, &text};
  EXPECT_TRUE(Eval(r));  // any value of the multi-valued property
}

TEST(Restriction, MultiValuedMatchesAnyValue) {
  SPropValue five = Long(PT_LONG, 5);
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, kMvLong, &five)));
  SPropValue four = Long(PT_LONG, 4);
  EXPECT_FALSE(Eval(Prop(RELOP_EQ, kMvLong, &four)));
  EXPECT_TRUE(Eval(Prop(RELOP_GT, kMvLong, &four)));
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, MVI_PROP(kMvLong), &five)));
}

TEST(Restriction, MissingPropertyIsFalseAndNotIsTrue) {
  SPropValue c = Long(kMissing, 1);
  SRestriction prop = Prop(RELOP_NE, kMissing, &c);
  EXPECT_FALSE(Eval(prop));
  SRestriction notR{};
  notR.rt = RES_NOT;
  notR.res.resNot.lpRes = &prop;
  EXPECT_TRUE(Eval(notR));
  SRestriction exist{};
  exist.rt = RES_EXIST;
  exist.res.resExist.ulPropTag = kMissing;
  EXPECT_FALSE(Eval(exist));
  exist.res.resExist.ulPropTag = kLong;
  EXPECT_TRUE(Eval(exist));
}

TEST(Restriction, CharacterWidthOfRowIsConverted) {
  SPropValue c = Ansi(kAnsi, "HELLO W");
  SRestriction r{};
  r.rt = RES_CONTENT;
  r.res.resContent = {FL_PREFIX | FL_IGNORECASE, kAnsi, &c};
  EXPECT_TRUE(Eval(r));
  SPropValue eq = Ansi(kAnsi, "hello w\xF6rld");  // cp1252 ö
  EXPECT_TRUE(Eval(Prop(RELOP_EQ, kAnsi, &eq)));
}

TEST(Restriction, LogicalCompareBitmaskSizeRegex) {
  SPropValue ten = Long(kLong, 10), twenty = Long(kLong2, 20);
  SRestriction parts[2] = {Prop(RELOP_EQ, kLong, &ten), Prop(RELOP_EQ, kLong2, &twenty)};
  SRestriction andR{}, orR{};
  andR.rt = RES_AND;
  andR.res.resAnd = {2, parts};
  EXPECT_TRUE(Eval(andR));
  twenty.Value.l = 21;
  EXPECT_FALSE(Eval(andR));
  orR.rt = RES_OR;
  orR.res.resOr = {2, parts};
  EXPECT_TRUE(Eval(orR));
  andR.res.resAnd = {0, nullptr};
  EXPECT_TRUE(Eval(andR));  // an empty AND holds
  orR.res.resOr = {0, nullptr};
  EXPECT_FALSE(Eval(orR));

  SRestriction cmp{};
  cmp.rt = RES_COMPAREPROPS;
  cmp.res.resCompareProps = {RELOP_LT, kLong, kLong2};
  EXPECT_TRUE(Eval(cmp));
  cmp.res.resCompareProps.relop = RELOP_GE;
  EXPECT_FALSE(Eval(cmp));

  SRestriction mask{};
  mask.rt = RES_BITMASK;
  mask.res.resBitMask = {BMR_NEZ, kLong, 2};
  EXPECT_TRUE(Eval(mask));
  mask.res.resBitMask = {BMR_EQZ, kLong, 2};
  EXPECT_FALSE(Eval(mask));
  mask.res.resBitMask = {BMR_EQZ, kLong, 5};
  EXPECT_TRUE(Eval(mask));

  SRestriction size{};
  size.rt = RES_SIZE;
  size.res.resSize = {RELOP_EQ, kWide, 24};  // 11 characters and the terminator
  EXPECT_TRUE(Eval(size));
  size.res.resSize = {RELOP_GT, kBin, 4};
  EXPECT_FALSE(Eval(size));

  SPropValue pattern = Wide(kWide, u"^hello w.rld$");
  EXPECT_TRUE(Eval(Prop(RELOP_RE, kWide, &pattern)));
  pattern = Wide(kWide, u"^world");
  EXPECT_FALSE(Eval(Prop(RELOP_RE, kWide, &pattern)));
}

TEST(Restriction, CommentCountAndSubRestriction) {
  SPropValue ten = Long(kLong, 10);
  SRestriction inner = Prop(RELOP_EQ, kLong, &ten);
  SRestriction comment{};
  comment.rt = RES_COMMENT;
  comment.res.resComment = {0, &inner, nullptr};
  EXPECT_TRUE(Eval(comment));
  comment.res.resComment.lpRes = nullptr;
  EXPECT_TRUE(Eval(comment));

  SRestriction count{};
  count.rt = RES_COUNT;
  count.res.resCount = {2, &inner};
  TRestriction compiled(count, {});
  Row row;
  EXPECT_TRUE(compiled.Matches(row.Span()));
  EXPECT_TRUE(compiled.Matches(row.Span()));
  EXPECT_FALSE(compiled.Matches(row.Span()));
  compiled.ResetCounts();
  EXPECT_TRUE(compiled.Matches(row.Span()));

  SRestriction sub{};
  sub.rt = RES_SUBRESTRICTION;
  sub.res.resSub = {tags::kMessageRecipients, &inner};
  ULONG askedFor = 0;
  auto hook = [&](TPropRow, ULONG subObject, const std::function<bool(TPropRow)>& test) {
    askedFor = subObject;
    SPropValue recipient[1] = {Long(kLong, 10)};
    return test(recipient);
  };
  EXPECT_TRUE(Eval(sub, hook));
  EXPECT_EQ(askedFor, tags::kMessageRecipients);
  EXPECT_EQ(CompileError(sub, false), MAPI_E_TOO_COMPLEX);  // no sub-objects to ask
}

TEST(Restriction, MalformedRestrictionsAreRefused) {
  SRestriction r{};
  r.rt = 0x77;
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  r.rt = RES_NOT;
  r.res.resNot.lpRes = nullptr;
  EXPECT_EQ(CompileError(r), MAPI_E_INVALID_PARAMETER);
  r.rt = RES_AND;
  r.res.resAnd = {3, nullptr};
  EXPECT_EQ(CompileError(r), MAPI_E_INVALID_PARAMETER);
  r = Prop(RELOP_EQ, kLong, nullptr);
  EXPECT_EQ(CompileError(r), MAPI_E_INVALID_PARAMETER);
  SPropValue text = Wide(kWide, u"x");
  r = Prop(RELOP_EQ, kLong, &text);  // value type differs from the property's
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  SPropValue ten = Long(kLong, 10);
  r = Prop(9, kLong, &ten);
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  r = Prop(RELOP_RE, kLong, &ten);
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  SPropValue bad = Wide(kWide, u"(unclosed");
  r = Prop(RELOP_RE, kWide, &bad);
  EXPECT_EQ(CompileError(r), MAPI_E_INVALID_PARAMETER);
  r.rt = RES_CONTENT;
  r.res.resContent = {0x7, kWide, &text};
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  r.res.resContent = {FL_FULLSTRING, kLong, &ten};
  EXPECT_EQ(CompileError(r), MAPI_E_TOO_COMPLEX);
  // A restriction that contains itself is stopped by the depth limit, not the stack.
  SRestriction loop{};
  loop.rt = RES_NOT;
  loop.res.resNot.lpRes = &loop;
  EXPECT_EQ(CompileError(loop), MAPI_E_TOO_COMPLEX);
}

TEST(PropCompare, OrdersOfTypes) {
  EXPECT_LT(CompareTextNoCase(std::u16string_view(u"apple"), u"BANANA"), 0);
  EXPECT_EQ(CompareTextNoCase(std::u16string_view(u"ÄRGER"), u"ärger"), 0);
  EXPECT_EQ(CompareTextNoCase(std::string_view("abc"), "ABC"), 0);
  // The support layer's folding: final sigma is a sigma, dotless i no dotted capital I.
  EXPECT_EQ(CompareTextNoCase(std::u16string_view(u"\u039F\u0394\u039F\u03A3"), u"\u03BF\u03B4\u03BF\u03C2"), 0);
  EXPECT_NE(CompareTextNoCase(std::u16string_view(u"\u0131"), u"\u0130"), 0);
  EXPECT_EQ(CompareTextNoCase(std::u16string_view(u"\u017E\u0148"), u"\u017D\u0147"), 0);
  BYTE a[] = {1, 2}, b[] = {1, 2, 0}, c[] = {2};
  __UPV x{}, y{};
  x.bin = {2, a};
  y.bin = {3, b};
  EXPECT_LT(CompareValues(PT_BINARY, x, y), 0);  // a prefix sorts first
  y.bin = {1, c};
  EXPECT_LT(CompareValues(PT_BINARY, x, y), 0);  // bytes before length
  SPropValue present = Long(kLong, -5);
  SPropValue error{};
  error.ulPropTag = CHANGE_PROP_TYPE(kLong, PT_ERROR);
  EXPECT_LT(CompareSortValues(nullptr, &present), 0);  // missing sorts first
  EXPECT_LT(CompareSortValues(&error, &present), 0);
  EXPECT_EQ(CompareSortValues(&error, nullptr), 0);
  EXPECT_EQ(FoldText(u"Crème Brûlée", {true, true}), u"CREME BRULEE");
}

}  // namespace
