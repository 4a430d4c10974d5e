// Both conversions between variants and SPropValue, for every property type.
#include <gtest/gtest.h>

#include <cmath>

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIPropConvert.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"

namespace orba {
namespace {

constexpr ULONG kId = 0x6001;

ULONG Tag(ULONG type) { return PROP_TAG(type, kId); }

// Converts to MAPI and back.
TVoVariant RoundTrip(const TVoVariant& value, ULONG type) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(value, Tag(type), buffer);
  return VoMAPIPropVarValue(prop, TVoVariant::Null());
}

TVoVariant Texts(std::initializer_list<const char16_t*> texts) {
  TVoVariant::VariantArray items;
  for (const char16_t* t : texts) items.emplace_back(t);
  return TVoVariant(items);
}

template <class F>
HRESULT CodeOf(F f) {
  try {
    f();
  } catch (const EVoException& e) {
    return e.Code();
  }
  return S_OK;
}

TEST(VariantToMAPI, Scalars) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(int32_t(-7)), Tag(PT_I2), buffer).Value.i, -7);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(u"42"), Tag(PT_LONG), buffer).Value.l, 42);
  EXPECT_FLOAT_EQ(VoMAPIVariantToPropValue(TVoVariant(1.25), Tag(PT_R4), buffer).Value.flt, 1.25f);
  EXPECT_DOUBLE_EQ(VoMAPIVariantToPropValue(TVoVariant(2.5), Tag(PT_DOUBLE), buffer).Value.dbl, 2.5);
  EXPECT_DOUBLE_EQ(VoMAPIVariantToPropValue(TVoVariant(3.5), Tag(PT_APPTIME), buffer).Value.at, 3.5);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(true), Tag(PT_BOOLEAN), buffer).Value.b, 1);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(false), Tag(PT_BOOLEAN), buffer).Value.b, 0);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(int64_t(1) << 40), Tag(PT_I8), buffer).Value.li.QuadPart, int64_t(1)
                                                                                                              << 40);
  EXPECT_EQ(buffer, nullptr);  // scalars need no buffer
}

TEST(VariantToMAPI, TagIsKept) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(int32_t(1)), Tag(PT_LONG), buffer).ulPropTag, 0x60010003u);
}

TEST(VariantToMAPI, OutOfRangeAndBadTextRaise) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(CodeOf([&] { VoMAPIVariantToPropValue(TVoVariant(int32_t(70000)), Tag(PT_I2), buffer); }), DISP_E_OVERFLOW);
  EXPECT_EQ(CodeOf([&] { VoMAPIVariantToPropValue(TVoVariant(u"abc"), Tag(PT_LONG), buffer); }), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(CodeOf([&] { VoMAPIVariantToPropValue(TVoVariant::Null(), Tag(PT_LONG), buffer); }), DISP_E_TYPEMISMATCH);
}

TEST(Currency, StoredTimesTenThousandAndReadBack) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant(1.5), Tag(PT_CURRENCY), buffer);
  EXPECT_EQ(prop.Value.cur.int64, 15000);
  TVoVariant back = VoMAPIPropVarValue(prop, TVoVariant::Null());
  EXPECT_EQ(back.VarType(), varDouble);
  EXPECT_DOUBLE_EQ(VoVarToFloat(back), 1.5);
}

TEST(Currency, RoundsHalfToEven) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(0.00005), Tag(PT_CURRENCY), buffer).Value.cur.int64, 0);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(-2.00015), Tag(PT_CURRENCY), buffer).Value.cur.int64, -20002);
}

TEST(Currency, MultiValued) {
  TVoVariant::VariantArray amounts{TVoVariant(1.5), TVoVariant(-0.25)};
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant(amounts), Tag(PT_MV_CURRENCY), buffer);
  ASSERT_EQ(prop.Value.MVcur.cValues, 2u);
  EXPECT_EQ(prop.Value.MVcur.lpcur[0].int64, 15000);
  EXPECT_EQ(prop.Value.MVcur.lpcur[1].int64, -2500);
  TVoVariant back = VoMAPIPropVarValue(prop, TVoVariant::Null());
  EXPECT_DOUBLE_EQ(VoVarToFloat(back.ArrayItem(1)), -0.25);
}

TEST(SystemTime, DateIsConvertedWithoutZoneChange) {
  const TDateTime when = EncodeDateTime(2024, 3, 1, 12, 30, 0, 0);
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant::FromDate(when), Tag(PT_SYSTIME), buffer);
  const uint64_t ft = (uint64_t(prop.Value.ft.dwHighDateTime) << 32) | prop.Value.ft.dwLowDateTime;
  EXPECT_EQ(ft, DateTimeToFileTime(when));
  TVoVariant back = VoMAPIPropVarValue(prop, TVoVariant::Null());
  EXPECT_EQ(back.VarType(), varDate);
  EXPECT_DOUBLE_EQ(VoVarToDateTime(back), when);
}

TEST(SystemTime, DoubleIsADateAndIntegersAreTheFileTime) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue fromDouble = VoMAPIVariantToPropValue(TVoVariant(2.0), Tag(PT_SYSTIME), buffer);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(fromDouble.Value.ft), 2.0);
  const int64_t raw = 0x01D9ABCD12345678;
  SPropValue fromInt = VoMAPIVariantToPropValue(TVoVariant(raw), Tag(PT_SYSTIME), buffer);
  EXPECT_EQ(fromInt.Value.ft.dwHighDateTime, 0x01D9ABCDu);
  EXPECT_EQ(fromInt.Value.ft.dwLowDateTime, 0x12345678u);
}

TEST(GuidText, RoundTripThroughClsid) {
  const WideString text = u"{00020329-0000-0000-C000-000000000046}";
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop =
      VoMAPIVariantToPropValue(TVoVariant(u"{00020329-0000-0000-c000-000000000046}"), Tag(PT_CLSID), buffer);
  ASSERT_NE(prop.Value.lpguid, nullptr);
  EXPECT_EQ(prop.Value.lpguid->Data1, 0x00020329u);
  EXPECT_EQ(prop.Value.lpguid->Data4[0], 0xC0);
  EXPECT_EQ(prop.Value.lpguid->Data4[7], 0x46);
  EXPECT_EQ(VoVarToStr(VoMAPIPropVarValue(prop, TVoVariant::Null())), text);
}

TEST(GuidText, MalformedTextRaises) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  try {
    VoMAPIVariantToPropValue(TVoVariant(u"{1234}"), Tag(PT_CLSID), buffer);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'{1234}' is not a valid GUID value");
  }
  EXPECT_THROW(StringToGUID(u"{00020329-0000-0000-C000-00000000004G}"), EConvertError);
  EXPECT_THROW(StringToGUID(u"00020329-0000-0000-C000-000000000046"), EConvertError);
}

TEST(GuidText, MultiValued) {
  TVoVariant value = Texts({u"{00020329-0000-0000-C000-000000000046}", u"{52A474EE-E1A3-4E63-8FFC-FCDACB06A7FC}"});
  EXPECT_EQ(RoundTrip(value, PT_MV_CLSID), value);
}

TEST(Strings, BlankTextIsANullPointer) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(u"  \t "), Tag(PT_UNICODE), buffer).Value.lpszW, nullptr);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant(u""), Tag(PT_STRING8), buffer).Value.lpszA, nullptr);
  EXPECT_EQ(VoMAPIVariantToPropValue(TVoVariant::Null(), Tag(PT_UNICODE), buffer).Value.lpszW, nullptr);
}

TEST(Strings, TextKeepsItsBlanks) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant(u" Grüße "), Tag(PT_UNICODE), buffer);
  EXPECT_EQ(WideString(prop.Value.lpszW), u" Grüße ");
  SPropValue ansi = VoMAPIVariantToPropValue(TVoVariant(u" Grüße "), Tag(PT_STRING8), buffer);
  EXPECT_EQ(std::string(ansi.Value.lpszA), TVoEncoding::ConvertA(u" Grüße "));
  EXPECT_EQ(VoVarToStr(VoMAPIPropVarValue(ansi, TVoVariant())), u" Grüße ");
}

TEST(Strings, NullPointersReadAsEmptyText) {
  SPropValue prop{};
  prop.ulPropTag = Tag(PT_UNICODE);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant::Null()), TVoVariant(u""));
  prop.ulPropTag = Tag(PT_STRING8);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant::Null()), TVoVariant(u""));
}

TEST(MultiText, SplitsAtSemicolons) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant(u"a;b;c"), Tag(PT_MV_UNICODE), buffer);
  ASSERT_EQ(prop.Value.MVszW.cValues, 3u);
  EXPECT_EQ(WideString(prop.Value.MVszW.lppszW[2]), u"c");
}

TEST(MultiText, SplitsAtLineBreaksFirst) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(TVoVariant(u"a;b\r\nc"), Tag(PT_MV_STRING8), buffer);
  ASSERT_EQ(prop.Value.MVszA.cValues, 2u);
  EXPECT_EQ(std::string(prop.Value.MVszA.lppszA[0]), "a;b");
  EXPECT_EQ(std::string(prop.Value.MVszA.lppszA[1]), "c");
}

TEST(MultiText, SplitRules) {
  EXPECT_TRUE(VoMAPISplitMultiText(u"").empty());
  EXPECT_EQ(VoMAPISplitMultiText(u"a\r\nb\r\n"), (std::vector<WideString>{u"a", u"b"}));
  EXPECT_EQ(VoMAPISplitMultiText(u"a;;b"), (std::vector<WideString>{u"a", u"", u"b"}));
  EXPECT_EQ(VoMAPISplitMultiText(u"one value"), (std::vector<WideString>{u"one value"}));
}

TEST(MultiText, ArraysRoundTrip) {
  TVoVariant value = Texts({u"x", u"", u"Grüße"});
  EXPECT_EQ(RoundTrip(value, PT_MV_UNICODE), value);
  EXPECT_EQ(RoundTrip(value, PT_MV_STRING8), value);
}

TEST(Binary, BytesRoundTrip) {
  TVoVariant value(TVoVariant::ByteArray{0x00, 0xFF, 0x10});
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(value, Tag(PT_BINARY), buffer);
  EXPECT_EQ(prop.Value.bin.cb, 3u);
  EXPECT_EQ(prop.Value.bin.lpb[1], 0xFF);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), value);
}

TEST(Binary, EmptyAndNullAreZeroLength) {
  TVoVariant empty(TVoVariant::ByteArray{});
  EXPECT_EQ(RoundTrip(empty, PT_BINARY), empty);
  EXPECT_EQ(RoundTrip(TVoVariant::Null(), PT_BINARY), empty);
}

TEST(Binary, ArrayOfNumbersAndTextRefused) {
  TVoVariant numbers(TVoVariant::VariantArray{TVoVariant(int32_t(1)), TVoVariant(int32_t(255))});
  EXPECT_EQ(RoundTrip(numbers, PT_BINARY), TVoVariant(TVoVariant::ByteArray{1, 255}));
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(CodeOf([&] { VoMAPIVariantToPropValue(TVoVariant(u"0102"), Tag(PT_BINARY), buffer); }),
            DISP_E_TYPEMISMATCH);
}

TEST(Binary, MultiValued) {
  TVoVariant value(
      TVoVariant::VariantArray{TVoVariant(TVoVariant::ByteArray{1, 2}), TVoVariant(TVoVariant::ByteArray{})});
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue prop = VoMAPIVariantToPropValue(value, Tag(PT_MV_BINARY), buffer);
  ASSERT_EQ(prop.Value.MVbin.cValues, 2u);
  EXPECT_EQ(prop.Value.MVbin.lpbin[0].cb, 2u);
  EXPECT_EQ(prop.Value.MVbin.lpbin[1].cb, 0u);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), value);
}

TEST(MultiValued, NumbersRoundTrip) {
  TVoVariant shorts(TVoVariant::VariantArray{TVoVariant(int16_t(1)), TVoVariant(int16_t(-2))});
  EXPECT_EQ(RoundTrip(shorts, PT_MV_I2), shorts);
  TVoVariant longs(TVoVariant::VariantArray{TVoVariant(int32_t(1)), TVoVariant(int32_t(1 << 30))});
  EXPECT_EQ(RoundTrip(longs, PT_MV_LONG), longs);
  TVoVariant bigs(TVoVariant::VariantArray{TVoVariant(int64_t(1) << 50)});
  EXPECT_EQ(RoundTrip(bigs, PT_MV_I8), bigs);
  TVoVariant singles(TVoVariant::VariantArray{TVoVariant(0.5f)});
  EXPECT_EQ(RoundTrip(singles, PT_MV_R4), singles);
  TVoVariant doubles(TVoVariant::VariantArray{TVoVariant(0.1), TVoVariant(1e300)});
  EXPECT_EQ(RoundTrip(doubles, PT_MV_DOUBLE), doubles);
}

TEST(MultiValued, ElementsAreConverted) {
  TVoVariant mixed(TVoVariant::VariantArray{TVoVariant(u"7"), TVoVariant(2.0)});
  EXPECT_EQ(RoundTrip(mixed, PT_MV_LONG),
            TVoVariant(TVoVariant::VariantArray{TVoVariant(int32_t(7)), TVoVariant(int32_t(2))}));
}

TEST(MultiValued, NonArrayRaisesTypeMismatch) {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  EXPECT_EQ(CodeOf([&] { VoMAPIVariantToPropValue(TVoVariant(int32_t(1)), Tag(PT_MV_LONG), buffer); }),
            DISP_E_TYPEMISMATCH);
}

TEST(VariantToMAPI, UnsupportedTypesRaise) {
  for (ULONG type : {PT_MV_SYSTIME, PT_MV_APPTIME, MV_FLAG | PT_BOOLEAN, PT_ERROR, PT_OBJECT, PT_NULL}) {
    std::unique_ptr<TVoMAPIValueBuffer> buffer;
    try {
      VoMAPIVariantToPropValue(TVoVariant(int32_t(1)), Tag(type), buffer);
      FAIL() << type;
    } catch (const EVoMAPIException& e) {
      EXPECT_EQ(e.Code(), E_INVALIDARG);
      EXPECT_EQ(e.Message(), Format(u"The PropList does not support data of type %d!", {type}));
    }
  }
}

TEST(MAPIToVariant, ScalarTypes) {
  SPropValue prop{};
  prop.ulPropTag = Tag(PT_I2);
  prop.Value.i = -3;
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(int16_t(-3)));
  prop.ulPropTag = Tag(PT_LONG);
  prop.Value.l = 123456;
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(int32_t(123456)));
  prop.ulPropTag = Tag(PT_BOOLEAN);
  prop.Value.b = 0xFFFF;
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(true));
  prop.ulPropTag = Tag(PT_APPTIME);
  prop.Value.at = 45000.5;
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(45000.5));
  prop.ulPropTag = Tag(PT_I8);
  prop.Value.li.QuadPart = -5;
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(int64_t(-5)));
}

TEST(MAPIToVariant, ErrorGivesTheDefault) {
  SPropValue prop{};
  prop.ulPropTag = Tag(PT_ERROR);
  prop.Value.err = MakeHResult(0x8004010F);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant(int32_t(0))), TVoVariant(int32_t(0)));
  EXPECT_TRUE(VoMAPIPropVarValue(prop, TVoVariant::Null()).IsNull());
}

TEST(MAPIToVariant, ObjectReadsAsText) {
  SPropValue prop{};
  prop.ulPropTag = Tag(PT_OBJECT);
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant::Null()), TVoVariant(u"<object>"));
}

TEST(MAPIToVariant, TypesWithoutVariantGiveTheDefault) {
  for (ULONG type : {PT_MV_SYSTIME, PT_MV_APPTIME, PT_NULL, PT_UNSPECIFIED, PT_SRESTRICTION}) {
    SPropValue prop{};
    prop.ulPropTag = Tag(type);
    EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant(u"d")), TVoVariant(u"d")) << type;
  }
}

TEST(MAPIToVariant, NullArraysReadAsEmpty) {
  SPropValue prop{};
  prop.ulPropTag = Tag(PT_MV_LONG);
  prop.Value.MVl.cValues = 3;  // a count without data reads as no values
  EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant()), TVoVariant(TVoVariant::VariantArray{}));
}

}  // namespace
}  // namespace orba
