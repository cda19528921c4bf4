#include <gtest/gtest.h>

#include <fstream>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "test_support.h"

namespace vidora {
namespace {

TEST(Texts, TimeText) {
  EXPECT_EQ(TimeText(3723004000), "01:02:03.004");
  EXPECT_EQ(TimeText(0), "00:00:00.000");
  EXPECT_EQ(TimeText(999999), "00:00:00.999");
  EXPECT_EQ(TimeText(NoTimeValue), "N/A");
  EXPECT_EQ(TimeText(int64_t{100} * 3600000000), "100:00:00.000");
}

TEST(Texts, SizeTextSwitchesUnitAboveEachBoundary) {
  EXPECT_EQ(SizeText(0), "0 Byte");
  EXPECT_EQ(SizeText(1024), "1024 Byte");
  EXPECT_EQ(SizeText(1025), "1.00 KB");
  EXPECT_EQ(SizeText(1048576), "1024.00 KB");
  EXPECT_EQ(SizeText(1048577), "1.00 MB");
  EXPECT_EQ(SizeText(1073741825), "1.00 GB");
  EXPECT_EQ(SizeText(int64_t{5} * 1073741824), "5.00 GB");
}

TEST(Texts, MediaTypesAndFrameDurations) {
  EXPECT_EQ(MediaTypeName(AVMEDIA_TYPE_SUBTITLE), "Subtitle");
  EXPECT_EQ(MediaTypeName(-1), "Unknown");
  EXPECT_EQ(MediaTypeName(5), "Unknown");
  EXPECT_EQ(FrameDuration({25, 1}), 40000);
  EXPECT_EQ(FrameDuration({30000, 1001}), 33366);
  EXPECT_EQ(FrameDuration({0, 1}), 40000);
  EXPECT_EQ(FrameDuration({25, 0}), 40000);
}

TEST(Texts, LocalDateTimeCountsFrom1899) {
  EXPECT_DOUBLE_EQ(UnixToLocalDateTime(0) - LocalOffsetDays(), 25569.0);
  EXPECT_DOUBLE_EQ(UnixToLocalDateTime(86400 * 2) - LocalOffsetDays(), 25571.0);
}

class LibraryUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadMediaLibraries(); }
};

TEST_F(LibraryUtilsTest, ErrorTextUsesTheLibraryMessages) {
  EXPECT_EQ(ErrorText("a.avi", AVERROR_EOF), "a.avi: End of file");
  EXPECT_EQ(ErrorText("a.avi", AVERROR_INVALIDDATA), "a.avi: Invalid data found when processing input");
  EXPECT_EQ(ErrorText("a.avi", -1163346256), "a.avi: Not yet implemented in FFmpeg, patches welcome");
  EXPECT_EQ(ErrorText("a.avi", 123456), "a.avi: Error number 123456 occurred");
}

TEST_F(LibraryUtilsTest, ReadWholeFileTerminatesTheBuffer) {
  test::TTempFolder folder;
  std::string path = (folder.Path() / "stats.log").string();
  std::ofstream(path, std::ios::binary) << "pass one\n";
  uint8_t* buffer = nullptr;
  int64_t size = 0;
  ASSERT_EQ(ReadWholeFile(path, buffer, size), 0);
  EXPECT_EQ(size, 10);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "pass one\n");
  avutil.av_free(buffer);

  EXPECT_EQ(ReadWholeFile(path + ".missing", buffer, size), -1);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(FileSizeOf(path + ".missing"), -1);
}

TEST_F(LibraryUtilsTest, MetadataAndCodecNames) {
  AVDictionary* metadata = nullptr;
  avutil.av_dict_set(&metadata, "title", "Clip", 0);
  EXPECT_EQ(MetadataValue(metadata, "title", "-"), "Clip");
  EXPECT_EQ(MetadataValue(metadata, "tit", "-"), "-");
  EXPECT_EQ(MetadataValue(nullptr, "title", "-"), "-");
  avutil.av_dict_free(&metadata);

  AVCodecParameters parameters{};
  parameters.codec_id = AV_CODEC_ID_H263;
  EXPECT_EQ(CodecDisplayName(&parameters, nullptr), "h263");
  parameters.codec_id = AV_CODEC_ID_NONE;
  parameters.codec_tag = 0x34363258;  // "X264"
  EXPECT_EQ(CodecDisplayName(&parameters, nullptr), "X264 / 0x34363258");
}

}  // namespace
}  // namespace vidora
