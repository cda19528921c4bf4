#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "skin/skin_file.h"
#include "skin/skin_values.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

TEST(SkinValues, IntegersAreDecimalOrDollarHexWithASign) {
  EXPECT_EQ(SkinInteger("42"), 42);
  EXPECT_EQ(SkinInteger("$20"), 32);
  EXPECT_EQ(SkinInteger("$fF"), 255);
  EXPECT_EQ(SkinInteger("-$10"), -16);
  EXPECT_EQ(SkinInteger("+7"), 7);
  EXPECT_EQ(SkinInteger("-2147483648"), -2147483648LL);
  for (const char* malformed : {"", "-", "$", "--5", "+-5", "$-5", "$+5", "12a", " 12", "12 ", "0x20", "2147483648",
                                "99999999999999999999", "$100000000"})
    EXPECT_FALSE(SkinInteger(malformed)) << malformed;
  EXPECT_EQ(SkinCoordinate("-8192"), -8192);
  EXPECT_FALSE(SkinCoordinate("8193"));
  EXPECT_FALSE(SkinExtent("-1"));
  EXPECT_EQ(SkinExtent("$2000"), 8192);
}

TEST(SkinValues, BooleansCaptionPlacesFlatStylesAndColours) {
  EXPECT_FALSE(SkinBoolean("0"));
  for (const char* on : {"1", "", "00", "false", "-0"}) EXPECT_TRUE(SkinBoolean(on)) << on;

  EXPECT_EQ(SkinTextPosition(0), TTextPos::tpAbove);
  EXPECT_EQ(SkinTextPosition(1), TTextPos::tpBelow);
  EXPECT_EQ(SkinTextPosition(2), TTextPos::tpLeft);
  EXPECT_EQ(SkinTextPosition(3), TTextPos::tpNone);
  EXPECT_EQ(SkinTextPosition(4), TTextPos::tpRight);
  EXPECT_FALSE(SkinTextPosition(7));
  EXPECT_FALSE(SkinTextPosition(-1));

  EXPECT_EQ(SkinFlatStyle(btNormal, "1"), btFlat);
  EXPECT_EQ(SkinFlatStyle(btSpeed, "1"), btSpeedFlat);
  EXPECT_EQ(SkinFlatStyle(btFlat, "1"), btFlat);
  EXPECT_EQ(SkinFlatStyle(btNormal, "0"), btNormal);
  EXPECT_EQ(SkinFlatStyle(btFlat, "0"), btNormal);
  EXPECT_EQ(SkinFlatStyle(btSpeedFlat, "yes"), btSpeed);

  EXPECT_EQ(SkinColour(0x0000FF), qRgb(255, 0, 0));
  EXPECT_EQ(SkinColour(0xFFC638), qRgb(0x38, 0xC6, 0xFF));
}

class SkinFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    FRoot = fs::temp_directory_path() / ("vidora-skins-" + std::to_string(::getpid()));
    fs::create_directories(FRoot);
    const char* before = std::getenv("XDG_DATA_HOME");
    FBefore = before ? before : "";
    setenv("XDG_DATA_HOME", FRoot.c_str(), 1);
  }
  void TearDown() override {
    if (FBefore.empty())
      unsetenv("XDG_DATA_HOME");
    else
      setenv("XDG_DATA_HOME", FBefore.c_str(), 1);
    fs::remove_all(FRoot);
  }
  fs::path Skin(const std::string& name, bool withDescription = true) {
    fs::path folder = FRoot / "vidora3gp" / "Skins" / name;
    fs::create_directories(folder);
    if (withDescription) std::ofstream(folder / "skin.all") << "[btnAdd]\r\nLeft=1\r\n";
    return folder;
  }
  fs::path FRoot;
  std::string FBefore;
};

TEST_F(SkinFolders, TheUsersSkinsAreListedOnceAndWin) {
  fs::path own = Skin("Wide320");
  Skin("MyPhone");
  Skin("NoDescription", false);
  std::ofstream(FRoot / "vidora3gp" / "Skins" / "loose.txt") << "not a folder";

  std::vector<std::string> names = SkinNames();
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 2), (std::vector<std::string>{"MyPhone", "Wide320"}))
      << "the user's folder comes first, by name";
  EXPECT_EQ(std::count(names.begin(), names.end(), "Wide320"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "NoDescription"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Standard"), 1) << "the program's own skins follow";
  EXPECT_EQ(FindSkinFolder("Wide320"), own.string());

  setenv("XDG_DATA_HOME", "relative/path", 1);
  EXPECT_NE(FindSkinFolder("Wide320"), own.string()) << "a relative data home is not used";
}

}  // namespace
}  // namespace vidora::test
