#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "props/valuecopy.h"

using namespace orba::store;

namespace {

constexpr ULONG Tag(ULONG type, ULONG id = 0x6000) { return PROP_TAG(type, id); }

TEST(PropCopy, ScalarsAndStringsAreIndependentOfTheSource) {
  char ansi[] = "hello";
  char16_t wide[] = u"wide";
  BYTE bytes[] = {1, 2, 3};
  GUID guid = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  SPropValue src[5] = {};
  src[0].ulPropTag = Tag(PT_LONG);
  src[0].Value.l = -7;
  src[1].ulPropTag = Tag(PT_STRING8);
  src[1].Value.lpszA = ansi;
  src[2].ulPropTag = Tag(PT_UNICODE);
  src[2].Value.lpszW = wide;
  src[3].ulPropTag = Tag(PT_BINARY);
  src[3].Value.bin = {3, bytes};
  src[4].ulPropTag = Tag(PT_CLSID);
  src[4].Value.lpguid = &guid;

  TMapiBuffer<SPropValue> copy = DuplicatePropArray(5, src);
  ansi[0] = 'X';
  wide[0] = u'X';
  bytes[0] = 99;
  guid.Data1 = 99;
  EXPECT_EQ(copy.get()[0].Value.l, -7);
  EXPECT_STREQ(copy.get()[1].Value.lpszA, "hello");
  EXPECT_EQ(std::u16string(copy.get()[2].Value.lpszW), u"wide");
  ASSERT_EQ(copy.get()[3].Value.bin.cb, 3u);
  EXPECT_EQ(copy.get()[3].Value.bin.lpb[0], 1);
  EXPECT_EQ(copy.get()[4].Value.lpguid->Data1, 1u);
}

TEST(PropCopy, MultiValuedTypes) {
  LONG longs[] = {1, 2, 3};
  char a0[] = "a", a1[] = "bc";
  LPSTR strings[] = {a0, a1};
  char16_t w0[] = u"x";
  LPWSTR wides[] = {w0};
  BYTE b0[] = {9, 8};
  SBinary bins[] = {{2, b0}, {0, nullptr}};
  SPropValue src[4] = {};
  src[0].ulPropTag = Tag(PT_MV_LONG);
  src[0].Value.MVl = {3, longs};
  src[1].ulPropTag = Tag(PT_MV_STRING8);
  src[1].Value.MVszA = {2, strings};
  src[2].ulPropTag = Tag(PT_MV_UNICODE);
  src[2].Value.MVszW = {1, wides};
  src[3].ulPropTag = Tag(PT_MV_BINARY);
  src[3].Value.MVbin = {2, bins};

  auto copy = DuplicatePropArray(4, src);
  longs[1] = 0;
  a1[0] = 'Z';
  b0[1] = 0;
  EXPECT_EQ(copy.get()[0].Value.MVl.lpl[1], 2);
  EXPECT_STREQ(copy.get()[1].Value.MVszA.lppszA[1], "bc");
  EXPECT_EQ(std::u16string(copy.get()[2].Value.MVszW.lppszW[0]), u"x");
  EXPECT_EQ(copy.get()[3].Value.MVbin.lpbin[0].lpb[1], 8);
  EXPECT_EQ(copy.get()[3].Value.MVbin.lpbin[1].cb, 0u);
  EXPECT_EQ(PropValueDataSize(src[0]), 12u);
  EXPECT_EQ(PropValueDataSize(src[3]), 2 * sizeof(SBinary) + 2);
}

TEST(PropCopy, RestrictionsAreCopiedDeeply) {
  char text[] = "needle";
  SPropValue value = {};
  value.ulPropTag = Tag(PT_STRING8, 0x0037);
  value.Value.lpszA = text;
  SRestriction leaves[2] = {};
  leaves[0].rt = RES_CONTENT;
  leaves[0].res.resContent = {FL_SUBSTRING, value.ulPropTag, &value};
  leaves[1].rt = RES_EXIST;
  leaves[1].res.resExist.ulPropTag = value.ulPropTag;
  SRestriction andRes = {};
  andRes.rt = RES_AND;
  andRes.res.resAnd = {2, leaves};
  SRestriction notRes = {};
  notRes.rt = RES_NOT;
  notRes.res.resNot.lpRes = &andRes;

  SPropValue holder = {};
  holder.ulPropTag = Tag(PT_SRESTRICTION);
  holder.Value.lpv = &notRes;
  auto copy = DuplicatePropArray(1, &holder);
  text[0] = 'X';
  auto* r = static_cast<SRestriction*>(copy->Value.lpv);
  ASSERT_EQ(r->rt, RES_NOT);
  ASSERT_EQ(r->res.resNot.lpRes->rt, RES_AND);
  ASSERT_EQ(r->res.resNot.lpRes->res.resAnd.cRes, 2u);
  const SRestriction& content = r->res.resNot.lpRes->res.resAnd.lpRes[0];
  EXPECT_NE(&content, &leaves[0]);
  EXPECT_STREQ(content.res.resContent.lpProp->Value.lpszA, "needle");
}

TEST(PropCopy, RuleActionsAreCopiedDeeply) {
  BYTE folder[] = {0, 0, 0, 0, 7};
  ACTION action = {};
  action.acttype = OP_MOVE;
  action.actMoveCopy.cbFldEntryId = sizeof(folder);
  action.actMoveCopy.lpFldEntryId = reinterpret_cast<LPENTRYID>(folder);
  ACTIONS actions = {EDK_RULES_VERSION, 1, &action};
  SPropValue holder = {};
  holder.ulPropTag = Tag(PT_ACTIONS);
  holder.Value.lpv = &actions;
  auto copy = DuplicatePropArray(1, &holder);
  folder[4] = 0;
  auto* copied = static_cast<ACTIONS*>(copy->Value.lpv);
  ASSERT_EQ(copied->cActions, 1u);
  EXPECT_EQ(copied->lpAction[0].actMoveCopy.lpFldEntryId->ab[0], 7);
}

HRESULT CopyCode(const SPropValue& value) {
  try {
    DuplicatePropArray(1, &value);
    return S_OK;
  } catch (const TMapiError& e) {
    return e.Code();
  }
}

TEST(PropCopy, MalformedValuesAreRefused) {
  SPropValue v = {};
  v.ulPropTag = Tag(PT_STRING8);
  v.Value.lpszA = nullptr;
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(PT_BINARY);
  v.Value.bin = {5, nullptr};
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(PT_MV_LONG);
  v.Value.MVl = {2, nullptr};
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(0x0099);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_TYPE);
  SRestriction bad = {};
  bad.rt = 0x77;
  v.ulPropTag = Tag(PT_SRESTRICTION);
  v.Value.lpv = &bad;
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
}

TEST(PropCopy, DeepRestrictionsAreTooComplex) {
  std::vector<SRestriction> chain(kMaxRestrictionDepth + 1);
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    chain[i].rt = RES_NOT;
    chain[i].res.resNot.lpRes = &chain[i + 1];
  }
  chain.back().rt = RES_EXIST;
  try {
    DuplicateRestriction(chain[0]);
    FAIL();
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_TOO_COMPLEX);
  }
}

// Whether p lies in [begin, begin + size).
bool Within(const void* p, const void* begin, size_t size) {
  auto* at = static_cast<const char*>(p);
  auto* from = static_cast<const char*>(begin);
  return at >= from && at < from + size;
}

TEST(PropCopy, PackedCopyKeepsTheDataInItsBuffer) {
  char ansi[] = "hello";
  char16_t wide[] = u"wide text";
  BYTE bytes[] = {1, 2, 3};
  char16_t w0[] = u"x", w1[] = u"yz";
  LPWSTR wides[] = {w0, w1};
  SPropValue src[4] = {};
  src[0].ulPropTag = Tag(PT_STRING8);
  src[0].Value.lpszA = ansi;
  src[1].ulPropTag = Tag(PT_UNICODE);
  src[1].Value.lpszW = wide;
  src[2].ulPropTag = Tag(PT_BINARY);
  src[2].Value.bin = {3, bytes};
  src[3].ulPropTag = Tag(PT_MV_UNICODE);
  src[3].Value.MVszW = {2, wides};
  // Blocks are rounded up to 8 bytes: "hello" 6 -> 8, u"wide text" 20 -> 24, 3 -> 8,
  // two pointers 16, u"x" 4 -> 8, u"yz" 6 -> 8.
  EXPECT_EQ(PackedDataSize(src[0]), 8u);
  EXPECT_EQ(PackedDataSize(src[1]), 24u);
  EXPECT_EQ(PackedDataSize(src[2]), 8u);
  EXPECT_EQ(PackedDataSize(src[3]), 32u);
  EXPECT_EQ(PropValueDataSize(src[3]), 16u + 4u + 6u);  // MAPI's count is not rounded

  auto copy = DuplicatePropArray(4, src);
  const SPropValue* v = copy.get();
  const void* room = v + 4;
  EXPECT_TRUE(Within(v[0].Value.lpszA, room, 72));
  EXPECT_TRUE(Within(v[1].Value.lpszW, room, 72));
  EXPECT_TRUE(Within(v[2].Value.bin.lpb, room, 72));
  EXPECT_TRUE(Within(v[3].Value.MVszW.lppszW, room, 72));
  EXPECT_TRUE(Within(v[3].Value.MVszW.lppszW[1], room, 72));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(v[1].Value.lpszW) % kPackedAlignment, 0u);
  EXPECT_STREQ(v[0].Value.lpszA, "hello");
  EXPECT_EQ(std::u16string(v[1].Value.lpszW), u"wide text");
  EXPECT_EQ(v[2].Value.bin.lpb[2], 3);
  EXPECT_EQ(std::u16string(v[3].Value.MVszW.lppszW[1]), u"yz");
}

TEST(PropCopy, SpaceChainsBlocksBeyondItsRoom) {
  auto buffer = TMapiBuffer<BYTE>::Allocate(64);
  TCopySpace space(buffer.get(), buffer.get() + 32, 32);
  void* first = space.Take(10);   // 16 of the room
  void* second = space.Take(16);  // the other 16
  void* third = space.Take(1);    // chained to the buffer
  EXPECT_EQ(first, buffer.get() + 32);
  EXPECT_EQ(second, buffer.get() + 48);
  EXPECT_FALSE(Within(third, buffer.get(), 64));
  static_cast<BYTE*>(third)[0] = 1;  // usable, and freed with the buffer
  TCopySpace plain(buffer.get());
  EXPECT_FALSE(Within(plain.Take(8), buffer.get(), 64));
  BYTE notMapi[32] = {};
  TCopySpace stray(notMapi);
  EXPECT_THROW(stray.Take(8), TMapiError);
}

TEST(PropCopy, SizingCountsOnlyDataThatIsThere) {
  // A huge count without its pointer must not make a packed copy reserve it: the copy
  // refuses the value instead.
  SPropValue v = {};
  v.ulPropTag = Tag(PT_BINARY);
  v.Value.bin = {0xFFFFFFFFu, nullptr};
  EXPECT_EQ(PackedDataSize(v), 0u);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(PT_MV_UNICODE);
  v.Value.MVszW = {0xFFFFFFFFu, nullptr};
  EXPECT_EQ(PackedDataSize(v), 0u);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(PT_UNICODE);
  v.Value.lpszW = nullptr;
  EXPECT_EQ(PackedDataSize(v), 0u);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
}

TEST(PropCopy, TagArrays) {
  SizedSPropTagArray<2> tags = {2, {Tag(PT_LONG), Tag(PT_BINARY)}};
  auto copy = DuplicateTagArray(tags.Ptr());
  ASSERT_EQ(copy->cValues, 2u);
  EXPECT_EQ(copy->aulPropTag[1], Tag(PT_BINARY));
  EXPECT_FALSE(DuplicateTagArray(nullptr));
}

TEST(PropCopy, KnownTypes) {
  EXPECT_TRUE(IsKnownPropType(PT_MV_UNICODE));
  EXPECT_TRUE(IsKnownPropType(PT_ERROR));
  EXPECT_FALSE(IsKnownPropType(MV_FLAG | PT_ERROR));
  EXPECT_FALSE(IsKnownPropType(0x0099));
}

}  // namespace
