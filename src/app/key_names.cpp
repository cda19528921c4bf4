// What the keys are called: the names screen readers say and the hints a
// pointer shows. A skin's own "Hint=" wins over ours.
#include <QLabel>
#include <QMenu>

#include "app/main_window.h"
#include "app/shortcut_keys.h"
#include "skin/region_button.h"

namespace vidora::app {

void TfrmMain::NameKeys() {
  const struct {
    TRegionButton* Key;
    QString Name, Hint;
  } keys[] = {
      {btnAdd, tr("Add a film"), tr("Add a film to convert (%1)").arg(shortcut::Text(shortcut::AddFilm))},
      {btnAddSub, tr("Add subtitles"), tr("Add subtitles to the film (%1)").arg(shortcut::Text(shortcut::AddSubtitles))},
      {btnStartConvert, tr("Convert"), tr("Convert the film for the phone (%1)").arg(shortcut::Text(shortcut::Convert))},
      {btnPauseConvert, tr("Pause converting"), tr("Pause converting (%1)").arg(shortcut::Text(shortcut::PauseResume))},
      {btnResumeConvert, tr("Resume converting"), tr("Resume converting (%1)").arg(shortcut::Text(shortcut::PauseResume))},
      {btnPlay, tr("Play the preview"), tr("Play the preview (%1)").arg(shortcut::Text(shortcut::PauseResume))},
      {btnPause, tr("Pause the preview"), tr("Pause the preview (%1)").arg(shortcut::Text(shortcut::PauseResume))},
      {btnStop, tr("Stop the preview"), tr("Stop the preview and go back to its start")},
      {btnVol2, tr("Volume up"), tr("Preview volume up (%1)").arg(shortcut::Text(shortcut::VolumeUp))},
      {btnVol1, tr("Volume down"), tr("Preview volume down (%1)").arg(shortcut::Text(shortcut::VolumeDown))},
      {btnHi, tr("High quality"), tr("Convert in high quality")},
      {btnLo, tr("Low quality"), tr("Convert in low quality: a smaller file")},
      {btnInfo, tr("Information"), tr("How to convert, and the keyboard's shortcuts (%1)").arg(shortcut::Text(shortcut::Information))},
      {btnSetup, tr("Phones and settings"), tr("Choose the phone to convert for")},
      {btnMinimize, tr("Minimise"), tr("Minimise the window")},
      {btnClose, tr("Close"), tr("Close the program (%1)").arg(shortcut::Text(shortcut::Close))},
      {btnSubOn, {}, tr("Burn the subtitles into the picture, or leave them out")},
  };
  for (const auto& [key, name, hint] : keys) {
    if (!name.isEmpty()) key->setAccessibleName(name);
    if (key->toolTip().isEmpty()) key->setToolTip(hint);
  }
  NameSubtitleKey();
  MSkin->setTitle(tr("Phones and settings"));
  MSkin->setAccessibleName(MSkin->title());
  ImageProgress->setAccessibleName(tr("Progress"));
  LProgress->setAccessibleDescription(tr("Progress of the conversion or the preview"));
}

void TfrmMain::NameSubtitleKey() {
  btnSubOn->setAccessibleName(btnSubOn->Down() ? tr("Burn in subtitles: on") : tr("Burn in subtitles: off"));
}

}  // namespace vidora::app
