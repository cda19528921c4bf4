#include "options/subtitle_scheduler.h"

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
    std::optional<int64_t> key;
    try {
      key = StrToInt64(row.Key);
    } catch (const std::invalid_argument&) {
    }
    // Times beyond thirty thousand years are never due (and cannot overflow in µs).
    if (key && (*key > MaxKey || *key < -MaxKey)) key.reset();
    TText text = DecodeUtf8(row.Text);
    if (IsBlank(WithoutTags(text))) key.reset();
    FKeys.push_back(key);
    text.resize(std::min(text.size(), MaxSubtitleChars));
    FTexts.push_back(std::move(text));
  }
}

void TSubtitleScheduler::QueueDueRows() {
  // Every row from the cursor on is examined, so a due row is queued even
  // behind one that is not.
  for (size_t i = FSubRow; i <= FKeys.size(); ++i) {
    const std::optional<int64_t>& key = FKeys[i - 1];
    if (!key || *key * 1000 > FFramePTS) continue;
    FSubRow = i + 1;
    int64_t gap = 0;
    if (i < FKeys.size() && FKeys[i]) gap = *FKeys[i] - *key;
    FQueue.push_back({FTexts[i - 1], gap});
  }
}

void TSubtitleScheduler::OnFrame(THookInfo& info) {
  if (!FSubtitlesOn) {
    info.StopHook = true;
    info.Update = false;
    return;
  }
  FFramePTS = info.PTS;
  QueueDueRows();
  if (FShowing && FFramePTS > FEndTime) FShowing = false;
  // Without smart subtitles a new subtitle replaces the current one at once.
  if (!FSettings.IQText && !FQueue.empty()) FShowing = false;
  if (FShowing) {
    PiszTXT(FSubText, 0, true, *info.Bitmap);
    info.Update = true;
    return;
  }
  if (!FQueue.empty()) {
    FSubText = FQueue.front().Text;
    PiszTXT(FSubText, FQueue.front().Gap, false, *info.Bitmap);
    FQueue.pop_front();
  }
  // The frame a subtitle starts on passes unchanged; it shows from the next one.
  info.Update = false;
}

void TSubtitleScheduler::PiszTXT(const TText& text, int64_t gap, bool redraw, TBitmap& frame) {
  if (!redraw) {
    FShowing = false;
    FDisplayTime = vidora::DisplayTime(FSettings, text, FQueue.size(), gap);
  }
  // The frame a subtitle starts on is passed on unchanged, so it is only prepared.
  if (redraw)
    FRenderer.PiszTXT(text, frame);
  else
    FRenderer.Prepare(text, frame.Width(), frame.Height());
  if (!redraw) FEndTime = FDisplayTime * 1000 + FFramePTS;
  FShowing = true;
}

}  // namespace vidora
