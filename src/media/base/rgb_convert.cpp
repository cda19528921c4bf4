#include "media/base/rgb_convert.h"

#include <cstdlib>
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
AVFrame* AlignedFrame(TFramePtr& frame, int width, int height, AVPixelFormat format) {
  if (frame && frame->width == width && frame->height == height && frame->format == format) return frame.get();
  frame = NewFrame();
  if (!frame) return nullptr;
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (avutil.av_frame_get_buffer(frame.get(), 0) < 0) {
    frame.reset();
    return nullptr;
  }
  // The scaler reads the padding after a row's pixels too: known bytes.
  for (AVBufferRef* buffer : frame->buf)
    if (buffer) std::memset(buffer->data, 0, buffer->size);
  return frame.get();
}

// Whole scaler blocks per row, the right way up: the scaler may use the target rows themselves.
bool ScalesInPlace(int width, bool flip) { return !flip && width % 16 == 0; }

const AVPixFmtDescriptor* Descriptor(const AVFrame* picture) {
  return avutil.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
}

// The picture's planes from row `first` on: the chroma planes (1 and 2) move by
// their own, subsampled rows.
void PlanesFrom(const AVFrame* picture, int first, uint8_t* planes[4]) {
  const AVPixFmtDescriptor* descriptor = Descriptor(picture);
  for (int plane = 0; plane < 4; ++plane) {
    int rows = (plane == 1 || plane == 2) ? first >> descriptor->log2_chroma_h : first;
    planes[plane] = picture->data[plane] ? picture->data[plane] + static_cast<ptrdiff_t>(rows) * picture->linesize[plane]
                                         : nullptr;
  }
}

}  // namespace

bool ScaleRows(SwsContext* scaler, const uint8_t* const planes[4], const int linesizes[4], int sourceRows,
               uint8_t* target, int targetStride, int width, int rows, AVPixelFormat format, TFramePtr& staging,
               bool flip) {
  if (ScalesInPlace(width, flip)) {
    uint8_t* targets[4] = {target, nullptr, nullptr, nullptr};
    int strides[4] = {targetStride, 0, 0, 0};
    swscale.sws_scale(scaler, planes, linesizes, 0, sourceRows, targets, strides);
    return true;
  }
  if (!AlignedFrame(staging, width, rows, format)) return false;
  swscale.sws_scale(scaler, planes, linesizes, 0, sourceRows, staging->data, staging->linesize);
  uint8_t* first = flip ? target + static_cast<ptrdiff_t>(rows - 1) * targetStride : target;
  CopyRows(first, flip ? -targetStride : targetStride, staging->data[0], staging->linesize[0],
           std::abs(targetStride), rows);
  return true;
}

void TRGBConvertContext::Reset(int bitsPixel) {
  FToRGB.reset();
  FFromRGB.reset();
  FStaging.reset();

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
  AVRational aspect = picture->sample_aspect_ratio;
  FBitmap.SetPixelAspect(aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0);
  FBitmap.SetPendingPixels([this, picture](TBitmap&, int first, int end) { return Fill(picture, first, end); });
}

bool TRGBConvertContext::ToRGB(const AVFrame* picture) {
  Attach(picture);
  FBitmap.Bits();
  return !FFailed;
}

int TRGBConvertContext::FirstRow(const AVFrame* picture, int first) const {
  const AVPixFmtDescriptor* descriptor = Descriptor(picture);
  // A palette is no plane to move down; such pictures are made whole.
  if (!descriptor || (descriptor->flags & AV_PIX_FMT_FLAG_PAL)) return 0;
  int pair = 1 << descriptor->log2_chroma_h;
  return first / pair * pair;
}

int TRGBConvertContext::Fill(const AVFrame* picture, int first, int end) {
  if (end == picture->height) ++FConversions;
  first = FirstRow(picture, first);
  int rows = end - first;
  int stride = FBitmap.Stride();
  uint8_t* target = FBitmap.RawBits() + static_cast<ptrdiff_t>(first) * stride;
  if (Direct(picture)) {
    CopyRows(target, stride, picture->data[0] + static_cast<ptrdiff_t>(first) * picture->linesize[0],
             picture->linesize[0], stride, rows);
    return first;
  }
  // The library frees the old scaler when it makes a new one.
  FToRGB.reset(swscale.sws_getCachedContext(FToRGB.release(), picture->width, rows,
                                            static_cast<AVPixelFormat>(picture->format), picture->width, rows,
                                            FRGBPixFmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
  uint8_t* planes[4];
  PlanesFrom(picture, first, planes);
  if (!FToRGB || !ScaleRows(FToRGB.get(), planes, picture->linesize, rows, target, stride, picture->width, rows,
                            FRGBPixFmt, FStaging)) {
    FFailed = true;
    return 0;
  }
  FOriginal.resize(static_cast<size_t>(stride) * FBitmap.Height());
  std::memcpy(FOriginal.data() + static_cast<ptrdiff_t>(first) * stride, target, static_cast<size_t>(rows) * stride);
  return first;
}

TRGBConvertContext::THookResult TRGBConvertContext::FinishHook(AVFrame* picture, bool update, bool convertUntouched) {
  bool touched = FBitmap.Touched();
  FBitmap.DropPendingPixels();
  if (touched && FFailed) return THookResult::ToRGBFailed;
  if (!update || (!touched && !convertUntouched)) return THookResult::Unchanged;
  if (!touched && !ToRGB(picture)) return THookResult::ToRGBFailed;
  // The decoder may still refer to the picture: the bitmap goes into a copy of our own.
  if (avutil.av_frame_make_writable(picture) < 0) return THookResult::NoMemory;
  return WriteBack(picture, true) ? THookResult::Updated : THookResult::FromRGBFailed;
}

bool TRGBConvertContext::FromRGB(AVFrame* picture) { return WriteBack(picture, false); }

bool TRGBConvertContext::WriteBack(AVFrame* picture, bool onlyChanged) {
  // Only the rows the handler made can have changed.
  int first = FBitmap.MadeFrom();
  const uint8_t* bits = FBitmap.Bits() + static_cast<ptrdiff_t>(first) * FBitmap.Stride();
  int stride = FBitmap.Stride();
  int rows = picture->height - first;
  if (rows <= 0) return true;
  if (Direct(picture)) {
    CopyRows(picture->data[0] + static_cast<ptrdiff_t>(first) * picture->linesize[0], picture->linesize[0], bits,
             stride, stride, rows);
    return true;
  }
  FFromRGB.reset(swscale.sws_getCachedContext(FFromRGB.release(), picture->width, rows, FRGBPixFmt, picture->width,
                                              rows, static_cast<AVPixelFormat>(picture->format), SWS_BICUBIC, nullptr,
                                              nullptr, nullptr));
  if (!FFromRGB) return false;
  const uint8_t* source[4] = {bits, nullptr, nullptr, nullptr};
  int sourceStride[4] = {stride, 0, 0, 0};
  if (!ScalesInPlace(picture->width, false)) {
    // The scaler reads whole blocks too: past the last row of the bitmap.
    AVFrame* staging = AlignedFrame(FStaging, picture->width, rows, FRGBPixFmt);
    if (!staging) return false;
    CopyRows(staging->data[0], staging->linesize[0], bits, stride, stride, rows);
    source[0] = staging->data[0];
    sourceStride[0] = staging->linesize[0];
  }
  // A round trip through RGB moves colours by a code value: only what the
  // handler changed goes back, so no faint box shows around its drawing.
  AVFrame* written = onlyChanged && CanMerge(picture) ? AlignedFrame(FWritten, picture->width, rows,
                                                                      static_cast<AVPixelFormat>(picture->format))
                                                     : nullptr;
  if (written) {
    swscale.sws_scale(FFromRGB.get(), source, sourceStride, 0, rows, written->data, written->linesize);
    MergeChanged(picture, written, first);
    return true;
  }
  uint8_t* planes[4];
  PlanesFrom(picture, first, planes);
  swscale.sws_scale(FFromRGB.get(), source, sourceStride, 0, rows, planes, picture->linesize);
  return true;
}

bool TRGBConvertContext::CanMerge(const AVFrame* picture) const {
  const AVPixFmtDescriptor* descriptor = Descriptor(picture);
  // Coarse 8- to 16-bit pixels may look unchanged where the handler drew.
  return FBitsPixel >= 24 && descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) &&
         !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) && descriptor->nb_components >= 3 &&
         descriptor->comp[0].depth == 8 && FOriginal.size() >= static_cast<size_t>(FBitmap.Stride()) * FBitmap.Height();
}

void TRGBConvertContext::MergeChanged(AVFrame* picture, const AVFrame* written, int first) const {
  const AVPixFmtDescriptor* descriptor = Descriptor(picture);
  int width = picture->width, rows = picture->height - first, stride = FBitmap.Stride();
  int pixelBytes = (FBitsPixel == 15 ? 16 : FBitsPixel) / 8;
  std::vector<uint8_t> changed(static_cast<size_t>(width) * rows, 0);
  for (int y = 0; y < rows; ++y) {
    const uint8_t* now = FBitmap.ScanLine(first + y);
    const uint8_t* before = FOriginal.data() + static_cast<ptrdiff_t>(first + y) * stride;
    // Most rows hold nothing of the drawing: one comparison clears them.
    if (std::memcmp(now, before, static_cast<size_t>(width) * pixelBytes) == 0) continue;
    for (int x = 0; x < width; ++x)
      changed[static_cast<size_t>(y) * width + x] = std::memcmp(now + x * pixelBytes, before + x * pixelBytes, pixelBytes) != 0;
  }
  for (int plane = 0; plane < 4 && picture->data[plane]; ++plane) {
    bool chroma = plane == 1 || plane == 2;
    int shiftX = chroma ? descriptor->log2_chroma_w : 0, shiftY = chroma ? descriptor->log2_chroma_h : 0;
    int planeRows = (rows + (1 << shiftY) - 1) >> shiftY, planeWidth = (width + (1 << shiftX) - 1) >> shiftX;
    uint8_t* target = picture->data[plane] + static_cast<ptrdiff_t>(first >> shiftY) * picture->linesize[plane];
    for (int y = 0; y < planeRows; ++y)
      for (int x = 0; x < planeWidth; ++x) {
        // A subsampled sample goes back when any pixel it covers changed.
        bool any = false;
        for (int dy = 0; dy < (1 << shiftY) && !any; ++dy)
          for (int dx = 0; dx < (1 << shiftX) && !any; ++dx) {
            int py = (y << shiftY) + dy, px = (x << shiftX) + dx;
            any = py < rows && px < width && changed[static_cast<size_t>(py) * width + px];
          }
        if (any)
          target[static_cast<ptrdiff_t>(y) * picture->linesize[plane] + x] =
              written->data[plane][static_cast<ptrdiff_t>(y) * written->linesize[plane] + x];
      }
  }
}

}  // namespace vidora
