// A limit on the output file's size: how the user writes it, and how its
// bytes are shared out between the sound, the container and the picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vidora {

// The largest limit taken: a phone file's sizes are 32-bit.
inline constexpr int64_t LargestFileSize = (int64_t{1} << 32) - 1;
// The smallest: the container's own boxes take a few kilobytes.
inline constexpr int64_t SmallestFileSize = 8000;

// "480000", "300k", "1.5M", "600KiB", "2MiB" (k = 1000, M = 1,000,000,
// KiB and MiB powers of 1024; kB, MB and a final "B" are taken too) in
// bytes. Throws std::invalid_argument with a message for the user when the
// text is not a size, or it is zero, negative or beyond what a file can be.
int64_t ParseFileSize(const std::string& text);
// "300 KB", "1.4 MB": a size as the window and the messages show it.
std::string LimitText(int64_t bytes);

// What the budget needs to know of one output.
struct TFitFilm {
  double Seconds = 0;        // the output's length
  bool Video = true;
  bool Audio = true;
  std::string AudioCodec;    // the encoder's name; empty: the container's own (AMR-NB in 3GP)
  int32_t AudioBitRate = 12200;
  double FrameRate = 25;     // output pictures a second
  int Width = 176, Height = 144;
};

// The rates that make a file of at most the limit's size.
struct TSizeBudget {
  int32_t AudioBitRate = 0;  // 0 without sound
  int32_t VideoBitRate = 0;  // 0 without picture
  int64_t AudioBytes = 0;
  int64_t Overhead = 0;      // the container's boxes and tables
  int64_t VideoBytes = 0;    // what is left for the picture
};

// The audio rates the codec can be lowered to, lowest first; just `rate`
// for a codec whose steps are not known here.
std::vector<int32_t> AudioRateSteps(const std::string& codec, int32_t rate);
// The sound's share of the file, exactly for a constant-rate codec.
int64_t AudioBytes(const std::string& codec, int32_t rate, double seconds);
// The container's boxes and sample tables for that film.
int64_t ContainerOverhead(const TFitFilm& film);
// The lowest picture rate that still shows a picture worth seeing.
int32_t LowestVideoBitRate(const TFitFilm& film);

// Audio first (the profile's rate, lowered step by step when the picture
// would fall below its lowest rate), then the container, then the picture.
// None when even the lowest rates cannot fit.
std::optional<TSizeBudget> PlanSizeBudget(const TFitFilm& film, int64_t limit);
// How many seconds of the film the limit holds at the lowest rates.
double LongestFit(const TFitFilm& film, int64_t limit);
// The profile's bytes for that film: what a conversion without a limit makes, about.
int64_t ExpectedFileSize(const TFitFilm& film, int32_t videoBitRate);

// A split into parts that each fit: as few parts as the film's rates allow
// within the limit, all of about the same length.
struct TSplitPlan {
  int Parts = 0;
  double PartSeconds = 0;
};
// None when a part could not hold even a second.
std::optional<TSplitPlan> PlanSplit(const TFitFilm& film, int32_t videoBitRate, int64_t limit);

}  // namespace vidora
