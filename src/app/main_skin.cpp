// Skins: the skin menu under btnSetup, choosing a skin and loading one. A
// skin is a phone: its look, and through its settings line its profile.
#include <QActionGroup>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>

#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "skin/region_button.h"
#include "skin/skin_applier.h"
#include "skin/skin_file.h"
#include "skin/skin_values.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

// The caption of a menu item that shows `name` as it is ("&" is no mnemonic).
QString MenuCaption(const std::string& name) { return QString::fromStdString(name).replace(u"&"_s, u"&&"_s); }

}  // namespace

void TfrmMain::StartWithSkin(const std::string& name) {
  FSkinName = name;
  if (FSkinName != "Standard" && !WczytajSkorke()) FSkinName = "Standard";
  WczytajNazwy();
}

void TfrmMain::WczytajNazwy() {
  // The items below the separator stay; the skins go above them.
  qDeleteAll(FSkinItems->actions());
  for (const std::string& name : SkinNames()) {
    auto* item = new QAction(MenuCaption(name), MSkin);
    item->setData(QString::fromStdString(name));
    item->setCheckable(true);
    item->setChecked(name == FSkinName);
    FSkinItems->addAction(item);
    connect(item, &QAction::triggered, this, [this, item] { MenuSelectSkinClick(item); });
    MSkin->insertAction(MSkin->actions().first(), item);
  }
}

void TfrmMain::MenuSelectSkinClick(QAction* item) {
  std::string previous = FSkinName;
  FSkinName = item->data().toString().toStdString();
  if (!WczytajSkorke()) FSkinName = previous;
  for (QAction* skin : FSkinItems->actions())
    if (skin->data().toString().toStdString() == FSkinName) {
      skin->setChecked(true);
      break;
    }
  SettingsStore(OwnOrganisation, OwnApplication).WriteString(setting::SkinName, FSkinName);
  // The loaded film is made for the phone now shown: its job takes the new
  // profile, its preview the new screen.
  if (TSessionJob* film = CurrentJob(); film && !FSession.Running()) AddFile(std::string(film->Input));
}

bool TfrmMain::WczytajSkorke() {
  std::string folder = FindSkinFolder(FSkinName);
  if (folder.empty()) return true;  // no such skin: the name is kept, the window keeps its look
  QFile description(QString::fromStdString(folder + "/skin.all"));
  if (!description.open(QIODevice::ReadOnly)) {
    Say("Skin " + FSkinName + ": skin.all cannot be read: " + description.errorString().toStdString());
    return true;
  }
  QByteArray bytes = description.readAll();
  // A phone that does not say what it plays would make the old phone's files under its own face.
  TSkinFile file;
  file.Parse(std::string(bytes.constData(), bytes.size()));
  std::optional<std::string> line = file.ProfileLine();
  TOutputProfile profile;
  if (line) profile.ApplyProfile(*line);
  if (!line || !profile.Refusal.empty()) {
    std::string why = line ? " has an unusable phone profile (" + profile.Refusal + ")" : " has no phone profile";
    SayFailure("Skin ", FSkinName + why,
               tr("%1 cannot be used: it does not say what its phone plays").arg(QString::fromStdString(FSkinName)));
    return false;
  }
  LoadLook(QString::fromStdString(folder), bytes, true);
  return true;
}

void TfrmMain::LoadLook(const QString& folder, const QByteArray& description, bool keepCentre) {
  TSkinApplier::THost host;
  host.Component = [this](const std::string& name) { return SkinComponent(name); };
  host.Background = ImageBgn;
  host.SetBackground = [this](const QImage& picture) { SetBackground(picture); };
  host.Profile = [this](const std::string& line) { FOptions.ApplyProfile(line); };
  host.FontColour = [this](QLabel& label, QRgb colour) {
    if (&label != LProgress) return;
    FProgressColour = QColor(colour);
    ShowProgressText(LProgress->text());
  };
  // The conversion's preview fills the video panel whatever its size.
  host.Placed = [this](QWidget& component) {
    if (&component == PanelVideo) Image1->setGeometry(PanelVideo->rect());
  };
  host.Say = [this](const std::string& line) { Say(line); };
  host.FocusColour = [this](QRgb colour) { SetFocusColour(colour); };
  // A skin's hints and ring colour are its own: the last skin's go first.
  for (TRegionButton* key : Keys()) key->setToolTip({});
  SetFocusColour(DefaultFocusColour);
  if (screen()) host.BackgroundLimit = screen()->availableGeometry().size();
  host.PixelRatio = devicePixelRatioF();
  if (FPolish) host.Language = u"pl"_s;
  TSkinApplier skin(host, FSkinName, folder);

  QImage background = skin.Picture(u"Background.bmp"_s, true);
  if (!background.isNull()) {
    const int width = background.deviceIndependentSize().toSize().width();
    if (keepCentre) move(x() + this->width() / 2 - width / 2, y());
    SetBackground(background, skin.OptionalPicture(u"BackgroundSoft.png"_s, true));
  }
  // The window stays shown while it changes shape: hidden and shown again
  // after the minimise key, X11 window managers minimise it once more (Qt
  // leaves the window's initial-state hint at iconic).
  TSkinFile file;
  file.Parse(std::string(description.constData(), description.size()));
  skin.Apply(file);
  DrawProgress(FProgressFill);
  PlaceScreenLabels();
  ArrangeKeys();
  ApplyWindowShape();
}

QWidget* TfrmMain::SkinComponent(const std::string& name) const {
  QString wanted = QString::fromStdString(name);
  for (QWidget* component : std::initializer_list<QWidget*>{
           Panel1, ImageBgn, LProgress, ImageProgress, ImageInfoPL, ImageInfoEn, PanelVideo, Image1, ImgT, ImgN,
           btnAdd, btnStop, btnPause, btnPlay, btnClose, btnAddSub, btnSubOn, btnInfo, btnMinimize, btnHi, btnLo,
           btnVol1, btnVol2, btnSetup, btnStartConvert, btnPauseConvert, btnResumeConvert})
    if (component->objectName().compare(wanted, Qt::CaseInsensitive) == 0) return component;
  return nullptr;
}

}  // namespace vidora::app
