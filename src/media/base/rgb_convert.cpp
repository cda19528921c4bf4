#include "media/base/rgb_convert.h"

#include <cstring>

#include "media/base/bindings.h"

namespace vidora {

namespace {

void CopyRows(uint8_t* target, int targetStride, const uint8_t* source, int sourceStride, int bytes, int rows) {
  for (int row = 0; row < rows; ++row)
    std::memcpy(target + static_cast<ptrdiff_t>(row) * targetStride, source + static_cast<ptrdiff_t>(row) * sourceStride,
                bytes);
}

// A frame of that size and format with the library's row alignment, reusing `frame` when it fits.
AVFrame* AlignedFrame(AVFrame*& frame, int width, int height, AVPixelFormat format) {
  if (frame && frame->width == width && frame->height == height && frame->format == format) return frame;
  if (frame) avutil.av_frame_free(&frame);
  frame = avutil.av_frame_alloc();
  if (!frame) return nullptr;
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (avutil.av_frame_get_buffer(frame, 0) < 0) avutil.av_frame_free(&frame);
  return frame;
}

}  // namespace

bool ScaleIntoBitmap(SwsContext* scaler, const AVFrame* picture, TBitmap& bitmap, AVPixelFormat format,
                     AVFrame*& staging, bool flip) {
  int height = bitmap.Height();
  if (!AlignedFrame(staging, bitmap.Width(), height, format)) return false;
  swscale.sws_scale(scaler, picture->data, picture->linesize, 0, picture->height, staging->data, staging->linesize);
  uint8_t* target = flip ? bitmap.ScanLine(height - 1) : bitmap.Bits();
  int stride = bitmap.Stride();
  CopyRows(target, flip ? -stride : stride, staging->data[0], staging->linesize[0], stride, height);
  return true;
}

TRGBConvertContext::~TRGBConvertContext() { Reset(FBitsPixel); }

void TRGBConvertContext::Reset(int bitsPixel) {
  if (FToRGB) swscale.sws_freeContext(FToRGB);
  if (FFromRGB) swscale.sws_freeContext(FFromRGB);
  FToRGB = FFromRGB = nullptr;
  if (FStaging) avutil.av_frame_free(&FStaging);

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
    CopyRows(bits, stride, picture->data[0], picture->linesize[0], stride, picture->height);
    return;
  }
  FToRGB = swscale.sws_getCachedContext(FToRGB, picture->width, picture->height,
                                        static_cast<AVPixelFormat>(picture->format), picture->width, picture->height,
                                        FRGBPixFmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!FToRGB) {
    FFailed = true;
    return;
  }
  if (!ScaleIntoBitmap(FToRGB, picture, FBitmap, FRGBPixFmt, FStaging)) FFailed = true;
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
    CopyRows(picture->data[0], picture->linesize[0], bits, stride, stride, picture->height);
    return true;
  }
  FFromRGB = swscale.sws_getCachedContext(FFromRGB, picture->width, picture->height, FRGBPixFmt, picture->width,
                                          picture->height, static_cast<AVPixelFormat>(picture->format), SWS_BICUBIC,
                                          nullptr, nullptr, nullptr);
  AVFrame* staging = AlignedFrame(FStaging, picture->width, picture->height, FRGBPixFmt);
  if (!FFromRGB || !staging) return false;
  CopyRows(staging->data[0], staging->linesize[0], bits, stride, stride, picture->height);
  swscale.sws_scale(FFromRGB, staging->data, staging->linesize, 0, picture->height, picture->data, picture->linesize);
  return true;
}

}  // namespace vidora
