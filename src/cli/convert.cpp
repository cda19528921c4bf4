#include "convert.h"

#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "media/base/main_thread.h"
#include "media/base/text_convert.h"
#include "media/encoder/encoder.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "fit_convert.h"
#include "progress_display.h"
#include "slow_notice.h"
#include "session/conversion_session.h"
#include "skin/skin_file.h"

namespace vidora::cli {

namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t Interrupts = 0;
volatile std::sig_atomic_t Converting = 0;

void OnInterrupt(int signal) {
  // Before the conversion starts nothing is on the disk yet (outputs are made
  // when it starts), so a stop while inputs open or subtitles are read ends at once.
  if (!Converting) {
    static const char Stopped[] = "vidora3gp-cli: stopped before converting; nothing was written\n";
    ssize_t written = write(STDERR_FILENO, Stopped, sizeof Stopped - 1);
    (void)written;
    _exit(128 + signal);
  }
  // The first Ctrl-C (or a logout, or a service manager's stop) finishes the
  // outputs up to where they got; the second aborts.
  Interrupts = Interrupts + 1;
  if (Interrupts > 1) _exit(128 + signal);
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A file-size limit is a write error like a full disk, reported as one, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
}

// A value the user gave that nothing will take: the run does not start.
struct TRefusedValue : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// The profile field of that name in any letter case.
std::string ProfileFieldName(const std::string& name) {
  for (const std::string& field : TOutputProfile::FieldNames())
    if (strcasecmp(field.c_str(), name.c_str()) == 0) return field;
  throw TRefusedValue("unknown profile field " + name);
}

// A whole number of 0 or less; other text is the profile's to refuse.
bool IsNotPositive(const std::string& value) {
  try {
    return StrToInt(value) <= 0;
  } catch (const std::invalid_argument&) {
    return false;
  }
}

void ApplyUserProfile(const TCliOptions& options, TfrmOption& form) {
  TOutputProfile& profile = form.Profile;
  if (!options.Skin.empty()) {
    std::string folder = FindSkinFolder(options.Skin);
    TSkinFile skin;
    if (folder.empty() || !skin.Load(folder + "/skin.all")) throw std::runtime_error("skin " + options.Skin + " not found");
    // A phone that does not say what it plays must not quietly get the built-in profile.
    std::optional<std::string> line = skin.ProfileLine();
    if (!line) throw TRefusedValue("skin " + options.Skin + " has no phone profile");
    form.ApplyProfile(*line);
  }
  for (const auto& [field, value] : options.Sets) {
    std::string name = ProfileFieldName(field);
    // A count or rate of 0 or less would silently mean "not set".
    if (TOutputProfile::IsNumberField(name) && IsNotPositive(value))
      throw TRefusedValue("Invalid value \"" + value + "\" for option \"" + name + "\"");
    try {
      profile.SetField(name, value);
    } catch (const std::invalid_argument& error) {
      throw TRefusedValue(error.what());
    }
  }
  // After the profile's own options, so that the command line decides.
  for (const std::string& more : {options.Fit.empty() ? std::string() : "fit=" + options.Fit, options.Ext}) {
    if (more.empty()) continue;
    profile.ExtOptions += (profile.ExtOptions.empty() ? "" : "\n") + more;
  }
  // The fixed set does not read the profile's numbers.
  if (!options.Lo && !profile.Refusal.empty()) throw TRefusedValue(profile.Refusal);
}

// Runs the jobs until the end of the run, showing progress.
void Run(TConversionSession& session, const TCliOptions& options) {
  TProgressDisplay display(stderr);
  std::string name = session.RunnableJobs() == 1 ? "" : std::to_string(session.RunnableJobs()) + " files";
  for (const auto& job : session.Jobs())
    if (name.empty() && job->Set()) name = fs::path(job->Output).filename().string();
  session.Events.Progress = [&](const TSessionProgress& progress) {
    if (options.Verbosity >= 0) display.Show(name, progress.Current, progress.Total);
  };
  RunToEnd(session, options.Jobs, !options.Subtitles.empty());
  display.Finish();
}

}  // namespace

bool RunToEnd(TConversionSession& session, int jobs, bool subtitlesOn) {
  Converting = 1;
  session.Start(jobs, subtitlesOn);
  bool stopping = false;
  auto* queue = static_cast<TMainThreadQueue*>(MainThreadHandOver());
  while (session.Running()) {
    queue->WaitAndProcess(std::chrono::milliseconds(50));
    if (Interrupts && !stopping) {
      stopping = true;
      session.Stop(false);
    }
  }
  return stopping;
}

bool StopRequested() { return Interrupts > 0; }

void Say(const std::string& message) { std::fprintf(stderr, "vidora3gp-cli: %s\n", message.c_str()); }

std::string Named(const std::string& input, const std::string& message) {
  return message.rfind(input, 0) == 0 ? message : input + ": " + message;
}

namespace {

// The user's word on one input; false for a failure.
bool Report(const TSessionJob& job, int verbosity) {
  std::error_code error;
  if (!job.Failure.empty()) {
    Say(Named(job.Input, job.Failure));
    return false;
  }
  if (job.End && job.End->Finished) {
    if (verbosity >= 0) {
      std::fprintf(stderr, "%s\n", job.Output.c_str());
      for (const std::string& adjustment : job.End->Adjustments) Say(Named(job.Input, adjustment));
    }
    // A film that became a sound file is not what was asked for, though it is kept.
    if (!job.End->Shortfall.empty()) Say(Named(job.Input, job.End->Shortfall));
    return job.End->Shortfall.empty();
  }
  bool kept = fs::file_size(job.Output, error) > 0 && !error;
  std::string what = kept ? "; " + job.Output + " holds what was converted"
                          : "; the unfinished " + job.Output + " was removed";
  if (job.End && job.End->Exception)
    Say(Named(job.Input, job.End->ExceptionMsg) + what);
  else
    Say(job.Input + ": stopped" + what);
  return false;
}

}  // namespace

int Convert(const TCliOptions& options) {
  CatchStopSignals();
  TfrmOption form;
  // The subtitle style the user chose in the sister player.
  form.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  try {
    ApplyUserProfile(options, form);
  } catch (const TRefusedValue& error) {
    Say(error.what());
    return 2;
  }
  // --size decides over the profile's own limit, which the fixed set does not read.
  int64_t limit = options.SplitSize ? options.SplitSize
                  : options.Size    ? options.Size
                  : options.Lo      ? 0
                                    : form.Profile.MaxFileSize;
  if (limit > 0) return ConvertFitting(options, form, limit, options.SplitSize > 0);

  TConversionSession session(form);
  session.Encoder().SetVerbose(options.Verbosity > 0 ? 1 : -1);
  for (const std::string& input : options.Inputs) {
    // A long subtitle file or a slow source: say what the wait is for.
    std::optional<TSlowNotice> notice;
    if (options.Verbosity >= 0)
      notice.emplace(stderr, "vidora3gp-cli: opening " + input +
                                 (options.Subtitles.empty() ? "" : " and reading subtitles from " + options.Subtitles) +
                                 "…");
    const TSessionJob& job = session.AddJob({.Input = input,
                                                .Output = options.Output,
                                                .Overwrite = options.Overwrite,
                                                .FixedMode = options.Lo,
                                                .Subtitles = options.Subtitles});
    notice.reset();
    if (job.RefusedOption) {
      Say(job.Failure);
      return 2;
    }
    if (!job.SubtitleNote.empty() && options.Verbosity >= 0) Say(job.Input + ": " + job.SubtitleNote);
  }
  if (session.RunnableJobs() > 0) Run(session, options);
  // Every job has ended and its output is dealt with before the report.
  session.Stop(true);

  bool failed = false;
  for (const auto& job : session.Jobs()) failed |= !Report(*job, options.Verbosity);
  return failed || Interrupts ? 1 : 0;
}

}  // namespace vidora::cli
