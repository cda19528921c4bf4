#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "../media/base/test_support.h"
#include "media/encoder/encoder.h"
#include "options/subtitle_scheduler.h"
#include "subtitle_test_support.h"

namespace vidora::test {
namespace {

constexpr int64_t FrameStep = 40000;  // 25 frames/s, in µs

struct Job {
  TSubtitleSettings Settings;
  TWorkingFont Font;
  TBitmap Frame;
  Job() { MakeGrey(Frame, 176, 144); }

  // Runs frames from `from` to `to` µs; returns the text shown on each frame ("" for none).
  std::vector<std::pair<int64_t, TText>> Run(TSubtitleScheduler& scheduler, int64_t from, int64_t to) {
    std::vector<std::pair<int64_t, TText>> shown;
    for (int64_t pts = from; pts < to; pts += FrameStep) {
      THookInfo info;
      info.Bitmap = &Frame;
      info.PTS = pts;
      scheduler.OnFrame(info);
      shown.emplace_back(pts, info.Update ? scheduler.SubText() : TText());
    }
    return shown;
  }
};

using TSpan = std::pair<int64_t, int64_t>;
TSpan Span(int64_t first, int64_t last) { return {first, last}; }

// The first and the last frame time on which `text` was shown, or {-1, -1}.
std::pair<int64_t, int64_t> ShownFromTo(const std::vector<std::pair<int64_t, TText>>& shown, const TText& text) {
  std::pair<int64_t, int64_t> span{-1, -1};
  for (const auto& [pts, t] : shown)
    if (t == text) {
      if (span.first < 0) span.first = pts;
      span.second = pts;
    }
  return span;
}

TEST(SubtitleScheduler, WithoutEndsACueShowsFromItsStartForItsDisplayTime) {
  Job job;
  const char* banner = ".:: www.vidora3gp.example ::.";
  TSubtitleTable table{{"0", banner}, {"2000", "Ten chars!"}, {"9000", "Last but one"}, {"9500", "Last"}};
  TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);

  THookInfo first;
  first.Bitmap = &job.Frame;
  first.PTS = 0;
  scheduler.OnFrame(first);
  EXPECT_TRUE(first.Update) << "drawn on the frame it starts on";
  EXPECT_EQ(scheduler.DisplayTime(), 1600)
      << "a web address is shown a quarter of the time, then the floor, doubled before a pause";

  auto shown = job.Run(scheduler, FrameStep, 12000000);
  EXPECT_EQ(ShownFromTo(shown, DecodeUtf8(banner)), Span(40000, 1560000));
  // 800 ms, lengthened before the 7-second pause: min(1600, 6600, 8000).
  EXPECT_EQ(ShownFromTo(shown, U"Ten chars!"), Span(2000000, 3560000));
  EXPECT_EQ(ShownFromTo(shown, U"Last but one"), Span(9000000, 9480000)) << "replaced when the next one starts";
  EXPECT_EQ(ShownFromTo(shown, U"Last"), Span(9520000, 10280000)) << "the last rows of the file are shown too";
}

TEST(SubtitleScheduler, EndsFromTheFileAndTheNextStartBoundEachCue) {
  Job job;
  TText forty(40, U'a');
  TSubtitleTable table{{"2000", EncodeUtf8(forty), 5000}, {"2510", "Second", 3000}, {"6000", "One second", 7000},
                       {"6490", "Between frames", 6510}, {"6510", "Third"}};
  TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);
  auto shown = job.Run(scheduler, 1000000, 9000000);
  EXPECT_EQ(ShownFromTo(shown, forty), Span(2000000, 2480000)) << "until the next one starts";
  EXPECT_EQ(ShownFromTo(shown, U"Second"), Span(2520000, 2960000)) << "from the first frame of its time, to its end";
  EXPECT_EQ(ShownFromTo(shown, U"One second"), Span(6000000, 6480000));
  EXPECT_EQ(ShownFromTo(shown, U"Between frames").first, -1) << "no frame falls in its time";
  EXPECT_EQ(ShownFromTo(shown, U"Third").first, 6520000);
}

TEST(SubtitleScheduler, WithoutSmartSubtitlesANewOneReplacesAtOnce) {
  Job job;
  job.Settings.IQText = false;
  TSubtitleTable table{{"0", ""}, {"1000", "One"}, {"2000", "Two"}, {"bad", "Never"}};
  TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);
  auto shown = job.Run(scheduler, 600000, 8000000);
  EXPECT_EQ(ShownFromTo(shown, U"One"), Span(1000000, 1960000));
  EXPECT_EQ(ShownFromTo(shown, U"Two"), Span(2000000, 5960000)) << "the fixed 4 s";
  EXPECT_EQ(ShownFromTo(shown, U"Never").first, -1);
}

TEST(SubtitleScheduler, SwitchedOffStopsTheHookAtOnce) {
  Job job;
  TSubtitleScheduler scheduler({{"0", SubtitleBanner}}, job.Settings, job.Font, false);
  THookInfo info;
  info.Bitmap = &job.Frame;
  scheduler.OnFrame(info);
  EXPECT_TRUE(info.StopHook);
  EXPECT_EQ(CountPixels(job.Frame, 0, 144).Changed, 0);
}

TEST(SubtitleScheduler, SwitchedFromAnotherThreadAtTheNextFrame) {
  Job job;
  TSubtitleScheduler scheduler({{"0", ""}, {"1000", "Shown until switched off"}}, job.Settings, job.Font, false);
  scheduler.SetSubtitlesOn(true);
  auto shown = job.Run(scheduler, 0, 1400000);
  EXPECT_EQ(ShownFromTo(shown, U"Shown until switched off").first, 1000000);
  std::thread window([&] { scheduler.SetSubtitlesOn(false); });
  window.join();
  MakeGrey(job.Frame, 176, 144);
  THookInfo info;
  info.Bitmap = &job.Frame;
  info.PTS = 1400000;
  scheduler.OnFrame(info);
  EXPECT_TRUE(info.StopHook);
  EXPECT_FALSE(info.Update);
  EXPECT_EQ(CountPixels(job.Frame, 0, 144).Changed, 0);
}

TEST(SubtitleScheduler, AnEmptyRowTakesNoTime) {
  Job job;
  TSubtitleTable table{{"0", ""}, {"0", "At half a second"}, {"3000", ""}, {"3000", "Three"}};
  TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);
  auto shown = job.Run(scheduler, 0, 5000000);
  EXPECT_EQ(ShownFromTo(shown, U"At half a second").first, 0);
  EXPECT_EQ(ShownFromTo(shown, U"Three").first, 3000000);
}

TEST(SubtitleScheduler, RowsOutOfOrderShowAtTheirTimesAndASeekBackFindsTheirs) {
  Job job;
  TSubtitleTable table{{"5000", "Late"}, {"1000", "Early"}};
  TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);
  auto shown = job.Run(scheduler, 800000, 8000000);
  EXPECT_EQ(ShownFromTo(shown, U"Early").first, 1000000);
  EXPECT_EQ(ShownFromTo(shown, U"Late").first, 5000000);
  EXPECT_TRUE(scheduler.DrawAt(1200000, job.Frame)) << "a preview that seeks back";
  EXPECT_EQ(scheduler.SubText(), U"Early");
  EXPECT_FALSE(scheduler.DrawAt(500000, job.Frame));
}

TEST(SubtitleScheduler, BadFilesLoadQuietlyAndDrawInTime) {
  TTempFolder folder;
  std::string huge(1 << 20, 'W');
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 7 % 256);
  const std::pair<const char*, std::string> files[] = {
      {"huge.sub", "{25}{50}" + huge + "\r\n"},
      {"huge.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\n" + huge + "\r\n"},
      {"huge.txt", huge},
      {"binary.srt", binary},
      {"broken.txt", "{x}{y}a\r\n[1a][2]b\r\n99:7x:00:c\r\n{10}{20}{c:$XYZXYZ}{y:i|<font color=\"#GG\r\n"},
      {"noevents.ass", "[Script Info]\r\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi\r\n"},
  };
  for (const auto& [name, content] : files) {
    std::string path = folder.Str() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    TSubtitleTable table;
    LoadTXT(path, 25, table);
    for (const TSubtitleRow& row : table) EXPECT_LE(DecodeUtf8(row.Text).size(), MaxSubtitleChars) << name;
    Job job;
    TSubtitleScheduler scheduler(table, job.Settings, job.Font, true);
    auto start = std::chrono::steady_clock::now();
    job.Run(scheduler, 0, 3000000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
  }
}

}  // namespace
}  // namespace vidora::test
