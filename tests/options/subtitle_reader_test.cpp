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
  std::string afterBanner = std::string(SubtitleBanner).empty() ? "0" : "1000";
  EXPECT_EQ(Read({"{0}{25}First"}, ".sub"), (TRows{{afterBanner, "First"}})) << "a banner with text holds second 0";
  EXPECT_EQ(Read({"{250}{255}One", "{260}{270}Two"}, ".sub"), (TRows{{"10000", "One"}, {"11000", "Two"}}));
  EXPECT_EQ(Read({"{300}{330}Slow"}, ".sub", 0), (TRows{{"12000", "Slow"}})) << "25 frames/s without a video";
}

TEST(SubtitleReader, MicroDVDHeaderGivesTheRateWithoutAVideo) {
  std::vector<std::string> lines = {"{1}{1}23.976", "{240}{300}Hello", "{1000}{1100}Later"};
  EXPECT_EQ(Read(lines, ".sub", 25), (TRows{{"9000", "Hello"}, {"40000", "Later"}})) << "the video's rate wins";
  TSubtitleTable table;
  std::string note;
  ASSERT_TRUE(LoadTXTLines(lines, ".txt", 0, table, &note));
  ASSERT_EQ(table.size(), 3u) << "the header is no subtitle";
  EXPECT_EQ(table[1].Key, "10000") << "240 / 23.976";
  EXPECT_EQ(table[2].Key, "41000");
  EXPECT_NE(note.find("23.976"), std::string::npos) << note;
  note.clear();
  ASSERT_TRUE(LoadTXTLines({"{250}{300}Hello"}, ".sub", 0, table, &note));
  EXPECT_EQ(table[1].Key, "10000");
  EXPECT_NE(note.find("25 frames/s"), std::string::npos) << note;
  note.clear();
  LoadTXTLines({"{0}{0}25", "{250}{300}Hello"}, ".sub", 30, table, &note);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_TRUE(note.empty()) << "nothing to say with a video";
  EXPECT_EQ(Read({"{25}{50}Number", "{250}{300}42"}, ".sub"), (TRows{{"1000", "Number"}, {"10000", "42"}}))
      << "only a first row is a header";
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

TEST(SubtitleReader, TMPlayerKeepsALastSubtitleInTheFirstMinute) {
  EXPECT_EQ(Read({"00:00:03:Only line"}, ".txt"), (TRows{{"3000", "Only line"}}));
  EXPECT_EQ(Read({"00:00:02:One", "00:00:09:Last"}, ".txt"), (TRows{{"2000", "One"}, {"9000", "Last"}}));
  EXPECT_EQ(Read({"00:00:02:One", "0:00:00:  "}, ".txt"), (TRows{{"2000", "One"}})) << "a terminator";
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

TEST(SubtitleReader, AnEmptySubRipCueGivesNoRow) {
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "Hello", "", "2", "00:00:03,000 --> 00:00:04,000", "", "3",
                  "00:00:04,500 --> 00:00:07,000", "Third cue", "", "4", "00:00:09,000 --> 00:00:10,000", ""},
                 ".srt"),
            (TRows{{"1000", "Hello"}, {"4000", "Third cue"}}));
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "00:00:03,000 --> 00:00:04,000", "Both"}, ".srt"),
            (TRows{{"3000", "Both"}})) << "a timing line without its number";
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "First", "12345", "00:00:03,000 --> 00:00:04,000", "Next"},
                 ".srt"),
            (TRows{{"1000", "First"}, {"3000", "Next"}})) << "a long cue number is no text either";
}

TEST(SubtitleReader, SAMI) {
  EXPECT_EQ(Read({"<SAMI>", "<SYNC Start=2500>Hi<br>there", "<SYNC Start=4000><P Class=ENCC>Hi", "<SYNC Start=9000>x;"},
                 ".smi"),
            (TRows{{"2000", "Hi|there"}, {"4000", "Hi"}, {"9000", "x;"}}));
}

TEST(SubtitleReader, SAMIWithAStyleBlockAndClassParagraphs) {
  std::vector<std::string> lines = {
      "<SAMI>",
      "<HEAD>",
      "<TITLE>Sample</TITLE>",
      "<STYLE TYPE=\"text/css\">",
      "<!--",
      "P { margin-left: 8pt; margin-right: 8pt; font-family: Arial; }",
      ".ENCC { Name: English; lang: en-US; SAMIType: CC; }",
      "-->",
      "</STYLE>",
      "</HEAD>",
      "<BODY>",
      "<SYNC Start=1000><P Class=ENCC>First line<br>second line<BR/>third",
      "<SYNC Start=2500><P Class=ENCC>&nbsp;",
      "<SYNC Start=4000><P Class=ENCC>Tom &amp; Jerry <i>now</i></P>",
      "<SYNC Start=6000><P Class=ENCC>",
      "Text on the",
      "next lines",
      "<SYNC Start=8000><P Class=ENCC>&nbsp;",
      "</BODY>",
      "</SAMI>",
  };
  EXPECT_EQ(Read(lines, ".smi"), (TRows{{"1000", "First line|second line|third"},
                                        {"4000", "Tom & Jerry <i>now</i>"},
                                        {"6000", "Text on the next lines"}}));
}

TEST(SubtitleReader, SubStation) {
  std::vector<std::string> lines = {"[Script Info]", "Title: x", "[Events]",
                                    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
                                    "Dialogue: 0,0:00:01.50,0:00:04.00,Default,,0,0,0,,Hello",
                                    "Dialogue: 0,0:00:06.00,0:00:08.00,Default,,0,0,0,,{\\i1}Styled{\\i0} words"};
  EXPECT_EQ(Read(lines, ".ass"), (TRows{{"1000", "Hello"}, {"6000", "{y:i}Styled words"}}));
  TSubtitleTable table{{"0", "old"}, {"5000", "kept"}};
  EXPECT_FALSE(LoadTXTLines({"[Script Info]", "Dialogue: 0,0:00:01.50"}, ".ssa", 25, table));
  EXPECT_EQ(table.size(), 2u) << "without [EVENTS] the previous table stays";
}

TEST(SubtitleReader, SubStationOverrideBlocksBecomeTagsOrGo) {
  std::vector<std::string> lines = {
      "[Script Info]", "ScriptType: v4.00+", "[V4+ Styles]",
      "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1",
      "[Events]", "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
      "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\an8}Plain{\\i1} and {\\i0}Styled{\\i0} ASS, too",
      "Dialogue: 0,0:00:04.00,0:00:06.00,Default,,0,0,0,,{\\i1\\fs24}Slanted\\Nsecond{\\c&H0000FF&}\\nthird",
      "Dialogue: 0,0:00:07.00,0:00:09.00,Default,,0,0,0,,{\\b1}Bold\\hword, and a comma",
      "Dialogue: 0,0:00:10.00,0:00:11.00,Default,,0,0,0,,Default"};
  EXPECT_EQ(Read(lines, ".ass"), (TRows{{"1000", "Plain{y:i} and Styled ASS, too"},
                                        {"4000", "{y:i}Slanted|second|third"},
                                        {"7000", "{y:b}Bold word, and a comma"},
                                        {"10000", "Default"}}));
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
  // Short lines count characters: two Polish letters are two, not four bytes.
  EXPECT_EQ(Read({"\xC5\xBC\xC4\x99", "{25}{50}Hello"}, ".sub"), (TRows{{"1000", "Hello"}}));
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "First", "Tak\xC5\xBC", "2"}, ".srt"),
            (TRows{{"1000", "First"}})) << "four characters (five bytes) end the cue as \"Yes.\" does";
}

TEST(SubtitleReader, AnEmptyBannerTakesNoSecond) {
  TSubtitleTable table;
  ASSERT_TRUE(LoadTXTLines({"{12}{30}Half a second in"}, ".sub", 25, table));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].Key, "0");
  EXPECT_EQ(table[0].Text, SubtitleBanner);
  EXPECT_EQ(table[1].Key, std::string(SubtitleBanner).empty() ? "0" : "1000");
}

TEST(SubtitleReader, TextEncodings) {
  EXPECT_EQ(DecodeSubtitleText("\xEF\xBB\xBFz\xC3\xB3\xC5\x82w", false), "z\xC3\xB3\xC5\x82w");
  EXPECT_EQ(DecodeSubtitleText(std::string("\xFF\xFEz\0\xF3\0", 6), false), "z\xC3\xB3");
  EXPECT_EQ(DecodeSubtitleText("caf\xE9", false), "caf\xC3\xA9") << "Windows-1252";
  // UTF-16 without a byte-order mark: zero bytes at every other position.
  EXPECT_EQ(DecodeSubtitleText(std::string("{\0001\0}\0{\0002\0}\0T\0\x19\x01\r\0\n\0", 20), false),
            "{1}{2}T\xC4\x99\r\n");
  EXPECT_EQ(DecodeSubtitleText(std::string("\0{\0001\0}\0{\0002\0}\0T\x01\x19\0\r\0\n", 20), false),
            "{1}{2}T\xC4\x99\r\n");
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
