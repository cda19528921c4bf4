// Pictures as bitmaps for the host's hooks, and back.
#pragma once

#include <cstdint>

#include "media/base/bitmap.h"
#include "media/base/media_headers.h"

namespace vidora {

// Scales `picture` into `bitmap`, already sized for the scaler's output in
// `format`, upside down with `flip`. The scaler writes whole vectors past a
// row's end while a bitmap's rows are only four-byte aligned, so it works in
// `staging`, a library-aligned frame this (re)makes; false without memory.
bool ScaleIntoBitmap(SwsContext* scaler, const AVFrame* picture, TBitmap& bitmap, AVPixelFormat format,
                     AVFrame*& staging, bool flip = false);

class TRGBConvertContext {
 public:
  explicit TRGBConvertContext(int bitsPixel = 24) { Reset(bitsPixel); }
  ~TRGBConvertContext();
  TRGBConvertContext(const TRGBConvertContext&) = delete;
  TRGBConvertContext& operator=(const TRGBConvertContext&) = delete;

  // Depth 8, 15, 16, 24 or 32; anything else is 24. Frees the scalers.
  void Reset(int bitsPixel);
  int BitsPixel() const { return FBitsPixel; }
  // The library pixel format laid out like the bitmap's rows.
  AVPixelFormat RGBPixFmt() const { return FRGBPixFmt; }
  TBitmap& Bitmap() { return FBitmap; }

  // Sizes the bitmap for the picture; its pixels are converted the first
  // time someone touches them. The picture must stay valid until then.
  void Attach(const AVFrame* picture);
  // Converts at once; false when no scaler can be made.
  bool ToRGB(const AVFrame* picture);
  // Converts the (changed) bitmap back into the picture, which must be writable.
  bool FromRGB(AVFrame* picture);
  // After a hook handler had the attached picture's bitmap: drops a
  // conversion nobody asked for and, with `update`, puts a bitmap that was
  // drawn on back into the picture (also one never looked at, with
  // `convertUntouched`: the handler then gets the plain picture back).
  enum class THookResult { Unchanged, Updated, ToRGBFailed, NoMemory, FromRGBFailed };
  THookResult FinishHook(AVFrame* picture, bool update, bool convertUntouched);
  // Whether the last conversion to RGB failed.
  bool Failed() const { return FFailed; }
  // Conversions to RGB made so far (the hook cost).
  int64_t Conversions() const { return FConversions; }

 private:
  bool Direct(const AVFrame* picture) const;
  void Fill(const AVFrame* picture);

  TBitmap FBitmap;
  int FBitsPixel = 24;
  AVPixelFormat FRGBPixFmt = AV_PIX_FMT_BGR24;
  SwsContext* FToRGB = nullptr;
  SwsContext* FFromRGB = nullptr;
  AVFrame* FStaging = nullptr;  // the scaler's aligned side of the bitmap
  bool FFailed = false;
  int64_t FConversions = 0;
};

}  // namespace vidora
