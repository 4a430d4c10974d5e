// Entry ID values: text round trips, malformed text, conversions, UIDs, policy tags.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {
namespace {

TEST(EntryID, TextRoundTripTrimsBlanksAndRefusesMalformedText) {
  TVoMAPIEntryID id = StrToEntryID(WideString(u" 00FF10 "));
  EXPECT_EQ(EntryIDToArr(id), (std::vector<BYTE>{0x00, 0xFF, 0x10}));
  EXPECT_EQ(EntryIDToStr(id), u"00FF10");
  EXPECT_EQ(EntryIDToArr(StrToEntryID(AnsiString("\tab01\r\n"))), (std::vector<BYTE>{0xAB, 0x01}));
  for (const WideString& text : {WideString(u"0G"), WideString(u"ABC"), WideString(u"00 11")})
    EXPECT_RAISES(StrToEntryID(text), EMAPI_INVALID_PARAMETER, E_INVALIDARG,
                  u"The text \"" + text + u"\" is not a valid hexadecimal EntryID!");
}

TEST(EntryID, BinaryConversionsAndUIDsOfSixteenBytes) {
  const BYTE data[] = {1, 2, 3};
  EXPECT_TRUE(BinToEntryID(0, data).IsNull());
  TVoMAPIEntryID id = BinToEntryID(3, data);
  TVoMAPIBinary bin = EntryIDToBin(id);
  EXPECT_EQ(bin.Bin().cb, 3u);
  EXPECT_EQ(bin.Bin().lpb[2], 3);
  EXPECT_EQ(EntryIDToBin(TVoVariant::Null()).Bin().lpb, nullptr);
  TVoVariant numbers(TVoVariant::VariantArray{TVoVariant(int32_t(7)), TVoVariant(int32_t(255))});
  EXPECT_EQ(EntryIDToArr(numbers), (std::vector<BYTE>{7, 255}));
  EXPECT_RAISES(EntryIDToArr(TVoVariant(u"x")), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (OleStr) into type (Array Byte)");
  std::vector<BYTE> bytes(16);
  for (int i = 0; i < 16; ++i) bytes[i] = BYTE(i);
  EXPECT_EQ(EntryIDToUID(ArrToEntryID(bytes)).ab[15], 15);
  bytes.pop_back();
  EXPECT_RAISES(EntryIDToUID(ArrToEntryID(bytes)), EMAPI_INVALID_PARAMETER, E_INVALIDARG,
                u"The size of the specified EntryID does not match the size of a TMAPIUID!");
}

TEST(EntryID, PolicyGuidToTagGivesTheGuidBytes) {
  EXPECT_EQ(EntryIDToStr(PolicyGuidToTag(u"{00020329-0000-0000-C000-000000000046}")),
            u"2903020000000000C000000000000046");
  EXPECT_RAISES(PolicyGuidToTag(u"nope"), EMAPI_INVALID_PARAMETER, E_INVALIDARG,
                u"The text \"nope\" is not a valid policy GUID!");
}

}  // namespace
}  // namespace orba
