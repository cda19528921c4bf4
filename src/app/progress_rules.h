// The arithmetic of the progress label and bar, shared by the conversion's
// progress and the player's position.
#pragma once

#include <cstdint>
#include <optional>

namespace vidora::app {

// current × 100 ÷ total, truncated; nothing when the total is unknown or 0.
std::optional<int64_t> ProgressPercent(int64_t current, int64_t total);
// The bar's fill column for a percentage: percent ÷ 100 × (width − 4),
// rounded half to even, plus 1.
int BarFill(int64_t percent, int barWidth);
// Where a press at column x of the bar seeks: total × x ÷ (width − 4).
int64_t SeekTarget(int64_t total, int x, int barWidth);
// A step from `position`, kept within the film: from its first picture (1)
// to its end; an unknown total bounds it only below.
int64_t SteppedSeekTarget(int64_t position, int64_t step, int64_t total);

// The columns of a bar drawn at fill position p: the filled part [3, x) and
// the empty parts [0, 2) and [x + 1, width); columns 2 and x keep the frame.
struct TBarColumns {
  int FilledFrom, FilledTo;
  int EmptyTo;
  int EmptyFrom;
};
TBarColumns BarColumns(int fill, int barWidth);

// The player's volume steps: down by 10 (below 10: 0), up by 10 up to 120.
int VolumeDown(int volume);
int VolumeUp(int volume);

}  // namespace vidora::app
