// The information view's second page: the keyboard's shortcuts, drawn by Qt
// in the information picture's colours so that they follow the language.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

namespace vidora::app {

class TShortcutsPage : public QWidget {
  Q_OBJECT

 public:
  explicit TShortcutsPage(QWidget* parent = nullptr);
  // Keys and what they do, in the order the page lists them.
  static std::vector<std::pair<QString, QString>> Lines();
  // The keys and the title are written in the phone's highlight colour.
  void SetHighlight(const QColor& colour);
  // Rows the page leaves empty: a key of the phone lies over them.
  void SetKeepOut(int top, int bottom);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor FHighlight;
  int FKeepOutTop = 0, FKeepOutBottom = -1;
};

}  // namespace vidora::app
