// Both conversions between variants and SPropValue, for every property type.
#include <gtest/gtest.h>

#include <cmath>

#include "common/mapierror.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIPropConvert.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"

namespace orba {
namespace {

constexpr ULONG kId = 0x6001;

ULONG Tag(ULONG type) { return PROP_TAG(type, kId); }

// Converts to MAPI; the buffer lives as long as the fixture-less test keeps it.
struct ToMAPI {
  std::unique_ptr<TVoMAPIValueBuffer> buffer;
  SPropValue operator()(const TVoVariant& value, ULONG type) {
    return VoMAPIVariantToPropValue(value, Tag(type), buffer);
  }
};

TVoVariant RoundTrip(const TVoVariant& value, ULONG type) {
  return VoMAPIPropVarValue(ToMAPI()(value, type), TVoVariant::Null());
}

TVoVariant Array(TVoVariant::VariantArray items) { return TVoVariant(std::move(items)); }
TVoVariant Bytes(TVoVariant::ByteArray bytes) { return TVoVariant(std::move(bytes)); }

TEST(VariantToMAPI, ScalarsLandInTheirMember) {
  ToMAPI to;
  EXPECT_EQ(to(TVoVariant(int32_t(-7)), PT_I2).Value.i, -7);
  EXPECT_EQ(to(TVoVariant(u"42"), PT_LONG).Value.l, 42);
  EXPECT_FLOAT_EQ(to(TVoVariant(1.25), PT_R4).Value.flt, 1.25f);
  EXPECT_DOUBLE_EQ(to(TVoVariant(2.5), PT_DOUBLE).Value.dbl, 2.5);
  EXPECT_EQ(to(TVoVariant(true), PT_BOOLEAN).Value.b, 1);
  EXPECT_EQ(to(TVoVariant(int64_t(1) << 40), PT_I8).Value.li.QuadPart, int64_t(1) << 40);
  EXPECT_EQ(to(TVoVariant(int32_t(1)), PT_LONG).ulPropTag, 0x60010003u);
  EXPECT_EQ(to.buffer, nullptr);  // scalars need no buffer
}

TEST(VariantToMAPI, ValuesThatDoNotFitRaiseTheVariantCodes) {
  struct Case {
    TVoVariant value;
    ULONG type;
    HRESULT code;
  };
  const Case cases[] = {{TVoVariant(int32_t(70000)), PT_I2, DISP_E_OVERFLOW},
                        {TVoVariant(u"abc"), PT_LONG, DISP_E_TYPEMISMATCH},
                        {TVoVariant::Null(), PT_LONG, DISP_E_TYPEMISMATCH},
                        {TVoVariant(u"0102"), PT_BINARY, DISP_E_TYPEMISMATCH},
                        {TVoVariant(int32_t(1)), PT_MV_LONG, DISP_E_TYPEMISMATCH}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(::orba::test::CodeOf([&] { ToMAPI()(c.value, c.type); }), c.code);
  }
  EXPECT_RAISES(ToMAPI()(TVoVariant(u"{1234}"), PT_CLSID), EConvertError, E_INVALIDARG,
                u"'{1234}' is not a valid GUID value");
  EXPECT_THROW(StringToGUID(u"{00020329-0000-0000-C000-00000000004G}"), EConvertError);
  for (ULONG type : {PT_MV_SYSTIME, PT_MV_APPTIME, MV_FLAG | PT_BOOLEAN, PT_ERROR, PT_OBJECT, PT_NULL})
    EXPECT_RAISES(ToMAPI()(TVoVariant(int32_t(1)), type), EVoMAPIException, E_INVALIDARG,
                  Format(u"The PropList does not support data of type %d!", {type}));
}

// Values that come back from MAPI as they went in, or in the given form (binaries and
// their lists read back from the buffer they were written to).
TEST(VariantToMAPI, RoundTrips) {
  const TVoVariant texts = Array({TVoVariant(u"x"), TVoVariant(u""), TVoVariant(u"Grüße")});
  const TVoVariant guids = Array(
      {TVoVariant(u"{00020329-0000-0000-C000-000000000046}"), TVoVariant(u"{52A474EE-E1A3-4E63-8FFC-FCDACB06A7FC}")});
  struct Case {
    TVoVariant value;
    ULONG type;
    TVoVariant back;
  };
  const Case cases[] = {
      {Array({TVoVariant(int16_t(1)), TVoVariant(int16_t(-2))}), PT_MV_I2, {}},
      {Array({TVoVariant(int64_t(1) << 50)}), PT_MV_I8, {}},
      {Array({TVoVariant(0.1), TVoVariant(1e300)}), PT_MV_DOUBLE, {}},
      {Array({TVoVariant(u"7"), TVoVariant(2.0)}), PT_MV_LONG, Array({TVoVariant(int32_t(7)), TVoVariant(int32_t(2))})},
      {texts, PT_MV_UNICODE, {}},
      {texts, PT_MV_STRING8, {}},
      {guids, PT_MV_CLSID, {}},
      {TVoVariant(u"{00020329-0000-0000-c000-000000000046}"), PT_CLSID,
       TVoVariant(u"{00020329-0000-0000-C000-000000000046}")},
      {TVoVariant(u" Grüße "), PT_STRING8, {}},
      {Bytes({0x00, 0xFF, 0x10}), PT_BINARY, {}},
      {TVoVariant::Null(), PT_BINARY, Bytes({})},
      {Array({TVoVariant(int32_t(1)), TVoVariant(int32_t(255))}), PT_BINARY, Bytes({1, 255})},
      {Array({Bytes({1, 2}), Bytes({})}), PT_MV_BINARY, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(RoundTrip(c.value, c.type), c.back.IsEmpty() ? c.value : c.back);
  }
}

TEST(VariantToMAPI, CurrencyIsStoredTimesTenThousandRoundingHalfToEven) {
  ToMAPI to;
  SPropValue prop = to(TVoVariant(1.5), PT_CURRENCY);
  EXPECT_EQ(prop.Value.cur.int64, 15000);
  TVoVariant back = VoMAPIPropVarValue(prop, TVoVariant::Null());
  EXPECT_DOUBLE_EQ(VoVarToFloat(back), 1.5);
  EXPECT_EQ(to(TVoVariant(-2.00015), PT_CURRENCY).Value.cur.int64, -20002);
  SPropValue mv = to(Array({TVoVariant(1.5), TVoVariant(-0.25)}), PT_MV_CURRENCY);
  ASSERT_EQ(mv.Value.MVcur.cValues, 2u);
  EXPECT_EQ(mv.Value.MVcur.lpcur[1].int64, -2500);
  EXPECT_DOUBLE_EQ(VoVarToFloat(VoMAPIPropVarValue(mv, TVoVariant::Null()).ArrayItem(1)), -0.25);
}

TEST(VariantToMAPI, SystemTimeFromDatesDoublesAndRawFileTimes) {
  ToMAPI to;
  const TDateTime when = EncodeDateTime(2024, 3, 1, 12, 30, 0, 0);
  SPropValue prop = to(TVoVariant::FromDate(when), PT_SYSTIME);
  EXPECT_EQ((uint64_t(prop.Value.ft.dwHighDateTime) << 32) | prop.Value.ft.dwLowDateTime, DateTimeToFileTime(when));
  TVoVariant back = VoMAPIPropVarValue(prop, TVoVariant::Null());
  EXPECT_EQ(back.VarType(), varDate);  // no zone change either way
  EXPECT_DOUBLE_EQ(VoVarToDateTime(back), when);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(to(TVoVariant(2.0), PT_SYSTIME).Value.ft), 2.0);
  SPropValue raw = to(TVoVariant(int64_t(0x01D9ABCD12345678)), PT_SYSTIME);
  EXPECT_EQ(raw.Value.ft.dwHighDateTime, 0x01D9ABCDu);
}

TEST(VariantToMAPI, GuidsAreStoredInTheirBinaryLayout) {
  ToMAPI to;
  SPropValue guid = to(TVoVariant(u"{00020329-0000-0000-c000-000000000046}"), PT_CLSID);
  ASSERT_NE(guid.Value.lpguid, nullptr);
  EXPECT_EQ(guid.Value.lpguid->Data1, 0x00020329u);
  EXPECT_EQ(guid.Value.lpguid->Data4[7], 0x46);
}

TEST(VariantToMAPI, TextsKeepTheirBlanksAndBlankTextIsANullPointer) {
  ToMAPI to;
  EXPECT_EQ(to(TVoVariant(u"  \t "), PT_UNICODE).Value.lpszW, nullptr);
  EXPECT_EQ(to(TVoVariant(u""), PT_STRING8).Value.lpszA, nullptr);
  EXPECT_EQ(WideString(to(TVoVariant(u" Grüße "), PT_UNICODE).Value.lpszW), u" Grüße ");
  EXPECT_EQ(std::string(to(TVoVariant(u" Grüße "), PT_STRING8).Value.lpszA), TVoEncoding::ConvertA(u" Grüße "));
  // One text for a multi-valued property splits at line breaks, else at semicolons.
  SPropValue semicolons = to(TVoVariant(u"a;b;c"), PT_MV_UNICODE);
  ASSERT_EQ(semicolons.Value.MVszW.cValues, 3u);
  EXPECT_EQ(WideString(semicolons.Value.MVszW.lppszW[2]), u"c");
  SPropValue lines = to(TVoVariant(u"a;b\r\nc"), PT_MV_STRING8);
  ASSERT_EQ(lines.Value.MVszA.cValues, 2u);
  EXPECT_EQ(std::string(lines.Value.MVszA.lppszA[1]), "c");
  EXPECT_EQ(VoMAPISplitMultiText(u"a\r\nb\r\n"), (std::vector<WideString>{u"a", u"b"}));
  EXPECT_EQ(VoMAPISplitMultiText(u"a;;b"), (std::vector<WideString>{u"a", u"", u"b"}));
}

TEST(MAPIToVariant, EveryTypeReadsAsItsVariantOrTheDefault) {
  struct Case {
    ULONG type;
    void (*fill)(SPropValue&);
    TVoVariant expected;  // empty: the default
  };
  const Case cases[] = {
      {PT_I2, [](SPropValue& p) { p.Value.i = -3; }, TVoVariant(int16_t(-3))},
      {PT_LONG, [](SPropValue& p) { p.Value.l = 123456; }, TVoVariant(int32_t(123456))},
      {PT_BOOLEAN, [](SPropValue& p) { p.Value.b = 0xFFFF; }, TVoVariant(true)},
      {PT_APPTIME, [](SPropValue& p) { p.Value.at = 45000.5; }, TVoVariant(45000.5)},
      {PT_I8, [](SPropValue& p) { p.Value.li.QuadPart = -5; }, TVoVariant(int64_t(-5))},
      {PT_UNICODE, [](SPropValue&) {}, TVoVariant(u"")},  // null pointers read as empty text
      {PT_OBJECT, [](SPropValue&) {}, TVoVariant(u"<object>")},
      {PT_MV_LONG, [](SPropValue& p) { p.Value.MVl.cValues = 3; }, Array({})},  // a count without data
      {PT_ERROR, [](SPropValue& p) { p.Value.err = MakeHResult(0x8004010F); }, {}},
      {PT_MV_SYSTIME, [](SPropValue&) {}, {}},
      {PT_NULL, [](SPropValue&) {}, {}},
      {PT_SRESTRICTION, [](SPropValue&) {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    SPropValue prop{};
    prop.ulPropTag = Tag(c.type);
    c.fill(prop);
    EXPECT_EQ(VoMAPIPropVarValue(prop, TVoVariant(u"d")), c.expected.IsEmpty() ? TVoVariant(u"d") : c.expected);
  }
}

}  // namespace
}  // namespace orba
