#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "../base/test_support.h"
#include "media/base/libraries.h"
#include "media/base/loader.h"
#include "media/base/logger.h"
#include "media/base/main_thread.h"
#include "media/encoder/encoder.h"
#include "media/play/player.h"

namespace vidora::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string Clip(const char* name) { return std::string(CLIPS_DIR) + "/" + name; }

// Keeps what the player shows: each picture's time, when it came, and its size.
class TCapturingSurface : public IPlayerSurface {
 public:
  struct TShown {
    int64_t PTS;
    Clock::time_point At;
    int Width, Height, X, Y;
  };
  void ClientSize(int& width, int& height) override {
    width = 320;
    height = 240;
  }
  void ShowPicture(const TBitmap& picture, int x, int y, int64_t pts) override {
    std::lock_guard lock(FLock);
    FShown.push_back({pts, Clock::now(), picture.Width(), picture.Height(), x, y});
  }
  void Clear() override {}
  std::vector<TShown> Shown() {
    std::lock_guard lock(FLock);
    return FShown;
  }

 private:
  std::mutex FLock;
  std::vector<TShown> FShown;
};

// What the player reported, in order.
struct TReports {
  std::mutex Lock;
  std::vector<int64_t> Positions;
  std::vector<TPlayState> States;
  bool Has(TPlayState state) {
    std::lock_guard lock(Lock);
    return std::find(States.begin(), States.end(), state) != States.end();
  }
};

class Player : public ::testing::Test {
 protected:
  void SetUp() override {
    FFLoader().SetLibraryPath("");
    ASSERT_TRUE(FFLoader().Load(PlayerLibraries)) << FFLoader().LastErrMsg();
    FPlayer.SetTriggerEventInMainThread(false);
    FPlayer.SetOnPosition([this](const void*, int64_t pts) {
      std::lock_guard lock(FReports.Lock);
      FReports.Positions.push_back(pts);
    });
    FPlayer.SetOnState([this](const void*, TPlayState state) {
      std::lock_guard lock(FReports.Lock);
      FReports.States.push_back(state);
    });
  }

  // Waits until `done` holds or the time is up.
  template <typename Done>
  bool WaitFor(Done done, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > end) return false;
      ProcessPendingCalls();
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  TCapturingSurface FSurface;
  TReports FReports;
  TFFPlayer FPlayer;
};

TEST_F(Player, PlaysToTheEndAtRealTimePace) {
  int32_t frameWidth = 0, frameHeight = 0;
  int64_t duration = 0;
  FPlayer.SetOnFileOpen([&](const void*, int64_t d, int32_t w, int32_t h, int32_t&, int32_t&) {
    duration = d;
    frameWidth = w;
    frameHeight = h;
  });
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface)) << FPlayer.LastErrMsg();
  EXPECT_EQ(frameWidth, 320);
  EXPECT_EQ(frameHeight, 240);
  EXPECT_NEAR(duration, 3000000, 100000);
  ASSERT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psEnd); }, 8s));

  std::vector<TCapturingSurface::TShown> shown = FSurface.Shown();
  ASSERT_GT(shown.size(), 60u);
  EXPECT_EQ(shown[0].Width, 320);
  EXPECT_EQ(shown[0].X, 0);
  for (size_t i = 1; i < shown.size(); ++i) ASSERT_GT(shown[i].PTS, shown[i - 1].PTS);
  double played = (shown.back().PTS - shown.front().PTS) / 1e6;
  double took = std::chrono::duration<double>(shown.back().At - shown.front().At).count();
  EXPECT_NEAR(took / played, 1.0, 0.2) << "pictures come at the pace of their times";
  EXPECT_GT(shown.back().PTS, 2800000);

  std::lock_guard lock(FReports.Lock);
  ASSERT_GT(FReports.Positions.size(), 10u);
  for (size_t i = 1; i < FReports.Positions.size(); ++i) {
    EXPECT_GT(FReports.Positions[i], FReports.Positions[i - 1]);
    EXPECT_GT(FReports.Positions[i] - FReports.Positions[i - 1], 10000) << "closer positions are not reported";
  }
  EXPECT_EQ(FReports.States.front(), TPlayState::psPlay);
}

TEST_F(Player, PauseFreezesAndResumeContinues) {
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface));
  std::this_thread::sleep_for(500ms);
  FPlayer.Pause();
  EXPECT_TRUE(FPlayer.Paused());
  std::this_thread::sleep_for(100ms);
  int64_t frozen = FPlayer.CurrentPTS();
  size_t pictures = FSurface.Shown().size();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(FPlayer.CurrentPTS(), frozen);
  EXPECT_EQ(FSurface.Shown().size(), pictures);
  FPlayer.Pause();  // already paused: nothing more is reported
  FPlayer.Resume();
  std::this_thread::sleep_for(400ms);
  EXPECT_GT(FPlayer.CurrentPTS(), frozen + 200000);
  EXPECT_LT(FPlayer.CurrentPTS(), frozen + 700000) << "the pause did not count as playing time";
  FPlayer.Resume();
  ASSERT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psResume); }, 1s));
  std::lock_guard lock(FReports.Lock);
  EXPECT_EQ(std::count(FReports.States.begin(), FReports.States.end(), TPlayState::psPause), 1);
  EXPECT_EQ(std::count(FReports.States.begin(), FReports.States.end(), TPlayState::psResume), 1);

  TBitmap frame;
  int64_t pts = 0;
  EXPECT_TRUE(FPlayer.CurrentFrame(frame, pts));
  EXPECT_EQ(frame.Width(), 320);
  EXPECT_GT(pts, 0);
}

TEST_F(Player, SeeksShowAPictureNearTheTargetOrTheEnd) {
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface, true));
  FPlayer.Seek(int64_t{2000000}, 0, true);
  ASSERT_FALSE(FSurface.Shown().empty());
  EXPECT_NEAR(FSurface.Shown().back().PTS, 2000000, 100000) << "a paused player shows the picture sought";
  EXPECT_FALSE(FPlayer.Seeking());
  FPlayer.Seek(-1.0, 0, true);
  EXPECT_NEAR(FSurface.Shown().back().PTS, 1000000, 100000) << "a second back from the picture on screen";

  FPlayer.Seek(int64_t{60000000}, 0, true);
  EXPECT_GT(FSurface.Shown().back().PTS, 2800000) << "beyond the end is the end";
  FPlayer.Resume();
  EXPECT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psEnd); }, 3s));
}

TEST_F(Player, SoundOnlyFilesReportNoPictureSize) {
  int32_t frameWidth = 0, frameHeight = 0;
  FPlayer.SetOnFileOpen([&](const void*, int64_t, int32_t w, int32_t h, int32_t&, int32_t&) {
    frameWidth = w;
    frameHeight = h;
  });
  ASSERT_TRUE(FPlayer.Open(Clip("tone.wav"), &FSurface)) << FPlayer.LastErrMsg();
  EXPECT_EQ(frameWidth, -1);
  EXPECT_EQ(frameHeight, -1);
  EXPECT_TRUE(WaitFor([&] { return FPlayer.CurrentPTS() > 300000; }, 2s)) << "the sound clock moves";
  EXPECT_FALSE(FSurface.Shown().empty()) << "the wave is drawn instead";
  EXPECT_EQ(FSurface.Shown().back().Width, 320);
  TBitmap frame;
  int64_t pts = 0;
  EXPECT_FALSE(FPlayer.CurrentFrame(frame, pts));
  EXPECT_EQ(pts, -1);
  FPlayer.SetAudioStreamIndex(5);
  EXPECT_EQ(FPlayer.AudioStreamIndex(), 0) << "an index the file does not have changes nothing";
}

TEST_F(Player, BadFilesFailClearly) {
  TTempFolder folder;
  struct TCase {
    std::string File;
    const char* Message;
  } cases[] = {{folder.Str() + "/none.mp4", "No such file or directory"},
               {Clip("noise.mp4"), "Invalid data found when processing input"},
               {Clip("empty.mp4"), "Invalid data found when processing input"},
               {Clip("subtitles_only.mkv"), "could not open codecs, no stream to play."}};
  for (const TCase& c : cases) {
    EXPECT_FALSE(FPlayer.Open(c.File, &FSurface)) << c.File;
    EXPECT_NE(FPlayer.LastErrMsg().find(c.Message), std::string::npos) << FPlayer.LastErrMsg();
  }
  FPlayer.Stop(true);
  EXPECT_TRUE(FPlayer.Open(Clip("corrupt.avi"), &FSurface)) << "a damaged file plays what it can";
  FPlayer.Stop(true);
}

TEST_F(Player, WithoutASoundDevicePicturesStillPlay) {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  std::string before = driver ? driver : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  // The reading thread logs the failed device to the main thread, which is
  // inside Open waiting for that thread (a window's log did just that: a hang).
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  std::vector<std::string> logged;
  FFLogger().SetOnLog([&](const void*, uint32_t, TLogLevel, const std::string& line) { logged.push_back(line); });
  bool opened = FPlayer.Open(Clip("clip.mp4"), &FSurface);
  queue.ProcessPending();  // the lines were posted, not waited for
  FFLogger().SetOnLog(nullptr);
  SetMainThreadHandOver(nullptr);
  EXPECT_FALSE(logged.empty());
  ASSERT_TRUE(opened) << FPlayer.LastErrMsg();
  EXPECT_EQ(FPlayer.AudioStreamIndex(), -1);
  EXPECT_TRUE(WaitFor([&] { return FSurface.Shown().size() > 10; }, 3s));
  FPlayer.Stop(true);
  EXPECT_FALSE(FPlayer.Open(Clip("tone.wav"), &FSurface));
  EXPECT_NE(FPlayer.LastErrMsg().find("SDL_OpenAudio() failed: "), std::string::npos) << FPlayer.LastErrMsg();
  if (driver)
    setenv("SDL_AUDIODRIVER", before.c_str(), 1);
  else
    unsetenv("SDL_AUDIODRIVER");
}

TEST_F(Player, StopFromTheThreadThatReceivesTheEventsReturns) {
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  FPlayer.SetTriggerEventInMainThread(true);
  bool stopped = false;
  FPlayer.SetOnPosition([&](const void*, int64_t pts) {
    if (pts > 300000 && !stopped) {
      FPlayer.Stop(true);
      stopped = true;
    }
  });
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface));
  EXPECT_TRUE(WaitFor([&] { return stopped; }, 5s));
  EXPECT_TRUE(FPlayer.Paused()) << "nothing is open any more";
  EXPECT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psStop); }, 2s));
  SetMainThreadHandOver(nullptr);
}

// The sound callback logs the damaged packets while it holds the sound device,
// and pausing takes the device. A line that waited for the main thread would
// hold the device until the main thread, busy pausing, took the line.
TEST_F(Player, PausingWhileTheSoundCallbackLogs) {
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  TFFLogger logger;
  std::atomic<int> lines{0};
  logger.SetOnLog([&](const void*, uint32_t, TLogLevel, const std::string&) { ++lines; });
  ASSERT_TRUE(FPlayer.Open(Clip("damaged_sound.mkv"), &FSurface)) << FPlayer.LastErrMsg();
  {
    // Meanwhile the main thread runs nothing handed to it, as in a click handler.
    TWatchdog watchdog(20s, "pausing while the sound callback logs");
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(50ms);
      FPlayer.Pause();
      std::this_thread::sleep_for(10ms);
      FPlayer.Resume();
    }
    FPlayer.Stop(true);
  }
  queue.ProcessPending();
  EXPECT_GT(lines, 0) << "the damage was logged";
  SetMainThreadHandOver(nullptr);
}

TEST_F(Player, PlayTimeStopsAndHooksAndShapeApply) {
  int hooked = 0;
  FPlayer.SetVideoHook(true);
  FPlayer.SetVideoHookBitsPixel(32);
  FPlayer.SetOnVideoHook([&](const void*, TBitmap& bitmap, int64_t, bool& update) {
    ++hooked;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) reinterpret_cast<uint32_t*>(bitmap.ScanLine(y))[x] = 0xFFFF0000;
    update = true;
  });
  FPlayer.SetAspectRatio(2.0f);
  FPlayer.SetPlayTime(500000);
  FPlayer.SetRepeatType(TRepeatType::rtStop);
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface));
  ASSERT_TRUE(WaitFor([&] { return FSurface.Shown().size() > 3; }, 2s));
  TBitmap frame;
  int64_t pts = 0;
  ASSERT_TRUE(FPlayer.CurrentFrame(frame, pts));
  const uint8_t* corner = frame.ScanLine(5) + 4 * 5;
  EXPECT_GT(corner[2], 200) << "the hook's red block is in the picture";
  EXPECT_LT(corner[1], 60);
  TCapturingSurface::TShown first = FSurface.Shown().front();
  EXPECT_EQ(first.Width, 320);
  EXPECT_EQ(first.Height, 160) << "twice as wide as high";
  EXPECT_EQ(first.Y, 40);

  ASSERT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psStop); }, 3s)) << "stops after the play time";
  EXPECT_NEAR(FSurface.Shown().back().PTS, 500000, 100000);
  EXPECT_GT(hooked, 5);
}

TEST_F(Player, StreamSwitchesAreCheckedAndFormatsKnown) {
  std::vector<std::string> errors;
  std::mutex lock;
  FFLogger().SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& line) {
    std::lock_guard guard(lock);
    if (level == TLogLevel::llError) errors.push_back(line);
  });
  ASSERT_TRUE(FPlayer.Open(Clip("all_kinds.mkv"), &FSurface, true)) << FPlayer.LastErrMsg();
  EXPECT_EQ(FPlayer.VideoStreamIndex(), 0);
  EXPECT_EQ(FPlayer.AudioStreamIndex(), 1);
  EXPECT_EQ(FPlayer.SubtitleStreamIndex(), 2);
  FPlayer.SetAudioStreamIndex(2);
  FPlayer.SetVideoStreamIndex(7);
  FPlayer.SetSubtitleStreamIndex(-1);
  EXPECT_EQ(FPlayer.AudioStreamIndex(), 1) << "the current sound stays";
  EXPECT_EQ(FPlayer.SubtitleStreamIndex(), -1) << "-1 turns subtitles off";
  FPlayer.Stop(true);
  FFLogger().SetOnLog(nullptr);
  EXPECT_NE(std::find(errors.begin(), errors.end(), "the stream type is not matched."), errors.end());
  EXPECT_NE(std::find(errors.begin(), errors.end(), "the stream index is not valid."), errors.end());

  EXPECT_THROW(FPlayer.SetForceFormat("no-such-format"), std::invalid_argument);
  FPlayer.SetForceFormat("matroska");
  EXPECT_TRUE(FPlayer.Open(Clip("all_kinds.mkv"), &FSurface));
  FPlayer.Stop(true);
  EXPECT_FALSE(FPlayer.Open(Clip("clip.mp4"), &FSurface)) << "an MP4 is not read as Matroska";
}

TEST_F(Player, StepShowsOnePictureAndLoopsGoBack) {
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface, true));
  ASSERT_TRUE(WaitFor([&] { return FReports.Has(TPlayState::psPlay); }, 1s));
  std::this_thread::sleep_for(200ms);
  size_t before = FSurface.Shown().size();
  FPlayer.StepToNextFrame();
  ASSERT_TRUE(WaitFor([&] { return FSurface.Shown().size() > before; }, 1s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(FSurface.Shown().size(), before + 1) << "one picture, then paused again";
  EXPECT_TRUE(FPlayer.Paused());
  EXPECT_TRUE(FReports.Has(TPlayState::psStep));
  FPlayer.Stop(true);

  FPlayer.SetPlayTime(400000);
  FPlayer.SetRepeatType(TRepeatType::rtLoop);
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface));
  auto loops = [&] {
    std::vector<TCapturingSurface::TShown> shown = FSurface.Shown();
    int count = 0;
    for (size_t i = before + 2; i < shown.size(); ++i) count += shown[i].PTS < shown[i - 1].PTS;
    return count;
  };
  // Two loops take 0.8 s of playing; a busy machine may take longer to get there.
  WaitFor([&] { return loops() >= 2; }, 5s);
  FPlayer.Stop(true);
  std::vector<TCapturingSurface::TShown> shown = FSurface.Shown();
  EXPECT_GE(loops(), 2) << "back to the start after each 0.4 s";
  for (const auto& picture : shown) EXPECT_LT(picture.PTS, 600000);
}

TEST_F(Player, AudioDisplaysCycle) {
  ASSERT_TRUE(FPlayer.Open(Clip("tone.wav"), &FSurface));
  EXPECT_EQ(FPlayer.ShowAudio(), TShowAudio::saWave);
  FPlayer.ToggleAudioDisplay();
  EXPECT_EQ(FPlayer.ShowAudio(), TShowAudio::saRDFT);
  size_t before = FSurface.Shown().size();
  EXPECT_TRUE(WaitFor([&] { return FSurface.Shown().size() > before + 5; }, 1s)) << "the spectrum is drawn";
  FPlayer.ToggleAudioDisplay();
  EXPECT_EQ(FPlayer.ShowAudio(), TShowAudio::saNone);
  std::this_thread::sleep_for(100ms);
  before = FSurface.Shown().size();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(FSurface.Shown().size(), before) << "nothing is drawn";
}

// The host loads the encoder and the player from one folder; unloading the
// encoder must leave the player every table it plays with.
TEST_F(Player, UnloadingTheEncoderLeavesThePlayerPlaying) {
  ASSERT_TRUE(FPlayer.LoadAVLib("")) << FPlayer.LastErrMsg();
  {
    TFFEncoder encoder;
    ASSERT_TRUE(encoder.LoadAVLib("")) << encoder.LastErrMsg();
    encoder.UnloadAVLib();
  }
  EXPECT_TRUE(FPlayer.AVLibLoaded());
  ASSERT_TRUE(FPlayer.Open(Clip("clip.mp4"), &FSurface)) << FPlayer.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return FSurface.Shown().size() > 5; }, 5s));
  FPlayer.UnloadAVLib();
  EXPECT_FALSE(FPlayer.AVLibLoaded()) << "the last holder unloads";
  EXPECT_FALSE(FFLoader().Loaded(TLibrary::lbSDL));
}

TEST_F(Player, StartsAndStopsFiftyTimes) {
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(FPlayer.Open(Clip(i % 3 == 2 ? "tone.wav" : "clip.mp4"), &FSurface, i % 5 == 4)) << i << FPlayer.LastErrMsg();
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 4 * 10));
    FPlayer.Stop(true);
  }
  EXPECT_TRUE(FPlayer.Paused());
}

}  // namespace
}  // namespace vidora::test
