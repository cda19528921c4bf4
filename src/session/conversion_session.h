// One conversion, as the window and the command-line converter make it: the
// jobs built from inputs, the profile and optional subtitles, the encoder
// that runs them with the subtitle burn-in in its video hook, and the
// progress, preview pictures and ends reported on the host's main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/encoder/encoder.h"
#include "options/subtitle_reader.h"
#include "session/size_fit.h"

namespace vidora {

class TfrmOption;
class TSubtitleScheduler;

// Where the conversion has got to, summed over the jobs.
struct TSessionProgress {
  int64_t Current = 0;  // µs converted
  int64_t Total = 0;    // µs in all; -1 when some input's length is unknown
  // In a run fitted to a size: the pass under way (from 1) and the passes
  // planned for its part, and the part and parts; 0 otherwise. Current and
  // Total then cover every pass of every part, and a pass added because a
  // file came out over moves the bar back a little.
  int Pass = 0, Passes = 0;
  int Part = 0, Parts = 0;
};

struct TJobRequest {
  std::string Input;
  std::string Output;      // empty: the next free name beside the input
  bool Overwrite = false;  // an explicitly named output may replace a file
  bool FixedMode = false;  // the fixed 320x240 set instead of the profile
  std::string Subtitles;   // a subtitle file to burn in; empty: none
  int64_t TimeStart = NoTime;   // µs of the input to begin the output at; NoTime: its start
  int64_t TimeLength = NoTime;  // µs of output; NoTime: to the input's end
  int64_t SizeLimit = 0;  // bytes the output may take, in two passes or more; 0: no limit
  bool Split = false;     // numbered parts that each fit the limit, instead of one file
};

// Why a film with neither picture nor sound to convert is not taken.
inline constexpr const char* NoPictureOrSound = "no picture or sound could be found in it";

// One input on its way to its output.
struct TSessionJob {
  std::string Input;
  std::string Output;
  std::string Failure;          // why it could not be set up
  bool RefusedOption = false;   // the option text fails every input alike
  std::string SubtitleNote;     // what was used for frame-numbered subtitles
  double SubtitleFrameRate = 0;  // of the input's video; 0 without video
  int64_t InputDuration = -1;    // µs; -1 when the input does not say (a pipe, a live stream)
  bool InputVideo = false;       // the input has pictures
  bool InputAudio = false;       // the input has sound
  TSubtitleTable Subtitles;      // with the banner row; loaded or not
  int64_t ExpectedBytes = -1;    // about what the output takes without a limit; -1: length unknown
  std::string FitRefusal;        // why the size limit cannot be met: known before, and such a job
                                 // does not run, or found by the first pass, which ends the job
  double FitLongest = 0;         // when the film is too long for the limit: the seconds it holds
  std::vector<std::string> Parts;  // the parts a split wrote, in order
  std::optional<TTerminateInfo> End;  // how it ended, once it has
  bool Set() const { return Failure.empty(); }
};

class TConversionSession {
 public:
  // Delivered on the host's main thread, in order: progress and pictures
  // while the jobs run, each job's end, then the end of the whole run.
  struct TEvents {
    std::function<void(const TSessionProgress&)> Progress;
    std::function<void(const TBitmap&)> Preview;  // valid during the call
    std::function<void(const TSessionJob&)> JobEnded;
    std::function<void()> Ended;
    // What a run fitted to a size decided, for a verbose log.
    std::function<void(const std::string&)> Note;
  };

  // The options (profile, subtitle style and font) must outlive the session.
  explicit TConversionSession(TfrmOption& options);
  ~TConversionSession();
  TConversionSession(const TConversionSession&) = delete;
  TConversionSession& operator=(const TConversionSession&) = delete;

  TFFEncoder& Encoder() { return FEncoder; }
  TEvents Events;
  // For the preview window the engine may ask for; none by default.
  std::function<std::unique_ptr<IPreviewer>()> PreviewerFactory;

  // Builds a job: the input is opened once (a pipe cannot be read twice) and
  // the profile and the subtitle times read it through the job's decoder.
  // A job that could not be set up says why in its Failure and holds no task.
  // A job with a size limit runs alone in its session.
  TSessionJob& AddJob(const TJobRequest& request);
  // Reads a subtitle file for a job, timed at its input's frame rate.
  bool LoadSubtitles(TSessionJob& job, const std::string& fileName);
  // Forgets every job; not while running.
  void ClearJobs();
  const std::vector<std::unique_ptr<TSessionJob>>& Jobs() const { return FJobs; }
  // The jobs that hold a task, in task order.
  int RunnableJobs() const;

  // Runs the jobs, `threads` at a time; burn-in as `subtitlesOn` says.
  void Start(int threads, bool subtitlesOn);
  void Pause();
  void Resume();
  // Finishes the outputs up to where they got; with `wait`, returns when the
  // run has ended (its end events may still be on their way to the main thread).
  // A job fitted to a size keeps only the files that were finished and fit.
  void Stop(bool wait);
  // Burn-in on or off from now on, also during a run.
  void SetSubtitlesOn(bool on);
  // True between Start and the delivery of the end event.
  bool Running() const { return FRunning; }

 private:
  void BindEncoder();
  void SetFit(TSessionJob& job, const TJobRequest& request, const TFitFilm& film, const TOutputOptions& output);
  void StartFitRun(const TFitRun& run);
  void FitRunEnded();
  void EndFit(const TTerminateInfo& end);
  void OnTerminate(const TTerminateInfo& info);
  void Ended(const TTerminateInfo& info);
  void OnHook(THookInfo& info);
  TSessionProgress Progress() const;

  TfrmOption& FOptions;
  TFFEncoder FEncoder;
  std::vector<std::unique_ptr<TSessionJob>> FJobs;
  std::vector<TSessionJob*> FTaskJobs;  // by task index

  // The host's thread: set up before a run, read by the workers during it.
  std::vector<std::unique_ptr<TSubtitleScheduler>> FSchedulers;  // by task index
  std::vector<std::pair<int64_t, int64_t>> FReached;            // by task index: current and total time
  bool FRunning = false;
  bool FPaused = false;
  bool FStopping = false;
  bool FSubtitlesOn = false;

  // The job fitted to a size, the options its runs start from, the run under
  // way and how its task ended.
  struct TFitJob {
    TSessionJob* Job = nullptr;
    bool Split = false;
    TOutputOptions Options;
    std::unique_ptr<TSizeFit> Fit;
    TFitRun Run;
    TTerminateInfo End;
  };
  std::optional<TFitJob> FFit;

  // Lets a posted event that arrives after the session is gone find nothing.
  std::shared_ptr<TConversionSession*> FAlive = std::make_shared<TConversionSession*>(this);
};

}  // namespace vidora
