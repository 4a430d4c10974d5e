#include "orba/common/textparser.h"

#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/common/com.h"

namespace {

using orba::TVoTextParser;

TEST(TextParser, WalksAndPeeksWithinBounds) {
  TVoTextParser p(u"ab");
  EXPECT_EQ(p.NextChar(), u'a');
  EXPECT_EQ(p.NextChar(), u'b');
  EXPECT_TRUE(p.Eof());
  EXPECT_EQ(p.NextChar(), 0);
  TVoTextParser hello(u"hello");
  hello.Skip(1);
  EXPECT_EQ(hello.PeekChar(), u'l');
  EXPECT_EQ(hello.PeekChar(-1), u'h');
  EXPECT_EQ(hello.PeekChar(-2), 0);
  EXPECT_EQ(hello.PeekString(100), u"ello");
}

TEST(TextParser, SkipWhileAndUntil) {
  TVoTextParser p(u"  \tkey = value;");
  EXPECT_EQ(p.SkipWhile(u" \t"), 3u);
  p.SetMark();
  EXPECT_EQ(p.SkipWhile([](char16_t c) { return c >= u'a' && c <= u'z'; }), 3u);
  EXPECT_EQ(p.Selected(), u"key");
  EXPECT_EQ(p.SkipUntil(u"="), 1u);
  EXPECT_EQ(p.SkipUntil([](char16_t c) { return c == u';'; }), 7u);
  EXPECT_EQ(p.SkipUntil(u"#"), 1u);  // not found: stops at the end
  EXPECT_TRUE(p.Eof());
}

TEST(TextParser, MarksSelectTextAndPositionsStayInTheText) {
  TVoTextParser p(u"<b>bold</b>");
  p.Skip(3);
  p.SetMark();
  p.SkipUntil(u"<");
  EXPECT_EQ(p.Selected(), u"bold");
  p.SetPosition(1);  // before the mark
  EXPECT_EQ(p.Selected(), u"b>");
  p.ClearMark();
  EXPECT_EQ(p.Selected(), u"");
  TVoTextParser abc(u"abc");
  abc.SetPosition(3);
  EXPECT_TRUE(abc.Eof());
  EXPECT_EQ(::orba::test::CodeOf([&] { abc.SetPosition(4); }), E_INVALIDARG);
  EXPECT_EQ(abc.Position(), 3u);
}

TEST(TextParser, NextIsIgnoresCase) {
  TVoTextParser p(u"<HTML><Body>\u00C4rger");
  EXPECT_TRUE(p.NextIs(u"<html>"));
  EXPECT_TRUE(p.SkipText(u"<Html>"));
  EXPECT_EQ(p.Position(), 6u);
  EXPECT_TRUE(p.SkipText(u"<BODY>"));
  EXPECT_TRUE(p.NextIs(u"\u00E4RGER"));
  EXPECT_FALSE(p.NextIs(u"\u00E4rger and more"));  // longer than what is left
  p.Skip(100);
  EXPECT_FALSE(p.NextIs(u"x"));
  TVoTextParser times(u"\u00D7");
  EXPECT_FALSE(times.NextIs(u"\u00F7"));  // the multiplication sign is no letter
}

}  // namespace
