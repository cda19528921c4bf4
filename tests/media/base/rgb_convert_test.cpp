#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "media/base/bindings.h"
#include "media/base/rgb_convert.h"
#include "test_support.h"

namespace vidora {
namespace {

struct TFrameFree {
  void operator()(AVFrame* frame) const { avutil.av_frame_free(&frame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;

uint8_t Luma(int x, int row) { return static_cast<uint8_t>(32 + (x + row) % 192); }

// A decoder-like grey picture: library-aligned planes, a luma ramp.
TFramePtr GreyPicture(int width, int height) {
  TFramePtr frame(avutil.av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = AV_PIX_FMT_YUV420P;
  EXPECT_EQ(avutil.av_frame_get_buffer(frame.get(), 0), 0);
  for (AVBufferRef* buffer : frame->buf)  // the padding too, as a decoder leaves it
    if (buffer) std::memset(buffer->data, 0, buffer->size);
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) frame->data[0][row * frame->linesize[0] + x] = Luma(x, row);
  for (int plane = 1; plane < 3; ++plane)
    for (int row = 0; row < (height + 1) / 2; ++row)
      std::fill_n(frame->data[plane] + row * frame->linesize[plane], (width + 1) / 2, 128);
  return frame;
}

// Luma values that moved by more than the conversions' rounding.
int ChangedLuma(const AVFrame& picture) {
  int changed = 0;
  for (int row = 0; row < picture.height; ++row)
    for (int x = 0; x < picture.width; ++x)
      changed += std::abs(picture.data[0][row * picture.linesize[0] + x] - Luma(x, row)) > 3;
  return changed;
}

class RGBConvert : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::LoadMediaLibraries(); }
};

// The scaler writes whole aligned rows; sizes whose rows are not a multiple
// of its vector width used to run past the bitmap (seen at 426x240, 175x143).
TEST_F(RGBConvert, EveryWidthAndDepthRoundTripsThroughTheHookPath) {
  for (int depth : {8, 15, 16, 24, 32}) {
    TRGBConvertContext context(depth);
    for (int width : {160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178,
                      179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197,
                      198, 199, 200, 420, 421, 422, 423, 424, 425, 426, 427, 428, 429, 430, 431, 432}) {
      for (int height : {142, 143, 150, 240}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << depth << " bits");
        TFramePtr picture = GreyPicture(width, height);
        context.Attach(picture.get());
        TBitmap& bitmap = context.Bitmap();
        ASSERT_EQ(bitmap.Width(), width);
        bitmap.Bits();  // the handler looks: the bitmap goes back as it is
        ASSERT_EQ(context.FinishHook(picture.get(), true, true), TRGBConvertContext::THookResult::Updated);
        // 8 to 16 bits lose precision; the full depths give the picture back.
        if (depth >= 24) {
          EXPECT_EQ(ChangedLuma(*picture), 0);
        }
      }
    }
  }
}

// A hook that draws near the bottom makes and puts back only the rows from
// there on (from the row pair that holds the first one).
TEST_F(RGBConvert, AHandlerDrawingLowMakesOnlyTheRowsFromThere) {
  for (int depth : {8, 24, 32}) {
    TRGBConvertContext context(depth);
    for (int width : {176, 426}) {
      SCOPED_TRACE(testing::Message() << width << " at " << depth << " bits");
      TFramePtr picture = GreyPicture(width, 143);
      context.Attach(picture.get());
      uint8_t* row = context.Bitmap().ScanLine(135);
      std::fill_n(row, width * depth / 8, 0xFF);  // a white line
      EXPECT_EQ(context.Bitmap().MadeFrom(), 134) << "the row pair of 4:2:0 pictures";
      ASSERT_EQ(context.FinishHook(picture.get(), true, true), TRGBConvertContext::THookResult::Updated);
      for (int y = 0; y < 134; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(picture->data[0][y * picture->linesize[0] + x], Luma(x, y)) << "row " << y << " stays as decoded";
      for (int x = 0; x < width; ++x) ASSERT_GT(picture->data[0][135 * picture->linesize[0] + x], 230) << x;
      EXPECT_LE(std::abs(picture->data[0][142 * picture->linesize[0] + 5] - Luma(5, 142)), 3 + (depth == 8) * 40);
    }
  }
}

}  // namespace
}  // namespace vidora
