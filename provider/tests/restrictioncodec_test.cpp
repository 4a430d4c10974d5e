// The restriction codec: every restriction type round trips, malformed restrictions are
// refused, and damaged bytes never decode.
#include "props/restrictioncodec.h"

#include "props/valuecopy.h"
#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

HRESULT DecodeCode(const Bytes& bytes) {
  auto holder = TMapiBuffer<SRestriction>::Allocate();
  return CodeOf([&] { DecodeRestriction(bytes, *holder, holder.get()); });
}

TEST(RestrictionCodec, EveryTypeRoundTrips) {
  std::u16string budget = u"Budget";
  SPropValue subject = TextValue(tags::kSubjectW, budget), size = LongValue(tags::kMessageSize, 4096);
  SPropValue comment[2] = {LongValue(PROP_TAG(PT_LONG, 0x6700), 7), {}};
  comment[1].ulPropTag = PROP_TAG(PT_STRING8, 0x6701);
  comment[1].Value.lpszA = const_cast<char*>("note");
  SRestriction inner{RES_EXIST, {}}, leaves[10]{};
  inner.res.resExist.ulPropTag = tags::kDisplayNameW;
  leaves[0].rt = RES_CONTENT;
  leaves[0].res.resContent = {FL_SUBSTRING | FL_IGNORECASE, tags::kSubjectW, &subject};
  leaves[1].rt = RES_PROPERTY;
  leaves[1].res.resProperty = {RELOP_GE, tags::kMessageSize, &size};
  leaves[2].rt = RES_COMPAREPROPS;
  leaves[2].res.resCompareProps = {RELOP_NE, tags::kSubjectW, tags::kNormalizedSubjectW};
  leaves[3].rt = RES_BITMASK;
  leaves[3].res.resBitMask = {BMR_NEZ, tags::kMessageFlags, MSGFLAG_READ};
  leaves[4].rt = RES_SIZE;
  leaves[4].res.resSize = {RELOP_LT, tags::kSubjectW, 100};
  leaves[5].rt = RES_EXIST;
  leaves[5].res.resExist = {1, tags::kImportance, 2};
  leaves[6].rt = RES_SUBRESTRICTION;
  leaves[6].res.resSub = {tags::kMessageRecipients, &inner};
  leaves[7].rt = RES_COMMENT;
  leaves[7].res.resComment = {2, &inner, comment};
  leaves[8].rt = RES_COUNT;
  leaves[8].res.resCount = {3, &inner};
  leaves[9].rt = RES_ANNOTATION;  // without a restriction
  SRestriction negated{RES_NOT, {}}, either{RES_OR, {}}, none{RES_OR, {}}, root{RES_AND, {}};
  negated.res.resNot = {0, &leaves[0]};
  either.res.resOr = {10, leaves};
  SRestriction all[3] = {negated, either, none};
  root.res.resAnd = {3, all};

  Bytes bytes = EncodeRestriction(root);
  auto decoded = TMapiBuffer<SRestriction>::Allocate();
  DecodeRestriction(bytes, *decoded, decoded.get());
  // Encoded again, the decoded restriction gives the same bytes: nothing written was lost.
  EXPECT_EQ(EncodeRestriction(*decoded), bytes);
  EXPECT_EQ(testing::WideOf(decoded->res.resAnd.lpRes[0].res.resNot.lpRes->res.resContent.lpProp->Value.lpszW),
            u"Budget");
}

TEST(RestrictionCodec, MalformedAndDeepRestrictionsAreRefused) {
  SPropValue object{};
  object.ulPropTag = PROP_TAG(PT_OBJECT, 0x3701);
  SRestriction cases[5]{};
  cases[0].rt = RES_AND;
  cases[0].res.resAnd = {2, nullptr};
  cases[1].rt = RES_PROPERTY;
  cases[1].res.resProperty = {RELOP_EQ, tags::kSubjectW, nullptr};
  cases[2].rt = RES_NOT;
  cases[3].rt = 0x77;
  cases[4].rt = RES_PROPERTY;
  cases[4].res.resProperty = {RELOP_EQ, object.ulPropTag, &object};
  const HRESULT expected[] = {MAPI_E_INVALID_PARAMETER, MAPI_E_INVALID_PARAMETER, MAPI_E_INVALID_PARAMETER,
                              MAPI_E_INVALID_PARAMETER, MAPI_E_INVALID_TYPE};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(CodeOf([&] { EncodeRestriction(cases[i]); }), expected[i]) << i;
  std::vector<SRestriction> chain(kMaxRestrictionDepth + 2);
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    chain[i].rt = RES_NOT;
    chain[i].res.resNot.lpRes = &chain[i + 1];
  }
  chain.back().rt = RES_EXIST;
  EXPECT_EQ(CodeOf([&] { EncodeRestriction(chain.front()); }), MAPI_E_TOO_COMPLEX);
  EXPECT_EQ(CodeOf([&] { DuplicateRestriction(chain[1]); }), MAPI_E_TOO_COMPLEX);
}

TEST(RestrictionCodec, DamagedBytesAreCorruptData) {
  std::u16string x = u"x";
  SPropValue subject = TextValue(tags::kSubjectW, x);
  SRestriction leaf{RES_PROPERTY, {}}, root{RES_NOT, {}};
  leaf.res.resProperty = {RELOP_EQ, tags::kSubjectW, &subject};
  root.res.resNot.lpRes = &leaf;
  Bytes good = EncodeRestriction(root);
  EXPECT_EQ(DecodeCode(good), S_OK);
  // Every truncation, and one byte too many.
  for (size_t size = 0; size < good.size(); ++size)
    EXPECT_EQ(DecodeCode(Bytes(good.begin(), good.begin() + size)), MAPI_E_CORRUPT_DATA) << size;
  Bytes longer = good;
  longer.push_back(0);
  // An unknown type, a huge list count, a value that does not fit its tag, and a chain of
  // RES_NOT deeper than any restriction may be.
  Bytes deep;
  for (unsigned i = 0; i <= kMaxRestrictionDepth; ++i) deep.insert(deep.end(), {2, 0, 0, 0, 0, 0, 0, 0});
  deep.insert(deep.end(), {8, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  for (const Bytes& bad :
       {longer, Bytes{0x55, 0, 0, 0}, Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F},
        Bytes{4, 0, 0, 0, 4, 0, 0, 0, 0x1F, 0, 0x37, 0, 0x1F, 0, 0x37, 0, 3, 0, 0, 0, 'a', 0, 'b'}, deep})
    EXPECT_EQ(DecodeCode(bad), MAPI_E_CORRUPT_DATA);
}

}  // namespace
}  // namespace orba::store
