#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/event.h"
#include "media/base/log_queue.h"
#include "media/base/logger.h"
#include "media/base/main_thread.h"
#include "test_support.h"

namespace vidora {
namespace {

struct TLine {
  uint32_t ThreadID;
  TLogLevel Level;
  std::string Message;
  std::thread::id DeliveredOn;
};

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLibraries();
    FLogger.SetTriggerEventInMainThread(false);
    FLogger.SetOnLog([this](const void*, uint32_t threadID, TLogLevel level, const std::string& message) {
      std::lock_guard lock(FLock);
      FLines.push_back({threadID, level, message, std::this_thread::get_id()});
    });
  }
  void TearDown() override { SetMainThreadHandOver(nullptr); }

  std::vector<TLine> Lines() {
    std::lock_guard lock(FLock);
    return FLines;
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    for (const TLine& line : Lines()) messages.push_back(line.Message);
    return messages;
  }

  TFFLogger FLogger;
  std::mutex FLock;
  std::vector<TLine> FLines;
};

TEST_F(LoggerTest, LevelsMapBothWays) {
  EXPECT_EQ(LibraryLogLevel(TLogLevel::llQuiet), -8);
  EXPECT_EQ(LibraryLogLevel(TLogLevel::llDebug), 48);
  EXPECT_EQ(LogLevelFromLibrary(-9), TLogLevel::llQuiet);
  EXPECT_EQ(LogLevelFromLibrary(-8), TLogLevel::llQuiet);
  EXPECT_EQ(LogLevelFromLibrary(-1), TLogLevel::llQuiet);
  EXPECT_EQ(LogLevelFromLibrary(0), TLogLevel::llPanic);
  EXPECT_EQ(LogLevelFromLibrary(20), TLogLevel::llError);
  EXPECT_EQ(LogLevelFromLibrary(40), TLogLevel::llVerbose);
  EXPECT_EQ(LogLevelFromLibrary(47), TLogLevel::llVerbose);
  EXPECT_EQ(LogLevelFromLibrary(48), TLogLevel::llDebug);
  EXPECT_EQ(LogLevelFromLibrary(1000), TLogLevel::llDebug);
}

TEST_F(LoggerTest, DirectLinesAreFilteredButVerbosePassesUnlessQuiet) {
  FLogger.SetLogLevel(TLogLevel::llInfo);
  FLogger.Log(this, TLogLevel::llWarning, "warning line");
  FLogger.Log(this, TLogLevel::llDebug, "debug line");
  FLogger.Log(this, TLogLevel::llVerbose, "verbose at info");
  FLogger.SetLogLevel(TLogLevel::llQuiet);
  FLogger.Log(this, TLogLevel::llVerbose, "verbose at quiet");
  FLogger.Log(this, TLogLevel::llQuiet, "quiet at quiet %d", 7);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"warning line", "verbose at info", "quiet at quiet 7"}));
  FLogger.SetLogLevel(TLogLevel::llInfo);
}

TEST_F(LoggerTest, OptLogLevelTakesNamesAndNumbers) {
  FLogger.OptLogLevel("WARNING");
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llWarning);
  FLogger.OptLogLevel("20");
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llError);
  FLogger.OptLogLevel("99");
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llDebug);
  FLogger.OptLogLevel("-20");
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llQuiet);
  EXPECT_THROW(FLogger.OptLogLevel("loud"), std::invalid_argument);
  EXPECT_THROW(FLogger.OptLogLevel("12abc"), std::invalid_argument);
  EXPECT_EQ(FLogger.LogLevel(), TLogLevel::llQuiet) << "a refused value changes nothing";
  FLogger.OptLogLevel("info");
}

TEST_F(LoggerTest, LibraryLinesAreAssembledAcrossCalls) {
  avutil.av_log(nullptr, AV_LOG_WARNING, "abc");
  EXPECT_TRUE(Lines().empty()) << "no line feed yet";
  avutil.av_log(nullptr, AV_LOG_WARNING, "%s\nsecond", "def");
  avutil.av_log(nullptr, AV_LOG_WARNING, " line\n");
  ASSERT_EQ(Messages(), (std::vector<std::string>{"abcdef", "second line"}));
  EXPECT_EQ(Lines()[0].Level, TLogLevel::llWarning);
  EXPECT_EQ(Lines()[0].ThreadID, CurrentThreadID());
}

TEST_F(LoggerTest, LibraryThresholdDropsQuieterMessages) {
  FLogger.SetLogLevel(TLogLevel::llWarning);
  avutil.av_log(nullptr, AV_LOG_INFO, "too quiet\n");
  avutil.av_log(nullptr, AV_LOG_ERROR, "loud enough\n");
  FLogger.SetLogLevel(TLogLevel::llInfo);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"loud enough"}));
}

TEST_F(LoggerTest, RepeatedLinesAreCounted) {
  for (int i = 0; i < 3; ++i) avutil.av_log(nullptr, AV_LOG_INFO, "same line\n");
  avutil.av_log(nullptr, AV_LOG_INFO, "other line\n");
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"same line", "    Last message repeated 2 times", "other line"}));
}

TEST_F(LoggerTest, LinesRepeatedInTurnAreFoldedIntoCounts) {
  // A damaged stream: the decoder says the same three lines for every packet.
  // The decoder runs on two threads, each with its own copy of its context.
  for (int i = 0; i < 100; ++i)
    for (const char* line : {"no PPS\n", "slice error\n", "no frame!\n"})
      avutil.av_log(nullptr, AV_LOG_ERROR, i % 2 ? "[h264 @ 0x5a1] %s" : "[h264 @ 0x5b2] %s", line);
  avutil.av_log(nullptr, AV_LOG_ERROR, "something else\n");
  for (int i = 0; i < 5; ++i) avutil.av_log(nullptr, AV_LOG_ERROR, "no frame!\n");  // another line: no context
  FlushRepeatedLibraryLines();  // the run's end shows what is still held back
  EXPECT_EQ(Messages(), (std::vector<std::string>{"[h264 @ 0x5b2] no PPS", "[h264 @ 0x5b2] slice error",
                                                  "[h264 @ 0x5b2] no frame!",
                                                  "    [h264 @ 0x5b2] no PPS \xE2\x80\xA6 repeated 99 times",
                                                  "    [h264 @ 0x5b2] slice error \xE2\x80\xA6 repeated 99 times",
                                                  "    [h264 @ 0x5b2] no frame! \xE2\x80\xA6 repeated 99 times",
                                                  "something else", "no frame!", "    Last message repeated 4 times"}));
}

TEST_F(LoggerTest, ContextLinesCarryTheContextPrefix) {
  AVCodecContext* context = avcodec.avcodec_alloc_context3(nullptr);
  avutil.av_log(context, AV_LOG_ERROR, "from a codec\n");
  avutil.av_log(context, AV_LOG_ERROR, "start ");
  avutil.av_log(context, AV_LOG_ERROR, "and end\n");
  avcodec.avcodec_free_context(&context);
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind("[NULL @ 0x", 0), 0u) << messages[0];
  EXPECT_NE(messages[0].find("]from a codec"), std::string::npos) << messages[0];
  EXPECT_NE(messages[1].find("]start and end"), std::string::npos) << "one prefix per line: " << messages[1];
}

TEST_F(LoggerTest, LongLinesAreKeptWhole) {
  std::string longText(10000, 'x');
  avutil.av_log(nullptr, AV_LOG_INFO, "%s\n", longText.c_str());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], longText);
}

TEST_F(LoggerTest, PartialLinesOfTwoThreadsStayApart) {
  std::latch firstHalves(2), secondHalves(1);
  auto worker = [&](const char* first, const char* second, bool goesFirst) {
    avutil.av_log(nullptr, AV_LOG_INFO, "%s", first);
    firstHalves.count_down();
    if (!goesFirst) secondHalves.wait();
    avutil.av_log(nullptr, AV_LOG_INFO, "%s\n", second);
    if (goesFirst) secondHalves.count_down();
  };
  std::thread a(worker, "alpha-", "one", true);
  std::thread b(worker, "beta-", "two", false);
  a.join();
  b.join();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Message, "alpha-one");
  EXPECT_EQ(lines[1].Message, "beta-two");
  EXPECT_NE(lines[0].ThreadID, lines[1].ThreadID);
}

// Lines of other threads are posted to the main thread, never waited for: a
// worker logs under its locks, which the main thread may be waiting for.
TEST_F(LoggerTest, WorkerLinesArePostedAndAFullQueueCountsWhatItLeavesOut) {
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  FLogger.SetTriggerEventInMainThread(true);
  constexpr size_t LeftOut = 250;
  TEvent done(false);
  std::thread worker([&] {
    FLogger.Log(this, TLogLevel::llWarning, "direct from the worker");
    avutil.av_log(nullptr, AV_LOG_INFO, "from the worker's library\n");
    for (size_t i = 2; i < TLogQueue::Capacity + LeftOut; ++i) FLogger.Log(this, TLogLevel::llWarning, "line %zu", i);
    done.Set();
  });
  // The main thread runs nothing handed to it meanwhile.
  bool returned = done.WaitFor(std::chrono::seconds(5));
  while (!done.IsSet()) queue.WaitAndProcess(std::chrono::milliseconds(10));
  worker.join();
  EXPECT_TRUE(returned) << "the worker waited for the main thread";
  EXPECT_TRUE(Lines().empty());

  // A line of the main thread's own comes after the ones logged before it.
  FLogger.Log(this, TLogLevel::llWarning, "from the main thread");
  queue.ProcessPending();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), TLogQueue::Capacity + 2);
  EXPECT_EQ(lines[0].Message, "direct from the worker");
  EXPECT_EQ(lines[1].Message, "from the worker's library");
  EXPECT_EQ(lines[1].Level, TLogLevel::llInfo);
  EXPECT_EQ(lines[TLogQueue::Capacity - 1].Message, "line 999");
  EXPECT_EQ(lines[TLogQueue::Capacity].Message,
            "250 log lines were left out: they came faster than the main thread took them");
  EXPECT_EQ(lines.back().Message, "from the main thread");
  for (const TLine& line : lines) ASSERT_EQ(line.DeliveredOn, std::this_thread::get_id()) << line.Message;
  EXPECT_NE(lines[0].ThreadID, lines.back().ThreadID);
}

TEST(LoggerInstances, AnAutomaticLoggerGivesWayToTheHostsOne) {
  TFFLogger& automatic = FFLogger();
  EXPECT_EQ(&FFLogger(), &automatic);
  {
    TFFLogger hosts;
    EXPECT_EQ(&FFLogger(), &hosts);
  }
}

}  // namespace
}  // namespace vidora
