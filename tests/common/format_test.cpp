#include "orba/common/format.h"

#include <gtest/gtest.h>

#include <cmath>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

using orba::Format;
using orba::WideString;

namespace {

std::string U8(const WideString& s) { return orba::ToUtf8(s); }

// Expects Format to refuse fmt with Delphi's conversion error text.
void ExpectRefused(std::u16string_view fmt, std::initializer_list<orba::TVarRec> args) {
  try {
    Format(fmt, args);
    ADD_FAILURE() << "no error for " << U8(WideString(fmt));
  } catch (const orba::EConvertError& e) {
    EXPECT_EQ(U8(e.Message()), "Format '" + U8(WideString(fmt)) + "' invalid or incompatible with argument");
    EXPECT_EQ(e.Code(), static_cast<int32_t>(0x80070057));
  }
}

TEST(FormatText, StringsOfEveryKindWidthPrecisionAndLeftJustify) {
  EXPECT_EQ(Format(u"100%% sure", {}), u"100% sure");
  EXPECT_EQ(Format(u"%D %S %X", {12, u"s", 255}), u"12 s FF");  // conversion characters ignore case
  WideString wide = u"wide";
  orba::AnsiString ansi = "ansi";
  EXPECT_EQ(Format(u"%s|%s|%s|%s", {u"literal", wide, std::u16string_view(u"view"), ansi}), u"literal|wide|view|ansi");
  EXPECT_EQ(Format(u"[%s]", {"gr\xC3\xBC\xC3\x9F"}), u"[gr\u00FC\u00DF]");  // UTF-8 widened
  EXPECT_EQ(Format(u"[%s][%s]", {static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)}), u"[][]");
  EXPECT_EQ(Format(u"[%6s]", {u"ab"}), u"[    ab]");
  EXPECT_EQ(Format(u"[%-6s]", {u"ab"}), u"[ab    ]");
  EXPECT_EQ(Format(u"[%.3s]", {u"abcdef"}), u"[abc]");
  EXPECT_EQ(Format(u"[%-*.*s]", {5, 2, u"abc"}), u"[ab   ]");
  EXPECT_EQ(Format(u"[%*d]", {-3, 7}), u"[7]");  // a negative width pads nothing
}

TEST(FormatIntegers, DecimalUnsignedHexAndPointers) {
  EXPECT_EQ(Format(u"%d", {-42}), u"-42");
  EXPECT_EQ(Format(u"%d", {INT64_MIN}), u"-9223372036854775808");
  EXPECT_EQ(Format(u"%.5d", {-12}), u"-00012");
  EXPECT_EQ(Format(u"[%6.3d]", {7}), u"[   007]");
  EXPECT_EQ(Format(u"%u", {-1}), u"4294967295");
  EXPECT_EQ(Format(u"%x", {0x8004010A}), u"8004010A");
  EXPECT_EQ(Format(u"%d %d %u", {short{-5}, static_cast<unsigned char>(200), uint16_t{65535}}), u"-5 200 65535");
}

TEST(FormatFloats, ExponentFixedGeneralNumberAndMoney) {
  EXPECT_EQ(Format(u"%e", {1000.0}), u"1.00000000000000E+003");
  EXPECT_EQ(Format(u"%.2e", {9.99}), u"1.0E+001");
  EXPECT_EQ(Format(u"%.0f", {2.5}), u"3");  // half away from zero
  EXPECT_EQ(Format(u"%.3f", {-0.0005}), u"-0.001");
  EXPECT_EQ(Format(u"[%8.1f]", {-2.25}), u"[    -2.3]");
  EXPECT_EQ(Format(u"%.2f", {1e20}), u"1.00000000000000000E+020");
  EXPECT_EQ(Format(u"%g", {0.00001}), u"1E-005");
  EXPECT_EQ(Format(u"%g", {1234567890123456.0}), u"1.23456789012346E015");
  EXPECT_EQ(Format(u"%.3g", {1234.0}), u"1.23E003");
  EXPECT_EQ(Format(u"%n", {1234567.891}), u"1,234,567.89");
  EXPECT_EQ(Format(u"%m", {-3.0}), u"(\u00A43.00)");
  EXPECT_EQ(Format(u"%f %e %g", {NAN, INFINITY, -INFINITY}), u"NAN INF -INF");
  const void* p = reinterpret_cast<const void*>(uintptr_t{0xBEEF});
  EXPECT_EQ(Format(u"%p", {p}), WideString(sizeof(void*) * 2 - 4, u'0') + u"BEEF");
  EXPECT_EQ(Format(u"%p", {nullptr}), WideString(sizeof(void*) * 2, u'0'));
}

TEST(FormatIndexes, IndexSetsThePositionForLaterSpecifiers) {
  EXPECT_EQ(Format(u"%2:s %1:s %0:s", {u"1st", u"2nd", u"3rd"}), u"3rd 2nd 1st");
  EXPECT_EQ(Format(u"%d %d %0:d %d", {1, 2}), u"1 2 1 2");
  EXPECT_EQ(Format(u"%1:s %s", {u"a", u"b", u"c"}), u"b c");
  EXPECT_EQ(Format("%s=%d", {"k\xC3\xA9", 5}), "k\xC3\xA9=5");  // the eight-bit overload
  EXPECT_EQ(Format(u"%*:s", {1, u"a", u"b"}), u"a");            // "*" index takes the next argument
}

TEST(FormatErrors, MismatchedOrMissingArgumentsAndMalformedSpecifiers) {
  ExpectRefused(u"%d", {u"text"});
  ExpectRefused(u"%s", {1});
  ExpectRefused(u"%x", {1.0});
  ExpectRefused(u"%p", {1});
  ExpectRefused(u"%d", {true});
  ExpectRefused(u"%*d", {u"w", 1});
  ExpectRefused(u"%s %s", {u"one"});
  ExpectRefused(u"%3:s", {u"a", u"b"});
  ExpectRefused(u"%*d", {5});
  ExpectRefused(u"50%", {});
  ExpectRefused(u"%q", {1});
  ExpectRefused(u"%5-d", {1});
  ExpectRefused(u"%99999999999d", {1});
  ExpectRefused(u"%*:d", {-1, 1});
}

}  // namespace
