// The device-independent bitmap shared by hooks, decoder, player and GUI:
// rows top-down, each row padded to a multiple of four bytes.
#pragma once

#include <cstdint>
#include <functional>
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
  // Back to an empty bitmap, memory released.
  void Clear();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  // Bytes from one row to the next.
  int Stride() const { return FStride; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // How wide a pixel is shown against its height: drawings that must keep
  // their shape on the screen are widened or narrowed by it.
  double PixelAspect() const { return FPixelAspect; }
  void SetPixelAspect(double aspect) { FPixelAspect = aspect > 0 ? aspect : 1.0; }

  // Pixel access: ScanLine(row) makes the pending rows from `row` on, Bits() all of them.
  uint8_t* Bits() { return Materialize(0); }
  const uint8_t* Bits() const { return Materialize(0); }
  uint8_t* ScanLine(int row) { return Materialize(row) + static_cast<size_t>(row) * FStride; }
  const uint8_t* ScanLine(int row) const { return Materialize(row) + static_cast<size_t>(row) * FStride; }

  // Pixels that are made only if someone looks: `fill(bitmap, first, end)`
  // makes rows [first, end) through RawBits (it may start earlier, for a
  // picture's row pairs) and returns the first row it made. A hook that draws
  // only near the bottom makes only those rows.
  using TFill = std::function<int(TBitmap&, int first, int end)>;
  void SetPendingPixels(TFill fill) {
    FPending = std::move(fill);
    FMadeFrom = FHeight;
    FTouched = false;
  }
  void DropPendingPixels() { FPending = nullptr; }
  bool HasPendingPixels() const { return static_cast<bool>(FPending); }
  // Whether the pixels were read or drawn since SetPendingPixels.
  bool Touched() const { return FTouched; }
  // The first row made since SetPendingPixels (Height() when none was); 0 for a bitmap without pending pixels.
  int MadeFrom() const { return FMadeFrom; }
  uint8_t* RawBits() { return FPixels.data(); }

  // Held while a thread draws on the pixels or reads them for display.
  std::mutex& Canvas() { return FCanvas; }

  static int StrideFor(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

 private:
  uint8_t* Materialize(int row) const {
    FTouched = true;
    if (FPending && row < FMadeFrom) {
      FMadeFrom = FPending(const_cast<TBitmap&>(*this), row < 0 ? 0 : row, FMadeFrom);
      if (FMadeFrom <= 0) FPending = nullptr;
    }
    return const_cast<uint8_t*>(FPixels.data());
  }

  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  int FStride = 0;
  double FPixelAspect = 1.0;
  std::vector<uint8_t> FPixels;
  std::mutex FCanvas;
  mutable TFill FPending;
  mutable int FMadeFrom = 0;
  mutable bool FTouched = false;
};

}  // namespace vidora
