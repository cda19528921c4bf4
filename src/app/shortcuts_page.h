// The information view's second page: the keyboard's shortcuts, drawn by Qt
// in the information picture's colours so that they follow the language.
#pragma once

#include <QLabel>
#include <QString>

#include <utility>
#include <vector>

namespace vidora::app {

class TShortcutsPage : public QLabel {
  Q_OBJECT

 public:
  explicit TShortcutsPage(QWidget* parent = nullptr);
  // Keys and what they do, in the order the page lists them.
  static std::vector<std::pair<QString, QString>> Lines();
  // The keys are written in the phone's highlight colour.
  void SetHighlight(const QColor& colour);
};

}  // namespace vidora::app
