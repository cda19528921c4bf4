#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine_fixture.h"
#include "probe.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

class TranscodeTest : public EngineTest {
 protected:
  void Convert(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    Open(input, output, options);
    FEngine.StartConvert(false);
  }
  void ExpectFinished() {
    EXPECT_TRUE(FEngine.Finished());
    EXPECT_FALSE(FEngine.FatalException()) << FEngine.FatalMessage();
    EXPECT_TRUE(FEngine.Terminated());
  }
};

std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

TEST_F(TranscodeTest, DefaultPhoneFile) {
  Convert(Clip("clip.mp4"), Out("phone.3gp"), Phone);
  ExpectFinished();
  TProbe probe = ProbeFile(Out("phone.3gp"));
  ASSERT_EQ(probe.Streams.size(), 2u);
  const TProbedStream* video = probe.First("video");
  const TProbedStream* audio = probe.First("audio");
  ASSERT_TRUE(video && audio);
  EXPECT_EQ((*video)["codec_name"], "h263");
  EXPECT_EQ((*video)["width"], "176");
  EXPECT_EQ((*video)["height"], "144");
  EXPECT_EQ((*audio)["codec_name"], "amr_nb");
  EXPECT_EQ((*audio)["sample_rate"], "8000");
  EXPECT_EQ((*audio)["channels"], "1");
  EXPECT_NEAR(probe.Duration, 3.0, 0.3);
  EXPECT_TRUE(DecodesCleanly(Out("phone.3gp")));
}

TEST_F(TranscodeTest, QualitySetMpeg4AndAAC) {
  Convert(Clip("clip.mp4"), Out("quality.mp4"),
          {"vcodec", "mpeg4", "acodec", "aac", "s", "320x240", "r", "25", "b", "512000", "ar", "22050", "ac", "2",
           "ab", "96000"});
  ExpectFinished();
  TProbe probe = ProbeFile(Out("quality.mp4"));
  ASSERT_EQ(probe.Streams.size(), 2u);
  EXPECT_EQ((*probe.First("video"))["codec_name"], "mpeg4");
  EXPECT_EQ((*probe.First("video"))["width"], "320");
  EXPECT_EQ((*probe.First("video"))["avg_frame_rate"], "25/1");
  EXPECT_EQ((*probe.First("audio"))["codec_name"], "aac");
  EXPECT_EQ((*probe.First("audio"))["sample_rate"], "22050");
  EXPECT_EQ((*probe.First("audio"))["channels"], "2");
  EXPECT_NEAR(probe.Duration, 3.0, 0.3);
  EXPECT_TRUE(DecodesCleanly(Out("quality.mp4")));
}

TEST_F(TranscodeTest, AudioOnlyAndVideoOnlyInputs) {
  Convert(Clip("tone.wav"), Out("tone.3gp"), Phone);
  ExpectFinished();
  TProbe tone = ProbeFile(Out("tone.3gp"));
  ASSERT_EQ(tone.Streams.size(), 1u);
  EXPECT_EQ(tone.Streams[0]["codec_name"], "amr_nb");
  EXPECT_NEAR(tone.Duration, 2.0, 0.3);

  FEngine.Reset();
  Convert(Clip("picture.avi"), Out("picture.3gp"), Phone);
  ExpectFinished();
  TProbe picture = ProbeFile(Out("picture.3gp"));
  ASSERT_EQ(picture.Streams.size(), 1u);
  EXPECT_EQ(picture.Streams[0]["codec_name"], "h263");
  EXPECT_NEAR(picture.Duration, 1.0, 0.3);
}

TEST_F(TranscodeTest, CoverArtIsNoVideo) {
  for (const char* song : {"song_cover.mp3", "song_cover.m4a", "song_cover.flac"}) {
    SCOPED_TRACE(song);
    FEngine.Reset();
    Convert(Clip(song), Out(std::string(song) + ".3gp"), Phone);
    ExpectFinished();
    TProbe probe = ProbeFile(Out(std::string(song) + ".3gp"));
    ASSERT_EQ(probe.Streams.size(), 1u);
    EXPECT_EQ(probe.Streams[0]["codec_name"], "amr_nb");
    EXPECT_NEAR(probe.Duration, 2.0, 0.3);
  }

  // Beside a video, the cover's size is not the video's.
  FEngine.Reset();
  Convert(Clip("picture_cover.mp4"), Out("picture_cover.3gp"), {"b", "150000"});
  ExpectFinished();
  TProbe probe = ProbeFile(Out("picture_cover.3gp"));
  ASSERT_EQ(probe.Streams.size(), 1u);
  EXPECT_EQ(probe.Streams[0]["width"], "176");
  EXPECT_EQ(probe.Streams[0]["nb_frames"], "25");
}

TEST_F(TranscodeTest, TwoInputsMapped) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("picture.avi")));
  Convert(Clip("tone.wav"), Out("mapped.3gp"), With(Phone, {"map", "0:0", "map", "1:0"}));
  ExpectFinished();
  TProbe probe = ProbeFile(Out("mapped.3gp"));
  ASSERT_EQ(probe.Streams.size(), 2u);
  EXPECT_EQ((*probe.First("video"))["codec_name"], "h263");
  EXPECT_EQ((*probe.First("audio"))["codec_name"], "amr_nb");
  EXPECT_NEAR(probe.First("audio")->Number("duration"), 2.0, 0.3);
}

TEST_F(TranscodeTest, JoinedPartsFollowEachOther) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("part1.mp4")));
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("part2.mp4")));
  for (size_t i = 0; i + 1 < Phone.size(); i += 2) FEngine.ParseOption(Phone[i], Phone[i + 1]);
  ASSERT_EQ(FEngine.OpenOutputFile(Out("joined.3gp"), true), 2);
  FEngine.StartConvert(false);
  ExpectFinished();
  TProbe probe = ProbeFile(Out("joined.3gp"));
  EXPECT_NEAR(probe.Duration, 3.0, 0.3) << "1 s + 2 s";
  ASSERT_TRUE(probe.First("video"));
  EXPECT_NEAR(probe.First("video")->Number("nb_frames"), 75, 3);
  EXPECT_TRUE(DecodesCleanly(Out("joined.3gp")));
}

TEST_F(TranscodeTest, StreamCopy) {
  Convert(Clip("clip.mp4"), Out("copy.mp4"), {"vcodec", "copy", "acodec", "copy"});
  ExpectFinished();
  TProbe probe = ProbeFile(Out("copy.mp4"));
  ASSERT_EQ(probe.Streams.size(), 2u);
  EXPECT_EQ((*probe.First("video"))["codec_name"], "mpeg4");
  EXPECT_EQ((*probe.First("video"))["nb_frames"], "75");
  EXPECT_EQ((*probe.First("audio"))["codec_name"], "aac");
  EXPECT_NEAR(probe.Duration, 3.0, 0.1);
  EXPECT_TRUE(DecodesCleanly(Out("copy.mp4")));
}

TEST_F(TranscodeTest, CopyRefusesWhatNeedsDecodedFrames) {
  Convert(Clip("clip.mp4"), Out("hooked.mp4"),
          {"vhook", std::string(INVERT_HOOK_PATH) + " 0 0 8 8", "vcodec", "copy", "an", "1"});
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_EQ(FEngine.FatalMessage(), "-vcodec copy and -vhook are incompatible (frames are not decoded)");
  EXPECT_FALSE(fs::exists(Out("hooked.mp4"))) << "an output that received nothing is removed";

  FEngine.Reset();
  Convert(Clip("clip.mp4"), Out("louder.mp4"), {"acodec", "copy", "vol", "512", "vn", "1"});
  EXPECT_EQ(FEngine.FatalMessage(), "-acodec copy and -vol are incompatible (frames are not decoded)");
  EXPECT_FALSE(fs::exists(Out("louder.mp4")));
}

TEST_F(TranscodeTest, MuxerRefusalIsAFatalErrorWithoutALeftoverFile) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("tone.wav")));
  FEngine.ParseOption("acodec", "libmp3lame");
  if (FEngine.OpenOutputFile(Out("mp3.3gp"), false) < 0) GTEST_SKIP() << FEngine.LastErrMsg();
  FEngine.StartConvert(false);
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_EQ(FEngine.FatalMessage().rfind("Could not write header for output file #0 (incorrect codec parameters ?)", 0),
            0u)
      << FEngine.FatalMessage();
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_FALSE(fs::exists(Out("mp3.3gp")));
}

TEST_F(TranscodeTest, DamagedInputsConvertWhatTheyCan) {
  Convert(Clip("corrupt.avi"), Out("corrupt.3gp"), Phone);
  ExpectFinished();
  EXPECT_NEAR(ProbeFile(Out("corrupt.3gp")).Duration, 3.0, 0.5);
  EXPECT_TRUE(DecodesCleanly(Out("corrupt.3gp")));

  FEngine.Reset();
  Convert(Clip("truncated.avi"), Out("truncated.3gp"), Phone);
  ExpectFinished();
  double duration = ProbeFile(Out("truncated.3gp")).Duration;
  EXPECT_GT(duration, 1.0);
  EXPECT_LT(duration, 2.6);
  EXPECT_TRUE(DecodesCleanly(Out("truncated.3gp")));
}

TEST_F(TranscodeTest, WriteErrorEndsTheTask) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Convert(Clip("clip.mp4"), "/dev/full", With(Phone, {"f", "3gp"}));
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_EQ(FEngine.FatalMessage(), "/dev/full: no space left on the device") << "in the user's words";
}

TEST_F(TranscodeTest, StopMidRunLeavesAShorterPlayableFile) {
  std::atomic<int> terminations{0};
  FEngine.SetOnTerminate([&](const void*) { ++terminations; });
  // Real time, so that there is time to stop.
  Open(Clip("clip.mp4"), Out("stopped.3gp"), With(Phone, {"re", "1"}));
  ASSERT_TRUE(FEngine.StartConvert(true));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  FEngine.Stop(true);
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_FALSE(FEngine.FatalException()) << FEngine.FatalMessage();
  EXPECT_EQ(terminations, 1);
  TProbe probe = ProbeFile(Out("stopped.3gp"));
  EXPECT_GT(probe.Duration, 0.5);
  EXPECT_LT(probe.Duration, 2.5);
  EXPECT_TRUE(DecodesCleanly(Out("stopped.3gp")));
}

TEST_F(TranscodeTest, StopWhilePausedEndsTheRun) {
  Open(Clip("clip.mp4"), Out("paused-stop.3gp"), With(Phone, {"re", "1"}));
  ASSERT_TRUE(FEngine.StartConvert(true));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  FEngine.Pause();
  EXPECT_TRUE(FEngine.Paused());
  FEngine.Stop(true);
  EXPECT_TRUE(FEngine.Terminated());
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_TRUE(DecodesCleanly(Out("paused-stop.3gp")));
}

TEST_F(TranscodeTest, PauseWritesNothingAndResumeGivesTheSameFile) {
  Convert(Clip("clip.mp4"), Out("straight.3gp"), Phone);
  ExpectFinished();

  FEngine.Reset();
  std::atomic<int> reports{0};
  FEngine.SetOnProgress([&](const void*, int, int, int, float, float, int64_t, int64_t, int64_t) { ++reports; });
  FEngine.ReportInterval = 0;
  Open(Clip("clip.mp4"), Out("paused.3gp"), Phone);
  ASSERT_TRUE(FEngine.StartConvert(true));
  FEngine.Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int before = reports;
  // The name it has until it is finished: the file beside the straight one. Read
  // from the folder, not from the engine, whose thread sets it.
  std::string written;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(Out("paused.3gp")).parent_path()))
    if (entry.path().filename() != "straight.3gp") written = entry.path().string();
  ASSERT_FALSE(written.empty());
  uintmax_t size = fs::file_size(written);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(reports, before) << "a paused task makes no progress";
  EXPECT_EQ(fs::file_size(written), size) << "a paused task writes nothing";
  FEngine.Resume();
  for (int i = 0; i < 1000 && !FEngine.Terminated(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ExpectFinished();
  EXPECT_GT(reports, before);
  EXPECT_TRUE(ReadAll(Out("paused.3gp")) == ReadAll(Out("straight.3gp"))) << "the pause changed the file";
}

TEST_F(TranscodeTest, ProgressArrivesAtItsIntervalAndEndsWithTheFinalReport) {
  FEngine.ReportInterval = 200000;
  struct TReport {
    int64_t at;
    int fileIndex;
    int frameNumber;
    int64_t duration;
    int64_t total;
  };
  std::vector<TReport> reports;
  auto start = std::chrono::steady_clock::now();
  FEngine.SetOnProgress([&](const void*, int fileIndex, int frameNumber, int, float, float, int64_t,
                            int64_t duration, int64_t total) {
    int64_t at = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    reports.push_back({at, fileIndex, frameNumber, duration, total});
  });
  Convert(Clip("clip.mp4"), Out("progress.3gp"), With(Phone, {"re", "1"}));
  ExpectFinished();
  ASSERT_GE(reports.size(), 8u);
  EXPECT_EQ(reports.back().fileIndex, -1);
  EXPECT_EQ(reports.back().frameNumber, 75);
  for (size_t i = 0; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(reports[i].fileIndex, 0);
    EXPECT_NEAR(static_cast<double>(reports[i].total), 3000000.0, 100000.0);
    if (i > 0) {
      EXPECT_GE(reports[i].at - reports[i - 1].at, 190);
      EXPECT_LE(reports[i].at - reports[i - 1].at, 600) << "a loaded machine may be late, not early";
      EXPECT_GE(reports[i].duration, reports[i - 1].duration);
    }
  }
}

TEST_F(TranscodeTest, AudioOnlyProgressHasNoVideoFields) {
  int frameNumber = 0, fps = 0;
  float quality = 0;
  FEngine.SetOnProgress([&](const void*, int, int frame, int rate, float q, float, int64_t, int64_t, int64_t) {
    frameNumber = frame;
    fps = rate;
    quality = q;
  });
  Convert(Clip("tone.wav"), Out("tone-progress.3gp"), Phone);
  ExpectFinished();
  EXPECT_EQ(frameNumber, -1);
  EXPECT_EQ(fps, -1);
  EXPECT_EQ(quality, -1);
}

}  // namespace
}  // namespace vidora::test
