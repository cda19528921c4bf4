// What the window tells when it converts: the progress in its title and on
// the task bar, what became of the run where the progress stood (and the
// folder of a written file, a click or Enter away), a desktop notification
// when a film is converted, and the question before a close stops a run.
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include <filesystem>

#include "app/main_window.h"
#include "app/plain_words.h"
#include "skin/image_box.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

void TfrmMain::StartTellingProgress() {
  FIdleTitle = windowTitle();
  FConvertingName = CurrentJob() ? BaseName(CurrentJob()->Input) : QString();
  FToldPercent = -1;
  TellProgress(0);
}

void TfrmMain::TellProgress(int64_t percent) {
  if (percent == FToldPercent) return;
  FToldPercent = percent;
  setWindowTitle(tr("%1 % – %2").arg(percent).arg(FConvertingName));
  Notices.ShowProgress(static_cast<double>(percent) / 100);
}

void TfrmMain::TellJobEnded(const TSessionJob& job) {
  // A close waiting for an answer goes ahead: nothing is left to stop.
  if (FStopQuestion) FStopQuestion->reject();
  setWindowTitle(FIdleTitle);
  Notices.ShowProgress(std::nullopt);
  const TTerminateInfo& end = *job.End;
  for (const std::string& adjustment : end.Adjustments) Say(adjustment);
  if (end.Exception && !job.FitRefusal.empty()) {
    // The first pass found the picture too big for the size: nothing is
    // written. The film stays chosen for another size, and the message
    // needs the screen to itself.
    ShowNoFilm();
    ShowFilmName(&job);
    ShowProgressText(FProgressPrefix + u" 0%"_s);
    DrawProgress(1);
    ImageProgress->SetPercent(0);
    SayFailure("Conversion error: ", end.ExceptionMsg, TFitWords::TooBusy(*FFit));
    return;
  }
  if (end.Exception) {
    SayFailure("Conversion error: ", end.ExceptionMsg, TPlainWords::FilmFailure(job.Input, end.ExceptionMsg, true));
    return;
  }
  // A split film is its parts: the first is offered.
  const auto parts = static_cast<int>(job.Parts.size());
  const std::string& written = parts > 0 ? job.Parts.front() : job.Output;
  std::error_code error;
  if (!std::filesystem::exists(written, error)) return;
  // A film that became a sound file, or that breaks off, is kept, but it is not what was asked for.
  if (!end.Shortfall.empty()) {
    SayFailure("", end.Shortfall, TPlainWords::Shortfall(job.Input, written, end.Shortfall));
    // What was kept is still the user's to take to the phone.
    OfferDoneFolder(tr("Kept: %1"), written);
    return;
  }
  // One part is told as one file, by its name: "parts" then always means two or more.
  if (parts > 1)
    OfferDoneFolder((end.Finished ? tr("Done: %1 parts, %2") : tr("Stopped: %1 parts, %2")).arg(parts), written);
  else
    OfferDoneFolder(end.Finished ? tr("Done: %1") : tr("Stopped: %1"), written);
  if (!end.Finished) return;
  QString folder = QDir::toNativeSeparators(QFileInfo(QString::fromStdString(written)).absolutePath());
  if (parts > 1) {
    Notices.Notify(tr("Converted: %1 parts, %2").arg(parts).arg(BaseName(written)), folder);
    return;
  }
  auto size = static_cast<qint64>(std::filesystem::file_size(written, error));
  Notices.Notify(tr("Converted: %1, %2").arg(BaseName(written), QLocale().formattedDataSize(size, 1, QLocale::DataSizeSIFormat)),
                 folder);
}

// The written file's name where the progress stood, elided to the bar's
// width; the label takes the focus, so Enter opens the folder at once.
void TfrmMain::OfferDoneFolder(const QString& text, const std::string& output) {
  int width = ImageProgress->x() + ImageProgress->width() - LProgress->x();
  ShowProgressText(LProgress->fontMetrics().elidedText(text.arg(BaseName(output)), Qt::ElideRight, width));
  FDoneOutput = output;
  QString path = QDir::toNativeSeparators(QFileInfo(QString::fromStdString(output)).absoluteFilePath());
  LProgress->setToolTip(tr("%1\nClick or press Enter to open its folder").arg(path));
  LProgress->setCursor(Qt::PointingHandCursor);
  LProgress->setFocusPolicy(Qt::StrongFocus);
  LProgress->setFocus();
}

void TfrmMain::ForgetDoneFolder() {
  if (FDoneOutput.empty()) return;
  FDoneOutput.clear();
  LProgress->setToolTip({});
  LProgress->unsetCursor();
  LProgress->setFocusPolicy(Qt::NoFocus);
}

bool TfrmMain::OpenDoneFolder(QEvent& event) {
  if (FDoneOutput.empty()) return false;
  bool click = event.type() == QEvent::MouseButtonPress &&
               static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton;
  bool keyed = event.type() == QEvent::KeyPress || event.type() == QEvent::ShortcutOverride;
  int key = keyed ? static_cast<const QKeyEvent&>(event).key() : 0;
  if (!click && key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) return false;
  // While the label has the focus these keys are its own, not the window's shortcuts.
  if (event.type() == QEvent::ShortcutOverride) {
    event.accept();
    return true;
  }
  UrlOpener.Open(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(FDoneOutput)).absolutePath()));
  return true;
}

void TfrmMain::CloseWithoutAsking() {
  FCloseWithoutAsking = true;
  // While a close is asking, a second one is ignored: the question is answered instead.
  if (FStopQuestion)
    FStopQuestion->reject();
  else
    close();
}

// Only while the film's job has not ended: the run's own end may still be on its way.
bool TfrmMain::Converting() const {
  const TSessionJob* job = CurrentJob();
  return FSession.Running() && job && !job->End;
}

bool TfrmMain::MayClose() {
  if (!Converting()) return true;
  if (!FCloseWithoutAsking) {
    // A file fitted to a size is written only when it is known to fit; of a split, the parts made are kept.
    QString question =
        FFit->Split       ? tr("Stop converting? The parts made so far are kept.")
        : FFit->Limit > 0 ? tr("Stop converting? Nothing is kept: a file that must fit a size is written at its end.")
                          : tr("Stop converting? What is done so far is kept in %1.").arg(BaseName(CurrentJob()->Output));
    bool stop = AskToStop ? AskToStop(question) : AskStopConverting(question);
    // A stop signal or the run's end may have come while the question was open.
    if (!stop && !FCloseWithoutAsking && Converting()) return false;
  }
  // The run ends with the window, and no end event will say so: the task bar forgets it here.
  Notices.ShowProgress(std::nullopt);
  return true;
}

bool TfrmMain::AskStopConverting(const QString& question) {
  QMessageBox box(QMessageBox::Question, u"Vidora to 3GP"_s, question, QMessageBox::NoButton, this);
  QPushButton* stop = box.addButton(tr("Stop converting"), QMessageBox::AcceptRole);
  box.setDefaultButton(box.addButton(tr("Keep converting"), QMessageBox::RejectRole));
  FStopQuestion = &box;
  box.exec();
  return box.clickedButton() == stop;
}

}  // namespace vidora::app
