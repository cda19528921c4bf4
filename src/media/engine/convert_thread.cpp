// Starting, pausing, stopping and ending a run.
#include <sys/resource.h>
#include <unistd.h>

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
  std::lock_guard lock(FThreadLock);
  if (FThread.joinable()) FThread.join();
  FStopEvent.Reset();
  FThread = std::thread([this, priority] {
    ApplyPriority(priority);
    DoConvert();
    FStopEvent.Set();
  });
  return true;
}

void TCustomFFmpeg::DoConvert() {
  FFinished = false;
  Guarded(*this, FFatalException, FFatalMessage, [this] { Transcode(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { CloseCodecs(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { ReleaseRun(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { Cleanup(); });
  Guarded(*this, FFatalException, FFatalMessage, [this] { DoTerminate(); });
}

bool TCustomFFmpeg::ClaimRun() {
  bool idle = false;
  if (!FConverting.compare_exchange_strong(idle, true)) return false;
  if (!FTerminated) return true;
  FConverting = false;  // it ended while we looked
  return false;
}

void TCustomFFmpeg::DoTerminate() {
  if (FOnTerminate) FOnTerminate(this);
  // Only now: whoever sees the task terminated may rely on its event having
  // returned. Terminated turns true before Converting turns false, so that
  // StopOrTerminate never finds a run that is neither converting nor ended.
  FTerminated = true;
  FConverting = false;
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
