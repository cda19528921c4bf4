// The phone menu's "Fit into": a size the converted file may take, or parts
// that each fit it. Kept in the settings; the loaded film is made again for it.
#include <QActionGroup>
#include <QFontMetrics>
#include <QMenu>

#include "app/main_window.h"
#include "options/settings_store.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

void TfrmMain::CreateFitMenu() {
  MFitInto = MSkin->addMenu(tr("Fit into"));
  MFitInto->setAccessibleName(MFitInto->title());
  FFitItems = new QActionGroup(MFitInto);
  const TFitChoice& stored = FitChoiceByKey(
      SettingsStore(OwnOrganisation, OwnApplication).ReadString(setting::FitInto).value_or(std::string()));
  FFit = &stored;
  for (const TFitChoice& choice : FitChoices()) {
    QAction* item = MFitInto->addAction(TFitWords::Caption(choice));
    item->setCheckable(true);
    item->setChecked(&choice == FFit);
    FFitItems->addAction(item);
    connect(item, &QAction::triggered, this, [this, &choice] { FitIntoClick(choice); });
  }
}

void TfrmMain::FitIntoClick(const TFitChoice& choice) {
  if (&choice == FFit) return;
  FFit = &choice;
  SettingsStore(OwnOrganisation, OwnApplication).WriteString(setting::FitInto, choice.Key);
  // The loaded film's job is made again with the new limit, as for a new phone.
  if (TSessionJob* film = CurrentJob(); film && !FSession.Running()) AddFile(std::string(film->Input));
}

QString TfrmMain::WithStage(const QString& done, const TSessionProgress& progress, const QString& remaining) const {
  // The part is worth more than the pass: it says which file is being made.
  // A film fitted whole is its own single part; sound alone takes one pass.
  QStringList stages;
  if (progress.Parts > 1 && progress.Passes > 1)
    stages << tr("Part %1/%2, pass %3/%4: ").arg(progress.Part).arg(progress.Parts).arg(progress.Pass).arg(progress.Passes);
  if (progress.Parts > 1) stages << tr("Part %1/%2: ").arg(progress.Part).arg(progress.Parts);
  if (progress.Passes > 1) stages << tr("Pass %1/%2: ").arg(progress.Pass).arg(progress.Passes);
  const int width = ImageProgress->x() + ImageProgress->width() - LProgress->x();
  const QFontMetrics metrics = LProgress->fontMetrics();
  for (const QString& stage : stages)
    if (metrics.horizontalAdvance(stage + done + remaining) <= width) return stage + done + remaining;
  return FProgressPrefix + done + remaining;
}

}  // namespace vidora::app
