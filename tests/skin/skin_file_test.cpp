#include <gtest/gtest.h>

#include "options/output_profile.h"
#include "skin/skin_file.h"

namespace vidora::test {
namespace {

TEST(SkinFile, SectionsKeysAndContinuedText) {
  TSkinFile skin;
  skin.Parse("ignored=1\r\n[btnAdd]\r\nLeft=10\r\nText=Add\r\na file\r\n\r\nTop=$20\r\nno key here\r\n=empty key\r\n"
             "[lblTime]junk\r\nFontName=Arial\r\n");
  ASSERT_EQ(skin.Sections().size(), 2u);
  const TSkinSection* button = skin.Section("btnAdd");
  ASSERT_TRUE(button);
  EXPECT_EQ(button->Values, (std::vector<std::pair<std::string, std::string>>{
                                {"Left", "10"}, {"Text", "Add\r\na file"}, {"Top", "$20"}}));
  ASSERT_TRUE(skin.Section("lblTime"));
  EXPECT_EQ(skin.Section("lblTime")->Values.size(), 1u);
  EXPECT_FALSE(skin.Section("lbltime")) << "section names compare exactly here";
}

TEST(SkinFile, TheProfileLineKeepsItsBytes) {
  std::string line = ScrambleProfileLine("VideoCodec=mpeg4,FrameSize=320x240,");
  TSkinFile plain;
  plain.Parse("[Settings]\r\n" + line + "\r\nIgnored=1\r\n");
  ASSERT_TRUE(plain.ProfileLine());
  EXPECT_EQ(*plain.ProfileLine(), line);

  std::string utf8;  // the same bytes as characters of a UTF-8 file
  for (unsigned char c : line) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  TSkinFile wide;
  wide.Parse("\xEF\xBB\xBF[Settings]\n" + utf8 + "\n");
  ASSERT_TRUE(wide.ProfileLine());
  EXPECT_EQ(*wide.ProfileLine(), line);

  TOutputProfile profile;
  profile.ApplyProfile(*wide.ProfileLine());
  EXPECT_EQ(profile.FrameSize, "320x240");
  EXPECT_FALSE(TSkinFile().ProfileLine());
}

TEST(SkinFile, TheSampleSkinIsFound) {
  std::string folder = FindSkinFolder("Wide320");
  ASSERT_FALSE(folder.empty());
  TSkinFile skin;
  ASSERT_TRUE(skin.Load(folder + "/skin.all"));
  TOutputProfile profile;
  profile.ApplyProfile(*skin.ProfileLine());
  EXPECT_EQ(profile.VideoCodec, "mpeg4");
  EXPECT_EQ(profile.AudioCodec, "aac");
  EXPECT_TRUE(FindSkinFolder("NoSuchSkin").empty());
}

}  // namespace
}  // namespace vidora::test
