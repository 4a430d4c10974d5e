#include "orba/common/regfile.h"

#include <gtest/gtest.h>

#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";

TVoRegKey Apply(const std::string& text) {
  TVoRegKey tree(u"");
  VoApplyRegScript(VoParseRegScript(text, u"test.reg"), tree);
  return tree;
}

WideString ErrorOf(const std::string& text) {
  try {
    VoParseRegScript(text, u"test.reg");
  } catch (const EVoException& e) {
    return e.Message();
  }
  return u"(no error)";
}

TEST(RegFile, ParsesEveryValueForm) {
  TVoRegKey tree = Apply(kHeader +
                         "\n  ; comment\n[HKCU\\Software\\K]   ; trailing comment\n"
                         "@ = \"def\"\n"
                         "\"a\\\"b\\\\c\"=\"x\\\\y\\\"z\"\n"
                         "\"D\"=dword:A\n"
                         "\"Bin\"=hex:01, 02 ,\\\n    03\n"
                         "\"Empty\"=hex:\n"
                         "\"None\"=hex(0):ff\n");
  const TVoRegKey* key = tree.Find({u"HKEY_CURRENT_USER", u"Software", u"K"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Value(u"")->AsString(), u"def");
  EXPECT_EQ(key->Value(u"a\"b\\c")->AsString(), u"x\\y\"z");
  EXPECT_EQ(*key->Value(u"d"), TVoRegValue::DWord(10));
  EXPECT_EQ(key->Value(u"Bin")->Data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(key->Value(u"Empty")->Data.empty());
  EXPECT_EQ(key->Value(u"None")->Type, REG_NONE);
}

TEST(RegFile, DeletesValuesAndKeysAndReadsRegedit4TextAsEightBit) {
  TVoRegKey tree = Apply(kHeader +
                         "[HKLM\\SOFTWARE\\A\\B]\n\"v\"=\"1\"\n\"w\"=\"2\"\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\n\"V\"=-\n"
                         "[HKLM\\SOFTWARE\\C]\n[-HKLM\\SOFTWARE\\c]\n");
  const TVoRegKey* b = tree.Find({u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"A", u"B"});
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Value(u"v"), nullptr);
  EXPECT_NE(b->Value(u"w"), nullptr);
  EXPECT_EQ(tree.Find({u"HKEY_LOCAL_MACHINE", u"SOFTWARE", u"C"}), nullptr);
  TVoRegKey tree4 = Apply("REGEDIT4\n[HKCU\\S]\n\"E\"=hex(2):25,41,25,00\n\"M\"=hex(7):61,00,62,00,00\n");
  const TVoRegKey* key = tree4.Find({u"HKEY_CURRENT_USER", u"S"});
  EXPECT_EQ(key->Value(u"E")->AsString(), u"%A%");
  EXPECT_EQ(key->Value(u"M")->AsMultiString(), (std::vector<WideString>{u"a", u"b"}));
}

TEST(RegFile, RejectsMalformedLinesWithTheirNumber) {
  EXPECT_EQ(ErrorOf(""),
            u"Malformed registry script test.reg, line 1: missing the header "
            u"\"Windows Registry Editor Version 5.00\"");
  EXPECT_EQ(ErrorOf(kHeader + "\"a\"=\"1\"\n"),
            u"Malformed registry script test.reg, line 2: value outside of a key section");
  EXPECT_EQ(ErrorOf(kHeader + "[HKEY_USERS\\x]\n"),
            u"Malformed registry script test.reg, line 2: unknown root key \"HKEY_USERS\"");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x\n"),
            u"Malformed registry script test.reg, line 2: missing \"]\" after the key name");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=\"open\n"),
            u"Malformed registry script test.reg, line 3: missing closing quotation mark");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=\"\\n\"\n"),
            u"Malformed registry script test.reg, line 3: invalid escape sequence in a quoted "
            u"text (only \\\\ and \\\" are allowed)");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=hex:01,\\\n"),
            u"Malformed registry script test.reg, line 4: invalid hex byte \"\"");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=hex:1,\\"),
            u"Malformed registry script test.reg, line 3: hex data continues past the end of "
            u"the script");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=hex(zz):01\n"),
            u"Malformed registry script test.reg, line 3: invalid value type in \"hex(...)\"");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\" \"b\"\n"),
            u"Malformed registry script test.reg, line 3: missing \"=\" after the value name");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=\"b\" c\n"),
            u"Malformed registry script test.reg, line 3: unexpected text after the item: \"c\"");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU\\x]\n\"a\"=qword:1\n"),
            u"Malformed registry script test.reg, line 3: unrecognised value data \"qword:1\"");
  EXPECT_EQ(ErrorOf(kHeader + "[-HKCU]\n"),
            u"Malformed registry script test.reg, line 2: a root key cannot be deleted");
  EXPECT_EQ(ErrorOf(kHeader + "[HKCU]\n@=\"x\"\n"),
            u"Malformed registry script test.reg, line 3: values cannot be stored in a root key");
  EXPECT_EQ(ErrorOf(kHeader + "[-HKCU\\x]\n@=\"x\"\n"),
            u"Malformed registry script test.reg, line 3: value inside a key deletion section");
  EXPECT_EQ(ErrorOf(kHeader + "garbage\n"), u"Malformed registry script test.reg, line 2: unexpected text \"garbage\"");
}

TEST(RegFile, WritesLongDataWrappedAndReadsItBack) {
  TVoRegScript script(1);
  script[0].Key = {u"HKEY_CURRENT_USER", u"Software", u"Long"};
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  script[0].Entries.push_back({u"Data", TVoRegValue::Binary(data)});
  script[0].Entries.push_back({u"Line\"Break", TVoRegValue::String(u"a\r\nb")});
  script[0].Entries.push_back({u"Gone", std::nullopt});
  std::string text = VoWriteRegScript(script);
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t end = text.find('\n', lineStart);
    EXPECT_LE(end - lineStart, 80u);
    lineStart = end + 1;
  }
  EXPECT_NE(text.find("\"Line\\\"Break\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"), std::string::npos);
  EXPECT_NE(text.find("\"Gone\"=-"), std::string::npos);
  TVoRegScript parsed = VoParseRegScript(text, u"w.reg");
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(*parsed[0].Entries[0].Value, TVoRegValue::Binary(data));
  EXPECT_EQ(parsed[0].Entries[1].Value->AsString(), u"a\r\nb");
  EXPECT_FALSE(parsed[0].Entries[2].Value.has_value());
}

}  // namespace
}  // namespace orba
