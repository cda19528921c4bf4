#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <tuple>

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
  EXPECT_EQ(Read({"{0}{25}First"}, ".sub"), (TRows{{"0", "First"}})) << "the cue, not the banner, holds time 0";
  EXPECT_EQ(Read({"{250}{255}One", "{260}{270}Two"}, ".sub"), (TRows{{"10000", "One"}, {"10400", "Two"}}));
  EXPECT_EQ(Read({"{300}{330}Slow"}, ".sub", 0), (TRows{{"12000", "Slow"}})) << "25 frames/s without a video";
}

TEST(SubtitleReader, MicroDVDHeaderGivesTheRateWithoutAVideo) {
  std::vector<std::string> lines = {"{1}{1}23.976", "{240}{300}Hello", "{1000}{1100}Later"};
  EXPECT_EQ(Read(lines, ".sub", 25), (TRows{{"9600", "Hello"}, {"40000", "Later"}})) << "the video's rate wins";
  TSubtitleTable table;
  std::string note;
  ASSERT_TRUE(LoadTXTLines(lines, ".txt", 0, table, &note));
  ASSERT_EQ(table.size(), 3u) << "the header is no subtitle";
  EXPECT_EQ(table[1].Key, "10010") << "240 / 23.976";
  EXPECT_EQ(table[2].Key, "41708");
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
  EXPECT_EQ(Read({"[105][130]Text"}, ".txt"), (TRows{{"10500", "Text"}}));
  EXPECT_EQ(Read({"[01:23]Text"}, ".txt"), (TRows{{"83000", "Text"}}));
}

TEST(SubtitleReader, TMPlayer) {
  EXPECT_EQ(Read({"1:02:03:Text"}, ".txt"), (TRows{{"3723000", "Text"}}));
  EXPECT_EQ(Read({"00:00:05:Same", "00:00:05:Time", "00:01:09:Later"}, ".txt"),
            (TRows{{"5000", "Same|Time"}, {"69000", "Later"}})) << "cues that start together share a row";
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
  EXPECT_EQ(Read({"1", "00:01:00,000 --> 00:01:02,000", "What did you say?", "No.", "", "2",
                  "00:01:03,000 --> 00:01:04,000", "Ok"},
                 ".SRT"),
            (TRows{{"60000", "What did you say?|No."}, {"63000", "Ok"}}))
      << "a short line is text; a blank line ends the entry";
  TRows asText = Read({"1", "00:00:05,000 --> 00:00:07,000", "Hello"}, ".txt");
  ASSERT_EQ(asText.size(), 1u) << "SubRip lines in a .txt are read as TMPlayer lines";
  EXPECT_EQ(asText[0], (std::pair<std::string, std::string>{"5000", "000 --> 00:00:07,000"}));
}

TEST(SubtitleReader, AnEmptySubRipCueGivesNoRow) {
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "Hello", "", "2", "00:00:03,000 --> 00:00:04,000", "", "3",
                  "00:00:04,500 --> 00:00:07,000", "Third cue", "", "4", "00:00:09,000 --> 00:00:10,000", ""},
                 ".srt"),
            (TRows{{"1000", "Hello"}, {"4500", "Third cue"}}));
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "00:00:03,000 --> 00:00:04,000", "Both"}, ".srt"),
            (TRows{{"3000", "Both"}})) << "a timing line without its number";
  EXPECT_EQ(Read({"1", "00:00:01,000 --> 00:00:02,000", "First", "12345", "00:00:03,000 --> 00:00:04,000", "Next"},
                 ".srt"),
            (TRows{{"1000", "First"}, {"3000", "Next"}})) << "a long cue number is no text either";
}

TEST(SubtitleReader, SAMI) {
  EXPECT_EQ(Read({"<SAMI>", "<SYNC Start=2500>Hi<br>there", "<SYNC Start=4000><P Class=ENCC>Hi", "<SYNC Start=9000>x;"},
                 ".smi"),
            (TRows{{"2500", "Hi|there"}, {"4000", "Hi"}, {"9000", "x;"}}));
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
  EXPECT_EQ(Read(lines, ".ass"), (TRows{{"1500", "Hello"}, {"6000", "<i>Styled</i> words"}}));
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
  EXPECT_EQ(Read(lines, ".ass"), (TRows{{"1000", "Plain<i> and </i>Styled</i> ASS, too"},
                                        {"4000", "<i>Slanted|second|third"},
                                        {"7000", "<b>Bold word, and a comma"},
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
}

TEST(SubtitleReader, AnEmptyBannerTakesNoSecond) {
  TSubtitleTable table;
  ASSERT_TRUE(LoadTXTLines({"{12}{30}Half a second in"}, ".sub", 25, table));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].Key, "0");
  EXPECT_EQ(table[0].Text, SubtitleBanner);
  EXPECT_EQ(table[1].Key, "480");
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

  // Short files: one and two cues of Polish in Windows-1250 are no Western text.
  std::string cue = "1\r\n00:00:01,000 --> 00:00:02,000\r\nZa\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9\r\n\r\n";
  std::string zazolc = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85";
  EXPECT_NE(DecodeSubtitleText(cue, false).find(zazolc), std::string::npos) << DecodeSubtitleText(cue, false);
  std::string two = cue + "2\r\n00:00:03,000 --> 00:00:04,000\r\nJa\x9F\xF1 i \xBF" "aba\r\n";
  EXPECT_NE(DecodeSubtitleText(two, false).find("Ja\xC5\xBA\xC5\x84 i \xC5\xBC" "aba"), std::string::npos)
      << DecodeSubtitleText(two, false);
  EXPECT_EQ(DecodeSubtitleText("\xBFQu\xE9 pas\xF3, se\xF1or?", false), "\xC2\xBFQu\xC3\xA9 pas\xC3\xB3, se\xC3\xB1or?")
      << "Western text with its own signs stays Western";

  TTempFolder folder;
  std::string path = (folder.Path() / "film.srt").string();
  std::ofstream(path, std::ios::binary) << "1\r\n00:00:02,000 --> 00:00:03,000\r\nZa\xBF\xF3\xB3\xE6\r\n";
  TSubtitleTable table;
  ASSERT_TRUE(LoadTXT(path, 25, table));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1].Key, "2000");
  EXPECT_EQ(table[1].Text.substr(0, 2), "Za");
}

// Start, end and text of each row after the banner.
std::vector<std::tuple<std::string, int64_t, std::string>> Timed(const std::vector<std::string>& lines,
                                                                  const std::string& extension) {
  TSubtitleTable table;
  LoadTXTLines(lines, extension, 25, table);
  std::vector<std::tuple<std::string, int64_t, std::string>> rows;
  for (size_t i = 1; i < table.size(); ++i) rows.emplace_back(table[i].Key, table[i].End, table[i].Text);
  return rows;
}

using TTimed = std::vector<std::tuple<std::string, int64_t, std::string>>;

TEST(SubtitleReader, EveryFormatKeepsMillisecondsAndTheEndsItGives) {
  EXPECT_EQ(Timed({"2", "00:00:09,000 --> 00:00:10,000", "Later", "", "1", "00:00:06,500 --> 00:00:09,250 X1:0", "First"},
                  ".srt"),
            (TTimed{{"6500", 9250, "First"}, {"9000", 10000, "Later"}}))
      << "ordered by start";
  EXPECT_EQ(Timed({"[Events]", "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
                   "Dialogue: 0,0:00:01.50,0:00:04.00,Default,,0,0,0,,Hello"},
                  ".ass"),
            (TTimed{{"1500", 4000, "Hello"}}));
  EXPECT_EQ(Timed({"<SYNC Start=2500><P>Hi", "<SYNC Start=4000><P>&nbsp;", "<SYNC Start=6000><P>Last"}, ".smi"),
            (TTimed{{"2500", 4000, "Hi"}, {"6000", -1, "Last"}}))
      << "a cue lasts until the next one, a blank one too";
  EXPECT_EQ(Timed({"[65][90]Tenths", "[95][]Open"}, ".txt"), (TTimed{{"6500", 9000, "Tenths"}, {"9500", -1, "Open"}}));
  EXPECT_EQ(Timed({"{163}{200}Frames", "{250}{}Open", "{300}{290}Backwards"}, ".sub"),
            (TTimed{{"6520", 8000, "Frames"}, {"10000", -1, "Open"}, {"12000", -1, "Backwards"}}));
  EXPECT_EQ(Timed({"00:00:05:No end", "[01:23]Nor here"}, ".txt"), (TTimed{{"5000", -1, "No end"}}));
  EXPECT_EQ(Timed({"[01:23]Nor here"}, ".txt"), (TTimed{{"83000", -1, "Nor here"}}));
}

TEST(SubtitleReader, ABadLineIsSkippedAndTheGoodOnesStay) {
  EXPECT_EQ(Read({"{25}{50}First", "{-50}{10}Negative", "{100}{125}Second"}, ".sub"),
            (TRows{{"1000", "First"}, {"4000", "Second"}}));
  EXPECT_EQ(Read({"[10][20]First", "[-5][20]Negative"}, ".txt"), (TRows{{"1000", "First"}}));
  EXPECT_EQ(Timed({"<SAMI><BODY><SYNC Start=1000><P>One<SYNC Start=-500><P>Negative<SYNC Start=3000><P>Three"
                   "</BODY></SAMI>"},
                  ".smi"),
            (TTimed{{"1000", 3000, "One"}, {"3000", -1, "Three"}}))
      << "a SAMI file on one line";
  EXPECT_EQ(Read({"[Events]", "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Before the format",
                  "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
                  "Dialogue: 0,0:00:03.00,0:00:04.00,Default,,0,0,0,,After it"},
                 ".ass"),
            (TRows{{"1000", "Before the format"}, {"3000", "After it"}}));
}

TEST(SubtitleReader, AHundredThousandCuesAreReadInLinearTime) {
  std::vector<std::string> lines;
  for (int i = 0; i < 100000; ++i) {
    char timing[64];
    std::snprintf(timing, sizeof timing, "%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d", i / 3600, i / 60 % 60, i % 60,
                  i % 7, i / 3600, i / 60 % 60, i % 60, 900);
    lines.insert(lines.end(), {std::to_string(i + 1), timing, "Line number " + std::to_string(i), ""});
  }
  auto start = std::chrono::steady_clock::now();
  TSubtitleTable table;
  ASSERT_TRUE(LoadTXTLines(lines, ".srt", 25, table));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(table.size(), 100001u);
  // Scanning the table for each row took minutes.
  EXPECT_LT(seconds, 4.0);
}

TEST(SubtitleReader, SplitFields) {
  EXPECT_EQ(SplitFields(" a , b,,c "), (std::vector<std::string>{"a", "b", "", "c"}));
}

}  // namespace
}  // namespace vidora::test
