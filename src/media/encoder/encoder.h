// The encoder component: a list of conversion tasks, run one or several at a
// time on worker threads, with events for progress, previews, hooks and ends.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "media/base/base_component.h"
#include "media/base/client_stream.h"
#include "media/base/loader.h"
#include "media/decode/decoder.h"
#include "media/encoder/options.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

class TCustomEncoder;

// One task: an engine with a decoder per input and copies of its option records.
class TEncoderTask : public TFFmpeg {
 public:
  explicit TEncoderTask(TCustomEncoder* parent) : FParent(parent) {}
  ~TEncoderTask() override;
  TCustomEncoder* Parent() const { return FParent; }
  // The decoder attached to input `index`, made and attached on first use.
  TFFDecoder& Decoder(int index);
  std::array<std::optional<TInputOptions>, MAX_FILES> FInputOptions;
  std::array<std::optional<TOutputOptions>, MAX_FILES> FOutputOptions;
  std::vector<IClientStream*> FStreams;  // registered for this task's inputs and outputs

 private:
  TCustomEncoder* FParent;
  std::array<std::unique_ptr<TFFDecoder>, MAX_FILES> FDecoders;
};

class TFFmpegList {
 public:
  int Add(std::unique_ptr<TEncoderTask> task);
  void Clear() { FItems.clear(); }
  // Delete, Exchange and Items raise std::out_of_range for an index outside the list.
  void Delete(int index);
  void Exchange(int index1, int index2);
  TEncoderTask& Items(int index) const { return *FItems[CheckedIndex(index)]; }
  int IndexOf(const TCustomFFmpeg* task) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  void PauseAll();
  void ResumeAll();
  void StopAll(bool waitForStop);
  void SetPreviewAll(bool on);
  void SetPreviewBitmapAll(bool on);

 private:
  size_t CheckedIndex(int index) const;

  std::vector<std::unique_ptr<TEncoderTask>> FItems;
};

struct TProgressInfo {
  int TaskIndex = 0;
  int FileIndex = 0;
  int FrameNumber = 0;
  int FPS = 0;
  float Quality = 0;
  float BitRate = 0;
  int64_t CurrentSize = 0;
  int64_t CurrentDuration = 0;
  int64_t TotalDuration = 0;
};

struct TTerminateInfo {
  int TaskIndex = -1;  // -1: the end of the whole run
  bool Finished = false;
  bool Exception = false;
  std::string ExceptionMsg;
  std::string Shortfall;  // what a finished output lacks; empty: nothing
  std::vector<std::string> Adjustments;  // what was changed from the options given
  int64_t CutShortAt = -1;  // a file cut short: where its data ends, µs of the film; -1: none was
};

struct TPreviewInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
};

struct THookInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = true;
  bool StopHook = false;
};

class TCustomEncoder : public TFFBaseComponent {
 public:
  using TProgressEvent = std::function<void(const void* sender, const TProgressInfo* info)>;
  using TTerminateEvent = std::function<void(const void* sender, const TTerminateInfo& info)>;
  using TPreviewBitmapEvent = std::function<void(const void* sender, const TPreviewInfo& info)>;
  using TVideoHookEvent = std::function<void(const void* sender, THookInfo* info)>;
  using TAudioHookEvent = std::function<void(const void* sender, int taskIndex, int64_t pts, uint8_t** samples,
                                             int size, int sampleRate, int channels, AVSampleFormat sampleFormat)>;

  TCustomEncoder();
  ~TCustomEncoder() override;
  TCustomEncoder(const TCustomEncoder&) = delete;
  TCustomEncoder& operator=(const TCustomEncoder&) = delete;

  bool AVLibLoaded() const;
  bool LoadAVLib(const std::string& path);
  void UnloadAVLib();

  int AddTask(const std::string& fileName, TInputOptions* options = nullptr);
  int AddTask(const std::string& fileName, const std::string& extOptions);
  int AddTask(IClientStream* stream, const std::string& privateData, TInputOptions* options = nullptr);
  bool AddInputFile(int taskIndex, const std::string& fileName, TInputOptions* options = nullptr);
  bool AddInputFile(int taskIndex, const std::string& fileName, const std::string& extOptions);
  bool SetOutputFile(int taskIndex, const std::string& fileName, TOutputOptions* options = nullptr);
  bool SetOutputFile(int taskIndex, const std::string& fileName, const std::string& extOptions);
  bool SetOutputStream(int taskIndex, IClientStream* stream, const std::string& privateData,
                       TOutputOptions* options = nullptr);
  // Raises "Cannot ClearTasks while working." until every task of the run has
  // ended; then returns after the run's termination events have been delivered.
  // An OnTerminate handler may call it once the run has ended: nothing more of
  // that run is delivered, and meanwhile no other thread may use the encoder.
  void ClearTasks();
  void Exchange(int taskIndex1, int taskIndex2);
  void RemoveTask(int taskIndex);

  // AThreadCount > 0: that many tasks at a time on worker threads; otherwise
  // every task on this thread, one after another, before Start returns.
  void Start(int threadCount);
  void Pause();
  void Resume();
  // With waitForStop, returns when every task has ended and the run's
  // termination events have been delivered; an OnTerminate handler calling it
  // does not wait for the events queued behind its own.
  void Stop(bool waitForStop);

  TFFDecoder& Decoder() { return FDecoder; }
  const std::string& LastErrMsg() const { return FLastErrMsg; }
  // Whether the last failure was an option of the option text that nothing
  // takes or a value refused: the same text fails every file.
  bool LastErrorIsOption() const { return FLastErrorIsOption; }
  int TasksCount() const { return FFFmpegList.Count(); }
  TEncoderTask& Task(int index) const { return FFFmpegList.Items(index); }
  bool Preview() const { return FPreview; }
  void SetPreview(bool on);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool on);
  int ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int milliseconds) { FProgressInterval = milliseconds <= 100 ? 100 : milliseconds; }
  // True once the end-of-run event (task index -1) has been delivered.
  bool Terminated() const { return FTerminated; }
  bool Working() const { return FWorking; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool on) { FTriggerEventInMainThread = on; }
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  // For the worker threads of tasks started later.
  void SetThreadPriority(TThreadPriority priority) { FThreadPriority = priority; }
  int Verbose() const { return FVerbose; }
  void SetVerbose(int verbose) { FVerbose = verbose; }
  void* UserData = nullptr;

  void SetOnProgress(TProgressEvent handler) { FOnProgress = std::move(handler); }
  void SetOnTerminate(TTerminateEvent handler) { FOnTerminate = std::move(handler); }
  void SetOnPreviewBitmap(TPreviewBitmapEvent handler) { FOnPreviewBitmap = std::move(handler); }
  void SetOnVideoInputHook(TVideoHookEvent handler) { FOnInputVideoHook = std::move(handler); }
  void SetOnVideoOutputHook(TVideoHookEvent handler) { FOnOutputVideoHook = std::move(handler); }
  void SetOnAudioHook(TAudioHookEvent handler) { FOnAudioHook = std::move(handler); }

 protected:
  // The relays bound to each task's engine events (encoder_run.cpp).
  virtual void DoTaskInputVideoHook(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts, bool& update,
                                    bool& stopHook);
  virtual void DoTaskOutputVideoHook(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts, bool& update,
                                     bool& stopHook);
  virtual void DoTaskPreviewBitmap(TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts);
  virtual void DoTaskProgress(TEncoderTask& task, int fileIndex, int frameNumber, int fps, float quality,
                              float bitRate, int64_t currentSize, int64_t currentDuration, int64_t totalDuration);
  virtual void DoTaskTerminate(TEncoderTask* task);
  void DoTaskAudioHook(TEncoderTask& task, int64_t pts, uint8_t** samples, int size, int sampleRate, int channels,
                       AVSampleFormat sampleFormat);

 private:
  friend class TEncoderTask;
  void Guard(const char* operation) const;
  bool OpenInput(TEncoderTask& task, const std::string& fileName, TInputOptions* options);
  void BindHooks(TEncoderTask& task, const TOutputOptions& options);
  void StartNext();
  // The next pending task, counted as started; nullptr when none is left.
  TEncoderTask* TakeNext();
  void FinishRun();
  void NotifyTerminate(const TTerminateInfo& info);
  void VideoHook(const TVideoHookEvent& handler, TEncoderTask& task, TBitmap& bitmap, int frameNumber, int64_t pts,
                 bool& update, bool& stopHook);
  // Thread mode: one delivery thread per run hands the termination events to
  // the client in the order they were queued, every task's before the run's.
  void StartDelivery();
  // With FTerminateLock held, so that the run's end is queued behind every task's.
  void QueueEndLocked(const TTerminateInfo& info);
  void DeliverEnds();
  bool OnDeliveryThread();
  // Waits until the queued events are delivered and joins the delivery
  // threads; from a handler on the delivery thread, stops the delivery instead.
  void CloseDelivery();
  bool RunEnded();
  // Calls a progress or preview handler, on the main thread when asked.
  void Deliver(std::mutex& lock, const std::function<void()>& call);

  // Records the failure of an operation for LastErrMsg.
  void Failed(const std::exception& error);

  // The host's thread: settings, handlers and the task list, changed only
  // while no run is working; the workers read them.
  TComponentLibraries FLibraries{EncoderLibraries};
  std::string FLastErrMsg;
  bool FLastErrorIsOption = false;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FProgressInterval = 500;
  TThreadPriority FThreadPriority = tpNormal;
  std::atomic<bool> FTriggerEventInMainThread{true};
  int FVerbose = 1;
  TProgressEvent FOnProgress;
  TTerminateEvent FOnTerminate;
  TPreviewBitmapEvent FOnPreviewBitmap;
  TVideoHookEvent FOnInputVideoHook;
  TVideoHookEvent FOnOutputVideoHook;
  TAudioHookEvent FOnAudioHook;
  TFFDecoder FDecoder;
  TFFmpegList FFFmpegList;

  // One handler call of each kind at a time on the workers; the progress and
  // preview records are each call's own.
  std::mutex FProgressLock;
  std::mutex FPreviewLock;
  std::mutex FVideoHookLock;  // owns FVideoHookInfo from filling until its handler returns
  THookInfo FVideoHookInfo;
  std::mutex FAudioHookLock;  // one audio hook at a time

  // The run's counters and the choice of its end, owned by FTerminateLock.
  std::recursive_mutex FTerminateLock;
  int FCompleteTasks = 0;
  int FCurrentTask = -1;
  int FPendingTasks = 0;
  bool FThreadMode = false;
  bool FRunEnded = false;  // every task has ended; the end-of-run event is on its way

  // Termination events on their way to the client, owned by FDeliveryLock.
  std::mutex FDeliveryLock;
  std::condition_variable FDeliveryChanged;
  std::deque<TTerminateInfo> FPendingEnds;
  std::thread FDeliveryThread;                   // the current run's
  bool FDelivering = false;                      // the current run's delivery thread has work left
  bool FDeliveryClosing = false;                 // it ends once nothing is queued
  std::vector<std::thread> FRetiredDeliveries;  // cleared their run from their own handler; joined later
  int FRetiredRunning = 0;                       // of those, the ones still in that handler

  // Read from any thread.
  std::atomic<bool> FDestroying{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FWorking{false};
};

class TFFEncoder : public TCustomEncoder {};

}  // namespace vidora
