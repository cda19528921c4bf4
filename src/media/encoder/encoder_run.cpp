// Running the task list: starting tasks, relaying their events, the end of the run.
#include <algorithm>
#include <chrono>

#include "media/base/main_thread.h"
#include "media/encoder/encoder.h"

namespace vidora {

void TCustomEncoder::Start(int threadCount) {
  Guard("StartTask");
  std::unique_lock lock(FTerminateLock);
  FCompleteTasks = 0;
  FCurrentTask = 0;
  FPendingTasks = TasksCount();
  FRunEnded = false;
  FTerminated = false;
  FThreadMode = threadCount > 0;
  FWorking = true;
  if (FThreadMode) {
    StartDelivery();
    if (TasksCount() == 0) FinishRun();  // nothing to run: the run ends at once
    // The lock stays held while the first tasks start, so that one ending
    // meanwhile sees consistent counters (it takes the lock to start the next).
    for (; threadCount > 0 && FPendingTasks > 0; --threadCount) StartNext();
    return;
  }
  // Every task on this thread, one after another, with nothing held: a
  // handler may call Stop from another thread.
  lock.unlock();
  if (TasksCount() == 0) FinishRun();
  while (TEncoderTask* task = TakeNext()) task->StartConvert(false, FThreadPriority);
}

TEncoderTask* TCustomEncoder::TakeNext() {
  std::lock_guard lock(FTerminateLock);
  if (FPendingTasks <= 0) return nullptr;
  --FPendingTasks;
  TEncoderTask& task = Task(FCurrentTask++);
  task.ReportInterval = int64_t{FProgressInterval} * 1000;
  return &task;
}

void TCustomEncoder::StartNext() {
  if (TEncoderTask* task = TakeNext()) task->StartConvert(true, FThreadPriority);
}

void TCustomEncoder::DoTaskTerminate(TEncoderTask* task) {
  TTerminateInfo info;
  bool last;
  {
    std::lock_guard lock(FTerminateLock);
    info = TTerminateInfo{FFFmpegList.IndexOf(task), task->Finished(), task->FatalException(), task->FatalMessage(),
                          task->Shortfall(), task->Adjustments(), task->CutShortAt()};
    last = ++FCompleteTasks >= TasksCount() && FPendingTasks < 1;
    if (FThreadMode) {
      // Queued under the lock, so that the run's end is queued behind every task's.
      QueueEndLocked(info);
      if (last)
        FinishRun();
      else
        StartNext();
      return;
    }
  }
  NotifyTerminate(info);
  if (last) FinishRun();
}

void TCustomEncoder::FinishRun() {
  const TTerminateInfo end{-1, true, false, ""};
  {
    std::lock_guard lock(FTerminateLock);
    if (FThreadMode) {
      FRunEnded = true;
      QueueEndLocked(end);  // Terminated turns true once the delivery thread has delivered it
      return;
    }
  }
  // The task that ended last is still on this thread's stack: the run counts
  // as ended (ClearTasks may free the tasks) only once the event has returned.
  NotifyTerminate(end);
  {
    std::lock_guard lock(FTerminateLock);
    FRunEnded = true;
  }
  FTerminated = true;
}

bool TCustomEncoder::RunEnded() {
  std::lock_guard lock(FTerminateLock);
  return FRunEnded;
}

void TCustomEncoder::NotifyTerminate(const TTerminateInfo& info) {
  if (!FOnTerminate || FDestroying) return;
  try {
    FOnTerminate(this, info);
  } catch (...) {
    // A failing handler must not hold back the end-of-run event.
  }
}

void TCustomEncoder::StartDelivery() {
  std::lock_guard lock(FDeliveryLock);
  FPendingEnds.clear();
  FDelivering = true;
  FDeliveryClosing = false;
  FDeliveryThread = std::thread([this] { DeliverEnds(); });
}

void TCustomEncoder::QueueEndLocked(const TTerminateInfo& info) {
  std::lock_guard lock(FDeliveryLock);
  FPendingEnds.push_back(info);
  FDeliveryChanged.notify_all();
}

void TCustomEncoder::DeliverEnds() {
  std::unique_lock lock(FDeliveryLock);
  for (;;) {
    FDeliveryChanged.wait(lock, [this] { return !FPendingEnds.empty() || FDeliveryClosing; });
    if (FPendingEnds.empty()) break;
    TTerminateInfo info = std::move(FPendingEnds.front());
    FPendingEnds.pop_front();
    lock.unlock();
    NotifyTerminate(info);
    lock.lock();
    if (FDeliveryThread.get_id() != std::this_thread::get_id()) {
      // The handler cleared the run and retired this thread: nothing more of the run goes out.
      --FRetiredRunning;
      FDeliveryChanged.notify_all();
      return;
    }
    if (info.TaskIndex < 0) {
      FTerminated = true;
      break;
    }
  }
  FDelivering = false;
  FDeliveryChanged.notify_all();
}

bool TCustomEncoder::OnDeliveryThread() {
  std::lock_guard lock(FDeliveryLock);
  return FDeliveryThread.get_id() == std::this_thread::get_id();
}

void TCustomEncoder::CloseDelivery() {
  std::thread::id self = std::this_thread::get_id();
  std::vector<std::thread> finished;
  {
    std::unique_lock lock(FDeliveryLock);
    if (FDeliveryThread.get_id() == self) {
      // A handler on the delivery thread cannot join its own thread: the
      // thread stops delivering and whoever closes next joins it.
      FPendingEnds.clear();
      FDelivering = false;
      ++FRetiredRunning;
      FRetiredDeliveries.push_back(std::move(FDeliveryThread));
      return;
    }
    bool retiredSelf =
        std::ranges::any_of(FRetiredDeliveries, [&](const std::thread& thread) { return thread.get_id() == self; });
    FDeliveryClosing = true;
    FDeliveryChanged.notify_all();
    // Their handlers may be waiting for this thread (the main one, say).
    while (!FDeliveryChanged.wait_for(lock, std::chrono::milliseconds(20), [&] {
      return !FDelivering && FRetiredRunning == (retiredSelf ? 1 : 0);
    })) {
      lock.unlock();
      ProcessPendingCalls();
      lock.lock();
    }
    if (FDeliveryThread.joinable()) finished.push_back(std::move(FDeliveryThread));
    for (std::thread& thread : FRetiredDeliveries)
      if (thread.get_id() != self) finished.push_back(std::move(thread));
    std::erase_if(FRetiredDeliveries, [](const std::thread& thread) { return !thread.joinable(); });
  }
  for (std::thread& thread : finished) thread.join();
}

void TCustomEncoder::Pause() { FFFmpegList.PauseAll(); }

void TCustomEncoder::Resume() { FFFmpegList.ResumeAll(); }

void TCustomEncoder::Stop(bool waitForStop) {
  {
    std::lock_guard lock(FTerminateLock);
    FPendingTasks = 0;  // no further task starts
  }
  if (FWorking) FFFmpegList.StopAll(waitForStop);
  // Every task has ended now, unless this is one of their own handlers.
  if (waitForStop && RunEnded() && !OnDeliveryThread()) CloseDelivery();
}

// Handed to the main thread with no lock held: every call carries its own copy
// of the record, and the main thread takes one call at a time. Called on the
// worker, the handler still runs under the lock, one call at a time.
void TCustomEncoder::Deliver(std::mutex& lock, const std::function<void()>& call) {
  if (FTriggerEventInMainThread && !IsMainThread()) {
    RunInMainThread(call);
    return;
  }
  std::lock_guard held(lock);
  call();
}

void TCustomEncoder::DoTaskProgress(TEncoderTask& task, int fileIndex, int frameNumber, int fps, float quality,
                                    float bitRate, int64_t currentSize, int64_t currentDuration,
                                    int64_t totalDuration) {
  if (!FOnProgress || FDestroying) return;
  TProgressInfo info{FFFmpegList.IndexOf(&task), fileIndex,   frameNumber,     fps,          quality,
                     bitRate,                    currentSize, currentDuration, totalDuration};
  Deliver(FProgressLock, [&] { FOnProgress(this, &info); });
}

void TCustomEncoder::DoTaskPreviewBitmap(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts) {
  if (!FOnPreviewBitmap || FDestroying) return;
  const TPreviewInfo info{FFFmpegList.IndexOf(&task), &bitmap, frameNumber, pts};
  Deliver(FPreviewLock, [&] { FOnPreviewBitmap(this, info); });
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
