// The window's own controls: preview transport, seek bar, volume, the quality
// pair, the information view, the web pages, staying on top and dragging.
#include <QMenu>
#include <QMouseEvent>

#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/progress_rules.h"
#include "app/video_panel.h"
#include "app/web_pages.h"
#include "media/base/main_thread.h"
#include "options/settings_store.h"
#include "skin/region_button.h"

namespace vidora::app {

void TfrmMain::ConnectControls() {
  connect(btnPlay, &QAbstractButton::clicked, this, &TfrmMain::btnPlayClick);
  connect(btnPause, &QAbstractButton::clicked, this, &TfrmMain::btnPauseClick);
  connect(btnStop, &QAbstractButton::clicked, this, &TfrmMain::btnStopClick);
  connect(btnVol1, &QAbstractButton::clicked, this, [this] { FFPlayer.SetAudioVolume(VolumeDown(FFPlayer.AudioVolume())); });
  connect(btnVol2, &QAbstractButton::clicked, this, [this] { FFPlayer.SetAudioVolume(VolumeUp(FFPlayer.AudioVolume())); });
  connect(btnHi, &QAbstractButton::clicked, this, [this] { QualityClick(true); });
  connect(btnLo, &QAbstractButton::clicked, this, [this] { QualityClick(false); });
  connect(btnInfo, &QAbstractButton::clicked, this, &TfrmMain::btnInfoClick);
  AlwaysOnTop->setChecked(SettingsStore(OwnOrganisation, OwnApplication).ReadBool(setting::AlwaysOnTop).value_or(true));
  KeepOnTop(AlwaysOnTop->isChecked());
  connect(AlwaysOnTop, &QAction::toggled, this, [this](bool on) {
    KeepOnTop(on);
    SettingsStore(OwnOrganisation, OwnApplication).WriteBool(setting::AlwaysOnTop, on);
  });
  connect(GetPhone, &QAction::triggered, this, [this] { UrlOpener.Open(PhonePage(ServerAddress())); });
  for (QWidget* watched : {static_cast<QWidget*>(ImageProgress), static_cast<QWidget*>(ImageInfoPL),
                           static_cast<QWidget*>(ImageInfoEn), static_cast<QWidget*>(LProgress)})
    watched->installEventFilter(this);
}

void TfrmMain::KeepOnTop(bool on) {
  bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (shown) show();  // a window whose flags change is hidden
}

void TfrmMain::btnPlayClick() {
  btnPause->setEnabled(true);
  btnPause->SetDown(false);
  btnPlay->setEnabled(true);
  if (FTransport == TTransport::Player) {
    btnStop->setEnabled(true);
    // At its end the preview plays again from the start.
    if (FFPlayer.PlayState() == TPlayState::psEnd) FFPlayer.Seek(1);
    FFPlayer.Resume();
  } else {
    FSession.Resume();
  }
}

void TfrmMain::btnPauseClick() {
  btnPause->setEnabled(true);
  btnPlay->setEnabled(true);
  btnPlay->SetDown(false);
  if (FTransport == TTransport::Player)
    FFPlayer.Pause();
  else
    FSession.Pause();
}

void TfrmMain::btnStopClick() {
  btnStop->setEnabled(false);
  if (FTransport != TTransport::Player) {
    FSession.Stop(true);
    return;
  }
  FFPlayer.Seek(1);  // one microsecond: the first picture shows
  ProcessPendingCalls();
  FFPlayer.Pause();
  btnPlay->setEnabled(true);
  btnPause->setEnabled(false);
  btnPlay->SetDown(false);
  btnPause->SetDown(false);
}

// Runs after the clicked button has toggled itself.
void TfrmMain::QualityClick(bool hi) {
  QMetaObject::invokeMethod(this, [this, hi] {
    TQualityPair pair = AfterQualityClick({btnHi->Down(), btnHi->isEnabled(), btnLo->Down(), btnLo->isEnabled()}, hi);
    btnHi->SetDown(pair.HiDown);
    btnLo->SetDown(pair.LoDown);
  }, Qt::QueuedConnection);
}

void TfrmMain::btnInfoClick() {
  // The speed button toggles after this: its state now is the state before the
  // click. The conversion keys stay in reach above the picture.
  ShowInformationPage(btnInfo->Down() ? 0 : 1);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LProgress && OpenDoneFolder(*event)) return true;
  if (event->type() != QEvent::MouseButtonPress) return QWidget::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (watched == ImageProgress && btnStartConvert->isEnabled()) {
    FFPlayer.Seek(SeekTarget(TotalDuration, static_cast<int>(mouse->position().x()), ImageProgress->width()));
    return true;
  }
  if (watched == ImageInfoPL || watched == ImageInfoEn) {
    UrlOpener.Open(InformationPage(ServerAddress(), ProgramVersion));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// Presses and moves on the background, the phone picture and the preview
// picture come here; dragging needs the left button alone, without modifiers.
void TfrmMain::mousePressEvent(QMouseEvent* event) {
  FDragging = event->button() == Qt::LeftButton;
  FDragFrom = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TfrmMain::mouseMoveEvent(QMouseEvent* event) {
  if (FDragging && event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier)
    move(event->globalPosition().toPoint() - FDragFrom);
  else
    FDragging = false;
}

}  // namespace vidora::app
