#include "fit_convert.h"

#include <cstdio>
#include <filesystem>

#include "convert.h"
#include "options/size_budget.h"
#include "progress_display.h"
#include "session/conversion_session.h"

namespace vidora::cli {

namespace {

namespace fs = std::filesystem;

// "300k" for 300000: the limit as the user would type it again.
std::string LimitWord(int64_t limit) {
  return limit % 1000000 == 0 ? std::to_string(limit / 1000000) + "M"
         : limit % 1000 == 0  ? std::to_string(limit / 1000) + "k"
                              : std::to_string(limit);
}

void SayWritten(const std::string& name, int64_t limit) {
  std::error_code error;
  uintmax_t bytes = fs::file_size(name, error);
  if (error) return;
  std::fprintf(stderr, "%s (%llu bytes, %.0f %% of %s)\n", name.c_str(), static_cast<unsigned long long>(bytes),
               100.0 * static_cast<double>(bytes) / static_cast<double>(limit), LimitText(limit).c_str());
}

int ConvertOne(const TCliOptions& options, TfrmOption& form, const std::string& input, int64_t limit, bool split) {
  TConversionSession session(form);
  session.Encoder().SetVerbose(options.Verbosity > 0 ? 1 : -1);
  const TSessionJob& job = session.AddJob({.Input = input,
                                           .Output = options.Output,
                                           .Overwrite = options.Overwrite,
                                           .FixedMode = options.Lo,
                                           .Subtitles = options.Subtitles,
                                           .SizeLimit = limit,
                                           .Split = split});
  if (!job.Set()) {
    Say(Named(input, job.Failure));
    return job.RefusedOption ? 2 : 1;
  }
  if (!job.FitRefusal.empty()) {
    std::string advice = job.FitLongest > 0 ? "; try --split " + LimitWord(limit) + " or a shorter part" : "";
    Say(input + ": " + job.FitRefusal + advice);
    return 1;
  }
  TProgressDisplay display(stderr);
  std::string name = fs::path(job.Output).filename().string();
  session.Events.Progress = [&](const TSessionProgress& progress) {
    if (options.Verbosity >= 0) display.Show(name, progress.Current, progress.Total);
  };
  session.Events.Note = [&](const std::string& note) {
    if (options.Verbosity > 0) Say(input + ": " + note);
  };
  bool stopped = RunToEnd(session, 1, !options.Subtitles.empty());
  session.Stop(true);
  display.Finish();
  for (const std::string& part : job.Parts)
    if (options.Verbosity >= 0) SayWritten(part, limit);
  if (job.End && job.End->Finished) {
    if (!split && options.Verbosity >= 0) SayWritten(job.Output, limit);
    // Kept, but not what was asked for: a file cut short, a stream with nothing in it.
    if (!job.End->Shortfall.empty()) Say(Named(input, job.End->Shortfall));
    return job.End->Shortfall.empty() ? 0 : 1;
  }
  if (stopped)
    Say(input + ": stopped; " + (!split             ? job.Output + " was not written"
                                 : job.Parts.empty() ? std::string("no part was written")
                                                     : "the parts above are whole; the rest was not written"));
  else if (job.End && job.End->Exception)
    Say(Named(input, job.End->ExceptionMsg) + (job.FitRefusal.empty() ? "" : "; try --split or a shorter part"));
  return 1;
}

}  // namespace

int ConvertFitting(const TCliOptions& options, TfrmOption& form, int64_t limit, bool split) {
  int status = 0;
  for (const std::string& input : options.Inputs) {
    status = std::max(status, ConvertOne(options, form, input, limit, split));
    if (StopRequested()) break;
  }
  return status;
}

}  // namespace vidora::cli
