#include <gtest/gtest.h>

#include "options/subtitle_renderer.h"
#include "subtitle_test_support.h"

namespace vidora::test {
namespace {

struct Renderer {
  TSubtitleSettings Settings;
  TWorkingFont Font;
  TSubtitleRenderer Draw{Settings, Font};
};

TEST(SubtitleRenderer, LayoutNearTheBottomWithAutomaticHeight) {
  Renderer r;
  TSubtitleLayout one = r.Draw.Layout(U"Hello", 176, 144);
  EXPECT_EQ(one.FontHeight, 14) << "10 % of the frame height";
  ASSERT_EQ(one.Lines.size(), 1u);
  EXPECT_EQ(one.BlockHeight, 14 + 15);
  EXPECT_EQ(one.BlockY, 114) << "115 - 1.15, rounded";
  EXPECT_EQ(one.Lines[0].Y, 115);
  EXPECT_EQ(one.BlockX, 88 - one.BlockWidth / 2);
  EXPECT_EQ(one.Lines[0].X, one.BlockX + (one.BlockWidth - one.Lines[0].Width) / 2 + 1);
  EXPECT_EQ(one.Outline, 4);

  r.Settings.SetNapisBottom(50);
  r.Settings.SetFontSize(40);
  TSubtitleLayout three = r.Draw.Layout(U"a|b|c", 176, 144);
  EXPECT_EQ(three.FontHeight, 20) << "half the font size is more than 10 % of the frame";
  EXPECT_EQ(three.BlockHeight, 3 * 20 + 15);
  EXPECT_EQ(three.BlockY, 34) << "69 - 34.5 = 34.5: halves go to even";
  EXPECT_EQ(three.Lines[2].Y, 34 + 1 + 2 * 23);

  r.Settings.FontAutoHeight = false;
  EXPECT_EQ(r.Draw.Layout(U"x", 176, 144).FontHeight, 27) << "the working font's own height";
}

TEST(SubtitleRenderer, WideLinesAreSplitThenShrunk) {
  Renderer r;
  TText line = U"no punctuation in the middle of this rather long line of text";
  TSubtitleLayout split = r.Draw.Layout(line, 176, 144);
  ASSERT_GE(split.Lines.size(), 2u);
  TText joined;
  for (const TSubtitleLine& l : split.Lines) {
    joined += l.Text;
    EXPECT_LE(l.Width, 176 - 2 * 8) << "4 % of the width clear on each side";
  }
  EXPECT_EQ(joined, line) << "the blanks stay at the ends of the parts";

  r.Settings.IQDziel = false;
  TSubtitleLayout shrunk = r.Draw.Layout(U"no punctuation in the middle here", 176, 144);
  ASSERT_EQ(shrunk.Lines.size(), 1u);
  EXPECT_LT(shrunk.FontHeight, 14);
  EXPECT_LE(shrunk.BlockWidth - 25, 168);

  // A line that never fits stops shrinking at 6 points.
  TSubtitleLayout tiny = r.Draw.Layout(TText(200, U'W'), 176, 144);
  EXPECT_EQ(tiny.FontHeight, 8);
  EXPECT_GT(tiny.Lines[0].Width, 168);

  r.Settings.IQZmniejsz = false;
  EXPECT_EQ(r.Draw.Layout(line, 176, 144).FontHeight, 14) << "neither split nor shrunk";
}

TEST(SubtitleRenderer, TagsAreNeitherMeasuredNorSplit) {
  Renderer r;
  TSubtitleLayout plain = r.Draw.Layout(U"Red SubRip", 176, 144);
  TSubtitleLayout tagged = r.Draw.Layout(U"<font color=\"#FF0000\">Red SubRip</font>", 176, 144);
  ASSERT_EQ(tagged.Lines.size(), 1u);
  EXPECT_EQ(tagged.Lines[0].Text, U"Red SubRip");
  EXPECT_EQ(tagged.FontHeight, plain.FontHeight);
  EXPECT_EQ(tagged.BlockWidth, plain.BlockWidth);

  // A line that fits as drawn keeps its size and stays whole, tags or not.
  TText fits = U"Some words that fit";
  TSubtitleLayout bare = r.Draw.Layout(fits, 176, 144);
  ASSERT_EQ(bare.Lines.size(), 1u);
  ASSERT_EQ(bare.FontHeight, 14);
  for (const TText& tags : {TText(U"{c:$0000FF}"), TText(U"{y:i}"), TText(U"{c:$0000FF}{y:b}")}) {
    TSubtitleLayout styled = r.Draw.Layout(tags + fits, 176, 144);
    ASSERT_EQ(styled.Lines.size(), 1u) << EncodeUtf8(tags);
    EXPECT_EQ(styled.Lines[0].Text, fits);
    EXPECT_EQ(styled.FontHeight, 14) << EncodeUtf8(tags);
  }

  // Split pieces keep the style of their line.
  TSubtitleLayout split = r.Draw.Layout(U"{c:$0000FF}{y:i}no punctuation in the middle of this rather long line", 176, 144);
  ASSERT_GE(split.Lines.size(), 2u);
  for (const TSubtitleLine& line : split.Lines) {
    EXPECT_EQ(line.Style.Color, 0x0000FFu);
    EXPECT_EQ(line.Style.Style, fsItalic);
    EXPECT_EQ(line.Text.find(U'{'), TText::npos);
  }
}

TEST(SubtitleRenderer, NoEmptyRows) {
  Renderer r;
  TText trailing = U"Hi " + TText(40, U'A') + U" ";
  TSubtitleLayout layout = r.Draw.Layout(trailing, 176, 144);
  for (const TSubtitleLine& line : layout.Lines) EXPECT_FALSE(line.Text.empty());
  EXPECT_EQ(layout.Lines.size(), 1u) << "no split point: shrunk instead";
  EXPECT_EQ(r.Draw.Layout(U"Top||", 176, 144).Lines.size(), 1u);

  TSubtitleLayout nothing = r.Draw.Layout(U"", 176, 144);
  EXPECT_TRUE(nothing.Lines.empty());
  TBitmap frame;
  MakeGrey(frame, 176, 144);
  r.Draw.PiszTXT(U"", frame);
  r.Draw.PiszTXT(U"{y:i}", frame);
  EXPECT_EQ(CountPixels(frame, 0, 144).Changed, 0) << "an empty text draws nothing";
}

TEST(SubtitleRenderer, EachLineHasItsOwnStyleAndColour) {
  Renderer r;
  TSubtitleLayout layout = r.Draw.Layout(U"{c:$0000FF}Red|{y:i}Slanted|Third", 320, 240);
  ASSERT_EQ(layout.Lines.size(), 3u);
  EXPECT_EQ(layout.Lines[0].Style.Color, 0x0000FFu);
  EXPECT_EQ(layout.Lines[0].Style.Style, 0);
  EXPECT_EQ(layout.Lines[1].Text, U"Slanted");
  EXPECT_EQ(layout.Lines[1].Style.Style, fsItalic);
  EXPECT_EQ(layout.Lines[1].Style.Color, clWhite) << "a lower-case MicroDVD code holds for its own line";
  EXPECT_EQ(layout.Lines[2].Style.Style, 0);

  // A tag holds for the span it opens and closes; upper-case codes for the whole subtitle.
  auto styles = [&](const TText& text) {
    std::vector<std::pair<uint8_t, uint32_t>> drawn;
    for (const TSubtitleLine& line : r.Draw.Layout(text, 320, 240).Lines) drawn.emplace_back(line.Style.Style, line.Style.Color);
    return drawn;
  };
  using TStyles = std::vector<std::pair<uint8_t, uint32_t>>;
  EXPECT_EQ(styles(U"<i>One</i>|Two"), (TStyles{{fsItalic, clWhite}, {0, clWhite}}));
  EXPECT_EQ(styles(U"<i>One|Two</i>|Three"), (TStyles{{fsItalic, clWhite}, {fsItalic, clWhite}, {0, clWhite}}));
  EXPECT_EQ(styles(U"<b>One</b>|Two"), (TStyles{{fsBold, clWhite}, {0, clWhite}}));
  EXPECT_EQ(styles(U"{y:b}One|Two"), (TStyles{{fsBold, clWhite}, {0, clWhite}}));
  EXPECT_EQ(styles(U"{Y:I}One|Two"), (TStyles{{fsItalic, clWhite}, {fsItalic, clWhite}}));
  EXPECT_EQ(styles(U"<font color=\"#FF0000\">Red</font>|White"), (TStyles{{0, 0x0000FFu}, {0, clWhite}}));
  EXPECT_EQ(styles(U"<font color=\"#FF0000\">Red|still red</font>"), (TStyles{{0, 0x0000FFu}, {0, 0x0000FFu}}));
  EXPECT_EQ(styles(U"{C:$0000FF}Red|Red too"), (TStyles{{0, 0x0000FFu}, {0, 0x0000FFu}}));

  TBitmap frame;
  MakeGrey(frame, 320, 240);
  r.Draw.Draw(r.Draw.Layout(U"{c:$0000FF}Red text", 320, 240), frame);
  EXPECT_GT(CountPixels(frame, 0, 240).Red, 30);
  MakeGrey(frame, 320, 240);
  r.Draw.Draw(r.Draw.Layout(U"<font color=\"#FF0000\">Red text</font>", 320, 240), frame);
  EXPECT_GT(CountPixels(frame, 0, 240).Red, 30);
}

TEST(SubtitleRenderer, TypesDifferInOutlineAndBox) {
  TBitmap transparent, opaqueFrame, boxed, xp;
  auto render = [](int type, TBitmap& frame) {
    Renderer r;
    r.Settings.SetFontType(type);
    MakeGrey(frame, 320, 240);
    TSubtitleLayout layout = r.Draw.Layout(U"Outline test", 320, 240);
    r.Draw.Draw(layout, frame);
    return layout;
  };
  TSubtitleLayout layout = render(0, transparent);
  TPixelCount zero = CountPixels(transparent, 0, 240);
  EXPECT_EQ(CountPixels(transparent, 0, layout.BlockY).Changed, 0) << "nothing above the block";
  EXPECT_GT(zero.Bright, 50);
  EXPECT_GT(zero.Dark, 50) << "a dark outline";

  render(1, opaqueFrame);
  TPixelCount opaque = CountPixels(opaqueFrame, 0, 240);
  EXPECT_GT(opaque.Bright, 50);
  EXPECT_EQ(opaque.Dark, 0) << "no outline";

  TSubtitleLayout boxedLayout = render(2, boxed);
  const TSubtitleLine& line = boxedLayout.Lines[0];
  const uint8_t* corner = boxed.ScanLine(line.Y + 1) + 3 * (line.X + 1);
  EXPECT_LT(corner[0] + corner[1] + corner[2], 30) << "the line sits on a black box";
  EXPECT_EQ(boxedLayout.Outline, 0);
  const uint8_t* open = transparent.ScanLine(line.Y + 1) + 3 * (line.X + 1);
  EXPECT_EQ(open[0], 128) << "type 0 leaves the box's corner alone";

  render(3, xp);
  EXPECT_EQ(std::memcmp(xp.Bits(), transparent.Bits(), static_cast<size_t>(xp.Stride()) * 240), 0)
      << "type 3 is drawn as type 0";
}

TEST(SubtitleRenderer, FramesOfOtherDepthsAreLeftAlone) {
  Renderer r;
  TBitmap frame(64, 48, 16);
  std::memset(frame.Bits(), 0x55, static_cast<size_t>(frame.Stride()) * 48);
  r.Draw.PiszTXT(U"Text", frame);
  for (int i = 0; i < frame.Stride() * 48; ++i) ASSERT_EQ(frame.Bits()[i], 0x55);
  TBitmap bgra(320, 240, 32);
  std::memset(bgra.Bits(), 128, static_cast<size_t>(bgra.Stride()) * 240);
  r.Draw.PiszTXT(U"Text", bgra);
  int bright = 0;
  for (int i = 0; i < bgra.Stride() * 240; i += 4) bright += bgra.Bits()[i] > 200 && bgra.Bits()[i + 2] > 200;
  EXPECT_GT(bright, 20);
}

}  // namespace
}  // namespace vidora::test
