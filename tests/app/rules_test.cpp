#include <gtest/gtest.h>

#include <cstdio>

#include "app/control_rules.h"
#include "app/plain_words.h"
#include "app/progress_rules.h"
#include "app/remaining_time.h"
#include "test_support.h"

namespace vidora::app {
namespace {

TEST(PlainWords, ReasonsNameTheFilmNotItsPath) {
  auto said = [](const std::string& message, bool writing) {
    return TPlainWords::FilmFailure("/home/ann/films/clip.mp4", message, writing).toStdString();
  };
  EXPECT_EQ(said("/home/ann/films/clip_(Vidora)_3GP.3gp: Permission denied", true),
            "clip.mp4: no permission to write next to it");
  EXPECT_EQ(said("/home/ann/films/clip.mp4: Permission denied", false), "clip.mp4: no permission to read it");
  EXPECT_EQ(said("clip_(Vidora)_3GP.3gp: no space left on the device", true), "clip.mp4: the disk is full");
  EXPECT_EQ(said("Output file #0 does not contain any stream", true), "clip.mp4: no picture or sound could be found in it");
  EXPECT_EQ(said("/home/ann/films/clip.mp4: Function not implemented", false), "clip.mp4: Function not implemented")
      << "rarer words stay, without the path";
  EXPECT_EQ(said("new_video_stream fail: /home/ann/films/clip_(Vidora)_3GP.3gp", true),
            "clip.mp4: new_video_stream fail: clip_(Vidora)_3GP.3gp");
  EXPECT_EQ(said("input broke off at 9.7 s: Connection reset by peer", true),
            "clip.mp4: it breaks off at 9.7 s; what comes before is converted");
  EXPECT_EQ(TPlainWords::Shortfall("/home/ann/films/clip.mp4", "/home/ann/films/clip_(Vidora)_3GP.3gp",
                                   "input broke off at 9.7 s: the file ends 10.1 s before its stated length")
                .toStdString(),
            "clip.mp4: it breaks off at 9.7 s; what comes before is converted");
}

TEST(ProgressRules, PercentFillAndSeek) {
  EXPECT_EQ(ProgressPercent(9999000, 10000000), 99) << "9.999 s of 10 s is not yet 100%";
  EXPECT_EQ(ProgressPercent(0, 0), std::nullopt) << "an unknown length has no percentage";
  EXPECT_EQ(ProgressPercent(5, -1), std::nullopt);
  // 139-pixel bar: 135 columns to fill; halves go to the even neighbour.
  EXPECT_EQ(BarFill(0, 139), 1);
  EXPECT_EQ(BarFill(100, 139), 136);
  EXPECT_EQ(BarFill(50, 139), 69) << "67.5 rounds to 68 (even), + 1";
  EXPECT_EQ(BarFill(10, 139), 15) << "13.5 rounds to 14 (even), + 1";
  EXPECT_EQ(SeekTarget(60000000, 0, 139), 0);
  // A keyboard step stays within the film: its first picture, its end.
  EXPECT_EQ(SteppedSeekTarget(3000000, -5000000, 60000000), 1);
  EXPECT_EQ(SteppedSeekTarget(58000000, 5000000, 60000000), 60000000);
  EXPECT_EQ(SteppedSeekTarget(1000000, 5000000, 0), 6000000) << "an unknown length bounds only below";
  EXPECT_EQ(SeekTarget(60000000, 135, 139), 60000000) << "the column width - 4 is the end";
  EXPECT_EQ(SeekTarget(int64_t{10} * 3600 * 1000000, 100, 139), int64_t{10} * 3600 * 1000000 * 100 / 135)
      << "64-bit, truncating";
}

TEST(ProgressRules, BarColumnsKeepTheFrame) {
  TBarColumns empty = BarColumns(1, 139);
  EXPECT_EQ(empty.FilledTo, 2) << "below 3 nothing is filled";
  EXPECT_EQ(empty.EmptyFrom, 3);
  TBarColumns half = BarColumns(69, 139);
  EXPECT_EQ(half.FilledFrom, 3);
  EXPECT_EQ(half.FilledTo, 69);
  EXPECT_EQ(half.EmptyFrom, 70) << "column 69 keeps the picture";
  EXPECT_EQ(half.EmptyTo, 2);
}

TEST(ControlRules, VolumeStepsByTen) {
  EXPECT_EQ(VolumeUp(128), 128) << "up from the default changes nothing";
  std::vector<int> down;
  for (int volume = 128; volume > 0;) down.push_back(volume = VolumeDown(volume));
  EXPECT_EQ(down, (std::vector<int>{118, 108, 98, 88, 78, 68, 58, 48, 38, 28, 18, 8, 0}));
  EXPECT_EQ(VolumeUp(0), 10);
  EXPECT_EQ(VolumeUp(110), 120);
  EXPECT_EQ(VolumeUp(120), 120) << "never back to 128";
}

TEST(ControlRules, TheQualityPairKeepsExactlyOneDown) {
  // The click has already toggled the clicked button.
  TQualityPair lo = AfterQualityClick({true, true, true, true}, false);
  EXPECT_TRUE(lo.LoDown);
  EXPECT_FALSE(lo.HiDown);
  TQualityPair back = AfterQualityClick({true, true, true, true}, true);
  EXPECT_TRUE(back.HiDown);
  EXPECT_FALSE(back.LoDown);
  // A click on the down one swaps while the other is enabled...
  TQualityPair swapped = AfterQualityClick({false, true, false, true}, true);
  EXPECT_FALSE(swapped.HiDown);
  EXPECT_TRUE(swapped.LoDown);
  // ...and leaves it down when the other is disabled.
  TQualityPair kept = AfterQualityClick({false, true, false, false}, true);
  EXPECT_TRUE(kept.HiDown);
  EXPECT_FALSE(kept.LoDown);
}

TEST(ControlRules, DropsAddOneFileOrLoadSubtitles) {
  test::TTempFolder folder;
  std::string clip = (folder.Path() / "clip.mp4").string(), other = (folder.Path() / "other.avi").string();
  std::string subtitles = (folder.Path() / "clip.SRT").string();
  for (const std::string& name : {clip, other, subtitles}) std::fclose(std::fopen(name.c_str(), "w"));

  EXPECT_EQ(DropAction({clip}, true, false).Kind, TDropAction::AddFile);
  EXPECT_EQ(DropAction({clip, other}, true, true).Kind, TDropAction::None) << "two films add nothing";
  EXPECT_EQ(DropAction({clip}, false, true).Kind, TDropAction::None) << "not while converting";
  EXPECT_EQ(DropAction({(folder.Path() / "gone.mp4").string()}, true, true).Kind, TDropAction::None);
  EXPECT_EQ(DropAction({subtitles}, true, false).Kind, TDropAction::None) << "subtitles need btnAddSub enabled";
  TDropAction load = DropAction({subtitles, clip}, true, true);
  EXPECT_EQ(load.Kind, TDropAction::LoadSubtitles);
  EXPECT_EQ(load.FileName, subtitles);
  EXPECT_EQ(DropAction({}, true, true).Kind, TDropAction::None);
}

TEST(ControlRules, LogLinesAndTheirBound) {
  EXPECT_EQ(LogLine(1344, 5, "File opened"), "#1344.5: File opened");
  TBoundedLog log(3);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(log.Add(std::to_string(i)));
  EXPECT_TRUE(log.Add("3"));
  EXPECT_EQ(log.Lines(), (std::deque<std::string>{"1", "2", "3"}));
}

TEST(ControlRules, TheLongTimeFormatLosesItsZone) {
  EXPECT_EQ(WithoutTimeZone("HH:mm:ss t"), "HH:mm:ss");
  EXPECT_EQ(WithoutTimeZone("h:mm:ss AP tttt"), "h:mm:ss AP");
  EXPECT_EQ(WithoutTimeZone("HH:mm:ss 'at' t"), "HH:mm:ss 'at'");
  EXPECT_EQ(WithoutTimeZone("HH:mm:ss"), "HH:mm:ss");
}

std::string Clock(int h, int m, int s) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, m, s);
  return text;
}

TEST(RemainingTime, EstimatesFromTheSamplingWindow) {
  TRemainingTime estimate(Clock);
  int64_t total = 601000000;
  EXPECT_EQ(estimate.Tick(0, 0, total), "") << "nothing to compare on the first tick";
  // 3 s of converting advance 1 s: the 600 s left take 1800 s.
  EXPECT_EQ(estimate.Tick(3000, 1000000, total), "(-30:00)");
  EXPECT_EQ(estimate.Tick(6000, 1000000, total), "(-01:00:00)") << "an hour or more keeps its hours";
  EXPECT_EQ(estimate.Tick(9000, 1000000, total), "(-01:30:00)") << "the window grows to the oldest sample";
  TRemainingTime stuck(Clock);
  stuck.Tick(0, 5000000, total);
  EXPECT_EQ(stuck.Tick(3000, 5000000, total), TRemainingTime::Unknown) << "no advance";
  TRemainingTime slow(Clock);
  slow.Tick(0, 0, int64_t{100} * 3600 * 1000000);
  EXPECT_EQ(slow.Tick(3000, 1000000, int64_t{100} * 3600 * 1000000), TRemainingTime::Unknown) << "24 h or more";
  EXPECT_EQ(slow.Text(192000), "(-03:12)");
}

TEST(RemainingTime, PausedTimeDoesNotCount) {
  TRemainingTime estimate(Clock);
  int64_t total = 100000000;
  estimate.Tick(0, 0, total);
  estimate.Tick(3000, 3000000, total);  // real time
  estimate.Pause(4000);
  estimate.Resume(10000);  // a 6 s pause
  // 9 s converted in 6 s of work, not in 12 s: 91 s left take 61 s, not 121 s.
  EXPECT_EQ(estimate.Tick(12000, 9000000, total), "(-01:00)");
  estimate.Clear();
  EXPECT_EQ(estimate.Tick(20000, 0, total), "") << "a new conversion starts afresh";
}

TEST(RemainingTime, APassThatStartsAgainIsMeasuredOnItsOwn) {
  TRemainingTime estimate(Clock);
  int64_t total = 100000000;
  estimate.Tick(0, 0, total);
  estimate.Tick(3000, 30000000, total);  // a quick pass: 30 s in 3 s
  EXPECT_EQ(estimate.Tick(6000, 20000000, total), "") << "stepped back: nothing of the new pass to compare yet";
  // The new pass advances 1 s in 3 s: the 79 s left take 237 s.
  EXPECT_EQ(estimate.Tick(9000, 21000000, total), "(-03:57)");
}

}  // namespace
}  // namespace vidora::app
