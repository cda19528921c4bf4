#include "options/size_budget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <stdexcept>

namespace vidora {

namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// AMR stores one frame for every 20 ms, a header byte and the mode's bits.
struct TAmrMode {
  int32_t Rate;
  int FrameBytes;
};
constexpr TAmrMode AmrNarrowModes[] = {{4750, 13}, {5150, 14}, {5900, 16}, {6700, 18},
                                       {7400, 20}, {7950, 21}, {10200, 27}, {12200, 32}};
constexpr TAmrMode AmrWideModes[] = {{6600, 18},  {8850, 24},  {12650, 33}, {14250, 37}, {15850, 41},
                                     {18250, 47}, {19850, 51}, {23050, 59}, {23850, 61}};

// The codec's modes, or none for a codec without fixed modes.
std::pair<const TAmrMode*, size_t> ModesOf(const std::string& codec) {
  if (Contains(codec, "amr_wb") || Contains(codec, "amrwb")) return {AmrWideModes, std::size(AmrWideModes)};
  if (codec.empty() || Contains(codec, "amr_nb") || Contains(codec, "amrnb"))
    return {AmrNarrowModes, std::size(AmrNarrowModes)};
  return {nullptr, 0};
}

// A free-rate encoder keeps its average only roughly: leave it room.
constexpr double FreeRateMargin = 1.03;
// Two-pass rate control lands within about a percent of its aim; aiming a
// little low spares most files a third pass.
constexpr double VideoAim = 0.97;

}  // namespace

int64_t ParseFileSize(const std::string& text) {
  auto refuse = [&](const std::string& why) {
    return std::invalid_argument("a size such as 300k, 1.5M or 600KiB is needed; \"" + text + "\" " + why);
  };
  std::string digits = text.substr(0, text.find_first_not_of("0123456789."));
  if (digits.empty() || std::count(digits.begin(), digits.end(), '.') > 1 || digits == ".")
    throw refuse(text.size() && text[0] == '-' ? "is negative" : "is not a size");
  double number = std::stod(digits);
  std::string unit = text.substr(digits.size());
  double scale = 0;
  for (auto [name, factor] : {std::pair<const char*, double>{"", 1}, {"B", 1}, {"k", 1e3}, {"K", 1e3}, {"kB", 1e3},
                              {"KB", 1e3}, {"M", 1e6}, {"MB", 1e6}, {"KiB", 1024}, {"MiB", 1048576}})
    if (unit == name) scale = factor;
  if (scale == 0) throw refuse("has a unit that is not k, M, KiB or MiB");
  double bytes = std::floor(number * scale);
  if (bytes <= 0) throw refuse("is zero");
  if (bytes < SmallestFileSize) throw refuse("is below the " + LimitText(SmallestFileSize) + " any film needs");
  if (bytes > static_cast<double>(LargestFileSize)) throw refuse("is beyond the 4 GiB a phone file can be");
  return static_cast<int64_t>(bytes);
}

std::string LimitText(int64_t bytes) {
  char text[32];
  if (bytes >= 1000000)
    std::snprintf(text, sizeof text, "%.*f MB", bytes % 1000000 == 0 || bytes >= 10000000 ? 0 : 1, bytes / 1e6);
  else
    std::snprintf(text, sizeof text, "%.0f KB", std::round(bytes / 1e3));
  return text;
}

std::vector<int32_t> AudioRateSteps(const std::string& codec, int32_t rate) {
  auto [modes, count] = ModesOf(codec);
  std::vector<int32_t> steps;
  for (size_t i = 0; i < count; ++i)
    if (modes[i].Rate <= rate) steps.push_back(modes[i].Rate);
  // AAC takes any rate; below 32 kbit/s its stereo sound turns to gargle.
  if (Contains(codec, "aac"))
    for (int32_t step : {32000, 48000, 64000})
      if (step < rate) steps.push_back(step);
  if (steps.empty() || steps.back() < rate) steps.push_back(rate);
  return steps;
}

int64_t AudioBytes(const std::string& codec, int32_t rate, double seconds) {
  auto [modes, count] = ModesOf(codec);
  int64_t frames = static_cast<int64_t>(std::ceil(seconds * 50));
  for (size_t i = 0; i < count; ++i)
    if (modes[i].Rate == rate) return frames * modes[i].FrameBytes;
  return static_cast<int64_t>(std::ceil(rate / 8.0 * seconds * FreeRateMargin));
}

int64_t ContainerOverhead(const TFitFilm& film) {
  // The boxes every file has, then the sample tables: a size and a chunk
  // entry for every picture and a chunk entry for every few sound frames.
  double perSecond = (film.Video ? film.FrameRate * 12 : 0) + (film.Audio ? 60 : 0);
  return 2500 + static_cast<int64_t>(std::ceil(perSecond * film.Seconds));
}

int32_t LowestVideoBitRate(const TFitFilm& film) {
  // Below about a twentieth of a bit a pixel, H.263 and MPEG-4 pictures
  // fall apart into blocks whatever the encoder does.
  return static_cast<int32_t>(std::lround(0.05 * film.Width * film.Height * film.FrameRate));
}

namespace {

std::optional<TSizeBudget> BudgetAt(const TFitFilm& film, int64_t limit, int32_t audioRate) {
  TSizeBudget budget;
  budget.Overhead = ContainerOverhead(film);
  if (film.Audio) {
    budget.AudioBitRate = audioRate;
    budget.AudioBytes = AudioBytes(film.AudioCodec, audioRate, film.Seconds);
  }
  budget.VideoBytes = limit - budget.Overhead - budget.AudioBytes;
  if (budget.VideoBytes <= 0) return std::nullopt;
  if (!film.Video) return budget;
  double rate = budget.VideoBytes * 8.0 / std::max(film.Seconds, 0.04) * VideoAim;
  if (rate < LowestVideoBitRate(film) || rate > INT32_MAX) return std::nullopt;
  budget.VideoBitRate = static_cast<int32_t>(rate);
  return budget;
}

}  // namespace

std::optional<TSizeBudget> PlanSizeBudget(const TFitFilm& film, int64_t limit) {
  std::vector<int32_t> steps = AudioRateSteps(film.AudioCodec, film.AudioBitRate);
  // The profile's rate first; a lower step only when the picture needs the room.
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    if (std::optional<TSizeBudget> budget = BudgetAt(film, limit, *step)) return budget;
  return std::nullopt;
}

double LongestFit(const TFitFilm& film, int64_t limit) {
  double low = 0, high = 1;
  TFitFilm trial = film;
  auto fits = [&](double seconds) {
    trial.Seconds = seconds;
    return PlanSizeBudget(trial, limit).has_value();
  };
  while (fits(high) && high < 1e7) high *= 2;
  for (int i = 0; i < 40; ++i) (fits((low + high) / 2) ? low : high) = (low + high) / 2;
  return low;
}

int64_t ExpectedFileSize(const TFitFilm& film, int32_t videoBitRate) {
  int64_t bytes = ContainerOverhead(film);
  if (film.Audio) bytes += AudioBytes(film.AudioCodec, film.AudioBitRate, film.Seconds);
  if (film.Video) bytes += static_cast<int64_t>(videoBitRate / 8.0 * film.Seconds);
  return bytes;
}

std::optional<TSplitPlan> PlanSplit(const TFitFilm& film, int32_t videoBitRate, int64_t limit) {
  // The longest part the profile's own rates fit into the limit.
  TFitFilm part = film;
  double low = 0, high = std::max(film.Seconds, 1.0);
  for (int i = 0; i < 40; ++i) {
    part.Seconds = (low + high) / 2;
    (ExpectedFileSize(part, videoBitRate) <= limit ? low : high) = part.Seconds;
  }
  if (low < 1) return std::nullopt;
  TSplitPlan plan;
  plan.Parts = std::max(1, static_cast<int>(std::ceil(film.Seconds / low - 1e-9)));
  plan.PartSeconds = film.Seconds / plan.Parts;
  return plan;
}

}  // namespace vidora
