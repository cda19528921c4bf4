// Starting, pausing, stopping and ending a run.
#include <sys/resource.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/logger.h"
#include "media/base/main_thread.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// Runs one step of the run's end; an error is recorded and the next step still runs.
template <typename Step>
void Guarded(TCustomFFmpeg& engine, std::atomic<bool>& fatal, std::string& message, Step step) {
  try {
    step();
  } catch (const std::exception& error) {
    FlushRepeatedLibraryLines();  // what was held back comes before the line that ends the run
    // The log line names the library's reason; the message users see keeps its fixed text.
    const auto* engineError = dynamic_cast<const FFmpegException*>(&error);
    FFLogger().Log(&engine, TLogLevel::llQuiet, engineError ? engineError->LogText() : std::string(error.what()));
    fatal = true;
    message = error.what();
  }
}

}  // namespace

namespace {

void ApplyPriority(TThreadPriority priority) {
  static constexpr int NiceValues[] = {19, 10, 5, 0, -5, -10, -20};
  if (priority != tpNormal) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), NiceValues[priority]);
}

// The task whose terminate handler runs on this thread, and whether the
// handler destroyed it.
struct TTerminating {
  const TCustomFFmpeg* Task;
  bool Destroyed = false;
};
thread_local TTerminating* Terminating = nullptr;

// Threads of tasks destroyed from their own terminate handler. A thread cannot
// join itself: the tasks stopped or started later on other threads join those
// that are done, and the end of the program joins the rest.
class TOrphanThreads {
 public:
  ~TOrphanThreads() {
    for (auto& [thread, done] : FThreads) thread.join();
  }
  void Add(std::thread thread, std::shared_ptr<std::atomic<bool>> done) {
    std::lock_guard lock(FLock);
    FThreads.emplace_back(std::move(thread), std::move(done));
  }
  void JoinDone() {
    std::vector<std::thread> done;
    {
      std::lock_guard lock(FLock);
      for (auto it = FThreads.begin(); it != FThreads.end();) {
        if (*it->second) {
          done.push_back(std::move(it->first));
          it = FThreads.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (std::thread& thread : done) thread.join();
  }

 private:
  std::mutex FLock;
  std::vector<std::pair<std::thread, std::shared_ptr<std::atomic<bool>>>> FThreads;
};

TOrphanThreads& OrphanThreads() {
  static TOrphanThreads threads;
  return threads;
}

}  // namespace

bool TCustomFFmpeg::StartConvert(bool useThread, TThreadPriority priority) {
  if (!ClaimRun()) return false;
  const char* missing = Foutput_files.empty()  ? "At least one output file must be specified"
                        : Finput_files.empty() ? "At least one input file must be specified"
                                               : nullptr;
  if (missing) {
    if (Foutput_files.empty()) Cleanup();
    Log(TLogLevel::llQuiet, "%s", missing);
    FFatalException = true;
    FFatalMessage = missing;
    DoTerminate();
    return false;
  }
  FBroken = FFinished = false;
  FRunEvent.Set();
  if (!useThread) {
    DoConvert();
    return false;
  }
  OrphanThreads().JoinDone();
  std::lock_guard lock(FThreadLock);
  if (FThread.joinable()) FThread.join();
  FStopEvent.Reset();
  FThreadDone = std::make_shared<std::atomic<bool>>(false);
  // Once the task is destroyed the thread holds its own end flag only.
  FThread = std::thread([this, priority, done = FThreadDone] {
    ApplyPriority(priority);
    if (DoConvert()) FStopEvent.Set();
    *done = true;
  });
  return true;
}

bool TCustomFFmpeg::DoConvert() {
  FFinished = false;
  Guarded(*this, FFatalException, FFatalMessage, [this] { Transcode(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { CloseCodecs(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { ReleaseRun(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { Cleanup(); });
  bool kept = true;
  Guarded(*this, FFatalException, FFatalMessage, [&] { kept = DoTerminate(); });
  return kept;
}

void TCustomFFmpeg::EndThread() {
  if (Terminating && Terminating->Task == this) Terminating->Destroyed = true;
  {
    std::lock_guard lock(FThreadLock);
    if (FThread.joinable()) {
      if (FThread.get_id() == std::this_thread::get_id())
        OrphanThreads().Add(std::move(FThread), std::move(FThreadDone));
      else
        FThread.join();
    }
  }
  OrphanThreads().JoinDone();
}

bool TCustomFFmpeg::ClaimRun() {
  bool idle = false;
  if (!FConverting.compare_exchange_strong(idle, true)) return false;
  if (!FTerminated) return true;
  FConverting = false;  // it ended while we looked
  return false;
}

bool TCustomFFmpeg::DoTerminate() {
  if (FOnTerminate) {
    TTerminating self{this};
    TTerminating* outer = std::exchange(Terminating, &self);
    struct TRestore {
      TTerminating* Outer;
      ~TRestore() { Terminating = Outer; }
    } restore{outer};
    FOnTerminate(this);
    if (self.Destroyed) return false;
  }
  // Only now: whoever sees the task terminated may rely on its event having
  // returned. Terminated turns true before Converting turns false, so that
  // StopOrTerminate never finds a run that is neither converting nor ended.
  FTerminated = true;
  FConverting = false;
  return true;
}

void TCustomFFmpeg::Pause() {
  std::lock_guard lock(FThreadLock);
  if (FConverting && FThread.joinable()) FRunEvent.Reset();
}

void TCustomFFmpeg::Resume() { FRunEvent.Set(); }

void TCustomFFmpeg::Stop(bool waitForStop) {
  FBroken = true;
  FRunEvent.Set();  // a paused run must wake to see the request
  if (!waitForStop) return;
  {
    std::lock_guard lock(FThreadLock);
    // The run's own thread (a handler asking to stop) cannot wait for itself.
    if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
  }
  while (!FStopEvent.WaitFor(std::chrono::milliseconds(20))) ProcessPendingCalls();
  // Several threads may have waited (the host and a handler, say): one joins.
  std::lock_guard lock(FThreadLock);
  if (FThread.joinable()) FThread.join();
}

void TCustomFFmpeg::StopOrTerminate(bool waitForStop) {
  if (ClaimRun())
    DoTerminate();  // it never started: its end is delivered here, once
  else if (FConverting)
    Stop(waitForStop);
}

}  // namespace vidora
