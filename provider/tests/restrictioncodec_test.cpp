// The restriction codec: every restriction type round trips with all its fields,
// malformed restrictions are refused, and damaged bytes never decode.
#include <gtest/gtest.h>

#include "base/maperror.h"
#include "mapi/edkmdb.h"
#include "memory/mapimemory.h"
#include "props/restrictioncodec.h"
#include "props/tags.h"
#include "props/valuecopy.h"
#include "table/proprow.h"

namespace orba::store {
namespace {

HRESULT EncodeCode(const SRestriction& r) {
  try {
    EncodeRestriction(r);
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

HRESULT DecodeCode(const Bytes& bytes) {
  auto holder = TMapiBuffer<SRestriction>::Allocate();
  try {
    DecodeRestriction(bytes, *holder, holder.get());
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

// Decodes and encodes again: the bytes must come back unchanged.
Bytes RoundTrip(const Bytes& bytes, TMapiBuffer<SRestriction>& holder) {
  holder = TMapiBuffer<SRestriction>::Allocate();
  DecodeRestriction(bytes, *holder, holder.get());
  return EncodeRestriction(*holder);
}

TEST(RestrictionCodec, EveryTypeRoundTripsWithItsFields) {
  SPropValue subject{};
  subject.ulPropTag = tags::kSubjectW;
  subject.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(u"Budget"));
  SPropValue size{};
  size.ulPropTag = tags::kMessageSize;
  size.Value.l = 4096;
  SPropValue comment[2]{};
  comment[0].ulPropTag = PROP_TAG(PT_LONG, 0x6700);
  comment[0].Value.l = 7;
  comment[1].ulPropTag = PROP_TAG(PT_STRING8, 0x6701);
  comment[1].Value.lpszA = const_cast<char*>("note");

  SRestriction leaves[9]{};
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
  SRestriction inner{};
  inner.rt = RES_EXIST;
  inner.res.resExist.ulPropTag = tags::kDisplayNameW;
  leaves[6].rt = RES_SUBRESTRICTION;
  leaves[6].res.resSub = {tags::kMessageRecipients, &inner};
  leaves[7].rt = RES_COMMENT;
  leaves[7].res.resComment = {2, &inner, comment};
  leaves[8].rt = RES_COUNT;
  leaves[8].res.resCount = {3, &inner};
  SRestriction negated{};
  negated.rt = RES_NOT;
  negated.res.resNot = {0, &leaves[0]};
  SRestriction either{};
  either.rt = RES_OR;
  either.res.resOr = {9, leaves};
  SRestriction both[2] = {negated, either};
  SRestriction root{};
  root.rt = RES_AND;
  root.res.resAnd = {2, both};

  Bytes bytes = EncodeRestriction(root);
  TMapiBuffer<SRestriction> decoded;
  EXPECT_EQ(RoundTrip(bytes, decoded), bytes);
  const SRestriction& r = *decoded;
  ASSERT_EQ(r.rt, RES_AND);
  ASSERT_EQ(r.res.resAnd.cRes, 2u);
  const SRestriction& n = r.res.resAnd.lpRes[0];
  ASSERT_EQ(n.rt, RES_NOT);
  const SContentRestriction& content = n.res.resNot.lpRes->res.resContent;
  EXPECT_EQ(content.ulFuzzyLevel, ULONG(FL_SUBSTRING | FL_IGNORECASE));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(content.lpProp->Value.lpszW)), u"Budget");
  const SRestriction* list = r.res.resAnd.lpRes[1].res.resOr.lpRes;
  EXPECT_EQ(list[1].res.resProperty.lpProp->Value.l, 4096);
  EXPECT_EQ(list[2].res.resCompareProps.ulPropTag2, tags::kNormalizedSubjectW);
  EXPECT_EQ(list[3].res.resBitMask.ulMask, ULONG(MSGFLAG_READ));
  EXPECT_EQ(list[4].res.resSize.cb, 100u);
  EXPECT_EQ(list[5].res.resExist.ulReserved1, 1u);
  EXPECT_EQ(list[5].res.resExist.ulReserved2, 2u);
  EXPECT_EQ(list[6].res.resSub.ulSubObject, tags::kMessageRecipients);
  EXPECT_EQ(list[6].res.resSub.lpRes->res.resExist.ulPropTag, tags::kDisplayNameW);
  ASSERT_EQ(list[7].res.resComment.cValues, 2u);
  EXPECT_STREQ(list[7].res.resComment.lpProp[1].Value.lpszA, "note");
  EXPECT_EQ(list[8].res.resCount.ulCount, 3u);
}

TEST(RestrictionCodec, CommentWithoutRestrictionAndEmptyListsRoundTrip) {
  SRestriction comment{};
  comment.rt = RES_ANNOTATION;
  SRestriction empty{};
  empty.rt = RES_OR;
  SRestriction both[2] = {comment, empty};
  SRestriction root{};
  root.rt = RES_AND;
  root.res.resAnd = {2, both};
  Bytes bytes = EncodeRestriction(root);
  TMapiBuffer<SRestriction> decoded;
  EXPECT_EQ(RoundTrip(bytes, decoded), bytes);
  EXPECT_EQ(decoded->res.resAnd.lpRes[0].res.resAnnotation.lpRes, nullptr);
  EXPECT_EQ(decoded->res.resAnd.lpRes[1].res.resOr.cRes, 0u);
}

TEST(RestrictionCodec, MalformedRestrictionsAreRefused) {
  SRestriction r{};
  r.rt = RES_AND;
  r.res.resAnd = {2, nullptr};
  EXPECT_EQ(EncodeCode(r), MAPI_E_INVALID_PARAMETER);
  r = {};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {RELOP_EQ, tags::kSubjectW, nullptr};
  EXPECT_EQ(EncodeCode(r), MAPI_E_INVALID_PARAMETER);
  r = {};
  r.rt = RES_NOT;
  EXPECT_EQ(EncodeCode(r), MAPI_E_INVALID_PARAMETER);
  r = {};
  r.rt = 0x77;
  EXPECT_EQ(EncodeCode(r), MAPI_E_INVALID_PARAMETER);
  SPropValue object{};
  object.ulPropTag = PROP_TAG(PT_OBJECT, 0x3701);
  r = {};
  r.rt = RES_PROPERTY;
  r.res.resProperty = {RELOP_EQ, object.ulPropTag, &object};
  EXPECT_EQ(EncodeCode(r), MAPI_E_INVALID_TYPE);
}

TEST(RestrictionCodec, DeepNestingIsTooComplex) {
  std::vector<SRestriction> chain(kMaxRestrictionDepth + 2);
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    chain[i].rt = RES_NOT;
    chain[i].res.resNot.lpRes = &chain[i + 1];
  }
  chain.back().rt = RES_EXIST;
  EXPECT_EQ(EncodeCode(chain.front()), MAPI_E_TOO_COMPLEX);
}

TEST(RestrictionCodec, DamagedBytesAreCorruptData) {
  SPropValue subject{};
  subject.ulPropTag = tags::kSubjectW;
  subject.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(u"x"));
  SRestriction leaf{};
  leaf.rt = RES_PROPERTY;
  leaf.res.resProperty = {RELOP_EQ, tags::kSubjectW, &subject};
  SRestriction root{};
  root.rt = RES_NOT;
  root.res.resNot.lpRes = &leaf;
  Bytes good = EncodeRestriction(root);
  EXPECT_EQ(DecodeCode(good), S_OK);
  // Every truncation, and one byte too many.
  for (size_t size = 0; size < good.size(); ++size)
    EXPECT_EQ(DecodeCode(Bytes(good.begin(), good.begin() + size)), MAPI_E_CORRUPT_DATA) << size;
  Bytes longer = good;
  longer.push_back(0);
  EXPECT_EQ(DecodeCode(longer), MAPI_E_CORRUPT_DATA);
  // An unknown type, a huge list count, a value that does not fit its tag.
  EXPECT_EQ(DecodeCode({0x55, 0, 0, 0}), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(DecodeCode({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}), MAPI_E_CORRUPT_DATA);
  Bytes odd = {4, 0, 0, 0, 4, 0, 0, 0, 0x1F, 0, 0x37, 0, 0x1F, 0, 0x37, 0, 3, 0, 0, 0, 'a', 0, 'b'};
  EXPECT_EQ(DecodeCode(odd), MAPI_E_CORRUPT_DATA);
  // A chain of RES_NOT deeper than any restriction may be.
  Bytes deep;
  for (unsigned i = 0; i <= kMaxRestrictionDepth; ++i) deep.insert(deep.end(), {2, 0, 0, 0, 0, 0, 0, 0});
  deep.insert(deep.end(), {8, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(DecodeCode(deep), MAPI_E_CORRUPT_DATA);
}

}  // namespace
}  // namespace orba::store
