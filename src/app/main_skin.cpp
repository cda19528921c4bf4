// Skins: the skin menu under btnSetup, choosing a skin and loading one. A
// skin is a phone: its look, and through its settings line its profile.
#include <QActionGroup>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QScreen>

#include "app/image_box.h"
#include "app/main_window.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "skin/region_button.h"
#include "skin/skin_file.h"
#include "skin/skin_values.h"

namespace vidora::app {

namespace {

// A face or picture larger than this on a side is refused before it is
// decoded: a hostile file must not cost gigabytes.
constexpr int PictureLimit = 4096;

QString FromSkinText(const std::string& text) {
  QString unicode = QString::fromUtf8(text);
  // An 8-bit file that is not UTF-8 keeps its bytes as Latin-1 characters.
  return unicode.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(text) : unicode;
}

// The caption of a menu item that shows `name` as it is ("&" is no mnemonic).
QString MenuCaption(const std::string& name) { return QString::fromStdString(name).replace("&", "&&"); }

}  // namespace

void TfrmMain::StartWithSkin(const std::string& name) {
  FSkinName = name;
  WczytajNazwy();
  if (FSkinName != "Standard") WczytajSkorke();
}

void TfrmMain::WczytajNazwy() {
  // Only the separator and GetPhone stay; the skins go above them.
  while (MSkin->actions().size() > 2) delete MSkin->actions().first();
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
  FSkinName = item->data().toString().toStdString();
  QList<QAction*> items = MSkin->actions();
  for (qsizetype i = 0; i + 2 < items.size(); ++i)
    if (items[i]->data().toString().toStdString() == FSkinName) {
      items[i]->setChecked(true);
      break;
    }
  WczytajSkorke();
  SettingsStore(OwnOrganisation, OwnApplication).WriteString("SkinName", FSkinName);
}

void TfrmMain::WczytajSkorke() {
  std::string folder = FindSkinFolder(FSkinName);
  if (folder.empty()) return;  // no such skin: the window keeps its look
  QFile description(QString::fromStdString(folder + "/skin.all"));
  if (!description.open(QIODevice::ReadOnly)) {
    Say("Skin " + FSkinName + ": skin.all cannot be read: " + description.errorString().toStdString());
    return;
  }
  LoadLook(QString::fromStdString(folder), description.readAll(), true);
}

void TfrmMain::LoadLook(const QString& folder, const QByteArray& description, bool keepCentre) {
  QImage background = SkinPicture(folder, "Background.bmp", true);
  if (!background.isNull()) {
    if (keepCentre) move(x() + width() / 2 - background.width() / 2, y());
    SetBackground(background);
  }
  // Hidden while it changes shape; shown again whatever the file held.
  bool shown = isVisible();
  if (shown) hide();
  TSkinFile skin;
  skin.Parse(std::string(description.constData(), description.size()));
  for (const TSkinSection& section : skin.Sections()) ApplySkinSection(skin, section, folder);
  DrawProgress(FProgressFill);
  ApplyWindowShape();
  if (shown) show();
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

void TfrmMain::ApplySkinSection(const TSkinFile& skin, const TSkinSection& section, const QString& folder) {
  if (section.Name == "Settings") {
    FOptions.ApplyProfile(skin.ProfileLine(section));
    return;
  }
  QWidget* component = SkinComponent(section.Name);
  if (auto* button = qobject_cast<TRegionButton*>(component)) {
    button->ClearGlyphs();
    for (const auto& [key, value] : section.Values) ApplyButtonKey(*button, key, value, folder);
  } else if (auto* image = qobject_cast<TImageBox*>(component)) {
    for (const auto& [key, value] : section.Values) ApplyPlaceKey(*image, key, value);
    QImage picture = SkinPicture(folder, QString::fromStdString(section.Name) + ".bmp", image == ImageBgn);
    if (picture.isNull()) return;
    if (image == ImageBgn) {
      SetBackground(picture);
    } else {
      image->SetPicture(picture);
      image->resize(picture.size());
    }
  } else if (auto* label = qobject_cast<QLabel*>(component)) {
    for (const auto& [key, value] : section.Values) ApplyLabelKey(*label, key, value);
  } else if (component) {
    for (const auto& [key, value] : section.Values) ApplyPlaceKey(*component, key, value);
    // The conversion's preview fills the video panel whatever its size.
    if (component == PanelVideo) Image1->setGeometry(PanelVideo->rect());
  }
}

bool TfrmMain::ApplyPlaceKey(QWidget& component, const std::string& key, const std::string& value) {
  bool place = key == "Left" || key == "Top", extent = key == "Width" || key == "Height";
  if (!place && !extent) return false;
  std::optional<int> number = place ? SkinCoordinate(value) : SkinExtent(value);
  if (!number) {
    SkinProblem(component, key + "=" + value + " is not a usable number");
  } else if (key == "Left") {
    component.move(*number, component.y());
  } else if (key == "Top") {
    component.move(component.x(), *number);
  } else if (key == "Width") {
    component.resize(*number, component.height());
  } else {
    component.resize(component.width(), *number);
  }
  return true;
}

void TfrmMain::ApplyButtonKey(TRegionButton& button, const std::string& key, const std::string& value,
                              const QString& folder) {
  if (ApplyPlaceKey(button, key, value)) return;
  if (key == "Text") {
    button.SetCaption(FromSkinText(value));
  } else if (key == "Visible") {
    button.setVisible(SkinBoolean(value));
  } else if (key == "Transparent") {
    button.SetTransparent(SkinBoolean(value));
  } else if (key == "GlyphTransparent") {
    button.SetGlyphTransparent(SkinBoolean(value));
  } else if (key == "Border") {
    button.SetBorder(SkinBoolean(value));
  } else if (key == "TextPos") {
    std::optional<int> number = SkinInteger(value);
    if (std::optional<TTextPos> position = number ? SkinTextPosition(*number) : std::nullopt)
      button.SetTextPosition(*position);
    else if (!number)
      SkinProblem(button, key + "=" + value + " is not a number");
  } else if (key == "Flat") {
    button.SetButtonStyle(SkinFlatStyle(button.ButtonStyle(), value));
  } else if (key.rfind("Glyph", 0) == 0) {
    static const std::pair<const char*, TGlyphState> Faces[] = {
        {"GlyphUp", gsUp}, {"GlyphDown", gsDown}, {"GlyphDisable", gsDisabled}, {"GlyphOver", gsOver}};
    for (const auto& [name, face] : Faces)
      if (key == name) button.SetGlyph(face, SkinPicture(folder, FromSkinText(value), false));
    button.update();
  }
}

void TfrmMain::ApplyLabelKey(QLabel& label, const std::string& key, const std::string& value) {
  if (ApplyPlaceKey(label, key, value)) return;
  if (key == "Visible") {
    label.setVisible(SkinBoolean(value));
  } else if (key == "FontName") {
    QFont font = label.font();
    font.setFamily(FromSkinText(value));
    label.setFont(font);
  } else if (key == "FontSize") {
    std::optional<int> size = SkinInteger(value);
    if (!size || *size < 1 || *size > 200) {
      SkinProblem(label, key + "=" + value + " is not a usable size");
      return;
    }
    QFont font = label.font();
    font.setPointSize(*size);
    label.setFont(font);
  } else if (key == "FontColor") {
    std::optional<int> colour = SkinInteger(value);
    if (!colour) {
      SkinProblem(label, key + "=" + value + " is not a number");
      return;
    }
    if (&label == LProgress) {
      FProgressColour = QColor(SkinColour(*colour));
      if (!FShowsFailure) ShowProgressText(LProgress->text());
    }
  }
}

QImage TfrmMain::SkinPicture(const QString& folder, const QString& file, bool background) {
  QString path = folder + "/" + file;
  QImageReader reader(path);
  QSize size = reader.size();
  QSize limit(PictureLimit, PictureLimit);
  if (background && screen()) limit = limit.boundedTo(screen()->availableGeometry().size());
  bool tooLarge = size.width() > limit.width() || size.height() > limit.height();
  QImage picture;
  if (size.isValid() && !tooLarge) picture = reader.read();
  if (picture.isNull()) {
    std::string why = tooLarge ? "larger than " + std::to_string(limit.width()) + "x" + std::to_string(limit.height())
                               : reader.errorString().toStdString();
    Say("Skin " + FSkinName + ": " + path.toStdString() + " not loaded (" + why + ")");
  }
  return picture;
}

void TfrmMain::SkinProblem(const QWidget& component, const std::string& what) {
  Say("Skin " + FSkinName + ": [" + component.objectName().toStdString() + "] " + what + "; skipped");
}

}  // namespace vidora::app
