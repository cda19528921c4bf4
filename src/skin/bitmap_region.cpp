// Cutting a picture's shape out of its key colour.
#include <algorithm>
#include <vector>

#include "skin/region_button.h"

namespace vidora {

namespace {

bool IsKey(QRgb pixel, QRgb key) { return (pixel & RGB_MASK) == (key & RGB_MASK); }

// Runs are one row high, sorted by row then column and never touching: the
// order a region keeps its rectangles in, so they can be handed over as they are.
QRegion BatchRegion(const std::vector<QRect>& runs) {
  QRegion region;
  region.setRects(runs.data(), static_cast<int>(runs.size()));
  return region;
}

}  // namespace

QRegion BitmapToRegion(const QImage& picture, QRgb key, int batch) {
  const size_t batchSize = static_cast<size_t>(std::max(batch, 1));
  const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
  const int width = pixels.width();
  QRegion result;
  std::vector<QRect> runs;
  runs.reserve(std::min<size_t>(batchSize, 4096));
  for (int y = 0; y < pixels.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < width) {
      while (x < width && IsKey(line[x], key)) ++x;
      const int start = x;
      while (x < width && !IsKey(line[x], key)) ++x;
      if (x == start) continue;
      runs.emplace_back(start, y, x - start, 1);
      if (runs.size() == batchSize) {
        result |= BatchRegion(runs);
        runs.clear();
      }
    }
  }
  result |= BatchRegion(runs);
  return result;
}

}  // namespace vidora
