// The runs of the encoder that make a job's output fit a size: a first pass
// that learns the picture, a second that spends the budget, a smaller one
// again when the file came out over; for a split, that for each part in
// turn. An input of unknown length is first copied aside as it comes, which
// measures it. Only a finished file that fits ever takes an output's name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/encoder/options.h"
#include "options/size_budget.h"

namespace vidora {

enum class TFitPass {
  Copy,    // the input copied as it is into a file that can be read again
  First,   // statistics only
  Second,  // the output, at the rate the statistics allow
  Single,  // the output of a film without picture: its sound keeps its rate
};

// One run of the encoder.
struct TFitRun {
  TFitPass Pass = TFitPass::Single;
  std::string Output;
  bool FromCopy = false;  // reads the copy of the input, not the input
  int64_t TimeStart = NoTime;
  int64_t TimeLength = NoTime;
  int32_t VideoBitRate = 0;  // 0: none asked
  int32_t AudioBitRate = 0;
  std::string Statistics;  // the two passes' file prefix
};

class TSizeFit {
 public:
  // `film.Seconds` of 0 or less: the length is unknown (a split measures it
  // by copying the input first; one file cannot be planned without it).
  // `output` is the whole film's name; parts are numbered beside it.
  // `videoBitRate` is the picture's rate without a limit, which sets how
  // long the parts of a split are.
  TSizeFit(const TFitFilm& film, int32_t videoBitRate, int64_t limit, bool split, const std::string& output,
           bool overwrite);
  ~TSizeFit() { RemoveUnfinished(); }
  // What did not become an output goes: attempts, the copy, statistics.
  void RemoveUnfinished();
  TSizeFit(const TSizeFit&) = delete;
  TSizeFit& operator=(const TSizeFit&) = delete;

  // Why the limit cannot be met, known before anything runs; empty when it can.
  const std::string& Refusal() const { return FFailure; }
  // With that refusal: the seconds of this film the limit holds.
  double Longest() const { return FLongest; }
  // Where a copy of an input of unknown length goes.
  std::string CopyName() const;
  bool NeedsCopy() const { return FCopy; }

  // The first run; none when it cannot be set up (see Failure()).
  std::optional<TFitRun> First();
  // After a run that finished: the next run, or none when the job is done
  // (Failure() empty) or cannot go on. `copySeconds` is the copy's length,
  // read once the copy is made.
  std::optional<TFitRun> Next(double copySeconds = 0);
  // The run that ended found the input's data ending `seconds` into the
  // film, before its stated length: the part under way is the last, and
  // what is still to be planned for it is planned for what there is.
  void InputEndsAt(double seconds);
  const std::string& Failure() const { return FFailure; }
  // The files written, in order: the output, or the parts.
  const std::vector<std::string>& Written() const { return FWritten; }
  // What the budget decided, said for a verbose log.
  std::function<void(const std::string&)> Note;

  // Where the whole job has got to, in µs of work, from the running pass's
  // own progress; a total of -1 while the length is unknown.
  std::pair<int64_t, int64_t> Progress(int64_t current, int64_t total) const;
  int Pass() const { return FPass; }
  int Passes() const { return FPassesPlanned; }
  int Part() const { return FPart + 1; }
  int Parts() const { return FParts; }

 private:
  std::optional<TFitRun> StartPart(int part);
  std::optional<TFitRun> SecondPass();
  std::optional<TFitRun> Judge();
  std::string PartName(int part) const;
  std::string AttemptName(int attempt) const;
  void PlanParts();
  // Where `part` begins in the film, in seconds; the film's end after the last.
  double Boundary(int part) const;
  void SetPartTimes(TFitRun& run) const;
  std::string Impossible(const TFitFilm& film);
  std::optional<TFitRun> Fail(const std::string& why);
  void RemoveAttempts();

  TFitFilm FFilm;
  const int32_t FVideoBitRate;
  const int64_t FLimit;
  const bool FSplit;
  const std::filesystem::path FOutput;
  const bool FOverwrite;
  std::string FFailure;
  double FLongest = 0;
  std::vector<std::string> FWritten;

  // The plan: parts of equal length on whole pictures.
  int FParts = 1;
  double FPartSeconds = 0;
  // The part under way.
  int FPart = 0;
  TFitFilm FPartFilm;
  TSizeBudget FBudget;
  std::filesystem::path FStatistics;  // a private folder; empty between parts
  int32_t FLowestRate = 0;
  bool FBest = false;  // the picture reaches its best quality below its share
  int FAttempt = -1;
  std::string FKept;  // the best attempt that fits so far
  int64_t FKeptSize = 0;
  int64_t FLastSize = 0;
  std::string FRunning;  // the file the current run writes
  int FPass = 0, FPassesPlanned = 0;
  const bool FCopy;  // the input's length is unknown: it is copied first
  bool FCopied = false;
};

// "clip_3GP.3gp" part 0 -> "clip_3GP_1.3gp".
std::string FitPartName(const std::string& output, int part);

}  // namespace vidora
