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

  // Pixel access: the first access after SetPendingPixels makes the pixels.
  uint8_t* Bits() { return Materialize(); }
  const uint8_t* Bits() const { return Materialize(); }
  uint8_t* ScanLine(int row) { return Materialize() + static_cast<size_t>(row) * FStride; }
  const uint8_t* ScanLine(int row) const { return Materialize() + static_cast<size_t>(row) * FStride; }

  // Pixels that are made only if someone looks: `fill` runs on the first
  // access (through RawBits, which does not trigger it again).
  void SetPendingPixels(std::function<void(TBitmap&)> fill) {
    FPending = std::move(fill);
    FTouched = false;
  }
  void DropPendingPixels() { FPending = nullptr; }
  bool HasPendingPixels() const { return static_cast<bool>(FPending); }
  // Whether the pixels were read or drawn since SetPendingPixels.
  bool Touched() const { return FTouched; }
  uint8_t* RawBits() { return FPixels.data(); }

  // Held while a thread draws on the pixels or reads them for display.
  std::mutex& Canvas() { return FCanvas; }

  static int StrideFor(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

 private:
  uint8_t* Materialize() const {
    FTouched = true;
    if (FPending) {
      auto fill = std::move(FPending);
      FPending = nullptr;
      fill(const_cast<TBitmap&>(*this));
    }
    return const_cast<uint8_t*>(FPixels.data());
  }

  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  int FStride = 0;
  std::vector<uint8_t> FPixels;
  std::mutex FCanvas;
  mutable std::function<void(TBitmap&)> FPending;
  mutable bool FTouched = false;
};

}  // namespace vidora
