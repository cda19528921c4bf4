// The task list and the operations that describe tasks.
#include "media/encoder/encoder.h"

#include <stdexcept>

#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/encoder/option_text.h"

namespace vidora {

TEncoderTask::~TEncoderTask() {
  SetOnInputVideoHook(nullptr);
  SetOnOutputVideoHook(nullptr);
  SetOnPreviewBitmap(nullptr);
  SetOnAudioHook(nullptr);
  SetOnProgress(nullptr);
  SetOnTerminate(nullptr);
  Stop(true);  // the engine's own end; its events are already detached
  for (auto& decoder : FDecoders) decoder.reset();
  for (IClientStream* stream : FStreams) UnregisterClientStream(stream);
}

TFFDecoder& TEncoderTask::Decoder(int index) {
  if (!FDecoders[index]) {
    FDecoders[index] = std::make_unique<TFFDecoder>();
    if (index < nb_input_files()) FDecoders[index]->SetFileHandle(InputFile(index).ctx.get());
  }
  return *FDecoders[index];
}

int TFFmpegList::Add(std::unique_ptr<TEncoderTask> task) {
  FItems.push_back(std::move(task));
  return Count() - 1;
}

void TFFmpegList::Delete(int index) { FItems.erase(FItems.begin() + CheckedIndex(index)); }

void TFFmpegList::Exchange(int index1, int index2) {
  std::swap(FItems[CheckedIndex(index1)], FItems[CheckedIndex(index2)]);
}

size_t TFFmpegList::CheckedIndex(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range(Format("List index out of bounds (%d)", index));
  return static_cast<size_t>(index);
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* task) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[i].get() == task) return i;
  return -1;
}

void TFFmpegList::PauseAll() {
  for (auto& task : FItems) task->Pause();
}

void TFFmpegList::ResumeAll() {
  for (auto& task : FItems) task->Resume();
}

void TFFmpegList::StopAll(bool waitForStop) {
  for (auto& task : FItems) task->StopOrTerminate(waitForStop);
}

void TFFmpegList::SetPreviewAll(bool on) {
  for (auto& task : FItems) task->SetPostHooks(on ? task->PostHooks() | phPreview : task->PostHooks() & ~phPreview);
}

void TFFmpegList::SetPreviewBitmapAll(bool on) {
  for (auto& task : FItems) task->SetPostHooks(on ? task->PostHooks() | phBitmap : task->PostHooks() & ~phBitmap);
}

TCustomEncoder::TCustomEncoder() : TFFBaseComponent("3.6") {}

TCustomEncoder::~TCustomEncoder() {
  // No event goes out any more. The handlers themselves are left alone: a
  // relay on a worker may be reading one until Stop returns.
  FDestroying = true;
  Stop(true);
  CloseDelivery();
  // Wait for relays that are running.
  { std::lock_guard lock(FAudioHookLock); }
  { std::lock_guard lock(FPreviewLock); }
  { std::lock_guard lock(FProgressLock); }
  { std::lock_guard lock(FVideoHookLock); }
  { std::lock_guard lock(FTerminateLock); }
  FFFmpegList.Clear();
}

bool TCustomEncoder::AVLibLoaded() const { return FLibraries.Loaded(); }

bool TCustomEncoder::LoadAVLib(const std::string& path) { return FLibraries.Load(path, FLastErrMsg); }

void TCustomEncoder::UnloadAVLib() {
  // No task may run on tables that are about to be cleared.
  if (AVLibLoaded()) Stop(true);
  FLibraries.Unload();
}

void TCustomEncoder::Guard(const char* operation) const {
  if (FWorking) throw std::runtime_error(Format("Cannot %s while working.", operation));
}

void TCustomEncoder::Failed(const std::exception& error) {
  FLastErrMsg = error.what();
  FLastErrorIsOption = dynamic_cast<const FFmpegOptionException*>(&error) != nullptr;
}

bool TCustomEncoder::OpenInput(TEncoderTask& task, const std::string& fileName, TInputOptions* options) {
  int index = task.nb_input_files();
  if (options) {
    if (options->FileName.empty()) options->FileName = fileName;
    task.FInputOptions[index] = *options;
    ApplyInputOptions(task, *options);
  } else if (task.FInputOptions[index]) {
    task.FInputOptions[index] = TInputOptions{};
  }
  if (!task.OpenInputFile(fileName)) {
    FLastErrMsg = task.LastErrMsg();
    FLastErrorIsOption = false;
    if (task.FInputOptions[index]) task.FInputOptions[index] = TInputOptions{};
    return false;
  }
  return true;
}

int TCustomEncoder::AddTask(const std::string& fileName, TInputOptions* options) {
  Guard("AddTask");
  auto task = std::make_unique<TEncoderTask>(this);
  try {
    task->Reset();
    task->ParseOption("v", std::to_string(FVerbose));
    TPostHooks hooks = task->PostHooks() & ~(phPreview | phBitmap);
    task->SetPostHooks(hooks | (FPreview ? phPreview : 0) | (FPreviewBitmap ? phBitmap : 0));
    TEncoderTask* self = task.get();
    task->SetOnPreviewBitmap([this, self](const void*, TBitmap& bitmap, int frameNumber, int64_t pts) {
      DoTaskPreviewBitmap(*self, bitmap, frameNumber, pts);
    });
    if (!OpenInput(*task, fileName, options)) return -1;
    task->SetOnProgress([this, self](const void*, int fileIndex, int frameNumber, int fps, float quality,
                                     float bitRate, int64_t size, int64_t duration, int64_t total) {
      DoTaskProgress(*self, fileIndex, frameNumber, fps, quality, bitRate, size, duration, total);
    });
    task->SetOnTerminate([this, self](const void*) { DoTaskTerminate(self); });
  } catch (const std::exception& error) {
    Failed(error);
    return -1;
  }
  return FFFmpegList.Add(std::move(task));
}

int TCustomEncoder::AddTask(const std::string& fileName, const std::string& extOptions) {
  TInputOptions options = InputOptionsFromText(extOptions);
  return AddTask(fileName, &options);
}

int TCustomEncoder::AddTask(IClientStream* stream, const std::string& privateData, TInputOptions* options) {
  std::string name = RegisterClientStream(stream, privateData);
  int index = AddTask(name, options);
  if (index < 0)
    UnregisterClientStream(stream);
  else
    Task(index).FStreams.push_back(stream);
  return index;
}

bool TCustomEncoder::AddInputFile(int taskIndex, const std::string& fileName, TInputOptions* options) {
  Guard("AddInputFile");
  TEncoderTask& task = Task(taskIndex);
  if (task.nb_input_files() >= MAX_FILES) {
    FLastErrMsg = Format("max input files %d reached", MAX_FILES);
    FLastErrorIsOption = false;
    return false;
  }
  try {
    return OpenInput(task, fileName, options);
  } catch (const std::exception& error) {
    Failed(error);
    return false;
  }
}

bool TCustomEncoder::AddInputFile(int taskIndex, const std::string& fileName, const std::string& extOptions) {
  TInputOptions options = InputOptionsFromText(extOptions);
  return AddInputFile(taskIndex, fileName, &options);
}

void TCustomEncoder::BindHooks(TEncoderTask& task, const TOutputOptions& options) {
  TEncoderTask* self = &task;
  if (options.AudioHook)
    task.SetOnAudioHook([this, self](const void*, int64_t pts, uint8_t** samples, int size, int rate, int channels,
                                     AVSampleFormat format) {
      DoTaskAudioHook(*self, pts, samples, size, rate, channels, format);
    });
  if (options.VideoInputHook)
    task.SetOnInputVideoHook([this, self](const void*, TBitmap& bitmap, int frame, int64_t pts, bool& update,
                                          bool& stop) { DoTaskInputVideoHook(*self, bitmap, frame, pts, update, stop); });
  if (options.VideoOutputHook)
    task.SetOnOutputVideoHook([this, self](const void*, TBitmap& bitmap, int frame, int64_t pts, bool& update,
                                           bool& stop) { DoTaskOutputVideoHook(*self, bitmap, frame, pts, update, stop); });
  task.SetVideoHookBitsPixel(options.VideoHookBitsPixel);
}

bool TCustomEncoder::SetOutputFile(int taskIndex, const std::string& fileName, TOutputOptions* options) {
  Guard("SetOutputFile");
  TEncoderTask& task = Task(taskIndex);
  int index = task.nb_output_files();
  if (index >= MAX_FILES) {
    FLastErrMsg = Format("max output files %d reached", MAX_FILES);
    FLastErrorIsOption = false;
    return false;
  }
  try {
    std::optional<TStreamDefaults> defaults;
    bool join = false;
    if (options) {
      if (options->FileName.empty()) options->FileName = fileName;
      task.FOutputOptions[index] = *options;
      defaults.emplace(*options);
      ApplyOutputOptions(task, *options, *defaults);
      BindHooks(task, *options);
      join = options->Join;
    } else if (task.FOutputOptions[index]) {
      task.FOutputOptions[index] = TOutputOptions{};
    }
    if (task.OpenOutputFile(fileName, join) < 0) {
      FLastErrMsg = task.LastErrMsg();
      FLastErrorIsOption = task.LastErrorIsOption();
      if (task.FOutputOptions[index]) task.FOutputOptions[index] = TOutputOptions{};
      return false;
    }
    if (options) AddOutputStreams(task, options->ExtOptions, *defaults);
    return true;
  } catch (const std::exception& error) {
    Failed(error);
    return false;
  }
}

bool TCustomEncoder::SetOutputFile(int taskIndex, const std::string& fileName, const std::string& extOptions) {
  TOutputOptions options = OutputOptionsFromText(extOptions);
  return SetOutputFile(taskIndex, fileName, &options);
}

bool TCustomEncoder::SetOutputStream(int taskIndex, IClientStream* stream, const std::string& privateData,
                                     TOutputOptions* options) {
  std::string name = RegisterClientStream(stream, privateData);
  bool ok = SetOutputFile(taskIndex, name, options);
  if (ok)
    Task(taskIndex).FStreams.push_back(stream);
  else
    UnregisterClientStream(stream);
  return ok;
}

void TCustomEncoder::ClearTasks() {
  if (FWorking && !RunEnded()) throw std::runtime_error("Cannot ClearTasks while working.");
  CloseDelivery();
  FFFmpegList.Clear();
  FLastErrMsg.clear();
  {
    std::lock_guard lock(FTerminateLock);
    FCompleteTasks = 0;
    FCurrentTask = -1;
    FPendingTasks = 0;
    FThreadMode = false;
    FRunEnded = false;
  }
  FTerminated = false;
  FWorking = false;
}

void TCustomEncoder::Exchange(int taskIndex1, int taskIndex2) {
  Guard("Exchange");
  FFFmpegList.Exchange(taskIndex1, taskIndex2);
}

void TCustomEncoder::RemoveTask(int taskIndex) {
  Guard("RemoveTask");
  FFFmpegList.Delete(taskIndex);
}

void TCustomEncoder::SetPreview(bool on) {
  FFFmpegList.SetPreviewAll(on);
  FPreview = on;
}

void TCustomEncoder::SetPreviewBitmap(bool on) {
  FFFmpegList.SetPreviewBitmapAll(on);
  FPreviewBitmap = on;
}

}  // namespace vidora
