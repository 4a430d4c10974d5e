// Deep copies of property values, restrictions, rule actions and tag arrays: copies
// that do not depend on their source, packed copies that keep their data in their own
// buffer, and refusals of malformed values.
#include "props/valuecopy.h"

#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

constexpr ULONG Tag(ULONG type, ULONG id = 0x6000) { return PROP_TAG(type, id); }

HRESULT CopyCode(const SPropValue& value) {
  return CodeOf([&] { DuplicatePropArray(1, &value); });
}

// Whether p lies in [begin, begin + size).
bool Within(const void* p, const void* begin, size_t size) {
  auto* at = static_cast<const char*>(p);
  auto* from = static_cast<const char*>(begin);
  return at >= from && at < from + size;
}

TEST(ValueCopy, CopiesAreIndependentOfTheSourceAndPackedInTheirBuffer) {
  char ansi[] = "hello", a1[] = "bc";
  char16_t wide[] = u"wide text", w0[] = u"x", w1[] = u"yz";
  BYTE bytes[] = {1, 2, 3};
  GUID guid = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  LONG longs[] = {1, 2, 3};
  LPSTR strings[] = {a1};
  LPWSTR wides[] = {w0, w1};
  SBinary bins[] = {{3, bytes}, {0, nullptr}};
  SPropValue src[9] = {LongValue(Tag(PT_LONG), 7), {}, {}, BinaryValue(Tag(PT_BINARY), bytes)};
  src[1].ulPropTag = Tag(PT_STRING8);
  src[1].Value.lpszA = ansi;
  src[2].ulPropTag = Tag(PT_UNICODE);
  src[2].Value.lpszW = wide;
  src[4].ulPropTag = Tag(PT_CLSID);
  src[4].Value.lpguid = &guid;
  src[5].ulPropTag = Tag(PT_MV_LONG);
  src[5].Value.MVl = {3, longs};
  src[6].ulPropTag = Tag(PT_MV_STRING8);
  src[6].Value.MVszA = {1, strings};
  src[7].ulPropTag = Tag(PT_MV_UNICODE);
  src[7].Value.MVszW = {2, wides};
  src[8].ulPropTag = Tag(PT_MV_BINARY);
  src[8].Value.MVbin = {2, bins};
  // Blocks are rounded up to 8 bytes: "hello" 6 -> 8, u"wide text" 20 -> 24, two
  // pointers 16 and u"x" 4 -> 8 and u"yz" 6 -> 8; MAPI's own count is not rounded.
  EXPECT_EQ(PackedDataSize(src[1]), 8u);
  EXPECT_EQ(PackedDataSize(src[2]), 24u);
  EXPECT_EQ(PackedDataSize(src[7]), 32u);
  EXPECT_EQ(PropValueDataSize(src[7]), 16u + 4u + 6u);
  EXPECT_EQ(PropValueDataSize(src[8]), 2 * sizeof(SBinary) + 3);

  auto copy = DuplicatePropArray(9, src);
  ansi[0] = a1[0] = 'X';
  wide[0] = w1[0] = u'X';
  bytes[0] = longs[1] = 0;
  guid.Data1 = 99;
  const SPropValue* v = copy.get();
  EXPECT_STREQ(v[1].Value.lpszA, "hello");
  EXPECT_EQ(testing::WideOf(v[2].Value.lpszW), u"wide text");
  EXPECT_EQ(v[3].Value.bin.lpb[0], 1);
  EXPECT_EQ(v[4].Value.lpguid->Data1, 1u);
  EXPECT_EQ(v[5].Value.MVl.lpl[1], 2);
  EXPECT_STREQ(v[6].Value.MVszA.lppszA[0], "bc");
  EXPECT_EQ(testing::WideOf(v[7].Value.MVszW.lppszW[1]), u"yz");
  EXPECT_EQ(v[8].Value.MVbin.lpbin[0].lpb[0], 1);
  EXPECT_EQ(v[8].Value.MVbin.lpbin[1].cb, 0u);
  size_t room = 0;
  for (const SPropValue& value : src) room += PackedDataSize(value);
  for (const void* data : {static_cast<const void*>(v[1].Value.lpszA), static_cast<const void*>(v[2].Value.lpszW),
                           static_cast<const void*>(v[7].Value.MVszW.lppszW[1])})
    EXPECT_TRUE(Within(data, v + 9, room));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(v[2].Value.lpszW) % kPackedAlignment, 0u);
}

TEST(ValueCopy, RestrictionsAndRuleActionsAreCopiedDeeply) {
  char text[] = "needle";
  SPropValue value{};
  value.ulPropTag = Tag(PT_STRING8, 0x0037);
  value.Value.lpszA = text;
  SRestriction leaves[2]{}, both{RES_AND, {}}, negated{RES_NOT, {}};
  leaves[0].rt = RES_CONTENT;
  leaves[0].res.resContent = {FL_SUBSTRING, value.ulPropTag, &value};
  leaves[1].rt = RES_EXIST;
  both.res.resAnd = {2, leaves};
  negated.res.resNot.lpRes = &both;
  BYTE folder[] = {0, 0, 0, 0, 7};
  ACTION action{};
  action.acttype = OP_MOVE;
  action.actMoveCopy.cbFldEntryId = sizeof(folder);
  action.actMoveCopy.lpFldEntryId = reinterpret_cast<LPENTRYID>(folder);
  ACTIONS actions = {EDK_RULES_VERSION, 1, &action};
  SPropValue holders[2]{};
  holders[0].ulPropTag = Tag(PT_SRESTRICTION);
  holders[0].Value.lpv = &negated;
  holders[1].ulPropTag = Tag(PT_ACTIONS);
  holders[1].Value.lpv = &actions;
  auto copy = DuplicatePropArray(2, holders);
  text[0] = 'X';
  folder[4] = 0;
  const SRestriction& content = static_cast<SRestriction*>(copy->Value.lpv)->res.resNot.lpRes->res.resAnd.lpRes[0];
  EXPECT_NE(&content, &leaves[0]);
  EXPECT_STREQ(content.res.resContent.lpProp->Value.lpszA, "needle");
  EXPECT_EQ(static_cast<ACTIONS*>(copy.get()[1].Value.lpv)->lpAction[0].actMoveCopy.lpFldEntryId->ab[0], 7);
}

TEST(ValueCopy, MalformedValuesAreRefusedWithoutReservingRoom) {
  SPropValue v{};
  v.ulPropTag = Tag(PT_STRING8);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(PT_MV_LONG);
  v.Value.MVl = {2, nullptr};
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = Tag(0x0099);
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_TYPE);
  SRestriction bad{0x77, {}};
  v.ulPropTag = Tag(PT_SRESTRICTION);
  v.Value.lpv = &bad;
  EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER);
  // A huge count without its pointer must not make a packed copy reserve it.
  for (ULONG type : {PT_BINARY, PT_MV_UNICODE, PT_UNICODE}) {
    v = {};
    v.ulPropTag = Tag(type);
    v.Value.bin.cb = type == PT_UNICODE ? 0 : 0xFFFFFFFFu;
    EXPECT_EQ(PackedDataSize(v), 0u) << type;
    EXPECT_EQ(CopyCode(v), MAPI_E_INVALID_PARAMETER) << type;
  }
  EXPECT_TRUE(IsKnownPropType(PT_MV_UNICODE));
  EXPECT_FALSE(IsKnownPropType(MV_FLAG | PT_ERROR));
  EXPECT_FALSE(IsKnownPropType(0x0099));
}

TEST(ValueCopy, SpaceChainsBlocksBeyondItsRoomAndTagArraysCopy) {
  auto buffer = TMapiBuffer<BYTE>::Allocate(64);
  TCopySpace space(buffer.get(), buffer.get() + 32, 32);
  EXPECT_EQ(space.Take(10), buffer.get() + 32);  // 16 of the room
  EXPECT_EQ(space.Take(16), buffer.get() + 48);  // the other 16
  void* chained = space.Take(1);                 // chained to the buffer
  EXPECT_FALSE(Within(chained, buffer.get(), 64));
  static_cast<BYTE*>(chained)[0] = 1;
  BYTE notMapi[32] = {};
  TCopySpace stray(notMapi);
  EXPECT_EQ(CodeOf([&] { stray.Take(8); }), MAPI_E_INVALID_PARAMETER);
  SizedSPropTagArray<2> tags = {2, {Tag(PT_LONG), Tag(PT_BINARY)}};
  auto copy = DuplicateTagArray(tags.Ptr());
  EXPECT_EQ(copy->aulPropTag[1], Tag(PT_BINARY));
  EXPECT_FALSE(DuplicateTagArray(nullptr));
}

}  // namespace
}  // namespace orba::store
