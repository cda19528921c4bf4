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
  };

  TSkinApplier(THost host, std::string skinName, QString folder);
  // The background picture first, then every section in file order.
  void Apply(const TSkinFile& skin);
  // A picture of the skin's folder, or a null image (and a log line) when it
  // cannot be read or is larger than allowed.
  QImage Picture(const QString& file, bool background);

 private:
  void ApplySection(const TSkinFile& skin, const TSkinSection& section);
  void ApplySettings(const TSkinFile& skin, const TSkinSection& settings);
  bool ApplyPlaceKey(QWidget& component, const std::string& key, const std::string& value);
  void ApplyButtonKey(TRegionButton& button, const std::string& key, const std::string& value, TMenuColours& menu);
  void ApplyLabelKey(QLabel& label, const std::string& key, const std::string& value);
  void Problem(const QWidget& component, const std::string& what);
  // A colour key's value; nothing, with the problem logged, when it is no number.
  std::optional<QRgb> Colour(const QWidget& component, const std::string& key, const std::string& value);

  THost FHost;
  std::string FSkinName;
  QString FFolder;
};

}  // namespace vidora
