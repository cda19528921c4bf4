#include "session/conversion_session.h"

#include <filesystem>

#include "media/base/main_thread.h"
#include "options/option_form.h"
#include "options/subtitle_scheduler.h"

namespace vidora {

namespace {

namespace fs = std::filesystem;

// Whether `output` may be written: never the input, never through a dangling
// link, an existing file only when the user said so. Empty when it may.
std::string OutputRefusal(const std::string& input, const std::string& output, bool overwrite) {
  std::error_code error;
  if (fs::equivalent(input, output, error)) return output + ": would overwrite the input";
  fs::file_status entry = fs::symlink_status(output, error);
  if (!fs::exists(entry)) return {};
  if (fs::is_symlink(entry) && !fs::exists(fs::status(output, error)))
    return output + ": a symbolic link to nothing; it is not written through";
  if (!overwrite) return output + ": exists; give --overwrite to replace it";
  return {};
}

}  // namespace

TConversionSession::TConversionSession(TfrmOption& options) : FOptions(options) { BindEncoder(); }

TConversionSession::~TConversionSession() {
  *FAlive = nullptr;
  FEncoder.SetOnTerminate(nullptr);
  FEncoder.SetOnProgress(nullptr);
  FEncoder.SetOnPreviewBitmap(nullptr);
  FEncoder.Stop(true);
  FEncoder.SetOnVideoInputHook(nullptr);
}

void TConversionSession::BindEncoder() {
  FEncoder.SetOnProgress([this](const void*, const TProgressInfo* info) {
    if (!FRunning || info->TaskIndex < 0 || info->TaskIndex >= static_cast<int>(FReached.size())) return;
    FReached[info->TaskIndex] = {info->CurrentDuration, info->TotalDuration};
    if (Events.Progress) Events.Progress(Progress());
  });
  FEncoder.SetOnPreviewBitmap([this](const void*, const TPreviewInfo& info) {
    if (FRunning && info.Bitmap && Events.Preview) Events.Preview(*info.Bitmap);
  });
  FEncoder.SetOnVideoInputHook([this](const void*, THookInfo* info) { OnHook(*info); });
  FEncoder.SetOnTerminate([this](const void*, const TTerminateInfo& info) { OnTerminate(info); });
}

TSessionJob& TConversionSession::AddJob(const TJobRequest& request) {
  TSessionJob& job = *FJobs.emplace_back(std::make_unique<TSessionJob>());
  job.Input = request.Input;
  job.Subtitles = {{"0", SubtitleBanner}};
  int task = FEncoder.AddTask(request.Input);
  if (task < 0) {
    job.Failure = FEncoder.LastErrMsg();
    job.RefusedOption = FEncoder.LastErrorIsOption();
    return job;
  }
  if (PreviewerFactory) FEncoder.Task(task).SetPreviewerFactory(PreviewerFactory);
  TFFDecoder& decoder = FEncoder.Task(task).Decoder(0);
  job.SubtitleFrameRate = SubtitleFrameRate(decoder);
  job.InputDuration = decoder.FileStreamInfo().Duration;
  job.InputVideo = decoder.FirstVideoStreamIndex() >= 0;
  job.InputAudio = decoder.FirstAudioStreamIndex() >= 0;
  if (!request.Subtitles.empty() && !LoadSubtitles(job, request.Subtitles))
    job.Failure = request.Subtitles + ": no subtitles could be read from it";
  if (job.Set()) {
    TOutputOptions output;
    FOptions.SetSourceDecoder(&decoder);
    try {
      FOptions.GetOutputOptions(output, request.FixedMode, [this](const std::string& name) {
        for (const TSessionJob* other : FTaskJobs)
          if (other->Output == name) return true;
        return false;
      });
    } catch (const std::invalid_argument& error) {
      job.Failure = error.what();
      job.RefusedOption = true;
    }
    FOptions.SetSourceDecoder(nullptr);
    if (job.Set()) {
      job.Output = request.Output.empty() ? output.FileName : request.Output;
      output.FileName = job.Output;
      output.TimeStart = request.TimeStart;
      output.TimeLength = request.TimeLength;
      if (!request.Output.empty()) job.Failure = OutputRefusal(job.Input, job.Output, request.Overwrite);
      if (job.Set() && !FEncoder.SetOutputFile(task, job.Output, &output)) {
        job.Failure = FEncoder.LastErrMsg();
        job.RefusedOption = FEncoder.LastErrorIsOption();
      }
    }
  }
  if (job.Set())
    FTaskJobs.push_back(&job);
  else
    FEncoder.RemoveTask(task);
  return job;
}

bool TConversionSession::LoadSubtitles(TSessionJob& job, const std::string& fileName) {
  TSubtitleTable table;
  job.SubtitleNote.clear();
  // A file that gave nothing but the banner row holds no subtitles either.
  if (!vidora::LoadTXT(fileName, job.SubtitleFrameRate, table, &job.SubtitleNote) || table.size() < 2) return false;
  job.Subtitles = std::move(table);
  return true;
}

void TConversionSession::ClearJobs() {
  FEncoder.ClearTasks();
  FTaskJobs.clear();
  FJobs.clear();
  FSchedulers.clear();
}

int TConversionSession::RunnableJobs() const { return static_cast<int>(FTaskJobs.size()); }

void TConversionSession::Start(int threads, bool subtitlesOn) {
  FSchedulers.clear();
  FReached.assign(FTaskJobs.size(), {0, 0});
  for (TSessionJob* job : FTaskJobs) {
    job->End.reset();
    FSchedulers.push_back(
        std::make_unique<TSubtitleScheduler>(job->Subtitles, FOptions.Subtitles, FOptions.Font, subtitlesOn));
  }
  FRunning = true;
  FEncoder.Start(threads);
}

void TConversionSession::SetSubtitlesOn(bool on) {
  for (auto& scheduler : FSchedulers) scheduler->SetSubtitlesOn(on);
}

void TConversionSession::OnHook(THookInfo& info) {
  if (info.TaskIndex < 0 || info.TaskIndex >= static_cast<int>(FSchedulers.size())) {
    info.StopHook = true;
    info.Update = false;
    return;
  }
  FSchedulers[info.TaskIndex]->OnFrame(info);
}

// On the encoder's delivery thread, every task's end before the run's: the
// host's thread records and reports them, in that order.
void TConversionSession::OnTerminate(const TTerminateInfo& info) {
  PostToMainThread([alive = std::weak_ptr<TConversionSession*>(FAlive), info] {
    std::shared_ptr<TConversionSession*> session = alive.lock();
    if (session && *session) (*session)->Ended(info);
  });
}

void TConversionSession::Ended(const TTerminateInfo& info) {
  if (info.TaskIndex < 0) {
    FRunning = false;
    if (Events.Ended) Events.Ended();
    return;
  }
  if (info.TaskIndex >= static_cast<int>(FTaskJobs.size())) return;
  TSessionJob& job = *FTaskJobs[info.TaskIndex];
  job.End = info;
  if (Events.JobEnded) Events.JobEnded(job);
}

TSessionProgress TConversionSession::Progress() const {
  TSessionProgress sum;
  for (const auto& [current, total] : FReached) {
    sum.Current += current;
    sum.Total = total < 0 || sum.Total < 0 ? -1 : sum.Total + total;
  }
  return sum;
}

}  // namespace vidora
