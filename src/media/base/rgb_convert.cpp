#include "media/base/rgb_convert.h"

#include <cstring>

#include "media/base/bindings.h"

namespace vidora {

TRGBConvertContext::~TRGBConvertContext() { Reset(FBitsPixel); }

void TRGBConvertContext::Reset(int bitsPixel) {
  if (FToRGB) swscale.sws_freeContext(FToRGB);
  if (FFromRGB) swscale.sws_freeContext(FFromRGB);
  FToRGB = FFromRGB = nullptr;

  switch (bitsPixel) {
    case 8: FRGBPixFmt = AV_PIX_FMT_BGR8; break;       // 3-3-2
    case 15: FRGBPixFmt = AV_PIX_FMT_RGB555LE; break;  // 5-5-5
    case 16: FRGBPixFmt = AV_PIX_FMT_RGB565LE; break;  // 5-6-5
    case 32: FRGBPixFmt = AV_PIX_FMT_BGRA; break;
    default: bitsPixel = 24; FRGBPixFmt = AV_PIX_FMT_BGR24; break;
  }
  FBitsPixel = bitsPixel;
  FBitmap.Clear();
}

// A picture already laid out like the bitmap needs no scaler.
bool TRGBConvertContext::Direct(const AVFrame* picture) const {
  return picture->format == FRGBPixFmt && picture->width % 2 == 0 && picture->height % 2 == 0 &&
         picture->linesize[0] == TBitmap::StrideFor(picture->width, FBitsPixel == 15 ? 16 : FBitsPixel);
}

void TRGBConvertContext::Attach(const AVFrame* picture) {
  FFailed = false;
  FBitmap.SetSize(picture->width, picture->height, FBitsPixel);
  FBitmap.SetPendingPixels([this, picture](TBitmap&) { Fill(picture); });
}

bool TRGBConvertContext::ToRGB(const AVFrame* picture) {
  Attach(picture);
  FBitmap.Bits();
  return !FFailed;
}

void TRGBConvertContext::Fill(const AVFrame* picture) {
  ++FConversions;
  uint8_t* bits = FBitmap.RawBits();
  int stride = FBitmap.Stride();
  if (Direct(picture)) {
    for (int row = 0; row < picture->height; ++row)
      std::memcpy(bits + static_cast<size_t>(row) * stride, picture->data[0] + row * picture->linesize[0], stride);
    return;
  }
  FToRGB = swscale.sws_getCachedContext(FToRGB, picture->width, picture->height,
                                        static_cast<AVPixelFormat>(picture->format), picture->width, picture->height,
                                        FRGBPixFmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!FToRGB) {
    FFailed = true;
    return;
  }
  uint8_t* destination[4] = {bits, nullptr, nullptr, nullptr};
  int destinationStride[4] = {stride, 0, 0, 0};
  swscale.sws_scale(FToRGB, picture->data, picture->linesize, 0, picture->height, destination, destinationStride);
}

TRGBConvertContext::THookResult TRGBConvertContext::FinishHook(AVFrame* picture, bool update, bool convertUntouched) {
  bool touched = FBitmap.Touched();
  FBitmap.DropPendingPixels();
  if (touched && FFailed) return THookResult::ToRGBFailed;
  if (!update || (!touched && !convertUntouched)) return THookResult::Unchanged;
  if (!touched && !ToRGB(picture)) return THookResult::ToRGBFailed;
  // The decoder may still refer to the picture: the bitmap goes into a copy of our own.
  if (avutil.av_frame_make_writable(picture) < 0) return THookResult::NoMemory;
  return FromRGB(picture) ? THookResult::Updated : THookResult::FromRGBFailed;
}

bool TRGBConvertContext::FromRGB(AVFrame* picture) {
  const uint8_t* bits = FBitmap.Bits();
  int stride = FBitmap.Stride();
  if (Direct(picture)) {
    for (int row = 0; row < picture->height; ++row)
      std::memcpy(picture->data[0] + row * picture->linesize[0], bits + static_cast<size_t>(row) * stride, stride);
    return true;
  }
  FFromRGB = swscale.sws_getCachedContext(FFromRGB, picture->width, picture->height, FRGBPixFmt, picture->width,
                                          picture->height, static_cast<AVPixelFormat>(picture->format), SWS_BICUBIC,
                                          nullptr, nullptr, nullptr);
  if (!FFromRGB) return false;
  const uint8_t* source[4] = {bits, nullptr, nullptr, nullptr};
  int sourceStride[4] = {stride, 0, 0, 0};
  swscale.sws_scale(FFromRGB, source, sourceStride, 0, picture->height, picture->data, picture->linesize);
  return true;
}

}  // namespace vidora
