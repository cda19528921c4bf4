#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine_fixture.h"
#include "media/base/bindings.h"
#include "media/decode/decoder.h"
#include "probe.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

// A picture with a brightness ramp and neutral colour.
AVFrame* MakePicture(int width, int height, AVPixelFormat format) {
  AVFrame* frame = avutil.av_frame_alloc();
  frame->width = width;
  frame->height = height;
  frame->format = format;
  avutil.av_frame_get_buffer(frame, 0);
  const AVPixFmtDescriptor* descriptor = avutil.av_pix_fmt_desc_get(format);
  for (int plane = 0; plane < 4 && frame->data[plane]; ++plane) {
    int h = plane == 0 ? height : -((-height) >> descriptor->log2_chroma_h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < frame->linesize[plane]; ++x)
        frame->data[plane][y * frame->linesize[plane] + x] = plane ? 128 : 16 + (x + y) * 200 / (width + height);
  }
  return frame;
}

TEST(RGBConvert, DepthsMapToTheirLayouts) {
  TRGBConvertContext context;
  EXPECT_EQ(context.BitsPixel(), 24);
  std::pair<int, AVPixelFormat> depths[] = {{8, AV_PIX_FMT_BGR8},      {15, AV_PIX_FMT_RGB555LE}, {16, AV_PIX_FMT_RGB565LE},
                                            {24, AV_PIX_FMT_BGR24},    {32, AV_PIX_FMT_BGRA},     {12, AV_PIX_FMT_BGR24}};
  for (auto [bits, format] : depths) {
    context.Reset(bits);
    EXPECT_EQ(context.RGBPixFmt(), format) << bits;
    EXPECT_EQ(context.BitsPixel(), bits == 12 ? 24 : bits);
  }
}

class RGBConvertTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadMediaLibraries(); }
};

TEST_F(RGBConvertTest, OddWidthRoundTripsThroughA24BitBitmap) {
  AVFrame* picture = MakePicture(175, 143, AV_PIX_FMT_YUV420P);
  AVFrame* copy = MakePicture(175, 143, AV_PIX_FMT_YUV420P);
  TRGBConvertContext context(24);
  ASSERT_TRUE(context.ToRGB(picture));
  EXPECT_EQ(context.Bitmap().Width(), 175);
  EXPECT_EQ(context.Bitmap().Stride(), 528) << "525 bytes padded to 4";
  for (int y = 0; y < 143; ++y) std::fill_n(copy->data[0] + y * copy->linesize[0], 175, 0);
  ASSERT_TRUE(context.FromRGB(copy));
  long difference = 0;
  for (int y = 0; y < 143; ++y)
    for (int x = 0; x < 175; ++x)
      difference += std::abs(picture->data[0][y * picture->linesize[0] + x] - copy->data[0][y * copy->linesize[0] + x]);
  EXPECT_LT(difference / (175.0 * 143.0), 2.0) << "brightness survives the round trip";
  avutil.av_frame_free(&picture);
  avutil.av_frame_free(&copy);
}

TEST_F(RGBConvertTest, PixelsAreMadeOnlyWhenLookedAt) {
  AVFrame* picture = MakePicture(64, 48, AV_PIX_FMT_YUV420P);
  TRGBConvertContext context(32);
  context.Attach(picture);
  EXPECT_EQ(context.Bitmap().Width(), 64);
  EXPECT_EQ(context.Conversions(), 0);
  const uint8_t* pixel = context.Bitmap().ScanLine(10);
  EXPECT_EQ(context.Conversions(), 1);
  EXPECT_EQ(pixel[3], 255) << "opaque BGRA";
  context.Bitmap().Bits();
  EXPECT_EQ(context.Conversions(), 1) << "once per picture";
  avutil.av_frame_free(&picture);
}

TEST_F(RGBConvertTest, OnlyWhatTheHandlerChangedGoesBack) {
  AVFrame* picture = MakePicture(176, 144, AV_PIX_FMT_YUV420P);
  AVFrame* copy = MakePicture(176, 144, AV_PIX_FMT_YUV420P);
  TRGBConvertContext context(24);
  context.Attach(picture);
  uint8_t* pixel = context.Bitmap().ScanLine(120) + 3 * 88;
  pixel[0] = pixel[1] = 0;
  pixel[2] = 255;
  EXPECT_EQ(context.FinishHook(picture, true, false), TRGBConvertContext::THookResult::Updated);
  // No faint box: the rows around the drawing keep their values exactly.
  int changedLuma = 0, changedChroma = 0;
  for (int y = 0; y < 144; ++y)
    for (int x = 0; x < 176; ++x) {
      bool drawn = y / 2 == 60 && x / 2 == 44;
      changedLuma += !drawn && picture->data[0][y * picture->linesize[0] + x] != copy->data[0][y * copy->linesize[0] + x];
      for (int plane : {1, 2})
        changedChroma += !drawn && picture->data[plane][y / 2 * picture->linesize[plane] + x / 2] !=
                                       copy->data[plane][y / 2 * copy->linesize[plane] + x / 2];
    }
  EXPECT_EQ(changedLuma, 0);
  EXPECT_EQ(changedChroma, 0);
  EXPECT_LT(picture->data[0][120 * picture->linesize[0] + 88], copy->data[0][120 * copy->linesize[0] + 88] - 10)
      << "the red pixel went in";
  EXPECT_GT(picture->data[2][60 * picture->linesize[2] + 44], 138);
  avutil.av_frame_free(&picture);
  avutil.av_frame_free(&copy);
}

class HooksTest : public EngineTest {
 protected:
  // clip.mp4 to a near-lossless MPEG-4 of the same size, no sound.
  void Convert(const std::string& output, bool run = true) {
    ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
    FEngine.ParseOption("vcodec", "mpeg4");
    FEngine.ParseOption("qscale", "2");
    FEngine.ParseOption("an", "1");
    ASSERT_EQ(FEngine.OpenOutputFile(Out(output), false), 1) << FEngine.LastErrMsg();
    if (run) FEngine.StartConvert(false);
  }
  void Plain() {
    Convert("plain.mp4");
    FEngine.Reset();
  }
};

TEST_F(HooksTest, ARedBoxDrawnInTheInputHookIsEncoded) {
  std::atomic<int> calls{0};
  FEngine.SetOnInputVideoHook([&](const void*, TBitmap& bitmap, int frameNumber, int64_t, bool&, bool&) {
    EXPECT_EQ(frameNumber, ++calls);
    for (int y = 40; y < 80; ++y)
      for (int x = 40; x < 80; ++x) {
        uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;  // B, G, R
        pixel[0] = 0;
        pixel[1] = 0;
        pixel[2] = 255;
      }
  });
  Convert("red.mp4");
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_EQ(calls, 75);
  // Read back through our own decoder: picture 30, as a 24-bit (B, G, R) bitmap.
  TFFDecoder decoder;
  ASSERT_TRUE(decoder.LoadFile(Out("red.mp4")));
  for (int i = 0; i <= 30; ++i) ASSERT_TRUE(decoder.Decode());
  TBitmap picture;
  ASSERT_TRUE(decoder.CopyToBitmap(picture));
  auto at = [&](int x, int y) { return picture.ScanLine(y) + 3 * x; };
  EXPECT_LT(at(60, 60)[0], 60);
  EXPECT_LT(at(60, 60)[1], 60);
  EXPECT_GT(at(60, 60)[2], 200);
  EXPECT_FALSE(at(200, 200)[2] > 200 && at(200, 200)[1] < 60) << "only the box is red";
}

TEST_F(HooksTest, NoUpdateLeavesPicturesAloneAndCostsNoConversion) {
  Plain();
  FEngine.SetOnInputVideoHook([](const void*, TBitmap&, int, int64_t, bool& update, bool&) { update = false; });
  Convert("untouched.mp4");
  EXPECT_TRUE(FEngine.Finished());
  EXPECT_EQ(FEngine.InputHookContext().Conversions(), 0);
  EXPECT_TRUE(ReadAll(Out("untouched.mp4")) == ReadAll(Out("plain.mp4")));
}

TEST_F(HooksTest, StopHookDetachesTheHandler) {
  int calls = 0;
  FEngine.SetOnInputVideoHook([&](const void*, TBitmap&, int, int64_t, bool&, bool& stopHook) {
    ++calls;
    stopHook = true;
  });
  Convert("stopped-hook.mp4");
  EXPECT_TRUE(FEngine.Finished());
  EXPECT_EQ(calls, 1);
}

TEST_F(HooksTest, AThrowingHandlerIsLoggedAndTheTaskGoesOn) {
  Plain();
  int calls = 0;
  FEngine.SetOnInputVideoHook([&](const void*, TBitmap& bitmap, int, int64_t, bool&, bool&) {
    ++calls;
    bitmap.Bits()[0] = 0;
    throw std::runtime_error("boom");
  });
  Convert("thrown.mp4");
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_EQ(calls, 75) << "called again on every frame";
  EXPECT_TRUE(Logged("Error occurs VideoHook event: boom"));
  EXPECT_TRUE(ReadAll(Out("thrown.mp4")) == ReadAll(Out("plain.mp4"))) << "frames encoded unchanged";
}

TEST_F(HooksTest, OutputHookSeesTheEncodedSize) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("s", "176x144");
  FEngine.ParseOption("an", "1");
  std::vector<int> frames;
  FEngine.SetVideoHookBitsPixel(32);
  FEngine.SetOnOutputVideoHook([&](const void*, TBitmap& bitmap, int frameNumber, int64_t pts, bool& update, bool&) {
    EXPECT_EQ(bitmap.BitsPerPixel(), 32);
    EXPECT_EQ(bitmap.Width(), 176);
    EXPECT_EQ(bitmap.Height(), 144);
    EXPECT_EQ(pts, (frameNumber - 1) * 40000);
    frames.push_back(frameNumber);
    update = false;
  });
  ASSERT_EQ(FEngine.OpenOutputFile(Out("output-hook.3gp"), false), 1);
  FEngine.StartConvert(false);
  ASSERT_EQ(frames.size(), 75u);
  EXPECT_EQ(frames.front(), 1);
  EXPECT_EQ(frames.back(), 75);
}

TEST_F(HooksTest, PreviewBitmapsArriveAtThePreviewInterval) {
  std::vector<int64_t> at;
  auto start = std::chrono::steady_clock::now();
  FEngine.SetOnPreviewBitmap([&](const void*, TBitmap& bitmap, int, int64_t) {
    EXPECT_EQ(bitmap.Width(), 320);
    at.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  });
  FEngine.SetPostHooks(phBitmap);
  FEngine.ParseOption("re", "1");
  Convert("preview.mp4");
  EXPECT_TRUE(FEngine.Finished());
  // 3 s of 25 frames/s at one preview per 100 ms: roughly one frame in three.
  EXPECT_GE(at.size(), 18u);
  EXPECT_LE(at.size(), 31u);
  for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], 95);
}

class TRecordingPreviewer : public IPreviewer {
 public:
  explicit TRecordingPreviewer(std::vector<int>& frames) : FFrames(frames) {}
  bool PaintFrame(const TBitmap& bitmap, int frameNumber, int64_t) override {
    EXPECT_FALSE(bitmap.Empty());
    FFrames.push_back(frameNumber);
    return FFrames.size() < 3;  // the user closes the window after the third picture
  }

 private:
  std::vector<int>& FFrames;
};

TEST_F(HooksTest, PreviewWindowPaintsUntilItIsClosed) {
  std::vector<int> painted;
  FEngine.SetPreviewerFactory([&] { return std::make_unique<TRecordingPreviewer>(painted); });
  FEngine.SetPostHooks(phPreview);
  FEngine.PreviewInterval = 0;
  Convert("previewed.mp4");
  EXPECT_TRUE(FEngine.Finished());
  EXPECT_EQ(painted, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(FEngine.PostHooks(), 0) << "a closed window takes phPreview away";
}

// A window whose first paint lasts until the host has switched the preview off.
class TSlowPreviewer : public IPreviewer {
 public:
  TSlowPreviewer(TEvent& painting, TEvent& switched, std::atomic<int>& paints, std::atomic<bool>& closed)
      : FPainting(painting), FSwitched(switched), FPaints(paints), FClosed(closed) {}
  ~TSlowPreviewer() override { FClosed = true; }
  bool PaintFrame(const TBitmap& bitmap, int, int64_t) override {
    FPainting.Set();
    FSwitched.WaitFor(std::chrono::seconds(3));
    EXPECT_FALSE(bitmap.Empty());
    ++FPaints;
    return true;
  }

 private:
  TEvent& FPainting;
  TEvent& FSwitched;
  std::atomic<int>& FPaints;
  std::atomic<bool>& FClosed;
};

TEST_F(HooksTest, SwitchingThePreviewOffDoesNotWaitForAPaint) {
  TEvent painting(false), switched(false);
  std::atomic<int> paints{0};
  std::atomic<bool> closed{false};
  FEngine.SetPreviewerFactory([&] { return std::make_unique<TSlowPreviewer>(painting, switched, paints, closed); });
  FEngine.SetPostHooks(phPreview);
  FEngine.PreviewInterval = 0;
  Convert("switched-off.mp4", false);
  ASSERT_TRUE(FEngine.StartConvert(true));
  ASSERT_TRUE(painting.WaitFor(std::chrono::seconds(10)));
  FEngine.SetPostHooks(0);
  EXPECT_EQ(paints, 0) << "switched while the paint was still going on";
  EXPECT_FALSE(closed) << "the window is not closed under the paint";
  switched.Set();
  FEngine.Stop(true);
  EXPECT_EQ(paints, 1) << "no paint after the switch";
  EXPECT_TRUE(closed) << "closed once the paint returned";
}

TEST_F(HooksTest, AudioHookSeesSamplesBeforeTheVolume) {
  int calls = 0;
  FEngine.SetOnAudioHook([&](const void*, int64_t, uint8_t** samples, int size, int rate, int channels,
                             AVSampleFormat format) {
    ++calls;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 1);
    EXPECT_GT(size, 0);
    std::fill_n(samples[0], size, 0);  // silence, whatever the format
    (void)format;
  });
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("tone.wav")));
  FEngine.ParseOption("acodec", "aac");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("silenced.mp4"), false), 1);
  FEngine.StartConvert(false);
  EXPECT_TRUE(FEngine.Finished());
  EXPECT_GT(calls, 10);
  EXPECT_LT(MeanVolume(Out("silenced.mp4")), -80);
}

TEST_F(HooksTest, StreamCopyRefusesHooks) {
  FEngine.SetOnInputVideoHook([](const void*, TBitmap&, int, int64_t, bool&, bool&) {});
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("vcodec", "copy");
  FEngine.ParseOption("an", "1");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("copy-hook.mp4"), false), 1);
  FEngine.StartConvert(false);
  EXPECT_EQ(FEngine.FatalMessage(), "-vcodec copy and VideoHook are incompatible (frames are not decoded)");

  TFFmpeg engine;
  engine.Reset();
  engine.SetPostHooks(phBitmap);
  ASSERT_TRUE(engine.OpenInputFile(Clip("clip.mp4")));
  engine.ParseOption("vcodec", "copy");
  engine.ParseOption("an", "1");
  ASSERT_EQ(engine.OpenOutputFile(Out("copy-preview.mp4"), false), 1);
  engine.StartConvert(false);
  EXPECT_EQ(engine.FatalMessage(), "-vcodec copy and PostHooks are incompatible (frames are not decoded)");

  TFFmpeg sound;
  sound.Reset();
  sound.SetOnAudioHook([](const void*, int64_t, uint8_t**, int, int, int, AVSampleFormat) {});
  ASSERT_TRUE(sound.OpenInputFile(Clip("tone.wav")));
  sound.ParseOption("acodec", "copy");
  ASSERT_EQ(sound.OpenOutputFile(Out("copy-sound.wav"), false), 1);
  sound.StartConvert(false);
  EXPECT_EQ(sound.FatalMessage(), "-acodec copy and AudioHook are incompatible (frames are not decoded)");
}

}  // namespace
}  // namespace vidora::test
