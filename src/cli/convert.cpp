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
#include "options/subtitle_scheduler.h"
#include "progress_display.h"
#include "skin/skin_file.h"

namespace vidora::cli {

namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t Interrupts = 0;

void OnInterrupt(int signal) {
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

void Say(const std::string& message) { std::fprintf(stderr, "vidora3gp-cli: %s\n", message.c_str()); }

// A value the user gave that nothing will take: the run does not start.
struct TRefusedValue : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// The profile field of that name in any letter case.
std::string ProfileFieldName(const TOutputProfile& profile, const std::string& name) {
  for (const auto& field : profile.Fields())
    if (strcasecmp(field.first.c_str(), name.c_str()) == 0) return field.first;
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
    if (std::optional<std::string> line = skin.ProfileLine()) form.ApplyProfile(*line);
  }
  for (const auto& [field, value] : options.Sets) {
    std::string name = ProfileFieldName(profile, field);
    // A count or rate of 0 or less would silently mean "not set".
    if (TOutputProfile::IsNumberField(name) && IsNotPositive(value))
      throw TRefusedValue("Invalid value \"" + value + "\" for option \"" + name + "\"");
    profile.SetField(name, value);
  }
  // After the profile's own options, so that the command line decides.
  for (const std::string& more : {options.Fit.empty() ? std::string() : "fit=" + options.Fit, options.Ext}) {
    if (more.empty()) continue;
    const std::string& ext = profile.Field("ExtOptions");
    profile.SetField("ExtOptions", ext + (ext.empty() ? "" : "\n") + more);
  }
  try {
    profile.GetOutputOptions("check", options.Lo);  // every number field reads as a number
  } catch (const std::invalid_argument& error) {
    throw TRefusedValue(error.what());
  }
}

// One input on its way to its output.
struct TJob {
  std::string Input;
  std::string Output;
  std::string Failure;  // why it could not be set up
  bool RefusedOption = false;  // the option text fails every input alike
  std::optional<TTerminateInfo> End;
  std::unique_ptr<TSubtitleScheduler> Subtitles;
};

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

// Adds the job's task: the input is opened once (a pipe cannot be read twice)
// and the profile and the subtitle times read it through the task's decoder.
void SetUp(TJob& job, const TCliOptions& options, TfrmOption& form, TFFEncoder& encoder) {
  int task = encoder.AddTask(job.Input);
  if (task < 0) {
    job.Failure = encoder.LastErrMsg();
    job.RefusedOption = encoder.LastErrorIsOption();
    return;
  }
  TFFDecoder& decoder = encoder.Task(task).Decoder(0);
  std::string note;
  // A file that gave nothing but the banner row holds no subtitles either.
  if (!options.Subtitles.empty() &&
      (!form.LoadTXT(options.Subtitles, SubtitleFrameRate(decoder), &note) || form.TimeTXTEditor.size() < 2)) {
    job.Failure = options.Subtitles + ": no subtitles could be read from it";
  } else {
    if (!note.empty() && options.Verbosity >= 0) Say(job.Input + ": " + note);
    form.SetSourceDecoder(&decoder);
    TOutputOptions outputOptions;
    form.GetOutputOptions(outputOptions, options.Lo);
    form.SetSourceDecoder(nullptr);
    job.Output = options.Output.empty() ? outputOptions.FileName : options.Output;
    outputOptions.FileName = job.Output;
    job.Failure = options.Output.empty() ? "" : OutputRefusal(job.Input, job.Output, options.Overwrite);
    if (job.Failure.empty() && !encoder.SetOutputFile(task, job.Output, &outputOptions)) {
      job.Failure = encoder.LastErrMsg();
      job.RefusedOption = encoder.LastErrorIsOption();
    }
  }
  if (!job.Failure.empty()) {
    encoder.RemoveTask(task);
    return;
  }
  job.Subtitles = std::make_unique<TSubtitleScheduler>(form.TimeTXTEditor, form.Subtitles, form.Font, form.SubtitlesOn);
}

// Runs the tasks until the end-of-run event, showing progress; the first
// stop signal asks every task to finish its output.
void Run(std::vector<TJob*>& running, const TCliOptions& options, TFFEncoder& encoder) {
  encoder.SetOnVideoInputHook([&](const void*, THookInfo* info) { running.at(info->TaskIndex)->Subtitles->OnFrame(*info); });

  TProgressDisplay display(stderr);
  std::map<int, std::pair<int64_t, int64_t>> reached;  // task: current and total time
  encoder.SetOnProgress([&](const void*, const TProgressInfo* info) {
    reached[info->TaskIndex] = {info->CurrentDuration, info->TotalDuration};
    if (options.Verbosity < 0) return;
    int64_t current = 0, total = 0;
    for (auto& [task, times] : reached) {
      current += times.first;
      total = times.second < 0 || total < 0 ? -1 : total + times.second;
    }
    std::string name = running.size() == 1 ? fs::path(running[0]->Output).filename().string()
                                           : std::to_string(running.size()) + " files";
    display.Show(name, current, total);
  });
  // Termination events come on threads of the encoder's; the end of the run
  // (task -1) comes after every task's own event has returned.
  std::mutex ends;
  std::atomic<bool> runEnded{false};
  encoder.SetOnTerminate([&](const void*, const TTerminateInfo& info) {
    std::lock_guard lock(ends);
    if (info.TaskIndex >= 0)
      running.at(info.TaskIndex)->End = info;
    else
      runEnded = true;
  });

  encoder.Start(options.Jobs);
  bool stopping = false;
  auto* queue = static_cast<TMainThreadQueue*>(MainThreadHandOver());
  while (!runEnded) {
    queue->WaitAndProcess(std::chrono::milliseconds(50));
    if (Interrupts && !stopping) {
      stopping = true;
      encoder.Stop(false);
    }
  }
  queue->ProcessPending();
  display.Finish();
}

// The user's word on one input; false for a failure.
bool Report(const TJob& job, int verbosity) {
  std::error_code error;
  if (!job.Failure.empty()) {
    // The engine's messages mostly name the file already.
    Say(job.Failure.rfind(job.Input, 0) == 0 ? job.Failure : job.Input + ": " + job.Failure);
    return false;
  }
  if (job.End && job.End->Finished) {
    if (verbosity >= 0) std::fprintf(stderr, "%s\n", job.Output.c_str());
    return true;
  }
  bool kept = fs::file_size(job.Output, error) > 0 && !error;
  std::string what = kept ? "; " + job.Output + " holds what was converted"
                          : "; the unfinished " + job.Output + " was removed";
  if (job.End && job.End->Exception)
    Say(job.Input + ": " + job.End->ExceptionMsg + what);
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

  std::vector<TJob> jobs(options.Inputs.size());
  {
    // Ended (its threads joined, unfinished outputs dealt with) before the report.
    TFFEncoder encoder;
    encoder.SetVerbose(options.Verbosity > 0 ? 1 : -1);
    std::vector<TJob*> running;  // by task index
    for (size_t i = 0; i < jobs.size() && !Interrupts; ++i) {
      jobs[i].Input = options.Inputs[i];
      SetUp(jobs[i], options, form, encoder);
      if (jobs[i].RefusedOption) {
        Say(jobs[i].Failure);
        return 2;
      }
      if (jobs[i].Failure.empty()) running.push_back(&jobs[i]);
    }
    if (!running.empty() && !Interrupts) Run(running, options, encoder);
  }

  bool failed = false;
  for (TJob& job : jobs) {
    if (job.Input.empty()) continue;  // stopped before it was set up
    failed |= !Report(job, options.Verbosity);
  }
  return failed || Interrupts ? 1 : 0;
}

}  // namespace vidora::cli
