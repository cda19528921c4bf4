// Draws a subtitle into a video frame: up to three centred lines near the
// bottom edge, split or shrunk to fit, with inline styles and a dark outline.
// Needs a running QGuiApplication (Qt's offscreen platform will do).
#pragma once

#include <string>
#include <vector>

#include "options/subtitle_settings.h"
#include "options/subtitle_text.h"

class QPainter;
class QFont;

namespace vidora {

class TBitmap;

struct TSubtitleLine {
  TText Text;        // without its tags
  TTextStyle Style;  // name, colour and style it is drawn in
  int X = 0, Y = 0;  // top left of the text
  int Width = 0;
};

struct TSubtitleLayout {
  std::vector<TSubtitleLine> Lines;
  int FontHeight = 0;  // character height in pixels
  int BlockX = 0, BlockY = 0, BlockWidth = 0, BlockHeight = 0;
  int Outline = 0;     // 0: no outline
  bool Boxes = false;  // each line on a black box
};

// The drawn subtitle over a transparent band of the frame, premultiplied
// 0xAARRGGBB, so that later frames only blend it in.
struct TSubtitleOverlay {
  int Top = 0, Width = 0, Rows = 0;
  std::vector<uint32_t> Pixels;
};

class TSubtitleRenderer {
 public:
  TSubtitleRenderer(const TSubtitleSettings& settings, const TWorkingFont& font)
      : FSettings(settings), FFont(font) {}

  // Lays the text out on a frame of that shape as it is shown: `frameWidth`
  // counts square pixels.
  TSubtitleLayout Layout(const TText& text, int frameWidth, int frameHeight) const;
  // Draws the layout over a band of a frame `frameWidth` pixels wide whose
  // pixels are shown `pixelAspect` times as wide as high.
  TSubtitleOverlay Render(const TSubtitleLayout& layout, int frameWidth, int frameHeight, double pixelAspect = 1) const;
  // Draws into a 24- or 32-bit frame; other depths are left alone.
  void Draw(const TSubtitleLayout& layout, TBitmap& frame) const;
  // Lays out and draws `text` for frames of this size and pixel shape, unless
  // it is the one prepared last; frames then only blend it in.
  void Prepare(const TText& text, int frameWidth, int frameHeight, double pixelAspect);
  void PiszTXT(const TText& text, TBitmap& frame);

 private:
  const TSubtitleSettings& FSettings;
  const TWorkingFont& FFont;
  TText FLastText;
  int FLastWidth = -1, FLastHeight = -1;
  double FLastAspect = 0;
  TSubtitleOverlay FLastOverlay;
};

void BlendOverlay(const TSubtitleOverlay& overlay, TBitmap& frame);

// One line in `color` over four black copies `outline` pixels apart, in
// `font` with its family replaced by `fontName`.
void DrawAATextDIVX(QPainter& canvas, QFont font, int x, const TText& text, const std::string& fontName,
                    uint32_t color, int outline, int y, bool box);

}  // namespace vidora
