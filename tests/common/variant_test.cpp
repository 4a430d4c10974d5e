#include "orba/common/variant.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>

#include "orba/common/comobject.h"
#include "orba/common/dates.h"
#include "orba/common/exceptions.h"

namespace {

using namespace orba;

TEST(TVoVariant, ValueSemanticsEqualityAndInterfaces) {
  TVoVariant a(TVoVariant::VariantArray{1, u"two", TVoVariant::ByteArray{3}});
  TVoVariant b = a;
  EXPECT_EQ(a, b);
  b = TVoVariant(u"other");
  EXPECT_EQ(a.ArrayLength(), 3u);
  EXPECT_EQ(a.ArrayItem(1), TVoVariant(u"two"));
  EXPECT_FALSE(TVoVariant(1) == TVoVariant(int16_t(1)));  // type codes differ
  EXPECT_EQ(TVoVariant(TVoVariant::ByteArray{7, 8}).ArrayItem(1), TVoVariant(uint8_t(8)));
  EXPECT_RAISES(a.ArrayItem(3), EVoException, DISP_E_BADINDEX, u"Variant or safe array index out of bounds");
  EXPECT_RAISES(TVoVariant(1).ArrayLength(), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (Integer) into type (Array Variant)");
  EXPECT_EQ(TVoVariant::FromError(E_FAIL).ErrorCode(), E_FAIL);
  EXPECT_THROW(TVoVariant(1).ErrorCode(), EVoException);
  struct Probe : TVoComObject<TVoRefCounted, IUnknown> {};
  ComPtr<Probe> probe = MakeComObject<Probe>();
  TVoVariant v{ComPtr<IUnknown>(probe)};
  EXPECT_EQ(v.VarType(), varUnknown);
  EXPECT_EQ(v.Interface().get(), static_cast<IUnknown*>(probe.get()));
  EXPECT_EQ(TVoVariant().Interface(), nullptr);
  EXPECT_RAISES(VoVarToStr(v), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (Unknown) into type (OleStr)");
}

TEST(VoVarTo, DefaultsAndStringRules) {
  for (const TVoVariant& v : {TVoVariant(), TVoVariant::Null()}) {
    EXPECT_EQ(VoVarToStr(v, u"d"), u"d");
    EXPECT_EQ(VoVarToInt(v, 7), 7);
    EXPECT_EQ(VoVarToInt64(v, -7), -7);
    EXPECT_TRUE(VoVarToBool(v, true));
    EXPECT_EQ(VoVarToDateTime(v, 2.5), 2.5);
    EXPECT_EQ(VoVarToFloat(v, 1.25), 1.25);
  }
  EXPECT_EQ(VoVarToStr(TVoVariant(true)), u"True");
  EXPECT_EQ(VoVarToStr(TVoVariant(-42)), u"-42");
  EXPECT_EQ(VoVarToStr(TVoVariant(1.5)), u"1.5");
  EXPECT_EQ(VoVarToStr(TVoVariant(1.0 / 3)), u"0.333333333333333");
  EXPECT_EQ(VoVarToStr(TVoVariant(1e20)), u"1E20");
  EXPECT_EQ(VoVarToStr(TVoVariant(1234567890123456.0)), u"1.23456789012346E15");
  EXPECT_EQ(VoVarToStr(TVoVariant(TVoCurrency{15000})), u"1.5");
  EXPECT_EQ(VoVarToStr(TVoVariant::FromDate(EncodeDate(2023, 5, 1))), u"2023-05-01");
  EXPECT_RAISES(VoVarToStr(TVoVariant::FromError(1)), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (Error) into type (OleStr)");
}

TEST(VoVarTo, IntegerRules) {
  EXPECT_EQ(VoVarToInt(TVoVariant(u"123")), 123);
  EXPECT_EQ(VoVarToInt(TVoVariant(u" -17 ")), -17);
  EXPECT_EQ(VoVarToInt(TVoVariant(u"$FF")), 255);
  EXPECT_EQ(VoVarToInt(TVoVariant(u"2.5")), 2);  // half to even
  EXPECT_EQ(VoVarToInt(TVoVariant(u"true")), -1);
  EXPECT_EQ(VoVarToInt(TVoVariant(-2.5)), -2);
  EXPECT_EQ(VoVarToInt64(TVoVariant(u"9223372036854775807")), INT64_MAX);
  EXPECT_RAISES(VoVarToInt(TVoVariant(u"12a")), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (OleStr) into type (Integer)");
  EXPECT_RAISES(VoVarToInt(TVoVariant(int64_t(1) << 40)), EVoException, DISP_E_OVERFLOW,
                u"Overflow while converting variant of type (Int64) into type (Integer)");
  EXPECT_RAISES(VoVarToInt64(TVoVariant(1e30)), EVoException, DISP_E_OVERFLOW,
                u"Overflow while converting variant of type (Double) into type (Int64)");
  EXPECT_THROW(VoVarToInt(TVoVariant(u"inf")), EVoException);
}

TEST(VoVarTo, BooleanFloatAndDateRules) {
  EXPECT_TRUE(VoVarToBool(TVoVariant(u"TRUE")));
  EXPECT_TRUE(VoVarToBool(TVoVariant(u"2")));
  EXPECT_TRUE(VoVarToBool(TVoVariant(0.5)));
  EXPECT_RAISES(VoVarToBool(TVoVariant(u"yes")), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (OleStr) into type (Boolean)");
  EXPECT_EQ(VoVarToFloat(TVoVariant(u"1.5e3")), 1500.0);
  EXPECT_EQ(VoVarToFloat(TVoVariant(uint64_t(1) << 63)), 9223372036854775808.0);
  EXPECT_THROW(VoVarToFloat(TVoVariant(u"1,5")), EVoException);
  EXPECT_EQ(VoVarToDateTime(TVoVariant(u"2023-05-01T10:00:00")), EncodeDateTime(2023, 5, 1, 10, 0, 0, 0));
  EXPECT_RAISES(VoVarToDateTime(TVoVariant(u"1.5.2023")), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (OleStr) into type (Date)");
}

TEST(VarAsType, ConvertsChecksRangesAndRoundTripsThroughText) {
  EXPECT_EQ(VarAsType(TVoVariant(u"12"), varSmallint), TVoVariant(int16_t(12)));
  EXPECT_EQ(VarAsType(TVoVariant(1.5), varCurrency), TVoVariant(TVoCurrency{15000}));
  EXPECT_EQ(TVoVariant::FromCurrency(0.00005).Currency().Scaled, 0);  // half to even
  EXPECT_EQ(VarAsType(TVoVariant(TVoCurrency{15000}), varDouble), TVoVariant(1.5));
  EXPECT_EQ(VarAsType(TVoVariant(255), varByte), TVoVariant(uint8_t(255)));
  EXPECT_EQ(VarAsType(TVoVariant(), varInteger), TVoVariant(0));
  EXPECT_EQ(VarAsType(TVoVariant(u"18446744073709551615"), varUInt64).VarType(), varUInt64);
  EXPECT_RAISES(VarAsType(TVoVariant(256), varByte), EVoException, DISP_E_OVERFLOW,
                u"Overflow while converting variant of type (Integer) into type (Byte)");
  EXPECT_RAISES(VarAsType(TVoVariant(1e300), varSingle), EVoException, DISP_E_OVERFLOW,
                u"Overflow while converting variant of type (Double) into type (Single)");
  EXPECT_RAISES(VarAsType(TVoVariant::Null(), varInteger), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (Null) into type (Integer)");
  EXPECT_RAISES(VarAsType(TVoVariant(1), varUnknown), EVoException, DISP_E_TYPEMISMATCH,
                u"Could not convert variant of type (Integer) into type (Unknown)");
  for (const TVoVariant& v : {TVoVariant(-123), TVoVariant(0.1), TVoVariant(1e-7), TVoVariant(TVoCurrency{-123456789}),
                              TVoVariant(true), TVoVariant::FromDate(EncodeDateTime(2024, 2, 29, 23, 59, 59, 1))}) {
    EXPECT_EQ(VarAsType(VarAsType(v, varOleStr), v.VarType()), v) << VoVarToStr(v).size();
  }
}

}  // namespace
