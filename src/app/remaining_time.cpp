#include "app/remaining_time.h"

#include <cmath>

namespace vidora::app {

void TRemainingTime::Clear() {
  for (TSample& sample : FHistory) sample = TSample{};
  FTicks = 0;
  FPausedMs = 0;
  FPauseStart = -1;
}

void TRemainingTime::Pause(int64_t nowMs) {
  if (FPauseStart < 0) FPauseStart = nowMs;
}

void TRemainingTime::Resume(int64_t nowMs) {
  if (FPauseStart < 0) return;
  FPausedMs += nowMs - FPauseStart;
  FPauseStart = -1;
}

std::string TRemainingTime::Tick(int64_t nowMs, int64_t current, int64_t total) {
  // A size-fitted run that encodes again steps back: the samples before that
  // measured a pass that is over, so the sampling starts anew.
  if (FTicks > 0 && current < FHistory[0].Current) FTicks = 0;
  if (FTicks < 10) ++FTicks;
  for (int k = 8; k >= 0; --k) FHistory[k + 1] = FHistory[k];
  FHistory[0] = TSample{nowMs - FPausedMs, current};
  if (FTicks == 1) return {};
  const TSample& reference = FHistory[FTicks - 1];
  double elapsedMs = static_cast<double>(FHistory[0].ActiveMs - reference.ActiveMs);
  int64_t advanced = FHistory[0].Current - reference.Current;
  if (advanced < 1) return Unknown;
  return Text(std::nearbyint(static_cast<double>(total - current) * elapsedMs / static_cast<double>(advanced)));
}

std::string TRemainingTime::Text(double remainingMs) const {
  if (!(remainingMs >= 0) || remainingMs >= 24.0 * 3600000) return Unknown;
  auto ms = static_cast<int64_t>(remainingMs);
  std::string text = FFormat(static_cast<int>(ms / 3600000), static_cast<int>(ms % 3600000 / 60000),
                             static_cast<int>(ms % 60000 / 1000));
  if (text.empty()) return Unknown;
  if (text.compare(0, 2, "00") == 0) text = text.substr(3, 10);
  return "(-" + text + ")";
}

}  // namespace vidora::app
