// Decides, frame by frame, which subtitle of the time table is on screen, and
// has it drawn. One scheduler per conversion job, or per preview.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "options/subtitle_reader.h"
#include "options/subtitle_renderer.h"

namespace vidora {

struct THookInfo;

class TSubtitleScheduler {
 public:
  // The settings and the font must outlive the scheduler; the table is copied.
  TSubtitleScheduler(const TSubtitleTable& table, const TSubtitleSettings& settings, const TWorkingFont& font,
                     bool subtitlesOn);

  // The input video hook of the job: draws the subtitle of the frame's time.
  void OnFrame(THookInfo& info);
  // Burn-in on or off from any thread; off ends the hook at the next frame.
  void SetSubtitlesOn(bool on) { FSubtitlesOn = on; }
  // µs to add to the frames' times: a run that reads the film from part way
  // in counts its times from there. Set before the run.
  void SetTimeShift(int64_t shift) { FTimeShift = shift; }

  // Draws the subtitle shown at `time` (µs of the film) into `frame`, as it
  // is burned in; false when none shows then. Times may go back (a preview seeks).
  bool DrawAt(int64_t time, TBitmap& frame);

  // The subtitle of the last frame: whether one showed, its text, and when it
  // ends (µs) after how long a stay (ms).
  bool Showing() const { return FShowing; }
  const TText& SubText() const { return FCues[FCurrent].Text; }
  int64_t EndTime() const { return FShowing ? FCurrentEnd : 0; }
  int64_t DisplayTime() const { return FShowing ? (FCurrentEnd - FCues[FCurrent].Start) / 1000 : 0; }

 private:
  struct TCue {
    int64_t Start = 0;  // µs
    int64_t End = -1;   // µs; -1: the file gives none
    TText Text;
  };
  // Where the cue stops: its own end, or for files without ends its display
  // time, and never after the next cue starts.
  int64_t CueEnd(size_t i) const;
  // Points FCurrent at the last cue started by `time`; false when none has.
  bool Seek(int64_t time);

  std::vector<TCue> FCues;  // ordered by start; a sentinel without text when empty
  const TSubtitleSettings& FSettings;
  TSubtitleRenderer FRenderer;
  std::atomic<bool> FSubtitlesOn;  // set by any thread, read by the job's worker
  int64_t FTimeShift = 0;

  size_t FCurrent = 0;
  // Where the current cue stops, worked out once per cue rather than per
  // frame: a display time measures the text.
  size_t FEndOf = SIZE_MAX;
  int64_t FCurrentEnd = 0;
  bool FShowing = false;
};

}  // namespace vidora
