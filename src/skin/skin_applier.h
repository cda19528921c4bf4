// Applies a skin's description to a window: each section to the component of
// its name, key by key in file order. What cannot be used (a malformed
// number, a picture that cannot be read or is too large) is skipped and said.
// A button that drops down a menu also gives the menu its colours.
#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QWidget;

namespace vidora {

class TRegionButton;
class TSkinFile;
struct TMenuColours;
struct TSkinSection;

class TSkinApplier {
 public:
  // What the window lets the skin reach.
  struct THost {
    // The skinnable component of that name in any letter case; nullptr for none.
    std::function<QWidget*(const std::string& name)> Component;
    QWidget* Background = nullptr;  // the component whose picture is the window's shape
    std::function<void(const QImage&)> SetBackground;
    std::function<void(const std::string& line)> Profile;  // the [Settings] section's profile line
    std::function<void(QLabel&, QRgb)> FontColour;
    std::function<void(QRgb)> FocusColour;  // the [Settings] section's FocusColor
    std::function<void(QWidget&)> Placed;  // after a plain component's keys
    std::function<void(const std::string& line)> Say;
    QSize BackgroundLimit{4096, 4096};  // no larger than the screen
    // The screen's device-pixel ratio: above 1 a picture's "@2x" file is
    // taken where the skin has one.
    qreal PixelRatio = 1;
    // The window's language ("pl"): a picture's "<name>.pl.<ext>" file, where
    // the skin has one, comes instead, so words drawn on a key follow the texts.
    QString Language;
  };

  TSkinApplier(THost host, std::string skinName, QString folder);
  // The background picture first, then every section in file order.
  void Apply(const TSkinFile& skin);
  // A picture of the skin's folder, or a null image (and a log line) when it
  // cannot be read or is larger than allowed; in the window's language where
  // the skin has it so. On a scaled screen its "@2x"
  // file (PNG or the picture's own format) comes instead when the skin has
  // one twice the size, with a device-pixel ratio of 2.
  QImage Picture(const QString& file, bool background);
  // The same for a picture the skin may leave out: null, and nothing said,
  // when the skin has it at neither size.
  QImage OptionalPicture(const QString& file, bool background);

 private:
  void ApplySection(const TSkinFile& skin, const TSkinSection& section);
  void ApplySettings(const TSkinFile& skin, const TSkinSection& settings);
  bool ApplyPlaceKey(QWidget& component, const std::string& key, const std::string& value);
  void ApplyButtonKey(TRegionButton& button, const std::string& key, const std::string& value, TMenuColours& menu);
  void ApplyLabelKey(QLabel& label, const std::string& key, const std::string& value);
  void Problem(const QWidget& component, const std::string& what);
  // A colour key's value; nothing, with the problem logged, when it is no number.
  std::optional<QRgb> Colour(const QWidget& component, const std::string& key, const std::string& value);
  QImage Read(const QString& path, QSize limit);
  // `file`, or its version in the window's language when the skin has one.
  QString LanguageFile(const QString& file) const;
  // The "@2x" file for `file` twice the size of `size`; empty when there is none.
  QString DoubleFile(const QString& file, QSize size) const;

  THost FHost;
  std::string FSkinName;
  QString FFolder;
};

}  // namespace vidora
