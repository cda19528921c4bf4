#include "bitmap.h"

#include <stdexcept>

namespace vidora {

void TBitmap::SetSize(int width, int height, int bitsPerPixel) {
  if (width < 0 || height < 0) throw std::invalid_argument("Invalid bitmap size");
  switch (bitsPerPixel) {
    case 8: case 15: case 16: case 24: case 32: break;
    default: throw std::invalid_argument("Invalid bitmap depth");
  }
  if (width == FWidth && height == FHeight && bitsPerPixel == FBitsPerPixel && !FPixels.empty()) return;
  // 15-bit pixels take two bytes like 16-bit ones.
  int storedBits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
  FWidth = width;
  FHeight = height;
  FBitsPerPixel = bitsPerPixel;
  FStride = StrideFor(width, storedBits);
  FPixels.assign(static_cast<size_t>(FStride) * height, 0);
  FMadeFrom = 0;
}

void TBitmap::Clear() {
  FWidth = FHeight = FStride = 0;
  FPixels.clear();
  FPixels.shrink_to_fit();
  FPending = nullptr;
  FMadeFrom = 0;
}

}  // namespace vidora
