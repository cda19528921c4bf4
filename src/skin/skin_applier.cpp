#include "skin/skin_applier.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMenu>

#include "skin/image_box.h"
#include "skin/region_button.h"
#include "skin/skin_file.h"
#include "skin/skin_values.h"

namespace vidora {

namespace {

// A face or picture larger than this on a side is refused before it is
// decoded: a hostile file must not cost gigabytes.
constexpr int PictureLimit = 4096;

QString FromSkinText(const std::string& text) {
  QString unicode = QString::fromUtf8(text);
  // An 8-bit file that is not UTF-8 keeps its bytes as Latin-1 characters.
  return unicode.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(text) : unicode;
}

}  // namespace

TSkinApplier::TSkinApplier(THost host, std::string skinName, QString folder)
    : FHost(std::move(host)), FSkinName(std::move(skinName)), FFolder(std::move(folder)) {}

void TSkinApplier::Apply(const TSkinFile& skin) {
  for (const TSkinSection& section : skin.Sections()) ApplySection(skin, section);
}

void TSkinApplier::ApplySection(const TSkinFile& skin, const TSkinSection& section) {
  if (section.Name == "Settings") {
    ApplySettings(skin, section);
    return;
  }
  QWidget* component = FHost.Component(section.Name);
  if (auto* button = qobject_cast<TRegionButton*>(component)) {
    button->ClearGlyphs();
    TMenuColours menu;
    for (const auto& [key, value] : section.Values) ApplyButtonKey(*button, key, value, menu);
    if (QMenu* dropDown = button->DropDownMenu()) dropDown->setStyleSheet(MenuStyleSheet(menu));
  } else if (auto* image = qobject_cast<TImageBox*>(component)) {
    for (const auto& [key, value] : section.Values) ApplyPlaceKey(*image, key, value);
    bool background = image == FHost.Background;
    QImage picture = Picture(QString::fromStdString(section.Name) + QStringLiteral(".bmp"), background);
    if (picture.isNull()) return;
    if (background) {
      FHost.SetBackground(picture);
    } else {
      image->SetPicture(picture);
      image->resize(picture.deviceIndependentSize().toSize());
    }
  } else if (auto* label = qobject_cast<QLabel*>(component)) {
    for (const auto& [key, value] : section.Values) ApplyLabelKey(*label, key, value);
  } else if (component) {
    for (const auto& [key, value] : section.Values) ApplyPlaceKey(*component, key, value);
    FHost.Placed(*component);
  }
}

void TSkinApplier::ApplySettings(const TSkinFile& skin, const TSkinSection& settings) {
  FHost.Profile(skin.ProfileLine(settings));
  for (const auto& [key, value] : settings.Values) {
    if (key != "FocusColor") continue;
    if (std::optional<int> number = SkinInteger(value))
      FHost.FocusColour(SkinColour(*number));
    else
      FHost.Say("Skin " + FSkinName + ": [Settings] " + key + "=" + value + " is not a number; skipped");
  }
}

bool TSkinApplier::ApplyPlaceKey(QWidget& component, const std::string& key, const std::string& value) {
  bool place = key == "Left" || key == "Top", extent = key == "Width" || key == "Height";
  if (!place && !extent) return false;
  std::optional<int> number = place ? SkinCoordinate(value) : SkinExtent(value);
  if (!number) {
    Problem(component, key + "=" + value + " is not a usable number");
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

void TSkinApplier::ApplyButtonKey(TRegionButton& button, const std::string& key, const std::string& value,
                                  TMenuColours& menu) {
  if (ApplyPlaceKey(button, key, value)) return;
  if (key == "MenuColor" || key == "MenuTextColor") {
    if (std::optional<QRgb> colour = Colour(button, key, value)) (key == "MenuColor" ? menu.Menu : menu.Text) = *colour;
  } else if (key == "Text") {
    button.SetCaption(FromSkinText(value));
  } else if (key == "Hint") {
    // Its continuation lines are joined with CR LF as the file has them.
    button.setToolTip(FromSkinText(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
      Problem(button, key + "=" + value + " is not a number");
  } else if (key == "Flat") {
    button.SetButtonStyle(SkinFlatStyle(button.ButtonStyle(), value));
  } else if (key.rfind("Glyph", 0) == 0) {
    static const std::pair<const char*, TGlyphState> Faces[] = {
        {"GlyphUp", gsUp}, {"GlyphDown", gsDown}, {"GlyphDisable", gsDisabled}, {"GlyphOver", gsOver}};
    for (const auto& [name, face] : Faces)
      if (key == name) button.SetGlyph(face, Picture(FromSkinText(value), false));
    button.update();
  }
}

void TSkinApplier::ApplyLabelKey(QLabel& label, const std::string& key, const std::string& value) {
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
      Problem(label, key + "=" + value + " is not a usable size");
      return;
    }
    QFont font = label.font();
    font.setPointSize(*size);
    label.setFont(font);
  } else if (key == "FontColor") {
    if (std::optional<QRgb> colour = Colour(label, key, value)) FHost.FontColour(label, *colour);
  }
}

std::optional<QRgb> TSkinApplier::Colour(const QWidget& component, const std::string& key, const std::string& value) {
  std::optional<int> number = SkinInteger(value);
  if (!number) {
    Problem(component, key + "=" + value + " is not a number");
    return std::nullopt;
  }
  return SkinColour(*number);
}

QImage TSkinApplier::Picture(const QString& given, bool background) {
  QSize limit(PictureLimit, PictureLimit);
  if (background) limit = limit.boundedTo(FHost.BackgroundLimit);
  const QString file = LanguageFile(given);
  const QString path = FFolder + QLatin1Char('/') + file;
  if (FHost.PixelRatio > 1) {
    const QString twice = DoubleFile(file, QImageReader(path).size());
    if (!twice.isEmpty()) {
      QImage picture = Read(twice, limit * 2);
      picture.setDevicePixelRatio(2);
      if (!picture.isNull()) return picture;
    }
  }
  return Read(path, limit);
}

QImage TSkinApplier::OptionalPicture(const QString& file, bool background) {
  const QString path = FFolder + QLatin1Char('/') + file;
  if (!QFileInfo::exists(path) && DoubleFile(file, QSize()).isEmpty()) return {};
  return Picture(file, background);
}

QString TSkinApplier::LanguageFile(const QString& file) const {
  if (FHost.Language.isEmpty()) return file;
  const QFileInfo info(file);
  const QString local = info.completeBaseName() + u'.' + FHost.Language + u'.' + info.suffix();
  return QFileInfo::exists(FFolder + u'/' + local) ? local : file;
}

QString TSkinApplier::DoubleFile(const QString& file, QSize size) const {
  const QFileInfo info(file);
  const QString stem = FFolder + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("@2x.");
  QStringList extensions{QStringLiteral("png")};
  if (info.suffix().compare(extensions[0], Qt::CaseInsensitive) != 0) extensions << info.suffix();
  for (const QString& extension : extensions) {
    const QString path = stem + extension;
    if (!QFileInfo::exists(path)) continue;
    // A picture that is not twice the other would put the phone's parts out of place.
    if (!size.isValid() || QImageReader(path).size() == size * 2) return path;
    FHost.Say("Skin " + FSkinName + ": " + path.toStdString() + " is not twice the size of " + file.toStdString() +
              "; the 1x picture is used");
  }
  return {};
}

QImage TSkinApplier::Read(const QString& path, QSize limit) {
  QImageReader reader(path);
  QSize size = reader.size();
  bool tooLarge = size.width() > limit.width() || size.height() > limit.height();
  QImage picture;
  if (size.isValid() && !tooLarge) picture = reader.read();
  if (picture.isNull()) {
    std::string why = tooLarge ? "larger than " + std::to_string(limit.width()) + "x" + std::to_string(limit.height())
                               : reader.errorString().toStdString();
    FHost.Say("Skin " + FSkinName + ": " + path.toStdString() + " not loaded (" + why + ")");
  }
  return picture;
}

void TSkinApplier::Problem(const QWidget& component, const std::string& what) {
  FHost.Say("Skin " + FSkinName + ": [" + component.objectName().toStdString() + "] " + what + "; skipped");
}

}  // namespace vidora
