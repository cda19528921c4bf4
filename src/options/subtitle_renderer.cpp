#include "options/subtitle_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "media/base/bitmap.h"

namespace vidora {

namespace {

// Below this size a line that still does not fit is left as it is.
constexpr int MinShrinkPoints = 6;

// The least room left between the text and the frame's edges, in percent of its width.
constexpr int EdgeMarginPercent = 4;

// The frame's width as shown, in square pixels.
int ShownWidth(int frameWidth, double pixelAspect) {
  return std::max(1, static_cast<int>(std::lround(frameWidth * pixelAspect)));
}

QString ToQString(const TText& text) {
  return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void SetStyle(QFont& font, uint8_t style) {
  font.setBold(style & fsBold);
  font.setItalic(style & fsItalic);
  font.setUnderline(style & fsUnderline);
  font.setStrikeOut(style & fsStrikeOut);
}

// The width of a row as drawn: in its own font name and style.
int Width(QFont font, const TDisplayRow& row) {
  font.setFamily(QString::fromStdString(row.Style.FontName));
  SetStyle(font, row.Style.Style);
  return QFontMetrics(font).horizontalAdvance(ToQString(row.Text));
}

// Splits row `i` at its split point into itself and the row below; the new
// row keeps the style of the one it came from.
bool SplitRow(std::vector<TDisplayRow>& rows, size_t i) {
  int k = FindSplitPoint(rows[i].Text);
  if (k <= 0) return false;
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i) + 1, {rows[i].Text.substr(k - 1), rows[i].Style});
  rows[i].Text.erase(k - 1);
  return true;
}

}  // namespace

TSubtitleLayout TSubtitleRenderer::Layout(const TText& text, int frameWidth, int frameHeight) const {
  const TSubtitleSettings& s = FSettings;
  // Rows are measured, split and shrunk as they are drawn: without their tags.
  std::vector<TDisplayRow> rows = DisplayRows(text, FFont);

  QFont font(QString::fromStdString(FFont.Name));
  int height = FFont.Height;
  if (s.FontAutoHeight) {
    height = static_cast<int>(s.FontVol() / 100 * frameHeight);
    if (s.FontSize() / 2 > PixelsToPoints(height)) height = static_cast<int>(s.FontSize() / 2);
  }
  font.setPixelSize(std::max(height, 1));

  int margin = (frameWidth * EdgeMarginPercent + 99) / 100;
  int maxWidth = std::min(frameWidth * static_cast<int>(s.FWidth() + 1) / 100, frameWidth - 2 * margin);
  auto width = [&](size_t i) { return i < rows.size() ? Width(font, rows[i]) : 0; };
  for (int round = 0; round < 2 && s.IQDziel && !rows.empty() && rows.size() < 3; ++round) {
    int w1 = width(0), w2 = width(1);
    if (w1 <= maxWidth && w2 <= maxWidth) break;
    SplitRow(rows, w1 >= w2 || rows.size() < 2 ? 0 : 1);
  }

  int blockWidth = 0;
  if (s.IQZmniejsz) {
    auto shrink = [&](size_t i) {
      while (blockWidth > maxWidth && PixelsToPoints(font.pixelSize()) > MinShrinkPoints) {
        font.setPixelSize(PointsToPixels(PixelsToPoints(font.pixelSize()) - 1));
        blockWidth = width(i);
      }
    };
    blockWidth = width(0);
    shrink(0);
    for (size_t i = 1; i < rows.size(); ++i)
      if (int w = width(i); w > blockWidth) {
        blockWidth = w;
        shrink(i);
      }
  } else {
    for (size_t i = 0; i < rows.size(); ++i) blockWidth = std::max(blockWidth, width(i));
  }

  TSubtitleLayout layout;
  layout.FontHeight = font.pixelSize();
  layout.BlockWidth = blockWidth + 25;
  layout.BlockHeight = static_cast<int>(rows.size()) * layout.FontHeight + 15;
  double free = frameHeight - layout.BlockHeight;
  layout.BlockY = static_cast<int>(std::nearbyint(free - s.NapisBottom() * free / 100));
  layout.BlockX = frameWidth / 2 - layout.BlockWidth / 2;
  TSubtitleType type = s.FontType();
  bool outlined = type == TSubtitleType::Transparent || type == TSubtitleType::SemiTransparentXP;
  layout.Outline = outlined ? static_cast<int>(s.Obwodka()) : 0;
  layout.Boxes = type == TSubtitleType::SemiTransparent;

  for (size_t i = 0; i < rows.size(); ++i) {
    TSubtitleLine line;
    line.Width = width(i);
    line.Text = std::move(rows[i].Text);
    line.Style = rows[i].Style;
    line.X = layout.BlockX + (layout.BlockWidth - line.Width) / 2 + 1;
    line.Y = layout.BlockY + 1 + static_cast<int>(i) * (layout.FontHeight + 3);
    layout.Lines.push_back(std::move(line));
  }
  // The last row, its descenders and outline, stays clear of the bottom edge.
  if (!layout.Lines.empty()) {
    SetStyle(font, layout.Lines.back().Style.Style);
    int over = layout.Lines.back().Y + QFontMetrics(font).height() + layout.Outline - (frameHeight - margin);
    if (over > 0) {
      layout.BlockY -= over;
      for (TSubtitleLine& line : layout.Lines) line.Y -= over;
    }
  }
  return layout;
}

TSubtitleOverlay TSubtitleRenderer::Render(const TSubtitleLayout& layout, int frameWidth, int frameHeight,
                                           double pixelAspect) const {
  QFont font(QString::fromStdString(FFont.Name));
  font.setPixelSize(std::max(layout.FontHeight, 1));
  // The band holds every line with its outline, and accents above the ascent.
  int margin = layout.FontHeight / 2 + layout.Outline + 2;
  int top = frameHeight, bottom = 0;
  for (const TSubtitleLine& line : layout.Lines) {
    SetStyle(font, line.Style.Style);
    top = std::min(top, line.Y - margin);
    bottom = std::max(bottom, line.Y + QFontMetrics(font).height() + margin);
  }
  TSubtitleOverlay overlay;
  overlay.Top = std::max(top, 0);
  overlay.Width = std::max(frameWidth, 0);
  overlay.Rows = std::max(std::min(bottom, frameHeight) - overlay.Top, 0);
  if (overlay.Width == 0 || overlay.Rows == 0) return overlay;
  overlay.Pixels.assign(static_cast<size_t>(overlay.Width) * overlay.Rows, 0);
  QImage image(reinterpret_cast<uchar*>(overlay.Pixels.data()), overlay.Width, overlay.Rows, overlay.Width * 4,
               QImage::Format_ARGB32_Premultiplied);
  QPainter canvas(&image);
  canvas.setRenderHint(QPainter::TextAntialiasing);
  canvas.translate(0, -overlay.Top);
  canvas.scale(1 / pixelAspect, 1);
  for (const TSubtitleLine& line : layout.Lines) {
    SetStyle(font, line.Style.Style);
    DrawAATextDIVX(canvas, font, line.X, line.Text, line.Style.FontName, line.Style.Color, layout.Outline, line.Y,
                   layout.Boxes);
  }
  return overlay;
}

void BlendOverlay(const TSubtitleOverlay& overlay, TBitmap& frame) {
  int bytes = frame.BitsPerPixel() / 8;
  if ((bytes != 3 && bytes != 4) || overlay.Width != frame.Width()) return;
  int rows = std::min(overlay.Rows, frame.Height() - overlay.Top);
  for (int row = 0; row < rows; ++row) {
    const uint32_t* source = overlay.Pixels.data() + static_cast<size_t>(row) * overlay.Width;
    uint8_t* target = frame.ScanLine(overlay.Top + row);
    for (int x = 0; x < overlay.Width; ++x, target += bytes) {
      uint32_t pixel = source[x];
      uint32_t alpha = pixel >> 24;
      if (alpha == 0) continue;
      uint32_t keep = 255 - alpha;
      target[0] = static_cast<uint8_t>((pixel & 0xFF) + (target[0] * keep + 127) / 255);
      target[1] = static_cast<uint8_t>(((pixel >> 8) & 0xFF) + (target[1] * keep + 127) / 255);
      target[2] = static_cast<uint8_t>(((pixel >> 16) & 0xFF) + (target[2] * keep + 127) / 255);
    }
  }
}

void TSubtitleRenderer::Draw(const TSubtitleLayout& layout, TBitmap& frame) const {
  if (frame.Empty()) return;
  BlendOverlay(Render(layout, frame.Width(), frame.Height(), frame.PixelAspect()), frame);
}

void TSubtitleRenderer::Prepare(const TText& text, int frameWidth, int frameHeight, double pixelAspect) {
  if (text == FLastText && frameWidth == FLastWidth && frameHeight == FLastHeight && pixelAspect == FLastAspect) return;
  TSubtitleLayout layout = Layout(text, ShownWidth(frameWidth, pixelAspect), frameHeight);
  FLastOverlay = Render(layout, frameWidth, frameHeight, pixelAspect);
  FLastText = text;
  FLastWidth = frameWidth;
  FLastHeight = frameHeight;
  FLastAspect = pixelAspect;
}

void TSubtitleRenderer::PiszTXT(const TText& text, TBitmap& frame) {
  Prepare(text, frame.Width(), frame.Height(), frame.PixelAspect());
  BlendOverlay(FLastOverlay, frame);
}

void DrawAATextDIVX(QPainter& canvas, QFont font, int x, const TText& text, const std::string& fontName,
                    uint32_t color, int outline, int y, bool box) {
  font.setFamily(QString::fromStdString(fontName));
  canvas.setFont(font);
  QString line = ToQString(text);
  QFontMetrics metrics(font);
  int baseline = metrics.ascent();
  if (box) canvas.fillRect(x, y, metrics.horizontalAdvance(line), metrics.height(), Qt::black);
  canvas.setPen(Qt::black);
  for (auto [dx, dy] : {std::pair{0, 0}, {0, outline}, {outline, 0}, {outline, outline}})
    canvas.drawText(x + dx, y + dy + baseline, line);
  canvas.setPen(ToQColor(color));
  canvas.drawText(x + outline / 2, y + outline / 2 + baseline, line);
}

}  // namespace vidora
