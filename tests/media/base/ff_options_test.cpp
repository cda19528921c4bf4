#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/ff_options.h"
#include "media/base/logger.h"
#include "test_support.h"

namespace vidora {
namespace {

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLibraries();
    FLogger.SetTriggerEventInMainThread(false);
    FLogger.SetOnLog([this](const void*, uint32_t, TLogLevel, const std::string& message) {
      std::lock_guard lock(FLock);
      FMessages.push_back(message);
    });
    InitOptions(FOptions, SWS_BICUBIC);
  }
  void TearDown() override { FreeOptions(FOptions); }

  int64_t IntOf(void* holder, const char* name) {
    int64_t value = -12345;
    avutil.av_opt_get_int(holder, name, 0, &value);
    return value;
  }
  AVCodecContext* Codec(AVMediaType type) { return FOptions.avcodec_opts[type]; }

  TFFLogger FLogger;
  TFFOptions FOptions;
  std::mutex FLock;
  std::vector<std::string> FMessages;
};

TEST_F(OptionsTest, CodecOptionsReachEveryMediaTypeTheyApplyTo) {
  ASSERT_TRUE(SetOption(FOptions, "b", "64000"));
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_VIDEO), "b"), 64000);
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_AUDIO), "b"), 64000);

  ASSERT_TRUE(SetOption(FOptions, "g", "25"));  // a video-only option
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_VIDEO), "g"), 25);
  EXPECT_NE(IntOf(Codec(AVMEDIA_TYPE_AUDIO), "g"), 25);
  EXPECT_EQ(FOptions.opt_names, (std::vector<std::string>{"b", "g"}));
}

TEST_F(OptionsTest, MediaLetterPrefixFallsBackToThePlainOption) {
  ASSERT_TRUE(SetOption(FOptions, "vb", "300000"));
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_VIDEO), "b"), 300000);
  EXPECT_NE(IntOf(Codec(AVMEDIA_TYPE_AUDIO), "b"), 300000);
  ASSERT_TRUE(SetOption(FOptions, "ab", "12200"));
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_AUDIO), "b"), 12200);
  EXPECT_EQ(IntOf(Codec(AVMEDIA_TYPE_VIDEO), "b"), 300000);
  EXPECT_EQ(FOptions.opt_names, (std::vector<std::string>{"b", "ab"})) << "\"ab\" is an option of its own";
}

TEST_F(OptionsTest, ContainerAndScalerOptions) {
  ASSERT_TRUE(SetOption(FOptions, "probesize", "5000000"));
  EXPECT_EQ(IntOf(FOptions.avformat_opts, "probesize"), 5000000);
  ASSERT_TRUE(SetOption(FOptions, "sws_flags", "lanczos"));
  EXPECT_EQ(IntOf(FOptions.sws_opts, "sws_flags"), SWS_LANCZOS);
}

TEST_F(OptionsTest, RefusedOptionsReturnFalseAndBadValuesAreLogged) {
  EXPECT_FALSE(SetOption(FOptions, "no_such_option", "1"));
  EXPECT_FALSE(SetOption(FOptions, " ", "1"));
  EXPECT_FALSE(SetOption(FOptions, "b", "  "));
  EXPECT_TRUE(FMessages.empty());
  EXPECT_FALSE(SetOption(FOptions, "b", "lots"));
  ASSERT_FALSE(FMessages.empty());
  EXPECT_EQ(FMessages.back(), "Invalid value \"lots\" for option \"b\"");
  EXPECT_TRUE(FOptions.opt_names.empty());
}

TEST_F(OptionsTest, DebugOptionRaisesTheLogLevel) {
  FLogger.SetLogLevel(TLogLevel::llInfo);
  ASSERT_TRUE(SetOption(FOptions, "debug", "mb_type"));
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llDebug);
  FLogger.SetLogLevel(TLogLevel::llInfo);
}

TEST_F(OptionsTest, ApplyCopiesOnlyOptionsWithTheRequiredFlags) {
  ASSERT_TRUE(SetOption(FOptions, "vb", "300000"));
  ASSERT_TRUE(SetOption(FOptions, "flags", "+qscale"));
  ASSERT_TRUE(SetOption(FOptions, "ar", "8000"));  // audio only: not for a video target

  AVCodecContext* target = avcodec.avcodec_alloc_context3(nullptr);
  ApplyOptions(FOptions, target, Codec(AVMEDIA_TYPE_VIDEO), AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(target->bit_rate, 300000);
  EXPECT_TRUE(target->flags & AV_CODEC_FLAG_QSCALE);
  EXPECT_EQ(target->sample_rate, 0);
  avcodec.avcodec_free_context(&target);
}

TEST_F(OptionsTest, PrivateOptionsWaitForTheirCodec) {
  ASSERT_TRUE(SetOption(FOptions, "preset", "veryfast"));
  ASSERT_TRUE(SetOption(FOptions, "movflags", "+faststart"));
  ASSERT_TRUE(SetOption(FOptions, "profile", "baseline")) << "the generic profile refuses it, libx264's takes it";
  EXPECT_EQ(FOptions.opt_names, (std::vector<std::string>{"preset", "movflags", "profile"}));

  const AVCodec* x264 = avcodec.avcodec_find_encoder_by_name("libx264");
  if (!x264) GTEST_SKIP() << "no libx264 encoder";
  AVCodecContext* target = avcodec.avcodec_alloc_context3(x264);
  EXPECT_TRUE(ApplyPrivateOptions(FOptions, target->priv_data, true, AV_OPT_FLAG_VIDEO_PARAM).empty());
  uint8_t* value = nullptr;
  ASSERT_GE(avutil.av_opt_get(target, "preset", AV_OPT_SEARCH_CHILDREN, &value), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(value), "veryfast");
  avutil.av_free(value);

  avutil.av_dict_set(&FOptions.codec_private_opts, "crf", "lots", 0);
  EXPECT_EQ(ApplyPrivateOptions(FOptions, target->priv_data, true, 0), (std::vector<std::string>{"crf=lots"}));
  avcodec.avcodec_free_context(&target);
}

}  // namespace
}  // namespace vidora
