// The keyboard: shortcuts for what the keys do, Tab through the keys in
// reading order, and the information view's second page that lists them.
// A shortcut does only what a click on its key could do at that moment.
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

#include <memory>
#include <utility>

#include "app/main_window.h"
#include "app/progress_rules.h"
#include "app/reading_order.h"
#include "app/shortcut_keys.h"
#include "app/shortcuts_page.h"
#include "app/video_panel.h"
#include "skin/image_box.h"
#include "skin/region_button.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

constexpr int64_t SeekStep = 5'000'000;  // the player's positions are microseconds

// Shown and enabled: where a click would reach it.
bool Usable(const TRegionButton* key) { return key->isVisibleTo(key->window()) && key->isEnabled(); }

void PressIfUsable(TRegionButton* key) {
  if (Usable(key)) key->Press();
}

}  // namespace

std::vector<TRegionButton*> TfrmMain::Keys() const {
  return {btnAdd,    btnStop, btnPause, btnPlay,   btnClose, btnAddSub,       btnSubOn,        btnInfo,         btnMinimize,
          btnHi,     btnLo,   btnVol1,  btnVol2,   btnSetup, btnStartConvert, btnPauseConvert, btnResumeConvert};
}

void TfrmMain::CreateKeyboard() {
  auto bind = [this](QList<QKeySequence> keys, auto action) {
    auto* made = new QShortcut(this);
    made->setKeys(keys);
    connect(made, &QShortcut::activated, this, action);
  };
  bind({shortcut::AddFilm}, [this] { PressIfUsable(btnAdd); });
  bind({shortcut::AddSubtitles}, [this] { PressIfUsable(btnAddSub); });
  bind({Qt::Key_Return, shortcut::Convert, Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter},
       [this] { PressIfUsable(btnStartConvert); });
  bind({shortcut::PauseResume}, [this] { PauseOrResume(); });
  bind({Qt::Key_Left}, [this] { SeekPreview(-SeekStep); });
  bind({Qt::Key_Right}, [this] { SeekPreview(SeekStep); });
  bind({shortcut::VolumeUp}, [this] { PressIfUsable(btnVol2); });
  bind({shortcut::VolumeDown}, [this] { PressIfUsable(btnVol1); });
  bind({shortcut::Close, Qt::ALT | Qt::Key_F4}, [this] { PressIfUsable(btnClose); });
  bind({shortcut::Information}, [this] { PressIfUsable(btnInfo); });
  bind({shortcut::NextPage}, [this] { if (FInfoPage != 0) ShowInformationPage(2); });
  bind({shortcut::PreviousPage}, [this] { if (FInfoPage != 0) ShowInformationPage(1); });

  // CONVERT, PAUSE and RESUME take turns in one place: the ring stays there
  // rather than moving on with the focus of the key that hid.
  auto ringWasOn = std::make_shared<bool>(false);
  for (TRegionButton* key : {btnStartConvert, btnPauseConvert, btnResumeConvert}) {
    connect(key, &QAbstractButton::pressed, this, [key, ringWasOn] { *ringWasOn = key->FocusShown(); });
    connect(key, &QAbstractButton::clicked, this, [this, ringWasOn] {
      if (!std::exchange(*ringWasOn, false)) return;
      for (TRegionButton* shown : {btnStartConvert, btnPauseConvert, btnResumeConvert})
        if (Usable(shown)) shown->setFocus(Qt::TabFocusReason);
    });
  }

  FShortcutsPage = new TShortcutsPage(Panel1);
  FShortcutsPage->stackUnder(PanelVideo);
  FPageMark = new QPushButton(Panel1);
  FPageMark->setObjectName(u"PageMark"_s);
  FPageMark->setFocusPolicy(Qt::TabFocus);
  FPageMark->setCursor(Qt::PointingHandCursor);
  FPageMark->stackUnder(PanelVideo);
  FPageMark->hide();
  connect(FPageMark, &QPushButton::clicked, this, [this] { ShowInformationPage(FInfoPage == 1 ? 2 : 1); });
  connect(btnSubOn, &TRegionButton::DownChanged, this, &TfrmMain::NameSubtitleKey);
}

// Space: the conversion's PAUSE or RESUME while it runs, else the preview's
// pause or play.
void TfrmMain::PauseOrResume() {
  for (TRegionButton* key : {btnPauseConvert, btnResumeConvert})
    if (Usable(key)) {
      key->Press();
      return;
    }
  PressIfUsable(btnPlay->Down() ? btnPause : btnPlay);
}

// As a click on the bar seeks: while a film is loaded and not converting.
void TfrmMain::SeekPreview(int64_t step) {
  if (!btnStartConvert->isEnabled() || FTransport != TTransport::Player) return;
  FFPlayer.Seek(SteppedSeekTarget(FFPlayer.CurrentPTS(), step, TotalDuration));
}

// After each look: Tab follows the keys as this phone places them, and the
// keys take their names and hints.
void TfrmMain::ArrangeKeys() {
  std::vector<TRegionButton*> keys = Keys();
  std::vector<QRect> places;
  for (TRegionButton* key : keys) places.push_back(key->geometry());
  QWidget* previous = nullptr;
  for (size_t index : ReadingOrder(places)) {
    if (previous) setTabOrder(previous, keys[index]);
    previous = keys[index];
  }
  setTabOrder(previous, FPageMark);
  NameKeys();
}

void TfrmMain::SetFocusColour(QRgb colour) {
  for (TRegionButton* key : Keys()) key->SetFocusColour(QColor(colour));
  FShortcutsPage->SetHighlight(QColor(colour));
  FPageMark->setStyleSheet(
      u"QPushButton { color: %1; background: transparent; border: none; font-weight: bold; padding: 0 2px; }"
      "QPushButton:focus { border: 1px solid %1; }"_s.arg(QColor(colour).name()));
}

// 0: the screen; 1: the information picture; 2: the shortcuts. The mark in
// the picture's top right corner turns the page, as Page Down and Page Up do.
void TfrmMain::ShowInformationPage(int page) {
  FInfoPage = page;
  TImageBox* picture = FPolish ? ImageInfoPL : ImageInfoEn;
  ImageInfoPL->hide();
  ImageInfoEn->hide();
  picture->setVisible(page == 1);
  PanelVideo->setVisible(page == 0);
  FShortcutsPage->setGeometry(picture->geometry());
  // CONVERT and its turns stay in reach over the page: no row goes under them.
  const QRect convert = btnStartConvert->geometry().translated(-picture->pos());
  FShortcutsPage->SetKeepOut(convert.top(), convert.bottom());
  FShortcutsPage->setVisible(page == 2);
  FPageMark->setText(page == 1 ? tr("Keys \u203a") : tr("\u2039 Back"));
  FPageMark->setAccessibleName(page == 1 ? tr("Keyboard shortcuts") : tr("How to convert"));
  FPageMark->adjustSize();
  const QRect area = picture->geometry();
  FPageMark->move(area.right() - FPageMark->width() - 5, area.top() + 5);
  FPageMark->setVisible(page != 0);
}

}  // namespace vidora::app
