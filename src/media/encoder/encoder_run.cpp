// Running the task list: starting tasks, relaying their events, the end of the run.
#include <thread>

#include "media/base/main_thread.h"
#include "media/encoder/encoder.h"

namespace vidora {

void TCustomEncoder::Start(int threadCount) {
  Guard("StartTask");
  // Held while the first tasks start, so that a task ending meanwhile sees
  // consistent counters (it takes this lock to start the next one).
  std::unique_lock lock(FTerminateLock);
  FCompleteTasks = 0;
  FCurrentTask = 0;
  FPendingTasks = TasksCount();
  FTerminated = false;
  FThreadMode = threadCount > 0;
  FWorking = true;
  if (TasksCount() == 0) {
    FinishRun();  // nothing to run: the run ends at once
    return;
  }
  while (FPendingTasks > 0) {
    StartNext();
    if (FThreadMode && --threadCount == 0) break;
  }
}

void TCustomEncoder::StartNext() {
  if (FPendingTasks <= 0) return;
  --FPendingTasks;
  TEncoderTask& task = Task(FCurrentTask++);
  task.ReportInterval = int64_t{FProgressInterval} * 1000;
  task.StartConvert(FThreadMode, FThreadPriority);
}

void TCustomEncoder::DoTaskTerminate(TEncoderTask* task) {
  std::lock_guard lock(FTerminateLock);
  if (!task) {
    FinishRun();
    return;
  }
  if (FOnTerminate && !FDestroying) {
    FTerminateInfo.TaskIndex = FFFmpegList.IndexOf(task);
    FTerminateInfo.Finished = task->Finished();
    FTerminateInfo.Exception = task->FatalException();
    FTerminateInfo.ExceptionMsg = task->FatalMessage();
    if (FThreadMode || !FWorking) {
      StartTerminateThread(FTerminateInfo, false);
    } else {
      FOnTerminate(this, FTerminateInfo);
    }
  }
  ++FCompleteTasks;
  if (FPendingTasks < 1) {
    if (FCompleteTasks >= TasksCount()) FinishRun();
  } else if (FThreadMode) {
    StartNext();
  }
}

void TCustomEncoder::FinishRun() {
  if (FOnTerminate && !FDestroying) {
    FTerminateInfo = TTerminateInfo{-1, true, false, ""};
    if (FThreadMode || !FWorking)
      StartTerminateThread(FTerminateInfo, true);
    else
      FOnTerminate(this, FTerminateInfo);
  }
  FTerminated = true;
}

void TCustomEncoder::StartTerminateThread(const TTerminateInfo& info, bool waitForHandOver) {
  ++FTerminateThreads;
  // Several tasks' ends can be on their way at once (a stopped run ends them
  // together): the end of the run waits for all of them, not just the last started.
  if (!waitForHandOver) ++FTaskEndsOnTheirWay;
  std::thread([this, info, waitForHandOver, handler = FOnTerminate] {
    if (waitForHandOver)
      while (FTaskEndsOnTheirWay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    try {
      if (handler) handler(this, info);
    } catch (...) {
      // A failing handler must not hold back the end-of-run event.
    }
    if (!waitForHandOver) --FTaskEndsOnTheirWay;
    --FTerminateThreads;
  }).detach();
}

void TCustomEncoder::Pause() { FFFmpegList.PauseAll(); }

void TCustomEncoder::Resume() { FFFmpegList.ResumeAll(); }

void TCustomEncoder::Stop(bool waitForStop) {
  {
    std::lock_guard lock(FTerminateLock);
    FPendingTasks = 0;  // no further task starts
  }
  if (FWorking) FFFmpegList.StopAll(waitForStop);
}

void TCustomEncoder::Deliver(const std::function<void()>& call) {
  if (FTriggerEventInMainThread)
    RunInMainThread(call);
  else
    call();
}

void TCustomEncoder::DoTaskProgress(TEncoderTask& task, int fileIndex, int frameNumber, int fps, float quality,
                                    float bitRate, int64_t currentSize, int64_t currentDuration,
                                    int64_t totalDuration) {
  if (!FOnProgress || FDestroying) return;
  std::lock_guard lock(FProgressLock);
  FProgressInfo = TProgressInfo{FFFmpegList.IndexOf(&task), fileIndex,   frameNumber,     fps,          quality,
                                bitRate,                    currentSize, currentDuration, totalDuration};
  Deliver([this] { FOnProgress(this, &FProgressInfo); });
}

void TCustomEncoder::DoTaskPreviewBitmap(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts) {
  if (!FOnPreviewBitmap || FDestroying) return;
  std::lock_guard lock(FPreviewLock);
  FPreviewInfo = TPreviewInfo{FFFmpegList.IndexOf(&task), &bitmap, frameNumber, pts};
  Deliver([this] { FOnPreviewBitmap(this, FPreviewInfo); });
}

void TCustomEncoder::VideoHook(const TVideoHookEvent& handler, TEncoderTask& task, TBitmap& bitmap, int frameNumber,
                               int64_t pts, bool& update, bool& stopHook) {
  if (!handler || FDestroying) {
    update = false;  // nobody drew: the picture stays as it is
    return;
  }
  std::lock_guard lock(FVideoHookLock);
  FVideoHookInfo = THookInfo{FFFmpegList.IndexOf(&task), &bitmap, frameNumber, pts, update, stopHook};
  {
    std::lock_guard canvas(bitmap.Canvas());
    handler(this, &FVideoHookInfo);
  }
  update = FVideoHookInfo.Update;
  stopHook = FVideoHookInfo.StopHook;
}

void TCustomEncoder::DoTaskInputVideoHook(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts,
                                          bool& update, bool& stopHook) {
  VideoHook(FOnInputVideoHook, task, bitmap, frameNumber, pts, update, stopHook);
}

void TCustomEncoder::DoTaskOutputVideoHook(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts,
                                           bool& update, bool& stopHook) {
  VideoHook(FOnOutputVideoHook, task, bitmap, frameNumber, pts, update, stopHook);
}

void TCustomEncoder::DoTaskAudioHook(TEncoderTask& task, int64_t pts, uint8_t** samples, int size, int sampleRate,
                                     int channels, AVSampleFormat sampleFormat) {
  if (!FOnAudioHook || FDestroying) return;
  std::lock_guard lock(FAudioHookLock);
  FOnAudioHook(this, FFFmpegList.IndexOf(&task), pts, samples, size, sampleRate, channels, sampleFormat);
}

}  // namespace vidora
