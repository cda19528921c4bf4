#include "session/conversion_session.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

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

// What the size budget needs to know of a job's output.
TFitFilm FilmOf(const TSessionJob& job, const TJobRequest& request, const TOutputOptions& output) {
  TFitFilm film;
  if (job.InputDuration > 0) {
    int64_t start = request.TimeStart == NoTime ? 0 : std::max<int64_t>(request.TimeStart, 0);
    int64_t length = std::max<int64_t>(job.InputDuration - start, 0);
    if (request.TimeLength != NoTime) length = std::min(length, request.TimeLength);
    film.Seconds = static_cast<double>(length) / 1e6;
  }
  film.Video = job.InputVideo && !output.DisableVideo;
  film.Audio = job.InputAudio && !output.DisableAudio;
  std::string extension = fs::path(job.Output).extension().string();
  // The 3GP container's own sound is AMR-NB; elsewhere the codec's rate is taken as it is.
  film.AudioCodec = !output.AudioCodec.empty()                    ? output.AudioCodec
                    : extension == ".3gp" || extension == ".3g2" ? ""
                                                                 : "other";
  if (output.AudioBitrate > 0) film.AudioBitRate = output.AudioBitrate;
  double numerator = 0, denominator = 1;
  int fields = std::sscanf(output.FrameRate.c_str(), "%lf/%lf", &numerator, &denominator);
  double rate = fields >= 1 && denominator > 0 ? numerator / denominator : 0;
  film.FrameRate = rate > 0 ? rate : job.SubtitleFrameRate > 0 ? job.SubtitleFrameRate : 25;
  // H.263, the 3GP container's own picture, keeps at most 30000/1001 pictures a second.
  bool h263 = output.VideoCodec.find("h263") != std::string::npos ||
              (output.VideoCodec.empty() && (extension == ".3gp" || extension == ".3g2"));
  if (h263 && rate <= 0) film.FrameRate = std::min(film.FrameRate, 30000.0 / 1001);
  int width = 0, height = 0;
  if (std::sscanf(output.FrameSize.c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0) {
    film.Width = width;
    film.Height = height;
  }
  return film;
}

int32_t VideoRateOf(const TOutputOptions& output) { return output.VideoBitrate > 0 ? output.VideoBitrate : 150000; }

// How far before a part's start its input is sought: the seek lands on a key
// frame at or before it, and the output starts exactly at the part.
constexpr int64_t SeekLead = 2'000'000;

// The streams as they are, in a container that takes any of them and can be read again.
TOutputOptions CopyOptions() {
  TOutputOptions options;
  options.ForceFormat = "matroska";
  options.VideoCodec = options.AudioCodec = "copy";
  options.DisableSubtitle = true;
  return options;
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
  // Subtitles alone, or streams the libraries cannot name: said now, not after CONVERT.
  if (!job.InputVideo && !job.InputAudio) job.Failure = NoPictureOrSound;
  if (!request.Subtitles.empty() && !LoadSubtitles(job, request.Subtitles))
    job.Failure = request.Subtitles + ": no subtitles could be read from it";
  if (job.Set()) {
    TOutputOptions output;
    FOptions.SetSourceDecoder(&decoder);
    try {
      FOptions.GetOutputOptions(output, request.FixedMode, [this, &request](const std::string& name) {
        for (const TSessionJob* other : FTaskJobs)
          if (other->Output == name) return true;
        // A split writes numbered parts beside the name: they must be free too.
        std::error_code error;
        return request.Split && fs::exists(fs::symlink_status(FitPartName(name, 0), error));
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
      if (!request.Output.empty() && !request.Split)
        job.Failure = OutputRefusal(job.Input, job.Output, request.Overwrite);
      TFitFilm film = FilmOf(job, request, output);
      if (film.Seconds > 0) job.ExpectedBytes = ExpectedFileSize(film, VideoRateOf(output));
      if (job.Set() && (FFit || (request.SizeLimit > 0 && !FTaskJobs.empty())))
        job.Failure = "a conversion fitted to a size runs alone";
      if (job.Set() && request.SizeLimit > 0) SetFit(job, request, film, output);
      // An input of unknown length that is to be split is first copied as it comes.
      bool copy = job.Set() && FFit && FFit->Job == &job && FFit->Fit->NeedsCopy();
      TOutputOptions copyOptions = CopyOptions();
      if (job.Set() && !(copy ? FEncoder.SetOutputFile(task, FFit->Fit->CopyName(), &copyOptions)
                              : FEncoder.SetOutputFile(task, job.Output, &output))) {
        job.Failure = FEncoder.LastErrMsg();
        job.RefusedOption = FEncoder.LastErrorIsOption();
      }
    }
  }
  if (job.Set() && job.FitRefusal.empty()) {
    FTaskJobs.push_back(&job);
  } else {
    FEncoder.RemoveTask(task);
    if (FFit && FFit->Job == &job) FFit.reset();
  }
  return job;
}

void TConversionSession::SetFit(TSessionJob& job, const TJobRequest& request, const TFitFilm& film,
                                const TOutputOptions& output) {
  FFit.emplace();
  FFit->Job = &job;
  FFit->Options = output;
  FFit->Fit = std::make_unique<TSizeFit>(film, VideoRateOf(output), request.SizeLimit, request.Split, job.Output,
                                         request.Overwrite);
  FFit->Split = request.Split;
  FFit->Fit->Note = [this](const std::string& text) {
    if (Events.Note) Events.Note(text);
  };
  job.FitRefusal = FFit->Fit->Refusal();
  job.FitLongest = FFit->Fit->Longest();
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
  FFit.reset();
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
  FPaused = FStopping = false;
  if (!FFit) {
    FEncoder.Start(threads);
    return;
  }
  FSubtitlesOn = subtitlesOn;
  if (std::optional<TFitRun> first = FFit->Fit->First())
    StartFitRun(*first);
  else
    EndFit({.Exception = true, .ExceptionMsg = FFit->Fit->Failure()});
}

void TConversionSession::Pause() {
  FPaused = true;
  FEncoder.Pause();
}

void TConversionSession::Resume() {
  FPaused = false;
  FEncoder.Resume();
}

void TConversionSession::Stop(bool wait) {
  if (FRunning) FStopping = true;
  FEncoder.Stop(wait);
}

void TConversionSession::SetSubtitlesOn(bool on) {
  FSubtitlesOn = on;
  for (auto& scheduler : FSchedulers) scheduler->SetSubtitlesOn(on);
}

// A run of the job fitted to a size, as its only task. The copy of an input
// of unknown length is the task the job set up: a pipe cannot be read twice.
void TConversionSession::StartFitRun(const TFitRun& run) {
  TSessionJob& job = *FFit->Job;
  FFit->Run = run;
  FFit->End = {};
  int64_t shift = 0;  // where the run's times count from in the film
  if (run.Pass != TFitPass::Copy) {
    FEncoder.ClearTasks();
    TOutputOptions options = FFit->Options;
    options.FileName = run.Output;
    if (run.TimeLength != NoTime) options.TimeLength = run.TimeLength;
    // A part is sought to a little before its start and cut exactly there:
    // read from the film's beginning, every part took longer than the one before.
    TInputOptions input;
    if (run.TimeStart != NoTime) {
      options.TimeStart = std::min(run.TimeStart, SeekLead);
      input.TimeStart = shift = run.TimeStart - options.TimeStart;  // 0: read from the beginning
    }
    if (run.VideoBitRate > 0) {
      options.VideoBitrate = run.VideoBitRate;
      // The whole film's average is what counts: no buffer keeps the rate from moment to moment.
      options.VideoBitRateTolerance = run.VideoBitRate;
      options.ExtOptions += (options.ExtOptions.empty() ? "" : "\n") + std::string("pass=") +
                            (run.Pass == TFitPass::First ? "1" : "2") + "\npasslogfile=" + run.Statistics;
    }
    if (run.AudioBitRate > 0) options.AudioBitrate = run.AudioBitRate;
    bool set = FEncoder.AddTask(run.FromCopy ? FFit->Fit->CopyName() : job.Input, &input) >= 0;
    if (set && PreviewerFactory) FEncoder.Task(0).SetPreviewerFactory(PreviewerFactory);
    if (!set || !FEncoder.SetOutputFile(0, run.Output, &options)) {
      EndFit({.Exception = true, .ExceptionMsg = FEncoder.LastErrMsg()});
      return;
    }
  }
  FSchedulers.clear();
  FSchedulers.push_back(
      std::make_unique<TSubtitleScheduler>(job.Subtitles, FOptions.Subtitles, FOptions.Font, FSubtitlesOn));
  FSchedulers.back()->SetTimeShift(shift);
  FReached.assign(1, {0, 0});
  FEncoder.Start(1);
  if (FPaused) FEncoder.Pause();
  // The new pass or part shows at once, not only at its first report: a short one may have none.
  if (Events.Progress) Events.Progress(Progress());
}

// On the host's thread, after a run of the fitted job ended: the next run, or the job's end.
void TConversionSession::FitRunEnded() {
  TTerminateInfo end = FFit->End;
  if (FStopping || !end.Finished) {
    EndFit(end);
    return;
  }
  double copySeconds = 0;
  if (FFit->Run.Pass == TFitPass::Copy) {
    // The copy says how long the film is.
    FEncoder.ClearTasks();
    int task = FEncoder.AddTask(FFit->Fit->CopyName());
    if (task >= 0) copySeconds = static_cast<double>(FEncoder.Task(task).Decoder(0).FileStreamInfo().Duration) / 1e6;
  }
  if (end.CutShortAt >= 0 && FFit->Run.Pass != TFitPass::Copy)
    FFit->Fit->InputEndsAt(static_cast<double>(end.CutShortAt) / 1e6);
  std::optional<TFitRun> next = FFit->Fit->Next(copySeconds);
  if (next) {
    StartFitRun(*next);
    return;
  }
  if (!FFit->Fit->Failure().empty()) {
    // The picture could not be made small enough.
    end = {.Exception = true, .ExceptionMsg = FFit->Fit->Failure()};
    FFit->Job->FitRefusal = FFit->Fit->Failure();
  }
  EndFit(end);
}

// The fitted job's end, told as any job's: what did not become an output is removed first.
void TConversionSession::EndFit(const TTerminateInfo& end) {
  TSessionJob& job = *FFit->Job;
  if (FFit->Split) job.Parts = FFit->Fit->Written();
  FFit->Fit->RemoveUnfinished();
  job.End = end;
  job.End->TaskIndex = 0;
  if (Events.JobEnded) Events.JobEnded(job);
  FRunning = false;
  if (Events.Ended) Events.Ended();
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
  if (FFit && FRunning) {
    if (info.TaskIndex >= 0)
      FFit->End = info;
    else
      FitRunEnded();
    return;
  }
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
  if (FFit && FRunning && !FReached.empty()) {
    std::tie(sum.Current, sum.Total) = FFit->Fit->Progress(FReached[0].first, FReached[0].second);
    sum.Pass = FFit->Fit->Pass();
    sum.Passes = FFit->Fit->Passes();
    sum.Part = FFit->Fit->Part();
    sum.Parts = FFit->Fit->Parts();
    return sum;
  }
  for (const auto& [current, total] : FReached) {
    sum.Current += current;
    sum.Total = total < 0 || sum.Total < 0 ? -1 : sum.Total + total;
  }
  return sum;
}

}  // namespace vidora
