#include <gtest/gtest.h>

#include <fstream>

#include "../media/base/test_support.h"
#include "options/output_profile.h"

namespace vidora::test {
namespace {

TEST(OutputProfile, BuiltInProfileMakesThePhoneFile) {
  TOutputProfile profile;
  TOutputOptions o = profile.GetOutputOptions("/v/clip.avi", false);
  EXPECT_EQ(o.FrameSize, "176x144");
  EXPECT_EQ(o.VideoBitrate, 150000);
  EXPECT_EQ(o.AudioSampleRate, 8000);
  EXPECT_EQ(o.AudioChannels, 1);
  EXPECT_EQ(o.AudioBitrate, 12200);
  EXPECT_EQ(o.AudioCodec, "") << "the container's default codecs";
  EXPECT_EQ(o.FileExt, "_3GP.3gp");
  EXPECT_EQ(o.FileName, "/v/clip_(Vidora)_3GP.3gp");
  EXPECT_TRUE(o.VideoInputHook);
  EXPECT_TRUE(o.DisableSubtitle);
  EXPECT_EQ(o.Info.Author, "VidoraTo3GP/GSM Phone");
  EXPECT_EQ(o.Info.TimeStamp, 0.0);

  TOutputOptions fixed = profile.GetOutputOptions("/v/clip.avi", true);
  EXPECT_EQ(fixed.FrameSize, "320x240");
  EXPECT_EQ(fixed.VideoCodec, "mpeg4");
  EXPECT_EQ(fixed.VideoTag, "") << "today's 3GP muxer refuses the DIVX tag";
  EXPECT_EQ(fixed.AudioCodec, "aac");
  EXPECT_EQ(fixed.VideoBitRateTolerance, 96000);
  EXPECT_EQ(fixed.FileName, "/v/clip_(Vidora)_3GP.3gp");
}

TEST(OutputProfile, ProfileLinesReplaceEveryField) {
  TOutputProfile profile;
  profile.ApplyProfile(ScrambleProfileLine("VideoCodec=mpeg4,FrameSize=320x240,"));
  EXPECT_EQ(profile.VideoCodec, "mpeg4");
  EXPECT_EQ(profile.FrameSize, "320x240");
  EXPECT_EQ(profile.FileExt, "") << "fields the line does not name become empty";
  EXPECT_FALSE(profile.AudioSampleRate);
  TOutputOptions o = profile.GetOutputOptions("/v/a.avi", false);
  EXPECT_EQ(o.AudioSampleRate, -1);
  EXPECT_EQ(o.FileName, "/v/a_(Vidora)");

  profile.ApplyProfile(ScrambleProfileLine("videocodec=h263,FileExt=.mp4,AudioBitRate=lots"));
  EXPECT_EQ(profile.VideoCodec, "") << "names are compared exactly";
  EXPECT_EQ(profile.FileExt, ".mp4");
  EXPECT_NE(profile.Refusal.find("AudioBitRate"), std::string::npos) << "a tail without a comma is a last assignment";
  EXPECT_THROW(profile.GetOutputOptions("/v/a.avi", false), std::invalid_argument);
  EXPECT_NO_THROW(profile.GetOutputOptions("/v/a.avi", true)) << "the fixed set reads no profile number";
  profile.ApplyProfile(ScrambleProfileLine("garbage\x01\x02,=,x"));
  TOutputProfile empty;
  for (const std::string& name : TOutputProfile::FieldNames()) empty.SetField(name, "");
  EXPECT_TRUE(profile == empty) << "and a line that names nothing clears the refusal";
}

TEST(OutputProfile, OutputNamesAreNumberedWhenTaken) {
  TTempFolder folder;
  std::string input = (folder.Path() / "clip.avi").string();
  EXPECT_EQ(OutputFileName(input, "_3GP.3gp"), (folder.Path() / "clip_(Vidora)_3GP.3gp").string());
  std::ofstream((folder.Path() / "clip_(Vidora)_3GP.3gp").string()) << "x";
  EXPECT_EQ(OutputFileName(input, "_3GP.3gp"), (folder.Path() / "clip_(Vidora_1)_3GP.3gp").string());
  std::ofstream((folder.Path() / "clip_(Vidora_1)_3GP.3gp").string()) << "x";
  EXPECT_EQ(OutputFileName(input, "_3GP.3gp"), (folder.Path() / "clip_(Vidora_2)_3GP.3gp").string());
  // A dangling link would be written through: its name is taken too.
  std::filesystem::create_symlink(folder.Path() / "elsewhere" / "x.3gp", folder.Path() / "clip_(Vidora_2)_3GP.3gp");
  EXPECT_EQ(OutputFileName(input, "_3GP.3gp"), (folder.Path() / "clip_(Vidora_3)_3GP.3gp").string());
}

TEST(OutputProfile, ALongInputNameGivesWayToTheSuffixOnACharacterBoundary) {
  TTempFolder folder;
  std::string stem = "a";
  while (stem.size() < 245) stem += "\xC5\xBC";  // "ż", two bytes each, from an odd offset
  std::string output = OutputFileName((folder.Path() / (stem + ".mp4")).string(), "_3GP.3gp");
  std::string name = std::filesystem::path(output).filename().string();
  EXPECT_EQ(name.size(), 254u) << "255 bytes would split a character";
  EXPECT_EQ(name.substr(name.size() - 17), "_(Vidora)_3GP.3gp");
  EXPECT_EQ(name.substr(0, 237), stem.substr(0, 237));
  EXPECT_TRUE(std::ofstream(output).good()) << "the name fits the folder";
}

}  // namespace
}  // namespace vidora::test
