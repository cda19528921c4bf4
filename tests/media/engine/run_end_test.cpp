// How a run ends: inputs that break off, outputs that cannot be written, the
// last progress report and what the bitstream filters still hold.
#include "engine_fixture.h"
#include "probe.h"

namespace vidora::test {
namespace {

class RunEndTest : public EngineTest {
 protected:
  // The phone profile: 176x144 at 150000 bit/s, 8000 Hz mono at 12200 bit/s.
  const std::vector<std::string> Phone = {"s", "176x144", "b", "150000", "ar", "8000", "ac", "1", "ab", "12200"};

  void Convert(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    ASSERT_TRUE(FEngine.OpenInputFile(input)) << FEngine.LastErrMsg();
    for (size_t i = 0; i + 1 < options.size(); i += 2) FEngine.ParseOption(options[i], options[i + 1]);
    ASSERT_GT(FEngine.OpenOutputFile(output, false), 0) << FEngine.LastErrMsg();
    FEngine.StartConvert(false);
  }
};

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

}  // namespace
}  // namespace vidora::test
