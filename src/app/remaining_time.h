// The remaining-time estimate: a 3-second sampler of the conversion's
// progress over the last 27 seconds of converting.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vidora::app {

class TRemainingTime {
 public:
  // Formats hours, minutes and seconds as the user's long time of day; empty
  // when it cannot.
  using TTimeFormat = std::function<std::string(int hours, int minutes, int seconds)>;
  static constexpr const char* Unknown = "(---:--:--)";

  explicit TRemainingTime(TTimeFormat format) : FFormat(std::move(format)) {}

  // A new conversion: no samples, no estimate.
  void Clear();
  // Time spent paused is left out of the sampling window (`nowMs` is any
  // monotonic clock in milliseconds).
  void Pause(int64_t nowMs);
  void Resume(int64_t nowMs);
  // One sampler tick; returns the remaining text ("(-03:12)", "(---:--:--)"),
  // or empty on the first tick, when there is nothing to compare yet.
  std::string Tick(int64_t nowMs, int64_t current, int64_t total);
  // The text of a remaining time, as the estimate shows it.
  std::string Text(double remainingMs) const;

 private:
  struct TSample {
    int64_t ActiveMs = 0;  // converting time: wall-clock less the pauses
    int64_t Current = 0;
  };
  TTimeFormat FFormat;
  TSample FHistory[10];
  int FTicks = 0;
  int64_t FPausedMs = 0;     // paused time so far
  int64_t FPauseStart = -1;  // while paused
};

}  // namespace vidora::app
