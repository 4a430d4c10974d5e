#include "orba/common/netencoding.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"

namespace {

using namespace orba;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(HexEncoding, RefusesMalformedText) {
  EXPECT_RAISES(TVoNetEncoding::GetHexDecoding(u"ABC"), EVoException, E_INVALIDARG,
                u"Invalid hexadecimal text: the length 3 is odd");
  EXPECT_RAISES(TVoNetEncoding::GetHexDecoding(u"0G"), EVoException, E_INVALIDARG,
                u"Invalid hexadecimal text: position 2 holds no hexadecimal digit");
  EXPECT_THROW(TVoNetEncoding::GetHexDecoding(u"\uFF10\uFF10"), EVoException);  // full-width 0
}

TEST(UUDecode, KnownVectorsAndToleratedForms) {
  EXPECT_EQ(VoUUDecode("begin 644 cat.txt\n#0V%T\n`\nend\n"), Bytes("Cat"));
  EXPECT_EQ(VoUUDecode("-2&5L;&\\L(%=O<FQD(0  \n"), Bytes("Hello, World!"));
  std::vector<uint8_t> first45;
  for (int i = 0; i < 45; ++i) first45.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(VoUUDecode("M``$\"`P0%!@<(\"0H+#`T.#Q`1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL\n"), first45);
  EXPECT_EQ(VoUUDecode("begin 600 x\r\n$`/\\0@```\r\n`\r\nend\r\n"), (std::vector<uint8_t>{0x00, 0xFF, 0x10, 0x80}));
  // The trailing blanks of "0  " stripped: the two data bytes still have their chars.
  EXPECT_EQ(VoUUDecode("\n\n-2&5L;&\\L(%=O<FQD(0\n"), Bytes("Hello, World!"));
  EXPECT_TRUE(VoUUDecode("begin 644 empty\n`\nend\n").empty());
  // Multi-line body: each line contributes its own length.
  EXPECT_EQ(VoUUDecode("begin 644 a\n#0V%T\n#0V%T\n`\nend\n"), Bytes("CatCat"));
}

TEST(UUDecode, RefusesMalformedLines) {
  EXPECT_RAISES(VoUUDecode("begin 644 a\n#0V\n`\nend\n"), EVoException, E_INVALIDARG,
                u"Invalid uuencoded data in line 2: line too short");
  EXPECT_RAISES(VoUUDecode("#0V%t\n"), EVoException, E_INVALIDARG,
                u"Invalid uuencoded data in line 1: invalid character");
  EXPECT_RAISES(VoUUDecode("begin 644 a\n#0V%T\n"), EVoException, E_INVALIDARG,
                u"Invalid uuencoded data: the \"end\" line is missing");
  EXPECT_THROW(VoUUDecode("M\n"), EVoException);                       // 45 bytes promised
  EXPECT_THROW(VoUUDecode(std::string("#0V\0T\n", 6)), EVoException);  // control character
}

}  // namespace
