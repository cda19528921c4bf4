// The device-independent bitmap shared by hooks, decoder, player and GUI:
// rows top-down, each row padded to a multiple of four bytes.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace vidora {

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, int bitsPerPixel) { SetSize(width, height, bitsPerPixel); }

  // Valid depths: 8, 15, 16, 24 and 32 bits per pixel. Throws
  // std::invalid_argument for another depth or a negative size.
  void SetSize(int width, int height, int bitsPerPixel);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  // Bytes from one row to the next.
  int Stride() const { return FStride; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

  uint8_t* Bits() { return FPixels.data(); }
  const uint8_t* Bits() const { return FPixels.data(); }
  uint8_t* ScanLine(int row) { return FPixels.data() + static_cast<size_t>(row) * FStride; }
  const uint8_t* ScanLine(int row) const { return FPixels.data() + static_cast<size_t>(row) * FStride; }

  // Held while a thread draws on the pixels or reads them for display.
  std::mutex& Canvas() { return FCanvas; }

  static int StrideFor(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

 private:
  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  int FStride = 0;
  std::vector<uint8_t> FPixels;
  std::mutex FCanvas;
};

}  // namespace vidora
