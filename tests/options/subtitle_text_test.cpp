#include <gtest/gtest.h>

#include "options/subtitle_text.h"

namespace vidora::test {
namespace {

TEST(SubtitleText, DisplayTimesFollowLengthQueueAndGap) {
  TSubtitleSettings s;
  EXPECT_EQ(DisplayTime(s, TText(10, U'a'), 1, 0), 800) << "600 ms is raised to the floor";
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 1, 0), 2400);
  EXPECT_EQ(DisplayTime(s, TText(255, U'a'), 1, 0), 5500) << "the ceiling";
  TText web = U"see www.vidora3gp.example" + TText(75, U'x');
  ASSERT_EQ(web.size(), 100u);
  EXPECT_EQ(DisplayTime(s, web, 1, 0), 1500);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 2, 0), 1800) << "three quarters when another one waits";
  s.SetIQTime(2500);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 1, 0), 1500);

  // Before a long pause a subtitle stays longer, but stops short of the next one.
  s.SetIQTime(4000);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 1, 10000), 4800);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 1, 3500), 3100);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 1, 2900), 2400) << "the gap is not 500 ms longer";
  EXPECT_EQ(DisplayTime(s, TText(255, U'a'), 1, 60000), 8000);
  EXPECT_EQ(DisplayTime(s, TText(40, U'a'), 2, 10000), 1800) << "not with another one waiting";

  // Tags are not drawn, so they take no time.
  EXPECT_EQ(DisplayTime(s, U"<font color=\"#FF0000\">Red words</font>", 1, 0), 800);
  EXPECT_EQ(DisplayTime(s, U"{c:$0000FF}{y:i}" + TText(40, U'a'), 1, 0), 2400);

  s.IQText = false;
  s.SetNapisyCzas(2.5);
  EXPECT_EQ(DisplayTime(s, TText(255, U'a'), 3, 60000), 2500) << "the fixed time";
}

TEST(SubtitleText, DisplayLinesAtBarsThenBackslashN) {
  using L = std::vector<TText>;
  EXPECT_EQ(SplitDisplayLines(U"one"), L{U"one"});
  EXPECT_EQ(SplitDisplayLines(U"a|b"), (L{U"a", U"b"}));
  EXPECT_EQ(SplitDisplayLines(U"a|b|c|d"), (L{U"a", U"b", U"c d"})) << "a third separator becomes a blank";
  EXPECT_EQ(SplitDisplayLines(U"a\\Nb\\Nc"), (L{U"a", U"b", U"c"}));
  EXPECT_EQ(SplitDisplayLines(U"a|b\\Nc"), (L{U"a", U"b", U"c"}));
  EXPECT_EQ(SplitDisplayLines(U"a|"), (L{U"a"})) << "no empty display line";
  EXPECT_EQ(SplitDisplayLines(U"|a| |b\\N\\Nc"), (L{U"a", U"b", U"c"}));
  EXPECT_TRUE(SplitDisplayLines(U"").empty());
  EXPECT_EQ(SplitDisplayLines(TText(300, U'x') + U"|y")[0].size(), 255u);
}

TEST(SubtitleText, SplitPointsHalveTheLinePreferringTheEndOfAPhrase) {
  //                       1234567890123456789012345678901234
  EXPECT_EQ(FindSplitPoint(U"I was there... and then, I left."), 16) << "after the ..., in the middle third";
  EXPECT_EQ(FindSplitPoint(U"Well, I was there, and I left it"), 20) << "not after the comma near the start";
  EXPECT_EQ(FindSplitPoint(U"We came home. Then we all ate"), 15);
  EXPECT_EQ(FindSplitPoint(U"no punctuation in the middle of this line"), 23) << "the blank nearest the middle";
  EXPECT_EQ(FindSplitPoint(U"abcdefghijklmnopqrstuvwxyz"), 0) << "one word is shrunk, not cut";
  EXPECT_EQ(FindSplitPoint(U"ab"), 0);
  EXPECT_EQ(FindSplitPoint(U"...,,,"), 0);
  EXPECT_EQ(FindSplitPoint(U"Hi AAAAAAAAAAAAAAAAAAAAAAAA "), 0) << "less than a quarter on one side";
  EXPECT_EQ(FindSplitPoint(U"Hi AAAAAAAAAAAAAAAAAAAAAAAA   "), 0);
  EXPECT_EQ(FindSplitPoint(U"abc"), 0) << "nothing before the split point";
}

TEST(SubtitleText, StyleTagsSetStyleColourAndFont) {
  TWorkingFont working;
  working.Style = fsUnderline;
  TTextStyle style{"", clWhite, fsBold};
  EXPECT_EQ(ApplyStyleTags(U"{Y:I}Hello", true, working, style), U"Hello");
  EXPECT_EQ(style.Style, fsItalic);
  EXPECT_EQ(style.FontName, "Arial");
  EXPECT_EQ(ApplyStyleTags(U"Plain", true, working, style), U"Plain");
  EXPECT_EQ(style.Style, fsUnderline) << "the first line returns to the working style";
  EXPECT_EQ(ApplyStyleTags(U"{y: b}Bold", false, working, style), U"Bold");
  EXPECT_EQ(style.Style, fsBold);
  EXPECT_EQ(ApplyStyleTags(U"Next", false, working, style), U"Next");
  EXPECT_EQ(style.Style, fsBold) << "later lines keep what the lines above set";
  EXPECT_EQ(ApplyStyleTags(U"<i>Slanted</i>", true, working, style), U"Slanted");
  EXPECT_EQ(style.Style, fsItalic);
  EXPECT_EQ(ApplyStyleTags(U"{Y:U}Under", true, working, style), U"Under");
  EXPECT_EQ(style.Style, fsUnderline);
  EXPECT_EQ(ApplyStyleTags(U"Half {Y:I}way", true, working, style), U"Half way") << "a marker later on goes";
  EXPECT_EQ(style.Style, fsUnderline);
  EXPECT_EQ(ApplyStyleTags(U"/MPL2 italic", true, working, style), U"MPL2 italic");
  EXPECT_EQ(style.Style, fsItalic);
  EXPECT_EQ(ApplyStyleTags(U"and/or", true, working, style), U"and/or") << "a slash in the text stays";

  EXPECT_EQ(ApplyStyleTags(U"{c:$0000FF}Red text", true, working, style), U"Red text");
  EXPECT_EQ(style.Color, 0x0000FFu) << "blue, green, red: red";
  EXPECT_EQ(ApplyStyleTags(U"<font color=\"#FF0000\">Red</font> kept", true, working, style), U"Red kept");
  EXPECT_EQ(style.Color, 0x0000FFu) << "red, green, blue: red as well";
  EXPECT_EQ(ApplyStyleTags(U"<FONT COLOR=\"#00FF00\">Green", true, working, style), U"Green");
  EXPECT_EQ(style.Color, 0x00FF00u);
  style.Color = clWhite;
  EXPECT_EQ(ApplyStyleTags(U"{C:$ZZ00FF}Bad", true, working, style), U"Bad");
  EXPECT_EQ(ApplyStyleTags(U"{C:$00F", true, working, style), U"{C:$00F") << "cut short";
  EXPECT_EQ(style.Color, clWhite);
  EXPECT_EQ(ApplyStyleTags(U"{c:$FF0000}{c:$00FF00}Two", true, working, style), U"Two");
  EXPECT_EQ(style.Color, 0xFF0000u) << "only the first colour tag counts";

  EXPECT_EQ(ApplyStyleTags(U"{f:Tahoma}Other font", true, working, style), U"Other font");
  EXPECT_EQ(style.FontName, "Tahoma");
  EXPECT_EQ(ApplyStyleTags(U"line 2", false, working, style), U"line 2");
  EXPECT_EQ(style.FontName, "Tahoma") << "kept below the first line";
  EXPECT_EQ(ApplyStyleTags(U"{F:never ends", true, working, style), U"{F:never ends");
  EXPECT_EQ(style.FontName, "Arial");
}

TEST(SubtitleText, NoMarkupIsDrawn) {
  TWorkingFont working;
  TTextStyle style;
  EXPECT_EQ(ApplyStyleTags(U"<b>Bold</b> and <u>under</u>, <s>struck</s>", true, working, style),
            U"Bold and under, struck");
  EXPECT_EQ(style.Style, fsBold);
  EXPECT_EQ(ApplyStyleTags(U"<U>Under</U> <span class=\"x\">line</span><br/>", true, working, style), U"Under line");
  EXPECT_EQ(style.Style, fsUnderline);
  EXPECT_EQ(ApplyStyleTags(U"<s>Struck</s>", true, working, style), U"Struck");
  EXPECT_EQ(style.Style, fsStrikeOut);
  EXPECT_EQ(ApplyStyleTags(U"{\\an8}Top{\\fs20\\c&HFF&} text{\\r}", true, working, style), U"Top text");
  EXPECT_EQ(ApplyStyleTags(U"{s:20}{P:0,10}Sized {o:1,2}text", true, working, style), U"Sized text");
  EXPECT_EQ(ApplyStyleTags(U"- <i>Who?</i>", true, working, style), U"- Who?");
  EXPECT_EQ(style.Style, fsItalic);
  EXPECT_EQ(ApplyStyleTags(U"I <3 you, a < b > c {smile} {\\open", true, working, style),
            U"I <3 you, a < b > c {smile} {\\open")
      << "what is no tag is text";
}

}  // namespace
}  // namespace vidora::test
