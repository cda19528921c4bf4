// The conversion: start, pause and resume, its events, the estimate, the end.
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTime>
#include <QTimer>

#include <algorithm>

#include "app/bitmap_image.h"
#include "app/image_box.h"
#include "app/main_window.h"
#include "app/progress_rules.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/subtitle_scheduler.h"
#include "skin/region_button.h"

namespace vidora::app {

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
  Kodra.SetOnProgress([this](const void*, const TProgressInfo* info) { KodraProgress(*info); });
  Kodra.SetOnTerminate([this](const void*, const TTerminateInfo& info) {
    // Termination comes on a thread of the encoder's: the window's part runs on the GUI thread.
    TTerminateInfo copy = info;
    QMetaObject::invokeMethod(this, [this, copy] { KodraTerminate(copy); }, Qt::QueuedConnection);
  });
  Kodra.SetOnPreviewBitmap([this](const void*, const TPreviewInfo& info) { KodraPreviewBitmap(info); });
  Kodra.SetOnVideoInputHook([this](const void*, THookInfo* info) { KodraCustomHook(*info); });
  FFLogger.SetOnLog([this](const void*, uint32_t thread, TLogLevel level, const std::string& message) {
    FFLoggerLog(thread, level, message);
  });
  FFPlayer.SetOnFileOpen([this](const void*, int64_t duration, int32_t, int32_t, int32_t&, int32_t&) {
    TotalDuration = duration;
  });
  FFPlayer.SetOnPosition([this](const void*, int64_t pts) { FFPlayerPosition(pts); });
}

void TfrmMain::DetachEvents() {
  Kodra.SetOnPreviewBitmap(nullptr);
  Kodra.SetOnVideoInputHook(nullptr);
  Kodra.SetOnProgress(nullptr);
  Kodra.SetOnTerminate(nullptr);
  FFPlayer.SetOnPosition(nullptr);
  FFPlayer.SetOnFileOpen(nullptr);
  FFLogger.SetOnLog(nullptr);
}

void TfrmMain::btnStartConvertClick() {
  FRemaining.Clear();
  FRemainingText.clear();
  ShowProgressText(FProgressPrefix + "0%");
  ImageProgress->setCursor(Qt::ArrowCursor);
  PanelVideo->Tag = 0;
  FFPlayer.Stop(true);
  PanelVideo->Clear();
  FFLogger.SetLogLevel(ChosenLogLevel());
  Kodra.SetThreadPriority(tpNormal);
  for (TRegionButton* button : {btnAdd, btnStartConvert, btnAddSub, btnStop, btnPause, btnPlay})
    button->setEnabled(false);
  FScheduler = std::make_unique<TSubtitleScheduler>(FOptions.TimeTXTEditor, FOptions.Subtitles, FOptions.Font,
                                                    btnSubOn->isVisible() && btnSubOn->Down());
  DrawProgress(1);
  btnStartConvert->hide();
  btnPauseConvert->show();
  TimerStat->start();
  Kodra.Start(1);
}

void TfrmMain::btnPauseConvertClick() {
  btnPauseConvert->hide();
  btnResumeConvert->show();
  TimerStat->stop();
  FRemaining.Pause(MonotonicMs());
  Kodra.Pause();
}

void TfrmMain::btnResumeConvertClick() {
  btnResumeConvert->hide();
  btnPauseConvert->show();
  FRemaining.Resume(MonotonicMs());
  TimerStat->start();
  Kodra.Resume();
}

void TfrmMain::KodraProgress(const TProgressInfo& info) {
  CurrentDuration = info.CurrentDuration;
  TotalDuration = info.TotalDuration;
  std::optional<int64_t> percent = ProgressPercent(CurrentDuration, TotalDuration);
  // 100% is the termination's word: a run may report its whole length just before it ends.
  if (percent) percent = std::min<int64_t>(*percent, 99);
  // Without a known length the label tells the time reached instead.
  QString shown = percent ? QString::number(*percent) + "% " : TimeOfDay(CurrentDuration / 1000) + " ";
  ShowProgressText(FProgressPrefix + shown + QString::fromStdString(FRemainingText));
  if (!percent) return;
  int fill = BarFill(*percent, ImageProgress->width());
  if (fill != ImageProgress->Tag) DrawProgress(fill);
}

void TfrmMain::TimerStatTimer() {
  std::string text = FRemaining.Tick(MonotonicMs(), CurrentDuration, TotalDuration);
  if (!text.empty()) FRemainingText = text;
}

void TfrmMain::KodraTerminate(const TTerminateInfo& info) {
  if (info.TaskIndex >= 0 && info.Finished) {
    ShowProgressText(FProgressPrefix + "100%");
    DrawProgress(ImageProgress->width() - 4);
    btnPauseConvert->hide();
    btnResumeConvert->hide();
    btnStartConvert->show();
    btnStartConvert->setEnabled(false);
    btnAdd->setEnabled(true);
    btnSubOn->hide();
    btnLo->setEnabled(true);
    btnHi->setEnabled(true);
  }
  if (info.Exception) QMessageBox::warning(this, "Vidora to 3GP", QString::fromStdString(info.ExceptionMsg));
}

void TfrmMain::KodraPreviewBitmap(const TPreviewInfo& info) {
  // Every second picture is shown.
  int before = Image1->Tag;
  Image1->Tag = ~Image1->Tag;
  if (before == -1 && info.Bitmap) Image1->SetPicture(BitmapImage(*info.Bitmap));
}

void TfrmMain::KodraCustomHook(THookInfo& info) {
  if (!FScheduler) {
    info.StopHook = true;
    info.Update = false;
    return;
  }
  FScheduler->OnFrame(info);
}

void TfrmMain::FFLoggerLog(uint32_t threadId, TLogLevel level, const std::string& message) {
  AppendLog(LogLine(threadId, static_cast<int>(level), message));
}

void TfrmMain::FFPlayerPosition(int64_t pts) {
  std::optional<int64_t> percent = ProgressPercent(pts, TotalDuration);
  if (percent) {
    int fill = BarFill(*percent, ImageProgress->width());
    if (fill != ImageProgress->Tag) DrawProgress(fill);
  }
  QString position = TimeOfDay(pts / 1000);
  if (position.isEmpty()) return;
  if (!percent) {
    ShowProgressText(position);
    return;
  }
  QString total = TimeOfDay(TotalDuration / 1000);
  if (!total.isEmpty()) ShowProgressText(position + "/" + total);
}

// Milliseconds of a day in the locale's long time format, without a time
// zone; empty for 24 hours or more, or a negative time.
QString TfrmMain::TimeOfDay(int64_t milliseconds) const {
  if (milliseconds < 0 || milliseconds >= int64_t{86400000}) return {};
  QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(milliseconds));
  return time.toString(QString::fromStdString(WithoutTimeZone(QLocale::system().timeFormat(QLocale::LongFormat).toStdString())));
}

}  // namespace vidora::app
