#include <clocale>
#include <filesystem>
#include <fstream>

#include "engine_fixture.h"

namespace vidora::test {
namespace {

using OpenInputTest = EngineTest;

TEST_F(OpenInputTest, AClipFillsTheInputSideSettings) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4"))) << FEngine.LastErrMsg();
  EXPECT_EQ(FEngine.nb_input_files(), 1);
  EXPECT_EQ(FEngine.S().Fframe_width, 320);
  EXPECT_EQ(FEngine.S().Fframe_height, 240);
  EXPECT_EQ(FEngine.S().Fframe_rate.num, 25);
  EXPECT_EQ(FEngine.S().Faudio_sample_rate, 44100);
  EXPECT_EQ(FEngine.S().Faudio_channels, 2);
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 4.0f / 3.0f);
  EXPECT_NEAR(static_cast<double>(FEngine.TotalOutputDuration()), 3000000.0, 100000.0);
  EXPECT_EQ(FEngine.InputFile(0).streams.size(), 2u);
  EXPECT_TRUE(Logged("Input #0")) << "the container description is logged";
}

TEST_F(OpenInputTest, RawInputTakesTheGivenRateAndSize) {
  TTempFolder folder;
  std::string raw = folder.Str() + "/grey.raw";
  std::ofstream(raw, std::ios::binary) << std::string(64 * 48 * 20, '\x80');
  FEngine.ParseOption("f", "rawvideo");
  FEngine.ParseOption("s", "64x48");
  FEngine.ParseOption("pix_fmt", "gray");
  FEngine.ParseOption("r", "10");
  ASSERT_TRUE(FEngine.OpenInputFile(raw)) << FEngine.LastErrMsg();
  const AVStream* stream = FEngine.InputFile(0).ctx->streams[0];
  EXPECT_EQ(stream->codecpar->width, 64);
  EXPECT_EQ(stream->r_frame_rate.num, 10);
  EXPECT_EQ(stream->r_frame_rate.den, 1) << "ten pictures a second, not one every ten seconds";
}

TEST_F(OpenInputTest, BadInputsFailWithAClearMessage) {
  struct TCase {
    std::string file;
    std::string message;
  } cases[] = {
      {Clip("missing.mp4"), Clip("missing.mp4") + ": No such file or directory"},
      {Clip("empty.mp4"), Clip("empty.mp4") + ": "},
      {Clip("truncated.mp4"), Clip("truncated.mp4") + ": "},
      {Clip("noise.mp4"), Clip("noise.mp4") + ": "},
      {CLIPS_DIR, std::string(CLIPS_DIR) + ": "},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_FALSE(FEngine.OpenInputFile(c.file));
    EXPECT_EQ(FEngine.LastErrMsg().rfind(c.message, 0), 0u) << FEngine.LastErrMsg();
    EXPECT_EQ(FEngine.nb_input_files(), 0);
  }
}

TEST_F(OpenInputTest, DecoderNamesAreChecked) {
  FEngine.ParseOption("vcodec", "no_such_decoder");
  EXPECT_FALSE(FEngine.OpenInputFile(Clip("clip.mp4")));
  EXPECT_EQ(FEngine.LastErrMsg(), "Unknown decoder 'no_such_decoder'");
  EXPECT_TRUE(FEngine.S().Fvideo_codec_name.empty()) << "the names are released";
  FEngine.ParseOption("acodec", "mpeg4");
  EXPECT_FALSE(FEngine.OpenInputFile(Clip("clip.mp4")));
  EXPECT_EQ(FEngine.LastErrMsg(), "Invalid decoder type 'mpeg4'");
  FEngine.ParseOption("vcodec", "mpeg4");
  EXPECT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4"))) << FEngine.LastErrMsg();
  EXPECT_TRUE(FEngine.S().Fvideo_codec_name.empty()) << "consumed by the file";
}

TEST_F(OpenInputTest, UnknownFormatAndProgram) {
  FEngine.ParseOption("f", "no_such_format");
  EXPECT_EQ(Raised([&] { FEngine.OpenInputFile(Clip("clip.mp4")); }), "Unknown input format: \"no_such_format\"");
  FEngine.SetProgramID(7);
  EXPECT_FALSE(FEngine.OpenInputFile(Clip("clip.mp4")));
  EXPECT_EQ(FEngine.LastErrMsg(), "Specified program id not found");
}

TEST_F(OpenInputTest, NonASCIINameInTheCLocale) {
  std::string name = Out("klip-\xC5\x82\xC3\xB3" "d\xC5\xBA.mp4");  // "klip-łódź.mp4"
  std::filesystem::copy_file(Clip("clip.mp4"), name);
  std::string old = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "C");
  bool opened = FEngine.OpenInputFile(name);
  std::setlocale(LC_CTYPE, old.c_str());
  ASSERT_TRUE(opened) << FEngine.LastErrMsg();
  EXPECT_NE(FEngine.InputFile(0).io, nullptr) << "read through the layer's own I/O";
  EXPECT_EQ(FEngine.S().Fframe_width, 320);
}

}  // namespace
}  // namespace vidora::test
