#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "engine_fixture.h"
#include "probe.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;

class TranscodeOptionsTest : public EngineTest {
 protected:
  void Convert(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    ASSERT_TRUE(FEngine.OpenInputFile(input)) << FEngine.LastErrMsg();
    for (size_t i = 0; i + 1 < options.size(); i += 2) FEngine.ParseOption(options[i], options[i + 1]);
    ASSERT_GT(FEngine.OpenOutputFile(output, false), 0) << FEngine.LastErrMsg();
    FEngine.StartConvert(false);
    EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  }
};

TEST_F(TranscodeOptionsTest, PictureSizeChangeMakesANewScaler) {
  Convert(Clip("sizechange.ts"), Out("sizechange.3gp"), {"s", "176x144", "an", "1"});
  EXPECT_TRUE(Logged("Input Stream #0.0 frame size changed to 176x144, yuv420p"));
  TProbe probe = ProbeFile(Out("sizechange.3gp"));
  ASSERT_EQ(probe.Streams.size(), 1u);
  EXPECT_NEAR(probe.Duration, 2.0, 0.2);
  EXPECT_TRUE(DecodesCleanly(Out("sizechange.3gp")));
}

TEST_F(TranscodeOptionsTest, ConstantRateOutputDuplicatesMissingPictures) {
  Convert(Clip("slow.avi"), Out("slow.3gp"), {"s", "176x144", "r", "25", "vsync", "1"});
  EXPECT_GT(FEngine.FramesDuplicated(), 20) << "10 pictures a second become 25";
  EXPECT_EQ(FEngine.FramesDropped(), 0);
  EXPECT_NEAR(ProbeFile(Out("slow.3gp")).First("video")->Number("nb_frames"), 50, 4);
}

TEST_F(TranscodeOptionsTest, FrameAndTimeLimits) {
  Convert(Clip("clip.mp4"), Out("ten.3gp"), {"s", "176x144", "an", "1", "vframes", "10"});
  EXPECT_EQ(ProbeFile(Out("ten.3gp")).First("video")->Number("nb_frames"), 10);

  FEngine.Reset();
  Convert(Clip("clip.mp4"), Out("second.3gp"), {"s", "176x144", "ar", "8000", "ac", "1", "t", "1"});
  EXPECT_NEAR(ProbeFile(Out("second.3gp")).Duration, 1.0, 0.15);
}

TEST_F(TranscodeOptionsTest, FilterGraphWithCrop) {
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("croptop", "40");
  FEngine.ParseOption("cropbottom", "40");
  FEngine.ParseOption("vf", "hflip");
  FEngine.ParseOption("s", "176x96");
  FEngine.ParseOption("vcodec", "mpeg4");
  FEngine.ParseOption("an", "1");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("cropped.mp4"), false), 1) << FEngine.LastErrMsg();
  FEngine.StartConvert(false);
  EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
  TProbe probe = ProbeFile(Out("cropped.mp4"));
  const TProbedStream* video = probe.First("video");
  ASSERT_TRUE(video);
  EXPECT_EQ((*video)["width"], "176");
  EXPECT_EQ((*video)["height"], "96");
  EXPECT_EQ(video->Number("nb_frames"), 75);
}

TEST_F(TranscodeOptionsTest, TwoPassesShareTheStatisticsFile) {
  std::string prefix = Out("stats");
  Convert(Clip("clip.mp4"), Out("pass1.mp4"),
          {"vcodec", "mpeg4", "s", "176x144", "b", "200000", "an", "1", "pass", "1", "passlogfile", prefix});
  ASSERT_TRUE(fs::exists(prefix + "-0.log"));
  EXPECT_GT(fs::file_size(prefix + "-0.log"), 0u);

  FEngine.Reset();
  Convert(Clip("clip.mp4"), Out("pass2.mp4"),
          {"vcodec", "mpeg4", "s", "176x144", "b", "200000", "an", "1", "pass", "2", "passlogfile", prefix});
  EXPECT_TRUE(DecodesCleanly(Out("pass2.mp4")));

  FEngine.Reset();
  ASSERT_TRUE(FEngine.OpenInputFile(Clip("clip.mp4")));
  FEngine.ParseOption("vcodec", "mpeg4");
  FEngine.ParseOption("pass", "2");
  FEngine.ParseOption("passlogfile", Out("none"));
  ASSERT_EQ(FEngine.OpenOutputFile(Out("pass2-nolog.mp4"), false), 1);
  FEngine.StartConvert(false);
  EXPECT_EQ(FEngine.FatalMessage(),
            "Cannot read file: Error reading log file \"" + Out("none") + "-0.log\" for pass-2 encoding");
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

// Serves the first half of a file on a loopback port once, then breaks the
// connection (a reset, not an orderly end).
class TBrokenServer {
 public:
  explicit TBrokenServer(const std::string& file) {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
    listen(FSocket, 1);
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    FThread = std::thread([this, half = data.substr(0, data.size() / 2)] {
      int client = accept(FSocket, nullptr, nullptr);
      if (client < 0) return;
      send(client, half.data(), half.size(), MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      linger reset{1, 0};
      setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      close(client);
    });
  }
  ~TBrokenServer() {
    shutdown(FSocket, SHUT_RDWR);
    close(FSocket);
    FThread.join();
  }
  std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(FPort); }

 private:
  int FSocket = -1;
  int FPort = 0;
  std::thread FThread;
};

TEST_F(TranscodeOptionsTest, AnInputThatBreaksOffEndsTheTaskWithWhatWasRead) {
  TBrokenServer server(Clip("sizechange.ts"));
  FEngine.ParseOption("f", "mpegts");
  ASSERT_TRUE(FEngine.OpenInputFile(server.Url())) << FEngine.LastErrMsg();
  FEngine.ParseOption("s", "176x144");
  ASSERT_EQ(FEngine.OpenOutputFile(Out("broken.3gp"), false), 1);
  FEngine.StartConvert(false);
  EXPECT_TRUE(FEngine.FatalException());
  EXPECT_FALSE(FEngine.Finished());
  std::smatch match;
  std::string message = FEngine.FatalMessage();
  std::regex expected(R"(input broke off at (\d+\.\d) s: Connection reset by peer)");
  ASSERT_TRUE(std::regex_match(message, match, expected)) << message;
  EXPECT_LE(std::stod(match[1]), 1.1) << "half of a 2 s stream at most";
  EXPECT_TRUE(ProbeFile(Out("broken.3gp")).Valid) << "the output is finished";
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

// Beside a picture late sound is led in by silence (see the phone-ready tests).
TEST_F(TranscodeOptionsTest, LateSoundAloneStartsLateUnlessSynchronised) {
  Convert(Clip("late_audio.mp4"), Out("late.3gp"), {"vn", "1", "ar", "8000", "ac", "1"});
  EXPECT_NEAR(ProbeFile(Out("late.3gp")).First("audio")->Number("start_time"), 0.476, 0.03);

  FEngine.Reset();
  Convert(Clip("late_audio.mp4"), Out("late-sync.3gp"), {"s", "176x144", "ar", "8000", "ac", "1", "async", "1"});
  TProbe probe = ProbeFile(Out("late-sync.3gp"));
  const TProbedStream* audio = probe.First("audio");
  ASSERT_TRUE(audio);
  EXPECT_LT(audio->Number("start_time"), 0.03) << "silence fills the first half second";
  EXPECT_GT(audio->Number("duration"), 1.8);
}

TEST_F(TranscodeOptionsTest, VolumeAndVideoStatistics) {
  Convert(Clip("tone.wav"), Out("unity.mp4"), {"acodec", "aac"});
  FEngine.Reset();
  Convert(Clip("tone.wav"), Out("half.mp4"), {"acodec", "aac", "vol", "128"});
  EXPECT_NEAR(MeanVolume(Out("half.mp4")) - MeanVolume(Out("unity.mp4")), -6.0, 0.5);

  FEngine.Reset();
  std::string stats = Out("vstats.log");
  Convert(Clip("picture.avi"), Out("stats.mp4"), {"vcodec", "mpeg4", "vstats_file", stats});
  std::ifstream in(stats);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.rfind("frame=     1 q= ", 0), 0u) << first;
  EXPECT_NE(first.find("type= I"), std::string::npos) << first;
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

TEST_F(TranscodeOptionsTest, TextSubtitlesAreReEncodedWithTheirTimes) {
  Convert(Clip("subtitled.mkv"), Out("subtitled.mp4"), {"vcodec", "mpeg4", "scodec", "mov_text"});
  TProbe probe = ProbeFile(Out("subtitled.mp4"));
  const TProbedStream* subtitles = probe.First("subtitle");
  ASSERT_TRUE(subtitles);
  EXPECT_EQ((*subtitles)["codec_name"], "mov_text");
  EXPECT_EQ(SubtitlesAsSubRip(Out("subtitled.mp4")),
            "1\n00:00:00,500 --> 00:00:01,500\nHello phone\n\n2\n00:00:02,000 --> 00:00:02,800\nSecond line\n\n");
}

}  // namespace
}  // namespace vidora::test
