// The conversion session's events, as its hosts see them on their main thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "media/base/main_thread.h"
#include "options/option_form.h"
#include "session/conversion_session.h"
#include "test_support.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadMediaLibraries();
    SetMainThreadHandOver(&FQueue);
  }
  void TearDown() override { SetMainThreadHandOver(nullptr); }

  std::string Clip(const char* name) {
    fs::path copy = FFolder.Path() / name;
    fs::copy_file(std::string(CLIPS_DIR) + "/" + name, copy);
    return copy.string();
  }
  // Serves the main thread until the run has ended.
  bool RunToEnd(TConversionSession& session) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (session.Running() && std::chrono::steady_clock::now() < limit)
      FQueue.WaitAndProcess(std::chrono::milliseconds(20));
    return !session.Running();
  }

  TMainThreadQueue FQueue;
  TTempFolder FFolder;
  TfrmOption FOptions;
};

TEST_F(SessionTest, OneProgressStreamThenEachJobsEndThenTheRunsEnd) {
  fs::path subtitles = FFolder.Path() / "clip.srt";
  std::ofstream(subtitles) << "1\n00:00:00,500 --> 00:00:02,000\nHello\n";
  std::vector<std::string> events;
  int64_t reached = 0;
  bool backwards = false;
  TConversionSession session(FOptions);
  session.Events.Progress = [&](const TSessionProgress& progress) {
    backwards |= progress.Current < reached;
    reached = progress.Current;
    if (events.empty() || events.back() != "progress") events.push_back("progress");
  };
  session.Events.JobEnded = [&](const TSessionJob& job) {
    events.push_back(fs::path(job.Input).filename().string() + (job.End->Finished ? " finished" : " ended"));
  };
  session.Events.Ended = [&] { events.push_back("run ended"); };

  EXPECT_FALSE(session.AddJob({.Input = (FFolder.Path() / "missing.mp4").string()}).Set());
  const TSessionJob& clip = session.AddJob({.Input = Clip("clip.mp4"), .Subtitles = subtitles.string()});
  ASSERT_TRUE(clip.Set()) << clip.Failure;
  EXPECT_EQ(clip.Subtitles.size(), 2u) << "the banner and one cue";
  ASSERT_TRUE(session.AddJob({.Input = Clip("grey.mp4")}).Set());
  // Outputs are written under temporary names: a name handed out is taken all the same.
  fs::copy_file(FFolder.Path() / "clip.mp4", FFolder.Path() / "clip.mov");
  const TSessionJob& sameName = session.AddJob({.Input = (FFolder.Path() / "clip.mov").string()});
  EXPECT_EQ(fs::path(sameName.Output).filename(), "clip_(Vidora_1)_3GP.3gp");
  EXPECT_EQ(session.RunnableJobs(), 3);

  session.Start(2, true);
  ASSERT_TRUE(RunToEnd(session));
  FQueue.ProcessPending();
  EXPECT_FALSE(backwards) << "the summed progress never goes back";
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "progress");
  EXPECT_EQ(events.back(), "run ended");
  EXPECT_EQ(std::count(events.begin(), events.end(), "run ended"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "clip.mp4 finished"), 1) << testing::PrintToString(events);
  EXPECT_EQ(std::count(events.begin(), events.end(), "grey.mp4 finished"), 1) << testing::PrintToString(events);
  EXPECT_EQ(StreamSummary(FFolder.Path() / "clip_(Vidora)_3GP.3gp"), "h263,176,144\namr_nb,8000,1\n");
  EXPECT_EQ(StreamSummary(FFolder.Path() / "clip_(Vidora_1)_3GP.3gp"), "h263,176,144\namr_nb,8000,1\n");
}

TEST_F(SessionTest, NothingIsDeliveredToASessionThatIsGone) {
  int delivered = 0;
  {
    TConversionSession session(FOptions);
    session.Events.JobEnded = [&](const TSessionJob&) { ++delivered; };
    session.Events.Ended = [&] { ++delivered; };
    ASSERT_TRUE(session.AddJob({.Input = Clip("clip.mp4")}).Set());
    session.Start(1, false);
    session.Stop(true);  // the ends are now queued for the main thread
  }
  FQueue.ProcessPending();
  EXPECT_EQ(delivered, 0);
}

}  // namespace
}  // namespace vidora::test
