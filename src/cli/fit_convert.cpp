#include "fit_convert.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "convert.h"
#include "options/first_pass_stats.h"
#include "options/option_form.h"
#include "options/size_budget.h"
#include "progress_display.h"
#include "session/conversion_session.h"

namespace vidora::cli {

namespace {

namespace fs = std::filesystem;

// The first pass's statistics live in a private folder, gone with the object
// whatever way the conversion ends.
class TStatsFolder {
 public:
  TStatsFolder() {
    std::string pattern = (fs::temp_directory_path() / "vidora-fit-XXXXXX").string();
    if (mkdtemp(pattern.data())) FPath = pattern;
  }
  ~TStatsFolder() {
    std::error_code error;
    if (!FPath.empty()) fs::remove_all(FPath, error);
  }
  const fs::path& Path() const { return FPath; }

 private:
  fs::path FPath;
};

// One output to fit: a whole film or a part of it.
struct TFitTarget {
  std::string Output;
  int64_t TimeStart = NoTime;
  int64_t TimeLength = NoTime;
  TFitFilm Film;
};

// What an input brings to the budget, read once when it is opened.
struct TInputFacts {
  std::string Output;  // the name the output takes
  TFitFilm Film;
};

std::string AudioCodecOf(const TOutputProfile& profile, const std::string& output) {
  if (!profile.AudioCodec.empty()) return profile.AudioCodec;
  std::string extension = fs::path(output).extension().string();
  // The 3GP container's own sound is AMR-NB; elsewhere the codec's rate is taken as it is.
  return extension == ".3gp" || extension == ".3g2" ? "" : "other";
}

// The picture rates the second pass can reach, from the first pass's
// statistics (one file for the picture's stream): {lowest, best quality};
// {0, 0} when there are none.
std::pair<int32_t, int32_t> SecondPassRates(const fs::path& folder, double frameRate) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().filename().string().rfind("pass-", 0) != 0) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    TFirstPassFloor floor = FirstPassFloor(text);
    if (floor.Pictures == 0) continue;
    auto rate = [&](double bits) {
      return static_cast<int32_t>(std::min(bits * frameRate / static_cast<double>(floor.Pictures), 2e9));
    };
    // The lowest a little above: the rate control must land at or under its aim.
    return {rate(floor.Bits * 1.05), rate(floor.BestBits)};
  }
  return {0, 0};
}

class TFitter {
 public:
  TFitter(const TCliOptions& options, TfrmOption& form, int64_t limit)
      : FOptions(options), FForm(form), FProfile(form.Profile), FLimit(limit) {}
  ~TFitter() { FForm.Profile = FProfile; }

  int ConvertOne(const std::string& input, bool split);

 private:
  std::optional<TInputFacts> Open(const std::string& input, int& status);
  // 0 done, 1 failed or stopped.
  int Fit(const std::string& input, const TFitTarget& target);
  // One pass into `output`; false when it failed or was stopped.
  bool Pass(const std::string& input, const TFitTarget& target, const std::string& output, int pass,
            const TSizeBudget& budget, const fs::path& stats);
  std::string Impossible(const std::string& input, const TFitFilm& film) const;

  const TCliOptions& FOptions;
  TfrmOption& FForm;
  const TOutputProfile FProfile;
  int64_t FLimit;
  TProgressDisplay FDisplay{stderr};
  // Passes done and planned, for one bar over all of them.
  int FPassesDone = 0, FPassesPlanned = 2;
};

std::optional<TInputFacts> TFitter::Open(const std::string& input, int& status) {
  TConversionSession probe(FForm);
  const TSessionJob& job = probe.AddJob({.Input = input,
                                         .Output = FOptions.Output,
                                         .Overwrite = FOptions.Overwrite,
                                         .Subtitles = FOptions.Subtitles});
  if (!job.Set()) {
    Say(job.Input + ": " + job.Failure);
    status = job.RefusedOption ? 2 : 1;
    return std::nullopt;
  }
  TInputFacts facts;
  facts.Output = job.Output;
  TFitFilm& film = facts.Film;
  film.Seconds = job.InputDuration / 1e6;
  film.Video = job.InputVideo;
  film.Audio = job.InputAudio;
  film.AudioCodec = AudioCodecOf(FProfile, job.Output);
  film.AudioBitRate = FProfile.AudioBitRate.value_or(12200);
  double profileRate = std::atof(FProfile.FrameRate.c_str());
  film.FrameRate = profileRate > 0 ? profileRate : job.SubtitleFrameRate > 0 ? job.SubtitleFrameRate : 25;
  int width = 0, height = 0;
  if (std::sscanf(FProfile.FrameSize.c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0) {
    film.Width = width;
    film.Height = height;
  }
  if (job.InputDuration <= 0) {
    Say(input + ": the length of this input is unknown; --size and --split need it");
    status = 1;
    return std::nullopt;
  }
  return facts;
}

std::string TFitter::Impossible(const std::string& input, const TFitFilm& film) const {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.0f s", std::floor(LongestFit(film, FLimit)));
  std::string limit = LimitText(FLimit);
  std::string word = FLimit % 1000000 == 0 ? std::to_string(FLimit / 1000000) + "M"
                     : FLimit % 1000 == 0  ? std::to_string(FLimit / 1000) + "k"
                                           : std::to_string(FLimit);
  return input + ": " + limit + " holds about " + seconds + " of this film at the lowest quality; try --split " + word +
         " or a shorter part";
}

int TFitter::ConvertOne(const std::string& input, bool split) {
  int status = 0;
  std::optional<TInputFacts> facts = Open(input, status);
  if (!facts) return status;
  if (!split) {
    if (!PlanSizeBudget(facts->Film, FLimit)) {
      Say(Impossible(input, facts->Film));
      return 1;
    }
    return Fit(input, {.Output = facts->Output, .Film = facts->Film});
  }
  std::optional<TSplitPlan> plan = PlanSplit(facts->Film, FProfile.VideoBitrate.value_or(150000), FLimit);
  if (!plan) {
    Say(input + ": " + LimitText(FLimit) + " holds less than a second of this film");
    return 1;
  }
  // Parts begin on whole pictures, so that their lengths add up to the film's.
  double frame = 1 / facts->Film.FrameRate;
  auto boundary = [&](int part) { return std::round(part * plan->PartSeconds / frame) * frame; };
  fs::path output = facts->Output;
  auto partName = [&](int part) {
    return (output.parent_path() / (output.stem().string() + "_" + std::to_string(part + 1) + output.extension().string()))
        .string();
  };
  // The whole name was free; the parts' names must be too.
  std::error_code error;
  for (int part = 0; part < plan->Parts && !FOptions.Overwrite; ++part)
    if (fs::exists(fs::symlink_status(partName(part), error))) {
      Say(partName(part) + ": exists; give --overwrite to replace it");
      return 1;
    }
  for (int part = 0; part < plan->Parts && status == 0; ++part) {
    TFitTarget target;
    target.Output = partName(part);
    target.Film = facts->Film;
    target.Film.Seconds = (part + 1 == plan->Parts ? facts->Film.Seconds : boundary(part + 1)) - boundary(part);
    target.TimeStart = static_cast<int64_t>(std::llround(boundary(part) * 1e6));
    if (part + 1 < plan->Parts) target.TimeLength = static_cast<int64_t>(std::llround(target.Film.Seconds * 1e6));
    if (!PlanSizeBudget(target.Film, FLimit)) {
      Say(Impossible(input, target.Film));
      return 1;
    }
    FPassesDone = 0;
    FPassesPlanned = 2;
    status = Fit(input, target);
  }
  return status;
}

bool TFitter::Pass(const std::string& input, const TFitTarget& target, const std::string& output, int pass,
                   const TSizeBudget& budget, const fs::path& stats) {
  TOutputProfile& profile = FForm.Profile;
  profile = FProfile;
  if (budget.VideoBitRate > 0) {
    profile.VideoBitrate = budget.VideoBitRate;
    // The whole film's average is what counts: no buffer keeps the rate from moment to moment.
    profile.VideoBitRateTolerance = budget.VideoBitRate;
    profile.ExtOptions += (profile.ExtOptions.empty() ? "" : "\n") + std::string("pass=") + std::to_string(pass) +
                          "\npasslogfile=" + (stats / "pass").string();
  }
  if (budget.AudioBitRate > 0) profile.AudioBitRate = budget.AudioBitRate;
  TConversionSession session(FForm);
  session.Encoder().SetVerbose(FOptions.Verbosity > 0 ? 1 : -1);
  const TSessionJob& job = session.AddJob({.Input = input,
                                           .Output = output,
                                           .Overwrite = true,
                                           .Subtitles = FOptions.Subtitles,
                                           .TimeStart = target.TimeStart,
                                           .TimeLength = target.TimeLength});
  if (!job.Set()) {
    Say(job.Input + ": " + job.Failure);
    return false;
  }
  std::string name = fs::path(target.Output).filename().string();
  session.Events.Progress = [&](const TSessionProgress& progress) {
    if (FOptions.Verbosity < 0 || progress.Total <= 0) return;
    FDisplay.Show(name, FPassesDone * progress.Total + progress.Current, FPassesPlanned * progress.Total);
  };
  bool stopped = RunToEnd(session, 1, !FOptions.Subtitles.empty());
  session.Stop(true);
  ++FPassesDone;
  if (stopped || !job.End || !job.End->Finished) {
    FDisplay.Finish();
    if (stopped) Say(input + ": stopped; " + target.Output + " was not written");
    if (!stopped && job.End && job.End->Exception) Say(job.Input + ": " + job.End->ExceptionMsg);
    return false;
  }
  return true;
}

int TFitter::Fit(const std::string& input, const TFitTarget& target) {
  std::optional<TSizeBudget> planned = PlanSizeBudget(target.Film, FLimit);
  TSizeBudget budget = *planned;
  TStatsFolder stats;
  if (stats.Path().empty()) {
    Say("no temporary folder for the first pass's statistics");
    return 1;
  }
  if (FOptions.Verbosity > 0)
    Say(input + ": aiming at video " + std::to_string(budget.VideoBitRate) + " bit/s and audio " +
        std::to_string(budget.AudioBitRate) + " bit/s for " + LimitText(FLimit));
  std::error_code error;
  fs::path output = target.Output;
  std::string extension = output.extension().string();
  auto attemptName = [&](int attempt) {
    return (output.parent_path() / (".vidora-fit-" + std::to_string(getpid()) + "-" + std::to_string(attempt) +
                                    extension)).string();
  };
  if (budget.VideoBitRate > 0 && !Pass(input, target, (stats.Path() / ("first" + extension)).string(), 1, budget, stats.Path()))
    return 1;
  if (budget.VideoBitRate == 0) FPassesPlanned = 1;
  auto [lowestRate, bestRate] = budget.VideoBitRate > 0 ? SecondPassRates(stats.Path(), target.Film.FrameRate)
                                                        : std::pair<int32_t, int32_t>{0, 0};
  // A picture at its best quality below the budget leaves it unfilled: no second try upwards.
  bool best = bestRate > 0 && bestRate < budget.VideoBitRate * 0.9;
  if (best && FOptions.Verbosity > 0)
    Say(input + ": the picture reaches the encoder's best quality (q 2) at " + std::to_string(bestRate / 1000) +
        " kbit/s, below its share of the budget");
  if (budget.VideoBitRate < lowestRate) {
    FDisplay.Finish();
    Say(input + ": even at the encoder's lowest quality this picture needs " + std::to_string(lowestRate / 1000) +
        " kbit/s, more than " + LimitText(FLimit) + " leaves it (" + std::to_string(budget.VideoBitRate / 1000) +
        " kbit/s); try --split or a shorter part");
    return 1;
  }

  // The best attempt that fits so far, kept only until a better one is complete.
  std::string kept;
  int64_t keptSize = 0;
  constexpr int Retries = 2;
  for (int attempt = 0; attempt <= Retries; ++attempt) {
    std::string name = attemptName(attempt);
    bool done = Pass(input, target, name, 2, budget, stats.Path());
    int64_t size = done ? static_cast<int64_t>(fs::file_size(name, error)) : -1;
    if (!done || error) {
      fs::remove(name, error);
      if (!kept.empty()) fs::remove(kept, error);
      return 1;
    }
    int64_t previous = keptSize;
    if (size <= FLimit && size > keptSize) {
      if (!kept.empty()) fs::remove(kept, error);
      kept = name;
      keptSize = size;
    } else {
      fs::remove(name, error);
    }
    // Close enough, or the picture no longer grows with its rate: the
    // encoder is at its best quality and more would only be padding.
    bool full = keptSize >= FLimit * 0.9;
    bool saturated = (best && size <= FLimit) || (attempt > 0 && size <= FLimit && size < previous * 1.02);
    if (budget.VideoBitRate == 0 || full || saturated || attempt == Retries) break;
    // Scale the picture's share by how far the whole file missed.
    int64_t pictureBytes = std::max<int64_t>(size - budget.Overhead - budget.AudioBytes, 1);
    double scale = static_cast<double>(budget.VideoBytes) * 0.97 / static_cast<double>(pictureBytes);
    budget.VideoBitRate = std::max(lowestRate, static_cast<int32_t>(std::min(budget.VideoBitRate * scale, 1e9)));
    ++FPassesPlanned;
    if (FOptions.Verbosity > 0)
      Say(input + ": " + std::to_string(size) + " bytes; again at " + std::to_string(budget.VideoBitRate) + " bit/s");
  }
  FDisplay.Finish();
  if (kept.empty()) {
    Say(input + ": even the lowest rate the encoder reached made more than " + LimitText(FLimit) +
        "; try --split or a shorter part");
    return 1;
  }
  fs::rename(kept, output, error);
  if (error) {
    Say(target.Output + ": " + error.message());
    fs::remove(kept, error);
    return 1;
  }
  if (FOptions.Verbosity >= 0) {
    std::fprintf(stderr, "%s (%lld bytes, %.0f %% of %s)\n", target.Output.c_str(), static_cast<long long>(keptSize),
                 100.0 * static_cast<double>(keptSize) / static_cast<double>(FLimit), LimitText(FLimit).c_str());
  }
  return 0;
}

}  // namespace

int ConvertFitting(const TCliOptions& options, TfrmOption& form, int64_t limit, bool split) {
  int status = 0;
  for (const std::string& input : options.Inputs) {
    TFitter fitter(options, form, limit);
    status = std::max(status, fitter.ConvertOne(input, split));
    if (StopRequested()) break;
  }
  return status;
}

}  // namespace vidora::cli
