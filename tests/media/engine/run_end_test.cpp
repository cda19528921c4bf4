// How a run ends: inputs that break off, outputs that cannot be written, the
// last progress report and what the bitstream filters still hold.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "engine_fixture.h"
#include "media/base/client_stream.h"
#include "probe.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

// A client stream over bytes in memory that fails every read from `breakAt` on, and every write.
class TBreakingStream : public IClientStream {
 public:
  TBreakingStream(std::string data, size_t breakAt) : FData(std::move(data)), FBreakAt(breakAt) {}
  int Read(uint8_t* buffer, int size) override {
    if (FPosition >= FBreakAt) return -1;
    size_t count = std::min({static_cast<size_t>(size), FBreakAt - FPosition, FData.size() - FPosition});
    std::memcpy(buffer, FData.data() + FPosition, count);
    FPosition += count;
    return static_cast<int>(count);
  }
  int Write(const uint8_t*, int) override { return -1; }
  int64_t Seek(int64_t, int) override { return -1; }
  int64_t Size() override { return -1; }

 private:
  std::string FData;
  size_t FBreakAt;
  size_t FPosition = 0;
};

// Files of this process may not grow beyond `bytes` while it lives: a write
// past it fails with EFBIG, as one on a full disk fails with ENOSPC.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FOld{};
  void (*FOldHandler)(int) = nullptr;
};

class RunEndTest : public EngineTest {
 protected:
  void Convert(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    Open(input, output, options);
    FEngine.StartConvert(false);
  }
};

TEST_F(RunEndTest, AnInputThatBreaksOffEndsTheOutputPlayably) {
  std::string data = ReadAll(Clip("clip.ts"));
  ASSERT_FALSE(data.empty());
  TBreakingStream input(data, data.size() / 2);
  std::string name = RegisterClientStream(&input, "clip.ts");
  Convert(name, Out("broken.3gp"), Phone);
  UnregisterClientStream(&input);

  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_FALSE(FEngine.Finished());
  std::smatch match;
  std::string message = FEngine.FatalMessage();
  ASSERT_TRUE(std::regex_match(message, match, std::regex(R"(input broke off at (\d+\.\d) s: Input/output error)")))
      << message;
  double reached = std::stod(match[1]);
  EXPECT_GT(reached, 0.8);
  EXPECT_LT(reached, 2.2) << "half of a 3 s clip";

  TProbe probe = ProbeFile(Out("broken.3gp"));
  ASSERT_TRUE(probe.Valid) << "the output has its index";
  EXPECT_NEAR(probe.Duration, reached, 0.3);
  EXPECT_TRUE(DecodesCleanly(Out("broken.3gp")));
  EXPECT_FALSE(Logged("removed, the conversion could not finish it"));
}

TEST_F(RunEndTest, AnOutputThatCannotBeFinishedIsRemoved) {
  {
    TFileSizeLimit limit(20000);
    Convert(Clip("clip.mp4"), Out("full.3gp"), Phone);
  }
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_NE(FEngine.FatalMessage().find("File too large"), std::string::npos) << FEngine.FatalMessage();
  EXPECT_FALSE(fs::exists(Out("full.3gp")));
  EXPECT_TRUE(Logged(Out("full.3gp") + ": removed, the conversion could not finish it", TLogLevel::llError));

  // A client's stream is the client's to discard.
  FEngine.Reset();
  TBreakingStream output({}, 0);
  std::string name = RegisterClientStream(&output, "out.3gp");
  Convert(Clip("clip.mp4"), name, Phone);
  UnregisterClientStream(&output);
  EXPECT_NE(FEngine.FatalMessage().find("Input/output error"), std::string::npos) << FEngine.FatalMessage();
  EXPECT_FALSE(Logged(name + ": removed"));
}

TEST_F(RunEndTest, TheFinalReportOfAFinishedRunCoversTheWholeInput) {
  // An ordinary clip, a single picture, and pictures a second apart.
  for (const char* clip : {"clip.mp4", "one_frame.mp4", "one_per_second.mp4"}) {
    SCOPED_TRACE(clip);
    FEngine.Reset();
    int64_t current = -1, total = -1;
    FEngine.SetOnProgress([&](const void*, int, int, int, float, float, int64_t, int64_t duration, int64_t whole) {
      current = duration;
      total = whole;
    });
    Convert(Clip(clip), Out(std::string(clip) + ".3gp"), Phone);
    EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
    ASSERT_GT(total, 0);
    EXPECT_GE(current, total);
    EXPECT_LT(current, total + 100000) << "no further than the last frame";
  }
}

TEST_F(RunEndTest, BitstreamFiltersHandOnEveryPacketAndAreDrainedAtTheEnd) {
  // 2 s at 44100 Hz in packets of 1024 samples: 86 whole ones, and a last one
  // the filter pads and gives only when told that the stream has ended; it
  // then passes the filter after it.
  Convert(Clip("tone.wav"), Out("rechunked.mkv"),
          {"acodec", "pcm_s16le", "absf", "pcm_rechunk", "absf", "null"});
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_EQ(PacketCount(Out("rechunked.mkv"), "a"), 87);
  EXPECT_NEAR(ProbeFile(Out("rechunked.mkv")).Duration, 87 * 1024 / 44100.0, 0.01);
}

TEST_F(RunEndTest, AFailureKeepsItsMessageAndLogsTheLibrarysReason) {
  FFmpegException error("Video encoding failed", AVERROR(EINVAL));
  EXPECT_STREQ(error.what(), "Video encoding failed");
  EXPECT_EQ(error.Code(), AVERROR(EINVAL));
  EXPECT_EQ(error.LogText(), "Video encoding failed (Invalid argument)");
  EXPECT_EQ(FFmpegException("x.3gp: Invalid argument", AVERROR(EINVAL)).LogText(), "x.3gp: Invalid argument")
      << "named once";
  EXPECT_EQ(FFmpegException("Out of memory in do_audio_out").LogText(), "Out of memory in do_audio_out");

  // H.263 has no 320x240: opening the encoder fails in the library.
  Convert(Clip("clip.mp4"), Out("wrong-size.3gp"), {"vcodec", "h263", "s", "320x240", "an", "1"});
  std::string message = "Error while opening encoder for output stream #0.0 (Video) - maybe incorrect parameters";
  EXPECT_EQ(FEngine.FatalMessage().rfind(message, 0), 0u) << FEngine.FatalMessage();
  EXPECT_EQ(FEngine.FatalMessage().find("Invalid argument"), std::string::npos) << "the users' text is unchanged";
  EXPECT_TRUE(Logged(FEngine.FatalMessage() + " (Invalid argument)", TLogLevel::llQuiet));

  FEngine.Reset();
  Convert(Clip("clip.mp4"), Out("filtered.3gp"), {"s", "176x144", "vf", "no_such_filter"});
  EXPECT_EQ(FEngine.FatalMessage(), "Error opening filters: no_such_filter");
  EXPECT_TRUE(Logged("Error opening filters: no_such_filter (", TLogLevel::llQuiet));
}

TEST_F(RunEndTest, AnOutputThatReceivedNothingIsAFailureAndRemoved) {
  // A faststart MP4 cut right after its index: every stream is known, no packet can be read.
  std::string whole = Out("faststart.mp4");
  CommandOutput("ffmpeg -nostdin -v error -y -i '" + Clip("clip.mp4") + "' -c copy -movflags +faststart '" + whole + "'");
  std::string data = ReadAll(whole);
  size_t mdat = data.find("mdat");
  ASSERT_NE(mdat, std::string::npos);
  std::string cut = Out("cut.mp4");
  std::ofstream(cut, std::ios::binary) << data.substr(0, mdat - 4);
  Convert(cut, Out("nothing.3gp"), Phone);
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_EQ(FEngine.FatalMessage(), cut + ": nothing could be read from it");
  EXPECT_FALSE(fs::exists(Out("nothing.3gp")));

}

TEST_F(RunEndTest, AFileCutShortSaysSoAndKeepsWhatWasConverted) {
  // An 8 s faststart MP4 of which only the first half of the bytes arrived:
  // its index still promises 8 s.
  std::string whole = Out("eight.mp4");
  CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=25:duration=8 -f lavfi "
                "-i sine=duration=8 -c:v mpeg4 -c:a aac -movflags +faststart '" + whole + "'");
  std::string data = ReadAll(whole);
  ASSERT_GT(data.size(), 10000u);
  std::string cut = Out("downloading.mp4");
  std::ofstream(cut, std::ios::binary) << data.substr(0, data.size() / 2);
  Convert(cut, Out("half.3gp"), Phone);
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  std::smatch match;
  std::string message = FEngine.Shortfall();
  ASSERT_TRUE(std::regex_match(message, match,
                               std::regex(R"(input broke off at (\d+\.\d) s: the file ends (\d+\.\d) s before its stated length)")))
      << message;
  double reached = std::stod(match[1]), missing = std::stod(match[2]);
  EXPECT_NEAR(reached + missing, 8, 0.3);
  EXPECT_GT(reached, 2);
  TProbe probe = ProbeFile(Out("half.3gp"));
  ASSERT_TRUE(probe.Valid);
  EXPECT_NEAR(probe.Duration, reached, 0.3);
  EXPECT_TRUE(DecodesCleanly(Out("half.3gp")));

  // The whole file ends where it says.
  FEngine.Reset();
  Convert(whole, Out("whole.3gp"), Phone);
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_EQ(FEngine.Shortfall(), "");
}

TEST_F(RunEndTest, OutputsTakeTheirNameOnlyWhenFinished) {
  auto temporaryFiles = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FFolder.Path()))
      if (entry.path().filename().string().rfind(".vidora-", 0) == 0) names.push_back(entry.path().filename());
    return names;
  };
  // A killed run's file from two days ago goes; a running one's stays.
  std::ofstream(Out(".vidora-abc123.part")) << "old";
  fs::last_write_time(Out(".vidora-abc123.part"), fs::file_time_type::clock::now() - std::chrono::hours(48));
  std::ofstream(Out(".vidora-def456.part")) << "fresh";
  Open(Clip("clip.mp4"), Out("named.3gp"), Phone);
  FEngine.OpenLocalOutputs();  // as the run's start does
  EXPECT_FALSE(fs::exists(Out(".vidora-abc123.part")));
  EXPECT_TRUE(fs::exists(Out(".vidora-def456.part")));
  fs::remove(Out(".vidora-def456.part"));

  // While it is written the output lives under a hidden name in its folder.
  bool seenUnnamed = false;
  FEngine.SetOnProgress([&](const void*, int, int, int, float, float, int64_t, int64_t, int64_t) {
    seenUnnamed = seenUnnamed || (!fs::exists(Out("named.3gp")) && temporaryFiles().size() == 1);
  });
  FEngine.StartConvert(false);
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  EXPECT_TRUE(seenUnnamed);
  EXPECT_TRUE(ProbeFile(Out("named.3gp")).Valid);
  EXPECT_TRUE(temporaryFiles().empty());
  std::ofstream(Out("plain.txt")) << "any new file";
  EXPECT_EQ(fs::status(Out("named.3gp")).permissions(), fs::status(Out("plain.txt")).permissions());

  // A stop that finishes the file gives it its name too.
  FEngine.Reset();
  Open(Clip("clip.mp4"), Out("stopped.3gp"), Phone);
  FEngine.ReportInterval = 0;  // the first report comes after the first packet
  FEngine.SetOnProgress([&](const void*, int, int, int, float, float, int64_t, int64_t, int64_t) { FEngine.Stop(false); });
  FEngine.StartConvert(false);
  EXPECT_FALSE(FEngine.Finished());
  EXPECT_TRUE(ProbeFile(Out("stopped.3gp")).Valid);
  EXPECT_TRUE(temporaryFiles().empty());
}

}  // namespace
}  // namespace vidora::test
