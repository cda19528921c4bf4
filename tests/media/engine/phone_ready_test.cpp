// Pictures and sound as small phones show and play them: upright, in their
// shape, at a rate the codec can express, without combing, at the promised
// bit rate, at full level from the right track, and with late sound in place.
// Judged by decoding the outputs with the ffmpeg tool, never by their tags.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "engine_fixture.h"
#include "probe.h"

namespace vidora::test {
namespace {

// One decoded picture in grey levels, as stored (no rotation tag applied).
struct TGreyPicture {
  int Width = 0, Height = 0;
  std::string Pixels;
  int At(int x, int y) const { return static_cast<unsigned char>(Pixels[static_cast<size_t>(y) * Width + x]); }
  double Mean(int x0, int y0, int x1, int y1) const {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += At(x, y);
    return sum / std::max(1, (x1 - x0) * (y1 - y0));
  }
  // The smallest rectangle holding every pixel brighter than black bars: {x0, y0, x1, y1}.
  std::vector<int> Content() const {
    int x0 = Width, y0 = Height, x1 = 0, y1 = 0;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x)
        if (At(x, y) > 40) {
          x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
        }
    return {x0, y0, x1, y1};
  }
  // Pixels that differ strongly from both lines around them in the same
  // direction: the teeth of two fields from different moments.
  int CombedPixels() const {
    int count = 0;
    for (int y = 1; y + 1 < Height; ++y)
      for (int x = 0; x < Width; ++x) {
        int above = At(x, y) - At(x, y - 1), below = At(x, y) - At(x, y + 1);
        if ((above > 80 && below > 80) || (above < -80 && below < -80)) ++count;
      }
    return count;
  }
};

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TGreyPicture Picture(const std::string& path, double seconds) {
  TGreyPicture picture;
  std::string size = CommandOutput("ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
                                   Quoted(path));
  if (std::sscanf(size.c_str(), "%d,%d", &picture.Width, &picture.Height) != 2) return picture;
  picture.Pixels = CommandOutput("ffmpeg -nostdin -v error -noautorotate -ss " + std::to_string(seconds) + " -i " +
                                 Quoted(path) + " -frames:v 1 -f rawvideo -pix_fmt gray -");
  if (picture.Pixels.size() != static_cast<size_t>(picture.Width) * picture.Height) picture.Pixels.clear();
  return picture;
}

// One field of ffprobe's answer for the first stream of a kind ("v", "a").
std::string StreamField(const std::string& path, const std::string& kind, const std::string& field) {
  std::string value = CommandOutput("ffprobe -v error -select_streams " + kind + ":0 -show_entries stream=" + field +
                                    " -of default=nw=1:nk=1 " + Quoted(path));
  while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
  return value;
}

// Where a white bar on black stands in each picture of a 176x144 output,
// across its middle row, in pixels.
std::vector<double> BarPlaces(const std::string& output) {
  std::string pixels = CommandOutput("ffmpeg -nostdin -v error -i " + Quoted(output) + " -f rawvideo -pix_fmt gray -");
  std::vector<double> places;
  for (size_t row = 72 * 176; row + 176 <= pixels.size(); row += 176 * 144) {
    double sum = 0, count = 0;
    for (int x = 0; x < 176; ++x)
      if (static_cast<unsigned char>(pixels[row + x]) > 128) sum += x, ++count;
    places.push_back(count ? sum / count : -1);
  }
  return places;
}

class PhoneReadyTest : public EngineTest {
 protected:
  // A clip made by the ffmpeg tool in the test's folder.
  std::string MakeClip(const std::string& name, const std::string& arguments) {
    std::string path = Out(name);
    CommandOutput("ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " " + Quoted(path));
    EXPECT_TRUE(std::filesystem::exists(path)) << arguments;
    return path;
  }
  void Convert(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    FEngine.Reset();
    ASSERT_TRUE(FEngine.OpenInputFile(input)) << FEngine.LastErrMsg();
    for (size_t i = 0; i + 1 < options.size(); i += 2)
      ASSERT_TRUE(FEngine.ParseOption(options[i], options[i + 1])) << options[i];
    ASSERT_GT(FEngine.OpenOutputFile(output, false), 0) << FEngine.LastErrMsg();
    FEngine.StartConvert(false);
    ASSERT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  }
};

std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

TEST_F(PhoneReadyTest, RotatedSourcesComeOutUpright) {
  // A grey picture stored on its side: its white block, the top of what the
  // camera saw, lies at the left. The ffmpeg tool turns a "rotate" tag into
  // a display matrix only when it copies, and counts it counter-clockwise:
  // 270 gives the matrix of a phone's 90° turn.
  std::string stored = MakeClip("stored.mp4", "-f lavfi -i color=c=0x606060:size=320x240:rate=25:duration=1,"
                                              "drawbox=x=0:y=80:w=48:h=80:c=white:t=fill -c:v mpeg4 -q:v 3");
  for (std::string tag : {"270", "90", "180"}) {
    SCOPED_TRACE("rotate tag " + tag);
    std::string clip = MakeClip("turned" + tag + ".mp4", "-i " + Quoted(stored) + " -c copy -metadata:s:v:0 rotate=" + tag);
    ASSERT_NE(CommandOutput("ffprobe -v error -show_streams " + Quoted(clip)).find("rotation="), std::string::npos);
    // Where a player that honours the matrix shows the block: the reference.
    std::string upright = Out("upright" + tag + ".mp4");
    CommandOutput("ffmpeg -nostdin -v error -y -i " + Quoted(clip) + " -s 176x144 -c:v mpeg4 -q:v 2 " + Quoted(upright));
    std::string output = Out("turned" + tag + ".3gp");
    Convert(clip, output, Phone);
    TGreyPicture expected = Picture(upright, 0.5), got = Picture(output, 0.5);
    ASSERT_EQ(got.Width, 176);
    ASSERT_FALSE(got.Pixels.empty());
    // The block is on the same side as the player shows it (top, top, right).
    for (auto [x0, y0, x1, y1] : {std::array{0, 0, 176, 30}, {0, 114, 176, 144}, {0, 0, 30, 144}, {146, 0, 176, 144}})
      EXPECT_NEAR(got.Mean(x0, y0, x1, y1), expected.Mean(x0, y0, x1, y1), 20) << x0 << "," << y0;
    if (tag == "270") {
      EXPECT_GT(got.Mean(60, 0, 116, 25), 200);  // the block at the top
    }
    EXPECT_EQ(CommandOutput("ffprobe -v error -show_streams " + Quoted(output)).find("rotation"), std::string::npos);
  }

  // Switched off, the picture stays as stored: the block at the left.
  std::string output = Out("kept.3gp");
  Convert(Out("turned270.mp4"), output, With(Phone, {"autorotate", "0"}));
  EXPECT_GT(Picture(output, 0.5).Mean(0, 50, 20, 94), 200);
}

// The clip with its track header's display matrix replaced: {a, b, c, d}
// in whole units, as the file stores it (x' = a x + c y, y' = b x + d y).
std::string WithMatrix(const std::string& data, std::array<int, 4> matrix) {
  std::string changed = data;
  size_t tkhd = changed.find("tkhd");
  if (tkhd == std::string::npos) return {};
  size_t at = tkhd + 4 + 40;  // version 0: flags, times, ids, duration, layer, group, volume
  for (int i = 0; i < 4; ++i) {
    uint32_t value = static_cast<uint32_t>(matrix[i]) << 16;
    size_t offset = at + (i < 2 ? i : i + 1) * 4;  // a, b, (u), c, d
    for (int b = 0; b < 4; ++b) changed[offset + b] = static_cast<char>(value >> (24 - 8 * b));
  }
  return changed;
}

TEST_F(PhoneReadyTest, MirroredPicturesComeOutAsPlayersShowThem) {
  // A grey picture with a white block in its top right corner.
  std::string stored = MakeClip("corner.mp4", "-f lavfi -i color=c=0x606060:size=320x240:rate=25:duration=1,"
                                              "drawbox=x=240:y=0:w=80:h=60:c=white:t=fill -c:v mpeg4 -q:v 3");
  std::string data = ReadAll(stored);
  struct TCase {
    std::string name;
    std::array<int, 4> matrix;
    std::array<int, 4> corner;  // where the block shows in 176x144: x0, y0, x1, y1
  };
  const std::vector<TCase> cases = {
      {"left-right", {-1, 0, 0, 1}, {0, 0, 44, 36}},       // top left
      {"upside-down", {1, 0, 0, -1}, {132, 108, 176, 144}},  // bottom right
      {"transposed", {0, 1, 1, 0}, {0, 108, 44, 144}},     // turned and mirrored: bottom left
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string clip = Out(c.name + ".mp4");
    std::ofstream(clip, std::ios::binary) << WithMatrix(data, c.matrix);
    std::string output = Out(c.name + ".3gp");
    Convert(clip, output, Phone);
    TGreyPicture got = Picture(output, 0.5);
    ASSERT_FALSE(got.Pixels.empty());
    auto [x0, y0, x1, y1] = c.corner;
    EXPECT_GT(got.Mean(x0 + 4, y0 + 4, x1 - 4, y1 - 4), 200);
    EXPECT_LT(got.Mean(176 - x1 + 4, 144 - y1 + 4, 176 - x0 - 4, 144 - y0 - 4), 150) << "the opposite corner";
  }
}

TEST_F(PhoneReadyTest, PaddingKeepsThePictureShape) {
  // Mid-grey pictures with a white disc; the bars are black.
  std::string disc = "geq=lum='if(lt(hypot(X-W/2\\,Y-H/2)\\,min(W\\,H)/3)\\,235\\,128)':cb=128:cr=128";
  std::string portrait = MakeClip("portrait.mp4", "-f lavfi -i color=size=1080x1920:rate=25:duration=0.4," + disc +
                                                      " -c:v mpeg4 -q:v 3");
  std::string wide = MakeClip("anamorphic.mp4", "-f lavfi -i color=size=720x576:rate=25:duration=0.4," + disc +
                                                    ",setsar=64/45 -c:v mpeg4 -q:v 3");
  struct TCase {
    std::string clip;
    int width, height;  // of the picture inside 176x144
  };
  for (const TCase& c : {TCase{portrait, 144 * 9 / 16, 144}, TCase{wide, 176, 176 * 9 / 16}}) {
    SCOPED_TRACE(c.clip);
    std::string padded = c.clip + ".pad.3gp", stretched = c.clip + ".stretch.3gp";
    Convert(c.clip, padded, With(Phone, {"fit", "pad"}));
    Convert(c.clip, stretched, Phone);
    std::vector<int> box = Picture(padded, 0.2).Content();
    EXPECT_NEAR(box[2] - box[0], c.width, 3);
    EXPECT_NEAR(box[3] - box[1], c.height, 3);
    EXPECT_NEAR(box[0], 176 - box[2], 2);  // centred
    EXPECT_NEAR(box[1], 144 - box[3], 2);
    EXPECT_EQ(StreamField(padded, "v", "sample_aspect_ratio"), "1:1");
    // The default stretches over the whole frame.
    EXPECT_EQ(Picture(stretched, 0.2).Content(), (std::vector<int>{0, 0, 176, 144}));
  }
  EXPECT_NE(Raised([&] { FEngine.ParseOption("fit", "round"); }), "");
}

TEST_F(PhoneReadyTest, FrameRateCappedAtTheCodecsClock) {
  std::string clip = MakeClip("fast.mp4", "-f lavfi -i testsrc=size=176x144:rate=120:duration=2 -c:v mpeg4 -q:v 3");
  std::string output = Out("fast.3gp");
  Convert(clip, output, Phone);
  EXPECT_EQ(StreamField(output, "v", "avg_frame_rate"), "30000/1001");
  EXPECT_NEAR(std::atoi(StreamField(output, "v", "nb_frames").c_str()), 60, 2);
  // Every picture one tick of the 30000/1001 clock after the one before: dropped evenly.
  std::stringstream times(CommandOutput("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 " +
                                        Quoted(output)));
  std::vector<double> pts;
  for (std::string line; std::getline(times, line);)
    if (!line.empty()) pts.push_back(std::atof(line.c_str()));
  ASSERT_GT(pts.size(), 50u);
  std::sort(pts.begin(), pts.end());
  for (size_t i = 1; i < pts.size(); ++i) EXPECT_NEAR(pts[i] - pts[i - 1], 1001.0 / 30000, 0.002) << i;

  // A rate given beyond H.263's clock is lowered to it, and the log says so.
  Convert(clip, Out("given60.3gp"), With(Phone, {"r", "60"}));
  EXPECT_EQ(StreamField(Out("given60.3gp"), "v", "avg_frame_rate"), "30000/1001");
  EXPECT_TRUE(Logged("the frame rate 60/1 is lowered to it", TLogLevel::llWarning));

  // Another codec's rate the profile gives is its own.
  std::string given = Out("given.avi");
  Convert(clip, given, {"vcodec", "mpeg4", "r", "60"});
  EXPECT_EQ(StreamField(given, "v", "avg_frame_rate"), "60/1");
}

TEST_F(PhoneReadyTest, PicturesTheRateCapDropsAreNotDecoded) {
  // 60 pictures a second of a bar that moves 4 pixels a picture (1 at the
  // phone size), with two unreferenced B pictures after each reference.
  std::string clip = MakeClip("sixty.mp4", "-f lavfi -i \"color=c=black:size=704x576:rate=60:duration=2[bg];"
                                           "color=c=white:size=32x576:rate=60[bar];[bg][bar]overlay=x='t*240':shortest=1\" "
                                           "-c:v mpeg4 -bf 2 -q:v 2");
  std::string full = Out("full.3gp"), fast = Out("fast.3gp");
  Convert(clip, full, With(Phone, {"fastdecode", "0"}));
  int droppedAfterDecoding = FEngine.FramesDropped();
  Convert(clip, fast, Phone);
  // Most of the pictures the output has no room for are never decoded.
  EXPECT_GT(droppedAfterDecoding, 50);
  EXPECT_LT(FEngine.FramesDropped(), droppedAfterDecoding / 2);
  // Yet each of the output's pictures is a new one, 2 pixels on: none is
  // repeated for want of a decoded picture in its slot, none jumps further.
  std::vector<double> shown = BarPlaces(fast);
  EXPECT_NEAR(shown.size(), BarPlaces(full).size(), 1);
  ASSERT_GT(shown.size(), 55u);
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_NEAR(shown[i] - shown[i - 1], 2, 1) << i;
}

TEST_F(PhoneReadyTest, ATimeLimitEndsOnWholePictures) {
  // A bar that moves 1 phone pixel a picture, in H.264 with three B pictures
  // before each P picture: the P picture at 2 s comes before the last B
  // pictures that refer to it, and is shown after the end.
  std::string clip = MakeClip("bframes.mp4", "-f lavfi -i \"color=c=black:size=704x576:rate=30:duration=3[bg];"
                                             "color=c=white:size=32x576:rate=30[bar];[bg][bar]overlay=x='t*120':shortest=1\" "
                                             "-c:v libx264 -preset veryfast -x264-params bframes=3:b-adapt=0 -g 300");
  std::string output = Out("two_seconds.3gp");
  Convert(clip, output, With(Phone, {"t", "2"}));
  std::vector<double> places = BarPlaces(output);
  ASSERT_EQ(places.size(), 60u);
  for (size_t i = 1; i < places.size(); ++i) EXPECT_NEAR(places[i] - places[i - 1], 1, 0.6) << i;
}

TEST_F(PhoneReadyTest, LargeSourcesAreDecodedSmallUnlessSwitchedOff) {
  // MPEG-2, which the decoder can decode at reduced size; interlaced, it goes through the deinterlacer.
  std::string source = "-f lavfi -i testsrc=size=704x576:rate=25:duration=1 -c:v mpeg2video -q:v 3";
  std::string progressive = MakeClip("progressive.mpg", source);
  std::string interlaced = MakeClip("interlaced.mpg", source + " -flags +ilme+ildct -top 1");
  struct TCase {
    const char* name;
    std::string clip;
    std::vector<std::string> options;
    const char* size;
    bool halved;
  } cases[] = {
      {"a quarter of the size: half the width decoded", progressive, Phone, "176x144", true},
      {"switched off", progressive, With(Phone, {"fastdecode", "0"}), "176x144", false},
      {"only half the size", progressive, {"s", "352x288", "b", "150000"}, "352x288", false},
      {"fields keep their lines for the deinterlacer", interlaced, Phone, "176x144", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string output = Out("small.3gp");
    {
      std::lock_guard lock(FLock);
      FLog.clear();
    }
    Convert(c.clip, output, c.options);
    EXPECT_EQ(Logged("is decoded at 352x288"), c.halved);
    EXPECT_EQ(StreamField(output, "v", "width") + "x" + StreamField(output, "v", "height"), c.size);
    EXPECT_EQ(StreamField(output, "v", "nb_frames"), "25");
    EXPECT_FALSE(Logged("frame size changed"));
  }
}

TEST_F(PhoneReadyTest, LargeInterlacedSourcesShowOneFieldWithoutGhosts) {
  // Woven fields of a white bar 64 pixels wide that moves 32 pixels a field:
  // at 176x144 the two fields put it 8 pixels apart, so a picture shrunk with
  // both fields shows it twice, half bright where they differ.
  std::string clip = MakeClip("wide_fields.mpg",
                              "-f lavfi -i \"color=c=black:size=704x576:rate=50:duration=2[bg];"
                              "color=c=white:size=64x576:rate=50[bar];[bg][bar]overlay=x='mod(t*1600,576)':shortest=1,"
                              "tinterlace=mode=interleave_top\" "
                              "-c:v mpeg2video -q:v 2 -flags +ilme+ildct -top 1");
  std::string output = Out("one_field.avi");
  Convert(clip, output, {"vcodec", "mpeg4", "s", "176x144", "qscale", "2"});
  EXPECT_EQ(StreamField(output, "v", "nb_frames"), "50");
  for (double at : {0.5, 1.0, 1.5}) {
    SCOPED_TRACE(at);
    TGreyPicture picture = Picture(output, at);
    ASSERT_EQ(picture.Width, 176);
    int halfBright = 0;
    for (int x = 0; x < picture.Width; ++x)
      if (int grey = picture.At(x, 72); grey > 70 && grey < 180) ++halfBright;
    EXPECT_LT(halfBright, 5);
  }
}

TEST_F(PhoneReadyTest, InterlacedSourcesAreDeinterlacedToTheLastPicture) {
  // 75 pictures of woven fields with a white bar that moves 8 pixels a field.
  std::string clip = MakeClip("interlaced.mpg",
                              "-f lavfi -i \"color=c=black:size=352x288:rate=50:duration=3[bg];"
                              "color=c=white:size=32x288:rate=50[bar];[bg][bar]overlay=x='mod(t*400,320)':shortest=1,"
                              "tinterlace=mode=interleave_top\" "
                              "-c:v mpeg2video -q:v 2 -flags +ilme+ildct -top 1");
  ASSERT_EQ(StreamField(clip, "v", "field_order"), "tt");
  ASSERT_GT(Picture(clip, 1.0).CombedPixels(), 1000);  // the source is combed
  const std::vector<std::string> same = {"vcodec", "mpeg4", "s", "352x288", "qscale", "2"};
  for (std::string choice : {"", "1", "0"}) {
    SCOPED_TRACE("deinterlace=" + choice);
    std::string output = Out("progressive" + choice + ".avi");
    Convert(clip, output, choice.empty() ? same : With(same, {"deinterlace", choice}));
    EXPECT_EQ(StreamField(output, "v", "nb_frames"), "75");
    int combed = 0;
    for (double at : {0.5, 1.0, 1.5, 2.0, 2.9}) combed = std::max(combed, Picture(output, at).CombedPixels());
    if (choice == "0")
      EXPECT_GT(combed, 1000);
    else
      EXPECT_LT(combed, 50);
  }
  // Pictures the decoder marks progressive are left alone.
  std::string progressive = MakeClip("progressive.mpg", "-f lavfi -i testsrc=size=352x288:rate=25:duration=1 -c:v mpeg2video -q:v 2");
  Convert(progressive, Out("untouched.avi"), same);
  EXPECT_EQ(StreamField(Out("untouched.avi"), "v", "nb_frames"), "25");
}

TEST_F(PhoneReadyTest, PicturesThatTurnInterlacedLaterAreDeinterlaced) {
  // One progressive second, then two seconds of woven fields, in one MPEG-2 stream:
  // the stream's field order, read from its start, says progressive.
  std::string fields = "-f lavfi -i \"color=c=black:size=352x288:rate=50:duration=2[bg];"
                       "color=c=white:size=32x288:rate=50[bar];[bg][bar]overlay=x='mod(t*400,320)':shortest=1,"
                       "tinterlace=mode=interleave_top\" -c:v mpeg2video -q:v 2 -flags +ilme+ildct -top 1 -f mpeg2video";
  std::string first = MakeClip("progressive.m2v", "-f lavfi -i testsrc=size=352x288:rate=25:duration=1 "
                                                  "-c:v mpeg2video -q:v 2 -f mpeg2video");
  std::string second = MakeClip("woven.m2v", fields);
  std::ofstream(Out("joined.m2v"), std::ios::binary) << ReadAll(first) << ReadAll(second);
  std::string clip = MakeClip("turns.ts", "-fflags +genpts -f mpegvideo -r 25 -i '" + Out("joined.m2v") + "' -c copy");
  ASSERT_EQ(StreamField(clip, "v", "field_order").rfind("progressive", 0), 0u);
  ASSERT_GT(Picture(clip, 2.0).CombedPixels(), 1000);
  std::string output = Out("turns.avi");
  Convert(clip, output, {"vcodec", "mpeg4", "s", "352x288", "qscale", "2"});
  int combed = 0;
  for (double at : {1.5, 2.0, 2.5}) combed = std::max(combed, Picture(output, at).CombedPixels());
  EXPECT_LT(combed, 50);
}

TEST_F(PhoneReadyTest, BusyPicturesKeepThePromisedBitRate) {
  // 60 s of moving detail with grain: the encoder's plain rate control runs over it.
  std::string clip = MakeClip("busy.mp4", "-f lavfi -i testsrc2=size=352x288:rate=25:duration=60,noise=alls=12:allf=t "
                                          "-c:v mpeg4 -q:v 3");
  std::string output = Out("busy.3gp"), stats = Out("busy.vstats");
  Convert(clip, output, With(Phone, {"vstats_file", stats}));
  double rate = std::atof(StreamField(output, "v", "bit_rate").c_str());
  std::ifstream lines(stats);
  std::map<int, int> quantisers;
  int frames = 0;
  for (std::string line; std::getline(lines, line);) {
    size_t at = line.find("q= ");
    if (at == std::string::npos) continue;
    ++quantisers[static_cast<int>(std::atof(line.c_str() + at + 3))];
    ++frames;
  }
  std::cout << "busy 60 s: " << rate / 1000 << " kbit/s video for 150; quantisers:";
  for (auto [q, count] : quantisers) std::cout << " " << q << "x" << count;
  std::cout << "\n";
  EXPECT_NEAR(rate, 150000, 15000);
  ASSERT_GT(frames, 1400);
  EXPECT_LE(quantisers[31], frames / 100);  // the worst quantiser H.263 has

  // A tolerance leaves the encoder's own rate control.
  std::string loose = Out("loose.3gp");
  Convert(clip, loose, With(Phone, {"bt", "4000000", "t", "10"}));
  EXPECT_GT(std::atof(StreamField(loose, "v", "bit_rate").c_str()), 165000);
}

TEST_F(PhoneReadyTest, MonoSoundKeepsItsLevelInStereo) {
  std::string mono = MakeClip("mono.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 1");
  std::string output = Out("stereo.wav");
  Convert(mono, output, {"acodec", "pcm_s16le", "ac", "2"});
  EXPECT_EQ(StreamField(output, "a", "channels"), "2");
  EXPECT_NEAR(MeanVolume(output), MeanVolume(mono), 0.3);
  // And the other way the two channels are still mixed, not summed over full scale.
  std::string back = Out("mono_again.wav");
  Convert(output, back, {"acodec", "pcm_s16le", "ac", "1"});
  EXPECT_NEAR(MeanVolume(back), MeanVolume(mono), 0.5);
}

TEST_F(PhoneReadyTest, TheSameTrackIsChosenInEveryContainer) {
  // One short track, then one three times longer: the longer has more frames.
  for (const char* container : {"mp4", "mkv", "ts"}) {
    SCOPED_TRACE(container);
    std::string clip =
        MakeClip(std::string("two_tracks.") + container,
                 "-f lavfi -i sine=frequency=300:duration=1 -f lavfi -i sine=frequency=600:duration=3 "
                 "-map 0 -map 1 -c:a aac");
    std::string output = Out(std::string("chosen_") + container + ".wav");
    Convert(clip, output, {"acodec", "pcm_s16le"});
    EXPECT_NEAR(ProbeFile(output).Duration, 3.0, 0.2);
  }
}

TEST_F(PhoneReadyTest, LateSoundIsPaddedFromThePictureStart) {
  std::string clip = MakeClip("late.mp4", "-f lavfi -i testsrc=size=176x144:rate=25:duration=4 -itsoffset 2 "
                                          "-f lavfi -i sine=frequency=500:duration=2 -c:v mpeg4 -c:a aac");
  std::string output = Out("late.3gp");
  Convert(clip, output, Phone);
  // As a player that ignores edit lists plays it: silence, then the tone where the picture has it.
  std::string quiet = Out("first_second.wav"), tone = Out("third_second.wav");
  CommandOutput("ffmpeg -nostdin -v error -y -ignore_editlist 1 -i " + Quoted(output) + " -vn -t 1.5 " + Quoted(quiet));
  CommandOutput("ffmpeg -nostdin -v error -y -ignore_editlist 1 -ss 2.5 -i " + Quoted(output) + " -vn -t 1 " +
                Quoted(tone));
  EXPECT_LT(MeanVolume(quiet), -80);
  EXPECT_GT(MeanVolume(tone), -30);
  EXPECT_NEAR(std::atof(StreamField(output, "a", "duration").c_str()), 4.0, 0.15);
}

// Where the sound's first loud sample lies after the first picture, in
// seconds, for a player that reads the file with or without its edit lists
// and plays the sound as stored: from its first time on, sample after sample.
double ToneStartAfterPicture(const std::string& path, bool editLists) {
  std::string reading = editLists ? "" : "-ignore_editlist 1 ";
  auto firstTime = [&](const char* kind) {
    return std::atof(CommandOutput("ffprobe -v error " + reading + "-select_streams " + kind +
                                   ":0 -show_entries packet=pts_time -read_intervals %+#1 -of csv=p=0 " + Quoted(path))
                         .c_str());
  };
  std::string pcm = CommandOutput("ffmpeg -nostdin -v error " + reading + "-i " + Quoted(path) +
                                  " -map 0:a -ac 1 -ar 8000 -f s16le -");
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    int sample = static_cast<int16_t>(static_cast<unsigned char>(pcm[i]) | static_cast<unsigned char>(pcm[i + 1]) << 8);
    if (std::abs(sample) > 1500) return firstTime("a") + i / 2 / 8000.0 - firstTime("v");
  }
  return -1;
}

// One gap per test, so that each has its own time limit and they can run side by side.
class LateSoundTest : public PhoneReadyTest, public ::testing::WithParamInterface<double> {};

TEST_P(LateSoundTest, StartsWithItsPictureInEveryContainer) {
  // Sound in its place within one AMR frame, however the output is read.
  double gap = GetParam();
  for (std::string input : {"mp4", "mp4 without edit lists", "mkv", "ts"}) {
    std::string container = input.substr(0, input.find(' '));
    std::string name = "gap" + std::to_string(static_cast<int>(gap * 100)) + (input == container ? "" : "_plain");
    std::string clip = MakeClip(name + "." + container,
                                "-f lavfi -i testsrc=size=176x144:rate=25:duration=" + std::to_string(gap + 2) +
                                    " -itsoffset " + std::to_string(gap) +
                                    " -f lavfi -i sine=frequency=500:duration=2 -c:v mpeg4 -c:a aac" +
                                    (input == container ? "" : " -use_editlist 0"));
    std::string output = Out(name + "_" + container + ".3gp");
    Convert(clip, output, Phone);
    for (bool editLists : {true, false}) {
      double start = ToneStartAfterPicture(output, editLists);
      std::cout << "gap " << gap << " s, " << input << (editLists ? ", read with" : ", read without")
                << " edit lists: sound at " << start << " s\n";
      EXPECT_NEAR(start, gap, 0.03) << input << (editLists ? " with" : " without") << " edit lists";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Gaps, LateSoundTest, ::testing::Values(0.25, 1.0, 2.0, 5.0));

}  // namespace
}  // namespace vidora::test
