#include <fstream>

#include "engine_fixture.h"
#include "media/base/bindings.h"

namespace vidora::test {
namespace {

using OptionsTest = EngineTest;

TEST_F(OptionsTest, DefaultsOfANewTask) {
  const TFFmpegSettings& s = FEngine.S();
  EXPECT_EQ(s.Faudio_sample_rate, 44100);
  EXPECT_EQ(s.Faudio_channels, 2);
  EXPECT_EQ(s.Fmax_frames[AVMEDIA_TYPE_VIDEO], INT32_MAX);
  EXPECT_EQ(s.Frecording_time, INT64_MAX);
  EXPECT_EQ(s.Faudio_volume, 256);
  EXPECT_EQ(s.Fvideo_sync_method, -1);
  EXPECT_EQ(s.Fframe_pix_fmt, -1);
  EXPECT_EQ(s.Fsws_flags, SWS_BICUBIC);
  EXPECT_FLOAT_EQ(s.Fmux_preload, 0.5f);
  EXPECT_EQ(FEngine.TotalOutputDuration(), -1);
}

TEST_F(OptionsTest, CropNeedsAKnownFrameAndStaysInsideIt) {
  FEngine.ParseOption("s", "176x144");
  FEngine.ParseOption("croptop", "0");
  EXPECT_EQ(FEngine.S().Fframe_height, 144);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("croptop", "144"); }),
            "Vertical crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  EXPECT_EQ(FEngine.S().Fframe_topBand, 0) << "a refused crop changes nothing";
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("cropleft", "200"); }).rfind("Horizontal crop", 0), 0u);
  FEngine.ParseOption("cropbottom", "4");
  EXPECT_EQ(FEngine.S().Fframe_bottomBand, 4);
  EXPECT_EQ(FEngine.S().Fframe_height, 140);
  EXPECT_TRUE(Logged("CropXXX is deprecated in favor of the crop avfilter"));
}

TEST_F(OptionsTest, AspectRatios) {
  FEngine.ParseOption("aspect", "16:9");
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 16.0f / 9.0f);
  FEngine.ParseOption("aspect", "1.5");
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 1.5f);
  FEngine.ParseOption("aspect", "");
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 1.5f);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("aspect", "16:0"); }), "Incorrect aspect ratio specification.");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("aspect", "0"); }), "Incorrect aspect ratio specification.");
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 1.5f);
}

TEST_F(OptionsTest, QuantiserMatrices) {
  std::string coefficients;
  for (int i = 1; i <= 64; ++i) coefficients += std::to_string(i) + (i < 64 ? "," : "");
  FEngine.ParseOption("intra_matrix", coefficients + ",99,100");
  ASSERT_EQ(FEngine.S().Fintra_matrix.size(), 64u);
  EXPECT_EQ(FEngine.S().Fintra_matrix[0], 1);
  EXPECT_EQ(FEngine.S().Fintra_matrix[63], 64) << "text after the 64th coefficient is ignored";

  std::string short63 = coefficients.substr(0, coefficients.rfind(','));
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("intra_matrix", short63); }),
            "Syntax error in matrix \"" + short63 + "\" at coeff 62");
  EXPECT_EQ(FEngine.S().Fintra_matrix[63], 64) << "the refused text left the matrix as it was";
}

TEST_F(OptionsTest, MetadataSplitsAtTheFirstEquals) {
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("metadata", "title"); }), "Missing =");
  FEngine.ParseOption("metadata", "comment=a=b");
  ASSERT_EQ(FEngine.S().Fmetadata.size(), 1u);
  EXPECT_EQ(FEngine.S().Fmetadata[0], (std::pair<std::string, std::string>{"comment", "a=b"}));
}

TEST_F(OptionsTest, StreamMapSyntax) {
  FEngine.ParseOption("map", "0:1");
  FEngine.ParseOption("map", "1.2:0.3");
  FEngine.ParseOption("map", "0x1:010");
  const auto& maps = FEngine.S().Fstream_maps;
  ASSERT_EQ(maps.size(), 3u);
  EXPECT_EQ(maps[0].sync_file_index, 0);
  EXPECT_EQ(maps[0].sync_stream_index, 1) << "without a sync pair the stream syncs to itself";
  EXPECT_EQ(maps[1].file_index, 1);
  EXPECT_EQ(maps[1].stream_index, 2);
  EXPECT_EQ(maps[1].sync_file_index, 0);
  EXPECT_EQ(maps[1].sync_stream_index, 3);
  EXPECT_EQ(maps[2].file_index, 1) << "hexadecimal";
  EXPECT_EQ(maps[2].stream_index, 8) << "octal";

  for (int i = 3; i < MAX_STREAM_MAPS; ++i) FEngine.ParseOption("map", "0:0");
  EXPECT_NE(Raised([&] { FEngine.ParseOption("map", "0:0"); }), "");
  EXPECT_EQ(FEngine.S().Fstream_maps.size(), static_cast<size_t>(MAX_STREAM_MAPS));
}

TEST_F(OptionsTest, TableLimitsAreEnforced) {
  for (int i = 0; i < MAX_META_DATA_MAPS; ++i) FEngine.ParseOption("map_meta_data", "0:0");
  EXPECT_NE(Raised([&] { FEngine.ParseOption("map_meta_data", "0:0"); }), "");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("streamid", "3"); }),
            "Invalid value \"3\" for option \"streamid\", required syntax is \"index:value\"");
  EXPECT_NE(Raised([&] { FEngine.ParseOption("streamid", "20:5"); }), "");
  FEngine.ParseOption("streamid", "19:301");
  EXPECT_EQ(FEngine.S().Fstreamid_map[19], 301);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("itsscale", "20:2.0"); }), "stream index over MAX_STREAMS(20)");
  FEngine.ParseOption("itsscale", "1:0.5");
  EXPECT_DOUBLE_EQ(FEngine.S().Finput_files_ts_scale[0][1], 0.5);
}

TEST_F(OptionsTest, CodecCopyThenName) {
  FEngine.ParseOption("vcodec", "copy");
  EXPECT_EQ(FEngine.S().Fvideo_stream_copy, 1);
  EXPECT_TRUE(FEngine.S().Fvideo_codec_name.empty());
  FEngine.ParseOption("vcodec", "mpeg4");
  EXPECT_EQ(FEngine.S().Fvideo_codec_name, "mpeg4");
  EXPECT_EQ(FEngine.S().Fvideo_stream_copy, 1) << "a name does not clear the copy flag";
  FEngine.ParseOption("vcodec", "");
  EXPECT_EQ(FEngine.S().Fvideo_codec_name, "mpeg4") << "an empty choice is ignored";
}

TEST_F(OptionsTest, TimesAndNumbers) {
  FEngine.ParseOption("ss", "1.5");
  EXPECT_EQ(FEngine.S().Fstart_time, 1500000);
  FEngine.ParseOption("t", "00:01:02.5");
  EXPECT_EQ(FEngine.S().Frecording_time, 62500000);
  EXPECT_EQ(FEngine.TotalOutputDuration(), 62500000);
  FEngine.ParseOption("timestamp", "2010-05-01 12:00:00.6");
  EXPECT_EQ(FEngine.S().Frecording_timestamp % 60, 1) << "rounded to the nearest second";
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("t", "soon"); }), "Invalid duration specification for t: soon");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("timestamp", "someday"); }),
            "Invalid date specification for timestamp: someday");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("vframes", "ten"); }), "'ten' is not a valid integer value");
  FEngine.ParseOption("ar", "-5");
  EXPECT_EQ(FEngine.S().Faudio_sample_rate, 44100) << "a rate of zero or less is ignored";
  FEngine.ParseOption("r", "30000/1001");
  EXPECT_EQ(FEngine.S().Fframe_rate.num, 30000);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("r", "fast"); }), "Incorrect frame rate");
  FEngine.ParseOption("s", "qcif");
  EXPECT_EQ(FEngine.S().Fframe_width, 176);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("s", "big"); }), "Incorrect frame size");
  FEngine.ParseOption("vtag", "XVID");
  EXPECT_EQ(FEngine.S().Fvideo_codec_tag, MKTAG('X', 'V', 'I', 'D'));
  FEngine.ParseOption("threads", "3");
  EXPECT_EQ(FEngine.S().Fthread_count, 3);
}

TEST_F(OptionsTest, RefusedValuesRaiseTheirMessages) {
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("qscale", "0"); }), "qscale must be > 0.0 and <= 255");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("qscale", "256"); }), "qscale must be > 0.0 and <= 255");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("pass", "3"); }), "pass number can be only 1 or 2");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("padtop", "8"); }), "Removed, use the pad filter instead");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("pix_fmt", "rgb99"); }), "Unknown pixel format requested: rgb99");
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("vbsf", "no_such_filter=1"); }), "Unknown bitstream filter no_such_filter");
  FEngine.ParseOption("vbsf", "=ignored");
  FEngine.ParseOption("absf", "aac_adtstoasc");
  EXPECT_EQ(FEngine.S().Faudio_bitstream_filters.size(), 1u);
  EXPECT_TRUE(FEngine.S().Fvideo_bitstream_filters.empty());
  // Each is a usage error: the user's value, not a failing file.
  for (auto [name, value] :
       {std::pair{"s", "0x0"}, {"r", "fast"}, {"qscale", "0"}, {"pix_fmt", "rgb99"}, {"deinterlace", "maybe"}})
    EXPECT_THROW(FEngine.ParseOption(name, value), FFmpegOptionException) << name;
}

TEST_F(OptionsTest, GeneralFallbackAndIgnoredNames) {
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("no_such_option", "1"); }), "") << "unknown names are ignored";
  FEngine.ParseOption("g", "12");
  int64_t gop = 0;
  avutil.av_opt_get_int(FEngine.Options().avcodec_opts[AVMEDIA_TYPE_VIDEO], "g", 0, &gop);
  EXPECT_EQ(gop, 12);
  FEngine.ParseOption("b", "150");
  EXPECT_TRUE(Logged("WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s"));
  FEngine.ParseOption("y", "");
  EXPECT_TRUE(Logged("Do nothing: option - y"));
  FEngine.ParseOption("f", "pgmyuv");
  EXPECT_EQ(FEngine.S().Flast_asked_format, "image2");
  EXPECT_TRUE(FEngine.S().Fpgmyuv_compatibility_hack);
}

TEST_F(OptionsTest, TargetNormsAndTypes) {
  FEngine.ParseOption("target", "film-dvd");
  EXPECT_EQ(FEngine.S().Fframe_rate.num, 24000);
  EXPECT_EQ(FEngine.S().Fframe_rate.den, 1001);
  EXPECT_EQ(FEngine.S().Fframe_width, 720);
  EXPECT_EQ(FEngine.S().Fframe_height, 480);
  EXPECT_EQ(FEngine.S().Flast_asked_format, "dvd");
  EXPECT_EQ(FEngine.S().Fvideo_codec_name, "mpeg2video");
  EXPECT_EQ(FEngine.S().Faudio_sample_rate, 48000);
  EXPECT_FLOAT_EQ(FEngine.S().Fframe_aspect_ratio, 16.0f / 9.0f);
  int64_t gop = 0;
  avutil.av_opt_get_int(FEngine.Options().avcodec_opts[AVMEDIA_TYPE_VIDEO], "g", 0, &gop);
  EXPECT_EQ(gop, 18);

  FEngine.Reset();
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("target", "vcd"); }), "frame_rate is invalid.");
  FEngine.ParseOption("r", "25");
  FEngine.ParseOption("target", "vcd");
  EXPECT_EQ(FEngine.S().Fframe_height, 288) << "25 frames/s decides PAL";
  FEngine.ParseOption("r", "15");
  FEngine.ParseOption("target", "dv");
  EXPECT_EQ(FEngine.S().Fframe_height, 480) << "an undecided rate falls back to NTSC";
  EXPECT_EQ(FEngine.S().Fframe_pix_fmt, AV_PIX_FMT_YUV411P);
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("target", "pal-laserdisc"); }), "Unknown target type");
}

}  // namespace
}  // namespace vidora::test
