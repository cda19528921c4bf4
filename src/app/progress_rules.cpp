#include "app/progress_rules.h"

#include <algorithm>

#include <cmath>

namespace vidora::app {

std::optional<int64_t> ProgressPercent(int64_t current, int64_t total) {
  if (total <= 0) return std::nullopt;
  return current * 100 / total;
}

int BarFill(int64_t percent, int barWidth) {
  return static_cast<int>(std::nearbyint(static_cast<double>(percent) / 100.0 * (barWidth - 4))) + 1;
}

int64_t SeekTarget(int64_t total, int x, int barWidth) {
  if (barWidth <= 4) return 0;
  return total * x / (barWidth - 4);
}

int64_t SteppedSeekTarget(int64_t position, int64_t step, int64_t total) {
  int64_t target = std::max<int64_t>(position + step, 1);
  return total > 0 ? std::min(target, total) : target;
}

TBarColumns BarColumns(int fill, int barWidth) {
  int x = fill < 3 ? 2 : fill;
  return {3, x, 2, x + 1 < barWidth ? x + 1 : barWidth};
}

int VolumeDown(int volume) { return volume >= 10 ? volume - 10 : 0; }

int VolumeUp(int volume) { return volume <= 110 ? volume + 10 : volume; }

}  // namespace vidora::app
