// Cutting a picture's shape out of its key colour or its alpha channel.
#include <algorithm>
#include <cmath>
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

// The region, in the picture's logical pixels, where `shows` holds. A picture
// drawn for a scaled screen has several device pixels to a logical one: the
// logical pixel belongs when all of them show, or with `partly` when any does.
template <typename TShows>
QRegion RegionWhere(const QImage& picture, TShows shows, bool partly, int batch) {
  const size_t batchSize = static_cast<size_t>(std::max(batch, 1));
  const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
  const int ratio = std::max(1, static_cast<int>(std::lround(picture.devicePixelRatio())));
  const int width = pixels.width() / ratio, height = pixels.height() / ratio;
  std::vector<int> row(static_cast<size_t>(width));
  QRegion result;
  std::vector<QRect> runs;
  runs.reserve(std::min<size_t>(batchSize, 4096));
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);  // device pixels shown in each logical one
    for (int sub = 0; sub < ratio; ++sub) {
      const QRgb* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y * ratio + sub));
      for (int x = 0; x < width * ratio; ++x) row[static_cast<size_t>(x / ratio)] += shows(line[x]);
    }
    auto belongs = [&](int at) {
      const int shown = row[static_cast<size_t>(at)];
      return partly ? shown > 0 : shown == ratio * ratio;
    };
    int x = 0;
    while (x < width) {
      while (x < width && !belongs(x)) ++x;
      const int start = x;
      while (x < width && belongs(x)) ++x;
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

}  // namespace

QRegion BitmapToRegion(const QImage& picture, QRgb key, int batch) {
  return RegionWhere(picture, [key](QRgb pixel) { return !IsKey(pixel, key); }, false, batch);
}

QRegion AlphaToRegion(const QImage& picture, bool partly) {
  return RegionWhere(picture, [](QRgb pixel) { return qAlpha(pixel) != 0; }, partly, 2000);
}

}  // namespace vidora
