// Pictures as bitmaps for the host's hooks, and back.
#pragma once

#include <cstdint>
#include <vector>

#include "media/base/av_owners.h"
#include "media/base/bitmap.h"
#include "media/base/media_headers.h"

namespace vidora {

// Scales `sourceRows` rows of a picture's planes into `rows` four-byte-aligned
// rows of `format` at `target`, upside down with `flip`. The scaler writes
// whole blocks of pixels, past a row's end (onto the next row, or past the
// last one) when the width is not a multiple of its block: such widths go
// through `staging`, a library-aligned frame this (re)makes. False without memory.
bool ScaleRows(SwsContext* scaler, const uint8_t* const planes[4], const int linesizes[4], int sourceRows,
               uint8_t* target, int targetStride, int width, int rows, AVPixelFormat format, TFramePtr& staging,
               bool flip = false);

class TRGBConvertContext {
 public:
  explicit TRGBConvertContext(int bitsPixel = 24) { Reset(bitsPixel); }
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
  // Makes rows [first, end) of the bitmap (from the picture's row pair of
  // `first`); returns the first row made.
  int Fill(const AVFrame* picture, int first, int end);
  int FirstRow(const AVFrame* picture, int first) const;

  TBitmap FBitmap;
  int FBitsPixel = 24;
  AVPixelFormat FRGBPixFmt = AV_PIX_FMT_BGR24;
  TSwsPtr FToRGB;
  TSwsPtr FFromRGB;
  // FromRGB; with `onlyChanged`, into the picture the bitmap was made from.
  bool WriteBack(AVFrame* picture, bool onlyChanged);
  // Whether only the changed pixels can go back: planar 8-bit YUV and a 24- or 32-bit bitmap.
  bool CanMerge(const AVFrame* picture) const;
  // Puts back into the picture only the pixels of `written` (the bitmap's rows
  // from `first` converted) whose bitmap pixels changed; for pictures CanMerge takes.
  void MergeChanged(AVFrame* picture, const AVFrame* written, int first) const;

  TFramePtr FStaging;  // the scaler's side of the bitmap, for widths that need it
  TFramePtr FWritten;  // the changed rows on their way back into the picture
  std::vector<uint8_t> FOriginal;  // the rows as converted, before the handler drew
  bool FFailed = false;
  int64_t FConversions = 0;
};

}  // namespace vidora
