#include "options/subtitle_scheduler.h"

#include <algorithm>

#include "media/encoder/encoder.h"
#include "media/base/text_convert.h"

namespace vidora {

namespace {
constexpr int64_t MaxKey = 1'000'000'000'000'000;
}  // namespace

TSubtitleScheduler::TSubtitleScheduler(const TSubtitleTable& table, const TSubtitleSettings& settings,
                                       const TWorkingFont& font, bool subtitlesOn)
    : FSettings(settings), FRenderer(settings, font), FSubtitlesOn(subtitlesOn) {
  for (const TSubtitleRow& row : table) {
    int64_t key = 0;
    try {
      key = StrToInt64(row.Key);
    } catch (const std::invalid_argument&) {
      continue;
    }
    // Times beyond thirty thousand years are never due (and cannot overflow in µs).
    if (key > MaxKey || key < -MaxKey) continue;
    TText text = DecodeUtf8(row.Text);
    if (IsBlank(WithoutTags(text))) continue;
    text.resize(std::min(text.size(), MaxSubtitleChars));
    int64_t end = row.End > key && row.End <= MaxKey ? row.End * 1000 : -1;
    FCues.push_back({key * 1000, end, std::move(text)});
  }
  // Cues that start together: the last one listed is shown.
  std::stable_sort(FCues.begin(), FCues.end(), [](const TCue& a, const TCue& b) { return a.Start < b.Start; });
  if (FCues.empty()) FCues.push_back({});
}

int64_t TSubtitleScheduler::CueEnd(size_t i) const {
  const TCue& cue = FCues[i];
  int64_t next = i + 1 < FCues.size() ? FCues[i + 1].Start : -1;
  int64_t end = cue.End;
  if (end < 0) {
    int64_t gap = next < 0 ? 0 : (next - cue.Start) / 1000;
    end = cue.Start + int64_t{vidora::DisplayTime(FSettings, cue.Text, 1, gap)} * 1000;
  }
  return next < 0 ? end : std::min(end, next);
}

bool TSubtitleScheduler::Seek(int64_t time) {
  // Frames come in order: the cursor moves on; a seek back searches.
  if (time < FCues[FCurrent].Start) {
    auto later = std::upper_bound(FCues.begin(), FCues.end(), time, [](int64_t t, const TCue& cue) { return t < cue.Start; });
    if (later == FCues.begin()) return false;
    FCurrent = static_cast<size_t>(later - FCues.begin()) - 1;
    return true;
  }
  while (FCurrent + 1 < FCues.size() && FCues[FCurrent + 1].Start <= time) ++FCurrent;
  return true;
}

bool TSubtitleScheduler::DrawAt(int64_t time, TBitmap& frame) {
  FShowing = false;
  if (!FCues[FCurrent].Text.empty() && Seek(time)) {
    if (FEndOf != FCurrent) {
      FCurrentEnd = CueEnd(FCurrent);
      FEndOf = FCurrent;
    }
    FShowing = time < FCurrentEnd;
  }
  if (FShowing) FRenderer.PiszTXT(FCues[FCurrent].Text, frame);
  return FShowing;
}

void TSubtitleScheduler::OnFrame(THookInfo& info) {
  if (!FSubtitlesOn) {
    info.StopHook = true;
    info.Update = false;
    return;
  }
  info.Update = DrawAt(info.PTS + FTimeShift, *info.Bitmap);
}

}  // namespace vidora
