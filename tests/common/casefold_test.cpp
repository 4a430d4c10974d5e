#include "orba/common/casefold.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(CaseFold, ComparesLettersOfSeveralScripts) {
  EXPECT_TRUE(VoSameText(u"Software\\Clients", u"SOFTWARE\\clients"));
  EXPECT_TRUE(VoSameText(u"\u00E4\u00F6\u00FC", u"\u00C4\u00D6\u00DC"));
  EXPECT_TRUE(VoSameText(u"\u0101\u013A\u0151", u"\u0100\u0139\u0150"));  // Latin Extended-A
  EXPECT_TRUE(VoSameText(u"\u03B1\u0436\u0451", u"\u0391\u0416\u0401"));  // Greek, Cyrillic
  EXPECT_FALSE(VoSameText(u"a", u"ab"));
  EXPECT_FALSE(VoSameText(u"\u00F7", u"\u00D7"));  // division and multiplication signs
  EXPECT_EQ(VoFoldCase(u"Wow6432Node"), u"WOW6432NODE");
}

TEST(CaseFold, SpecialLetters) {
  EXPECT_EQ(VoFoldChar(u'\u00FF'), u'\u0178');                                        // y with diaeresis
  EXPECT_TRUE(VoSameText(u"\u03BF\u03B4\u03BF\u03C2", u"\u039F\u0394\u039F\u03A3"));  // final sigma
  EXPECT_EQ(VoFoldChar(u'\u0131'), u'\u0131');                                        // dotless i stays
  EXPECT_FALSE(VoSameText(u"\u0131", u"\u0130"));                                     // and is not the dotted capital
  EXPECT_EQ(VoFoldChar(u'\u0138'), u'\u0138');                                        // kra has no capital
  EXPECT_EQ(VoFoldChar(u'\u017E'), u'\u017D');                                        // z with caron
  EXPECT_EQ(VoFoldChar(u'\u0148'), u'\u0147');                                        // n with caron
  EXPECT_EQ(VoFoldChar(u'\u00F7'), u'\u00F7');                                        // division sign
}

TEST(CaseFold, MatchesWildcardMasks) {
  EXPECT_TRUE(VoMatchesMask(u"MSMAPI32.DLL", u"msmapi32.dll"));
  EXPECT_TRUE(VoMatchesMask(u"olmapi32.dll", u"*.DLL"));
  EXPECT_TRUE(VoMatchesMask(u"a.b.c", u"*.c"));
  EXPECT_TRUE(VoMatchesMask(u"abc", u"a?c"));
  EXPECT_TRUE(VoMatchesMask(u"", u"*"));
  EXPECT_TRUE(VoMatchesMask(u"aXbXc", u"a*b*c"));
  EXPECT_FALSE(VoMatchesMask(u"abc", u"a?"));
  EXPECT_FALSE(VoMatchesMask(u"msmapi32.dll.bak", u"msmapi32.dll"));
  EXPECT_FALSE(VoMatchesMask(u"ab", u"a*c"));
}

}  // namespace
}  // namespace orba
