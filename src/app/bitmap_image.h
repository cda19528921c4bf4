// The media layer's bitmaps as Qt images.
#pragma once

#include <QImage>

#include "media/base/bitmap.h"

namespace vidora::app {

// A copy of the bitmap's pixels (8-bit 3-3-2 pixels are widened to 32 bits).
QImage BitmapImage(const TBitmap& bitmap);

}  // namespace vidora::app
