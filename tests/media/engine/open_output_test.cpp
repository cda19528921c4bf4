#include <clocale>
#include <filesystem>
#include <fstream>

#include "engine_fixture.h"
#include "media/base/bindings.h"
#include "media/base/ff_utils.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;
using OpenOutputTest = EngineTest;

// The phone profile: 176x144 at 150000 bit/s, 8000 Hz mono at 12200 bit/s.
void PhoneProfile(TTestFFmpeg& engine) {
  engine.ParseOption("s", "176x144");
  engine.ParseOption("b", "150000");
  engine.ParseOption("ar", "8000");
  engine.ParseOption("ac", "1");
  engine.ParseOption("ab", "12200");
}

TEST_F(OpenOutputTest, DefaultPhoneFileGetsH263AndAMRNB) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  PhoneProfile(FEngine);
  ASSERT_EQ(FEngine.OpenOutputFile(Out("phone.3gp"), false), 1) << FEngine.LastErrMsg();
  const TOutputFile& file = FEngine.OutputFile(0);
  ASSERT_EQ(file.streams.size(), 2u);

  const AVCodecContext* video = file.streams[0].codec.get();
  EXPECT_EQ(video->codec_id, AV_CODEC_ID_H263);
  EXPECT_EQ(video->width, 176);
  EXPECT_EQ(video->height, 144);
  EXPECT_EQ(video->bit_rate, 150000);
  EXPECT_EQ(video->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video->time_base.den, 25);

  const TOutputStreamCodec& audio = file.streams[1];
  EXPECT_EQ(audio.codec->codec_id, AV_CODEC_ID_AMR_NB);
  EXPECT_EQ(audio.codec->sample_rate, 8000);
  EXPECT_EQ(audio.codec->ch_layout.nb_channels, 1);
  EXPECT_EQ(audio.codec->bit_rate, 12200);
  EXPECT_EQ(audio.opencore_amrnb, avcodec.avcodec_find_encoder(AV_CODEC_ID_AMR_NB) == nullptr);
  // Nothing is made before the run; then a file beside its name, which it takes when it is finished.
  EXPECT_TRUE(file.temp_file.empty());
  FEngine.OpenLocalOutputs();
  EXPECT_FALSE(fs::exists(Out("phone.3gp")));
  EXPECT_EQ(fs::path(file.temp_file).parent_path(), FFolder.Path());
  EXPECT_TRUE(fs::exists(file.temp_file));
}

TEST_F(OpenOutputTest, AMRNBBitRatesSnapToModes) {
  EXPECT_EQ(AMRNBModeRate(12200), 12200);
  EXPECT_EQ(AMRNBModeRate(12000), 12200);
  EXPECT_EQ(AMRNBModeRate(9000), 7950);
  EXPECT_EQ(AMRNBModeRate(9500), 10200);
  EXPECT_EQ(AMRNBModeRate(1000), 4750);
  EXPECT_EQ(AMRNBModeRate(128000), 12200);
}

TEST_F(OpenOutputTest, AMRNBThroughOpencoreWarnsOfWhatItChanges) {
  if (avcodec.avcodec_find_encoder(AV_CODEC_ID_AMR_NB)) GTEST_SKIP() << "libavcodec has an AMR-NB encoder";
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("tone.wav")));
  FEngine.ParseOption("ar", "22050");
  FEngine.ParseOption("ac", "2");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("fitted.3gp"), false), 1) << FEngine.LastErrMsg();
  EXPECT_EQ(FEngine.OutStream(0, 0).codec->sample_rate, 8000);
  EXPECT_EQ(FEngine.OutStream(0, 0).codec->ch_layout.nb_channels, 1);
  EXPECT_TRUE(Logged("Requested sampling rate unsupported using closest supported (8000)", TLogLevel::llWarning));
  EXPECT_TRUE(Logged("Requested channel count unsupported using closest supported (1)", TLogLevel::llWarning));

  FEngine.Reset();
  FLog.clear();
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("tone.wav")));
  FEngine.ParseOption("ar", "8000");
  FEngine.ParseOption("ac", "1");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("fits.3gp"), false), 1) << FEngine.LastErrMsg();
  EXPECT_FALSE(Logged("unsupported using closest supported"));
}

TEST_F(OpenOutputTest, DisabledAndMissingKinds) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("an", "1");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("video.3gp"), false), 1);
  ASSERT_EQ(FEngine.OutputFile(0).streams.size(), 1u);
  EXPECT_EQ(FEngine.OutStream(0, 0).codec->codec_type, AVMEDIA_TYPE_VIDEO);
  EXPECT_TRUE(FEngine.S().Faudio_disable) << "only an audio stream consumes it";

  FEngine.Reset();
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("vn", "1");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("sound.3gp"), false), 1);
  ASSERT_EQ(FEngine.OutputFile(0).streams.size(), 1u);
  EXPECT_EQ(FEngine.OutStream(0, 0).codec->codec_type, AVMEDIA_TYPE_AUDIO);
}

TEST_F(OpenOutputTest, TheInputDecidesWhichKindsExist) {
  ASSERT_EQ(FEngine.OpenOutputFile(Out("nothing-open.3gp"), false), 1);
  EXPECT_EQ(FEngine.OutputFile(0).streams.size(), 2u) << "without inputs the format's kinds are made";

  FEngine.Reset();
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("tone.wav")));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("tone.3gp"), false), 1);
  ASSERT_EQ(FEngine.OutputFile(0).streams.size(), 1u) << "no video in the input, no video stream";
  EXPECT_EQ(FEngine.OutStream(0, 0).codec->codec_type, AVMEDIA_TYPE_AUDIO);

  FEngine.Reset();
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("picture.avi")));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("picture.3gp"), false), 1);
  ASSERT_EQ(FEngine.OutputFile(0).streams.size(), 1u) << "no audio in the input, no audio stream";
}

TEST_F(OpenOutputTest, JoinSharesOneContainer) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("part1.mp4")));
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("part2.mp4")));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("joined.3gp"), true), 2);
  EXPECT_TRUE(FEngine.JoinMode());
  EXPECT_EQ(FEngine.OutputFile(0).ctx, FEngine.OutputFile(1).ctx);
  EXPECT_NEAR(static_cast<double>(FEngine.TotalOutputDuration()), 3000000.0, 150000.0);
  EXPECT_EQ(FEngine.OpenOutputFile(Out("second.3gp"), false), -1);
  EXPECT_EQ(FEngine.LastErrMsg(), "Cannot join more than one output file.");
  FEngine.Cleanup();  // closes the shared container once
  EXPECT_EQ(FEngine.nb_output_files(), 0);
}

TEST_F(OpenOutputTest, FormatNamesAndCodecNames) {
  FEngine.ParseOption("f", "no_such_format");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.3gp"), false), -1);
  EXPECT_EQ(FEngine.LastErrMsg(), "Requested output format 'no_such_format' is not a suitable output format");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.nosuchext"), false), -1);
  EXPECT_EQ(FEngine.LastErrMsg(), "Unable to find a suitable output format for '" + Out("x.nosuchext") + "'");
  EXPECT_TRUE(FEngine.LastErrorIsOption()) << "the name's extension is the user's choice";
  FEngine.ParseOption("f", "ffm");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("feed.ffm"), false), -1);
  EXPECT_NE(FEngine.LastErrMsg().find("ffm"), std::string::npos);

  FEngine.Reset();
  FEngine.ParseOption("vcodec", "aac");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.mp4"), false), -1);
  EXPECT_EQ(FEngine.LastErrMsg(), "new_video_stream fail: Invalid encoder type 'aac'");
  FEngine.ParseOption("acodec", "no_such_encoder");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.mp4"), false), -1);
  EXPECT_EQ(FEngine.LastErrMsg(), "new_audio_stream fail: Unknown encoder 'no_such_encoder'");
  EXPECT_TRUE(FEngine.LastErrorIsOption());
  EXPECT_EQ(FEngine.nb_output_files(), 0);
  EXPECT_FALSE(fs::exists(Out("x.mp4")));
}

TEST_F(OpenOutputTest, ExperimentalEncodersNeedStrict) {
  const AVCodec* vorbis = avcodec.avcodec_find_encoder_by_name("vorbis");
  if (!vorbis || !(vorbis->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) GTEST_SKIP() << "no experimental vorbis encoder";
  FEngine.ParseOption("acodec", "vorbis");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.ogg"), false), -1);
  std::string expected = "new_audio_stream fail: encoder 'vorbis' is experimental and might produce bad results.\r\n"
                         "Add '-strict experimental' if you want to use it.";
  EXPECT_EQ(FEngine.LastErrMsg().rfind(expected, 0), 0u) << FEngine.LastErrMsg();
  if (avcodec.avcodec_find_encoder_by_name("libvorbis")) {
    EXPECT_NE(FEngine.LastErrMsg().find("\r\nOr use the non experimental encoder 'libvorbis'."), std::string::npos);
  }
  FEngine.ParseOption("strict", "experimental");
  FEngine.ParseOption("acodec", "vorbis");
  EXPECT_EQ(FEngine.OpenOutputFile(Out("x.ogg"), false), 1) << FEngine.LastErrMsg();
}

TEST_F(OpenOutputTest, NonASCIIOutputNameInTheCLocale) {
  std::string name = Out("wyj\xC5\x9B" "cie.3gp");  // "wyjście.3gp"
  std::string old = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "C");
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  PhoneProfile(FEngine);
  int files = FEngine.OpenOutputFile(name, false);
  if (files == 1) FEngine.StartConvert(false);
  std::setlocale(LC_CTYPE, old.c_str());
  ASSERT_EQ(files, 1) << FEngine.LastErrMsg();
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_TRUE(fs::exists(name));
}

TEST_F(OpenOutputTest, CleanupDeletesUnfinishedOutputs) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("empty.3gp"), false), 1);
  ASSERT_EQ(FEngine.OpenOutputFile(Out("written.3gp"), false), 2);
  FEngine.OpenLocalOutputs();
  avformat.avio_write(FEngine.OutputFile(1).ctx->pb, reinterpret_cast<const unsigned char*>("data"), 4);
  std::ofstream(Out("bystander.3gp")) << "";
  FEngine.Cleanup();
  EXPECT_FALSE(fs::exists(Out("empty.3gp")));
  EXPECT_FALSE(fs::exists(Out("written.3gp"))) << "a file no run finished is not a result";
  EXPECT_EQ(std::distance(fs::directory_iterator(FFolder.Path()), {}), 1) << "nor is its temporary file kept";
  EXPECT_TRUE(fs::exists(Out("bystander.3gp"))) << "a file the task did not open is left alone";
  EXPECT_TRUE(fs::exists(Clip("clip.mp4")));
}

TEST_F(OpenOutputTest, MetadataAndLanguageReachTheFile) {
  FEngine.ParseOption("metadata", "title=Holiday");
  FEngine.ParseOption("alang", "pol");
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("tagged.mp4"), false), 1);
  EXPECT_EQ(MetadataValue(FEngine.OutputFile(0).ctx->metadata, "title", ""), "Holiday");
  EXPECT_EQ(MetadataValue(FEngine.OutStream(0, 1).st->metadata, "language", ""), "pol");
  EXPECT_TRUE(FEngine.S().Fmetadata.empty()) << "moved into the file";
}

TEST_F(OpenOutputTest, NewStreamsNeedAnOutputFile) {
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("newaudio", ""); }), "At least one output file must be specified");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("two-audio.mp4"), false), 1);
  FEngine.ParseOption("newaudio", "");
  EXPECT_EQ(FEngine.OutputFile(0).streams.size(), 3u);
}

}  // namespace
}  // namespace vidora::test
