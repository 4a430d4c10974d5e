#include "orba/common/casefold.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(CaseFold, ComparesLettersOfSeveralScripts) {
  EXPECT_TRUE(VoSameText(u"Software\\Clients", u"SOFTWARE\\clients"));
  EXPECT_TRUE(VoSameText(u"\u00E4\u00F6\u00FC", u"\u00C4\u00D6\u00DC"));
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
}

}  // namespace
}  // namespace orba
