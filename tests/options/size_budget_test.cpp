#include <gtest/gtest.h>

#include "options/output_profile.h"
#include "options/size_budget.h"

namespace vidora::test {
namespace {

TEST(SizeLimit, WrittenSizesAreBytesAndNonsenseIsRefused) {
  EXPECT_EQ(ParseFileSize("300k"), 300000);
  EXPECT_EQ(ParseFileSize("1.5M"), 1500000);
  EXPECT_EQ(ParseFileSize("600KiB"), 614400);
  EXPECT_EQ(ParseFileSize("2MiB"), 2097152);
  EXPECT_EQ(ParseFileSize("480000"), 480000);
  for (const char* nonsense : {"", "abc", "-5", "0", "0.0k", "1..5M", "300 k", "5T", "1e9", "100", "5000M"})
    EXPECT_THROW(ParseFileSize(nonsense), std::invalid_argument) << nonsense;

  TOutputProfile profile;
  profile.ApplyProfile(ScrambleProfileLine("MaxFileSize=600k,"));
  EXPECT_EQ(profile.MaxFileSize, 600000);
  profile.SetField("MaxFileSize", "0");
  EXPECT_EQ(profile.MaxFileSize, 0) << "0 is no limit";
  EXPECT_THROW(profile.SetField("MaxFileSize", "big"), std::invalid_argument);
}

TEST(SizeLimit, SoundIsLoweredInItsStepsOnlyWhenThePictureNeedsTheRoom) {
  TFitFilm film;  // the phone profile: H.263 176x144 at 25 pictures a second, AMR-NB 12.2 kbit/s
  film.Seconds = 20;
  std::optional<TSizeBudget> roomy = PlanSizeBudget(film, 300000);
  ASSERT_TRUE(roomy);
  EXPECT_EQ(roomy->AudioBitRate, 12200);
  EXPECT_EQ(roomy->AudioBytes, 1000 * 32) << "a thousand 20 ms frames of 32 bytes";
  EXPECT_LE(roomy->Overhead + roomy->AudioBytes + roomy->VideoBitRate / 8 * 20, 300000);
  EXPECT_GT(roomy->VideoBitRate, 90000);

  film.Seconds = 50;
  std::optional<TSizeBudget> tight = PlanSizeBudget(film, 300000);
  ASSERT_TRUE(tight);
  EXPECT_LT(tight->AudioBitRate, 12200);
  EXPECT_GE(tight->VideoBitRate, LowestVideoBitRate(film));
  film.Seconds = 600;
  EXPECT_FALSE(PlanSizeBudget(film, 300000)) << "ten minutes do not go into 300 KB";
  double longest = LongestFit(film, 300000);
  EXPECT_GT(longest, 30);
  EXPECT_LT(longest, 90);

  film.Video = false;
  film.Seconds = 300;
  std::optional<TSizeBudget> sound = PlanSizeBudget(film, 300000);
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->AudioBitRate, 6700) << "the highest step that fits";
  film.Seconds = 600;
  EXPECT_FALSE(PlanSizeBudget(film, 300000)) << "never below 4.75 kbit/s";

  // The larger picture's AAC goes down its usual rates, not below 32 kbit/s.
  film = {.Seconds = 50, .AudioCodec = "aac", .AudioBitRate = 96000, .Width = 320, .Height = 240};
  std::optional<TSizeBudget> aac = PlanSizeBudget(film, 1000000);
  ASSERT_TRUE(aac);
  EXPECT_EQ(aac->AudioBitRate, 48000);
  film.Seconds = 80;
  EXPECT_FALSE(PlanSizeBudget(film, 1000000));
}

}  // namespace
}  // namespace vidora::test
