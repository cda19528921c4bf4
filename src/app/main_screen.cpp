// What the phone's screen says besides the preview: the loaded film's name
// above it, and what went wrong over it when there is no film to show.
#include "app/main_window.h"
#include "app/plain_words.h"
#include "app/video_panel.h"
#include "skin/image_box.h"
#include "skin/region_button.h"

namespace vidora::app {

using namespace Qt::Literals::StringLiterals;

void TfrmMain::CreateScreenLabels() {
  LFilmName = new TFittedLabel(Panel1);
  LFilmName->setObjectName(u"LFilmName"_s);
  LMessage = new TScreenMessage(Panel1);
  LMessage->setObjectName(u"LMessage"_s);
}

// Both follow the screen of whichever phone is shown.
void TfrmMain::PlaceScreenLabels() {
  QRect screen = PanelVideo->geometry();
  int line = LFilmName->fontMetrics().height();
  LFilmName->setGeometry(screen.x(), screen.y() - line - 1, screen.width(), line);
  LFilmName->setStyleSheet(u"color: %1; background: transparent;"_s.arg(FProgressColour.name()));
  LMessage->setGeometry(screen);
}

void TfrmMain::ShowFilmName(const TSessionJob* job) {
  if (!job) {
    LFilmName->SetFittedText({}, {});
    return;
  }
  QString name = BaseName(job->Input);
  QString toolTip = tr("%1\nis converted to %2").arg(QString::fromStdString(job->Input), BaseName(job->Output));
  QString size = TFitWords::ExpectedSize(*FFit, job->ExpectedBytes);
  if (size.isEmpty()) {
    LFilmName->SetFittedText(name, toolTip);
    return;
  }
  // The size is what the line is for once the film is known: a long name
  // keeps its beginning, which tells it best, and goes to the tooltip when
  // too little of it would be left.
  QString tail = u" – "_s + size;
  const QFontMetrics metrics = LFilmName->fontMetrics();
  const int room = LFilmName->width() - metrics.horizontalAdvance(tail) - 2;
  QString shown = room < LFilmName->width() / 3 ? size : metrics.elidedText(name, Qt::ElideRight, room) + tail;
  LFilmName->SetFittedText(shown, toolTip + u'\n' + size);
}

void TfrmMain::ShowNoFilm() {
  FFPlayer.Stop(true);
  PanelVideo->hide();
  ImageProgress->setCursor(Qt::ArrowCursor);
  for (TRegionButton* key : {btnStartConvert, btnStop, btnPause, btnPlay, btnAddSub}) key->setEnabled(false);
  btnSubOn->hide();
  btnHi->setEnabled(true);
  btnLo->setEnabled(true);
  ShowFilmName(nullptr);
}

}  // namespace vidora::app
