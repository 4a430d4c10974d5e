// Deep copies of restrictions and rule actions, and refusals of malformed values. Copies
// of plain values are tested through MAPI's PropCopyMore and ScCopyProps.
#include "props/valuecopy.h"

#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

constexpr ULONG Tag(ULONG type, ULONG id = 0x6000) { return PROP_TAG(type, id); }

HRESULT CopyCode(const SPropValue& value) {
  return CodeOf([&] { DuplicatePropArray(1, &value); });
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

}  // namespace
}  // namespace orba::store
