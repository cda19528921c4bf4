#include <gtest/gtest.h>

#include <atomic>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "media/base/event.h"
#include "media/base/ff_utils.h"
#include "media/base/main_thread.h"
#include "media/encoder/encoder.h"
#include "media/encoder/option_text.h"
#include "../base/test_support.h"

namespace vidora::test {
namespace {

std::string Clip(const std::string& name) { return std::string(CLIPS_DIR) + "/" + name; }

class EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadMediaLibraries();
    FEncoder.SetTriggerEventInMainThread(false);
    FEncoder.SetOnTerminate([this](const void*, const TTerminateInfo& info) {
      std::lock_guard lock(FLock);
      FEnds.push_back(info);
      FEndThreads.push_back(std::this_thread::get_id());
    });
  }
  void TearDown() override { SetMainThreadHandOver(nullptr); }

  // A task converting `clip` to a small 3GP; `realTime` makes it last as long as the clip.
  int AddPhoneTask(const std::string& clip, const std::string& output, bool realTime = false) {
    int task = FEncoder.AddTask(Clip(clip), realTime ? std::string("re=1") : std::string());
    EXPECT_GE(task, 0) << FEncoder.LastErrMsg();
    EXPECT_TRUE(FEncoder.SetOutputFile(task, Out(output), "s=176x144<CRLF>ar=8000<CRLF>ac=1")) << FEncoder.LastErrMsg();
    return task;
  }
  std::string Out(const std::string& name) const { return (FFolder.Path() / name).string(); }
  void WaitForEnd() {
    for (int i = 0; i < 2000 && !(FEncoder.Terminated() && Ends().size() == static_cast<size_t>(FEncoder.TasksCount()) + 1);
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<TTerminateInfo> Ends() {
    std::lock_guard lock(FLock);
    return FEnds;
  }
  std::vector<int> EndOrder() {
    std::vector<int> order;
    for (const TTerminateInfo& info : Ends()) order.push_back(info.TaskIndex);
    return order;
  }

  TTempFolder FFolder;
  std::mutex FLock;
  std::vector<TTerminateInfo> FEnds;
  std::vector<std::thread::id> FEndThreads;
  TFFEncoder FEncoder;  // last: it is gone before the records its events fill
};

TEST_F(EncoderTest, OneAtATimeEndsInOrderThenTheRun) {
  for (int i = 0; i < 3; ++i) AddPhoneTask("part1.mp4", "one-" + std::to_string(i) + ".3gp");
  FEncoder.Start(1);
  WaitForEnd();
  EXPECT_EQ(EndOrder(), (std::vector<int>{0, 1, 2, -1}));
  for (const TTerminateInfo& info : Ends()) {
    EXPECT_TRUE(info.Finished);
    EXPECT_FALSE(info.Exception);
  }
  EXPECT_TRUE(FEncoder.Terminated());
  EXPECT_TRUE(FEncoder.Working());
  EXPECT_NE(FEndThreads.back(), std::this_thread::get_id()) << "thread mode: ends arrive on their own threads";
}

TEST_F(EncoderTest, TwoAtATimeOverlap) {
  std::mutex lock;
  std::vector<std::pair<int, int64_t>> firstProgress;  // task, ms
  auto start = std::chrono::steady_clock::now();
  FEncoder.SetProgressInterval(100);
  FEncoder.SetOnProgress([&](const void*, const TProgressInfo* info) {
    std::lock_guard guard(lock);
    for (auto& seen : firstProgress)
      if (seen.first == info->TaskIndex) return;
    firstProgress.emplace_back(info->TaskIndex, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    std::chrono::steady_clock::now() - start).count());
  });
  for (int i = 0; i < 3; ++i) AddPhoneTask("part2.mp4", "two-" + std::to_string(i) + ".3gp", true);
  FEncoder.Start(2);
  WaitForEnd();
  ASSERT_EQ(firstProgress.size(), 3u);
  std::map<int, int64_t> began(firstProgress.begin(), firstProgress.end());
  EXPECT_LT(began[1], 1000) << "tasks 0 and 1 run together";
  EXPECT_GT(began[2], 1500) << "task 2 waits for one of them to end (2 s clips in real time)";
  EXPECT_EQ(EndOrder().back(), -1);
}

TEST_F(EncoderTest, SynchronousRunEndsInsideStart) {
  for (int i = 0; i < 2; ++i) AddPhoneTask("part1.mp4", "sync-" + std::to_string(i) + ".3gp");
  FEncoder.Start(0);
  EXPECT_TRUE(FEncoder.Terminated()) << "Start returns after the run";
  EXPECT_EQ(EndOrder(), (std::vector<int>{0, 1, -1}));
  for (std::thread::id id : FEndThreads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(EncoderTest, StopDuringTheFirstOfThree) {
  for (int i = 0; i < 3; ++i) AddPhoneTask("clip.mp4", "stop-" + std::to_string(i) + ".3gp", true);
  FEncoder.Start(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  FEncoder.Stop(true);
  WaitForEnd();
  std::vector<TTerminateInfo> ends = Ends();
  ASSERT_EQ(ends.size(), 4u);
  std::vector<int> tasks;
  for (size_t i = 0; i < 3; ++i) {
    tasks.push_back(ends[i].TaskIndex);
    EXPECT_FALSE(ends[i].Finished);
  }
  std::sort(tasks.begin(), tasks.end());
  EXPECT_EQ(tasks, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ends[3].TaskIndex, -1);
  EXPECT_TRUE(ends[3].Finished) << "the end-of-run record always reads finished";
  EXPECT_GT(std::filesystem::file_size(Out("stop-0.3gp")), 0u);
  FEncoder.ClearTasks();
  EXPECT_TRUE(std::filesystem::exists(Out("stop-0.3gp")));
  EXPECT_FALSE(std::filesystem::exists(Out("stop-1.3gp"))) << "an output that never started is removed with its task";
}

// Unloading clears the tables the workers call through: the run ends first.
TEST_F(EncoderTest, UnloadingEndsTheRunFirst) {
  ASSERT_TRUE(FEncoder.LoadAVLib("")) << FEncoder.LastErrMsg();
  AddPhoneTask("clip.mp4", "unload.3gp", true);
  FEncoder.Start(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  FEncoder.UnloadAVLib();
  EXPECT_FALSE(FEncoder.AVLibLoaded());
  EXPECT_EQ(Ends().size(), 2u) << "the task's and the run's end were delivered before unloading";
  ASSERT_TRUE(FEncoder.LoadAVLib("")) << FEncoder.LastErrMsg();
  FEncoder.ClearTasks();
}

TEST_F(EncoderTest, ProgressOnTheWorkerOrHandedToTheMainThread) {
  std::atomic<int> onWorker{0}, onMain{0};
  std::thread::id main = std::this_thread::get_id();
  FEncoder.SetOnProgress([&](const void*, const TProgressInfo* info) {
    EXPECT_EQ(info->TaskIndex, 0);
    (std::this_thread::get_id() == main ? onMain : onWorker)++;
  });
  AddPhoneTask("part1.mp4", "worker.3gp");
  FEncoder.Start(1);
  WaitForEnd();
  EXPECT_GT(onWorker, 0);
  EXPECT_EQ(onMain, 0);

  FEncoder.ClearTasks();
  {
    std::lock_guard lock(FLock);
    FEnds.clear();
  }
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  FEncoder.SetTriggerEventInMainThread(true);
  onWorker = onMain = 0;
  AddPhoneTask("part1.mp4", "main.3gp");
  FEncoder.Start(1);
  while (!FEncoder.Terminated()) queue.WaitAndProcess(std::chrono::milliseconds(10));
  queue.ProcessPending();
  EXPECT_GT(onMain, 0);
  EXPECT_EQ(onWorker, 0);
}

TEST_F(EncoderTest, GuardsAndEmptyRuns) {
  FEncoder.Start(1);  // an empty list ends at once
  WaitForEnd();
  EXPECT_TRUE(FEncoder.Terminated());
  EXPECT_EQ(EndOrder(), (std::vector<int>{-1}));
  try {
    FEncoder.AddTask(Clip("clip.mp4"), std::string());
    FAIL() << "AddTask while working must raise";
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Cannot AddTask while working.");
  }
  EXPECT_THROW(FEncoder.Start(1), std::runtime_error);
  FEncoder.ClearTasks();
  EXPECT_FALSE(FEncoder.Working());
  {
    std::lock_guard lock(FLock);
    FEnds.clear();
  }

  AddPhoneTask("clip.mp4", "guarded.3gp", true);
  FEncoder.Start(1);
  try {
    FEncoder.ClearTasks();
    FAIL() << "ClearTasks during a run must raise";
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Cannot ClearTasks while working.");
  }
  FEncoder.Stop(true);
  WaitForEnd();

  FEncoder.SetProgressInterval(50);
  EXPECT_EQ(FEncoder.ProgressInterval(), 100);
  FEncoder.SetProgressInterval(101);
  EXPECT_EQ(FEncoder.ProgressInterval(), 101);
}

TEST_F(EncoderTest, FailuresComeBackAsLastErrMsg) {
  EXPECT_EQ(FEncoder.AddTask(Clip("missing.mp4"), std::string()), -1);
  EXPECT_EQ(FEncoder.LastErrMsg(), Clip("missing.mp4") + ": No such file or directory");
  EXPECT_EQ(FEncoder.TasksCount(), 0);
  EXPECT_EQ(FEncoder.AddTask(Clip("clip.mp4"), std::string("vframes=ten")), -1);
  EXPECT_EQ(FEncoder.LastErrMsg(), "'ten' is not a valid integer value");

  TInputOptions input;
  int task = FEncoder.AddTask(Clip("clip.mp4"), &input);
  ASSERT_EQ(task, 0);
  EXPECT_EQ(input.FileName, Clip("clip.mp4")) << "the caller's record gets the file name";
  EXPECT_FALSE(FEncoder.SetOutputFile(task, Out("x.nosuchext"), std::string()));
  EXPECT_EQ(FEncoder.LastErrMsg(), "Unable to find a suitable output format for '" + Out("x.nosuchext") + "'");
  for (int i = 0; i < MAX_FILES; ++i) ASSERT_TRUE(FEncoder.SetOutputFile(task, Out("o" + std::to_string(i) + ".3gp"), std::string("s=176x144")));
  EXPECT_FALSE(FEncoder.SetOutputFile(task, Out("o21.3gp"), std::string()));
  EXPECT_EQ(FEncoder.LastErrMsg(), "max output files 20 reached");
}

TEST_F(EncoderTest, OptionTextQueuesStreamsOfEachKind) {
  auto audioCodecs = [&](const std::string& ext, const std::string& audioCodec) {
    FEncoder.ClearTasks();
    int task = FEncoder.AddTask(Clip("clip.mp4"), std::string());
    TOutputOptions options;
    options.AudioCodec = audioCodec;
    options.ExtOptions = ext;
    EXPECT_TRUE(FEncoder.SetOutputFile(task, Out("queue.mkv"), &options)) << FEncoder.LastErrMsg();
    std::vector<std::string> names;
    for (const TOutputStreamCodec& stream : FEncoder.Task(task).OutputFile(0).streams)
      if (stream.codec->codec_type == AVMEDIA_TYPE_AUDIO) names.push_back(stream.encoder->name);
    return names;
  };
  std::vector<std::string> expected{"aac", "aac", "libmp3lame"};
  EXPECT_EQ(audioCodecs("acodec=aac\nnewaudio=\nacodec=libmp3lame\nnewaudio=", ""), expected);
  EXPECT_EQ(audioCodecs("acodec=aac<CRLF>newaudio=<CRLF>acodec=libmp3lame<CRLF>newaudio=", ""), expected);
  EXPECT_EQ(audioCodecs("acodec=aac\nnewaudio=", "libmp3lame"), (std::vector<std::string>{"libmp3lame", "aac"}))
      << "the record's field wins for the main stream";
}

TEST(OptionText, RecordsFromText) {
  TOutputOptions output = OutputOptionsFromText("Join=\nAudioHook=0\nVideoHookBitsPixel=x\nTimeStart=soon\nvb=1");
  EXPECT_TRUE(output.Join) << "an empty value turns it on";
  EXPECT_FALSE(output.AudioHook);
  EXPECT_EQ(output.VideoHookBitsPixel, 24);
  EXPECT_EQ(output.TimeStart, NoTime);
  EXPECT_EQ(output.ExtOptions, "vb=1\n");
  TInputOptions input = InputOptionsFromText("  timestart=1500000<CRLF>ss=2  ");
  EXPECT_EQ(input.TimeStart, 1500000);
  EXPECT_EQ(input.ExtOptions, "ss=2\n");
  EXPECT_EQ(ParseOptionText("a=1\r\nb\r=c=d").size(), 3u);
  EXPECT_EQ(ParseOptionText("a=1\r\nb\r=c=d")[2], (std::pair<std::string, std::string>{"", "c=d"}));
}

TEST(OptionText, CreationTimeStamps) {
  std::string old = std::getenv("TZ") ? std::getenv("TZ") : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(RecordingTimestamp(40179.5), 1262347200) << "2010-01-01 12:00";
  setenv("TZ", "Europe/Warsaw", 1);
  tzset();
  EXPECT_EQ(RecordingTimestamp(40179.5), 1262347200 - 3600) << "winter: one hour ahead of UTC";
  EXPECT_EQ(RecordingTimestamp(40360.5), 1277985600 - 7200) << "2010-07-01 12:00, summer time: two hours";
  if (old.empty())
    unsetenv("TZ");
  else
    setenv("TZ", old.c_str(), 1);
  tzset();
  EXPECT_NEAR(RecordingTimestamp(NowAsDateTime()), static_cast<double>(std::time(nullptr)), 2);
}

TEST_F(EncoderTest, InfoTagsAndCreationTime) {
  int task = FEncoder.AddTask(Clip("clip.mp4"), std::string());
  TOutputOptions options;
  options.Info.Year = 0;
  options.Info.Track = 3;
  options.Info.Title = "Holiday";
  options.Info.TimeStamp = -1;
  ASSERT_TRUE(FEncoder.SetOutputFile(task, Out("tags.mp4"), &options));
  const AVDictionary* metadata = FEncoder.Task(task).OutputFile(0).ctx->metadata;
  EXPECT_EQ(MetadataValue(metadata, "title", ""), "Holiday");
  EXPECT_EQ(MetadataValue(metadata, "track", ""), "3");
  EXPECT_EQ(MetadataValue(metadata, "year", "none"), "none");
  EXPECT_EQ(MetadataValue(metadata, "creation_time", "none"), "none");

  TOutputOptions now;
  now.Info.TimeStamp = 0;
  ASSERT_TRUE(FEncoder.SetOutputFile(task, Out("now.mp4"), &now));
  EXPECT_NE(MetadataValue(FEncoder.Task(task).OutputFile(1).ctx->metadata, "creation_time", "none"), "none");
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

// A stream over memory.
class TMemoryStream : public IClientStream {
 public:
  std::string Data;
  int64_t At = 0;
  int Read(uint8_t* buffer, int size) override {
    int count = static_cast<int>(std::min<int64_t>(size, static_cast<int64_t>(Data.size()) - At));
    std::memcpy(buffer, Data.data() + At, count);
    At += count;
    return count;
  }
  int Write(const uint8_t* buffer, int size) override {
    if (At + size > static_cast<int64_t>(Data.size())) Data.resize(At + size);
    std::memcpy(Data.data() + At, buffer, size);
    At += size;
    return size;
  }
  int64_t Seek(int64_t offset, int whence) override {
    int64_t base = whence == SEEK_CUR ? At : whence == SEEK_END ? static_cast<int64_t>(Data.size()) : 0;
    if (base + offset < 0) return -1;
    return At = base + offset;
  }
  int64_t Size() override { return static_cast<int64_t>(Data.size()); }
};

TEST_F(EncoderTest, StreamsInAndOut) {
  TMemoryStream input, output;
  std::ifstream file(Clip("part1.mp4"), std::ios::binary);
  input.Data.assign(std::istreambuf_iterator<char>(file), {});
  int task = FEncoder.AddTask(&input, "clip", nullptr);
  ASSERT_EQ(task, 0) << FEncoder.LastErrMsg();
  TOutputOptions options;
  options.ForceFormat = "3gp";
  options.FrameSize = "176x144";
  options.AudioSampleRate = 8000;
  options.AudioChannels = 1;
  ASSERT_TRUE(FEncoder.SetOutputStream(task, &output, "phone", &options)) << FEncoder.LastErrMsg();
  FEncoder.Start(0);
  ASSERT_EQ(Ends().size(), 2u);
  EXPECT_TRUE(Ends()[0].Finished) << Ends()[0].ExceptionMsg;
  EXPECT_GT(output.Data.size(), 5000u);
  EXPECT_EQ(output.Data.substr(4, 8), "ftyp3gp4") << "a 3GP file in memory";
}

TEST_F(EncoderTest, AStreamNobodyRegisteredDoesNotOpen) {
  EXPECT_EQ(FEncoder.AddTask("stream:12345:nothing", std::string()), -1);
  EXPECT_EQ(FEncoder.LastErrMsg(), "stream:12345:nothing: No such file or directory");
}

TEST_F(EncoderTest, HookRelaysCarryTheTaskAndHandBackTheirAnswers) {
  std::atomic<int> inputCalls{0}, audioCalls{0};
  FEncoder.SetOnVideoInputHook([&](const void* sender, THookInfo* info) {
    EXPECT_EQ(sender, &FEncoder);
    EXPECT_EQ(info->TaskIndex, 0);
    EXPECT_TRUE(info->Update);
    EXPECT_FALSE(info->Bitmap->Canvas().try_lock()) << "the drawing surface is locked during the call";
    ++inputCalls;
    info->Update = false;
    info->StopHook = inputCalls == 5;
  });
  FEncoder.SetOnAudioHook([&](const void*, int taskIndex, int64_t, uint8_t**, int size, int, int, AVSampleFormat) {
    EXPECT_EQ(taskIndex, 0);
    EXPECT_GT(size, 0);
    ++audioCalls;
  });
  int task = FEncoder.AddTask(Clip("part1.mp4"), std::string());
  ASSERT_TRUE(FEncoder.SetOutputFile(task, Out("hooked.3gp"),
                                     "s=176x144<CRLF>ar=8000<CRLF>ac=1<CRLF>VideoInputHook=1<CRLF>AudioHook=1"));
  FEncoder.Start(0);
  EXPECT_EQ(inputCalls, 5) << "StopHook detaches the hook for the task";
  EXPECT_GT(audioCalls, 10);
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

TEST_F(EncoderTest, WorkerThreadsTakeTheThreadPriority) {
  std::atomic<int> nice{-100};
  FEncoder.SetThreadPriority(tpLowest);
  FEncoder.SetOnProgress([&](const void*, const TProgressInfo*) { nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); });
  AddPhoneTask("part1.mp4", "low.3gp");
  FEncoder.Start(1);
  WaitForEnd();
  EXPECT_EQ(nice, 10);
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

TEST_F(EncoderTest, AHookWithoutAHandlerLeavesPicturesAlone) {
  auto convert = [&](const std::string& output, const std::string& extra) {
    FEncoder.ClearTasks();
    int task = FEncoder.AddTask(Clip("part1.mp4"), std::string());
    EXPECT_TRUE(FEncoder.SetOutputFile(task, Out(output), "vcodec=mpeg4<CRLF>qscale=2<CRLF>an=1" + extra));
    FEncoder.Start(0);
    std::ifstream file(Out(output), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
  };
  std::string plain = convert("plain.mp4", "");
  std::string hooked = convert("hooked.mp4", "<CRLF>VideoInputHook=1");
  EXPECT_FALSE(plain.empty());
  EXPECT_TRUE(plain == hooked);
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

// A task of 0.2 s of part1.mp4: hundreds of runs fit in a few seconds.
int AddShortTask(TCustomEncoder& encoder, const std::string& output) {
  int task = encoder.AddTask(Clip("part1.mp4"), std::string());
  EXPECT_GE(task, 0) << encoder.LastErrMsg();
  EXPECT_TRUE(encoder.SetOutputFile(task, output, "t=0.2<CRLF>s=176x144<CRLF>ar=8000<CRLF>ac=1"))
      << encoder.LastErrMsg();
  return task;
}

// Polls as the command-line tool does; false after 10 s.
template <typename Component>
bool WaitForTerminated(const Component& component) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!component.Terminated() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  return component.Terminated();
}

// The handler writes into the client's locals, which the client reads and
// destroys as soon as Terminated says the run is over: any event still on its
// way then writes into freed memory. Run pinned to one CPU and under the
// sanitizers, where the race shows.
TEST_F(EncoderTest, ShortRunsAreOverWhenTerminatedSaysSo) {
  constexpr int Runs = 300;
  for (int run = 0; run < Runs; ++run) {
    int threads = 1 + run % 2;
    {
      std::vector<int> ends;
      FEncoder.SetOnTerminate([&ends](const void*, const TTerminateInfo& info) { ends.push_back(info.TaskIndex); });
      AddShortTask(FEncoder, Out("short-0.3gp"));
      AddShortTask(FEncoder, Out("short-1.3gp"));
      FEncoder.Start(threads);
      ASSERT_TRUE(WaitForTerminated(FEncoder)) << "run " << run;
      ASSERT_EQ(ends.size(), 3u) << "run " << run << " with " << threads << " threads";
      ASSERT_EQ(ends.back(), -1) << "run " << run;
      ASSERT_EQ(ends[0] + ends[1], 1) << "tasks 0 and 1, in either order";
    }
    FEncoder.ClearTasks();
  }
}

TEST_F(EncoderTest, StopWaitsForEveryEventOfTheRun) {
  std::vector<int> ends;
  FEncoder.SetOnTerminate([&ends](const void*, const TTerminateInfo& info) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a slow handler
    ends.push_back(info.TaskIndex);
  });
  for (int i = 0; i < 3; ++i) AddPhoneTask("clip.mp4", "wait-" + std::to_string(i) + ".3gp", true);
  FEncoder.Start(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  FEncoder.Stop(true);
  EXPECT_TRUE(FEncoder.Terminated());
  ASSERT_EQ(ends.size(), 4u);
  EXPECT_EQ(ends.back(), -1);
}

TEST_F(EncoderTest, HandlersMayStopAndClear) {
  // The first task's end stops the rest; the end of the run clears the list
  // from the delivery thread, which cannot join itself.
  TEvent cleared(false);
  std::vector<int> ends;
  FEncoder.SetOnTerminate([&](const void*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) FEncoder.Stop(true);
    if (info.TaskIndex == -1) FEncoder.ClearTasks();
    ends.push_back(info.TaskIndex);
    if (info.TaskIndex == -1) cleared.Set();
  });
  for (int i = 0; i < 3; ++i) AddShortTask(FEncoder, Out("cleared-" + std::to_string(i) + ".3gp"));
  FEncoder.Start(1);
  ASSERT_TRUE(cleared.WaitFor(std::chrono::seconds(10)));
  EXPECT_EQ(ends, (std::vector<int>{0, 1, 2, -1}));
  EXPECT_FALSE(FEncoder.Working());
  EXPECT_FALSE(FEncoder.Terminated()) << "cleared: a new list, not yet run";
  EXPECT_EQ(FEncoder.TasksCount(), 0);

  // The retired delivery thread is joined by the next run's clearing.
  ends.clear();
  FEncoder.SetOnTerminate([&](const void*, const TTerminateInfo& info) { ends.push_back(info.TaskIndex); });
  AddShortTask(FEncoder, Out("again.3gp"));
  FEncoder.Start(1);
  ASSERT_TRUE(WaitForTerminated(FEncoder));
  EXPECT_EQ(ends, (std::vector<int>{0, -1}));
  FEncoder.ClearTasks();
}

TEST_F(EncoderTest, ATaskIsTerminatedOnlyOnceItsEventHasReturned) {
  TFFmpeg engine;
  engine.Reset();
  std::vector<int> ends;
  engine.SetOnTerminate([&ends](const void*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ends.push_back(1);
  });
  ASSERT_TRUE(engine.OpenInputFile(Clip("part1.mp4")));
  engine.ParseOption("t", "0.2");
  ASSERT_EQ(engine.OpenOutputFile(Out("engine.mp4"), false), 1) << engine.LastErrMsg();
  ASSERT_TRUE(engine.StartConvert(true));
  ASSERT_TRUE(WaitForTerminated(engine));
  EXPECT_EQ(ends.size(), 1u);
  EXPECT_FALSE(engine.Converting());
  engine.Stop(true);
}

// The handler frees its own task, on the run's thread or inside
// StartConvert: what is left of the run must not touch the task. Under
// AddressSanitizer a write into the freed task fails the test.
TEST_F(EncoderTest, ATaskMayBeDestroyedByItsOwnTerminateHandler) {
  for (bool useThread : {true, false}) {
    auto* engine = new TFFmpeg;
    engine->Reset();
    // Shared: the event may still be setting when this loop goes on.
    auto destroyed = std::make_shared<TEvent>(false);
    engine->SetOnTerminate([engine, destroyed](const void*) {
      std::shared_ptr<TEvent> event = destroyed;  // the handler goes with the task
      delete engine;
      event->Set();
    });
    ASSERT_TRUE(engine->OpenInputFile(Clip("part1.mp4")));
    engine->ParseOption("t", "0.2");
    ASSERT_EQ(engine->OpenOutputFile(Out(useThread ? "freed-thread.mp4" : "freed-direct.mp4"), false), 1)
        << engine->LastErrMsg();
    EXPECT_EQ(engine->StartConvert(useThread), useThread);
    ASSERT_TRUE(destroyed->WaitFor(std::chrono::seconds(10)));
  }
}

}  // namespace
}  // namespace vidora::test

namespace vidora::test {
namespace {

TEST_F(EncoderTest, SwitchingPreviewsWhileBitmapsWaitForTheMainThread) {
  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  FEncoder.SetTriggerEventInMainThread(true);
  std::atomic<int> previews{0};
  FEncoder.SetOnPreviewBitmap([&](const void*, const TPreviewInfo& info) {
    EXPECT_GT(info.Bitmap->Width(), 0);
    ++previews;
  });
  FEncoder.SetPreviewBitmap(true);
  AddPhoneTask("clip.mp4", "switched.3gp");
  FEncoder.Task(0).PreviewInterval = 0;  // every picture waits for the main thread
  FEncoder.Start(1);
  TWatchdog watchdog(std::chrono::seconds(60), "switching the previews during a run");
  for (int i = 0; i < 100; ++i) {
    // A picture handed over meanwhile is waiting when the switch comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (i % 2)
      FEncoder.SetPreview(i % 4 == 1);
    else
      FEncoder.SetPreviewBitmap(i % 4 == 0);
    queue.ProcessPending();
  }
  while (!FEncoder.Terminated()) queue.WaitAndProcess(std::chrono::milliseconds(10));
  EXPECT_GT(previews, 0);
  EXPECT_EQ(Ends().back().TaskIndex, -1);
  EXPECT_TRUE(Ends().front().Finished) << Ends().front().ExceptionMsg;
}

// Holds every call handed to the main thread until released, counting the
// calls that wait; released calls run on the threads that handed them over.
class THeldHandOver : public IMainThreadHandOver {
 public:
  bool IsMainThread() const override { return std::this_thread::get_id() == FMain; }
  void RunAndWait(const std::function<void()>& call) override {
    {
      std::unique_lock lock(FLock);
      ++FWaiting;
      FChanged.notify_all();
      FChanged.wait(lock, [this] { return FReleased; });
    }
    call();
  }
  void Post(std::function<void()> call) override { call(); }
  bool WaitUntilWaiting(int count) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, std::chrono::seconds(10), [&] { return FWaiting >= count; });
  }
  void Release() {
    std::lock_guard lock(FLock);
    FReleased = true;
    FChanged.notify_all();
  }

 private:
  std::thread::id FMain = std::this_thread::get_id();
  std::mutex FLock;
  std::condition_variable FChanged;
  int FWaiting = 0;
  bool FReleased = false;
};

// Two workers' events wait for the main thread at the same time, each with
// its own record: no lock of the encoder is held while an event waits.
TEST_F(EncoderTest, ProgressAndPreviewsWaitForTheMainThreadWithNoLockHeld) {
  for (bool progress : {true, false}) {
    const char* kind = progress ? "progress" : "preview";
    THeldHandOver handOver;
    SetMainThreadHandOver(&handOver);
    FEncoder.SetTriggerEventInMainThread(true);
    std::mutex lock;
    std::set<int> tasks;
    auto seen = [&](int task) {
      std::lock_guard held(lock);
      tasks.insert(task);
    };
    FEncoder.SetOnProgress(progress ? TCustomEncoder::TProgressEvent(
                                          [&](const void*, const TProgressInfo* info) { seen(info->TaskIndex); })
                                    : nullptr);
    FEncoder.SetOnPreviewBitmap(progress ? nullptr
                                         : TCustomEncoder::TPreviewBitmapEvent(
                                               [&](const void*, const TPreviewInfo& info) { seen(info.TaskIndex); }));
    FEncoder.SetPreviewBitmap(!progress);
    FEncoder.SetProgressInterval(100);
    AddPhoneTask("clip.mp4", std::string(kind) + "-0.3gp", true);
    AddPhoneTask("clip.mp4", std::string(kind) + "-1.3gp", true);
    FEncoder.Start(2);
    bool both = handOver.WaitUntilWaiting(2);
    handOver.Release();
    FEncoder.Stop(true);
    EXPECT_TRUE(both) << kind << ": one task's event waited for the other's";
    EXPECT_EQ(tasks, (std::set<int>{0, 1})) << kind;
    FEncoder.ClearTasks();
    SetMainThreadHandOver(nullptr);
  }
}

TEST_F(EncoderTest, AnIndexOutsideTheListRaises) {
  AddPhoneTask("part1.mp4", "index.3gp");
  auto raised = [](auto call) -> std::string {
    try {
      call();
    } catch (const std::out_of_range& error) {
      return error.what();
    }
    return "nothing raised";
  };
  EXPECT_EQ(raised([&] { FEncoder.RemoveTask(1); }), "List index out of bounds (1)");
  EXPECT_EQ(raised([&] { FEncoder.RemoveTask(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(raised([&] { FEncoder.Exchange(0, 5); }), "List index out of bounds (5)");
  EXPECT_EQ(FEncoder.TasksCount(), 1) << "the list is unchanged";
}

}  // namespace
}  // namespace vidora::test
