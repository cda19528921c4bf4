// Starting, pausing, stopping and ending a run.
#include <sys/resource.h>
#include <unistd.h>

#include "media/base/bindings.h"
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
    FFLogger().Log(&engine, TLogLevel::llQuiet, std::string(error.what()));
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
  if (FConverting || FTerminated) return false;
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
  FConverting = true;
  FBroken = FFinished = FTerminated = false;
  FRunEvent.Set();
  if (!useThread) {
    DoConvert();
    return false;
  }
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

void TCustomFFmpeg::DoTerminate() {
  FConverting = false;
  FTerminated = true;
  if (FOnTerminate) FOnTerminate(this);
}

void TCustomFFmpeg::Pause() {
  if (FConverting && FThread.joinable()) FRunEvent.Reset();
}

void TCustomFFmpeg::Resume() { FRunEvent.Set(); }

void TCustomFFmpeg::Stop(bool waitForStop) {
  FBroken = true;
  FRunEvent.Set();  // a paused run must wake to see the request
  // The run's own thread (a handler asking to stop) cannot wait for itself.
  if (!waitForStop || !FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
  while (!FStopEvent.WaitFor(std::chrono::milliseconds(20))) ProcessPendingCalls();
  FThread.join();
}

void TCustomFFmpeg::StopOrTerminate(bool waitForStop) {
  if (FConverting) {
    Stop(waitForStop);
  } else if (!FTerminated) {
    DoTerminate();
  }
}

}  // namespace vidora
