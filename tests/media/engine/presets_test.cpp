#include <fstream>

#include "engine_fixture.h"
#include "media/base/bindings.h"

namespace vidora::test {
namespace {

using PresetsTest = EngineTest;

std::string PrivateOption(const TFFOptions& options, const char* name) {
  const AVDictionaryEntry* entry = avutil.av_dict_get(options.codec_private_opts, name, nullptr, 0);
  return entry ? entry->value : "";
}

TEST_F(PresetsTest, BuiltInNamesAreFoundWithTheCodecPrefix) {
  FEngine.ParseOption("vcodec", "libx264");
  FEngine.ParseOption("vpre", "FAST");
  EXPECT_EQ(PrivateOption(FEngine.Options(), "preset"), "fast");
  FEngine.ParseOption("vpre", "libx264-ipod320");
  EXPECT_EQ(PrivateOption(FEngine.Options(), "profile"), "baseline");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("apre", "fast"); }), "Preset \"fast\" not found")
      << "the audio codec name is not libx264";
}

TEST_F(PresetsTest, PresetFiles) {
  std::string path = Out("phone.ffpreset");
  std::ofstream(path) << "  vcodec=mpeg4\n\n  b=300000 \nACODEC=aac\n";
  FEngine.ParseOption("fpre", path);
  EXPECT_EQ(FEngine.S().Fvideo_codec_name, "mpeg4");
  EXPECT_EQ(FEngine.S().Faudio_codec_name, "aac");

  std::ofstream(path) << "g=12\n=5\n";
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("fpre", path); }), path + ": Invalid syntax: \"=5\"");
  std::ofstream(path) << "qmin=many\n";
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("fpre", path); }),
            path + ": Invalid option or argument: \"qmin=many\", parsed as \"qmin\" = \"many\"");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("fpre", Out("missing.ffpreset")); }),
            "Preset \"" + Out("missing.ffpreset") + "\" not found");
}

TEST_F(PresetsTest, EveryBuiltInPresetOpensALibx264Stream) {
  const AVCodec* x264 = avcodec.avcodec_find_encoder_by_name("libx264");
  if (!x264) GTEST_SKIP() << "this libavcodec has no libx264";
  std::vector<std::string> names = BuiltInPresetNames();
  ASSERT_EQ(names.size(), 36u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    FEngine.Reset();
    FEngine.ParseOption("vcodec", "libx264");
    FEngine.ParseOption("s", "176x144");
    FEngine.ParseOption("r", "25");
    FEngine.ParseOption("an", "1");
    ASSERT_EQ(Raised([&] { FEngine.ParseOption("vpre", name); }), "");
    ASSERT_EQ(FEngine.OpenOutputFile(Out("preset.mp4"), false), 1) << FEngine.LastErrMsg();
    EXPECT_FALSE(Logged("Option not accepted")) << "every preset option suits libx264";
    AVCodecContext* enc = FEngine.OutStream(0, 0).codec.get();
    EXPECT_EQ(enc->codec_id, AV_CODEC_ID_H264);
    EXPECT_GE(avcodec.avcodec_open2(enc, x264, nullptr), 0);
  }
}

}  // namespace
}  // namespace vidora::test
