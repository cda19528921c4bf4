// Decides, frame by frame, which subtitle of the time table is on screen and
// for how long, and has it drawn. One scheduler per conversion job.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "options/subtitle_reader.h"
#include "options/subtitle_renderer.h"

namespace vidora {

struct THookInfo;

struct TKolejkaTXT {
  TText Text;       // at most 255 characters
  int64_t Gap = 0;  // milliseconds to the next row's time; 0 for the last row
};

class TSubtitleScheduler {
 public:
  // The settings and the font must outlive the scheduler; the table is copied.
  TSubtitleScheduler(const TSubtitleTable& table, const TSubtitleSettings& settings, const TWorkingFont& font,
                     bool subtitlesOn);

  // The input video hook of the job: queues what is due, draws what shows.
  void OnFrame(THookInfo& info);
  // Burn-in on or off from any thread; off ends the hook at the next frame.
  void SetSubtitlesOn(bool on) { FSubtitlesOn = on; }

  // Draws `text` into the frame again (redraw), or starts a new subtitle:
  // its display time counts from this frame, which it leaves unchanged.
  void PiszTXT(const TText& text, int64_t gap, bool redraw, TBitmap& frame);

  bool Showing() const { return FShowing; }
  int64_t DisplayTime() const { return FDisplayTime; }
  int64_t EndTime() const { return FEndTime; }
  const TText& SubText() const { return FSubText; }
  size_t Queued() const { return FQueue.size(); }

 private:
  void QueueDueRows();

  // Row i of the table is FKeys[i - 1]; rows whose key is not a number, and
  // rows with nothing to draw (an empty banner), are never due.
  std::vector<std::optional<int64_t>> FKeys;
  std::vector<TText> FTexts;
  const TSubtitleSettings& FSettings;
  TSubtitleRenderer FRenderer;
  std::atomic<bool> FSubtitlesOn;  // set by any thread, read by the job's worker

  int64_t FFramePTS = 0;     // µs
  int64_t FDisplayTime = 0;  // ms
  int64_t FEndTime = 0;      // µs
  bool FShowing = false;
  TText FSubText;
  size_t FSubRow = 1;
  std::deque<TKolejkaTXT> FQueue;
};

}  // namespace vidora
