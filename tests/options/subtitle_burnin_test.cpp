// Subtitles burned into real conversions, judged on the decoded frames.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "../media/base/test_support.h"
#include "media/encoder/encoder.h"
#include "media/engine/ffmpeg.h"
#include "options/subtitle_scheduler.h"

namespace vidora::test {
namespace {

std::string Output(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, read);
  pclose(pipe);
  return output;
}

// Where a picture differs from the flat grey it was made of: the subtitle.
struct TRegion {
  int Left = INT_MAX, Top = INT_MAX, Right = -1, Bottom = -1;
  bool Empty() const { return Right < 0; }
  int Width() const { return Right - Left + 1; }
  int Height() const { return Bottom - Top + 1; }
};

class SubtitleBurnIn : public ::testing::Test {
 protected:
  void SetUp() override { LoadMediaLibraries(); }

  // A flat grey clip of 4 s, made by the ffmpeg tool; `rotate` is its display rotation.
  std::string Clip(const std::string& name, const std::string& size, int rotate = 0) {
    std::string path = (FFolder.Path() / name).string(), stored = path + ".stored.mp4";
    Output("ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x808080:s=" + size + ":r=25:d=4 -c:v mpeg4 -q:v 2 '" +
           stored + "'");
    // The tool writes a "rotate" tag as the display matrix only when it copies the stream.
    Output("ffmpeg -nostdin -v error -y -i '" + stored + "' -c copy -metadata:s:v:0 rotate=" + std::to_string(rotate) +
           " '" + path + "'");
    return path;
  }

  // Converts to a near-lossless 176x144 MPEG-4, the subtitles burned in as a
  // conversion job burns them; returns the output's name.
  std::string Convert(const std::string& input, const std::string& subRip, const std::vector<std::string>& options = {}) {
    std::string subtitles = (FFolder.Path() / "cues.srt").string(), output = input + ".out.mp4";
    std::ofstream(subtitles, std::ios::binary) << subRip;
    TSubtitleTable table;
    EXPECT_TRUE(LoadTXT(subtitles, 25, table));
    TSubtitleScheduler scheduler(table, FSettings, FFont, true);
    TFFmpeg engine;
    engine.Reset();
    engine.SetOnInputVideoHook([&](const void*, TBitmap& bitmap, int frame, int64_t pts, bool& update, bool& stop) {
      THookInfo info;
      info.Bitmap = &bitmap;
      info.FrameNumber = frame;
      info.PTS = pts;
      scheduler.OnFrame(info);
      update = info.Update;
      stop = info.StopHook;
    });
    EXPECT_TRUE(engine.OpenInputFile(input)) << engine.LastErrMsg();
    std::vector<std::string> all{"vcodec", "mpeg4", "qscale", "2", "s", "176x144", "an", "1"};
    all.insert(all.end(), options.begin(), options.end());
    for (size_t i = 0; i + 1 < all.size(); i += 2) engine.ParseOption(all[i], all[i + 1]);
    EXPECT_EQ(engine.OpenOutputFile(output, false), 1) << engine.LastErrMsg();
    engine.StartConvert(false);
    EXPECT_TRUE(engine.Finished()) << engine.FatalMessage();
    return output;
  }

  // The subtitle's region in the picture at `seconds`, decoded by the ffmpeg tool.
  static TRegion TextAt(const std::string& file, double seconds) {
    std::vector<uint8_t> luma(176 * 144);
    std::string picture = Output("ffmpeg -nostdin -v error -ss " + std::to_string(seconds) + " -i '" + file +
                              "' -frames:v 1 -f rawvideo -pix_fmt gray -");
    EXPECT_EQ(picture.size(), luma.size()) << file;
    TRegion region;
    for (size_t i = 0; i < picture.size(); ++i)
      if (std::abs(static_cast<uint8_t>(picture[i]) - 128) > 60) {
        int x = static_cast<int>(i % 176), y = static_cast<int>(i / 176);
        region = {std::min(region.Left, x), std::min(region.Top, y), std::max(region.Right, x), std::max(region.Bottom, y)};
      }
    return region;
  }

  // How wide a pixel of the output is shown against its height.
  static double PixelAspect(const std::string& file) {
    int num = 1, den = 1;
    std::string sar = Output("ffprobe -v error -select_streams v:0 -show_entries stream=sample_aspect_ratio -of csv=p=0 '" +
                          file + "'");
    return std::sscanf(sar.c_str(), "%d:%d", &num, &den) == 2 && num > 0 && den > 0 ? double(num) / den : 1.0;
  }

  TTempFolder FFolder;
  TSubtitleSettings FSettings;
  TWorkingFont FFont;
};

TEST_F(SubtitleBurnIn, EachCueShowsFromItsStartToItsEndWithAllItsLines) {
  std::string clip = Clip("grey.mp4", "176x144");
  std::string output = Convert(clip,
                               "1\r\n00:00:00,500 --> 00:00:01,300\r\nOne line\r\n\r\n"
                               "2\r\n00:00:01,620 --> 00:00:02,380\r\nWhat did you say?\r\nNo.\r\n\r\n"
                               "3\r\n00:00:02,380 --> 00:00:03,600\r\nThe next one replaces it\r\n\r\n");
  struct TCue {
    double Start, End;
  } cues[] = {{0.5, 1.3}, {1.62, 2.38}, {2.38, 3.6}};
  for (const TCue& cue : cues) {
    EXPECT_FALSE(TextAt(output, (cue.Start + cue.End) / 2).Empty()) << "shown at " << (cue.Start + cue.End) / 2;
    EXPECT_FALSE(TextAt(output, cue.Start + 0.04).Empty()) << "at most a frame late: " << cue.Start;
  }
  EXPECT_TRUE(TextAt(output, 0.44).Empty()) << "not before its start";
  EXPECT_TRUE(TextAt(output, 1.36).Empty()) << "gone after its end";
  EXPECT_TRUE(TextAt(output, 3.68).Empty()) << "gone after its end";
  TRegion one = TextAt(output, 0.9), two = TextAt(output, 2.0);
  EXPECT_GT(two.Height(), one.Height() * 3 / 2) << "both lines of a two-line cue, the short one too";
  EXPECT_GT(one.Top, 144 * 2 / 3) << "near the bottom";
  EXPECT_LE(one.Bottom, 144 - 7) << "clear of the bottom edge by 4 % of the width";
}

TEST_F(SubtitleBurnIn, SubtitlesStandUprightAtTheBottomAndKeepTheirShape) {
  const char* cue = "1\r\n00:00:00,000 --> 00:00:03,000\r\nUpright\r\n\r\n";
  // The shape of the text as shown: width over height, each pixel at its displayed width.
  auto shape = [](const TRegion& region, double pixelAspect) { return region.Width() * pixelAspect / region.Height(); };
  std::string square = Convert(Clip("square.mp4", "176x144"), cue);
  TRegion reference = TextAt(square, 1);
  ASSERT_FALSE(reference.Empty());
  double referenceShape = shape(reference, PixelAspect(square));

  for (int rotate : {90, 180, 270}) {
    std::string output = Convert(Clip("turned" + std::to_string(rotate) + ".mp4", "320x176", rotate), cue);
    TRegion text = TextAt(output, 1);
    ASSERT_FALSE(text.Empty()) << rotate;
    EXPECT_GT(text.Top, 144 * 2 / 3) << rotate << "°: at the bottom of the upright picture";
    EXPECT_GT(text.Width(), text.Height()) << rotate << "°: a line across, not down";
    EXPECT_NEAR(shape(text, PixelAspect(output)) / referenceShape, 1.0, 0.15) << rotate << "°: letters keep their shape";
  }
  std::string stored = Convert(Clip("stored.mp4", "320x176", 90), cue, {"autorotate", "0"});
  TRegion text = TextAt(stored, 1);
  ASSERT_FALSE(text.Empty());
  EXPECT_GT(text.Top, 144 * 2 / 3) << "not turned: on the stored picture";
  EXPECT_GT(text.Width(), text.Height());

  std::string wide = Convert(Clip("wide.mp4", "320x180"), cue);
  TRegion wideText = TextAt(wide, 1);
  ASSERT_FALSE(wideText.Empty());
  EXPECT_NEAR(shape(wideText, PixelAspect(wide)) / referenceShape, 1.0, 0.15) << "16:9: neither squeezed nor stretched";
}

}  // namespace
}  // namespace vidora::test
