#include "session/size_fit.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "options/first_pass_stats.h"

namespace vidora {

namespace {

namespace fs = std::filesystem;

// At most this many second passes after the first one.
constexpr int Retries = 2;

// The picture rates a second pass can reach, from the first pass's
// statistics: {lowest, best quality}; {0, 0} when there are none.
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

void Remove(const std::string& name) {
  std::error_code error;
  if (!name.empty()) fs::remove(name, error);
}

}  // namespace

std::string FitPartName(const std::string& output, int part) {
  fs::path path = output;
  return (path.parent_path() / (path.stem().string() + "_" + std::to_string(part + 1) + path.extension().string()))
      .string();
}

TSizeFit::TSizeFit(const TFitFilm& film, int32_t videoBitRate, int64_t limit, bool split, const std::string& output,
                   bool overwrite)
    : FFilm(film),
      FVideoBitRate(videoBitRate),
      FLimit(limit),
      FSplit(split),
      FOutput(output),
      FOverwrite(overwrite),
      FCopy(film.Seconds <= 0) {
  if (FCopy) {
    if (!split) FFailure = "the length of this input is unknown; --size needs it";
  } else if (!split) {
    if (!PlanSizeBudget(film, limit)) FFailure = Impossible(film);
  } else {
    PlanParts();
  }
}

void TSizeFit::RemoveUnfinished() {
  RemoveAttempts();
  if (FCopy) Remove(CopyName());
}

void TSizeFit::PlanParts() {
  // As few parts as the film's own rates allow, all of about the same length.
  std::optional<TSplitPlan> plan = PlanSplit(FFilm, FVideoBitRate, FLimit);
  if (!plan) {
    FFailure = LimitText(FLimit) + " holds less than a second of this film";
    return;
  }
  FParts = plan->Parts;
  FPartSeconds = plan->PartSeconds;
  std::error_code error;
  for (int part = 0; part < FParts && !FOverwrite && FFailure.empty(); ++part)
    if (fs::exists(fs::symlink_status(PartName(part), error)))
      FFailure = PartName(part) + ": exists; give --overwrite to replace it";
}

double TSizeFit::Boundary(int part) const {
  // Parts begin on whole pictures, so that their lengths add up to the film's.
  double frame = 1 / FFilm.FrameRate;
  return part >= FParts ? FFilm.Seconds : std::round(part * FPartSeconds / frame) * frame;
}

void TSizeFit::SetPartTimes(TFitRun& run) const {
  run.FromCopy = FCopied;
  if (!FSplit) return;
  run.TimeStart = static_cast<int64_t>(std::llround(Boundary(FPart) * 1e6));
  if (FPart + 1 < FParts) run.TimeLength = static_cast<int64_t>(std::llround(FPartFilm.Seconds * 1e6));
}

void TSizeFit::RemoveAttempts() {
  Remove(FRunning);
  Remove(FKept);
  FRunning.clear();
  FKept.clear();
  std::error_code error;
  if (!FStatistics.empty()) fs::remove_all(FStatistics, error);
  FStatistics.clear();
}

std::string TSizeFit::CopyName() const {
  return (FOutput.parent_path() / (".vidora-copy-" + std::to_string(getpid()) + "-" + FOutput.stem().string() + ".mkv"))
      .string();
}

std::string TSizeFit::PartName(int part) const { return FSplit ? FitPartName(FOutput.string(), part) : FOutput.string(); }

std::string TSizeFit::AttemptName(int attempt) const {
  return (FOutput.parent_path() / (".vidora-fit-" + std::to_string(getpid()) + "-" + std::to_string(attempt) +
                                   FOutput.extension().string()))
      .string();
}

std::string TSizeFit::Impossible(const TFitFilm& film) {
  FLongest = std::floor(LongestFit(film, FLimit));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.0f s", FLongest);
  return LimitText(FLimit) + " holds about " + seconds + " of this film at the lowest quality";
}

std::optional<TFitRun> TSizeFit::Fail(const std::string& why) {
  FFailure = why;
  RemoveAttempts();
  return std::nullopt;
}

std::optional<TFitRun> TSizeFit::First() {
  if (!FFailure.empty()) return std::nullopt;
  if (FCopy) {
    FPass = FPassesPlanned = 1;
    return TFitRun{.Pass = TFitPass::Copy, .Output = CopyName()};
  }
  return StartPart(0);
}

std::optional<TFitRun> TSizeFit::StartPart(int part) {
  FPart = part;
  FPartFilm = FFilm;
  if (FSplit) FPartFilm.Seconds = Boundary(part + 1) - Boundary(part);
  TFitRun run;
  SetPartTimes(run);
  std::optional<TSizeBudget> budget = PlanSizeBudget(FPartFilm, FLimit);
  if (!budget) return Fail(Impossible(FPartFilm));
  FBudget = *budget;
  FAttempt = -1;
  FKept.clear();
  FKeptSize = FLastSize = 0;
  FBest = false;
  FLowestRate = 0;
  if (Note)
    Note("aiming at video " + std::to_string(FBudget.VideoBitRate) + " bit/s and audio " +
         std::to_string(FBudget.AudioBitRate) + " bit/s for " + LimitText(FLimit));
  run.AudioBitRate = FBudget.AudioBitRate;
  if (FBudget.VideoBitRate == 0) {
    // Sound alone keeps its rate: one pass says it all.
    FPass = FPassesPlanned = 1;
    FAttempt = 0;
    run.Pass = TFitPass::Single;
    run.Output = FRunning = AttemptName(0);
    return run;
  }
  std::string pattern = (fs::temp_directory_path() / "vidora-fit-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return Fail("no temporary folder for the first pass's statistics");
  FStatistics = pattern;
  FPass = 1;
  FPassesPlanned = 2;
  run.Pass = TFitPass::First;
  run.VideoBitRate = FBudget.VideoBitRate;
  run.Statistics = (FStatistics / "pass").string();
  run.Output = FRunning = (FStatistics / ("first" + FOutput.extension().string())).string();
  return run;
}

std::optional<TFitRun> TSizeFit::SecondPass() {
  ++FAttempt;
  if (FAttempt > 0) ++FPass;
  TFitRun run;
  run.Pass = TFitPass::Second;
  SetPartTimes(run);
  run.VideoBitRate = FBudget.VideoBitRate;
  run.AudioBitRate = FBudget.AudioBitRate;
  run.Statistics = (FStatistics / "pass").string();
  run.Output = FRunning = AttemptName(FAttempt);
  return run;
}

std::optional<TFitRun> TSizeFit::Next(double copySeconds) {
  if (!FFailure.empty()) return std::nullopt;
  if (FCopy && !FCopied) {
    // The copy is made: its length is the film's.
    FCopied = true;
    FFilm.Seconds = copySeconds;
    if (copySeconds <= 0) return Fail("nothing came from this input");
    PlanParts();
    if (!FFailure.empty()) return Fail(FFailure);
    return StartPart(0);
  }
  if (FAttempt < 0) {
    // The first pass: how small and how good the picture can be.
    Remove(FRunning);
    FRunning.clear();
    auto [lowest, best] = SecondPassRates(FStatistics, FPartFilm.FrameRate);
    FLowestRate = lowest;
    // A picture at its best quality below the budget leaves it unfilled: no second try upwards.
    FBest = best > 0 && best < FBudget.VideoBitRate * 0.9;
    if (FBest && Note)
      Note("the picture reaches the encoder's best quality (q 2) at " + std::to_string(best / 1000) +
           " kbit/s, below its share of the budget");
    if (FBudget.VideoBitRate < lowest)
      return Fail("even at the encoder's lowest quality this picture needs " + std::to_string(lowest / 1000) +
                  " kbit/s, more than " + LimitText(FLimit) + " leaves it (" +
                  std::to_string(FBudget.VideoBitRate / 1000) + " kbit/s)");
    FPass = 2;
    return SecondPass();
  }
  return Judge();
}

void TSizeFit::InputEndsAt(double seconds) {
  if (!FFailure.empty() || seconds >= FFilm.Seconds) return;
  // Later parts would find nothing to read.
  double start = FSplit ? Boundary(FPart) : 0;
  FFilm.Seconds = std::max(seconds, start);
  if (FSplit) FParts = FPart + 1;
  FPartFilm.Seconds = FFilm.Seconds - start;
  // After the first pass, the second spends the whole budget on the shorter film.
  if (FAttempt >= 0 || FBudget.VideoBitRate == 0 || FPartFilm.Seconds <= 0) return;
  if (std::optional<TSizeBudget> budget = PlanSizeBudget(FPartFilm, FLimit)) {
    FBudget = *budget;
    if (Note)
      Note("the input ends at " + std::to_string(static_cast<int>(seconds)) + " s; aiming at video " +
           std::to_string(FBudget.VideoBitRate) + " bit/s");
  }
}

std::optional<TFitRun> TSizeFit::Judge() {
  std::error_code error;
  std::string name = FRunning;
  FRunning.clear();
  uintmax_t bytes = fs::file_size(name, error);
  if (error) {
    Remove(name);
    return Fail(name + ": " + error.message());
  }
  int64_t size = static_cast<int64_t>(bytes);
  int64_t previous = FLastSize;
  FLastSize = size;
  if (size <= FLimit && size > FKeptSize) {
    Remove(FKept);
    FKept = name;
    FKeptSize = size;
  } else {
    Remove(name);
  }
  // Close enough, or the picture no longer grows with its rate: the encoder
  // is at its best quality and more would only be padding.
  bool full = FKeptSize >= FLimit * 0.9;
  bool saturated = (FBest && size <= FLimit) || (FAttempt > 0 && size <= FLimit && size < previous * 1.02);
  if (FBudget.VideoBitRate > 0 && !full && !saturated && FAttempt < Retries) {
    // Scale the picture's share by how far the whole file missed.
    int64_t pictureBytes = std::max<int64_t>(size - FBudget.Overhead - FBudget.AudioBytes, 1);
    double scale = static_cast<double>(FBudget.VideoBytes) * 0.97 / static_cast<double>(pictureBytes);
    FBudget.VideoBitRate =
        std::max(FLowestRate, static_cast<int32_t>(std::min(FBudget.VideoBitRate * scale, 1e9)));
    ++FPassesPlanned;
    if (Note) Note(std::to_string(size) + " bytes; again at " + std::to_string(FBudget.VideoBitRate) + " bit/s");
    return SecondPass();
  }
  if (FKept.empty())
    return Fail("even the lowest rate the encoder reached made more than " + LimitText(FLimit));
  std::string target = PartName(FPart);
  fs::rename(FKept, target, error);
  if (error) return Fail(target + ": " + error.message());
  FKept.clear();
  FWritten.push_back(target);
  RemoveAttempts();
  if (FPart + 1 < FParts) return StartPart(FPart + 1);
  return std::nullopt;
}

std::pair<int64_t, int64_t> TSizeFit::Progress(int64_t current, int64_t total) const {
  if (FCopy && !FCopied) return {current, -1};
  // Each part weighs its length times its passes; the parts to come, two passes (one without picture).
  double passes = FFilm.Video ? 2 : 1;
  double partSeconds = FSplit ? FPartSeconds : FFilm.Seconds;
  double done = 0;  // seconds of work
  for (int part = 0; part < FPart; ++part) done += passes * partSeconds;
  double running = total > 0 ? static_cast<double>(std::clamp(current, int64_t{0}, total)) / static_cast<double>(total) : 0;
  double now = done + (FPass - 1 + running) * FPartFilm.Seconds;
  double whole = done + FPassesPlanned * FPartFilm.Seconds + (FParts - FPart - 1) * passes * partSeconds;
  return {static_cast<int64_t>(now * 1e6), static_cast<int64_t>(whole * 1e6)};
}

}  // namespace vidora
