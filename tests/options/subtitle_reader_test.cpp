#include <gtest/gtest.h>

#include <fstream>

#include "../media/base/test_support.h"
#include "options/subtitle_reader.h"

namespace vidora::test {
namespace {

using TRows = std::vector<std::pair<std::string, std::string>>;

TRows Read(const std::vector<std::string>& lines, const std::string& extension, double frameRate = 25) {
  TSubtitleTable table;
  LoadTXTLines(lines, extension, frameRate, table);
  TRows rows;
  for (size_t i = 1; i < table.size(); ++i) rows.emplace_back(table[i].Key, table[i].Text);
  return rows;
}

TEST(SubtitleReader, MicroDVD) {
  EXPECT_EQ(Read({"{250}{300}Hello|World"}, ".sub"), (TRows{{"10000", "Hello|World"}}));
  EXPECT_EQ(Read({"{0}{25}First"}, ".sub"), (TRows{{"1000", "First"}})) << "the banner holds second 0";
  EXPECT_EQ(Read({"{250}{255}One", "{260}{270}Two"}, ".sub"), (TRows{{"10000", "One"}, {"11000", "Two"}}));
  EXPECT_EQ(Read({"{300}{330}Slow"}, ".sub", 1), (TRows{{"300000", "Slow"}})) << "rate 1 when stream 0 is not video";
}

TEST(SubtitleReader, BracketedForms) {
  EXPECT_EQ(Read({"[105][130]Text"}, ".txt"), (TRows{{"10000", "Text"}}));
  EXPECT_EQ(Read({"[01:23]Text"}, ".txt"), (TRows{{"83000", "Text"}}));
}

TEST(SubtitleReader, TMPlayer) {
  EXPECT_EQ(Read({"1:02:03:Text"}, ".txt"), (TRows{{"3723000", "Text"}}));
  EXPECT_EQ(Read({"00:00:05:Same", "00:00:05:Time", "00:01:09:Later"}, ".txt"),
            (TRows{{"5000", "Same"}, {"6000", "Time"}, {"69000", "Later"}}));
  EXPECT_EQ(Read({"00:00:05:Kept", "00:00:07:Also kept", "00:00:00:"}, ".txt").size(), 2u)
      << "a last line at 00:00 is dropped";
}

TEST(SubtitleReader, SubRip) {
  EXPECT_EQ(Read({"1", "00:00:05,000 --> 00:00:07,000", "Hello", "World", "", "2",
                  "00:00:09,000 --> 00:00:10,000", "Last", "entry"},
                 ".srt"),
            (TRows{{"5000", "Hello|World"}, {"9000", "Last|entry"}}));
  EXPECT_EQ(Read({"1", "00:01:00,000 --> 00:01:02,000", "Really?", "Yes.", "2"}, ".SRT"),
            (TRows{{"60000", "Really?"}})) << "a short line ends the entry and is dropped";
  TRows asText = Read({"1", "00:00:05,000 --> 00:00:07,000", "Hello"}, ".txt");
  ASSERT_EQ(asText.size(), 1u) << "SubRip lines in a .txt are read as TMPlayer lines";
  EXPECT_EQ(asText[0], (std::pair<std::string, std::string>{"5000", "000 --> 00:00:07,000"}));
}

TEST(SubtitleReader, SAMI) {
  EXPECT_EQ(Read({"<SAMI>", "<SYNC Start=2500>Hi<br>there", "<SYNC Start=4000><P Class=ENCC>Hi", "<SYNC Start=9000>x;"},
                 ".smi"),
            (TRows{{"2000", "Hi|there"}}));
}

TEST(SubtitleReader, SubStation) {
  std::vector<std::string> lines = {"[Script Info]", "Title: x", "[Events]",
                                    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
                                    "Dialogue: 0,0:00:01.50,0:00:04.00,Default,,0,0,0,,Hello",
                                    "Dialogue: 0,0:00:06.00,0:00:08.00,Default,,0,0,0,,{\\i1}Styled{\\i0} words"};
  EXPECT_EQ(Read(lines, ".ass"), (TRows{{"1000", " Hello"}, {"6000", " Styled{\\i0} words"}}));
  TSubtitleTable table{{"0", "old"}, {"5000", "kept"}};
  EXPECT_FALSE(LoadTXTLines({"[Script Info]", "Dialogue: 0,0:00:01.50"}, ".ssa", 25, table));
  EXPECT_EQ(table.size(), 2u) << "without [EVENTS] the previous table stays";
}

TEST(SubtitleReader, FiltersAndLimits) {
  EXPECT_EQ(Read({"ab", "{50}{60}SUBEDIT by someone", "{100}{120}Real"}, ".sub"), (TRows{{"4000", "Real"}}));
  std::string longText(400, 'x');
  EXPECT_EQ(Read({"{25}{50}" + longText}, ".sub")[0].second.size(), 255u);
  TSubtitleTable table;
  EXPECT_FALSE(LoadTXTLines({}, ".srt", 25, table));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].Text, SubtitleBanner);
  EXPECT_TRUE(Read({"{x}{y}broken", "{oops", "}"}, ".sub").empty()) << "lines that do not parse are skipped";
}

TEST(SubtitleReader, TextEncodings) {
  EXPECT_EQ(DecodeSubtitleText("\xEF\xBB\xBFz\xC3\xB3\xC5\x82w", false), "z\xC3\xB3\xC5\x82w");
  EXPECT_EQ(DecodeSubtitleText(std::string("\xFF\xFEz\0\xF3\0", 6), false), "z\xC3\xB3");
  EXPECT_EQ(DecodeSubtitleText("caf\xE9", false), "caf\xC3\xA9") << "Windows-1252";
  // A Polish line in Windows-1250 is recognised whatever the user's language.
  std::string polish = "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1. Przyk\xB3\x61\x64owy napis z polskimi znakami, "
                       "kt\xF3ry jest do\x9C\xE6 d\xB3ugi. \xC6ma leci nad \xB3\xB9k\xB9.";
  std::string decoded = DecodeSubtitleText(polish, false);
  EXPECT_EQ(decoded.substr(0, 10), "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87") << decoded;

  TTempFolder folder;
  std::string path = (folder.Path() / "film.srt").string();
  std::ofstream(path, std::ios::binary) << "1\r\n00:00:02,000 --> 00:00:03,000\r\nZa\xBF\xF3\xB3\xE6\r\n";
  TSubtitleTable table;
  ASSERT_TRUE(LoadTXT(path, 25, table));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1].Key, "2000");
  EXPECT_EQ(table[1].Text.substr(0, 2), "Za");
}

TEST(SubtitleReader, SplitFields) {
  EXPECT_EQ(SplitFields(" a , b,,c "), (std::vector<std::string>{"a", "b", "", "c"}));
}

}  // namespace
}  // namespace vidora::test
