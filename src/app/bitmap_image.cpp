#include "app/bitmap_image.h"

namespace vidora::app {

QImage BitmapImage(const TBitmap& bitmap) {
  if (bitmap.Empty()) return {};
  const uchar* bits = bitmap.Bits();
  int width = bitmap.Width(), height = bitmap.Height(), stride = bitmap.Stride();
  switch (bitmap.BitsPerPixel()) {
    case 32: return QImage(bits, width, height, stride, QImage::Format_RGB32).copy();
    case 24: return QImage(bits, width, height, stride, QImage::Format_BGR888).copy();
    case 16: return QImage(bits, width, height, stride, QImage::Format_RGB16).copy();
    case 15: return QImage(bits, width, height, stride, QImage::Format_RGB555).copy();
    default: break;
  }
  // Blue in the top two bits, then green, red in the low three.
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const uchar* row = bits + static_cast<ptrdiff_t>(y) * stride;
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      target[x] = qRgb((row[x] & 7) * 255 / 7, (row[x] >> 3 & 7) * 255 / 7, (row[x] >> 6) * 255 / 3);
  }
  return image;
}

}  // namespace vidora::app
