// Frames to draw subtitles on, and what to look for in them.
#pragma once

#include <cstring>

#include "media/base/bitmap.h"

namespace vidora::test {

// Makes `frame` a 24-bit frame of one grey.
inline void MakeGrey(TBitmap& frame, int width, int height, uint8_t grey = 128) {
  frame.SetSize(width, height, 24);
  std::memset(frame.Bits(), grey, static_cast<size_t>(frame.Stride()) * height);
}

struct TPixelCount {
  int Bright = 0;  // all channels above 200
  int Dark = 0;    // all channels below 40
  int Red = 0;     // red above 200, green and blue below 60
  int Changed = 0;
};

// Counts in rows [top, bottom) of a 24-bit frame.
inline TPixelCount CountPixels(const TBitmap& frame, int top, int bottom, uint8_t grey = 128) {
  TPixelCount count;
  for (int y = top; y < bottom; ++y) {
    const uint8_t* p = frame.ScanLine(y);
    for (int x = 0; x < frame.Width(); ++x, p += 3) {
      uint8_t b = p[0], g = p[1], r = p[2];
      count.Bright += b > 200 && g > 200 && r > 200;
      count.Dark += b < 40 && g < 40 && r < 40;
      count.Red += r > 200 && g < 60 && b < 60;
      count.Changed += b != grey || g != grey || r != grey;
    }
  }
  return count;
}

}  // namespace vidora::test
