#include "orba/common/regfile.h"

#include <gtest/gtest.h>

#include "common/mapierror.h"
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

TEST(RegFile, RejectsMalformedLinesWithTheirNumber) {
  const struct {
    bool header;  // the script starts with kHeader
    std::string script;
    int line;
    const char16_t* text;
  } cases[] = {
      {false, "", 1, u"missing the header \"Windows Registry Editor Version 5.00\""},
      {true, "\"a\"=\"1\"\n", 2, u"value outside of a key section"},
      {true, "[HKEY_USERS\\x]\n", 2, u"unknown root key \"HKEY_USERS\""},
      {true, "[HKCU\\x\n", 2, u"missing \"]\" after the key name"},
      {true, "[HKCU\\x]\n\"a\"=\"open\n", 3, u"missing closing quotation mark"},
      {true, "[HKCU\\x]\n\"a\"=\"\\n\"\n", 3,
       u"invalid escape sequence in a quoted text (only \\\\ and \\\" are allowed)"},
      {true, "[HKCU\\x]\n\"a\"=hex:01,\\\n", 4, u"invalid hex byte \"\""},
      {true, "[HKCU\\x]\n\"a\"=hex:1,\\", 3, u"hex data continues past the end of the script"},
      {true, "[HKCU\\x]\n\"a\"=hex(zz):01\n", 3, u"invalid value type in \"hex(...)\""},
      {true, "[HKCU\\x]\n\"a\" \"b\"\n", 3, u"missing \"=\" after the value name"},
      {true, "[HKCU\\x]\n\"a\"=\"b\" c\n", 3, u"unexpected text after the item: \"c\""},
      {true, "[HKCU\\x]\n\"a\"=qword:1\n", 3, u"unrecognised value data \"qword:1\""},
      {true, "[-HKCU]\n", 2, u"a root key cannot be deleted"},
      {true, "[HKCU]\n@=\"x\"\n", 3, u"values cannot be stored in a root key"},
      {true, "[-HKCU\\x]\n@=\"x\"\n", 3, u"value inside a key deletion section"},
      {true, "garbage\n", 2, u"unexpected text \"garbage\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::MessageOf([&] { VoParseRegScript((c.header ? kHeader : "") + c.script, u"test.reg"); }),
              "Malformed registry script test.reg, line " + std::to_string(c.line) + ": " + ToUtf8(c.text));
  }
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
