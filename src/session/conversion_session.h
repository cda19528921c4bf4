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

namespace vidora {

class TfrmOption;
class TSubtitleScheduler;

// Where the conversion has got to, summed over the jobs.
struct TSessionProgress {
  int64_t Current = 0;  // µs converted
  int64_t Total = 0;    // µs in all; -1 when some input's length is unknown
};

struct TJobRequest {
  std::string Input;
  std::string Output;      // empty: the next free name beside the input
  bool Overwrite = false;  // an explicitly named output may replace a file
  bool FixedMode = false;  // the fixed 320x240 set instead of the profile
  std::string Subtitles;   // a subtitle file to burn in; empty: none
  int64_t TimeStart = NoTime;   // µs of the input to begin the output at; NoTime: its start
  int64_t TimeLength = NoTime;  // µs of output; NoTime: to the input's end
};

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
  void Pause() { FEncoder.Pause(); }
  void Resume() { FEncoder.Resume(); }
  // Finishes the outputs up to where they got; with `wait`, returns when the
  // run has ended (its end events may still be on their way to the main thread).
  void Stop(bool wait) { FEncoder.Stop(wait); }
  // Burn-in on or off from now on, also during a run.
  void SetSubtitlesOn(bool on);
  // True between Start and the delivery of the end event.
  bool Running() const { return FRunning; }

 private:
  void BindEncoder();
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

  // Lets a posted event that arrives after the session is gone find nothing.
  std::shared_ptr<TConversionSession*> FAlive = std::make_shared<TConversionSession*>(this);
};

}  // namespace vidora
