// The conversion: start, pause and resume, its events, the estimate, the end.
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QActionGroup>
#include <QPlainTextEdit>
#include <QTime>
#include <QTimer>

#include <algorithm>

#include "app/bitmap_image.h"
#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/progress_rules.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "skin/region_button.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

int64_t MonotonicMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return clock.elapsed();
}

}  // namespace

void TfrmMain::BindEvents() {
  FSession.Events.Progress = [this](const TSessionProgress& progress) { KodraProgress(progress); };
  FSession.Events.JobEnded = [this](const TSessionJob& job) { KodraTerminate(job); };
  FSession.Events.Preview = [this](const TBitmap& picture) { KodraPreviewBitmap(picture); };
  FFLogger.SetOnLog([this](const void*, uint32_t thread, TLogLevel level, const std::string& message) {
    FFLoggerLog(thread, level, message);
  });
  FFPlayer.SetOnFileOpen([this](const void*, int64_t duration, int32_t, int32_t, int32_t&, int32_t&) {
    TotalDuration = duration;
  });
  FFPlayer.SetOnPosition([this](const void*, int64_t pts) { FFPlayerPosition(pts); });
  FFPlayer.SetOnVideoHook([this](const void*, TBitmap& picture, int64_t pts, bool& update) {
    DrawPreviewSubtitles(picture, pts, update);
  });
}

void TfrmMain::DetachEvents() {
  FSession.Events = {};
  FFPlayer.SetOnPosition(nullptr);
  FFPlayer.SetOnFileOpen(nullptr);
  FFLogger.SetOnLog(nullptr);
}

void TfrmMain::btnStartConvertClick() {
  FRemaining.Clear();
  FRemainingText.clear();
  ShowProgressText(FProgressPrefix + u"0%"_s);
  ImageProgress->setCursor(Qt::ArrowCursor);
  FTransport = TTransport::Conversion;
  FFPlayer.Stop(true);
  PanelVideo->Clear();
  FFLogger.SetLogLevel(ChosenLogLevel());
  FSession.Encoder().SetThreadPriority(tpNormal);
  for (TRegionButton* button : {btnAdd, btnStartConvert, btnAddSub, btnStop, btnPause, btnPlay})
    button->setEnabled(false);
  // The running job keeps its phone's profile: no other phone until it ends.
  FSkinItems->setEnabled(false);
  FFitItems->setEnabled(false);
  LMessage->hide();
  DrawProgress(1);
  ImageProgress->SetPercent(0);
  btnStartConvert->hide();
  btnPauseConvert->show();
  TimerStat->start();
  StartTellingProgress();
  FSession.Start(1, btnSubOn->isVisible() && btnSubOn->Down());
}

void TfrmMain::btnPauseConvertClick() {
  btnPauseConvert->hide();
  btnResumeConvert->show();
  TimerStat->stop();
  FRemaining.Pause(MonotonicMs());
  FSession.Pause();
}

void TfrmMain::btnResumeConvertClick() {
  btnResumeConvert->hide();
  btnPauseConvert->show();
  FRemaining.Resume(MonotonicMs());
  TimerStat->start();
  FSession.Resume();
}

void TfrmMain::KodraProgress(const TSessionProgress& progress) {
  CurrentDuration = progress.Current;
  TotalDuration = progress.Total;
  std::optional<int64_t> percent = ProgressPercent(CurrentDuration, TotalDuration);
  // 100% is the termination's word: a run may report its whole length just before it ends.
  if (percent) {
    percent = std::min<int64_t>(*percent, 99);
    TellProgress(*percent);
    ImageProgress->SetPercent(static_cast<int>(*percent));
  }
  // Without a known length the label tells the time reached instead.
  QString shown = percent ? QString::number(*percent) + u"% "_s : TimeOfDay(CurrentDuration / 1000) + u" "_s;
  ShowProgressText(WithStage(shown, progress, QString::fromStdString(FRemainingText)));
  if (!percent) return;
  int fill = BarFill(*percent, ImageProgress->width());
  if (fill != FProgressFill) DrawProgress(fill);
}

void TfrmMain::TimerStatTimer() {
  std::string text = FRemaining.Tick(MonotonicMs(), CurrentDuration, TotalDuration);
  if (!text.empty()) FRemainingText = text;
}

void TfrmMain::KodraTerminate(const TSessionJob& job) {
  const TTerminateInfo& info = *job.End;
  if (info.Finished) {
    ShowProgressText(FProgressPrefix + u"100%"_s);
    DrawProgress(ImageProgress->width() - 4);
    ImageProgress->SetPercent(100);
  }
  // Finished, stopped or failed: the window is free for the next film. The
  // ended job cannot run again, so CONVERT waits for one.
  TimerStat->stop();
  FTransport = TTransport::Player;
  btnPauseConvert->hide();
  btnResumeConvert->hide();
  btnStartConvert->show();
  btnStartConvert->setEnabled(false);
  for (TRegionButton* key : {btnAdd, btnAddSub, btnLo, btnHi}) key->setEnabled(true);
  btnSubOn->hide();
  FSkinItems->setEnabled(true);
  FFitItems->setEnabled(true);
  TellJobEnded(job);
}

void TfrmMain::KodraPreviewBitmap(const TBitmap& picture) {
  // Every second picture is shown.
  bool show = FShowNextPreview;
  FShowNextPreview = !FShowNextPreview;
  if (show) Image1->SetPicture(BitmapImage(picture));
}

void TfrmMain::FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message) {
  AppendLog(LogLine(threadId, static_cast<int>(level), message));
}

void TfrmMain::FFPlayerPosition(int64_t pts) {
  std::optional<int64_t> percent = ProgressPercent(pts, TotalDuration);
  if (percent) {
    ImageProgress->SetPercent(static_cast<int>(*percent));
    int fill = BarFill(*percent, ImageProgress->width());
    if (fill != FProgressFill) DrawProgress(fill);
  }
  QString position = TimeOfDay(pts / 1000);
  if (position.isEmpty()) return;
  if (!percent) {
    ShowProgressText(position);
    return;
  }
  QString total = TimeOfDay(TotalDuration / 1000);
  if (!total.isEmpty()) ShowProgressText(position + u"/"_s + total);
}

// Milliseconds of a day in the locale's long time format, without a time
// zone; empty for 24 hours or more, or a negative time.
QString TfrmMain::TimeOfDay(int64_t milliseconds) const {
  if (milliseconds < 0 || milliseconds >= int64_t{86400000}) return {};
  QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(milliseconds));
  return time.toString(QString::fromStdString(WithoutTimeZone(QLocale::system().timeFormat(QLocale::LongFormat).toStdString())));
}

}  // namespace vidora::app
