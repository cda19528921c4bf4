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

int Width(const QFont& font, const TText& text) {
  return QFontMetrics(font).horizontalAdvance(ToQString(text));
}

int PointsOf(int pixels) { return static_cast<int>(std::lround(pixels * 72.0 / ScreenPixelsPerInch)); }
int PixelsOf(int points) { return static_cast<int>(std::lround(points * double(ScreenPixelsPerInch) / 72.0)); }

// Splits line `i` (0 or 1) at its split point into itself and the line below.
bool SplitLine(std::vector<TText>& lines, size_t i) {
  int k = FindSplitPoint(lines[i]);
  if (k <= 0) return false;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines[i].substr(k - 1));
  lines[i].erase(k - 1);
  lines.resize(3);
  return true;
}

}  // namespace

TSubtitleLayout TSubtitleRenderer::Layout(const TText& text, int frameWidth, int frameHeight) const {
  const TSubtitleSettings& s = FSettings;
  std::vector<TText> lines = SplitDisplayLines(text);
  size_t n = lines.size();
  lines.resize(3);

  QFont font(QString::fromStdString(FFont.Name));
  int height = FFont.Height;
  if (s.FontAutoHeight) {
    height = static_cast<int>(s.FontVol() / 100 * frameHeight);
    if (s.FontSize() / 2 > PointsOf(height)) height = static_cast<int>(s.FontSize() / 2);
  }
  font.setPixelSize(std::max(height, 1));
  SetStyle(font, fsBold);

  int maxWidth = frameWidth * static_cast<int>(s.FWidth() + 1) / 100;
  for (int round = 0; round < 2 && s.IQDziel && n < 3; ++round) {
    int w1 = Width(font, lines[0]), w2 = Width(font, lines[1]);
    if (w1 <= maxWidth && w2 <= maxWidth) break;
    if (SplitLine(lines, w1 >= w2 ? 0 : 1)) ++n;
  }

  int width = 0;
  if (s.IQZmniejsz) {
    auto shrink = [&](const TText& line) {
      while (width > maxWidth && PointsOf(font.pixelSize()) > MinShrinkPoints) {
        font.setPixelSize(PixelsOf(PointsOf(font.pixelSize()) - 1));
        width = Width(font, line);
      }
    };
    width = Width(font, lines[0]);
    shrink(lines[0]);
    for (size_t i = 1; i < 3; ++i)
      if (int w = Width(font, lines[i]); w > width) {
        width = w;
        shrink(lines[i]);
      }
  } else {
    for (const TText& line : lines) width = std::max(width, Width(font, line));
  }

  TSubtitleLayout layout;
  layout.FontHeight = font.pixelSize();
  layout.BlockWidth = width + 25;
  layout.BlockHeight = static_cast<int>(n) * layout.FontHeight + 15;
  double free = frameHeight - layout.BlockHeight;
  layout.BlockY = static_cast<int>(std::nearbyint(free - s.NapisBottom() * free / 100));
  layout.BlockX = frameWidth / 2 - layout.BlockWidth / 2;
  TSubtitleType type = s.FontType();
  bool outlined = type == TSubtitleType::Transparent || type == TSubtitleType::SemiTransparentXP;
  layout.Outline = outlined ? static_cast<int>(s.Obwodka()) : 0;
  layout.Boxes = type == TSubtitleType::SemiTransparent;

  TTextStyle style{FFont.Name, FFont.Color, fsBold};
  for (size_t i = 0; i < n; ++i) {
    TSubtitleLine line;
    line.Text = ApplyStyleTags(lines[i], i == 0, FFont, style);
    line.Style = style;
    SetStyle(font, style.Style);
    line.Width = Width(font, line.Text);
    line.X = layout.BlockX + (layout.BlockWidth - line.Width) / 2 + 1;
    line.Y = layout.BlockY + 1 + static_cast<int>(i) * (layout.FontHeight + 3);
    layout.Lines.push_back(std::move(line));
  }
  return layout;
}

void TSubtitleRenderer::Draw(const TSubtitleLayout& layout, TBitmap& frame) const {
  QImage::Format format = frame.BitsPerPixel() == 24   ? QImage::Format_BGR888
                          : frame.BitsPerPixel() == 32 ? QImage::Format_RGB32
                                                       : QImage::Format_Invalid;
  if (format == QImage::Format_Invalid || frame.Empty()) return;
  QImage image(frame.Bits(), frame.Width(), frame.Height(), frame.Stride(), format);
  QPainter canvas(&image);
  canvas.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QString::fromStdString(FFont.Name));
  font.setPixelSize(std::max(layout.FontHeight, 1));
  for (const TSubtitleLine& line : layout.Lines) {
    SetStyle(font, line.Style.Style);
    DrawAATextDIVX(canvas, font, line.X, line.Text, line.Style.FontName, line.Style.Color, layout.Outline, line.Y,
                   layout.Boxes);
  }
}

void TSubtitleRenderer::PiszTXT(const TText& text, TBitmap& frame) {
  if (text != FLastText || frame.Width() != FLastWidth || frame.Height() != FLastHeight) {
    FLastLayout = Layout(text, frame.Width(), frame.Height());
    FLastText = text;
    FLastWidth = frame.Width();
    FLastHeight = frame.Height();
  }
  Draw(FLastLayout, frame);
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
